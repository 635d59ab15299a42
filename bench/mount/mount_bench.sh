#!/usr/bin/env bash
# Times `vorpex-cli mount`, each figure against a peer timed in the same run, medians of RUNS:
#   - mount until ready, 1,000,000 entries (1,000 folders of 1,000 tiny files): against `vorpex-cli check`,
#     which reads the same catalogue, and against archivemount on a tar of the same tree (when installed);
#   - `find DIR | wc -l` on a fresh mount: against `find` over the same tree extracted on disk, and over the
#     tar mounted by archivemount; caches dropped before each;
#   - `cat` of a 1 GiB entry through a fresh mount against `cat` of the same bytes from a plain file, with the
#     file cached (what the mount itself costs) and with caches dropped;
#   - peak memory of the mounting process after `find` and `cat` against the peak of `vorpex-cli check`.
# Usage (as root, for drop_caches; ~5 GB of scratch space): bench/mount/mount_bench.sh BUILD WORK [RUNS]
set -euo pipefail
build=$(realpath "${1:?build folder}")
work=${2:?scratch folder}
runs=${3:-5}
cli=$build/cli/vorpex-cli
mkdir -p "$work/m" "$work/a"
cd "$work"

[ -f MANY.DIR ] || "$build/bench/mount/bench_make_many" 1000 1000 MANY.DIR
[ -d many ] || { mkdir many.tmp && "$cli" extract --quiet -C many.tmp MANY.DIR && mv many.tmp many; }
[ -f BIG.DIR ] || "$build/bench/core/bench_make_archive" big 1 BIG.DIR
[ -d big ] || { mkdir big.tmp && "$cli" extract --quiet -C big.tmp BIG.DIR && mv big.tmp big; }
archivemount=$(command -v archivemount || true)
if [ -n "$archivemount" ] && [ ! -f many.tar ]; then
    tar -C many -cf many.tar.tmp . && mv many.tar.tmp many.tar
fi

now() { date +%s%N; }
ms() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f\n", (b - a) / 1e6 }'; }
drop() { sync; echo 3 > /proc/sys/vm/drop_caches; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
timed() { local t0; t0=$(now); "$@" > /dev/null; ms "$t0" "$(now)"; }
unmount() { "$cli" unmount "$1" 2> /dev/null || fusermount3 -u "$1"; }
record() { echo "$2" >> "$work/$1.times"; }
rm -f "$work"/*.times

for ((run = 1; run <= runs; run++)); do
    # Mount until ready: the command returns once the folder serves requests.
    cat MANY.DIR > /dev/null
    record check "$(timed "$cli" check MANY.DIR)"
    record mount "$(timed "$cli" mount MANY.DIR m)"
    unmount m

    drop
    "$cli" mount MANY.DIR m
    record find_mount "$(timed sh -c 'find m | wc -l')"
    unmount m
    drop
    record find_disk "$(timed sh -c 'find many | wc -l')"
    if [ -n "$archivemount" ]; then
        drop
        record am_mount "$(timed "$archivemount" -o ro many.tar a)"
        record find_am "$(timed sh -c 'find a | wc -l')"
        fusermount3 -u a
    fi

    cat BIG.DIR big/BIG/GIB0.BIN > /dev/null
    "$cli" mount BIG.DIR m
    record cat_mount_warm "$(timed cat m/BIG/GIB0.BIN)"
    unmount m
    record cat_plain_warm "$(timed cat big/BIG/GIB0.BIN)"
    drop
    "$cli" mount BIG.DIR m
    record cat_mount_cold "$(timed cat m/BIG/GIB0.BIN)"
    unmount m
    drop
    record cat_plain_cold "$(timed cat big/BIG/GIB0.BIN)"
done

# Memory: the mounting process in the foreground, its peak after browsing everything and reading 1 GiB.
"$cli" mount -f MANY.DIR m &
pid=$!
until mountpoint -q m; do sleep 0.01; done
find m > /dev/null
cat m/ROOT/FOLDER7/* > /dev/null
mem_mount=$(awk '/VmHWM/ { print $2 }' /proc/$pid/status)
unmount m
wait $pid || true
mem_check=$( { /usr/bin/time -f %M "$cli" check MANY.DIR > /dev/null; } 2>&1 | tail -1)
"$cli" mount -f BIG.DIR m &
pid=$!
until mountpoint -q m; do sleep 0.01; done
cat m/BIG/GIB0.BIN > /dev/null
mem_big=$(awk '/VmHWM/ { print $2 }' /proc/$pid/status)
unmount m
wait $pid || true

m() { median < "$work/$1.times"; }
ratio() { awk -v a="$(m "$1")" -v b="$(m "$2")" 'BEGIN { printf "%.2f\n", a / b }'; }
echo "medians of $runs runs, milliseconds"
echo "mount until ready (1,000,000 entries): $(m mount) ms; vorpex-cli check: $(m check) ms"
echo "find | wc -l: mount $(m find_mount) ms; extracted on disk $(m find_disk) ms (disk/mount $(ratio find_disk find_mount))"
if [ -n "$archivemount" ]; then
    echo "archivemount of the same tree as tar: mount $(m am_mount) ms, find $(m find_am) ms" \
        "(archivemount find/vorpex find $(ratio find_am find_mount))"
fi
echo "cat 1 GiB, cached: mount $(m cat_mount_warm) ms; plain file $(m cat_plain_warm) ms" \
    "(speed through the mount: $(ratio cat_plain_warm cat_mount_warm) of plain)"
echo "cat 1 GiB, caches dropped: mount $(m cat_mount_cold) ms; plain file $(m cat_plain_cold) ms" \
    "(speed through the mount: $(ratio cat_plain_cold cat_mount_cold) of plain)"
echo "peak memory: mount of 1,000,000 entries after find $((mem_mount / 1024)) MiB;" \
    "vorpex-cli check (the catalogue) $((mem_check / 1024)) MiB; mount after cat of 1 GiB $((mem_big / 1024)) MiB"
