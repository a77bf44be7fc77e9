"""Diffraction patterns by direct phasor summation.

cis(theta, out=None): exp(i*theta) element by element, bit for bit the C
library's cexp(0 + i*theta), through the project's vector phasor kernel.
"""

import numbers

import numpy as np

from . import _slits

__all__ = ["cis"]

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


# pattern, continuum, ledcurve and bench: to be added here, each a thin
# wrapper over its function in _slits.
