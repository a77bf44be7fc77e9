// LED strip before a single slit: the LED's samples are mutually incoherent,
// so their intensities add; the pattern is normalised to its value on the
// axis. The modulus label is kept although the value is an intensity.
#include <cmath>

#include "bench.hpp"

constexpr double screen_max = 20;
constexpr int screen_count = 1000;

int main() {
  pattern_file file = open_pattern_file("conv_monogap", "conv_monogap.txt");
  double I0 = 0;  // intensity on the axis, the first screen point
  for (int i = 0; i < screen_count; ++i) {
    double I = 0;
    const double x = screen_point(i, screen_count, screen_max);
    for (int j = 0; j < aperture_samples; ++j) {
      const double d = aperture_point(source_width, j);
      amplitude A = 0;
      for (int n = 0; n < aperture_samples; ++n) {
        const double s = aperture_point(entrance_width, n);
        // Both hops share the slit point s as multiplier: one product.
        const double phi = ((s - d) / source_distance +
                            (s - x) / (pair_distance + screen_distance)) *
                           (wavenumber * s);
        A += LED(d) * std::exp(phasor(phi));
      }
      I += std::pow(std::abs(A), 2.0);
    }
    I = I / 100.0;
    if (i == 0) I0 = I;
    I = I / I0;
    write_pattern_record(file, modulus_label, x, I);
  }
  return close_pattern_file(file);
}
