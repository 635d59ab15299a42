#!/usr/bin/env bash
# Compares `vorpex-cli list` and `vorpex-cli extract` with bsdtar, GNU tar, unzip and 7z on a tar and a
# store-only zip of the same trees, with cat / cp -r as the limit, in one run on the same data:
#   listing  1,000,000 files of 8 bytes in 1,000 folders: list every path
#   small    20,000 files of 1-64 KiB: extract everything
#   big      two files of 1 GiB: extract everything
# Each command runs RUNS times; before each run the outputs of the last are deleted, the page cache is
# dropped and the inputs are read once (warm), none of it timed. Prints the median wall time and the median
# peak memory (maximum resident set, /usr/bin/time %M) of each command as a Markdown table.
#
#   bench/cli/compare.sh [WORKDIR [RUNS]]     default /tmp/vorpex-bench, 5 runs; needs root
#   VORPEX_CLI=path/to/vorpex-cli  SETS="listing small big"
# The trees, archives and outputs stay in WORKDIR (about 10 GB); a second run reuses the trees and archives.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
CLI=$(realpath "${VORPEX_CLI:-build/cli/vorpex-cli}")
WORK=${1:-/tmp/vorpex-bench}
RUNS=${2:-5}
SETS=${SETS:-listing small big}

for tool in bsdtar tar unzip zip 7z python3 /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "compare.sh: $tool is missing" >&2; exit 2; }
done
[ -x "$CLI" ] || { echo "compare.sh: no vorpex-cli at $CLI (build first or set VORPEX_CLI)" >&2; exit 2; }
[ -w /proc/sys/vm/drop_caches ] || { echo "compare.sh: run as root (drops the page cache)" >&2; exit 2; }

mkdir -p "$WORK"
cd "$WORK"

# prepare SET TREE: the tree on disk and its three archives, each made once.
prepare() {
    [ -d "$2" ] || python3 "$here/make_tree.py" "$1" .
    [ -f "$2.tar" ] || tar -cf "$2.tar" "$2"
    [ -f "$2.zip" ] || zip -0 -r -q "$2.zip" "$2"
    [ -f "$2.dir" ] || "$CLI" pack "$2" "$2.dir"
}

warm() {
    if [ -d "$1" ]; then
        find "$1" -type f -print0 | xargs -0 cat > /dev/null
    else
        cat "$1" > /dev/null
    fi
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# measure LABEL WARM COMMAND...: prints "LABEL<TAB>median seconds<TAB>median peak KiB".
measure() {
    local label=$1 input=$2
    shift 2
    local times="" mems="" i t0 t1
    for ((i = 0; i < RUNS; i++)); do
        rm -rf out
        mkdir out
        sync
        echo 3 > /proc/sys/vm/drop_caches
        warm "$input"
        t0=$(date +%s%N)
        if ! /usr/bin/time -f %M -o mem.txt "$@" > /dev/null 2> err.txt; then
            echo "compare.sh: $label failed: $(head -3 err.txt)" >&2
        fi
        t1=$(date +%s%N)
        times+="$(((t1 - t0) / 1000))"$'\n'
        mems+="$(tail -1 mem.txt)"$'\n'
    done
    printf '%s\t%s\t%s\n' "$label" "$(printf '%s' "$times" | median)" "$(printf '%s' "$mems" | median)"
}

# table TITLE REFERENCE-LABEL: reads the rows of measure and prints them with ratios to the reference.
table() {
    echo
    echo "### $1"
    echo
    echo "| command | median time | vs \`$2\` | peak memory |"
    echo "|---|---:|---:|---:|"
    awk -F'\t' -v ref="$2" '
        { label[NR] = $1; us[NR] = $2; kb[NR] = $3; if ($1 == ref) r = $2 }
        END { for (i = 1; i <= NR; i++)
                  printf "| `%s` | %.3f s | %.2fx | %.1f MiB |\n", label[i], us[i] / 1e6, us[i] / r, kb[i] / 1024 }'
}

echo "# vorpex-cli against archivers: $(date -u '+%Y-%m-%d %H:%M UTC'), $RUNS runs each, medians"
echo "Machine: $(nproc) cores, $(free -g | awk '/Mem:/ { print $2 }') GiB, $(uname -r); $(findmnt -no FSTYPE -T .) file system."

for set in $SETS; do
    case $set in
    listing)
        prepare listing L
        {
            measure "vorpex-cli list L.dir" L.dir "$CLI" list L.dir
            measure "cat L.dir" L.dir cat L.dir
            measure "cat L.tar" L.tar cat L.tar
            measure "bsdtar -tf L.tar" L.tar bsdtar -tf L.tar
            measure "tar -tf L.tar" L.tar tar -tf L.tar
            measure "bsdtar -tf L.zip" L.zip bsdtar -tf L.zip
            measure "unzip -Z1 L.zip" L.zip unzip -Z1 L.zip
            measure "7z l L.tar" L.tar 7z l L.tar
            measure "7z l L.zip" L.zip 7z l L.zip
        } | table "Listing 1,000,000 files in 1,000 folders (every path printed, to /dev/null)" \
            "vorpex-cli list L.dir"
        echo
        echo "Lines: vorpex-cli $("$CLI" list L.dir | wc -l), bsdtar $(bsdtar -tf L.tar | wc -l)." \
             "Sizes: L.dir $(du -m L.dir | cut -f1) MiB, L.tar $(du -m L.tar | cut -f1) MiB, L.zip $(du -m L.zip | cut -f1) MiB."
        ;;
    small | big)
        T=$([ "$set" = small ] && echo S || echo B)
        prepare "$set" "$T"
        {
            measure "vorpex-cli extract $T.dir" "$T.dir" "$CLI" extract --quiet -C out "$T.dir"
            measure "cp -r $T" "$T" cp -r "$T" out/
            measure "bsdtar -xf $T.tar" "$T.tar" bsdtar -xf "$T.tar" -C out
            measure "tar -xf $T.tar" "$T.tar" tar -xf "$T.tar" -C out
            measure "unzip $T.zip" "$T.zip" unzip -q "$T.zip" -d out
            measure "7z x $T.tar" "$T.tar" 7z x -y -oout "$T.tar"
            measure "7z x $T.zip" "$T.zip" 7z x -y -oout "$T.zip"
        } | table "Extracting $([ "$set" = small ] && echo "20,000 files of 1-64 KiB" || echo "two 1 GiB files")" "cp -r $T"
        # Untimed: the extraction is exact.
        rm -rf out && mkdir out && "$CLI" extract --quiet -C out "$T.dir"
        echo
        if diff -rq "$T" "out/$T" > /dev/null; then
            echo "Checked: \`vorpex-cli extract\` output equals the tree ($(find "out/$T" -type f | wc -l) files)."
        else
            echo "MISMATCH: vorpex-cli extract output differs from the tree"
        fi
        ;;
    esac
done
rm -rf out mem.txt err.txt
