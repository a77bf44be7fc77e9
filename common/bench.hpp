// The optical bench shared by every program: the registry of parameters and
// programs, the bench's values, sampling grids, the phase of one hop between
// planes, and the LED's emission profile; with output.hpp, the pattern output.
//
// Every value is its formula evaluated in binary64, each operation rounded on
// its own in the grouping written here (the build disables contraction into
// fused multiply-adds). Reordering any of these expressions changes the last
// bits of the printed patterns.
#pragma once

#include <complex>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "output.hpp"

inline constexpr double PI = 3.14159265358979;  // 15 digits, deliberately
inline constexpr double screen_min = 0;         // every screen starts on the axis

// ---------------------------------------------------------------------------
// The registry (registry.def): one row per bench parameter and per program.

enum class parameter_kind { length, count, choice };

struct parameter_info {
  std::string_view name;  // the bench file's key; the option is --name with - for _
  parameter_kind kind;
  std::string_view configured;  // the default, as the build was configured
  int largest;                  // counts
  std::string_view choices;     // choices, separated by spaces (parameter_choices)
  std::string_view unit;
  std::string_view meaning;
};

enum class parameter_id {
#define SLITS_PARAMETER(name, ...) name,
#include "registry.def"
};

inline constexpr std::size_t parameter_count = 0
#define SLITS_PARAMETER(...) +1
#include "registry.def"
    ;

std::span<const parameter_info> parameters();
const parameter_info& parameter(parameter_id id);
const parameter_info* find_parameter(std::string_view name);

// Each parameter's choices, separated by spaces; "" for a length or count.
inline constexpr std::string_view parameter_choices[] = {
#define SLITS_PARAMETER(name, ...) "",
#define SLITS_CHOICE(name, value, choices, meaning) choices,
#include "registry.def"
};

// The index of a choice of parameter `id` by its name, as the bench stores
// it; a name that is not one of the choices does not compile.
consteval int choice_index(parameter_id id, std::string_view choice) {
  std::string_view rest = parameter_choices[int(id)];
  for (int index = 0;; ++index) {
    const std::size_t space = rest.find(' ');
    if (rest.substr(0, space) == choice) return index;
    if (space == rest.npos) throw "not a choice of this parameter";
    rest.remove_prefix(space + 1);
  }
}

// The sampled apertures of a program.
enum plane : unsigned { source_plane = 1, entrance_plane = 2, pair_plane = 4 };

// What a program prints: the modulus of the mean amplitude, the intensity
// relative to its value on the axis, or the LED's emission profile.
enum class program_quantity { amplitude, intensity, profile };

enum class program_id {
#define SLITS_PROGRAM(name, ...) name,
#define SLITS_PROFILE(name, ...) name,
#include "registry.def"
};

struct program_info {
  program_id id;
  std::string_view name;
  std::string_view title;  // what is on the bench, in a few words
  parameter_id screen;     // the length that ends the screen span (pattern programs)
  int count_factor;        // screen points per screen_count
  std::string_view label;  // the console line's, before the value
  unsigned planes;         // the sampled apertures
  program_quantity quantity;
  std::string_view prints;  // the quantity in words, as --help gives it

  constexpr bool pattern() const { return quantity != program_quantity::profile; }  // a data file
  constexpr bool normalised() const { return quantity == program_quantity::intensity; }
};

std::span<const program_info> programs();
const program_info& program(program_id id);
const program_info* find_program(std::string_view name);

// The program that prints the LED's profile.
const program_info& profile_program();

// ---------------------------------------------------------------------------
// The bench: one value per parameter, as its text and as the number the
// compiler would make of that text. All lengths share one unit.

// One hop of the exact scalar field behind a slit long in the second
// transverse direction (Rayleigh-Sommerfeld, first kind), from p to q a
// distance L further: the kernel (i k L / 2R) H1(kR), R = sqrt((q - p)^2 +
// L^2), divided by its value on the axis (R = L), as amplitude times
// cexp(i phase). With H1(w) = sqrt(2 / (pi w)) sqrt(m(w)) e^(i (w - 3 pi / 4
// + t(w))):
//   amplitude = sqrt((L / R)^3 m(kR) / m(kL)),
//   phase     = k (q - p)^2 / (R + L) + (t(kR) - t(kL)),
// both exactly 1 and 0 on the axis. m and t are the large-argument series of
// the Hankel function's modulus and phase (rs_modulus_phase); below
// rs_series_from they come from the C library's j1 and y1.
struct rs_factor {
  double amplitude, phase;
};
rs_factor rs_hop(double k, double p, double q, double L);

