"""The LED double slit in white light against its monochromatic pattern.

    PYTHONPATH=build/python /usr/bin/python3 examples/white_led.py docs/white_led.png

conv_duogap's experiment, the LED behind a narrow first slit, once at 630 nm
and once under a Gaussian spectrum of 30 nm full width at half maximum around 630 nm, whose
wavelengths add as intensities. Two beams with path difference Delta then
interfere with visibility exp(-(pi dsigma Delta)^2 / (4 ln 2)), dsigma the
spectrum's width in wavenumber (about 30 nm / (630 nm)^2), and in a double
slit Delta grows as x D / z: the fringes fade away from the axis, faster
than the source's width alone makes them. Prints the white-light setup.
"""

import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np

import slits

CENTRE, FULL_WIDTH, WAVELENGTHS = 6.3e-4, 3e-5, 201  # mm
# A first slit narrow enough for fringes of high visibility at 630 nm, and
# slits far enough apart for path differences near the coherence length,
# lambda^2 / (30 nm), about 13 um.
BENCH = dict(entrance_width=0.02, pair_slit_width=0.05, pair_separation=1.0)


def main(path):
    led = slits.Setup.preset("conv_duogap", wavelength=CENTRE, **BENCH)
    # The spectrum beside the wavelength line, the light's other description.
    spectrum = f"spectrum gaussian {CENTRE!r} {FULL_WIDTH!r} {WAVELENGTHS}"
    lines = str(led).splitlines()
    at = next(i for i, line in enumerate(lines) if line.startswith("wavelength ")) + 1
    try:
        white = slits.Setup("\n".join(lines[:at] + [spectrum] + lines[at:]))
    except ValueError as refusal:
        sys.exit(f"white_led.py: {refusal}")
    print(white, end="")
    x, mono = slits.compute(led, threads=0)
    _, colours = slits.compute(white, threads=0)

    fig, ax = plt.subplots(figsize=(9, 5), dpi=110)
    ax.plot(x, mono, color="#d04010", lw=1.1, label="630 nm alone")
    ax.plot(x, colours, color="k", lw=1.1,
            label=f"Gaussian spectrum, 30 nm FWHM around 630 nm ({WAVELENGTHS} wavelengths)")
    bench = slits.bench(**BENCH)
    # The spectrum's visibility at the path difference x D / z between the slits' centres.
    dsigma = FULL_WIDTH / CENTRE**2
    delta = x * bench["pair_separation"] / bench["screen_distance"]
    ax.plot(x, np.exp(-(np.pi * dsigma * delta)**2 / (4 * np.log(2))), color="0.5", lw=1,
            ls="--", label="the spectrum's visibility exp(−(π Δσ Δ)² / 4 ln 2), Δ = x D / z")
    ax.set_xlim(x[0], x[-1])
    ax.set_ylim(bottom=0)
    ax.set_xlabel("screen position x from the axis (mm)")
    ax.set_ylabel("intensity relative to the axis")
    ax.set_title(f"conv_duogap's experiment: an LED strip {bench['source_width']} mm wide, a "
                 f"{bench['entrance_width']} mm slit, two {bench['pair_slit_width']} mm slits "
                 f"D = {bench['pair_separation']} mm apart,\nscreen z = "
                 f"{bench['screen_distance']:g} mm behind: in white light the fringes fade as "
                 "the path difference nears the coherence length", fontsize=10)
    ax.grid(alpha=0.3)
    ax.legend(loc="upper right")
    fig.tight_layout()
    fig.savefig(path)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "white_led.png")
