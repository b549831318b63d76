#!/bin/sh
# Many small files: `vantry get` and `vantry put` of whole folders against an rsync daemon
# (`rsync -rt`) and OpenSSH sftp (`sftp` with `get -r` / `put -r`, an sshd of its own on 127.0.0.1
# with throw-away host and user keys, BatchMode), side by side in one run, everything in tmpfs:
#   - loopback: FILES files of 4 KiB each way, named as cameras and exports name them (long
#     names that share a prefix);
#   - through bench/delayproxy.py adding DELAY_MS each way in front of every program: SMALL
#     files of the same kind each way;
#   - flatness: vantry's time per file with FILES files against SMALL files in one folder, for
#     each kind of name (short 8.3, long, alias-needing, long shared prefix, mixed case).
# Each figure is the best of its rounds; rounds alternate between the programs.
#
#   bench/many-files.sh [FILES [SMALL [ROUNDS]]]   (defaults 20000, 2000 and 3; uses build/src/app/vantry)
#   PROXY_ROUNDS=n  rounds through the proxy (default 1; 0 leaves that part out: sftp alone takes
#                   minutes there); DELAY_MS=n the proxy's one-way delay (default 10)
#   Needs rsync, openssh-server, openssh-client, bc and python3; installs the missing ones with
#   apt-get when run as root.
set -eu
cd "$(dirname "$0")/.."
FILES=${1:-20000}
SMALL=${2:-2000}
ROUNDS=${3:-3}
PROXY_ROUNDS=${PROXY_ROUNDS:-1}
DELAY_MS=${DELAY_MS:-10}
VANTRY=${VANTRY:-$PWD/build/src/app/vantry}
[ -x "$VANTRY" ] || scripts/build

