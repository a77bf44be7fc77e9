"""A lab scan of the LED double slit, fitted with the textbook formula and with the exact model.

    PYTHONPATH=build/python /usr/bin/python3 examples/fit_lab.py docs/fit_lab.png

The scan is synthetic: conv_duogap's intensity on the bench below, averaged
over a 0.5 mm sensor slit, scaled, on a background, with its centre 0.37 mm
off the stage's zero and Gaussian noise of known sigma. It is fitted twice:

- as a student would, with the far-field double slit sinc^2 * cos^2 of
  point-like slits, no source, no first slit and no sensor width
  (scipy.optimize.curve_fit; wavelength and screen distance known);
- with slits.fit: the exact model of the same bench, the sensor width free.

Both fit the slit separation and width, the centre, a scale and a
background. The model is monochromatic, as the programs are: a real LED's
spectrum would wash the outer fringes out further. method="propagate"
sums the same paths plane by plane; each fit takes seconds.
"""

import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt
import numpy as np
from scipy.optimize import curve_fit

import slits

# The bench (lengths in mm): a red LED strip 5 mm wide, 70 mm before a
# 0.1 mm first slit; the double slit 200 mm on; the screen 1 m behind.
BENCH = dict(wavelength=6.37e-4, source_width=5.0, led_sigma=12.5, source_distance=70.0,
             entrance_width=0.1, pair_distance=200.0, screen_distance=1000.0,
             pair_separation=0.5, pair_slit_width=0.15, method="propagate")
SENSOR = 0.5        # mm, the photodiode's slit
CENTRE = 0.37       # mm, where the pattern's axis lies on the stage
SCALE, BACKGROUND = 2000.0, 60.0  # counts per unit of intensity, counts of stray light
NOISE = 20.0        # counts, one sigma
SCAN = np.arange(-8.0, 8.0001, 0.05)  # stage positions, mm


def lab_scan(rng):
    """The measured counts: the exact box average over the sensor (64 Gauss-Legendre nodes,
    far beyond convergence), scaled, on the background, with noise."""
    t, w = np.polynomial.legendre.leggauss(64)
    at = ((SCAN - CENTRE)[:, None] + SENSOR / 2 * t).ravel()
    intensity = slits.pattern_at("conv_duogap", at, threads=0, **BENCH).reshape(len(SCAN), -1)
    clean = SCALE * (intensity @ (w / 2)) + BACKGROUND
    return clean + rng.normal(0, NOISE, len(SCAN))


def far_field(x, separation, width, centre, scale, background):
    """The textbook double slit: sinc^2 of each slit's width times cos^2 of their separation."""
    u = np.pi * (x - centre) / (BENCH["wavelength"] * BENCH["screen_distance"])
    return scale * np.sinc(width * u / np.pi) ** 2 * np.cos(separation * u) ** 2 + background


def main(path):
    counts = lab_scan(np.random.default_rng(2024))
    truth = {"pair_separation": BENCH["pair_separation"],
             "pair_slit_width": BENCH["pair_slit_width"]}

    # The student: starts 5 % off, as a first look at the scan would give them.
    start = [0.525, 0.1575, 0.3, counts.max() - counts.min(), counts.min()]
    formula, covariance = curve_fit(far_field, SCAN, counts, start, sigma=np.full(len(SCAN), NOISE),
                                    absolute_sigma=True)
    formula_errors = np.sqrt(np.diag(covariance))
    formula_chi2 = np.sum(((far_field(SCAN, *formula) - counts) / NOISE) ** 2)

    exact = slits.fit(SCAN, counts, NOISE, program="conv_duogap",
                      free="pair_separation,pair_slit_width,sensor_width",
                      **dict(BENCH, pair_separation=0.525, pair_slit_width=0.1575,
                             sensor_width=0.45))
    print(exact, flush=True)
    print(f"far-field formula: separation {formula[0]:.5f} ± {formula_errors[0]:.5f} mm, "
          f"width {formula[1]:.5f} ± {formula_errors[1]:.5f} mm, chi2 {formula_chi2:.1f} "
          f"for {len(SCAN) - 5} degrees of freedom", flush=True)

    fig = plt.figure(figsize=(11, 5.2), dpi=110)
    grid = fig.add_gridspec(2, 2, width_ratios=[3.2, 1], hspace=0.45, wspace=0.28)
    scan = fig.add_subplot(grid[:, 0])
    dense = np.linspace(SCAN[0], SCAN[-1], 1601)
    scan.plot(SCAN, counts, ".", color="0.45", ms=3, label=f"scan (σ = {NOISE:g} counts)")
    scan.plot(dense, far_field(dense, *formula), color="#1f6fd0", lw=1.2,
              label=f"far-field sinc²·cos², χ²/dof = {formula_chi2 / (len(SCAN) - 5):.2f}")
    scan.plot(dense, exact.curve(dense), color="#d04010", lw=1.2,
              label=f"exact model (slits.fit), χ²/dof = {exact.reduced_chi2:.2f}")
    scan.set_xlabel("stage position (mm)")
    scan.set_ylabel("counts")
    scan.set_title(f"conv_duogap through a {SENSOR} mm sensor, centre at {CENTRE} mm: "
                   f"LED {BENCH['source_width']:g} mm, first slit {BENCH['entrance_width']} mm; "
                   f"slits {BENCH['pair_slit_width']} mm, {BENCH['pair_separation']} mm apart",
                   fontsize=9)
    scan.legend(loc="upper right", fontsize=8)
    scan.grid(alpha=0.3)

    for row, (name, label) in enumerate([("pair_separation", "slit separation (mm)"),
                                         ("pair_slit_width", "slit width (mm)")]):
        ax = fig.add_subplot(grid[row, 1])
        k = 0 if name == "pair_separation" else 1
        for at, value, error, colour in [(0, formula[k], formula_errors[k], "#1f6fd0"),
                                         (1, exact.values[name], exact.errors[name], "#d04010")]:
            ax.errorbar([at], [value], [error], fmt="o", color=colour, capsize=4)
            ax.annotate(f"{value:.4f}\n± {error:.4f}", (at, value), xytext=(8, -4),
                        textcoords="offset points", fontsize=7, va="center")
        ax.axhline(truth[name], color="0.2", lw=1, ls="--", label="truth")
        ax.set_xticks([0, 1], ["formula", "exact"])
        ax.set_xlim(-0.5, 1.9)
        ax.set_title(label, fontsize=9)
        ax.legend(loc="best", fontsize=8)
        ax.grid(alpha=0.3)
    fig.savefig(path, bbox_inches="tight")


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "fit_lab.png")
