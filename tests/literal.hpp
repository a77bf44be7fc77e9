// An independent, literal evaluation of the bench, written out from the
// formulas: the programs' results must match it bit for bit. It shares no
// code with common/: a bench is a plain set of values, and the default
// instance spells the configured numbers out.
#pragma once

#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <string>

namespace literal {

using cplx = std::complex<double>;

inline std::uint64_t bits(double v) { return std::bit_cast<std::uint64_t>(v); }

inline std::string g(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// The math library's pow itself, beyond the compiler's reach: folded into a
// multiplication, pow(a, 2.0) would differ in the last bit now and then.
inline double (*volatile const library_pow)(double, double) = std::pow;

inline constexpr double pi = 3.14159265358979;

// A bench; the default instance is the one the build is configured with
// when every value is the registry's.
struct values {
  double wavelength = 6.37e-4, source_width = 5.0, entrance_width = 0.8, pair_slit_width = 0.15,
         pair_separation = 0.5, source_distance = 70.0, pair_distance = 200.0,
         screen_distance = 500.0, led_sigma = 12.5;
  int source_samples = 100, entrance_samples = 100, pair_samples = 100;
  bool fresnel = false;   // the textbook hop k (p - q)^2 / 2L, else k p (p - q) / L
  bool midpoint = false;  // samples centred in their steps, else from the lower edge

  double k() const { return (pi + pi) / wavelength; }
  double single_distance() const { return pair_distance + screen_distance; }
  double offset(int j) const { return midpoint ? j + 0.5 : j; }
  double sample(double width, int n, int j) const {
    return (offset(j) * (width / n)) + ((-width) / 2.0);
  }
  double source(int j) const { return sample(source_width, source_samples, j); }
  double slit(int n) const { return sample(entrance_width, entrance_samples, n); }
  double upper(int m) const {
    return (offset(m) * (pair_slit_width / pair_samples)) +
           ((pair_separation / 2.0) - (pair_slit_width / 2.0));
  }
  // One hop from p to q, L further; the point on the earlier plane is the
  // multiplier of the classic phase.
  double hop(double p, double q, double L) const {
    if (fresnel) return (((p - q) * (p - q)) * k()) / (2.0 * L);
    return ((p - q) * (k() * p)) / L;
  }
  // The LED programs meet at the first-slit point s: classic folds the two
  // quotients into one product with k s, fresnel adds the hops.
  double led_hops(double d, double s, double q, double L1, double L2) const {
    if (fresnel) return hop(d, s, L1) + hop(s, q, L2);
    return ((s - d) / L1 + (s - q) / L2) * (k() * s);
  }
  double led(double x) const {
    const double c = (1.0 / std::sqrt(pi + pi)) / led_sigma;
    return std::exp(-0.5 * library_pow(x / led_sigma, 2.0)) * c;
  }
};

inline const values default_bench;

inline cplx e(double phase) { return std::exp(cplx(0.0, phase)); }

inline double screen(int i, double count, double max) { return ((i * (max - 0.0)) / count) + 0.0; }

// Each program's value at screen position x on a bench.
inline double monogap_at(const values& v, double x) {
  cplx A = 0;
  for (int n = 0; n < v.entrance_samples; ++n) A += e(v.hop(v.slit(n), x, v.single_distance()));
  A /= double(v.entrance_samples);
  return std::abs(A);
}

inline double duogap_at(const values& v, double x) {
  cplx A = 0;
  for (int m = 0; m < v.pair_samples; ++m) {
    const double y = v.upper(m);
    const double U = v.hop(y, x, v.screen_distance), W = v.hop(-y, x, v.screen_distance);
    for (int n = 0; n < v.entrance_samples; ++n) {
      const double s = v.slit(n);
      A += e(v.hop(s, y, v.pair_distance) + U) + e(v.hop(s, -y, v.pair_distance) + W);
    }
  }
  A /= 2.0 * v.pair_samples * v.entrance_samples;
  return std::abs(A);
}

inline double broad_monogap_at(const values& v, double x) {
  cplx A = 0;
  for (int n = 0; n < v.entrance_samples; ++n) {
    const double s = v.slit(n);
    const double P = v.hop(s, x, v.single_distance());
    for (int j = 0; j < v.source_samples; ++j) A += e(v.hop(v.source(j), s, v.source_distance) + P);
  }
  A /= double(v.source_samples) * v.entrance_samples;
  return std::abs(A);
}

inline double broad_duogap_at(const values& v, double x) {
  cplx A = 0;
  for (int m = 0; m < v.pair_samples; ++m) {
    const double y = v.upper(m);
    const double U = v.hop(y, x, v.screen_distance), W = v.hop(-y, x, v.screen_distance);
    for (int n = 0; n < v.entrance_samples; ++n) {
      const double s = v.slit(n);
      const double Qu = v.hop(s, y, v.pair_distance), Ql = v.hop(s, -y, v.pair_distance);
      for (int j = 0; j < v.source_samples; ++j) {
        const double R = v.hop(v.source(j), s, v.source_distance);
        A += e((R + Qu) + U) + e((R + Ql) + W);
      }
    }
  }
  A /= 2.0 * v.source_samples * v.entrance_samples * v.pair_samples;
  return std::abs(A);
}

// The LED programs' intensities before the normalisation to the axis.
inline double conv_monogap_intensity_at(const values& v, double x) {
  double I = 0;
  for (int j = 0; j < v.source_samples; ++j) {
    const double d = v.source(j);
    cplx A = 0;
    for (int n = 0; n < v.entrance_samples; ++n) {
      const double s = v.slit(n);
      A += v.led(d) * e(v.led_hops(d, s, x, v.source_distance, v.single_distance()));
    }
    I += library_pow(std::abs(A), 2.0);
  }
  return I / v.source_samples;
}

inline double conv_duogap_intensity_at(const values& v, double x) {
  double I = 0;
  for (int j = 0; j < v.source_samples; ++j) {
    const double d = v.source(j);
    const double weight = v.led(d) * (v.source_width / v.source_samples);
    cplx A = 0;
    for (int m = 0; m < v.pair_samples; ++m) {
      const double y = v.upper(m);
      const double U = v.hop(y, x, v.screen_distance), W = v.hop(-y, x, v.screen_distance);
      for (int n = 0; n < v.entrance_samples; ++n) {
        const double s = v.slit(n);
        const double Qu = v.led_hops(d, s, y, v.source_distance, v.pair_distance);
        const double Ql = v.led_hops(d, s, -y, v.source_distance, v.pair_distance);
        A += weight * (e(Qu + U) + e(Ql + W));
      }
    }
    I += library_pow(std::abs(A), 2.0);
  }
  return I;
}

// The default bench by screen index, on each program's own screen.
inline const double k = default_bench.k();
inline double source(int j) { return default_bench.source(j); }
inline double slit(int n) { return default_bench.slit(n); }
inline double upper(int m) { return default_bench.upper(m); }
inline double led(double x) { return default_bench.led(x); }
inline double monogap(int i) { return monogap_at(default_bench, screen(i, 10000.0, 20.0)); }
inline double duogap(int i) { return duogap_at(default_bench, screen(i, 1000.0, 4.0)); }
inline double broad_monogap(int i) {
  return broad_monogap_at(default_bench, screen(i, 1000.0, 20.0));
}
inline double broad_duogap(int i) { return broad_duogap_at(default_bench, screen(i, 1000.0, 4.0)); }
inline double conv_monogap_intensity(int i) {
  return conv_monogap_intensity_at(default_bench, screen(i, 1000.0, 20.0));
}
inline double conv_duogap_intensity(int i) {
  return conv_duogap_intensity_at(default_bench, screen(i, 1000.0, 4.0));
}

}  // namespace literal
