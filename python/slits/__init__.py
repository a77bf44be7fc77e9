"""Diffraction patterns by direct phasor summation.

cis(theta, out=None): exp(i*theta) element by element, bit for bit the C
library's cexp(0 + i*theta), through the project's vector phasor kernel.

pattern(program, **options), continuum(program, **bench), ledcurve(led_sigma=...):
(x, value) float64 arrays, the binary64 numbers the programs print.
bench(**bench): the effective bench as {name: value}.
"""

import numbers
import os

import numpy as np

from . import _slits

__all__ = ["cis", "pattern", "continuum", "ledcurve", "bench"]

# Integers beyond this magnitude need not be binary64 numbers: refused
# rather than rounded.
_EXACT_INT = 2**53


def _as_float64(theta):
    """theta as a C-contiguous float64 array, exactly, or an exception."""
    a = np.asarray(theta)
    if a.dtype.kind == "O":  # Python ints beyond 64 bits, mixed sequences
        for x in a.flat:
            if isinstance(x, numbers.Integral):
                if abs(int(x)) > _EXACT_INT:
                    raise ValueError(f"integer {x} exceeds 2**53 in magnitude")
            elif not isinstance(x, numbers.Real):
                raise TypeError(f"theta must be real, not {type(x).__name__}")
        a = np.array([float(x) for x in a.flat], dtype=np.float64).reshape(a.shape)
    kind = a.dtype.kind
    if kind == "c":
        raise TypeError("theta must be real, not complex")
    if kind in "iu":
        # Compared in the array's own type: as float64, 2**53 + 1 would
        # round to 2**53 and pass.
        if a.itemsize >= 8 and a.size:
            limit = a.dtype.type(_EXACT_INT)
            if a.max() > limit or (kind == "i" and a.min() < -limit):
                raise ValueError("integers beyond 2**53 in magnitude do not convert exactly")
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
    integers must lie within +-2**53, where they convert exactly (ValueError
    beyond); complex input is a TypeError. out, if given, must be a
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
    program's own message, unknown keywords TypeError. The GIL is released
    while the pattern is computed.
    """
    if method is not None:
        bench["method"] = method
    bench["threads"] = threads
    arguments = _arguments("pattern", _PARAMETERS | {"bench", "threads"}, bench)
    return _slits.pattern(program, arguments)


def continuum(program, **bench):
    """(x, value) of continuum PROGRAM: the pattern program's continuum limit.

    Keywords and refusals as pattern's, without threads. Only where the
    build found libcerf; elsewhere a RuntimeError. The GIL is released while
    the values are computed.
    """
    if not hasattr(_slits, "continuum"):
        raise RuntimeError("slits was built without libcerf: continuum is not available")
    return _slits.continuum(program, _arguments("continuum", _PARAMETERS | {"bench"}, bench))


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
