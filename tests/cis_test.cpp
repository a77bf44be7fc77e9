// The phasor kernel against the system library, bit for bit: each path of
// the table and each shape twin a test instance of its own (skipped, with
// the reason, where the CPU lacks it), on random, boundary, special and the
// programs' own phase arguments; the fused sums against a std::complex
// accumulation written out; and the dispatcher.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include <slits/cis.hpp>
#include "bench.hpp"
#include "paths.hpp"

namespace cis_detail {
void PrintTo(const path& p, std::ostream* os) { *os << p.name; }
}  // namespace cis_detail

namespace {

using cis_detail::path;

// The default bench, under the names the programs' phases are written with.
const bench& b = default_bench();
const int source_samples = b.source_samples, entrance_samples = b.entrance_samples,
          pair_samples = b.pair_samples, screen_count = b.screen_count,
          monogap_points = b.screen_points(program(program_id::monogap));
const double source_width = b.source_width, source_distance = b.source_distance,
             pair_distance = b.pair_distance, screen_distance = b.screen_distance,
             single_screen_max = b.single_screen_max, double_screen_max = b.double_screen_max,
             wavenumber = b.wavenumber;
double hop_phase(double p, double q, double L) { return b.hop_phase(p, q, L); }
double source_point(int j) { return b.source_point(j); }
double entrance_point(int n) { return b.entrance_point(n); }
double pair_point(int m) { return b.pair_point(m); }
double LED(double x) { return ::LED(x, b.led_sigma); }

std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }

bool is_system(const path& p) { return std::string(p.name) == cis_detail::system_path.name; }

// Whether this C library is the one the kernel reproduces: some path that
// evaluates the algorithm itself passes the self-check on this CPU.
bool library_reproduced() {
  static const bool reproduced = [] {
    for (const path& p : cis_detail::paths())
      if (!is_system(p) && cis_detail::self_check(p)) return true;
    return false;
  }();
  return reproduced;
}

// One instance per path of the table and per shape twin. The phasors
// compare with the system path itself: that one is skipped there.
class PathTest : public testing::TestWithParam<path> {
 protected:
  void SetUp() override {
    const path& p = GetParam();
    if (!p.supported()) GTEST_SKIP() << p.name << ": this CPU lacks its instructions";
    if (!is_system(p) && !library_reproduced())
      GTEST_SKIP() << "this C library is not the one the kernel reproduces (every path failed "
                      "the self-check); CisDispatch checks that the system path is selected";
  }
};
class CisPhasors : public PathTest {
 protected:
  void SetUp() override {
    if (is_system(GetParam())) GTEST_SKIP() << "system: the reference itself";
    PathTest::SetUp();
  }
};
class CisSums : public PathTest {};

std::string path_name(const testing::TestParamInfo<path>& info) { return info.param.name; }

// The reference, written out as a program would: one std::exp per phase.
void literal(const std::vector<double>& theta, std::vector<double>& c, std::vector<double>& s) {
  c.resize(theta.size());
  s.resize(theta.size());
  for (std::size_t k = 0; k < theta.size(); ++k) {
    const std::complex<double> z = std::exp(std::complex<double>(0.0, theta[k]));
    c[k] = z.real();
    s[k] = z.imag();
  }
}

// The path against the reference; reports the first few mismatches.
void expect_path_matches(const path& p, const std::vector<double>& theta, const std::string& what) {
  std::vector<double> rc, rs;
  literal(theta, rc, rs);
  std::vector<double> c(theta.size()), s(theta.size());
  p.evaluate(theta.data(), c.data(), s.data(), theta.size());
  int reported = 0;
  std::size_t wrong = 0;
  for (std::size_t k = 0; k < theta.size(); ++k) {
    if (bits(c[k]) == bits(rc[k]) && bits(s[k]) == bits(rs[k])) continue;
    ++wrong;
    if (reported++ < 5)
      ADD_FAILURE() << what << ": theta = " << std::hexfloat << theta[k] << " gives (" << c[k]
                    << ", " << s[k] << "), library (" << rc[k] << ", " << rs[k] << ")";
  }
  EXPECT_EQ(wrong, 0u) << what << " of " << theta.size();
}

