#!/usr/bin/env python3
"""Clients that do not read, and floods at the connection bound, against a running server,
with the server's memory and what honest clients meet measured meanwhile.

  slow_clients.py hold  PORT PID --path P [--connections N] [--addresses K] [--pipeline M]
                        [--seconds S]
      N connections from K source addresses each send M requests for P and read nothing; the
      server's memory is sampled throughout, then after they close.
  slow_clients.py slow  PORT PID PASSWORD_FILE --path P [--connections N] [--addresses K]
                        [--pipeline M] [--seconds S]
      N connections each pipeline M requests for P and read one byte a second, reconnecting when
      closed; meanwhile a sign-in, a signed-in 1 MB console form and a public page are asked
      every half second, each from an address of its own.
  slow_clients.py read  PORT PID PASSWORD_FILE --path P [--connections N] [--addresses K]
                        [--seconds S]
      N keep-alive connections from K addresses each ask for P and read its whole answer, again
      and again (a long page, a dear search); meanwhile the same honest probes as slow.
  slow_clients.py evict PORT PID PASSWORD_FILE [--keepalive N] [--churn M] [--addresses K]
                        [--seconds S]
      N keep-alive connections send a request every 0.2 s and M empty ones are opened and
      closed over and over, from K addresses; meanwhile a signed-in console request whose head
      takes 1.4 s, an anonymous 30 KB form sent at 10 KB/s and a sign-in whose body takes 1.5 s
      are made one after another, each from an address of its own.

Only 127.0.0.0/8 is ever asked: the attackers from 127.3.x.y, the honest clients from
127.9.0.x. Every loop is bounded by --seconds. Prints one summary line per measure.
"""
import argparse
import re
import resource
import selectors
import socket
import statistics
import sys
import threading
import time
import urllib.parse

HOST = "127.0.0.1"
COOKIE = "FOLIREXSESSIONID"


def memory(pid):
    """The server's resident memory in MB: (VmRSS, RssAnon, VmHWM)."""
    values = {}
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            name, _, rest = line.partition(":")
            if name in ("VmRSS", "RssAnon", "VmHWM"):
                values[name] = int(rest.split()[0]) / 1024
    return values.get("VmRSS", 0), values.get("RssAnon", 0), values.get("VmHWM", 0)


class Sampler(threading.Thread):
    """Samples the server's memory every 50 ms until stopped; keeps the peaks."""

    def __init__(self, pid):
        super().__init__(daemon=True)
        self.pid = pid
        self.peak_rss = self.peak_anon = 0.0
        self.done = threading.Event()

    def run(self):
        while not self.done.is_set():
            rss, anon, _ = memory(self.pid)
            self.peak_rss = max(self.peak_rss, rss)
            self.peak_anon = max(self.peak_anon, anon)
            time.sleep(0.05)


