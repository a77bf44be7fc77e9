// The page's entry points into the programs' own code: the registry, the
// command line (read_arguments, so every refusal is the programs' own
// message) and the run (compute_pattern with the loop the program's factory
// makes, or the LED profile's table), each answer as one JSON text.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "command_line.hpp"
#include "paths.hpp"
#include "program_run.hpp"
#include "sensor.hpp"
#include "setup.hpp"

namespace {

std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// Every binary64 back exactly, for the plot; JSON has no nan or inf, and
// a run refuses them before they get here.
std::string json_number(double v) {
  if (!std::isfinite(v)) return "null";
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

// A code point below 0x10000 in UTF-8.
void append_utf8(std::string& out, unsigned c) {
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xc0 | c >> 6);
    out += char(0x80 | (c & 0x3f));
  } else {
    out += char(0xe0 | c >> 12);
    out += char(0x80 | (c >> 6 & 0x3f));
    out += char(0x80 | (c & 0x3f));
  }
}

// The strings of a JSON array of strings, as JSON.stringify writes it, or
// nothing. The page hands its argument vector so: each value stays one
// argument whatever it holds, a NUL included (JSON text holds none raw, so
// a NUL here is the end).
std::optional<std::vector<std::string>> strings_of(std::string_view json) {
  std::vector<std::string> strings;
  std::size_t at = 0;
  const auto next = [&]() { return at < json.size() ? json[at++] : '\0'; };
  const auto hex4 = [&]() -> std::optional<unsigned> {
    unsigned c = 0;
    for (int k = 0; k < 4; ++k) {
      const char h = next();
      const int digit = h >= '0' && h <= '9'   ? h - '0'
                        : h >= 'a' && h <= 'f' ? h - 'a' + 10
                        : h >= 'A' && h <= 'F' ? h - 'A' + 10
                                               : -1;
      if (digit < 0) return std::nullopt;
      c = c * 16 + unsigned(digit);
    }
    return c;
  };
  if (next() != '[') return std::nullopt;
  if (json.substr(at) == "]") return strings;
  for (;;) {
    if (next() != '"') return std::nullopt;
    std::string s;
    for (char c; (c = next()) != '"';) {
      if (c == '\0') return std::nullopt;
      if (c != '\\') {
        s += c;
        continue;
      }
      switch (c = next()) {
        case 'b':
          s += '\b';
          break;
        case 'f':
          s += '\f';
          break;
        case 'n':
          s += '\n';
          break;
        case 'r':
          s += '\r';
          break;
        case 't':
          s += '\t';
          break;
        case 'u': {
          // JSON.stringify escapes the control characters and lone
          // surrogates only; UTF-8 cannot hold the latter.
          const auto code = hex4();
          if (!code) return std::nullopt;
          append_utf8(s, *code >= 0xd800 && *code < 0xe000 ? 0xfffd : *code);
          break;
        }
        case '"':
        case '\\':
        case '/':
          s += c;
          break;
        default:
          return std::nullopt;
      }
    }
    strings.push_back(std::move(s));
    const char after = next();
    if (after == ']') return at == json.size() ? std::optional(strings) : std::nullopt;
    if (after != ',') return std::nullopt;
  }
}

std::string answer;  // the last answer, alive until the next call

const char* give(std::string text) {
  answer = std::move(text);
  return answer.c_str();
}

// The length of the control character at text[k]: C0 and DEL one byte,
// C1 two in UTF-8; 0 for any other.
std::size_t control_length(std::string_view text, std::size_t k) {
  const auto c = static_cast<unsigned char>(text[k]);
  if (c < 0x20 || c == 0x7f) return 1;
  const bool c1 =
      c == 0xc2 && k + 1 < text.size() && (static_cast<unsigned char>(text[k + 1]) & 0xe0) == 0x80;
  return c1 ? 2 : 0;
}

bool has_control_character(std::string_view text) {
  for (std::size_t k = 0; k < text.size(); ++k)
    if (control_length(text, k)) return true;
  return false;
}

