#!/usr/bin/env python3
"""The CSV log on a disk that fills, end to end, on a real 8 KiB tmpfs whose first 4 KiB
another file takes: a record cut by the full disk is never merged with the next run's
first record, and its rest is never written into a file other than the one it was cut in.

Runs in a mount namespace of its own when it can (the mounts go with it), else mounts
directly and unmounts at the end; exits 77 (skipped) where tmpfs cannot be mounted.

Usage: log_full_disk_test.py RAVELIN [unittest options]
"""
import fcntl
import os
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import unittest

SKIP = 77
RAVELIN = None
RECORD = re.compile(rb'"\d{4}/\d\d/\d\d","\d\d:\d\d",[0-9.]+\r\n')
COMMAND = ["--headless", "--input", "sim:30", "--seed", "1", "--fast", "--sensitivity", "29", "--log-folder", "m"]


def mount_small_disk():
    """An 8 KiB tmpfs with its first 4 KiB taken by `filler`; its path, or None."""
    if not shutil.which("mount"):
        return None
    folder = tempfile.mkdtemp(prefix="ravelin-full-")
    if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=8k", "tmpfs", folder],
                      stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode != 0:
        os.rmdir(folder)
        return None
    with open(os.path.join(folder, "filler"), "wb") as f:
        f.write(b"\0" * 4096)
    return folder


def unmount(folder):
    subprocess.run(["umount", folder], check=False)
    os.rmdir(folder)


def log_files(disk):
    folder = os.path.join(disk, "m")
    names = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    files = {}
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    return files


def lines_of(data):
    return data.splitlines(keepends=True)


def summary(disk):
    """The records --history --summary counts, and the lines it skips."""
    p = subprocess.run([RAVELIN, "--history", "m", "--summary"], cwd=disk, capture_output=True, timeout=60)
    assert p.returncode == 0, p.stderr
    rows = p.stdout.decode().splitlines()[1:]
    skipped = [l for l in p.stderr.decode().splitlines() if l.startswith("ravelin: skipped ")]
    return sum(int(r.split(",")[1]) for r in rows), skipped


class LogOnAFullDisk(unittest.TestCase):
    def setUp(self):
        self.disk = mount_small_disk()
        if self.disk is None:
            self.fail("tmpfs could be mounted at start-up but not now")

    def tearDown(self):
        unmount(self.disk)

    def run_monitor(self, seconds):
        p = subprocess.run([RAVELIN] + COMMAND + ["--seconds", str(seconds)], cwd=self.disk,
                           capture_output=True, timeout=300, stdin=subprocess.DEVNULL)
        return p.returncode, p.stderr.decode("utf-8")

    def test_a_line_cut_by_a_full_disk_is_closed_before_the_next_run_appends(self):
        status, stderr = self.run_monitor(36000)
        self.assertEqual(status, 3, stderr)
        unwritten = [l for l in stderr.splitlines() if l.startswith("ravelin: unwritten record for ")]
        files = log_files(self.disk)
        cut = [name for name, data in files.items() if not data.endswith(b"\n")]
        self.assertEqual(len(cut), 1, "the full disk should have cut a record: %r" % files.keys())
        name = cut[0]
        whole = sum(len(lines_of(d)) for d in files.values()) - 1
        self.assertEqual(whole + len(unwritten), 600)
        fragment = files[name][files[name].rfind(b"\n") + 1:]
        # The cut record is on the first run's stderr, whole.
        self.assertTrue(unwritten[0].split(": ", 2)[2].encode().startswith(fragment), (unwritten[0], fragment))

        os.remove(os.path.join(self.disk, "filler"))
        status, stderr = self.run_monitor(600)
        self.assertEqual(status, 0, stderr)
        self.assertIn("m/" + name + " ended in a line cut short", stderr)
        after = log_files(self.disk)
        self.assertTrue(after[name].startswith(files[name] + b"\r\n"), "the fragment is kept and closed")
        for file, data in after.items():
            foreign = [l for l in lines_of(data) if not RECORD.fullmatch(l)]
            self.assertEqual(foreign, [fragment + b"\r\n"] if file == name else [], file)
        records, skipped = summary(self.disk)
        self.assertEqual(records, whole + 10)
        self.assertEqual(skipped, ["ravelin: skipped %s line %d: not a record" % (name, len(lines_of(files[name])))])

    def test_the_rest_of_a_cut_record_goes_into_no_other_file(self):
        # The readouts go through a pipe of one page that this test reads: the monitor waits
        # for it while the folder is removed and space freed, as a person would.
        p = subprocess.Popen([RAVELIN] + COMMAND + ["--seconds", "24000"], cwd=self.disk, stdin=subprocess.DEVNULL,
                             stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        fcntl.fcntl(p.stdout.fileno(), fcntl.F_SETPIPE_SZ, 4096)
        errors, full = [], threading.Event()

        def drain():
            for line in p.stderr:
                errors.append(line.decode("utf-8"))
                if "not yet written" in errors[-1]:
                    full.set()
        reader = threading.Thread(target=drain)
        reader.start()
        lines = 0
        while not full.is_set():
            line = p.stdout.readline()
            self.assertTrue(line, "the disk never filled: %s" % "".join(errors))
            lines += 1
        files = log_files(self.disk)
        self.assertEqual(len(files), 1, files.keys())
        (name, old), = files.items()
        self.assertFalse(old.endswith(b"\n"), "the full disk should have cut a record")
        fragment = old[old.rfind(b"\n") + 1:]
        shutil.rmtree(os.path.join(self.disk, "m"))
        os.remove(os.path.join(self.disk, "filler"))
        lines += sum(1 for _ in p.stdout)
        self.assertEqual(p.wait(timeout=120), 0, "".join(errors))
        reader.join()
        p.stdout.close()
        p.stderr.close()
        self.assertEqual(lines, 1 + 24000, "the header and every second")

        after = log_files(self.disk)
        for data in after.values():
            self.assertEqual([l for l in lines_of(data) if not RECORD.fullmatch(l)], [], "only whole records")
        first = lines_of(after[name])[0]
        self.assertTrue(first.startswith(fragment), "the cut record, whole, begins the new file: %r" % first)
        records, skipped = summary(self.disk)
        self.assertEqual(records, 400 - len(lines_of(old)) + 1)
        self.assertEqual(skipped, [])


def main():
    global RAVELIN
    RAVELIN = os.path.abspath(sys.argv.pop(1))
    if os.environ.get("RAVELIN_OWN_MOUNTS") != "1" and shutil.which("unshare"):
        # A mount namespace of its own; without root, in a user namespace of its own too.
        for extra in ([], ["--user", "--map-root-user"]):
            unshare = ["unshare"] + extra + ["--mount", "--propagation", "private"]
            if subprocess.run(unshare + ["true"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0:
                os.environ["RAVELIN_OWN_MOUNTS"] = "1"
                os.execvp("unshare", unshare + [sys.executable, os.path.abspath(__file__), RAVELIN] + sys.argv[1:])
    probe = mount_small_disk()
    if probe is None:
        print("SKIPPED: a tmpfs cannot be mounted here (needs root or a user namespace with mount rights)")
        return SKIP
    unmount(probe)
    return 0 if unittest.main(exit=False).result.wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main())
