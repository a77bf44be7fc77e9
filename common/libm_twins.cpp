// glibc 2.36's exp and pow (sysdeps/ieee754/dbl-64/e_exp.c, e_pow.c) step
// by step. The library's FMA build compiles them with -mfma -mavx2 and lets
// the compiler contract a * b + c; std::fma stands exactly where
// __ieee754_exp_fma and __ieee754_pow_fma in libm.so.6 have a fused
// instruction (gdb -batch -ex 'disassemble __ieee754_pow_fma' with
// libc6-dbg; vfmadd / vfmsub), every other operation rounds on its own.
// The compiler fuses only within a basic block and only a product all of
// whose uses are sums, so near the subnormal range y = scale + scale * tmp
// stays unfused while the same sum on the main path is one fma.
#include "libm_twins.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "libm_twins_data.hpp"

namespace libm_twin {

namespace {

using namespace libm_twin_detail;

constexpr std::uint64_t bits(double x) { return std::bit_cast<std::uint64_t>(x); }
constexpr double from_bits(std::uint64_t b) { return std::bit_cast<double>(b); }
constexpr std::uint32_t top12(double x) { return static_cast<std::uint32_t>(bits(x) >> 52); }

constexpr std::uint64_t sign_mask = 0x8000000000000000;
constexpr std::uint64_t one_bits = 0x3ff0000000000000;
constexpr std::uint64_t inf_bits = 0x7ff0000000000000;
constexpr double inf = std::numeric_limits<double>::infinity();

// What the library's error tails return (math_err.c): huge * huge,
// tiny * tiny with the sign.
double overflow(bool negative) { return negative ? -inf : inf; }
double underflow(bool negative) { return negative ? -0.0 : 0.0; }

// Results near the ends of the range, scale (1 + tmp) with scale's exponent
// possibly out of range (e_pow.c's specialcase; e_exp.c's is the same for
// a positive scale). k > 0 scales down first; k < 0 rounds once to the
// subnormal precision, through 1 + y, so the result is not rounded twice.
double near_limits(double tmp, std::uint64_t sbits, std::uint64_t ki) {
  if ((ki & 0x80000000) == 0) {
    const double scale = from_bits(sbits - (std::uint64_t{1009} << 52));
    return 0x1p1009 * std::fma(scale, tmp, scale);
  }
  sbits += std::uint64_t{1022} << 52;
  const double scale = from_bits(sbits);
  double y = scale + scale * tmp;
  if (std::fabs(y) < 1.0) {
    const double one = y < 0.0 ? -1.0 : 1.0;
    double lo = (scale - y) + scale * tmp;
    const double hi = one + y;
    lo = ((one - hi) + y) + lo;
    y = (hi + lo) - one;
    if (y == 0.0) y = from_bits(sbits & sign_mask);
  }
  return 0x1p-1022 * y;
}

// exp(x + xtail) as 2^(k/128) exp(r), negated when sign_bias is set; x is
// past the special cases, near_range says whether it is beyond 512 in
// magnitude. pow adds its tail to r, exp has none.
double exp_core(double x, const double* xtail, std::uint64_t sign_bias, bool near_range) {
  // z = x 128/ln2 rounded to the integer kd, its bits left in ki's low half.
  double kd = std::fma(x, inv_ln2_n, shift);
  const std::uint64_t ki = bits(kd);
  kd = kd - shift;
  double r = std::fma(kd, neg_ln2_lo_n, std::fma(kd, neg_ln2_hi_n, x));
  if (xtail) r = r + *xtail;
  const exp_entry& e = exp_table[ki % exp_table_size];
  const std::uint64_t top = (ki + sign_bias) << (52 - exp_table_bits);
  const double tail = from_bits(e.tail);
  const std::uint64_t sbits = e.scale + top;  // valid for -1023*128 < k < 1024*128
  const double r2 = r * r;
  const double tmp =
      std::fma(r2 * r2, std::fma(r, c5, c4), std::fma(r2, std::fma(r, c3, c2), tail + r));
  if (near_range) return near_limits(tmp, sbits, ki);
  const double scale = from_bits(sbits);
  return std::fma(scale, tmp, scale);
}

// Whether iy is the bits of zero, an infinity or a NaN.
bool zero_inf_nan(std::uint64_t i) { return 2 * i - 1 >= 2 * inf_bits - 1; }

bool is_signaling(double x) {
  return 2 * (bits(x) ^ 0x0008000000000000) > 2 * std::uint64_t{0x7ff8000000000000};
}

// 0 if the finite non-zero y whose bits are iy is not an integer, 1 if odd,
// 2 if even.
int integer_kind(std::uint64_t iy) {
  const int e = static_cast<int>(iy >> 52 & 0x7ff);
  if (e < 0x3ff) return 0;
  if (e > 0x3ff + 52) return 2;
  if (iy & ((std::uint64_t{1} << (0x3ff + 52 - e)) - 1)) return 0;
  if (iy & (std::uint64_t{1} << (0x3ff + 52 - e))) return 1;
  return 2;
}

// log(x) as hi + tail, about 15 bits beyond a double; ix is x's bits with
// a subnormal x normalised (its exponent below the range).
double log_with_tail(std::uint64_t ix, double& tail) {
  // x = 2^k z, z in [off, 2 off); log x = k ln2 + log c + log1p(z/c - 1).
  const std::uint64_t tmp = ix - off;
  const auto i = static_cast<int>((tmp >> (52 - log_table_bits)) % log_table_size);
  const auto k = static_cast<int>(static_cast<std::int64_t>(tmp) >> 52);  // arithmetic shift
  const double z = from_bits(ix - (tmp & std::uint64_t{0xfff} << 52));
  const double kd = k;
  const log_entry& e = pow_log_table[i];

  const double r = std::fma(z, e.invc, -1.0);  // exact: 1/c has few bits
  const double t1 = std::fma(kd, ln2_hi, e.logc);
  const double t2 = t1 + r;
  const double lo1 = std::fma(kd, ln2_lo, e.logctail);
  const double lo2 = (t1 - t2) + r;
  const double ar = a[0] * r;
  const double ar2 = r * ar;
  const double ar3 = r * ar2;
  const double hi = t2 + ar2;
  const double lo3 = std::fma(ar, r, -ar2);  // the rounding error of ar2
  const double lo4 = (t2 - hi) + ar2;
  const double p = std::fma(ar2, std::fma(ar2, std::fma(r, a[6], a[5]), std::fma(r, a[4], a[3])),
                            std::fma(r, a[2], a[1]));
  const double lo = std::fma(ar3, p, ((lo1 + lo2) + lo3) + lo4);
  const double y = hi + lo;
  tail = (hi - y) + lo;
  return y;
}

// sign * exp(x + xtail), |xtail| tiny beside x (e_pow.c's exp_inline):
// the special cases, on x alone, then exp_core.
double exp_with_tail(double x, double xtail, std::uint64_t sign_bias) {
  const std::uint32_t abstop = top12(x) & 0x7ff;
  bool near_range = false;
  if (abstop - top12(0x1p-54) >= top12(512.0) - top12(0x1p-54)) {
    if (abstop - top12(0x1p-54) >= 0x80000000) {  // |x| < 2^-54
      const double one = 1.0 + x;
      return sign_bias ? -one : one;
    }
    if (abstop >= top12(1024.0))
      return (bits(x) >> 63) ? underflow(sign_bias != 0) : overflow(sign_bias != 0);
    near_range = true;
  }
  return exp_core(x, &xtail, sign_bias, near_range);
}

// Adding it to k << 45 sets the sign of 2^(k/128): x < 0, y odd.
constexpr std::uint64_t sign_bias_odd = std::uint64_t{0x800} << exp_table_bits;

}  // namespace

double exp(double x) {
  const std::uint32_t abstop = top12(x) & 0x7ff;
  bool near_range = false;
  if (abstop - top12(0x1p-54) >= top12(512.0) - top12(0x1p-54)) {
    if (abstop - top12(0x1p-54) >= 0x80000000) return 1.0 + x;  // |x| < 2^-54, and 0
    if (abstop >= top12(1024.0)) {
      if (bits(x) == bits(-inf)) return 0.0;
      if (abstop >= top12(inf)) return 1.0 + x;  // +inf, NaN
      return (bits(x) >> 63) ? underflow(false) : overflow(false);
    }
    near_range = true;
  }
  return exp_core(x, nullptr, 0, near_range);
}

double pow(double x, double y) {
  std::uint64_t sign_bias = 0;
  std::uint64_t ix = bits(x);
  const std::uint64_t iy = bits(y);
  std::uint32_t topx = top12(x);
  const std::uint32_t topy = top12(y);
  // x < 2^-1022, negative, inf or NaN; or |y| < 2^-65, |y| >= 2^63 or NaN
  // (beyond those x^y is 1, 0 or inf whatever the rounding).
  if (topx - 0x001 >= 0x7ff - 0x001 || (topy & 0x7ff) - 0x3be >= 0x43e - 0x3be) {
    if (zero_inf_nan(iy)) {
      if (2 * iy == 0) return is_signaling(x) ? x + y : 1.0;
      if (ix == one_bits) return is_signaling(y) ? x + y : 1.0;
      if (2 * ix > 2 * inf_bits || 2 * iy > 2 * inf_bits) return x + y;
      if (2 * ix == 2 * one_bits) return 1.0;
      if ((2 * ix < 2 * one_bits) == !(iy >> 63)) return 0.0;  // |x| < 1, y = inf or the reverse
      return y * y;
    }
    if (zero_inf_nan(ix)) {
      double x2 = x * x;
      const bool odd = (ix >> 63) && integer_kind(iy) == 1;
      if (odd) x2 = -x2;
      if (2 * ix == 0 && (iy >> 63)) return odd ? -inf : inf;  // division by zero
      return (iy >> 63) ? 1 / x2 : x2;
    }
    if (ix >> 63) {  // finite x < 0
      const int kind = integer_kind(iy);
      if (kind == 0) return (x - x) / (x - x);  // invalid: the CPU's default NaN
      if (kind == 1) sign_bias = sign_bias_odd;
      ix &= ~sign_mask;
      topx &= 0x7ff;
    }
    if ((topy & 0x7ff) - 0x3be >= 0x43e - 0x3be) {  // |y| tiny or huge; huge is even
      if (ix == one_bits) return 1.0;
      if ((topy & 0x7ff) < 0x3be) return ix > one_bits ? 1.0 + y : 1.0 - y;  // |y| < 2^-65
      return (ix > one_bits) == (topy < 0x800) ? overflow(false) : underflow(false);
    }
    if (topx == 0) {  // subnormal x: normalised, the exponent below the range
      ix = bits(x * 0x1p52) & ~sign_mask;
      ix -= std::uint64_t{52} << 52;
    }
  }

  double lo;
  const double hi = log_with_tail(ix, lo);
  const double ehi = y * hi;
  const double elo = std::fma(y, lo, std::fma(y, hi, -ehi));
  return exp_with_tail(ehi, elo, sign_bias);
}

}  // namespace libm_twin