MISSING=""
command -v rsync >/dev/null || MISSING="$MISSING rsync"
[ -x /usr/sbin/sshd ] || MISSING="$MISSING openssh-server"
command -v sftp >/dev/null && command -v ssh-keygen >/dev/null || MISSING="$MISSING openssh-client"
command -v bc >/dev/null || MISSING="$MISSING bc"
if [ -n "$MISSING" ]; then
  if [ "$(id -u)" = 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $MISSING >/dev/null
  else
    echo "needs:$MISSING (apt-get install$MISSING)" >&2
    exit 1
  fi
fi

. bench/common.sh
ratio() { echo "$1 / $2" | bc -l; }
wait_port() {
  python3 -c 'import socket, sys, time
for _ in range(200):
    try:
        socket.create_connection(("127.0.0.1", int(sys.argv[1])), 0.1).close(); sys.exit(0)
    except OSError:
        time.sleep(0.05)
sys.exit(1)' "$1"
}

# The kinds of names, numbered; "prefix" is the kind of the comparisons.
KINDS="short long alias prefix mixed"
make_files() { # folder kind count
  python3 -c 'import os, sys
folder, kind, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
names = {
    "short": lambda n: "f%d.dat" % n,
    "long": lambda n: "A rather long document name number %d.text" % n,
    "alias": lambda n: "doc %d.v1.txt" % n,
    "prefix": lambda n: "2024-06-01 Holiday Trip - Camera Roll Export IMG_%d.jpeg" % (100000 + n),
    "mixed": lambda n: ("Photo" if n % 2 else "pHOTO") + str(n) + (".Jpg" if n % 3 else " Of The Day.JPG"),
}[kind]
os.makedirs(folder)
for n in range(count):
    with open(os.path.join(folder, names(n)), "wb") as f:
        f.write(os.urandom(4096))' "$1" "$2" "$3"
}

mkdir -p "$WORK/share/up" "$WORK/local" "$WORK/ssh"
make_files "$WORK/share/prefix-$FILES" prefix "$FILES"
make_files "$WORK/share/prefix-$SMALL" prefix "$SMALL"
for kind in $KINDS; do
  [ "$kind" = prefix ] && continue
  make_files "$WORK/share/$kind-$FILES" "$kind" "$FILES"
  make_files "$WORK/share/$kind-$SMALL" "$kind" "$SMALL"
done

serve_share "$WORK/share"
VANTRY_PORT=$PORT

# An rsync daemon.
RSYNC_PORT=$(free_port)
printf 'use chroot = no\nuid = %s\ngid = %s\n[share]\npath = %s\nread only = no\n' "$(id -un)" "$(id -gn)" "$WORK/share" \
  > "$WORK/rsyncd.conf"
rsync --daemon --no-detach --address=127.0.0.1 --port="$RSYNC_PORT" --config="$WORK/rsyncd.conf" &
PIDS="$PIDS $!"

# An sshd of its own: throw-away host and user keys, this user only, key login only.
SSH_PORT=$(free_port)
ssh-keygen -q -t ed25519 -N '' -f "$WORK/ssh/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$WORK/ssh/user_key"
cp "$WORK/ssh/user_key.pub" "$WORK/ssh/authorized_keys"
mkdir -p /run/sshd 2>/dev/null || true   # root's sshd wants its privilege-separation folder
cat > "$WORK/ssh/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port $SSH_PORT
HostKey $WORK/ssh/host_key
PidFile $WORK/ssh/sshd.pid
AuthorizedKeysFile $WORK/ssh/authorized_keys
AllowUsers $(id -un)
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
StrictModes no
UsePAM no
Subsystem sftp internal-sftp
EOF
/usr/sbin/sshd -D -f "$WORK/ssh/sshd_config" -E "$WORK/ssh/sshd.log" &
PIDS="$PIDS $!"

# Proxies that add the delay, one in front of each program.
VANTRY_PROXY=$(free_port); RSYNC_PROXY=$(free_port); SSH_PROXY=$(free_port)
if [ "$PROXY_ROUNDS" -gt 0 ]; then
  for pair in "$VANTRY_PROXY:$VANTRY_PORT" "$RSYNC_PROXY:$RSYNC_PORT" "$SSH_PROXY:$SSH_PORT"; do
    python3 bench/delayproxy.py "${pair%%:*}" "127.0.0.1:${pair#*:}" "$DELAY_MS" &
    PIDS="$PIDS $!"
  done
fi
wait_port "$RSYNC_PORT"; wait_port "$SSH_PORT"
if [ "$PROXY_ROUNDS" -gt 0 ]; then wait_port "$VANTRY_PROXY"; wait_port "$RSYNC_PROXY"; wait_port "$SSH_PROXY"; fi

SFTP_OPTIONS="-q -o BatchMode=yes -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -i $WORK/ssh/user_key"
SSH_USER=$(id -un)

# One timed copy, checked against its source; sets LAST to its seconds. tool: vantry, rsync or
# sftp; way: get or put; the folder under share/ (get) or local/ (put); the ports to reach the
# programs by.
copy() { # tool way folder vantry-port rsync-port ssh-port
  tool=$1 way=$2 folder=$3
  case "$way" in
    get) rm -rf "$WORK/local/$folder" ;;
    put) rm -rf "$WORK/share/up/$folder" ;;
  esac
  T0=$(now)
  case "$tool-$way" in
    vantry-get) "$VANTRY" get --accept-new-host "vantry://127.0.0.1:$4/C/$folder" "$WORK/local" ;;
    vantry-put) "$VANTRY" put --accept-new-host "$WORK/local/$folder" "vantry://127.0.0.1:$4/C/up" ;;
    rsync-get) rsync -rt "rsync://127.0.0.1:$5/share/$folder" "$WORK/local/" ;;
    rsync-put) rsync -rt "$WORK/local/$folder" "rsync://127.0.0.1:$5/share/up/" ;;
    sftp-get) echo "get -r $WORK/share/$folder $WORK/local/" | sftp $SFTP_OPTIONS -P "$6" -b - "$SSH_USER@127.0.0.1" >/dev/null ;;
    sftp-put) echo "put -r $WORK/local/$folder $WORK/share/up/" | sftp $SFTP_OPTIONS -P "$6" -b - "$SSH_USER@127.0.0.1" >/dev/null ;;
  esac
  T1=$(now)
  case "$way" in
    get) diff -r "$WORK/share/$folder" "$WORK/local/$folder" >/dev/null ;;
    put) diff -r "$WORK/local/$folder" "$WORK/share/up/$folder" >/dev/null ;;
  esac
  LAST=$(elapsed "$T0" "$T1")
}

