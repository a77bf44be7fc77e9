// The vector phasor kernel for AVX-512 (8 lanes) and AVX2 + FMA (4 lanes).
//
// Only the functions here carry the target attributes; the rest of the build
// keeps the baseline instruction set, and the dispatcher calls these only
// after checking the CPU. Every multiply-add is written out as the fused
// instruction it stands for, so no compiler contraction is involved.
#include <immintrin.h>

// g++ 12 reports the deliberately undefined upper parts inside several
// AVX-512 intrinsics as maybe-uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <cstddef>
#include <cstdint>

#include "cis.hpp"
#include "cis_detail.hpp"

#define CIS_TARGET_AVX512 __attribute__((target("avx512f,avx512dq"), always_inline)) inline
#define CIS_TARGET_AVX2 __attribute__((target("avx2,fma"), always_inline)) inline

namespace cis_detail {

namespace avx512 {

#define CIS_TARGET CIS_TARGET_AVX512

constexpr int lanes = 8;
using vd = __m512d;
using vi = __m512i;
using vm = __mmask8;

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
CIS_TARGET vm lt(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
CIS_TARGET vm le(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
CIS_TARGET vd select(vm m, vd if_set, vd if_clear) { return _mm512_mask_blend_pd(m, if_clear, if_set); }
CIS_TARGET vm mask_or(vm a, vm b) { return static_cast<vm>(a | b); }
CIS_TARGET vm mask_xor(vm a, vm b) { return static_cast<vm>(a ^ b); }
CIS_TARGET vm mask_andnot(vm a, vm b) { return static_cast<vm>(~a & b); }
CIS_TARGET vm ge(vd a, vd b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
CIS_TARGET vm lt_where(vm m, vd a, vd b) { return _mm512_mask_cmp_pd_mask(m, a, b, _CMP_LT_OQ); }
CIS_TARGET vd negate_where(vm m, vd a) { return _mm512_mask_xor_pd(a, m, a, set(-0.0)); }
CIS_TARGET vd add_where(vm m, vd if_clear, vd a, vd b) { return _mm512_mask_add_pd(if_clear, m, a, b); }
CIS_TARGET unsigned mask_bits(vm m) { return m; }
CIS_TARGET vi as_bits(vd a) { return _mm512_castpd_si512(a); }
CIS_TARGET vm bit_set(vi a, std::uint64_t bit)
{
    return _mm512_test_epi64_mask(a, _mm512_set1_epi64(static_cast<long long>(bit)));
}
// Table entry index from u = big + |a|, whose last bits count 1/128 steps.
CIS_TARGET void store_index(std::uint64_t* p, vd u)
{
    _mm512_store_si512(p, _mm512_sub_epi64(as_bits(u), _mm512_set1_epi64(static_cast<long long>(big_bits))));
}
// The entries of one vector's lanes as four vectors. Each entry is 32
// contiguous bytes, so eight 256-bit loads and a transpose beat gathers.
CIS_TARGET void look_up(const std::uint64_t* k, vd& sn, vd& ssn, vd& cs, vd& ccs)
{
    __m256d e[lanes];
    for (int i = 0; i < lanes; ++i) e[i] = _mm256_load_pd(sincos_table + 4 * k[i]);
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
    sn = _mm512_permutex2var_pd(lo01, even, lo23);
    cs = _mm512_permutex2var_pd(lo01, odd, lo23);
    ssn = _mm512_permutex2var_pd(hi01, even, hi23);
    ccs = _mm512_permutex2var_pd(hi01, odd, hi23);
}

#include "cis_vector_kernel.hpp"

#undef CIS_TARGET

}  // namespace avx512

namespace avx2 {

#define CIS_TARGET CIS_TARGET_AVX2

constexpr int lanes = 4;
using vd = __m256d;
using vi = __m256i;
using vm = __m256d;  // all-ones / all-zeros lanes

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
CIS_TARGET vm lt(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
CIS_TARGET vm le(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
CIS_TARGET vd select(vm m, vd if_set, vd if_clear) { return _mm256_blendv_pd(if_clear, if_set, m); }
CIS_TARGET vm mask_or(vm a, vm b) { return _mm256_or_pd(a, b); }
CIS_TARGET vm mask_xor(vm a, vm b) { return _mm256_xor_pd(a, b); }
CIS_TARGET vm mask_andnot(vm a, vm b) { return _mm256_andnot_pd(a, b); }
CIS_TARGET vm ge(vd a, vd b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
CIS_TARGET vm lt_where(vm m, vd a, vd b) { return _mm256_and_pd(m, _mm256_cmp_pd(a, b, _CMP_LT_OQ)); }
CIS_TARGET vd negate_where(vm m, vd a) { return _mm256_xor_pd(a, _mm256_and_pd(m, set(-0.0))); }
CIS_TARGET vd add_where(vm m, vd if_clear, vd a, vd b) { return select(m, _mm256_add_pd(a, b), if_clear); }
CIS_TARGET unsigned mask_bits(vm m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
CIS_TARGET vi as_bits(vd a) { return _mm256_castpd_si256(a); }
CIS_TARGET vm bit_set(vi a, std::uint64_t bit)
{
    const vi b = _mm256_set1_epi64x(static_cast<long long>(bit));
    return _mm256_castsi256_pd(_mm256_cmpeq_epi64(_mm256_and_si256(a, b), b));
}
CIS_TARGET void store_index(std::uint64_t* p, vd u)
{
    _mm256_store_si256(reinterpret_cast<__m256i*>(p),
                       _mm256_sub_epi64(as_bits(u), _mm256_set1_epi64x(static_cast<long long>(big_bits))));
}
CIS_TARGET void look_up(const std::uint64_t* k, vd& sn, vd& ssn, vd& cs, vd& ccs)
{
    const vd r0 = _mm256_load_pd(sincos_table + 4 * k[0]);
    const vd r1 = _mm256_load_pd(sincos_table + 4 * k[1]);
    const vd r2 = _mm256_load_pd(sincos_table + 4 * k[2]);
    const vd r3 = _mm256_load_pd(sincos_table + 4 * k[3]);
    const vd lo01 = _mm256_unpacklo_pd(r0, r1);  // sn0 sn1 cs0 cs1
    const vd hi01 = _mm256_unpackhi_pd(r0, r1);  // ssn0 ssn1 ccs0 ccs1
    const vd lo23 = _mm256_unpacklo_pd(r2, r3);
    const vd hi23 = _mm256_unpackhi_pd(r2, r3);
    sn = _mm256_permute2f128_pd(lo01, lo23, 0x20);
    cs = _mm256_permute2f128_pd(lo01, lo23, 0x31);
    ssn = _mm256_permute2f128_pd(hi01, hi23, 0x20);
    ccs = _mm256_permute2f128_pd(hi01, hi23, 0x31);
}

#include "cis_vector_kernel.hpp"

#undef CIS_TARGET

}  // namespace avx2

__attribute__((target("avx512f,avx512dq"))) void avx512_kernel(const double* theta,
                                                                 double* cos_theta,
                                                                 double* sin_theta,
                                                                 std::size_t count)
{
    avx512::kernel(theta, cos_theta, sin_theta, count);
}

__attribute__((target("avx2,fma"))) void avx2_kernel(const double* theta, double* cos_theta,
                                                      double* sin_theta, std::size_t count)
{
    avx2::kernel(theta, cos_theta, sin_theta, count);
}

__attribute__((target("avx512f,avx512dq"))) void avx512_add(const double* upper,
                                                              const double* lower,
                                                              std::size_t terms, const double* U,
                                                              const double* W, double weight,
                                                              double* re, double* im)
{
    // 1.0 * v is v itself, NaN included: the product can go.
    if (lower && weight == 1.0)
        avx512::accumulate<true, true>(upper, lower, terms, U, W, weight, re, im);
    else if (lower)
        avx512::accumulate<true, false>(upper, lower, terms, U, W, weight, re, im);
    else if (weight == 1.0)
        avx512::accumulate<false, true>(upper, lower, terms, U, W, weight, re, im);
    else
        avx512::accumulate<false, false>(upper, lower, terms, U, W, weight, re, im);
}

__attribute__((target("avx2,fma"))) void avx2_add(const double* upper, const double* lower,
                                                   std::size_t terms, const double* U,
                                                   const double* W, double weight, double* re,
                                                   double* im)
{
    // 1.0 * v is v itself, NaN included: the product can go.
    if (lower && weight == 1.0)
        avx2::accumulate<true, true>(upper, lower, terms, U, W, weight, re, im);
    else if (lower)
        avx2::accumulate<true, false>(upper, lower, terms, U, W, weight, re, im);
    else if (weight == 1.0)
        avx2::accumulate<false, true>(upper, lower, terms, U, W, weight, re, im);
    else
        avx2::accumulate<false, false>(upper, lower, terms, U, W, weight, re, im);
}

}  // namespace cis_detail
