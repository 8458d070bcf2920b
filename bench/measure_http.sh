#!/usr/bin/env bash
# The web server's cost to the monitor: the headless monitor (simulator, real time) with
# --http, once without clients and once with 100 /events clients reading, each for
# RUN_SECONDS (default 60):
#  - the monitor's CPU over the run, as a share of one core, and the difference;
#  - the worst |interval - 1 s| between headless lines, and how much the clients add;
#  - resident memory with the clients against without, per client.
# Usage: bench/measure_http.sh [BUILD_DIR]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$top/build}
ravelin=$build/bin/ravelin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seconds=${RUN_SECONDS:-60}

/usr/bin/python3 - "$ravelin" "$work" "$seconds" <<'PY'
import os, re, selectors, socket, subprocess, sys, threading, time

ravelin, work, seconds = sys.argv[1], sys.argv[2], int(sys.argv[3])
tick = os.sysconf("SC_CLK_TCK")

def cpu(pid):  # user + system seconds
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick

def rss(pid):  # KiB
    for line in open("/proc/%d/status" % pid):
        if line.startswith("VmRSS:"):
            return int(line.split()[1])

def run(clients):
    p = subprocess.Popen([ravelin, "--headless", "--input", "sim", "--seed", "5", "--sensitivity", "120", "--no-log",
                          "--http", "127.0.0.1:0"], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    port = None
    for line in p.stderr:
        m = re.search(r"listening on http://127\.0\.0\.1:(\d+)/", line)
        if m:
            port = int(m.group(1))
            break
    arrivals = []
    def read():
        for line in p.stdout:
            arrivals.append(time.monotonic())
    threading.Thread(target=read, daemon=True).start()
    # Whatever else the monitor says is read too, so that a full pipe never stops it.
    threading.Thread(target=lambda: p.stderr.read(), daemon=True).start()
    # The clients in one thread of their own, so that they take as little of the machine as they can.
    streams, messages, done = [], [0], [False]
    selector = selectors.DefaultSelector()
    def consume():
        while not done[0]:
            for key, _ in selector.select(0.5):
                data = key.fileobj.recv(65536)
                if not data:
                    selector.unregister(key.fileobj)
                messages[0] += data.count(b"data: ")
    for _ in range(clients):
        s = socket.create_connection(("127.0.0.1", port))
        s.sendall(b"GET /events HTTP/1.1\r\nHost: bench\r\n\r\n")
        streams.append(s)
        selector.register(s, selectors.EVENT_READ)
    reader = threading.Thread(target=consume, daemon=True)
    reader.start()
    time.sleep(3)  # settled: the clients connected, the first seconds done
    c0, t0, n0 = cpu(p.pid), time.monotonic(), len(arrivals)
    time.sleep(seconds)
    c1, t1 = cpu(p.pid), time.monotonic()
    memory = rss(p.pid)
    times = arrivals[n0:]
    worst = max((abs((b - a) - 1) for a, b in zip(times, times[1:])), default=float("nan"))
    got = messages[0]
    p.terminate()
    p.wait()
    done[0] = True
    reader.join()
    for s in streams:
        s.close()
    return (c1 - c0) / (t1 - t0), worst, memory, got

share0, worst0, rss0, _ = run(0)
share1, worst1, rss1, got = run(100)
print("CPU, share of one core: no clients %.2f %%, 100 /events clients %.2f %%, difference %.2f %%"
      % (100 * share0, 100 * share1, 100 * (share1 - share0)))
print("worst |interval - 1 s| between headless lines: no clients %.1f ms, 100 clients %.1f ms, growth %.1f ms"
      % (1000 * worst0, 1000 * worst1, 1000 * (worst1 - worst0)))
print("resident memory: no clients %d KiB, 100 clients %d KiB, %.1f KiB per client (%d messages received)"
      % (rss0, rss1, (rss1 - rss0) / 100, got))
PY
