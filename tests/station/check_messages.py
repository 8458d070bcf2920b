#!/usr/bin/env python3
"""Checks what mosquitto_sub -v received from a station against the monitor's own output.

  check_messages.py states   SUB PREFIX STDOUT LAST
  check_messages.py records  SUB PREFIX CSV [--repeats-allowed]
  check_messages.py discovery SUB PREFIX
  check_messages.py timed    OUT ERR COMMAND...   prints "seconds to the last readout, seconds to exit"
"""
import json
import re
import subprocess
import sys
import time

TIME = re.compile(r"^\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}Z$")


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def received(sub, topic):
    out = []
    with open(sub, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            name, _, payload = line.partition(" ")
            if name == topic:
                out.append(payload)
    return out


def raw_number(payload, key):
    # The number exactly as written, to compare texts and not values.
    m = re.search(r'"%s":(-?[0-9.]+|true|false|null)[,}]' % key, payload)
    return m.group(1) if m else None


def states(sub, prefix, stdout, last):
    rows = {}
    with open(stdout, encoding="utf-8") as f:
        next(f)
        for line in f:
            seconds, total, cpm, dose, a1, a2 = line.strip().split(",")
            rows[int(seconds)] = (total, cpm, dose, a1, a2)
    payloads = received(sub, prefix + "/state")
    if not payloads:
        fail("no state message")
    previous = 0
    for p in payloads:
        j = json.loads(p)
        if list(j) != ["time", "seconds", "total", "cpm", "usv_h", "alarm1", "alarm2",
                       "cpm_low", "cpm_high", "usv_h_low", "usv_h_high"]:
            fail("state keys: " + p)
        if not TIME.match(j["time"]):
            fail("state time: " + p)
        s = j["seconds"]
        if s <= previous:
            fail("states out of order at %d" % s)
        previous = s
        total, cpm, dose, a1, a2 = rows[s]
        got = (raw_number(p, "total"), raw_number(p, "cpm"), raw_number(p, "usv_h"))
        if got != (total, cpm, dose):
            fail("second %d: state %s, readouts %s" % (s, got, (total, cpm, dose)))
        if j["alarm1"] != (a1 != "0") or j["alarm2"] != (a2 != "0"):
            fail("second %d: alarm latches" % s)
        low, high = j["cpm_low"], j["cpm_high"]
        if not (isinstance(low, (int, float)) and isinstance(high, (int, float)) and low <= float(cpm) <= high):
            fail("second %d: interval %s %s around %s" % (s, low, high, cpm))
    if previous != int(last):
        fail("last state is second %d, not %s" % (previous, last))
    print("states: %d received, all equal to the readouts, last second %d" % (len(payloads), previous))


def records(sub, prefix, csv, repeats_allowed):
    lines = []
    with open(csv, encoding="utf-8", newline="") as f:
        for line in f.read().split("\r\n"):
            if line:
                m = re.match(r'^"([^"]*)","([^"]*)",(.*)$', line)
                lines.append((m.group(1), m.group(2), m.group(3)))
    got = []
    for p in received(sub, prefix + "/record"):
        j = json.loads(p)
        if list(j) != ["time", "date", "clock", "usv_h"] or not TIME.match(j["time"]):
            fail("record payload: " + p)
        got.append((j["date"], j["clock"], raw_number(p, "usv_h")))
    # Records of a fast replay can be alike; a repeat is only told apart from a new record by count.
    repeats = 0
    if got != lines:
        collapsed = [r for i, r in enumerate(got) if i == 0 or r != got[i - 1]]
        repeats = len(got) - len(collapsed)
        if not repeats_allowed or collapsed != lines:
            fail("records %s, CSV %s" % (got, lines))
    print("records: %d delivered (%d repeated right after themselves), in CSV order" % (len(got), repeats))


def discovery(sub, prefix):
    node = re.sub(r"[^A-Za-z0-9_-]", "_", prefix)
    expected = {
        "homeassistant/sensor/%s/cpm/config" % node: "sensor",
        "homeassistant/sensor/%s/dose_rate/config" % node: "sensor",
        "homeassistant/binary_sensor/%s/alarm1/config" % node: "binary",
        "homeassistant/binary_sensor/%s/alarm2/config" % node: "binary",
    }
    devices = set()
    for topic in expected:
        payloads = received(sub, topic)
        if not payloads:
            fail("no discovery config on " + topic)
        j = json.loads(payloads[-1])
        if j["state_topic"] != prefix + "/state" or j["availability_topic"] != prefix + "/status":
            fail("topics in " + topic)
        if "value_json" not in j["value_template"]:
            fail("value template in " + topic)
        devices.add(json.dumps(j["device"], sort_keys=True))
    dose = json.loads(received(sub, "homeassistant/sensor/%s/dose_rate/config" % node)[-1])
    if dose["unit_of_measurement"] != "\u00b5Sv/h" or dose["state_class"] != "measurement":
        fail("dose-rate sensor unit or state class")
    if dose["json_attributes_topic"] != prefix + "/state" or "usv_h_high" not in dose["json_attributes_template"]:
        fail("dose-rate sensor interval attributes")
    if len(devices) != 1:
        fail("more than one device entry")
    print("discovery: 4 configs, one device")


def timed(out, err, command):
    began = time.monotonic()
    last = began
    with open(out, "w", encoding="utf-8") as o, open(err, "w", encoding="utf-8") as e:
        p = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=e, stdin=subprocess.DEVNULL, text=True)
        for line in p.stdout:
            o.write(line)
            last = time.monotonic()
        p.wait()
    ended = time.monotonic()
    if p.returncode != 0:
        fail("%s exited with %d" % (command, p.returncode))
    print("%.3f %.3f" % (last - began, ended - began))


def main():
    what = sys.argv[1]
    if what == "timed":
        timed(sys.argv[2], sys.argv[3], sys.argv[4:])
        return
    if what == "states":
        states(*sys.argv[2:6])
    elif what == "records":
        records(sys.argv[2], sys.argv[3], sys.argv[4], "--repeats-allowed" in sys.argv)
    elif what == "discovery":
        discovery(sys.argv[2], sys.argv[3])
    else:
        fail("unknown check " + what)


if __name__ == "__main__":
    main()
