"""slits.fit on 10**4 data points with 5 free parameters: wall time of the whole fit.

    PYTHONPATH=<build>/python /usr/bin/python3 speed/python_fit_speed.py [repeats]

A noisy two-sided scan of duogap's default bench, fitted for the slit
separation and width, the centre, the intensity scale and the background
from starts 5 % off (method="propagate", threads=0: one per core). Then the
same with a 0.5 mm sensor, its box average over Gauss-Legendre nodes, and
conv_duogap on the same terms. Prints the best of `repeats` runs of each
(wall time, as a user waits for it) with the model evaluations it took.
"""

import os
import platform
import sys
import time

import numpy as np

import slits


def cpu_name():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("model name"):
                    return line.split(":", 1)[1].strip()
    except OSError:
        pass
    return platform.processor() or "unknown CPU"


def scan(program, sensor, points):
    x = np.linspace(-4, 4, points)
    t, w = np.polynomial.legendre.leggauss(16)
    at = ((x - 0.1)[:, None] + sensor / 2 * t).ravel() if sensor else x - 0.1
    value = slits.pattern_at(program, at, method="propagate", threads=0)
    intensity = value if program.startswith("conv_") else value * value
    if sensor:
        intensity = intensity.reshape(points, -1) @ (w / 2)
    clean = 300 * intensity / intensity.max() + 5
    return x, clean + np.random.default_rng(1).normal(0, 2, points)


def main():
    repeats = int(sys.argv[1]) if len(sys.argv) > 1 else 3
    print(f"{cpu_name()}, {len(os.sched_getaffinity(0))} cores for this process")
    for program, sensor in [("duogap", 0.0), ("duogap", 0.5), ("conv_duogap", 0.0)]:
        x, y = scan(program, sensor, 10**4)
        best = None
        for _ in range(repeats):
            start = time.perf_counter()
            result = slits.fit(x, y, 2.0, program=program, free="pair_separation,pair_slit_width",
                               sensor_width=sensor, pair_separation=0.525, pair_slit_width=0.1425,
                               threads=0)
            elapsed = time.perf_counter() - start
            best = elapsed if best is None else min(best, elapsed)
        nodes = f", {result.sensor_nodes} nodes across the sensor" if sensor else ""
        print(f"{program:12s} sensor {sensor:g} mm: {len(x)} points, {len(result.names)} free "
              f"parameters, {best:.2f} s ({result.nfev} steps of the optimiser{nodes}; "
              f"reduced chi2 {result.reduced_chi2:.3f})", flush=True)


if __name__ == "__main__":
    main()
