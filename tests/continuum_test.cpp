// The continuum limit: its closed forms against quadrature, its quadrature
// against doubled nodes and against literal midpoint sums, and the tool run
// as a user would.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "bench.hpp"
#include "integrals.hpp"
#include "limits.hpp"
#include "run_program.hpp"

using namespace continuum;

// exp(i(a u^2 + b u)) over [u1, u2]: a single slit with the stationary point
// inside, just outside, far away (the large-argument tails), and a < 0.
class ChirpIntegral : public testing::TestWithParam<std::tuple<double, double, double, double>> {};

TEST_P(ChirpIntegral, ClosedFormMatchesGaussLegendre) {
  const auto [a, b, u1, u2] = GetParam();
  const double rate = std::max(std::abs(2 * a * u1 + b), std::abs(2 * a * u2 + b));
  const mean_rule rule = mean_quadrature({{u1, u2}}, rate, 4);
  cplx sum = 0;
  for (std::size_t j = 0; j < rule.nodes.size(); ++j)
    sum += rule.weights[j] * std::exp(cplx(0, (a * rule.nodes[j] + b) * rule.nodes[j] + 0.5));
  EXPECT_LT(std::abs(chirp_integral(a, b, 0.5, u1, u2) - (u2 - u1) * sum), 1e-13);
}

const double k = default_bench().wavenumber;
INSTANTIATE_TEST_SUITE_P(
    SingleSlits, ChirpIntegral,
    testing::Values(std::tuple(k / 700, 0.0, -0.4, 0.4),
                    std::tuple(k / 700, -k * 7 / 700, -0.4, 0.4),
                    std::tuple(k / 700, -k * 19.998 / 700, -0.4, 0.4),
                    std::tuple(k / 70, 300.0, -2.5, 2.5), std::tuple(k / 1400, 2e3, 0.175, 0.325),
                    std::tuple(-k / 200, 40.0, -0.4, 0.4), std::tuple(0.0, -k * 7 / 700, -0.4, 0.4),
                    std::tuple(0.0, 1e-9, -0.4, 0.4), std::tuple(1e-3, 1.0, -1.0, 2.0)));

// The default bench in the given phase model, with other values.
bench in_phase_model(std::string model,
                     std::vector<std::pair<const char*, std::string>> values = {}) {
  bench b = default_bench();
  values.push_back({"phase_model", model});
  for (const auto& [name, value] : values) EXPECT_EQ(assign(b, *find_parameter(name), value), "");
  b.derive();
  return b;
}
bench in_model(bool fresnel) { return in_phase_model(fresnel ? "fresnel" : "classic"); }

// Doubling every rule's nodes leaves the values unchanged, in every phase
// model: for rs, whose first aperture has no closed form, the whole check.
class Doubling : public testing::TestWithParam<std::tuple<program_id, const char*>> {};

TEST_P(Doubling, ChangesNoValueBeyondTheTolerance) {
  const auto [which, model] = GetParam();
  const bench b = in_phase_model(model);
  std::vector<double> x;  // every seventh point keeps the LED programs quick
  const std::vector<double> all = screen_points(b, program(which));
  for (std::size_t i = 0; i < all.size(); i += 7) x.push_back(all[i]);
  const auto coarse = continuum_values(b, program(which), x),
             fine = continuum_values(b, program(which), x, 2);
  for (std::size_t i = 0; i < x.size(); ++i)
    EXPECT_NEAR(coarse[i], fine[i], 1e-9) << "x = " << x[i];
}

std::string doubling_name(const testing::TestParamInfo<Doubling::ParamType>& info) {
  return std::string(program(std::get<0>(info.param)).name) + "_" + std::get<1>(info.param);
}

INSTANTIATE_TEST_SUITE_P(
    Programs, Doubling,
    testing::Combine(testing::Values(program_id::monogap, program_id::duogap,
                                     program_id::broad_monogap, program_id::broad_duogap,
                                     program_id::conv_monogap, program_id::conv_duogap),
                     testing::Values("classic", "fresnel", "fraunhofer", "rs")),
    doubling_name);

