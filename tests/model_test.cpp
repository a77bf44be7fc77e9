// The configured model (phase of a hop, sampling rule, bench values) against
// a literal evaluation written out here, in whatever bench the build has and
// in one given as options: the textbook Fresnel phase and midpoint sampling
// included. Runs the built programs as a user would and compares printed
// values at a few points.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "driver.hpp"
#include "literal.hpp"
#include "run_program.hpp"

namespace {

using literal::cplx;
using literal::e;
// The bench a case runs: its values read from the bench object's fields,
// every formula written out here.
const bench* c = &default_bench();

double k() { return (3.14159265358979 + 3.14159265358979) / c->wavelength; }

// Sample j of n across a centred aperture: from the lower edge, or centred
// in its step.
double sample(double width, int n, int j) {
  const double offset = c->midpoint_samples ? j + 0.5 : j;
  return (offset * (width / n)) + ((-width) / 2.0);
}
double upper(int m) {
  const double offset = c->midpoint_samples ? m + 0.5 : m;
  return (offset * (c->pair_slit_width / c->pair_samples)) +
         ((c->pair_separation / 2.0) - (c->pair_slit_width / 2.0));
}

// One hop from p to q, L further: k p (p - q) / L, or k (p - q)^2 / 2L.
double hop(double p, double q, double L) {
  if (c->fresnel_hops) return (((p - q) * (p - q)) * k()) / (2.0 * L);
  return ((p - q) * (k() * p)) / L;
}

double monogap(double x) {
  cplx A = 0;
  for (int n = 0; n < c->entrance_samples; ++n)
    A += e(hop(sample(c->entrance_width, c->entrance_samples, n), x,
               c->pair_distance + c->screen_distance));
  A /= double(c->entrance_samples);
  return std::abs(A);
}

double duogap(double x) {
  cplx A = 0;
  for (int m = 0; m < c->pair_samples; ++m) {
    const double y = upper(m);
    for (int n = 0; n < c->entrance_samples; ++n) {
      const double s = sample(c->entrance_width, c->entrance_samples, n);
      A += e(hop(s, y, c->pair_distance) + hop(y, x, c->screen_distance)) +
           e(hop(s, -y, c->pair_distance) + hop(-y, x, c->screen_distance));
    }
  }
  A /= 2.0 * c->pair_samples * c->entrance_samples;
  return std::abs(A);
}

// Both hops meet at s: classic folds their quotients into one product with
// k s, fresnel adds the two hops' phases.
double conv_monogap_intensity(double x) {
  const double L = c->pair_distance + c->screen_distance;
  double I = 0;
  for (int j = 0; j < c->source_samples; ++j) {
    const double d = sample(c->source_width, c->source_samples, j);
    const double weight = std::exp(-0.5 * literal::library_pow(d / c->led_sigma, 2.0)) *
                          ((1.0 / std::sqrt(3.14159265358979 + 3.14159265358979)) / c->led_sigma);
    cplx A = 0;
    for (int n = 0; n < c->entrance_samples; ++n) {
      const double s = sample(c->entrance_width, c->entrance_samples, n);
      const double phi = c->fresnel_hops ? hop(d, s, c->source_distance) + hop(s, x, L)
                                         : ((s - d) / c->source_distance + (s - x) / L) * (k() * s);
      A += weight * e(phi);
    }
    I += literal::library_pow(std::abs(A), 2.0);
  }
  return I / c->source_samples;
}

struct model_case {
  std::string program;
  int factor;  // screen points per screen_count
  bool double_slit;
  std::function<double(double)> value;
};

void PrintTo(const model_case& c, std::ostream* out) { *out << c.program; }

using options = std::vector<std::string>;

class Model : public testing::TestWithParam<std::tuple<model_case, options>> {};

TEST_P(Model, ProgramPrintsTheLiteralValues) {
  const auto& [p, given] = GetParam();
  std::string why;
  const auto line = read_arguments(given, p.program, command_kind::pattern, &why);
  ASSERT_TRUE(line) << why;
  c = &line->b;
  const int count = p.factor * c->screen_count;
  const double max = p.double_slit ? c->double_screen_max : c->single_screen_max;
  temp_dir dir;
  const run_result run = run_program(program_path(p.program), dir.path, {}, given);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = lines_of(read_file(dir.path / (p.program + ".txt")));
  ASSERT_EQ(lines.size(), size_t(count));
  for (int i : {0, 1, count / 3, count - 1}) {
    const double x = ((i * (max - 0.0)) / count) + 0.0;
    EXPECT_EQ(lines[i], literal::g(x) + " " + literal::g(p.value(x))) << p.program << ", i = " << i;
  }
  c = &default_bench();
}

// The bench as configured, and another given as options: the other phase
// model and sampling rule, and values of their own.
INSTANTIATE_TEST_SUITE_P(
    Benches, Model,
    testing::Combine(
        testing::Values(model_case{"monogap", 10, false, monogap},
                        model_case{"duogap", 1, true, duogap},
                        model_case{"conv_monogap", 1, false,
                                   [](double x) {
                                     return conv_monogap_intensity(x) / conv_monogap_intensity(0.0);
                                   }}),
        testing::Values(
            options{}, options{"--phase-model",      c->fresnel_hops ? "classic" : "fresnel",
                               "--sampling",         c->midpoint_samples ? "left-edge" : "midpoint",
                               "--wavelength",       "5.5e-4",
                               "--entrance-samples", "37",
                               "--source-samples",   "23",
                               "--pair-samples",     "19",
                               "--screen-count",     "301",
                               "--led-sigma",        "2.25",
                               "--pair-separation",  "0.35",
                               "--screen-distance",  "450.5"})),
    [](const auto& info) {
      return std::get<0>(info.param).program + (std::get<1>(info.param).empty() ? "" : "_options");
    });

}  // namespace
