// The shared bench against its literal formulas, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <numbers>
#include <sstream>
#include <string>

#include "bench.hpp"
#include "literal.hpp"
#include "run_program.hpp"

using literal::bits;

const bench& b = default_bench();

TEST(Grids, MatchTheLiteralFormulasAtEverySample) {
  for (int j = 0; j < 100; ++j) {
    EXPECT_EQ(bits(b.source_point(j)), bits(literal::source(j))) << j;
    EXPECT_EQ(bits(b.entrance_point(j)), bits(literal::slit(j))) << j;
    EXPECT_EQ(bits(b.pair_point(j)), bits(literal::upper(j))) << j;
  }
  for (int i = 0; i < 10000; ++i)
    EXPECT_EQ(bits(screen_point(i, 10000, 20)), bits(literal::screen(i, 10000.0, 20.0)));
}

TEST(Grids, EdgesAndAxis) {
  // Left-edge sampling: the lower edge is sampled, the upper edge never.
  EXPECT_EQ(b.entrance_point(0), -0.4);
  EXPECT_EQ(b.entrance_point(99), 0.392);
  EXPECT_EQ(b.source_point(0), -2.5);
  EXPECT_EQ(b.source_point(99), 2.45);
  // Sample 50 of a centred aperture is exactly the axis.
  EXPECT_EQ(bits(b.entrance_point(50)), bits(0.0));
  EXPECT_EQ(bits(b.source_point(50)), bits(0.0));
  EXPECT_EQ(b.hop_phase(b.entrance_point(50), 3.0, 700), 0.0);
  // The pair: upper slit from its inner edge 0.175 outwards; the lower slit is
  // its mirror image, so -0.175 is sampled and -0.325 is not.
  EXPECT_EQ(b.pair_point(0), 0.175);
  EXPECT_EQ(b.pair_point(99), 0.3235);
  EXPECT_GT(-b.pair_point(99), -0.325);
  EXPECT_EQ(bits(screen_point(0, 1000, 4)), bits(0.0));
  EXPECT_EQ(screen_point(999, 1000, 4), 3.996);
  EXPECT_EQ(screen_point(999, 1000, 20), 19.98);
  EXPECT_EQ(screen_point(9999, 10000, 20), 19.998);
}

TEST(Phases, HopPhaseMatchesTheLiteralGrouping) {
  EXPECT_EQ(bits(b.wavenumber), bits(literal::k));
  for (int m = 0; m < 100; ++m) {
    const double y = literal::upper(m);
    for (int i = 0; i < 1000; i += 37) {
      const double x = literal::screen(i, 1000.0, 4.0);
      EXPECT_EQ(bits(b.hop_phase(y, x, 500)), bits(((y - x) * (literal::k * y)) / 500.0));
      // The lower slit: p = -y, written with the multiplier on the left.
      EXPECT_EQ(bits(b.hop_phase(-y, x, 500)), bits(((-y - x) * ((-y) * literal::k)) / 500.0));
    }
    for (int n = 0; n < 100; ++n) {
      const double s = literal::slit(n);
      EXPECT_EQ(bits(b.hop_phase(s, -y, 200)), bits(((s + y) * (literal::k * s)) / 200.0));
    }
  }
  const amplitude sum = phasor(1.25) + phasor(-0.5);
  EXPECT_EQ(sum, amplitude(0.0, 0.75));
}

// The rs hop is the kernel (i k L / 2R) H1(kR) over its value on the axis,
// (L/R)^(3/2) e^(ik(R - L)) S(kR) / S(kL), with S(w) = sqrt(pi w / 2)
// e^(-i(w - 3 pi / 4)) H1(w) slowly varying. The reference forms S from the
// C library's long double j1l and y1l (64-bit mantissa) and k (R - L) as
// k d^2 / (R + L), in long double too. The phase is compared relative to
// itself where it exceeds 1: a binary64 phase carries its own rounding.
TEST(RsHop, IsTheNormalisedHankelKernel) {
  using ld = long double;
  const auto S = [](ld w) {
    const ld J = j1l(w), Y = y1l(w), c = cosl(w), s = sinl(w), h = std::sqrt(ld(0.5));
    // e^(-i(w - 3 pi / 4)) = (cos w + i sin w)^* (-h + i h)
    const std::complex<ld> turn(-h * c + h * s, h * c + h * s);
    return std::sqrt(std::numbers::pi_v<ld> * w / 2) * std::complex<ld>(J, Y) * turn;
  };
  const double k = b.wavenumber;
  double worst = 0;
  for (double kL = 0.5; kL <= 1e8; kL *= 3.7)  // j1 and y1 below 100, the series above
    for (double ratio : {0.0, 1e-4, 3e-2, 0.3, 1.0, 40.0}) {
      const double L = kL / k, d = ratio * L;
      const rs_factor f = rs_hop(k, 0.25 * d, 1.25 * d, L);
      const ld R = std::sqrt(ld(d) * d + ld(L) * L);
      const std::complex<ld> ratio_of_S = S(ld(k) * R) / S(ld(k) * L);
      const ld amplitude = std::pow(ld(L) / R, ld(1.5)) * std::abs(ratio_of_S);
      const ld phase = ld(k) * d * d / (R + L) + std::arg(ratio_of_S);
      const double amplitude_error = std::abs(f.amplitude / amplitude - 1);
      const double phase_error = std::abs(f.phase - phase) / std::max(1.0L, phase);
      EXPECT_LT(amplitude_error, 1e-13) << "kL " << kL << ", d / L " << ratio;
      EXPECT_LT(phase_error, 1e-13) << "kL " << kL << ", d / L " << ratio;
      worst = std::max({worst, amplitude_error, phase_error});
      if (ratio == 0) {
        EXPECT_TRUE(f.amplitude == 1 && f.phase == 0) << "on the axis, kL " << kL;
      }
    }
  RecordProperty("worst_relative_error", literal::g(worst));
}

