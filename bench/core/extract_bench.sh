#!/usr/bin/env bash
# Times extraction of a whole archive against cp -r of the same tree, in one run on the same data:
# 20,000 files of 1-64 KiB, and one 1 GiB entry. Each case runs RUNS times; outputs are deleted outside the
# timed part, the page cache is dropped (needs root), and the input is read once before timing.
# Prints medians (seconds) and peak memory (KiB).
# Usage: bench/core/extract_bench.sh [BUILD_DIR] [WORK_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
work=${2:-/tmp/vorpex-extract-bench}
runs=${3:-5}
tool=$build/bench/core/bench_extract
make=$build/bench/core/bench_make_archive
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (apt-get install time)"; exit 2; }
mkdir -p "$work"

drop_caches() {
    sync
    if [ -w /proc/sys/vm/drop_caches ]; then echo 3 > /proc/sys/vm/drop_caches; fi
}

# time_case LABEL WARM-COMMAND COMMAND...: median wall time and the largest peak memory of RUNS runs.
time_case() {
    local label=$1 warm=$2
    shift 2
    local times=() mem=0
    for _ in $(seq "$runs"); do
        rm -rf "$work/out"
        mkdir "$work/out"
        drop_caches
        eval "$warm" >/dev/null
        local start end m
        start=$(date +%s%N)
        /usr/bin/time -f %M -o "$work/mem" "$@" >/dev/null
        end=$(date +%s%N)
        times+=($(( (end - start) / 1000000 )))
        m=$(cat "$work/mem")
        [ "$m" -gt "$mem" ] && mem=$m
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
    printf '%-28s %8.3f s %10d KiB\n' "$label" "$(echo "$median / 1000" | bc -l)" "$mem"
}

if [ ! -f "$work/small.dir" ]; then
    "$make" small "$work/small.dir"
    mkdir -p "$work/small-tree" && "$tool" "$work/small.dir" "$work/small-tree"
fi
if [ ! -f "$work/big.dir" ]; then
    "$make" big 1 "$work/big.dir"
    mkdir -p "$work/big-tree" && "$tool" "$work/big.dir" "$work/big-tree"
fi

echo "20,000 files of 1-64 KiB ($(du -sh "$work/small-tree" | cut -f1))"
time_case "cp -r" "find $work/small-tree -type f -exec cat {} +" cp -r "$work/small-tree/SMALL" "$work/out/"
time_case "vorpex (auto)" "cat $work/small.dir" "$tool" "$work/small.dir" "$work/out" auto
time_case "vorpex (buffer)" "cat $work/small.dir" "$tool" "$work/small.dir" "$work/out" buffer
time_case "vorpex (copy_file_range)" "cat $work/small.dir" "$tool" "$work/small.dir" "$work/out" kernel

echo "One 1 GiB entry"
time_case "cp" "cat $work/big-tree/BIG/GIB0.BIN" cp "$work/big-tree/BIG/GIB0.BIN" "$work/out/"
time_case "vorpex (auto)" "cat $work/big.dir" "$tool" "$work/big.dir" "$work/out" auto
time_case "vorpex (buffer)" "cat $work/big.dir" "$tool" "$work/big.dir" "$work/out" buffer
time_case "vorpex (copy_file_range)" "cat $work/big.dir" "$tool" "$work/big.dir" "$work/out" kernel
rm -rf "$work/out"
