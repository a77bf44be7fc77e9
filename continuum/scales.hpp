// The bench's own scales, which the validation report predicts and then
// measures: the sample counts that resolve each program's phases, the
// periods at which sampled sums repeat, where the first slit's image falls,
// the textbook chain equal to the classic one, Fresnel numbers, and how the
// first slit lights a plane behind it.
#pragma once

#include <complex>
#include <string>

#include "bench.hpp"

namespace continuum {

// L' = L2 + L3: the single-slit programs' screen behind the first slit.
double single_screen_distance(const bench& b);

// N*: the count below which the path's phase changes by 2 pi or more
// between neighbouring samples of the limiting aperture somewhere, so that
// the sum's aliases have stationary points and contribute at full strength.
// The largest slope of the phase over that aperture, taken through the
// bench's own hop phases against the corners of the other apertures and of
// the screen (the phases are quadratic, so each slope is linear in the other
// variables).
struct limiting_aperture {
  std::string name;  // "first slit" or "source"
  double nstar;
};
limiting_aperture resolving_count(const bench& b, const program_info& p);

// λLN/(2 w_s): how far a plane L behind the first slit the first ghost of a
// source strip sampled N times lands (classic hops). The aliased source sum
// tilts the wave on the first slit by π s/Δ, Δ = w_s/N, and the hop onwards
// turns the tilt into this shift: broad_monogap's ghost period for L = L'.
double ghost_shift(const bench& b, double L, int source_samples);

// λLN/w₁: the period in x of |sum| over N samples of the first slit, on a
// plane L behind it, in either phase model and sampling rule: a shift by it
// turns every sample's phase by the same amount, modulo 2 pi.
double first_slit_repeat(const bench& b, double L, int entrance_samples);

// w₁(1 − L/(4 L1)): where, on a plane L behind the first slit, the light of
// the coherent source strip through the first slit's upper edge arrives
// (classic hops; the source is stationary at d = s/2). The half-width of the
// first slit's image, inverted where negative.
double first_slit_image(const bench& b, double L);

// The source count above which broad_monogap's first ghost has left the
// screen: ghost_shift(L') − |image| > the screen's end.
double first_ghost_offscreen(const bench& b);

// The classic chain first slit → double slit → screen is the textbook one
// with the double slit at half its size, pair_distance behind the first slit
// and the screen screen_distance behind the double slit, read at scale · x:
// L2' = L2/2, 1/L3' = 8/L3 − 2/L2, x' = 2 L3' x / L3, up to a phase of x alone.
struct textbook_chain {
  double pair_distance, screen_distance, scale;
};
textbook_chain textbook_equivalent(const bench& b);

// (w/2)^2 / (λL): a slit of width w seen from L, in half-period zones.
double fresnel_number(const bench& b, double width, double L);

// The mean wave over the first slit arriving at y on the plane L behind it,
// by Gauss-Legendre quadrature of the bench's own hop phase.
std::complex<double> first_slit_wave(const bench& b, double y, double L);

// The centre of [lo, lo + width] on the plane L behind the first slit,
// weighted by the modulus of the first slit's wave there: where a slit so lit
// acts as a point.
double lit_centre(const bench& b, double lo, double width, double L);

}  // namespace continuum
