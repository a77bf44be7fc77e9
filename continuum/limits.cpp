#include "limits.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "bench.hpp"
#include "integrals.hpp"

namespace continuum {

namespace {

cplx cis(double phi) { return {std::cos(phi), std::sin(phi)}; }

// The phase of one hop as a quadratic form in p (earlier plane) and q (next
// plane), the wavenumber and distance folded into the coefficients.
struct hop {
  double pp, pq, qq;
  double operator()(double p, double q) const { return (pp * p + pq * q) * p + qq * q * q; }
};

// hop_phase, k p (p - q) / L, the textbook k (p - q)^2 / (2L) or its far
// field k q (q - 2p) / (2L). An rs hop's phase k (R - L) changes no faster
// than the textbook one (d/dp of R is (p - q) / R), so that serves it for
// the quadratures' rates.
hop forward_hop(const bench& bench, double L) {
  const double k = bench.wavenumber;
  if (bench.fraunhofer_hops) return {0, -k / L, k / (2 * L)};
  if (bench.textbook_hops) return {k / (2 * L), -k / L, k / (2 * L)};
  return {k / L, -k / L, 0};
}

// The LED programs' source hop k s (s - d) / L: the later point s multiplies.
hop led_source_hop(const bench& bench, double L) {
  const double k = bench.wavenumber;
  if (bench.textbook_hops) return forward_hop(bench, L);
  return {0, -k / L, k / L};
}

interval hull(const aperture& opening) {
  interval span = opening.front();
  for (const interval& part : opening)
    span = {std::min(span.lo, part.lo), std::max(span.hi, part.hi)};
  return span;
}

// The largest |d phase / dp| and |d phase / dq| over a box: both derivatives
// are linear, so the largest sits on a corner.
template <class Derivative>
double corner_max(interval P, interval Q, Derivative derivative) {
  double rate = 0;
  for (double p : {P.lo, P.hi})
    for (double q : {Q.lo, Q.hi}) rate = std::max(rate, std::abs(derivative(p, q)));
  return rate;
}
double rate_in_p(const hop& h, interval P, interval Q) {
  return corner_max(P, Q, [&](double p, double q) { return 2 * h.pp * p + h.pq * q; });
}
double rate_in_q(const hop& h, interval P, interval Q) {
  return corner_max(P, Q, [&](double p, double q) { return h.pq * p + 2 * h.qq * q; });
}

// The wave arriving on the first integrated aperture, exp(i(a u^2 + b u + c)):
// a plane wave (all zero) or the wave of one source point.
struct chirp {
  double a = 0, b = 0, c = 0;
};

chirp from_point(const hop& h, double d) { return {h.qq, h.pq * d, h.pp * d * d}; }

// Mean over `opening` of the incoming wave times exp(i h(u, r)), in closed form.
cplx analytic_mean(const chirp& in, const aperture& opening, const hop& h, double r) {
  cplx sum = 0;
  for (const interval& part : opening)
    sum += chirp_integral(in.a + h.pp, in.b + h.pq * r, in.c + h.qq * r * r, part.lo, part.hi);
  return sum / total_width(opening);
}

// Light through a row of apertures to the screen. The first aperture is
// integrated in closed form at the nodes of the second, each later one by its
// quadrature rule, sized to the fastest change of phase across it: that of
// the field arriving (bounded by the incoming hop's rate over the previous
// aperture, edges and stationary point alike) plus that of the hop onwards.
struct chain {
  std::vector<aperture> planes;
  std::vector<hop> hops;  // hops[i] leaves planes[i]; the last reaches the screen
  std::vector<double> x;
  std::vector<mean_rule> rules;      // rules[i] for planes[i], i >= 1
  std::vector<cplx> screen_phasors;  // [point][node of the last rule]
};

chain make_chain(std::vector<aperture> planes, std::vector<hop> hops, const std::vector<double>& x,
                 interval screen, int refine) {
  chain c{std::move(planes), std::move(hops), x, {}, {}};
  const std::size_t n = c.planes.size();
  c.rules.resize(n);
  for (std::size_t i = 1; i < n; ++i) {
    const interval onwards = i + 1 < n ? hull(c.planes[i + 1]) : screen;
    const double rate = rate_in_q(c.hops[i - 1], hull(c.planes[i - 1]), hull(c.planes[i])) +
                        rate_in_p(c.hops[i], hull(c.planes[i]), onwards);
    c.rules[i] = mean_quadrature(c.planes[i], rate, refine);
  }
  if (n > 1) {
    const mean_rule& last = c.rules.back();
    for (double xi : x)
      for (double u : last.nodes) c.screen_phasors.push_back(cis(c.hops.back()(u, xi)));
  }
  return c;
}

// The mean amplitude at each screen point for the wave `in` on the first aperture.
std::vector<cplx> amplitudes(const chain& c, const chirp& in) {
  const std::size_t n = c.planes.size();
  std::vector<cplx> A;
  if (n == 1) {
    for (double xi : c.x) A.push_back(analytic_mean(in, c.planes[0], c.hops[0], xi));
    return A;
  }
  std::vector<cplx> field;  // weighted by the rule of its plane
  for (std::size_t j = 0; j < c.rules[1].nodes.size(); ++j)
    field.push_back(c.rules[1].weights[j] *
                    analytic_mean(in, c.planes[0], c.hops[0], c.rules[1].nodes[j]));
  for (std::size_t i = 2; i < n; ++i) {
    std::vector<cplx> next;
    for (std::size_t m = 0; m < c.rules[i].nodes.size(); ++m) {
      cplx sum = 0;
      for (std::size_t j = 0; j < field.size(); ++j)
        sum += field[j] * cis(c.hops[i - 1](c.rules[i - 1].nodes[j], c.rules[i].nodes[m]));
      next.push_back(c.rules[i].weights[m] * sum);
    }
    field = std::move(next);
  }
  for (std::size_t i = 0; i < c.x.size(); ++i) {
    cplx sum = 0;
    const cplx* phasor = &c.screen_phasors[i * field.size()];
    for (std::size_t j = 0; j < field.size(); ++j) sum += field[j] * phasor[j];
    A.push_back(sum);
  }
  return A;
}

// Intensities of the source points add, each amplitude weighted by LED(d).
// Phases of d alone drop out of |A|^2, which therefore changes with d at most
// twice as fast as the cross term of the source hop.
std::vector<double> led_intensities(const chain& c, const hop& source_hop, const aperture& source,
                                    double sigma, int refine) {
  const double rate = 2 * corner_max(hull(source), hull(c.planes[0]),
                                     [&](double, double s) { return source_hop.pq * s; });
  const mean_rule rule = mean_quadrature(source, rate, refine);
  std::vector<double> I(c.x.size(), 0.0);
  for (std::size_t j = 0; j < rule.nodes.size(); ++j) {
    const double d = rule.nodes[j];
    const double weight = rule.weights[j] * LED(d, sigma) * LED(d, sigma);
    const std::vector<cplx> A = amplitudes(c, from_point(source_hop, d));
    for (std::size_t i = 0; i < I.size(); ++i) I[i] += weight * std::norm(A[i]);
  }
  return I;
}

// The rs model has no closed form: every aperture, the first included, by
// its quadrature rule, each hop the rs kernel (bench.hpp's rs_hop) between
// the nodes, sized by the textbook hop's rates. The same chain of planes and
// hops as above, with each hop's distance.
struct rs_chain {
  chain paraxial;                         // planes, textbook hops, x, rules[i >= 1]
  mean_rule first;                        // the rule of planes[0]
  std::vector<std::vector<cplx>> kernel;  // kernel[i][m * from + j]: hop i, node j to node m
};

cplx rs_kernel(const bench& b, double p, double q, double L) {
  const rs_factor f = rs_hop(b.wavenumber, p, q, L);
  return f.amplitude * cis(f.phase);
}

rs_chain make_rs_chain(const bench& b, std::vector<aperture> planes, const std::vector<hop>& hops,
                       const std::vector<double>& distance, const std::vector<double>& x,
                       interval screen, double incoming_rate, int refine) {
  rs_chain c{make_chain(std::move(planes), hops, x, screen, refine), {}, {}};
  const chain& p = c.paraxial;
  const std::size_t n = p.planes.size();
  const interval onwards = n > 1 ? hull(p.planes[1]) : screen;
  c.first = mean_quadrature(
      p.planes[0], incoming_rate + rate_in_p(p.hops[0], hull(p.planes[0]), onwards), refine);
  const auto nodes = [&](std::size_t i) -> const std::vector<double>& {
    return i == 0 ? c.first.nodes : p.rules[i].nodes;
  };
  for (std::size_t i = 0; i < n; ++i) {
    const std::vector<double>& to = i + 1 < n ? nodes(i + 1) : x;
    std::vector<cplx> K;
    for (double q : to)
      for (double u : nodes(i)) K.push_back(rs_kernel(b, u, q, distance[i]));
    c.kernel.push_back(std::move(K));
  }
  return c;
}

// The mean amplitude at each screen point for the wave `in` at the first
// plane's nodes.
std::vector<cplx> rs_amplitudes(const rs_chain& c, std::vector<cplx> field) {
  const std::size_t n = c.paraxial.planes.size();
  for (std::size_t j = 0; j < field.size(); ++j) field[j] *= c.first.weights[j];
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t to = c.kernel[i].size() / field.size();
    std::vector<cplx> next(to);
    for (std::size_t m = 0; m < to; ++m) {
      cplx sum = 0;
      for (std::size_t j = 0; j < field.size(); ++j)
        sum += field[j] * c.kernel[i][m * field.size() + j];
      next[m] = i + 1 < n ? c.paraxial.rules[i + 1].weights[m] * sum : sum;
    }
    field = std::move(next);
  }
  return field;
}

}  // namespace

