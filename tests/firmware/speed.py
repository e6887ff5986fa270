#!/usr/bin/python3
"""How long the default firmware's functions take, in emulated time.

For each function a few arguments (typical ones and the slowest found) are typed through the
face's keys, and velmora-headless traces the run; the cycles are counted from the step that
enters the = key's action (k_equals, from the listing) to the step where the main loop waits
for the key's release (ml_release), after the screen has been drawn. That is the time from
the key press to the result on the display, less the key scan. Printed in milliseconds at
the default 2000 kHz.

    tests/firmware/speed.py BUILD_DIR

This is a measurement, not a test: it prints figures and never fails on them.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

KEY = {'sin': 10, 'cos': 11, 'tan': 12, 'pi': 13, 'log': 14, 'ln': 15, '10x': 16, 'ex': 17,
       'x2': 18, 'sqrt': 19, 'pow': 20, 'inv': 21, '(': 22, ')': 23, '!': 24, 'hyp': 25,
       'drg': 26, 'npr': 27, 'ncr': 28, 'shift': 4, 'neg': 41, 'exp': 40, 'frac': 39,
       '+': 55, '-': 56, '*': 50, '/': 51, '.': 58, '=': 61, 'ac': 46}
DIGIT_KEY = [57, 52, 53, 54, 47, 48, 49, 42, 43, 44]

CASES = [
    ('1 + 1', '1 + 1 ='),
    ('sin', 'sin 30 ='), ('sin', 'sin 1234567.89 ='), ('sin rad', 'drg sin 1 exp 9 ='),
    ('cos', 'cos 0.001 ='), ('tan', 'tan 89.9999 ='),
    ('asin', 'shift sin 0.3 ='), ('acos', 'shift cos 0.9 ='), ('atan', 'shift tan 12345 ='),
    ('sinh', 'hyp sin 3 ='), ('cosh', 'hyp cos 100 ='), ('tanh', 'hyp tan 0.7 ='),
    ('asinh', 'shift hyp sin 3 ='), ('acosh', 'shift hyp cos 3 ='),
    ('atanh', 'shift hyp tan 0.7 ='),
    ('log', 'log 2 ='), ('ln', 'ln 9.87654321 exp 50 ='), ('10^x', '10x 2.5 ='),
    ('e^x', 'ex 123.456 ='),
    ('x^2', '1.23456789 x2 ='), ('x^3', '1.23456789 shift x2 ='),
    ('sqrt', 'sqrt 2 ='), ('cbrt', 'shift sqrt 2 ='), ('1/x', '7 inv ='),
    ('x^y', '1.23456789 pow 123.456 ='), ('x^y', '2 pow 9999 ='),
    ('xroot', '7 shift pow 123 ='),
    ('n!', '69 ! ='), ('nPr', '1000 npr 33 ='), ('nCr', '336 ncr 168 ='),
    ('nCr', '664 ncr 332 ='),
    ('fraction', '1 frac 3 + 1 frac 7 ='),
    ('nested', '( ( ( ( ( ( ( ( 1 + 2 ) * 3 ) - 4 ) / 5 ) pow 2 ) + 6 ) * 7 ) - 8 ) ='),
]


def keys(text):
    out = []
    for word in text.split():
        if word in KEY:
            out.append(KEY[word])
        else:
            out += [DIGIT_KEY[int(c)] if c.isdigit() else KEY[c] for c in word]
    return out


def labels(listing):
    """Label addresses from the assembler's listing (a label line takes the next address)."""
    found, pending = {}, []
    for line in open(listing):
        name = re.match(r'^(?:[0-9A-F]{4}  .{17}| {17})(\w+):', line)
        if name:
            pending.append(name.group(1))
        if re.match(r'^[0-9A-F]{4}  [0-9A-F]{2}', line):
            for n in pending:
                found[n] = int(line[:4], 16)
            pending = []
    return found


def cycles(runner, work, text, start, end):
    codes = keys(text)
    cmd = [runner, '--trace', os.path.join(work, 'trace.txt')]
    t = 500
    for c in codes:
        cmd += ['--key', f'{t}:{c}:100']
        t += 200
    cmd += ['--ms', str(t + 2000)]
    for f in ('ram.bin', 'register.bin'):
        if os.path.exists(os.path.join(work, f)):
            os.remove(os.path.join(work, f))
    subprocess.run(cmd, cwd=work, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    total, on = 0, False
    with open(os.path.join(work, 'trace.txt')) as trace:
        for line in trace:
            _, pc, _, c = line.split()
            if not on and pc == start:
                on = True
            if on:
                total += int(c)
                if pc == end:
                    return total
    return None


def main():
    if len(sys.argv) != 2:
        raise SystemExit(__doc__)
    build = sys.argv[1]
    runner = os.path.abspath(os.path.join(build, 'velmora-headless'))
    found = labels(os.path.join(build, 'firmware', 'calculator.lst'))
    start, end = f"{found['k_equals']:04X}", f"{found['ml_release']:04X}"
    with tempfile.TemporaryDirectory(prefix='velmora-speed-') as work:
        for f in ('rom0.bin', 'rom1.bin'):
            shutil.copy(os.path.join(build, 'firmware', f), work)
        print(f'{"function":10s} {"keys":58s} {"cycles":>9s} {"ms at 2000 kHz":>15s}')
        for name, text in CASES:
            c = cycles(runner, work, text, start, end)
            print(f'{name:10s} {text:58s} {c:9d} {c / 2000:15.1f}')


if __name__ == '__main__':
    main()
