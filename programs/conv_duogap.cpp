// LED strip, first slit, double slit: amplitudes add along the paths of one
// LED sample, intensities add across LED samples; the pattern is normalised
// to its value on the axis.
#include <cmath>

#include "bench.hpp"

constexpr double screen_max = 4;
constexpr int screen_count = 1000;

int main() {
  pattern_file file = open_pattern_file("conv_duogap", "conv_duogap.txt");
  double I0 = 0;  // intensity on the axis, the first screen point
  for (int i = 0; i < screen_count; ++i) {
    double I = 0;
    const double x = screen_point(i, screen_count, screen_max);
    for (int j = 0; j < aperture_samples; ++j) {
      const double dd = source_width / 100.0;  // source step
      const double d = (j * dd) + ((-source_width) / 2.0);
      amplitude A = 0;
      for (int m = 0; m < aperture_samples; ++m) {
        const double y = pair_point(m);
        const amplitude U = phasor(hop_phase(y, x, screen_distance));
        const amplitude W = phasor(hop_phase(-y, x, screen_distance));
        for (int n = 0; n < aperture_samples; ++n) {
          const double s = aperture_point(entrance_width, n);
          // The source hop and the hop to the pair share the multiplier s.
          const amplitude Qu = phasor(
              ((s - d) / source_distance + (s - y) / pair_distance) * (wavenumber * s));
          const amplitude Ql = phasor(
              ((s - d) / source_distance + (s + y) / pair_distance) * (wavenumber * s));
          const amplitude T = std::exp(Qu + U) + std::exp(Ql + W);
          A += (LED(d) * dd) * T;
        }
      }
      I += std::pow(std::abs(A), 2.0);
    }
    if (i == 0) I0 = I;
    I = I / I0;
    write_pattern_record(file, squared_label, x, I);
  }
  return close_pattern_file(file);
}
