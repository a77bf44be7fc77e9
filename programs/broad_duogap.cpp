// The full coherent bench: broad source strip, first slit, double slit.
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
        for (int j = 0; j < source_samples; ++j) {
          const double d = source_point(j);
          const amplitude R = phasor(hop_phase(d, s, source_distance));
          A += std::exp((R + Qu) + U) + std::exp((R + Ql) + W);
        }
      }
    }
    A /= 2.0 * pair_samples * entrance_samples * source_samples;
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  // The hop from the source to the first slit does not depend on the screen.
  static const sample_table R(entrance_samples, source_samples, [](int n, int j) {
    return hop_phase(source_point(j), entrance_point(n), source_distance);
  });
  std::vector<double> upper(source_samples), lower(source_samples);
  block_sum A;
  for (int m = 0; m < pair_samples; ++m) {
    const double y = pair_point(m);
    double U[block_size], W[block_size];
    for (int l = 0; l < block_size; ++l) {
      U[l] = hop_phase(y, x[l], screen_distance);
      W[l] = hop_phase(-y, x[l], screen_distance);
    }
    for (int n = 0; n < entrance_samples; ++n) {
      const double s = entrance_point(n);
      const double Qu = hop_phase(s, y, pair_distance);
      const double Ql = hop_phase(s, -y, pair_distance);
      // Each total left to right, R first: (R + Qu) + U, never Qu + U ahead.
      for (int j = 0; j < source_samples; ++j) {
        upper[j] = R[n][j] + Qu;
        lower[j] = R[n][j] + Ql;
      }
      cis_add_pairs(upper.data(), lower.data(), source_samples, U, W, 1.0, A.re, A.im);
    }
  }
  for (int l = 0; l < block_size; ++l)
    value[l] = A.modulus_of_mean(l, 2.0 * pair_samples * entrance_samples * source_samples);
}
#endif

int main() {
  pattern_file file = open_pattern_file("broad_duogap", "broad_duogap.txt");
  for_each_block(screen_count, screen_max, diffract, [&](int, double x, double value) {
    write_pattern_record(file, modulus_label, x, value);
  });
  return close_pattern_file(file);
}
