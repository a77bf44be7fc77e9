// The propagate method: the field carried plane by plane. A path's phase is
// a sum of one hop per pair of planes, so its phasor is the product of one
// phasor per hop, and the sum over paths a chain of sums over one plane's
// samples at a time: the field on each plane. Mathematically the literal
// sums; numerically a product of rounded phasors is not the phasor of the
// rounded sum of phases, and the two differ by about 1e-13 of the peak.
// Every sum runs in a fixed order on one thread.
#pragma once

#include <vector>

#include "bench.hpp"
#include "blocks.hpp"

// a * b, each product and sum rounded on its own: no fused multiply-add, no
// special cases, so every platform and thread count gives the same bits.
inline amplitude times(amplitude a, amplitude b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Complex values on the samples of one plane.
using field = std::vector<amplitude>;

// The sum over f in increasing order of hop[first + f] times earlier[f].
inline amplitude carried(const phasor_batch& hop, std::size_t first, const field& earlier) {
  amplitude sum = 0;
  for (std::size_t f = 0; f < earlier.size(); ++f) sum += times(hop[first + f], earlier[f]);
  return sum;
}

// The field on the `to` samples of the next plane: at each sample t, the sum
// over the earlier plane's samples f in increasing order of
// cexp(i phase(t, f)) times the earlier field at f.
template <class Phase>
field carry(int to, const field& earlier, Phase phase) {
  const int from = int(earlier.size());
  field next(to);
  phasor_batch hop(from);
  for (int t = 0; t < to; ++t) {
    for (int f = 0; f < from; ++f) hop.phase[f] = phase(t, f);
    hop.evaluate();
    next[t] = carried(hop, 0, earlier);
  }
  return next;
}

// One hop's phasors cexp(i phase(t, f)) for every t < to, f < from, kept
// where many fields take the same hop (one field per LED sample): carry()
// with the phasors evaluated once, the same sums.
class hop_matrix {
 public:
  template <class Phase>
  hop_matrix(int to, int from, Phase phase) : from_(from), hop_(std::size_t(to) * from) {
    for (int t = 0; t < to; ++t)
      for (int f = 0; f < from; ++f) hop_.phase[std::size_t(t) * from + f] = phase(t, f);
    hop_.evaluate();
  }

  field carry(const field& earlier) const {
    field next(hop_.phase.size() / from_);
    for (std::size_t t = 0; t < next.size(); ++t) next[t] = carried(hop_, t * from_, earlier);
    return next;
  }

 private:
  std::size_t from_;
  phasor_batch hop_;
};

// A plane wave on n samples: every phasor 1, so the first hop's phasors
// enter the sums unchanged (a product with 1 + 0i is exact).
inline field plane_wave(int n) { return field(n, amplitude(1.0, 0.0)); }

// cexp(i phase(t)) for t < count.
template <class Phase>
field phasors(int count, Phase phase) {
  phasor_batch batch(count);
  for (int t = 0; t < count; ++t) batch.phase[t] = phase(t);
  batch.evaluate();
  field values(count);
  for (int t = 0; t < count; ++t) values[t] = batch[t];
  return values;
}

// The phasors of the last hop, from each of `count` samples f of the plane
// before the screen to each point x[l] of a block: cexp(i phase(f, x[l])).
class screen_phasors {
 public:
  template <class Phase>
  screen_phasors(int count, const double* x, Phase phase) : batch_(count * block_size) {
    for (int f = 0; f < count; ++f)
      for (int l = 0; l < block_size; ++l) batch_.phase[f * block_size + l] = phase(f, x[l]);
    batch_.evaluate();
  }

  // The amplitude at each point: the sum over f in increasing order of the
  // hop's phasor times the field at f.
  block_sum sum(const field& at) const {
    block_sum A;
    for (std::size_t f = 0; f < at.size(); ++f)
      for (int l = 0; l < block_size; ++l) add(A, l, times(hop(f, l), at[f]));
    return A;
  }

  amplitude hop(std::size_t f, int l) const { return batch_[f * block_size + l]; }

  static void add(block_sum& A, int l, amplitude term) {
    A.re[l] = A.re[l] + term.real();
    A.im[l] = A.im[l] + term.imag();
  }

 private:
  phasor_batch batch_;
};

// The field on each slit of the pair, carried by hop_phase from the field on
// the first slit (the coherent programs).
struct pair_field {
  field upper, lower;
};
inline pair_field carry_to_pair(const bench& b, const field& entrance) {
  return {carry(b.pair_samples, entrance,
                [&](int m, int n) {
                  return b.hop_phase(b.entrance_point(n), b.pair_point(m), b.pair_distance);
                }),
          carry(b.pair_samples, entrance, [&](int m, int n) {
            return b.hop_phase(b.entrance_point(n), -b.pair_point(m), b.pair_distance);
          })};
}

// The last hop, from both slits of the pair to a block of screen points.
class pair_to_screen {
 public:
  pair_to_screen(const bench& b, const double* x)
      : from_upper_(
            b.pair_samples, x,
            [&](int m, double x) { return b.hop_phase(b.pair_point(m), x, b.screen_distance); }),
        from_lower_(b.pair_samples, x, [&](int m, double x) {
          return b.hop_phase(-b.pair_point(m), x, b.screen_distance);
        }) {}

  // Over m in increasing order, the upper path's term plus the lower path's,
  // added as one complex value.
  block_sum sum(const field& upper, const field& lower) const {
    block_sum A;
    for (std::size_t m = 0; m < upper.size(); ++m)
      for (int l = 0; l < block_size; ++l)
        screen_phasors::add(
            A, l, times(from_upper_.hop(m, l), upper[m]) + times(from_lower_.hop(m, l), lower[m]));
    return A;
  }

 private:
  screen_phasors from_upper_, from_lower_;
};
