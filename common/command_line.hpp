// The command line every program shares: its options, read from the
// registry; --help, --version and --print-bench.
//
// A command line is read whole before anything is written: bad input (an
// unknown or ambiguous option, a missing or refused value, an unreadable or
// malformed bench file, a bench the program cannot run in binary64) gets one
// line on standard error, a hint, exit status 2, and never creates or
// touches a data file. Long options may be abbreviated to a unique prefix,
// as getopt_long allows.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench.hpp"

// Which options a command takes besides --help, --version and --precision.
enum class command_kind {
  pattern,    // every bench option, --bench, --print-bench, --threads, --output, --quiet
  profile,    // --led-sigma only
  continuum,  // every bench option, --bench, --print-bench, --check, one PROGRAM operand
  setup,  // --setup, --print-setup, the bench options a setup takes, --threads, --output, --quiet
};

// Kinds of command as registry.def's option rows combine them.
enum command_set : unsigned {
  pattern_command = 1,
  profile_command = 2,
  continuum_command = 4,
  setup_command = 8,
};
constexpr unsigned command_bit(command_kind kind) { return 1u << int(kind); }

// The bench parameters a setup takes; its planes give the rest.
bool setup_parameter(const parameter_info& p);

struct command_line {
  enum class action { run, help, version, print_bench, print_setup, coherence } what = action::run;
  bench b = default_bench();  // a setup's: method propagate unless given
  int threads = 1;            // 0: one per core this process may run on
  int precision = 6;          // significant digits of every printed number (continuum: 17)
  std::string output;         // the data file; "-": the data lines on standard output
  bool quiet = false;         // no progress line
  bool check = false;         // continuum: the quadrature's error instead
  std::vector<std::string> operands;
  std::string setup_file;               // --setup
  double coherence_points[2] = {0, 0};  // --coherence X1,X2
  int coherence_plane = 0;              // --coherence-plane; 0: the screen
  // The bench options as given, in order: a setup file read later takes
  // them over its own lines.
  std::vector<std::pair<const parameter_info*, std::string>> given;
};

// Reads argv for the command `name`. On bad input reports it on standard
// error and returns nothing; the caller exits with status 2. A bench the
// program, or continuum's PROGRAM, cannot hold in binary64 (range_fault) is
// refused, and for a run also one whose tables exceed table_memory_limit.
std::optional<command_line> read_command_line(int argc, char** argv, std::string_view name,
                                              command_kind kind);

// The same for a list of arguments (argv without the program name), with
// the refusal returned instead of printed: for modules that take keyword
// arguments, and for tests.
std::optional<command_line> read_arguments(const std::vector<std::string>& arguments,
                                           std::string_view name, command_kind kind,
                                           std::string* refusal);

// The effective bench as bench-file lines, each program's cost on it as a
// comment.
std::string bench_lines(const bench& b);

// The help text of a command, every option with its default, unit and
// meaning, and how options may be abbreviated.
std::string help_text(std::string_view name, command_kind kind);

// The version line and the phasor-kernel path this CPU runs.
std::string version_text(std::string_view name);

// A refusal as every command gives it: one line on standard error, then the
// hint to ask for --help.
void tell_refusal(std::string_view name, const std::string& why);

// --help, --version, --print-bench, or with --print-setup and --coherence
// `setup` (the text to print), as c asks, on standard output; returns the
// exit status.
int print_answer(const command_line& c, std::string_view name, command_kind kind,
                 std::string_view setup = {});
