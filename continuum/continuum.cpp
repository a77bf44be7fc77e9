// continuum PROGRAM: what PROGRAM would print if its apertures were
// continuous, on the program's own screen grid, one "x value" line per point.
//
// continuum --check PROGRAM prints instead the largest change of any value
// when every quadrature's nodes are doubled: the error of the quadrature.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "patterns.hpp"

int main(int argc, char** argv) {
  const bool check = argc == 3 && std::string_view(argv[1]) == "--check";
  const auto which = argc == 2 || check ? continuum::program_named(argv[argc - 1]) : std::nullopt;
  if (!which) {
    std::fputs(
        "usage: continuum monogap|duogap|broad_monogap|broad_duogap|conv_monogap|conv_duogap\n",
        stderr);
    return 2;
  }
  const continuum::bench_geometry bench = continuum::configured_bench();
  const std::vector<double> x = continuum::screen_points(continuum::screen_of(bench, *which));
  const std::vector<double> value = continuum::continuum_values(bench, *which, x);
  if (check) {
    const std::vector<double> finer = continuum::continuum_values(bench, *which, x, 2);
    double largest = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
      largest = std::max(largest, std::abs(finer[i] - value[i]));
    std::printf("%.3g\n", largest);
  } else {
    for (std::size_t i = 0; i < x.size(); ++i) std::printf("%.17g %.17g\n", x[i], value[i]);
  }
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "continuum: cannot write standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}
