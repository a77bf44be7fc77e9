"""slits.fit's standard errors: the 1-sigma intervals of fits to seeded noisy scans with known
sigma cover the truth in 68 +- 5 % of the fits, for every fitted parameter.

The count over 200 scans is binomial, 68.3 +- 3.3 %: a band of +-5 % is 1.5 of its standard
deviations, and a correct fit holds it for all five parameters in about one set of 200 out of
three. The band is therefore applied to five sets of 200 pooled, where it is +-3.4 standard
deviations, which errors 20 % off still fail.
"""

import unittest

import numpy as np

import slits
from test_fit import synthetic


class Coverage(unittest.TestCase):

    def test_one_sigma_intervals_cover_the_truth_in_68_percent(self):
        truth = dict(pair_separation=0.5, pair_slit_width=0.15, centre=0.1, position_scale=1.0,
                     sensor_width=0.2, intensity_scale=300.0, background=5.0)
        bench = dict(method="propagate")
        x = np.linspace(-3, 3.2, 151)
        clean = synthetic("duogap", x, truth, bench)
        names = ["pair_separation", "pair_slit_width", "centre", "intensity_scale", "background"]
        covered = {name: [] for name in names}  # one count per batch of noise
        for batch in range(1, 6):
            rng = np.random.default_rng(batch)
            counts = dict.fromkeys(names, 0)
            for _ in range(200):
                y = clean + rng.normal(0, 2.0, len(x))
                result = slits.fit(x, y, 2.0, program="duogap",
                                   free="pair_separation,pair_slit_width", sensor_width=0.2,
                                   pair_separation=0.52, pair_slit_width=0.145, **bench)
                self.assertEqual(sorted(result.names), sorted(names))
                for name in names:
                    counts[name] += abs(result.values[name] - truth[name]) <= result.errors[name]
            for name in names:
                covered[name].append(counts[name])
        for name, counts in covered.items():
            with self.subTest(name=name):
                self.assertTrue(0.63 <= sum(counts) / 1000 <= 0.73,
                                f"{name}: {sum(counts)} of 1000 intervals hold the truth; by batch {counts}")


if __name__ == "__main__":
    unittest.main()
