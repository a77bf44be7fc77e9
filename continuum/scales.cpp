#include "scales.hpp"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "integrals.hpp"

namespace continuum {

double single_screen_distance(const bench& b) { return b.pair_distance + b.screen_distance; }

limiting_aperture resolving_count(const bench& b, const program_info& p) {
  const double we = b.entrance_width, ws = b.source_width, xs = b.single_screen_max;
  const double L1 = b.source_distance, L2 = b.pair_distance, Lp = single_screen_distance(b);
  const double inner = b.pair_separation / 2 - b.pair_slit_width / 2,
               outer = b.pair_separation / 2 + b.pair_slit_width / 2;
  const std::vector<double> pair = {-outer, -inner, inner, outer}, screen = {0, xs},
                            source = {-ws / 2, ws / 2}, entrance = {-we / 2, we / 2};
  std::vector<std::function<double(double)>> phases;  // of the limiting aperture's u
  double width = we;
  std::string aperture = "first slit";
  auto led = [&](double d, double s, double q, double L) {
    return b.led_phase(b.led_hop_in(d, s, L1), b.led_hop_out(s, q, L), s);
  };
  // The aperture whose phase varies fastest: the source strip of a coherent
  // source, else the first slit, seen from the plane after it.
  const std::vector<double>& next = (p.planes & pair_plane) ? pair : screen;
  const double L = (p.planes & pair_plane) ? L2 : Lp;
  if (p.normalised()) {
    for (double d : source)
      for (double q : next) phases.push_back([&, d, q, L](double s) { return led(d, s, q, L); });
  } else if (p.planes & source_plane) {
    width = ws, aperture = "source";
    for (double s : entrance) phases.push_back([&, s](double d) { return b.hop_phase(d, s, L1); });
  } else {
    for (double q : next) phases.push_back([&, q, L](double s) { return b.hop_phase(s, q, L); });
  }
  const double h = width * 1e-3;
  double steepest = 0;
  for (const auto& phi : phases)
    for (double u : {-width / 2, width / 2})
      steepest = std::max(steepest, std::abs(phi(u + h) - phi(u - h)) / (2 * h));
  return {aperture, width * steepest / (2 * std::numbers::pi)};
}

double ghost_shift(const bench& b, double L, int source_samples) {
  return b.wavelength * L * source_samples / (2 * b.source_width);
}

double first_slit_repeat(const bench& b, double L, int entrance_samples) {
  return b.wavelength * L * entrance_samples / b.entrance_width;
}

double first_slit_image(const bench& b, double L) {
  return b.entrance_width * (1 - L / (4 * b.source_distance));
}

double first_ghost_offscreen(const bench& b) {
  const double image = -first_slit_image(b, single_screen_distance(b));
  return (b.single_screen_max + image) * 2 * b.source_width /
         (b.wavelength * single_screen_distance(b));
}

textbook_chain textbook_equivalent(const bench& b) {
  const double L2 = b.pair_distance, L3 = b.screen_distance;
  const double screen = 1 / (8 / L3 - 2 / L2);
  return {L2 / 2, screen, 2 * screen / L3};
}

double fresnel_number(const bench& b, double width, double L) {
  return (width / 2) * (width / 2) / (b.wavelength * L);
}

std::complex<double> first_slit_wave(const bench& b, double y, double L) {
  const double w = b.entrance_width;
  const mean_rule rule =
      mean_quadrature({{-w / 2, w / 2}}, b.wavenumber * (w + std::abs(y)) / L, 4);
  std::complex<double> mean = 0;
  for (std::size_t j = 0; j < rule.nodes.size(); ++j)
    mean += rule.weights[j] * std::exp(std::complex<double>(0, b.hop_phase(rule.nodes[j], y, L)));
  return mean;
}

double lit_centre(const bench& b, double lo, double width, double L) {
  const mean_rule across = mean_quadrature({{lo, lo + width}}, 1 / width, 4);
  double weight = 0, moment = 0;
  for (std::size_t j = 0; j < across.nodes.size(); ++j) {
    const double m = std::abs(first_slit_wave(b, across.nodes[j], L));
    weight += across.weights[j] * m, moment += across.weights[j] * m * across.nodes[j];
  }
  return moment / weight;
}

}  // namespace continuum
