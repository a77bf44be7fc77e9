#include "patterns.hpp"

loop_factory pattern_loop(program_id id) {
  switch (id) {
#define SLITS_PROGRAM(name, ...) \
  case program_id::name:         \
    return name##_loop;
#include "registry.def"
    default:
      return nullptr;
  }
}

int run_program(int argc, char** argv, program_id id) {
  if (const loop_factory make = pattern_loop(id))
    return run_pattern_program(argc, argv, program(id), make);
  return run_profile_program(argc, argv);
}
