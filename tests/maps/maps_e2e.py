#!/usr/bin/env python3
"""The public maps end to end: the real `ravelin --headless --input sim --fast` against
fake radmon.org, GMCmap and Safecast services on 127.0.0.1 (fake_maps.py), each
speaking its API as published. Every test starts its own services and stops them.

Usage: maps_e2e.py RAVELIN [unittest options]
"""
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
RAVELIN = None
TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Service:
    """One fake service, its requests in a log."""

    def __init__(self, work, name, script="", tls=()):
        self.log = os.path.join(work, name + ".log")
        port_file = os.path.join(work, name + ".port")
        self.proc = subprocess.Popen([sys.executable, os.path.join(HERE, "fake_maps.py"), name, self.log,
                                      port_file, script] + list(tls))
        for _ in range(100):
            if os.path.exists(port_file):
                break
            time.sleep(0.05)
        with open(port_file) as f:
            self.port = int(f.read())

    def requests(self):
        if not os.path.exists(self.log):
            return []
        with open(self.log) as f:
            return [json.loads(line) for line in f]

    def stop(self):
        self.proc.kill()
        self.proc.wait()


class MapsTest(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="maps-e2e-")
        self.services = []
        self.secrets = {}
        for name, text in (("pw", "s3cret-pw"), ("gid", "98765"), ("key", "KEY-abc+/=")):
            path = os.path.join(self.work, name)
            with open(path, "w") as f:
                f.write(text + "\n")
            os.chmod(path, 0o600)
            self.secrets[name] = (path, text)
        self.state = os.path.join(self.work, "state")

    def tearDown(self):
        for s in self.services:
            s.stop()
        subprocess.run(["umount", "-l", self.state], capture_output=True)
        shutil.rmtree(self.work, ignore_errors=True)

    def service(self, name, script=""):
        s = Service(self.work, name, script)
        self.services.append(s)
        return s

    def safecast_args(self, port, *more):
        return ["--safecast", "42", "--safecast-key-file", self.secrets["key"][0], "--latitude", "35.6895",
                "--longitude", "-139.5", "--safecast-url", f"http://127.0.0.1:{port}/measurements.json",
                "--state-dir", self.state] + list(more)

    def run_ravelin(self, seconds, args, seed=1, log=None, timeout=120):
        cmd = [RAVELIN, "--headless", "--fast", "--input", "sim:40", "--seed", str(seed), "--seconds",
               str(seconds), "--sensitivity", "120"]
        cmd += ["--log-folder", log] if log else ["--no-log"]
        p = subprocess.run(cmd + args, capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL,
                           cwd=self.work, env=dict(os.environ, LC_ALL="C.UTF-8"))
        return p.returncode, p.stdout.decode(), p.stderr.decode()

    @staticmethod
    def minutes(stdout):
        """(cpm, usv_h) of each 60th second, from the headless lines."""
        out = []
        for line in stdout.splitlines()[1:]:
            f = line.split(",")
            if int(f[0]) % 60 == 0:
                out.append((f[2], f[3]))
        return out

    @staticmethod
    def taken(requests):
        """The measurements Safecast took (stored, or a repeat of one stored), in order. A
        replay's readings can share their second, so two alike are not taken for a repeat."""
        return [json.loads(r["body"])["measurement"] for r in requests if r["action"] == "ok"]

    def outbox_lines(self):
        path = os.path.join(self.state, "safecast.outbox")
        done = os.path.join(self.state, "safecast.outbox-done")
        def lines_of(p):
            if not os.path.exists(p):
                return []
            with open(p) as f:
                return f.read().splitlines()
        lines, finished = lines_of(path), lines_of(done)
        return lines[len([d for d in finished if d in ("sent", "dropped")]):]

    def assertSameReadings(self, taken, minutes):
        """Safecast took every reading, in order. A request whose answer came too late is
        sent again and taken as a repeat; a replay's readings can share their second and
        value. So a run of equal ones counts once on both sides, and none may be missing."""
        def runs(values):
            return [v for i, v in enumerate(values) if i == 0 or values[i - 1] != v]
        values = [str(m["value"]) for m in taken]
        expected = [c for c, _ in minutes]
        self.assertEqual(runs(values), runs(expected))
        self.assertGreaterEqual(len(values), len(expected))

    def assertNoSecret(self, text):
        for _, secret in self.secrets.values():
            self.assertNotIn(secret, text)

    # --- the requests, every parameter ---

    def test_exact_requests_of_each_service(self):
        radmon, gmcmap, safecast = self.service("radmon"), self.service("gmcmap"), self.service("safecast")
        before = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime())
        rc, out, err = self.run_ravelin(300, [
            "--radmon", "station one", "--radmon-password-file", self.secrets["pw"][0],
            "--radmon-url", f"http://127.0.0.1:{radmon.port}/radmon.php",
            "--gmcmap", "1234", "--gmcmap-counter-file", self.secrets["gid"][0],
            "--gmcmap-url", f"http://127.0.0.1:{gmcmap.port}/log2.asp"] + self.safecast_args(safecast.port))
        after = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(time.time() + 1))
        self.assertEqual(rc, 0, err)
        self.assertNoSecret(err)
        minutes = self.minutes(out)
        self.assertEqual(len(minutes), 5)
        cpms = [c for c, _ in minutes]

        # Safecast: every reading, in order, each with its capture time.
        reqs = safecast.requests()
        for r in reqs:
            self.assertEqual(r["method"], "POST")
            self.assertEqual(r["path"], "/measurements.json")
            self.assertEqual(r["query"], {"api_key": ["KEY-abc+/="]})
            self.assertEqual(r["content_type"], "application/json")
        taken = self.taken(reqs)
        self.assertSameReadings(taken, minutes)
        for m in taken:
            self.assertEqual(set(m), {"latitude", "longitude", "value", "unit", "captured_at", "device_id"})
            self.assertEqual((m["latitude"], m["longitude"], m["unit"], m["device_id"]), (35.6895, -139.5, "cpm", 42))
            self.assertRegex(m["captured_at"], TIME)
            self.assertTrue(before <= m["captured_at"] <= after, m["captured_at"])
        self.assertEqual(self.outbox_lines(), [])
        self.assertFalse(os.path.exists(os.path.join(self.state, "safecast.outbox")))

        # The live maps: current readings, in order, never one twice.
        def in_order(values):
            at = -1
            for v in values:
                at = cpms.index(v, at + 1)  # raises when a value is out of order
        radmon_reqs = radmon.requests()
        self.assertGreater(len(radmon_reqs), 0)
        for r in radmon_reqs:
            q = r["query"]
            self.assertEqual(r["method"], "GET")
            self.assertEqual(set(q), {"function", "user", "password", "value", "unit", "datetime"})
            self.assertEqual((q["function"], q["user"], q["password"], q["unit"]),
                             (["submit"], ["station one"], ["s3cret-pw"], ["CPM"]))
            self.assertRegex(q["datetime"][0], r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")
            self.assertTrue(before <= q["datetime"][0].replace(" ", "T") + "Z" <= after)
        in_order([r["query"]["value"][0] for r in radmon_reqs])
        gmcmap_reqs = gmcmap.requests()
        self.assertGreater(len(gmcmap_reqs), 0)
        doses = dict(minutes)
        for r in gmcmap_reqs:
            q = {k: v[0] for k, v in r["query"].items()}
            self.assertEqual(set(q), {"AID", "GID", "CPM", "ACPM", "uSV"})
            self.assertEqual((q["AID"], q["GID"]), ("1234", "98765"))
            self.assertEqual(q["uSV"], doses[q["CPM"]])
            self.assertRegex(q["ACPM"], r"^\d+\.\d\d$")
        in_order([r["query"]["CPM"][0] for r in gmcmap_reqs])

    # --- Safecast away, failing, refusing ---

    def test_safecast_down_for_ten_readings_gets_them_all_later(self):
        port = free_port()  # nobody listens yet
        rc, out1, err1 = self.run_ravelin(600, self.safecast_args(port))
        self.assertEqual(rc, 0, err1)
        self.assertIn("uploads to Safecast failing", err1)
        self.assertIn("10 reading(s) for Safecast kept in", err1)
        self.assertEqual(len(self.outbox_lines()), 10)
        s = Service(self.work, "safecast")
        self.services.append(s)
        port2 = s.port
        rc, out2, err2 = self.run_ravelin(120, self.safecast_args(port2), seed=2)
        self.assertEqual(rc, 0, err2)
        taken = self.taken(s.requests())
        self.assertSameReadings(taken, self.minutes(out1) + self.minutes(out2))
        times = [m["captured_at"] for m in taken]
        self.assertEqual(times, sorted(times))
        self.assertEqual(self.outbox_lines(), [])

    def test_500_garbage_silence_and_429_lose_nothing(self):
        s = self.service("safecast", "500,garbage,close,429,500,hang")
        rc, out1, err1 = self.run_ravelin(900, self.safecast_args(s.port, "--upload-timeout", "1"))
        self.assertEqual(rc, 0, err1)
        self.assertIn("uploads to Safecast failing", err1)
        # Whatever the first run could not send, the next start sends first.
        rc, out2, err2 = self.run_ravelin(60, self.safecast_args(s.port, "--upload-timeout", "1"), seed=3)
        self.assertEqual(rc, 0, err2)
        taken = self.taken(s.requests())
        self.assertSameReadings(taken, self.minutes(out1) + self.minutes(out2))
        self.assertEqual(len(self.minutes(out1) + self.minutes(out2)), 16)
        actions = [r["action"] for r in s.requests()][:6]
        self.assertEqual(actions, ["500", "garbage", "close", "429", "500", "hang"])
        self.assertEqual(self.outbox_lines(), [])

    def test_401_stops_and_keeps_the_outbox(self):
        s = self.service("safecast", "401")
        rc, out1, err1 = self.run_ravelin(300, self.safecast_args(s.port))
        self.assertEqual(rc, 0, err1)
        self.assertEqual(len(s.requests()), 1)
        self.assertIn("uploads to Safecast stopped: Safecast refuses the API key (HTTP 401)", err1)
        self.assertNoSecret(err1)
        self.assertEqual(len(self.outbox_lines()), 5)
        rc, out2, err2 = self.run_ravelin(60, self.safecast_args(s.port), seed=2)
        self.assertIn("5 reading(s) for Safecast waiting in", err2)
        self.assertSameReadings(self.taken(s.requests()), self.minutes(out1) + self.minutes(out2))

    def test_wrong_logins_stop_the_live_maps(self):
        radmon, gmcmap = self.service("radmon", "login"), self.service("gmcmap", "login")
        rc, out, err = self.run_ravelin(300, [
            "--radmon", "me", "--radmon-password-file", self.secrets["pw"][0],
            "--radmon-url", f"http://127.0.0.1:{radmon.port}/radmon.php",
            "--gmcmap", "1", "--gmcmap-counter-file", self.secrets["gid"][0],
            "--gmcmap-url", f"http://127.0.0.1:{gmcmap.port}/log2.asp"])
        self.assertEqual(rc, 0, err)
        self.assertEqual((len(radmon.requests()), len(gmcmap.requests())), (1, 1))
        self.assertIn("uploads to radmon.org stopped: radmon.org says the login is wrong", err)
        self.assertIn("uploads to GMCmap stopped: GMCmap does not know the counter id (ERR2)", err)
        self.assertNoSecret(err)
        self.assertFalse(os.path.exists(self.state))  # no outbox without Safecast

    # --- a crash and a full disk ---

    def test_kill_9_mid_upload_loses_nothing(self):
        s = self.service("safecast", "hang")
        cmd = [RAVELIN, "--headless", "--fast", "--input", "sim:40", "--seed", "1", "--sensitivity", "120",
               "--no-log"] + self.safecast_args(s.port)
        p = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=self.work)
        try:
            for _ in range(200):
                if s.requests() and len(self.outbox_lines()) >= 5:
                    break
                time.sleep(0.05)
        finally:
            p.send_signal(signal.SIGKILL)
            p.wait()
        kept = self.outbox_lines()
        self.assertGreaterEqual(len(kept), 5)
        rc, out2, err2 = self.run_ravelin(60, self.safecast_args(s.port), seed=2)
        self.assertEqual(rc, 0, err2)
        taken = self.taken(s.requests())
        sent = [f"{m['captured_at']},{m['value']}" for m in taken]
        self.assertEqual(sent[:len(kept)], [",".join(k.split(",")[:2]) for k in kept])
        self.assertEqual(len(taken), len(kept) + 1)
        self.assertEqual(self.outbox_lines(), [])

    def test_full_disk_for_the_outbox_loses_no_csv_record(self):
        os.makedirs(self.state)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=16k", "tmpfs", self.state], capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("cannot mount a small tmpfs for a full disk: " + mounted.stderr.decode().strip())
        fd = os.open(os.path.join(self.state, "filler"), os.O_WRONLY | os.O_CREAT)
        try:
            while os.write(fd, b"x" * 512) > 0:
                pass
        except OSError:
            pass
        os.close(fd)
        s = self.service("safecast")
        log = os.path.join(self.work, "log")
        rc, out, err = self.run_ravelin(300, self.safecast_args(s.port), log=log)
        self.assertEqual(rc, 0, err)
        self.assertIn("cannot write the Safecast outbox", err)
        self.assertIn("No space left on device", err)
        records = 0
        for name in os.listdir(log):
            with open(os.path.join(log, name), encoding="utf-8") as f:
                records += len(f.read().splitlines())
        self.assertEqual(records, 5)
        # Sent from memory all the same.
        self.assertSameReadings(self.taken(s.requests()), self.minutes(out))

    # --- none of it without the options ---

    def test_without_the_options_nothing_changes_and_no_outbox(self):
        home = os.path.join(self.work, "home")
        os.makedirs(home)
        env = dict(os.environ, HOME=home, XDG_STATE_HOME=os.path.join(home, "state"), LC_ALL="C.UTF-8")
        env.pop("STATE_DIRECTORY", None)
        logs = []
        outs = []
        for extra in ([], ["--safecast", "42", "--safecast-key-file", self.secrets["key"][0], "--latitude", "1",
                           "--longitude", "2", "--safecast-url", f"http://127.0.0.1:{free_port()}/m.json"]):
            log = os.path.join(self.work, "log%d" % len(logs))
            p = subprocess.run([RAVELIN, "--headless", "--fast", "--input", "sim:40", "--seed", "5", "--seconds",
                                "180", "--sensitivity", "120", "--log-folder", log] + extra,
                               capture_output=True, env=env, cwd=self.work, timeout=60)
            outs.append(p.stdout)
            # The doses of the records (their clock is the machine's, a minute may turn between runs).
            doses = {}
            for name in os.listdir(log):
                with open(os.path.join(log, name), "rb") as f:
                    doses[name] = [line.rsplit(b",", 1)[1] for line in f.read().splitlines()]
            logs.append(doses)
            if not extra:
                self.assertEqual(os.listdir(home), [])
        self.assertEqual(outs[0], outs[1])
        self.assertEqual(logs[0], logs[1])


    # --- the station's state message ---

    @unittest.skipUnless(shutil.which("mosquitto") and shutil.which("mosquitto_sub"), "needs mosquitto")
    def test_the_station_state_carries_the_maps_only_with_them(self):
        port = free_port()
        conf = os.path.join(self.work, "mosquitto.conf")
        with open(conf, "w") as f:
            f.write(f"listener {port} 127.0.0.1\nallow_anonymous true\n")
        broker = subprocess.Popen(["mosquitto", "-c", conf], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(100):
                with socket.socket() as c:
                    if c.connect_ex(("127.0.0.1", port)) == 0:
                        break
                time.sleep(0.05)
            s = self.service("safecast")
            states = []
            for prefix, extra in (("t/maps", self.safecast_args(s.port)), ("t/plain", [])):
                rc, out, err = self.run_ravelin(120, ["--mqtt", f"mqtt://127.0.0.1:{port}", "--mqtt-prefix", prefix]
                                                + extra)
                self.assertEqual(rc, 0, err)
                got = subprocess.run(["mosquitto_sub", "-h", "127.0.0.1", "-p", str(port), "--retained-only",
                                      "-W", "3", "-C", "1", "-t", prefix + "/state"], capture_output=True, text=True)
                states.append(json.loads(got.stdout))
            maps = states[0]["maps"]
            self.assertEqual(list(maps), ["Safecast"])
            self.assertEqual(set(maps["Safecast"]), {"state", "sent", "dropped", "waiting"})
            self.assertIn(maps["Safecast"]["state"], ("starting", "working"))
            self.assertNotIn("maps", states[1])
            self.assertEqual(list(states[0])[:-1], list(states[1]))
        finally:
            broker.kill()
            broker.wait()

    # --- https: the certificate is checked ---

    @unittest.skipUnless(shutil.which("openssl"), "needs openssl")
    def test_an_untrusted_certificate_is_refused_and_the_reading_kept(self):
        cert, key = os.path.join(self.work, "cert.pem"), os.path.join(self.work, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                        "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key, "-out", cert],
                       check=True, capture_output=True)
        s = Service(self.work, "safecast", "", (cert, key))
        self.services.append(s)
        args = self.safecast_args(s.port)
        args[args.index("--safecast-url") + 1] = f"https://127.0.0.1:{s.port}/measurements.json"
        rc, out, err = self.run_ravelin(120, args)
        self.assertEqual(rc, 0, err)
        self.assertEqual(s.requests(), [])  # nothing crossed an unverified connection
        self.assertIn("uploads to Safecast failing", err)
        self.assertEqual(len(self.outbox_lines()), 2)
        self.assertNoSecret(err)

if __name__ == "__main__":
    RAVELIN = sys.argv.pop(1)
    unittest.main()
