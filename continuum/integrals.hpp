// Integrals of phasors over continuous apertures: the closed form of a chirp
// over an interval (through the complex error function) and composite
// Gauss-Legendre rules for the mean over an aperture.
#pragma once

#include <complex>
#include <vector>

namespace continuum {

using cplx = std::complex<double>;

// The integral of exp(i(a u^2 + b u + c)) over [u1, u2], in closed form.
cplx chirp_integral(double a, double b, double c, double u1, double u2);

// Gauss-Legendre rule of order n on [-1, 1].
struct gauss_rule {
  std::vector<double> nodes, weights;
};
gauss_rule gauss_legendre(int n);

// A transverse opening: one interval, or two for the double slit.
struct interval {
  double lo, hi;
};
using aperture = std::vector<interval>;

double total_width(const aperture& opening);

// Nodes and weights of the mean over an aperture (weights sum to 1).
struct mean_rule {
  std::vector<double> nodes, weights;
};

// Composite Gauss-Legendre rule for the mean over `opening` of an integrand
// whose phase changes by at most `phase_rate` radians per unit length: panels
// of a fixed order, each spanning a few radians; `refine` multiplies the
// panel count (2 doubles the nodes, to check convergence). Throws
// std::length_error where the rule would need more than a million panels.
mean_rule mean_quadrature(const aperture& opening, double phase_rate, int refine = 1);

}  // namespace continuum
