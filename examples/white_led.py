"""The LED double slit in white light against its monochromatic pattern.

    PYTHONPATH=build/python /usr/bin/python3 examples/white_led.py docs/white_led.png

conv_duogap's experiment, the LED behind a narrow first slit, once at 630 nm
and once under a Gaussian spectrum of 30 nm full width at half maximum around 630 nm, whose
wavelengths add as intensities. Two beams with path difference Delta then
interfere with visibility exp(-(pi dsigma Delta)^2 / (4 ln 2)), dsigma the
spectrum's width in wavenumber (about 30 nm / (630 nm)^2), and in a double
slit Delta grows as x D / z: the fringes fade away from the axis, faster
than the source's width alone makes them. The lower panel measures each
fringe's visibility. At one wavelength it falls too, as the two slits'
diffraction lobes, centred on the lines from the first slit through each,
overlap less away from the axis; white light's visibility over the single
wavelength's divides that out and follows the Gaussian to 1 % near the axis
and 3 % at x = 3.8 mm, where the spectrum's shape (Gaussian in wavelength,
not in wavenumber) and each wavelength's own lobes begin to show. Prints
the white-light setup.
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


def fringe_visibility(x, value):
    """(position, visibility) of each fringe with a minimum on either side: the maximum
    against the mean of those minima, (max - min) / (max + min)."""
    inner = value[1:-1]
    highs = np.flatnonzero((inner > value[:-2]) & (inner >= value[2:])) + 1
    lows = np.flatnonzero((inner < value[:-2]) & (inner <= value[2:])) + 1
    found = []
    for k in highs:
        before, after = lows[lows < k], lows[lows > k]
        if len(before) and len(after):
            low = (value[before[-1]] + value[after[0]]) / 2
            found.append((x[k], (value[k] - low) / (value[k] + low)))
    return np.array(found).T


def main(path):
    led = slits.Setup.preset("conv_duogap", wavelength=CENTRE, **BENCH)
    # The spectrum in place of the wavelength line: a setup's light is one or the other.
    spectrum = f"spectrum gaussian {CENTRE!r} {FULL_WIDTH!r} {WAVELENGTHS}"
    lines = [spectrum if line.startswith("wavelength ") else line
             for line in str(led).splitlines()]
    try:
        white = slits.Setup("\n".join(lines))
    except ValueError as refusal:
        sys.exit(f"white_led.py: {refusal}")
    print(white, end="")
    x, mono = slits.compute(led, threads=0)
    _, colours = slits.compute(white, threads=0)

    bench = slits.bench(**BENCH)
    fig, (ax, lower) = plt.subplots(2, 1, figsize=(9, 7.5), dpi=110, sharex=True,
                                    gridspec_kw=dict(height_ratios=[3, 2]))
    ax.plot(x, mono, color="#d04010", lw=1.1, label="630 nm alone")
    ax.plot(x, colours, color="k", lw=1.1,
            label=f"Gaussian spectrum, 30 nm FWHM around 630 nm ({WAVELENGTHS} wavelengths)")
    ax.set_ylim(bottom=0)
    ax.set_ylabel("intensity relative to the axis")
    ax.set_title(f"conv_duogap's experiment: an LED strip {bench['source_width']} mm wide, a "
                 f"{bench['entrance_width']} mm slit, two {bench['pair_slit_width']} mm slits "
                 f"D = {bench['pair_separation']} mm apart,\nscreen z = "
                 f"{bench['screen_distance']:g} mm behind: in white light the fringes fade as "
                 "the path difference nears the coherence length", fontsize=10)
    ax.legend(loc="upper right")

    # Each fringe's visibility, from a maximum and the mean of the minima beside it.
    at_mono, seen_mono = fringe_visibility(x, mono)
    at, seen = fringe_visibility(x, colours)
    lower.plot(at_mono, seen_mono, "o", color="#d04010", ms=4, label="630 nm alone")
    lower.plot(at, seen, "o", color="k", ms=4, label="white")
    lower.plot(at, seen / seen_mono, "s", mfc="none", color="#1060c0", ms=6,
               label="white over 630 nm alone")
    # The spectrum's visibility at the path difference x D / z between the slits' centres.
    dsigma = FULL_WIDTH / CENTRE**2
    delta = x * bench["pair_separation"] / bench["screen_distance"]
    lower.plot(x, np.exp(-(np.pi * dsigma * delta)**2 / (4 * np.log(2))), color="0.4", lw=1,
               ls="--", label="exp(−(π Δσ x D / z)² / 4 ln 2), Δσ = 30 nm / (630 nm)²")
    lower.set_ylim(0, 1.05)
    lower.set_ylabel("fringe visibility")
    lower.set_xlabel("screen position x from the axis (mm)")
    lower.legend(loc="lower left", fontsize=9)
    for a in (ax, lower):
        a.set_xlim(x[0], x[-1])
        a.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(path)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "white_led.png")
