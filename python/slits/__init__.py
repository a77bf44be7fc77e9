"""Diffraction patterns by direct phasor summation.

cis(theta, out=None): exp(i*theta) element by element, bit for bit the C
library's cexp(0 + i*theta), through the project's vector phasor kernel.

pattern(program, **options), continuum(program, **bench), ledcurve(led_sigma=...):
(x, value) float64 arrays, the binary64 numbers the programs print.
bench(**bench): the effective bench as {name: value}.
pattern_at(program, x, **options): a program's values at any screen positions.
fit(x, y, sigma=None, program=..., free=..., **bench): a measured profile fitted with the
exact model; read_profile(path, x=1, y=2, sigma=None): a profile from a text, CSV or TSV file.
Setup(text) or Setup(wavelength=..., source=..., planes=[...], screen=...), Setup.preset(program):
any experiment; compute(setup, threads=1): its (x, value), as `pattern --setup` computes them;
coherence(setup, x1, x2, plane=None): the degree of coherence under an incoherent source.
model_gap(setup or program, models=..., reference="rs"): how far each phase model's
intensity is from the reference's over the screen.
"""

import importlib.machinery
import numbers
import os

import numpy as np

try:
    from . import _slits
except ImportError:
    _here = os.path.dirname(os.path.abspath(__file__))
    if any(os.path.exists(os.path.join(_here, "_slits" + suffix))
           for suffix in importlib.machinery.EXTENSION_SUFFIXES):
        raise  # built, but it does not load: its own reason says why
    raise ImportError(
        f"slits: the compiled part, _slits, is not in {_here}. Build it with "
        "`cmake --workflow --preset patterns` (or `cmake --build build --target _slits`) where "
        "pybind11 and NumPy are installed, and import slits from build/python") from None

__version__ = _slits.__version__
__all__ = ["cis", "pattern", "continuum", "ledcurve", "bench", "pattern_at", "fit", "FitResult",
           "read_profile", "Profile", "Setup", "Grating", "compute", "coherence", "model_gap",
           "ModelGap", "ModelGaps"]


def _converts_exactly(x):
    """Whether the integer x is a binary64 number."""
    try:
        return int(float(x)) == x
    except OverflowError:
        return False


def _as_float64(theta):
    """theta as a C-contiguous float64 array, exactly, or an exception."""
    if isinstance(theta, np.ma.MaskedArray):
        raise TypeError("theta is a masked array: its mask would be lost (fill it first)")
    a = np.asarray(theta)
    if a.dtype.kind == "O":  # Python ints beyond 64 bits, mixed sequences
        for x in a.flat:
            if isinstance(x, numbers.Integral):
                if not _converts_exactly(x):
                    raise ValueError(f"integer {x} does not convert exactly to float64")
            elif isinstance(x, float) or isinstance(x, np.floating) and x.itemsize <= 8:
                pass
            elif isinstance(x, numbers.Real):  # Fraction, long double
                raise TypeError(f"{type(x).__name__} {x!r} would be rounded to float64")
            else:
                raise TypeError(f"theta must be real, not {type(x).__name__}")
        a = np.array([float(x) for x in a.flat], dtype=np.float64).reshape(a.shape)
    kind = a.dtype.kind
    if kind == "c":
        raise TypeError("theta must be real, not complex")
    if kind in "iu":
        # An integer is a binary64 number when its odd part has at most 53
        # bits. Computed on the magnitude as uint64, where -INT64_MIN fits.
        if a.itemsize >= 8 and a.size:
            m = a.astype(np.uint64)
            if kind == "i":
                m = np.where(a < 0, -m, m)
            odd = m // np.maximum(m & -m, np.uint64(1))
            inexact = odd >= np.uint64(2**53)
            if inexact.any():
                x = a.flat[np.argmax(inexact)]
                raise ValueError(f"integer {x} does not convert exactly to float64")
    elif kind == "f":
        if a.itemsize > 8:
            raise TypeError(f"{a.dtype} would be rounded to float64")
    elif kind != "b":
        raise TypeError(f"theta must be a real array, not of dtype {a.dtype}")
    return np.asarray(a, dtype=np.float64, order="C")  # ascontiguousarray makes 0-d 1-d


def cis(theta, out=None):
    """exp(i*theta) element by element, as a complex128 array of theta's shape.

    Each element is bit for bit cexp(0 + i*theta), NumPy's complex exp of
    (0 + i*theta); numpy.exp(1j*theta) equals it except at theta = -0.0,
    whose sign 1j*theta drops. theta is any real array or sequence;
    integers must convert exactly (any within +-2**53, and larger ones such
    as 2**60; ValueError otherwise); complex input, floats wider than
    float64, object arrays of other numbers (Fraction) and masked arrays are
    TypeErrors. out, if given, must be a
    C-contiguous complex128 array of theta's shape (ValueError otherwise)
    and is returned. The GIL is released while the phasors are computed.
    """
    return _slits.cis(_as_float64(theta), out)


