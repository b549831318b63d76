#!/bin/sh
# Lookup by a name in another letter case in a folder of 100,000 entries, against the lookup by
# the exact name, measured in the same run (Google Benchmark). Prints the ratio and both times
# per lookup; the target is microseconds per lookup once the folder's index is built.
#
#   bench/case-lookup.sh [benchmark options]
set -eu
cd "$(dirname "$0")/.."
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
c++ -O2 -std=c++20 -Isrc/platform/ovfile32 -Isrc/platform/framework \
  bench/CaseInsensitiveLookupBench.cpp src/platform/ovfile32/*.cpp \
  -lbenchmark -lpthread -o "$WORK/case-lookup"
"$WORK/case-lookup" "$@"
