// Plane wave on a single slit: the modulus of the diffracted amplitude on a
// screen pair_distance + screen_distance behind the slit.
#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = single_screen_max;
constexpr int screen_count = 10 * bench_screen_count;

#if SLITS_STRAIGHTFORWARD
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    amplitude A = 0;
    for (int n = 0; n < entrance_samples; ++n) {
      const double s = entrance_point(n);
      A += std::exp(phasor(hop_phase(s, x[l], pair_distance + screen_distance)));
    }
    A /= double(entrance_samples);
    value[l] = std::abs(A);
  }
}
#else
void diffract(const double (&x)[block_size], double (&value)[block_size]) {
  phasor_batch<entrance_samples * block_size> paths;  // [n][l]
  for (int n = 0; n < entrance_samples; ++n) {
    const double s = entrance_point(n);
    for (int l = 0; l < block_size; ++l)
      paths.phase[n * block_size + l] = hop_phase(s, x[l], pair_distance + screen_distance);
  }
  paths.evaluate();

  amplitude A[block_size] = {};
  for (int n = 0; n < entrance_samples; ++n)
    for (int l = 0; l < block_size; ++l) A[l] += paths[n * block_size + l];
  for (int l = 0; l < block_size; ++l) {
    A[l] /= double(entrance_samples);
    value[l] = std::abs(A[l]);
  }
}
#endif

int main() {
  pattern_file file = open_pattern_file("monogap", "monogap.txt");
  for_each_block(screen_count, screen_max, diffract, [&](int, double x, double value) {
    write_pattern_record(file, modulus_label, x, value);
  });
  return close_pattern_file(file);
}
