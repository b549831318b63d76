#!/usr/bin/env python3
"""Load and exhaustion run against one `vantry serve` on 127.0.0.1.

For DURATION seconds, GUESTS guests run `vantry get` and `vantry put` in a loop (each upload new
random bytes, each download checked byte for byte) while hostile clients work on the same host:
  - garbage senders: random bytes in place of a handshake, or after a good one;
  - stalled readers: a good handshake, a request for a file's data, and nothing read after;
  - half handshakes: the greeting read, part of the guest's hello sent, then silence (these and
    the garbage senders come from 127.0.0.250: to the host they are failed logins);
  - password guessers: wrong proofs, several connections per address, each address its own
    127.0.0.x (x from 2), so that a throttle per address is exercised.
A probe connects every PROBE_MS from 127.0.0.1 and measures how long a new guest waits: from
connect to the end of a small file's data. The host's resident memory and open descriptors are
sampled throughout; once every client has gone, the driver waits (up to --settle-seconds) for
them to come back to their start, says how long that took, and times a few new guests of the
idle host.

  bench/load.py [--duration S] [--guests N] [--vantry EXE] [--json FILE]

Only the functions under "Handshake" know how a connection is opened; the data-moving guests are
real `vantry` processes and do not depend on it.
"""

import argparse
import hashlib
import hmac
import json
import os
import random
import re
import select
import shutil
import socket
import statistics
import struct
import subprocess
import sys
import tempfile
import threading
import time

PASSWORD = "load and exhaustion"
DOWNLOAD_BYTES = 256 * 1024
UPLOAD_BYTES = 64 * 1024

# ---------------------------------------------------------------------------------------------
# Handshake (src/platform/hostapp/Handshake.h): the only place that knows its layout. The host
# runs with --insecure-plain (the load is on the host, not on TLS, and this driver cannot export
# TLS keying material for the proof), so everything below is in the clear:
#   host -> guest  "VNTR", version (16), flags (16), nonce (16 bytes)
#   guest -> host  guest flags (16), request length (16), request block, user-name length (8),
#                  user name, proof (32: HMAC-SHA256 over nonce + guest flags + request)
#   host -> guest  status (signed 16), response length (16), response block
HELLO_SIZE = 4 + 2 + 2 + 16
PROOF_SIZE = 32
REFUSED = -12002


def open_request(version=9):
    request = bytearray(176)
    request[1] = 176
    request[3] = 34
    request[148] = 1
    request[150:152] = struct.pack(">H", version)
    return bytes(request)


def read_exactly(sock, n):
    data = b""
    while len(data) < n:
        chunk = sock.recv(n - len(data))
        if not chunk:
            raise ConnectionError("closed by the host")
        data += chunk
    return data


def read_greeting(sock):
    """The host's greeting; returns the nonce."""
    hello = read_exactly(sock, HELLO_SIZE)
    if hello[:4] != b"VNTR":
        raise ConnectionError("not a Vantry host")
    return hello[8:24]


def guest_hello(nonce, password, user="load"):
    request = open_request()
    flags = struct.pack(">H", 0)
    proof = hmac.new(password.encode(), nonce + flags + request, hashlib.sha256).digest()
    name = user.encode()
    return flags + struct.pack(">H", len(request)) + request + bytes([len(name)]) + name + proof


def read_answer(sock):
    """The host's answer: its status (0 accepted)."""
    status, length = struct.unpack(">hH", read_exactly(sock, 4))
    read_exactly(sock, length)
    return status


def log_in(sock, password):
    """Runs the handshake on a connected socket; returns the host's status."""
    nonce = read_greeting(sock)
    sock.sendall(guest_hello(nonce, password))
    return read_answer(sock)


# Garbage and half handshakes count as refused logins; they come from an address of their own, as
# the guessers do, so that the throttle of that address does not hold the guests at 127.0.0.1.
HOSTILE_SOURCE = "127.0.0.250"


