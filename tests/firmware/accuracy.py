#!/usr/bin/python3
"""Accuracy of the default firmware's functions against Python's decimal module.

For every function, random arguments (12 significant digits, spread over the function's
domain) are put into the memories M0..M9 of a RAM image (ram.bin, with the firmware's
signature, so it keeps them), and velmora-headless types "f RCL d =" for each through the
face's keys. The results are read from the history in ram.bin (the result record of each
entry, 15 digits) and rounded to the 10 digits NORM shows; the error of that shown value
is measured in units of its 10th significant digit against the exact value worked out at
50 digits. sin, cos and tan are also allowed an absolute error of 1E-10 (near their zeros);
for them the largest relative error (but for exact zeros) is printed too.

    tests/firmware/accuracy.py BUILD_DIR [--count N] [--seed S] [--only f,g] [--time]

prints one line a function (arguments, largest error, mean error) and exits 1 when a shown
result is off by more than one unit, or an error word appears where there is a value.
The firmware's RAM layout is in docs/firmware.md.
"""
import argparse
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile
from decimal import Decimal, getcontext, ROUND_HALF_UP, localcontext

from speed import labels  # the listing's label addresses

getcontext().prec = 60
D = Decimal

# --- Exact reference values -------------------------------------------------------------------


def _pi():
    def atan_inv(n):
        x = D(1) / n
        total, term, k, sign = D(0), x, 1, 1
        while term != 0:
            total += sign * term / k
            term *= x * x
            k += 2
            sign = -sign
        return total
    return 16 * atan_inv(5) - 4 * atan_inv(239)


PI = _pi()


def sin_rad(x):
    x = x % (2 * PI)
    total, term, k = D(0), x, 1
    while abs(term) > D('1e-70'):
        total += term
        term = -term * x * x / ((k + 1) * (k + 2))
        k += 2
    return total


def cos_rad(x):
    return sin_rad(x + PI / 2)


def atan(x):
    if x < 0:
        return -atan(-x)
    if x > 1:
        return PI / 2 - atan(1 / x)
    if x > D('0.2'):
        return 2 * atan(x / (1 + (1 + x * x).sqrt()))
    total, term, k, sign = D(0), x, 1, 1
    while abs(term) > D('1e-70'):
        total += sign * term / k
        term *= x * x
        k += 2
        sign = -sign
    return total


def asin(x):
    if abs(x) == 1:
        return PI / 2 * (1 if x > 0 else -1)
    return atan(x / (1 - x * x).sqrt())


UNIT = {0: PI / 180, 1: D(1), 2: PI / 200}  # DEG, RAD, GRA: one unit in radians


class Undefined(Exception):
    """The exact result is not a number the calculator can show (domain, overflow)."""


def check(v):
    if v != 0 and abs(v) >= D('1e100'):
        raise Undefined('overflow')
    return v


def sin_u(x, u):
    return sin_rad(x * UNIT[u])


def cos_u(x, u):
    return cos_rad(x * UNIT[u])


def tan_u(x, u):
    c = cos_u(x, u)
    if c == 0 or abs(c) < D('1e-55'):
        raise Undefined('tan of a right angle')
    return sin_u(x, u) / c


def sinh(x):
    return (x.exp() - (-x).exp()) / 2


def cosh(x):
    return (x.exp() + (-x).exp()) / 2


def tanh(x):
    if abs(x) > 70:
        return D(1) if x > 0 else D(-1)
    e = (2 * x).exp()
    return (e - 1) / (e + 1)


def factorial(n):
    return D(math.factorial(int(n)))


# --- Number records -----------------------------------------------------------------------------


def encode(v):
    """The 10-byte record of v (at most 16 significant digits)."""
    v = D(v)
    if v == 0:
        return bytes(8) + bytes([128, 0])
    sign, digits, exp = v.as_tuple()
    digits = list(digits)
    while len(digits) > 1 and digits[-1] == 0:
        digits.pop()
        exp += 1
    assert len(digits) <= 16
    e = len(digits) + exp  # value = 0.d1d2.. x 10^e
    digits += [0] * (16 - len(digits))
    out = []
    for i in range(15, -1, -2):
        out.append(digits[i - 1] << 4 | digits[i])
    return bytes(out) + bytes([e + 128, 1 if sign else 0])


