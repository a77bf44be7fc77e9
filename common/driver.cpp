#include "driver.hpp"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include <slits/cis.hpp>

namespace {

// getopt's code of an option: its row in the registry, the bench's
// parameters first, then the others.
constexpr int first_option = 1000;

constexpr std::string_view command_names[] = {"pattern", "profile", "continuum", "setup"};

// The programs print as %g does; the continuum tool every digit.
int default_precision(command_kind kind) { return kind == command_kind::continuum ? 17 : 6; }

struct option_info {
  std::string name;
  int code;
  bool takes_value;
  std::string value_name;
  std::string meaning;
};

std::string option_name(const parameter_info& p) {
  std::string name(p.name);
  std::replace(name.begin(), name.end(), '_', '-');
  return name;
}

struct other_option {
  std::string_view name, value_name, commands, meaning;
};
constexpr other_option other_options[] = {
#define SLITS_OPTION(name, value, commands, meaning) {#name, value, commands, meaning},
#include "registry.def"
};

// A setup's bench runs its planes plane by plane unless told otherwise: the
// literal sums are a reference for small setups.
bench command_defaults(command_kind kind) {
  bench b = default_bench();
  if (kind == command_kind::setup) {
    assign(b, parameter(parameter_id::method), "propagate");
    b.derive();
  }
  return b;
}

bool takes_parameter(command_kind kind, const parameter_info& p) {
  if (kind == command_kind::profile) return p.name == "led_sigma";
  if (kind == command_kind::setup) return setup_parameter(p);
  return true;
}

std::vector<option_info> options_of(command_kind kind) {
  std::vector<option_info> options;
  for (const parameter_info& p : parameters()) {
    if (!takes_parameter(kind, p)) continue;
    std::string value_name = p.kind == parameter_kind::count ? "N" : "X";
    if (p.kind == parameter_kind::choice) {
      value_name = p.choices;
      std::replace(value_name.begin(), value_name.end(), ' ', '|');
    }
    options.push_back({option_name(p), first_option + int(&p - parameters().data()), true,
                       value_name, std::string(p.meaning)});
  }
  const std::string_view command = command_names[int(kind)];
  for (const other_option& o : other_options) {
    if (o.commands.find(command) == o.commands.npos) continue;
    options.push_back({std::string(o.name),
                       first_option + int(parameter_count + (&o - other_options)),
                       !o.value_name.empty(), std::string(o.value_name), std::string(o.meaning)});
  }
  return options;
}

// A whole number from low to high, or nothing.
std::optional<int> whole_number(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() == '-' || error != std::errc() ||
      end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

// The bench file's lines into `b`; a refusal names FILE:LINE.
std::string read_bench_file(const std::string& path, bench& b) {
  std::ifstream in(path);
  if (!in) return path + ": cannot read the bench file";
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string at = path + ":" + std::to_string(number) + ": ";
    std::istringstream fields(line);
    std::string name, value, extra;
    if (!(fields >> name) || name.front() == '#') continue;
    if (!(fields >> value)) return at + name + ": no value";
    if (fields >> extra) return at + name + ": more than one value";
    const parameter_info* p = find_parameter(name);
    if (!p) return at + "unknown parameter " + in_quotes(name);
    if (std::string why = assign(b, *p, value); !why.empty()) return at + name + ": " + why;
  }
  if (in.bad()) return path + ": cannot read the bench file";
  return {};
}

std::optional<command_line> read(int argc, char** argv, std::string_view name, command_kind kind,
                                 std::string& refusal) {
  const std::vector<option_info> options = options_of(kind);
  std::vector<option> table;
  for (const option_info& o : options)
    table.push_back(
        {o.name.c_str(), o.takes_value ? required_argument : no_argument, nullptr, o.code});
  table.push_back({nullptr, 0, nullptr, 0});

  command_line c;
  c.b = command_defaults(kind);
  c.output = std::string(name) + ".txt";
  c.precision = default_precision(kind);
  std::string bench_file;
  std::vector<std::pair<const parameter_info*, std::string>> values;  // in order given
  const auto refuse = [&](std::string why) {
    refusal = std::move(why);
    return std::nullopt;
  };

  ::optind = 0;  // a fresh scan, also when called again in one process
  ::opterr = 0;  // every message is ours
  for (int code; (code = ::getopt_long(argc, argv, ":", table.data(), nullptr)) != -1;) {
    const std::string value = ::optarg ? ::optarg : "";
    if (code == '?' || code == ':') {
      const std::string given = argv[::optind - 1];
      if (given.rfind("--", 0) != 0) return refuse("unknown option " + in_quotes(given));
      const std::string option = given.substr(0, given.find('='));
      const auto known = std::find_if(options.begin(), options.end(), [&](const option_info& o) {
        return "--" + o.name == option;
      });
      if (code == ':') return refuse(option + ": no value given");
      if (known != options.end() && !known->takes_value) return refuse(option + " takes no value");
      return refuse("unknown option " + in_quotes(given));
    }
    const std::size_t row = code - first_option;
    if (row < parameter_count) {
      values.emplace_back(&parameters()[row], value);
      continue;
    }
    const std::string_view option = other_options[row - parameter_count].name;
    if (option == "bench") {
      bench_file = value;
    } else if (option == "print-bench") {
      c.what = command_line::action::print_bench;
    } else if (option == "setup") {
      if (value.empty()) return refuse("--setup: the file name is empty");
      c.setup_file = value;
    } else if (option == "print-setup") {
      c.what = command_line::action::print_setup;
    } else if (option == "threads") {
      const auto n = whole_number(value, 0, 256);
      if (!n)
        return refuse("--threads: " + in_quotes(value) + " is not a whole number from 0 to 256");
      c.threads = *n;
    } else if (option == "output") {
      if (value.empty()) return refuse("--output: the file name is empty");
      c.output = value;
    } else if (option == "precision") {
      const auto n = whole_number(value, 1, 17);
      if (!n)
        return refuse("--precision: " + in_quotes(value) + " is not a whole number from 1 to 17");
      c.precision = *n;
    } else if (option == "quiet") {
      c.quiet = true;
    } else if (option == "check") {
      c.check = true;
    } else if (option == "help") {
      c.what = command_line::action::help;
    } else if (option == "version") {
      c.what = command_line::action::version;
    }
  }
  for (int i = ::optind; i < argc; ++i) c.operands.push_back(argv[i]);
  if (c.what == command_line::action::help || c.what == command_line::action::version) return c;

  if (!bench_file.empty())
    if (std::string why = read_bench_file(bench_file, c.b); !why.empty()) return refuse(why);
  for (const auto& [p, value] : values)
    if (std::string why = assign(c.b, *p, value); !why.empty())
      return refuse("--" + option_name(*p) + ": " + why);
  c.given = values;
  const parameter_info* at_fault = nullptr;
  if (std::string why = check_bench(c.b, &at_fault); !why.empty())
    return refuse("--" + option_name(*at_fault) + ": " + why);
  c.b.derive();

  if (kind == command_kind::continuum) {
    if (c.what == command_line::action::run && c.operands.size() != 1)
      return refuse(c.operands.empty() ? "which program? (one of the pattern programs)"
                                       : "one program at a time");
    if (c.operands.size() == 1) {
      const program_info* p = find_program(c.operands[0]);
      if (!p || !p->pattern) return refuse(in_quotes(c.operands[0]) + " is not a pattern program");
    }
  } else if (!c.operands.empty()) {
    return refuse("unexpected argument " + in_quotes(c.operands[0]));
  }
  if (kind == command_kind::pattern) {
    const program_info* p = find_program(name);
    if (p && table_bytes(c.b, *p) > table_memory_limit) {
      char figure[64];
      std::snprintf(figure, sizeof figure, "%.2f GiB", table_bytes(c.b, *p) / table_memory_limit);
      return refuse("this bench needs " + std::string(figure) +
                    " of tables, more than the 1 GiB allowed");
    }
  }
  return c;
}

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

}  // namespace

