// The lane operations of the kernel for AVX-512F + DQ: eight lanes, masks in
// mask registers. Included by vector.cpp inside the namespace avx512, with
// CIS_TARGET set to this instruction set; kernel-inl.hpp lists what each
// operation means.

constexpr int lanes = 8;
using vd = __m512d;
using vi = __m512i;
using vm = __mmask8;

// Measured on Zen 5, whole broad_duogap runs (median of 5, alternating):
// the Taylor series for every vector 10 % faster (ratio 0.90); a pair side
// by side, with 32 registers, another 12-13 % (on an earlier kernel).
constexpr kernel_shape shape = {.taylor_always = true, .pairs_side_by_side = true};

// One table row per lane, as columns: sin and cos of the table point,
// head and tail.
struct table_rows {
  vd sn, ssn, cs, ccs;
};

CIS_TARGET vd set(double v) { return _mm512_set1_pd(v); }
CIS_TARGET vd zero_vector() { return _mm512_setzero_pd(); }
CIS_TARGET vd load(const double* p) { return _mm512_loadu_pd(p); }
CIS_TARGET void store(double* p, vd v) { _mm512_storeu_pd(p, v); }
CIS_TARGET vd add(vd a, vd b) { return _mm512_add_pd(a, b); }
CIS_TARGET vd sub(vd a, vd b) { return _mm512_sub_pd(a, b); }
CIS_TARGET vd mul(vd a, vd b) { return _mm512_mul_pd(a, b); }
CIS_TARGET vd fmadd(vd a, vd b, vd c) { return _mm512_fmadd_pd(a, b, c); }
CIS_TARGET vd fnmadd(vd a, vd b, vd c) { return _mm512_fnmadd_pd(a, b, c); }
CIS_TARGET vd fmsub(vd a, vd b, vd c) { return _mm512_fmsub_pd(a, b, c); }
CIS_TARGET vd and_(vd a, vd b) { return _mm512_and_pd(a, b); }
CIS_TARGET vd or_(vd a, vd b) { return _mm512_or_pd(a, b); }
CIS_TARGET vd xor_(vd a, vd b) { return _mm512_xor_pd(a, b); }
CIS_TARGET vd andnot(vd a, vd b) { return _mm512_andnot_pd(a, b); }
// Bit by bit with c = -0.0, one three-input logic instruction each: 0x78 is
// a ^ (b & c), 0xF8 is a | (b & c).
CIS_TARGET vd flip_sign(vd a, vd b) {
  return _mm512_castsi512_pd(_mm512_ternarylogic_epi64(
      _mm512_castpd_si512(a), _mm512_castpd_si512(b), _mm512_castpd_si512(set(-0.0)), 0x78));
}
CIS_TARGET vd or_sign(vd a, vd b) {
  return _mm512_castsi512_pd(_mm512_ternarylogic_epi64(
      _mm512_castpd_si512(a), _mm512_castpd_si512(b), _mm512_castpd_si512(set(-0.0)), 0xF8));
}
CIS_TARGET vm lt(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
CIS_TARGET vm le(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
CIS_TARGET vm ge(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
CIS_TARGET vm lt_where(vm m, vd a, vd b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_LT_OQ); }
CIS_TARGET vd select(vm m, vd if_set, vd if_clear) {
  return _mm512_mask_blend_pd(m, if_clear, if_set);
}
CIS_TARGET vm mask_or(vm a, vm b) { return static_cast<vm>(a | b); }
CIS_TARGET vm mask_xor(vm a, vm b) { return static_cast<vm>(a ^ b); }
CIS_TARGET vm mask_andnot(vm a, vm b) { return static_cast<vm>(~a & b); }
CIS_TARGET vd negate_where(vm m, vd a) { return _mm512_mask_xor_pd(a, m, a, set(-0.0)); }
CIS_TARGET vd add_where(vm m, vd if_clear, vd a, vd b) {
  return _mm512_mask_add_pd(if_clear, m, a, b);
}
CIS_TARGET unsigned mask_bits(vm m) { return m; }
CIS_TARGET vi as_bits(vd a) { return _mm512_castpd_si512(a); }
CIS_TARGET vm bit_set(vi a, std::uint64_t bit) {
  return _mm512_test_epi64_mask(a, _mm512_set1_epi64(static_cast<long long>(bit)));
}
// Each row is 32 contiguous bytes, so eight 256-bit loads and a transpose
// beat four gathers.
CIS_TARGET table_rows look_up(const double* u) {
  __m256d e[lanes];
  for (int i = 0; i < lanes; ++i) e[i] = _mm256_load_pd(table_row_at(u[i]));
  const vd r0 = _mm512_insertf64x4(_mm512_castpd256_pd512(e[0]), e[4], 1);
  const vd r1 = _mm512_insertf64x4(_mm512_castpd256_pd512(e[1]), e[5], 1);
  const vd r2 = _mm512_insertf64x4(_mm512_castpd256_pd512(e[2]), e[6], 1);
  const vd r3 = _mm512_insertf64x4(_mm512_castpd256_pd512(e[3]), e[7], 1);
  const vd lo01 = _mm512_unpacklo_pd(r0, r1);  // sn0 sn1 cs0 cs1 | sn4 sn5 cs4 cs5
  const vd hi01 = _mm512_unpackhi_pd(r0, r1);  // ssn, ccs likewise
  const vd lo23 = _mm512_unpacklo_pd(r2, r3);
  const vd hi23 = _mm512_unpackhi_pd(r2, r3);
  const vi even = _mm512_set_epi64(13, 12, 5, 4, 9, 8, 1, 0);
  const vi odd = _mm512_set_epi64(15, 14, 7, 6, 11, 10, 3, 2);
  return {_mm512_permutex2var_pd(lo01, even, lo23), _mm512_permutex2var_pd(hi01, even, hi23),
          _mm512_permutex2var_pd(lo01, odd, lo23), _mm512_permutex2var_pd(hi01, odd, hi23)};
}