def connect(port, source="127.0.0.1", timeout=10.0):
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.settimeout(timeout)
    sock.bind((source, 0))
    sock.connect(("127.0.0.1", port))
    return sock


# ---------------------------------------------------------------------------------------------
# Protocol messages the raw clients send (src/protocol/PacketLayout.h).
FORK_DATA = 0x8C
END_DATA = 0x96


def request_data_fork(name, drive="C"):
    """kFTP_msgReqFork: data fork, volume (low byte first), folder by string, name, "\\"."""
    volume = ord(drive.lower()) - ord("a") + 1
    raw = name.encode()
    return bytes([0x8E, 0, 0, volume, 0, 0x80, 0, 0, 0, len(raw)]) + raw + bytes([1, ord("\\")])


def read_fork(sock):
    """The packets of one fork up to kFTP_msgEndData; returns the data."""
    data = b""
    while True:
        code = read_exactly(sock, 1)[0]
        if code == END_DATA:
            return data
        if code != FORK_DATA:
            raise ConnectionError("unexpected message 0x%02x" % code)
        (length,) = struct.unpack(">H", read_exactly(sock, 2))
        data += read_exactly(sock, length)


# ---------------------------------------------------------------------------------------------
class Counters:
    def __init__(self):
        self.lock = threading.Lock()
        self.values = {}
        self.lists = {}

    def add(self, name, n=1):
        with self.lock:
            self.values[name] = self.values.get(name, 0) + n

    def note(self, name, value):
        with self.lock:
            self.lists.setdefault(name, []).append(value)


