#!/usr/bin/env bash
# Times the archive edits against the tools users would reach for, in one run on the same tree, in
# alternating rounds: one rename in a 1 GiB archive of 20,000 files against cp of the archive; update after
# changing 3 of its files against that rename; the same changes with 7z (7z and zip archives) and zip when
# they are installed; and, as root where a loop device and mkfs.xfs are at hand, the rename on XFS with
# reflink against cp there, with filefrag showing the unchanged data shared. Every archive is restored
# outside the timed part, the page cache is dropped (root) and the input read once before timing.
# Prints medians (ms) of RUNS runs each and their ratios. An edit syncs the new archive before it takes the
# old one's place, so cp is timed alone and with its copy synced (cp+sync); on XFS the peer is a full copy
# (cp --reflink=never, synced), since cp would share the extents itself.
# Usage: bench/core/edit_bench.sh [BUILD_DIR] [WORK_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
work=${2:-/tmp/vorpex-edit-bench}
runs=${3:-5}
cli=$build/cli/vorpex-cli
mkdir -p "$work"
cd "$work"

drop_caches() {
    sync
    if [ -w /proc/sys/vm/drop_caches ]; then echo 3 > /proc/sys/vm/drop_caches; fi
}
# ms COMMAND...: runs it, prints its milliseconds.
ms() {
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    echo $(((end - start) / 1000000))
}
median() { tr ' ' '\n' | grep . | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }

# The tree: 200 folders of 100 files, 1-104 KiB each (about 1 GiB), the same every run.
if [ ! -f tree.done ]; then
    rm -rf tree && mkdir tree
    python3 - <<'PY'
import os, random
random.seed(7)
for d in range(200):
    os.makedirs(f"tree/GAME/D{d:03}")
    for f in range(100):
        with open(f"tree/GAME/D{d:03}/F{f:03}.BIN", "wb") as out:
            out.write(random.randbytes(random.randint(1, 104) * 1024))
PY
    touch tree.done
fi
[ -f base.dir ] || "$cli" pack tree/GAME base.dir
rm -rf out && mkdir out && "$cli" extract -C out base.dir
for f in D000/F000.BIN D100/F050.BIN D199/F099.BIN; do printf 'changed' >> "out/GAME/$f"; done
have7z=$(command -v 7z || true)
havezip=$(command -v zip || true)
if [ -n "$have7z" ] && [ ! -f base.7z ]; then (cd tree && 7z a -mx=0 ../base.7z GAME >/dev/null && 7z a -tzip -mx=0 ../base7.zip GAME >/dev/null); fi
if [ -n "$havezip" ] && [ ! -f base.zip ]; then (cd tree && zip -qr -0 ../base.zip GAME); fi
mkdir -p changed/GAME/D000 changed/GAME/D100 changed/GAME/D199
for f in D000/F000.BIN D100/F050.BIN D199/F099.BIN; do cp "out/GAME/$f" "changed/GAME/$f"; done

declare -A times
# round LABEL ARCHIVE-SOURCE COMMAND...: restores the archive, drops caches, reads it once, times COMMAND.
round() {
    local label=$1 source=$2
    shift 2
    rm -f copy.dir a.dir a.7z a.zip
    cp "$source" "a.${source##*.}"
    drop_caches
    cat "a.${source##*.}" >/dev/null
    times[$label]+="$(ms "$@") "
}
for _ in $(seq "$runs"); do
    round cp base.dir cp a.dir copy.dir
    round cp+sync base.dir sh -c 'cp a.dir copy.dir && sync copy.dir'
    round rename base.dir "$cli" rename a.dir GAME/D000/F001.BIN RENAMED.BIN
    round update base.dir "$cli" update a.dir out
    if [ -n "$have7z" ]; then
        round 7z-u-7z base.7z sh -c 'cd changed && 7z u -mx=0 ../a.7z GAME'
        round 7z-d-7z base.7z 7z d a.7z GAME/D000/F001.BIN
        round 7z-u-zip base7.zip sh -c 'cd changed && 7z u -tzip -mx=0 ../a.zip GAME'
    fi
    if [ -n "$havezip" ]; then
        round zip base.zip sh -c 'cd changed && zip -q -0 ../a.zip GAME/D000/F000.BIN GAME/D100/F050.BIN GAME/D199/F099.BIN'
        round zip-d base.zip zip -q -d a.zip GAME/D000/F001.BIN
    fi
done
cpm=$(echo "${times[cp]}" | median)
renm=$(echo "${times[rename]}" | median)
printf '%-10s %8s %8s %8s   %s\n' case median/ms xcp xrename runs
for label in cp cp+sync rename update 7z-u-7z 7z-d-7z 7z-u-zip zip zip-d; do
    [ -n "${times[$label]:-}" ] || continue
    m=$(echo "${times[$label]}" | median)
    printf '%-10s %8d %8.2f %8.2f   %s\n' "$label" "$m" "$(echo "$m / $cpm" | bc -l)" "$(echo "$m / $renm" | bc -l)" "${times[$label]}"
done

# XFS with reflink on a loop device: the rename shares the unchanged data.
if [ "$(id -u)" = 0 ] && command -v mkfs.xfs >/dev/null; then
    img=$work/xfs.img mnt=$work/xfs
    truncate -s 5G "$img"
    mkfs.xfs -q -f -m reflink=1 "$img"
    mkdir -p "$mnt"
    if mount -o loop "$img" "$mnt" 2>/dev/null; then
        trap 'umount "$mnt" || true; rm -f "$img"' EXIT
        cp base.dir "$mnt/base.dir"
        unset 'times[cp]' 'times[rename]'
        declare -A xfs
        for _ in $(seq "$runs"); do
            rm -f "$mnt/a.dir" "$mnt/copy.dir"
            cp --reflink=never "$mnt/base.dir" "$mnt/a.dir"
            drop_caches
            cat "$mnt/a.dir" >/dev/null
            xfs[cp]+="$(ms sh -c "cp --reflink=never '$mnt/a.dir' '$mnt/copy.dir' && sync '$mnt/copy.dir'") "
            xfs[rename]+="$(ms "$cli" rename "$mnt/a.dir" GAME/D000/F001.BIN RENAMED.BIN) "
        done
        xcp=$(echo "${xfs[cp]}" | median)
        xren=$(echo "${xfs[rename]}" | median)
        echo "XFS reflink: cp ${xcp} ms, rename ${xren} ms, ratio $(echo "$xren / $xcp" | bc -l | cut -c1-5)  (${xfs[cp]}/ ${xfs[rename]})"
        # The old archive kept under a second name, so that the blocks the new one shares with it stay shared.
        rm -f "$mnt/copy.dir" "$mnt/old.dir"
        ln "$mnt/a.dir" "$mnt/old.dir"
        "$cli" rename "$mnt/a.dir" GAME/D000/RENAMED.BIN AGAIN.BIN
        echo "Extents of the renamed archive (shared ones flagged):"
        filefrag -v "$mnt/a.dir" | awk 'NR > 3' | head -5
        echo "extents: $(filefrag -v "$mnt/a.dir" | grep -c shared || true) shared of $(filefrag -v "$mnt/a.dir" | grep -cE '^ +[0-9]+:')"
    else
        echo "XFS: no loop mount here"
    fi
fi
