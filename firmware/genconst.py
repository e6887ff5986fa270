#!/usr/bin/env python3
"""Writes consts.asm, the firmware's numeric constants, worked out here with Python's decimal
module at 50 digits.

A number record is 10 bytes: 16 packed decimal digits 0.d1...d16, least significant byte first,
the exponent + 128 and the sign (see defs.asm). A fixed-point number is 8 bytes: 16 packed
digits with one integer digit and 15 decimals, least significant byte first.
Run it after changing a constant:  python3 firmware/genconst.py > firmware/consts.asm
"""
from decimal import Decimal, getcontext, ROUND_HALF_EVEN

getcontext().prec = 50
D = Decimal


def pi():
    # Machin: pi = 16 atan(1/5) - 4 atan(1/239)
    def atan_inv(n):
        x = D(1) / n
        total, term, k = D(0), x, 1
        while term != 0:
            total += term / k if (k // 2) % 2 == 0 else -term / k
            term *= x * x
            k += 2
        return total
    return 16 * atan_inv(5) - 4 * atan_inv(239)


def atan(x):
    x = D(x)
    if x > D('0.5'):
        # atan x = 2 atan(x / (1 + sqrt(1 + x^2)))
        return 2 * atan(x / (1 + (1 + x * x).sqrt()))
    total, term, k, sign = D(0), x, 1, 1
    while abs(term) > D('1e-48'):
        total += sign * term / k
        term *= x * x
        k += 2
        sign = -sign
    return total


PI = pi()
E = D(1).exp()
LN10 = D(10).ln()


def digits16(v):
    """The 16-digit mantissa and exponent of |v| = 0.d1..d16 x 10^e."""
    v = abs(v)
    e = v.adjusted() + 1
    m = (v.scaleb(16 - e)).quantize(D(1), rounding=ROUND_HALF_EVEN)
    if m >= D(10) ** 16:
        m = (m / 10).quantize(D(1), rounding=ROUND_HALF_EVEN)
        e += 1
    return int(m), e


def bcd_bytes(n, count):
    out = []
    for _ in range(count):
        pair = n % 100
        out.append((pair // 10) << 4 | (pair % 10))
        n //= 100
    assert n == 0
    return out


def record(v):
    v = D(v)
    if v == 0:
        return [0] * 8 + [128, 0]
    m, e = digits16(v)
    assert -127 <= e <= 127
    return bcd_bytes(m, 8) + [e + 128, 1 if v < 0 else 0]


def fixed(v):
    v = D(v)
    assert 0 <= v < 10
    n = int((v.scaleb(15)).quantize(D(1), rounding=ROUND_HALF_EVEN))
    return bcd_bytes(n, 8)


def line(label, data, comment):
    text = ", ".join(f"0x{b:02X}" for b in data)
    return f"{label + ':' if label else '':<16}db {text}   ; {comment}"


def main():
    out = [
        "; consts.asm: the numeric constants, written by genconst.py; do not edit.",
        "; Records: 16 digits least significant byte first, exponent + 128, sign.",
    ]
    records = [
        ("c_pi", PI, "pi"),
        ("c_e", E, "e"),
        ("c_half", D("0.5"), "0.5"),
        ("c_two", D(2), "2"),
        ("c_three", D(3), "3"),
        ("c_seed", D("0.5772156649015329"), "first seed of the random generator"),
        ("c_9821", D(9821), "random generator: factor"),
        ("c_0211327", D("0.211327"), "random generator: addend"),
        ("c_deg_to_rad", PI / 180, "DRG: degrees to radians"),
        ("c_rad_to_grad", 200 / PI, "DRG: radians to grads"),
        ("c_grad_to_deg", D("0.9"), "DRG: grads to degrees"),
        ("c_ln10", LN10, "ln 10"),
        ("c_inv_ln10", 1 / LN10, "1 / ln 10"),
        ("c_two_over_pi", 2 / PI, "2 / pi: quadrants in radians"),
        ("c_pio2_1", D("1.57079"), "pi / 2 in three pieces: 6 digits ..."),
        ("c_pio2_2", D("0.00000632679"), "... 6 more ..."),
        ("c_pio2_3", PI / 2 - D("1.57079") - D("0.00000632679"), "... and the rest"),
        ("c_quadrant_deg", D(90), "a quarter turn in degrees"),
        ("c_quadrant_grad", D(100), "a quarter turn in grads"),
        ("c_inv_90", 1 / D(90), "quadrants in degrees"),
        ("c_inv_100", D("0.01"), "quadrants in grads"),
        ("c_pi_over_2", PI / 2, "pi / 2"),
        ("c_rad_from_deg", PI / 180, "degrees to radians"),
        ("c_rad_from_grad", PI / 200, "grads to radians"),
        ("c_deg_from_rad", 180 / PI, "radians to degrees"),
        ("c_grad_from_rad", 200 / PI, "radians to grads"),
        ("c_ln2", D(2).ln(), "ln 2"),
        ("c_twenty", D(20), "20: tanh is 1 beyond"),
        ("c_35", D(35), "35: sinh and cosh are e^x / 2 beyond"),
    ]
    for label, value, comment in records:
        out.append(line(label, record(value), comment))

    # Series of the functions near their zeros: coefficients c0, c1, ... of a polynomial in
    # z = x^2, highest degree first (poly in func.asm), after a count byte.
    from math import factorial
    series = [
        ("s_sin", [(-1) ** k / D(factorial(2 * k + 1)) for k in range(5)],
         "sin x / x = 1 - z/3! + z^2/5! - ..."),
        ("s_cos", [(-1) ** k / D(factorial(2 * k)) for k in range(5)],
         "cos x = 1 - z/2! + z^2/4! - ..."),
        ("s_atanh", [1 / D(2 * k + 1) for k in range(6)],
         "atanh x / x = 1 + z/3 + z^2/5 + ..."),
        ("s_atan", [(-1) ** k / D(2 * k + 1) for k in range(6)],
         "atan x / x = 1 - z/3 + z^2/5 - ..."),
        ("s_sinh", [1 / D(factorial(2 * k + 1)) for k in range(6)],
         "sinh x / x = 1 + z/3! + z^2/5! + ..."),
    ]
    for label, coeffs, comment in series:
        out.append(f"; {comment}")
        out.append(f"{label + ':':<16}db {len(coeffs)}")
        for k, c in reversed(list(enumerate(coeffs))):
            out.append(line("", record(c), f"c{k} = {float(c):.6g}"))

    out.append("; Fixed point (one integer digit, 15 decimals): ln(1 + 10^-j) and atan(10^-j).")
    out.append("ln_table:")
    for j in range(16):
        out.append(line("", fixed((1 + D(10) ** -j).ln()), f"ln(1 + 1E-{j})"))
    out.append("atan_table:")
    for j in range(16):
        out.append(line("", fixed(atan(D(10) ** -j)), f"atan(1E-{j})"))
    out.append(line("fx_ln10", fixed(LN10), "ln 10"))
    out.append(line("fx_pi_over_4", fixed(PI / 4), "pi / 4"))
    print("\n".join(out))


if __name__ == "__main__":
    main()
