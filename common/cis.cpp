// Phasor kernel: the system-library path, the scalar twin of the vector
// kernel, the start-up self-check and the choice of path.
#include "cis.hpp"

#include <cfloat>
#include <cmath>
#include <complex>
#include <cstdint>
#include <limits>
#include <vector>

#include "cis_detail.hpp"
#include "cis_testing.hpp"

namespace cis_detail {

void system_cis(double theta, double& cos_theta, double& sin_theta)
{
    const std::complex<double> z = std::exp(std::complex<double>(0.0, theta));
    cos_theta = z.real();
    sin_theta = z.imag();
}

void system_kernel(const double* theta, double* cos_theta, double* sin_theta, std::size_t count)
{
    for (std::size_t k = 0; k < count; ++k) system_cis(theta[k], cos_theta[k], sin_theta[k]);
}

// ---------------------------------------------------------------------------
// Scalar twin: the library's algorithm line by line, with std::fma wherever
// its FMA build fuses. It documents the vector kernel and checks it
// independently of the library.

namespace {

struct table_entry {
    double sn, ssn, cs, ccs;  // sin and cos of the table point, head and tail
};

// |x| split into the nearest table point (returned) and the offset from it.
table_entry look_up(double abs_x, double& offset)
{
    const double u = big + abs_x;
    offset = abs_x - (u - big);  // exact (Sterbenz): |x| is within 1/256 of the point
    const auto k = static_cast<std::size_t>(std::bit_cast<std::uint64_t>(u) - big_bits);
    const double* e = &sincos_table[4 * k];
    return {e[0], e[1], e[2], e[3]};
}

// sin(a + da) near 0: Taylor series with the first-order effect of da.
double taylor_sin(double a, double da)
{
    const double xx = a * a;
    const double poly = std::fma(std::fma(std::fma(std::fma(s5, xx, s4), xx, s3), xx, s2), xx, s1);
    const double t = std::fma(xx, std::fma(poly, a, -(0.5 * da)), da);
    return a + t;
}

// sin(a + da), |a| <= 0.8555: Taylor near 0, else table point plus offset.
double do_sin(double a, double da)
{
    if (std::fabs(a) < taylor_limit) return taylor_sin(a, da);
    if (a <= 0) da = -da;
    double x;
    const table_entry e = look_up(std::fabs(a), x);
    const double xx = x * x;
    const double s = x + std::fma(x * xx, std::fma(xx, sn5, sn3), da);
    const double c = std::fma(x, da, xx * std::fma(std::fma(xx, cs6, cs4), xx, cs2));
    const double cor = std::fma(e.cs, s, std::fma(-e.sn, c, std::fma(s, e.ccs, e.ssn)));
    return std::copysign(e.sn + cor, a);
}

// cos(a + da), |a| <= 0.8555.
double do_cos(double a, double da)
{
    if (a < 0) da = -da;
    double x;
    const table_entry e = look_up(std::fabs(a), x);
    x = x + da;
    const double xx = x * x;
    const double s = std::fma(x * xx, std::fma(xx, sn5, sn3), x);
    const double c = xx * std::fma(std::fma(xx, cs6, cs4), xx, cs2);
    const double cor = std::fma(-e.sn, s, std::fma(-e.cs, c, std::fma(-s, e.ssn, e.ccs)));
    return e.cs + cor;
}

// x - n pi/2 as a + da, |a| <= pi/4 (slightly more near the quadrant edges);
// returns n mod 4.
unsigned reduce(double x, double& a, double& da)
{
    const double t = std::fma(x, hpinv, toint);
    const double xn = t - toint;
    const auto n = static_cast<unsigned>(std::bit_cast<std::uint64_t>(t) & 3);
    const double y = std::fma(-xn, mp2, std::fma(-xn, mp1, x));
    const double t2 = std::fma(-xn, pp3, y);
    double db = std::fma(-xn, pp3, y - t2);
    const double b = std::fma(-xn, pp4, t2);
    db = db + std::fma(-xn, pp4, t2 - b);
    a = b;
    da = db;
    return n;
}

void scalar_cis(double x, double& cos_x, double& sin_x)
{
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
        system_cis(x, cos_x, sin_x);
    }
}

}  // namespace

void scalar_kernel(const double* theta, double* cos_theta, double* sin_theta, std::size_t count)
{
    for (std::size_t k = 0; k < count; ++k) scalar_cis(theta[k], cos_theta[k], sin_theta[k]);
}

namespace {

// The fused sums term by term, lane by lane, through one-argument cis.
template <void (*one)(double, double&, double&)>
void add_by_element(const double* upper, const double* lower, std::size_t terms, const double* U,
                    const double* W, double weight, double* re, double* im)
{
    for (std::size_t t = 0; t < terms; ++t)
        for (int l = 0; l < cis_lanes; ++l) {
            double c, s;
            one(upper[t] + U[l], c, s);
            if (lower) {
                double cl, sl;
                one(lower[t] + W[l], cl, sl);
                c = c + cl;
                s = s + sl;
            }
            re[l] = re[l] + weight * c;
            im[l] = im[l] + weight * s;
        }
}

}  // namespace

void system_add(const double* upper, const double* lower, std::size_t terms, const double* U,
                const double* W, double weight, double* re, double* im)
{
    add_by_element<system_cis>(upper, lower, terms, U, W, weight, re, im);
}

void scalar_add(const double* upper, const double* lower, std::size_t terms, const double* U,
                const double* W, double weight, double* re, double* im)
{
    add_by_element<scalar_cis>(upper, lower, terms, U, W, weight, re, im);
}

}  // namespace cis_detail