_PARAMETERS = frozenset(_slits.parameter_names())


def _option_text(name, value):
    """A keyword's value as the option text that reads back as that value."""
    if name == "bench":
        if isinstance(value, (str, os.PathLike)):
            value = os.fspath(value)
        if not isinstance(value, str):
            raise TypeError(f"bench: a file name, not {type(value).__name__}")
        if not value:  # an unset variable, most likely: never the default bench
            raise ValueError("--bench: the file name is empty")
    elif isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{name}: {value!r} is neither a number nor a string")
    elif isinstance(value, numbers.Integral):
        value = str(int(value))
    elif isinstance(value, (float, np.floating)):
        f = float(value)
        if f != value and f == f:
            raise TypeError(f"{name}: {value!r} would be rounded to float64")
        value = repr(f)  # the shortest text that reads back as f
    elif not isinstance(value, str):
        raise TypeError(f"{name}: {value!r} is neither a number nor a string")
    if "\0" in value:  # argv would end the text there
        raise ValueError(f"{name}: the text holds a NUL character")
    return value


def _program_name(function, program):
    if not isinstance(program, str):
        raise TypeError(f"{function}(): program must be a program's name (str), "
                        f"not {type(program).__name__}")
    return program


def _arguments(function, allowed, options):
    """Keywords as the programs' "--name=value" options, in the order given."""
    arguments = []
    for name, value in options.items():
        if name not in allowed:
            raise TypeError(f"{function}() got an unexpected keyword argument {name!r}")
        arguments.append(f"--{name.replace('_', '-')}={_option_text(name, value)}")
    return arguments


def pattern(program, *, method=None, threads=1, **bench):
    """(x, value) of a pattern program as float64 arrays, one element per screen point.

    Each is the binary64 number the program prints; at --precision 17 its
    lines are "%.17g %.17g" % (x[i], value[i]). Keywords are the program's
    options with _ for -: every bench parameter (wavelength=5.32e-4,
    pair_samples=400, phase_model="fresnel", ...), bench="FILE" for a bench
    file, method ("literal" or "propagate"; None leaves the bench's, literal
    unless a file or the build says otherwise) and threads (0: one per core).
    Values are ints, floats (written as repr(), which reads back as the same
    float64) or the option's text. Bad values raise ValueError with the
    program's own message, as does bench="" and a bench whose values
    overflow or underflow binary64; unknown keywords raise TypeError. The
    GIL is released while the pattern is computed; Ctrl-C raises
    KeyboardInterrupt once the block of screen points under way is done.
    """
    if method is not None:
        bench["method"] = method
    bench["threads"] = threads
    arguments = _arguments("pattern", _PARAMETERS | {"bench", "threads"}, bench)
    return _slits.pattern(_program_name("pattern", program), arguments)


def continuum(program, **bench):
    """(x, value) of continuum PROGRAM: the pattern program's continuum limit.

    Keywords and refusals as pattern's, without threads. Only where the
    build found libcerf; elsewhere a RuntimeError. The GIL is released while
    the values are computed.
    """
    if not hasattr(_slits, "continuum"):
        raise RuntimeError("slits was built without libcerf: continuum is not available")
    return _slits.continuum(_program_name("continuum", program),
                            _arguments("continuum", _PARAMETERS | {"bench"}, bench))


def ledcurve(*, led_sigma=None):
    """(x, value) of ledcurve: x = i*0.1 for i from -500 to 499, and LED(x, led_sigma).

    led_sigma as pattern takes it; None leaves the build's default.
    """
    options = {} if led_sigma is None else {"led_sigma": led_sigma}
    return _slits.ledcurve(_arguments("ledcurve", {"led_sigma"}, options))


def bench(**bench):
    """The effective bench, {name: value}, after the keywords and refusals of pattern.

    Lengths are floats, counts ints, choices (phase_model, sampling, method)
    their names.
    """
    return _slits.bench(_arguments("bench", _PARAMETERS | {"bench"}, bench))


# After the helpers above, which they use.
from .setups import Grating, Setup, coherence, compute  # noqa: E402
from .fitting import FitResult, fit, pattern_at  # noqa: E402
from .profiles import Profile, read_profile  # noqa: E402
from .gap import ModelGap, ModelGaps, model_gap  # noqa: E402
