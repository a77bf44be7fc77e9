// a * b + c rounded once, as the scalar twin needs it. WebAssembly has no
// fused multiply-add instruction and its C library's fma works on integers,
// some 70 ns a call; there the twin emulates it exactly with binary64
// operations (Boldo and Melquiond, "Emulation of FMA and correctly rounded
// sums: proved algorithms using rounding to odd", IEEE TC 57(4), 2008),
// within the exponent range that proof needs, and calls fma outside it.
// Elsewhere it is std::fma.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

namespace cis_detail {

// The emulation, on every target for its test.
inline double emulated_fma(double a, double b, double c) {
  // a * b = uh + ul exactly (Dekker's product by Veltkamp's split).
  const double uh = a * b;
  // A zero factor: the product is an exact zero, and one rounding is all.
  if ((a == 0 || b == 0) && std::isfinite(a) && std::isfinite(b)) return c + uh;
  const double au = std::fabs(uh), ac = std::fabs(c);
  // No overflow in the split, no underflow in ul, no infinities or NaNs.
  if (!(au >= 0x1p-900 && au <= 0x1p900 && ac <= 0x1p900 && std::fabs(a) <= 0x1p900 &&
        std::fabs(b) <= 0x1p900))
    return std::fma(a, b, c);
  const double sa = 0x1p27 + 1.0;
  const double pa = sa * a, pb = sa * b;
  const double ah = pa - (pa - a), al = a - ah;
  const double bh = pb - (pb - b), bl = b - bh;
  const double ul = (((ah * bh - uh) + ah * bl) + al * bh) + al * bl;
  if (ul == 0) return uh + c;  // an exact product (the reduction's short constants)
  // c + uh = th + tl exactly (Knuth's two-sum).
  const double th = c + uh;
  const double cv = th - c;
  const double tl = (c - (th - cv)) + (uh - cv);
  // v = tl + ul rounded to odd: rounded to nearest, then, where inexact and
  // even, moved one step towards the exact sum.
  double v = tl + ul;
  const double vv = v - tl;
  const double error = (tl - (v - vv)) + (ul - vv);
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  if (error != 0 && (bits & 1) == 0) {
    bits += (v > 0) == (error > 0) ? 1 : -1;
    v = std::bit_cast<double>(bits);
  }
  return th + v;
}

inline double fused(double a, double b, double c) {
#if defined(__EMSCRIPTEN__)
  return emulated_fma(a, b, c);
#else
  return std::fma(a, b, c);
#endif
}

}  // namespace cis_detail
