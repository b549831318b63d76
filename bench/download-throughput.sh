#!/bin/sh
# Throughput of a download through `vantry serve` over loopback TCP, against a plain TCP copy of
# the same file with 128 KiB buffers (socat -b 131072), measured in the same run. The file lives
# in tmpfs (/dev/shm) so that both sides read it from memory; the guest is a minimal raw client
# (bench/RawDownload.cpp) that throws the data away, as the plain copy writes to /dev/null.
# Each side runs ROUNDS times, alternating; the best time of each counts, as the machine is shared.
# Prints both rates, their ratio (the target is at least 0.75) and the host process's CPU time per
# GiB (user + system, in the best vantry round), beside the sending socat's (in the best plain round),
# and the shortest handshake (connecting to the host's answer; TLS unless PLAIN=1).
#
#   bench/download-throughput.sh [SIZE_MIB [ROUNDS]]   (default 1024 MiB, 3 rounds)
#   BUILD=dir   build directory (default build; configured with -DVANTRY_BENCH=ON and built)
#   VANTRY=exe  the vantry to measure (default the one in BUILD), e.g. to compare two builds
#   PLAIN=1     serve with --insecure-plain instead of TLS
set -eu
cd "$(dirname "$0")/.."
SIZE_MIB=${1:-1024}
ROUNDS=${2:-3}
BUILD=${BUILD:-build}
command -v socat >/dev/null || scripts/setup
cmake -S . -B "$BUILD" -DVANTRY_BENCH=ON >/dev/null
cmake --build "$BUILD" --target vantry bench_raw_download -j"$(nproc)" >/dev/null
VANTRY=${VANTRY:-$BUILD/src/app/vantry}
RAW=$BUILD/bench/bench_raw_download

SHM=/dev/shm
[ -d "$SHM" ] && [ -w "$SHM" ] || SHM=${TMPDIR:-/tmp}
WORK=$(mktemp -d "$SHM/vantry-bench-XXXXXX")
SERVE_PID=""
cleanup() {
  [ -n "$SERVE_PID" ] && kill "$SERVE_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

mkdir "$WORK/share"
export XDG_CONFIG_HOME="$WORK/config"   # the host key of this run alone
INSECURE=""
[ "${PLAIN:-0}" = 1 ] && INSECURE="--insecure-plain"
head -c "${SIZE_MIB}M" /dev/zero > "$WORK/share/big.bin"
BYTES=$((SIZE_MIB * 1048576))

echo "bench-password" > "$WORK/pw"
"$VANTRY" serve --listen 127.0.0.1:0 --password-file "$WORK/pw" --share "D=$WORK/share" $INSECURE \
  --desktop "$WORK" 2> "$WORK/serve.log" &
SERVE_PID=$!
for _ in $(seq 50); do grep -q "listening on" "$WORK/serve.log" && break; sleep 0.1; done
VANTRY_PORT=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$WORK/serve.log")
[ -n "$VANTRY_PORT" ] || { cat "$WORK/serve.log" >&2; exit 1; }
TICKS=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$SERVE_PID/stat"; }
now() { date +%s.%N; }
less() { [ -z "$1" ] || awk -v a="$2" -v b="$1" 'BEGIN { exit !(a < b) }'; }   # $2 < $1

PLAIN_PORT=$((20000 + $$ % 20000))
PLAIN="" PLAIN_CPU="" VANTRY_S="" VANTRY_CPU="" HANDSHAKE=""
for _ in $(seq "$ROUNDS"); do
  # Plain copy: the listener reads the file, the client writes to /dev/null.
  # `times` in the listener's shell gives the sending socat's CPU time.
  sh -c 'socat -b 131072 -u "OPEN:$1" "TCP-LISTEN:$2,bind=127.0.0.1,reuseaddr"; times' sh \
    "$WORK/share/big.bin" "$PLAIN_PORT" > "$WORK/times" &
  SOCAT_PID=$!
  for _ in $(seq 50); do ss -ltn 2>/dev/null | grep -q "127.0.0.1:$PLAIN_PORT " && break; sleep 0.05; done
  T0=$(now)
  socat -b 131072 -u "TCP:127.0.0.1:$PLAIN_PORT" OPEN:/dev/null
  T1=$(now)
  wait "$SOCAT_PID" || true
  T=$(echo "$T0 $T1" | awk '{print $2 - $1}')
  if less "$PLAIN" "$T"; then
    PLAIN=$T
    PLAIN_CPU=$(awk 'NR == 2 { split($1, u, /[ms]/); split($2, s, /[ms]/); print u[1] * 60 + u[2] + s[1] * 60 + s[2] }' "$WORK/times")
  fi

  # Through vantry serve.
  C0=$(cpu)
  RESULT=$("$RAW" "$VANTRY_PORT" bench-password D big.bin) || {
    echo "the download failed" >&2
    cat "$WORK/serve.log" >&2
    exit 1
  }
  C1=$(cpu)
  set -- $RESULT   # bytes, seconds of the fork, seconds of the handshake
  [ "$1" -eq "$BYTES" ] || { echo "received $1 bytes of $BYTES" >&2; exit 1; }
  if less "$VANTRY_S" "$2"; then
    VANTRY_S=$2
    VANTRY_CPU=$((C1 - C0))
  fi
  if less "$HANDSHAKE" "$3"; then HANDSHAKE=$3; fi
done

echo "$PLAIN $VANTRY_S $VANTRY_CPU $TICKS $SIZE_MIB $ROUNDS $PLAIN_CPU $HANDSHAKE" | awk '{
  plain = $5 / $1; vantry = $5 / $2; cpu = $3 / $4 * 1024 / $5; plaincpu = $7 * 1024 / $5;
  printf "file: %d MiB in tmpfs, best of %d rounds each\n", $5, $6;
  printf "plain TCP copy (socat -b 131072): %8.1f MiB/s (%.3f s)\n", plain, $1;
  printf "vantry serve download:            %8.1f MiB/s (%.3f s)\n", vantry, $2;
  printf "ratio: %.2f (target >= 0.75)\n", vantry / plain;
  printf "host CPU time: %.2f s per GiB (the sending socat: %.2f s per GiB)\n", cpu, plaincpu;
  printf "handshake, connecting to the answer: %.2f ms (target < 10)\n", $8 * 1000 }'
