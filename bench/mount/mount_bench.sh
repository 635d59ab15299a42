#!/usr/bin/env bash
# Times `vorpex-cli mount`, each figure against a peer timed in the same run, medians of RUNS:
#   - mount until ready, 1,000,000 entries (1,000 folders of 1,000 tiny files): against `vorpex-cli check`,
#     which reads the same catalogue;
#   - `du -s DIR` and `ls -lR DIR > /dev/null` over the 1,000,000 entries, the kernel's caches dropped
#     before each: against archivemount on a tar of the same tree (when installed), each tool mounted once;
#   - `cat` of a 1 GiB entry against `cat` of the same bytes from a plain file: through a fresh mount with the
#     archive cached, through a fresh mount with caches dropped (cold), and a second time on the same mount;
#     once with 3 s of idle before each timing ("after idle") and once back to back;
#   - peak memory of the mounting process after `du` and `ls -lR` over everything, against the peak of
#     `vorpex-cli check`.
# The listing figures always wait 3 s before each timing. Usage (as root, for drop_caches; ~5 GB of scratch
# space): bench/mount/mount_bench.sh BUILD WORK [RUNS]
set -euo pipefail
build=$(realpath "${1:?build folder}")
work=${2:?scratch folder}
runs=${3:-5}
cli=$build/cli/vorpex-cli
mkdir -p "$work/m" "$work/a"
cd "$work"

[ -f MANY.DIR ] || "$build/bench/mount/bench_make_many" 1000 1000 MANY.DIR
[ -f BIG.DIR ] || "$build/bench/core/bench_make_archive" big 1 BIG.DIR
[ -d big ] || { mkdir big.tmp && "$cli" extract --quiet -C big.tmp BIG.DIR && mv big.tmp big; }
archivemount=$(command -v archivemount || true)
if [ -n "$archivemount" ] && [ ! -f many.tar ]; then
    [ -d many ] || { mkdir many.tmp && "$cli" extract --quiet -C many.tmp MANY.DIR && mv many.tmp many; }
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

# Mount until ready: the command returns once the folder serves requests.
for ((run = 1; run <= runs; run++)); do
    cat MANY.DIR > /dev/null
    record check "$(timed "$cli" check MANY.DIR)"
    record mount "$(timed "$cli" mount MANY.DIR m)"
    unmount m
done

# Listing: each tool mounted once (archivemount reads the whole tar first), caches dropped before each run.
"$cli" mount -f MANY.DIR m &
vorpex=$!
until mountpoint -q m; do sleep 0.01; done
[ -z "$archivemount" ] || "$archivemount" -o ro,readonly many.tar a
for ((run = 1; run <= runs; run++)); do
    for tool in m a; do
        [ "$tool" = m ] || [ -n "$archivemount" ] || continue
        drop; sleep 3
        record "du_$tool" "$(timed du -s $tool)"
        drop; sleep 3
        record "ls_$tool" "$(timed ls -lR $tool)"
    done
done
mem_mount=$(awk '/VmHWM/ { print $2 }' /proc/$vorpex/status)
unmount m
wait $vorpex || true
[ -z "$archivemount" ] || fusermount3 -u a
mem_check=$( { /usr/bin/time -f %M "$cli" check MANY.DIR > /dev/null; } 2>&1 | tail -1)

# Reading 1 GiB: after idle (3 s before each timing), then back to back.
for idle in 3 0; do
    for ((run = 1; run <= runs; run++)); do
        cat BIG.DIR big/BIG/GIB0.BIN > /dev/null
        "$cli" mount BIG.DIR m
        sleep $idle
        record "cat_warm_$idle" "$(timed cat m/BIG/GIB0.BIN)"
        sleep $idle
        record "cat_second_$idle" "$(timed cat m/BIG/GIB0.BIN)"
        unmount m
        sleep $idle
        record "cat_plain_$idle" "$(timed cat big/BIG/GIB0.BIN)"
        drop
        "$cli" mount BIG.DIR m
        sleep $idle
        record "cat_cold_$idle" "$(timed cat m/BIG/GIB0.BIN)"
        unmount m
        drop
        sleep $idle
        record "cat_plain_cold_$idle" "$(timed cat big/BIG/GIB0.BIN)"
    done
done

m() { median < "$work/$1.times"; }
ratio() { awk -v a="$(m "$1")" -v b="$(m "$2")" 'BEGIN { printf "%.2f\n", a / b }'; }
echo "medians of $runs runs, milliseconds"
echo "mount until ready (1,000,000 entries): $(m mount) ms; vorpex-cli check: $(m check) ms"
if [ -n "$archivemount" ]; then
    echo "du -s: mount $(m du_m) ms; archivemount $(m du_a) ms (archivemount/mount $(ratio du_a du_m))"
    echo "ls -lR: mount $(m ls_m) ms; archivemount $(m ls_a) ms (archivemount/mount $(ratio ls_a ls_m))"
else
    echo "du -s: mount $(m du_m) ms; ls -lR: mount $(m ls_m) ms (archivemount not installed)"
fi
for idle in 3 0; do
    [ $idle = 3 ] && echo "cat 1 GiB, after 3 s idle:" || echo "cat 1 GiB, back to back:"
    echo "  fresh mount, archive cached: $(m cat_warm_$idle) ms; plain file $(m cat_plain_$idle) ms" \
        "(speed through the mount: $(ratio cat_plain_$idle cat_warm_$idle) of plain)"
    echo "  second read, same mount: $(m cat_second_$idle) ms ($(ratio cat_plain_$idle cat_second_$idle) of plain)"
    echo "  caches dropped: mount $(m cat_cold_$idle) ms; plain file $(m cat_plain_cold_$idle) ms" \
        "($(ratio cat_plain_cold_$idle cat_cold_$idle) of plain)"
done
echo "peak memory: mount of 1,000,000 entries after du and ls -lR $((mem_mount / 1024)) MiB;" \
    "vorpex-cli check (the catalogue) $((mem_check / 1024)) MiB"
