// Broad coherent source strip before a single slit: every source sample adds
// its amplitude, unweighted, through every slit sample.
#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = single_screen_max;
constexpr int screen_count = bench_screen_count;

#if SLITS_STRAIGHTFORWARD
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    amplitude A = 0;
    for (int n = 0; n < entrance_samples; ++n) {
      const double s = entrance_point(n);
      const amplitude P = phasor(hop_phase(s, x[l], pair_distance + screen_distance));
      for (int j = 0; j < source_samples; ++j) {
        const double d = source_point(j);
        const amplitude R = phasor(hop_phase(d, s, source_distance));
        A += std::exp(R + P);
      }
    }
    A /= double(entrance_samples) * source_samples;
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  // The hop from the source to the slit does not depend on the screen.
  static const sample_table R(entrance_samples, source_samples, [](int n, int j) {
    return hop_phase(source_point(j), entrance_point(n), source_distance);
  });
  block_sum A;
  for (int n = 0; n < entrance_samples; ++n) {
    const double s = entrance_point(n);
    double P[block_size];
    for (int l = 0; l < block_size; ++l) P[l] = hop_phase(s, x[l], pair_distance + screen_distance);
    cis_add(R[n], source_samples, P, 1.0, A.re, A.im);
  }
  for (int l = 0; l < block_size; ++l)
    value[l] = A.modulus_of_mean(l, double(entrance_samples) * source_samples);
}
#endif

int main() {
  pattern_file file = open_pattern_file("broad_monogap", "broad_monogap.txt");
  for_each_block(screen_count, screen_max, diffract, [&](int, double x, double value) {
    write_pattern_record(file, modulus_label, x, value);
  });
  return close_pattern_file(file);
}
