#!/usr/bin/env python3
"""--calibrate, --invert and --rate from the command line: one line on stdout, the
reasons on stderr, exit statuses 0/1/2, on recordings made beside this script.

Usage: calibrate_e2e.py RAVELIN FOLDER
"""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_wavs  # noqa: E402

LINE = re.compile(r"^--threshold -?\d+ --dead-band \d+ --skip \d+( --invert)?\n$")
failures = []


def run(*args, env=None):
    p = subprocess.run([RAVELIN, *args], capture_output=True, text=True, timeout=120, env=env)
    return p.returncode, p.stdout, p.stderr


def check(what, ok, detail=""):
    print(("ok   " if ok else "FAIL ") + what)
    if not ok:
        failures.append(what)
        print("     " + detail.replace("\n", "\n     "))


RAVELIN, folder = sys.argv[1], sys.argv[2]
os.makedirs(folder, exist_ok=True)
pulses = sum(make_wavs.WORKED)
down = os.path.join(folder, "down.wav")
up = os.path.join(folder, "up.wav")
quiet = os.path.join(folder, "quiet.wav")
samples = make_wavs.recording(make_wavs.WORKED)
make_wavs.write_wav(down, samples)
make_wavs.write_wav(up, bytes(255 - v for v in samples))
make_wavs.write_wav(quiet, make_wavs.recording([0] * 5))

# A recording is read whole and fast, in the window's absence too.
status, out, err = run("--headless", "--calibrate", "--input", "file:" + down)
check("dips: status 0 and one line", status == 0 and LINE.match(out) and "--invert" not in out, out + err)
check("dips: the count is said", f"count {pulses} pulses in 120 s" in err, err)
check("dips: the polarity is said", "the pulses go downward" in err, err)
env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
status2, out2, _ = run("--calibrate", "--input", "file:" + down, env=env)
check("without a display the terminal answers the same", status2 == 0 and out2 == out, out2)

# The proposal counts what it says when the monitor runs with it.
if status == 0:
    s, readouts, e = run("--headless", "--fast", "--no-log", "--sensitivity", "29", "--input", "file:" + down,
                         *out.split())
    total = readouts.strip().splitlines()[-1].split(",")[1] if s == 0 else "?"
    check("the monitor with the proposal counts every pulse", total == str(pulses), f"{total} of {pulses}: {e}")

status, out, err = run("--headless", "--calibrate", "--input", "file:" + up)
check("rises: --invert proposed", status == 0 and LINE.match(out) and out.endswith(" --invert\n"), out + err)
if status == 0:
    s, readouts, e = run("--headless", "--fast", "--no-log", "--sensitivity", "29", "--input", "file:" + up,
                         *out.split())
    total = readouts.strip().splitlines()[-1].split(",")[1] if s == 0 else "?"
    check("--invert with the proposal counts every rising pulse", total == str(pulses), f"{total}: {e}")
# --invert given: the line is what to run with, so it keeps --invert for rising pulses
# and drops it for dips that the inversion turned into rises.
status, out, err = run("--headless", "--calibrate", "--invert", "--input", "file:" + up)
check("--invert on rises: kept", status == 0 and LINE.match(out) and out.endswith(" --invert\n"), out + err)
status, out, err = run("--headless", "--calibrate", "--invert", "--input", "file:" + down)
check("--invert on dips: dropped", status == 0 and LINE.match(out) and "--invert" not in out, out + err)

status, out, err = run("--headless", "--calibrate", "--input", "sim:600", "--fast", "--seed", "4", "--seconds", "20",
                       "--rate", "44100")
check("sim at 44100 Hz", status == 0 and LINE.match(out) and "at 44100 Hz" in err, out + err)

status, out, err = run("--headless", "--calibrate", "--input", "file:" + quiet)
check("no pulses: status 1, nothing on stdout", status == 1 and out == "" and "no proposal" in err, out + err)
status, out, err = run("--headless", "--calibrate", "--input", "file:" + os.path.join(folder, "missing.wav"))
check("a missing recording: status 1", status == 1 and out == "", out + err)
for args in (["--rate", "7999"], ["--rate", "192001"], ["--rate", "44100", "--input", "file:" + down],
             ["--start"]):
    status, out, err = run("--calibrate", "--headless" if args != ["--start"] else "--calibrate", *args)
    check("refused: " + " ".join(args), status == 2 and out == "" and err.startswith("ravelin: "), err)

sys.exit(1 if failures else 0)
