// The table of paths, the start-up self-check, the choice made once, and
// the public entry points.
#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include <slits/cis.hpp>
#include "constants.hpp"
#include "paths.hpp"

namespace cis_detail {

void system_cis(double theta, double& cos_theta, double& sin_theta) {
  const std::complex<double> z = std::exp(std::complex<double>(0.0, theta));
  cos_theta = z.real();
  sin_theta = z.imag();
}

constinit const path system_path = element_path<system_cis>("system");

namespace {

#if defined(__x86_64__)
const path table[] = {system_path, scalar_path, avx2_path, avx512_path};
#elif SLITS_CIS_SCALAR && SLITS_CIS_SIMD128
const path table[] = {system_path, scalar_path, simd128_path, simd128_fma_path};
#elif SLITS_CIS_SCALAR
const path table[] = {system_path, scalar_path};
#else
const path table[] = {system_path};
#endif

void add_around(std::vector<double>& v, double centre, int ulps) {
  double lo = centre, hi = centre;
  v.push_back(centre);
  for (int i = 0; i < ulps; ++i) {
    lo = std::nextafter(lo, -INFINITY);
    hi = std::nextafter(hi, INFINITY);
    v.push_back(lo);
    v.push_back(hi);
  }
}

// A few thousand arguments touching every branch and each side of every
// branch limit, both signs, plus a spread over the programs' phase range.
std::vector<double> self_check_arguments() {
  std::vector<double> v;
  const double limits[] = {tiny_limit,         taylor_limit,       table_limit, quarter_limit,
                           hp0 - taylor_limit, hp0 + taylor_limit, reduce_limit};
  for (double b : limits) add_around(v, b, 8);
  for (int q = 1; q <= 40; ++q) {  // quadrant edges and the 0.126 switch after reduction
    const double m = q * hp0;
    add_around(v, m, 2);
    add_around(v, m + taylor_limit, 2);
    add_around(v, m - taylor_limit, 2);
  }
  for (int k = 1; k < 110; ++k) add_around(v, (k + 0.5) / 128, 1);  // table index ties
  const double specials[] = {0.0,
                             DBL_MIN,
                             DBL_TRUE_MIN,
                             0x1p-600,
                             1e300,
                             INFINITY,
                             std::numeric_limits<double>::quiet_NaN(),
                             0x1p-26,
                             1.0,
                             2.0,
                             3.0,
                             1100.0,
                             2000.0};
  for (double s : specials) v.push_back(s);
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  for (int i = 0; i < 1500; ++i) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const double u = static_cast<double>(state >> 11) * 0x1p-53;  // [0, 1)
    v.push_back(i % 3 ? (u - 0.5) * 2400 : (u - 0.5) * 6);
  }
  const std::size_t n = v.size();
  for (std::size_t i = 0; i < n; ++i) v.push_back(-v[i]);
  return v;
}

// What every path must reproduce: the library, or where it is not glibc
// (SLITS_CIS_SCALAR) the scalar twin, glibc's algorithm.
const path& reference() {
#if SLITS_CIS_SCALAR
  return scalar_path;
#else
  return system_path;
#endif
}

void reference_cis(double theta, double& cos_theta, double& sin_theta) {
  reference().evaluate(&theta, &cos_theta, &sin_theta, 1);
}

// The self-check's weight, 1/sqrt 2: its full significand makes nearly every
// product round, so a product fused into the sum shows.
constexpr double self_check_weight = 0x1.6a09e667f3bcdp-1;

bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// For sums: of two NaN addends the one an x86 add keeps depends on the
// operand order, which the compiler may commute, so any NaN matches any.
bool same_sum(double a, double b) { return same_bits(a, b) || (std::isnan(a) && std::isnan(b)); }

}  // namespace

std::span<const path> paths() { return table; }

std::size_t sum_term_mismatches(const path& p, const double* upper, const double* lower,
                                std::size_t terms, const double* upper_offset,
                                const double* lower_offset, double weight) {
  const std::size_t n = terms * cis_block_size;
  std::vector<double> out(4 * n);
  double* const phasors[4] = {out.data(), out.data() + n, out.data() + 2 * n, out.data() + 3 * n};
  p.pair_terms(upper, lower, terms, upper_offset, lower_offset, phasors);
  std::size_t wrong = 0;
  for (std::size_t t = 0; t < terms; ++t)
    for (double w : {1.0, weight}) {
      // cis_add and cis_add_pairs with this term alone; 1.0 * x is x.
      double re[2][cis_block_size], im[2][cis_block_size];
      std::fill_n(&re[0][0], 2 * cis_block_size, -0.0);
      std::fill_n(&im[0][0], 2 * cis_block_size, -0.0);
      p.add(upper + t, 1, upper_offset, w, re[0], im[0]);
      p.add_pairs(upper + t, lower + t, 1, upper_offset, lower_offset, w, re[1], im[1]);
      for (int l = 0; l < cis_block_size; ++l) {
        const std::size_t at = t * cis_block_size + l;
        double cu, su, cv, sv;
        reference_cis(upper[t] + upper_offset[l], cu, su);
        reference_cis(lower[t] + lower_offset[l], cv, sv);
        if (!same_bits(phasors[0][at], cu) || !same_bits(phasors[1][at], su) ||
            !same_bits(phasors[2][at], cv) || !same_bits(phasors[3][at], sv) ||
            !same_sum(re[0][l], -0.0 + w * cu) || !same_sum(im[0][l], -0.0 + w * su) ||
            !same_sum(re[1][l], -0.0 + w * (cu + cv)) || !same_sum(im[1][l], -0.0 + w * (su + sv)))
          ++wrong;
      }
    }
  return wrong;
}

