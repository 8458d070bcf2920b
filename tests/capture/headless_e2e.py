#!/usr/bin/env python3
"""End-to-end tests of the headless monitor: replays generated recordings through
`ravelin --headless` and checks stdout to the byte, stderr, exit statuses and the
CSV log it writes.

Usage: headless_e2e.py RAVELIN WORK_FOLDER [unittest options]
"""
import math
import os
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_wavs  # noqa: E402

RAVELIN = None
WORK = None
HEADER = "seconds,total,cpm,usv_h,alarm1,alarm2"


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def single_text(v):
    """A single as the readouts show it: seven significant digits, no exponent."""
    if v == 0:
        return "0"
    s = "%.6e" % v
    negative = s.startswith("-")
    mantissa, exponent = s.lstrip("-").split("e")
    digits = mantissa.replace(".", "").rstrip("0") or "0"
    point = int(exponent) + 1
    if point <= 0:
        out = "0." + "0" * -point + digits
    elif point >= len(digits):
        out = digits + "0" * (point - len(digits))
    else:
        out = digits[:point] + "." + digits[point:]
    return ("-" if negative else "") + out


def expected_lines(counts, sensitivity, alarm1=None, alarm2=None):
    """The lines the monitor prints for the given pulses per second, every step of the
    dose in single precision as the readouts compute it."""
    sens = f32(f32(f32(float(sensitivity)) / 10) * 60)
    ring, total, latch, lines = [0] * 60, 0, [0, 0], []
    for s, n in enumerate(counts, 1):
        total += n
        ring[s % 60] = n
        if s < 60:
            cpm = f32(sum(ring[1:s + 1]) / s * 60)
            cpm_text, dose = str(math.floor(cpm)), f32(cpm / sens)
        else:
            cpm_text, dose = str(sum(ring)), f32(sum(ring) / sens)
        dose = f32(math.floor(f32(dose * 1000)) / 1000)
        for k, limit in enumerate((alarm1, alarm2)):
            if limit is not None and latch[k] != 1 and f32(float(limit)) < dose:
                latch[k] = 1
        lines.append(f"{s},{total},{cpm_text},{single_text(dose)},{latch[0]},{latch[1]}")
    return lines


def run(args, cwd=None, timeout=60):
    p = subprocess.run([RAVELIN] + args, cwd=cwd or WORK, capture_output=True, timeout=timeout,
                       stdin=subprocess.DEVNULL)
    return p.returncode, p.stdout.decode("utf-8"), p.stderr.decode("utf-8")


def wav(name):
    return "file:" + os.path.join(WORK, "wavs", name)


def headless(*args):
    return ["--headless", "--fast"] + list(args)


