#!/usr/bin/python3
"""The station's web server against real clients, on a running headless station (the
simulator in real time): Chromium driven by Selenium reads the page, Prometheus scrapes
/metrics, promtool checks it, and hostile requests get their answers, while the headless
line keeps coming every second. Everything runs in a folder of its own on free ports."""
import json
import os
import re
import resource
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.request

RAVELIN = sys.argv[1]
failures = []


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_until(predicate, seconds, step=0.1):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        value = predicate()
        if value:
            return value
        time.sleep(step)
    return None


class Station:
    """ravelin --headless with --http on a port of the system's choice; its lines with their arrival times."""

    def __init__(self, work, prefix=(), http="127.0.0.1:0", extra=()):
        self.errors = []
        self.lines = {}  # seconds -> (total, cpm, usv_h)
        self.arrivals = []  # (monotonic time, seconds)
        self.port = None
        self.process = subprocess.Popen(
            list(prefix) + [RAVELIN, "--headless", "--input", "sim:900", "--seed", "23", "--sensitivity", "120",
             "--log-folder", work, "--http", http] + list(extra),
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, cwd=work)
        threading.Thread(target=self._read_stdout, daemon=True).start()
        threading.Thread(target=self._read_stderr, daemon=True).start()

    def _read_stdout(self):
        for line in self.process.stdout:
            fields = line.strip().split(",")
            if fields[0].isdigit():
                seconds = int(fields[0])
                self.lines[seconds] = (fields[1], fields[2], fields[3])
                self.arrivals.append((time.monotonic(), seconds))

    def _read_stderr(self):
        for line in self.process.stderr:
            m = re.search(r"listening on http://127\.0\.0\.1:(\d+)/", line)
            if m:
                self.port = int(m.group(1))
            else:
                self.errors.append(line)
                sys.stderr.write("ravelin: " + line)

    def worst_gap(self, since):
        times = [t for t, _ in self.arrivals if t >= since]
        return max((b - a for a, b in zip(times, times[1:])), default=None)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
        self.process.wait(10)


def get(port, path, headers=None):
    request = urllib.request.Request("http://127.0.0.1:%d%s" % (port, path), headers=headers or {})
    try:
        with urllib.request.urlopen(request, timeout=10) as r:
            return r.status, r.read()
    except urllib.error.HTTPError as e:
        return e.code, e.read()


def browser_reads_the_page(station, work):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.common.by import By

    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for a in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--user-data-dir=" + os.path.join(work, "chromium"), "--window-size=390,844"):
        options.add_argument(a)
    options.add_experimental_option("prefs", {"intl.accept_languages": "ja"})
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver", port=free_port()), options=options)
    try:
        driver.get("http://127.0.0.1:%d/" % station.port)
        check(driver.find_element(By.TAG_NAME, "html").get_attribute("lang") == "ja", "the page is in Japanese")
        seen = {}
        end = time.monotonic() + 6
        while time.monotonic() < end:
            # All four in one turn of the page's script, so that no message comes between them.
            values = driver.execute_script(
                "return ['seconds', 'total', 'cpm', 'usv_h'].map(i => document.getElementById(i).textContent)")
            if values[0].isdigit():
                seen[int(values[0])] = tuple(values[1:])
            time.sleep(0.2)
        check(len(seen) >= 4, "the page's readouts changed second by second (%d seconds seen)" % len(seen))
        wrong = {s: (v, station.lines.get(s)) for s, v in seen.items() if station.lines.get(s) != v}
        check(not wrong, "the page showed the headless line's values of the same seconds %s" % (wrong or ""))
        folder = driver.find_element(By.ID, "folder").text
        check(folder.rstrip("/") == work.rstrip("/"), "the page names the log folder (%s)" % folder)
        for picture in ("trend", "history"):
            width = driver.execute_script("return document.getElementById(arguments[0]).naturalWidth", picture)
            check(width and width > 0, "the %s picture is drawn" % picture)
        driver.save_screenshot(os.path.join(work, "page.png"))
    finally:
        driver.quit()


