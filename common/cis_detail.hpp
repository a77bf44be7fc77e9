// Internals of the phasor kernel shared by the scalar twin, the vector paths
// and the dispatcher. Not part of the programs' interface.
//
// The kernel reproduces the C library's sincos as selected on x86-64 with
// FMA and AVX2 (glibc 2.36, __sincos_fma): the same branches, constants,
// table and the same operations, with a multiply-add fused exactly where
// that build fuses one. Its disassembly is the record of those places; each
// std::fma / vector fmadd below stands for one vfmadd/vfnmadd/vfmsub there.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

#include "cis_table.hpp"  // generated: sincos_table[440]

namespace cis_detail {

// Branch limits on |x|; the library compares the high word only, which is
// the same as comparing |x| with these (low words zero).
inline constexpr double tiny_limit = 0x1p-27;            // sin x = x, cos x = 1 below
inline constexpr double table_limit = 0x1.b6p-1;         // 0.85546875: table with x itself
inline constexpr double quarter_limit = 0x1.368fdp+1;    // 2.42626...: pi/2 - |x| in two parts
inline constexpr double reduce_limit = 0x1.921fbp+26;    // 105414336: three-part Cody-Waite
inline constexpr double taylor_limit = 0x1.020c49ba5e354p-3;  // 0.126 after reduction

// Taylor coefficients for sin near 0 (about -1/3!, 1/5!, ...).
inline constexpr double s1 = -0x1.5555555555555p-3;
inline constexpr double s2 = 0x1.1111111110ECEp-7;
inline constexpr double s3 = -0x1.A01A019DB08B8p-13;
inline constexpr double s4 = 0x1.71DE27B9A7ED9p-19;
inline constexpr double s5 = -0x1.ADDFFC2FCDF59p-26;

// Short polynomials for sin and cos of the offset from a table point
// (|offset| <= 1/256).
inline constexpr double sn3 = -0x1.5555555555515p-3;
inline constexpr double sn5 = 0x1.11110e829872fp-7;
inline constexpr double cs2 = 0x1p-1;
inline constexpr double cs4 = -0x1.5555555555535p-5;
inline constexpr double cs6 = 0x1.6c16bedd9e239p-10;

// big = 1.5 * 2^45 has ulp 1/128, so big + |x| rounds |x| to the nearest
// table point and leaves its index in the low bits; (big + |x|) - big is
// that point exactly.
inline constexpr double big = 0x1.8p+45;

// pi/2 as hp0 + hp1, the head correctly rounded.
inline constexpr double hp0 = 0x1.921FB54442D18p0;
inline constexpr double hp1 = 0x1.1A62633145C07p-54;

// Cody-Waite: pi/2 ~ mp1 + mp2 + pp3 + pp4; mp1, mp2, pp3 have short
// mantissas so their products with the quadrant count (< 2^26) are exact.
inline constexpr double hpinv = 0x1.45F306DC9C883p-1;  // 2/pi
inline constexpr double toint = 0x1.8p+52;             // x + toint rounds x to an integer
inline constexpr double mp1 = 0x1.921FB58p0;
inline constexpr double mp2 = -0x1.DDE973Cp-27;
inline constexpr double pp3 = -0x1.CB3B398p-55;
inline constexpr double pp4 = -0x1.d747f23e32ed7p-83;

inline constexpr std::uint64_t big_bits = std::bit_cast<std::uint64_t>(big);

// One path: fills cos_theta / sin_theta for count arguments.
using kernel_fn = void (*)(const double* theta, double* cos_theta, double* sin_theta,
                           std::size_t count);

void system_kernel(const double*, double*, double*, std::size_t);
void scalar_kernel(const double*, double*, double*, std::size_t);
void avx2_kernel(const double*, double*, double*, std::size_t);
void avx512_kernel(const double*, double*, double*, std::size_t);

// One path's fused sums: cis_add_pairs, or cis_add when lower is null (then
// W is unused).
using add_fn = void (*)(const double* upper, const double* lower, std::size_t terms,
                        const double* U, const double* W, double weight, double* re,
                        double* im);

void system_add(const double*, const double*, std::size_t, const double*, const double*, double,
                double*, double*);
void scalar_add(const double*, const double*, std::size_t, const double*, const double*, double,
                double*, double*);
void avx2_add(const double*, const double*, std::size_t, const double*, const double*, double,
              double*, double*);
void avx512_add(const double*, const double*, std::size_t, const double*, const double*, double,
                double*, double*);

// The system library for one argument: the reference and the per-lane
// fallback outside the kernel's range.
void system_cis(double theta, double& cos_theta, double& sin_theta);

}  // namespace cis_detail
