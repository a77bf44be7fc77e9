// The validation report's numerical steps on cases with known answers.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <stdexcept>

#include "analysis.hpp"

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
