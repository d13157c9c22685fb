#!/usr/bin/env bash
# Configures and builds Grelavo into build/; build/bin is the program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@"
cmake --build build --parallel "$(nproc)"
