// LED strip, first slit, double slit: amplitudes add along the paths of one
// LED sample, intensities add across LED samples; the pattern is normalised
// to its value on the axis.
#include <cmath>

#include "bench.hpp"
#include "phasors.hpp"

constexpr double screen_max = 4;
constexpr int screen_count = 1000;
constexpr double dd =
    source_width / double(aperture_samples);  // source step, weighting each LED sample

// The source hop and the hop to the pair share the first-slit point s as
// multiplier: their quotients are added, then multiplied once by wavenumber * s.
#if SLITS_STRAIGHTFORWARD
void intensity(const double (&x)[block_size], double (&I)[block_size]) {
  for (int l = 0; l < block_size; ++l) {
    I[l] = 0;
    for (int j = 0; j < aperture_samples; ++j) {
      const double d = (j * dd) + ((-source_width) / 2.0);
      amplitude A = 0;
      for (int m = 0; m < aperture_samples; ++m) {
        const double y = pair_point(m);
        const amplitude U = phasor(hop_phase(y, x[l], screen_distance));
        const amplitude W = phasor(hop_phase(-y, x[l], screen_distance));
        for (int n = 0; n < aperture_samples; ++n) {
          const double s = aperture_point(entrance_width, n);
          const amplitude Qu =
              phasor(((s - d) / source_distance + (s - y) / pair_distance) * (wavenumber * s));
          const amplitude Ql =
              phasor(((s - d) / source_distance + (s + y) / pair_distance) * (wavenumber * s));
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
  static const sample_table source_hop = tabulate([](int j, int n) {
    return (aperture_point(entrance_width, n) - ((j * dd) + ((-source_width) / 2.0))) /
           source_distance;
  });
  static const sample_table upper_hop = tabulate([](int m, int n) {
    return (aperture_point(entrance_width, n) - pair_point(m)) / pair_distance;
  });
  static const sample_table lower_hop = tabulate([](int m, int n) {
    return (aperture_point(entrance_width, n) + pair_point(m)) / pair_distance;
  });
  double U[aperture_samples][block_size], W[aperture_samples][block_size];
  for (int m = 0; m < aperture_samples; ++m)
    for (int l = 0; l < block_size; ++l) {
      U[m][l] = hop_phase(pair_point(m), x[l], screen_distance);
      W[m][l] = hop_phase(-pair_point(m), x[l], screen_distance);
    }
  for (int l = 0; l < block_size; ++l) I[l] = 0;
  for (int j = 0; j < aperture_samples; ++j) {
    const double weight = LED((j * dd) + ((-source_width) / 2.0)) * dd;
    block_sum A;
    for (int m = 0; m < aperture_samples; ++m) {
      double Qu[aperture_samples], Ql[aperture_samples];
      for (int n = 0; n < aperture_samples; ++n) {
        const double s = aperture_point(entrance_width, n);
        Qu[n] = (source_hop[j][n] + upper_hop[m][n]) * (wavenumber * s);
        Ql[n] = (source_hop[j][n] + lower_hop[m][n]) * (wavenumber * s);
      }
      cis_add_pairs(Qu, Ql, aperture_samples, U[m], W[m], weight, A.re, A.im);
    }
    for (int l = 0; l < block_size; ++l) I[l] += std::pow(std::abs(A[l]), 2.0);
  }
}
#endif

int main() {
  pattern_file file = open_pattern_file("conv_duogap", "conv_duogap.txt");
  double I0 = 0;  // intensity on the axis, the first screen point
  for (int first = 0; first < screen_count; first += block_size) {
    double x[block_size], I[block_size];
    for (int l = 0; l < block_size; ++l) x[l] = screen_point(first + l, screen_count, screen_max);
    intensity(x, I);
    for (int l = 0; l < block_size; ++l) {
      if (first + l == 0) I0 = I[l];
      write_pattern_record(file, squared_label, x[l], I[l] / I0);
    }
  }
  return close_pattern_file(file);
}
