#!/usr/bin/env python3
"""Writes the recordings the end-to-end tests replay: 8-bit mono 22050 Hz WAVs of
clean GM pulses with a known count in every second, and a few variants (16-bit,
stereo, a short tail, a file that is not audio).

Usage: make_wavs.py FOLDER                   writes every recording into FOLDER
       make_wavs.py --live PATH SECONDS SEED   writes pulses at least 20 ms apart to be
                                               played into a sound input; prints their number
Imported, it also tells the tests how many pulses each second holds.
"""
import os
import random
import struct
import sys
import wave

RATE = 22050
BASE = 128
LOW = 20          # the bottom of a pulse: well below 50 - 3
PULSE_WIDTH = 5   # samples at the bottom
SPACING = 40      # samples between pulse starts, more than the skip of 10 and the pulse


def second_with_pulses(count, length=RATE, first=100):
    """One second (or `length` samples) at the baseline with `count` clean pulses."""
    samples = bytearray([BASE]) * length
    for p in range(count):
        at = first + p * SPACING
        if at + PULSE_WIDTH + 12 >= length:
            raise ValueError("too many pulses for one second")
        samples[at:at + PULSE_WIDTH] = bytes([LOW]) * PULSE_WIDTH
    return samples


def recording(counts):
    return b"".join(second_with_pulses(c) for c in counts)


def write_wav(path, frames, channels=1, width=1, rate=RATE):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(width)
        w.setframerate(rate)
        w.writeframes(frames)


def to_16bit(samples):
    """Unsigned 8-bit samples as signed 16-bit ones whose top byte is the same level."""
    return b"".join(struct.pack("<h", (v - 128) << 8) for v in samples)


def interleave(left, right):
    out = bytearray(len(left) * 2)
    out[0::2] = left
    out[1::2] = right
    return bytes(out)


# Pulses per second of each recording, as the detector counts them (default levels).
# The worked examples: 3 pulses in second 1, none in second 2, and 100 in seconds 61..120.
WORKED = [3, 0] + [1] * 58 + [2] * 40 + [1] * 20
# Seconds with random counts, some of them high.
RANDOM = [random.Random(20120311).choice([0, 0, 1, 2, 3, 5, 8, 13, 40, 200]) for _ in range(130)]
# Two whole seconds and half a second whose pulses are not counted: a short buffer is not scanned.
TAIL = [2, 1]
TAIL_PULSES_IN_SHORT_PART = 3
# The 16-bit and stereo recordings.
WIDE = [4, 2, 5, 0, 7]
STEREO_LEFT = [1, 2, 3]
STEREO_RIGHT = [5, 0, 9]
# A pulse whose bottom ends a second is counted in the next one; a single low sample at
# index 0 of a second is never examined.
BOUNDARY = [0, 1, 0, 0]


def boundary_recording():
    s = bytearray(recording([0, 0, 0, 0]))
    s[RATE - 3:RATE] = bytes([LOW]) * 3          # armed at the end of second 1, counted in second 2
    s[2 * RATE] = LOW                             # index 0 of second 3 only
    return bytes(s)


def write_all(folder):
    os.makedirs(folder, exist_ok=True)
    path = lambda name: os.path.join(folder, name)
    write_wav(path("worked.wav"), recording(WORKED))
    write_wav(path("random.wav"), recording(RANDOM))
    tail = recording(TAIL) + second_with_pulses(TAIL_PULSES_IN_SHORT_PART, length=RATE // 2)
    write_wav(path("tail.wav"), tail)
    write_wav(path("wide16.wav"), to_16bit(recording(WIDE)), width=2)
    write_wav(path("stereo.wav"), interleave(recording(STEREO_LEFT), recording(STEREO_RIGHT)), channels=2)
    write_wav(path("boundary.wav"), boundary_recording())
    write_wav(path("long.wav"), recording([1] * 20))
    with open(path("notaudio.wav"), "w") as f:
        f.write("RIFF? no: these are notes, not samples.\n")


def write_live_pulses(path, seconds, seed):
    """Pulses 20 to 120 ms apart, none in the first and last 0.3 s; returns how many."""
    r = random.Random(seed)
    samples = bytearray([BASE]) * int(seconds * RATE)
    at, end, count = int(0.3 * RATE), len(samples) - int(0.3 * RATE), 0
    while at < end:
        samples[at:at + PULSE_WIDTH] = bytes([LOW]) * PULSE_WIDTH
        count += 1
        at += int(RATE * (0.02 + 0.1 * r.random())) + 1
    write_wav(path, bytes(samples))
    return count


if __name__ == "__main__":
    if len(sys.argv) == 5 and sys.argv[1] == "--live":
        print(write_live_pulses(sys.argv[2], float(sys.argv[3]), int(sys.argv[4])))
    elif len(sys.argv) == 2:
        write_all(sys.argv[1])
    else:
        sys.exit(__doc__)
