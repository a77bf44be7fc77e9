"""slits.pattern_at, fit, read_profile and `python3 -m slits fit`."""

import os
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import numpy as np

import slits

SMALL = dict(wavelength=5.32e-4, source_samples=7, entrance_samples=11, pair_samples=9,
             screen_count=37, sampling="midpoint")
LED_BENCH = dict(source_samples=30, entrance_samples=30, pair_samples=30, method="propagate")


def box_average(program, u, width, bench, nodes=64):
    """The intensity averaged over a sensor of `width` by `nodes` Gauss-Legendre nodes:
    converged far beyond the fit's own choice, so the data are the exact box average."""
    t, w = np.polynomial.legendre.leggauss(nodes)
    at = (u[:, None] + width / 2 * t).ravel()
    value = slits.pattern_at(program, at, **bench).reshape(len(u), nodes)
    intensity = value if program.startswith("conv_") else value * value
    return intensity @ (w / 2)


def synthetic(program, x, truth, bench, sides="both"):
    u = truth["position_scale"] * (x - truth["centre"])
    if sides == "one":
        u = np.abs(u)
    shape = box_average(program, u, truth["sensor_width"], dict(bench, **{
        name: value for name, value in truth.items() if name not in slits.fitting.NUISANCES}))
    return truth["intensity_scale"] * shape + truth["background"]


def bits(a):
    return np.asarray(a, dtype=np.float64).view(np.uint64)


class PatternAt(unittest.TestCase):

    def test_the_program_grid_gives_the_printed_numbers(self):
        for program in ("monogap", "duogap", "conv_monogap", "broad_monogap", "broad_duogap",
                        "conv_duogap"):
            for method in ("literal", "propagate"):
                with self.subTest(program=program, method=method):
                    x, value = slits.pattern(program, method=method, **SMALL)
                    at = slits.pattern_at(program, x, method=method, threads=2, **SMALL)
                    np.testing.assert_array_equal(bits(at), bits(value))
                    # Each position on its own: any order, any neighbours in its block.
                    order = np.random.default_rng(1).permutation(len(x))
                    at = slits.pattern_at(program, x[order], method=method, **SMALL)
                    np.testing.assert_array_equal(bits(at), bits(value[order]))

    def test_ctrl_c_stops_it(self):
        self.addCleanup(signal.signal, signal.SIGINT,
                        signal.signal(signal.SIGINT, signal.default_int_handler))
        x = np.linspace(-4, 4, 100000)
        for threads in (1, 2):
            with self.subTest(threads=threads):
                ctrl_c = threading.Timer(0.3, signal.pthread_kill,
                                         (threading.get_ident(), signal.SIGINT))
                start = time.monotonic()
                ctrl_c.start()
                with self.assertRaises(KeyboardInterrupt):
                    slits.pattern_at("duogap", x, entrance_samples=2000, pair_samples=2000,
                                     threads=threads)
                self.assertLess(time.monotonic() - start, 10)
                ctrl_c.join()


