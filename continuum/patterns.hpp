// The value each pattern program would print if its apertures were
// continuous: every mean over samples becomes the mean over the aperture.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace continuum {

struct screen_grid {
  int count;
  double max;  // never itself a screen point
};

// Everything the continuum needs to know of the bench.
struct bench_geometry {
  double wavenumber;
  double source_width, entrance_width, pair_slit_width, pair_separation;
  double source_distance, pair_distance, screen_distance;
  screen_grid monogap, duogap, broad_monogap, broad_duogap, conv_monogap, conv_duogap;
  // Every hop k (p - q)^2 / (2L) instead of the programs' own phase forms.
  bool fresnel;
};

// The bench the programs are built with.
bench_geometry configured_bench();

enum class program { monogap, duogap, broad_monogap, broad_duogap, conv_monogap, conv_duogap };

std::optional<program> program_named(std::string_view name);

screen_grid screen_of(const bench_geometry& bench, program which);

// The program's screen points, formed exactly as the program forms them.
std::vector<double> screen_points(screen_grid grid);

// The continuum value at each screen coordinate in `x`: the modulus of the
// mean amplitude for the coherent programs, for the LED programs the
// intensity relative to the first point of the program's own screen.
// `refine` multiplies every quadrature's node count.
std::vector<double> continuum_values(const bench_geometry& bench, program which,
                                     const std::vector<double>& x, int refine = 1);

}  // namespace continuum
