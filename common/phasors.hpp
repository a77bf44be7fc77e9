// Blocked evaluation for the optimised programs. A block of screen points is
// summed together, each point with its own accumulator that receives its
// terms in exactly the order of the plain loops; the phasors come from the
// phasor kernel, bit for bit the system library's. Terms that do not depend
// on the screen point are tabulated once per run. None of this changes a
// value: only the order in which independent sums are advanced.
#pragma once

#include <array>

#include "bench.hpp"
#include "cis.hpp"

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

using sample_table = std::array<std::array<double, aperture_samples>, aperture_samples>;

// table[a][b] = term(a, b) for every pair of sample indices.
template <class Term>
sample_table tabulate(Term term) {
  sample_table table;
  for (int a = 0; a < aperture_samples; ++a)
    for (int b = 0; b < aperture_samples; ++b) table[a][b] = term(a, b);
  return table;
}
