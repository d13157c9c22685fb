#!/usr/bin/env bash
# Configures and builds Grelavo into build/; build/bin is the program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
# Optimised, with line tables for backtraces (-g1): full debug information made every compile a
# third slower. Configure a Debug tree of your own to step through the code.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON "$@"
cmake --build build --parallel "$(nproc)"
