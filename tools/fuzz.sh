#!/usr/bin/env bash
# Builds the libFuzzer targets in their own build folder (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, core library only) and runs each for the given number of seconds, starting
# from the seed corpus and dictionary that our generator writes.
# Usage: tools/fuzz.sh [SECONDS] [TARGET...]      (default: 60 seconds, every target)
# Environment: VORPEX_FUZZ_BUILD (build folder, default build-fuzz), VORPEX_FUZZ_JOBS (build jobs).
# A finding leaves its input in the build folder (crash-*, timeout-*, oom-*) and makes the script fail;
# copy it to tests/fuzz/regressions/ so that the replay tests run it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
media=(fuzz_pcx fuzz_tga fuzz_ilbm fuzz_palette fuzz_wav fuzz_voc fuzz_midi)
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_reader fuzz_extract "${media[@]}")
build=${VORPEX_FUZZ_BUILD:-build-fuzz}
tools/deps.sh clang-14 libclang-rt-14-dev
mkdir -p "$build"

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVORPEX_FUZZ=ON -DVORPEX_GUI=OFF -DVORPEX_BENCH=OFF >"$build/configure.log" 2>&1 ||
    { cat "$build/configure.log"; exit 1; }
cmake --build "$build" -j"${VORPEX_FUZZ_JOBS:-$(nproc)}" --target make_fuzz_seeds make_media_seeds \
    "${targets[@]}"

seeds="$build/fuzz-seeds"
rm -rf "$seeds"
"$build/tests/fuzz/make_fuzz_seeds" "$seeds" "$build/fuzz.dict"
# The media decoders' seeds, a folder each, from our own sample writers.
rm -rf "$build/media-seeds"
"$build/tests/fuzz/make_media_seeds" "$build/media-seeds"

# The extraction target makes and removes a folder tree per input: a memory file system is much faster.
scratch=${TMPDIR:-/tmp}
[ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    mkdir -p "$corpus"
    echo "== $target: ${seconds}s"
    # Inputs stay small: the reader gets room for long lists and deep trees; extraction writes a file per
    # record, so its inputs are kept to about 45 records. The timeout and memory limit turn a hang or a
    # runaway allocation into a finding.
    # A media decoder takes a whole file, with its own seeds and no archive dictionary.
    max_len=8192
    inputs=(-dict=fuzz.dict "corpus/$target" fuzz-seeds)
    [ "$target" = fuzz_extract ] && max_len=2048
    if [ -d "$build/media-seeds/$target" ]; then
        max_len=16384
        inputs=("corpus/$target" "media-seeds/$target")
    fi
    if ! (cd "$build" && VORPEX_FUZZ_TMP="$scratch" "./tests/fuzz/$target" -max_total_time="$seconds" \
        -max_len=$max_len -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 "${inputs[@]}" \
        2>"$target.log"); then
        status=1
        tail -n 40 "$build/$target.log"
        echo "== $target: FINDING (input saved in $build)"
    else
        grep -E "^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)" \
            "$build/$target.log" || true
        echo "== $target: no finding"
    fi
done
exit $status
