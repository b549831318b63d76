#!/bin/sh
# The interruption tests over a long range of packet numbers: `vantry get` and `vantry put` of a
# file and of a tree, onto nothing or over older copies, with the guest or the host killed
# (SIGKILL) at its Nth packet, for every N in the range. Prints the counts and the cases that
# failed or were skipped as known faults; a case is replayed alone by its N, e.g.
#   VANTRY_INTERRUPT_PACKETS=37 build/tests/interruption/interruption_tests --gtest_filter='*PutTreeReplacingKillHost_N37'
#
#   bench/interrupt-sweep.sh [PACKETS [JOBS]]   (defaults 1-160 and 2; BUILD=dir, default build)
set -eu
cd "$(dirname "$0")/.."
PACKETS=${1:-1-160}
JOBS=${2:-2}
BUILD=${BUILD:-build}
[ -d "$BUILD" ] || cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$JOBS" --target interruption_tests vantry >/dev/null
TESTS="$BUILD/tests/interruption/interruption_tests"

OUT=$(mktemp -d)
trap 'rm -rf "$OUT"' EXIT INT TERM
START=$(date +%s)
# Shards of the same list run side by side.
i=0
while [ "$i" -lt "$JOBS" ]; do
  VANTRY_INTERRUPT_PACKETS=$PACKETS GTEST_TOTAL_SHARDS=$JOBS GTEST_SHARD_INDEX=$i \
    "$TESTS" --gtest_brief=0 > "$OUT/shard$i.log" 2>&1 &
  i=$((i + 1))
done
wait || true
END=$(date +%s)

cat "$OUT"/shard*.log > "$OUT/all.log"
count() { grep -c "^\[ *$1 *\] Cuts/.*([0-9]* ms)$" "$OUT/all.log" || true; }
echo "packets $PACKETS, 16 kinds of transfer: $(count OK) passed, $(count FAILED) failed," \
     "$(count SKIPPED) skipped as known, in $((END - START)) s"
if [ "$(count FAILED)" != 0 ]; then
  echo "failed:"
  grep "^\[  FAILED  \] Cuts/.*ms)$" "$OUT/all.log" | sed 's/.*\/\([A-Za-z]*_N[0-9]*\).*/  \1/'
fi
if [ "$(count SKIPPED)" != 0 ]; then
  echo "skipped as known (by kind, with the packet numbers):"
  grep "^\[  SKIPPED \] Cuts/.*ms)$" "$OUT/all.log" | sed 's/.*\/\([A-Za-z]*\)_N\([0-9]*\).*/\1 \2/' |
    sort -k1,1 -k2n | awk '{ n[$1] = n[$1] " " $2 } END { for (k in n) print "  " k ":" n[k] }' | sort
  grep -h "known:" "$OUT/all.log" | sed 's/: \[.*//; s/{.*//' | sort | uniq -c | head -5
fi