class Fit(unittest.TestCase):

    RECOVERY = [
        # program, bench, truth, free, sides
        ("duogap", dict(method="propagate"),
         dict(pair_separation=0.5, pair_slit_width=0.15, centre=0.1, position_scale=1.0,
              sensor_width=0.0, intensity_scale=300.0, background=5.0),
         ["pair_separation", "pair_slit_width"], "both"),
        ("duogap", dict(method="propagate"),
         dict(pair_slit_width=0.15, centre=0.0, position_scale=1.0, sensor_width=0.2,
              intensity_scale=300.0, background=5.0),
         ["pair_slit_width", "position_scale", "sensor_width"], "one"),
        ("conv_duogap", LED_BENCH,
         dict(pair_separation=0.5, pair_slit_width=0.15, centre=-0.2, position_scale=1.0,
              sensor_width=0.5, intensity_scale=2.0, background=0.1),
         ["pair_separation", "pair_slit_width", "sensor_width"], "both"),
        # A narrow first slit: with the default 0.8 mm the LED's fringes sit near a zero
        # of their visibility, about sinc(pi d w / (wavelength pair_distance)), and
        # starting 5 % above in both d and w crosses it, into another minimum.
        ("conv_duogap", LED_BENCH,
         dict(pair_separation=0.5, pair_slit_width=0.15, entrance_width=0.15, centre=0.05,
              position_scale=1.0, sensor_width=0.5, intensity_scale=2.0, background=0.1),
         ["pair_separation", "pair_slit_width", "entrance_width"], "both"),
    ]

    def test_noise_free_data_are_recovered(self):
        for program, bench, truth, free, sides in self.RECOVERY:
            with self.subTest(program=program, free=free, sides=sides):
                x = np.linspace(0, 4, 161) if sides == "one" else np.linspace(-3.5, 3.3, 241)
                y = synthetic(program, x, truth, bench, sides)
                off = {name: truth[name] * 1.05 for name in free}
                keywords = {name: truth[name] for name in ("sensor_width", "position_scale")}
                keywords.update(off)
                start = {name: off[name] for name in free if name in keywords}
                if sides == "both":
                    start["centre"] = truth["centre"] * 1.05
                result = slits.fit(x, y, program=program, free=free, start=start, sides=sides,
                                   **dict(bench, **keywords))
                self.assertEqual(result.degenerate, [])
                for name in result.names:
                    self.assertLess(abs(result.values[name] / truth[name] - 1), 1e-8, name)
                if not truth["sensor_width"]:
                    continue
                self.assertLessEqual(result.sensor_error, 1e-11)
                # The sensor's nodes are converged: twice as many change nothing that shows.
                finer = slits.fit(x, y, program=program, free=free, start=start, sides=sides,
                                  sensor_nodes=2 * result.sensor_nodes, **dict(bench, **keywords))
                for name in result.names:
                    self.assertLess(abs(finer.values[name] / result.values[name] - 1), 1e-10)

    def test_noise_free_three_slits_are_recovered(self):
        # Near the far field (Fresnel number about 1), where the slits' width,
        # their period and the screen's distance all still shape the pattern.
        setup = slits.Setup(wavelength=5.32e-4, phase_model="fresnel", sampling="midpoint",
                            planes=[(10, [slits.Grating(3, 0.05, 0.25, 40)])],
                            screen=(1000, -5, 5, 100))
        truth = {"slits.width": 0.05, "slits.period": 0.25, "screen.distance": 1000.0}
        x = np.linspace(-4, 4.2, 241)
        # The setup's own model, and the exact scalar one by a keyword.
        for model in ({}, {"phase_model": "rs"}):
            with self.subTest(**model):
                _, shape = slits.compute(setup.replace(**model), x - 0.1)
                result = slits.fit(x, 300 * shape + 5, setup=setup.replace(
                    {name: 1.05 * value for name, value in truth.items()}), free=list(truth),
                    start={"centre": 0.105}, **model)
                self.assertEqual(result.degenerate, [])
                for name, value in dict(truth, centre=0.1, intensity_scale=300,
                                        background=5).items():
                    self.assertLess(abs(result.values[name] / value - 1), 1e-8, name)
                self.assertTrue(str(result).startswith("setup: 241 points, 6 fitted parameters"))

    def test_wavelength_and_screen_distance_of_a_far_field_bench_are_degenerate(self):
        # A plane wave on the pair (one first-slit sample, on the axis): the
        # pattern depends on wavelength * screen_distance alone.
        bench = dict(entrance_samples=1, sampling="midpoint", screen_distance=2000.0)
        x = np.linspace(-6, 6, 241)
        y = 300 * slits.pattern_at("duogap", x, **bench) ** 2 + 5
        y += np.random.default_rng(1).normal(0, 2, len(x))
        result = slits.fit(x, y, 2.0, program="duogap", free="wavelength,screen_distance,led_sigma",
                           **dict(bench, wavelength=6.6e-4))
        self.assertEqual(len(result.degenerate), 2)
        self.assertIn("led_sigma does not change the model", result.degenerate[0])
        self.assertRegex(result.degenerate[1], "^wavelength and screen_distance cannot be told "
                         r"apart: changing wavelength by [+-]1 %, screen_distance by [+-]1 %")
        for name in ("wavelength", "screen_distance", "led_sigma"):
            self.assertEqual(result.errors[name], np.inf)
        self.assertTrue(np.isfinite(result.errors["background"]))
        self.assertIn("cannot be told apart", str(result))

    def test_bad_data_are_refused_with_the_reason(self):
        x = np.linspace(-2, 2, 9)
        y = np.ones(9)
        cases = [
            (dict(y=np.where(x == 0, np.nan, y)), r"y\[4\] is nan"),
            (dict(x=np.where(x == 1, np.inf, x)), r"x\[6\] is inf"),
            (dict(x=np.where(x == 1, 0.5, x)), r"x\[5\] and x\[6\] are the same position"),
            (dict(x=x[:5], y=y[:5]), "5 data points for 5 fitted parameters"),
            (dict(y=y[:8]), "y holds 8 values for 9 positions"),
            (dict(sigma=np.where(x == 0, 0.0, 1.0)), r"sigma\[4\] is not above 0"),
            (dict(free="pair_gap"), "'pair_gap' is neither a length of the bench"),
            (dict(pair_separation=0.1), "--pair-separation: .*overlap"),
            (dict(start={"wavelength": 1.0}), "'wavelength' is not a fitted parameter"),
            (dict(free="pair_separation,sensor_width"), "sensor_width is fitted: its start"),
            (dict(sides="left"), "sides must be 'both' or 'one'"),
        ]
        for change, reason in cases:
            with self.subTest(reason=reason):
                keywords = dict(x=x, y=y, sigma=None, program="duogap",
                                free="pair_separation,pair_slit_width")
                keywords.update(change)
                with self.assertRaisesRegex(ValueError, reason):
                    slits.fit(keywords.pop("x"), keywords.pop("y"), keywords.pop("sigma"),
                              **keywords)


