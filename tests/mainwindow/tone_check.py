#!/usr/bin/env python3
"""Makes test tones and checks recordings of the alarm sound.

  tone_check.py tone OUT.wav HZ SECONDS
      writes a 16-bit mono 22050 Hz WAV of one tone
  tone_check.py check RAW HZ FROM TO MIN MAX
      RAW is s16le mono 22050 Hz; FROM and TO are seconds into it. Passes when the
      share of 100-ms windows in [FROM, TO) where HZ sounds lies in [MIN, MAX].
"""
import math
import struct
import sys
import wave

RATE = 22050
WINDOW = RATE // 10


def tone(path, hz, seconds):
    n = int(seconds * RATE)
    ramp = RATE // 200
    frames = bytearray()
    for i in range(n):
        gain = 0.6 * min(1.0, i / ramp, (n - i) / ramp)
        frames += struct.pack('<h', int(gain * 32767 * math.sin(2 * math.pi * hz * i / RATE)))
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


def amplitude(samples, hz):
    """Amplitude (0..1) of one frequency in a window, by Goertzel."""
    k = 2 * math.cos(2 * math.pi * hz / RATE)
    s1 = s2 = 0.0
    for v in samples:
        s1, s2 = v + k * s1 - s2, s1
    power = s1 * s1 + s2 * s2 - k * s1 * s2
    return 2 * math.sqrt(max(power, 0.0)) / len(samples)


def check(raw, hz, start, end, low, high):
    with open(raw, 'rb') as f:
        data = f.read()
    count = len(data) // 2
    samples = struct.unpack('<%dh' % count, data[:count * 2])
    first, last = int(start * RATE), min(int(end * RATE), count)
    windows = sounding = 0
    for at in range(first, last - WINDOW + 1, WINDOW):
        chunk = [s / 32768.0 for s in samples[at:at + WINDOW]]
        windows += 1
        if amplitude(chunk, hz) > 0.05:
            sounding += 1
    share = sounding / windows if windows else 0.0
    ok = windows > 0 and low <= share <= high
    print('%s Hz in %.1f..%.1f s of %s: %d of %d windows (%.0f%%), wanted %.0f..%.0f%%: %s' %
          (hz, start, end, raw, sounding, windows, 100 * share, 100 * low, 100 * high, 'ok' if ok else 'FAIL'))
    return ok


def main(argv):
    if argv[1] == 'tone':
        tone(argv[2], float(argv[3]), float(argv[4]))
        return 0
    if argv[1] == 'check':
        return 0 if check(argv[2], float(argv[3]), float(argv[4]), float(argv[5]), float(argv[6]), float(argv[7])) else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv))