// A value for a message, in quotes, its control characters made visible:
// a newline in a link must not pass for the start of another option.
std::string visibly_quoted(std::string_view text) {
  std::string out = "'";
  for (std::size_t k = 0; k < text.size(); ++k) {
    const std::size_t length = control_length(text, k);
    if (length == 0) {
      out += text[k];
    } else if (text[k] == '\n') {
      out += "\\n";
    } else if (text[k] == '\t') {
      out += "\\t";
    } else if (text[k] == '\r') {
      out += "\\r";
    } else {
      for (std::size_t byte = k; byte < k + length; ++byte) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[byte]));
        out += escaped;
      }
      k += length - 1;
    }
  }
  return out + "'";
}

struct reading {
  const program_info* p = nullptr;
  std::optional<command_line> c;  // nothing: refused
  std::string refusal;
};

// The page's argument vector, a JSON array: the program's name, then its
// arguments. Read as the program reads its command line, after two checks
// a terminal makes unnecessary: the name must be a program's, and no value
// may hold a control character, which a link can carry unseen.
reading read_for(const char* argv_json) {
  reading r;
  const auto argv = strings_of(argv_json);
  if (!argv || argv->empty()) {
    r.refusal = "the page's arguments are not a JSON array of strings";
    return r;
  }
  r.p = find_program(argv->front());
  if (!r.p) {
    r.refusal = visibly_quoted(argv->front()) + " is not a program: one of";
    for (const program_info& p : programs()) r.refusal.append(" ").append(p.name);
    return r;
  }
  const std::vector<std::string> arguments(argv->begin() + 1, argv->end());
  for (const std::string& a : arguments) {
    if (!has_control_character(a)) continue;
    const std::size_t equals = a.find('=');
    r.refusal = a.rfind("--", 0) == 0 && equals != a.npos
                    ? a.substr(0, equals) + ": " + visibly_quoted(a.substr(equals + 1))
                    : visibly_quoted(a);
    r.refusal += " contains a control character";
    return r;
  }
  r.c = read_arguments(arguments, r.p->name,
                       r.p->pattern() ? command_kind::pattern : command_kind::profile, &r.refusal);
  return r;
}

std::string refusal_answer(const std::string& refusal) {
  return "{\"refusal\":" + json_string(refusal) + "}";
}

// A failure of the computation itself, not of its input.
std::string error_answer(const std::string& message) {
  return "{\"error\":" + json_string(message) + "}";
}

std::string shortest(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// The values of the last run, for the plot: JSON would spend more time on
// them than the page's frame holds.
std::vector<double> plotted_x, plotted_value;

unsigned long address(const std::vector<double>& v) {
  return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(v.data()));
}

// A run's answer: the text of its data file (the profile: its standard
// output), where the values for the plot lie in memory (x, value: the
// addresses of "points" doubles each), and how many phases went to this C
// library, which is not glibc. compute(take) hands take each point in
// order; library_elsewhere counts the phases that workers sent to the
// library; without with_text the text is null. Values are checked finite
// as the plot needs them (the programs' own check comes first).
using point_sink = std::function<void(double x, double value)>;
std::string answer_of(int precision, bool with_text, std::size_t library_elsewhere,
                      const std::function<void(const point_sink&)>& compute,
                      const std::string& extra = "") {
  cis_path_name();  // the path chosen now: its start-up check is not this run's
  const std::size_t library_before = cis_detail::scalar_library_calls();
  std::ostringstream text;
  text.precision(precision);
  plotted_x.clear();
  plotted_value.clear();
  compute([&](double x, double value) {
    if (!std::isfinite(x)) throw std::domain_error("x = " + shortest(x) + " is not finite");
    if (!std::isfinite(value))
      throw std::domain_error("the value at x = " + shortest(x) + " is " + shortest(value) +
                              ", not a finite number");
    if (with_text) write_pair_line(text, x, value);
    plotted_x.push_back(x);
    plotted_value.push_back(value);
  });
  const std::size_t library =
      cis_detail::scalar_library_calls() - library_before + library_elsewhere;
  char arrays[128];
  std::snprintf(arrays, sizeof arrays, ",\"x\":%lu,\"value\":%lu,\"points\":%zu",
                address(plotted_x), address(plotted_value), plotted_x.size());
  return "{\"text\":" + (with_text ? json_string(text.str()) : "null") + arrays +
         ",\"library_phases\":" + std::to_string(library) + extra + "}";
}

