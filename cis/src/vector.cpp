// The vector paths: kernel-inl.hpp compiled once per instruction set,
// against that set's layer, into that set's row of the path table.
//
// Only the functions here carry the target attributes; the rest of the build
// keeps the baseline instruction set, and the dispatcher calls these only
// after checking the CPU. Every multiply-add is written out as the fused
// instruction it stands for, so no compiler contraction is involved.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include <slits/cis.hpp>
#include "cis_table.hpp"
#include "constants.hpp"
#include "paths.hpp"
#include "shape.hpp"
#include "table_row.hpp"

// g++ 12 reports the deliberately undefined upper parts inside several
// AVX-512 intrinsics as maybe-uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace cis_detail {

namespace avx512 {
#define CIS_TARGET __attribute__((target("avx512f,avx512dq"), always_inline)) inline
#define CIS_ENTRY __attribute__((target("avx512f,avx512dq")))
#include "isa_avx512-inl.hpp"
#include "kernel-inl.hpp"
#undef CIS_TARGET
#undef CIS_ENTRY
}  // namespace avx512

namespace avx2 {
#define CIS_TARGET __attribute__((target("avx2,fma"), always_inline)) inline
#define CIS_ENTRY __attribute__((target("avx2,fma")))
#include "isa_avx2-inl.hpp"
#include "kernel-inl.hpp"
#undef CIS_TARGET
#undef CIS_ENTRY
}  // namespace avx2

const path avx512_path = {
    "avx512",
    true,
    [] { return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq"); },
    avx512::evaluate_entry<>,
    avx512::add_entry<>,
    avx512::add_pairs_entry<>,
    avx512::pair_terms_entry<>};

const path avx2_path = {
    "avx2",
    true,
    [] { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); },
    avx2::evaluate_entry<>,
    avx2::add_entry<>,
    avx2::add_pairs_entry<>,
    avx2::pair_terms_entry<>};

}  // namespace cis_detail