def decode(rec):
    digits = ''
    for b in reversed(rec[:8]):
        digits += f'{b >> 4}{b & 15}'
    v = D(int(digits)).scaleb(rec[8] - 128 - 16)
    return -v if rec[9] & 1 else v


def shown(v):
    """v rounded to the 10 significant digits NORM shows (half away from zero)."""
    if v == 0:
        return v
    with localcontext() as ctx:
        ctx.rounding = ROUND_HALF_UP
        ctx.prec = 10
        return +v


def ulp10(v):
    """One unit in the 10th significant digit of v."""
    return D(1).scaleb(v.adjusted() - 9)


# --- The functions and their arguments ----------------------------------------------------------

def rand12(lo, hi, rng):
    """A random number with 12 significant digits, uniform in [lo, hi]."""
    v = D(rng.uniform(float(lo), float(hi)))
    return +v.quantize(D(1).scaleb(v.adjusted() - 11)) if v != 0 else D(0)


def logrand(lo_exp, hi_exp, rng, signed=False):
    v = D(rng.uniform(1, 10)).scaleb(rng.randint(lo_exp, hi_exp))
    v = v.quantize(D(1).scaleb(v.adjusted() - 11))
    return -v if signed and rng.random() < 0.5 else v


def mix(rng, *choices):
    """Picks one of (weight, generator) pairs."""
    total = sum(w for w, _ in choices)
    r = rng.uniform(0, total)
    for w, g in choices:
        r -= w
        if r <= 0:
            return g()
    return choices[-1][1]()


# Keys of the face (docs/firmware.md).
KEY = {'sin': 10, 'cos': 11, 'tan': 12, 'log': 14, 'ln': 15, '10x': 16, 'ex': 17, 'x2': 18,
       'sqrt': 19, 'pow': 20, 'inv': 21, '(': 22, ')': 23, '!': 24, 'hyp': 25, 'npr': 27,
       'ncr': 28, 'shift': 4, 'rcl': 38, '=': 61, 'ac': 46}
DIGIT_KEY = [57, 52, 53, 54, 47, 48, 49, 42, 43, 44]

# name: (unit, keys before the argument, keys after it, arguments, exact value, trig)
# An argument is one number, or a pair (x, y) for the binary ones.
FUNCTIONS = {}


def fn(name, unit, before, after, args, exact, trig=False, binary=False):
    FUNCTIONS[name] = dict(unit=unit, before=before, after=after, args=args, exact=exact,
                           trig=trig, binary=binary)


def trig_args(unit):
    span = {0: 720, 1: 12, 2: 800}[unit]
    return lambda rng: mix(rng, (6, lambda: rand12(-span, span, rng)),
                           (1, lambda: logrand(-12, -1, rng, True)),
                           (1, lambda: logrand(3, 9, rng, True)),
                           (1, lambda: D(rng.randint(-40, 40)) * {0: 45, 1: 1, 2: 50}[unit]))


for unit, uname in ((0, 'deg'), (1, 'rad'), (2, 'grad')):
    fn(f'sin {uname}', unit, ['sin'], [], trig_args(unit), lambda x, u: sin_u(x, u), trig=True)
    fn(f'cos {uname}', unit, ['cos'], [], trig_args(unit), lambda x, u: cos_u(x, u), trig=True)
    fn(f'tan {uname}', unit, ['tan'], [], trig_args(unit), lambda x, u: tan_u(x, u), trig=True)


def unit_from_rad(v, u):
    return v / UNIT[u]


fn('asin', 0, ['shift', 'sin'], [],
   lambda rng: mix(rng, (5, lambda: rand12(-1, 1, rng)), (1, lambda: logrand(-12, -1, rng, True)),
                   (1, lambda: (1 - logrand(-12, -2, rng)) * rng.choice([-1, 1]))),
   lambda x, u: unit_from_rad(asin(x), u))
