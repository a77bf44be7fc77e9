// The exp, pow and hypot twins against the system library, bit for bit, on
// a CPU where glibc runs its FMA builds: random bit patterns, the whole
// finite range, the ends of the range (subnormal results, overflow), special
// values, and the LED profile's own arguments; hypot through std::abs of a
// complex number, as the programs call it.
#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "bench.hpp"
#include "fused.hpp"
#include "libm_twins.hpp"

namespace {

using arguments = std::vector<std::pair<double, double>>;  // (x, y); exp takes x

std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }

constexpr double inf = std::numeric_limits<double>::infinity();

// The branch limits (2^-65 and 2^63 for y; 2^-54, 512 and 1024 for exp's
// argument), exp's overflow and underflow thresholds; NaNs quiet,
// signalling and with a payload.
constexpr double specials[] = {0.0,
                               DBL_TRUE_MIN,
                               DBL_MIN,
                               0x1p-65,
                               0x1p-54,
                               0.1,
                               0.5,
                               1.0,
                               2.0,
                               3.0,
                               512.0,
                               1024.0,
                               0x1p63,
                               0x1.62e42fefa39efp+9,
                               0x1.74910d52d3051p+9,
                               DBL_MAX,
                               inf};
constexpr std::uint64_t nans[] = {0x7ff8000000000000, 0x7ff0000000000001, 0x7ff8dead00000001};

// ±each special value with its neighbours a few ulps either side, ±the NaNs.
std::vector<double> special_values() {
  std::vector<double> v;
  for (double s : specials)
    for (double b : {s, -s}) {
      v.push_back(b);
      double lo = b, hi = b;
      for (int i = 0; i < 3; ++i) v.push_back(lo = std::nextafter(lo, -inf));
      for (int i = 0; i < 3; ++i) v.push_back(hi = std::nextafter(hi, inf));
    }
  for (std::uint64_t b : nans) {
    v.push_back(std::bit_cast<double>(b));
    v.push_back(-std::bit_cast<double>(b));
  }
  return v;
}

// The LED profile's arguments x / sigma: ledcurve's grid and the source samples.
std::vector<double> led_ratios() {
  const bench& b = default_bench();
  std::vector<double> v;
  for (int i = -500; i < 500; ++i) v.push_back((i * 0.1) / b.led_sigma);
  for (int j = 0; j < b.source_samples; ++j) v.push_back(b.source_point(j) / b.led_sigma);
  return v;
}

std::mt19937_64 rng;  // restarted by each family, which so runs alone the same
double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); }
double random_bits() { return std::bit_cast<double>(rng()); }

