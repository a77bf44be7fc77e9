// Blocked evaluation for the optimised programs. A block of screen points is
// summed together, each point with its own accumulator that receives its
// terms in exactly the order of the plain loops; the phasors come from the
// phasor kernel, bit for bit the system library's. Terms that do not depend
// on the screen point are tabulated once per run. None of this changes a
// value: only the order in which independent sums are advanced.
#pragma once

#include <vector>

#include <slits/cis.hpp>
#include "bench.hpp"

// The programs' own builds set SLITS_THREADS from the cache variable of that
// name; everything else, the straightforward twins included, runs on one
// thread with no thread code compiled in.
#ifndef SLITS_THREADS
#define SLITS_THREADS 1
#endif
#if SLITS_THREADS != 1
#include "block_threads.hpp"
#endif

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
    return std::abs(mean);
  }
};

// Phases in, phasors cexp(i phase) out, for sums of any other form.
template <int N>
struct phasor_batch {
  double phase[N];
  double re[N];
  double im[N];

  void evaluate() { cis(phase, re, im, N); }
  amplitude operator[](int k) const { return {re[k], im[k]}; }
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

// The main loop of a pattern program: the screen points i < screen_count in
// blocks of block_size, each block's values computed by
// compute(x, value) and handed to write(i, x, value) point by point in
// increasing i. A last block short of block_size is computed on points
// beyond the screen, which are never written. In a threaded build, worker
// threads compute up to four blocks each ahead of this thread, which writes.
template <class Compute, class Write>
void for_each_block(int screen_count, double screen_max, Compute compute, Write write) {
#if SLITS_THREADS != 1
  if (const int workers = worker_count(SLITS_THREADS); workers > 1) {
    struct block {
      double x[block_size], value[block_size];
    };
    std::vector<block> ring(4 * workers);
    const auto slot = [&](int b) -> block& { return ring[b % ring.size()]; };
    run_blocks((screen_count + block_size - 1) / block_size, workers, int(ring.size()),
               [&](int b) {
                 block& r = slot(b);
                 for (int l = 0; l < block_size; ++l)
                   r.x[l] = screen_point(b * block_size + l, screen_count, screen_max);
                 compute(r.x, r.value);
               },
               [&](int b) {
                 const block& r = slot(b);
                 for (int l = 0; l < block_size && b * block_size + l < screen_count; ++l)
                   write(b * block_size + l, r.x[l], r.value[l]);
               });
    return;
  }
#endif
  for (int first = 0; first < screen_count; first += block_size) {
    double x[block_size], value[block_size];
    for (int l = 0; l < block_size; ++l) x[l] = screen_point(first + l, screen_count, screen_max);
    compute(x, value);
    for (int l = 0; l < block_size && first + l < screen_count; ++l)
      write(first + l, x[l], value[l]);
  }
}
