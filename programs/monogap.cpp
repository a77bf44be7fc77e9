// Plane wave on a single slit: the modulus of the diffracted amplitude on a
// screen 700 behind the slit.
#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = 20;
constexpr int screen_count = 10000;

#if SLITS_STRAIGHTFORWARD
void diffract(const double (&x)[lanes], double (&value)[lanes]) {
  for (int l = 0; l < lanes; ++l) {
    amplitude A = 0;
    for (int n = 0; n < aperture_samples; ++n) {
      const double s = aperture_point(entrance_width, n);
      A += std::exp(phasor(hop_phase(s, x[l], pair_distance + screen_distance)));
    }
    A /= 100.0;
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[lanes], double (&value)[lanes]) {
  phasor_batch<aperture_samples * lanes> paths;  // [n][lane]
  for (int n = 0; n < aperture_samples; ++n) {
    const double s = aperture_point(entrance_width, n);
    for (int l = 0; l < lanes; ++l)
      paths.phase[n * lanes + l] = hop_phase(s, x[l], pair_distance + screen_distance);
  }
  paths.evaluate();

  amplitude A[lanes] = {};
  for (int n = 0; n < aperture_samples; ++n)
    for (int l = 0; l < lanes; ++l) A[l] += paths[n * lanes + l];
  for (int l = 0; l < lanes; ++l) {
    A[l] /= 100.0;
    value[l] = std::abs(A[l]);
  }
}
#endif

int main() {
  pattern_file file = open_pattern_file("monogap", "monogap.txt");
  for (int first = 0; first < screen_count; first += lanes) {
    double x[lanes], value[lanes];
    for (int l = 0; l < lanes; ++l) x[l] = screen_point(first + l, screen_count, screen_max);
    diffract(x, value);
    for (int l = 0; l < lanes; ++l) write_pattern_record(file, modulus_label, x[l], value[l]);
  }
  return close_pattern_file(file);
}
