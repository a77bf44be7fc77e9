"""python3 -m slits fit DATA (--program NAME | --setup FILE) --free NAMES [options]: a measured
profile fitted.
python3 -m slits gap (--program NAME | --setup FILE) [options]: how far each phase model is
from the exact scalar one (rs) over the screen.

fit prints the fitted values with their standard errors, chi2 and the
correlations; --plot FILE draws the data, the model and the residuals.
gap prints a table of model_gap's figures. Bad input: one line on standard
error and exit status 2.
"""

import argparse
import os
import sys

import slits
from slits import _slits


class _Parser(argparse.ArgumentParser):
    def error(self, message):
        raise _BadInput(message)


class _BadInput(Exception):
    pass


def _pairs(text, option):
    """NAME=VALUE,NAME=VALUE as a dict of texts."""
    pairs = {}
    for item in filter(None, (part.strip() for part in text.split(","))):
        name, equals, value = item.partition("=")
        if not equals or not name:
            raise _BadInput(f"{option}: {item!r} is not NAME=VALUE")
        pairs[name.strip()] = value.strip()
    return pairs


def _number(text, option):
    try:
        return float(text)
    except ValueError:
        raise _BadInput(f"{option}: {text!r} is not a number") from None


def _parser():
    parser = _Parser(prog="python3 -m slits", description="The slits module's commands.")
    commands = parser.add_subparsers(dest="command", metavar="{fit,gap}", required=True)
    fit = commands.add_parser(
        "fit", help="fit a measured profile with a program's exact model",
        description="Fit a measured profile (two-column text, CSV or TSV) with a pattern "
                    "program's exact model on its bench; the bench options give the fixed "
                    "lengths and the start values of the free ones.")
    fit.add_argument("data", metavar="DATA", help="the profile: a text, CSV or TSV file")
    model = fit.add_mutually_exclusive_group(required=True)
    model.add_argument("--program", help="the pattern program whose model is fitted")
    model.add_argument("--setup", metavar="FILE",
                       help="a setup file whose model is fitted (no bench options then)")
    fit.add_argument("--free", required=True, metavar="NAMES",
                     help="comma-separated: bench or setup lengths, position_scale, "
                          "sensor_width")
    group = fit.add_argument_group("the data")
    group.add_argument("--x", default="1", metavar="COLUMN",
                       help="column of the positions, by number from 1 or by name [1]")
    group.add_argument("--y", default="2", metavar="COLUMN",
                       help="column of the measured values [2]")
    group.add_argument("--sigma", metavar="COLUMN", help="column of their standard deviations")
    group.add_argument("--sigma-value", metavar="S",
                       help="one standard deviation for every value")
    group.add_argument("--sides", choices=("both", "one"), default="both",
                       help="both sides of the pattern, or one from the centre outward [both]")
    group = fit.add_argument_group("nuisance parameters (a value fixes it unless it is free)")
    for name, meaning in [("centre", "the pattern's centre in data positions [fitted]"),
                          ("position-scale", "screen length per unit of data position [1]"),
                          ("sensor-width", "width of the sensor's box, in screen length [0]"),
                          ("intensity-scale", "data units per unit of the model [fitted]"),
                          ("background", "constant added to the model [fitted]")]:
        group.add_argument("--" + name, metavar="V", help=meaning)
    group = fit.add_argument_group("the fit")
    group.add_argument("--start", default="", metavar="NAME=V,...",
                       help="start values of fitted parameters")
    group.add_argument("--bounds", default="", metavar="NAME=LO:HI,...",
                       help="bounds of fitted parameters; an empty side is open")
    group.add_argument("--sensor-nodes", metavar="N",
                       help="Gauss-Legendre nodes across the sensor [doubled until converged]")
    group.add_argument("--method", choices=("literal", "propagate"),
                       help="how the model's paths are summed [a program: propagate; a setup: "
                            "its own]")
    group.add_argument("--threads", default="0", metavar="N",
                       help="threads computing the model, 0 for one per core [0]")
    group.add_argument("--plot", metavar="FILE",
                       help="draw data, model and residuals into FILE (png, pdf, svg)")
    _bench_options(fit)

    gap = commands.add_parser(
        "gap", help="each phase model against the exact scalar one over the screen",
        description="Each phase model's intensity against the reference model's over a "
                    "program's or a setup's screen, by the engine's sums at a fine sampling: "
                    "the largest and median relative difference, the largest difference over "
                    "the peak, and the smallest |x| where the model departs by 1 %%.")
    model = gap.add_mutually_exclusive_group(required=True)
    model.add_argument("--program", help="a pattern program's experiment on its bench")
    model.add_argument("--setup", metavar="FILE", help="a setup file")
    gap.add_argument("--models", default="fresnel,fraunhofer,classic", metavar="NAMES",
                     help="comma-separated phase models [fresnel,fraunhofer,classic]")
    gap.add_argument("--reference", default="rs", help="the model compared with [rs]")
    gap.add_argument("--samples", default="2000", metavar="N",
                     help="samples per opening and per slit, 0 for the setup's own [2000]")
    gap.add_argument("--source-samples", metavar="N",
                     help="samples on the source strip [a coherent strip: --samples; an "
                          "incoherent one: the setup's own]")
    gap.add_argument("--sampling", default="midpoint", choices=("midpoint", "left-edge"),
                     help="where the samples sit [midpoint]")
    gap.add_argument("--threads", default="0", metavar="N",
                     help="threads, 0 for one per core [0]")
    _bench_options(gap, exclude=("method", "phase_model", "sampling", "source_samples"))
    return parser


