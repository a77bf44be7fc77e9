// The full coherent bench: broad source strip, first slit, double slit.
#include "patterns.hpp"

#if SLITS_STRAIGHTFORWARD
block_loop broad_duogap_loop(const bench& b) {
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
          for (int j = 0; j < b.source_samples; ++j) {
            const double d = b.source_point(j);
            const amplitude R = phasor(b.hop_phase(d, s, b.source_distance));
            const double aR = b.hop_amplitude(d, s, b.source_distance);
            A += ((aR * aQu) * aU) * std::exp((R + Qu) + U) +
                 ((aR * aQl) * aW) * std::exp((R + Ql) + W);
          }
        }
      }
      A /= 2.0 * b.pair_samples * b.entrance_samples * b.source_samples;
      value[l] = std::abs(A);
    }
  };
}
#else
// rs: the kernel's phasors of both paths, each times its amplitudes'
// product in beam order, the pair added first.
block_loop broad_duogap_rs_loop(const bench& b) {
  const auto source_hop = [&](int n, int j) {
    return rs_hop(b.wavenumber, b.source_point(j), b.entrance_point(n), b.source_distance);
  };
  sample_table R(b.entrance_samples, b.source_samples,
                 [&](int n, int j) { return source_hop(n, j).phase; });
  sample_table aR(b.entrance_samples, b.source_samples,
                  [&](int n, int j) { return source_hop(n, j).amplitude; });
  return [b, R, aR](const double* x, double* value) {
    const int J = b.source_samples;
    phasor_batch paths(2 * J * block_size);  // [j][l][upper, lower]
    amplitude A[block_size] = {};
    for (int m = 0; m < b.pair_samples; ++m) {
      const double y = b.pair_point(m);
      rs_factor U[block_size], W[block_size];
      for (int l = 0; l < block_size; ++l) {
        U[l] = rs_hop(b.wavenumber, y, x[l], b.screen_distance);
        W[l] = rs_hop(b.wavenumber, -y, x[l], b.screen_distance);
      }
      for (int n = 0; n < b.entrance_samples; ++n) {
        const double s = b.entrance_point(n);
        const rs_factor Qu = rs_hop(b.wavenumber, s, y, b.pair_distance);
        const rs_factor Ql = rs_hop(b.wavenumber, s, -y, b.pair_distance);
        for (int j = 0; j < J; ++j)
          for (int l = 0; l < block_size; ++l) {
            paths.phase[2 * (j * block_size + l)] = (R[n][j] + Qu.phase) + U[l].phase;
            paths.phase[2 * (j * block_size + l) + 1] = (R[n][j] + Ql.phase) + W[l].phase;
          }
        paths.evaluate();
        for (int j = 0; j < J; ++j)
          for (int l = 0; l < block_size; ++l) {
            const std::size_t t = 2 * (j * block_size + l);
            A[l] += ((aR[n][j] * Qu.amplitude) * U[l].amplitude) * paths[t] +
                    ((aR[n][j] * Ql.amplitude) * W[l].amplitude) * paths[t + 1];
          }
      }
    }
    for (int l = 0; l < block_size; ++l) {
      A[l] /= 2.0 * b.pair_samples * b.entrance_samples * b.source_samples;
      value[l] = modulus(A[l]);
    }
  };
}

block_loop broad_duogap_loop(const bench& b) {
  if (b.rs_hops) return broad_duogap_rs_loop(b);
  // The hop from the source to the first slit does not depend on the screen.
  sample_table R(b.entrance_samples, b.source_samples, [&](int n, int j) {
    return b.hop_phase(b.source_point(j), b.entrance_point(n), b.source_distance);
  });
  return [b, R](const double* x, double* value) {
    std::vector<double> upper(b.source_samples), lower(b.source_samples);
    block_sum A;
    for (int m = 0; m < b.pair_samples; ++m) {
      const double y = b.pair_point(m);
      double U[block_size], W[block_size];
      for (int l = 0; l < block_size; ++l) {
        U[l] = b.hop_phase(y, x[l], b.screen_distance);
        W[l] = b.hop_phase(-y, x[l], b.screen_distance);
      }
      for (int n = 0; n < b.entrance_samples; ++n) {
        const double s = b.entrance_point(n);
        const double Qu = b.hop_phase(s, y, b.pair_distance);
        const double Ql = b.hop_phase(s, -y, b.pair_distance);
        // Each total left to right, R first: (R + Qu) + U, never Qu + U ahead.
        for (int j = 0; j < b.source_samples; ++j) {
          upper[j] = R[n][j] + Qu;
          lower[j] = R[n][j] + Ql;
        }
        cis_add_pairs(upper.data(), lower.data(), b.source_samples, U, W, 1.0, A.re, A.im);
      }
    }
    for (int l = 0; l < block_size; ++l)
      value[l] = A.modulus_of_mean(l, 2.0 * b.pair_samples * b.entrance_samples * b.source_samples);
  };
}
#endif

// Plane by plane: the engine with this bench's setup (pattern --setup of
// --print-setup gives the same data file).
block_loop broad_duogap_propagate(const bench& b) {
  return engine_loop(preset(program(program_id::broad_duogap), b));
}
