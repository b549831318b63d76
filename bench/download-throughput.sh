#!/bin/sh
# Throughput of a 1 GiB download through `vantry serve` over loopback TCP, against a plain TCP
# copy of the same file with 128 KiB buffers (socat -b 131072), measured in the same run.
# Prints both rates, their ratio (the target is at least 0.75) and the host's CPU time per GiB.
#
#   bench/download-throughput.sh [SIZE_MIB]     (default 1024; uses build/src/app/vantry)
set -eu
cd "$(dirname "$0")/.."
SIZE_MIB=${1:-1024}
VANTRY=${VANTRY:-build/src/app/vantry}
[ -x "$VANTRY" ] || scripts/build
command -v socat >/dev/null || scripts/setup

WORK=$(mktemp -d)
SERVE_PID=""
cleanup() {
  [ -n "$SERVE_PID" ] && kill "$SERVE_PID" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

c++ -O2 -std=c++20 -Isrc/platform/hostapp -Isrc/service -Isrc/platform/ovcore \
  bench/RawDownload.cpp src/platform/hostapp/Handshake.cpp -lcrypto -o "$WORK/raw-download"

mkdir "$WORK/share"
head -c "${SIZE_MIB}M" /dev/zero > "$WORK/share/big.bin"
cat "$WORK/share/big.bin" > /dev/null   # both runs read it from the page cache
BYTES=$((SIZE_MIB * 1048576))

now() { date +%s.%N; }

# Plain copy.
PORT=$((20000 + $$ % 20000))
socat -b 131072 -u "OPEN:$WORK/share/big.bin" "TCP-LISTEN:$PORT,bind=127.0.0.1,reuseaddr" &
SOCAT_PID=$!
sleep 0.3
T0=$(now)
socat -b 131072 -u "TCP:127.0.0.1:$PORT" OPEN:/dev/null
T1=$(now)
wait "$SOCAT_PID" || true
PLAIN=$(echo "$T0 $T1" | awk '{print $2 - $1}')

# Through vantry serve.
echo "bench-password" > "$WORK/pw"
"$VANTRY" serve --listen 127.0.0.1:0 --password-file "$WORK/pw" --share "D=$WORK/share" \
  --desktop "$WORK" 2> "$WORK/serve.log" &
SERVE_PID=$!
for _ in $(seq 50); do grep -q "listening on" "$WORK/serve.log" && break; sleep 0.1; done
PORT=$(sed -n 's/.*listening on .*:\([0-9]*\)$/\1/p' "$WORK/serve.log")
TICKS=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$SERVE_PID/stat"; }
C0=$(cpu)
RESULT=$("$WORK/raw-download" "$PORT" bench-password D big.bin) || {
  echo "the download failed (are the host's file handlers in this build?)" >&2
  cat "$WORK/serve.log" >&2
  exit 1
}
C1=$(cpu)
GOT=${RESULT% *}
VANTRY_S=${RESULT#* }
[ "$GOT" -eq "$BYTES" ] || { echo "received $GOT bytes of $BYTES" >&2; exit 1; }

echo "$PLAIN $VANTRY_S $C0 $C1 $TICKS $SIZE_MIB" | awk '{
  plain = $6 / $1; vantry = $6 / $2; cpu = ($4 - $3) / $5 * 1024 / $6;
  printf "plain TCP copy (socat -b 131072): %8.1f MiB/s\n", plain;
  printf "vantry serve download:            %8.1f MiB/s\n", vantry;
  printf "ratio: %.2f (target >= 0.75)\n", vantry / plain;
  printf "host CPU time: %.2f s per GiB\n", cpu }'
