// The phasor kernel: exp(iθ) for many θ at once, bit for bit the system
// library's.
//
// Contract
//   What:  cos θ and sin θ as the real and imaginary parts of
//          std::exp(std::complex<double>(0, θ)), i.e. the C library's cexp.
//   Range: every binary64 θ. With glibc 2.36 on x86-64 that is sincos(θ) in
//          the variant the library picks for CPUs with FMA and AVX2 where
//          DBL_MIN < |θ|, (1, θ) below, NaN + iNaN for infinite or NaN θ.
//   Exact: every result is bit-identical to the library's, element for
//          element, on every path. For |θ| < 105414336 the library's own
//          algorithm runs eight (AVX-512) or four (AVX2 + FMA) arguments at a
//          time; every other argument goes to the library itself.
//   Sums:  cis_add and cis_add_pairs consume the phasors in vector registers;
//          their results are those of the plain loops written beside them,
//          each operation rounded on its own (no fused multiply-add).
//
// The path is chosen once per process, on first use, from the CPU's
// features, and a vector path only after it has reproduced the library on a
// fixed set of arguments covering each branch; otherwise, and on CPUs other
// than x86-64, every phasor comes from the library. Calls from several
// threads are safe, the first ones too: the choice is a function-local
// static, made by one caller while the others wait.
#pragma once

#include <cstddef>

// The shared library is built with hidden visibility: these three entry
// points are its whole ABI.
#if defined(__GNUC__)
#define SLITS_CIS_API __attribute__((visibility("default")))
#else
#define SLITS_CIS_API
#endif

// cos_theta[k], sin_theta[k] = real and imaginary parts of
// std::exp(std::complex<double>(0, theta[k])), for k < count. The outputs
// may alias theta.
SLITS_CIS_API void cis(const double* theta, double* cos_theta, double* sin_theta,
                       std::size_t count);

// The fused sums run over a block of this many screen points at a time,
// each with its own accumulator (re[l], im[l]).
inline constexpr int cis_block_size = 8;

// For t = 0 .. terms-1 in order and every l < cis_block_size:
//   u = base[t] + offset[l];
//   re[l] = re[l] + weight * cos u;  im[l] = im[l] + weight * sin u.
// With weight 1.0 the product changes nothing and is skipped.
SLITS_CIS_API void cis_add(const double* base, std::size_t terms, const double* offset,
                           double weight, double* re, double* im);

// The two paths of a double slit. For t = 0 .. terms-1 in order and every
// l < cis_block_size:
//   u = upper[t] + upper_offset[l];  v = lower[t] + lower_offset[l];
//   re[l] = re[l] + weight * (cos u + cos v);
//   im[l] = im[l] + weight * (sin u + sin v).
SLITS_CIS_API void cis_add_pairs(const double* upper, const double* lower, std::size_t terms,
                                 const double* upper_offset, const double* lower_offset,
                                 double weight, double* re, double* im);

// The path this process runs, after its self-check: "avx512", "avx2",
// or "system" where every phasor comes from the library; in WebAssembly
// "simd128_fma" (relaxed SIMD's multiply-add, found fused at start-up),
// "simd128", or "scalar" (the twin, one argument at a time).
SLITS_CIS_API const char* cis_path_name();
