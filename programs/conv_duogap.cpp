// LED strip, first slit, double slit: amplitudes add along the paths of one
// LED sample, intensities add across LED samples; the driver normalises the
// pattern to its value on the axis.
#include <cmath>

#include "patterns.hpp"

// The source hop and the hop to the pair meet at the first-slit point s
// (led_phase); the hops from the pair to the screen are hop_phase. Each
// weight carries the source step dd.
#if SLITS_STRAIGHTFORWARD
block_loop conv_duogap_loop(const bench& b) {
  return [b](const double* x, double* I) {
    const double dd = b.source_width / double(b.source_samples);
    for (int l = 0; l < block_size; ++l) {
      I[l] = 0;
      for (int j = 0; j < b.source_samples; ++j) {
        const double d = b.source_point(j);
        amplitude A = 0;
        for (int m = 0; m < b.pair_samples; ++m) {
          const double y = b.pair_point(m);
          const amplitude U = phasor(b.hop_phase(y, x[l], b.screen_distance));
          const amplitude W = phasor(b.hop_phase(-y, x[l], b.screen_distance));
          for (int n = 0; n < b.entrance_samples; ++n) {
            const double s = b.entrance_point(n);
            const amplitude Qu = phasor(b.led_phase(b.led_hop_in(d, s, b.source_distance),
                                                    b.led_hop_out(s, y, b.pair_distance), s));
            const amplitude Ql = phasor(b.led_phase(b.led_hop_in(d, s, b.source_distance),
                                                    b.led_hop_out(s, -y, b.pair_distance), s));
            const amplitude T = std::exp(Qu + U) + std::exp(Ql + W);
            A += (LED(d, b.led_sigma) * dd) * T;
          }
        }
        I[l] += std::pow(std::abs(A), 2.0);
      }
    }
  };
}
#else
block_loop conv_duogap_loop(const bench& b) {
  const double dd = b.source_width / double(b.source_samples);
  sample_table source_hop(b.source_samples, b.entrance_samples, [&](int j, int n) {
    return b.led_hop_in(b.source_point(j), b.entrance_point(n), b.source_distance);
  });
  sample_table upper_hop(b.pair_samples, b.entrance_samples, [&](int m, int n) {
    return b.led_hop_out(b.entrance_point(n), b.pair_point(m), b.pair_distance);
  });
  sample_table lower_hop(b.pair_samples, b.entrance_samples, [&](int m, int n) {
    return b.led_hop_out(b.entrance_point(n), -b.pair_point(m), b.pair_distance);
  });
  std::vector<double> weight(b.source_samples);
  for (int j = 0; j < b.source_samples; ++j) weight[j] = LED(b.source_point(j), b.led_sigma) * dd;

  return [b, source_hop, upper_hop, lower_hop, weight](const double* x, double* I) {
    std::vector<double> U(b.pair_samples * block_size), W(b.pair_samples * block_size);  // [m][l]
    for (int m = 0; m < b.pair_samples; ++m)
      for (int l = 0; l < block_size; ++l) {
        U[m * block_size + l] = b.hop_phase(b.pair_point(m), x[l], b.screen_distance);
        W[m * block_size + l] = b.hop_phase(-b.pair_point(m), x[l], b.screen_distance);
      }
    std::vector<double> Qu(b.entrance_samples), Ql(b.entrance_samples);
    for (int l = 0; l < block_size; ++l) I[l] = 0;
    for (int j = 0; j < b.source_samples; ++j) {
      block_sum A;
      for (int m = 0; m < b.pair_samples; ++m) {
        for (int n = 0; n < b.entrance_samples; ++n) {
          const double s = b.entrance_point(n);
          Qu[n] = b.led_phase(source_hop[j][n], upper_hop[m][n], s);
          Ql[n] = b.led_phase(source_hop[j][n], lower_hop[m][n], s);
        }
        cis_add_pairs(Qu.data(), Ql.data(), b.entrance_samples, &U[m * block_size],
                      &W[m * block_size], weight[j], A.re, A.im);
      }
      for (int l = 0; l < block_size; ++l) I[l] += squared_modulus(A[l]);
    }
  };
}
#endif

// Plane by plane: the engine with this bench's setup (pattern --setup of
// --print-setup gives the same data file).
block_loop conv_duogap_propagate(const bench& b) {
  return engine_loop(preset(program(program_id::conv_duogap), b));
}
