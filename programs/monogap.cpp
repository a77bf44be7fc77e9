// Plane wave on a single slit: the modulus of the diffracted amplitude on a
// screen pair_distance + screen_distance behind the slit.
#include "patterns.hpp"

#if SLITS_STRAIGHTFORWARD
block_loop monogap_loop(const bench& b) {
  return [b](const double* x, double* value) {
    for (int l = 0; l < block_size; ++l) {
      amplitude A = 0;
      for (int n = 0; n < b.entrance_samples; ++n) {
        const double s = b.entrance_point(n);
        const double L = b.pair_distance + b.screen_distance;
        A += b.hop_amplitude(s, x[l], L) * std::exp(phasor(b.hop_phase(s, x[l], L)));
      }
      A /= double(b.entrance_samples);
      value[l] = std::abs(A);
    }
  };
}
#else
// Each path one rs hop: its phasor from the kernel, then times its amplitude.
block_loop monogap_rs_loop(const bench& b) {
  return [b](const double* x, double* value) {
    phasor_batch paths(b.entrance_samples * block_size);  // [n][l]
    std::vector<double> gain(paths.phase.size());
    for (int n = 0; n < b.entrance_samples; ++n)
      for (int l = 0; l < block_size; ++l) {
        const rs_factor f =
            rs_hop(b.wavenumber, b.entrance_point(n), x[l], b.pair_distance + b.screen_distance);
        paths.phase[n * block_size + l] = f.phase;
        gain[n * block_size + l] = f.amplitude;
      }
    paths.evaluate();
    amplitude A[block_size] = {};
    for (std::size_t t = 0; t < paths.phase.size(); ++t) A[t % block_size] += gain[t] * paths[t];
    for (int l = 0; l < block_size; ++l) {
      A[l] /= double(b.entrance_samples);
      value[l] = modulus(A[l]);
    }
  };
}

block_loop monogap_loop(const bench& b) {
  if (b.rs_hops) return monogap_rs_loop(b);
  return [b](const double* x, double* value) {
    phasor_batch paths(b.entrance_samples * block_size);  // [n][l]
    for (int n = 0; n < b.entrance_samples; ++n) {
      const double s = b.entrance_point(n);
      for (int l = 0; l < block_size; ++l)
        paths.phase[n * block_size + l] = b.hop_phase(s, x[l], b.pair_distance + b.screen_distance);
    }
    paths.evaluate();

    amplitude A[block_size] = {};
    for (int n = 0; n < b.entrance_samples; ++n)
      for (int l = 0; l < block_size; ++l) A[l] += paths[n * block_size + l];
    for (int l = 0; l < block_size; ++l) {
      A[l] /= double(b.entrance_samples);
      value[l] = modulus(A[l]);
    }
  };
}
#endif

// Plane by plane: the engine with this bench's setup (pattern --setup of
// --print-setup gives the same data file).
block_loop monogap_propagate(const bench& b) {
  return engine_loop(preset(program(program_id::monogap), b));
}
