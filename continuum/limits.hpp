// The value each pattern program would print if its apertures were
// continuous: every mean over samples becomes the mean over the aperture.
#pragma once

#include <vector>

#include "bench.hpp"

namespace continuum {

// The program's screen points, formed exactly as the program forms them.
std::vector<double> screen_points(const bench& b, const program_info& p);

// The continuum value at each screen coordinate in `x`: the modulus of the
// mean amplitude for the coherent programs, for the LED programs the
// intensity relative to the first point of the program's own screen.
// `refine` multiplies every quadrature's node count.
// Every hop is k (p - q)^2 / (2L) in the fresnel phase model, else the
// programs' own phase forms.
std::vector<double> continuum_values(const bench& b, const program_info& p,
                                     const std::vector<double>& x, int refine = 1);

}  // namespace continuum
