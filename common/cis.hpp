#pragma once
#include <cstddef>
// cos_theta[k], sin_theta[k] = real and imaginary parts of std::exp(std::complex<double>(0, theta[k])), k < count
void cis(const double* theta, double* cos_theta, double* sin_theta, std::size_t count);
