// The run of a command: the values a pattern program or the profile prints,
// computed point by point and checked finite, and the whole run of each,
// from the command line to the last line written.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "bench.hpp"
#include "blocks.hpp"

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

// The LED's profile as its program prints it: LED(x, led_sigma) at x = profile_point(i) for i from
// profile_first, profile_points of them.
inline constexpr int profile_first = -500;
inline constexpr int profile_points = 1000;
constexpr double profile_point(int i) { return i * 0.1; }  // multiplied, not divided by 10

// The profile, row by row; throws as compute_pattern does.
void compute_profile(const bench& b, const std::function<void(double x, double value)>& write);

struct command_line;

// A pattern's run once its command line is accepted: compute(write) hands
// write(i, x, value) each of `points` values in increasing i, each written
// as a console line under `label` and a data-file line (with --output -,
// the data line alone on standard output), with the progress line. A data
// file that cannot be created stops the run before computing; a value that
// is not finite stops it before that value is written. Returns the exit
// status.
int write_pattern_run(
    std::string_view name, std::string_view label, const command_line& c, int points,
    const std::function<void(const std::function<void(int i, double x, double value)>&)>& compute);

// A pattern program's own experiment as setup-file lines (--print-setup).
using setup_printer = std::string (*)(const program_info& p, const bench& b);

// A pattern program's whole run; returns the exit status.
int run_pattern_program(int argc, char** argv, const program_info& p, loop_factory make,
                        setup_printer print_setup);

// The profile program's whole run.
int run_profile_program(int argc, char** argv, const program_info& p);