// theta's two halves as the upper and lower terms of the fused sums, each
// phasor checked on its own (expect_terms_match, below).
void expect_sum_terms_match(const path& p, const std::vector<double>& theta,
                            const std::string& what);

// Deterministic uniform doubles in [lo, hi).
struct uniform {
  std::uint64_t state;
  double next(double lo, double hi) {
    state += 0x9E3779B97F4A7C15u;  // splitmix64
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    return lo + (hi - lo) * (static_cast<double>(z >> 11) * 0x1p-53);
  }
};

// centre and its n neighbours on each side, both signs.
void add_ulps(std::vector<double>& v, double centre, int n) {
  double lo = centre, hi = centre;
  for (int i = 0; i <= n; ++i) {
    v.insert(v.end(), {lo, hi, -lo, -hi});
    lo = std::nextafter(lo, -INFINITY);
    hi = std::nextafter(hi, INFINITY);
  }
}

// n points spaced relatively by step around centre, both signs.
void add_spread(std::vector<double>& v, double centre, int n, double step) {
  for (int i = -n; i <= n; ++i) {
    const double x = centre * (1 + i * step);
    v.insert(v.end(), {x, -x});
  }
}

TEST_P(CisPhasors, HundredMillionArgumentsOverTwoThousand) {
  constexpr std::size_t total = 100'000'000, chunk = 1 << 20;
  uniform u{42};
  std::vector<double> theta(chunk);
  for (std::size_t done = 0; done < total && !HasFailure(); done += chunk) {
    theta.resize(std::min(chunk, total - done));
    for (double& t : theta) t = u.next(-2000, 2000);
    expect_path_matches(GetParam(), theta, "uniform in [-2000, 2000)");
  }
}

TEST_P(CisPhasors, SmallPhases) {
  uniform u{7};
  std::vector<double> theta(4'000'000);
  for (std::size_t k = 0; k < theta.size(); ++k)
    theta[k] = k % 2 ? u.next(-3, 3) : std::ldexp(u.next(-1, 1), -static_cast<int>(k % 64));
  expect_path_matches(GetParam(), theta, "|theta| < 3 and small powers of two");
}

TEST_P(CisPhasors, BranchLimits) {
  std::vector<double> v;
  const double hp = std::numbers::pi / 2;
  for (double b :
       {0x1p-27, 0x1p-26, 0.126, 0x1.b6p-1, 0x1.368fdp+1, hp - 0.126, hp + 0.126, 0x1.921fbp+26}) {
    add_ulps(v, b, 3000);
    add_spread(v, b, 3000, 1e-9);
  }
  expect_path_matches(GetParam(), v, "around branch limits");
  expect_sum_terms_match(GetParam(), v, "around branch limits");
}

TEST_P(CisPhasors, QuadrantEdgesAndTaylorSwitchAfterReduction) {
  std::vector<double> v;
  const double hp = std::numbers::pi / 2;
  for (int q = 1; q <= 1400; ++q) {  // beyond the programs' |theta| < 1100
    add_ulps(v, q * hp, 40);
    add_ulps(v, q * hp + 0.126, 10);
    add_ulps(v, q * hp - 0.126, 10);
    add_spread(v, q * hp, 20, 1e-12);
  }
  for (double q : {1e4, 1e5, 1e6, 1e7, 6.7e7}) add_ulps(v, std::nearbyint(q) * hp, 200);
  expect_path_matches(GetParam(), v, "around multiples of pi/2");
  expect_sum_terms_match(GetParam(), v, "around multiples of pi/2");
}

TEST_P(CisPhasors, TablePointsAndRoundingTies) {
  std::vector<double> v;
  const double hp = std::numbers::pi / 2;
  for (int k = 0; k < 110; ++k) {
    const double point = k / 128.0, tie = (k + 0.5) / 128;
    add_ulps(v, point, 30);
    add_ulps(v, tie, 30);
    add_ulps(v, hp - tie, 30);  // the 0.8555 .. 2.4263 branch reduces to pi/2 - |x|
    for (int q : {1, 2, 3, 7, 100, 699}) {
      add_ulps(v, q * hp + tie, 5);
      add_ulps(v, q * hp - tie, 5);
    }
  }
  expect_path_matches(GetParam(), v, "around table points");
  expect_sum_terms_match(GetParam(), v, "around table points");
}

