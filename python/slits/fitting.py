"""A measured profile fitted with the exact model of its bench: fit, pattern_at.

The model a fit evaluates is a pattern program on its bench, or a setup,
evaluated at the data's screen positions by _screen_intensity; that function
is the one place that knows what a model is.
"""

import math
import numbers

import numpy as np

from . import _PARAMETERS, _arguments, _as_float64, _program_name, _slits
from . import bench as _bench
from .setups import Setup

NUISANCES = ("centre", "position_scale", "sensor_width", "intensity_scale", "background")

# Forward differences while iterating (the model's rounding, about 1e-14 of
# the peak, against a step of 1e-7: derivatives to about 1e-7); central
# differences of 1e-5 for the covariance at the solution (to about 1e-9).
_FORWARD_STEP = 1e-7
_CENTRAL_STEP = 1e-5
# A direction of the column-scaled Jacobian whose singular value is below
# this share of the largest changes the model by less than the derivatives'
# own accuracy: the parameters along it cannot be told apart.
_DEGENERATE_BELOW = 1e-6
# The sensor's box average: Gauss-Legendre nodes, doubled from 8 until
# doubling changes no value by more than this share of the largest.
_SENSOR_TOLERANCE = 1e-11
_SENSOR_FIRST_NODES = 8
_SENSOR_MOST_NODES = 4096


def pattern_at(program, x, *, method=None, threads=1, **bench):
    """A pattern program's values at any screen positions x, as a float64 array of x's shape.

    The program's blocked loop evaluated at x, eight positions at a time;
    an LED program's values are divided by its value at x = 0, computed the
    same way. On the program's own screen points (the x of pattern()) the
    values are pattern()'s, bit for bit. Keywords, refusals, the GIL and
    Ctrl-C as for pattern(); x converts to float64 exactly or is refused as
    cis() refuses theta.
    """
    positions = _as_float64(x)
    if method is not None:
        bench["method"] = method
    bench["threads"] = threads
    arguments = _arguments("pattern_at", _PARAMETERS | {"bench", "threads"}, bench)
    values, _ = _slits.values_at(_program_name("pattern_at", program), arguments,
                                 positions.reshape(-1))
    return values.reshape(positions.shape)


class _ProgramModel:
    """A pattern program and its bench keywords: the model of a fit."""

    kind = "a length of the bench"

    def __init__(self, program, bench, method, threads):
        self.program = _program_name("fit", program)
        self.keywords = dict(bench)
        if method is not None:
            self.keywords["method"] = method
        self.bench = _bench(**self.keywords)  # refused here as the program refuses it
        self.keywords["threads"] = threads
        self.lengths = [name for name, value in self.bench.items() if isinstance(value, float)]

    def arguments(self, lengths):
        return _arguments("fit", _PARAMETERS | {"bench", "threads"}, {**self.keywords, **lengths})

    def values_at(self, u, lengths, sensor_width, nodes):
        return _slits.values_at(self.program, self.arguments(lengths), u, sensor_width, nodes)


# The setup's lines a fit takes as keywords, as pattern --setup takes them as options.
_SETUP_CHOICES = ("phase_model", "sampling")


def _setup_of(setup):
    if not isinstance(setup, Setup):
        raise TypeError(f"fit(): setup must be a slits.Setup, not {type(setup).__name__}")
    return setup


class _SetupModel:
    """A setup: the model of a fit, its lengths named as Setup.lengths names them."""

    kind = "a length of the setup"

    def __init__(self, setup, method, threads):
        setup = _setup_of(setup)
        self.program = "setup"
        self.setup = setup if method is None else setup.replace(method=method)
        self.bench = self.setup.lengths
        self.lengths = list(self.bench)
        self.threads = _arguments("fit", {"threads"}, {"threads": threads})
        self.intensity = self.setup.quantity != "amplitude"

    def values_at(self, u, lengths, sensor_width, nodes):
        changed = self.setup.replace(lengths) if lengths else self.setup
        values = _slits.setup_values_at(str(changed), self.threads, u, sensor_width, nodes)
        return values, self.intensity or sensor_width > 0


