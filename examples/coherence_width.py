"""Fringe visibility of the LED double slit against the width of its source.

    PYTHONPATH=build/python /usr/bin/python3 examples/coherence_width.py docs/coherence_width.png

An incoherent uniform strip of width w lights two narrow slits D apart at a
distance L. By the van Cittert-Zernike theorem the light at the slits has
the degree of coherence |gamma_12| = |sinc(pi w D / (lambda L))|, and the
fringes on the screen have that visibility (equal slits). Each point here is
one run of the setup, the visibility (I_max - I_min) / (I_max + I_min) read
off the central fringes; past each zero the fringes come back with their
bright and dark places exchanged. The slits' own width, which the closed
form's points lack, leaves a difference that shrinks as its square.
"""

import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import slits

BENCH = slits.bench()  # the LED programs' wavelength and pair
WAVELENGTH, SEPARATION = BENCH["wavelength"], BENCH["pair_separation"]
SOURCE_DISTANCE, SLIT_WIDTH, SCREEN_DISTANCE = 250.0, 0.02, 1000.0  # mm
FRINGE = WAVELENGTH * SCREEN_DISTANCE / SEPARATION


def visibility(width):
    setup = slits.Setup(
        wavelength=WAVELENGTH, sampling="midpoint",
        source=("incoherent", width, 400, "uniform"),
        planes=[(SOURCE_DISTANCE, [slits.Grating(2, SLIT_WIDTH, SEPARATION, 10)])],
        screen=(SCREEN_DISTANCE, -FRINGE, FRINGE, 400))
    _, value = slits.compute(setup, threads=0)
    return (value.max() - value.min()) / (value.max() + value.min())


def main(path):
    first_zero = WAVELENGTH * SOURCE_DISTANCE / SEPARATION
    widths = np.linspace(0.01, 3.2 * first_zero, 60)
    measured = [visibility(w) for w in widths]
    def closed_form(w):
        return np.abs(np.sinc(w * SEPARATION / (WAVELENGTH * SOURCE_DISTANCE)))  # sin(pi u)/(pi u)

    dense = np.linspace(1e-3, widths[-1], 1000)
    closed = closed_form(dense)
    largest = np.max(np.abs(np.array(measured) - closed_form(widths)))

    fig, ax = plt.subplots(figsize=(9, 5), dpi=110)
    ax.plot(dense, closed, color="#1060c0", lw=1.2,
            label="van Cittert–Zernike: |sinc(π w D / (λ L))|")
    ax.plot(widths, measured, "o", color="#d04010", ms=4,
            label="visibility of the computed fringes")
    ax.axvline(first_zero, color="0.5", lw=0.8, ls=":")
    ax.text(first_zero, 0.92, "  w = λL/D", color="0.3", fontsize=9)
    ax.set_xlabel("source width w (mm)")
    ax.set_ylabel("fringe visibility")
    ax.set_ylim(0, 1.02)
    ax.set_title(f"Two slits {SLIT_WIDTH} mm wide, D = {SEPARATION} mm apart, L = "
                 f"{SOURCE_DISTANCE:g} mm behind an incoherent uniform strip, "
                 f"λ = {WAVELENGTH * 1e6:g} nm\nscreen {SCREEN_DISTANCE:g} mm on; 400 source "
                 f"samples, 10 per slit; largest difference {largest:.1e}", fontsize=10)
    ax.grid(alpha=0.3)
    ax.legend(loc="upper right")
    fig.tight_layout()
    fig.savefig(path)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "coherence_width.png")
