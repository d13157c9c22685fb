#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Grelavo needs.
# Safe to run again; works as root (no sudo needed) or as a user with sudo.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config python3 clang-format clang-tidy lld
    qt6-base-dev qt6-svg-dev libgl-dev qt6-translations-l10n
    libsqlcipher-dev sqlcipher
    libchm-dev libchm-bin fp-utils
    libbenchmark-dev
    xvfb xauth xdotool imagemagick poppler-utils
    desktop-file-utils appstream groff-base dpkg-dev lintian
    fonts-liberation fonts-liberation2 fonts-dejavu-core
)

if [ "$(id -u)" -eq 0 ]; then
    as_root=()
else
    as_root=(sudo)
fi

export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${packages[@]}"