// Where the series take over from j1 and y1: above it the terms left out
// are below 3e-17 of m and of t; below it j1, y1 and atan2 set the accuracy,
// 1e-15 in m and 2e-14 in t for w up to 100 on glibc.
inline constexpr double rs_series_from = 100;

// m(w) = (pi w / 2) |H1(w)|^2 and t(w) = arg H1(w) - (w - 3 pi / 4),
// reduced to (-pi, pi] below rs_series_from.
struct rs_modulus_phase {
  double m, t;
};
rs_modulus_phase rs_hankel_parts(double w);

struct bench {
#define SLITS_LENGTH(name, ...) double name = 0;
#define SLITS_COUNT(name, ...) int name = 0;
#define SLITS_CHOICE(name, ...) int name = 0;  // choice_index of the value
#include "registry.def"

  std::string text[parameter_count];  // each value as written, by parameter_id

  // Derived once the values are set (derive()).
  double wavenumber = 0;  // 2 PI formed as a sum, then divided
  bool fresnel_hops = false;
  bool fraunhofer_hops = false;
  bool rs_hops = false;        // each hop an amplitude besides its phase
  bool textbook_hops = false;  // every model but classic: each hop its own phase
  bool midpoint_samples = false;
  bool propagate = false;  // the field plane by plane, not one exponential per path

  void derive() {
    wavenumber = (PI + PI) / wavelength;
    fresnel_hops = phase_model == choice_index(parameter_id::phase_model, "fresnel");
    fraunhofer_hops = phase_model == choice_index(parameter_id::phase_model, "fraunhofer");
    rs_hops = phase_model == choice_index(parameter_id::phase_model, "rs");
    textbook_hops = phase_model != choice_index(parameter_id::phase_model, "classic");
    midpoint_samples = sampling == choice_index(parameter_id::sampling, "midpoint");
    propagate = method == choice_index(parameter_id::method, "propagate");
  }

  // The screen of a program: its span's end and its point count.
  double screen_max(const program_info& p) const { return length(p.screen); }
  int screen_points(const program_info& p) const { return p.count_factor * screen_count; }

  // The value of a length parameter.
  double length(parameter_id id) const;

  // Complex exponentials the program evaluates on this bench.
  double cost(const program_info& p) const;

  // -------------------------------------------------------------------------
  // Sampling grids. Left-edge sampling puts the first point on the lower edge
  // and never samples the upper one, so the sum is the midpoint rule on an
  // aperture shifted by half a step and errs as 1/N; midpoint sampling centres
  // each sample in its step and errs as 1/N^2.

  // Index j of a sample counted from the lower edge, in steps.
  double sample_offset(int j) const { return midpoint_samples ? j + 0.5 : j; }

  // Sample j of `samples` across an aperture of the given width centred on
  // the axis.
  double aperture_point(double width, int samples, int j) const {
    return (sample_offset(j) * (width / double(samples))) + ((-width) / 2.0);
  }

  double source_point(int j) const { return aperture_point(source_width, source_samples, j); }
  double entrance_point(int n) const { return aperture_point(entrance_width, entrance_samples, n); }

  // Sample m of the upper slit of the pair; the lower slit is sampled at the
  // mirror points -pair_point(m).
  double pair_point(int m) const {
    return (sample_offset(m) * (pair_slit_width / double(pair_samples))) +
           ((pair_separation / 2.0) - (pair_slit_width / 2.0));
  }

  // -------------------------------------------------------------------------
  // Phases.

  // Phase of one hop from p on a plane to q on the next plane, a distance L
  // further.
  // Classic: k p (p - q) / L, always with the point on the earlier plane as
  // the multiplier p. That is the paraxial (Fresnel) phase k (p - q)^2 / 2L
  // plus k (p^2 - q^2) / 2L, a curvature of each plane's wave; so two hops do
  // not compose into one as textbook propagation does.
  // Fresnel: the textbook paraxial phase k (p - q)^2 / 2L.
  // Fraunhofer: the far field, Fresnel without its term in p^2 alone,
  // k q (q - 2p) / 2L; the q^2 term stays, the curvature the wave arrives
  // with on the next plane.
  // RS: k (R - L), R the length of the path, formed as k (p - q)^2 / (R + L)
  // without cancellation, plus the phase of the Hankel function's slowly
  // varying part (rs_hop).
  double hop_phase(double p, double q, double L) const {
    if (fresnel_hops) return (((p - q) * (p - q)) * wavenumber) / (2.0 * L);
    if (fraunhofer_hops) return (((q - (p + p)) * q) * wavenumber) / (2.0 * L);
    if (rs_hops) return rs_hop(wavenumber, p, q, L).phase;
    return ((p - q) * (wavenumber * p)) / L;
  }