class Host:
    """`vantry serve` on a free port, its log kept, its memory and descriptors readable."""

    def __init__(self, vantry, work, nice):
        self.log = []
        self.process = subprocess.Popen(
            [vantry, "serve", "--listen", "127.0.0.1:0", "--share", "C=" + os.path.join(work, "share"),
             "--allow", "read,write,remove", "--password-file", os.path.join(work, "password"), "--insecure-plain",
             "--max-guests", "1000"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True, errors="replace",
            env=dict(os.environ, XDG_STATE_HOME=os.path.join(work, "state")),
            preexec_fn=lambda: os.setpriority(os.PRIO_PROCESS, 0, nice))
        self.port = None
        for line in self.process.stderr:
            self.log.append(line)
            found = re.search(r"listening on [^\s]*:(\d+)", line)
            if found:
                self.port = int(found.group(1))
                break
        if not self.port:
            raise SystemExit("vantry serve did not start:\n" + "".join(self.log))
        threading.Thread(target=self._drain, daemon=True).start()

    def _drain(self):
        for line in self.process.stderr:
            self.log.append(line)

    def resident_kib(self):
        with open("/proc/%d/status" % self.process.pid) as status:
            for line in status:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        return -1

    def cpu_seconds(self):
        with open("/proc/%d/stat" % self.process.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def descriptors(self):
        return len(os.listdir("/proc/%d/fd" % self.process.pid))

    def stop(self):
        self.process.terminate()
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


# A baseline for the probe: a single-threaded server in its own process that greets each
# connection with as many bytes as the host's greeting and echoes what it is sent, so the probe's
# time against it is what the loaded machine alone costs a connection.
BASELINE_SERVER = r"""
import selectors, socket, sys
listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(128)
listener.setblocking(False)
print(listener.getsockname()[1], flush=True)
selector = selectors.DefaultSelector()
selector.register(listener, selectors.EVENT_READ)
while True:
    for key, _ in selector.select():
        if key.fileobj is listener:
            connection, _ = listener.accept()
            connection.sendall(b"VNTR" + bytes(20))
            selector.register(connection, selectors.EVENT_READ)
        else:
            data = key.fileobj.recv(65536)
            if data:
                key.fileobj.sendall(data)
            else:
                selector.unregister(key.fileobj)
                key.fileobj.close()
"""


class Baseline:
    def __init__(self):
        self.process = subprocess.Popen([sys.executable, "-c", BASELINE_SERVER], stdout=subprocess.PIPE, text=True)
        self.port = int(self.process.stdout.readline())

    def stop(self):
        self.process.kill()
        self.process.wait()


class Run:
    def __init__(self, args, work, host, baseline):
        self.args = args
        self.baseline = baseline
        self.work = work
        self.host = host
        self.url = "vantry://127.0.0.1:%d/C" % host.port
        self.deadline = None
        self.go = threading.Event()
        self.stopping = threading.Event()
        self.counters = Counters()
        self.download = open(os.path.join(work, "share", "data.bin"), "rb").read()

    def begin(self):
        """Every worker has started: the clock runs from here."""
        self.deadline = time.monotonic() + self.args.duration
        self.go.set()

    def running(self):
        self.go.wait()
        return time.monotonic() < self.deadline and not self.stopping.is_set()

    # -- the guests whose data must arrive whole ------------------------------------------------
    def verb(self, args, env):
        """A `vantry` guest verb; its exit status, or None when it hung for two minutes."""
        try:
            return subprocess.call([self.args.vantry, args[0], "--insecure-plain"] + args[1:], env=env, stdin=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, timeout=120)
        except subprocess.TimeoutExpired:
            return None

    def data_guest(self, index):
        local = os.path.join(self.work, "guests", str(index))
        os.makedirs(local, exist_ok=True)
        upload = os.path.join(local, "up%d.bin" % index)
        env = dict(os.environ, VANTRY_PASSWORD=PASSWORD, XDG_STATE_HOME=os.path.join(self.work, "state"))
        rng = random.Random(index)
        while self.running():
            if rng.random() < 0.5:
                started = time.monotonic()
                status = self.verb(["get", "-q", "--replace", "all", self.url + "/data.bin", local], env)
                self.counters.note("get seconds", time.monotonic() - started)
                if status != 0:
                    self.counters.add("get failed")
                elif open(os.path.join(local, "data.bin"), "rb").read() != self.download:
                    self.counters.add("get differs")
                else:
                    self.counters.add("get ok")
            else:
                data = rng.randbytes(UPLOAD_BYTES)
                with open(upload, "wb") as out:
                    out.write(data)
                started = time.monotonic()
                status = self.verb(["put", "-q", "--replace", "all", upload, self.url + "/up"], env)
                self.counters.note("put seconds", time.monotonic() - started)
                arrived = os.path.join(self.work, "share", "up", os.path.basename(upload))
                if status != 0:
                    self.counters.add("put failed")
                elif open(arrived, "rb").read() != data:
                    self.counters.add("put differs")
                else:
                    self.counters.add("put ok")

    # -- the hostile ones ------------------------------------------------------------------------
    def garbage(self, index):
        rng = random.Random(1000 + index)
        while self.running():
            try:
                with connect(self.host.port, source=HOSTILE_SOURCE, timeout=5) as sock:
                    if rng.random() < 0.5:
                        # In place of the guest's hello.
                        sock.sendall(rng.randbytes(rng.randint(1, 4096)))
                        self.counters.add("garbage before the handshake")
                    else:
                        if log_in(sock, PASSWORD) != 0:
                            self.counters.add("garbage refused a good handshake")
                            continue
                        sock.sendall(rng.randbytes(rng.randint(1, 4096)))
                        self.counters.add("garbage after the handshake")
                    # The host ends the connection, or it times out here.
                    while sock.recv(65536):
                        pass
                    self.counters.add("garbage closed by the host")
            except (OSError, ConnectionError):
                self.counters.add("garbage connection failed or timed out")

    def stalled_reader(self, index):
        """Asks for a large file and reads none of it, for as long as the host keeps it."""
        while self.running():
            try:
                with connect(self.host.port, timeout=10) as sock:
                    sock.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
                    if log_in(sock, PASSWORD) != 0:
                        self.counters.add("stalled reader refused")
                        continue
                    sock.sendall(request_data_fork("data.bin"))
                    self.counters.add("stalled readers started")
                    # Whether the host has closed, without reading what it sent.
                    watch = select.poll()
                    watch.register(sock, select.POLLRDHUP)
                    while self.running():
                        if watch.poll(500):
                            self.counters.add("stalled reader closed by the host")
                            break
            except (OSError, ConnectionError):
                self.counters.add("stalled reader connection failed")

    def half_handshake(self, index):
        while self.running():
            started = time.monotonic()
            try:
                with connect(self.host.port, source=HOSTILE_SOURCE, timeout=self.args.duration + 30) as sock:
                    if index % 2:
                        read_greeting(sock)
                        sock.sendall(guest_hello(b"\0" * 16, PASSWORD)[:3])
                    self.counters.add("half handshakes started")
                    while self.running():
                        sock.settimeout(0.5)
                        try:
                            if sock.recv(4096) == b"":
                                self.counters.note("half handshake held (s)", time.monotonic() - started)
                                break
                        except socket.timeout:
                            pass
            except (OSError, ConnectionError):
                self.counters.add("half handshake connection failed")

    def guesser(self, address):
        while self.running():
            try:
                with connect(self.host.port, source=address, timeout=30) as sock:
                    started = time.monotonic()
                    status = log_in(sock, "guess %d" % random.getrandbits(32))
                    self.counters.note("refusal wait (s)", time.monotonic() - started)
                    self.counters.add("guesses answered" if status == REFUSED else "guess status %d" % status)
                    self.counters.add("guesses from " + address)
            except (OSError, ConnectionError):
                self.counters.add("guess connection failed")

    # -- the probe ------------------------------------------------------------------------------
    def probe(self):
        """A new guest and, right after, a new connection to the baseline server."""
        while self.running():
            started = time.monotonic()
            try:
                with connect(self.host.port, timeout=10) as sock:
                    connected = time.monotonic()
                    nonce = read_greeting(sock)
                    greeted = time.monotonic()
                    sock.sendall(guest_hello(nonce, PASSWORD))
                    if read_answer(sock) != 0:
                        raise ConnectionError("refused")
                    accepted = time.monotonic()
                    sock.sendall(request_data_fork("probe.txt"))
                    if read_fork(sock) != b"probe\n":
                        raise ConnectionError("wrong data")
                done = time.monotonic()
                self.counters.note("probe (ms)", (done - started) * 1000)
                self.counters.note("probe connect (ms)", (connected - started) * 1000)
                self.counters.note("probe greeting (ms)", (greeted - connected) * 1000)
                self.counters.note("probe answer (ms)", (accepted - greeted) * 1000)
                self.counters.note("probe data (ms)", (done - accepted) * 1000)
            except (OSError, ConnectionError) as error:
                self.counters.add("probe failed: %s" % error)
            started = time.monotonic()
            with connect(self.baseline.port, timeout=10) as sock:
                read_exactly(sock, HELLO_SIZE)
                sock.sendall(b"0123456789")
                read_exactly(sock, 10)
            self.counters.note("baseline probe (ms)", (time.monotonic() - started) * 1000)
            time.sleep(self.args.probe_ms / 1000)

    def sample(self):
        while not self.stopping.is_set():
            self.counters.note("resident KiB", self.host.resident_kib())
            self.counters.note("descriptors", self.host.descriptors())
            time.sleep(0.25)


def percentile(values, fraction):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(fraction * len(ordered)))] if ordered else float("nan")