def _screen_intensity(model, u, lengths, sensor_width=0.0, nodes=1):
    """The model's intensity at the screen positions u (float64, 1-D), with the
    lengths in `lengths` ({name: value}) replacing the model's; with a sensor
    width above 0, the intensity a sensor of that width centred at each u
    reads, from `nodes` Gauss-Legendre points across it (the setup library's
    sensor_readings).

    A program's or a setup's value is the modulus of an amplitude or an
    intensity (the LED programs' and a relative setup's relative to the
    axis); a sensor measures intensity, so a modulus is squared.
    """
    values, intensity = model.values_at(u, lengths, sensor_width, nodes)
    return values if intensity else values * values


class _Refused(Exception):
    """The model refused a trial point (a bench the program cannot run)."""


def _as_data(name, values, count=None):
    try:
        a = np.asarray(values, dtype=np.float64)
    except (TypeError, ValueError):
        raise ValueError(f"{name} must be an array of real numbers") from None
    if a.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, not of shape {a.shape}")
    if count is not None and len(a) != count:
        raise ValueError(f"{name} holds {len(a)} values for {count} positions")
    bad = np.flatnonzero(~np.isfinite(a))
    if len(bad):
        raise ValueError(f"{name}[{bad[0]}] is {a[bad[0]]!r}, not a finite number")
    return a


