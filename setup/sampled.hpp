// A setup's planes as sampled points, in the order their sums run; shared by
// the engine and the literal evaluation.
#pragma once

#include <vector>

#include "setup.hpp"

// The samples of one plane. Each term of a sum over the plane is a single
// sample, or a mirror pair (y, -y) of a grating whose two terms are added
// as one value before they join the sum: the programs' order for the pair.
struct sampled_plane {
  struct term {
    int first, second;  // second < 0: a single sample
  };
  std::vector<double> point;
  std::vector<term> terms;
};

// The sampled planes from the source on: the strip first when the source is
// one, then the setup's planes. distance[i] lies before plane i (unused for
// i = 0); distance[planes.size()] is the screen's.
struct sampled_setup {
  std::vector<sampled_plane> planes;
  std::vector<double> distance;
  bool strip = false;
  std::vector<double> weight;  // an incoherent strip's sample weights, times the step for a density
};

sampled_setup sample_setup(const setup& s);

// The samples on a plane, counted without sampling it.
double points_of(const setup_plane& p);

// The weight of a strip's profile at d.
double profile_weight(const source_strip& source, double d);

// The phase of hop h, from p on plane h - 1 to q on plane h or the screen.
// With the LED programs' hops the first two meet at the first plane's point
// s in one product with s as the multiplier; split into each hop's share,
// the other's term zero, as the LED programs split it.
inline double hop(const bench& b, bool led_hops, int h, double p, double q, double L) {
  if (led_hops && h == 1) return b.led_phase(b.led_hop_in(p, q, L), 0.0, q);
  if (led_hops && h == 2) return b.led_phase(0.0, b.led_hop_out(p, q, L), p);
  return b.hop_phase(p, q, L);
}

// The amplitude of hop h, 1 but in the rs model; there the LED programs'
// hops are each a hop of its own, as in every model but classic.
inline double hop_amplitude(const bench& b, int h, double p, double q, double L) {
  if (!b.rs_hops || h == 0) return 1.0;
  return b.hop_amplitude(p, q, L);
}
