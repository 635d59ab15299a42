#!/usr/bin/env bash
# Times extraction of a whole archive against cp -r of the same tree, in one run on the same data, in
# alternating rounds (files written unnamed and linked in when complete, or through named temporaries):
# 20,000 files of 1-64 KiB, and one 1 GiB entry (through the kernel's copy, the user-space buffer, and the
# kernel's copy of data that starts off a block boundary), back to back and after idle pauses (3 s before
# each run: a user-space copy runs slower after one). Each case runs RUNS times; outputs are deleted
# outside the timed part, the page cache is dropped (needs root), and the input is read once before timing.
# Prints medians (seconds), peak memory (KiB), the ratio to the first case (the peer) and every run (ms).
# Usage: bench/core/extract_bench.sh [BUILD_DIR] [WORK_DIR] [RUNS] [small|big|all]
set -euo pipefail
build=${1:-build}
work=${2:-/tmp/vorpex-extract-bench}
runs=${3:-5}
cases=${4:-all}
pause=0
tool=$build/bench/core/bench_extract
make=$build/bench/core/bench_make_archive
command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (apt-get install time)"; exit 2; }
mkdir -p "$work"

drop_caches() {
    sync
    if [ -w /proc/sys/vm/drop_caches ]; then echo 3 > /proc/sys/vm/drop_caches; fi
}

# run_once WARM-COMMAND COMMAND...: one timed run into an empty output folder; prints "MS KIB".
run_once() {
    local warm=$1
    shift
    rm -rf "$work/out"
    mkdir "$work/out"
    drop_caches
    eval "$warm" >/dev/null
    sleep "$pause"
    local start end
    start=$(date +%s%N)
    /usr/bin/time -f %M -o "$work/mem" "$@" >/dev/null
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000000 )) $(cat "$work/mem")"
}

# compare TITLE then triples LABEL WARM COMMAND (a string): runs every case once per round, RUNS rounds,
# so that drifts in the machine's load fall on all cases alike; prints medians and the largest peak memory.
compare() {
    echo "$1"
    shift
    local -a labels warms commands
    while [ $# -gt 0 ]; do
        labels+=("$1") warms+=("$2") commands+=("$3")
        shift 3
    done
    local -A times mems
    for _ in $(seq "$runs"); do
        for i in "${!labels[@]}"; do
            read -r ms kib < <(eval "run_once \"\${warms[$i]}\" ${commands[$i]}")
            times[$i]+="$ms "
            [ "$kib" -gt "${mems[$i]:-0}" ] && mems[$i]=$kib
        done
    done
    local first=
    for i in "${!labels[@]}"; do
        local median
        median=$(tr ' ' '\n' <<<"${times[$i]}" | grep . | sort -n | sed -n "$(( (runs + 1) / 2 ))p")
        first=${first:-$median}
        printf '%-30s %8.3f s %10d KiB %6.2fx  (runs: %s)\n' "${labels[$i]}" "$(echo "$median / 1000" | bc -l)" \
            "${mems[$i]}" "$(echo "$median / $first" | bc -l)" "${times[$i]% }"
    done
}

if [ ! -f "$work/small.dir" ]; then
    "$make" small "$work/small.dir"
    mkdir -p "$work/small-tree" && "$tool" "$work/small.dir" "$work/small-tree"
fi
if [ ! -f "$work/big.dir" ]; then
    "$make" big 1 "$work/big.dir"
    mkdir -p "$work/big-tree" && "$tool" "$work/big.dir" "$work/big-tree"
fi
[ -f "$work/skewed.dir" ] || "$make" big 1 512 "$work/skewed.dir"

[ "$cases" = big ] || compare "20,000 files of 1-64 KiB ($(du -sh "$work/small-tree" | cut -f1))" \
    "cp -r" "find $work/small-tree -type f -exec cat {} +" "cp -r $work/small-tree/SMALL $work/out/" \
    "vorpex (unnamed files)" "cat $work/small.dir" "$tool $work/small.dir $work/out auto" \
    "vorpex (named temporaries)" "cat $work/small.dir" "$tool $work/small.dir $work/out named"

big() {
    compare "One 1 GiB entry, $1" \
        "cp" "cat $work/big-tree/BIG/GIB0.BIN" "cp $work/big-tree/BIG/GIB0.BIN $work/out/" \
        "vorpex (auto)" "cat $work/big.dir" "$tool $work/big.dir $work/out auto" \
        "vorpex (buffer)" "cat $work/big.dir" "$tool $work/big.dir $work/out buffer" \
        "vorpex (copy_file_range)" "cat $work/big.dir" "$tool $work/big.dir $work/out kernel" \
        "vorpex (kernel, data at 512)" "cat $work/skewed.dir" "$tool $work/skewed.dir $work/out kernel"
}
if [ "$cases" != small ]; then
    big "back to back"
    pause=3 big "after 3 s idle"
fi
rm -rf "$work/out"
