// Pattern output. Each screen point gives a console line on standard output
// ("x = <x><label><value>") and a pair line ("<x> <value>") in the data file,
// both flushed at once so an interrupted run keeps every finished point.
// Numbers use the stream's default format, printf's %g at the stream's
// precision (6 unless --precision says otherwise).
//
// A failure never stops the computation: the first failure of each stream is
// reported in one line on standard error and the run ends with status 1.
#pragma once

#include <signal.h>

#include <fstream>
#include <ios>
#include <ostream>
#include <string>
#include <string_view>

inline constexpr std::string_view modulus_label = ", |f(x)| = ";
inline constexpr std::string_view squared_label = ", |f(x)|^2 = ";

struct pattern_file {
  std::string_view program;  // names the program in error messages
  std::string name;
  std::ofstream stream;
  bool failed = false;          // a failure of this file has been reported
  std::streamoff complete = 0;  // bytes of the lines written in full
};

// First thing every program does: standard descriptors held open, and a file
// size limit turned from a silent kill into a reported failed write.
void prepare_output(std::string_view program);

// Creates or truncates the data file `name`, after prepare_output; numbers in
// it and on standard output get `precision` significant digits.
pattern_file open_pattern_file(std::string_view program, std::string_view name, int precision = 6);

// Holds SIGHUP, SIGINT, SIGQUIT and SIGTERM pending on the calling thread
// while alive; one that arrived acts when it ends. A fatal signal that comes
// while write() crosses a page of the file cuts the write short, and the
// program would die on a torn line: every line is written under this hold.
// Threads started under it inherit the hold for good.
class signals_held {
 public:
  signals_held();
  ~signals_held();
  signals_held(const signals_held&) = delete;
  signals_held& operator=(const signals_held&) = delete;

 private:
  sigset_t previous_;
};

// "<x> <value>\n", then flush, under signals_held.
void write_pair_line(std::ostream& out, double x, double value);

// The console line on standard output, then the pair line in the data file,
// both under one signals_held.
void write_pattern_record(pattern_file& file, std::string_view label, double x, double value);

// Closes the data file; returns the exit status: 0 when every line reached
// both streams, 1 after any reported failure.
int close_pattern_file(pattern_file& file);

// For programs that write standard output only: reports its first failure
// and returns the exit status as above.
int standard_output_status(std::string_view program);
