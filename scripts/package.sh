#!/usr/bin/env bash
# Sets up, builds and makes the Debian package of Grelavo with CPack: the programs in /usr/bin,
# the shipped database and help file in /usr/share/grelavo, the desktop entry, icon, metainfo,
# manual pages, licence and changelog; its Depends come from the programs' libraries
# (dpkg-shlibdeps). Only what the package ships is built (no tests), in Release, in
# build-package/; the package is written there, e.g. build-package/grelavo_1.10_amd64.deb.
# Extra arguments go to CMake, e.g. -DGRELAVO_CONTACT=adresse@exemple.org.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DGRELAVO_TESTS=OFF "$@"
cmake --build build-package --parallel "$(nproc)"
cd build-package
cpack -G DEB