// The far field: a single slit's |sinc beta| and a double slit's
// |cos gamma sinc beta| (beta = pi b x / (lambda L), gamma = pi D x /
// (lambda L)). Behind the double slit the first slit is narrow and far, so
// that it lights the pair as one plane wave to 1e-12.
TEST(FraunhoferContinuum, IsTheSincAndTheDoubleSlitFringes) {
  const auto sinc = [](double beta) { return beta == 0 ? 1.0 : std::sin(beta) / beta; };
  const bench single = in_phase_model("fraunhofer");
  const double k1 = single.wavenumber, L = single.pair_distance + single.screen_distance;
  const std::vector<double> x = screen_points(single, program(program_id::monogap));
  const std::vector<double> one = continuum_values(single, program(program_id::monogap), x);
  for (std::size_t i = 0; i < x.size(); i += 7)
    EXPECT_NEAR(one[i], std::abs(sinc(k1 * single.entrance_width * x[i] / (2 * L))), 1e-10)
        << "x = " << x[i];

  const bench pair =
      in_phase_model("fraunhofer", {{"entrance_width", "1e-4"}, {"pair_distance", "1e14"}});
  const double b = pair.pair_slit_width, D = pair.pair_separation, L2 = pair.screen_distance;
  const std::vector<double> y = screen_points(pair, program(program_id::duogap));
  const std::vector<double> two = continuum_values(pair, program(program_id::duogap), y);
  for (std::size_t i = 0; i < y.size(); i += 3)
    EXPECT_NEAR(two[i],
                std::abs(std::cos(k1 * D * y[i] / (2 * L2)) * sinc(k1 * b * y[i] / (2 * L2))),
                1e-10)
        << "x = " << y[i];
}

// rs departs from fresnel by terms of second order in the angle, (q - p)^2 /
// L^2 in the amplitude and k (q - p)^4 / 8 L^3 in the phase. Doubling every
// width and screen coordinate and quadrupling the distance leaves the
// fresnel pattern as it is, with every angle halved: the gap falls by four.
TEST(RsContinuum, TendsToFresnelAsTheAnglesFall) {
  double gap[2];
  for (int scale : {1, 2}) {
    const auto scaled = [&](double v) { return std::to_string(v * scale); };
    const bench base = default_bench();
    const std::vector<std::pair<const char*, std::string>> values = {
        {"entrance_width", scaled(base.entrance_width)},
        {"single_screen_max", scaled(base.single_screen_max)},
        {"pair_distance", scaled(base.pair_distance * scale)},
        {"screen_distance", scaled(base.screen_distance * scale)},
        {"screen_count", "50"}};
    const bench rs = in_phase_model("rs", values), fresnel = in_phase_model("fresnel", values);
    const program_info& p = program(program_id::monogap);
    const std::vector<double> x = screen_points(rs, p);
    const std::vector<double> exact = continuum_values(rs, p, x),
                              paraxial = continuum_values(fresnel, p, x);
    gap[scale - 1] = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
      gap[scale - 1] = std::max(gap[scale - 1], std::abs(exact[i] - paraxial[i]));
  }
  EXPECT_NEAR(std::log2(gap[0] / gap[1]), 2, 0.1) << gap[0] << " then " << gap[1];
}

// Literal midpoint sums of the programs' own phases at N and 2N samples per
// aperture; Richardson's (4 M(2N) - M(N)) / 3 removes their h^2 error.
class MidpointSums : public testing::TestWithParam<bool> {};

TEST_P(MidpointSums, ExtrapolateToTheContinuum) {
  const bool fresnel = GetParam();
  auto hop = [&](double p, double q, double L) {
    return fresnel ? k * (p - q) * (p - q) / (2 * L) : ((p - q) * (k * p)) / L;
  };
  auto point = [](double lo, double hi, int j, int n) { return lo + (j + 0.5) * (hi - lo) / n; };
  auto monogap = [&](double x, int n) {
    cplx A = 0;
    for (int j = 0; j < n; ++j) A += std::exp(cplx(0, hop(point(-0.4, 0.4, j, n), x, 700)));
    return A / double(n);
  };
  auto duogap = [&](double x, int n) {  // n samples of the first slit, n/4 of each of the pair
    cplx A = 0;
    for (int m = 0; m < n / 4; ++m) {
      const double y = point(0.175, 0.325, m, n / 4);
      cplx upper = 0, lower = 0;
      for (int j = 0; j < n; ++j) {
        const double s = point(-0.4, 0.4, j, n);
        upper += std::exp(cplx(0, hop(s, y, 200)));
        lower += std::exp(cplx(0, hop(s, -y, 200)));
      }
      A += upper * std::exp(cplx(0, hop(y, x, 500))) + lower * std::exp(cplx(0, hop(-y, x, 500)));
    }
    return A / (2.0 * n * (n / 4));
  };
  const bench b = in_model(fresnel);
  auto check = [&](program_id which, auto sum, int n, const std::vector<double>& x) {
    const std::vector<double> value = continuum_values(b, program(which), x);
    for (std::size_t i = 0; i < x.size(); ++i)
      EXPECT_NEAR(std::abs(4.0 * sum(x[i], 2 * n) - sum(x[i], n)) / 3.0, value[i], 1e-10)
          << "x = " << x[i];
  };
  check(program_id::monogap, monogap, 20000, {0, 2.856, 19.998});
  check(program_id::duogap, duogap, 1000, {0, 0.568, 3.996});
}

