#!/usr/bin/env bash
# Peak memory of `list`, `check` and opening in the window (vorpex_screenshot, offscreen) on the two archive shapes that cost the most memory per byte of
# archive: a 44 MB file of zeros (a million file records with empty names) and a million folder records
# with one 32-byte name, all pointing at one list. Prints the peak (MiB) against the promised bound,
# 1.5 times the archive's size plus 64 MiB. Peak memory does not depend on the machine's load: one run
# of each (RUNS to repeat; the median is printed).
# Usage: bench/core/memory_bench.sh [BUILD_DIR] [WORK_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
work=${2:-/tmp/vorpex-memory-bench}
runs=${3:-1}
cli=$build/cli/vorpex-cli
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (apt-get install time)"; exit 2; }
mkdir -p "$work"

truncate -s 44000000 "$work/zeros.dir"
if [ ! -s "$work/folders.dir" ]; then
    python3 - "$work/folders.dir" <<'PY'
import struct, sys
n = 1000000
folder = b"F" * 32 + bytes([1, 0, 0, 0]) + struct.pack("<II", 0, n * 44)
with open(sys.argv[1], "wb") as f:
    f.write(folder * n)
    f.write(bytes(32) + bytes([255, 0, 0, 0]) + bytes(8))
PY
fi

printf '%-8s %-8s %10s %10s\n' shape command "peak MiB" "bound MiB"
for shape in zeros folders; do
    archive=$work/$shape.dir
    size=$(stat -c %s "$archive")
    bound=$(( (size * 3 / 2 + 64 * 1024 * 1024) / 1024 / 1024 ))
    for command in list check window; do
        run=("$cli" "$command" "$archive")
        if [ "$command" = window ]; then
            [ -x "$build/tools/vorpex_screenshot" ] || continue
            run=(env QT_QPA_PLATFORM=offscreen "$build/tools/vorpex_screenshot" "$archive" "$work/shot.png")
        fi
        peaks=()
        for _ in $(seq "$runs"); do
            /usr/bin/time -o "$work/peak" -f %M "${run[@]}" >/dev/null 2>&1 || true
            peaks+=("$(tail -1 "$work/peak")")
        done
        median=$(printf '%s\n' "${peaks[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}')
        printf '%-8s %-8s %10d %10d\n' "$shape" "$command" $((median / 1024)) "$bound"
    done
done