TEST_P(CisPhasors, ZerosSubnormalsInfinitiesNansAndHugeValues) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<double> v = {0.0,
                           DBL_TRUE_MIN,
                           3 * DBL_TRUE_MIN,
                           DBL_MIN / 3,
                           std::nextafter(DBL_MIN, 0.0),
                           DBL_MIN,
                           std::nextafter(DBL_MIN, 1.0),
                           0x1p-600,
                           1e-20,
                           INFINITY,
                           nan,
                           std::copysign(nan, -1.0),
                           std::bit_cast<double>(std::uint64_t{0x7ff0000000000123}),  // signalling
                           std::bit_cast<double>(std::uint64_t{0x7ff8000000abcdef}),
                           0x1.921fbp+26,
                           1e9,
                           1e22,
                           1e300,
                           DBL_MAX};
  const std::size_t n = v.size();
  for (std::size_t k = 0; k < n; ++k) v.push_back(-v[k]);
  expect_path_matches(GetParam(), v, "special values");
  expect_sum_terms_match(GetParam(), v, "special values");

  // Each special value also inside a block of ordinary ones, at every lane.
  for (std::size_t k = 0; k < n; ++k)
    for (std::size_t lane = 0; lane < 8; ++lane) {
      std::vector<double> block(8, 1.25);
      block[lane] = v[k];
      expect_path_matches(GetParam(), block, "special value in lane " + std::to_string(lane));
    }
}

TEST_P(CisPhasors, EveryRemainderAndNothingBeyondCount) {
  uniform u{3};
  for (std::size_t count = 0; count <= 37; ++count) {
    std::vector<double> theta(count + 1);
    for (double& t : theta) t = u.next(-1100, 1100);
    theta[count / 2] = 1e300;  // one lane for the library, in the tail when short
    std::vector<double> rc, rs;
    literal(theta, rc, rs);
    const double guard = -7.5;
    std::vector<double> c(count + 1, guard), s(count + 1, guard);
    GetParam().evaluate(theta.data(), c.data(), s.data(), count);
    for (std::size_t k = 0; k < count; ++k) {
      EXPECT_EQ(bits(c[k]), bits(rc[k])) << "count " << count;
      EXPECT_EQ(bits(s[k]), bits(rs[k])) << "count " << count;
    }
    EXPECT_EQ(c[count], guard) << "wrote past " << count;
    EXPECT_EQ(s[count], guard) << "wrote past " << count;
  }
}

TEST_P(CisPhasors, OutputsMayOverwriteThePhases) {
  std::vector<double> theta = {0.5, 1e300, -2.0, 3.5, 1e-30, 700.25, INFINITY, -1100.0, 0.1, 2e8};
  std::vector<double> rc, rs;
  literal(theta, rc, rs);
  std::vector<double> c = theta, s(theta.size());
  GetParam().evaluate(c.data(), c.data(), s.data(), c.size());
  for (std::size_t k = 0; k < theta.size(); ++k) {
    EXPECT_EQ(bits(c[k]), bits(rc[k])) << "in place, " << k;
    EXPECT_EQ(bits(s[k]), bits(rs[k])) << "in place, " << k;
  }
}

// Phases exactly as each program forms them.
std::vector<double> monogap_phases() {
  std::vector<double> v;
  for (int i = 0; i < monogap_points; ++i)
    for (int n = 0; n < entrance_samples; ++n)
      v.push_back(hop_phase(entrance_point(n), screen_point(i, monogap_points, single_screen_max),
                            pair_distance + screen_distance));
  return v;
}

std::vector<double> duogap_phases() {
  std::vector<double> v;
  for (int i = 0; i < screen_count; ++i) {
    const double x = screen_point(i, screen_count, double_screen_max);
    for (int m = 0; m < pair_samples; ++m) {
      const double y = pair_point(m);
      for (int n = 0; n < entrance_samples; ++n) {
        const double s = entrance_point(n);
        v.push_back(hop_phase(s, y, pair_distance) + hop_phase(y, x, screen_distance));
        v.push_back(hop_phase(s, -y, pair_distance) + hop_phase(-y, x, screen_distance));
      }
    }
  }
  return v;
}

