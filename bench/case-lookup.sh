#!/bin/sh
# Lookup by a name in another letter case in a folder of 100,000 entries, against the lookup by
# the exact name, measured in the same run (Google Benchmark). Prints the ratio and both times
# per lookup; the target is microseconds per lookup once the folder's index is built.
#
#   bench/case-lookup.sh [benchmark options]
#   BUILD=dir   build directory (default build; configured with -DVANTRY_BENCH=ON and built)
set -eu
cd "$(dirname "$0")/.."
BUILD=${BUILD:-build}
cmake -S . -B "$BUILD" -DVANTRY_BENCH=ON >/dev/null
cmake --build "$BUILD" --target bench_case_lookup -j"$(nproc)" >/dev/null
"$BUILD/bench/bench_case_lookup" "$@"
