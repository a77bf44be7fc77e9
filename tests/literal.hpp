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
inline std::string g17(double v) {
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

// The math library's pow itself, beyond the compiler's reach: folded into a
// multiplication, pow(a, 2.0) would differ in the last bit now and then.
inline double (*volatile const library_pow)(double, double) = std::pow;

inline constexpr double pi = 3.14159265358979;

// The exact scalar hop of a long slit against its value on the axis:
// (L/R)^(3/2) |S(kR) / S(kL)| and k (R - L) + arg S(kR) - arg S(kL), S the
// slowly varying part of the Hankel function H1, through the series in 1/w
// of its squared modulus and its phase (DLMF 10.18.17, 10.18.18) from
// w = 100 on, below that through j1 and y1.
struct hop_factor {
  double gain, phase;
};
inline hop_factor hankel_part(double w) {
  if (w >= 100) {
    const double u = 1.0 / w, v = u * u;
    return {1.0 + v * (0.375 + v * (-45.0 / 128 + v * (1575.0 / 1024 + v * (-496125.0 / 32768)))),
            u * (0.375 + v * (-21.0 / 128 + v * (1899.0 / 5120 + v * (-543483.0 / 229376))))};
  }
  const double J = ::j1(w), Y = ::y1(w), two_pi = 2.0 * M_PI;
  const double t = std::atan2(Y, J) + ((0.75 * M_PI) - w);
  return {((M_PI * w) / 2.0) * ((J * J) + (Y * Y)), t - two_pi * std::nearbyint(t / two_pi)};
}
inline hop_factor rs(double k, double p, double q, double L) {
  const double d = q - p, R = std::sqrt((d * d) + (L * L)), r = L / R;
  const hop_factor far = hankel_part(k * R), axis = hankel_part(k * L);
  return {std::sqrt(((r * r) * r) * (far.gain / axis.gain)),
          (((d * d) * k) / (R + L)) + (far.phase - axis.phase)};
}

// The models of one hop.
enum class model { classic, fresnel, fraunhofer, rs };

// A bench; the default instance is the one the build is configured with
// when every value is the registry's.
struct values {
  double wavelength = 6.37e-4, source_width = 5.0, entrance_width = 0.8, pair_slit_width = 0.15,
         pair_separation = 0.5, source_distance = 70.0, pair_distance = 200.0,
         screen_distance = 500.0, led_sigma = 12.5;
  int source_samples = 100, entrance_samples = 100, pair_samples = 100;
  literal::model model = model::classic;
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
  // classic k p (p - q) / L; fresnel k (p - q)^2 / 2L; fraunhofer
  // k q (q - 2p) / 2L; rs as above.
  double hop(double p, double q, double L) const {
    switch (model) {
      case model::classic:
        return ((p - q) * (k() * p)) / L;
      case model::fresnel:
        return (((p - q) * (p - q)) * k()) / (2.0 * L);
      case model::fraunhofer:
        return (((q - (p + p)) * q) * k()) / (2.0 * L);
      case model::rs:
        return rs(k(), p, q, L).phase;
    }
    return 0;
  }
  // A hop's amplitude: 1 but in rs.
  double gain(double p, double q, double L) const {
    return model == model::rs ? rs(k(), p, q, L).gain : 1.0;
  }
  // The LED programs meet at the first-slit point s: classic folds the two
  // quotients into one product with k s, the others add the hops.
  double led_hops(double d, double s, double q, double L1, double L2) const {
    if (model != model::classic) return hop(d, s, L1) + hop(s, q, L2);
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
  const double L = v.single_distance();
  for (int n = 0; n < v.entrance_samples; ++n)
    A += v.gain(v.slit(n), x, L) * e(v.hop(v.slit(n), x, L));
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
      const double upper = v.gain(s, y, v.pair_distance) * v.gain(y, x, v.screen_distance);
      const double lower = v.gain(s, -y, v.pair_distance) * v.gain(-y, x, v.screen_distance);
      A += upper * e(v.hop(s, y, v.pair_distance) + U) +
           lower * e(v.hop(s, -y, v.pair_distance) + W);
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
    for (int j = 0; j < v.source_samples; ++j) {
      const double gain =
          v.gain(v.source(j), s, v.source_distance) * v.gain(s, x, v.single_distance());
      A += gain * e(v.hop(v.source(j), s, v.source_distance) + P);
    }
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
        const double a = v.gain(v.source(j), s, v.source_distance);
        const double upper = (a * v.gain(s, y, v.pair_distance)) * v.gain(y, x, v.screen_distance);
        const double lower =
            (a * v.gain(s, -y, v.pair_distance)) * v.gain(-y, x, v.screen_distance);
        A += upper * e((R + Qu) + U) + lower * e((R + Ql) + W);
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
      const double a = v.gain(d, s, v.source_distance) * v.gain(s, x, v.single_distance());
      A += v.led(d) * (a * e(v.led_hops(d, s, x, v.source_distance, v.single_distance())));
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
        const double a = v.gain(d, s, v.source_distance);
        const double upper = (a * v.gain(s, y, v.pair_distance)) * v.gain(y, x, v.screen_distance);
        const double lower =
            (a * v.gain(s, -y, v.pair_distance)) * v.gain(-y, x, v.screen_distance);
        A += weight * (upper * e(Qu + U) + lower * e(Ql + W));
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
