// Test-only access to the phasor kernel's paths and to the choice among them.
#pragma once

#include <array>
#include <cstddef>

namespace cis_testing {

enum class path { system, scalar, avx2, avx512 };

inline constexpr std::array<path, 4> all_paths = {path::system, path::scalar, path::avx2,
                                                  path::avx512};

const char* name(path p);

// Whether this CPU can run the path (system and scalar always can).
bool supported(path p);

// Runs one path directly, bypassing the dispatcher. The path must be supported.
void run(path p, const double* theta, double* cos_theta, double* sin_theta, std::size_t count);

// The path's fused sums: cis_add_pairs, or cis_add when lower is null.
void run_add(path p, const double* upper, const double* lower, std::size_t terms, const double* U,
             const double* W, double weight, double* re, double* im);

// The start-up comparison of a path with the system library, for cis() and
// the fused sums.
bool self_check(path p);

// The selection logic as run on first use of cis(); with fail_self_check
// every candidate's self-check is taken as failed.
path choose(bool fail_self_check);

// The path cis() uses in this process.
path selected();

}  // namespace cis_testing