INSTANTIATE_TEST_SUITE_P(PhaseModels, MidpointSums, testing::Bool(),
                         [](const auto& info) { return info.param ? "fresnel" : "classic"; });

// monogap's sum at N samples against its continuum: halving the step halves
// the left-edge error and quarters the midpoint error.
TEST(SamplingRules, LeftEdgeErrsAsOneOverNMidpointAsOneOverNSquared) {
  const std::vector<double> x = {0.0, 0.3, 0.9, 2.0};
  const std::vector<double> limit =
      continuum_values(default_bench(), program(program_id::monogap), x);
  auto error = [&](double offset, int n) {
    double worst = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      cplx A = 0;
      for (int j = 0; j < n; ++j) {
        const double s = ((j + offset) * (0.8 / n)) + ((-0.8) / 2.0);
        A += std::exp(cplx(0, ((s - x[i]) * (k * s)) / 700));
      }
      worst = std::max(worst, std::abs(std::abs(A / double(n)) - limit[i]));
    }
    return worst;
  };
  for (int n : {100, 200}) {
    EXPECT_NEAR(error(0.0, n) / error(0.0, 2 * n), 2.0, 0.4) << "left-edge, N = " << n;
    EXPECT_NEAR(error(0.5, n) / error(0.5, 2 * n), 4.0, 0.8) << "midpoint, N = " << n;
  }
}

// The tool run in a temporary directory with its output captured.
run_result run_continuum(const std::string& arguments) {
  temp_dir dir;
  const std::string command = std::string("cd '") + dir.path.string() + "' && '" +
                              SLITS_CONTINUUM_TOOL + "' " + arguments + " >out 2>err";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0, read_file(dir.path / "out"),
          read_file(dir.path / "err")};
}

TEST(ContinuumTool, RefusesAMissingOrUnknownProgramAndABenchItsProgramRefuses) {
  for (const char* arguments :
       {"", "ledcurve", "duogap extra", "--wavelength 0 duogap", "--wavelength 1e-308 duogap"}) {
    const run_result run = run_continuum(arguments);
    EXPECT_EQ(run.exit_status, 2) << arguments;
    EXPECT_EQ(run.out, "");
    const auto lines = lines_of(run.err);
    ASSERT_EQ(lines.size(), 2u) << run.err;
    EXPECT_TRUE(lines[0].starts_with("continuum: error: ")) << run.err;
    EXPECT_EQ(lines[1], "Try 'continuum --help'.");
  }
}

// conv_monogap runs this bench (a source sample on the axis keeps its
// weight), but no quadrature node lies on the axis: every weight of the
// continuum underflows, and its intensity relative to the axis is 0/0.
TEST(ContinuumTool, StopsAtAValueThatIsNotFinite) {
  const run_result run = run_continuum("--led-sigma 1e-300 conv_monogap");
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(run.err.starts_with("continuum: error: the value at x = 0 is ")) << run.err;
  EXPECT_EQ(std::ranges::count(run.err, '\n'), 1) << run.err;
}

// On the default bench, and on one given as options.
TEST(ContinuumTool, PrintsTheProgramsGridAndValuesInFull) {
  for (const bool options : {false, true}) {
    bench b = in_model(options);
    if (options) {
      assign(b, parameter(parameter_id::wavelength), "5.32e-4");
      assign(b, parameter(parameter_id::screen_count), "300");
      b.derive();
    }
    const run_result run = run_continuum(
        options ? "--wavelength 5.32e-4 --phase-model fresnel --screen-count 300 duogap"
                : "duogap");
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.err, "");
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), size_t(b.screen_count));
    const program_info& duogap = program(program_id::duogap);
    const std::vector<double> x = screen_points(b, duogap);
    const std::vector<double> value = continuum_values(b, duogap, x);
    for (int i = 0; i < b.screen_count; ++i) {
      char expected[64];
      std::snprintf(expected, sizeof expected, "%.17g %.17g", screen_point(i, b.screen_count, 4),
                    value[i]);
      ASSERT_EQ(lines[i], expected);
    }
  }
}

// Left-edge samples err by about half a step times the jump of the integrand
// across the slit: at most 1/100 of the mean with 100 samples.
TEST(ContinuumTool, MonogapProgramIsWithinItsSamplingError) {
  temp_dir dir;
  ASSERT_EQ(run_program(program_path("monogap"), dir.path).exit_status, 0);
  const auto lines = lines_of(read_file(dir.path / "monogap.txt"));
  const program_info& monogap = program(program_id::monogap);
  const std::vector<double> value =
      continuum_values(default_bench(), monogap, screen_points(default_bench(), monogap));
  ASSERT_EQ(lines.size(), value.size());
  for (std::size_t i = 0; i < lines.size(); ++i)
    ASSERT_NEAR(std::stod(lines[i].substr(lines[i].find(' ') + 1)), value[i], 0.0101) << lines[i];
}
