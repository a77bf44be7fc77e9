"""The double slit's pattern (duogap) for five wavelengths, drawn into a PNG.

    PYTHONPATH=build/python /usr/bin/python3 examples/sweep.py docs/sweep.png

Every other parameter is the build's default bench; method="propagate" sums
the same paths plane by plane, so each pattern takes milliseconds.
"""

import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt

import slits

# Wavelength in nm, and a colour near its hue.
WAVELENGTHS = [(405, "#7a00c8"), (473, "#0080ff"), (532, "#10a010"), (589, "#e0a000"),
               (637, "#e01010")]


def main(path):
    bench = slits.bench()
    fig, ax = plt.subplots(figsize=(9, 5), dpi=110)
    for nm, colour in WAVELENGTHS:
        # The bench's lengths are in mm: 1 nm is 1e-6 mm.
        x, value = slits.pattern("duogap", method="propagate", wavelength=f"{nm}e-6")
        ax.plot(x, value, color=colour, linewidth=1.1, label=f"λ = {nm} nm")
    ax.set_xlim(0, bench["double_screen_max"])
    ax.set_ylim(bottom=0)
    ax.set_xlabel("screen position x from the axis (mm)")
    ax.set_ylabel("|f(x)|, modulus of the mean amplitude")
    ax.set_title(f"duogap: a {bench['entrance_width']} mm slit; {bench['pair_distance']:g} mm on, "
                 f"two {bench['pair_slit_width']} mm slits {bench['pair_separation']} mm apart; "
                 f"the screen {bench['screen_distance']:g} mm behind\n"
                 f"{bench['entrance_samples']} samples across the first slit, "
                 f"{bench['pair_samples']} across each of the pair; {bench['phase_model']} phase "
                 f"model, method propagate", fontsize=10)
    ax.grid(alpha=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(path)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "sweep.png")
