#!/usr/bin/env bash
# Checks what installing a build gives a user: every file in place under a DESTDIR (and nothing else), the
# desktop entry and the AppStream metadata valid, the man pages free of lint, the sample archive of our
# MIME type with Vorpex its program, the bash completion completing a command, an option, a code page and
# an archive's paths; with --package (as root, on a machine where Vorpex is not installed), the Debian
# package built, installed with apt, both programs run from /usr/bin, the type known system-wide, and
# removed without leaving a file (or the type) behind.
# Usage: tools/check-install.sh BUILD_DIR [--package]        (BUILD_DIR built in full first)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:?usage: tools/check-install.sh BUILD_DIR [--package]}")
package=${2:-}
fail() {
    echo "check-install: $*" >&2
    exit 1
}
header="$build/generated/VorpexVersion.h"
id=$(sed -n 's/^#define VORPEX_APP_ID "\(.*\)"$/\1/p' "$header")
version=$(sed -n 's/^#define VORPEX_VERSION "\(.*\)"$/\1/p' "$header")
[ -n "$id" ] && [ -n "$version" ] || fail "no application id or version in $header"
export QT_QPA_PLATFORM=offscreen

# The files a package of this build holds, below the prefix /usr.
sizes=(16 24 32 48 64 128 256)
expected=(bin/vorpex bin/vorpex-cli "share/applications/$id.desktop" "share/metainfo/$id.metainfo.xml"
    "share/icons/hicolor/scalable/apps/$id.svg" share/man/man1/vorpex.1.gz share/man/man1/vorpex-cli.1.gz
    share/bash-completion/completions/vorpex-cli "share/mime/packages/$id.xml")
for size in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/$id.png")
done

dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR="$dest" cmake --install "$build" --prefix /usr >/dev/null
diff <(printf '%s\n' "${expected[@]}" | sort) <(cd "$dest/usr" && find . -type f -printf '%P\n' | sort) ||
    fail "the installed files (right) are not the expected ones (left)"
root="$dest/usr"
for size in "${sizes[@]}"; do
    # A PNG's width and height are the big-endian words at bytes 16 and 20.
    read -r w h < <(od -An -tu4 --endian=big -j16 -N8 "$root/share/icons/hicolor/${size}x${size}/apps/$id.png")
    [ "$w.$h" = "$size.$size" ] || fail "the ${size}x${size} icon is ${w}x${h}"
done
[ "$("$root/bin/vorpex-cli" --version)" = "vorpex-cli $version" ] || fail "vorpex-cli --version"
[ "$("$root/bin/vorpex" --version)" = "Vorpex $version" ] || fail "vorpex --version"
echo "check-install: ${#expected[@]} files installed"

# The validators distributions run; a warning counts as a failure.
out=$(desktop-file-validate "$root/share/applications/$id.desktop" 2>&1) && [ -z "$out" ] ||
    fail "desktop-file-validate: $out"
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" >/dev/null ||
    fail "appstreamcli validate: $(appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml")"
for page in vorpex vorpex-cli; do
    out=$(zcat "$root/share/man/man1/$page.1.gz" | mandoc -Tlint 2>&1) && [ -z "$out" ] ||
        fail "mandoc -Tlint $page.1: $out"
done
echo "check-install: desktop entry, metadata and man pages valid"

# File managers offer Vorpex for an archive: the database built from our type as the package's trigger
# builds it, then asked as a desktop asks it (GNOME's gio), with nothing of the user's in the way.
mimetype=application/x-vorpex-archive
grep -qx "MimeType=$mimetype;" "$root/share/applications/$id.desktop" ||
    fail "the desktop entry does not offer Vorpex for $mimetype"
out=$(XDG_DATA_DIRS="$root/share" update-mime-database "$root/share/mime" 2>&1) && [ -z "$out" ] ||
    fail "update-mime-database: $out"
