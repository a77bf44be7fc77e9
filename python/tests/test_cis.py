"""slits.cis against NumPy's complex exp and the C library, bit for bit."""

import math
import sys
import unittest
from fractions import Fraction

import numpy as np

import slits
from slits import _slits


def bits(z):
    return np.ascontiguousarray(z).view(np.uint64)


def numpy_cis(theta):
    """NumPy's exp of (0 + i theta), keeping the sign of theta = -0.0."""
    z = np.zeros(np.shape(theta), np.complex128)
    z.imag = theta
    with np.errstate(invalid="ignore"):
        return np.exp(z)


def arguments():
    # Quadrant edges, the kernel's range limit, small magnitudes, each and 3 ulps either side;
    # specials; spreads within the kernel's range and beyond; both signs.
    edges = [k * math.pi / 2 for k in range(1, 41)] + [105414336.0, 2.0**-26, 0.126]
    near = [np.nextafter(np.nextafter(np.nextafter(e, d), d), d) for e in edges for d in (0, 1e309)]
    special = [0.0, sys.float_info.min, 5e-324, 2.0**-600, 1e300, 2.0**1023, math.inf, math.nan]
    spread = [np.random.default_rng(1).uniform(-x, x, 2000) for x in (4, 2400, 2e8)]
    theta = np.concatenate([edges, near, special, *spread])
    return np.concatenate([theta, -theta])


class Cis(unittest.TestCase):

    def test_bit_identity(self):
        theta = arguments()
        expected = bits(numpy_cis(theta))
        for n in (1, 3, 4, 7, 8, 9, 511, 513, 1025, theta.size):  # partial vectors, chunk tails
            with self.subTest(n=n):
                np.testing.assert_array_equal(bits(slits.cis(theta[:n])), expected[:2 * n])
        np.testing.assert_array_equal(bits(_slits.system_cis(theta)), expected)

    def test_negative_zero_keeps_its_sign(self):
        z = slits.cis([-0.0, 0.0])
        self.assertEqual(bits(z).tolist(), bits([complex(1, -0.0), complex(1, 0.0)]).tolist())

    def test_inputs_convert_exactly(self):
        cases = [
            (np.arange(-6, 7).reshape(13, 1), np.arange(-6.0, 7.0).reshape(13, 1)),
            (np.array([2**53, -2**53]), [2.0**53, -2.0**53]),
            (np.array([2**53], np.uint64), [2.0**53]),
            (2**60, 2.0**60),  # beyond 2**53, yet binary64 numbers
            (np.array([2**63 - 2**10, -2**63], np.int64), [2.0**63 - 2**10, -2.0**63]),
            ([2**70, 3 * 2**100], [2.0**70, 3 * 2.0**100]),
            (np.float32([0.1, -3.5]), np.float32([0.1, -3.5]).astype(np.float64)),
            ([True, False], [1.0, 0.0]),
            (np.array([3, 2.5], dtype=object), [3.0, 2.5]),
            (2.0, 2.0),
            (np.zeros((0, 3), int), np.zeros((0, 3))),
            (np.arange(12.0)[::3], [0.0, 3.0, 6.0, 9.0]),
        ]
        for theta, as_float in cases:
            with self.subTest(theta=theta):
                z = slits.cis(theta)
                self.assertEqual((z.dtype, z.shape), (np.complex128, np.shape(theta)))
                np.testing.assert_array_equal(bits(z), bits(numpy_cis(as_float)))

    def test_out(self):
        theta = np.linspace(-10, 10, 1001).reshape(7, 143)
        out = np.empty(theta.shape, np.complex128)
        self.assertIs(slits.cis(theta, out=out), out)
        np.testing.assert_array_equal(bits(out), bits(numpy_cis(theta)))
        shared = np.empty(1000, np.complex128)  # theta in the memory out is written to
        shared.view(np.float64)[500:1500] = theta.flat[:1000]
        slits.cis(shared.view(np.float64)[500:1500], out=shared)
        np.testing.assert_array_equal(bits(shared), bits(numpy_cis(theta.flat[:1000])))

    def test_refusals(self):
        read_only = np.empty((4, 5), np.complex128)
        read_only.flags.writeable = False
        bad = [(TypeError, x, None) for x in [
            np.ones(3, np.complex128), 1j, [1.0, 2j], ["a"], np.ones(2, np.longdouble),
            np.ma.masked_array([1.0, 2.0], mask=[False, True]),
            np.array([Fraction(1, 3), 1.0], dtype=object),
            np.array([np.longdouble(1) / 3, 1.0], dtype=object)
        ]]
        bad += [(ValueError, x, None) for x in [
            [2**53 + 1], np.array([2**53 + 1], np.uint64), [-2**53 - 1], [2**70 + 1],
            np.array([2**63 - 1]), np.array([2**64 - 1], np.uint64), [2**1024]
        ]]
        bad += [(ValueError, np.zeros((4, 5)), out) for out in [
            np.empty((4, 5), np.complex64), np.empty((5, 4), np.complex128),
            np.empty((4, 10), np.complex128)[:, ::2], np.empty((4, 5), ">c16"), np.empty((4, 5)),
            [0j] * 20, read_only
        ]]
        for error, theta, out in bad:
            with self.subTest(theta=theta, out=out), self.assertRaises(error):
                slits.cis(theta, out=out)


if __name__ == "__main__":
    unittest.main(verbosity=2)
