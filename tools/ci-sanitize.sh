#!/usr/bin/env bash
# Builds everything, the desktop program included, with AddressSanitizer and UndefinedBehaviorSanitizer
# in a build folder of its own and runs every test there. Any finding fails the run.
# Usage: tools/ci-sanitize.sh      Environment: VORPEX_SANITIZE_BUILD (build folder, default
# build-sanitize), VORPEX_SANITIZE_JOBS (parallel jobs, default the number of cores).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
build=${VORPEX_SANITIZE_BUILD:-build-sanitize}
jobs=${VORPEX_SANITIZE_JOBS:-$(nproc)}
cmake -S . -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORPEX_SANITIZE=ON \
    -DVORPEX_GUI=ON -DVORPEX_BENCH=OFF
cmake --build "$build" -j"$jobs"
export QT_QPA_PLATFORM=offscreen
# Stop at the first finding and say where; leaks count as findings. Libraries we do not own (the
# platform's font and graphics stacks under Qt) keep some memory to the end: tools/lsan.supp names them.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$PWD/tools/lsan.supp"
ctest --test-dir "$build" --output-on-failure -j"$jobs"