update-desktop-database "$root/share/applications"
mkdir -p "$dest/home" "$dest/other/mime/packages"
xdg_mime() {
    XDG_CURRENT_DESKTOP=GNOME XDG_DATA_HOME="$dest/home" XDG_CONFIG_HOME="$dest/home" \
        XDG_CONFIG_DIRS="$dest/home" XDG_DATA_DIRS="$1:/usr/share" xdg-mime query "${@:2}"
}
sample=examples/SAMPLE.DIR
[ "$(xdg_mime "$root/share" filetype $sample)" = "$mimetype" ] ||
    fail "xdg-mime gives $sample the type '$(xdg_mime "$root/share" filetype $sample)', not $mimetype"
[ "$(xdg_mime "$root/share" default $mimetype)" = "$id.desktop" ] ||
    fail "xdg-mime gives $mimetype the program '$(xdg_mime "$root/share" default $mimetype)', not $id.desktop"
# Another program's type for such names, at the usual weight, wins over ours.
cat >"$dest/other/mime/packages/other.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-other-dir"><comment>Other</comment><glob pattern="*.dir"/></mime-type>
</mime-info>
XML
XDG_DATA_DIRS="$dest/other" update-mime-database "$dest/other/mime"
[ "$(xdg_mime "$dest/other:$root/share" filetype $sample)" = application/x-other-dir ] ||
    fail "our type takes another program's *.dir files"
echo "check-install: $sample is $mimetype, opened by Vorpex"

# Completion as a user gets it: bash-completion's helpers, our script, the installed program on the PATH.
# Prints what pressing Tab at the end of the line offers, one a line.
complete_line() {
    PATH="$root/bin:$PATH" bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        compopt() { :; } # only works inside a real completion
        COMP_LINE=$2 COMP_POINT=${#2}
        read -ra COMP_WORDS <<<"$2"
        [[ $2 != *" " ]] || COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _vorpex_cli vorpex-cli "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' bash "$root/share/bash-completion/completions/vorpex-cli" "$1"
}
expect_completion() {
    local got
    got=$(complete_line "$1")
    # shellcheck disable=SC2053 # $2 is a pattern
    [[ $got == $2 ]] || fail "completing '$1' gave '$got', not '$2'"
}
expect_completion "vorpex-cli ex" extract
expect_completion "vorpex-cli list examples/SAMPLE.DIR --lo" --long
expect_completion "vorpex-cli check --encoding CP43" "*CP437*"
expect_completion "vorpex-cli extract -C . examples/SAMPLE.DIR DATA/M" DATA/MAPS/
expect_completion "vorpex-cli extract examples/SAMPLE.DIR DATA/MAPS/" $'DATA/MAPS/E1M1.MAP\nDATA/MAPS/E1M2.MAP\nDATA/MAPS/SECRET/'
echo "check-install: bash completion works"

[ "$package" = --package ] || exit 0
[ "$(id -u)" -eq 0 ] || fail "--package installs the package and needs root"
! dpkg-query -W -f='${Status}' vorpex 2>/dev/null | grep -q "installed" ||
    fail "vorpex is installed on this machine already; not touching it"
rm -f "$build"/vorpex_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/vorpex_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single package: ${debs[*]}"
dpkg-deb -f "${debs[0]}" Depends | grep -q libc6 || fail "the package's dependencies were not found"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${debs[0]}" >/dev/null
installed=$(dpkg -L vorpex)
[ "$(/usr/bin/vorpex-cli --version)" = "vorpex-cli $version" ] || fail "/usr/bin/vorpex-cli --version"
[ "$(/usr/bin/vorpex --version)" = "Vorpex $version" ] || fail "/usr/bin/vorpex --version"
for file in "${expected[@]}"; do
    [ -f "/usr/$file" ] || fail "the package did not install /usr/$file"
done
# The package's triggers have put our type in the system's databases, and take it out again on removal.
[ "$(xdg_mime /usr/share filetype $sample)" = "$mimetype" ] || fail "installed, $sample is no $mimetype"
[ "$(xdg_mime /usr/share default $mimetype)" = "$id.desktop" ] ||
    fail "installed, Vorpex does not open $mimetype"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq vorpex >/dev/null
[ "$(xdg_mime /usr/share filetype $sample)" != "$mimetype" ] || fail "$mimetype is left after removing the package"
while read -r path; do
    [ -d "$path" ] || [ ! -e "$path" ] || fail "$path is left after removing the package"
done <<<"$installed"
echo "check-install: ${debs[0]##*/} installed, ran and removed"
