// The registry, the bench's values and LED.
#include "bench.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "bench_config.hpp"
#if SLITS_LIBM_TWINS
#include "libm_twins.hpp"
#endif

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

constexpr unsigned planes_named(std::string_view names) {
  unsigned planes = 0;
  if (names.find("source") != names.npos) planes |= source_plane;
  if (names.find("entrance") != names.npos) planes |= entrance_plane;
  if (names.find("pair") != names.npos) planes |= pair_plane;
  return planes;
}

constexpr std::string_view amplitude_quantity = "modulus of the mean amplitude";
constexpr std::string_view intensity_quantity = "intensity relative to the axis";

constexpr program_info program_table[] = {
#define SLITS_PROGRAM(name, screen, count_factor, label, planes, quantity) \
  {program_id::name,                                                       \
   #name,                                                                  \
   true,                                                                   \
   std::string_view(#screen) == "double",                                  \
   count_factor,                                                           \
   label##_label,                                                          \
   planes_named(planes),                                                   \
   quantity##_quantity == intensity_quantity,                              \
   quantity##_quantity},
#define SLITS_PROFILE(name, quantity) \
  {program_id::name, #name, false, false, 0, "", 0, false, quantity},
#include "registry.def"
};

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

// ---------------------------------------------------------------------------
// Values.

namespace {

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

// Where a row's value lives in the bench.
void* field(bench& b, parameter_id id) {
  switch (id) {
#define SLITS_LENGTH(name, ...) \
  case parameter_id::name:      \
    return &b.name;
#define SLITS_COUNT(name, ...) \
  case parameter_id::name:     \
    return &b.name;
#define SLITS_CHOICE(name, ...) \
  case parameter_id::name:      \
    return &b.name;
#include "registry.def"
  }
  return nullptr;
}

}  // namespace

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

std::string check_bench(const bench& b, const parameter_info** at_fault) {
  // Each slit of the pair is pair_slit_width wide, their centres
  // pair_separation apart.
  if (!(b.pair_separation > b.pair_slit_width)) {
    *at_fault = &parameter(parameter_id::pair_separation);
    return in_quotes(b.text[int(parameter_id::pair_separation)]) +
           " makes the slits of the pair overlap (it must exceed pair_slit_width " +
           b.text[int(parameter_id::pair_slit_width)] + ")";
  }
  return {};
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
  if (!p.pattern) return 0;
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
  if (!p.normalised) return 16 * (source + entrance + 2 * pair) + block;
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