std::vector<double> broad_monogap_phases() {
  std::vector<double> v;
  for (int i = 0; i < screen_count; ++i) {
    const double x = screen_point(i, screen_count, single_screen_max);
    for (int n = 0; n < entrance_samples; ++n) {
      const double s = entrance_point(n);
      for (int j = 0; j < source_samples; ++j)
        v.push_back(hop_phase(source_point(j), s, source_distance) +
                    hop_phase(s, x, pair_distance + screen_distance));
    }
  }
  return v;
}

std::vector<double> conv_monogap_phases() {
  std::vector<double> v;
  for (int i = 0; i < screen_count; ++i) {
    const double x = screen_point(i, screen_count, single_screen_max);
    for (int j = 0; j < source_samples; ++j) {
      const double d = source_point(j);
      for (int n = 0; n < entrance_samples; ++n) {
        const double s = entrance_point(n);
        v.push_back(((s - d) / source_distance + (s - x) / (pair_distance + screen_distance)) *
                    (wavenumber * s));
      }
    }
  }
  return v;
}

TEST_P(CisPhasors, ProgramPhases) {
  const struct {
    const char* program;
    std::vector<double> (*phases)();
  } programs[] = {{"monogap", monogap_phases},
                  {"duogap", duogap_phases},
                  {"broad_monogap", broad_monogap_phases},
                  {"conv_monogap", conv_monogap_phases}};
  for (const auto& [program, phases] : programs) expect_path_matches(GetParam(), phases(), program);
}

// ---------------------------------------------------------------------------
// Fused sums.

using cplx = std::complex<double>;

// One block of the fused sums: per term an upper (and, for pairs, a lower)
// phase, per lane the offsets and the accumulators' starting values.
struct sums_case {
  std::vector<double> upper, lower;  // lower empty: cis_add
  double upper_offset[cis_block_size], lower_offset[cis_block_size];
  double weight;
  double re[cis_block_size], im[cis_block_size];
};

// The sums as a program writes them: a std::complex accumulator per lane.
void literal_sums(const sums_case& k, cplx (&A)[cis_block_size]) {
  for (int l = 0; l < cis_block_size; ++l) A[l] = cplx(k.re[l], k.im[l]);
  for (std::size_t t = 0; t < k.upper.size(); ++t)
    for (int l = 0; l < cis_block_size; ++l) {
      if (k.lower.empty())
        A[l] += k.weight * std::exp(cplx(0.0, k.upper[t] + k.upper_offset[l]));
      else
        A[l] += k.weight * (std::exp(cplx(0.0, k.upper[t] + k.upper_offset[l])) +
                            std::exp(cplx(0.0, k.lower[t] + k.lower_offset[l])));
    }
}

// Of two NaN addends an add keeps either, by an operand order the compiler
// may commute; every other value must match bit for bit.
bool same_sum(double a, double b) { return bits(a) == bits(b) || (std::isnan(a) && std::isnan(b)); }

// Each phasor the sums add, on its own.
void expect_terms_match(const path& p, const sums_case& k, const std::string& what) {
  const bool pairs = !k.lower.empty();  // else the upper phases stand in for the lower
  EXPECT_EQ(cis_detail::sum_term_mismatches(p, k.upper.data(), (pairs ? k.lower : k.upper).data(),
                                            k.upper.size(), k.upper_offset,
                                            pairs ? k.lower_offset : k.upper_offset, k.weight),
            0u)
      << what << ": values differing from the library";
}

void expect_sum_terms_match(const path& p, const std::vector<double>& theta,
                            const std::string& what) {
  sums_case k;
  const std::size_t half = theta.size() / 2;
  k.upper.assign(theta.begin(), theta.begin() + half);
  k.lower.assign(theta.begin() + half, theta.begin() + 2 * half);
  std::fill_n(k.upper_offset, cis_block_size, -0.0);  // x + -0.0 is x: the phases land exactly
  std::fill_n(k.lower_offset, cis_block_size, -0.0);
  k.weight = 0.75;
  expect_terms_match(p, k, what + ", as sum terms");
}

