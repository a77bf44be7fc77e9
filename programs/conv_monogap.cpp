// LED strip before a single slit: the LED's samples are mutually incoherent,
// so their intensities add; the pattern is normalised to its value on the
// axis. The modulus label is kept although the value is an intensity.
#include <cmath>

#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = single_screen_max;
constexpr int screen_count = bench_screen_count;

// Both hops meet at the slit point s (led_phase): the source hop and the hop
// to the screen, pair_distance + screen_distance away.
#if SLITS_STRAIGHTFORWARD
void intensity(const double (&x)[block_size], double (&I)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    I[l] = 0;
    for (int j = 0; j < source_samples; ++j) {
      const double d = source_point(j);
      amplitude A = 0;
      for (int n = 0; n < entrance_samples; ++n) {
        const double s = entrance_point(n);
        const double phi = led_phase(led_hop_in(d, s, source_distance),
                                     led_hop_out(s, x[l], pair_distance + screen_distance), s);
        A += LED(d) * std::exp(phasor(phi));
      }
      I[l] += std::pow(std::abs(A), 2.0);
    }
    I[l] = I[l] / double(source_samples);
  }
}
#else
void intensity(const double (&x)[block_size], double (&I)[block_size]) {
  static const sample_table source_hop(source_samples, entrance_samples, [](int j, int n) {
    return led_hop_in(source_point(j), entrance_point(n), source_distance);
  });
  std::vector<double> screen_hop(entrance_samples * block_size);  // [n][l]
  for (int n = 0; n < entrance_samples; ++n)
    for (int l = 0; l < block_size; ++l)
      screen_hop[n * block_size + l] =
          led_hop_out(entrance_point(n), x[l], pair_distance + screen_distance);
  phasor_batch<entrance_samples * block_size> paths;  // [n][l]

  for (int l = 0; l < block_size; ++l) I[l] = 0;
  for (int j = 0; j < source_samples; ++j) {
    const double weight = LED(source_point(j));
    for (int n = 0; n < entrance_samples; ++n) {
      const double s = entrance_point(n);
      for (int l = 0; l < block_size; ++l)
        paths.phase[n * block_size + l] =
            led_phase(source_hop[j][n], screen_hop[n * block_size + l], s);
    }
    paths.evaluate();
    amplitude A[block_size] = {};
    for (int n = 0; n < entrance_samples; ++n)
      for (int l = 0; l < block_size; ++l) A[l] += weight * paths[n * block_size + l];
    for (int l = 0; l < block_size; ++l) I[l] += std::pow(std::abs(A[l]), 2.0);
  }
  for (int l = 0; l < block_size; ++l) I[l] = I[l] / double(source_samples);
}
#endif

int main() {
  pattern_file file = open_pattern_file("conv_monogap", "conv_monogap.txt");
  double I0 = 0;  // intensity on the axis, the first screen point
  for_each_block(screen_count, screen_max, intensity, [&](int i, double x, double I) {
    if (i == 0) I0 = I;
    write_pattern_record(file, modulus_label, x, I / I0);
  });
  return close_pattern_file(file);
}
