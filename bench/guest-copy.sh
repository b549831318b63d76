#!/bin/sh
# `vantry get` and `vantry put` over loopback, everything written into tmpfs (/dev/shm), against
# baselines measured in the same run:
#   - a 1 GiB file, over TLS (the default) and in the clear (--insecure-plain on both ends), against
#     a plain TCP copy of the same bytes into a file with 128 KiB buffers (socat -b 131072);
#     reported as throughput ratios (targets: at least 0.75 each way in the clear, 0.7 over TLS);
#   - a folder of 20,000 files of 4 KiB, against `rsync -r` from an rsync daemon into the same
#     place; reported as time ratios (targets: get at most 3x, put at most 5x).
#
#   Needs socat, rsync and bc (apt-get install socat rsync bc).
#   bench/guest-copy.sh [SIZE_MIB] [FILES] [ROUNDS]   (defaults 1024, 20000 and 3; uses build/src/app/vantry)
set -eu
cd "$(dirname "$0")/.."
SIZE_MIB=${1:-1024}
FILES=${2:-20000}
ROUNDS=${3:-3}
VANTRY=${VANTRY:-$PWD/build/src/app/vantry}
[ -x "$VANTRY" ] || scripts/build
command -v socat >/dev/null || scripts/setup

. bench/common.sh

mkdir -p "$WORK/share/many" "$WORK/local" "$WORK/plain"
head -c "${SIZE_MIB}M" /dev/urandom > "$WORK/share/big.bin"
python3 -c 'import os, sys
for i in range(int(sys.argv[2])):
    with open(os.path.join(sys.argv[1], "f%d.dat" % i), "wb") as f:
        f.write(os.urandom(4096))' "$WORK/share/many" "$FILES"
BYTES=$((SIZE_MIB * 1048576))

serve_share "$WORK/share" tls
URL="vantry://127.0.0.1:$PORT"
serve_share "$WORK/share" clear --insecure-plain
CLEAR_URL="vantry://127.0.0.1:$PORT"
"$VANTRY" ls --accept-new-host "$URL" > /dev/null

# Writing into tmpfs is much slower when the memory behind it was handed back to the machine's
# host since it was last used (a virtual machine gives freed memory back): each timed copy starts
# right after a file of the same size was written and removed, so that all start alike.
warm() { head -c "${SIZE_MIB}M" /dev/zero > "$WORK/scratch"; rm -f "$WORK/scratch"; }

# Rounds alternate between the baselines and vantry; the best of each counts (the machine is shared,
# and writing into tmpfs costs more while the memory behind it is first touched).
PLAIN="" GET="" PUT="" CGET="" CPUT=""
mkdir "$WORK/share/up"
for _ in $(seq "$ROUNDS"); do
  # Plain TCP copy of the same bytes, 128 KiB buffers, into a file.
  rm -f "$WORK/plain/big.bin"
  PLAIN_PORT=$(free_port)
  socat -b 131072 -u "TCP-LISTEN:$PLAIN_PORT,bind=127.0.0.1,reuseaddr" "CREATE:$WORK/plain/big.bin" &
  SOCAT_PID=$!
  sleep 0.2
  warm
  T0=$(now)
  socat -b 131072 -u "OPEN:$WORK/share/big.bin" "TCP:127.0.0.1:$PLAIN_PORT"
  wait "$SOCAT_PID"
  T1=$(now)
  PLAIN=$(best "$PLAIN" "$(elapsed "$T0" "$T1")")
  rm -f "$WORK/plain/big.bin"

  rm -f "$WORK/local/big.bin"
  warm
  T0=$(now); "$VANTRY" get --replace all "$URL/C/big.bin" "$WORK/local"; T1=$(now)
  GET=$(best "$GET" "$(elapsed "$T0" "$T1")")
  cmp "$WORK/share/big.bin" "$WORK/local/big.bin"
  rm -f "$WORK/share/up/big.bin"
  warm
  T0=$(now); "$VANTRY" put --replace all "$WORK/local/big.bin" "$URL/C/up"; T1=$(now)
  PUT=$(best "$PUT" "$(elapsed "$T0" "$T1")")
  cmp "$WORK/share/big.bin" "$WORK/share/up/big.bin"
  rm -f "$WORK/share/up/big.bin"

  rm -f "$WORK/local/big.bin"
  warm
  T0=$(now); "$VANTRY" get --insecure-plain --replace all "$CLEAR_URL/C/big.bin" "$WORK/local"; T1=$(now)
  CGET=$(best "$CGET" "$(elapsed "$T0" "$T1")")
  cmp "$WORK/share/big.bin" "$WORK/local/big.bin"
  warm
  T0=$(now); "$VANTRY" put --insecure-plain --replace all "$WORK/local/big.bin" "$CLEAR_URL/C/up"; T1=$(now)
  CPUT=$(best "$CPUT" "$(elapsed "$T0" "$T1")")
  cmp "$WORK/share/big.bin" "$WORK/share/up/big.bin"
  rm -f "$WORK/share/up/big.bin"