bool rs_reaches_library(const setup& s);
std::string rs_library_flag(bool reaches);

// A program's run (see answer_of), or {"refusal": message}; make gives the
// pattern's loop. Progress reaches Module.onProgress, when set, about a
// hundred times a run.
std::string run_answer(const reading& r, loop_factory make, std::size_t library_elsewhere,
                       bool with_text = true) {
  if (!r.c) return refusal_answer(r.refusal);
  const program_info& p = *r.p;
  const command_line& c = *r.c;
  const std::string extra = p.pattern() ? rs_library_flag(rs_reaches_library(preset(p, c.b))) : "";
  return answer_of(
      c.precision, with_text, library_elsewhere,
      [&](const point_sink& take) {
        if (!p.pattern()) return compute_profile(c.b, take);
        const int points = c.b.screen_points(p);
        const int step = points / 100 + 1;
        compute_pattern(p, c.b, 1, make, [&](int i, double x, double value) {
          take(x, value);
          if ((i + 1) % step == 0)
            EM_ASM(
                {
                  if (Module.onProgress) Module.onProgress($0, $1);
                },
                i + 1, points);
        });
      },
      extra);
}

// A worker's loop, kept while it is handed blocks of the same bench:
// its tables are made once per run, not once per share of the screen.
struct kept_loop {
  std::string key;  // the program and its bench
  block_loop loop;
  std::size_t table_phases = 0;  // sent to the C library while making it
} kept;

// The values a worker sent back, every point of the screen in order; the
// gathering run reads them in place of its loop's, block after block.
std::vector<double> gathered;
std::size_t gathered_block = 0;

block_loop replay(const bench&) {
  gathered_block = 0;
  return [](const double*, double* value) {
    for (int l = 0; l < block_size; ++l) {
      const std::size_t i = gathered_block * block_size + std::size_t(l);
      value[l] = i < gathered.size() ? gathered[i] : 0;  // beyond the screen: never written
    }
    ++gathered_block;
  };
}

std::vector<double> share;  // a worker's last share of the screen

// Whether an rs hop of the setup reaches below rs_series_from, where its
// factors come from the C library's j1, y1 and atan2: the browser's (musl's)
// differ from glibc's in the last bits for a few percent of arguments. Each
// hop evaluates its own length's factor, kR >= kL, so the shortest hop
// decides; a plane wave makes no hop to the first plane.
bool rs_reaches_library(const setup& s) {
  if (!s.b.rs_hops) return false;
  const auto short_hop = [&](double L) { return s.b.wavenumber * L < rs_series_from; };
  for (std::size_t k = 0; k < s.planes.size(); ++k)
    if ((k > 0 || s.source.kind != source_kind::plane_wave) && short_hop(s.planes[k].distance))
      return true;
  return short_hop(s.screen.distance);
}

std::string rs_library_flag(bool reaches) { return reaches ? ",\"rs_library\":true" : ""; }

