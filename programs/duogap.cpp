// Plane wave on a first slit, then a double slit: every path from a
// first-slit sample through either slit of the pair adds coherently.
#include "patterns.hpp"

#if SLITS_STRAIGHTFORWARD
block_loop duogap_loop(const bench& b) {
  return [b](const double* x, double* value) {
    for (int l = 0; l < block_size; ++l) {
      amplitude A = 0;
      for (int m = 0; m < b.pair_samples; ++m) {
        const double y = b.pair_point(m);
        const amplitude U = phasor(b.hop_phase(y, x[l], b.screen_distance));
        const amplitude W = phasor(b.hop_phase(-y, x[l], b.screen_distance));
        for (int n = 0; n < b.entrance_samples; ++n) {
          const double s = b.entrance_point(n);
          const amplitude Qu = phasor(b.hop_phase(s, y, b.pair_distance));
          const amplitude Ql = phasor(b.hop_phase(s, -y, b.pair_distance));
          A += std::exp(Qu + U) + std::exp(Ql + W);
        }
      }
      A /= 2.0 * b.pair_samples * b.entrance_samples;
      value[l] = std::abs(A);
    }
  };
}
#else
block_loop duogap_loop(const bench& b) {
  // The hops from the first slit to the pair do not depend on the screen.
  sample_table Qu(b.pair_samples, b.entrance_samples, [&](int m, int n) {
    return b.hop_phase(b.entrance_point(n), b.pair_point(m), b.pair_distance);
  });
  sample_table Ql(b.pair_samples, b.entrance_samples, [&](int m, int n) {
    return b.hop_phase(b.entrance_point(n), -b.pair_point(m), b.pair_distance);
  });
  return [b, Qu, Ql](const double* x, double* value) {
    block_sum A;
    for (int m = 0; m < b.pair_samples; ++m) {
      const double y = b.pair_point(m);
      double U[block_size], W[block_size];
      for (int l = 0; l < block_size; ++l) {
        U[l] = b.hop_phase(y, x[l], b.screen_distance);
        W[l] = b.hop_phase(-y, x[l], b.screen_distance);
      }
      cis_add_pairs(Qu[m], Ql[m], b.entrance_samples, U, W, 1.0, A.re, A.im);
    }
    for (int l = 0; l < block_size; ++l)
      value[l] = A.modulus_of_mean(l, 2.0 * b.pair_samples * b.entrance_samples);
  };
}
#endif

// Plane by plane: the engine with this bench's setup (pattern --setup of
// --print-setup gives the same data file).
block_loop duogap_propagate(const bench& b) {
  return engine_loop(preset(program(program_id::duogap), b));
}
