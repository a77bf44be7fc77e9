// The pair sums of the programs through SLEEF's vector sincos, for the
// benchmarks only. Compiled once with -mavx2 -mfma and once with -mavx512f
// (sleef.h declares each width only where the compiler targets it); the
// benchmark calls a width only on a CPU that runs it.
#include <immintrin.h>
#include <sleef.h>

#include "sleef_sums.hpp"

namespace {

#if defined(__AVX512F__)
constexpr int lanes = 8;
using vd = __m512d;
using pair = Sleef___m512d_2;
vd set(double v) { return _mm512_set1_pd(v); }
vd load(const double* p) { return _mm512_loadu_pd(p); }
void store(double* p, vd v) { _mm512_storeu_pd(p, v); }
vd add(vd a, vd b) { return _mm512_add_pd(a, b); }
vd mul(vd a, vd b) { return _mm512_mul_pd(a, b); }
pair sincos_u10(vd x) { return Sleef_sincosd8_u10avx512f(x); }
pair sincos_u35(vd x) { return Sleef_sincosd8_u35avx512f(x); }
#define SLEEF_VARIANT(accuracy) sleef_avx512_##accuracy
#else
constexpr int lanes = 4;
using vd = __m256d;
using pair = Sleef___m256d_2;
vd set(double v) { return _mm256_set1_pd(v); }
vd load(const double* p) { return _mm256_loadu_pd(p); }
void store(double* p, vd v) { _mm256_storeu_pd(p, v); }
vd add(vd a, vd b) { return _mm256_add_pd(a, b); }
vd mul(vd a, vd b) { return _mm256_mul_pd(a, b); }
pair sincos_u10(vd x) { return Sleef_sincosd4_u10avx2(x); }
pair sincos_u35(vd x) { return Sleef_sincosd4_u35avx2(x); }
#define SLEEF_VARIANT(accuracy) sleef_avx2_##accuracy
#endif

// cis_add_pairs's loop with SLEEF's sincos (x = sin, y = cos) for the
// library's; the same adds and products, in the same order.
template <pair (*sc)(vd)>
void sum(const double* upper, const double* lower, std::size_t terms, const double* U,
         const double* W, double weight, double* re, double* im) {
  const vd w = set(weight);
  for (int b = 0; b < sleef_block; b += lanes) {
    const vd u = load(U + b), v = load(W + b);
    vd sr = load(re + b), si = load(im + b);
    for (std::size_t t = 0; t < terms; ++t) {
      const pair a = sc(add(set(upper[t]), u));
      const pair c = sc(add(set(lower[t]), v));
      sr = add(sr, mul(w, add(a.y, c.y)));
      si = add(si, mul(w, add(a.x, c.x)));
    }
    store(re + b, sr);
    store(im + b, si);
  }
}

template <pair (*sc)(vd)>
void one(const double* theta, double* cos_theta, double* sin_theta) {
  for (int b = 0; b < sleef_block; b += lanes) {
    const pair r = sc(load(theta + b));
    store(cos_theta + b, r.y);
    store(sin_theta + b, r.x);
  }
}

}  // namespace

const sleef_variant SLEEF_VARIANT(u10) = {sum<sincos_u10>, one<sincos_u10>};
const sleef_variant SLEEF_VARIANT(u35) = {sum<sincos_u35>, one<sincos_u35>};
