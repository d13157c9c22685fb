#!/usr/bin/env bash
# Sets up, builds (warnings as errors), runs clang-tidy and the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Every C++ file as .clang-format lays it out.
find src tests tools data bench -name '*.cpp' -o -name '*.h' | sort |
    xargs clang-format --dry-run --Werror
# The core and the renderer build on their own, without any window.
cmake -S . -B build-core -G Ninja -DGRELAVO_CORE_ONLY=ON -DGRELAVO_WERROR=ON >/dev/null
cmake --build build-core --parallel "$(nproc)"
scripts/build.sh -DGRELAVO_WERROR=ON
# clang-tidy with the checks in .clang-tidy over every source file of the project in the build's
# compile database (moc's and rcc's generated files left out); any finding fails.
run-clang-tidy -p build -quiet -j "$(nproc)" "^$PWD/(src|tests|tools|data|bench)/"
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 --parallel "$(nproc)"