// ---------------------------------------------------------------------------
// Choice of path.

namespace cis_testing {

using namespace cis_detail;

const char* name(path p)
{
    switch (p) {
    case path::system: return "system";
    case path::scalar: return "scalar";
    case path::avx2: return "avx2";
    case path::avx512: return "avx512";
    }
    return "?";
}

bool supported(path p)
{
    switch (p) {
    case path::system:
    case path::scalar: return true;
    case path::avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case path::avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    }
    return false;
}

namespace {

kernel_fn kernel_of(path p)
{
    switch (p) {
    case path::system: return system_kernel;
    case path::scalar: return scalar_kernel;
    case path::avx2: return avx2_kernel;
    case path::avx512: return avx512_kernel;
    }
    return system_kernel;
}

add_fn add_of(path p)
{
    switch (p) {
    case path::system: return system_add;
    case path::scalar: return scalar_add;
    case path::avx2: return avx2_add;
    case path::avx512: return avx512_add;
    }
    return system_add;
}

void add_around(std::vector<double>& v, double centre, int ulps)
{
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
std::vector<double> self_check_arguments()
{
    std::vector<double> v;
    const double limits[] = {tiny_limit, taylor_limit, table_limit, quarter_limit,
                             hp0 - taylor_limit, hp0 + taylor_limit, reduce_limit};
    for (double b : limits) add_around(v, b, 8);
    for (int q = 1; q <= 40; ++q) {  // quadrant edges and the 0.126 switch after reduction
        const double m = q * hp0;
        add_around(v, m, 2);
        add_around(v, m + taylor_limit, 2);
        add_around(v, m - taylor_limit, 2);
    }
    for (int k = 1; k < 110; ++k) add_around(v, (k + 0.5) / 128, 1);  // table index ties
    const double specials[] = {0.0, DBL_MIN, DBL_TRUE_MIN, 0x1p-600, 1e300, INFINITY,
                               std::numeric_limits<double>::quiet_NaN(), 0x1p-26,
                               1.0, 2.0, 3.0, 1100.0, 2000.0};
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

bool same_bits(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// For sums: of two NaN addends the one an x86 add keeps depends on the
// operand order, which the compiler may commute, so any NaN matches any.
bool same_sum(double a, double b) { return same_bits(a, b) || (std::isnan(a) && std::isnan(b)); }

}  // namespace

void run(path p, const double* theta, double* cos_theta, double* sin_theta, std::size_t count)
{
    kernel_of(p)(theta, cos_theta, sin_theta, count);
}

void run_add(path p, const double* upper, const double* lower, std::size_t terms, const double* U,
             const double* W, double weight, double* re, double* im)
{
    add_of(p)(upper, lower, terms, U, W, weight, re, im);
}

bool self_check(path p)
{
    if (!supported(p)) return false;
    const std::vector<double> theta = self_check_arguments();
    const std::size_t n = theta.size();
    std::vector<double> c(n), s(n);
    run(p, theta.data(), c.data(), s.data(), n);
    for (std::size_t k = 0; k < n; ++k) {
        double rc, rs;
        system_cis(theta[k], rc, rs);
        if (!same_bits(c[k], rc) || !same_bits(s[k], rs)) return false;
    }
    // The fused sums over the same phases, as the terms of one block whose
    // lanes add nothing, a little, or push a phase out of range.
    const double U[cis_lanes] = {0.0, 0x1p-30, -1.5, 3.25, 1e300, 0.0, -700.125, 0.5};
    const double W[cis_lanes] = {0.0, -0.75, 1e-300, 2.0, -0.0, INFINITY, 1100.0, -3.0};
    for (const double* lower : {theta.data() + n / 2, static_cast<const double*>(nullptr)}) {
        double re[cis_lanes] = {}, im[cis_lanes] = {}, rre[cis_lanes] = {}, rim[cis_lanes] = {};
        run_add(p, theta.data(), lower, n / 2, U, W, 0x1.6a09e667f3bcdp-1, re, im);
        system_add(theta.data(), lower, n / 2, U, W, 0x1.6a09e667f3bcdp-1, rre, rim);
        for (int l = 0; l < cis_lanes; ++l)
            if (!same_sum(re[l], rre[l]) || !same_sum(im[l], rim[l])) return false;
    }
    return true;
}

path choose(bool fail_self_check)
{
    for (path p : {path::avx512, path::avx2})
        if (supported(p) && !fail_self_check && self_check(p)) return p;
    return path::system;
}

path selected()
{
    static const path chosen = choose(false);
    return chosen;
}

}  // namespace cis_testing

void cis(const double* theta, double* cos_theta, double* sin_theta, std::size_t count)
{
    static const cis_detail::kernel_fn kernel = cis_testing::kernel_of(cis_testing::selected());
    kernel(theta, cos_theta, sin_theta, count);
}

void cis_add_pairs(const double* upper, const double* lower, std::size_t terms, const double* U,
                   const double* W, double weight, double* re, double* im)
{
    static const cis_detail::add_fn add = cis_testing::add_of(cis_testing::selected());
    add(upper, lower, terms, U, W, weight, re, im);
}

void cis_add(const double* base, std::size_t terms, const double* offset, double weight, double* re,
             double* im)
{
    static const cis_detail::add_fn add = cis_testing::add_of(cis_testing::selected());
    add(base, nullptr, terms, offset, nullptr, weight, re, im);
}