  // The amplitude of one hop relative to the hop straight along the axis:
  // 1 in every model but rs. A path's value is the product of its hops'
  // amplitudes, in beam order, times cexp of its phase.
  double hop_amplitude(double p, double q, double L) const {
    return rs_hops ? rs_hop(wavenumber, p, q, L).amplitude : 1.0;
  }

  // The LED programs fold the two hops that meet at the first-slit point s,
  // from d on the source and on to q, into one phase. Classic: each hop gives
  // its quotient, (s - d) / L1 and (s - q) / L2, and their sum is multiplied
  // once by k s, so the source hop runs the other way round from hop_phase.
  // The other models: each hop its own phase, added.
  double led_hop_in(double d, double s, double L) const {
    if (textbook_hops) return hop_phase(d, s, L);
    return (s - d) / L;
  }
  double led_hop_out(double s, double q, double L) const {
    if (textbook_hops) return hop_phase(s, q, L);
    return (s - q) / L;
  }
  double led_phase(double hop_in, double hop_out, double s) const {
    if (textbook_hops) return hop_in + hop_out;
    return (hop_in + hop_out) * (wavenumber * s);
  }
};

// The bench the build was configured with.
const bench& default_bench();

// Sets one parameter from its text, with the configure step's grammar:
// lengths decimal and above zero, counts whole from 1 to their limit,
// choices by name. Returns the refusal ("'0' is not a whole number from 1
// to 10000"), empty when the value is taken. derive() the bench afterwards.
std::string assign(bench& b, const parameter_info& p, std::string_view text);

// Text from a command line or a file as a message may show it: printable
// ASCII and well-formed UTF-8 as they are, every other byte (a newline, an
// escape sequence, a NUL, a stray byte) as \n, \t, \r or \xNN, and a
// backslash doubled, so a message stays one line that cannot drive the
// terminal.
std::string printable(std::string_view text);

// The configure step's decimal grammar, which bench and setup files share:
// digits with at most one point, an optional sign and exponent; no hex, inf,
// nan or units.
bool is_decimal(std::string_view text);

// A value as a refusal quotes it: 'text', printable.
inline std::string in_quotes(std::string_view text) {
  std::string q(1, '\'');  // in steps: g++ 12 misreads "'" + s (-Wrestrict)
  q.append(printable(text)).push_back('\'');
  return q;
}

// What no single value shows: a fault of the bench as a whole, worded to
// follow the value blamed ("makes the wavenumber infinite"), and every
// parameter that sets the faulty quantity, any of which may be blamed.
struct bench_fault {
  std::string why;
  std::vector<parameter_id> involved;
};

// The slits of the pair overlap.
std::optional<bench_fault> overlap_fault(const bench& b);

// What binary64 cannot hold when program p runs on this bench: an infinite
// wavenumber, screen point or LED weight, a hop whose phase can overflow,
// every LED weight zero (the intensity on the axis, which divides the
// pattern, would be 0). Caught here, before a line is written, they would
// otherwise give lines of NaN.
std::optional<bench_fault> range_fault(const bench& b, const program_info& p);

// How far a value lies from its configured default: |log(value / default)|,
// 0 for a choice. A refusal blames the involved value furthest away.
double departure(const bench& b, parameter_id id);

// The overlap as one refusal naming pair_separation, or empty; `at_fault`,
// when given, receives the parameter.
std::string check_bench(const bench& b, const parameter_info** at_fault);

// Bytes of the tables a program keeps for this bench; the run is refused
// above table_memory_limit.
double table_bytes(const bench& b, const program_info& p);
inline constexpr double table_memory_limit = 1024.0 * 1024 * 1024;

// Screen coordinate i of count points spanning [screen_min, max).
constexpr double screen_point(int i, int count, double max) {
  return ((i * (max - screen_min)) / double(count)) + screen_min;
}

using amplitude = std::complex<double>;

// The exponent i phi of a path's phasor, whose cexp is the phasor itself;
// the name is the one the programs have always used for it.
constexpr amplitude phasor(double phi) { return {0.0, phi}; }

// ---------------------------------------------------------------------------
// LED emission profile: the normal density with mean 0 and standard
// deviation sigma.
double LED(double x, double sigma);

// |a| (the C library's cabs, as std::abs calls it), and |a| squared as
// pow(|a|, 2.0): the library's own, or under SLITS_LIBM_TWINS x86-64
// glibc's bits wherever it runs. With LED and the phasors, the only math
// library calls on the way to a printed number.
double modulus(amplitude a);
double squared_modulus(amplitude a);
