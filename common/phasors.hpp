// Blocked evaluation for the optimised programs. Several screen points
// (lanes) are summed together, each with its own accumulator that receives
// its terms in exactly the order of the plain loops; the phasors of a whole
// batch of paths come from one call of the vector kernel. Terms that do not
// depend on the screen point are tabulated once per run. None of this changes
// a value: only the order in which independent sums are advanced.
#pragma once

#include <array>

#include "bench.hpp"
#include "cis.hpp"

// Screen points evaluated together; every screen count is a multiple.
inline constexpr int lanes = 8;

// Phases in, phasors cexp(i phase) out, bit for bit the system library's.
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
