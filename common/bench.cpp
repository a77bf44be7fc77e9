// The registry, the bench's values and LED.
#include "bench.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>
#include <stdexcept>
#include <string>

#include "bench_config.hpp"
#if SLITS_LIBM_TWINS
#include "libm_twins.hpp"
#endif

// ---------------------------------------------------------------------------
// The rs hop.

// DLMF 10.18.17 and 10.18.18 for order 1 (mu = 4): the modulus squared and
// the phase of H1(w) as series in 1 / w, in Horner form, each operation
// rounded on its own; only +, *, / and sqrt, so every C library gives the
// same bits. Checked against j1l and y1l to 1e-16 from w = 100 on.
rs_modulus_phase rs_hankel_parts(double w) {
  if (w >= rs_series_from) {
    const double u = 1.0 / w, v = u * u;
    const double m =
        1.0 +
        v * (3.0 / 8.0 + v * (-45.0 / 128.0 + v * (1575.0 / 1024.0 + v * (-496125.0 / 32768.0))));
    const double t =
        u * (3.0 / 8.0 + v * (-21.0 / 128.0 + v * (1899.0 / 5120.0 + v * (-543483.0 / 229376.0))));
    return {m, t};
  }
  // Short hops, a hundred wavelengths at most: the Hankel function itself.
  constexpr double pi = std::numbers::pi;
  const double J = j1(w), Y = y1(w);
  const double m = ((pi * w) / 2.0) * ((J * J) + (Y * Y));
  const double t = std::atan2(Y, J) + ((0.75 * pi) - w);
  return {m, t - (2.0 * pi) * std::nearbyint(t / (2.0 * pi))};
}

rs_factor rs_hop(double k, double p, double q, double L) {
  const double d = q - p;
  const double R = std::sqrt((d * d) + (L * L));
  const rs_modulus_phase far = rs_hankel_parts(k * R), axis = rs_hankel_parts(k * L);
  const double r = L / R;
  return {std::sqrt(((r * r) * r) * (far.m / axis.m)),
          (((d * d) * k) / (R + L)) + (far.t - axis.t)};
}

// ---------------------------------------------------------------------------
// The registry.

