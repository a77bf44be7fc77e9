// The vector path of the WebAssembly build on relaxed SIMD's multiply-add:
// kernel-inl.hpp against the SIMD128 layer with each fused multiply-add one
// f64x2.relaxed_madd. That instruction may round once or twice, as the
// browser and CPU decide; the path is supported only where it rounds once
// on arguments that tell the two apart, and is then checked against the
// scalar twin like every vector path. Where the page runs the module
// without relaxed SIMD, each of these instructions is a v128.bitselect
// (web/fuse.js), which fails that test.
#include <wasm_simd128.h>

#include <bit>
#include <cstddef>
#include <cstdint>

#include <slits/cis.hpp>
#include "cis_table.hpp"
#include "constants.hpp"
#include "fused.hpp"
#include "paths.hpp"
#include "shape.hpp"
#include "table_row.hpp"

namespace cis_detail {

namespace wasm_fused {
inline void system_cis(double theta, double& cos_theta, double& sin_theta) {
  library_cis(theta, cos_theta, sin_theta);
}
#define CIS_WASM_FUSED 1
#define CIS_TARGET __attribute__((always_inline)) inline
#define CIS_ENTRY
#include "isa_wasm-inl.hpp"
#include "kernel-inl.hpp"
#undef CIS_TARGET
#undef CIS_ENTRY
#undef CIS_WASM_FUSED

// Products whose low part a second rounding loses, so that a b + c differs
// in every bit from the unfused result: (1 + 2^-30)^2 - (1 + 2^-29) is
// 2^-60 fused and 0 unfused; 0.1 * 10 - 1 is 2^-54 fused and 0 unfused.
// The operands are read through volatile so that none is folded away.
bool madd_fuses() {
  static volatile double operands[][3] = {{1 + 0x1p-30, 1 + 0x1p-30, -(1 + 0x1p-29)},
                                          {0.1, 10.0, -1.0},
                                          {-0.1, 10.0, 1.0},
                                          {0x1.6a09e667f3bcdp-1, 0x1.6a09e667f3bcdp-1, -0.5}};
  constexpr int n = sizeof operands / sizeof operands[0];
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {  // each pair in both lanes
      const double a[2] = {operands[i][0], operands[j][0]};
      const double b[2] = {operands[i][1], operands[j][1]};
      const double c[2] = {operands[i][2], operands[j][2]};
      double r[2];
      store(r, fmadd(load(a), load(b), load(c)));
      for (int l = 0; l < 2; ++l) {
        const std::uint64_t exact = std::bit_cast<std::uint64_t>(emulated_fma(a[l], b[l], c[l]));
        if (std::bit_cast<std::uint64_t>(r[l]) != exact ||
            std::bit_cast<std::uint64_t>(relaxed_madd(a[l], b[l], c[l])) != exact)
          return false;
      }
    }
  return true;
}
}  // namespace wasm_fused

double relaxed_madd(double a, double b, double c) {
  return wasm_f64x2_extract_lane(
      wasm_fused::fmadd(wasm_fused::set(a), wasm_fused::set(b), wasm_fused::set(c)), 0);
}

bool relaxed_madd_fuses() { return wasm_fused::madd_fuses(); }

const path simd128_fma_path = {"simd128_fma",
                               true,
                               wasm_fused::madd_fuses,
                               wasm_fused::evaluate_entry<>,
                               wasm_fused::add_entry<>,
                               wasm_fused::add_pairs_entry<>,
                               wasm_fused::pair_terms_entry<>};

}  // namespace cis_detail
