// The pattern of any setup read from a file, with the programs' command
// line: bench options override the file's lines, and bad input, in the
// options or in the file, exits with status 2 before any file is written.
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
    for (const auto& [p, value] : c->given) assign(s.b, *p, value);  // each taken already
    s.b.derive();
    why = check_setup(s);
  }
  if (!why.empty()) {
    tell_refusal(name, why);
    return 2;
  }
  if (c->what == command_line::action::print_setup)
    return print_answer(*c, name, command_kind::setup, setup_text(s));
  return write_pattern_run(name, setup_label(s), *c, s.screen_count(), [&](const auto& write) {
    compute_setup(s, c->threads, [&](int i, double x, double value) {
      check_finite(x, value);
      write(i, x, value);
    });
  });
}