namespace {

constexpr parameter_info parameter_table[] = {
#define SLITS_LENGTH(name, value, unit, meaning) \
  {#name, parameter_kind::length, SLITS_CONFIGURED_##name, 0, "", unit, meaning},
#define SLITS_COUNT(name, value, largest, unit, meaning) \
  {#name, parameter_kind::count, SLITS_CONFIGURED_##name, largest, "", unit, meaning},
#define SLITS_CHOICE(name, value, choices, meaning) \
  {#name, parameter_kind::choice, SLITS_CONFIGURED_##name, 0, choices, "", meaning},
#include "registry.def"
};

constexpr std::string_view quantity_printed(program_quantity quantity) {
  return quantity == program_quantity::intensity ? "intensity relative to the axis"
                                                 : "modulus of the mean amplitude";
}

constexpr program_info program_table[] = {
#define SLITS_PROGRAM(name, title, screen, count_factor, label, planes, quantity) \
  {program_id::name,                                                              \
   #name,                                                                         \
   title,                                                                         \
   parameter_id::screen,                                                          \
   count_factor,                                                                  \
   label,                                                                         \
   planes,                                                                        \
   program_quantity::quantity,                                                    \
   quantity_printed(program_quantity::quantity)},
#define SLITS_PROFILE(row, heading, printed)           \
  {.id = program_id::row,                              \
   .name = #row,                                       \
   .title = heading,                                   \
   .screen = parameter_id::wavelength, /* no screen */ \
   .count_factor = 0,                                  \
   .label = "",                                        \
   .planes = 0,                                        \
   .quantity = program_quantity::profile,              \
   .prints = printed},
#include "registry.def"
};

// A pattern program samples the first slit and ends its screen where the
// span's meaning says: double_screen_max behind a double slit, else
// single_screen_max; its planes are planes, and its points at least
// screen_count.
constexpr bool row_holds_together(const program_info& p) {
  if (!p.pattern()) return true;
  const unsigned known = source_plane | entrance_plane | pair_plane;
  const parameter_id span =
      (p.planes & pair_plane) ? parameter_id::double_screen_max : parameter_id::single_screen_max;
  return (p.planes & entrance_plane) && (p.planes & ~known) == 0 && p.screen == span &&
         p.count_factor >= 1;
}

// Every row holds together, and one is the profile's. Plain loops: the
// page's C++ library has no constrained algorithms.
constexpr bool rows_hold_together() {
  int profiles = 0;
  for (const program_info& p : program_table) {
    if (!row_holds_together(p)) return false;
    profiles += !p.pattern();
  }
  return profiles == 1;
}
static_assert(rows_hold_together(),
              "registry.def: a program's row contradicts itself, or the profile is not one row");

}  // namespace

std::span<const parameter_info> parameters() { return parameter_table; }
const parameter_info& parameter(parameter_id id) { return parameter_table[int(id)]; }
const parameter_info* find_parameter(std::string_view name) {
  for (const parameter_info& p : parameter_table)
    if (p.name == name) return &p;
  return nullptr;
}

std::span<const program_info> programs() { return program_table; }
const program_info& program(program_id id) { return program_table[int(id)]; }
const program_info* find_program(std::string_view name) {
  for (const program_info& p : program_table)
    if (p.name == name) return &p;
  return nullptr;
}
const program_info& profile_program() {
  return *std::find_if(std::begin(program_table), std::end(program_table),
                       [](const program_info& p) { return !p.pattern(); });
}

// ---------------------------------------------------------------------------
// Values.

// The configure step's decimal grammar: digits with at most one point, an
// optional exponent; no hex, inf, nan or units.
bool is_decimal(std::string_view t) {
  std::size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  std::size_t digits = 0, points = 0;
  for (; i < t.size() && (std::isdigit((unsigned char)t[i]) || t[i] == '.'); ++i)
    (t[i] == '.' ? points : digits)++;
  if (digits == 0 || points > 1) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
    std::size_t exponent_digits = 0;
    for (; i < t.size() && std::isdigit((unsigned char)t[i]); ++i) ++exponent_digits;
    if (exponent_digits == 0) return false;
  }
  return i == t.size();
}

namespace {

// Where a row's value lives in the bench.
void* field(bench& b, parameter_id id) {
  switch (id) {
#define SLITS_PARAMETER(name, ...) \
  case parameter_id::name:         \
    return &b.name;
#include "registry.def"
  }
  return nullptr;
}
const void* field(const bench& b, parameter_id id) { return field(const_cast<bench&>(b), id); }

}  // namespace

double bench::length(parameter_id id) const {
  switch (id) {
#define SLITS_LENGTH(name, ...) \
  case parameter_id::name:      \
    return name;
#include "registry.def"
    default:
      throw std::invalid_argument(std::string(parameter(id).name) + " is not a length");
  }
}

std::string assign(bench& b, const parameter_info& p, std::string_view text) {
  const auto id = parameter_id(&p - parameter_table);
  switch (p.kind) {
    case parameter_kind::length: {
      if (!is_decimal(text)) return in_quotes(text) + " is not a decimal number";
      // from_chars rounds correctly, as the compiler does a literal; it takes
      // no leading plus.
      double value = 0;
      const std::string_view digits = text.front() == '+' ? text.substr(1) : text;
      const auto [end, error] =
          std::from_chars(digits.data(), digits.data() + digits.size(), value);
      if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
        return in_quotes(text) + " is out of range";
      if (!(value > 0)) return in_quotes(text) + " is not greater than zero";
      *static_cast<double*>(field(b, id)) = value;
      break;
    }
    case parameter_kind::count: {
      int value = 0;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
      const bool whole = !text.empty() && text.front() != '-' && error == std::errc() &&
                         end == text.data() + text.size();
      if (!whole || value < 1 || value > p.largest)
        return in_quotes(text) + " is not a whole number from 1 to " + std::to_string(p.largest);
      *static_cast<int*>(field(b, id)) = value;
      break;
    }
    case parameter_kind::choice: {
      int index = 0;
      std::string_view rest = p.choices;
      for (;; ++index) {
        const std::size_t space = rest.find(' ');
        if (rest.substr(0, space) == text && !text.empty()) break;
        if (space == rest.npos) {
          std::string names(p.choices);
          std::replace(names.begin(), names.end(), ' ', ',');
          return in_quotes(text) + " is not one of " + names;
        }
        rest.remove_prefix(space + 1);
      }
      *static_cast<int*>(field(b, id)) = index;
      break;
    }
  }
  b.text[int(id)] = text;
  return {};
}

std::string printable(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = text[i];
    // The length of a well-formed UTF-8 sequence of a printable character
    // starting here: no overlong forms, surrogates or C1 controls.
    std::size_t length = 0;
    if (c >= 0x20 && c < 0x7f) {
      length = 1;
    } else if (c >= 0xc2 && c <= 0xf4 && i + 1 < text.size()) {
      const unsigned char next = text[i + 1];
      const unsigned char low = c == 0xe0 ? 0xa0 : c == 0xf0 ? 0x90 : c == 0xc2 ? 0xa0 : 0x80;
      const unsigned char high = c == 0xed ? 0x9f : c == 0xf4 ? 0x8f : 0xbf;
      const std::size_t wanted = c < 0xe0 ? 2 : c < 0xf0 ? 3 : 4;
      if (next >= low && next <= high && i + wanted <= text.size()) {
        length = wanted;
        for (std::size_t k = 2; k < wanted; ++k)
          if ((static_cast<unsigned char>(text[i + k]) & 0xc0) != 0x80) length = 0;
      }
    }
    if (c == '\\') {
      shown += "\\\\";
    } else if (length > 0) {
      shown.append(text.substr(i, length));
      i += length;
      continue;
    } else if (c == '\n' || c == '\t' || c == '\r') {
      shown += c == '\n' ? "\\n" : c == '\t' ? "\\t" : "\\r";
    } else {
      static constexpr char hex[] = "0123456789abcdef";
      shown += {'\\', 'x', hex[c >> 4], hex[c & 15]};
    }
    ++i;
  }
  return shown;
}

std::optional<bench_fault> overlap_fault(const bench& b) {
  // Each slit of the pair is pair_slit_width wide, their centres
  // pair_separation apart.
  if (b.pair_separation > b.pair_slit_width) return std::nullopt;
  return bench_fault{"makes the slits of the pair overlap (pair_separation " +
                         b.text[int(parameter_id::pair_separation)] +
                         " must exceed pair_slit_width " +
                         b.text[int(parameter_id::pair_slit_width)] + ")",
                     {parameter_id::pair_separation, parameter_id::pair_slit_width}};
}

std::string check_bench(const bench& b, const parameter_info** at_fault) {
  const auto fault = overlap_fault(b);
  if (!fault) return {};
  if (at_fault) *at_fault = &parameter(parameter_id::pair_separation);
  return in_quotes(b.text[int(parameter_id::pair_separation)]) + " " + fault->why;
}

namespace {

// The largest |hop_phase(p, q, L)| over |p| <= P, |q| <= Q, formed as
// hop_phase forms it. Rounding is monotonic, so no pair of samples forms a
// larger |phase|, nor meets an overflow this bound does not.
// An rs phase is at most the fresnel one (R + L >= 2L) plus a difference of
// two reduced Hankel phases, and needs R, formed from the squares of both
// legs, finite.
double hop_bound(const bench& b, double P, double Q, double L) {
  if (b.fresnel_hops || b.rs_hops) {
    const double fresnel = (((P + Q) * (P + Q)) * b.wavenumber) / (2.0 * L);
    if (!b.rs_hops) return fresnel;
    return std::isfinite(((P + Q) * (P + Q)) + (L * L)) ? fresnel + 2 * std::numbers::pi : INFINITY;
  }
  if (b.fraunhofer_hops) return (((Q + (P + P)) * Q) * b.wavenumber) / (2.0 * L);
  return ((P + Q) * (b.wavenumber * P)) / L;
}

// The same for led_phase of the hops d -> s over L1 and s -> q over L2.
double led_bound(const bench& b, double D, double S, double Q, double L1, double L2) {
  if (b.textbook_hops) return hop_bound(b, D, S, L1) + hop_bound(b, S, Q, L2);
  return ((S + D) / L1 + (S + Q) / L2) * (b.wavenumber * S);
}

// The largest |coordinate| of a plane's samples: its first or its last.
double extent(double first, double last) { return std::max(std::abs(first), std::abs(last)); }

}  // namespace

std::optional<bench_fault> range_fault(const bench& b, const program_info& p) {
  using id = parameter_id;
  using ids = std::vector<id>;
  if (!p.pattern()) {
    // LED(x) is at most its value at the centre, 1 / (sigma sqrt(2 PI)).
    if (std::isfinite(LED(0.0, b.led_sigma))) return std::nullopt;
    return bench_fault{"makes the LED's profile infinite at its centre", {id::led_sigma}};
  }
  if (!std::isfinite(b.wavenumber))
    return bench_fault{"makes the wavenumber infinite", {id::wavelength}};
  // The last screen point is the largest, and i * max grows with i.
  const id screen_max = p.screen;
  const int points = b.screen_points(p);
  const double X = std::abs(screen_point(points - 1, points, b.screen_max(p)));
  if (!std::isfinite(X))
    return bench_fault{"makes the screen points infinite", {screen_max, id::screen_count}};

  // Every sample lies within its aperture, each step a width divided by a
  // count: finite wherever the widths are.
  const double D = extent(b.source_point(0), b.source_point(b.source_samples - 1));
  const double S = extent(b.entrance_point(0), b.entrance_point(b.entrance_samples - 1));
  const double Y = extent(b.pair_point(0), b.pair_point(b.pair_samples - 1));
  const double single = b.pair_distance + b.screen_distance;
  const ids source = {id::source_width, id::source_distance};
  const ids entrance = {id::entrance_width};
  const ids pair = {id::pair_slit_width, id::pair_separation, id::pair_distance};
  const ids to_screen = {screen_max, id::pair_distance, id::screen_distance};
  const auto join = [](ids a, const ids& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };

  // The hops of a path in beam order; the LED programs' first two as one
  // led_phase.
  struct hop {
    double bound;
    std::string name;
    ids involved;
  };
  std::vector<hop> path;
  const bool has_pair = p.planes & pair_plane;
  if (p.normalised()) {
    path.push_back(has_pair ? hop{led_bound(b, D, S, Y, b.source_distance, b.pair_distance),
                                  "from the source through the first slit to the double slit",
                                  join(join(source, entrance), pair)}
                            : hop{led_bound(b, D, S, X, b.source_distance, single),
                                  "from the source through the first slit to the screen",
                                  join(join(source, entrance), to_screen)});
  } else {
    if (p.planes & source_plane)
      path.push_back({hop_bound(b, D, S, b.source_distance), "from the source to the first slit",
                      join(source, entrance)});
    path.push_back(has_pair ? hop{hop_bound(b, S, Y, b.pair_distance),
                                  "from the first slit to the double slit", join(entrance, pair)}
                            : hop{hop_bound(b, S, X, single), "from the first slit to the screen",
                                  join(entrance, to_screen)});
  }
  if (has_pair)
    path.push_back({hop_bound(b, Y, X, b.screen_distance),
                    "from the double slit to the screen",
                    {id::pair_slit_width, id::pair_separation, screen_max, id::screen_distance}});
  double total = 0;
  ids every = {id::wavelength};
  for (const hop& h : path) {
    if (!std::isfinite(h.bound))
      return bench_fault{"makes the phase " + h.name + " infinite",
                         join({id::wavelength}, h.involved)};
    total += h.bound;
    every = join(every, h.involved);
  }
  if (!std::isfinite(total)) return bench_fault{"makes the phase of a whole path infinite", every};

  if (p.normalised()) {
    const ids weights = {id::led_sigma, id::source_width, id::source_samples};
    bool any = false;
    for (int j = 0; j < b.source_samples; ++j) {
      const double weight = LED(b.source_point(j), b.led_sigma);
      if (!std::isfinite(weight))
        return bench_fault{"makes the LED weights of the source samples infinite", weights};
      any = any || weight != 0;
    }
    if (!any)
      return bench_fault{
          "makes every LED weight of the source samples zero, and with them the intensity on the "
          "axis that the pattern is divided by",
          weights};
  }
  return std::nullopt;
}

double departure(const bench& b, parameter_id id) {
  const bench& defaults = default_bench();
  switch (parameter(id).kind) {
    case parameter_kind::length:
      return std::abs(std::log(*static_cast<const double*>(field(b, id)) /
                               *static_cast<const double*>(field(defaults, id))));
    case parameter_kind::count:
      return std::abs(std::log(double(*static_cast<const int*>(field(b, id))) /
                               *static_cast<const int*>(field(defaults, id))));
    default:
      return 0;
  }
}

const bench& default_bench() {
  static const bench configured = [] {
    bench b;
    for (const parameter_info& p : parameter_table) assign(b, p, p.configured);
    b.derive();
    return b;
  }();
  return configured;
}

double bench::cost(const program_info& p) const {
  if (!p.pattern()) return 0;
  // The sampled planes in beam order, the pair as its two slits, then the
  // screen.
  double planes[4];
  int count = 0;
  if (p.planes & source_plane) planes[count++] = source_samples;
  planes[count++] = entrance_samples;
  if (p.planes & pair_plane) planes[count++] = 2.0 * pair_samples;
  planes[count++] = screen_points(p);
  double exponentials = 1;
  if (!propagate) {  // one per path
    for (int k = 0; k < count; ++k) exponentials *= planes[k];
    return exponentials;
  }
  exponentials = 0;  // one per hop between two samples of neighbouring planes
  for (int k = 1; k < count; ++k) exponentials += planes[k - 1] * planes[k];
  return exponentials;
}

// The tables of terms that do not depend on the screen, and the phases of a
// block of screen points. The literal sums keep one phase per pair of
// samples on neighbouring planes before the pair (the source hop, and the two
// hops to the pair); the plane-by-plane fields of the LED programs one
// phasor per pair of source and first-slit samples, per pair of first-slit
// and pair samples, and per pair of source and pair samples.
double table_bytes(const bench& b, const program_info& p) {
  const double source = (p.planes & source_plane) ? double(b.source_samples) : 0;
  const double pair = (p.planes & pair_plane) ? double(b.pair_samples) : 0;
  const double entrance = b.entrance_samples;
  const double block = 3 * 8 * 8 * (entrance + 2 * pair);
  if (!b.propagate) return 8 * (source * entrance + 2 * entrance * pair) + block;
  if (!p.normalised()) return 16 * (source + entrance + 2 * pair) + block;
  return 16 * (source * entrance + 2 * entrance * pair + 2 * source * pair) + block;
}

double LED(double x, double sigma) {
  const double c = (1.0 / std::sqrt(PI + PI)) / sigma;
#if SLITS_LIBM_TWINS
  // x86-64 glibc's bits wherever it runs; sqrt rounds correctly everywhere.
  const double t = libm_twin::pow(x / sigma, 2.0);
  return libm_twin::exp(-0.5 * t) * c;
#else
  const double t = std::pow(x / sigma, 2.0);
  return std::exp(-0.5 * t) * c;
#endif
}

#if SLITS_LIBM_TWINS
double modulus(amplitude a) { return libm_twin::hypot(a.real(), a.imag()); }
double squared_modulus(amplitude a) { return libm_twin::pow(modulus(a), 2.0); }
#else
double modulus(amplitude a) { return std::abs(a); }
double squared_modulus(amplitude a) { return std::pow(std::abs(a), 2.0); }
#endif
