// Blocked evaluation for the optimised programs. A block of screen points is
// summed together, each point with its own accumulator that receives its
// terms in exactly the order of the plain loops; the phasors come from the
// phasor kernel, bit for bit the system library's. Terms that do not depend
// on the screen point are tabulated once per run. None of this changes a
// value: only the order in which independent sums are advanced.
#pragma once

#include <functional>
#include <vector>

#include <slits/cis.hpp>
#include "bench.hpp"
#include "block_threads.hpp"

// Screen points evaluated together.
inline constexpr int block_size = cis_block_size;

// The complex accumulators A[l] of a block, as real and imaginary parts, in
// the form cis_add and cis_add_pairs take them.
struct block_sum {
  double re[block_size] = {};
  double im[block_size] = {};

  amplitude operator[](int l) const { return {re[l], im[l]}; }

  // |A[l] / paths|: the amplitude divided in place by the number of paths.
  double modulus_of_mean(int l, double paths) const {
    amplitude mean = (*this)[l];
    mean /= paths;
    return modulus(mean);
  }
};

// Phases in, phasors cexp(i phase) out, for sums of any other form. In the
// straightforward twins each phasor is std::exp of the complex number itself.
struct phasor_batch {
  std::vector<double> phase, re, im;

  explicit phasor_batch(std::size_t count) : phase(count), re(count), im(count) {}
  void evaluate() {
#if SLITS_STRAIGHTFORWARD
    for (std::size_t k = 0; k < phase.size(); ++k) {
      const amplitude p = std::exp(phasor(phase[k]));
      re[k] = p.real();
      im[k] = p.imag();
    }
#else
    cis(phase.data(), re.data(), im.data(), phase.size());
#endif
  }
  amplitude operator[](std::size_t k) const { return {re[k], im[k]}; }
};

// ---------------------------------------------------------------------------
// Plane by plane. A path's phase is a sum of one hop per pair of planes, so
// its phasor is the product of one phasor per hop, and the sum over paths a
// chain of sums over one plane's samples at a time: the field on each plane.
// Mathematically the literal sums; numerically a product of rounded phasors
// is not the phasor of the rounded sum of phases, and the two differ by
// about 1e-13 of the peak. Every sum runs in a fixed order on one thread.

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

// term(a, b) for every pair of sample indices a < rows, b < columns, kept
// on the heap: a fine bench's tables outgrow any stack.
class sample_table {
 public:
  template <class Term>
  sample_table(int rows, int columns, Term term) : columns_(columns), terms_(rows * columns) {
    for (int a = 0; a < rows; ++a)
      for (int b = 0; b < columns; ++b) terms_[a * columns + b] = term(a, b);
  }

  const double* operator[](int a) const { return terms_.data() + a * columns_; }

 private:
  int columns_;
  std::vector<double> terms_;
};

// A program's loop over one block of screen points: the values at x[l] for
// l < block_size, into value[l]. Made once per run from the bench, with the
// tables it needs; called from several threads at once.
using block_loop = std::function<void(const double* x, double* value)>;

// The main loop of a pattern program: the screen points x = point(i) for
// i < screen_count in blocks of block_size, each block's values computed by
// compute(x, value) and handed to write(i, x, value) point by point in
// increasing i. A last block short of block_size is computed on points
// point(i) beyond the screen, which are never written. With more than one
// thread, worker threads compute up to four blocks each ahead of this
// thread, which writes; every sum is still one thread's, so the values are
// the same for every thread count.
template <class Point, class Write>
void for_each_block_at(int screen_count, Point point, int threads, const block_loop& compute,
                       Write write) {
  struct block {
    double x[block_size], value[block_size];
  };
  const auto fill = [&](block& r, int b) {
    for (int l = 0; l < block_size; ++l) r.x[l] = point(b * block_size + l);
    compute(r.x, r.value);
  };
  const auto emit = [&](const block& r, int b) {
    for (int l = 0; l < block_size && b * block_size + l < screen_count; ++l)
      write(b * block_size + l, r.x[l], r.value[l]);
  };
  const int blocks = (screen_count + block_size - 1) / block_size;
  if (const int workers = worker_count(threads); workers > 1) {
    std::vector<block> ring(4 * workers);
    const auto slot = [&](int b) -> block& { return ring[b % ring.size()]; };
    run_blocks(
        blocks, workers, int(ring.size()), [&](int b) { fill(slot(b), b); },
        [&](int b) { emit(slot(b), b); });
    return;
  }
  for (int b = 0; b < blocks; ++b) {
    block r;
    fill(r, b);
    emit(r, b);
  }
}

// The same over the programs' screen, screen_count points spanning
// [screen_min, screen_max).
template <class Write>
void for_each_block(int screen_count, double screen_max, int threads, const block_loop& compute,
                    Write write) {
  for_each_block_at(
      screen_count, [&](int i) { return screen_point(i, screen_count, screen_max); }, threads,
      compute, write);
}
