// Blocked evaluation for the optimised programs. Several screen points
// (lanes) are summed together, each with its own accumulator that receives
// its terms in exactly the order of the plain loops; the phasors come from
// the vector kernel, bit for bit the system library's. Terms that do not
// depend on the screen point are tabulated once per run. None of this changes
// a value: only the order in which independent sums are advanced.
#pragma once

#include <array>

#include "bench.hpp"
#include "cis.hpp"

// Screen points evaluated together; every screen count is a multiple.
inline constexpr int lanes = cis_lanes;

// The complex accumulators A[l] of a block, as real and imaginary parts.
struct block_sum {
  double re[lanes] = {};
  double im[lanes] = {};

  amplitude operator[](int l) const { return {re[l], im[l]}; }

  // |A[l] / paths|: the amplitude divided in place by the number of paths.
  double modulus_of_mean(int l, double paths) const {
    amplitude mean = (*this)[l];
    mean /= paths;
    return std::abs(mean);
  }
};

// A[l] += weight × (cexp(i(upper[t] + U[l])) + cexp(i(lower[t] + W[l]))),
// for t = 0 .. terms-1 in order: the upper and the lower path of a double slit.
inline void add_path_pairs(block_sum& A, const double* upper, const double* lower, int terms,
                           const double (&U)[lanes], const double (&W)[lanes], double weight) {
  cis_add_pairs(upper, lower, terms, U, W, weight, A.re, A.im);
}

// A[l] += weight × cexp(i(base[t] + offset[l])), for t = 0 .. terms-1 in order.
inline void add_paths(block_sum& A, const double* base, int terms, const double (&offset)[lanes],
                      double weight) {
  cis_add(base, terms, offset, weight, A.re, A.im);
}

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
