"""The Talbot carpet of a 20-slit grating: intensity over x and the distance z.

    PYTHONPATH=build/python /usr/bin/python3 examples/talbot.py docs/talbot.png

A periodic grating under a plane wave images itself at the Talbot distance
z_T = 2 p^2 / lambda (paraxial), shifted by half a period at z_T / 2; a
finite grating blurs from its ends inwards. One run of the setup per
distance, the Fresnel model.

A setup's intensity is |A / P|^2, the mean over its P paths, without the
1 / sqrt(lambda z) a hop of a 1-D field carries in amplitude: each row is
divided by z here to give the physical intensity, up to one constant. Near
the grating the sampling aliases (the hop's phase turns by more than pi
from one sample to the next where |x - p| * step / z > lambda / 2); the
carpet starts beyond that.
"""

import io
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np
from PIL import Image

import slits

WAVELENGTH, COUNT, WIDTH, PERIOD = 5.32e-4, 20, 0.03, 0.1  # mm
TALBOT = 2 * PERIOD**2 / WAVELENGTH
SAMPLES, DISTANCES, POINTS = 100, 400, 2000


def main(path):
    grating = slits.Setup(wavelength=WAVELENGTH, phase_model="fresnel", sampling="midpoint",
                          planes=[(1, [slits.Grating(COUNT, WIDTH, PERIOD, SAMPLES)])],
                          screen=(TALBOT, -1.2, 1.2, POINTS))
    nearest = 2 * 2.4 * (WIDTH / SAMPLES) / WAVELENGTH  # no aliasing beyond
    z = np.linspace(nearest, 2 * TALBOT, DISTANCES)
    carpet = np.empty((DISTANCES, POINTS))
    for row, distance in enumerate(z):
        x, value = slits.compute(grating.replace({"screen.distance": distance}), threads=0)
        carpet[row] = value / distance

    fig, ax = plt.subplots(figsize=(9, 6.5), dpi=100)
    step = (x[1] - x[0]) / 2
    ax.imshow(carpet, origin="lower", aspect="auto", cmap="inferno",
              vmax=np.percentile(carpet, 99.5),
              extent=(x[0] - step, x[-1] + step, z[0] / TALBOT, z[-1] / TALBOT))
    for level, text in ((0.5, "z_T / 2: shifted by p / 2"), (1, "z_T = 2p²/λ"),
                        (1.5, ""), (2, "")):
        ax.axhline(level, color="w", lw=0.6, ls=":")
        if text:
            ax.text(x[0] + 0.03, level + 0.02, text, color="w", fontsize=9)
    ax.set_xlabel("x (mm)")
    ax.set_ylabel("distance behind the grating, z / z_T")
    ax.set_title(f"Talbot carpet: {COUNT} slits {WIDTH} mm wide, period p = {PERIOD} mm, "
                 f"λ = {WAVELENGTH * 1e6:g} nm, z_T = {TALBOT:.4g} mm\n"
                 f"intensity (the mean over paths / z), {DISTANCES} distances × {POINTS} points, "
                 f"Fresnel model, {SAMPLES} samples per slit", fontsize=10)
    fig.tight_layout()
    # A colour map has 256 colours: a palette keeps the picture and quarters the file.
    drawn = io.BytesIO()
    fig.savefig(drawn, format="png")
    Image.open(drawn).convert("RGB").quantize(256).save(path, optimize=True)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "talbot.png")