def _bench_options(command, exclude=("method",)):
    group = command.add_argument_group("the bench, as the programs take it")
    group.add_argument("--bench", metavar="FILE", help="a bench file")
    for name in _slits.parameter_names():
        if name not in exclude:
            group.add_argument("--" + name.replace("_", "-"), dest="bench_" + name,
                               metavar="VALUE")


def _bench_of(arguments):
    options = {}
    for name, value in vars(arguments).items():
        if name.startswith("bench_") and value is not None:
            options[name[len("bench_"):]] = value
    if arguments.bench is not None:
        options["bench"] = arguments.bench
    return options


def _whole(arguments, *names):
    counts = {}
    for option in names:
        text = getattr(arguments, option)
        if text is not None:
            if not text.strip().isdigit():
                raise _BadInput(f"--{option.replace('_', '-')}: {text!r} is not a whole number")
            counts[option] = int(text)
    return counts


def _gap(arguments):
    options = _bench_of(arguments)
    counts = _whole(arguments, "samples", "source_samples", "threads")
    if arguments.setup is not None:
        if options:
            raise _BadInput("--setup: bench options are the setup file's lines")
        setup = slits.Setup.from_file(arguments.setup)
    else:
        setup = slits.Setup.preset(arguments.program, **options)
    gaps = slits.model_gap(setup, arguments.models, arguments.reference,
                           samples=counts["samples"] or None,
                           source_samples=counts.get("source_samples"),
                           sampling=arguments.sampling, threads=counts["threads"])
    print(gaps, flush=True)
    return gaps


