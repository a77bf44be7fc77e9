// The pattern programs' loops, one factory per program; each program's file
// sees the bench, the blocked sums and the propagate method, never the
// command line or the run.
#pragma once

#include "bench.hpp"
#include "blocks.hpp"
#include "propagate.hpp"

// Each program's loop: the literal sums, one exponential per path; and the
// same sums plane by plane (--method propagate).
#define SLITS_PROGRAM(name, ...)          \
  block_loop name##_loop(const bench& b); \
  block_loop name##_propagate(const bench& b);
#include "registry.def"
