// The full coherent bench: broad source strip, first slit, double slit.
#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = 4;
constexpr int screen_count = 1000;

#if SLITS_STRAIGHTFORWARD
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    amplitude A = 0;
    for (int m = 0; m < aperture_samples; ++m) {
      const double y = pair_point(m);
      const amplitude U = phasor(hop_phase(y, x[l], screen_distance));
      const amplitude W = phasor(hop_phase(-y, x[l], screen_distance));
      for (int n = 0; n < aperture_samples; ++n) {
        const double s = aperture_point(entrance_width, n);
        const amplitude Qu = phasor(hop_phase(s, y, pair_distance));
        const amplitude Ql = phasor(hop_phase(s, -y, pair_distance));
        for (int j = 0; j < aperture_samples; ++j) {
          const double d = aperture_point(source_width, j);
          const amplitude R = phasor(hop_phase(d, s, source_distance));
          A += std::exp((R + Qu) + U) + std::exp((R + Ql) + W);
        }
      }
    }
    A /= 2.0 * aperture_samples * aperture_samples * aperture_samples;
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  // The hop from the source to the first slit does not depend on the screen.
  static const sample_table R = tabulate([](int n, int j) {
    return hop_phase(aperture_point(source_width, j), aperture_point(entrance_width, n),
                     source_distance);
  });
  block_sum A;
  for (int m = 0; m < aperture_samples; ++m) {
    const double y = pair_point(m);
    double U[block_size], W[block_size];
    for (int l = 0; l < block_size; ++l) {
      U[l] = hop_phase(y, x[l], screen_distance);
      W[l] = hop_phase(-y, x[l], screen_distance);
    }
    for (int n = 0; n < aperture_samples; ++n) {
      const double s = aperture_point(entrance_width, n);
      const double Qu = hop_phase(s, y, pair_distance);
      const double Ql = hop_phase(s, -y, pair_distance);
      // Each total left to right, R first: (R + Qu) + U, never Qu + U ahead.
      double upper[aperture_samples], lower[aperture_samples];
      for (int j = 0; j < aperture_samples; ++j) {
        upper[j] = R[n][j] + Qu;
        lower[j] = R[n][j] + Ql;
      }
      cis_add_pairs(upper, lower, aperture_samples, U, W, 1.0, A.re, A.im);
    }
  }
  for (int l = 0; l < block_size; ++l)
    value[l] = A.modulus_of_mean(l, 2.0 * aperture_samples * aperture_samples * aperture_samples);
}
#endif

int main() {
  pattern_file file = open_pattern_file("broad_duogap", "broad_duogap.txt");
  for (int first = 0; first < screen_count; first += block_size) {
    double x[block_size], value[block_size];
    for (int l = 0; l < block_size; ++l) x[l] = screen_point(first + l, screen_count, screen_max);
    diffract(x, value);
    for (int l = 0; l < block_size; ++l) write_pattern_record(file, modulus_label, x[l], value[l]);
  }
  return close_pattern_file(file);
}
