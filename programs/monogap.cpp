// Plane wave on a single slit: the modulus of the diffracted amplitude on a
// screen 700 behind the slit.
#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = 20;
constexpr int screen_count = 10000;

#if SLITS_STRAIGHTFORWARD
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    amplitude A = 0;
    for (int n = 0; n < aperture_samples; ++n) {
      const double s = aperture_point(entrance_width, n);
      A += std::exp(phasor(hop_phase(s, x[l], pair_distance + screen_distance)));
    }
    A /= double(aperture_samples);
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  phasor_batch<aperture_samples * block_size> paths;  // [n][lane]
  for (int n = 0; n < aperture_samples; ++n) {
    const double s = aperture_point(entrance_width, n);
    for (int l = 0; l < block_size; ++l)
      paths.phase[n * block_size + l] = hop_phase(s, x[l], pair_distance + screen_distance);
  }
  paths.evaluate();

  amplitude A[block_size] = {};
  for (int n = 0; n < aperture_samples; ++n)
    for (int l = 0; l < block_size; ++l) A[l] += paths[n * block_size + l];
  for (int l = 0; l < block_size; ++l) {
    A[l] /= double(aperture_samples);
    value[l] = std::abs(A[l]);
  }
}
#endif

int main() {
  pattern_file file = open_pattern_file("monogap", "monogap.txt");
  for (int first = 0; first < screen_count; first += block_size) {
    double x[block_size], value[block_size];
    for (int l = 0; l < block_size; ++l) x[l] = screen_point(first + l, screen_count, screen_max);
    diffract(x, value);
    for (int l = 0; l < block_size; ++l) write_pattern_record(file, modulus_label, x[l], value[l]);
  }
  return close_pattern_file(file);
}