fn('acos', 0, ['shift', 'cos'], [],
   lambda rng: mix(rng, (5, lambda: rand12(-1, 1, rng)), (1, lambda: logrand(-12, -1, rng, True)),
                   (1, lambda: (1 - logrand(-12, -2, rng)) * rng.choice([-1, 1]))),
   lambda x, u: unit_from_rad(PI / 2 - asin(x), u))
fn('atan', 1, ['shift', 'tan'], [],
   lambda rng: mix(rng, (3, lambda: rand12(-5, 5, rng)), (3, lambda: logrand(-15, 15, rng, True))),
   lambda x, u: atan(x))
fn('sinh', 0, ['hyp', 'sin'], [],
   lambda rng: mix(rng, (3, lambda: rand12(-5, 5, rng)), (2, lambda: rand12(-230, 230, rng)),
                   (2, lambda: logrand(-15, 0, rng, True))),
   lambda x, u: check(sinh(x)))
fn('cosh', 0, ['hyp', 'cos'], [],
   lambda rng: mix(rng, (3, lambda: rand12(-5, 5, rng)), (2, lambda: rand12(-230, 230, rng)),
                   (2, lambda: logrand(-15, 0, rng, True))),
   lambda x, u: check(cosh(x)))
fn('tanh', 0, ['hyp', 'tan'], [],
   lambda rng: mix(rng, (3, lambda: rand12(-5, 5, rng)), (1, lambda: rand12(-30, 30, rng)),
                   (2, lambda: logrand(-15, 0, rng, True))),
   lambda x, u: tanh(x))
fn('asinh', 0, ['shift', 'hyp', 'sin'], [],
   lambda rng: mix(rng, (3, lambda: rand12(-5, 5, rng)), (3, lambda: logrand(-15, 60, rng, True))),
   lambda x, u: (1 if x >= 0 else -1) * (abs(x) + (x * x + 1).sqrt()).ln())
fn('acosh', 0, ['shift', 'hyp', 'cos'], [],
   lambda rng: mix(rng, (3, lambda: rand12(1, 10, rng)), (2, lambda: 1 + logrand(-11, -1, rng)),
                   (2, lambda: logrand(1, 60, rng))),
   lambda x, u: (x + (x * x - 1).sqrt()).ln())
fn('atanh', 0, ['shift', 'hyp', 'tan'], [],
   lambda rng: mix(rng, (3, lambda: rand12(-1, 1, rng)), (2, lambda: logrand(-15, -1, rng, True)),
                   (1, lambda: (1 - logrand(-11, -2, rng)) * rng.choice([-1, 1]))),
   lambda x, u: ((1 + x) / (1 - x)).ln() / 2)
fn('log', 0, ['log'], [],
   lambda rng: mix(rng, (4, lambda: logrand(-99, 99, rng)), (1, lambda: rand12(0.9, 1.1, rng)),
                   (1, lambda: 1 + logrand(-11, -3, rng, True))),
   lambda x, u: x.log10())
fn('ln', 0, ['ln'], [],
   lambda rng: mix(rng, (4, lambda: logrand(-99, 99, rng)), (1, lambda: rand12(0.9, 1.1, rng)),
                   (1, lambda: 1 + logrand(-11, -3, rng, True))),
   lambda x, u: x.ln())
fn('10^x', 0, ['10x'], [],
   lambda rng: mix(rng, (4, lambda: rand12(-99, 99, rng)), (1, lambda: logrand(-12, 0, rng, True))),
   lambda x, u: check(D(10) ** x))
fn('e^x', 0, ['ex'], [],
   lambda rng: mix(rng, (4, lambda: rand12(-227, 230, rng)), (1, lambda: logrand(-12, 0, rng, True))),
   lambda x, u: check(x.exp()))
