// The command line every program shares, and the run of a pattern program
// from its registry entry and its loop.
//
// A command line is read whole before anything is written: bad input (an
// unknown option, a missing or refused value, an unreadable or malformed
// bench file) gets one line on standard error, a hint, exit status 2, and
// never creates or touches a data file.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench.hpp"
#include "phasors.hpp"

// Makes a program's loop over blocks of screen points for a bench.
using loop_factory = block_loop (*)(const bench&);

// Which options a command takes besides --help, --version and --precision.
enum class command_kind {
  pattern,    // every bench option, --bench, --print-bench, --threads, --output, --quiet
  profile,    // --led-sigma only
  continuum,  // every bench option, --bench, --print-bench, --check, one PROGRAM operand
  setup,  // --setup, --print-setup, the bench options a setup takes, --threads, --output, --quiet
};

// The bench parameters a setup takes; its planes give the rest.
bool setup_parameter(const parameter_info& p);

struct command_line {
  enum class action { run, help, version, print_bench, print_setup } what = action::run;
  bench b = default_bench();  // a setup's: method propagate unless given
  int threads = 1;            // 0: one per core this process may run on
  int precision = 6;          // significant digits of every printed number (continuum: 17)
  std::string output;         // the data file
  bool quiet = false;         // no progress line
  bool check = false;         // continuum: the quadrature's error instead
  std::vector<std::string> operands;
  std::string setup_file;  // --setup
  // The bench options as given, in order: a setup file read later takes
  // them over its own lines.
  std::vector<std::pair<const parameter_info*, std::string>> given;
};

// Reads argv for the command `name`. On bad input reports it on standard
// error and returns nothing; the caller exits with status 2.
std::optional<command_line> read_command_line(int argc, char** argv, std::string_view name,
                                              command_kind kind);

// The same for a list of arguments (argv without the program name), with
// the refusal returned instead of printed: for modules that take keyword
// arguments, and for tests.
std::optional<command_line> read_arguments(const std::vector<std::string>& arguments,
                                           std::string_view name, command_kind kind,
                                           std::string* refusal);

// Reports bad input as every command does: "NAME: error: WHY" and a hint.
void report_refusal(std::string_view name, const std::string& why);

// The effective bench as bench-file lines, each program's cost on it as a
// comment.
std::string bench_lines(const bench& b);

// The help text of a command, every option with its default, unit and
// meaning.
std::string help_text(std::string_view name, command_kind kind);

// The version line and the phasor-kernel path this CPU runs.
std::string version_text(std::string_view name);

// The values a pattern program prints, point by point in increasing i:
// the loop's values, an LED program's divided by the first point's.
void compute_pattern(const program_info& p, const bench& b, int threads, loop_factory make,
                     const std::function<void(int i, double x, double value)>& write);

// ledcurve's table: LED(x, led_sigma) at x = profile_point(i) for i from
// profile_first, profile_points of them.
inline constexpr int profile_first = -500;
inline constexpr int profile_points = 1000;
constexpr double profile_point(int i) { return i * 0.1; }  // multiplied, not divided by 10

// ledcurve's table, row by row.
void compute_profile(const bench& b, const std::function<void(double x, double value)>& write);

// --help, --version, --print-bench, or with --print-setup `setup`, on
// standard output alone; returns the exit status.
int answer(const command_line& c, std::string_view name, command_kind kind,
           std::string_view setup = {});

// A pattern's run: compute(write) hands write(i, x, value) each of `points`
// values in increasing i, each written as a console line under `label` and
// a data-file line, with the progress line; returns the exit status.
int write_pattern_run(
    std::string_view name, std::string_view label, const command_line& c, int points,
    const std::function<void(const std::function<void(int, double, double)>&)>& compute);

// A pattern program's own experiment as setup-file lines (--print-setup).
using setup_printer = std::string (*)(const program_info& p, const bench& b);

// A pattern program's whole run; returns the exit status.
int run_pattern_program(int argc, char** argv, const program_info& p, loop_factory make,
                        setup_printer print_setup);

// ledcurve's whole run.
int run_profile_program(int argc, char** argv);
