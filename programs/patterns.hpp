// The pattern programs' loops, one factory per program, for the programs'
// main, the tests, the benchmarks and the modules.
#pragma once

#include "driver.hpp"
#include "setup.hpp"

// Each program's loop: the literal sums, one exponential per path; and the
// same sums plane by plane (--method propagate), through the setup engine.
#define SLITS_PROGRAM(name, ...)          \
  block_loop name##_loop(const bench& b); \
  block_loop name##_propagate(const bench& b);
#include "registry.def"

// The factory of a pattern program's loop, by the bench's method; null for
// ledcurve.
loop_factory pattern_loop(program_id id);

// A program's whole run, as its main: the shared driver with the program's
// registry entry and its loop.
int run_program(int argc, char** argv, program_id id);