std::vector<double> screen_points(const bench& b, const program_info& p) {
  std::vector<double> x;
  const int count = b.screen_points(p);
  for (int i = 0; i < count; ++i) x.push_back(screen_point(i, count, b.screen_max(p)));
  return x;
}

std::vector<double> continuum_values(const bench& bench, const program_info& p,
                                     const std::vector<double>& x, int refine) {
  if (x.empty() || !p.pattern()) return {};
  const double axis = screen_min;  // the LED programs' reference, their first point
  const interval screen{std::min(axis, *std::min_element(x.begin(), x.end())),
                        std::max(bench.screen_max(p), *std::max_element(x.begin(), x.end()))};

  const aperture source{{-bench.source_width / 2, bench.source_width / 2}};
  const aperture entrance{{-bench.entrance_width / 2, bench.entrance_width / 2}};
  const double inner = bench.pair_separation / 2 - bench.pair_slit_width / 2;
  const double outer = bench.pair_separation / 2 + bench.pair_slit_width / 2;
  const aperture pair{{-outer, -inner}, {inner, outer}};  // the lower slit mirrors the upper
  const hop from_source = forward_hop(bench, bench.source_distance);
  const hop to_pair = forward_hop(bench, bench.pair_distance);
  const hop to_screen = forward_hop(bench, bench.screen_distance);
  const hop past_pair = forward_hop(bench, bench.pair_distance + bench.screen_distance);

  auto moduli = [](const std::vector<cplx>& A) {
    std::vector<double> value;
    for (cplx a : A) value.push_back(std::abs(a));
    return value;
  };
  auto led_pattern = [&](const std::vector<aperture>& planes, const std::vector<hop>& hops) {
    std::vector<double> points = x;
    points.push_back(axis);
    const chain c = make_chain(planes, hops, points, screen, refine);
    std::vector<double> I = led_intensities(c, led_source_hop(bench, bench.source_distance), source,
                                            bench.led_sigma, refine);
    const double I0 = I.back();
    I.pop_back();
    for (double& value : I) value /= I0;
    return I;
  };

  // The apertures in beam order, each with the hop leaving it; a single slit
  // reaches the screen pair_distance + screen_distance behind it. An LED
  // program's source is not a plane of the chain: its points add as
  // intensities (normalised).
  std::vector<aperture> planes;
  std::vector<hop> hops;
  std::vector<double> distance;  // of each hop
  if ((p.planes & source_plane) && !p.normalised()) {
    planes.push_back(source);
    hops.push_back(from_source);
    distance.push_back(bench.source_distance);
  }
  planes.push_back(entrance);
  if (p.planes & pair_plane) {
    planes.push_back(pair);
    hops.insert(hops.end(), {to_pair, to_screen});
    distance.insert(distance.end(), {bench.pair_distance, bench.screen_distance});
  } else {
    hops.push_back(past_pair);
    distance.push_back(bench.pair_distance + bench.screen_distance);
  }
  if (bench.rs_hops) {
    if (!p.normalised()) {
      const rs_chain c = make_rs_chain(bench, planes, hops, distance, x, screen, 0, refine);
      return moduli(rs_amplitudes(c, std::vector<cplx>(c.first.nodes.size(), 1.0)));
    }
    // The LED's points add as intensities, each amplitude weighted by LED(d);
    // |A|^2 changes with d at most twice as fast as the source hop's cross term.
    std::vector<double> points = x;
    points.push_back(axis);
    const hop source_hop = led_source_hop(bench, bench.source_distance);
    const double incoming = corner_max(hull(source), hull(entrance), [&](double d, double s) {
      return source_hop.pq * d + 2 * source_hop.qq * s;
    });
    const rs_chain c =
        make_rs_chain(bench, planes, hops, distance, points, screen, incoming, refine);
    const mean_rule rule =
        mean_quadrature(source,
                        2 * corner_max(hull(source), hull(entrance),
                                       [&](double, double s) { return source_hop.pq * s; }),
                        refine);
    std::vector<double> I(points.size(), 0.0);
    for (std::size_t j = 0; j < rule.nodes.size(); ++j) {
      const double d = rule.nodes[j];
      std::vector<cplx> in;
      for (double u : c.first.nodes) in.push_back(rs_kernel(bench, d, u, bench.source_distance));
      const std::vector<cplx> A = rs_amplitudes(c, std::move(in));
      const double weight = rule.weights[j] * LED(d, bench.led_sigma) * LED(d, bench.led_sigma);
      for (std::size_t i = 0; i < I.size(); ++i) I[i] += weight * std::norm(A[i]);
    }
    const double I0 = I.back();
    I.pop_back();
    for (double& value : I) value /= I0;
    return I;
  }
  if (p.normalised()) return led_pattern(planes, hops);
  return moduli(amplitudes(make_chain(planes, hops, x, screen, refine), {}));
}

}  // namespace continuum
