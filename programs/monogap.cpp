// Plane wave on a single slit: the modulus of the diffracted amplitude on a
// screen 700 behind the slit.
#include "bench.hpp"

constexpr double screen_max = 20;
constexpr int screen_count = 10000;

int main() {
  pattern_file file = open_pattern_file("monogap", "monogap.txt");
  for (int i = 0; i < screen_count; ++i) {
    amplitude A = 0;
    const double x = screen_point(i, screen_count, screen_max);
    for (int n = 0; n < aperture_samples; ++n) {
      const double s = aperture_point(entrance_width, n);
      A += std::exp(phasor(hop_phase(s, x, pair_distance + screen_distance)));
    }
    A /= 100.0;
    write_pattern_record(file, modulus_label, x, std::abs(A));
  }
  return close_pattern_file(file);
}
