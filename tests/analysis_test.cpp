// The validation report's numerical steps and the bench's scales it
// predicts, on cases with known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <stdexcept>
#include <tuple>

#include "analysis.hpp"
#include "integrals.hpp"
#include "scales.hpp"

using namespace analysis;

TEST(Compare, LargestAndRmsDifferenceAndWhere) {
  const distance d = compare({0, 1, 2}, {1, 2, 3}, {0, 1, 2}, {1, 2.5, -3});
  EXPECT_EQ(d.largest, 6);
  EXPECT_EQ(d.at, 2);
  EXPECT_DOUBLE_EQ(d.rms, std::sqrt((0.25 + 36) / 3));
  EXPECT_EQ(d.peak, 3);
  EXPECT_THROW(compare({0, 1}, {1, 2}, {0, 1.5}, {1, 2}), std::invalid_argument);
  EXPECT_THROW(compare({0, 1}, {1, 2}, {0}, {1}), std::invalid_argument);
}

// A parabola's vertex exactly; the extrema of cos 2x on a grid near their
// true places, minima and maxima apart, none at the ends or beyond `below`.
TEST(Extrema, ParabolaVertexAndLocalExtremaOnAGrid) {
  auto parabola = [](double x) { return 2 * (x - 0.37) * (x - 0.37) + 1; };
  EXPECT_NEAR(vertex_offset(parabola(-1), parabola(0), parabola(1)), 0.37, 1e-15);
  std::vector<double> x, y;
  for (int i = 0; i < 500; ++i) x.push_back(0.01 * i), y.push_back(std::cos(2 * x.back()));
  const double pi = std::numbers::pi;
  const auto minima = extrema(x, y, false, 5), maxima = extrema(x, y, true, 5);
  ASSERT_EQ(minima.size(), 2u);
  EXPECT_NEAR(minima[0].x, pi / 2, 1e-6);
  EXPECT_NEAR(minima[1].x, 3 * pi / 2, 1e-6);
  ASSERT_EQ(maxima.size(), 1u);
  EXPECT_NEAR(maxima[0].x, pi, 1e-6);
  EXPECT_EQ(extrema(x, y, false, 3).size(), 1u);
}

// e = C / N^p with a ripple of 1 %: the fit finds p, two pure points give it
// exactly.
class Order : public testing::TestWithParam<double> {};