const path* find_path(const char* name) {
  for (const path& p : table)
    if (std::strcmp(p.name, name) == 0) return &p;
  return nullptr;
}

bool self_check(const path& p) {
  if (!p.supported()) return false;
  const std::vector<double> theta = self_check_arguments();
  const std::size_t n = theta.size();
  std::vector<double> c(n), s(n);
  p.evaluate(theta.data(), c.data(), s.data(), n);
  for (std::size_t k = 0; k < n; ++k) {
    double rc, rs;
    reference_cis(theta[k], rc, rs);
    if (!same_bits(c[k], rc) || !same_bits(s[k], rs)) return false;
  }
  // The fused sums over the same phases, as the terms of one block whose
  // lanes add nothing, a little, or push a phase out of range.
  const double upper_offset[cis_block_size] = {0.0, 0x1p-30, -1.5, 3.25, 1e300, 0.0, -700.125, 0.5};
  const double lower_offset[cis_block_size] = {0.0,  -0.75,    1e-300, 2.0,
                                               -0.0, INFINITY, 1100.0, -3.0};
  if (sum_term_mismatches(p, theta.data(), theta.data() + n / 2, n / 2, upper_offset, lower_offset,
                          self_check_weight) != 0)
    return false;
  double re[2][cis_block_size] = {}, im[2][cis_block_size] = {};
  double ref_re[2][cis_block_size] = {}, ref_im[2][cis_block_size] = {};
  p.add_pairs(theta.data(), theta.data() + n / 2, n / 2, upper_offset, lower_offset,
              self_check_weight, re[0], im[0]);
  reference().add_pairs(theta.data(), theta.data() + n / 2, n / 2, upper_offset, lower_offset,
                        self_check_weight, ref_re[0], ref_im[0]);
  p.add(theta.data(), n / 2, upper_offset, self_check_weight, re[1], im[1]);
  reference().add(theta.data(), n / 2, upper_offset, self_check_weight, ref_re[1], ref_im[1]);
  for (int sum = 0; sum < 2; ++sum)
    for (int l = 0; l < cis_block_size; ++l)
      if (!same_sum(re[sum][l], ref_re[sum][l]) || !same_sum(im[sum][l], ref_im[sum][l]))
        return false;
  return true;
}

const path& choose(bool fail_self_check) {
  // Widest first: the table lists the paths from narrowest to widest.
  for (std::size_t k = std::size(table); k-- > 0;)
    if (table[k].vector && table[k].supported() && !fail_self_check && self_check(table[k]))
      return table[k];
#if SLITS_CIS_SCALAR
  // A C library other than glibc (WebAssembly's): the scalar twin gives
  // glibc's bits where the library would not, so it is taken unchecked; a
  // check against this library would refuse it.
  if (!fail_self_check) return scalar_path;
#endif
  return system_path;
}

namespace {

// Chosen on first use: a function-local static, so that concurrent first
// callers wait for one choice. An atomic, so that use_path may replace it.
std::atomic<const path*>& current() {
  static std::atomic<const path*> chosen{&choose()};
  return chosen;
}

}  // namespace

const path& selected() { return *current().load(std::memory_order_acquire); }

void use_path(const path& p) { current().store(&p, std::memory_order_release); }

}  // namespace cis_detail

void cis(const double* theta, double* cos_theta, double* sin_theta, std::size_t count) {
  cis_detail::selected().evaluate(theta, cos_theta, sin_theta, count);
}

void cis_add(const double* base, std::size_t terms, const double* offset, double weight, double* re,
             double* im) {
  cis_detail::selected().add(base, terms, offset, weight, re, im);
}

void cis_add_pairs(const double* upper, const double* lower, std::size_t terms,
                   const double* upper_offset, const double* lower_offset, double weight,
                   double* re, double* im) {
  cis_detail::selected().add_pairs(upper, lower, terms, upper_offset, lower_offset, weight, re, im);
}

const char* cis_path_name() { return cis_detail::selected().name; }
