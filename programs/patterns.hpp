// The pattern programs' loops, one factory per program; each program's file
// sees the bench, the blocked sums, the propagate method and the setup
// engine, never the command line or the run.
#pragma once

#include "bench.hpp"
#include "blocks.hpp"
#include "propagate.hpp"
#include "setup.hpp"

// Each program's loop: the literal sums, one exponential per path; and the
// same sums plane by plane (--method propagate), through the setup engine.
#define SLITS_PROGRAM(name, ...)          \
  block_loop name##_loop(const bench& b); \
  block_loop name##_propagate(const bench& b);
#include "registry.def"
