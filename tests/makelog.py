#!/usr/bin/env python3
"""Writes a Kestrin-3 log as the logger writes it under US settings (the
short date with a four-digit year, the 12-hour clock with seconds, print-form
readings padded to 14-column zones, CR LF), without the program's own code.

makelog.py FILE RECORDS READINGS [START] [STEP]
START is "YYYY-MM-DD HH:MM:SS" local wall time (default 2026-12-08 10:00:00),
STEP seconds between records (default 8). Reading j of record i drifts
around 18 + j degrees.
"""
import datetime
import math
import sys


def print_form(v):
    text = ('%.7g' % v).upper()
    if 'E' not in text and '.' in text:
        text = text.rstrip('0').rstrip('.')
    sign = '-' if text.startswith('-') else ' '
    digits = text.lstrip('-')
    if digits.startswith('0.'):
        digits = digits[1:]
    return sign + digits + ' '


def stamp(t):
    hour = t.hour % 12 or 12
    return '%d/%d/%d %d:%02d:%02d %s' % (t.month, t.day, t.year, hour, t.minute, t.second,
                                         'AM' if t.hour < 12 else 'PM')


def record(t, readings):
    line = stamp(t) + ', '
    for j, v in enumerate(readings):
        item = print_form(v)
        if j + 1 < len(readings):
            line += item
            line += ' ' * (-len(line) % 14)
            line += ' , '
        else:
            line += item
    return line + '\r\n'


def main():
    path, count, width = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    start = datetime.datetime.strptime(sys.argv[4] if len(sys.argv) > 4 else '2026-12-08 10:00:00',
                                       '%Y-%m-%d %H:%M:%S')
    step = int(sys.argv[5]) if len(sys.argv) > 5 else 8
    with open(path, 'w', newline='') as f:
        for i in range(count):
            t = start + datetime.timedelta(seconds=step * i)
            f.write(record(t, [round((18 + j + 2 * math.sin(i / 50 + j)) * 16) / 16 for j in range(width)]))


if __name__ == '__main__':
    main()
