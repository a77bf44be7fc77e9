// Plane wave on a first slit, then a double slit: every path from a
// first-slit sample through either slit of the pair adds coherently.
#include "bench.hpp"

constexpr double screen_max = 4;
constexpr int screen_count = 1000;

int main() {
  pattern_file file = open_pattern_file("duogap", "duogap.txt");
  for (int i = 0; i < screen_count; ++i) {
    amplitude A = 0;
    const double x = screen_point(i, screen_count, screen_max);
    for (int m = 0; m < aperture_samples; ++m) {
      const double y = pair_point(m);
      const amplitude U = phasor(hop_phase(y, x, screen_distance));
      const amplitude W = phasor(hop_phase(-y, x, screen_distance));
      for (int n = 0; n < aperture_samples; ++n) {
        const double s = aperture_point(entrance_width, n);
        const amplitude Qu = phasor(hop_phase(s, y, pair_distance));
        const amplitude Ql = phasor(hop_phase(s, -y, pair_distance));
        A += std::exp(Qu + U) + std::exp(Ql + W);
      }
    }
    A /= 20000.0;
    write_pattern_record(file, modulus_label, x, std::abs(A));
  }
  return close_pattern_file(file);
}
