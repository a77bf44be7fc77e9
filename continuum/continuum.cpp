// continuum [OPTION]... PROGRAM: what PROGRAM would print if its apertures
// were continuous, on the program's own screen grid, one "x value" line per
// point. It takes the programs' bench options.
//
// With --check it prints instead the largest change of any value when every
// quadrature's nodes are doubled: the error of the quadrature.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "driver.hpp"
#include "limits.hpp"

int main(int argc, char** argv) {
  const auto c = read_command_line(argc, argv, "continuum", command_kind::continuum);
  if (!c) return 2;
  if (c->what != command_line::action::run) {
    std::cout << (c->what == command_line::action::help
                      ? help_text("continuum", command_kind::continuum)
                  : c->what == command_line::action::version ? version_text("continuum")
                                                             : bench_lines(c->b));
  } else {
    const program_info& p = *find_program(c->operands[0]);
    const std::vector<double> x = continuum::screen_points(c->b, p);
    const std::vector<double> value = continuum::continuum_values(c->b, p, x);
    if (c->check) {
      const std::vector<double> finer = continuum::continuum_values(c->b, p, x, 2);
      double largest = 0;
      for (std::size_t i = 0; i < x.size(); ++i)
        largest = std::max(largest, std::abs(finer[i] - value[i]));
      std::printf("%.3g\n", largest);
    } else {
      std::cout.precision(c->precision);
      for (std::size_t i = 0; i < x.size(); ++i) write_pair_line(std::cout, x[i], value[i]);
    }
  }
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
    std::fprintf(stderr, "continuum: cannot write standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return 0;
}
