// Broad coherent source strip before a single slit: every source sample adds
// its amplitude, unweighted, through every slit sample.
#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = 20;
constexpr int screen_count = 1000;

#if SLITS_STRAIGHTFORWARD
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    amplitude A = 0;
    for (int n = 0; n < aperture_samples; ++n) {
      const double s = aperture_point(entrance_width, n);
      const amplitude P = phasor(hop_phase(s, x[l], pair_distance + screen_distance));
      for (int j = 0; j < aperture_samples; ++j) {
        const double d = aperture_point(source_width, j);
        const amplitude R = phasor(hop_phase(d, s, source_distance));
        A += std::exp(R + P);
      }
    }
    A /= double(aperture_samples) * aperture_samples;
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  // The hop from the source to the slit does not depend on the screen.
  static const sample_table R = tabulate([](int n, int j) {
    return hop_phase(aperture_point(source_width, j), aperture_point(entrance_width, n),
                     source_distance);
  });
  block_sum A;
  for (int n = 0; n < aperture_samples; ++n) {
    const double s = aperture_point(entrance_width, n);
    double P[block_size];
    for (int l = 0; l < block_size; ++l) P[l] = hop_phase(s, x[l], pair_distance + screen_distance);
    cis_add(R[n].data(), aperture_samples, P, 1.0, A.re, A.im);
  }
  for (int l = 0; l < block_size; ++l)
    value[l] = A.modulus_of_mean(l, double(aperture_samples) * aperture_samples);
}
#endif

int main() {
  pattern_file file = open_pattern_file("broad_monogap", "broad_monogap.txt");
  for (int first = 0; first < screen_count; first += block_size) {
    double x[block_size], value[block_size];
    for (int l = 0; l < block_size; ++l) x[l] = screen_point(first + l, screen_count, screen_max);
    diffract(x, value);
    for (int l = 0; l < block_size; ++l) write_pattern_record(file, modulus_label, x[l], value[l]);
  }
  return close_pattern_file(file);
}
