// The scalar twin of the vector kernel: the C library's sincos line by
// line (s_sincos.c, s_sin.c of glibc 2.36), with std::fma wherever its FMA
// build fuses. It documents the vector kernel and checks it independently
// of the library.
#include <atomic>
#include <cmath>
#include <cstdint>

#include "cis_table.hpp"
#include "constants.hpp"
#include "fused.hpp"
#include "paths.hpp"

namespace cis_detail {

namespace {

std::atomic<std::size_t> library_calls{0};

}  // namespace

void library_cis(double theta, double& cos_theta, double& sin_theta) {
  library_calls.fetch_add(1, std::memory_order_relaxed);
  system_cis(theta, cos_theta, sin_theta);
}

namespace {

struct table_entry {
  double sn, ssn, cs, ccs;  // sin and cos of the table point, head and tail
};

// |x| split into the nearest table point (returned) and the offset from it.
table_entry look_up(double abs_x, double& offset) {
  const double u = big + abs_x;
  offset = abs_x - (u - big);  // exact (Sterbenz): |x| is within 1/256 of the point
  const auto k = static_cast<std::size_t>(std::bit_cast<std::uint64_t>(u) - big_bits);
  const double* e = &sincos_table[table_row * k];
  return {e[0], e[1], e[2], e[3]};
}

// sin(a + da) near 0: Taylor series with the first-order effect of da.
double taylor_sin(double a, double da) {
  const double xx = a * a;
  const double poly = fused(fused(fused(fused(s5, xx, s4), xx, s3), xx, s2), xx, s1);
  const double t = fused(xx, fused(poly, a, -(0.5 * da)), da);
  return a + t;
}

// sin(a + da), |a| <= 0.8555: Taylor near 0, else table point plus offset.
double do_sin(double a, double da) {
  if (std::fabs(a) < taylor_limit) return taylor_sin(a, da);
  if (a <= 0) da = -da;
  double x;
  const table_entry e = look_up(std::fabs(a), x);
  const double xx = x * x;
  const double s = x + fused(x * xx, fused(xx, sn5, sn3), da);
  const double c = fused(x, da, xx * fused(fused(xx, cs6, cs4), xx, cs2));
  const double cor = fused(e.cs, s, fused(-e.sn, c, fused(s, e.ccs, e.ssn)));
  return std::copysign(e.sn + cor, a);
}

// cos(a + da), |a| <= 0.8555.
double do_cos(double a, double da) {
  if (a < 0) da = -da;
  double x;
  const table_entry e = look_up(std::fabs(a), x);
  x = x + da;
  const double xx = x * x;
  const double s = fused(x * xx, fused(xx, sn5, sn3), x);
  const double c = xx * fused(fused(xx, cs6, cs4), xx, cs2);
  const double cor = fused(-e.sn, s, fused(-e.cs, c, fused(-s, e.ssn, e.ccs)));
  return e.cs + cor;
}

// x - n pi/2 as a + da, |a| <= pi/4 (slightly more near the quadrant edges);
// returns n mod 4.
unsigned reduce(double x, double& a, double& da) {
  const double t = fused(x, hpinv, toint);
  const double xn = t - toint;
  const auto n = static_cast<unsigned>(std::bit_cast<std::uint64_t>(t) & 3);
  const double y = fused(-xn, mp2, fused(-xn, mp1, x));
  const double t2 = fused(-xn, pp3, y);
  double db = fused(-xn, pp3, y - t2);
  const double b = fused(-xn, pp4, t2);
  db = db + fused(-xn, pp4, t2 - b);
  a = b;
  da = db;
  return n;
}

void scalar_cis(double x, double& cos_x, double& sin_x) {
  const double ax = std::fabs(x);
  if (ax < tiny_limit) {
    sin_x = x;
    cos_x = 1.0;
  } else if (ax < table_limit) {
    sin_x = do_sin(x, 0);
    cos_x = do_cos(x, 0);
  } else if (ax < quarter_limit) {
    // sin x = +-cos(pi/2 - |x|), cos x = sin(pi/2 - |x|)
    const double y = hp0 - ax;
    const double a = y + hp1;
    const double da = (y - a) + hp1;
    sin_x = std::copysign(do_cos(a, da), x);
    cos_x = do_sin(a, da);
  } else if (ax < reduce_limit) {
    double a, da;
    const unsigned n = reduce(x, a, da);
    if (n == 1 || n == 2) {
      a = -a;
      da = -da;
    }
    const double s = do_sin(a, da);
    const double c = (n & 2) ? -do_cos(a, da) : do_cos(a, da);
    if (n & 1) {
      sin_x = c;
      cos_x = s;
    } else {
      sin_x = s;
      cos_x = c;
    }
  } else {
    library_cis(x, cos_x, sin_x);
  }
}

}  // namespace

std::size_t scalar_library_calls() { return library_calls.load(std::memory_order_relaxed); }

constinit const path scalar_path = element_path<scalar_cis>("scalar");

}  // namespace cis_detail