TEST(Led, SymmetricPeakedAndLiteral) {
  for (int i = -500; i < 500; ++i) {
    const double x = i * 0.1;
    EXPECT_EQ(bits(LED(x, b.led_sigma)), bits(literal::led(x))) << x;
    EXPECT_EQ(bits(LED(x, b.led_sigma)), bits(LED(-x, b.led_sigma))) << x;
    if (i != 0) {
      EXPECT_LT(LED(x, b.led_sigma), LED(0.0, b.led_sigma));
    }
  }
  EXPECT_NEAR(LED(0.0, b.led_sigma), 1 / (12.5 * std::sqrt(2 * 3.14159265358979)), 1e-17);
  // Across the source strip the weight drops only by the factor exp(-0.02).
  EXPECT_NEAR(LED(-2.5, b.led_sigma) / LED(0.0, b.led_sigma), std::exp(-0.02), 1e-15);
}

std::string pair_line(double x, double value) {
  std::ostringstream out;
  write_pair_line(out, x, value);
  return out.str();
}

TEST(NumberFormat, IsPrintfPercentG) {
  EXPECT_EQ(pair_line(0.0, 1.0), "0 1\n");
  EXPECT_EQ(pair_line(0.004, 19.98), "0.004 19.98\n");
  EXPECT_EQ(pair_line(1.0 / 3.0, 0.0000123), "0.333333 1.23e-05\n");
  EXPECT_EQ(pair_line(0.0001, 0.00009999), "0.0001 9.999e-05\n");
  EXPECT_EQ(pair_line(123456.0, 1234567.0), "123456 1.23457e+06\n");
  EXPECT_EQ(pair_line(-50.0, 0.5), "-50 0.5\n");
  for (double v : {0.1234565, 2.5e-7, 19.998, 0.9999996, 1e-300})
    EXPECT_EQ(pair_line(v, v), literal::g(v) + " " + literal::g(v) + "\n");
}

// A bench of one's own is refused at configure time when it makes no sense,
// in one message naming the variable and its value.
struct refusal {
  std::string setting;  // VAR=value, without the SLITS_ prefix
  std::string why;
};

void PrintTo(const refusal& r, std::ostream* out) { *out << r.setting; }

class ConfigureRefuses : public testing::TestWithParam<refusal> {};

TEST_P(ConfigureRefuses, NamingTheVariableAndValue) {
  temp_dir dir;
  const std::string command = std::string("'") + SLITS_CMAKE + "' -S '" + SLITS_SOURCE_DIR +
                              "' -B '" + dir.path.string() + "' -DSLITS_BUILD_TESTS=OFF '-DSLITS_" +
                              GetParam().setting + "' > '" + dir.path.string() + "/log' 2>&1";
  EXPECT_NE(std::system(command.c_str()), 0);
  const std::string log = read_file(dir.path / "log");
  EXPECT_NE(log.find("SLITS_" + GetParam().setting + ": " + GetParam().why), std::string::npos)
      << log;
}

INSTANTIATE_TEST_SUITE_P(
    Nonsense, ConfigureRefuses,
    testing::Values(refusal{"WAVELENGTH=green", "not a decimal number"},
                    refusal{"SOURCE_DISTANCE=0", "must be greater than zero"},
                    refusal{"LED_SIGMA=-1", "must be greater than zero"},
                    refusal{"DOUBLE_SCREEN_MAX=0.0e5", "must be greater than zero"},
                    refusal{"PAIR_SAMPLES=2.5", "not a whole number from 1 to 10000"},
                    refusal{"SCREEN_COUNT=0", "not a whole number from 1 to 1000000"},
                    refusal{"PAIR_SEPARATION=0.1", "the slits of the pair overlap"},
                    refusal{"PHASE_MODEL=exact", "neither classic nor fresnel"}),
    [](const auto& info) { return std::to_string(info.index); });