// The setup of pattern's arguments (a JSON array: "pattern", then the
// options) over setup_text (empty: pattern's own default), as pattern
// --setup reads it, or the refusal in `why`.
std::optional<setup> setup_of(const char* setup_text, const char* argv_json, std::string& why,
                              int* precision = nullptr) {
  const auto argv = strings_of(argv_json);
  if (!argv || argv->empty() || argv->front() != "pattern") {
    why = "the page's arguments are not pattern's";
    return std::nullopt;
  }
  const std::vector<std::string> arguments(argv->begin() + 1, argv->end());
  for (const std::string& a : arguments)
    if (has_control_character(a)) {
      why = visibly_quoted(a) + " contains a control character";
      return std::nullopt;
    }
  const auto c = read_arguments(arguments, "pattern", command_kind::setup, &why);
  if (!c) return std::nullopt;
  if (precision) *precision = c->precision;
  const std::string_view text = setup_text;
  setup s = text.empty() ? default_setup() : empty_setup();
  if (!text.empty()) why = read_setup_text(text, "setup", "", s);
  if (why.empty()) {
    for (const auto& [p, value] : c->given) assign(s.b, *p, value);
    s.b.derive();
    why = check_setup(s);
  }
  if (!why.empty()) return std::nullopt;
  return s;
}

// A spectrum's lines, each its own intensity over the screen (line after
// line, every point of the screen), for the strip's colour.
std::vector<double> line_intensities;

// The positions and measured values of a profile, written by the page.
std::vector<double> match_input;
std::vector<double> matched_model;

// The intensities a loop gives at xs[0..n), eight at a time, relative ones
// divided by the value at 0 computed alone and moduli squared: the numbers
// slits.fit reads where the sensor is a point.
std::vector<double> intensities_at(const block_loop& loop, bool relative, bool amplitude,
                                   const std::vector<double>& xs) {
  double axis = 1;
  if (relative) {
    double zero[block_size] = {}, on_axis[block_size];
    loop(zero, on_axis);
    axis = on_axis[0];
  }
  std::vector<double> value(xs.size());
  for (std::size_t first = 0; first < xs.size(); first += block_size) {
    double xb[block_size] = {}, vb[block_size];
    const std::size_t count = std::min<std::size_t>(block_size, xs.size() - first);
    std::copy(xs.begin() + std::ptrdiff_t(first), xs.begin() + std::ptrdiff_t(first + count), xb);
    loop(xb, vb);
    for (std::size_t l = 0; l < count; ++l) {
      const double v = relative ? vb[l] / axis : vb[l];
      check_finite(xs[first + l], v);
      value[first + l] = amplitude ? v * v : v;
    }
  }
  return value;
}

// What a sensor of `width` centred at each of u reads: the intensity at u
// itself for width 0, else the box's mean from Gauss-Legendre nodes, doubled
// from 8 until doubling changes no reading by more than 1e-11 of the
// largest (at most 4096), as slits.fit settles them.
std::vector<double> sensor_intensities(const block_loop& loop, bool relative, bool amplitude,
                                       const std::vector<double>& u, double width, int& nodes) {
  nodes = 1;
  if (!(width > 0)) return intensities_at(loop, relative, amplitude, u);
  const auto read = [&](int n) {
    const gauss_legendre_rule rule = gauss_legendre(n);
    return sensor_readings(
        intensities_at(loop, relative, amplitude, sensor_positions(u.data(), u.size(), width, rule))
            .data(),
        u.size(), rule);
  };
  nodes = 8;
  std::vector<double> now = read(nodes);
  while (2 * nodes <= 4096) {
    std::vector<double> finer = read(2 * nodes);
    double change = 0, largest = 0;
    for (std::size_t i = 0; i < u.size(); ++i) {
      change = std::max(change, std::abs(now[i] - finer[i]));
      largest = std::max(largest, std::abs(finer[i]));
    }
    if (change <= 1e-11 * largest) break;
    nodes *= 2;
    now = std::move(finer);
  }
  return now;
}

}  // namespace