bool setup_parameter(const parameter_info& p) {
  return p.name == "wavelength" || p.name == "phase_model" || p.name == "sampling" ||
         p.name == "method";
}

void report_refusal(std::string_view name, const std::string& why) {
  std::string message =
      std::string(name) + ": error: " + why + "\nTry '" + std::string(name) + " --help'.\n";
  std::fputs(message.c_str(), stderr);
}

std::optional<command_line> read_arguments(const std::vector<std::string>& arguments,
                                           std::string_view name, command_kind kind,
                                           std::string* refusal) {
  std::vector<std::string> storage{std::string(name)};
  storage.insert(storage.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& s : storage) argv.push_back(s.data());
  argv.push_back(nullptr);
  std::string why;
  auto c = read(int(storage.size()), argv.data(), name, kind, why);
  if (refusal) *refusal = why;
  return c;
}

std::optional<command_line> read_command_line(int argc, char** argv, std::string_view name,
                                              command_kind kind) {
  std::string why;
  auto c = read(argc, argv, name, kind, why);
  if (!c) report_refusal(name, why);
  return c;
}

std::string bench_lines(const bench& b) {
  std::string text =
      "# The bench, one \"name value\" a line; lengths in millimetres. Any program reads it\n"
      "# back with --bench FILE.\n";
  for (const parameter_info& p : parameters())
    text.append(p.name).append(" ").append(b.text[&p - parameters().data()]).append("\n");
  // One comment per program: its cost, its points and the end of its
  // screen, for the main job's report and the plots.
  text += "# Per program: complex exponentials, screen points, end of the screen:\n";
  for (const program_info& p : programs()) {
    char line[160];
    if (p.pattern)
      std::snprintf(line, sizeof line, "# program %s %.3g exponentials %d points to %s\n",
                    p.name.data(), b.cost(p), b.screen_points(p),
                    b.text[int(p.double_slit ? parameter_id::double_screen_max
                                             : parameter_id::single_screen_max)]
                        .c_str());
    else
      std::snprintf(line, sizeof line, "# program %s 0 exponentials 1000 points to 50\n",
                    p.name.data());
    text += line;
  }
  return text;
}