TEST_P(Order, FitsTheExponentOfSyntheticErrors) {
  const double p = GetParam();
  std::vector<double> n, e;
  for (double count = 25; count <= 10000; count *= 2)
    n.push_back(count), e.push_back(3 / std::pow(count, p) * (1 + 0.01 * std::sin(count)));
  EXPECT_NEAR(fitted_order(n, e), p, 0.01);
  EXPECT_NEAR(order_between(100, 3 / std::pow(100, p), 400, 3 / std::pow(400, p)), p, 1e-12);
  EXPECT_THROW(fitted_order({100}, {1e-3}), std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(OneOverNAndNSquared, Order, testing::Values(1.0, 2.0));

// Copies of a Gaussian every P = 4.3 (off the grid of step 0.02), each found
// from a guess 0.3 off, and the period through them.
TEST(Ghosts, ShiftedCopiesAndTheirPeriod) {
  const double h = 0.02, P = 4.3;
  auto bump = [](double u) { return std::exp(-u * u / 0.18); };
  std::vector<double> y(1000), profile;
  for (std::size_t i = 0; i < y.size(); ++i)
    for (int m = 0; m <= 5; ++m) y[i] += bump(double(i) * h - m * P);
  for (int j = 0; j <= 60; ++j) profile.push_back(bump(j * h));
  std::vector<double> centres;
  for (int m = 1; m <= 4; ++m) {
    centres.push_back(fit_shift(y, h, profile, m * P + 0.3, 0.8));
    EXPECT_NEAR(centres.back(), m * P, 2e-3) << "copy " << m;
  }
  EXPECT_NEAR(period_through_origin(centres), P, 1e-3);
  EXPECT_THROW(fit_shift(y, h, profile, 19.5, 0.8), std::invalid_argument);  // beyond the grid
}

// The default bench with some parameters set.
bench set(std::initializer_list<std::pair<parameter_id, const char*>> values) {
  bench b = default_bench();
  for (const auto& [id, text] : values) assign(b, parameter(id), text);
  b.derive();
  return b;
}
bench in_model(bool fresnel) {
  return set({{parameter_id::phase_model, fresnel ? "fresnel" : "classic"}});
}

// N* = w · (steepest phase slope across the limiting aperture) / (2 pi),
// the slope of k u (u - v)/L being k (2u - v)/L, steepest at u = -w/2
// against the farthest v (the LED programs add both hops' slopes).
class ResolvingCount : public testing::TestWithParam<program_id> {};

TEST_P(ResolvingCount, IsTheSteepestClassicPhaseInClosedForm) {
  const bench b = in_model(false);
  const double we = b.entrance_width, ws = b.source_width, xs = b.single_screen_max;
  const double L1 = b.source_distance, L2 = b.pair_distance, Lp = L2 + b.screen_distance;
  const double outer = b.pair_separation / 2 + b.pair_slit_width / 2, lambda = b.wavelength;
  const program_id id = GetParam();
  const bool broad = id == program_id::broad_monogap || id == program_id::broad_duogap;
  const bool led = id == program_id::conv_monogap || id == program_id::conv_duogap;
  const bool single = id == program_id::monogap || id == program_id::broad_monogap ||
                      id == program_id::conv_monogap;
  const double onwards = single ? (we + xs) / Lp : (we + outer) / L2;
  double expected = broad ? ws * (ws + we / 2) / (lambda * L1) : we * onwards / lambda;
  if (led) expected += we * (we + ws / 2) / (lambda * L1);
  const continuum::limiting_aperture limiting = continuum::resolving_count(b, program(id));
  EXPECT_NEAR(limiting.nstar, expected, 1e-9 * expected);
  EXPECT_EQ(limiting.name, broad ? "source" : "first slit");
}

INSTANTIATE_TEST_SUITE_P(Programs, ResolvingCount,
                         testing::Values(program_id::monogap, program_id::duogap,
                                         program_id::broad_monogap, program_id::broad_duogap,
                                         program_id::conv_monogap, program_id::conv_duogap));

// The first slit's mean wave against the chirp integral in closed form; its
// lit centre on the axis for a slit centred there, and the middle of a slit
// too narrow to be lit unevenly.
class FirstSlitWave : public testing::TestWithParam<std::tuple<bool, double>> {};

TEST_P(FirstSlitWave, IsTheChirpIntegral) {
  const auto [fresnel, y] = GetParam();
  const bench b = in_model(fresnel);
  const double k = b.wavenumber, L = b.pair_distance, w = b.entrance_width;
  const std::complex<double> integral =
      fresnel
          ? continuum::chirp_integral(k / (2 * L), -k * y / L, k * y * y / (2 * L), -w / 2, w / 2)
          : continuum::chirp_integral(k / L, -k * y / L, 0, -w / 2, w / 2);
  EXPECT_LT(std::abs(continuum::first_slit_wave(b, y, L) - integral / w), 1e-12);
  EXPECT_NEAR(continuum::lit_centre(b, -0.1, 0.2, L), 0, 1e-12);
  EXPECT_NEAR(continuum::lit_centre(b, y + 0.3, 1e-5, L), y + 0.300005, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(BothModels, FirstSlitWave,
                         testing::Combine(testing::Bool(), testing::Values(0.0, 0.3, 2.0)));

// The classic chain's phase first slit -> double slit -> screen is the
// textbook chain's at half the double slit's scale, up to a phase of x
// alone; a Fresnel number counts half-period zones, pi N = k (w/2)^2 / (2L).
TEST(Scales, TextbookChainAndFresnelNumber) {
  const bench classic = in_model(false), textbook = in_model(true);
  const continuum::textbook_chain t = continuum::textbook_equivalent(classic);
  const double L2 = classic.pair_distance, L3 = classic.screen_distance;
  auto excess = [&](double s, double y, double x) {
    return classic.hop_phase(s, y, L2) + classic.hop_phase(y, x, L3) -
           textbook.hop_phase(s, y / 2, t.pair_distance) -
           textbook.hop_phase(y / 2, t.scale * x, t.screen_distance);
  };
  for (double s : {-0.4, 0.1, 0.4})
    for (double y : {-0.325, 0.2})
      for (double x : {0.0, 1.5, 3.9}) EXPECT_NEAR(excess(s, y, x), excess(0, 0, x), 1e-9);
  const double w = classic.entrance_width, phase = textbook.hop_phase(w / 2, 0, L2);
  EXPECT_NEAR(std::numbers::pi * continuum::fresnel_number(classic, w, L2), phase, 1e-12 * phase);
}

// Sampled apertures: |monogap's sum| repeats on the screen, in either rule;
// the source sum's first alias is stationary a_1 from the source's own
// stationary point and tilts the wave so that the onward hop shifts it by
// ghost_shift; the light through the first slit's edge lands at its image.
TEST(Scales, RepeatsGhostsAndImage) {
  for (const char* rule : {"left-edge", "midpoint"}) {
    const bench b = set({{parameter_id::sampling, rule}, {parameter_id::entrance_samples, "25"}});
    const double Lp = continuum::single_screen_distance(b);
    auto modulus = [&](double x) {
      std::complex<double> sum = 0;
      for (int n = 0; n < 25; ++n)
        sum += std::exp(std::complex<double>(0, b.hop_phase(b.entrance_point(n), x, Lp)));
      return std::abs(sum);
    };
    for (double x : {0.3, 1.7})
      EXPECT_NEAR(modulus(x + continuum::first_slit_repeat(b, Lp, 25)), modulus(x), 1e-11) << rule;
  }
  const bench b = in_model(false);
  const int n = 300;
  const double L1 = b.source_distance, Lp = continuum::single_screen_distance(b),
               step = b.source_width / n;
  const double s = 0.3, x = 1.1, a1 = continuum::ghost_shift(b, L1, n);
  const double slope =
      (b.hop_phase(s / 2 + a1 + 1e-4, s, L1) - b.hop_phase(s / 2 + a1 - 1e-4, s, L1)) / 2e-4;
  EXPECT_NEAR(slope, 2 * std::numbers::pi / step, 1e-6 * slope);
  EXPECT_NEAR(b.hop_phase(s, x, Lp) - std::numbers::pi * s / step,
              b.hop_phase(s, x + continuum::ghost_shift(b, Lp, n), Lp), 1e-9);
  for (double L : {b.pair_distance, Lp}) {  // upright image, inverted image
    const double edge = b.entrance_width / 2, y = continuum::first_slit_image(b, L);
    auto path = [&](double u) { return b.hop_phase(u / 2, u, L1) + b.hop_phase(u, y, L); };
    EXPECT_NEAR((path(edge + 1e-4) - path(edge - 1e-4)) / 2e-4, 0, 1e-6) << "L = " << L;
  }
}