extern "C" {

// The registry: every parameter with its default, limits, unit and meaning,
// and every program with its facts (the screen's span by the parameter's
// name, the sampled planes by name, the quantity as --print-bench names it).
EMSCRIPTEN_KEEPALIVE const char* slits_registry() {
  const bench& defaults = default_bench();
  std::string out = "{\"parameters\":[";
  for (const parameter_info& p : parameters()) {
    const char* kinds[] = {"length", "count", "choice"};
    std::string option(p.name);
    for (char& c : option)
      if (c == '_') c = '-';
    out += std::string(&p == parameters().data() ? "" : ",") + "{\"name\":" + json_string(p.name) +
           ",\"option\":" + json_string(option) + ",\"kind\":\"" + kinds[int(p.kind)] +
           "\",\"default\":" + json_string(defaults.text[&p - parameters().data()]) +
           ",\"largest\":" + std::to_string(p.largest) + ",\"choices\":" + json_string(p.choices) +
           ",\"unit\":" + json_string(p.unit) + ",\"meaning\":" + json_string(p.meaning) + "}";
  }
  out += "],\"programs\":[";
  for (const program_info& p : programs()) {
    const char* quantities[] = {"amplitude", "intensity", "profile"};
    std::string planes;
    for (const auto& [bit, name] :
         {std::pair{source_plane, "source"}, std::pair{entrance_plane, "entrance"},
          std::pair{pair_plane, "pair"}})
      if (p.planes & bit) planes += std::string(planes.empty() ? "" : ",") + json_string(name);
    out += std::string(&p == programs().data() ? "" : ",") + "{\"name\":" + json_string(p.name) +
           ",\"title\":" + json_string(p.title) +
           ",\"pattern\":" + (p.pattern() ? "true" : "false") +
           ",\"screen\":" + json_string(p.pattern() ? parameter(p.screen).name : "") +
           ",\"label\":" + json_string(p.label) + ",\"planes\":[" + planes + "],\"quantity\":\"" +
           quantities[int(p.quantity)] + "\",\"prints\":" + json_string(p.prints) + "}";
  }
  return give(out + "],\"kernel\":" + json_string(cis_path_name()) + "}");
}

// The argument vector (see read_for) checked as the program checks it:
// {"refusal": message} or the bench's cost in exponentials and its number
// of screen points (0 for the profile).
EMSCRIPTEN_KEEPALIVE const char* slits_check(const char* argv) {
  try {
    const reading r = read_for(argv);
    if (!r.c) return give(refusal_answer(r.refusal));
    const int points = r.p->pattern() ? r.c->b.screen_points(*r.p) : 0;
    return give("{\"cost\":" + json_number(r.c->b.cost(*r.p)) +
                ",\"points\":" + std::to_string(points) + "}");
  } catch (const std::exception& e) {
    return give(error_answer(e.what()));
  }
}

// The program's run, on this thread: see run_answer.
EMSCRIPTEN_KEEPALIVE const char* slits_run(const char* argv) {
  try {
    const reading r = read_for(argv);
    return give(run_answer(r, r.p && r.p->pattern() ? pattern_loop(r.p->id) : nullptr, 0));
  } catch (const std::exception& e) {
    return give(error_answer(e.what()));
  }
}

// A worker's share of a pattern: the values, as the program's loop leaves
// them (before an LED program's division by the axis, which needs the
// first point), of the screen blocks first to first + count - 1, into
// memory at "at"; with "points", their number, and "library_phases" (the
// tables' own counted with the share from block 0). Every
// point's sum is its own, so any split gives the same bits.
EMSCRIPTEN_KEEPALIVE const char* slits_blocks(const char* argv, int first, int count) {
  try {
    const reading r = read_for(argv);
    if (!r.c) return give(refusal_answer(r.refusal));
    if (!r.p->pattern()) return give(error_answer("the profile has no screen blocks"));
    cis_path_name();
    // The loop is the bench's: a new precision keeps it.
    std::string key(r.p->name);
    for (const std::string& value : r.c->b.text) key.append("\n").append(value);
    if (kept.key != key) {
      kept.loop = nullptr;  // the old tables go before the new are made
      const std::size_t before = cis_detail::scalar_library_calls();
      kept.loop = pattern_loop(r.p->id)(r.c->b);
      kept.table_phases = cis_detail::scalar_library_calls() - before;
      kept.key = key;
    }
    const std::size_t library_before = cis_detail::scalar_library_calls();
    const int screen_count = r.c->b.screen_points(*r.p);
    const double screen_max = r.c->b.screen_max(*r.p);
    const int begin = std::min(first * block_size, screen_count);
    const int points = std::max(0, std::min(count * block_size, screen_count - begin));
    share.assign(std::size_t(points), 0);
    for_each_block_at(
        points, [&](int i) { return screen_point(begin + i, screen_count, screen_max); }, 1,
        kept.loop, [&](int i, double, double value) { share[std::size_t(i)] = value; });
    // The tables' phases once a run, as slits_run counts them, with the
    // share that holds the first point, whichever worker made them.
    const std::size_t library =
        cis_detail::scalar_library_calls() - library_before + (first == 0 ? kept.table_phases : 0);
    char head[96];
    std::snprintf(head, sizeof head, "{\"at\":%lu,\"points\":%d,\"library_phases\":%zu}",
                  address(share), points, library);
    return give(head);
  } catch (const std::exception& e) {
    kept = {};
    return give(error_answer(e.what()));
  }
}

// Room for the gathered values of a screen of "points" points: where the
// page writes them before slits_gather.
EMSCRIPTEN_KEEPALIVE double* slits_gather_room(int points) {
  gathered.assign(std::size_t(std::max(points, 0)), 0);
  return gathered.data();
}

// The run of slits_run with the workers' values in place of this thread's
// sums: the same division by the axis, the same checks in the same order,
// the same text; without with_text the text is null (its lines cost more
// than the values, and are needed only when shown or saved).
EMSCRIPTEN_KEEPALIVE const char* slits_gather(const char* argv, double library_phases,
                                              int with_text) {
  try {
    const reading r = read_for(argv);
    if (r.c && int(gathered.size()) != r.c->b.screen_points(*r.p))
      return give(error_answer("the workers' values do not fill the screen"));
    return give(run_answer(r, replay, std::size_t(library_phases), with_text));
  } catch (const std::exception& e) {
    return give(error_answer(e.what()));
  }
}

// The pattern of a setup, as `pattern --setup FILE` with these arguments
// (a JSON array: "pattern", then the options) writes it, FILE holding
// setup_text (empty: pattern's own default, duogap's experiment): the
// answer of slits_run with the setup's wavelength, the console label of
// its quantity and the quantity itself, and literal_library when the
// literal reference summed it (its phasors are std::exp's, here the
// browser's C library, not glibc), rs_library when an rs hop reaches the
// C library's j1, y1 and atan2; for a spectrum of several lines, "lines"
// ({nm, weight} each) and line_intensities, the address of each line's own
// intensity over the screen, line after line. Or {"refusal": message}.
// Table files are read from the page's file system, which holds none.
EMSCRIPTEN_KEEPALIVE const char* slits_setup(const char* setup_text, const char* argv_json) {
  try {
    std::string why;
    int precision = 6;
    const auto s = setup_of(setup_text, argv_json, why, &precision);
    if (!s) return give(refusal_answer(why));
    const char* quantities[] = {"amplitude", "intensity", "relative"};
    const std::vector<spectral_line> lines = spectral_lines(*s);
    std::string extra = ",\"wavelength\":" + json_number(s->b.wavelength) +
                        ",\"label\":" + json_string(setup_label(*s)) + ",\"quantity\":\"" +
                        quantities[int(s->quantity)] + "\"" +
                        (s->b.propagate ? "" : ",\"literal_library\":true") +
                        rs_library_flag(rs_reaches_library(*s));
    line_intensities.clear();
    const std::string head = answer_of(
        precision, true, 0,
        [&](const point_sink& take) {
          compute_setup(*s, 1, [&](int, double x, double value) {
            check_finite(x, value);
            take(x, value);
          });
          // Each line's own intensity for the strip's colour: the sum above
          // is the file's, these are the eye's.
          if (lines.size() < 2) return;
          for (const spectral_line& line : lines) {
            setup one = at_wavelength(*s, line.wavelength);
            one.quantity = setup_quantity::intensity;
            compute_setup(one, 1, [&](int, double x, double value) {
              check_finite(x, value);
              line_intensities.push_back(value);
            });
          }
        },
        extra);
    if (lines.size() < 2) return give(head);
    std::string spectrum = ",\"lines\":[";
    for (const spectral_line& line : lines)
      spectrum += std::string(&line == lines.data() ? "" : ",") +
                  "{\"nm\":" + json_number(line.wavelength * 1e6) +
                  ",\"weight\":" + json_number(line.weight) + "}";
    char at[48];
    std::snprintf(at, sizeof at, "],\"line_intensities\":%lu}", address(line_intensities));
    return give(head.substr(0, head.size() - 1) + spectrum + at);
  } catch (const std::exception& e) {
    return give(error_answer(e.what()));
  }
}

// Room for a measured profile of `count` points: its positions, then its
// values, written by the page before slits_match.
EMSCRIPTEN_KEEPALIVE double* slits_match_room(int count) {
  match_input.assign(2 * std::size_t(std::max(count, 0)), 0);
  return match_input.data();
}

// A measured profile matched to the model as slits.fit matches it: the
// model's intensity (relative to the axis where the program's or the
// setup's is; moduli squared) at the measured positions, read by a sensor
// of sensor_width (0: a point), and the scale a and background b of
// match_profile that bring a * model + b nearest the measured values;
// with_background 0 holds b at 0. setup_text is read when argv is
// pattern's. Answers {"scale", "background", "nodes", "model": address of
// the count readings} or {"refusal": message}.
EMSCRIPTEN_KEEPALIVE const char* slits_match(const char* setup_text, const char* argv_json,
                                             int count, double sensor_width, int with_background) {
  try {
    if (!(sensor_width >= 0) || !std::isfinite(sensor_width))
      return give(refusal_answer("the sensor width must be 0 or more"));
    const std::size_t n = std::min(std::size_t(std::max(count, 0)), match_input.size() / 2);
    const std::vector<double> u(match_input.begin(), match_input.begin() + std::ptrdiff_t(n));
    block_loop loop;
    bool relative = false, amplitude = false;
    const auto argv = strings_of(argv_json);
    if (argv && !argv->empty() && argv->front() == "pattern") {
      std::string why;
      const auto s = setup_of(setup_text, argv_json, why);
      if (!s) return give(refusal_answer(why));
      loop = setup_loop(*s);
      relative = s->quantity == setup_quantity::relative;
      amplitude = s->quantity == setup_quantity::amplitude;
    } else {
      const reading r = read_for(argv_json);
      if (!r.c) return give(refusal_answer(r.refusal));
      if (!r.p->pattern()) return give(refusal_answer("the profile is not a pattern"));
      loop = pattern_loop(r.p->id)(r.c->b);
      relative = r.p->normalised();
      amplitude = !relative;
    }
    int nodes = 1;
    matched_model = sensor_intensities(loop, relative, amplitude, u, sensor_width, nodes);
    const linear_match m = match_profile(matched_model.data(), match_input.data() + n, nullptr, n,
                                         with_background != 0);
    char head[160];
    std::snprintf(head, sizeof head, ",\"nodes\":%d,\"model\":%lu}", nodes, address(matched_model));
    return give("{\"scale\":" + json_number(m.scale) +
                ",\"background\":" + json_number(m.background) + head);
  } catch (const std::exception& e) {
    return give(error_answer(e.what()));
  }
}

// The setup of a program's bench, as PROGRAM --print-setup prints it, for
// the arguments of slits_check; or {"refusal": message}.
EMSCRIPTEN_KEEPALIVE const char* slits_preset(const char* argv) {
  try {
    const reading r = read_for(argv);
    if (!r.c) return give(refusal_answer(r.refusal));
    if (!r.p->pattern()) return give(refusal_answer("the profile has no setup"));
    return give("{\"setup\":" + json_string(preset_text(*r.p, r.c->b)) + "}");
  } catch (const std::exception& e) {
    return give(error_answer(e.what()));
  }
}
}
