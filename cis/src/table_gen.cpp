// Build-time generator for the sin/cos table behind the phasor kernel.
//
// Entry k (0 <= k < 110) holds sin(k/128) and cos(k/128), each as a head
// (nearest binary64) and a tail (binary64 close to the remainder), so that
// head + tail carries about 106 bits.  The values are summed as Taylor
// series in 256-bit fixed point, exact to ~2^-240, so every rounding below
// is decided correctly.
//
// The C library's own table was produced by a less precise procedure: its
// pairs are accurate to ~2^-109 and 18 tails differ from the correctly
// rounded remainder by a few units in the last place.  Results are only
// bit-identical to the library if every table bit is, so those tails are
// reproduced as recorded offsets.  They were found once by dumping the
// library table with gdb (x/440gx &__sincostab on libm.so.6 with debug
// symbols) and comparing; the vector and scalar kernels' bit-identity tests
// exercise the table through the library itself.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// Unsigned fixed-point number: limb[0] is least significant, binary point
// below limb[limbs - 1], i.e. value = sum limb[i] * 2^(32 (i - limbs + 1)).
constexpr int limbs = 8;
constexpr int frac_bits = 32 * (limbs - 1);

struct Fixed {
  std::uint32_t limb[limbs] = {};
};

Fixed from_int(std::uint32_t v) {
  Fixed r;
  r.limb[limbs - 1] = v;
  return r;
}

Fixed mul_small(const Fixed& a, std::uint32_t m) {
  Fixed r;
  std::uint64_t carry = 0;
  for (int i = 0; i < limbs; ++i) {
    const std::uint64_t p = std::uint64_t{a.limb[i]} * m + carry;
    r.limb[i] = static_cast<std::uint32_t>(p);
    carry = p >> 32;
  }
  return r;
}

Fixed div_small(const Fixed& a, std::uint32_t d) {
  Fixed r;
  std::uint64_t rem = 0;
  for (int i = limbs - 1; i >= 0; --i) {
    const std::uint64_t cur = (rem << 32) | a.limb[i];
    r.limb[i] = static_cast<std::uint32_t>(cur / d);
    rem = cur % d;
  }
  return r;
}

Fixed add(const Fixed& a, const Fixed& b) {
  Fixed r;
  std::uint64_t carry = 0;
  for (int i = 0; i < limbs; ++i) {
    const std::uint64_t s = std::uint64_t{a.limb[i]} + b.limb[i] + carry;
    r.limb[i] = static_cast<std::uint32_t>(s);
    carry = s >> 32;
  }
  return r;
}

bool less(const Fixed& a, const Fixed& b) {
  for (int i = limbs - 1; i >= 0; --i)
    if (a.limb[i] != b.limb[i]) return a.limb[i] < b.limb[i];
  return false;
}

Fixed sub(const Fixed& a, const Fixed& b)  // requires a >= b
{
  Fixed r;
  std::int64_t borrow = 0;
  for (int i = 0; i < limbs; ++i) {
    std::int64_t d = std::int64_t{a.limb[i]} - b.limb[i] - borrow;
    borrow = d < 0;
    r.limb[i] = static_cast<std::uint32_t>(d + (borrow << 32));
  }
  return r;
}

bool bit(const Fixed& a, int i) { return (a.limb[i / 32] >> (i % 32)) & 1u; }

// Nearest binary64 (ties to even); all values here are far from the
// subnormal range.
double nearest(const Fixed& a) {
  int top = 32 * limbs - 1;
  while (top >= 0 && !bit(a, top)) --top;
  if (top < 0) return 0.0;
  std::uint64_t m = 0;
  const int low = top - 52;
  for (int i = top; i >= low; --i) m = (m << 1) | bit(a, i);
  const bool half = bit(a, low - 1);
  bool sticky = false;
  for (int i = low - 2; i >= 0 && !sticky; --i) sticky = bit(a, i);
  if (half && (sticky || (m & 1))) ++m;
  return std::ldexp(static_cast<double>(m), low - frac_bits);
}

