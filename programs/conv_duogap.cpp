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
            const double a_in = b.hop_amplitude(d, s, b.source_distance);
            const double au = (a_in * b.hop_amplitude(s, y, b.pair_distance)) *
                              b.hop_amplitude(y, x[l], b.screen_distance);
            const double al = (a_in * b.hop_amplitude(s, -y, b.pair_distance)) *
                              b.hop_amplitude(-y, x[l], b.screen_distance);
            const amplitude T = au * std::exp(Qu + U) + al * std::exp(Ql + W);
            A += (LED(d, b.led_sigma) * dd) * T;
          }
        }
        I[l] += std::pow(std::abs(A), 2.0);
      }
    }
  };
}
#else
// rs: the kernel's phasors of both paths, each times its amplitudes'
// product in beam order, the pair added first, then times the weight.
block_loop conv_duogap_rs_loop(const bench& b) {
  const double dd = b.source_width / double(b.source_samples);
  const auto table = [&](int rows, int columns, auto term) {
    return sample_table(rows, columns, term);
  };
  const int J = b.source_samples, N = b.entrance_samples, M = b.pair_samples;
  const auto in = [&](int j, int n) {
    return rs_hop(b.wavenumber, b.source_point(j), b.entrance_point(n), b.source_distance);
  };
  const auto out = [&](int m, int n, double sign) {
    return rs_hop(b.wavenumber, b.entrance_point(n), sign * b.pair_point(m), b.pair_distance);
  };
  const sample_table source_hop = table(J, N, [&](int j, int n) { return in(j, n).phase; });
  const sample_table source_gain = table(J, N, [&](int j, int n) { return in(j, n).amplitude; });
  const sample_table upper_hop = table(M, N, [&](int m, int n) { return out(m, n, 1).phase; });
  const sample_table upper_gain = table(M, N, [&](int m, int n) { return out(m, n, 1).amplitude; });
  const sample_table lower_hop = table(M, N, [&](int m, int n) { return out(m, n, -1).phase; });
  const sample_table lower_gain =
      table(M, N, [&](int m, int n) { return out(m, n, -1).amplitude; });
  std::vector<double> weight(J);
  for (int j = 0; j < J; ++j) weight[j] = LED(b.source_point(j), b.led_sigma) * dd;

  return [=](const double* x, double* I) {
    std::vector<rs_factor> U(M * block_size), W(M * block_size);  // [m][l]
    for (int m = 0; m < M; ++m)
      for (int l = 0; l < block_size; ++l) {
        U[m * block_size + l] = rs_hop(b.wavenumber, b.pair_point(m), x[l], b.screen_distance);
        W[m * block_size + l] = rs_hop(b.wavenumber, -b.pair_point(m), x[l], b.screen_distance);
      }
    phasor_batch paths(2 * N * block_size);  // [n][l][upper, lower]
    for (int l = 0; l < block_size; ++l) I[l] = 0;
    for (int j = 0; j < J; ++j) {
      amplitude A[block_size] = {};
      for (int m = 0; m < M; ++m) {
        const rs_factor* u = &U[m * block_size];
        const rs_factor* w = &W[m * block_size];
        for (int n = 0; n < N; ++n) {
          const double Qu = source_hop[j][n] + upper_hop[m][n];
          const double Ql = source_hop[j][n] + lower_hop[m][n];
          for (int l = 0; l < block_size; ++l) {
            paths.phase[2 * (n * block_size + l)] = Qu + u[l].phase;
            paths.phase[2 * (n * block_size + l) + 1] = Ql + w[l].phase;
          }
        }
        paths.evaluate();
        for (int n = 0; n < N; ++n)
          for (int l = 0; l < block_size; ++l) {
            const std::size_t t = 2 * (n * block_size + l);
            const double au = (source_gain[j][n] * upper_gain[m][n]) * u[l].amplitude;
            const double al = (source_gain[j][n] * lower_gain[m][n]) * w[l].amplitude;
            A[l] += weight[j] * (au * paths[t] + al * paths[t + 1]);
          }
      }
      for (int l = 0; l < block_size; ++l) I[l] += squared_modulus(A[l]);
    }
  };
}

block_loop conv_duogap_loop(const bench& b) {
  if (b.rs_hops) return conv_duogap_rs_loop(b);
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
