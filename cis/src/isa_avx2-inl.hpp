// The lane operations of the kernel for AVX2 + FMA: four lanes, masks as
// all-ones / all-zeros lanes of a vector. Included by vector.cpp inside the
// namespace avx2, with CIS_TARGET set to this instruction set;
// kernel-inl.hpp lists what each operation means.

constexpr int lanes = 4;
using vd = __m256d;
using vi = __m256i;
using vm = __m256d;

// Measured on Zen 1 (AMD family 23 model 1), broad_duogap's calls in
// alternating runs: the Taylor series for every vector 5 % slower, a pair
// side by side 3-5 % slower (sixteen registers spill). On Zen 3 (family 25
// model 1), CPU time of whole broad_duogap runs, median ratio of 7
// alternating pairs: the series for every vector 0.96, side by side 1.04,
// both 0.98; the shape stays the one that does not lose on Zen 1.
constexpr kernel_shape shape = {.taylor_always = false, .pairs_side_by_side = false};

// One table row per lane, as columns: sin and cos of the table point,
// head and tail.
struct table_rows {
  vd sn, ssn, cs, ccs;
};

CIS_TARGET vd set(double v) { return _mm256_set1_pd(v); }
CIS_TARGET vd zero_vector() { return _mm256_setzero_pd(); }
CIS_TARGET vd load(const double* p) { return _mm256_loadu_pd(p); }
CIS_TARGET void store(double* p, vd v) { _mm256_storeu_pd(p, v); }
CIS_TARGET vd add(vd a, vd b) { return _mm256_add_pd(a, b); }
CIS_TARGET vd sub(vd a, vd b) { return _mm256_sub_pd(a, b); }
CIS_TARGET vd mul(vd a, vd b) { return _mm256_mul_pd(a, b); }
CIS_TARGET vd fmadd(vd a, vd b, vd c) { return _mm256_fmadd_pd(a, b, c); }
CIS_TARGET vd fnmadd(vd a, vd b, vd c) { return _mm256_fnmadd_pd(a, b, c); }
CIS_TARGET vd fmsub(vd a, vd b, vd c) { return _mm256_fmsub_pd(a, b, c); }
CIS_TARGET vd and_(vd a, vd b) { return _mm256_and_pd(a, b); }
CIS_TARGET vd or_(vd a, vd b) { return _mm256_or_pd(a, b); }
CIS_TARGET vd xor_(vd a, vd b) { return _mm256_xor_pd(a, b); }
CIS_TARGET vd andnot(vd a, vd b) { return _mm256_andnot_pd(a, b); }
CIS_TARGET vd flip_sign(vd a, vd b) { return _mm256_xor_pd(a, _mm256_and_pd(b, set(-0.0))); }
CIS_TARGET vd or_sign(vd a, vd b) { return _mm256_or_pd(a, _mm256_and_pd(b, set(-0.0))); }
CIS_TARGET vm lt(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
CIS_TARGET vm le(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
CIS_TARGET vm ge(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
CIS_TARGET vm lt_where(vm m, vd a, vd b) {
  return _mm256_and_pd(m, _mm256_cmp_pd(a, b, _CMP_LT_OQ));
}
CIS_TARGET vd select(vm m, vd if_set, vd if_clear) { return _mm256_blendv_pd(if_clear, if_set, m); }
CIS_TARGET vm mask_or(vm a, vm b) { return _mm256_or_pd(a, b); }
CIS_TARGET vm mask_xor(vm a, vm b) { return _mm256_xor_pd(a, b); }
CIS_TARGET vm mask_andnot(vm a, vm b) { return _mm256_andnot_pd(a, b); }
CIS_TARGET vd negate_where(vm m, vd a) { return _mm256_xor_pd(a, _mm256_and_pd(m, set(-0.0))); }
CIS_TARGET vd add_where(vm m, vd if_clear, vd a, vd b) {
  return select(m, _mm256_add_pd(a, b), if_clear);
}
CIS_TARGET unsigned mask_bits(vm m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
CIS_TARGET vi as_bits(vd a) { return _mm256_castpd_si256(a); }
CIS_TARGET vm bit_set(vi a, std::uint64_t bit) {
  const vi b = _mm256_set1_epi64x(static_cast<long long>(bit));
  return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(a, b), b));
}
// 128 bits from low and 128 from high, both straight from memory.
CIS_TARGET vd halves(const double* low, const double* high) {
  return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(low)), _mm_load_pd(high), 1);
}

// Lanes 0 and 2 share a register, 1 and 3 another, and one unpack per
// column finishes the transpose: an insert from memory costs a load, where
// the cross-lane permute of whole rows is eight operations on Zen 1.
CIS_TARGET table_rows look_up(const double* u) {
  const double* row[lanes];
  for (int i = 0; i < lanes; ++i) row[i] = table_row_at(u[i]);
  const vd s02 = halves(row[0], row[2]), s13 = halves(row[1], row[3]);  // sn ssn | sn ssn
  const vd c02 = halves(row[0] + 2, row[2] + 2), c13 = halves(row[1] + 2, row[3] + 2);  // cs ccs
  return {_mm256_unpacklo_pd(s02, s13), _mm256_unpackhi_pd(s02, s13), _mm256_unpacklo_pd(c02, c13),
          _mm256_unpackhi_pd(c02, c13)};
}