// glibc 2.36's hypot (sysdeps/ieee754/dbl-64/e_hypot.c), which cabs calls:
// Borges' corrected square root. x86-64 has no fused multiply-add in the
// library's baseline build and no FMA variant of hypot, so every operation
// rounds on its own.
namespace libm_twin {

namespace {

constexpr double hypot_scale = 0x1p-600;
constexpr double hypot_large = 0x1p+511;
constexpr double hypot_tiny = 0x1p-459;
constexpr double hypot_eps = 0x1p-54;

// ax >= ay >= 0, neither square nor (ax - ay)^2 out of range.
double hypot_kernel(double ax, double ay) {
  double h = std::sqrt(ax * ax + ay * ay);
  double t1, t2;
  if (h <= 2.0 * ay) {
    const double delta = h - ay;
    t1 = ax * (2.0 * delta - ax);
    t2 = (delta - 2.0 * (ax - ay)) * delta;
  } else {
    const double delta = h - ax;
    t1 = 2.0 * delta * (ax - 2.0 * ay);
    t2 = (4.0 * delta - ay) * ay + delta * delta;
  }
  h -= (t1 + t2) / (2.0 * h);
  return h;
}

}  // namespace

double hypot(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) {
    // A signalling NaN beats an infinity; x + y quiets it.
    const auto signalling = [](double v) {
      return std::isnan(v) && !(bits(v) & 0x0008000000000000);
    };
    if ((std::isinf(x) || std::isinf(y)) && !signalling(x) && !signalling(y)) return inf;
    return x + y;
  }
  x = std::fabs(x);
  y = std::fabs(y);
  double ax = x < y ? y : x;
  const double ay = x < y ? x : y;
  if (ax > hypot_large) {  // huge: scaled down
    if (ay <= ax * hypot_eps) return ax + ay;
    return hypot_kernel(ax * hypot_scale, ay * hypot_scale) / hypot_scale;
  }
  if (ay < hypot_tiny) {  // tiny: scaled up
    if (ax >= ay / hypot_eps) return ax + ay;
    ax = hypot_kernel(ax / hypot_scale, ay / hypot_scale) * hypot_scale;
    return ax;
  }
  if (ay <= ax * hypot_eps) return ax + ay;
  return hypot_kernel(ax, ay);
}

}  // namespace libm_twin