fn('x^2', 0, [], ['x2'], lambda rng: logrand(-49, 49, rng, True), lambda x, u: x * x)
fn('x^3', 0, [], ['shift', 'x2'], lambda rng: logrand(-33, 32, rng, True), lambda x, u: x * x * x)
fn('sqrt', 0, ['sqrt'], [], lambda rng: logrand(-99, 99, rng), lambda x, u: x.sqrt())
fn('cbrt', 0, ['shift', 'sqrt'], [], lambda rng: logrand(-99, 99, rng, True),
   lambda x, u: (1 if x > 0 else -1) * (abs(x).ln() / 3).exp())
fn('1/x', 0, [], ['inv'], lambda rng: logrand(-99, 99, rng, True), lambda x, u: 1 / x)
fn('n!', 0, [], ['!'], lambda rng: D(rng.randint(0, 69)), lambda x, u: factorial(x))


def pow_args(rng):
    x = mix(rng, (3, lambda: logrand(-5, 5, rng)), (1, lambda: rand12(0.5, 2, rng)))
    y = mix(rng, (3, lambda: rand12(-20, 20, rng)), (1, lambda: D(rng.randint(-30, 30))))
    if abs(y * x.ln()) > 225:
        y = (D(225) / abs(x.ln())).quantize(D('0.001')) * (1 if y > 0 else -1)
    if rng.random() < 0.15:  # a negative base with a whole exponent
        x, y = -x, D(rng.randint(-25, 25))
        if abs(y * abs(x).ln()) > 225:
            y = D(3)
    return x, y


def xroot_args(rng):
    x = mix(rng, (2, lambda: D(rng.randint(2, 9))), (2, lambda: rand12(0.5, 20, rng)))
    y = logrand(-60, 60, rng)
    if rng.random() < 0.15:
        x, y = D(rng.choice([3, 5, 7])), -y
    return x, y


def pow_exact(a, u):
    x, y = a
    if x < 0:
        return check((1 if int(y) % 2 == 0 else -1) * (y * (-x).ln()).exp())
    return check((y * x.ln()).exp())


def xroot_exact(a, u):
    x, y = a
    if y < 0:
        return -((-y).ln() / x).exp()
    return (y.ln() / x).exp()


fn('x^y', 0, [], [], pow_args, pow_exact, binary=['pow'])
fn('xroot', 0, [], [], xroot_args, xroot_exact, binary=['shift', 'pow'])


def perm_args(rng):
    n = mix(rng, (3, lambda: rng.randint(0, 70)), (2, lambda: rng.randint(0, 1000)),
            (1, lambda: rng.randint(0, 10 ** 9)))
    r = mix(rng, (3, lambda: rng.randint(0, min(n, 15))), (1, lambda: rng.randint(0, n)))
    return D(n), D(r)


def counted(a, choose):
    """nPr or nCr, exact; Undefined when it is far beyond 1E+100 (before working it out)."""
    n, r = int(a[0]), int(a[1])
    log10 = (math.lgamma(n + 1) - math.lgamma(n - r + 1)
             - (math.lgamma(r + 1) if choose else 0)) / math.log(10)
    if log10 > 101:
        raise Undefined('overflow')
    return check(D(math.comb(n, r) if choose else math.perm(n, r)))


fn('nPr', 0, [], [], perm_args, lambda a, u: counted(a, False), binary=['npr'])
fn('nCr', 0, [], [], perm_args, lambda a, u: counted(a, True), binary=['ncr'])

# --- Running the firmware -----------------------------------------------------------------------

CLOCK_KHZ = 2000  # the default clock: cycles / CLOCK_KHZ is milliseconds


SIGNATURE, ANGLE, FORMAT = 0x0010, 0x0014, 0x0015
HIST_COUNT, HIST_HEAD = 0x0017, 0x0018
REC_MEM, RANDOM_SEED = 0x020A, 0x0030
HISTORY, SLOT = 0x0800, 128