def _plot(result, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy as np

    fig, (top, bottom) = plt.subplots(2, 1, figsize=(9, 6.5), dpi=110, sharex=True,
                                      gridspec_kw=dict(height_ratios=[3, 1]))
    dense = np.linspace(result.x.min(), result.x.max(), 2000)
    if result.sigma is not None:
        top.errorbar(result.x, result.y, result.sigma, fmt=".", color="0.35", ms=3, lw=0.6,
                     label="data")
    else:
        top.plot(result.x, result.y, ".", color="0.35", ms=3, label="data")
    top.plot(dense, result.curve(dense), color="#d04010", lw=1.2, label="fitted model")
    top.set_ylabel("measured value")
    top.legend(loc="upper right")
    top.set_title(f"{result.program}: " + ", ".join(
        f"{name} = {result.values[name]:.6g} ± {result.errors[name]:.2g}"
        for name in result.names[:3]) + f"\nχ² = {result.chi2:.4g} for {result.dof} "
        "degrees of freedom", fontsize=9)
    normalised = result.sigma is not None
    bottom.plot(result.x, result.residuals / result.sigma if normalised else result.residuals,
                ".", color="#1060c0", ms=3)
    bottom.axhline(0, color="0.5", lw=0.8)
    bottom.set_ylabel("residual / σ" if normalised else "residual")
    bottom.set_xlabel("position")
    for ax in (top, bottom):
        ax.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(path)


def _fit(arguments):
    options = _bench_of(arguments)
    nuisances = {}
    for name in ("centre", "position_scale", "sensor_width", "intensity_scale", "background"):
        value = getattr(arguments, name)
        if value is not None:
            nuisances[name] = _number(value, "--" + name.replace("_", "-"))
    start = {name: _number(value, "--start") for name, value in
             _pairs(arguments.start, "--start").items()}
    bounds = {}
    for name, text in _pairs(arguments.bounds, "--bounds").items():
        lo, colon, hi = text.partition(":")
        if not colon:
            raise _BadInput(f"--bounds: {name}={text!r} is not NAME=LO:HI")
        bounds[name] = (_number(lo, "--bounds") if lo.strip() else None,
                        _number(hi, "--bounds") if hi.strip() else None)
    whole = _whole(arguments, "sensor_nodes", "threads")
    if arguments.sigma is not None and arguments.sigma_value is not None:
        raise _BadInput("--sigma and --sigma-value: give one of them")
    if arguments.plot is not None:
        import matplotlib

        matplotlib.use("Agg")
        from matplotlib.figure import Figure

        kinds = Figure().canvas.get_supported_filetypes()
        kind = os.path.splitext(arguments.plot)[1].lstrip(".").lower()
        if kind not in kinds:
            raise _BadInput(f"--plot: {arguments.plot!r} does not end in one of ."
                            + ", .".join(sorted(kinds)))
        folder = os.path.dirname(arguments.plot) or "."
        if not os.path.isdir(folder):
            raise _BadInput(f"--plot: the folder {folder!r} does not exist")

    profile = slits.read_profile(arguments.data, x=arguments.x, y=arguments.y,
                                 sigma=arguments.sigma)
    sigma = profile.sigma
    if arguments.sigma_value is not None:
        sigma = _number(arguments.sigma_value, "--sigma-value")
    if arguments.setup is not None:
        lines = {name: options.pop(name) for name in ("phase_model", "sampling")
                 if name in options}
        if options:
            raise _BadInput("--setup: bench options other than --phase-model and --sampling "
                            "are the setup file's lines")
        model = dict(setup=slits.Setup.from_file(arguments.setup), **lines)
    else:
        model = dict(program=arguments.program)
    result = slits.fit(profile.x, profile.y, sigma, **model, free=arguments.free, start=start, bounds=bounds, sides=arguments.sides,
                       method=arguments.method, sensor_nodes=whole.get("sensor_nodes"),
                       threads=whole.get("threads", 0), **nuisances, **options)
    print(result, flush=True)
    return result


def main(argv=None):
    parser = _parser()
    try:
        arguments = parser.parse_args(argv)
        result = (_gap if arguments.command == "gap" else _fit)(arguments)
    except (_BadInput, ValueError, TypeError, OSError) as refusal:
        text = str(refusal).splitlines()[0] if str(refusal) else repr(refusal)
        command = "gap" if (sys.argv[1:] if argv is None else argv)[:1] == ["gap"] else "fit"
        print(f"slits {command}: error: {text}", file=sys.stderr, flush=True)
        return 2
    except KeyboardInterrupt:
        return 130
    if arguments.command == "fit" and arguments.plot is not None:
        try:
            _plot(result, arguments.plot)
        except OSError as failure:
            print(f"slits fit: error: {arguments.plot}: {failure.strerror or failure}",
                  file=sys.stderr, flush=True)
            return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
