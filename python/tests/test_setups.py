"""slits.Setup, compute and coherence against `pattern` and the programs."""

import os
import subprocess
import sys
import tempfile
import unittest

import numpy as np

import slits

PROGRAMS = os.environ["SLITS_PROGRAM_DIR"]

THREE_SLITS = """\
wavelength 5.32e-4
phase_model fresnel
sampling midpoint
source plane_wave
plane 10
slits 3 0.05 0.25 50     # COUNT WIDTH PERIOD SAMPLES
screen 1000 -5 5 301
quantity relative
"""
# 1.5e9 exponentials to evaluate literally.
HEAVY = THREE_SLITS.replace("50 ", "5000 ").replace(" 301", " 100000")
# Two unequal openings behind a strip of tabulated incoherent emitters.
TABLE_LED = """\
wavelength 6.37e-4
source incoherent 0.6 9 table profile.txt
plane 50
opening -0.3 0.3 21
plane 200
opening -0.4 -0.25 17
opening 0.2 0.3 11
screen 500 -3 3 97
quantity intensity
"""


def pattern(folder, *options):
    return subprocess.run([os.path.join(PROGRAMS, "pattern"), "--quiet", *options], cwd=folder,
                          capture_output=True, text=True)


def bits(a):
    return np.asarray(a, dtype=np.float64).view(np.uint64)