def ram_image(unit, numbers):
    ram = bytearray(8192)
    ram[SIGNATURE:SIGNATURE + 4] = b'VSC2'
    ram[ANGLE] = unit
    ram[RANDOM_SEED:RANDOM_SEED + 10] = encode(D('0.5'))
    for k, v in enumerate(numbers):
        ram[REC_MEM + 10 * k:REC_MEM + 10 * k + 10] = encode(v)
    for k in range(len(numbers), 10):
        ram[REC_MEM + 10 * k:REC_MEM + 10 * k + 10] = encode(D(0))
    return ram


def key_codes(names):
    return [KEY[n] for n in names]


def run_batch(runner, work, desc, args, timing=None):
    """Works out f(args[i]) for up to 5 binary or 10 unary arguments; returns the results
    (a Decimal, or an error code). With timing (the addresses of k_equals and ml_release, as
    the trace prints them) also the cycles of each = from its action to the result drawn."""
    numbers, sequences = [], []
    for a in args:
        if desc['binary']:
            i = len(numbers)
            numbers += [a[0], a[1]]
            seq = key_codes(['ac', '(', 'rcl']) + [DIGIT_KEY[i]] + key_codes([')'] + desc['binary'] +
                                                                      ['(', 'rcl']) + \
                [DIGIT_KEY[i + 1]] + key_codes([')', '='])
        else:
            i = len(numbers)
            numbers.append(a)
            seq = key_codes(['ac'] + desc['before'] + ['(', 'rcl']) + [DIGIT_KEY[i]] + \
                key_codes([')'] + desc['after'] + ['='])
        sequences.append(seq)
    with open(os.path.join(work, 'ram.bin'), 'wb') as f:
        f.write(ram_image(desc['unit'], numbers))
    t, cmd = 300, [runner, '--save']
    for seq in sequences:
        for code in seq:
            cmd += ['--key', f'{t}:{code}:40']
            t += 80
        t += 600
    cmd += ['--ms', str(t + 100)]
    times = []
    if timing:
        start, end = timing
        cmd += ['--trace', '/dev/stdout']
        # The trace has a line a step, most of them the idle wait: awk sums it far faster.
        sums = (f'$2 == "{start}" && !on {{ on = 1; t = 0 }} '
                f'on {{ t += $4; if ($2 == "{end}") {{ print t; on = 0 }} }}')
        with subprocess.Popen(cmd, cwd=work, stdout=subprocess.PIPE,
                              stderr=subprocess.DEVNULL) as trace:
            out = subprocess.run(['awk', sums], stdin=trace.stdout, capture_output=True,
                                 text=True, check=True).stdout
        if trace.returncode:
            raise SystemExit(f'velmora-headless failed ({trace.returncode})')
        times = [int(c) for c in out.split()]
        if len(times) != len(args):
            raise SystemExit(f'{len(args)} expressions typed, {len(times)} timed')
    else:
        subprocess.run(cmd, cwd=work, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
    ram = open(os.path.join(work, 'ram.bin'), 'rb').read()
    count, head = ram[HIST_COUNT], ram[HIST_HEAD]
    if count < len(args):
        raise SystemExit(f'{len(args)} expressions typed, {count} in the history')
    results = []
    for i in range(len(args)):
        slot = (head - (len(args) - 1 - i)) % 16
        entry = ram[HISTORY + SLOT * slot:HISTORY + SLOT * (slot + 1)]
        results.append(entry[1] if entry[1] else decode(entry[3:13]))
    return results, times


def sig12(v):
    """v rounded to 12 significant digits (every argument is typed exactly)."""
    if isinstance(v, tuple):
        return tuple(sig12(x) for x in v)
    if v == 0:
        return v
    with localcontext() as ctx:
        ctx.prec = 12
        return +v


def measure(runner, work, name, desc, count, rng, timing=None):
    per_run = 5 if desc['binary'] else 10
    args = [sig12(desc['args'](rng)) for _ in range(count)]
    worst, worst_arg, total, bad, skipped = D(0), None, D(0), [], 0
    slowest, slowest_arg = 0, None
    worst_rel, worst_rel_arg = D(0), None  # sin, cos, tan: relative, but for exact zeros
    for start in range(0, count, per_run):
        batch = args[start:start + per_run]
        results, times = run_batch(runner, work, desc, batch, timing)
        for a, c in zip(batch, times):
            if c > slowest:
                slowest, slowest_arg = c, a
        for a, got in zip(batch, results):
            try:
                exact = desc['exact'](a, desc['unit'])
            except Undefined:
                if isinstance(got, Decimal):
                    bad.append((a, got, 'an error was expected'))
                skipped += 1
                continue
            if not isinstance(got, Decimal):
                if abs(exact) >= D('9.9999999995e99'):
                    skipped += 1  # rounds to 1E+100 on the display
                    continue
                bad.append((a, got, f'error {got} for {exact:.12e}'))
                continue
            if exact != 0 and abs(exact) < D('1e-99'):
                skipped += 1  # below the range: shown as 0
                continue
            s = shown(got)
            unit = ulp10(exact) if exact != 0 else D('1e-99')
            if desc['trig']:
                # Exact zeros (sin 180°) come out of the reference as about 1E-60.
                if abs(exact) > D('1e-40') and abs(s - exact) / unit > worst_rel:
                    worst_rel, worst_rel_arg = abs(s - exact) / unit, a
                unit = max(unit, D('1e-10'))
            err = abs(s - exact) / unit
            total += err
            if err > worst:
                worst, worst_arg = err, a
            if err > 1:
                bad.append((a, got, f'off by {err:.3f} units (exact {exact:.14e})'))
    checked = count - skipped
    mean = total / checked if checked else D(0)
    print(f'{name:10s} {count:5d} arguments ({skipped} outside the range), largest error '
          f'{float(worst):.3f} units of the 10th digit (at {worst_arg}), mean {float(mean):.3f}')
    if desc['trig']:
        print(f'{"":10s} relative error: largest {float(worst_rel):.3f} '
              f'(at {worst_rel_arg})')
    if timing:
        print(f'{"":10s} slowest {slowest / CLOCK_KHZ:.1f} ms at {CLOCK_KHZ} kHz (at {slowest_arg})')
    return bad, slowest


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('build', help='the build folder (velmora-headless, firmware/)')
    parser.add_argument('--count', type=int, default=2000, help='arguments per function')
    parser.add_argument('--seed', type=int, default=None, help='random seed (default: fresh)')
    parser.add_argument('--only', default='', help='comma-separated function names')
    parser.add_argument('--time', action='store_true',
                        help='also trace the runs and print the slowest = of each function '
                        '(emulated time; slower to run)')
    opts = parser.parse_args()
    seed = opts.seed if opts.seed is not None else random.randrange(1 << 30)
    print(f'seed {seed}')
    rng = random.Random(seed)
    runner = os.path.abspath(os.path.join(opts.build, 'velmora-headless'))
    names = [n for n in FUNCTIONS if not opts.only or n in opts.only.split(',')]
    timing = None
    if opts.time:
        found = labels(os.path.join(opts.build, 'firmware', 'calculator.lst'))
        timing = (f"{found['k_equals']:04X}", f"{found['ml_release']:04X}")
    failures, slowest = 0, (0, '')
    with tempfile.TemporaryDirectory(prefix='velmora-accuracy-') as work:
        for f in ('rom0.bin', 'rom1.bin'):
            shutil.copy(os.path.join(opts.build, 'firmware', f), work)
        for name in names:
            bad, c = measure(runner, work, name, FUNCTIONS[name], opts.count, rng, timing)
            slowest = max(slowest, (c, name))
            for a, got, why in bad[:5]:
                print(f'    {name}({a}) = {got}: {why}')
            failures += len(bad)
    if timing:
        print(f'slowest of all: {slowest[1]}, {slowest[0] / CLOCK_KHZ:.1f} ms')
    print('all within one unit' if not failures else f'{failures} results off')
    return 1 if failures else 0


if __name__ == '__main__':
    sys.exit(main())
