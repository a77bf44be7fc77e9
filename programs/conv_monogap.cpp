// LED strip before a single slit: the LED's samples are mutually incoherent,
// so their intensities add; the driver normalises the pattern to its value
// on the axis. The modulus label is kept although the value is an intensity.
#include <cmath>

#include "patterns.hpp"

// Both hops meet at the slit point s (led_phase): the source hop and the hop
// to the screen, pair_distance + screen_distance away.
#if SLITS_STRAIGHTFORWARD
block_loop conv_monogap_loop(const bench& b) {
  return [b](const double* x, double* I) {
    for (int l = 0; l < block_size; ++l) {
      I[l] = 0;
      for (int j = 0; j < b.source_samples; ++j) {
        const double d = b.source_point(j);
        amplitude A = 0;
        for (int n = 0; n < b.entrance_samples; ++n) {
          const double s = b.entrance_point(n);
          const double L = b.pair_distance + b.screen_distance;
          const double phi =
              b.led_phase(b.led_hop_in(d, s, b.source_distance), b.led_hop_out(s, x[l], L), s);
          const double a = b.hop_amplitude(d, s, b.source_distance) * b.hop_amplitude(s, x[l], L);
          A += LED(d, b.led_sigma) * (a * std::exp(phasor(phi)));
        }
        I[l] += std::pow(std::abs(A), 2.0);
      }
      I[l] = I[l] / double(b.source_samples);
    }
  };
}
#else
block_loop conv_monogap_loop(const bench& b) {
  sample_table source_hop(b.source_samples, b.entrance_samples, [&](int j, int n) {
    return b.led_hop_in(b.source_point(j), b.entrance_point(n), b.source_distance);
  });
  // rs: each path's phasor from the kernel, then times its amplitudes.
  sample_table source_gain(b.rs_hops ? b.source_samples : 0, b.entrance_samples, [&](int j, int n) {
    return b.hop_amplitude(b.source_point(j), b.entrance_point(n), b.source_distance);
  });
  return [b, source_hop, source_gain](const double* x, double* I) {
    const double L = b.pair_distance + b.screen_distance;
    std::vector<double> screen_hop(b.entrance_samples * block_size);  // [n][l]
    std::vector<double> screen_gain(b.rs_hops ? screen_hop.size() : 0);
    for (int n = 0; n < b.entrance_samples; ++n)
      for (int l = 0; l < block_size; ++l) {
        screen_hop[n * block_size + l] = b.led_hop_out(b.entrance_point(n), x[l], L);
        if (b.rs_hops)
          screen_gain[n * block_size + l] = b.hop_amplitude(b.entrance_point(n), x[l], L);
      }
    phasor_batch paths(b.entrance_samples * block_size);  // [n][l]

    for (int l = 0; l < block_size; ++l) I[l] = 0;
    for (int j = 0; j < b.source_samples; ++j) {
      const double weight = LED(b.source_point(j), b.led_sigma);
      for (int n = 0; n < b.entrance_samples; ++n) {
        const double s = b.entrance_point(n);
        for (int l = 0; l < block_size; ++l)
          paths.phase[n * block_size + l] =
              b.led_phase(source_hop[j][n], screen_hop[n * block_size + l], s);
      }
      paths.evaluate();
      amplitude A[block_size] = {};
      if (b.rs_hops) {
        for (int n = 0; n < b.entrance_samples; ++n)
          for (int l = 0; l < block_size; ++l)
            A[l] += weight * ((source_gain[j][n] * screen_gain[n * block_size + l]) *
                              paths[n * block_size + l]);
      } else {
        for (int n = 0; n < b.entrance_samples; ++n)
          for (int l = 0; l < block_size; ++l) A[l] += weight * paths[n * block_size + l];
      }
      for (int l = 0; l < block_size; ++l) I[l] += squared_modulus(A[l]);
    }
    for (int l = 0; l < block_size; ++l) I[l] = I[l] / double(b.source_samples);
  };
}
#endif

// Plane by plane: the engine with this bench's setup (pattern --setup of
// --print-setup gives the same data file).
block_loop conv_monogap_propagate(const bench& b) {
  return engine_loop(preset(program(program_id::conv_monogap), b));
}