def temporaries(root):
    return [os.path.join(folder, name) for folder, _, names in os.walk(root) for name in names
            if name.startswith(".vantry-upload:")]


# Resident memory may stay this much above its start (KiB): what the first guests make once and
# keep (lazily built tables, the allocator's own pad), not what each guest costs.
MEMORY_SLACK_KIB = 4096


def settle(host, before, limit):
    """Waits up to limit seconds for the host's descriptors to come back to their start and its
    memory to within MEMORY_SLACK_KIB of it; for each, the seconds it took, or None."""
    started = time.monotonic()
    back = {"descriptors": None, "resident KiB": None}
    while True:
        waited = round(time.monotonic() - started, 1)
        if back["descriptors"] is None and host.descriptors() <= before["descriptors"]:
            back["descriptors"] = waited
        if back["resident KiB"] is None and host.resident_kib() <= before["resident KiB"] + MEMORY_SLACK_KIB:
            back["resident KiB"] = waited
        if None not in back.values() or waited >= limit:
            return back
        time.sleep(0.1)


def probe_once(port):
    """Milliseconds from connecting to the end of a small file's data, for one new guest."""
    started = time.monotonic()
    with connect(port, timeout=10) as sock:
        nonce = read_greeting(sock)
        sock.sendall(guest_hello(nonce, PASSWORD))
        if read_answer(sock) != 0:
            raise ConnectionError("refused")
        sock.sendall(request_data_fork("probe.txt"))
        if read_fork(sock) != b"probe\n":
            raise ConnectionError("wrong data")
    return (time.monotonic() - started) * 1000