def prometheus_scrapes(station, work):
    body = get(station.port, "/metrics")[1]
    lint = subprocess.run(["promtool", "check", "metrics"], input=body, capture_output=True)
    check(lint.returncode == 0 and not lint.stdout.strip() and not lint.stderr.strip(),
          "promtool check metrics is clean %s" % (lint.stdout + lint.stderr).decode())
    port = free_port()
    config = os.path.join(work, "prometheus.yml")
    with open(config, "w") as f:
        f.write("global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: ravelin\n"
                "    static_configs:\n      - targets: ['127.0.0.1:%d']\n" % station.port)
    prometheus = subprocess.Popen(
        ["prometheus", "--config.file=" + config, "--storage.tsdb.path=" + os.path.join(work, "tsdb"),
         "--web.listen-address=127.0.0.1:%d" % port, "--log.level=warn"],
        stdout=subprocess.DEVNULL, stderr=open(os.path.join(work, "prometheus.log"), "w"))
    try:
        def sample():
            query = "{__name__=~%22ravelin_pulses_total|ravelin_processed_seconds_total%22}"
            try:
                status, data = get(port, "/api/v1/query?query=" + query)
            except OSError:
                return None
            result = json.loads(data)["data"]["result"] if status == 200 else []
            values = {r["metric"]["__name__"]: r["value"] for r in result}
            if len(values) < 2 or values["ravelin_pulses_total"][0] != values["ravelin_processed_seconds_total"][0]:
                return None
            return int(values["ravelin_processed_seconds_total"][1]), values["ravelin_pulses_total"][1]
        got = wait_until(sample, 30, 0.5)
        check(got is not None, "Prometheus scraped /metrics")
        if got:
            seconds, total = got
            check(station.lines.get(seconds, ("?",))[0] == total,
                  "Prometheus's total at second %d is the headless line's (%s, %s)" %
                  (seconds, total, station.lines.get(seconds)))
    finally:
        prometheus.terminate()
        prometheus.wait(10)


def raw(port, data, wait=5):
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(data)
        s.settimeout(wait)
        try:
            return s.recv(100).split(b"\r\n")[0].decode()
        except OSError as e:
            return repr(e)


def hostile_requests(station):
    port = station.port
    check(raw(port, b"GET /" + b"a" * 40000 + b" HTTP/1.1\r\nHost: x\r\n\r\n").startswith("HTTP/1.1 414"),
          "an oversized request line is answered 414")
    headers = b"".join(b"X-%d: %s\r\n" % (i, b"b" * 100) for i in range(300))
    check(raw(port, b"GET / HTTP/1.1\r\nHost: x\r\n" + headers + b"\r\n").startswith("HTTP/1.1 431"),
          "oversized headers are answered 431")
    check(raw(port, b"POST /api/now HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\n\r\nhello").startswith("HTTP/1.1 413"),
          "a request with a body is answered 413")
    for path in (b"/../etc/passwd", b"/api/../../etc/passwd", b"/%2e%2e/etc/passwd"):
        check(raw(port, b"GET " + path + b" HTTP/1.1\r\nHost: x\r\n\r\n").startswith("HTTP/1.1 404"),
              "%s is answered 404" % path.decode())
    check(raw(port, b"HEAD /metrics HTTP/1.1\r\nHost: x\r\n\r\n").startswith("HTTP/1.1 200"), "HEAD works")

    # A byte a second: closed within 10 s of connecting.
    with socket.create_connection(("127.0.0.1", port)) as s:
        start = time.monotonic()
        closed = None
        for byte in b"GET / HTTP/1.1\r\nHost: x\r\nX-Slow: " + b"z" * 30:
            try:
                s.send(bytes([byte]))
            except OSError:
                closed = time.monotonic() - start
                break
            s.settimeout(1)
            try:
                if s.recv(100) == b"":
                    closed = time.monotonic() - start
                    break
            except socket.timeout:
                pass
        check(closed is not None and closed <= 10.0, "a client sending a byte a second is closed in %s s" % closed)

    # 1,000 connections at once: the first 128 (the cap) are served, the others answered 503.
    resource.setrlimit(resource.RLIMIT_NOFILE, (4096, resource.getrlimit(resource.RLIMIT_NOFILE)[1]))
    sockets = [socket.create_connection(("127.0.0.1", port)) for _ in range(1000)]
    time.sleep(1)
    for s in sockets:
        s.sendall(b"GET /api/now HTTP/1.1\r\nHost: x\r\n\r\n")
    codes = {}
    for s in sockets:
        s.settimeout(10)
        try:
            code = s.recv(20).split(b" ")[1].decode()
        except (OSError, IndexError):
            code = "none"
        codes[code] = codes.get(code, 0) + 1
        s.close()
    check(codes.get("200") == 128 and codes.get("503") == 872, "1,000 connections at once: %s" % codes)
    check(get(port, "/api/now")[0] == 200, "served again once they are gone")


