#include "run.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <string>

#include "command_line.hpp"

namespace {

// One program's progress on standard error, rewritten in place at most four
// times a second; only where a person watches a terminal while standard
// output goes elsewhere.
class progress_line {
 public:
  progress_line(std::string_view program, int points, bool wanted)
      : program_(program),
        points_(points),
        shown_(wanted && ::isatty(2) && !::isatty(1)),
        start_(clock::now()),
        last_(start_) {}

  void done(int finished) {
    if (!shown_) return;
    const auto now = clock::now();
    if (now - last_ < std::chrono::milliseconds(250) && finished < points_) return;
    last_ = now;
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    const double left = elapsed / finished * (points_ - finished);
    std::fprintf(stderr, "\r%.*s: %d of %d points, %.0f s, about %.0f s left  ",
                 int(program_.size()), program_.data(), finished, points_, elapsed, left);
    std::fflush(stderr);
    width_ = true;
  }

  ~progress_line() {
    if (width_) std::fputs("\r\033[K", stderr);
  }

 private:
  using clock = std::chrono::steady_clock;
  std::string_view program_;
  int points_;
  bool shown_;
  bool width_ = false;
  clock::time_point start_, last_;
};

// Whether `path` names the file standard output already writes (/dev/stdout,
// or the file it is redirected to): the data lines would truncate and
// overwrite the console lines. /dev/null may take both.
bool is_standard_output(const std::string& path) {
  struct stat file, out, null;
  return ::stat(path.c_str(), &file) == 0 && ::fstat(1, &out) == 0 && file.st_dev == out.st_dev &&
         file.st_ino == out.st_ino &&
         !(::stat("/dev/null", &null) == 0 && null.st_dev == file.st_dev &&
           null.st_ino == file.st_ino);
}

// A failure while computing, after the lines before it.
int tell_failure(std::string_view name, const std::exception& failure) {
  const std::string line = std::string(name) + ": error: " + failure.what() + "\n";
  std::fputs(line.c_str(), stderr);
  return 1;
}

}  // namespace

void check_finite(double x, double value) {
  if (std::isfinite(x) && std::isfinite(value)) return;
  // Each number in its shortest form that reads back exactly.
  const auto shortest = [](double v) {
    char text[32];
    return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
  };
  throw non_finite_value("the value at x = " + shortest(x) + " is " + shortest(value) +
                         ": this bench takes a sum beyond the range of binary64");
}

void compute_pattern(const program_info& p, const bench& b, int threads, loop_factory make,
                     const std::function<void(int, double, double)>& write) {
  double axis = 0;  // an LED program's value at the first point, on the axis
  for_each_block(b.screen_points(p), b.screen_max(p), threads, make(b),
                 [&](int i, double x, double value) {
                   if (p.normalised()) {
                     if (i == 0) axis = value;
                     value = value / axis;
                   }
                   check_finite(x, value);
                   write(i, x, value);
                 });
}

void compute_profile(const bench& b, const std::function<void(double, double)>& write) {
  for (int i = profile_first; i < profile_first + profile_points; ++i) {
    const double x = profile_point(i);
    const double value = LED(x, b.led_sigma);
    check_finite(x, value);
    write(x, value);
  }
}

int write_pattern_run(
    std::string_view name, std::string_view label, const command_line& c, int points,
    const std::function<void(const std::function<void(int, double, double)>&)>& compute) {
  if (c.output == "-") {  // the data lines alone, on standard output
    prepare_output(name);
    std::cout.precision(c.precision);
    int status = 0;
    try {
      progress_line progress(name, points, !c.quiet);
      compute([&](int i, double x, double value) {
        write_pair_line(std::cout, x, value);
        status = standard_output_status(name);
        progress.done(i + 1);
      });
    } catch (const std::exception& failure) {
      return tell_failure(name, failure);
    }
    return status;
  }
  if (is_standard_output(c.output)) {
    tell_refusal(name, "--output: " + in_quotes(c.output) +
                           " is standard output; --output - puts the data lines there");
    return 2;
  }
  pattern_file file = open_pattern_file(name, c.output, c.precision);
  if (file.failed) return 1;  // told; nothing is computed for no file
  try {
    progress_line progress(name, points, !c.quiet);
    compute([&](int i, double x, double value) {
      write_pattern_record(file, label, x, value);
      progress.done(i + 1);
    });
  } catch (const std::exception& failure) {
    close_pattern_file(file);
    return tell_failure(name, failure);
  }
  return close_pattern_file(file);
}

int run_pattern_program(int argc, char** argv, const program_info& p, loop_factory make,
                        setup_printer print_setup) {
  const auto c = read_command_line(argc, argv, p.name, command_kind::pattern);
  if (!c) return 2;
  if (c->what != command_line::action::run)
    return print_answer(*c, p.name, command_kind::pattern,
                        c->what == command_line::action::print_setup ? print_setup(p, c->b) : "");
  return write_pattern_run(p.name, p.label, *c, c->b.screen_points(p), [&](const auto& write) {
    compute_pattern(p, c->b, c->threads, make, write);
  });
}

int run_profile_program(int argc, char** argv, const program_info& p) {
  const std::string_view name = p.name;
  const auto c = read_command_line(argc, argv, name, command_kind::profile);
  if (!c) return 2;
  if (c->what != command_line::action::run) return print_answer(*c, name, command_kind::profile);
  prepare_output(name);
  std::cout.precision(c->precision);
  int status = 0;
  try {
    compute_profile(c->b, [&](double x, double value) {
      write_pair_line(std::cout, x, value);
      status = standard_output_status(name);  // a failure is told as it happens
    });
  } catch (const std::exception& failure) {
    return tell_failure(name, failure);
  }
  return status;
}