def one_round(args, work, host, baseline, before):
    """The clients for args.duration seconds against the host; the figures and the count of bad transfers."""
    cpu_before = host.cpu_seconds()
    run = Run(args, work, host, baseline)
    # The probe and the hostile clients first, then the guests; all begin together.
    threads = [threading.Thread(target=run.probe)]
    threads += [threading.Thread(target=run.garbage, args=(i,)) for i in range(args.garbage)]
    threads += [threading.Thread(target=run.stalled_reader, args=(i,)) for i in range(args.stalled)]
    threads += [threading.Thread(target=run.half_handshake, args=(i,)) for i in range(args.half)]
    threads += [threading.Thread(target=run.guesser, args=("127.0.0.%d" % (2 + a),))
                for a in range(args.guess_addresses) for _ in range(args.guess_connections)]
    threads += [threading.Thread(target=run.data_guest, args=(i,)) for i in range(args.guests)]
    for thread in threads:
        thread.start()
    threading.Thread(target=run.sample, daemon=True).start()
    started = time.monotonic()
    run.begin()
    for thread in threads:
        thread.join()
    elapsed = time.monotonic() - started
    host_cpu = host.cpu_seconds() - cpu_before
    during = {"resident KiB": max(run.counters.lists["resident KiB"]),
              "descriptors": max(run.counters.lists["descriptors"])}
    run.stopping.set()
    # Every client has gone: the host should come back to where it started, its descriptors
    # exactly and its memory within a margin (what the allocator keeps of its own).
    settled = settle(host, before, args.settle_seconds)
    after = {"resident KiB": host.resident_kib(), "descriptors": host.descriptors()}
    left = temporaries(os.path.join(work, "share"))
    # A new guest of an idle host, once everything has settled.
    idle_probe = [probe_once(host.port) for _ in range(5)]

    c = run.counters
    guesses = c.values.get("guesses answered", 0)
    per_address = [c.values.get("guesses from 127.0.0.%d" % (2 + a), 0) for a in range(args.guess_addresses)]
    def spread(name, digits=2):
        """Median, 99th percentile and maximum of a list of figures."""
        values = c.lists.get(name, [])
        if not values:
            return None
        return [round(statistics.median(values), digits), round(percentile(values, 0.99), digits),
                round(max(values), digits)]

    probes = c.lists.get("probe (ms)", [])
    figures = {
        "duration s": round(elapsed, 1),
        "counts": dict(sorted(c.values.items())),
        "get s median/p99/max": spread("get seconds"),
        "put s median/p99/max": spread("put seconds"),
        "guesses per s": round(guesses / elapsed, 1),
        "guesses per s per address max": round(max(per_address) / elapsed, 2) if per_address else 0,
        "refusal wait s median/p99/max": spread("refusal wait (s)"),
        "half handshake held s median/p99/max": spread("half handshake held (s)", 1),
        "probe ms median/p99/max": spread("probe (ms)", 1),
        "  connect ms": spread("probe connect (ms)", 1),
        "  greeting ms": spread("probe greeting (ms)", 1),
        "  handshake answer ms": spread("probe answer (ms)", 1),
        "  small file ms": spread("probe data (ms)", 1),
        "baseline probe ms median/p99/max": spread("baseline probe (ms)", 1),
        "probes over 100 ms": sum(1 for p in probes if p > 100),
        "probes": len(probes),
        "host CPU share": round(host_cpu / elapsed, 2),
        "host before": before, "host max during": during, "host after": after,
        "descriptors back after s": settled["descriptors"],
        "memory back after s": settled["resident KiB"],
        "new guest of the idle host ms": sorted(round(p, 1) for p in idle_probe),
        "temporaries left in the share": len(left),
        "host log lines": len(host.log),
    }
    for name, value in figures.items():
        if name != "counts":
            print("%-34s %s" % (name, value))
    print("counts:")
    for name, value in figures["counts"].items():
        print("  %-40s %s" % (name, value))
    bad = (c.values.get("get differs", 0) + c.values.get("put differs", 0) + c.values.get("get failed", 0)
           + c.values.get("put failed", 0) + len(left))
    for name, seconds in settled.items():
        if seconds is None:
            print("the host's %s did not come back within %g s" % (name, args.settle_seconds))
            bad += 1
    return figures, bad


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--duration", type=float, default=60)
    parser.add_argument("--guests", type=int, default=100)
    parser.add_argument("--garbage", type=int, default=10)
    parser.add_argument("--stalled", type=int, default=10)
    parser.add_argument("--half", type=int, default=20)
    parser.add_argument("--guess-addresses", type=int, default=10)
    parser.add_argument("--guess-connections", type=int, default=4, help="parallel connections per address")
    parser.add_argument("--probe-ms", type=float, default=200)
    parser.add_argument("--host-nice", type=int, default=0,
                        help="the host's scheduling priority (below 0 needs the privilege): the host gets the CPU first")
    parser.add_argument("--vantry", default=os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "build",
                                                         "src", "app", "vantry"))
    parser.add_argument("--rounds", type=int, default=1, help="runs one after the other against the same host")
    parser.add_argument("--settle-seconds", type=float, default=60,
                        help="how long the host may take to come back to its start once the clients have gone")
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    if not os.access(args.vantry, os.X_OK):
        raise SystemExit("no vantry at %s (build it first, or give --vantry)" % args.vantry)

    work = tempfile.mkdtemp(prefix="vantry-load-")
    try:
        os.makedirs(os.path.join(work, "share", "up"))
        os.makedirs(os.path.join(work, "state"), mode=0o700)
        with open(os.path.join(work, "share", "data.bin"), "wb") as out:
            out.write(random.Random(0).randbytes(DOWNLOAD_BYTES))
        with open(os.path.join(work, "share", "probe.txt"), "w") as out:
            out.write("probe\n")
        with open(os.path.join(work, "password"), "w") as out:
            out.write(PASSWORD + "\n")
        host = Host(args.vantry, work, args.host_nice)
        time.sleep(0.5)
        before = {"resident KiB": host.resident_kib(), "descriptors": host.descriptors()}
        baseline = Baseline()
        rounds = []
        bad = 0
        # Later rounds run against the same host: what it keeps after one round, it should not
        # keep again after the next.
        for number in range(1, args.rounds + 1):
            if args.rounds > 1:
                print("round %d:" % number)
            figures, round_bad = one_round(args, work, host, baseline, before)
            rounds.append(figures)
            bad += round_bad
        host.stop()
        baseline.stop()
        if args.json:
            with open(args.json, "w") as out:
                json.dump(rounds if args.rounds > 1 else rounds[0], out, indent=1)
        return 1 if bad else 0
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
