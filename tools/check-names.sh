#!/usr/bin/env bash
# Names in Qt's style (.clang-tidy says which): clang-tidy's naming check over the product's sources, and
# the prefixes that check cannot see: a C before a class's name, a type letter after a member's m_.
# Usage: tools/check-names.sh [BUILD_DIR], after a build (the check reads its compile_commands.json).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$top/build}" && pwd)
cd "$top"
status=0
if git grep -nE '\b(class|struct)\s+C[A-Z][a-z]\w*\b' -- '*.h' '*.cpp'; then
    echo "check-names: a class named with a C prefix" >&2
    status=1
fi
if git grep -nE '\bm_(str|psz|sz|n|b|p|fn|wnd|clr)[A-Z]' -- '*.h' '*.cpp'; then
    echo "check-names: a member named with a type prefix" >&2
    status=1
fi
if ! run-clang-tidy -p "$build" -j "$(nproc)" -quiet \
    "^$top/(app|views|catalogue|extract|platform|cli|writer|media|dialogs|jobs)/" > "$build/check-names.log" 2>&1; then
    grep -E 'warning:|error:' "$build/check-names.log" | sort -u | head -50 >&2
    echo "check-names: clang-tidy found names out of style (all of it in $build/check-names.log)" >&2
    status=1
fi
exit $status
