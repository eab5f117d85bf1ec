#!/usr/bin/python3
"""Coefficient texts as NumPy and SciPy write them, each with the roots it
stands for, for coefficient_import_python_test.

Random designs of conjugate pairs and real roots, and SciPy's classic
designs, go through scipy.signal.zpk2sos and zpk2tf and out through
numpy.savetxt, print() and repr() (or hand-written MATLAB assignments of the
same numbers). Every case is printed as

    === NAME
    the text, any number of lines
    --- expect TOLERANCE
    gain G
    zero RE IM          (every root once per multiplicity)
    pole RE IM

SciPy's sections and transfer functions count powers of 1/z and give a
filter with fewer zeros than poles zeros at z = 0 (and the other way round),
so the expected roots include those.

Usage: coefficient_import_cases.py SEED
"""

import io
import sys

import numpy as np
import scipy.signal as signal

RNG = np.random.default_rng(int(sys.argv[1]) if len(sys.argv) > 1 else 1)


def random_roots(count, low, high):
    """count roots as conjugate pairs and real roots, by radius in [low, high)."""
    roots = []
    while len(roots) < count:
        radius = RNG.uniform(low, high)
        if count - len(roots) >= 2 and RNG.uniform() < 0.7:
            angle = RNG.uniform(0.05, np.pi - 0.05)
            root = radius * np.exp(1j * angle)
            roots += [root, np.conj(root)]
        else:
            roots.append(radius * RNG.choice([-1.0, 1.0]))
    return np.array(roots, dtype=complex)


def with_origin(zeros, poles):
    """The roots that powers of 1/z imply: the shorter side filled with roots at 0."""
    extra = len(poles) - len(zeros)
    if extra > 0:
        zeros = np.concatenate([zeros, np.zeros(extra)])
    elif extra < 0:
        poles = np.concatenate([poles, np.zeros(-extra)])
    return zeros, poles


def emit(name, text, gain, zeros, poles, tolerance):
    print("=== " + name)
    print(text.rstrip("\n"))
    print("--- expect %r" % tolerance)
    print("gain %r" % float(gain))
    for kind, roots in (("zero", zeros), ("pole", poles)):
        for root in roots:
            print("%s %r %r" % (kind, float(np.real(root)), float(np.imag(root))))


def unique(array):
    with np.printoptions(floatmode="unique"):
        return str(array)


def unique_repr(array):
    with np.printoptions(floatmode="unique"):
        return repr(array)


def savetxt(array, **options):
    out = io.StringIO()
    np.savetxt(out, array, **options)
    return out.getvalue()


def matlab(array):
    """A MATLAB matrix or row vector of the numbers, each in its shortest form."""
    rows = np.atleast_2d(array)
    return "[" + "; ".join(" ".join(repr(float(v)) for v in row) for row in rows) + "]"


def section_layouts(sos):
    return [
        ("savetxt", savetxt(sos)),
        ("savetxt csv", savetxt(sos, delimiter=",", fmt="%.17g")),
        ("print", unique(sos)),
        ("repr", unique_repr(sos)),
        ("matlab", "sos = " + matlab(sos) + ";"),
    ]


def transfer_layouts(b, a):
    return [
        ("two savetxt lines", savetxt([b]) + savetxt([a])),
        ("print", unique(b) + "\n" + unique(a)),
        ("python", "b = %r\na = %r" % ([float(v) for v in b], [float(v) for v in a])),
        ("matlab", "b = %s; a = %s;" % (matlab(b), matlab(a))),
    ]


def zpk_layouts(zeros, poles, gain):
    return [
        ("print", "z = %s\np = %s\nk = %r" % (unique(zeros), unique(poles), gain)),
        ("repr", "z = %s\np = %s\nk = %r" % (unique_repr(zeros), unique_repr(poles), gain)),
        ("python", "z = %r\np = %r\nk = %r" % (list(map(complex, zeros)), list(map(complex, poles)), gain)),
    ]


def main():
    # Sections of random designs, up to 20 zeros and 20 poles.
    for run in range(40):
        zeros = random_roots(RNG.integers(0, 21), 0.1, 1.5)
        poles = random_roots(RNG.integers(1, 21), 0.1, 0.98)
        gain = float(RNG.uniform(0.1, 4.0))
        sos = signal.zpk2sos(zeros, poles, gain)
        z, p = with_origin(zeros, poles)
        name, text = section_layouts(sos)[run % 5]
        emit("zpk2sos %d %s" % (run, name), text, gain, z, p, 1e-10)

    # Transfer functions of random designs with roots apart from each other:
    # the polynomial's roots are well conditioned up to order 8 or so.
    for run in range(30):
        zeros = random_roots(RNG.integers(0, 9), 0.3, 1.2)
        poles = random_roots(RNG.integers(1, 9), 0.3, 0.9)
        gain = float(RNG.uniform(0.1, 4.0))
        b, a = signal.zpk2tf(zeros, poles, gain)
        z, p = with_origin(zeros, poles)
        layouts = transfer_layouts(np.atleast_1d(b), np.atleast_1d(a))
        # Two unnamed rows of 6 numbers are two sections: name them then.
        unnamed = run % 4 < 2 and len(np.atleast_1d(b)) == 6 and len(np.atleast_1d(a)) == 6
        name, text = layouts[2 if unnamed else run % 4]
        emit("zpk2tf %d %s" % (run, name), text, gain, z, p, 1e-8)

    # Zeros, poles and gain as written, in powers of z: no roots at 0 added.
    for run in range(15):
        zeros = random_roots(RNG.integers(0, 21), 0.1, 1.5)
        poles = random_roots(RNG.integers(0, 21), 0.1, 0.98)
        gain = float(RNG.uniform(-4.0, 4.0))
        name, text = zpk_layouts(zeros, poles, gain)[run % 3]
        emit("zpk %d %s" % (run, name), text, gain, zeros, poles, 1e-15)

    # SciPy's classic designs: sections against their zeros and poles, and
    # the Butterworth's transfer function, whose zeros are one multiple root.
    designs = [
        ("butter 8", lambda output: signal.butter(8, 0.2, output=output)),
        ("cheby1 6", lambda output: signal.cheby1(6, 1.0, 0.3, output=output)),
        ("cheby2 7 highpass", lambda output: signal.cheby2(7, 40.0, 0.4, "highpass", output=output)),
        ("ellip 6 bandpass", lambda output: signal.ellip(6, 1.0, 50.0, [0.2, 0.4], "bandpass", output=output)),
        ("bessel 5", lambda output: signal.bessel(5, 0.25, output=output)),
        ("butter 20", lambda output: signal.butter(20, 0.5, output=output)),
    ]
    for name, design in designs:
        zeros, poles, gain = design("zpk")
        z, p = with_origin(zeros, poles)
        for layout, text in section_layouts(design("sos")):
            emit("%s sos %s" % (name, layout), text, gain, z, p, 1e-9)
    for order in (4, 8):
        zeros, poles, gain = signal.butter(order, 0.3, output="zpk")
        b, a = signal.butter(order, 0.3)
        for layout, text in transfer_layouts(b, a):
            emit("butter %d ba %s" % (order, layout), text, gain, zeros, poles, 1e-9)


if __name__ == "__main__":
    main()
