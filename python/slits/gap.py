"""How far each phase model is from a reference model on a setup's screen: model_gap.

Each model's pattern is the engine's sum at a fine, common sampling, so the
difference measured is the models' own (their sampling errors, alike in
every model, mostly cancel), close to their continuum limits' difference
once the samples resolve the apertures' edges and the screen's fringes.
"""

import dataclasses

import numpy as np

from .setups import Setup, compute

# Where a model "departs": its intensity differs from the reference's by this
# share of the reference's own value.
DEPARTS = 0.01


@dataclasses.dataclass(frozen=True)
class ModelGap:
    """One model's intensity I against the reference's I_ref over the screen."""
    model: str
    largest: float          # the largest |I / I_ref - 1|
    at: float               # the screen position where it is largest
    median: float           # the median |I / I_ref - 1| (the upper middle of an even count)
    largest_of_peak: float  # the largest |I - I_ref| over the peak of I_ref
    first_departure: float  # the smallest |x| where |I / I_ref - 1| >= 1 %; None: nowhere


@dataclasses.dataclass(frozen=True)
class ModelGaps:
    """model_gap's result: the gaps by model name, and how they were computed."""
    setup: Setup            # the setup, at the sampling computed (its phase_model the reference's)
    reference: str
    samples: int            # per opening (a grating: per slit); None: the setup's own
    source_samples: int     # the source strip's; None: a plane wave
    sampling: str
    gaps: dict              # {model: ModelGap}, in the order asked for

    def __getitem__(self, model):
        return self.gaps[model]

    def __iter__(self):
        return iter(self.gaps.values())

    def __str__(self):
        each = "the setup's" if self.samples is None else str(self.samples)
        source = "" if self.source_samples is None else f", {self.source_samples} on the source"
        rows = [f"each model's intensity I against {self.reference}'s, I_ref: {each} samples "
                f"per opening{source}, {self.sampling} sampling",
                f"{'model':<11} {'max |I/I_ref-1|':>15} {'at x':>10} {'median':>10} "
                f"{'max |dI|/peak':>13} {'first |x| at 1 %':>16}"]
        for g in self:
            first = "nowhere" if g.first_departure is None else f"{g.first_departure:.6g}"
            rows.append(f"{g.model:<11} {g.largest:>15.4g} {g.at:>10.6g} {g.median:>10.4g} "
                        f"{g.largest_of_peak:>13.4g} {first:>16}")
        return "\n".join(rows)


def _resampled(setup, samples, source_samples, sampling):
    """The setup with every opening and slit (and the source strip) sampled as given."""
    rows = []
    for line in str(setup).splitlines():
        words = line.split()
        if words and samples is not None and words[0] == "opening":
            words[3] = str(samples)
        elif words and samples is not None and words[0] == "slits":
            words[4] = str(samples)
        elif words and words[0] == "source" and words[1] != "plane_wave":
            # A coherent strip is one more aperture; an incoherent one's samples are
            # separate patterns, each costing as much as the rest of the setup.
            count = samples if source_samples is None and words[1] == "coherent" else source_samples
            if count is not None:
                words[3] = str(count)
        rows.append(" ".join(words))
    # Plane by plane: a literal sum over every path at this sampling would take hours.
    return Setup("\n".join(rows) + "\n", sampling=sampling, method="propagate")


def _intensity(setup, model, threads):
    x, value = compute(setup.replace(phase_model=model), threads=threads)
    # A relative or intensity setup computes intensity; an amplitude, its modulus.
    return x, value if setup.quantity != "amplitude" else value * value


def model_gap(setup, models=("fresnel", "fraunhofer", "classic"), reference="rs", *,
              samples=2000, source_samples=None, sampling="midpoint", threads=0, **bench):
    """Each phase model's intensity against the reference model's over the setup's screen.

    setup: a slits.Setup, or a pattern program's name with its bench keywords
    (its experiment, Setup.preset(program, **bench)). Every model is computed
    by the engine, plane by plane (method propagate), at one sampling:
    `samples` per opening and per slit of a
    grating (None keeps the setup's), `source_samples` on a source strip
    (None: `samples` on a coherent strip, the setup's own on an incoherent
    one, whose every sample is a pattern of its own), `sampling`
    ("midpoint", second order; None keeps the setup's). The gap is measured
    at that sampling, close to the continuum limits' gap once the samples
    resolve it (docs/library.md: the programs' figures against the
    validation report's).

    The intensity is the square of an amplitude setup's modulus, and an
    intensity or relative setup's value as computed (a relative one over its
    own value on the axis, model by model). Returns ModelGaps: for each model
    the largest and the median |I / I_ref - 1|, the largest |I - I_ref| over
    the peak of I_ref, and first_departure, the smallest |x| where the
    relative difference reaches 1 % (None: nowhere on the screen).
    """
    if isinstance(setup, str):
        setup = Setup.preset(setup, **bench)
    elif bench:
        raise TypeError(f"model_gap(): {next(iter(bench))!r}: bench keywords go with a "
                        "program's name; change a setup with setup.replace()")
    elif not isinstance(setup, Setup):
        raise TypeError("model_gap(): setup must be a slits.Setup or a program's name, not "
                        f"{type(setup).__name__}")
    if isinstance(models, str):
        models = tuple(filter(None, models.split(",")))
    fine = _resampled(setup, samples, source_samples, sampling).replace(phase_model=reference)
    lines = {w[0]: w for w in map(str.split, str(fine).splitlines()) if w}
    sampling = lines["sampling"][1]
    source = lines["source"]
    source_samples = None if source[1] == "plane_wave" else int(source[3])
    x, exact = _intensity(fine, reference, threads)
    peak = np.max(exact)
    gaps = {}
    for model in models:
        _, value = _intensity(fine, model, threads)
        with np.errstate(divide="ignore", invalid="ignore"):
            relative = np.abs(value / exact - 1)
        worst = int(np.nanargmax(relative)) if np.any(np.isfinite(relative)) else 0
        departs = np.abs(x[relative >= DEPARTS])
        gaps[model] = ModelGap(
            model=model, largest=float(relative[worst]), at=float(x[worst]),
            median=float(np.sort(relative)[len(relative) // 2]),
            largest_of_peak=float(np.max(np.abs(value - exact)) / peak),
            first_departure=float(departs.min()) if departs.size else None)
    return ModelGaps(setup=fine, reference=reference, samples=samples,
                     source_samples=source_samples, sampling=sampling, gaps=gaps)

