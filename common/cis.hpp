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
