// The optical bench shared by every program: constants, sampling grids, the
// phase of one hop between planes, pattern output, and the LED's emission
// profile.
//
// Every value is its formula evaluated in binary64, each operation rounded on
// its own in the grouping written here (the build disables contraction into
// fused multiply-adds). Reordering any of these expressions changes the last
// bits of the printed patterns.
#pragma once

#include <complex>
#include <fstream>
#include <ostream>
#include <string_view>

// ---------------------------------------------------------------------------
// Bench constants. All lengths share one unit.

inline constexpr double PI = 3.14159265358979;  // 15 digits, deliberately
inline constexpr double wavelength = 6.37e-4;
inline constexpr double wavenumber = (PI + PI) / wavelength;

inline constexpr double source_width = 5.0;      // LED / broad source strip
inline constexpr double entrance_width = 0.8;    // first slit
inline constexpr double pair_slit_width = 0.15;  // each slit of the pair
inline constexpr double pair_separation = 0.5;   // centre to centre

inline constexpr double source_distance = 70;   // source -> first slit
inline constexpr double pair_distance = 200;    // first slit -> double slit
inline constexpr double screen_distance = 500;  // double slit -> screen

inline constexpr double screen_min = 0;
inline constexpr int aperture_samples = 100;

// ---------------------------------------------------------------------------
// Sampling grids: left-edge sampling, so the first point lies on the lower
// edge and the upper edge itself is never sampled.

// Sample j of an aperture of the given width centred on the axis.
constexpr double aperture_point(double width, int j) {
  return (j * (width / 100.0)) + ((-width) / 2.0);
}

// Sample m of the upper slit of the pair; the lower slit is sampled at the
// mirror points -pair_point(m).
constexpr double pair_point(int m) {
  return (m * (pair_slit_width / 100.0)) +
         ((pair_separation / 2.0) - (pair_slit_width / 2.0));
}

// Screen coordinate i of count points spanning [screen_min, max).
constexpr double screen_point(int i, int count, double max) {
  return ((i * (max - screen_min)) / double(count)) + screen_min;
}

// Phase of one hop from p on a plane to q on the next plane, a distance L
// further (Fresnel approximation). The multiplier p is always the point on
// the earlier plane.
constexpr double hop_phase(double p, double q, double L) {
  return ((p - q) * (wavenumber * p)) / L;
}

using amplitude = std::complex<double>;

// A phase as the purely imaginary exponent of its phasor.
constexpr amplitude phasor(double phi) { return {0.0, phi}; }

// ---------------------------------------------------------------------------
// Pattern output. Each screen point gives a console line on standard output
// ("x = <x><label><value>") and a pair line ("<x> <value>") in the data file,
// both flushed at once so an interrupted run keeps every finished point.
// Numbers use the stream's default format, i.e. printf's %g.
//
// A failure never stops the computation: the first failure of each stream is
// reported in one line on standard error and the run ends with status 1.

inline constexpr std::string_view modulus_label = ", |f(x)| = ";
inline constexpr std::string_view squared_label = ", |f(x)|^2 = ";

struct pattern_file {
  std::string_view program;  // names the program in error messages
  std::string_view name;
  std::ofstream stream;
  bool failed = false;         // a failure of this file has been reported
  std::streamoff complete = 0;  // bytes of the lines written in full
};

// First thing every program does: standard descriptors held open, and a file
// size limit turned from a silent kill into a reported failed write.
void prepare_output(std::string_view program);

// Creates or truncates the data file `name` in the working directory, after
// prepare_output.
pattern_file open_pattern_file(std::string_view program, std::string_view name);

// "<x> <value>\n", then flush.
void write_pair_line(std::ostream& out, double x, double value);

// The console line on standard output, then the pair line in the data file.
void write_pattern_record(pattern_file& file, std::string_view label, double x,
                          double value);

// Closes the data file; returns the exit status: 0 when every line reached
// both streams, 1 after any reported failure.
int close_pattern_file(pattern_file& file);

// For programs that write standard output only: reports its first failure
// and returns the exit status as above.
int standard_output_status(std::string_view program);

// ---------------------------------------------------------------------------
// LED emission profile: the normal density with mean 0 and standard
// deviation 12.5.
double LED(double x);
