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
        const double aU = b.hop_amplitude(y, x[l], b.screen_distance);
        const double aW = b.hop_amplitude(-y, x[l], b.screen_distance);
        for (int n = 0; n < b.entrance_samples; ++n) {
          const double s = b.entrance_point(n);
          const amplitude Qu = phasor(b.hop_phase(s, y, b.pair_distance));
          const amplitude Ql = phasor(b.hop_phase(s, -y, b.pair_distance));
          const double aQu = b.hop_amplitude(s, y, b.pair_distance);
          const double aQl = b.hop_amplitude(s, -y, b.pair_distance);
          A += (aQu * aU) * std::exp(Qu + U) + (aQl * aW) * std::exp(Ql + W);
        }
      }
      A /= 2.0 * b.pair_samples * b.entrance_samples;
      value[l] = std::abs(A);
    }
  };
}
#else
// rs: the kernel's phasors of both paths, each times its amplitudes'
// product (first slit to pair, then pair to screen), the pair added first.
block_loop duogap_rs_loop(const bench& b) {
  const auto hop = [&](int m, int n, double sign) {
    return rs_hop(b.wavenumber, b.entrance_point(n), sign * b.pair_point(m), b.pair_distance);
  };
  sample_table Qu(b.pair_samples, b.entrance_samples,
                  [&](int m, int n) { return hop(m, n, 1).phase; });
  sample_table Ql(b.pair_samples, b.entrance_samples,
                  [&](int m, int n) { return hop(m, n, -1).phase; });
  sample_table aQu(b.pair_samples, b.entrance_samples,
                   [&](int m, int n) { return hop(m, n, 1).amplitude; });
  sample_table aQl(b.pair_samples, b.entrance_samples,
                   [&](int m, int n) { return hop(m, n, -1).amplitude; });
  return [b, Qu, Ql, aQu, aQl](const double* x, double* value) {
    const int N = b.entrance_samples;
    phasor_batch paths(2 * N * block_size);  // [n][l][upper, lower]
    amplitude A[block_size] = {};
    for (int m = 0; m < b.pair_samples; ++m) {
      const double y = b.pair_point(m);
      rs_factor U[block_size], W[block_size];
      for (int l = 0; l < block_size; ++l) {
        U[l] = rs_hop(b.wavenumber, y, x[l], b.screen_distance);
        W[l] = rs_hop(b.wavenumber, -y, x[l], b.screen_distance);
      }
      for (int n = 0; n < N; ++n)
        for (int l = 0; l < block_size; ++l) {
          paths.phase[2 * (n * block_size + l)] = Qu[m][n] + U[l].phase;
          paths.phase[2 * (n * block_size + l) + 1] = Ql[m][n] + W[l].phase;
        }
      paths.evaluate();
      for (int n = 0; n < N; ++n)
        for (int l = 0; l < block_size; ++l) {
          const std::size_t t = 2 * (n * block_size + l);
          A[l] +=
              (aQu[m][n] * U[l].amplitude) * paths[t] + (aQl[m][n] * W[l].amplitude) * paths[t + 1];
        }
    }
    for (int l = 0; l < block_size; ++l) {
      A[l] /= 2.0 * b.pair_samples * b.entrance_samples;
      value[l] = modulus(A[l]);
    }
  };
}

block_loop duogap_loop(const bench& b) {
  if (b.rs_hops) return duogap_rs_loop(b);
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
