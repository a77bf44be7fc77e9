// Placeholder until the vector kernel lands: the system library, element by element.
#include "cis.hpp"

#include <complex>

void cis(const double* theta, double* cos_theta, double* sin_theta, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    const std::complex<double> z = std::exp(std::complex<double>(0.0, theta[k]));
    cos_theta[k] = z.real();
    sin_theta[k] = z.imag();
  }
}