class Recordings(unittest.TestCase):
    def check_replay(self, name, counts, *extra, sensitivity="120", alarm1=None, alarm2=None):
        args = headless("--input", wav(name), "--sensitivity", sensitivity, "--no-log", *extra)
        if alarm1 is not None:
            args += ["--alarm1", alarm1]
        if alarm2 is not None:
            args += ["--alarm2", alarm2]
        status, out, err = run(args)
        self.assertEqual(status, 0, err)
        want = "\n".join([HEADER] + expected_lines(counts, sensitivity, alarm1, alarm2)) + "\n"
        self.assertEqual(out, want)
        return out, err

    def test_worked_examples(self):
        out, _ = self.check_replay("worked.wav", make_wavs.WORKED)
        lines = out.splitlines()
        self.assertEqual(lines[0], HEADER)
        self.assertEqual(lines[1], "1,3,180,0.25,0,0")
        self.assertEqual(lines[2], "2,3,90,0.125,0,0")
        self.assertEqual(lines[120], "120,161,100,0.138,0,0")
        self.assertEqual(len(lines), 121)

    def test_random_counts_to_the_byte(self):
        self.check_replay("random.wav", make_wavs.RANDOM, sensitivity="29")
        self.check_replay("random.wav", make_wavs.RANDOM, sensitivity="１０８.５")

    def test_a_short_tail_is_one_unscanned_second(self):
        self.check_replay("tail.wav", make_wavs.TAIL + [0])

    def test_sixteen_bit_and_stereo_recordings(self):
        self.check_replay("wide16.wav", make_wavs.WIDE)
        self.check_replay("stereo.wav", make_wavs.STEREO_LEFT)

    def test_a_pulse_across_a_second_counts_in_the_next(self):
        self.check_replay("boundary.wav", make_wavs.BOUNDARY)

    def test_alarm_stages_latch_and_each_firing_says_so_once(self):
        _, err = self.check_replay("worked.wav", make_wavs.WORKED, alarm1="0.2", alarm2="0.24")
        stage_lines = [l for l in err.splitlines() if "stage" in l]
        self.assertEqual(len(stage_lines), 2, err)
        self.assertIn("stage 1", stage_lines[0])
        self.assertIn("0.25", stage_lines[0])
        self.assertIn("0.2", stage_lines[0])
        self.assertIn("stage 2", stage_lines[1])

    def test_seconds_gives_exactly_n_lines(self):
        for n in (1, 7, 60):
            status, out, err = run(headless("--input", wav("worked.wav"), "--sensitivity", "120", "--no-log",
                                             "--seconds", str(n)))
            self.assertEqual(status, 0, err)
            self.assertEqual(out.splitlines(), [HEADER] + expected_lines(make_wavs.WORKED, "120")[:n])
        # Longer than the recording: the recording's end ends the run.
        status, out, _ = run(headless("--input", wav("tail.wav"), "--sensitivity", "1", "--no-log", "--seconds", "9"))
        self.assertEqual((status, len(out.splitlines())), (0, 4))

    def test_the_seeded_tube_is_repeatable_and_stops_after_n_seconds(self):
        args = headless("--input", "sim:600", "--seed", "11", "--sensitivity", "120", "--no-log", "--seconds", "25")
        first, second = run(args), run(args)
        self.assertEqual(first[0], 0, first[2])
        self.assertEqual(first[1], second[1])
        lines = first[1].splitlines()
        self.assertEqual(len(lines), 26)
        self.assertEqual([l.split(",")[0] for l in lines[1:]], [str(s) for s in range(1, 26)])
        total = int(lines[-1].split(",")[1])
        self.assertTrue(150 <= total <= 350, total)