class Setups(unittest.TestCase):

    def setUp(self):
        self.folder = tempfile.mkdtemp()
        self.addCleanup(subprocess.run, ["rm", "-rf", self.folder])
        for name, rows in (("profile.txt", "-0.5 0\n0 1\n0.5 0.2\n"), ("narrow.txt", "-0.2 1\n0.5 1\n")):
            with open(os.path.join(self.folder, name), "w") as f:
                f.write(rows)

    def test_computed_values_are_the_data_file(self):
        keywords = slits.Setup(wavelength=5.32e-4, phase_model="fresnel", sampling="midpoint",
                               planes=[(10, [slits.Grating(3, 0.05, 0.25, 50)])],
                               screen=(1000, -5, 5, 301), quantity="relative")
        self.assertEqual(keywords, slits.Setup(THREE_SLITS))
        cases = [keywords, slits.Setup.from_text(TABLE_LED, folder=self.folder),
                 slits.Setup.from_text(TABLE_LED, folder=self.folder, method="literal")]
        for setup in cases:
            with self.subTest(setup=str(setup)):
                # Saved and run elsewhere: the table file travels by its absolute path.
                path = os.path.join(self.folder, "saved.setup")
                with open(path, "w") as f:
                    f.write(str(setup))
                done = pattern("/", "--setup", path, "--precision", "17", "--output",
                               os.path.join(self.folder, "out.txt"))
                self.assertEqual(done.returncode, 0, done.stderr)
                with open(os.path.join(self.folder, "out.txt")) as f:
                    expected = f.read().splitlines()
                x, value = slits.compute(setup, threads=2)
                self.assertEqual(["%.17g %.17g" % pair for pair in zip(x, value)], expected)
                self.assertEqual(slits.Setup.from_file(path), setup)
                # At any positions, in any order, one by one: the same bits.
                order = np.random.default_rng(3).permutation(len(x))
                _, at = slits.compute(setup, x[order])
                np.testing.assert_array_equal(bits(at), bits(value[order]))

    def test_a_preset_is_the_program(self):
        bench = dict(wavelength=5.32e-4, source_samples=7, entrance_samples=11, pair_samples=9,
                     screen_count=37, sampling="midpoint")
        options = [f"--{name.replace('_', '-')}={value}" for name, value in bench.items()]
        for program in ("duogap", "conv_duogap", "broad_monogap"):
            with self.subTest(program=program):
                setup = slits.Setup.preset(program, **bench)
                printed = subprocess.run([os.path.join(PROGRAMS, program), *options,
                                          "--method=propagate", "--print-setup"],
                                         capture_output=True, text=True).stdout
                self.assertEqual(str(setup), printed)
                _, expected = slits.pattern(program, method="propagate", **bench)
                _, value = slits.compute(setup)
                np.testing.assert_array_equal(bits(value), bits(expected))

    def test_lengths_by_name(self):
        setup = slits.Setup.preset("duogap")
        self.assertEqual(list(setup.lengths),
                         ["wavelength", "plane1.distance", "plane1.opening1.from",
                          "plane1.opening1.to", "plane2.distance", "slits.width", "slits.period",
                          "screen.distance"])
        changed = setup.replace({"slits.width": 0.125, "plane1.opening1.to": 0.5},
                                phase_model="fresnel")
        self.assertIn("\nslits 2 0.125 0.5 100\n", str(changed))
        self.assertIn("\nopening -0.4 0.5 100\n", str(changed))
        self.assertIn("\nphase_model fresnel\n", str(changed))
        two_planes = [(10, [slits.Grating(2, 0.1, 1, 5), (2, 3, 5)]),
                      (5, slits.Grating(4, 0.1, 0.5, 5))]
        two = slits.Setup(planes=two_planes, screen=(100, -1, 1, 9),
                          source=("incoherent", 1, 5, ("gaussian", 0.3)))
        self.assertEqual([name for name in two.lengths if "slits" in name or "source" in name],
                         ["source.width", "source.sigma", "plane1.slits.width",
                          "plane1.slits.period", "plane2.slits.width", "plane2.slits.period"])
        # A Gaussian spectrum's lengths; a wavelength given replaces it, as --wavelength does.
        white = slits.Setup(spectrum=("gaussian", 6.3e-4, 3e-5, 11), planes=two_planes,
                            screen=(100, -1, 1, 9))
        self.assertEqual(list(white.lengths)[:2], ["spectrum.centre", "spectrum.fwhm"])
        self.assertIn("\nspectrum gaussian 0.00063 6e-05 11\n",
                      str(white.replace({"spectrum.fwhm": 6e-5})))
        path = os.path.join(self.folder, "white.setup")
        with open(path, "w") as f:
            f.write(str(white))
        self.assertEqual(str(white.replace(wavelength=6.3e-4)),
                         pattern(self.folder, "--setup", path, "--wavelength", "6.3e-4",
                                 "--print-setup").stdout)

    def test_refusals_are_the_setup_files(self):
        cases = [
            ("foo 1\n", {}, "unknown key 'foo'"),
            (THREE_SLITS.replace("slits 3 0.05 0.25", "slits 3 0.3 0.25"), {}, "the slits overlap"),
            (TABLE_LED.replace("profile.txt", "narrow.txt"), {}, "not the whole strip"),
            (THREE_SLITS.replace("plane 10", "plane 0"), {}, "is not greater than zero"),
            (THREE_SLITS, dict(wavelength=0), "--wavelength: '0' is not greater than zero"),
            # The options apply before the literal evaluation's cost is weighed.
            (HEAVY, dict(method="literal"), "more than the 1e9 allowed"),
        ]
        path = os.path.join(self.folder, "bad.setup")
        for text, options, reason in cases:
            with self.subTest(reason=reason):
                with open(path, "w") as f:
                    f.write(text)
                done = pattern("/", "--setup", path,
                               *[f"--{name}={value}" for name, value in options.items()])
                self.assertEqual(done.returncode, 2)
                with self.assertRaisesRegex(ValueError, reason) as refused:
                    slits.Setup.from_file(path, **options)
                self.assertEqual(done.stderr.splitlines()[0],
                                 "pattern: error: " + str(refused.exception))
        setup = slits.Setup(THREE_SLITS)
        with self.assertRaisesRegex(ValueError, r"^setup:8: slits: the slits overlap"):
            setup.replace({"slits.period": 0.04})
        with self.assertRaisesRegex(ValueError, "'slits.gap' is not a length of this setup"):
            setup.replace({"slits.gap": 1})
        slits.Setup(HEAVY + "method literal\n", method="propagate")  # not weighed as literal
        with self.assertRaisesRegex(ValueError, "no plane line"):
            slits.Setup(THREE_SLITS.replace("plane 10\nslits 3 0.05 0.25 50", ""))
        for bad in [dict(planes=[(10, [(0, 1)])], screen=(1, 0, 1, 3)),
                    dict(planes=[10], screen=(1, 0, 1, 3)),
                    dict(planes=[(1, [(0, 1, 3)])], screen=(1, 0, 1, 3), wavelength=True)]:
            with self.assertRaises(TypeError):
                slits.Setup(**bad)
        with self.assertRaisesRegex(TypeError, "planes comes from the text"):
            slits.Setup(THREE_SLITS, planes=[])

    @unittest.skipUnless(hasattr(slits._slits, "coherence"), "no degree of coherence in this build")
    def test_coherence_is_van_cittert_zernike(self):
        # A uniform incoherent strip of width w, two points of the first plane
        # a distance d apart: |sinc(pi w d / (lambda L))|, to the strip's sampling.
        w, wavelength, distance = 0.2, 5e-4, 500.0
        setup = slits.Setup(wavelength=wavelength, source=("incoherent", w, 4000, "uniform"),
                            planes=[(distance, [(-2, 2, 3)])], screen=(100, 0, 1, 2))
        for d in (0.3, 0.9, 1.7):
            beta = np.pi * w * d / (wavelength * distance)
            self.assertAlmostEqual(slits.coherence(setup, -d / 2, d / 2, plane=1),
                                   abs(np.sin(beta) / beta), delta=1e-6)
        with self.assertRaises(ValueError):
            slits.coherence(slits.Setup(THREE_SLITS), 0, 1)


