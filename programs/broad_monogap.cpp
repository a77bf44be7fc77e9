// Broad coherent source strip before a single slit: every source sample adds
// its amplitude, unweighted, through every slit sample.
#include "patterns.hpp"

#if SLITS_STRAIGHTFORWARD
block_loop broad_monogap_loop(const bench& b) {
  return [b](const double* x, double* value) {
    for (int l = 0; l < block_size; ++l) {
      amplitude A = 0;
      for (int n = 0; n < b.entrance_samples; ++n) {
        const double s = b.entrance_point(n);
        const double L = b.pair_distance + b.screen_distance;
        const amplitude P = phasor(b.hop_phase(s, x[l], L));
        const double aP = b.hop_amplitude(s, x[l], L);
        for (int j = 0; j < b.source_samples; ++j) {
          const double d = b.source_point(j);
          const amplitude R = phasor(b.hop_phase(d, s, b.source_distance));
          A += (b.hop_amplitude(d, s, b.source_distance) * aP) * std::exp(R + P);
        }
      }
      A /= double(b.entrance_samples) * b.source_samples;
      value[l] = std::abs(A);
    }
  };
}
#else
// rs: the kernel's phasors, each times its amplitudes' product (source to
// slit, then slit to screen).
block_loop broad_monogap_rs_loop(const bench& b) {
  const auto hop = [&](int n, int j) {
    return rs_hop(b.wavenumber, b.source_point(j), b.entrance_point(n), b.source_distance);
  };
  sample_table R(b.entrance_samples, b.source_samples,
                 [&](int n, int j) { return hop(n, j).phase; });
  sample_table aR(b.entrance_samples, b.source_samples,
                  [&](int n, int j) { return hop(n, j).amplitude; });
  return [b, R, aR](const double* x, double* value) {
    const int J = b.source_samples;
    phasor_batch paths(J * block_size);  // [j][l]
    amplitude A[block_size] = {};
    for (int n = 0; n < b.entrance_samples; ++n) {
      rs_factor P[block_size];
      for (int l = 0; l < block_size; ++l)
        P[l] = rs_hop(b.wavenumber, b.entrance_point(n), x[l], b.pair_distance + b.screen_distance);
      for (int j = 0; j < J; ++j)
        for (int l = 0; l < block_size; ++l) paths.phase[j * block_size + l] = R[n][j] + P[l].phase;
      paths.evaluate();
      for (int j = 0; j < J; ++j)
        for (int l = 0; l < block_size; ++l)
          A[l] += (aR[n][j] * P[l].amplitude) * paths[j * block_size + l];
    }
    for (int l = 0; l < block_size; ++l) {
      A[l] /= double(b.entrance_samples) * b.source_samples;
      value[l] = modulus(A[l]);
    }
  };
}

block_loop broad_monogap_loop(const bench& b) {
  if (b.rs_hops) return broad_monogap_rs_loop(b);
  // The hop from the source to the slit does not depend on the screen.
  sample_table R(b.entrance_samples, b.source_samples, [&](int n, int j) {
    return b.hop_phase(b.source_point(j), b.entrance_point(n), b.source_distance);
  });
  return [b, R](const double* x, double* value) {
    block_sum A;
    for (int n = 0; n < b.entrance_samples; ++n) {
      const double s = b.entrance_point(n);
      double P[block_size];
      for (int l = 0; l < block_size; ++l)
        P[l] = b.hop_phase(s, x[l], b.pair_distance + b.screen_distance);
      cis_add(R[n], b.source_samples, P, 1.0, A.re, A.im);
    }
    for (int l = 0; l < block_size; ++l)
      value[l] = A.modulus_of_mean(l, double(b.entrance_samples) * b.source_samples);
  };
}
#endif

// Plane by plane: the engine with this bench's setup (pattern --setup of
// --print-setup gives the same data file).
block_loop broad_monogap_propagate(const bench& b) {
  return engine_loop(preset(program(program_id::broad_monogap), b));
}
