"""slits.cis against NumPy and the C library on 10**6 phases.

    PYTHONPATH=<build>/python /usr/bin/python3 speed/python_cis_speed.py [n] [repeats]

Prints the best of `repeats` runs of each, in ns of CPU time per phasor
(the process's, so that other load on a shared machine counts less), and
the ratio to slits.cis.
"""

import sys
import time
import timeit

import numpy as np

import slits
from slits import _slits


def cos_sin(theta):
    z = np.empty(theta.shape, np.complex128)
    z.real = np.cos(theta)
    z.imag = np.sin(theta)
    return z


def main():
    n = int(sys.argv[1]) if len(sys.argv) > 1 else 10**6
    repeats = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    out = np.empty(n, np.complex128)
    for span in (np.pi, 2400.0):  # one turn; the programs' phase range
        theta = np.random.default_rng(1).uniform(-span, span, n)
        rows = [
            ("slits.cis(theta)", lambda: slits.cis(theta)),
            ("slits.cis(theta, out=out)", lambda: slits.cis(theta, out=out)),
            ("numpy.exp(1j * theta)", lambda: np.exp(1j * theta)),
            ("numpy.cos, numpy.sin", lambda: cos_sin(theta)),
            ("C library cexp, C++ loop", lambda: _slits.system_cis(theta, out)),
        ]
        times = {name: min(timeit.repeat(f, timer=time.process_time, number=1, repeat=repeats)) for name, f in rows}
        base = times["slits.cis(theta)"]
        print(f"theta uniform in [-{span:g}, {span:g}), n = {n}")
        for name, t in times.items():
            print(f"  {name:28s} {t / n * 1e9:7.2f} ns  {t / base:5.1f}x")


if __name__ == "__main__":
    main()
