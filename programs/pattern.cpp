// The pattern of any setup read from a file, with the programs' command
// line: bench options override the file's lines, and bad input, in the
// options or in the file, exits with status 2 before any file is written.
// With --coherence it prints the degree of coherence instead, and writes
// no data file.
#include <cmath>
#include <cstdio>

#include "command_line.hpp"
#include "run.hpp"
#include "setup.hpp"

int main(int argc, char** argv) {
  constexpr std::string_view name = "pattern";
  const auto c = read_command_line(argc, argv, name, command_kind::setup);
  if (!c) return 2;
  if (c->what == command_line::action::help || c->what == command_line::action::version)
    return print_answer(*c, name, command_kind::setup);

  setup s = c->setup_file.empty() ? default_setup() : empty_setup();
  std::string why = c->setup_file.empty() ? "" : read_setup_file(c->setup_file, s);
  if (why.empty()) {
    for (const auto& [p, value] : c->given) set_parameter(s, *p, value);  // each taken already
    s.b.derive();
    why = check_setup(s);
  }
  if (why.empty() && c->what == command_line::action::coherence)
    if (const std::string bad = coherence_refusal(s, c->coherence_plane); !bad.empty())
      why = (c->coherence_plane > 0 ? "--coherence-plane: " : "--coherence: ") + bad;
  if (!why.empty()) {
    tell_refusal(name, why);
    return 2;
  }
  if (c->what == command_line::action::print_setup)
    return print_answer(*c, name, command_kind::setup, setup_text(s));
  if (c->what == command_line::action::coherence) {
    const double gamma =
        coherence_degree(s, c->coherence_points[0], c->coherence_points[1], c->coherence_plane);
    if (!std::isfinite(gamma)) {
      // The light's intensity is zero at a point, so gamma12 is 0 / 0.
      std::fputs("pattern: error: |gamma12| is undefined: no light reaches X1 or X2\n", stderr);
      return 1;
    }
    char line[64];
    std::snprintf(line, sizeof line, "%.*g\n", c->precision, gamma);
    return print_answer(*c, name, command_kind::setup, line);
  }
  return write_pattern_run(name, setup_label(s), *c, s.screen_count(), [&](const auto& write) {
    compute_setup(s, c->threads, [&](int i, double x, double value) {
      check_finite(x, value);
      write(i, x, value);
    });
  });
}
