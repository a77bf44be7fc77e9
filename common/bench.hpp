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

#include "bench_config.hpp"

// ---------------------------------------------------------------------------
// Bench constants, chosen at configure time (cmake/bench.cmake). All lengths
// share one unit.

inline constexpr double PI = 3.14159265358979;  // 15 digits, deliberately
inline constexpr double wavelength = configured::wavelength;
inline constexpr double wavenumber = (PI + PI) / wavelength;

inline constexpr double source_width = configured::source_width;        // LED / broad source
inline constexpr double entrance_width = configured::entrance_width;    // first slit
inline constexpr double pair_slit_width = configured::pair_slit_width;  // each slit of the pair
inline constexpr double pair_separation = configured::pair_separation;  // centre to centre

inline constexpr double source_distance = configured::source_distance;  // source -> first slit
inline constexpr double pair_distance = configured::pair_distance;      // first slit -> pair
inline constexpr double screen_distance = configured::screen_distance;  // pair -> screen

inline constexpr int source_samples = configured::source_samples;
inline constexpr int entrance_samples = configured::entrance_samples;
inline constexpr int pair_samples = configured::pair_samples;  // each slit of the pair

// The screen: each program takes its span and count from these.
inline constexpr double screen_min = 0;
inline constexpr double single_screen_max = configured::single_screen_max;
inline constexpr double double_screen_max = configured::double_screen_max;
inline constexpr int bench_screen_count = configured::screen_count;

inline constexpr double led_sigma = configured::led_sigma;  // the LED profile's width

// The model: how a hop's phase is formed, and where an aperture is sampled.
inline constexpr bool fresnel_hops = configured::fresnel_hops;
inline constexpr bool midpoint_samples = configured::midpoint_samples;

// ---------------------------------------------------------------------------
// Sampling grids. Left-edge sampling puts the first point on the lower edge
// and never samples the upper one, so the sum is the midpoint rule on an
// aperture shifted by half a step and errs as 1/N; midpoint sampling centres
// each sample in its step and errs as 1/N^2.

// Index j of a sample counted from the lower edge, in steps.
constexpr double sample_offset(int j) {
  if constexpr (midpoint_samples) return j + 0.5;
  return j;
}

// Sample j of `samples` across an aperture of the given width centred on
// the axis.
constexpr double aperture_point(double width, int samples, int j) {
  return (sample_offset(j) * (width / double(samples))) + ((-width) / 2.0);
}

constexpr double source_point(int j) { return aperture_point(source_width, source_samples, j); }
constexpr double entrance_point(int n) {
  return aperture_point(entrance_width, entrance_samples, n);
}

// Sample m of the upper slit of the pair; the lower slit is sampled at the
// mirror points -pair_point(m).
constexpr double pair_point(int m) {
  return (sample_offset(m) * (pair_slit_width / double(pair_samples))) +
         ((pair_separation / 2.0) - (pair_slit_width / 2.0));
}

// Screen coordinate i of count points spanning [screen_min, max).
constexpr double screen_point(int i, int count, double max) {
  return ((i * (max - screen_min)) / double(count)) + screen_min;
}

// ---------------------------------------------------------------------------
// Phases.

// Phase of one hop from p on a plane to q on the next plane, a distance L
// further.
// Classic: k p (p - q) / L, always with the point on the earlier plane as
// the multiplier p. That is the paraxial (Fresnel) phase k (p - q)^2 / 2L
// plus k (p^2 - q^2) / 2L, a curvature of each plane's wave; so two hops do
// not compose into one as textbook propagation does.
// Fresnel: the textbook paraxial phase k (p - q)^2 / 2L.
constexpr double hop_phase(double p, double q, double L) {
  if constexpr (fresnel_hops) return (((p - q) * (p - q)) * wavenumber) / (2.0 * L);
  return ((p - q) * (wavenumber * p)) / L;
}

// The LED programs fold the two hops that meet at the first-slit point s,
// from d on the source and on to q, into one phase. Classic: each hop gives
// its quotient, (s - d) / L1 and (s - q) / L2, and their sum is multiplied
// once by k s, so the source hop runs the other way round from hop_phase.
// Fresnel: each hop its own phase, added.
constexpr double led_hop_in(double d, double s, double L) {
  if constexpr (fresnel_hops) return hop_phase(d, s, L);
  return (s - d) / L;
}
constexpr double led_hop_out(double s, double q, double L) {
  if constexpr (fresnel_hops) return hop_phase(s, q, L);
  return (s - q) / L;
}
constexpr double led_phase(double hop_in, double hop_out, double s) {
  if constexpr (fresnel_hops) return hop_in + hop_out;
  return (hop_in + hop_out) * (wavenumber * s);
}

using amplitude = std::complex<double>;

// The exponent i phi of a path's phasor, whose cexp is the phasor itself;
// the name is the one the programs have always used for it.
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
  bool failed = false;          // a failure of this file has been reported
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
void write_pattern_record(pattern_file& file, std::string_view label, double x, double value);

// Closes the data file; returns the exit status: 0 when every line reached
// both streams, 1 after any reported failure.
int close_pattern_file(pattern_file& file);

// For programs that write standard output only: reports its first failure
// and returns the exit status as above.
int standard_output_status(std::string_view program);

// ---------------------------------------------------------------------------
// LED emission profile: the normal density with mean 0 and standard
// deviation led_sigma.
double LED(double x);
