// continuum [OPTION]... PROGRAM: what PROGRAM would print if its apertures
// were continuous, on the program's own screen grid, one "x value" line per
// point. It takes the programs' bench options; their sample counts, sampling
// and method are part of the program's bench and change nothing here.
//
// With --check it prints instead the largest change of any value when every
// quadrature's nodes are doubled: the error of the quadrature.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "command_line.hpp"
#include "limits.hpp"
#include "run.hpp"

namespace {

// The run: lines up to the first value that is not finite, which ends it
// by non_finite_value.
void compute(const command_line& c) {
  const program_info& p = *find_program(c.operands[0]);
  const std::vector<double> x = continuum::screen_points(c.b, p);
  const std::vector<double> value = continuum::continuum_values(c.b, p, x);
  if (c.check) {
    const std::vector<double> finer = continuum::continuum_values(c.b, p, x, 2);
    double largest = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
      check_finite(x[i], value[i]);
      check_finite(x[i], finer[i]);
      largest = std::max(largest, std::abs(finer[i] - value[i]));
    }
    std::printf("%.3g\n", largest);
    return;
  }
  std::cout.precision(c.precision);
  for (std::size_t i = 0; i < x.size(); ++i) {
    check_finite(x[i], value[i]);
    write_pair_line(std::cout, x[i], value[i]);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto c = read_command_line(argc, argv, "continuum", command_kind::continuum);
  if (!c) return 2;
  int status = 0;
  if (c->what != command_line::action::run) {
    std::cout << (c->what == command_line::action::help
                      ? help_text("continuum", command_kind::continuum)
                  : c->what == command_line::action::version ? version_text("continuum")
                                                             : bench_lines(c->b));
  } else {
    try {
      compute(*c);
    } catch (const std::exception& failure) {
      std::fprintf(stderr, "continuum: error: %s\n", failure.what());
      status = 1;
    }
  }
  std::cout.flush();
  if (std::fflush(stdout) != 0 || std::ferror(stdout) || !std::cout) {
    std::fprintf(stderr, "continuum: cannot write standard output: %s\n", std::strerror(errno));
    return 1;
  }
  return status;
}
