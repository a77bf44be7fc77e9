// An independent, literal evaluation of the bench, written out from the
// formulas with the numbers spelled out: the programs' results must match it
// bit for bit. Deliberately shares no code with common/.
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

inline const double k = (3.14159265358979 + 3.14159265358979) / 6.37e-4;

inline double source(int j) { return (j * (5.0 / 100.0)) + ((-5.0) / 2.0); }
inline double slit(int n) { return (n * (0.8 / 100.0)) + ((-0.8) / 2.0); }
inline double upper(int m) { return (m * (0.15 / 100.0)) + ((0.5 / 2.0) - (0.15 / 2.0)); }
inline double screen(int i, double count, double max) { return ((i * (max - 0.0)) / count) + 0.0; }

inline double led(double x) {
  const double c = (1.0 / std::sqrt(3.14159265358979 + 3.14159265358979)) / 12.5;
  return std::exp(-0.5 * library_pow(x / 12.5, 2.0)) * c;
}

inline cplx e(double phase) { return std::exp(cplx(0.0, phase)); }

inline double monogap(int i) {
  const double x = screen(i, 10000.0, 20.0);
  cplx A = 0;
  for (int n = 0; n < 100; ++n) A += e(((slit(n) - x) * (k * slit(n))) / 700.0);
  A /= 100.0;
  return std::abs(A);
}

inline double duogap(int i) {
  const double x = screen(i, 1000.0, 4.0);
  cplx A = 0;
  for (int m = 0; m < 100; ++m) {
    const double y = upper(m);
    const double U = ((y - x) * (k * y)) / 500.0;
    const double W = ((-y - x) * ((-y) * k)) / 500.0;
    for (int n = 0; n < 100; ++n) {
      const double s = slit(n);
      const double Qu = ((s - y) * (k * s)) / 200.0;
      const double Ql = ((s + y) * (k * s)) / 200.0;
      A += e(Qu + U) + e(Ql + W);
    }
  }
  A /= 20000.0;
  return std::abs(A);
}

inline double broad_monogap(int i) {
  const double x = screen(i, 1000.0, 20.0);
  cplx A = 0;
  for (int n = 0; n < 100; ++n) {
    const double s = slit(n);
    const double P = ((s - x) * (k * s)) / 700.0;
    for (int j = 0; j < 100; ++j) {
      const double d = source(j);
      A += e(((d - s) * (k * d)) / 70.0 + P);
    }
  }
  A /= 10000.0;
  return std::abs(A);
}

inline double broad_duogap(int i) {
  const double x = screen(i, 1000.0, 4.0);
  cplx A = 0;
  for (int m = 0; m < 100; ++m) {
    const double y = upper(m);
    const double U = ((y - x) * (k * y)) / 500.0;
    const double W = ((-y - x) * ((-y) * k)) / 500.0;
    for (int n = 0; n < 100; ++n) {
      const double s = slit(n);
      const double Qu = ((s - y) * (k * s)) / 200.0;
      const double Ql = ((s + y) * (k * s)) / 200.0;
      for (int j = 0; j < 100; ++j) {
        const double d = source(j);
        const double R = ((d - s) * (k * d)) / 70.0;
        A += e((R + Qu) + U) + e((R + Ql) + W);
      }
    }
  }
  A /= 2000000.0;
  return std::abs(A);
}

// Intensity of conv_monogap at screen index i, before normalisation.
inline double conv_monogap_intensity(int i) {
  const double x = screen(i, 1000.0, 20.0);
  double I = 0;
  for (int j = 0; j < 100; ++j) {
    const double d = source(j);
    cplx A = 0;
    for (int n = 0; n < 100; ++n) {
      const double s = slit(n);
      A += led(d) * e(((s - d) / 70.0 + (s - x) / 700.0) * (k * s));
    }
    I += library_pow(std::abs(A), 2.0);
  }
  return I / 100.0;
}

inline double conv_duogap_intensity(int i) {
  const double x = screen(i, 1000.0, 4.0);
  double I = 0;
  for (int j = 0; j < 100; ++j) {
    const double d = source(j);
    const double weight = led(d) * 0.05;
    cplx A = 0;
    for (int m = 0; m < 100; ++m) {
      const double y = upper(m);
      const double U = ((y - x) * (k * y)) / 500.0;
      const double W = ((-y - x) * ((-y) * k)) / 500.0;
      for (int n = 0; n < 100; ++n) {
        const double s = slit(n);
        const double Qu = ((s - d) / 70.0 + (s - y) / 200.0) * (k * s);
        const double Ql = ((s - d) / 70.0 + (s + y) / 200.0) * (k * s);
        A += weight * (e(Qu + U) + e(Ql + W));
      }
    }
    I += library_pow(std::abs(A), 2.0);
  }
  return I;
}

}  // namespace literal