@unittest.skipUnless(hasattr(slits._slits, "continuum"), "no continuum in this build")
class ModelGap(unittest.TestCase):

    def test_the_sums_gap_is_the_continuums(self):
        # monogap's bench (Fresnel number 0.36): the gap of the engine's sums at
        # 2000 midpoint samples against the one of the continuum's quadratures.
        gaps = slits.model_gap("monogap", models=("fresnel", "fraunhofer"), samples=2000)
        x, exact = slits.continuum("monogap", phase_model="rs")
        for model in ("fresnel", "fraunhofer"):
            with self.subTest(model=model):
                _, value = slits.continuum("monogap", phase_model=model)
                relative = np.abs(value**2 / exact**2 - 1)
                gap = gaps[model]
                self.assertAlmostEqual(gap.median / np.sort(relative)[len(x) // 2], 1, delta=1e-3)
                self.assertAlmostEqual(gap.largest / relative.max(), 1, delta=0.01)
                self.assertEqual(gap.at, x[relative.argmax()])
                self.assertAlmostEqual(gap.largest_of_peak / (
                    np.abs(value**2 - exact**2).max() / (exact**2).max()), 1, delta=0.01)
                self.assertEqual(gap.first_departure, np.abs(x[relative >= 0.01]).min())
        self.assertEqual(gaps.setup.lengths, slits.Setup.preset("monogap").lengths)

    def test_the_command_line(self):
        run = [sys.executable, "-m", "slits", "gap", "--program", "duogap", "--samples", "200"]
        done = subprocess.run(run + ["--models", "fresnel"], capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        self.assertRegex(done.stdout, r"\nfresnel +[0-9.e+-]+ +2\.83\d* .* nowhere\n")
        done = subprocess.run(run + ["--models", "paraxial"], capture_output=True, text=True)
        self.assertEqual((done.returncode, done.stdout), (2, ""))
        self.assertRegex(done.stderr, "^slits gap: error: --phase-model: 'paraxial'")


if __name__ == "__main__":
    unittest.main(verbosity=2)
