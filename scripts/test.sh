#!/usr/bin/env bash
# Sets up, builds (warnings as errors), runs clang-tidy and the whole test suite headless.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
# Every C++ file as .clang-format lays it out.
find src tests tools data bench -name '*.cpp' -o -name '*.h' | sort |
    xargs clang-format --dry-run --Werror
# No source file of the programs over 600 lines; functions over 80 lines are listed.
python3 scripts/sizes.py --check
# The core and the renderer stand on their own, without any window: the project configures with
# them alone (no QtWidgets, no chmlib, no tests). Their targets are the same in the whole build,
# which compiles and links them without QtWidgets' headers or library, so compiling them a second
# time here would check nothing more.
cmake -S . -B build-core -G Ninja -DGRELAVO_CORE_ONLY=ON -DGRELAVO_WERROR=ON >/dev/null
scripts/build.sh -DGRELAVO_WERROR=ON
# clang-tidy reads the project's source files in the build's compile database with the checks in
# .clang-tidy (scripts/tidy.py: in CI every file; in a developer's tree those changed since they
# were last found clean; files compiled alike are read in batches); any finding fails. Then the
# tests run. (clang-tidy beside the tests gained nothing worth their mixed output: 7 min 45 s
# against 8 min 03 s one after the other, on two cores that both keep busy.)
scripts/tidy.py build --jobs "$(nproc)"
# Twice as many tests at a time as there are cores: many wait on the programs they start, on
# timers or on the disk (on two cores: 115 s against 147 s one per core).
cd build
QT_QPA_PLATFORM=offscreen ctest --output-on-failure --timeout 600 --parallel "$((2 * $(nproc)))"
