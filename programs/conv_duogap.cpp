// LED strip, first slit, double slit: amplitudes add along the paths of one
// LED sample, intensities add across LED samples; the pattern is normalised
// to its value on the axis.
#include <cmath>

#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = double_screen_max;
constexpr int screen_count = bench_screen_count;
constexpr double dd = source_width / double(source_samples);  // source step, in each weight

// The source hop and the hop to the pair meet at the first-slit point s
// (led_phase); the hops from the pair to the screen are hop_phase.
#if SLITS_STRAIGHTFORWARD
void intensity(const double (&x)[block_size], double (&I)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    I[l] = 0;
    for (int j = 0; j < source_samples; ++j) {
      const double d = (sample_offset(j) * dd) + ((-source_width) / 2.0);
      amplitude A = 0;
      for (int m = 0; m < pair_samples; ++m) {
        const double y = pair_point(m);
        const amplitude U = phasor(hop_phase(y, x[l], screen_distance));
        const amplitude W = phasor(hop_phase(-y, x[l], screen_distance));
        for (int n = 0; n < entrance_samples; ++n) {
          const double s = entrance_point(n);
          const amplitude Qu = phasor(
              led_phase(led_hop_in(d, s, source_distance), led_hop_out(s, y, pair_distance), s));
          const amplitude Ql = phasor(
              led_phase(led_hop_in(d, s, source_distance), led_hop_out(s, -y, pair_distance), s));
          const amplitude T = std::exp(Qu + U) + std::exp(Ql + W);
          A += (LED(d) * dd) * T;
        }
      }
      I[l] += std::pow(std::abs(A), 2.0);
    }
  }
}
#else
void intensity(const double (&x)[block_size], double (&I)[block_size]) {
  static const sample_table source_hop(source_samples, entrance_samples, [](int j, int n) {
    return led_hop_in((sample_offset(j) * dd) + ((-source_width) / 2.0), entrance_point(n),
                      source_distance);
  });
  static const sample_table upper_hop(pair_samples, entrance_samples, [](int m, int n) {
    return led_hop_out(entrance_point(n), pair_point(m), pair_distance);
  });
  static const sample_table lower_hop(pair_samples, entrance_samples, [](int m, int n) {
    return led_hop_out(entrance_point(n), -pair_point(m), pair_distance);
  });
  std::vector<double> U(pair_samples * block_size), W(pair_samples * block_size);  // [m][l]
  for (int m = 0; m < pair_samples; ++m)
    for (int l = 0; l < block_size; ++l) {
      U[m * block_size + l] = hop_phase(pair_point(m), x[l], screen_distance);
      W[m * block_size + l] = hop_phase(-pair_point(m), x[l], screen_distance);
    }
  std::vector<double> Qu(entrance_samples), Ql(entrance_samples);
  for (int l = 0; l < block_size; ++l) I[l] = 0;
  for (int j = 0; j < source_samples; ++j) {
    const double weight = LED((sample_offset(j) * dd) + ((-source_width) / 2.0)) * dd;
    block_sum A;
    for (int m = 0; m < pair_samples; ++m) {
      for (int n = 0; n < entrance_samples; ++n) {
        const double s = entrance_point(n);
        Qu[n] = led_phase(source_hop[j][n], upper_hop[m][n], s);
        Ql[n] = led_phase(source_hop[j][n], lower_hop[m][n], s);
      }
      cis_add_pairs(Qu.data(), Ql.data(), entrance_samples, &U[m * block_size], &W[m * block_size],
                    weight, A.re, A.im);
    }
    for (int l = 0; l < block_size; ++l) I[l] += std::pow(std::abs(A[l]), 2.0);
  }
}
#endif

int main() {
  pattern_file file = open_pattern_file("conv_duogap", "conv_duogap.txt");
  double I0 = 0;  // intensity on the axis, the first screen point
  for_each_block(screen_count, screen_max, intensity, [&](int i, double x, double I) {
    if (i == 0) I0 = I;
    write_pattern_record(file, squared_label, x, I / I0);
  });
  return close_pattern_file(file);
}