class ReadProfile(unittest.TestCase):

    def read(self, text, **columns):
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
            f.write(text)
        self.addCleanup(os.remove, f.name)
        return slits.read_profile(f.name, **columns)

    def test_layouts(self):
        expected = ([-1.5, 0.0, 2.5], [3.0, 4.0, 5.5], [0.1, 0.2, 0.3])
        for text, columns in [
            ("# scan 3\n\nx,volts,err\n-1.5,3,0.1\n0,4,0.2\n\n2.5,5.5,0.3\n",
             dict(x="x", y="VOLTS", sigma=3)),
            ("x\tvolts\terr\n-1.5\t3\t0.1\n# paused\n0\t4\t0.2\n2.5\t5.5\t0.3\n",
             dict(x=1, y="volts", sigma="err")),
            ("# x volts err\n-1.5 3   0.1\n0 4 0.2\n  2.5 5.5 0.3\n", dict(sigma="err")),
            ('"x";"volts";"err"\n-1.5;3;0.1\n0;4;0.2\n2.5;5.5;0.3\n', dict(y="2", sigma="err")),
        ]:
            with self.subTest(text=text):
                profile = self.read(text, **columns)
                for got, want in zip(profile, expected):
                    np.testing.assert_array_equal(got, want)
        self.assertIsNone(self.read("1 2\n3 4\n").sigma)

    def test_refusals(self):
        for text, columns, reason in [
            ("x,y\n1,2\n3\n", {}, r":3: 1 columns where the file has 2"),
            ("x,y\n1,2\n3,abc\n", {}, r":3: the y column holds 'abc', not a number"),
            ("x y\n1 nan\n", {}, r":2: the y column holds 'nan', not a finite number"),
            ("x,y\n1,2\n", dict(y="z"), r"no column named 'z'; the header names 'x', 'y'"),
            ("1 2\n", dict(y="y"), r"the file has no header"),
            ("1 2\n", dict(x=0), r"x column 0 does not exist: columns count from 1 to 2"),
            ("# only words\n\n", {}, r"no data lines"),
        ]:
            with self.subTest(text=text):
                with self.assertRaisesRegex(ValueError, reason):
                    self.read(text, **columns)


class CommandLine(unittest.TestCase):

    def run_fit(self, folder, *arguments):
        return subprocess.run([sys.executable, "-m", "slits", "fit", *arguments], cwd=folder,
                              capture_output=True, text=True)

    def test_a_scan_from_a_csv_file(self):
        truth = dict(pair_separation=0.5, pair_slit_width=0.15, centre=0.1, position_scale=1.0,
                     sensor_width=0.0, intensity_scale=300.0, background=5.0)
        x = np.linspace(-3, 3.2, 151)
        y = synthetic("duogap", x, truth, dict(method="propagate"))
        y += np.random.default_rng(2).normal(0, 2, len(x))
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "scan.csv"), "w") as f:
                f.write("position,volts\n" + "".join(f"{a!r},{b!r}\n" for a, b in zip(x, y)))
            done = self.run_fit(folder, "scan.csv", "--program", "duogap", "--free",
                                "pair_separation,pair_slit_width", "--pair-separation", "0.52",
                                "--sigma-value", "2", "--plot", "fit.png")
            self.assertEqual(done.returncode, 0, done.stderr)
            row = next(line for line in done.stdout.splitlines()
                       if line.startswith("pair_separation "))
            value, error = map(float, row.split()[1:3])
            self.assertLess(abs(value - 0.5), 3 * error)
            self.assertIn("degrees of freedom", done.stdout)
            self.assertTrue(os.path.getsize(os.path.join(folder, "fit.png")) > 0)

            for arguments, reason in [
                (["--free", "pair_separation"], "one of the arguments --program --setup is required"),
                (["--program", "duogap", "--free", "pair_separation", "--wavelength", "0"],
                 "--wavelength: '0' is not greater than zero"),
                (["--program", "duogap", "--free", "pair_separation", "--y", "amps"],
                 "no column named 'amps'"),
                (["--program", "duogap", "--free", "pair_separation", "--plot", "fit.xyz"],
                 "--plot: 'fit.xyz' does not end in one of"),
                (["--setup", "no.setup", "--free", "slits.width"],
                 "no.setup: cannot read the setup file"),
                (["--setup", "scan.csv", "--free", "slits.width", "--wavelength", "5e-4"],
                 "--setup: bench options other than --phase-model and --sampling"),
            ]:
                with self.subTest(arguments=arguments):
                    plot = [] if "--plot" in arguments else ["--plot", "again.png"]
                    done = self.run_fit(folder, "scan.csv", *arguments, *plot)
                    self.assertEqual(done.returncode, 2)
                    self.assertEqual(done.stdout, "")
                    self.assertRegex(done.stderr, f"^slits fit: error: .*{reason}.*\n$")
                    self.assertEqual(sorted(os.listdir(folder)), ["fit.png", "scan.csv"])


if __name__ == "__main__":
    unittest.main()
