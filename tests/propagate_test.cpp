// The plane-by-plane method against the literal sums it factors, on small
// benches in both phase models and both sampling rules; its bytes for any
// thread count; and, on fine benches, its distance from the continuum
// falling as the sampling rule predicts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "literal.hpp"
#include "program_run.hpp"
#if SLITS_HAVE_CONTINUUM
#include "limits.hpp"
#endif

namespace {

bench small_bench(std::vector<std::pair<std::string, std::string>> values) {
  bench b = default_bench();
  for (const auto& [name, value] : values) EXPECT_EQ(assign(b, *find_parameter(name), value), "");
  b.derive();
  return b;
}

std::vector<double> pattern(const program_info& p, const bench& b, int threads = 1) {
  std::vector<double> values;
  compute_pattern(p, b, threads, pattern_loop(p.id),
                  [&](int, double, double value) { values.push_back(value); });
  return values;
}

bench with_method(bench b, const char* method) {
  EXPECT_EQ(assign(b, *find_parameter("method"), method), "");
  b.derive();
  return b;
}

struct model {
  const char* phase_model;
  const char* sampling;
};

class Propagate : public testing::TestWithParam<model> {};

TEST_P(Propagate, AgreesWithTheLiteralSumsOnSmallBenches) {
  const auto [phase_model, sampling] = GetParam();
  for (const bench& b : {small_bench({{"source_samples", "13"},
                                      {"entrance_samples", "21"},
                                      {"pair_samples", "9"},
                                      {"screen_count", "203"},
                                      {"phase_model", phase_model},
                                      {"sampling", sampling}}),
                         small_bench({{"wavelength", "5.32e-4"},
                                      {"led_sigma", "3.5"},
                                      {"source_width", "2.5"},
                                      {"source_samples", "40"},
                                      {"entrance_samples", "33"},
                                      {"pair_samples", "17"},
                                      {"screen_count", "97"},
                                      {"phase_model", phase_model},
                                      {"sampling", sampling}})}) {
    for (const program_info& p : programs()) {
      if (!p.pattern()) continue;
      const std::vector<double> literal = pattern(p, with_method(b, "literal"));
      const std::vector<double> plane_by_plane = pattern(p, with_method(b, "propagate"));
      ASSERT_EQ(literal.size(), plane_by_plane.size());
      const double peak = *std::max_element(literal.begin(), literal.end());
      for (std::size_t i = 0; i < literal.size(); ++i)
        ASSERT_NEAR(plane_by_plane[i], literal[i], 1e-12 * peak) << p.name << " point " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, Propagate,
    testing::Values(model{"classic", "left-edge"}, model{"classic", "midpoint"},
                    model{"fresnel", "left-edge"}, model{"fresnel", "midpoint"},
                    model{"fraunhofer", "left-edge"}, model{"rs", "midpoint"}),
    [](const auto& info) {
      std::string name = std::string(info.param.phase_model) + "_" + info.param.sampling;
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

TEST(Propagate, TheSameBitsOnEveryThreadCount) {
  const bench b = with_method(
      small_bench({{"source_samples", "30"}, {"pair_samples", "20"}, {"screen_count", "101"}}),
      "propagate");
  for (const program_info& p : programs()) {
    if (!p.pattern()) continue;
    const std::vector<double> one = pattern(p, b, 1), three = pattern(p, b, 3);
    for (std::size_t i = 0; i < one.size(); ++i)
      ASSERT_EQ(literal::bits(one[i]), literal::bits(three[i])) << p.name << " point " << i;
  }
}

#if SLITS_HAVE_CONTINUUM
// Left-edge sampling errs as 1/N, midpoint sampling as 1/N^2: doubling N on
// fine benches halves, or quarters, the largest distance from the continuum,
// the exact rs hop's quadrature included.
TEST(Propagate, ApproachesTheContinuumAsTheSamplingRulePredicts) {
  const program_info& p = program(program_id::duogap);
  for (const auto& [sampling, order, model] :
       {std::tuple{"left-edge", 1.0, "classic"}, std::tuple{"midpoint", 2.0, "classic"},
        std::tuple{"left-edge", 1.0, "rs"}, std::tuple{"midpoint", 2.0, "rs"}}) {
    double distance[2];
    for (int k = 0; k < 2; ++k) {
      const std::string n = std::to_string(400 << k);
      const bench b = with_method(small_bench({{"entrance_samples", n},
                                               {"pair_samples", n},
                                               {"screen_count", "200"},
                                               {"sampling", sampling},
                                               {"phase_model", model}}),
                                  "propagate");
      const std::vector<double> sum = pattern(p, b);
      const std::vector<double> limit =
          continuum::continuum_values(b, p, continuum::screen_points(b, p));
      distance[k] = 0;
      for (std::size_t i = 0; i < sum.size(); ++i)
        distance[k] = std::max(distance[k], std::abs(sum[i] - limit[i]));
    }
    EXPECT_NEAR(std::log2(distance[0] / distance[1]), order, 0.15) << sampling << ", " << model;
  }
}
#endif

}  // namespace
