#!/bin/sh
# Builds the libFuzzer targets (tests/fuzz, clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) in a build directory of their own and runs each in turn, either for
# a fixed number of runs (as CI does; the same random seed every time) or for a time.
# Each target's corpus is kept in BUILD/corpus/<target>, started from the target's seeds (the
# tests' own packet sequences); inputs that crash or hang are kept in BUILD/findings/<target>/.
# Prints one line per target: executions, edges covered, features, corpus size, and the result.
# Exits 1 when any target found something.
#
#   bench/fuzz.sh [--runs N | --seconds S] [TARGET...]   (default: 60 seconds each, every target)
#   BUILD=dir   build directory (default build-fuzz)
set -eu
cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${BUILD:-build-fuzz}
ALL="fuzz_host_session fuzz_handshake fuzz_guest_replies fuzz_resolver fuzz_tree_row"
LIMIT="-max_total_time=60"
case "${1:-}" in
  --runs) LIMIT="-runs=$2 -seed=1"; shift 2 ;;
  --seconds) LIMIT="-max_total_time=$2"; shift 2 ;;
esac
TARGETS=${*:-$ALL}

command -v clang++ >/dev/null || scripts/setup
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANTRY_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$BUILD" --target $TARGETS -j"$(nproc)" >/dev/null

SYMBOLIZER=$(command -v llvm-symbolizer || true)
[ -n "$SYMBOLIZER" ] && export ASAN_SYMBOLIZER_PATH="$SYMBOLIZER"
export TZ=UTC
status=0
for target in $TARGETS; do
  exe=$BUILD/tests/fuzz/$target
  corpus=$BUILD/corpus/$target
  findings=$BUILD/findings/$target
  mkdir -p "$corpus" "$findings"
  [ -n "$(ls -A "$corpus")" ] || VANTRY_FUZZ_SEEDS="$corpus" "$exe"
  log=$BUILD/findings/$target.log
  # -timeout: an input taking longer than this is a hang, kept like a crash; -len_control=0: long
  # inputs (whole uploads and listings) from the start.
  if "$exe" $LIMIT -timeout=25 -len_control=0 -artifact_prefix="$ROOT/$findings/" -print_final_stats=1 "$corpus" >"$log" 2>&1; then
    result="nothing found"
  else
    result="FOUND SOMETHING: see $log and $findings/"
    status=1
  fi
  done_line=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true)
  echo "$target: ${done_line:-no summary (see $log)}; $result"
done
exit $status
