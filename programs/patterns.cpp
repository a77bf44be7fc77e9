#include "program_run.hpp"

#include "patterns.hpp"

namespace {

// Each program's loop by the bench's method.
#define SLITS_PROGRAM(name, ...)                               \
  block_loop name##_by_method(const bench& b) {                \
    return b.propagate ? name##_propagate(b) : name##_loop(b); \
  }
#include "registry.def"

}  // namespace

loop_factory pattern_loop(program_id id) {
  switch (id) {
#define SLITS_PROGRAM(name, ...) \
  case program_id::name:         \
    return name##_by_method;
#include "registry.def"
    default:
      return nullptr;
  }
}

int run_program(int argc, char** argv, program_id id) {
  if (const loop_factory make = pattern_loop(id))
    return run_pattern_program(argc, argv, program(id), make, preset_text);
  return run_profile_program(argc, argv, program(id));
}
