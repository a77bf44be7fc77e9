// The vector layers' access to the generated table.
#pragma once

#include <bit>
#include <cstdint>

#include "cis_table.hpp"
#include "constants.hpp"

namespace cis_detail {

// The table row that u = big + |a| names: u's low bits count the points.
inline const double* table_row_at(double u) {
  return sincos_table + table_row * (std::bit_cast<std::uint64_t>(u) - big_bits);
}

}  // namespace cis_detail
