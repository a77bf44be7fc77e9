// What the C++ library of Debian's emscripten (libc++ 13) lacks and the
// tree uses: std::bit_cast, and std::from_chars and std::to_chars for double. Included before
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
#include <cstdio>
#include <cstdlib>
#include <string>

namespace std {
// musl's strtod rounds correctly, as from_chars does; the tree hands it
// decimal text only (bench.cpp checks the grammar first). A result that
// overflows, or underflows to zero, is refused as from_chars refuses it; a
// subnormal one, which strtod also flags, is a value like any other.
inline from_chars_result from_chars(const char* first, const char* last, double& value) {
  const string text(first, last);
  char* end = nullptr;
  errno = 0;
  const double parsed = strtod(text.c_str(), &end);
  const auto used = end - text.c_str();
  if (used == 0) return {first, errc::invalid_argument};
  if (errno == ERANGE && (parsed == 0 || !isfinite(parsed)))
    return {first + used, errc::result_out_of_range};
  value = parsed;
  return {first + used, errc{}};
}

// The shortest %g form that reads back to the same double (inf and nan as
// printf spells them), as to_chars gives it for the messages that quote one.
inline to_chars_result to_chars(char* first, char* last, double value) {
  char text[32];
  int length = 0;
  for (int digits = 1; digits <= 17; ++digits) {
    length = snprintf(text, sizeof text, "%.*g", digits, value);
    if (!isfinite(value) || strtod(text, nullptr) == value) break;
  }
  if (length > last - first) return {last, errc::value_too_large};
  for (int k = 0; k < length; ++k) first[k] = text[k];
  return {first + length, errc{}};
}
}  // namespace std
#endif
