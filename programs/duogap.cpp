// Plane wave on a first slit, then a double slit: every path from a
// first-slit sample through either slit of the pair adds coherently.
#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = 4;
constexpr int screen_count = 1000;

#if SLITS_STRAIGHTFORWARD
void diffract(const double (&x)[lanes], double (&value)[lanes]) {
  for (int l = 0; l < lanes; ++l) {
    amplitude A = 0;
    for (int m = 0; m < aperture_samples; ++m) {
      const double y = pair_point(m);
      const amplitude U = phasor(hop_phase(y, x[l], screen_distance));
      const amplitude W = phasor(hop_phase(-y, x[l], screen_distance));
      for (int n = 0; n < aperture_samples; ++n) {
        const double s = aperture_point(entrance_width, n);
        const amplitude Qu = phasor(hop_phase(s, y, pair_distance));
        const amplitude Ql = phasor(hop_phase(s, -y, pair_distance));
        A += std::exp(Qu + U) + std::exp(Ql + W);
      }
    }
    A /= 20000.0;
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[lanes], double (&value)[lanes]) {
  // The hops from the first slit to the pair do not depend on the screen.
  static const sample_table Qu = tabulate([](int m, int n) {
    return hop_phase(aperture_point(entrance_width, n), pair_point(m), pair_distance);
  });
  static const sample_table Ql = tabulate([](int m, int n) {
    return hop_phase(aperture_point(entrance_width, n), -pair_point(m), pair_distance);
  });
  block_sum A;
  for (int m = 0; m < aperture_samples; ++m) {
    const double y = pair_point(m);
    double U[lanes], W[lanes];
    for (int l = 0; l < lanes; ++l) {
      U[l] = hop_phase(y, x[l], screen_distance);
      W[l] = hop_phase(-y, x[l], screen_distance);
    }
    add_path_pairs(A, Qu[m].data(), Ql[m].data(), aperture_samples, U, W, 1.0);
  }
  for (int l = 0; l < lanes; ++l) value[l] = A.modulus_of_mean(l, 20000.0);
}
#endif

int main() {
  pattern_file file = open_pattern_file("duogap", "duogap.txt");
  for (int first = 0; first < screen_count; first += lanes) {
    double x[lanes], value[lanes];
    for (int l = 0; l < lanes; ++l) x[l] = screen_point(first + l, screen_count, screen_max);
    diffract(x, value);
    for (int l = 0; l < lanes; ++l) write_pattern_record(file, modulus_label, x[l], value[l]);
  }
  return close_pattern_file(file);
}