# Every round gets first, so that the folder to put is there; vantry's copy is what is put.
compare() { # folder rounds vantry-port rsync-port ssh-port -> sets VG VP RG RP SG SP
  VG="" VP="" RG="" RP="" SG="" SP=""
  for _ in $(seq "$2"); do
    copy rsync get "$1" "$3" "$4" "$5"; RG=$(best "$RG" "$LAST")
    copy sftp get "$1" "$3" "$4" "$5"; SG=$(best "$SG" "$LAST")
    copy vantry get "$1" "$3" "$4" "$5"; VG=$(best "$VG" "$LAST")
    copy rsync put "$1" "$3" "$4" "$5"; RP=$(best "$RP" "$LAST")
    copy sftp put "$1" "$3" "$4" "$5"; SP=$(best "$SP" "$LAST")
    copy vantry put "$1" "$3" "$4" "$5"; VP=$(best "$VP" "$LAST")
  done
}
report() { # title; then the get and put targets against rsync
  echo "$1"
  printf '                    get          put\n'
  printf '  vantry       %9.3f s  %9.3f s\n' "$VG" "$VP"
  printf '  rsync -rt    %9.3f s  %9.3f s\n' "$RG" "$RP"
  printf '  sftp -r      %9.3f s  %9.3f s\n' "$SG" "$SP"
  printf '  vantry / rsync  %6.2f       %6.2f     (targets: get <= %s, put <= %s)\n' \
    "$(ratio "$VG" "$RG")" "$(ratio "$VP" "$RP")" "$2" "$3"
  printf '  sftp / vantry   %6.2f       %6.2f' "$(ratio "$SG" "$VG")" "$(ratio "$SP" "$VP")"
  if [ -n "$4" ]; then printf '     (target: >= %s)\n' "$4"; else echo; fi
}

compare "prefix-$FILES" "$ROUNDS" "$VANTRY_PORT" "$RSYNC_PORT" "$SSH_PORT"
report "Loopback, $FILES files of 4 KiB, long names sharing a prefix, best of $ROUNDS rounds:" 1.2 1.5 ""

if [ "$PROXY_ROUNDS" -gt 0 ]; then
  compare "prefix-$SMALL" "$PROXY_ROUNDS" "$VANTRY_PROXY" "$RSYNC_PROXY" "$SSH_PROXY"
  report "Through a proxy adding $DELAY_MS ms each way, $SMALL files of 4 KiB, best of $PROXY_ROUNDS rounds:" 1.5 2 5
fi

echo "Flatness, loopback: vantry's time per file with $FILES files against $SMALL files in one folder, best of $ROUNDS rounds:"
printf '  %-8s %12s %12s %7s %12s %12s %7s\n' kind "get $SMALL" "get $FILES" ratio "put $SMALL" "put $FILES" ratio
for kind in $KINDS; do
  GS="" GL="" PS="" PL=""
  for _ in $(seq "$ROUNDS"); do
    copy vantry get "$kind-$SMALL" "$VANTRY_PORT" - -; GS=$(best "$GS" "$LAST")
    copy vantry get "$kind-$FILES" "$VANTRY_PORT" - -; GL=$(best "$GL" "$LAST")
    copy vantry put "$kind-$SMALL" "$VANTRY_PORT" - -; PS=$(best "$PS" "$LAST")
    copy vantry put "$kind-$FILES" "$VANTRY_PORT" - -; PL=$(best "$PL" "$LAST")
  done
  GSF=$(echo "$GS * 1000000 / $SMALL" | bc -l); GLF=$(echo "$GL * 1000000 / $FILES" | bc -l)
  PSF=$(echo "$PS * 1000000 / $SMALL" | bc -l); PLF=$(echo "$PL * 1000000 / $FILES" | bc -l)
  printf '  %-8s %9.0f µs %9.0f µs %7.2f %9.0f µs %9.0f µs %7.2f\n' "$kind" "$GSF" "$GLF" "$(ratio "$GLF" "$GSF")" \
    "$PSF" "$PLF" "$(ratio "$PLF" "$PSF")"
done
echo "  (target: ratio <= 1.3 for every kind)"
