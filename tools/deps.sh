#!/usr/bin/env bash
# Installs the Debian 12 packages Vorpex needs to build, test and run, when they are missing.
# Usage: tools/deps.sh [extra-package...]      tools/deps.sh --list   (prints the packages, installs nothing)
set -euo pipefail
packages=(cmake make g++ pkg-config qt6-base-dev libgl-dev libgtest-dev libgmock-dev libbenchmark-dev
    libarchive-tools) # bsdtar: the peer of bench/cli
# The media library writes PNG with zlib's deflate.
packages+=(zlib1g-dev)
# The preview plays sounds through Qt Multimedia.
packages+=(qt6-multimedia-dev)
# Man pages and icon renderings at build time; the validators, bash completion and the Debian package tools
# that tools/check-install.sh uses.
packages+=(scdoc librsvg2-bin desktop-file-utils appstream mandoc bash-completion dpkg-dev file)
# The archives' MIME type: its database, and xdg-mime with gio to ask it as a desktop does; xdg-open opens
# entries.
packages+=(shared-mime-info xdg-utils libglib2.0-bin)
# vorpex-cli mount: libfuse 3 and fusermount3.
packages+=(libfuse3-dev fuse3)
if [ "${1:-}" = "--list" ]; then
    echo "${packages[@]}"
    exit 0
fi
packages+=("$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
