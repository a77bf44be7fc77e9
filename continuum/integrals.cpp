#include "integrals.hpp"

#include <cerf.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <string>

namespace continuum {

namespace {

// Faddeeva's w(z) = exp(-z^2) erfc(-iz) from libcerf, whether its header
// declares it over C's complex type or over std::complex (same layout).
template <class R, class A>
cplx call_faddeeva(R (*w)(A), cplx z) {
  static_assert(sizeof(A) == 2 * sizeof(double) && sizeof(R) == 2 * sizeof(double));
  const double in[2] = {z.real(), z.imag()};
  A arg;
  std::memcpy(static_cast<void*>(&arg), in, sizeof in);
  const R result = w(arg);
  double out[2];
  std::memcpy(out, static_cast<const void*>(&result), sizeof out);
  return {out[0], out[1]};
}

cplx faddeeva(cplx z) { return call_faddeeva(&w_of_z, z); }

cplx cis(double phi) { return {std::cos(phi), std::sin(phi)}; }

}  // namespace

// With v = u + b/(2a) and t = exp(-i pi/4) sqrt(a) v, the integral is
// exp(i(c - b^2/(4a))) sqrt(pi)/(2 sqrt(-ia)) [erf(t2) - erf(t1)]. Far from the
// stationary point erf(t) is +-1 plus a small tail, and a difference of two
// such values would lose the tail's digits; so each erf is written as
// sign(v) (1 - exp(-t^2) w(i sign(v) t)). The constants cancel unless the
// stationary point lies inside, and exp(-t^2) times the completed-square
// phase is just the phase at the edge, exp(i(a u^2 + b u + c)), which is
// evaluated directly. w is then only needed on the diagonal of the first
// quadrant, where it is bounded by 1 and decays like 1/z.
//
// With a = 0 (a far-field hop) the integral is the sinc of the aperture:
// (u2 - u1) exp(i(b (u1 + u2) / 2 + c)) sin(z) / z, z = b (u2 - u1) / 2,
// with no difference of nearly equal phasors as z -> 0.
cplx chirp_integral(double a, double b, double c, double u1, double u2) {
  if (a == 0) {
    const double z = b * (u2 - u1) / 2;
    const double sinc = z == 0 ? 1.0 : std::sin(z) / z;
    return (u2 - u1) * sinc * cis(b * (u1 + u2) / 2 + c);
  }
  if (a < 0) return std::conj(chirp_integral(-a, -b, -c, u1, u2));
  const double r = std::sqrt(a);
  const double shift = b / (2 * a);
  const cplx diagonal(std::numbers::sqrt2 / 2, std::numbers::sqrt2 / 2);  // exp(i pi/4)

  auto edge = [&](double u, double& sign) {
    const double v = u + shift;
    sign = v < 0 ? -1.0 : 1.0;
    return sign * cis((a * u + b) * u + c) * faddeeva(diagonal * (r * std::abs(v)));
  };
  double sign1, sign2;
  const cplx e1 = edge(u1, sign1), e2 = edge(u2, sign2);
  cplx bracket = e1 - e2;
  if (sign1 != sign2) bracket += (sign2 - sign1) * cis(c - b * shift / 2);
  return (std::sqrt(std::numbers::pi) / (2 * r)) * diagonal * bracket;
}

// Roots of P_n by Newton's method from the usual cosine estimates; P_n and
// P_n' from the three-term recurrence.
gauss_rule gauss_legendre(int n) {
  gauss_rule rule{std::vector<double>(n), std::vector<double>(n)};
  for (int i = 0; i < (n + 1) / 2; ++i) {
    double x = std::cos(std::numbers::pi * (i + 0.75) / (n + 0.5));
    double derivative = 1;
    for (int iteration = 0; iteration < 100; ++iteration) {
      double previous = 1, p = x;
      for (int j = 2; j <= n; ++j) {
        const double next = ((2 * j - 1) * x * p - (j - 1) * previous) / j;
        previous = p;
        p = next;
      }
      derivative = n * (x * p - previous) / (x * x - 1);
      const double step = p / derivative;
      x -= step;
      if (std::abs(step) <= 1e-16) break;
    }
    const double weight = 2 / ((1 - x * x) * derivative * derivative);
    rule.nodes[i] = -x;
    rule.nodes[n - 1 - i] = x;
    rule.weights[i] = rule.weights[n - 1 - i] = weight;
  }
  if (n % 2 == 1) rule.nodes[n / 2] = 0;  // exactly the centre, not a rounded root
  return rule;
}

double total_width(const aperture& opening) {
  double width = 0;
  for (const interval& part : opening) width += part.hi - part.lo;
  return width;
}

// Order 16 integrates exp(i theta) across a panel of 8 radians to about 1e-26
// (across 16 radians still to 1e-16), so the rule's accuracy rests on the
// bound of the phase rate alone; doubling the panels confirms it.
mean_rule mean_quadrature(const aperture& opening, double phase_rate, int refine) {
  constexpr int order = 16;
  // 16 million nodes across one aperture; the sums from it to the next
  // would take days long before that.
  constexpr int max_panels = 1 << 20;
  constexpr double panel_phase = 8;
  static const gauss_rule base = gauss_legendre(order);
  const double width = total_width(opening);
  mean_rule rule;
  for (const interval& part : opening) {
    const double length = part.hi - part.lo;
    const double needed = refine * std::max(1.0, std::ceil(phase_rate * length / panel_phase));
    if (!(needed <= max_panels))  // also a rate that is not finite
      throw std::length_error(
          "the phase changes too fast across an aperture for the quadrature "
          "(more than " +
          std::to_string(max_panels) + " panels)");
    const int panels = int(needed);
    const double half = length / panels / 2;
    for (int p = 0; p < panels; ++p) {
      const double centre = part.lo + (2 * p + 1) * half;
      for (int j = 0; j < order; ++j) {
        rule.nodes.push_back(centre + half * base.nodes[j]);
        rule.weights.push_back(half * base.weights[j] / width);
      }
    }
  }
  return rule;
}

}  // namespace continuum
