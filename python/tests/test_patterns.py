"""slits.pattern, continuum, ledcurve and bench against the programs' own output and refusals."""

import os
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import slits

PROGRAMS = os.environ["SLITS_PROGRAM_DIR"]
SMALL = dict(wavelength=5.32e-4, source_samples=7, entrance_samples=11, pair_samples="9",
             screen_count=37, sampling="midpoint")
SMALL_OPTIONS = ["--wavelength", "5.32e-4", "--source-samples", "7", "--entrance-samples", "11",
                 "--pair-samples", "9", "--screen-count", "37", "--sampling", "midpoint"]


def run(command, *options):
    with tempfile.TemporaryDirectory() as folder:
        done = subprocess.run([os.path.join(PROGRAMS, command), "--precision", "17", *options],
                              cwd=folder, capture_output=True, text=True)
        data = os.path.join(folder, command + ".txt")
        lines = open(data).read() if os.path.exists(data) else done.stdout
        return done.returncode, lines.splitlines(), done.stderr


def printed(x, value):
    return ["%.17g %.17g" % pair for pair in zip(x, value)]


class Patterns(unittest.TestCase):

    def test_values_are_the_printed_numbers(self):
        cases = [
            ("duogap", {}, []),
            ("broad_duogap", dict(method="propagate", threads=2, phase_model="fresnel"),
             ["--method", "propagate", "--phase-model", "fresnel"]),
        ]
        for program, extra, options in cases:
            with self.subTest(program=program):
                _, expected, _ = run(program, "--quiet", *SMALL_OPTIONS, *options)
                self.assertEqual(len(expected), 37)
                self.assertEqual(printed(*slits.pattern(program, **SMALL, **extra)), expected)
        _, expected, _ = run("ledcurve", "--led-sigma", "3.5")
        self.assertEqual(printed(*slits.ledcurve(led_sigma=3.5)), expected)
        _, version, _ = run("duogap", "--version")
        self.assertEqual(version[0], "duogap " + slits.__version__)

    @unittest.skipUnless(hasattr(slits._slits, "continuum"), "built without libcerf")
    def test_continuum(self):
        _, expected, _ = run("continuum", *SMALL_OPTIONS, "broad_monogap")
        self.assertEqual(printed(*slits.continuum("broad_monogap", **SMALL)), expected)

    def test_refusals_are_the_programs_messages(self):
        cases = [
            (dict(pair_samples=0), ["--pair-samples", "0"]),
            (dict(screen_count=10.0), ["--screen-count", "10.0"]),
            (dict(wavelength=-1e-3), ["--wavelength", "-0.001"]),
            (dict(led_sigma=float("inf")), ["--led-sigma", "inf"]),
            (dict(pair_separation=0.1), ["--pair-separation", "0.1"]),
            (dict(phase_model="paraxial"), ["--phase-model", "paraxial"]),
            (dict(threads=257), ["--threads", "257"]),
            (dict(bench="no such file"), ["--bench", "no such file"]),
        ]
        for keywords, options in cases:
            with self.subTest(keywords=keywords):
                status, _, stderr = run("duogap", "--quiet", *options)
                self.assertEqual(status, 2)
                with self.assertRaises(ValueError) as refused:
                    slits.pattern("duogap", **keywords)
                self.assertEqual(stderr.splitlines()[0], "duogap: error: " + str(refused.exception))

    def test_no_value_that_is_not_a_result(self):
        # Benches that overflow or underflow binary64, and an empty file name
        # (an unset variable) that must not mean the default bench.
        cases = [(slits.pattern, ["duogap"], dict(wavelength=1e-308)),
                 (slits.pattern, ["monogap"], dict(single_screen_max=1e308)),
                 (slits.pattern, ["conv_monogap"], dict(source_samples=99, led_sigma=0.0005)),
                 (slits.ledcurve, [], dict(led_sigma=1e-320)),
                 (slits.bench, [], dict(bench=""))]
        if hasattr(slits._slits, "continuum"):
            cases.append((slits.continuum, ["duogap"], dict(wavelength=1e-308)))
        for function, program, keywords in cases:
            with self.subTest(function=function.__name__, keywords=keywords):
                with self.assertRaises(ValueError) as refused:
                    function(*program, **keywords)
                self.assertNotIn("\n", str(refused.exception))

    def test_ctrl_c_stops_a_long_pattern(self):
        # About three minutes of sums on one core (AMD EPYC, AVX-512 kernel),
        # in blocks of a few tens of milliseconds.
        long_bench = dict(entrance_samples=2000, pair_samples=2000, screen_count=10000)
        self.addCleanup(signal.signal, signal.SIGINT,
                        signal.signal(signal.SIGINT, signal.default_int_handler))
        for threads in (1, 2):
            with self.subTest(threads=threads):
                ctrl_c = threading.Timer(0.3, signal.pthread_kill,
                                         (threading.get_ident(), signal.SIGINT))
                start = time.monotonic()
                ctrl_c.start()
                with self.assertRaises(KeyboardInterrupt):
                    slits.pattern("duogap", threads=threads, **long_bench)
                self.assertLess(time.monotonic() - start, 10)
                ctrl_c.join()

    def test_keywords_that_are_no_options(self):
        for call in [lambda: slits.pattern("duogap", pair_sample=3),
                     lambda: slits.pattern("duogap", output="x.txt"),
                     lambda: slits.continuum("duogap", threads=2),
                     lambda: slits.bench(precision=17)]:
            with self.assertRaisesRegex(TypeError, "unexpected keyword argument '[a-z_]+'"):
                call()
        for bad in [True, 1j, [0.5]]:
            with self.assertRaises(TypeError):
                slits.bench(wavelength=bad)
        with self.assertRaisesRegex(ValueError, "'ledcurve' is not a pattern program"):
            slits.pattern("ledcurve")
        with self.assertRaisesRegex(TypeError, r"^pattern\(\): program must be .*NoneType$"):
            slits.pattern(None)

    def test_import_without_the_compiled_part(self):
        source = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
        done = subprocess.run([sys.executable, "-c", "import slits"], cwd=source,
                              env=dict(os.environ, PYTHONPATH=source), capture_output=True,
                              text=True)
        self.assertRegex(done.stderr, "ImportError: slits: the compiled part, _slits, is not in "
                         ".* Build it with `cmake --workflow --preset patterns`")

    def test_bench_round_trip(self):
        given = dict(wavelength=0.1 + 0.2, pair_samples=400, phase_model="fresnel",
                     method="propagate")
        effective = slits.bench(**given)
        self.assertEqual({name: effective[name] for name in given}, given)
        self.assertEqual(effective["screen_count"], 1000)
        with tempfile.NamedTemporaryFile("w", suffix=".txt") as file:
            file.writelines(f"{name} {value!r}\n".replace("'", "") for name, value in
                            effective.items())
            file.flush()
            self.assertEqual(slits.bench(bench=file.name), effective)
            self.assertEqual(slits.bench(bench=file.name, method="literal")["method"], "literal")


if __name__ == "__main__":
    unittest.main(verbosity=2)
