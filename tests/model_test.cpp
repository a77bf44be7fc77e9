// The configured model (phase of a hop, sampling rule, bench values) against
// a literal evaluation written out here, in whatever bench the build has and
// in one given as options: the textbook Fresnel phase and midpoint sampling
// included, and the far-field and exact (rs) hops. Runs the built programs
// as a user would and compares printed values, to 17 digits, at a few points.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "command_line.hpp"
#include "literal.hpp"
#include "run_program.hpp"

namespace {

// The bench a case runs, its values read from the bench object's fields;
// every formula is literal.hpp's.
literal::values v;

literal::values values_of(const bench& b) {
  literal::values v;
  v.wavelength = b.wavelength;
  v.source_width = b.source_width;
  v.entrance_width = b.entrance_width;
  v.pair_slit_width = b.pair_slit_width;
  v.pair_separation = b.pair_separation;
  v.source_distance = b.source_distance;
  v.pair_distance = b.pair_distance;
  v.screen_distance = b.screen_distance;
  v.led_sigma = b.led_sigma;
  v.source_samples = b.source_samples;
  v.entrance_samples = b.entrance_samples;
  v.pair_samples = b.pair_samples;
  v.model = b.rs_hops           ? literal::model::rs
            : b.fraunhofer_hops ? literal::model::fraunhofer
            : b.fresnel_hops    ? literal::model::fresnel
                                : literal::model::classic;
  v.midpoint = b.midpoint_samples;
  return v;
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
  const bench& c = line->b;
  v = values_of(c);
  const int count = p.factor * c.screen_count;
  const double max = p.double_slit ? c.double_screen_max : c.single_screen_max;
  temp_dir dir;
  options bits = given;  // 17 digits give each binary64 back: the values bit for bit
  bits.insert(bits.end(), {"--precision", "17"});
  const run_result run = run_program(program_path(p.program), dir.path, {}, bits);
  ASSERT_EQ(run.exit_status, 0) << run.err;
  const auto lines = lines_of(read_file(dir.path / (p.program + ".txt")));
  ASSERT_EQ(lines.size(), size_t(count));
  for (int i : {0, 1, count / 3, count - 1}) {
    const double x = ((i * (max - 0.0)) / count) + 0.0;
    EXPECT_EQ(lines[i], literal::g17(x) + " " + literal::g17(p.value(x)))
        << p.program << ", i = " << i;
  }
}

// The bench as configured, and another given as options: the other phase
// model and sampling rule, and values of their own.
INSTANTIATE_TEST_SUITE_P(
    Benches, Model,
    testing::Combine(
        testing::Values(
            model_case{"monogap", 10, false, [](double x) { return literal::monogap_at(v, x); }},
            model_case{"duogap", 1, true, [](double x) { return literal::duogap_at(v, x); }},
            model_case{"broad_monogap", 1, false,
                       [](double x) { return literal::broad_monogap_at(v, x); }},
            model_case{"conv_monogap", 1, false,
                       [](double x) {
                         return literal::conv_monogap_intensity_at(v, x) /
                                literal::conv_monogap_intensity_at(v, 0.0);
                       }}),
        testing::Values(
            options{},
            options{
                "--phase-model",      default_bench().fresnel_hops ? "classic" : "fresnel",
                "--sampling",         default_bench().midpoint_samples ? "left-edge" : "midpoint",
                "--wavelength",       "5.5e-4",
                "--entrance-samples", "37",
                "--source-samples",   "23",
                "--pair-samples",     "19",
                "--screen-count",     "301",
                "--led-sigma",        "2.25",
                "--pair-separation",  "0.35",
                "--screen-distance",  "450.5"},
            options{"--phase-model", "fraunhofer", "--wavelength", "5.5e-4", "--source-samples",
                    "23", "--pair-samples", "19", "--screen-count", "301"},
            // Short distances, where the rs hop departs from the paraxial ones.
            options{"--phase-model", "rs", "--sampling", "midpoint", "--entrance-samples", "37",
                    "--source-samples", "23", "--pair-samples", "19", "--screen-count", "301",
                    "--source-distance", "7", "--pair-distance", "20", "--screen-distance",
                    "50.5"})),
    [](const auto& info) {
      const options& given = std::get<1>(info.param);
      std::string suffix = given.empty() ? "" : "_options";
      if (given.size() > 1 && given[1] != "classic" && given[1] != "fresnel")
        suffix = "_" + given[1];
      return std::get<0>(info.param).program + suffix;
    });

}  // namespace
