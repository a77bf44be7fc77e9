// The kernel's paths and the table the public entry points dispatch
// through. Private to the kernel, its tests and its benchmarks: a test
// selects rows of this same table to run one path directly.
#pragma once

#include <cstddef>
#include <span>

#include <slits/cis.hpp>

namespace cis_detail {

using evaluate_fn = void (*)(const double* theta, double* cos_theta, double* sin_theta,
                             std::size_t count);
using add_fn = void (*)(const double* base, std::size_t terms, const double* offset, double weight,
                        double* re, double* im);
using add_pairs_fn = void (*)(const double* upper, const double* lower, std::size_t terms,
                              const double* upper_offset, const double* lower_offset, double weight,
                              double* re, double* im);

// The phasors a pair sum adds, as the fused code computes them: for term t
// and lane l, at [t * cis_block_size + l] of phasors[0..4), cos u, sin u,
// cos v and sin v (u, v as in cis_add_pairs). The tests and the self-check
// compare them with the library one by one, where a sum could round a
// wrong last bit away.
using pair_terms_fn = void (*)(const double* upper, const double* lower, std::size_t terms,
                               const double* upper_offset, const double* lower_offset,
                               double* const* phasors);

// One way to compute the phasors: the entry points of cis(), cis_add() and
// cis_add_pairs() for it.
struct path {
  const char* name;
  bool vector;          // evaluates the algorithm itself, lanes at a time
  bool (*supported)();  // whether this CPU runs it
  evaluate_fn evaluate;
  add_fn add;
  add_pairs_fn add_pairs;
  pair_terms_fn pair_terms;
};

// Every path built for this target, the system library first; on x86-64
// then the scalar twin, AVX2 + FMA and AVX-512.
std::span<const path> paths();

// Rows outside the dispatch table, linked into tests and benchmarks only
// (shape_twins.cpp): a narrower instruction set running a wider one's
// kernel shape. None where the kernel is not vectorised.
std::span<const path> shape_twins();

// The row named so; null where it is not built.
const path* find_path(const char* name);

// Every phasor the fused sums of p add, one by one, against the library:
// the pair sums' own code through pair_terms, and each term alone through
// add and add_pairs on accumulators of -0.0 (the identity of addition),
// with weight 1 and with weight. A sum over many terms could round a wrong
// last bit of one away. Returns the number of values that differ.
std::size_t sum_term_mismatches(const path& p, const double* upper, const double* lower,
                                std::size_t terms, const double* upper_offset,
                                const double* lower_offset, double weight);

// The start-up comparison of a path with the system library, for cis() and
// both fused sums. False where the CPU does not run the path.
bool self_check(const path& p);

// The choice made on first use: the widest supported vector path that
// passes its self-check, else the system library. With fail_self_check every
// candidate's check counts as failed.
const path& choose(bool fail_self_check = false);

// The path the public entry points use in this process, chosen once.
const path& selected();

// For benchmarks and tests only: the public entry points dispatch through p
// from now on, unchecked (a path this CPU does not run faults), so p must
// outlive its use. Calls already under way finish on the path they began on.
void use_path(const path& p);

// The system library for one argument: the reference, and the fallback for
// lanes outside the kernel's range.
void system_cis(double theta, double& cos_theta, double& sin_theta);

// The rows that compute one argument at a time through `one` (the system
// library and the scalar twin): the fused sums term by term, lane by lane.
template <void (*one)(double, double&, double&)>
void evaluate_by_element(const double* theta, double* cos_theta, double* sin_theta,
                         std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) one(theta[k], cos_theta[k], sin_theta[k]);
}

template <void (*one)(double, double&, double&)>
void add_by_element(const double* base, std::size_t terms, const double* offset, double weight,
                    double* re, double* im) {
  for (std::size_t t = 0; t < terms; ++t)
    for (int l = 0; l < cis_block_size; ++l) {
      double c, s;
      one(base[t] + offset[l], c, s);
      re[l] = re[l] + weight * c;
      im[l] = im[l] + weight * s;
    }
}

template <void (*one)(double, double&, double&)>
void add_pairs_by_element(const double* upper, const double* lower, std::size_t terms,
                          const double* upper_offset, const double* lower_offset, double weight,
                          double* re, double* im) {
  for (std::size_t t = 0; t < terms; ++t)
    for (int l = 0; l < cis_block_size; ++l) {
      double cu, su, cl, sl;
      one(upper[t] + upper_offset[l], cu, su);
      one(lower[t] + lower_offset[l], cl, sl);
      re[l] = re[l] + weight * (cu + cl);
      im[l] = im[l] + weight * (su + sl);
    }
}

template <void (*one)(double, double&, double&)>
void pair_terms_by_element(const double* upper, const double* lower, std::size_t terms,
                           const double* upper_offset, const double* lower_offset,
                           double* const* phasors) {
  for (std::size_t t = 0; t < terms; ++t)
    for (int l = 0; l < cis_block_size; ++l) {
      const std::size_t at = t * cis_block_size + l;
      one(upper[t] + upper_offset[l], phasors[0][at], phasors[1][at]);
      one(lower[t] + lower_offset[l], phasors[2][at], phasors[3][at]);
    }
}

// The table row of such a path.
template <void (*one)(double, double&, double&)>
constexpr path element_path(const char* name) {
  return {name,
          false,
          [] { return true; },
          evaluate_by_element<one>,
          add_by_element<one>,
          add_pairs_by_element<one>,
          pair_terms_by_element<one>};
}

// Rows of the table, defined beside their code.
extern const path system_path;
#if defined(__x86_64__) || SLITS_CIS_SCALAR
extern const path scalar_path;
#endif
#if defined(__x86_64__)
extern const path avx2_path;
extern const path avx512_path;
#endif

#if SLITS_CIS_SIMD128
extern const path simd128_path;
extern const path simd128_fma_path;
#endif

#if defined(__EMSCRIPTEN__) && SLITS_CIS_SCALAR
// a b + c as relaxed SIMD's f64x2.relaxed_madd, which relaxed_madd_fuses
// finds rounded once on this browser and CPU, or not (vector_wasm_fused.cpp).
double relaxed_madd(double a, double b, double c);
bool relaxed_madd_fuses();
#endif

// system_cis for the arguments the scalar twin and the WebAssembly vector
// path hand to the library (|theta| >= 105414336, infinities, NaNs),
// counted: glibc's bits on glibc, not necessarily elsewhere.
void library_cis(double theta, double& cos_theta, double& sin_theta);
std::size_t scalar_library_calls();

}  // namespace cis_detail