def out_of_descriptors(work):
    """With 60 open files at most, the server runs out; once the clients go it answers again."""
    station = Station(work, ("prlimit", "--nofile=60:60"))
    try:
        wait_until(lambda: station.port and station.lines, 10)
        sockets = []
        for _ in range(100):
            try:
                sockets.append(socket.create_connection(("127.0.0.1", station.port), timeout=2))
            except OSError:
                break
        time.sleep(1)
        for s in sockets:
            s.close()
        served = wait_until(lambda: get(station.port, "/api/now")[0] == 200, 10, 0.5)
        check(served, "after running out of descriptors the server answers once they are free")
        counted = len(station.lines)
        check(wait_until(lambda: len(station.lines) >= counted + 2, 5) and station.process.poll() is None,
              "and the station counted on")
    finally:
        station.stop()


def maps_in_metrics(work):
    """With the public maps shared, /metrics carries their state and counts, promtool-clean:
    a Safecast that cannot be reached, with three readings left from an earlier run."""
    secret = os.path.join(work, "secret")
    with open(secret, "w") as f:
        f.write("x\n")
    os.chmod(secret, 0o600)
    state = os.path.join(work, "state")
    os.makedirs(state, exist_ok=True)
    with open(os.path.join(state, "safecast.outbox"), "w") as f:
        f.write("".join("2026-01-01T00:0%d:00Z,30,0.120,30.00\n" % i for i in range(3)))
    closed = "http://127.0.0.1:%d/" % free_port()
    station = Station(work, extra=[
        "--radmon", "me", "--radmon-password-file", secret, "--radmon-url", closed + "radmon.php",
        "--gmcmap", "1", "--gmcmap-counter-file", secret, "--gmcmap-url", closed + "log2.asp",
        "--safecast", "42", "--safecast-key-file", secret, "--safecast-url", closed + "measurements.json",
        "--latitude", "1", "--longitude", "2", "--state-dir", state])
    try:
        wait_until(lambda: station.port, 10)
        def failing():
            body = get(station.port, "/metrics")[1]
            return body if b'ravelin_map_upload_state{service="safecast",state="failing"} 1\n' in body else None
        body = wait_until(failing, 15, 0.5)
        check(body is not None, "/metrics says Safecast is failing")
        body = body or b""
        for line in ('ravelin_map_readings_waiting{service="safecast"} 3',
                     'ravelin_map_upload_state{service="radmon",state="starting"} 1',
                     'ravelin_map_readings_dropped_total{service="gmcmap"} 0'):
            check(line.encode() + b"\n" in body, "/metrics has " + line)
        lint = subprocess.run(["promtool", "check", "metrics"], input=body, capture_output=True)
        check(lint.returncode == 0 and not lint.stdout.strip() and not lint.stderr.strip(),
              "promtool check metrics is clean with the maps %s" % (lint.stdout + lint.stderr).decode())
        # /api/now is the station's MQTT state message, the maps' member included.
        now = json.loads(get(station.port, "/api/now")[1])
        check(now.get("maps", {}).get("Safecast", {}).get("waiting") == 3, "/api/now has the maps' state %r" % now)
    finally:
        station.stop()


def main():
    work = tempfile.mkdtemp()
    station = Station(work)
    try:
        check(wait_until(lambda: station.port, 10) is not None, "the station listens")
        if failures:
            return 1
        wait_until(lambda: len(station.lines) >= 2, 10)
        status, body = get(station.port, "/api/now")
        check(status == 200 and set(json.loads(body)) == {
            "time", "seconds", "total", "cpm", "usv_h", "alarm1", "alarm2",
            "cpm_low", "cpm_high", "usv_h_low", "usv_h_high"}, "/api/now has the state message's keys")
        # A second station on the same port: said, and counting goes on.
        busy = Station(work, http="127.0.0.1:%d" % station.port)
        try:
            said = wait_until(lambda: any("cannot bind" in e and "trying again in a minute" in e for e in busy.errors), 10)
            check(said and wait_until(lambda: len(busy.lines) >= 2, 10), "a port in use is reported and counting goes on")
        finally:
            busy.stop()
        start = time.monotonic()
        browser_reads_the_page(station, work)
        prometheus_scrapes(station, work)
        check(b"ravelin_map" not in get(station.port, "/metrics")[1], "without a map option /metrics has no map")
        hostile_requests(station)
        gap = station.worst_gap(start)
        check(gap is not None and gap < 1.5, "the headless line kept coming every second (worst gap %.3f s)" % gap)
        check(station.process.poll() is None, "the station is still running")
        station.stop()
        out_of_descriptors(work)
        maps_in_metrics(work)
    finally:
        station.stop()
        if os.environ.get("KEEP_WORK"):
            print("work folder kept:", work)
        else:
            shutil.rmtree(work, ignore_errors=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
