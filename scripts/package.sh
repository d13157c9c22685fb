#!/usr/bin/env bash
# Sets up, builds and makes the Debian package of Grelavo with CPack: the programs in /usr/bin,
# the shipped database and help file in /usr/share/grelavo, the desktop entry, icon, metainfo
# and manual pages; its Depends come from the programs' libraries (dpkg-shlibdeps).
# The package is written to build/, e.g. build/grelavo_1.10_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
cd build
cpack -G DEB
