#!/usr/bin/env bash
# Compares `vorpex-cli list` and `vorpex-cli extract` with bsdtar, GNU tar, unzip and 7z on a tar and a
# store-only zip of the same trees, with cat / cp -r as the limit, in one run on the same data:
#   listing  1,000,000 files of 8 bytes in 1,000 folders: list every path
#   small    20,000 files of 1-64 KiB: extract everything
#   big      two files of 1 GiB: extract everything
# Each command runs RUNS times; before each run the outputs of the last are deleted, the page cache is
# dropped and the inputs are read once (warm), none of it timed. Prints the median wall time, CPU time and
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

# The commands of one set are run in rounds, one run of each command per round, so that a change in the
# machine's load during the set falls on every command alike.
# add LABEL WARM COMMAND...: adds a command to the current set.
labels=()
warms=()
commands=()
add() {
    labels+=("$1")
    warms+=("$2")
    shift 2
    commands+=("$(printf '%q ' "$@")")
}

# run_set: runs the current set's commands RUNS times each and prints, for each, a row
# "LABEL<TAB>median wall microseconds<TAB>median CPU seconds (user + system)<TAB>median peak KiB".
run_set() {
    local round i t0 t1
    rm -rf times
    mkdir times
    for ((round = 0; round < RUNS; round++)); do
        for i in "${!labels[@]}"; do
            rm -rf out
            mkdir out
            sync
            echo 3 > /proc/sys/vm/drop_caches
            warm "${warms[$i]}"
            t0=$(date +%s%N)
            if ! eval "/usr/bin/time -f '%M %U %S' -o mem.txt ${commands[$i]}" > /dev/null 2> err.txt; then
                echo "compare.sh: ${labels[$i]} failed: $(head -3 err.txt)" >&2
            fi
            t1=$(date +%s%N)
            echo "$(((t1 - t0) / 1000))" >> "times/$i.wall"
            tail -1 mem.txt | awk '{ print $2 + $3 }' >> "times/$i.cpu"
            tail -1 mem.txt | awk '{ print $1 }' >> "times/$i.mem"
        done
    done
    for i in "${!labels[@]}"; do
        printf '%s\t%s\t%s\t%s\n' "${labels[$i]}" "$(median < "times/$i.wall")" "$(median < "times/$i.cpu")" \
            "$(median < "times/$i.mem")"
    done
    rm -rf times
}

# table TITLE REFERENCE-LABEL: reads the rows of run_set and prints them with ratios to the reference.
table() {
    echo
    echo "### $1"
    echo
    echo "| command | median time | vs \`$2\` | median CPU (user + sys) | peak memory |"
    echo "|---|---:|---:|---:|---:|"
    awk -F'\t' -v ref="$2" '
        { label[NR] = $1; us[NR] = $2; cpu[NR] = $3; kb[NR] = $4; if ($1 == ref) r = $2 }
        END { for (i = 1; i <= NR; i++)
                  printf "| `%s` | %.3f s | %.2fx | %.2f s | %.1f MiB |\n", label[i], us[i] / 1e6, us[i] / r, cpu[i], kb[i] / 1024 }'
}

echo "# vorpex-cli against archivers: $(date -u '+%Y-%m-%d %H:%M UTC'), $RUNS runs each, medians"
echo "Machine: $(nproc) cores, $(free -g | awk '/Mem:/ { print $2 }') GiB, $(uname -r); $(findmnt -no FSTYPE -T .) file system; load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)."

for set in $SETS; do
    labels=()
    warms=()
    commands=()
    case $set in
    listing)
        prepare listing L
        add "vorpex-cli list L.dir" L.dir "$CLI" list L.dir
        add "cat L.dir" L.dir cat L.dir
        add "cat L.tar" L.tar cat L.tar
        add "bsdtar -tf L.tar" L.tar bsdtar -tf L.tar
        add "tar -tf L.tar" L.tar tar -tf L.tar
        add "bsdtar -tf L.zip" L.zip bsdtar -tf L.zip
        add "unzip -Z1 L.zip" L.zip unzip -Z1 L.zip
        add "7z l L.tar" L.tar 7z l L.tar
        add "7z l L.zip" L.zip 7z l L.zip
        run_set | table "Listing 1,000,000 files in 1,000 folders (every path printed, to /dev/null)" \
            "vorpex-cli list L.dir"
        echo
        echo "Lines: vorpex-cli $("$CLI" list L.dir | wc -l), bsdtar $(bsdtar -tf L.tar | wc -l)." \
             "Sizes: L.dir $(du -m L.dir | cut -f1) MiB, L.tar $(du -m L.tar | cut -f1) MiB, L.zip $(du -m L.zip | cut -f1) MiB."
        ;;
    small | big)
        T=$([ "$set" = small ] && echo S || echo B)
        prepare "$set" "$T"
        add "vorpex-cli extract $T.dir" "$T.dir" "$CLI" extract --quiet -C out "$T.dir"
        add "cp -r $T" "$T" cp -r "$T" out/
        add "bsdtar -xf $T.tar" "$T.tar" bsdtar -xf "$T.tar" -C out
        add "tar -xf $T.tar" "$T.tar" tar -xf "$T.tar" -C out
        add "unzip $T.zip" "$T.zip" unzip -q "$T.zip" -d out
        add "7z x $T.tar" "$T.tar" 7z x -y -oout "$T.tar"
        add "7z x $T.zip" "$T.zip" 7z x -y -oout "$T.zip"
        run_set | table "Extracting $([ "$set" = small ] && echo "20,000 files of 1-64 KiB" || echo "two 1 GiB files")" "cp -r $T"
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
echo
echo "Load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)."
