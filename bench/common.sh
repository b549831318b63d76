# Shared by the benchmark scripts (sourced): a work folder in tmpfs that goes at exit with the
# processes started into PIDS, timing helpers, and `vantry serve` over a share.

SHM=${SHM:-/dev/shm}
WORK=$(mktemp -d "$SHM/vantry-bench-XXXXXX")
PIDS=""
cleanup() {
  for pid in $PIDS; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# Starts `vantry serve` on a free port of 127.0.0.1 with drive C = the folder; sets PORT.
serve_share() { # folder
  echo secret > "$WORK/password"
  export VANTRY_PASSWORD=secret
  "$VANTRY" serve --listen 127.0.0.1:0 --share "C=$1" --allow read,write,remove \
    --password-file "$WORK/password" > "$WORK/serve.log" 2>&1 &
  PIDS="$PIDS $!"
  for _ in $(seq 100); do grep -q "listening on" "$WORK/serve.log" && break; sleep 0.05; done
  PORT=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$WORK/serve.log" | head -1)
}