def _mirror_centre(x, y):
    """Where the profile is most nearly its own mirror image: the start of the centre.

    The candidate c over the middle three quarters of the scan that
    maximises the sum of y(x) y(2c - x) over their overlap, y taken above a
    low percentile: the bright part of a symmetric pattern overlaps its
    mirror image fully only about its centre, and the dim tails weigh little.
    """
    order = np.argsort(x)
    xs = x[order]
    ys = y[order] - np.percentile(y, 10)
    lo, hi = xs[0], xs[-1]
    span = hi - lo
    candidates = np.linspace(lo + span / 8, hi - span / 8, min(2048, max(64, 4 * len(xs))))
    overlap = np.empty(len(candidates))
    chunk = max(1, 2**20 // len(xs))
    for start in range(0, len(candidates), chunk):
        c = candidates[start:start + chunk, None]
        mirrored = 2 * c - xs
        inside = (mirrored >= lo) & (mirrored <= hi)
        ym = np.interp(mirrored.ravel(), xs, ys).reshape(mirrored.shape)
        overlap[start:start + chunk] = np.where(inside, ys * ym, 0).sum(axis=1)
    return float(candidates[np.argmax(overlap)])


def _is_number(value):
    return isinstance(value, numbers.Real) and not isinstance(value, (bool, np.bool_))


class _Problem:
    """Data, model and parameters: the residuals and their Jacobian."""

    def __init__(self, model, x, y, sigma, free, start, bounds, sides, fixed_or_none, nodes):
        self.model = model
        self.x, self.y = x, y
        self.sigma_known = sigma is not None
        self.sigma = sigma if sigma is not None else np.ones_like(y)
        if sides not in ("both", "one"):
            raise ValueError(f"sides must be 'both' or 'one', not {sides!r}")
        self.sides = sides
        self.fold = np.abs if sides == "one" else (lambda d: d)

        if isinstance(free, str):
            free = [name.strip() for name in free.split(",") if name.strip()]
        free = list(free)
        known = set(model.lengths) | set(NUISANCES)
        for name in free:
            if not isinstance(name, str) or name not in known:
                raise ValueError(f"free: {name!r} is neither {model.kind} nor one of "
                                 f"{', '.join(NUISANCES)}; the lengths: "
                                 + ", ".join(model.lengths))
        if len(set(free)) != len(free):
            raise ValueError("free: a parameter is named twice")

        # Nuisances: a number fixes one unless it is free; None fits the
        # centre (on a two-sided scan), the intensity scale and the background.
        self.fixed = {}
        fitted = set(free)
        for name in NUISANCES:
            value = fixed_or_none[name]
            if value is None:
                if name == "centre" and sides == "one":
                    self.fixed[name] = 0.0
                else:
                    fitted.add(name)
                continue
            if not _is_number(value) or not math.isfinite(value):
                raise ValueError(f"{name} must be a finite number or None, not {value!r}")
            if name == "position_scale" and value <= 0:
                raise ValueError(f"position_scale must be above 0, not {value!r}")
            if name == "sensor_width" and value < 0:
                raise ValueError(f"sensor_width must be 0 or more, not {value!r}")
            if name not in fitted:
                self.fixed[name] = float(value)
        lengths = [name for name in free if name in model.lengths]
        self.names = lengths + [name for name in NUISANCES if name in fitted]
        if not self.names:
            raise ValueError("nothing is fitted: free names no parameter, and every nuisance "
                             "parameter is given a value")

        start = dict(start or {})
        bounds = dict(bounds or {})
        for role, given in (("start", start), ("bounds", bounds)):
            for name in given:
                if name not in self.names:
                    raise ValueError(f"{role}: {name!r} is not a fitted parameter; they are "
                                     + ", ".join(self.names))
        if len(x) <= len(self.names):
            raise ValueError(f"{len(x)} data points for {len(self.names)} fitted parameters "
                             f"({', '.join(self.names)}): a fit needs more points than parameters")

        # Start values, the linear ones last: estimated from the shape at the
        # others' starts.
        self.start = {}
        for name in self.names:
            if name in start:
                value = start[name]
                if not _is_number(value) or not math.isfinite(value):
                    raise ValueError(f"start: {name} must be a finite number, not {value!r}")
                self.start[name] = float(value)
            elif name in model.lengths:
                self.start[name] = float(model.bench[name])
            elif name == "centre":
                given = fixed_or_none["centre"]
                if given is not None:
                    self.start[name] = float(given)
                elif sides == "one":
                    # Where a one-sided scan starts: the axis, as a rule its brightest point.
                    self.start[name] = float(x[np.argmax(y)])
                else:
                    self.start[name] = _mirror_centre(x, y)
            elif name in ("position_scale", "sensor_width"):
                self.start[name] = float(fixed_or_none[name])
        if "sensor_width" in self.names and self.start["sensor_width"] <= 0:
            raise ValueError("sensor_width is fitted: its start must be above 0 (the box average "
                             "is even in the width, so 0 is a stationary point)")
        if "position_scale" in self.names and self.start["position_scale"] <= 0:
            raise ValueError("position_scale: the start must be above 0")

        self.lower = np.full(len(self.names), -np.inf)
        self.upper = np.full(len(self.names), np.inf)
        for k, name in enumerate(self.names):
            if name in bounds:
                try:
                    lo, hi = bounds[name]
                except (TypeError, ValueError):
                    raise ValueError(f"bounds: {name} takes (lower, upper), None for open") \
                        from None
                self.lower[k] = -np.inf if lo is None else float(lo)
                self.upper[k] = np.inf if hi is None else float(hi)
                if not self.lower[k] < self.upper[k]:
                    raise ValueError(f"bounds: {name}'s lower bound is not below its upper")

        self.auto_nodes = nodes is None
        if nodes is not None and (not isinstance(nodes, numbers.Integral) or nodes < 1):
            raise ValueError(f"sensor_nodes must be a whole number from 1, not {nodes!r}")
        self.nodes = int(nodes) if nodes is not None else _SENSOR_FIRST_NODES
        self._cache = None

        partial = dict(self.fixed, **self.start)
        partial.setdefault("intensity_scale", 1.0)
        partial.setdefault("background", 0.0)
        if partial["sensor_width"] > 0 and self.auto_nodes:
            self.settle_nodes(partial, sample=1000)
        shape = self._linear_start(partial)
        self.start = {name: self.start.get(name, partial[name]) for name in self.names}
        if shape is not None:  # the same at the start, whatever the scale and background
            self._cache = (np.array([self.start[name] for name in self.names]).tobytes(), shape)
        for k, name in enumerate(self.names):
            if not self.lower[k] <= self.start[name] <= self.upper[k]:
                raise ValueError(f"start: {name} = {self.start[name]!r} lies outside its bounds")

    # -- the model ---------------------------------------------------------

    def positions(self, values, x=None):
        x = self.x if x is None else x
        return values["position_scale"] * self.fold(x - values["centre"])

    def box(self, u, values, nodes=None, width=None, lengths=None):
        """The intensity averaged over the sensor's box around each position u."""
        width = values["sensor_width"] if width is None else width
        lengths = self.lengths_of(values) if lengths is None else lengths
        return self._intensity(u, lengths, width, self.nodes if nodes is None else nodes)

    def _intensity(self, u, lengths, width=0.0, nodes=1):
        try:
            return _screen_intensity(self.model, np.ascontiguousarray(u), lengths, width, nodes)
        except ValueError as refusal:
            raise _Refused(str(refusal)) from None

    def lengths_of(self, values):
        return {name: values[name] for name in self.names if name in self.model.lengths}

    def values(self, p):
        return dict(self.fixed, **dict(zip(self.names, map(float, p))))

    def shape(self, p):
        """The box-averaged intensity at the data, for the parameter vector p."""
        key = np.asarray(p, dtype=np.float64).tobytes()
        if self._cache is None or self._cache[0] != key:
            values = self.values(p)
            self._cache = (key, self.box(self.positions(values), values))
        return self._cache[1]

    def model_at(self, values, x):
        u = self.positions(values, x)
        return values["intensity_scale"] * self.box(u, values) + values["background"]

    def _linear_start(self, values):
        """The intensity scale and background that fit best for the other starts."""
        linear = [name for name in ("intensity_scale", "background")
                  if name in self.names and name not in self.start]
        if not linear:
            return None
        shape = self.box(self.positions(values), values)
        sigma = self.sigma if self.sigma_known else None
        if "intensity_scale" in linear:
            # The library's match of a model to a measured profile, the
            # explorer's overlay too; a fixed background taken off first.
            fixed = 0 if "background" in linear else values["background"]
            scale, background = _slits.match_profile(shape, self.y - fixed, sigma,
                                                     "background" in linear)
            values["intensity_scale"] = scale
            if "background" in linear:
                values["background"] = background
        else:
            weight = 1 / self.sigma**2
            rest = self.y - values["intensity_scale"] * shape
            values["background"] = float(np.sum(weight * rest) / np.sum(weight))
        return shape

    def settle_nodes(self, values, sample=None):
        """Doubles the sensor's nodes until doubling again changes nothing that matters;
        returns the remaining change relative to the largest value. At the start a
        sample of the positions serves: the fringes, and so the nodes they need, are
        alike across a scan, and the solution is checked at every position."""
        u = self.positions(values)
        if sample is not None and len(u) > sample:
            u = np.sort(u)[np.linspace(0, len(u) - 1, sample).astype(int)]
        now = self.box(u, values)
        while True:
            finer = self.box(u, values, nodes=2 * self.nodes)
            error = np.max(np.abs(now - finer)) / np.max(np.abs(finer))
            if not self.auto_nodes or error <= _SENSOR_TOLERANCE \
                    or 2 * self.nodes > _SENSOR_MOST_NODES:
                return float(error)
            self.nodes *= 2
            self._cache = None
            now = finer

    # -- residuals and Jacobian -------------------------------------------

    def residuals(self, p):
        values = self.values(p)
        try:
            shape = self.shape(p)
        except _Refused:
            return np.full(len(self.y), np.inf)
        return (values["intensity_scale"] * shape + values["background"] - self.y) / self.sigma

    def _derivative(self, evaluate, k, value, h, central, base):
        """d evaluate / d parameter by differences, base being evaluate(value);
        stepping inside the bounds and around a refusal of the program."""
        lo, hi = (self.lower[k], self.upper[k]) if k is not None else (-np.inf, np.inf)
        if central and lo <= value - h and value + h <= hi:
            try:
                return (evaluate(value + h) - evaluate(value - h)) / (2 * h)
            except _Refused:
                pass
        for step in (h, -h):
            if lo <= value + step <= hi:
                try:
                    return (evaluate(value + step) - base) / step
                except _Refused:
                    continue
        raise _Refused("every trial step of the derivative was refused")

    def jacobian(self, p, central=False):
        relative = _CENTRAL_STEP if central else _FORWARD_STEP
        values = self.values(p)
        u = self.positions(values)
        lengths = self.lengths_of(values)
        shape = self.shape(p)
        scale = values["intensity_scale"]
        width = values["sensor_width"]
        columns = []
        slope = None
        if width > 0 and {"centre", "position_scale", "sensor_width"} & set(self.names):
            # The box average B(u, w) = (1/w) * integral of I over [u - w/2, u + w/2]
            # has exact derivatives in its ends: dB/du = (I(u + w/2) - I(u - w/2)) / w
            # and dB/dw = ((I(u + w/2) + I(u - w/2)) / 2 - B) / w.
            ends = self._intensity(np.concatenate([u + width / 2, u - width / 2]), lengths)
            upper, lower = ends[:len(u)], ends[len(u):]
            slope = (upper - lower) / width
            widening = ((upper + lower) / 2 - shape) / width
        for k, name in enumerate(self.names):
            value = values[name]
            if name in self.model.lengths:
                def changed(v, name=name):
                    return self.box(u, values, lengths=dict(lengths, **{name: v}))
                column = scale * self._derivative(changed, k, value, relative * abs(value),
                                                  central, shape)
            elif name in ("centre", "position_scale"):
                if slope is None:
                    h = relative * np.max(np.abs(u))
                    slope = self._derivative(lambda shift: self.box(u + shift, values),
                                             None, 0.0, h, central, shape)
                if name == "centre":
                    direction = np.sign(self.x - values["centre"]) if self.sides == "one" else 1
                    column = -scale * values["position_scale"] * direction * slope
                else:
                    column = scale * self.fold(self.x - values["centre"]) * slope
            elif name == "sensor_width":
                column = scale * widening
            elif name == "intensity_scale":
                column = shape
            else:
                column = np.ones_like(shape)
            columns.append(column / self.sigma)
        return np.column_stack(columns)


class FitResult:
    """What slits.fit found; str() gives the table the command line prints.

    names: the fitted parameters, in the order of every matrix below.
    values, errors: {name: value}, {name: standard error}; fixed: the
    nuisances held fixed.
    covariance, correlation: matrices over names.
    chi2, dof, reduced_chi2: the sum of squared residuals over sigma (over 1
    when no sigma was given), the points less the fitted parameters.
    sigma_known: whether sigma was given; if not, the covariance is scaled
    by reduced_chi2, the scatter standing in for sigma.
    x, y, sigma, model, residuals (y - model): at the data.
    curve(x): the fitted model at any positions.
    degenerate: one sentence per group of parameters the data cannot tell
    apart (their errors are inf); empty when every parameter is resolved.
    status, message, success, nfev: the optimiser's (least_squares).
    sensor_nodes, sensor_error: the Gauss-Legendre nodes across the sensor,
    and the largest change of the model, relative to its largest value,
    when they are doubled (0 without a sensor width).
    """

    def __init__(self, **fields):
        self.__dict__.update(fields)

    def __repr__(self):
        return f"<slits.FitResult {self.program}: " + ", ".join(
            f"{name}={self.values[name]:.10g}±{self.errors[name]:.2g}"
            for name in self.names) + ">"

    def __str__(self):
        lines = [f"{self.program}: {len(self.x)} points, {len(self.names)} fitted parameters, "
                 f"{self.sides}-sided data"]
        width = max(len(name) for name in self.names + list(self.fixed))
        lines.append(f"{'parameter':{width}s}  {'value':>18s}  {'error':>10s}  {'relative':>9s}")
        for name in self.names:
            value, error = self.values[name], self.errors[name]
            relative = abs(error / value) if value != 0 else math.inf
            lines.append(f"{name:{width}s}  {value:18.12g}  {error:10.3g}  {relative:9.2g}")
        for name, value in self.fixed.items():
            lines.append(f"{name:{width}s}  {value:18.12g}  {'fixed':>10s}")
        how = ("sigma as given" if self.sigma_known
               else "no sigma given: errors scaled by the reduced chi2")
        lines.append(f"chi2 = {self.chi2:.6g} for {self.dof} degrees of freedom, reduced "
                     f"{self.reduced_chi2:.4g} ({how})")
        if self.fixed.get("sensor_width", 1) != 0:
            lines.append(f"sensor: {self.sensor_nodes} Gauss-Legendre nodes, doubling them changes "
                         f"the model by {self.sensor_error:.1e} of its largest value")
        if len(self.names) > 1:
            lines.append("correlations:")
            short = [name[:9] for name in self.names]
            lines.append(" " * (width + 2) + " ".join(f"{s:>9s}" for s in short))
            for name, row in zip(self.names, self.correlation):
                lines.append(f"{name:{width}s}  " + " ".join(f"{r:9.4f}" for r in row))
        lines.extend(self.degenerate)
        lines.append(f"optimiser: status {self.status}, {self.message}")
        return "\n".join(lines)


def _degeneracy(names, jacobian, p):
    """Directions the data cannot resolve, from the singular values of the Jacobian
    with unit columns: (sentences, indices of the parameters involved)."""
    norms = np.linalg.norm(jacobian, axis=0)
    sentences, involved = [], set()
    for k in np.flatnonzero(norms == 0):
        sentences.append(f"{names[k]} does not change the model: it cannot be fitted")
        involved.add(int(k))
    live = np.flatnonzero(norms > 0)
    if len(live) == 0:
        return sentences, involved
    _, s, vt = np.linalg.svd(jacobian[:, live] / norms[live], full_matrices=False)
    for row in vt[s < _DEGENERATE_BELOW * s[0]]:
        members = [int(live[j]) for j in np.flatnonzero(np.abs(row) >= 0.1 * np.max(np.abs(row)))]
        involved.update(members)
        # The parameters' change along the direction, scaled so that the
        # largest relative change is 1 %.
        step = {int(live[j]): row[j] / norms[live[j]] for j in range(len(live))}
        relative = [abs(step[k] / p[k]) for k in members if p[k] != 0]
        unit = 0.01 / max(relative) if relative else 1 / max(abs(step[k]) for k in members)
        parts = [f"{names[k]} by {100 * unit * step[k] / p[k]:+.3g} %" if p[k] != 0
                 else f"{names[k]} by {unit * step[k]:+.3g}" for k in members]
        sentences.append(" and ".join(names[k] for k in members)
                         + " cannot be told apart: changing " + ", ".join(parts)
                         + " leaves the model unchanged within the accuracy of its derivatives; "
                         "fix all but one")
    return sentences, involved


def fit(x, y, sigma=None, *, program=None, setup=None, free, start=None, bounds=None, sides="both",
        centre=None, position_scale=1.0, sensor_width=0.0, intensity_scale=None, background=None,
        sensor_nodes=None, method=None, threads=0, **bench):
    """Fits a pattern program's or a setup's exact model to a measured profile (x, y);
    a FitResult.

    The model at a data position x is
        intensity_scale * <I(u)>_sensor + background,  u = position_scale * (x - centre),
    where I is the program's intensity on its bench (the square of the
    modulus it prints, or the LED programs' intensity) and <.>_sensor its
    average over a box of sensor_width centred on u, by Gauss-Legendre nodes
    doubled until doubling again changes no value by more than 1e-11 of the
    largest (sensor_nodes=N fixes N). sides="one" takes the data as one side
    of the pattern: u = position_scale * |x - centre|, the centre fixed at 0
    unless given or free.

    The model is program= on its bench (the other keywords), or setup=, a
    slits.Setup, whose intensity (the square of an amplitude's modulus) is
    taken; give one of them. Either takes phase_model ("rs": the exact
    scalar field of long slits) and sampling as keywords.

    free names what is fitted: any length of the bench by its registry name
    (pair_separation, wavelength, ...), or of the setup as Setup.lengths
    names it (slits.width, plane1.distance, source.width, ...); and any of
    position_scale and
    sensor_width; the centre (two-sided data), intensity_scale and
    background are fitted too unless given a number, which fixes them. A
    length starts from its bench keyword (pair_separation=0.52), or the
    build's default, or the setup's value; start={name: value} overrides any start;
    bounds={name: (lower, upper)}, None for open. sigma: the standard
    deviations of y (one number or one per point), else the errors are
    scaled by the reduced chi2. method and threads as for pattern()
    (propagate, the default for a program: the same sums as the literal ones
    to about 1e-13, and hundreds of times faster; None keeps a setup's own;
    threads=0: one per core); the other keywords are the program's bench.

    Bad data (a value that is not finite, a position twice, no more points
    than fitted parameters), unknown names and refused benches raise
    ValueError. Parameters the data cannot tell apart are named in
    result.degenerate, with infinite errors. SciPy's least_squares (trf)
    minimises the sum of squared residuals over sigma, with derivatives by
    differences of the model.
    """
    try:
        from scipy.optimize import least_squares
    except ImportError:
        raise ImportError("slits.fit needs SciPy (Debian: python3-scipy)") from None

    if (program is None) == (setup is None):
        raise TypeError("fit(): give program= (with its bench keywords) or setup=, not both")
    if setup is not None:
        lengths = [name for name in bench if name not in _SETUP_CHOICES]
        if lengths:
            raise TypeError(f"fit(): {lengths[0]!r}: a setup's lengths are changed with "
                            "setup.replace(), not keywords")
        if bench:
            setup = _setup_of(setup).replace(**bench)
        model = _SetupModel(setup, method, threads)
    else:
        model = _ProgramModel(program, bench, "propagate" if method is None else method, threads)
    x = _as_data("x", x)
    y = _as_data("y", y, len(x))
    if sigma is not None:
        sigma = _as_data("sigma", np.broadcast_to(np.asarray(sigma, dtype=float), x.shape)
                         if np.ndim(sigma) == 0 else sigma, len(x))
        if np.any(sigma <= 0):
            raise ValueError(f"sigma[{np.flatnonzero(sigma <= 0)[0]}] is not above 0")
    order = np.argsort(x, kind="stable")
    repeated = np.flatnonzero(np.diff(x[order]) == 0)
    if len(repeated):
        i, j = sorted(order[repeated[0]:repeated[0] + 2])
        raise ValueError(f"x[{i}] and x[{j}] are the same position, {x[i]!r}: average repeated "
                         "readings into one point with its sigma")

    nuisances = dict(centre=centre, position_scale=position_scale, sensor_width=sensor_width,
                     intensity_scale=intensity_scale, background=background)
    try:
        problem = _Problem(model, x, y, sigma, free, start, bounds, sides, nuisances, sensor_nodes)
    except _Refused as refusal:
        raise ValueError(str(refusal)) from None
    p = np.array([problem.start[name] for name in problem.names])
    try:
        problem.shape(p)
    except _Refused as refusal:
        raise ValueError(f"the model at the start values: {refusal}") from None

    def jacobian(q):
        try:
            return problem.jacobian(q)
        except _Refused as refusal:
            raise ValueError(f"the model's derivatives: {refusal}") from None

    while True:
        solution = least_squares(problem.residuals, p, jac=jacobian, method="trf",
                                 x_scale="jac", bounds=(problem.lower, problem.upper),
                                 xtol=1e-12, ftol=1e-10, gtol=1e-12)
        p = solution.x
        values = problem.values(p)
        sensor_error = problem.settle_nodes(values) if values["sensor_width"] > 0 else 0.0
        if not problem.auto_nodes or sensor_error <= _SENSOR_TOLERANCE \
                or 2 * problem.nodes > _SENSOR_MOST_NODES:
            break
        # More nodes were needed at the solution than at the start: again from there.

    residuals = problem.residuals(p)
    chi2 = float(residuals @ residuals)
    dof = len(x) - len(p)
    reduced = chi2 / dof
    try:
        jac = problem.jacobian(p, central=True)
    except _Refused as refusal:
        raise ValueError(f"the model's derivatives at the solution: {refusal}") from None
    degenerate, involved = _degeneracy(problem.names, jac, p)
    resolved = [k for k in range(len(p)) if k not in involved]
    covariance = np.full((len(p), len(p)), np.nan)
    for k in involved:
        covariance[k, k] = np.inf
    if resolved:
        # (J^T J)^-1 through the pseudo-inverse of J with unit columns.
        norms = np.linalg.norm(jac[:, resolved], axis=0)
        inverse = np.linalg.pinv(jac[:, resolved] / norms)
        inverse = (inverse @ inverse.T) / np.outer(norms, norms)
        covariance[np.ix_(resolved, resolved)] = inverse * (1.0 if sigma is not None else reduced)
    errors = np.sqrt(np.diag(covariance))
    with np.errstate(invalid="ignore"):
        correlation = covariance / np.outer(errors, errors)
    for k in resolved:
        correlation[k, k] = 1.0

    final = problem.values(p)
    shape = problem.shape(p)
    curve_model = final["intensity_scale"] * shape + final["background"]

    def curve(positions):
        positions = _as_data("x", positions)
        return problem.model_at(final, positions)

    return FitResult(
        program=model.program, names=list(problem.names),
        values={name: float(v) for name, v in zip(problem.names, p)},
        errors={name: float(e) for name, e in zip(problem.names, errors)},
        fixed=dict(problem.fixed), covariance=covariance, correlation=correlation,
        chi2=chi2, dof=dof, reduced_chi2=reduced, sigma_known=sigma is not None,
        x=x, y=y, sigma=sigma, model=curve_model, residuals=y - curve_model, curve=curve,
        degenerate=degenerate, status=solution.status, message=solution.message,
        success=bool(solution.success), nfev=solution.nfev, sides=sides,
        sensor_nodes=problem.nodes if final["sensor_width"] > 0 else 0,
        sensor_error=sensor_error, start=dict(problem.start))
