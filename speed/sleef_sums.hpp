// SLEEF's vector sincos in the programs' pair sums (sleef_sums.cpp), for the
// benchmarks only.
#pragma once

#include <cstddef>

inline constexpr int sleef_block = 8;  // cis_block_size

struct sleef_variant {
  // cis_add_pairs's contract with SLEEF's phasors.
  void (*add_pairs)(const double* upper, const double* lower, std::size_t terms, const double* U,
                    const double* W, double weight, double* re, double* im);
  // cos and sin of sleef_block phases.
  void (*evaluate)(const double* theta, double* cos_theta, double* sin_theta);
};

extern const sleef_variant sleef_avx2_u10, sleef_avx2_u35, sleef_avx512_u10, sleef_avx512_u35;
