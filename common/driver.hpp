// The command line every program shares, and the run of a pattern program
// from its registry entry and its loop.
//
// A command line is read whole before anything is written: bad input (an
// unknown or ambiguous option, a missing or refused value, an unreadable or
// malformed bench file, a bench the program cannot run in binary64) gets one
// line on standard error, a hint, exit status 2, and never creates or
// touches a data file. Long options may be abbreviated to a unique prefix,
// as getopt_long allows.
#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench.hpp"
#include "blocks.hpp"
#include "propagate.hpp"

// Which options a command takes besides --help, --version and --precision.
enum class command_kind {
  pattern,    // every bench option, --bench, --print-bench, --threads, --output, --quiet
  profile,    // --led-sigma only
  continuum,  // every bench option, --bench, --print-bench, --check, one PROGRAM operand
};

struct command_line {
  enum class action { run, help, version, print_bench } what = action::run;
  bench b = default_bench();
  int threads = 1;     // 0: one per core this process may run on
  int precision = 6;   // significant digits of every printed number (continuum: 17)
  std::string output;  // the data file; "-": the data lines on standard output
  bool quiet = false;  // no progress line
  bool check = false;  // continuum: the quadrature's error instead
  std::vector<std::string> operands;
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

// A value that came out infinite or NaN on a bench that passed every check
// (an LED program's intensities beyond binary64, say): the run stops before
// writing it. what() is the whole message, naming x and the value.
struct non_finite_value : std::domain_error {
  using std::domain_error::domain_error;
};

// Throws non_finite_value unless x and value are finite.
void check_finite(double x, double value);

// The values a pattern program prints, point by point in increasing i:
// the loop's values, an LED program's divided by the first point's. Throws
// non_finite_value at the first value that is not finite, which is not
// written; the worker threads are stopped first.
void compute_pattern(const program_info& p, const bench& b, int threads, loop_factory make,
                     const std::function<void(int i, double x, double value)>& write);

// ledcurve's table: LED(x, led_sigma) at x = profile_point(i) for i from
// profile_first, profile_points of them.
inline constexpr int profile_first = -500;
inline constexpr int profile_points = 1000;
constexpr double profile_point(int i) { return i * 0.1; }  // multiplied, not divided by 10

// ledcurve's table, row by row; throws as compute_pattern does.
void compute_profile(const bench& b, const std::function<void(double x, double value)>& write);

// A pattern program's whole run; returns the exit status.
int run_pattern_program(int argc, char** argv, const program_info& p, loop_factory make);

// ledcurve's whole run.
int run_profile_program(int argc, char** argv);
