# Shared by the benchmark scripts (sourced): a work folder in tmpfs that goes at exit with the
# processes started into PIDS, timing helpers, and `vantry serve` over a share.

SHM=${SHM:-/dev/shm}
WORK=$(mktemp -d "$SHM/vantry-bench-XXXXXX")
PIDS=""
export XDG_CONFIG_HOME="$WORK/config"   # host keys and known hosts of this run alone
cleanup() {
  for pid in $PIDS; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

now() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc -l; }
best() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

# Starts `vantry serve` on a free port of 127.0.0.1 with drive C = the folder and any further
# options; its log is $WORK/NAME.log (default serve); sets PORT.
serve_share() { # folder [NAME [OPTION...]]
  folder=$1; name=${2:-serve}; shift; [ $# -gt 0 ] && shift
  echo secret > "$WORK/password"
  export VANTRY_PASSWORD=secret
  "$VANTRY" serve --listen 127.0.0.1:0 --share "C=$folder" --allow read,write,remove \
    --password-file "$WORK/password" "$@" > "$WORK/$name.log" 2>&1 &
  PIDS="$PIDS $!"
  for _ in $(seq 100); do grep -q "listening on" "$WORK/$name.log" && break; sleep 0.05; done
  PORT=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$WORK/$name.log" | head -1)
}
