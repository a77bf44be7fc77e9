// The literal evaluation of a setup: every path from the source through one
// sample of each plane to the screen point, its phase summed hop by hop
// from the source on, ((h1 + h2) + h3) + ..., and its phasor std::exp of
// i times that sum, times the product of the hops' amplitudes in the same
// order (rs; 1 in the other models, and then not multiplied). The reference the engine is checked
// against; its cost is paths times screen points, so it is refused above literal_limit.
#include <cmath>
#include <complex>
#include <memory>

#include "sampled.hpp"

namespace {

struct literal_paths {
  const setup& s;
  const sampled_setup& g;
  double x;
  std::vector<double> chosen;  // the point taken on each plane so far

  // The phase `so_far` with hop h added, from p on plane h - 1 to q.
  double add_hop(int h, double so_far, double p, double q) const {
    const bench& b = s.b;
    const double L = g.distance[h];
    if (s.source.led_hops && h == 1) return 0;  // joins the next hop
    if (s.source.led_hops && h == 2)
      return b.led_phase(b.led_hop_in(chosen.front(), p, g.distance[1]), b.led_hop_out(p, q, L), p);
    if (h == 1) return b.hop_phase(p, q, L);
    return so_far + b.hop_phase(p, q, L);
  }

  // The amplitude `so_far` times that of hop h; the LED programs' first two
  // hops, one phase, are two hops here as in every model but classic.
  double add_gain(int h, double so_far, double p, double q) const {
    const double a = hop_amplitude(s.b, h, p, q, g.distance[h]);
    return h == 1 ? a : so_far * a;
  }

  // The sum over every path on from plane k, the phase and amplitude up to
  // plane k - 1 being so_far and gain.
  std::complex<double> from_plane(std::size_t k, double so_far, double gain) {
    if (k == g.planes.size()) {
      const std::complex<double> e =
          std::exp(std::complex<double>(0.0, add_hop(int(k), so_far, chosen.back(), x)));
      if (!s.b.rs_hops) return e;
      return add_gain(int(k), gain, chosen.back(), x) * e;
    }
    std::complex<double> sum = 0;
    const double p = k == 0 ? 0.0 : chosen[k - 1];
    for (const double q : g.planes[k].point) {
      chosen[k] = q;
      sum += from_plane(k + 1, k == 0 ? 0.0 : add_hop(int(k), so_far, p, q),
                        k == 0 ? 1.0 : add_gain(int(k), gain, p, q));
    }
    return sum;
  }
};

double literal_value(const setup& s, const sampled_setup& g, double x) {
  literal_paths paths{s, g, x, std::vector<double>(g.planes.size())};
  double count = 1;
  const bool incoherent = s.source.kind == source_kind::incoherent;
  for (std::size_t k = incoherent ? 1 : 0; k < g.planes.size(); ++k)
    count *= double(g.planes[k].point.size());
  if (!incoherent) {
    const std::complex<double> mean = paths.from_plane(0, 0.0, 1.0) / count;
    if (s.quantity == setup_quantity::amplitude) return std::abs(mean);
    return std::pow(std::abs(mean), 2.0);
  }
  double I = 0;
  const std::vector<double>& strip = g.planes[0].point;
  for (std::size_t j = 0; j < strip.size(); ++j) {
    paths.chosen[0] = strip[j];
    const std::complex<double> A = paths.from_plane(1, 0.0, 1.0);
    if (s.source.weighs_amplitude)
      I += std::pow(std::abs(g.weight[j] * A), 2.0);
    else
      I += g.weight[j] * std::pow(std::abs(A), 2.0);
  }
  if (!s.source.density) I /= double(strip.size());
  if (s.quantity == setup_quantity::intensity) I /= count * count;
  return I;
}

}  // namespace

double literal_exponentials(const setup& s) {
  double paths = s.source.kind == source_kind::plane_wave ? 1 : double(s.source.samples);
  for (const setup_plane& p : s.planes) paths *= points_of(p);
  return paths * (s.screen_count() + (s.quantity == setup_quantity::relative ? 1 : 0)) *
         double(spectral_lines(s).size());
}

block_loop literal_loop(const setup& s, int threads) {
  if (s.spectrum.kind != spectrum_kind::line) return spectral_loop(s, threads, literal_loop);
  const auto run = std::make_shared<const std::pair<setup, sampled_setup>>(s, sample_setup(s));
  return [run](const double* x, double* value) {
    for (int l = 0; l < block_size; ++l) value[l] = literal_value(run->first, run->second, x[l]);
  };
}
