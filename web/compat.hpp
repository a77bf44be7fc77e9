// What the C++ library of Debian's emscripten (libc++ 13) lacks and the
// tree uses: std::bit_cast, and std::from_chars for double. Included before
// every source of the WebAssembly build only.
#pragma once

#ifdef __cplusplus
#include <version>

#if !defined(__cpp_lib_bit_cast)
#include <type_traits>

namespace std {
template <class To, class From>
requires(sizeof(To) == sizeof(From) && is_trivially_copyable_v<To> &&
         is_trivially_copyable_v<From>) constexpr To bit_cast(const From& from) noexcept {
  return __builtin_bit_cast(To, from);
}
}  // namespace std
#endif

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace std {
// musl's strtod rounds correctly, as from_chars does; the tree hands it
// decimal text only (bench.cpp checks the grammar first). A result out of
// range, overflowing or underflowing, is refused as from_chars refuses it.
inline from_chars_result from_chars(const char* first, const char* last, double& value) {
  const string text(first, last);
  char* end = nullptr;
  errno = 0;
  const double parsed = strtod(text.c_str(), &end);
  const auto used = end - text.c_str();
  if (used == 0) return {first, errc::invalid_argument};
  if (errno == ERANGE) return {first + used, errc::result_out_of_range};
  value = parsed;
  return {first + used, errc{}};
}
}  // namespace std
#endif