class Readings(unittest.TestCase):
    """--stats, --tube and --dead-time-us, and that without them nothing changes."""
    STATS = ",cpm_low,cpm_high,usv_h_low,usv_h_high"

    def replay(self, *extra, name="worked.wav", sensitivity=("--sensitivity", "120")):
        status, out, err = run(headless("--input", wav(name), *sensitivity, "--no-log", *extra))
        self.assertEqual(status, 0, err)
        return out, err

    def test_stats_appends_the_interval_columns_and_leaves_the_rest(self):
        out, _ = self.replay("--stats")
        lines = out.splitlines()
        self.assertEqual(lines[0], HEADER + self.STATS)
        want = expected_lines(make_wavs.WORKED, "120")
        self.assertEqual([",".join(l.split(",")[:6]) for l in lines[1:]], want)
        # 3 counts in 1 s: chi2(0.025; 6) / 2 and chi2(0.975; 8) / 2, per minute; the dose divides by 720.
        low, high = 0.6186721229 * 60, 8.767273070 * 60
        self.assertEqual(lines[1], "1,3,180,0.25,0,0,37.12033,526.0364,%s,%s" % (
            single_text(f32(low / 720)), single_text(f32(high / 720))))
        # Second 120: 100 counts in the last 60 s.
        self.assertEqual(lines[120].split(",")[6:8], ["81.36399", "121.6268"])
        for line in lines[1:]:
            f = line.split(",")
            self.assertEqual(len(f), 10, line)
            self.assertLessEqual(float(f[6]), float(f[2]), line)
            self.assertLessEqual(float(f[2]), float(f[7]), line)
        random_out, _ = self.replay("--stats", name="random.wav", sensitivity=("--sensitivity", "29"))
        self.assertEqual([",".join(l.split(",")[:6]) for l in random_out.splitlines()[1:]],
                         expected_lines(make_wavs.RANDOM, "29"))

    def test_a_tube_preset_is_its_sensitivity_text(self):
        self.assertEqual(self.replay(sensitivity=("--tube", "sbm-20"))[0],
                         self.replay(sensitivity=("--sensitivity", "18.06"))[0])
        self.assertEqual(self.replay(sensitivity=("--tube", "lnd 712"))[0],
                         self.replay(sensitivity=("--sensitivity", "18"))[0])
        status, out, err = run(["--list-tubes"])
        self.assertEqual(status, 0, err)
        rows = [l.split("\t") for l in out.splitlines()]
        self.assertEqual([len(r) for r in rows], [5] * len(rows))
        for name in ("SBM-20", "SBM-19", "SBM-21", "SI-3BG", "SI-22G", "STS-5", "SBT-11", "J305", "M4011",
                     "LND 712", "LND 7317", "HH614", "SI-29BG"):
            self.assertIn(name, [r[0] for r in rows])
        # The ten tubes with a figure, each with its isotope and the kind of its source.
        sourced = [r for r in rows if r[1] != "-"]
        self.assertEqual(len(sourced), 10, sourced)
        for r in sourced:
            self.assertIn(r[4], ("maker datasheet", "maker passport", "published measurement",
                                 "published simulation"), r)
            self.assertNotEqual(r[3], "-", r)
        self.assertEqual(self.replay(sensitivity=("--tube", "sbm-19"))[0],
                         self.replay(sensitivity=("--sensitivity", "122"))[0])
        for args, words in ((["--tube", "SBM-99"], ["unknown", "SBM-20, SBM-19"]),
                            (["--tube", "SBM-20", "--sensitivity", "29"], ["--tube", "--sensitivity"]),
                            (["--tube", "SI-29BG"], ["SI-29BG", "--sensitivity"])):
            status, out, err = run(["--headless", "--fast", "--input", wav("worked.wav"), "--no-log"] + args)
            self.assertEqual((status, out), (2, ""), (args, err))
            for word in words:
                self.assertIn(word, err, args)

    def test_dead_time_corrects_every_reading_and_zero_changes_nothing(self):
        plain, _ = self.replay("--stats")
        self.assertEqual(self.replay("--stats", "--dead-time-us", "0")[0], plain)
        corrected, _ = self.replay("--dead-time-us", "10000")
        lines = corrected.splitlines()
        self.assertEqual(lines[0], HEADER)
        self.assertEqual(lines[1], "1,3,185,0.257,0,0")  # 180 / (1 - 3 x 0.01), floor; 185.57 / 720 truncated
        self.assertEqual(lines[120], "120,161,101,0.141,0,0")  # 100 / (1 - 100/60 x 0.01)
        for bad in ("abc", "-1", "10000.5", "1e3", ""):
            status, out, err = run(headless("--input", wav("worked.wav"), "--sensitivity", "120", "--no-log",
                                            "--dead-time-us", bad))
            self.assertEqual((status, out), (2, ""), (bad, err))
            self.assertIn("--dead-time-us", err)
        status, _, err = run(["--input", "sim", "--stats"])
        self.assertEqual(status, 2, err)
        self.assertIn("--headless", err)

    def test_beyond_the_correction_the_uncorrected_readings_stand_and_it_is_said_once(self):
        args = headless("--input", "sim:12000", "--seed", "5", "--sensitivity", "120", "--no-log", "--seconds", "4")
        plain = run(args)
        status, out, err = run(args + ["--dead-time-us", "10000"])
        self.assertEqual(status, 0, err)
        self.assertEqual(out, plain[1])
        self.assertEqual(err.count("beyond what --dead-time-us 10000 can correct"), 1, err)