// The path against the literal sums, and each phasor they add on its own. A
// NaN placed after the last term catches a read beyond it.
void expect_sums_match(const path& p, sums_case k, const std::string& what) {
  expect_terms_match(p, k, what);
  cplx A[cis_block_size];
  literal_sums(k, A);
  const std::size_t terms = k.upper.size();
  const bool pairs = !k.lower.empty();
  k.upper.push_back(std::numeric_limits<double>::quiet_NaN());
  if (pairs) k.lower.push_back(std::numeric_limits<double>::quiet_NaN());
  double re[cis_block_size], im[cis_block_size];
  std::copy(k.re, k.re + cis_block_size, re);
  std::copy(k.im, k.im + cis_block_size, im);
  if (pairs)
    p.add_pairs(k.upper.data(), k.lower.data(), terms, k.upper_offset, k.lower_offset, k.weight, re,
                im);
  else
    p.add(k.upper.data(), terms, k.upper_offset, k.weight, re, im);
  for (int l = 0; l < cis_block_size; ++l)
    EXPECT_TRUE(same_sum(re[l], A[l].real()) && same_sum(im[l], A[l].imag()))
        << what << (pairs ? ", pairs" : ", single") << ", lane " << l << " of " << terms
        << " terms: (" << std::hexfloat << re[l] << ", " << im[l] << "), literal " << A[l];
}

// Random terms: phases over the programs' range, or small ones around the
// branch limits short of the reduction.
sums_case random_case(uniform& u, std::size_t terms, bool pairs, bool small) {
  sums_case k;
  for (std::size_t t = 0; t < terms; ++t) {
    k.upper.push_back(small ? u.next(-1, 1) : u.next(-1100, 1100));
    if (pairs) k.lower.push_back(small ? u.next(-3, 3) : u.next(-1100, 1100));
  }
  for (int l = 0; l < cis_block_size; ++l) {
    k.upper_offset[l] = small ? std::ldexp(u.next(-1, 1), -4 * l) : u.next(-300, 300);
    k.lower_offset[l] = small ? (l % 2 ? 0.0 : u.next(-1, 1)) : u.next(-300, 300);
    k.re[l] = u.next(-50, 50);
    k.im[l] = l == 3 ? -0.0 : u.next(-50, 50);
  }
  k.weight = u.next(-2, 2);
  return k;
}

TEST_P(CisSums, RandomTermsEveryCountAndWeight) {
  uniform u{101};
  for (std::size_t terms : {0, 1, 2, 3, 5, 7, 8, 9, 15, 16, 17, 33, 100, 1000})
    for (bool pairs : {true, false})
      for (bool small : {false, true}) {
        sums_case k = random_case(u, terms, pairs, small);
        expect_sums_match(GetParam(), k, "random, weight " + std::to_string(k.weight));
        k.weight = 1.0;
        expect_sums_match(GetParam(), k, "random, weight 1");
      }
}

TEST_P(CisSums, LanesAndTermsOutsideTheKernelRange) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double odd[] = {INFINITY, -INFINITY, nan, 1e300, -2e8, 0x1.921fbp+26, 1e-310, 0.0};
  uniform u{202};
  for (std::size_t lane = 0; lane < cis_block_size; ++lane)
    for (bool pairs : {true, false}) {
      sums_case k = random_case(u, 21, pairs, false);
      k.upper_offset[lane] = odd[lane];
      k.lower_offset[(lane + 3) % cis_block_size] = odd[(lane + 5) % 8];
      k.upper[lane] = 1e300;  // a whole term for the library, at varying places
      if (pairs) k.lower[20 - lane] = -INFINITY;
      expect_sums_match(GetParam(), k, "odd lane " + std::to_string(lane));
    }
}

// The programs' own terms and offsets.
TEST_P(CisSums, BroadDuogapBlocks) {
  for (int first : {0, 496, 992}) {
    sums_case k;
    for (int l = 0; l < cis_block_size; ++l) k.re[l] = k.im[l] = 0.0;
    k.weight = 1.0;
    const double x0 = screen_point(first, 1000, 4);
    for (int m = 0; m < pair_samples; m += 9) {
      const double y = pair_point(m);
      for (int l = 0; l < cis_block_size; ++l) {
        const double x = screen_point(first + l, 1000, 4);
        k.upper_offset[l] = hop_phase(y, x, screen_distance);
        k.lower_offset[l] = hop_phase(-y, x, screen_distance);
      }
      for (int n = 0; n < entrance_samples; n += 11) {
        const double s = entrance_point(n);
        const double Qu = hop_phase(s, y, pair_distance);
        const double Ql = hop_phase(s, -y, pair_distance);
        k.upper.clear();
        k.lower.clear();
        for (int j = 0; j < source_samples; ++j) {
          const double R = hop_phase(source_point(j), s, source_distance);
          k.upper.push_back(R + Qu);
          k.lower.push_back(R + Ql);
        }
        expect_sums_match(GetParam(), k, "broad_duogap x = " + std::to_string(x0));
        cplx A[cis_block_size];
        literal_sums(k, A);  // carry the sums on, as the program does
        for (int l = 0; l < cis_block_size; ++l) {
          k.re[l] = A[l].real();
          k.im[l] = A[l].imag();
        }
      }
    }
  }
}

