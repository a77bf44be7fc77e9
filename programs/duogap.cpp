// Plane wave on a first slit, then a double slit: every path from a
// first-slit sample through either slit of the pair adds coherently.
#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = double_screen_max;
constexpr int screen_count = bench_screen_count;

#if SLITS_STRAIGHTFORWARD
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    amplitude A = 0;
    for (int m = 0; m < pair_samples; ++m) {
      const double y = pair_point(m);
      const amplitude U = phasor(hop_phase(y, x[l], screen_distance));
      const amplitude W = phasor(hop_phase(-y, x[l], screen_distance));
      for (int n = 0; n < entrance_samples; ++n) {
        const double s = entrance_point(n);
        const amplitude Qu = phasor(hop_phase(s, y, pair_distance));
        const amplitude Ql = phasor(hop_phase(s, -y, pair_distance));
        A += std::exp(Qu + U) + std::exp(Ql + W);
      }
    }
    A /= 2.0 * pair_samples * entrance_samples;
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  // The hops from the first slit to the pair do not depend on the screen.
  static const sample_table Qu(pair_samples, entrance_samples, [](int m, int n) {
    return hop_phase(entrance_point(n), pair_point(m), pair_distance);
  });
  static const sample_table Ql(pair_samples, entrance_samples, [](int m, int n) {
    return hop_phase(entrance_point(n), -pair_point(m), pair_distance);
  });
  block_sum A;
  for (int m = 0; m < pair_samples; ++m) {
    const double y = pair_point(m);
    double U[block_size], W[block_size];
    for (int l = 0; l < block_size; ++l) {
      U[l] = hop_phase(y, x[l], screen_distance);
      W[l] = hop_phase(-y, x[l], screen_distance);
    }
    cis_add_pairs(Qu[m], Ql[m], entrance_samples, U, W, 1.0, A.re, A.im);
  }
  for (int l = 0; l < block_size; ++l)
    value[l] = A.modulus_of_mean(l, 2.0 * pair_samples * entrance_samples);
}
#endif

int main() {
  pattern_file file = open_pattern_file("duogap", "duogap.txt");
  for_each_block(screen_count, screen_max, diffract, [&](int, double x, double value) {
    write_pattern_record(file, modulus_label, x, value);
  });
  return close_pattern_file(file);
}
