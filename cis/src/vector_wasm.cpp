// The vector path of the WebAssembly build: kernel-inl.hpp against the
// SIMD128 layer, two lanes, its fused multiply-adds emulated exactly. It is
// checked at start-up against the scalar twin, which stands for glibc here.
#include <wasm_simd128.h>

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

namespace wasm {
// Lanes out of the kernel's range go to the C library, counted.
inline void system_cis(double theta, double& cos_theta, double& sin_theta) {
  library_cis(theta, cos_theta, sin_theta);
}
#define CIS_TARGET __attribute__((always_inline)) inline
#define CIS_ENTRY
#include "isa_wasm-inl.hpp"
#include "kernel-inl.hpp"
#undef CIS_TARGET
#undef CIS_ENTRY
}  // namespace wasm

const path simd128_path = {"simd128",
                           true,
                           [] { return true; },
                           wasm::evaluate_entry<>,
                           wasm::add_entry<>,
                           wasm::add_pairs_entry<>,
                           wasm::pair_terms_entry<>};

}  // namespace cis_detail
