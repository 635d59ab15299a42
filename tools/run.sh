#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds Vorpex and opens it on the bundled sample archive.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
exec build/app/vorpex examples/SAMPLE.DIR "$@"
