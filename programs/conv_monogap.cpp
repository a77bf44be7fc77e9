// LED strip before a single slit: the LED's samples are mutually incoherent,
// so their intensities add; the pattern is normalised to its value on the
// axis. The modulus label is kept although the value is an intensity.
#include <cmath>

#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = 20;
constexpr int screen_count = 1000;

// Both hops share the slit point s as multiplier: their quotients are added,
// then multiplied once by wavenumber * s.
#if SLITS_STRAIGHTFORWARD
void intensity(const double (&x)[block_size], double (&I)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    I[l] = 0;
    for (int j = 0; j < aperture_samples; ++j) {
      const double d = aperture_point(source_width, j);
      amplitude A = 0;
      for (int n = 0; n < aperture_samples; ++n) {
        const double s = aperture_point(entrance_width, n);
        const double phi =
            ((s - d) / source_distance + (s - x[l]) / (pair_distance + screen_distance)) *
            (wavenumber * s);
        A += LED(d) * std::exp(phasor(phi));
      }
      I[l] += std::pow(std::abs(A), 2.0);
    }
    I[l] = I[l] / double(aperture_samples);
  }
}
#else
void intensity(const double (&x)[block_size], double (&I)[block_size]) {
  static const sample_table source_hop = tabulate([](int j, int n) {
    return (aperture_point(entrance_width, n) - aperture_point(source_width, j)) / source_distance;
  });
  double screen_hop[aperture_samples][block_size];
  for (int n = 0; n < aperture_samples; ++n)
    for (int l = 0; l < block_size; ++l)
      screen_hop[n][l] =
          (aperture_point(entrance_width, n) - x[l]) / (pair_distance + screen_distance);
  phasor_batch<aperture_samples * block_size> paths;  // [n][lane]

  for (int l = 0; l < block_size; ++l) I[l] = 0;
  for (int j = 0; j < aperture_samples; ++j) {
    const double weight = LED(aperture_point(source_width, j));
    for (int n = 0; n < aperture_samples; ++n) {
      const double s = aperture_point(entrance_width, n);
      for (int l = 0; l < block_size; ++l)
        paths.phase[n * block_size + l] = (source_hop[j][n] + screen_hop[n][l]) * (wavenumber * s);
    }
    paths.evaluate();
    amplitude A[block_size] = {};
    for (int n = 0; n < aperture_samples; ++n)
      for (int l = 0; l < block_size; ++l) A[l] += weight * paths[n * block_size + l];
    for (int l = 0; l < block_size; ++l) I[l] += std::pow(std::abs(A[l]), 2.0);
  }
  for (int l = 0; l < block_size; ++l) I[l] = I[l] / double(aperture_samples);
}
#endif

int main() {
  pattern_file file = open_pattern_file("conv_monogap", "conv_monogap.txt");
  double I0 = 0;  // intensity on the axis, the first screen point
  for (int first = 0; first < screen_count; first += block_size) {
    double x[block_size], I[block_size];
    for (int l = 0; l < block_size; ++l) x[l] = screen_point(first + l, screen_count, screen_max);
    intensity(x, I);
    for (int l = 0; l < block_size; ++l) {
      if (first + l == 0) I0 = I[l];
      write_pattern_record(file, modulus_label, x[l], I[l] / I0);
    }
  }
  return close_pattern_file(file);
}
