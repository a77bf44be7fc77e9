"""Three slits beside their three pairs: interference is pairwise.

    PYTHONPATH=build/python /usr/bin/python3 examples/three_slits.py docs/three_slits.png

With the three slits open the intensity is I123; with two, I12, I23, I13; with
one, I1, I2, I3. A field that adds linearly and an intensity that is its
square modulus give
    I123 = I12 + I13 + I23 - I1 - I2 - I3,
so the pairs' fringes explain all of I123: there is no three-path term.
Experiments on three slits look for one as a test of the Born rule; here
the residual is the rounding of the binary64 sums, the model being that
linear field.
"""

import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import slits

WIDTH, PERIOD, SAMPLES = 0.05, 0.25, 50  # mm; samples per slit
SLITS = {n: (c * PERIOD - WIDTH / 2, c * PERIOD + WIDTH / 2, SAMPLES)
         for n, c in ((1, -1), (2, 0), (3, 1))}


def intensity(open_slits):
    """The intensity with the given slits open, on one scale for any number of them:
    a setup's intensity is |A / P|^2 over its P paths, so times P^2."""
    setup = slits.Setup(wavelength=5.32e-4, phase_model="fresnel", sampling="midpoint",
                        planes=[(10, [SLITS[n] for n in open_slits])],
                        screen=(1000, -6, 6, 2400), quantity="intensity")
    x, value = slits.compute(setup, threads=0)
    paths = SAMPLES * len(open_slits)
    return x, value * paths**2


def main(path):
    x, all_three = intensity((1, 2, 3))
    pairs = {pair: intensity(pair)[1] for pair in ((1, 2), (2, 3), (1, 3))}
    single = {n: intensity((n,))[1] for n in (1, 2, 3)}
    residual = all_three - sum(pairs.values()) + sum(single.values())
    peak = all_three.max()

    fig, (top, middle, bottom) = plt.subplots(3, 1, figsize=(9, 8), dpi=110, sharex=True,
                                              gridspec_kw=dict(height_ratios=[2, 2, 1.2]))
    top.plot(x, all_three / peak, color="k", lw=1.1, label="slits 1, 2, 3")
    top.set_ylabel("I / max I₁₂₃")
    top.legend(loc="upper right")
    for (pair, value), colour in zip(pairs.items(), ("#d04010", "#1060c0", "#10a010")):
        middle.plot(x, value / peak, color=colour, lw=1.0,
                    label=f"slits {pair[0]} and {pair[1]}")
    middle.set_ylabel("I / max I₁₂₃")
    middle.legend(loc="upper right")
    bottom.plot(x, residual / peak, color="0.3", lw=0.8)
    bottom.set_ylabel("residual / max I₁₂₃")
    bottom.set_xlabel("screen position x (mm)")
    bottom.ticklabel_format(axis="y", style="sci", scilimits=(0, 0))
    for ax in (top, middle, bottom):
        ax.grid(alpha=0.3)
    top.set_title(f"Three slits {WIDTH} mm wide, {PERIOD} mm apart, plane wave of 532 nm, screen "
                  "1 m behind (Fresnel model)\nresidual I₁₂₃ − I₁₂ − I₁₃ − I₂₃ + I₁ + I₂ + I₃: "
                  f"at most {np.abs(residual).max() / peak:.1e} of the peak, the rounding of "
                  "the sums", fontsize=10)
    fig.tight_layout()
    fig.savefig(path)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "three_slits.png")