def source(index, per_address, base=3):
    client = index // per_address
    return "127.%d.%d.%d" % (base, client // 250, client % 250 + 1)


def connect(src, timeout=5.0, rcvbuf=None):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if rcvbuf:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
    s.bind((src, 0))
    s.settimeout(timeout)
    s.connect((HOST, PORT))
    return s


def request(path, method="GET", body=b"", headers=()):
    head = "%s %s HTTP/1.1\r\nHost: 127.0.0.1\r\n" % (method, path)
    for h in headers:
        head += h + "\r\n"
    if method == "POST":
        head += "Content-Type: application/x-www-form-urlencoded\r\n"
        head += "Content-Length: %d\r\n" % len(body)
    return (head + "\r\n").encode() + body


def read_answer(s):
    """Reads one answer; returns (status, headers text, body)."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = s.recv(65536)
        if not chunk:
            raise ConnectionError("closed before the head")
        data += chunk
    head, _, rest = data.partition(b"\r\n\r\n")
    text = head.decode("latin-1")
    status = int(text.split()[1])
    m = re.search(r"(?im)^content-length:\s*(\d+)", text)
    length = int(m.group(1)) if m else 0
    while len(rest) < length:
        chunk = s.recv(65536)
        if not chunk:
            raise ConnectionError("closed in the body")
        rest += chunk
    return status, text, rest[:length]


def ask(src, raw, timeout=5.0, pace=None):
    """Sends raw (in pieces of pace=(bytes, seconds) when given) and reads the answer; returns
    (status or error text, seconds taken, head)."""
    started = time.monotonic()
    try:
        s = connect(src, timeout)
        try:
            if pace:
                size, every = pace
                for i in range(0, len(raw), size):
                    s.sendall(raw[i:i + size])
                    time.sleep(every)
            else:
                s.sendall(raw)
            status, head, _ = read_answer(s)
        finally:
            s.close()
        return status, time.monotonic() - started, head
    except (OSError, ConnectionError, ValueError, IndexError) as e:
        return type(e).__name__, time.monotonic() - started, ""


def sign_in(src, password_file, pace=None):
    with open(password_file, encoding="utf-8") as f:
        name, password = f.read().split()[:2]
    body = urllib.parse.urlencode({"usercode": name, "password": password}).encode()
    raw = request("/admin.asp?m=admin_login&action=check", "POST", body)
    status, seconds, head = ask(src, raw, pace=pace)
    m = re.search(r"(?i)set-cookie:\s*%s=([^;\r\n]+)" % COOKIE, head)
    ok = status == 302 and m is not None
    return ok, seconds, (m.group(1) if m else None), status


def summary(label, results):
    """results: list of (ok, seconds, status)."""
    oks = [r for r in results if r[0]]
    times = sorted(r[1] for r in results)
    bad = sorted({str(r[2]) for r in results if not r[0]})
    print("%s: %d of %d ok, p50 %.3f s, max %.3f s%s" %
          (label, len(oks), len(results), statistics.median(times) if times else 0,
           times[-1] if times else 0, (", failures: " + " ".join(bad)) if bad else ""))


class Flood(threading.Thread):
    """Attacking connections on one selector thread until stopped."""

    def __init__(self):
        super().__init__(daemon=True)
        self.sel = selectors.DefaultSelector()
        self.done = threading.Event()
        self.closed_by_server = 0

    def stop(self):
        self.done.set()
        self.join()
        for key in list(self.sel.get_map().values()):
            key.fileobj.close()


def open_nonblocking(src, rcvbuf=None):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if rcvbuf:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, rcvbuf)
    s.bind((src, 0))
    s.setblocking(False)
    try:
        s.connect((HOST, PORT))
    except BlockingIOError:
        pass
    return s


class SlowReaders(Flood):
    """Each connection pipelines its requests, then reads one byte a second; reconnects when
    the server closes it (hold mode: never reconnects and never reads)."""

    def __init__(self, count, per_address, payload, read=True):
        super().__init__()
        self.specs = [source(i, per_address) for i in range(count)]
        self.payload = payload
        self.read = read

    def run(self):
        pending = {}
        for src in self.specs:
            self.add(src, pending)
        while not self.done.is_set():
            now = time.monotonic()
            for key, _ in self.sel.select(0.05):
                s = key.fileobj
                src, sent, due = key.data
                if sent < len(self.payload):
                    try:
                        n = s.send(self.payload[sent:])
                    except OSError:
                        n = -1
                    if n < 0:
                        self.drop(s, src, pending)
                        continue
                    sent += n
                    events = selectors.EVENT_WRITE if sent < len(self.payload) else 0
                    if events == 0:
                        self.sel.unregister(s)
                        pending[s] = (src, sent, now + 1)
                    else:
                        self.sel.modify(s, events, (src, sent, due))
            if not self.read:
                continue
            for s, (src, sent, due) in list(pending.items()):
                if now < due:
                    continue
                try:
                    got = s.recv(1)
                except BlockingIOError:
                    pending[s] = (src, sent, now + 1)
                    continue
                except OSError:
                    got = b""
                if not got:
                    del pending[s]
                    s.close()
                    self.closed_by_server += 1
                    if not self.done.is_set():
                        self.add(src, pending)
                else:
                    pending[s] = (src, sent, now + 1)
        for s in pending:
            s.close()

    def add(self, src, pending):
        try:
            s = open_nonblocking(src, rcvbuf=2048)
        except OSError:
            return
        self.sel.register(s, selectors.EVENT_WRITE, (src, 0, 0))

    def drop(self, s, src, pending):
        self.sel.unregister(s)
        s.close()
        self.closed_by_server += 1
        if self.read and not self.done.is_set():
            self.add(src, pending)


class Renewers(Flood):
    """Keep-alive connections that ask for a page every 0.2 s and read the answers, and empty
    connections opened and closed over and over; both reopened when the server closes them."""

    def __init__(self, keepalive, churn, per_address, path):
        super().__init__()
        self.keepalive = [source(i, per_address) for i in range(keepalive)]
        self.churn = [source(keepalive + i, per_address) for i in range(churn)]
        self.payload = request(path)

    def run(self):
        conns = {}  # socket -> [src, kind, due]
        for src in self.keepalive:
            self.open(src, "k", conns)
        for src in self.churn:
            self.open(src, "c", conns)
        while not self.done.is_set():
            now = time.monotonic()
            for key, _ in self.sel.select(0.02):
                s = key.fileobj
                try:
                    got = s.recv(65536)
                except (BlockingIOError, InterruptedError):
                    continue
                except OSError:
                    got = b""
                if not got:
                    self.reopen(s, conns)
            for s, (src, kind, due) in list(conns.items()):
                if now < due:
                    continue
                if kind == "k":
                    try:
                        s.send(self.payload)
                        conns[s][2] = now + 0.2
                    except (BlockingIOError, InterruptedError):
                        conns[s][2] = now + 0.05
                    except OSError:
                        self.reopen(s, conns)
                else:
                    self.reopen(s, conns, counted=False)
        for s in list(conns):
            s.close()

    def open(self, src, kind, conns):
        try:
            s = open_nonblocking(src)
        except OSError:
            return
        self.sel.register(s, selectors.EVENT_READ)
        conns[s] = [src, kind, time.monotonic() + (0.05 if kind == "k" else 0.2)]

    def reopen(self, s, conns, counted=True):
        src, kind, _ = conns.pop(s)
        self.sel.unregister(s)
        s.close()
        if counted:
            self.closed_by_server += 1
        if not self.done.is_set():
            self.open(src, kind, conns)


def run_hold(args):
    sampler = Sampler(args.pid)
    idle = memory(args.pid)
    sampler.start()
    payload = request(args.path) * args.pipeline
    flood = SlowReaders(args.connections, args.connections // args.addresses, payload, read=False)
    flood.start()
    time.sleep(args.seconds)
    flood.stop()
    held_peak = sampler.peak_rss
    time.sleep(3)
    sampler.done.set()
    after = memory(args.pid)
    print("hold %s x%d, %d connections from %d addresses: idle %.1f MB, peak %.1f MB "
          "(RssAnon %.1f), 3 s after closing %.1f MB (RssAnon %.1f)" %
          (args.path, args.pipeline, args.connections, args.addresses, idle[0], held_peak,
           sampler.peak_anon, after[0], after[1]))


def first_sign_in(args):
    """The honest administrator's session, made before the flood starts."""
    ok, _, cookie, status = sign_in("127.9.0.1", args.password_file)
    if not ok:
        sys.exit("the sign-in failed before the flood: %s" % status)
    return cookie


def honest_probes(args, cookie, until, results):
    """The sign-in, a signed-in 1 MB console form and a public page, every half second."""
    form = b"filler=" + b"x" * (1 << 20)
    while time.monotonic() < until:
        started = time.monotonic()
        ok, seconds, _, status = sign_in("127.9.0.2", args.password_file)
        results["sign-in"].append((ok and seconds < 1, seconds, status))
        status, seconds, _ = ask("127.9.0.3", request("/admin.asp?m=admin_main", "POST", form,
                                                       ["Cookie: %s=%s" % (COOKIE, cookie)]))
        results["console 1 MB form"].append((status == 200 and seconds < 1, seconds, status))
        status, seconds, _ = ask("127.9.0.4", request("/asp.asp"))
        results["public page"].append((status == 200 and seconds < 1, seconds, status))
        time.sleep(max(0, 0.5 - (time.monotonic() - started)))


def report(scenario, flood, sampler, results):
    """Stops the flood and the sampler, and prints what the honest clients met."""
    flood.stop()
    sampler.done.set()
    for label, r in results.items():
        summary(scenario + ", " + label, r)
    print("%s: peak %.1f MB (RssAnon %.1f), server closed %d of theirs" %
          (scenario, sampler.peak_rss, sampler.peak_anon, flood.closed_by_server))


def run_slow(args):
    cookie = first_sign_in(args)
    sampler = Sampler(args.pid)
    sampler.start()
    payload = request(args.path) * args.pipeline
    flood = SlowReaders(args.connections, args.connections // args.addresses, payload)
    flood.start()
    time.sleep(2)  # the flood fills the bound first
    results = {"sign-in": [], "console 1 MB form": [], "public page": []}
    honest_probes(args, cookie, time.monotonic() + args.seconds, results)
    report("slow readers", flood, sampler, results)


class Readers(threading.Thread):
    """One keep-alive connection that asks for its path and reads each answer whole, again and
    again, reconnecting when closed; counts the answers by status."""

    def __init__(self, src, path, until, counts, lock):
        super().__init__(daemon=True)
        self.src, self.raw, self.until = src, request(path), until
        self.counts, self.lock = counts, lock

    def run(self):
        s = None
        while time.monotonic() < self.until:
            try:
                if s is None:
                    s = connect(self.src, timeout=30)
                s.sendall(self.raw)
                status, head, _ = read_answer(s)
                if re.search(r"(?im)^connection:\s*close", head):
                    s.close()
                    s = None
            except (OSError, ConnectionError, ValueError, IndexError) as e:
                status = type(e).__name__
                if s is not None:
                    s.close()
                s = None
            with self.lock:
                self.counts[status] = self.counts.get(status, 0) + 1
        if s is not None:
            s.close()


def run_read(args):
    cookie = first_sign_in(args)
    sampler = Sampler(args.pid)
    sampler.start()
    until = time.monotonic() + 2 + args.seconds
    counts, lock = {}, threading.Lock()
    per_address = max(1, args.connections // args.addresses)
    readers = [Readers(source(i, per_address), args.path, until, counts, lock)
               for i in range(args.connections)]
    for r in readers:
        r.start()
    time.sleep(2)  # the readers take the workers first
    results = {"sign-in": [], "console 1 MB form": [], "public page": []}
    honest_probes(args, cookie, until, results)
    for r in readers:
        r.join()
    sampler.done.set()
    for label, r in results.items():
        summary("readers, " + label, r)
    print("readers of %s, %d connections from %d addresses: answers %s; peak %.1f MB "
          "(RssAnon %.1f)" % (args.path, args.connections, args.addresses,
                              " ".join("%s:%d" % kv for kv in sorted(counts.items(), key=str)),
                              sampler.peak_rss, sampler.peak_anon))


def run_evict(args):
    cookie = first_sign_in(args)
    sampler = Sampler(args.pid)
    sampler.start()
    flood = Renewers(args.keepalive, args.churn,
                     (args.keepalive + args.churn) // args.addresses, "/asp.asp")
    flood.start()
    time.sleep(2)
    results = {"console head in 1.4 s": [], "30 KB form at 10 KB/s": [],
               "sign-in body in 1.5 s": []}
    until = time.monotonic() + args.seconds
    while time.monotonic() < until:
        head = request("/admin.asp?m=admin_main", headers=["Cookie: %s=%s" % (COOKIE, cookie)])
        status, seconds, _ = ask("127.9.0.2", head, timeout=10, pace=(len(head) // 14 + 1, 0.1))
        results["console head in 1.4 s"].append((status == 200, seconds, status))
        form = request("/asp.asp?m=search", "POST", b"k=" + b"y" * (30 * 1024 - 2))
        status, seconds, _ = ask("127.9.0.3", form, timeout=10, pace=(1024, 0.1))
        results["30 KB form at 10 KB/s"].append((status == 200, seconds, status))
        with open(args.password_file, encoding="utf-8") as f:
            name, password = f.read().split()[:2]
        body = urllib.parse.urlencode({"usercode": name, "password": password}).encode()
        raw = request("/admin.asp?m=admin_login&action=check", "POST", body)
        head_len = raw.index(b"\r\n\r\n") + 4
        started = time.monotonic()
        try:
            s = connect("127.9.0.4", 10)
            s.sendall(raw[:head_len])
            for i in range(0, len(body), max(1, len(body) // 15)):
                time.sleep(0.1)
                s.sendall(raw[head_len + i:head_len + i + max(1, len(body) // 15)])
            status, _, _ = read_answer(s)
            s.close()
        except (OSError, ConnectionError, ValueError, IndexError) as e:
            status = type(e).__name__
        results["sign-in body in 1.5 s"].append((status == 302, time.monotonic() - started,
                                                 status))
    report("eviction flood", flood, sampler, results)


def main():
    global PORT
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("mode", choices=["hold", "slow", "read", "evict"])
    p.add_argument("port", type=int)
    p.add_argument("pid", type=int)
    p.add_argument("password_file", nargs="?")
    p.add_argument("--path", default="/asp.asp")
    p.add_argument("--connections", type=int, default=1000)
    p.add_argument("--addresses", type=int, default=10)
    p.add_argument("--pipeline", type=int, default=1)
    p.add_argument("--keepalive", type=int, default=450)
    p.add_argument("--churn", type=int, default=200)
    p.add_argument("--seconds", type=float, default=10)
    args = p.parse_args()
    PORT = args.port
    if args.mode != "hold" and not args.password_file:
        sys.exit("%s needs the PASSWORD_FILE (DIR/data/admin-password.txt)" % args.mode)
    soft, hard = resource.getrlimit(resource.RLIMIT_NOFILE)
    resource.setrlimit(resource.RLIMIT_NOFILE, (hard, hard))
    {"hold": run_hold, "slow": run_slow, "read": run_read, "evict": run_evict}[args.mode](args)


if __name__ == "__main__":
    main()