arguments exp_arguments() {
  rng = std::mt19937_64(1);
  arguments a;
  for (int i = 0; i < 2'000'000; ++i) a.emplace_back(random_bits(), 0);
  for (int i = 0; i < 2'000'000; ++i) a.emplace_back(uniform(-746, 710), 0);
  for (int i = 0; i < 500'000; ++i) a.emplace_back(uniform(-746, -708), 0);  // subnormal results
  for (int k = -1100 * 128; k < 1030 * 128; k += 7)  // halfway between table points
    a.emplace_back((k + 0.5) * (0x1.62e42fefa39efp-1 / 128), 0);
  for (double x : special_values()) a.emplace_back(x, 0);
  for (double r : led_ratios()) a.emplace_back(-0.5 * std::pow(r, 2.0), 0);
  return a;
}

arguments pow_arguments() {
  rng = std::mt19937_64(2);
  arguments a;
  for (int i = 0; i < 1'000'000; ++i) a.emplace_back(random_bits(), random_bits());
  for (int i = 0; i < 1'000'000; ++i)
    a.emplace_back(std::fabs(random_bits()), uniform(-4, 4));  // every exponent of x, NaN, inf
  for (int i = 0; i < 1'000'000; ++i) {  // x^y across the whole range and past its ends
    const double x = uniform(0.5, 2);
    a.emplace_back(x, uniform(-750, 712) / std::log(x));
  }
  for (int i = 0; i < 500'000; ++i)  // negative x, integer y: odd and even
    a.emplace_back(-uniform(0.5, 2), std::round(uniform(-1200, 1200)));
  for (int i = 0; i < 200'000; ++i) a.emplace_back(uniform(0, 0x1p-1022), uniform(-1.2, 1.2));
  const std::vector<double> s = special_values();
  for (double x : s)
    for (double y : s) a.emplace_back(x, y);
  for (double r : led_ratios()) a.emplace_back(r, 2.0);
  return a;
}

arguments hypot_arguments() {
  rng = std::mt19937_64(3);
  arguments a;
  for (int i = 0; i < 1'000'000; ++i) a.emplace_back(random_bits(), random_bits());
  // The programs' sums: parts of either sign up to a few hundred, often one
  // much smaller than the other.
  for (int i = 0; i < 2'000'000; ++i)
    a.emplace_back(uniform(-300, 300), uniform(-300, 300) * std::pow(10.0, -uniform(0, 8)));
  for (int i = 0; i < 200'000; ++i)  // the scaled branches: huge, tiny, subnormal
    a.emplace_back(std::ldexp(uniform(0.5, 1), int(uniform(-1074, 1024))),
                   std::ldexp(uniform(0.5, 1), int(uniform(-1074, 1024))));
  const std::vector<double> s = special_values();
  for (double x : s)
    for (double y : s) a.emplace_back(x, y);
  return a;
}

struct family {
  const char* name;
  arguments (*make)();
  double (*twin)(double, double);
  double (*system)(double, double);
};

const family families[] = {
    {"exp", exp_arguments, [](double x, double) { return libm_twin::exp(x); },
     [](double x, double) { return std::exp(x); }},
    {"pow", pow_arguments, libm_twin::pow, [](double x, double y) { return std::pow(x, y); }},
    {"hypot", hypot_arguments, libm_twin::hypot,
     [](double x, double y) { return std::abs(std::complex<double>(x, y)); }},
};

void PrintTo(const family& f, std::ostream* out) { *out << f.name; }

class LibmTwins : public testing::TestWithParam<family> {};

TEST_P(LibmTwins, MatchTheSystemLibraryBitForBit) {
  if (!__builtin_cpu_supports("fma") || !__builtin_cpu_supports("avx2"))
    GTEST_SKIP() << "no FMA and AVX2: the C library runs its other exp and pow";
  const family& f = GetParam();
  const arguments args = f.make();
  std::size_t wrong = 0;
  for (const auto& [x, y] : args) {
    const double got = f.twin(x, y), want = f.system(x, y);
    // Of two NaN operands the one an x86 add keeps depends on their order,
    // which the compiler may commute: then any NaN matches any.
    if (std::isnan(x) && std::isnan(y) && std::isnan(got) && std::isnan(want)) continue;
    if (bits(got) != bits(want) && wrong++ < 5)
      ADD_FAILURE() << f.name << std::hexfloat << " (" << x << ", " << y << "): " << got
                    << ", the library " << want;
  }
  std::printf("%s: %zu arguments, %zu differ\n", f.name, args.size(), wrong);
  EXPECT_EQ(wrong, 0u);
}

INSTANTIATE_TEST_SUITE_P(Glibc, LibmTwins, testing::ValuesIn(families),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace

// The scalar twin's fused multiply-add where the target has none
// (WebAssembly): the emulation against the CPU's fma, on products and
// addends of every relative size, cancelling sums, exact products, ties,
// zero factors, and the arguments it hands to fma.
TEST(EmulatedFma, MatchesFmaBitForBit) {
  rng = std::mt19937_64(4);
  const auto scaled = [] { return std::ldexp(uniform(-1, 1), int(uniform(-60, 60))); };
  std::size_t wrong = 0, count = 0;
  const auto check = [&](double a, double b, double c) {
    ++count;
    const double got = cis_detail::emulated_fma(a, b, c), want = std::fma(a, b, c);
    // Of two NaN operands the one an x86 fma keeps depends on their order,
    // which the compiler may commute: then any NaN matches any.
    const bool nan_operands = std::isnan(a) + std::isnan(b) + std::isnan(c) > 1;
    if (nan_operands && std::isnan(got) && std::isnan(want)) return;
    if (bits(got) != bits(want) && wrong++ < 5)
      ADD_FAILURE() << std::hexfloat << "fma(" << a << ", " << b << ", " << c << "): " << got
                    << ", not " << want;
  };
  for (int i = 0; i < 1'000'000; ++i) check(random_bits(), random_bits(), random_bits());
  for (int i = 0; i < 3'000'000; ++i) {
    const double a = scaled(), b = scaled();
    check(a, b, scaled());
    check(a, b, -(a * b) * (1 + std::ldexp(uniform(-1, 1), -int(uniform(0, 60)))));
    // Exact products: a whole number below 2^26 times 26 bits, as in the
    // reduction.
    check(std::round(uniform(-0x1p26, 0x1p26)), std::ldexp(std::round(uniform(0, 0x1p26)), -26),
          scaled());
    // An addend whose sum with the product lands near a tie of the result.
    check(a, b, std::ldexp(std::nextafter(a * b, 0.0), 54 - int(uniform(0, 4))));
  }
  for (double a : special_values())
    for (double b : {0.0, -1.5, 0x1p-600, 3.0})
      for (double c : {0.0, -0.0, 1.0, DBL_TRUE_MIN}) check(a, b, c);
  std::printf("fma: %zu arguments, %zu differ\n", count, wrong);
  EXPECT_EQ(wrong, 0u);
}