std::string help_text(std::string_view name, command_kind kind) {
  std::string text = "Usage: " + std::string(name) + " [OPTION]...";
  if (kind == command_kind::continuum) text += " PROGRAM";
  text += "\n";
  if (kind == command_kind::setup) {
#define SLITS_SETUP_PROGRAM(program, quantity) \
  if (name == #program) text += "Computes " quantity ".\n";
#include "registry.def"
  } else if (const program_info* p = find_program(name)) {
    text += p->pattern ? "The " + std::string(p->quantity) +
                             " at each screen point: a labelled line on standard output, and "
                             "\"x value\" lines in the data file.\n"
                       : "Prints " + std::string(p->quantity) + ".\n";
  } else {
    text += "What PROGRAM would print if its apertures were continuous, on its own screen.\n";
  }
  text += "\nOptions (defaults in brackets; lengths in millimetres):\n";
  const bench defaults = command_defaults(kind);
  for (const option_info& o : options_of(kind)) {
    std::string left = "  --" + o.name + (o.takes_value ? "=" + o.value_name : "");
    std::string meaning = o.meaning;
    if (std::size_t row = o.code - first_option; row < parameter_count) {
      const parameter_info& p = parameters()[row];
      meaning += " [" + defaults.text[row];
      if (!p.unit.empty()) meaning += " " + std::string(p.unit);
      meaning += "]";
    }
    // The meaning wrapped at 80 columns, from column 28.
    if (left.size() < 28)
      left.resize(28, ' ');
    else
      left += "\n" + std::string(28, ' ');
    std::size_t column = 28;
    std::istringstream words(meaning);
    bool first = true;
    for (std::string word; words >> word; first = false) {
      if (!first && column + 1 + word.size() > 80) {
        left += "\n" + std::string(28, ' ');
        column = 28;
      } else if (!first) {
        left += ' ';
        ++column;
      }
      left += word;
      column += word.size();
    }
    text += left + "\n";
  }
  text += "\nBad input exits with status 2 and writes no file; a failure while running, 1.\n";
  return text;
}

std::string version_text(std::string_view name) {
  return std::string(name) + " " + SLITS_VERSION + "\nphasor kernel: " + cis_path_name() + "\n";
}

void compute_pattern(const program_info& p, const bench& b, int threads, loop_factory make,
                     const std::function<void(int, double, double)>& write) {
  double axis = 0;  // an LED program's value at the first point, on the axis
  for_each_block(b.screen_points(p), b.screen_max(p), threads, make(b),
                 [&](int i, double x, double value) {
                   if (!p.normalised) return write(i, x, value);
                   if (i == 0) axis = value;
                   write(i, x, value / axis);
                 });
}

void compute_profile(const bench& b, const std::function<void(double, double)>& write) {
  for (int i = profile_first; i < profile_first + profile_points; ++i) {
    const double x = profile_point(i);
    write(x, LED(x, b.led_sigma));
  }
}

int answer(const command_line& c, std::string_view name, command_kind kind,
           std::string_view setup) {
  switch (c.what) {
    case command_line::action::help:
      std::cout << help_text(name, kind);
      break;
    case command_line::action::version:
      std::cout << version_text(name);
      break;
    case command_line::action::print_setup:
      std::cout << setup;
      break;
    default:
      std::cout << bench_lines(c.b);
  }
  std::cout.flush();
  return standard_output_status(name);
}

int write_pattern_run(
    std::string_view name, std::string_view label, const command_line& c, int points,
    const std::function<void(const std::function<void(int, double, double)>&)>& compute) {
  pattern_file file = open_pattern_file(name, c.output, c.precision);
  progress_line progress(name, points, !c.quiet);
  compute([&](int i, double x, double value) {
    write_pattern_record(file, label, x, value);
    progress.done(i + 1);
  });
  return close_pattern_file(file);
}

int run_pattern_program(int argc, char** argv, const program_info& p, loop_factory make,
                        setup_printer print_setup) {
  const auto c = read_command_line(argc, argv, p.name, command_kind::pattern);
  if (!c) return 2;
  if (c->what != command_line::action::run)
    return answer(*c, p.name, command_kind::pattern,
                  c->what == command_line::action::print_setup ? print_setup(p, c->b) : "");
  return write_pattern_run(p.name, p.label, *c, c->b.screen_points(p), [&](const auto& write) {
    compute_pattern(p, c->b, c->threads, make, write);
  });
}

int run_profile_program(int argc, char** argv) {
  const std::string_view name = program(program_id::ledcurve).name;
  const auto c = read_command_line(argc, argv, name, command_kind::profile);
  if (!c) return 2;
  if (c->what != command_line::action::run) return answer(*c, name, command_kind::profile);
  prepare_output(name);
  std::cout.precision(c->precision);
  int status = 0;
  compute_profile(c->b, [&](double x, double value) {
    write_pair_line(std::cout, x, value);
    status = standard_output_status(name);  // a failure is told as it happens
  });
  return status;
}
