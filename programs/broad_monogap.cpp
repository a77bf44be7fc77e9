// Broad coherent source strip before a single slit: every source sample adds
// its amplitude, unweighted, through every slit sample.
#include "bench.hpp"

constexpr double screen_max = 20;
constexpr int screen_count = 1000;

int main() {
  pattern_file file = open_pattern_file("broad_monogap", "broad_monogap.txt");
  for (int i = 0; i < screen_count; ++i) {
    amplitude A = 0;
    const double x = screen_point(i, screen_count, screen_max);
    for (int n = 0; n < aperture_samples; ++n) {
      const double s = aperture_point(entrance_width, n);
      const amplitude P = phasor(hop_phase(s, x, pair_distance + screen_distance));
      for (int j = 0; j < aperture_samples; ++j) {
        const double d = aperture_point(source_width, j);
        const amplitude R = phasor(hop_phase(d, s, source_distance));
        A += std::exp(R + P);
      }
    }
    A /= 10000.0;
    write_pattern_record(file, modulus_label, x, std::abs(A));
  }
  return close_pattern_file(file);
}