TEST_P(CisSums, ConvDuogapBlocks) {
  const double dd = source_width / 100.0;
  for (int first : {8, 504}) {
    for (int j : {0, 37, 99}) {
      const double d = (j * dd) + ((-source_width) / 2.0);
      sums_case k;
      k.weight = LED(d) * dd;
      for (int l = 0; l < cis_block_size; ++l) k.re[l] = k.im[l] = 0.0;
      for (int m = 0; m < pair_samples; m += 13) {
        const double y = pair_point(m);
        for (int l = 0; l < cis_block_size; ++l) {
          const double x = screen_point(first + l, 1000, 4);
          k.upper_offset[l] = hop_phase(y, x, screen_distance);
          k.lower_offset[l] = hop_phase(-y, x, screen_distance);
        }
        k.upper.clear();
        k.lower.clear();
        for (int n = 0; n < entrance_samples; ++n) {
          const double s = entrance_point(n);
          k.upper.push_back(((s - d) / source_distance + (s - y) / pair_distance) *
                            (wavenumber * s));
          k.lower.push_back(((s - d) / source_distance + (s + y) / pair_distance) *
                            (wavenumber * s));
        }
        expect_sums_match(GetParam(), k, "conv_duogap j = " + std::to_string(j));
        k.lower.clear();
        expect_sums_match(GetParam(), k, "conv_duogap upper paths alone, j = " + std::to_string(j));
      }
    }
  }
}

TEST_P(CisSums, PassesTheSelfCheck) { EXPECT_TRUE(cis_detail::self_check(GetParam())); }

// The vector paths against the scalar twin, whatever the C library: the
// algorithm's arithmetic bit for bit, phasor by phasor and in the pair
// sums' own terms.
class CisVectors : public testing::TestWithParam<path> {
 protected:
  void SetUp() override {
    const path& p = GetParam();
    if (!p.vector) GTEST_SKIP() << p.name << ": not a vector path";
    if (!p.supported()) GTEST_SKIP() << p.name << ": this CPU lacks its instructions";
  }
};

TEST_P(CisVectors, MatchTheScalarTwin) {
  const path& p = GetParam();
  const path& twin = *cis_detail::find_path("scalar");
  uniform u{5};
  std::vector<double> theta(1 << 20);
  for (std::size_t k = 0; k < theta.size(); ++k)  // the programs' range, and small phases
    theta[k] = k % 4 ? u.next(-2000, 2000) : std::ldexp(u.next(-4, 4), -static_cast<int>(k % 40));
  std::vector<double> out[2];
  for (int i = 0; i < 2; ++i) {
    out[i].resize(2 * theta.size());
    (i ? twin : p)
        .evaluate(theta.data(), out[i].data(), out[i].data() + theta.size(), theta.size());
  }
  EXPECT_TRUE(std::equal(out[0].begin(), out[0].end(), out[1].begin(),
                         [](double a, double b) { return bits(a) == bits(b); }));

  const std::size_t terms = theta.size() / 2 / cis_block_size, n = terms * cis_block_size;
  double upper_offset[cis_block_size], lower_offset[cis_block_size];
  for (int l = 0; l < cis_block_size; ++l) {
    upper_offset[l] = u.next(-300, 300);
    lower_offset[l] = l % 2 ? 0.0 : u.next(-1, 1);
  }
  for (int i = 0; i < 2; ++i) {
    double* const phasors[4] = {out[i].data(), out[i].data() + n, out[i].data() + 2 * n,
                                out[i].data() + 3 * n};
    (i ? twin : p)
        .pair_terms(theta.data(), theta.data() + terms, terms, upper_offset, lower_offset, phasors);
  }
  EXPECT_TRUE(std::equal(out[0].begin(), out[0].begin() + 4 * n, out[1].begin(),
                         [](double a, double b) { return bits(a) == bits(b); }))
      << "pair terms";
}

