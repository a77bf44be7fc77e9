// A program as its main, the tests, the benchmarks and the modules take it:
// its loop by the bench's method, and its whole run.
#pragma once

#include "bench.hpp"
#include "blocks.hpp"
#include "run.hpp"

// The factory of a pattern program's loop, by the bench's method; null for
// the profile program.
loop_factory pattern_loop(program_id id);

// A program's whole run, as its main: the shared run with the program's
// registry entry and its loop.
int run_program(int argc, char** argv, program_id id);
