// The LED's emission profile as a two-column table on standard output.
#include <iostream>

#include "bench.hpp"

int main() {
  prepare_output("ledcurve");
  int status = 0;
  for (int i = -500; i < 500; ++i) {
    const double x = i * 0.1;  // multiplied, not divided by 10
    write_pair_line(std::cout, x, LED(x));
    status = standard_output_status("ledcurve");  // a failure is told as it happens
  }
  return status;
}
