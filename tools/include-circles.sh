#!/bin/sh
# Fails, naming the circle, when the header/source pairs under the given folders include one another in a
# circle (a pair is FOO.h with FOO.cpp; it includes what either file includes from the same source tree).
# Usage: tools/include-circles.sh SOURCE_ROOT FOLDER...
set -eu
root=$1
shift
cd "$root"
edges=$(for folder in "$@"; do
    find "$folder" -name '*.h' -o -name '*.cpp'
done | while read -r file; do
    sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file" | while read -r included; do
        [ -e "$included" ] || continue
        from=${file%.*} to=${included%.*}
        [ "$from" = "$to" ] || echo "$from $to"
    done
done)
if ! loops=$(printf '%s\n' "$edges" | tsort 2>&1 >/dev/null); then
    printf '%s\n' "$loops" | sed 's/^tsort: //' >&2
    exit 1
fi