INSTANTIATE_TEST_SUITE_P(Paths, CisPhasors, testing::ValuesIn(cis_detail::paths()), path_name);
INSTANTIATE_TEST_SUITE_P(ShapeTwins, CisPhasors, testing::ValuesIn(cis_detail::shape_twins()),
                         path_name);
INSTANTIATE_TEST_SUITE_P(Paths, CisSums, testing::ValuesIn(cis_detail::paths()), path_name);
INSTANTIATE_TEST_SUITE_P(ShapeTwins, CisSums, testing::ValuesIn(cis_detail::shape_twins()),
                         path_name);
INSTANTIATE_TEST_SUITE_P(Paths, CisVectors, testing::ValuesIn(cis_detail::paths()), path_name);
INSTANTIATE_TEST_SUITE_P(ShapeTwins, CisVectors, testing::ValuesIn(cis_detail::shape_twins()),
                         path_name);

TEST(CisDispatch, PicksTheWidestPathThatPassesItsSelfCheck) {
  for (const path& p : cis_detail::paths())
    if (!p.supported()) {
      EXPECT_FALSE(cis_detail::self_check(p)) << p.name;
    }
  EXPECT_EQ(&cis_detail::choose(true), &cis_detail::system_path);
  if (!library_reproduced()) {
#if defined(__x86_64__) && defined(__GLIBC__) && __GLIBC__ == 2 && __GLIBC_MINOR__ == 36
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
      ADD_FAILURE() << "glibc 2.36 with FMA is the library the kernel reproduces, yet every path "
                       "failed the self-check";
#endif
    EXPECT_EQ(&cis_detail::selected(), &cis_detail::system_path);
    return;
  }
  const path* expected = &cis_detail::system_path;
  for (const char* name : {"avx2", "avx512"})
    if (const path* p = cis_detail::find_path(name); p && p->supported()) expected = p;
  EXPECT_STREQ(cis_detail::choose(false).name, expected->name);
  EXPECT_EQ(&cis_detail::selected(), expected);
}

TEST(CisDispatch, PublicSumsMatchTheSelectedPath) {
  uniform u{303};
  sums_case k = random_case(u, 257, true, false);
  k.upper_offset[2] = INFINITY;
  cplx A[cis_block_size];
  literal_sums(k, A);
  double re[cis_block_size], im[cis_block_size];
  std::copy(k.re, k.re + cis_block_size, re);
  std::copy(k.im, k.im + cis_block_size, im);
  cis_add_pairs(k.upper.data(), k.lower.data(), k.upper.size(), k.upper_offset, k.lower_offset,
                k.weight, re, im);
  for (int l = 0; l < cis_block_size; ++l)
    EXPECT_TRUE(same_sum(re[l], A[l].real()) && same_sum(im[l], A[l].imag())) << l;

  k.lower.clear();
  literal_sums(k, A);
  std::copy(k.re, k.re + cis_block_size, re);
  std::copy(k.im, k.im + cis_block_size, im);
  cis_add(k.upper.data(), k.upper.size(), k.upper_offset, k.weight, re, im);
  for (int l = 0; l < cis_block_size; ++l)
    EXPECT_TRUE(same_sum(re[l], A[l].real()) && same_sum(im[l], A[l].imag())) << l;
}

TEST(CisDispatch, PublicEntryMatchesTheLibrary) {
  uniform u{11};
  std::vector<double> theta(10007);
  for (double& t : theta) t = u.next(-1100, 1100);
  theta[5] = INFINITY;
  theta[6] = 1e-310;
  std::vector<double> rc, rs, c(theta.size()), s(theta.size());
  literal(theta, rc, rs);
  cis(theta.data(), c.data(), s.data(), theta.size());
  for (std::size_t k = 0; k < theta.size(); ++k) {
    ASSERT_EQ(bits(c[k]), bits(rc[k])) << k;
    ASSERT_EQ(bits(s[k]), bits(rs[k])) << k;
  }
}

}  // namespace
