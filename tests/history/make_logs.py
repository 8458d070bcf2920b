#!/usr/bin/env python3
"""Writes simulated CSV logs as the monitor writes them: one μSVHData yyyymmdd .csv file a
day, records "yyyy/mm/dd","hh:mm",dose CR LF. For the history's tests, screenshots and
benchmark.

usage: make_logs.py FOLDER [--days N] [--start yyyy-mm-dd] [--seed N] [--full]
  --full: every minute of every day (no stops), for the benchmark
"""
import argparse
import datetime
import math
import os
import random
import struct


def single_text(v):
    """The dose text of the log: the single nearest v, seven significant digits, no exponent."""
    v = struct.unpack('f', struct.pack('f', v))[0]
    if v == 0:
        return '0'
    digits = 7 - 1 - math.floor(math.log10(abs(v)))
    text = f'{v:.{max(digits, 0)}f}'
    if '.' in text:
        text = text.rstrip('0').rstrip('.')
    return text


def main():
    p = argparse.ArgumentParser()
    p.add_argument('folder')
    p.add_argument('--days', type=int, default=7)
    p.add_argument('--start', default='2024-05-01')
    p.add_argument('--seed', type=int, default=1)
    p.add_argument('--full', action='store_true')
    a = p.parse_args()
    rng = random.Random(a.seed)
    os.makedirs(a.folder, exist_ok=True)
    start = datetime.datetime.strptime(a.start, '%Y-%m-%d')
    sensitivity = 29.0 * 60 / 10  # CPM per µSv/h at 29 cps per mR/h
    for d in range(a.days):
        day = start + datetime.timedelta(days=d)
        lines = []
        minute = 0
        while minute < 1440:
            if not a.full and rng.random() < 0.0008:  # the monitor stopped for a while
                minute += rng.randint(5, 180)
                continue
            t = day + datetime.timedelta(minutes=minute)
            # A background of about 30 CPM with a daily swing and a rare spike.
            mean = 30 * (1 + 0.15 * math.sin((minute / 1440 + d / 3) * 2 * math.pi))
            if not a.full and rng.random() < 0.0015:
                mean *= rng.uniform(3, 12)
            cpm = max(0, round(rng.gauss(mean, math.sqrt(mean))))
            lines.append(f'"{t:%Y/%m/%d}","{t:%H:%M}",{single_text(cpm / sensitivity)}\r\n')
            minute += 1
        name = os.path.join(a.folder, f'\u03bcSVHData{day:%Y%m%d}.csv')
        with open(name, 'w', encoding='ascii', newline='') as f:
            f.writelines(lines)


if __name__ == '__main__':
    main()
