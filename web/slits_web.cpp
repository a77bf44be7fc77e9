// The page's entry points into the programs' own code: the registry, the
// command line (read_arguments, so every refusal is the programs' own
// message) and the run (compute_pattern with the loop the program's factory
// makes, or ledcurve's table), each answer as one JSON text.
#include <emscripten.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "driver.hpp"
#include "paths.hpp"
#include "patterns.hpp"

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

// Every binary64 back exactly, for the plot.
std::string json_number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", v);
  return text;
}

std::string answer;  // the last answer, alive until the next call

const char* give(std::string text) {
  answer = std::move(text);
  return answer.c_str();
}

std::vector<std::string> lines_of(const char* text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) lines.push_back(line);
  return lines;
}

// The command line of `program` with these arguments, or the refusal.
std::optional<command_line> read_for(const program_info& p, const char* arguments,
                                     std::string& refusal) {
  return read_arguments(lines_of(arguments), p.name,
                        p.pattern ? command_kind::pattern : command_kind::profile, &refusal);
}

}  // namespace

extern "C" {

// The registry: every parameter with its default, limits, unit and meaning,
// and every program.
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
    out += std::string(&p == programs().data() ? "" : ",") + "{\"name\":" + json_string(p.name) +
           ",\"pattern\":" + (p.pattern ? "true" : "false") +
           ",\"double_slit\":" + (p.double_slit ? "true" : "false") +
           ",\"label\":" + json_string(p.label) + ",\"planes\":" + std::to_string(p.planes) +
           ",\"normalised\":" + (p.normalised ? "true" : "false") +
           ",\"quantity\":" + json_string(p.quantity) + "}";
  }
  return give(out + "],\"kernel\":" + json_string(cis_path_name()) + "}");
}

// The arguments ("--name=value" a line) checked as the program checks
// them: {"refusal": message} or the bench's cost in exponentials.
EMSCRIPTEN_KEEPALIVE const char* slits_check(const char* program, const char* arguments) {
  const program_info* p = find_program(program);
  if (!p) return give("{\"refusal\":" + json_string("unknown program") + "}");
  std::string refusal;
  const auto c = read_for(*p, arguments, refusal);
  if (!c) return give("{\"refusal\":" + json_string(refusal) + "}");
  return give("{\"cost\":" + json_number(c->b.cost(*p)) + "}");
}

// The program's run: the text of its data file (ledcurve: its standard
// output), the values for the plot, and how many phases went to this C
// library, which is not glibc. Progress reaches Module.onProgress, when set,
// about a hundred times a run.
EMSCRIPTEN_KEEPALIVE const char* slits_run(const char* program, const char* arguments) {
  const program_info* p = find_program(program);
  if (!p) return give("{\"refusal\":" + json_string("unknown program") + "}");
  std::string refusal;
  const auto c = read_for(*p, arguments, refusal);
  if (!c) return give("{\"refusal\":" + json_string(refusal) + "}");

  cis_path_name();  // the path chosen now: its start-up check is not this run's
  const std::size_t library_before = cis_detail::scalar_library_calls();
  std::ostringstream text;
  text.precision(c->precision);
  std::string xs, values;
  const auto take = [&](double x, double value) {
    write_pair_line(text, x, value);
    xs += (xs.empty() ? "" : ",") + json_number(x);
    values += (values.empty() ? "" : ",") + json_number(value);
  };
  if (p->pattern) {
    const int points = c->b.screen_points(*p);
    const int step = points / 100 + 1;
    compute_pattern(*p, c->b, 1, pattern_loop(p->id), [&](int i, double x, double value) {
      take(x, value);
      if ((i + 1) % step == 0)
        EM_ASM(
            {
              if (Module.onProgress) Module.onProgress($0, $1);
            },
            i + 1, points);
    });
  } else {
    compute_profile(c->b, take);
  }
  const std::size_t library = cis_detail::scalar_library_calls() - library_before;
  return give("{\"text\":" + json_string(text.str()) + ",\"x\":[" + xs + "],\"value\":[" + values +
              "],\"library_phases\":" + std::to_string(library) + "}");
}
}
