// The setup engine against its literal evaluation on small setups of every
// kind; against closed forms of optics: a grating in the far field, the
// van Cittert-Zernike degree of coherence, the fringe visibility under a
// Gaussian spectrum, the Talbot distance; a spectrum's sum of wavelengths;
// a setup file read, printed and read again.
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
    "quantity intensity\n",
    "spectrum gaussian 5.32e-4 4e-5 3\nsource incoherent 3 5 gaussian 1 intensity values\n"
    "plane 80\nslits 2 0.1 0.4 5\nscreen 600 -2 2 19\nquantity relative\n"};

class SetupEngine : public testing::TestWithParam<model> {};

TEST_P(SetupEngine, AgreesWithTheLiteralEvaluation) {
  const auto [phase_model, sampling] = GetParam();
  for (const char* text : small_setups) {
    const bool spectrum = std::string(text).starts_with("spectrum");
    const setup s = read_text(std::string(spectrum ? "" : "wavelength 5.32e-4\n") + "phase_model " +
                              phase_model + "\nsampling " + sampling + "\n" + text);
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

// The setup text of a number, to 17 digits.
std::string text_of(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string scientific(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2e", value);
  return text;
}

constexpr double pi = 3.14159265358979323846;

// van Cittert-Zernike: an incoherent strip of intensity profile I(d) a
// distance L before a plane gives |gamma12| = |integral I(d) exp(-i k d D /
// L)| / integral I(d), D = x1 - x2, on that plane. Uniform, width w:
// |sinc(pi w D / (lambda L))|; Gaussian intensity of deviation s:
// exp(-2 pi^2 s^2 D^2 / (lambda L)^2), and a weight multiplying amplitudes
// is an intensity weight of its square, a deviation s / sqrt 2. The strip is
// sampled finely enough (midpoint, 4000 samples; +-6 sigma) to leave the
// integral's error below 1e-7. Read on the first plane by coherence_degree,
// and as the fringe visibility behind two point slits at +-D/2, on the screen
// at x = 0 and half a fringe (the strip is symmetric, so gamma12 is real and
// those are the extremes).
struct coherence_case {
  const char* source;  // after "source incoherent "
  double (*closed_form)(double D_over_lambda_L);
};

void PrintTo(const coherence_case& c, std::ostream* out) { *out << c.source; }

class VanCittertZernike : public testing::TestWithParam<coherence_case> {};

TEST_P(VanCittertZernike, DegreeOfCoherenceAndFringeVisibilityMatchTheClosedForm) {
  const double wavelength = 5e-4, L = 500, z = 1000;
  double largest = 0;
  for (const char* phase_model : {"fresnel", "classic"})
    for (const double D : {0.05, 0.1, 0.2, 0.3, 0.45}) {
      const std::string head = std::string("wavelength 5e-4\nphase_model ") + phase_model +
                               "\nsampling midpoint\nsource incoherent " + GetParam().source +
                               "\nplane 500\n";
      const double expected = GetParam().closed_form(D / (wavelength * L));
      const setup on_plane = read_text(head + "opening -1 1 1\nscreen 1 0 1 1\n");
      const double gamma = coherence_degree(on_plane, D / 2, -D / 2, 1);
      EXPECT_NEAR(gamma, expected, 1e-6) << D;
      largest = std::max(largest, std::abs(gamma - expected));

      const double fringe = (wavelength * z) / D;  // Fresnel: the phase 2 pi x D / (lambda z)
      if (std::string(phase_model) != "fresnel") continue;  // classic: no plain fringe
      const std::vector<double> I =
          pattern_of(read_text(head + "slits 2 1e-4 " + text_of(D) + " 1\nscreen " + text_of(z) +
                               " 0 " + text_of(fringe) + " 2\n"));
      const double visibility = std::abs(I[0] - I[1]) / (I[0] + I[1]);
      EXPECT_NEAR(visibility, expected, 1e-6) << D;
      largest = std::max(largest, std::abs(visibility - expected));
    }
  RecordProperty("largest_difference", scientific(largest));
}

INSTANTIATE_TEST_SUITE_P(
    Strips, VanCittertZernike,
    testing::Values(coherence_case{"2 4000 uniform intensity",
                                   [](double u) {
                                     const double a = pi * 2 * u;
                                     return std::abs(std::sin(a) / a);
                                   }},
                    coherence_case{"1.2 4000 gaussian 0.1 intensity",
                                   [](double u) { return std::exp(-2 * pi * pi * 0.01 * u * u); }},
                    coherence_case{"1.2 4000 gaussian 0.1 amplitude density",
                                   [](double u) { return std::exp(-pi * pi * 0.01 * u * u); }}),
    [](const auto& info) { return std::to_string(info.index); });

// Two point slits D = 1 mm apart, 1 m before the screen, under a Gaussian
// spectrum of 1 nm at 630 nm: path difference D x / z, fringe visibility
// exp(-(pi dsigma Delta)^2 / (4 ln 2)), dsigma = dlambda / lambda^2 for a
// narrow band (here to 3e-6). Measured over one fringe each side of a
// minimum near each point whose visibility is 0.9, 0.5 and 0.1: the mean of
// the two maxima against the minimum, so that the envelope's slope cancels
// (its curvature and the scan's 400 points a fringe leave below 1e-4).
TEST(Spectrum, DoubleSlitVisibilityFollowsTheGaussianCoherenceFunction) {
  const double centre = 6.3e-4, width = 1e-6, D = 1, z = 1000;
  const double dsigma = width / (centre * centre), fringe = centre * z / D;
  double largest = 0;
  for (const double V : {0.9, 0.5, 0.1}) {
    const double Delta = std::sqrt(-4 * std::log(2.0) * std::log(V)) / (pi * dsigma);
    const double x_min = (std::round(Delta * z / D / fringe) + 0.5) * fringe;
    const setup s = read_text(
        "phase_model fresnel\nsampling midpoint\nspectrum gaussian 6.3e-4 1e-6 201\n"
        "source plane_wave\nplane 1\nslits 2 1e-4 1 1\nscreen " +
        text_of(z) + " " + text_of(x_min - fringe) + " " + text_of(x_min + fringe) + " 801\n");
    const std::vector<double> I = pattern_of(s, 2);
    const auto half = I.begin() + 400;
    const double low = *std::min_element(I.begin() + 200, I.begin() + 601);
    const double high = (*std::max_element(I.begin(), half) + *std::max_element(half, I.end())) / 2;
    const double at_min = pi * dsigma * (x_min * D / z);
    const double expected = std::exp(-(at_min * at_min) / (4 * std::log(2.0)));
    EXPECT_NEAR((high - low) / (high + low), expected, 1e-3) << V;
    largest = std::max(largest, std::abs((high - low) / (high + low) - expected));
  }
  RecordProperty("largest_difference", scientific(largest));
}

// A 20-slit grating of period p under a plane wave repeats its intensity at
// the Talbot distance 2 p^2 / lambda. Scanned from 0.8 to 1.2 of it in steps
// of 0.25 %, the distance whose pattern over the two central periods best
// matches the grating's openings (light inside the slits less light between
// them) lies within 1 % of it.
TEST(Talbot, SelfImageDistanceFromTheCarpet) {
  const double p = 0.1, wavelength = 5e-4, talbot = 2 * p * p / wavelength;
  double best_z = 0, best = -1;
  for (int step = -80; step <= 80; ++step) {
    const double z = talbot * (1 + step * 0.0025);
    const setup s = read_text(
        "wavelength 5e-4\nphase_model fresnel\nsampling midpoint\n"
        "plane 1\nslits 20 0.025 0.1 50\nscreen " +
        text_of(z) + " -0.1 0.1 80\n");
    const std::vector<double> I = pattern_of(s);
    double contrast = 0;
    for (int i = 0; i < s.screen_count(); ++i) {
      // Slit centres at (k + 1/2) p; inside a slit when within p/8 of one.
      const double from_centre = std::abs(std::remainder(s.screen_position(i) - p / 2, p));
      contrast += from_centre < p / 8 ? I[i] : -I[i] / 3;
    }
    if (contrast > best) best = contrast, best_z = z;
  }
  EXPECT_NEAR(best_z / talbot, 1, 0.01);
  RecordProperty("self_image_distance", scientific(best_z / talbot));
}

// A spectrum's pattern is each wavelength's, normalised like one
// wavelength's, times its weight over the sum of the weights, added in the
// table's order: a zero weight adds nothing, the block loop that keeps every
// wavelength gives compute_setup's bits, --wavelength's override is one line.
TEST(Spectrum, AddsEachWavelengthsPatternTimesItsShare) {
  temp_dir dir;
  std::ofstream(dir.path / "lines.txt") << "5.5e-4 1\n6e-4 0\n6.5e-4 3  # red\n";
  const std::string rest =
      "source incoherent 2 7 uniform\nplane 100\nslits 2 0.1 0.5 9\nscreen 400 -2 2 21\n";
  const setup s = read_text("spectrum table lines.txt\n" + rest, dir.path);
  std::vector<double> mono[2];
  for (int k = 0; k < 2; ++k) {
    setup one = s;
    ASSERT_EQ(set_parameter(one, parameter(parameter_id::wavelength), k ? "6.5e-4" : "5.5e-4"), "");
    one.b.derive();
    EXPECT_EQ(setup_text(one), setup_text(read_text(k ? "wavelength 6.5e-4\n" + rest
                                                      : "wavelength 5.5e-4\n" + rest)));
    mono[k] = pattern_of(one);
  }
  const std::vector<double> values = pattern_of(s, 2);
  const block_loop keeping_all = setup_loop(s, 2);
  for (int i = 0; i < s.screen_count(); ++i) {
    EXPECT_EQ(values[i], (0 + 0.25 * mono[0][i]) + 0.75 * mono[1][i]) << i;
    double x[block_size] = {s.screen_position(i)}, value[block_size];
    keeping_all(x, value);
    EXPECT_EQ(literal::bits(value[0]), literal::bits(values[i])) << i;
  }
  // Printed and read back: the same bytes.
  for (const std::string spectrum :
       {"spectrum table lines.txt\n", "spectrum gaussian 6e-4 2e-5 7\n"}) {
    const std::string printed = setup_text(read_text(spectrum + rest, dir.path));
    EXPECT_NE(printed.find(spectrum.substr(0, 14)), std::string::npos);
    EXPECT_EQ(printed.find("wavelength"), std::string::npos);
    EXPECT_EQ(setup_text(read_text(printed)), printed);
  }
}

// pattern --coherence prints the value alone, to --precision digits, and
// writes no data file.
TEST(Coherence, FromTheCommandLine) {
  temp_dir dir;
  const std::string text =
      "source incoherent 3 50 gaussian 0.5\nplane 300\nopening -1 1 20\nplane 100\n"
      "slits 2 0.1 0.4 10\nscreen 400 -2 2 10\nquantity relative\n";
  std::ofstream(dir.path / "strip.setup") << text;
  const setup s = read_text(text);
  for (const auto& [plane, expected] :
       {std::pair{"2", coherence_degree(s, 0.2, -0.2, 2)}, {"0", coherence_degree(s, 1, 0.5, 0)}}) {
    const run_result run = run_program(
        program_path("pattern"), dir.path, {},
        {"--setup", "strip.setup", "--coherence", plane == std::string("2") ? "0.2,-0.2" : "1,0.5",
         "--coherence-plane", plane, "--precision", "17"});
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.out, text_of(expected) + "\n");
    EXPECT_GT(expected, 0);
    EXPECT_LT(expected, 1);
  }
  EXPECT_FALSE(fs::exists(dir.path / "pattern.txt"));
}

}  // namespace
