#!/usr/bin/env bash
# Builds grelavo-bench (with grelavo-import, grelavo-export and the shipped database it starts)
# in Release and times, on the demonstration database at scales 1, 10 and 100, opening, a first
# report, the reports with and without details, each cascading-list step, the rate picker, the
# import and the export, each beside its lower bound; prints the Google Benchmark figures, then
# Markdown tables of the medians, the ratios, growth exponents, peak memory and targets.
# The build runs on CMAKE_BUILD_PARALLEL_LEVEL jobs when it is set, else on every core.
#
#   scripts/bench.sh [--scales LIST] [Google Benchmark flags]
#
#   --scales 1,10,100           the scales to build and time (default 1,10,100)
#   e.g. --benchmark_filter=report   only the reports; --benchmark_repetitions=9  more runs
#
# Build folder: .cache/bench/build (GRELAVO_BENCH_BUILD). Databases: .cache/bench/databases/
# scale-S/Grelavo.mdb (GRELAVO_BENCH_DATA), kept between runs and built again when the program
# (and so its generator) is newer. The tables are also written to .cache/bench/summary.md, the
# median times to .cache/bench/medians.tsv; copy that file to .cache/bench/baseline.tsv to make
# it the times a later run's scale 1 must not exceed.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${GRELAVO_BENCH_BUILD:-.cache/bench/build}
data=${GRELAVO_BENCH_DATA:-.cache/bench/databases}
summary=${GRELAVO_BENCH_SUMMARY:-.cache/bench/summary.md}
medians=${GRELAVO_BENCH_MEDIANS:-.cache/bench/medians.tsv}
baseline=${GRELAVO_BENCH_BASELINE:-.cache/bench/baseline.tsv}
scales=1,10,100

args=()
while [ $# -gt 0 ]; do
    case "$1" in
        --scales) scales=${2:?--scales needs a list such as 1,10,100}; shift 2 ;;
        --scales=*) scales=${1#--scales=}; shift ;;
        *) args+=("$1"); shift ;;
    esac
done

# A fresh machine gets its packages first.
if ! command -v cmake >/dev/null || ! command -v ninja >/dev/null ||
    [ ! -e /usr/include/benchmark/benchmark.h ] || ! pkg-config --exists sqlcipher 2>/dev/null; then
    scripts/setup.sh
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target grelavo-bench --parallel "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

mkdir -p "$data" "$(dirname "$summary")"
echo "Machine: $(nproc) cores, $(uname -sr); build $build (Release); databases in $data"
baselineArg=()
[ -f "$baseline" ] && baselineArg=(--grelavo_baseline="$baseline")
exec "$build/bin/grelavo-bench" --grelavo_data="$data" --grelavo_scales="$scales" \
    --grelavo_summary="$summary" --grelavo_medians="$medians" \
    "${baselineArg[@]+"${baselineArg[@]}"}" "${args[@]+"${args[@]}"}"
