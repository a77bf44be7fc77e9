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

// Makes a program's loop over blocks of screen points for a bench.
using loop_factory = block_loop (*)(const bench&);

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
