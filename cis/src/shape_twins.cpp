// Shape twins, built into the tests and benchmarks only: the AVX2 layer
// running the AVX-512 layer's shape, the same templates as the AVX-512 path
// at half the width. Checked bit for bit on any AVX2 CPU, it proves the
// code of that shape exact where no AVX-512 CPU is at hand, and times the
// shape on AVX2.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include <slits/cis.hpp>
#include "constants.hpp"
#include "paths.hpp"
#include "shape.hpp"
#include "table_row.hpp"

#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace cis_detail {

// The same definitions as in vector.cpp; only the AVX-512 shape is used.
namespace avx512 {
#define CIS_TARGET __attribute__((target("avx512f,avx512dq"), always_inline)) inline
#include "isa_avx512-inl.hpp"
#undef CIS_TARGET
}  // namespace avx512

namespace avx2 {
#define CIS_TARGET __attribute__((target("avx2,fma"), always_inline)) inline
#define CIS_ENTRY __attribute__((target("avx2,fma")))
#include "isa_avx2-inl.hpp"
#include "kernel-inl.hpp"
#undef CIS_TARGET
#undef CIS_ENTRY
}  // namespace avx2

namespace {

const path twins[] = {
    {"avx2_in_avx512_shape", true,
     [] { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); },
     avx2::evaluate_entry<avx512::shape>, avx2::add_entry<avx512::shape>,
     avx2::add_pairs_entry<avx512::shape>, avx2::pair_terms_entry<avx512::shape>}};

}  // namespace

std::span<const path> shape_twins() { return twins; }

}  // namespace cis_detail
