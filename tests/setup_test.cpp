// The setup engine against its literal evaluation on small setups of every
// kind, a grating in the far field against the textbook grating formula,
// and a setup file read, printed and read again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "literal.hpp"
#include "run_program.hpp"
#include "sensor.hpp"
#include "setup.hpp"

namespace {

setup read_text(const std::string& text, const fs::path& folder = ".") {
  setup s = empty_setup();
  EXPECT_EQ(read_setup_text(text, "test.setup", folder, s), "");
  EXPECT_EQ(check_setup(s), "");
  return s;
}

std::vector<double> pattern_of(const setup& s, int threads = 1) {
  std::vector<double> values;
  compute_setup(s, threads, [&](int, double, double value) { values.push_back(value); });
  return values;
}

setup with_method(setup s, const char* method) {
  EXPECT_EQ(assign(s.b, parameter(parameter_id::method), method), "");
  s.b.derive();
  return s;
}

struct model {
  const char* phase_model;
  const char* sampling;
};

// Small setups of every kind: three slits; a coherent strip through two
// planes, one with two unequal openings; the LED programs' hops from a
// Gaussian strip through an odd grating; a uniform strip weighing
// intensities through a plane of openings and a grating.
const char* const small_setups[] = {
    "source plane_wave\nplane 10\nslits 3 0.05 0.25 11\nscreen 800 -3 3 41\nquantity amplitude\n",
    "source coherent 2 9\nplane 60\nopening -0.3 0.2 7\nplane 150\nopening -0.4 -0.1 5\n"
    "opening 0.05 0.15 3\nscreen 400 -2 3 29\nquantity intensity\n",
    "source incoherent 3 8 gaussian 1.5 amplitude density led_hops\nplane 70\n"
    "opening -0.4 0.4 9\nplane 200\nslits 3 0.1 0.3 6\nscreen 500 0 4 37\nquantity relative\n",
    "source incoherent 4 7 uniform intensity values\nplane 50\nopening -0.6 -0.4 5\n"
    "slits 2 0.1 0.6 4\nplane 120\nslits 4 0.05 0.2 3\nscreen 300 -1 2 23\n"
    "quantity intensity\n"};

class SetupEngine : public testing::TestWithParam<model> {};

TEST_P(SetupEngine, AgreesWithTheLiteralEvaluation) {
  const auto [phase_model, sampling] = GetParam();
  for (const char* text : small_setups) {
    const setup s = read_text(std::string("wavelength 5.32e-4\nphase_model ") + phase_model +
                              "\nsampling " + sampling + "\n" + text);
    const std::vector<double> literal = pattern_of(with_method(s, "literal"));
    const std::vector<double> engine = pattern_of(with_method(s, "propagate"), 3);
    ASSERT_EQ(literal.size(), engine.size());
    const double peak = *std::max_element(literal.begin(), literal.end());
    for (std::size_t i = 0; i < literal.size(); ++i)
      ASSERT_NEAR(engine[i], literal[i], 1e-12 * peak) << text << "point " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, SetupEngine,
    testing::Values(model{"classic", "left-edge"}, model{"classic", "midpoint"},
                    model{"fresnel", "left-edge"}, model{"fresnel", "midpoint"}),
    [](const auto& info) {
      std::string name = std::string(info.param.phase_model) + "_" + info.param.sampling;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

// Five slits 0.04 wide, 0.1 apart, 1 km behind them: Fresnel number
// (5 x 0.1)^2 / (lambda z) = 5e-4. Far field, relative to the axis:
// [sinc beta sin(5 gamma) / (5 sin gamma)]^2, beta = pi b x / (lambda z),
// gamma = pi p x / (lambda z), over two orders each side. Midpoint
// sampling errs by (phase step)^2 / 24, below 1e-5 with 400 samples a slit.
TEST(Grating, FarFieldMatchesTheGratingFormula) {
  const setup s = read_text(
      "wavelength 5e-4\nphase_model fresnel\nsampling midpoint\nsource plane_wave\nplane 1\n"
      "slits 5 0.04 0.1 400\nscreen 1e6 -12000 12000 1201\nquantity relative\n");
  const std::vector<double> values = pattern_of(s, 2);
  double largest = 0;
  for (int i = 0; i < s.screen_count(); ++i) {
    const double x = s.screen_position(i), pi = 3.14159265358979323846;
    const double beta = pi * 0.04 * x / (5e-4 * 1e6), gamma = pi * 0.1 * x / (5e-4 * 1e6);
    const double sinc = beta == 0 ? 1 : std::sin(beta) / beta;
    const double array =
        std::abs(std::sin(gamma)) < 1e-9 ? 1 : std::sin(5 * gamma) / (5 * std::sin(gamma));
    largest = std::max(largest, std::abs(values[i] - (sinc * array) * (sinc * array)));
  }
  EXPECT_LT(largest, 1e-4);
  RecordProperty("largest_difference", std::to_string(largest));
}

// A setup with table files, read from its folder and printed: reading the
// print back prints the same bytes and gives the same bits.
TEST(SetupFile, PrintedSetupReadsBackToTheSameBytesAndBits) {
  temp_dir dir;
  std::ofstream(dir.path / "profile.txt") << "# position weight\n-3 0\n-1 2.5\n0.5 1\n3 0.25\n";
  std::ofstream(dir.path / "screen.txt") << "0\n0.1\n-0.35  # off the axis\n1e-3\n";
  const setup s = read_text(
      "wavelength 6.1e-4 # red\nsampling midpoint\nsource incoherent 6 11 table profile.txt\n"
      "plane 0.1e3\nopening -0.3 0.1 7\nopening 0.1 0.2 3\nplane 33.3\nslits 3 0.07 0.2 5\n"
      "screen 250 file screen.txt\nquantity relative\n",
      dir.path);
  const std::string printed = setup_text(s);
  setup again = empty_setup();
  ASSERT_EQ(read_setup_text(printed, "printed", "/", again), "");
  EXPECT_EQ(setup_text(again), printed);
  const std::vector<double> first = pattern_of(s), second = pattern_of(again);
  ASSERT_EQ(first.size(), 4u);
  for (std::size_t i = 0; i < first.size(); ++i)
    EXPECT_EQ(literal::bits(first[i]), literal::bits(second[i])) << i;
  EXPECT_EQ(first[0], 1.0);
}

// A sensor over fringes cos^2(a x) reads their box average,
// 1/2 + sin(a w) cos(2 a u) / (2 a w), wherever its box lies on them.
TEST(Sensor, ReadsTheBoxAverageOfFringes) {
  const double a = 7.5, width = 1.3;  // a box of about three fringes
  const std::vector<double> u = {-2.1, 0, 0.05, 0.4, 3.3};
  const gauss_legendre_rule rule = gauss_legendre(24);
  std::vector<double> at = sensor_positions(u.data(), u.size(), width, rule);
  ASSERT_EQ(at.size(), u.size() * 24);
  for (double& x : at) x = std::cos(a * x) * std::cos(a * x);
  const std::vector<double> reading = sensor_readings(at.data(), u.size(), rule);
  for (std::size_t i = 0; i < u.size(); ++i)
    EXPECT_NEAR(reading[i], 0.5 + std::sin(a * width) * std::cos(2 * a * u[i]) / (2 * a * width),
                1e-15)
        << u[i];
}

// A measured profile that is a * model + b gives back a and b, with and
// without weights; a model that does not vary, the weighted mean.
TEST(Sensor, MatchesAProfileByScaleAndBackground) {
  const std::vector<double> model = {0.1, 0.9, 0.4, 0.0, 0.7}, sigma = {1, 2, 1, 0.5, 1};
  std::vector<double> measured;
  for (const double m : model) measured.push_back(3.25 * m + 0.5);
  linear_match m = match_profile(model.data(), measured.data(), sigma.data(), 5, true);
  EXPECT_NEAR(m.scale, 3.25, 1e-14);
  EXPECT_NEAR(m.background, 0.5, 1e-14);
  for (double& y : measured) y -= 0.5;
  m = match_profile(model.data(), measured.data(), nullptr, 5, false);
  EXPECT_NEAR(m.scale, 3.25, 1e-14);
  EXPECT_EQ(m.background, 0);
  const std::vector<double> flat(5, 2.0);
  m = match_profile(flat.data(), measured.data(), sigma.data(), 5, true);
  EXPECT_EQ(m.scale, 0);
  double weighted = 0, total = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    weighted += measured[i] / (sigma[i] * sigma[i]);
    total += 1 / (sigma[i] * sigma[i]);
  }
  EXPECT_NEAR(m.background, weighted / total, 1e-14);
}

}  // namespace