class ExitStatus(unittest.TestCase):
    def test_a_source_that_cannot_be_opened_is_status_1(self):
        folder = tempfile.mkdtemp(dir=WORK)
        for source in (wav("missing.wav"), wav("notaudio.wav"), "file:" + folder):
            status, out, err = run(headless("--input", source, "--sensitivity", "120", "--no-log"))
            self.assertEqual(status, 1, (source, err))
            self.assertIn(source[5:], err)
            self.assertIn(out, ("", HEADER + "\n"))

    def test_the_widest_seed_and_seconds_are_taken(self):
        status, out, err = run(headless("--input", "sim", "--seed", "18446744073709551615", "--sensitivity", "120",
                                        "--no-log", "--seconds", "2"))
        self.assertEqual((status, len(out.splitlines())), (0, 3), err)

    def test_a_reader_that_goes_away_stops_the_run_cleanly_with_status_1(self):
        cwd = tempfile.mkdtemp(dir=WORK)
        p = subprocess.Popen([RAVELIN, "--headless", "--input", "sim:600", "--fast", "--sensitivity", "120"],
                             cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        p.stdout.readline()
        p.stdout.close()  # as `| head -1` does
        _, err = p.communicate(timeout=60)
        self.assertEqual(p.returncode, 1, err)
        self.assertIn("Broken pipe", err.decode("utf-8"))
        self.assertNotIn("~Record.tmp", os.listdir(cwd))
        with open("/dev/full", "w") as full:
            status = subprocess.run([RAVELIN, "--headless", "--input", "sim", "--fast", "--seconds", "3",
                                     "--sensitivity", "120", "--no-log"], cwd=cwd, stdout=full,
                                    stderr=subprocess.PIPE, timeout=60).returncode
        self.assertEqual(status, 1)

    def test_the_window_without_a_display_is_status_1_with_a_hint(self):
        env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        p = subprocess.run([RAVELIN, "--input", "sim"], cwd=WORK, env=env, capture_output=True, timeout=60,
                           stdin=subprocess.DEVNULL)
        self.assertEqual(p.returncode, 1, p.stderr)
        self.assertIn("--headless", p.stderr.decode("utf-8"))

    def test_command_line_errors_are_status_2(self):
        good = ["--input", wav("worked.wav"), "--sensitivity", "120"]
        cases = [
            ["--bogus"], ["--seconds", "abc"], ["--seconds", "0"], ["--seconds", "-3"], ["--seed", "x"],
            ["--seconds", "2147483648"], ["--seed", "18446744073709551616"], ["--seed", "-1"],
            ["--no-log", "--log-folder", WORK], ["--start"], ["--graph"], ["--test"], ["extra"],
            ["--input", "bogus"], ["--input", "sim:abc"], ["--input", "sim:-5"], ["--input", "file:"],
        ]
        for extra in cases:
            status, out, err = run(["--headless", "--fast"] + good + extra)
            self.assertEqual(status, 2, (extra, err))
            self.assertTrue(err.strip(), extra)
            self.assertIn(out, ("", HEADER + "\n"), extra)

    def test_settings_are_refused_before_capture(self):
        cases = [
            # Start's own sentence, pinned where Start is tested; here only that it names the box.
            ([], "GM菅γ線感度"),
            (["--sensitivity", ""], "GM菅γ線感度"),
            (["--sensitivity", "abc"], "--sensitivity", "abc"),
            (["--sensitivity", "0"], "--sensitivity", "0"),
            (["--sensitivity", "-120"], "--sensitivity", "-120"),
            (["--sensitivity", "1e3"], "--sensitivity", "1e3"),
            (["--sensitivity", "34" + "0" * 37], "--sensitivity", "too large"),
            (["--sensitivity", "120", "--threshold", "40000"], "--threshold", "40000"),
            (["--sensitivity", "120", "--threshold", "5x"], "--threshold", "5x"),
            (["--sensitivity", "120", "--dead-band", "x"], "--dead-band", "x"),
            (["--sensitivity", "120", "--skip", "-1"], "--skip", "-1"),
            (["--sensitivity", "120", "--skip", "1,5"], "--skip", "1,5"),
            (["--sensitivity", "120", "--threshold", "32767", "--dead-band", "1"], "--threshold", "--dead-band"),
            (["--sensitivity", "120", "--alarm1", "abc"], "--alarm1", "abc"),
            (["--sensitivity", "120", "--alarm2", ""], "--alarm2"),
        ]
        for args, *words in cases:
            cwd = tempfile.mkdtemp(dir=WORK)
            status, out, err = run(["--headless", "--fast", "--input", wav("worked.wav")] + args, cwd=cwd)
            self.assertEqual(status, 2, (args, err))
            for word in words:
                self.assertIn(word, err, args)
            self.assertIn(out, ("", HEADER + "\n"), args)
            self.assertEqual(os.listdir(cwd), [], args)


class CsvLog(unittest.TestCase):
    RECORD = re.compile(rb'"(\d{4})/(\d\d)/(\d\d)","(\d\d):(\d\d)",([0-9.]+)\r\n')

    def check_log(self, folder):
        files = [f for f in os.listdir(folder) if f.endswith(".csv")]
        self.assertEqual(len(files), 1, os.listdir(folder))
        name = files[0]
        self.assertRegex(name, r"^\u03bcSVHData\d{8}\.csv$")
        self.assertTrue(name.encode("utf-8").startswith(b"\xce\xbcSVHData"))
        with open(os.path.join(folder, name), "rb") as f:
            data = f.read()
        records = self.RECORD.findall(data)
        self.assertEqual(b"".join(m.group(0) for m in self.RECORD.finditer(data)), data, data)
        lines = expected_lines(make_wavs.WORKED, "120")
        self.assertEqual([r[5].decode() for r in records], [lines[59].split(",")[3], lines[119].split(",")[3]])
        self.assertEqual(name[len("μSVHData"):-4], "".join(x.decode() for x in records[-1][:3]))

    def test_one_record_a_minute_into_the_log_folder(self):
        folder = os.path.join(tempfile.mkdtemp(dir=WORK), "not", "yet")
        status, out, err = run(headless("--input", wav("worked.wav"), "--sensitivity", "120", "--log-folder", folder))
        self.assertEqual(status, 0, err)
        self.assertEqual(len(out.splitlines()), 121)
        self.check_log(folder)

    def test_without_a_folder_the_log_goes_to_the_working_directory(self):
        cwd = tempfile.mkdtemp(dir=WORK)
        status, _, err = run(headless("--input", wav("worked.wav"), "--sensitivity", "120"), cwd=cwd)
        self.assertEqual(status, 0, err)
        self.check_log(cwd)
        self.assertNotIn("~Record.tmp", os.listdir(cwd))

    def test_records_that_cannot_be_written_are_printed_and_status_3(self):
        blocker = os.path.join(tempfile.mkdtemp(dir=WORK), "a-file")
        open(blocker, "w").close()
        folder = os.path.join(blocker, "logs")
        status, out, err = run(headless("--input", wav("worked.wav"), "--sensitivity", "120", "--log-folder", folder))
        self.assertEqual(status, 3, err)
        self.assertEqual(out.splitlines(), [HEADER] + expected_lines(make_wavs.WORKED, "120"))
        unwritten = [l for l in err.splitlines() if "unwritten record" in l]
        self.assertEqual(len(unwritten), 2, err)
        for line, second in zip(unwritten, (60, 120)):
            self.assertIn(os.path.join(folder, "μSVHData"), line)
            self.assertRegex(line, r'"\d{4}/\d\d/\d\d","\d\d:\d\d",' + re.escape(
                expected_lines(make_wavs.WORKED, "120")[second - 1].split(",")[3]) + "$")


class ConfigFile(unittest.TestCase):
    def conf(self, text):
        path = os.path.join(tempfile.mkdtemp(dir=WORK), "station.conf")
        with open(path, "w", encoding="utf-8") as f:
            f.write(text)
        return path

    def test_the_file_prints_what_the_same_options_print(self):
        folder = os.path.join(tempfile.mkdtemp(dir=WORK), "logs")
        settings = [("sensitivity", "１０８.５"), ("threshold", "50.5"), ("dead-band", "3"), ("skip", "10"),
                    ("alarm1", "0.2"), ("alarm2", "0.24"), ("log-folder", folder)]
        cli = run(headless("--input", wav("worked.wav"), *[x for k, v in settings for x in ("--" + k, v)]))
        text = "# the attic station\n\n" + "".join(f"{k} = {v}\n" for k, v in settings)
        os.rename(folder, folder + ".cli")
        from_file = run(headless("--input", wav("worked.wav"), "--config", self.conf(text)))
        self.assertEqual(cli[0], 0, cli[2])
        self.assertEqual(from_file, cli)
        self.assertEqual(len(from_file[1].splitlines()), 121)
        self.assertEqual(os.listdir(folder), os.listdir(folder + ".cli"))

    def test_the_command_line_wins(self):
        path = self.conf("input = sim:600\nseed = 4\nsensitivity = 29\nno-log = true\nseconds = 30\n")
        got = run(headless("--config", path, "--input", wav("worked.wav"), "--sensitivity", "120", "--seconds", "5"))
        want = run(headless("--input", wav("worked.wav"), "--sensitivity", "120", "--no-log", "--seconds", "5"))
        self.assertEqual(got, want)
        self.assertEqual(len(got[1].splitlines()), 6, got[2])
        # A switch set to false is not given; one set to true is.
        cwd = tempfile.mkdtemp(dir=WORK)
        status, _, err = run(headless("--config", self.conf(f"input = {wav('worked.wav')}\nsensitivity = 120\n"
                                                            "no-log = false\n")), cwd=cwd)
        self.assertEqual(status, 0, err)
        self.assertEqual(len(os.listdir(cwd)), 1, "no-log = false logs")

    def test_refused_files_are_status_2_naming_the_line(self):
        good = f"input = {wav('worked.wav')}\nsensitivity = 120\nno-log = true\n"
        cases = [
            (good + "thresold = 5\n", ":4:"), (good + "sensitivity = 29\n", ":4:"), (good + "skip 5\n", ":4:"),
            (good + "password = s3cret\n", ":4:"), (good + "help = true\n", ":4:"),
            (good + "fast = 1\n", ":4:"), (good + "seconds = -1\n", ":4:"),
        ]
        for text, where in cases:
            path = self.conf(text)
            status, out, err = run(headless("--config", path))
            self.assertEqual((status, out), (2, ""), (text, err))
            self.assertIn(path + where, err, text)
            self.assertNotIn("s3cret", err)
        for path in (os.path.join(WORK, "no-such.conf"), WORK):
            status, out, err = run(headless("--input", wav("worked.wav"), "--config", path))
            self.assertEqual((status, out), (2, ""), err)
            self.assertIn(path + ": ", err)
        # Values take the options' own checks, once capture would start.
        status, _, err = run(headless("--config", self.conf(good + "threshold = 5x\n")))
        self.assertEqual(status, 2, err)
        self.assertIn('--threshold: "5x"', err)
        # Without --headless the file is the window's own settings: here no display to show it on.
        status, _, err = run(["--config", self.conf(good), "--input", "sim"])
        self.assertEqual(status, 1, err)
        self.assertIn("no display to show the window on", err)


class Journal(unittest.TestCase):
    def run_to_file(self, args, journal):
        with tempfile.TemporaryFile(dir=WORK) as err:
            env = dict(os.environ)
            env.pop("JOURNAL_STREAM", None)
            if journal:
                st = os.fstat(err.fileno())
                env["JOURNAL_STREAM"] = f"{st.st_dev}:{st.st_ino}"
            p = subprocess.run([RAVELIN] + args, cwd=WORK, stdout=subprocess.PIPE, stderr=err, env=env,
                               stdin=subprocess.DEVNULL, timeout=60)
            err.seek(0)
            return p.returncode, p.stdout.decode(), err.read().decode()

    def test_problems_carry_a_priority_only_when_stderr_is_the_journal(self):
        args = headless("--input", wav("worked.wav"), "--sensitivity", "120", "--no-log", "--alarm1", "0.2",
                        "--seconds", "3")
        plain, journal = self.run_to_file(args, False), self.run_to_file(args, True)
        self.assertEqual(plain[:2], journal[:2])
        # Only our own lines: the sound back end may have its say without a sound server.
        ours = [l for l in plain[2].splitlines() if l.startswith("ravelin: ")]
        self.assertTrue(any(l.startswith("ravelin: alarm stage 1") for l in ours), plain[2])
        self.assertEqual([l for l in journal[2].splitlines() if "ravelin: " in l], ["<4>" + l for l in ours])
        status, _, err = self.run_to_file(headless("--bogus"), True)
        self.assertEqual(status, 2)
        self.assertTrue(all(l.startswith("<3>") for l in err.splitlines()), err)
        status, _, err = self.run_to_file(headless("--input", wav("missing.wav"), "--sensitivity", "1"), True)
        self.assertEqual(status, 1)
        self.assertTrue(err.startswith("<3>ravelin: "), err)
        # A stale JOURNAL_STREAM (stderr elsewhere) changes nothing.
        env = dict(os.environ, JOURNAL_STREAM="1:1")
        p = subprocess.run([RAVELIN] + args, cwd=WORK, capture_output=True, env=env, timeout=60)
        self.assertEqual([l for l in p.stderr.decode().splitlines() if "ravelin: " in l], ours)


class ServiceManager(unittest.TestCase):
    def notifications(self, args, **env_extra):
        import socket
        path = os.path.join(tempfile.mkdtemp(dir=WORK), "notify")
        sock = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
        sock.bind(path)
        env = {k: v for k, v in os.environ.items() if k not in ("WATCHDOG_USEC", "WATCHDOG_PID", "JOURNAL_STREAM")}
        env.update(NOTIFY_SOCKET=path, **env_extra)
        p = subprocess.run([RAVELIN] + args, cwd=WORK, capture_output=True, env=env, timeout=60,
                           stdin=subprocess.DEVNULL)
        sock.setblocking(False)
        got = []
        while True:
            try:
                got.append(sock.recv(4096).decode())
            except BlockingIOError:
                break
        sock.close()
        return p, got

    def test_ready_after_the_first_buffer_a_status_a_minute_and_stopping(self):
        args = headless("--input", wav("worked.wav"), "--sensitivity", "120", "--no-log")
        p, got = self.notifications(args)
        plain = run(args)
        self.assertEqual((p.returncode, p.stdout.decode(), p.stderr.decode()), plain, "the readouts stay as they are")
        lines = expected_lines(make_wavs.WORKED, "120")
        status = lambda s: "STATUS=%s s: %s CPM, %s µSv/h" % tuple(lines[s - 1].split(",")[i] for i in (0, 2, 3))
        self.assertEqual(got, ["READY=1\n" + status(1), status(60), status(120), "STOPPING=1\nSTATUS=stopping"])

    def test_the_watchdog_is_petted_only_when_it_is_ours(self):
        args = headless("--input", wav("worked.wav"), "--sensitivity", "120", "--no-log", "--seconds", "3")
        _, got = self.notifications(args, WATCHDOG_USEC="30000000")
        self.assertEqual(got[0].split("\n"), ["READY=1", "STATUS=1 s: 180 CPM, 0.25 µSv/h", "WATCHDOG=1"])
        self.assertEqual(sum(m.count("WATCHDOG=1") for m in got), 1, "a fast replay pets once in 15 s")
        _, got = self.notifications(args, WATCHDOG_USEC="30000000", WATCHDOG_PID="1")
        self.assertFalse([m for m in got if "WATCHDOG" in m], got)


class Signals(unittest.TestCase):
    def test_sigterm_during_a_real_time_run_is_a_clean_stop(self):
        p = subprocess.Popen([RAVELIN, "--headless", "--input", wav("long.wav"), "--sensitivity", "120", "--no-log"],
                             cwd=WORK, stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
        try:
            started = time.monotonic()
            self.assertEqual(p.stdout.readline().decode().rstrip("\n"), HEADER)
            got = [p.stdout.readline().decode() for _ in range(3)]
            elapsed = time.monotonic() - started
            p.send_signal(signal.SIGTERM)
            rest, err = p.communicate(timeout=10)
        finally:
            if p.poll() is None:
                p.kill()
                p.wait()
        self.assertEqual(p.returncode, 0, err)
        lines = [l.rstrip("\n") for l in got] + rest.decode().splitlines()
        self.assertGreaterEqual(elapsed, 2.5, "real time: one buffer a second")
        self.assertEqual(lines, expected_lines([1] * len(lines), "120"))
        self.assertLessEqual(len(lines), 5)


def main():
    global RAVELIN, WORK
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    RAVELIN = os.path.abspath(sys.argv[1])
    WORK = os.path.abspath(sys.argv[2])
    os.makedirs(WORK, exist_ok=True)
    make_wavs.write_all(os.path.join(WORK, "wavs"))
    os.environ.setdefault("LC_ALL", "C.UTF-8")
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)


if __name__ == "__main__":
    main()