done
rm -f "$WORK/local/big.bin"

echo "1 GiB file ($SIZE_MIB MiB), best of $ROUNDS rounds:"
printf '  plain TCP copy  %6.3f s\n' "$PLAIN"
printf '  vantry get, TLS %6.3f s  throughput ratio %.2f (target >= 0.7)\n' "$GET" "$(echo "$PLAIN / $GET" | bc -l)"
printf '  vantry put, TLS %6.3f s  throughput ratio %.2f (target >= 0.7)\n' "$PUT" "$(echo "$PLAIN / $PUT" | bc -l)"
printf '  vantry get, clear %6.3f s  throughput ratio %.2f (target >= 0.75)\n' "$CGET" "$(echo "$PLAIN / $CGET" | bc -l)"
printf '  vantry put, clear %6.3f s  throughput ratio %.2f (target >= 0.75)\n' "$CPUT" "$(echo "$PLAIN / $CPUT" | bc -l)"

HAVE_RSYNC=""
if command -v rsync >/dev/null; then
  HAVE_RSYNC=1
  RSYNC_PORT=$(free_port)
  printf 'use chroot = no\n[share]\npath = %s\nread only = no\n' "$WORK/share" > "$WORK/rsyncd.conf"
  rsync --daemon --no-detach --address=127.0.0.1 --port="$RSYNC_PORT" --config="$WORK/rsyncd.conf" &
  PIDS="$PIDS $!"
  sleep 0.3
fi
MGET="" MPUT="" RSYNC=""
for _ in $(seq "$ROUNDS"); do
  if [ -n "$HAVE_RSYNC" ]; then
    rm -rf "$WORK/plain/many"
    T0=$(now); rsync -r "rsync://127.0.0.1:$RSYNC_PORT/share/many" "$WORK/plain/"; T1=$(now)
    RSYNC=$(best "$RSYNC" "$(elapsed "$T0" "$T1")")
    rm -rf "$WORK/plain/many"
  fi
  rm -rf "$WORK/local/many"
  T0=$(now); "$VANTRY" get "$URL/C/many" "$WORK/local"; T1=$(now)
  MGET=$(best "$MGET" "$(elapsed "$T0" "$T1")")
  diff -r "$WORK/share/many" "$WORK/local/many" >/dev/null
  rm -rf "$WORK/share/up/many"
  T0=$(now); "$VANTRY" put "$WORK/local/many" "$URL/C/up"; T1=$(now)
  MPUT=$(best "$MPUT" "$(elapsed "$T0" "$T1")")
  diff -r "$WORK/share/many" "$WORK/share/up/many" >/dev/null
done

echo "$FILES files of 4 KiB, best of $ROUNDS rounds:"
printf '  vantry get      %6.3f s\n' "$MGET"
printf '  vantry put      %6.3f s\n' "$MPUT"
if [ -n "$HAVE_RSYNC" ]; then
  printf '  rsync -r        %6.3f s\n' "$RSYNC"
  printf '  get / rsync     %.2f (target <= 3)\n' "$(echo "$MGET / $RSYNC" | bc -l)"
  printf '  put / rsync     %.2f (target <= 5)\n' "$(echo "$MPUT / $RSYNC" | bc -l)"
else
  echo "  rsync is not installed: no baseline for the folder (apt-get install rsync)"
fi
