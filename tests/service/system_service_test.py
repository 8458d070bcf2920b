#!/usr/bin/env python3
"""The station service as the package sets it up, without systemd as PID 1: PulseAudio in
system mode (a null sink standing in for the sound card), a throwaway system user made by
the package's own postinst (its name changed), and the unit's ExecStart run as that user
with the unit's environment and a NOTIFY_SOCKET of the test's. Pulses played into the
server are counted; READY, STATUS and WATCHDOG arrive; the watchdog stops while the sound
server is stopped (SIGSTOP) and comes back with it; SIGTERM ends the run with STOPPING.

Usage: system_service_test.py RAVELIN SOURCE_DIR WORK_FOLDER   (as root; exit 77: skipped)
"""
import grp
import os
import pwd
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

USER = "ravelintest"
SKIP = 77
PULSE_DIR = "/run/pulse"


def say(*words):
    print(*words, flush=True)


class Notifications:
    """The datagrams the monitor sends, with the time each arrived."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.sock.bind(path)
        os.chmod(path, 0o777)  # the service user sends to it
        self.got, self.lock = [], threading.Lock()
        threading.Thread(target=self.receive, daemon=True).start()

    def receive(self):
        while True:
            try:
                data = self.sock.recv(4096)
            except OSError:
                return
            with self.lock:
                self.got.append((time.monotonic(), data.decode()))

    def all(self):
        with self.lock:
            return list(self.got)

    def wait_for(self, assignment, timeout):
        end = time.monotonic() + timeout
        while time.monotonic() < end:
            if any(assignment in m.split("\n") for _, m in self.all()):
                return True
            time.sleep(0.1)
        return False

    def pets(self, since=0.0):
        return [t for t, m in self.all() if "WATCHDOG=1" in m.split("\n") and t >= since]


def unit_settings(path):
    settings = {}
    for line in open(path, encoding="utf-8"):
        m = re.match(r"^([A-Za-z]+)=(.*)$", line.strip())
        if m:
            settings.setdefault(m.group(1), []).append(m.group(2))
    return settings


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    ravelin, source, work = os.path.abspath(sys.argv[1]), sys.argv[2], sys.argv[3]
    if os.geteuid() != 0:
        say("SKIP: needs root (a system user and PulseAudio in system mode)")
        return SKIP
    for tool in ("pulseaudio", "paplay", "pactl", "setpriv", "adduser", "deluser"):
        if not shutil.which(tool):
            say(f"FAIL: {tool} is not installed")
            return 1
    if os.path.exists(PULSE_DIR + "/native"):
        say("SKIP: a system-mode PulseAudio already runs here")
        return SKIP
    try:
        pwd.getpwnam(USER)
        say(f"FAIL: a user {USER} exists already; remove it first")
        return 1
    except KeyError:
        pass
    os.makedirs(work, exist_ok=True)
    tmp = tempfile.mkdtemp(dir=work)
    os.chmod(tmp, 0o755)
    made_pulse_dir = not os.path.exists(PULSE_DIR)
    procs, failures = [], []

    def fail(why):
        say("FAIL:", why)
        failures.append(why)

    try:
        # The user, made as the package makes it.
        postinst = open(os.path.join(source, "data/debian/postinst"), encoding="utf-8").read()
        script = os.path.join(tmp, "postinst")
        with open(script, "w", encoding="utf-8") as f:
            f.write(postinst.replace("ravelin", USER).replace("/run/systemd/system", "/nonexistent"))
        subprocess.run(["sh", script, "configure"], check=True)
        subprocess.run(["sh", script, "configure"], check=True)  # an upgrade runs it again
        groups = {g.gr_name for g in grp.getgrall() if USER in g.gr_mem}
        if not {"audio", "pulse-access"} <= groups:
            fail(f"postinst put {USER} in {sorted(groups)}, not audio and pulse-access")
        user = pwd.getpwnam(USER)
        if user.pw_dir != f"/var/lib/{USER}" or user.pw_uid >= 1000:
            fail(f"not a system user with its home in /var/lib: {user}")
        state, runtime = os.path.join(tmp, "state"), os.path.join(tmp, "runtime")
        for d in (state, runtime):
            os.mkdir(d, 0o700)
            os.chown(d, user.pw_uid, user.pw_gid)

        # PulseAudio in system mode as the pulseaudio-system unit starts it, on a null sink.
        unit_dir = os.path.join(source, "data/systemd")
        pa_exec = unit_settings(os.path.join(unit_dir, "pulseaudio-system.service"))["ExecStart"][0].split()
        pa_script = os.path.join(tmp, "system.pa")
        with open(pa_script, "w") as f:
            f.write("load-module module-native-protocol-unix\n"
                    "load-module module-null-sink sink_name=card norewinds=1\n"
                    "load-module module-remap-source source_name=gm master=card.monitor\n"
                    "set-default-sink card\nset-default-source gm\n")
        pa_args = [a for a in pa_exec if not a.startswith("--log-target")] + ["-n", "-F", pa_script,
                                                                                 "--log-target=stderr"]
        pa_log = open(os.path.join(tmp, "pulse.log"), "w")
        pulse = subprocess.Popen(pa_args, stdout=pa_log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        procs.append(pulse)

        # The unit's command line, user and environment; the test's settings file and sockets.
        unit = unit_settings(os.path.join(unit_dir, "ravelin.service"))
        env = dict(a.split("=", 1) for e in unit.get("Environment", []) for a in e.split())
        server = env.get("PULSE_SERVER", "")
        if server != "unix:" + PULSE_DIR + "/native":
            fail(f"the unit's PULSE_SERVER is {server!r}")
        env.update(HOME=state, XDG_RUNTIME_DIR=runtime, PATH="/usr/bin:/bin", LC_ALL="C.UTF-8",
                   NOTIFY_SOCKET=os.path.join(tmp, "notify"), WATCHDOG_USEC="4000000")
        conf = open(os.path.join(unit_dir, "station.conf"), encoding="utf-8").read()
        conf = conf.replace("#sensitivity = 29", "sensitivity = 120")
        conf = re.sub(r"(?m)^log-folder = .*$", "log-folder = " + state, conf)
        conf_path = os.path.join(tmp, "station.conf")
        with open(conf_path, "w", encoding="utf-8") as f:
            f.write(conf)
        command = unit["ExecStart"][0].replace("/etc/ravelin/station.conf", conf_path).split()
        command[0] = ravelin
        as_user = ["setpriv", f"--reuid={USER}", f"--regid={USER}", "--init-groups", "--inh-caps=-all",
                   "--no-new-privs", "--", "env", "-i"] + [f"{k}={v}" for k, v in env.items()]

        def pa_ready():
            return subprocess.run(as_user + ["pactl", "info"], capture_output=True).returncode == 0

        for _ in range(100):
            if pa_ready() or pulse.poll() is not None:
                break
            time.sleep(0.1)
        if not pa_ready():
            pa_log.flush()
            fail("PulseAudio in system mode did not let the service user in: " + open(pa_log.name).read()[-2000:])
            return 1

        notes = Notifications(env["NOTIFY_SOCKET"])
        err = open(os.path.join(tmp, "ravelin.err"), "w")
        run = subprocess.Popen(as_user + command, cwd=state, stdout=subprocess.PIPE, stderr=err,
                               stdin=subprocess.DEVNULL, text=True)
        procs.append(run)
        lines = []
        threading.Thread(target=lambda: lines.extend(iter(run.stdout.readline, "")), daemon=True).start()
        if not notes.wait_for("READY=1", 15):
            fail("no READY=1 within 15 s: " + open(err.name).read())
            return 1
        started = time.monotonic()
        first = notes.all()[0][1].split("\n")
        if not (first[0] == "READY=1" and re.fullmatch(r"STATUS=1 s: \d+ CPM, [0-9.]+ µSv/h", first[1])):
            fail(f"first notification: {first}")

        pulses_wav = os.path.join(tmp, "pulses.wav")
        played = int(subprocess.run([sys.executable, os.path.join(source, "tests/capture/make_wavs.py"), "--live",
                                     pulses_wav, "8", "7"], capture_output=True, text=True, check=True).stdout)
        os.chmod(pulses_wav, 0o644)
        time.sleep(1)
        counted_before = int(lines[-1].split(",")[1]) if lines else 0
        subprocess.run(as_user + ["paplay", "--latency-msec=50", pulses_wav], check=True)
        time.sleep(2)
        counted = int(lines[-1].split(",")[1]) - counted_before
        say(f"played {played} pulses into the system server, the service counted {counted}")
        if abs(counted - played) > 1:
            fail(f"counted {counted}, played {played}")

        minute = []
        for _ in range(int(75 - (time.monotonic() - started)) * 10):
            minute = [m.split("\n")[0] for _, m in notes.all() if m.startswith("STATUS=60 s: ")]
            if minute:
                break
            time.sleep(0.1)
        _, _, cpm, dose, *_ = lines[60].strip().split(",") if len(lines) > 60 else [""] * 4  # lines[0] is the header
        if minute[:1] != [f"STATUS=60 s: {cpm} CPM, {dose} µSv/h"]:
            fail(f"the 60th second's STATUS {minute} for the readout {lines[60:61]}")
        pets = notes.pets()
        gaps = [b - a for a, b in zip(pets, pets[1:])]
        say(f"{len(pets)} watchdog pets in {time.monotonic() - started:.0f} s, gaps {min(gaps):.1f}..{max(gaps):.1f} s")
        if not gaps or min(gaps) < 1.9 or max(gaps) > 3.5:
            fail(f"the watchdog (4 s) was petted at gaps {gaps}")

        # The input stalls: no buffer, no pet; it comes back, and so do the pets.
        os.kill(pulse.pid, signal.SIGSTOP)
        stalled, lines_then = time.monotonic(), len(lines)
        time.sleep(4)
        os.kill(pulse.pid, signal.SIGCONT)
        resumed = time.monotonic()
        late = [round(t - stalled, 1) for t in notes.pets(stalled)]
        say(f"sound server stopped for 4 s: pets after it at {late} s")
        if [t for t in late if t > 2.5]:
            fail(f"the watchdog was petted {late} s after the input stalled")
        if len(lines) > lines_then + 2:
            fail("readouts went on while the sound server was stopped")
        time.sleep(5)
        if not notes.pets(resumed):
            fail("the watchdog was not petted again once the input came back")
        # A stall for good: the pets stop, and the monitor gives up on the input by itself
        # (status 1: the unit's Restart=on-failure starts it again).
        os.kill(pulse.pid, signal.SIGSTOP)
        stalled = time.monotonic()
        try:
            status = run.wait(timeout=20)
        except subprocess.TimeoutExpired:
            status = None
        late = [round(t - stalled, 1) for t in notes.pets(stalled)]
        say(f"sound server stopped for good: status {status} after {time.monotonic() - stalled:.1f} s, pets at {late} s")
        if status != 1 or "lost" not in open(err.name).read():
            fail(f"a stalled input: status {status}: {open(err.name).read()}")
        if [t for t in late if t > 2.5]:
            fail(f"the watchdog was petted {late} s after the input stalled")
        if not any("STOPPING=1" in m.split("\n") for _, m in notes.all()):
            fail("no STOPPING=1")
        logs = [n for n in os.listdir(state) if n.endswith(".csv")]
        if len(logs) != 1:
            fail(f"the CSV log in the state folder: {os.listdir(state)}")
    finally:
        for p in reversed(procs):
            if p.poll() is None:
                try:
                    os.kill(p.pid, signal.SIGCONT)
                    p.terminate()
                    p.wait(timeout=10)
                except (OSError, subprocess.TimeoutExpired):
                    p.kill()
                    p.wait()
        if made_pulse_dir:
            shutil.rmtree(PULSE_DIR, ignore_errors=True)
        subprocess.run(["deluser", "--quiet", "--system", USER], capture_output=True)
        subprocess.run(["delgroup", "--quiet", "--system", USER], capture_output=True)
        if not failures:
            shutil.rmtree(tmp, ignore_errors=True)
    if failures:
        say(f"{len(failures)} check(s) failed; files in {tmp}")
        return 1
    say("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