// Exact fixed-point image of a binary64 in [0, 2).
Fixed to_fixed(double d) {
  int e;
  const double f = std::frexp(d, &e);  // d = f 2^e, f in [0.5, 1)
  auto m = static_cast<std::uint64_t>(std::ldexp(f, 53));
  Fixed r;
  const int shift = frac_bits + e - 53;  // bit position of m's lsb
  for (int i = 0; i < 53; ++i)
    if ((m >> i) & 1u) r.limb[(shift + i) / 32] |= 1u << ((shift + i) % 32);
  return r;
}

// sin(k/128) (odd = true) or cos(k/128) as a Taylor series; terms alternate
// and decrease, so positive and negative parts are summed separately.
Fixed series(std::uint32_t k, bool odd) {
  Fixed term = odd ? div_small(from_int(k), 128) : from_int(1);
  Fixed pos, neg;
  for (std::uint32_t n = odd ? 1 : 0, i = 0; n < 80; n += 2, ++i) {
    (i % 2 ? neg : pos) = add(i % 2 ? neg : pos, term);
    term = div_small(mul_small(term, k * k), 128u * 128u * (n + 1) * (n + 2));
  }
  return sub(pos, neg);
}

struct Split {
  double head, tail;
};

Split split(const Fixed& v) {
  const double head = nearest(v);
  const Fixed h = to_fixed(head);
  const double tail = less(v, h) ? -nearest(sub(h, v)) : nearest(sub(v, h));
  return {head, tail};
}

// Tails where the C library's table departs from the correctly rounded
// remainder: (k, 0 = sin / 1 = cos, offset of the tail's bit pattern). The
// library's table is __sincostab, glibc 2.36 sysdeps/ieee754/dbl-64/
// sincostab.c, whose entries are written there as hex words. To re-derive
// the list: print this generator's table without the offsets, dump the
// library's (gdb: x/440gx &__sincostab), and take the differences of the
// bit patterns; any other glibc whose sincos differs must be checked so.
struct Quirk {
  int k, which, offset;
};
constexpr Quirk quirks[] = {
    {2, 0, 1},   {10, 0, 1}, {23, 0, 39}, {26, 1, 1},  {27, 0, 1}, {33, 0, 1},
    {34, 0, 1},  {36, 0, 1}, {40, 0, -2}, {44, 1, 1},  {70, 1, 1}, {75, 0, 1},
    {75, 1, -2}, {79, 1, 1}, {85, 0, 1},  {90, 0, -2}, {94, 0, 1}, {107, 0, 1},
};

double offset_bits(double d, int offset) {
  std::uint64_t b;
  std::memcpy(&b, &d, sizeof b);
  b += static_cast<std::uint64_t>(static_cast<std::int64_t>(offset));
  std::memcpy(&d, &b, sizeof d);
  return d;
}

constexpr int entries = 110;  // |x| < 0.855469 gives k = round(128 |x|) <= 109

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_HEADER\n", argv[0]);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (!out) {
    std::perror(argv[1]);
    return 1;
  }
  std::fprintf(out,
               "// Generated by cis/src/table_gen.cpp at build time; do not edit.\n"
               "// Per k: sin(k/128) head, tail, cos(k/128) head, tail.\n"
               "#pragma once\n"
               "namespace cis_detail {\n"
               "alignas(64) inline constexpr double sincos_table[%d] = {\n",
               4 * entries);
  for (int k = 0; k < entries; ++k) {
    std::fprintf(out, "   ");
    for (int which = 0; which < 2; ++which) {
      Split s = split(series(static_cast<std::uint32_t>(k), which == 0));
      for (const Quirk& q : quirks)
        if (q.k == k && q.which == which) s.tail = offset_bits(s.tail, q.offset);
      std::fprintf(out, " %a, %a,", s.head, s.tail);
    }
    std::fprintf(out, "\n");
  }
  std::fprintf(out, "};\n}  // namespace cis_detail\n");
  return std::fclose(out) == 0 ? 0 : 1;
}
