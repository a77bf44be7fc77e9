// The C library's fma for this build, linked in its place (--wrap=fma): the
// libm twins' (exp, pow, hypot, every printed modulus) and the emulation's
// arguments out of its range. Musl's works on integers, some 70 ns a call;
// where relaxed SIMD's multiply-add is found rounded once it is the same
// correctly rounded a b + c in one instruction.
#include "paths.hpp"

extern "C" double __real_fma(double a, double b, double c);

extern "C" double __wrap_fma(double a, double b, double c) {
  static const bool fused = cis_detail::relaxed_madd_fuses();
  return fused ? cis_detail::relaxed_madd(a, b, c) : __real_fma(a, b, c);
}
