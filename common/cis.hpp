// Phasors exp(i theta) for arrays of phases.
//
// cis() returns, element for element and bit for bit, the real and imaginary
// parts of std::exp(std::complex<double>(0, theta)) as the system library
// (glibc 2.36 on x86-64) computes them: for finite theta with
// |theta| > DBL_MIN that is sincos(theta) in the variant the library picks
// for CPUs with FMA and AVX2, otherwise (1, theta), and NaN + iNaN for
// infinite or NaN theta.
//
// For |theta| < 105414336 it evaluates that same algorithm eight (AVX-512)
// or four (AVX2 + FMA) arguments at a time; other arguments go to the
// library one by one. The path is chosen once per process, on first use,
// from the CPU's features, and a vector path is only taken after it has
// reproduced the library on a fixed set of arguments covering each branch;
// otherwise every call goes to the library. Not thread-safe on first use.
#pragma once
#include <cstddef>

// cos_theta[k], sin_theta[k] = real and imaginary parts of std::exp(std::complex<double>(0, theta[k])), k < count
void cis(const double* theta, double* cos_theta, double* sin_theta, std::size_t count);

// Fused summation over a block of cis_lanes screen points: the phases are
// formed and the phasors consumed in vector registers, on the same path as
// cis(). cos and sin below are bit for bit those of cis(); every operation
// is rounded on its own, in this grouping (no fma): the values of a plain
// loop that adds weight * (exp(i u) + exp(i v)) to a std::complex
// accumulator. With weight 1.0 the product changes nothing.
inline constexpr int cis_lanes = 8;

// For t = 0 .. terms-1 in order and every lane l < cis_lanes:
//   u = upper[t] + U[l];  v = lower[t] + W[l];
//   re[l] = re[l] + weight * (cos u + cos v);  im[l] = im[l] + weight * (sin u + sin v);
void cis_add_pairs(const double* upper, const double* lower, std::size_t terms, const double* U,
                   const double* W, double weight, double* re, double* im);

// For t = 0 .. terms-1 in order and every lane l < cis_lanes:
//   u = base[t] + offset[l];  re[l] = re[l] + weight * cos u;  im[l] = im[l] + weight * sin u;
void cis_add(const double* base, std::size_t terms, const double* offset, double weight,
             double* re, double* im);
