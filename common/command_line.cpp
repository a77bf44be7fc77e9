#include "command_line.hpp"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <tuple>

#include <slits/cis.hpp>

namespace {

// getopt's code of an option: its row in the registry, the bench's
// parameters first, then the others.
constexpr int first_option = 1000;

// The programs print as %g does; the continuum tool every digit.
int default_precision(command_kind kind) { return kind == command_kind::continuum ? 17 : 6; }

// The options besides the bench's parameters, by their rows.
enum class option_id {
#define SLITS_OPTION(name, ...) name,
#include "registry.def"
};

struct other_option {
  option_id id;
  std::string_view name, value_name;
  unsigned commands;  // command_set
  std::string_view meaning;
};
constexpr other_option other_options[] = {
#define SLITS_OPTION(name, value, commands, meaning) \
  {option_id::name, #name, value, commands, meaning},
#include "registry.def"
};

struct option_info {
  std::string name;
  int code;
  bool takes_value;
  std::string value_name;
  std::string meaning;
  const parameter_info* parameter;  // a bench parameter's option, else null
  const other_option* other;        // any other option, else null
};

// A registry name as its option spells it: - for _.
std::string option_name(std::string_view name) {
  std::string option(name);
  std::replace(option.begin(), option.end(), '_', '-');
  return option;
}
std::string option_name(const parameter_info& p) { return option_name(p.name); }

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
  if (kind == command_kind::profile) return &p == &parameter(parameter_id::led_sigma);
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
                       value_name, std::string(p.meaning), &p, nullptr});
  }
  for (const other_option& o : other_options) {
    if (!(o.commands & command_bit(kind))) continue;
    options.push_back(
        {option_name(o.name), first_option + int(parameter_count + (&o - other_options)),
         !o.value_name.empty(), std::string(o.value_name), std::string(o.meaning), nullptr, &o});
  }
  return options;
}

// A program's quantity and sampled planes as --print-bench names them:
// amplitude, intensity or profile; the planes in beam order joined by +
// (source+entrance+pair), none for the profile.
std::string_view quantity_name(program_quantity quantity) {
  switch (quantity) {
    case program_quantity::amplitude:
      return "amplitude";
    case program_quantity::intensity:
      return "intensity";
    case program_quantity::profile:
      return "profile";
  }
  return {};
}
std::string plane_names(unsigned planes) {
  std::string names;
  for (const auto& [bit, name] :
       {std::pair{source_plane, "source"}, std::pair{entrance_plane, "entrance"},
        std::pair{pair_plane, "pair"}})
    if (planes & bit) names.append(names.empty() ? "" : "+").append(name);
  return names.empty() ? "none" : names;
}

// A whole number from low to high, or nothing.
// The number a compiler would make of a decimal text, when it is finite.
std::optional<double> finite_decimal(std::string_view text) {
  if (!is_decimal(text)) return std::nullopt;
  const std::string_view digits = text.front() == '+' ? text.substr(1) : text;
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int> whole_number(std::string_view text, int low, int high) {
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || text.front() == '-' || error != std::errc() ||
      end != text.data() + text.size() || value < low || value > high)
    return std::nullopt;
  return value;
}

// Where each parameter's value came from, for the refusal that blames it:
// "--wavelength", "FILE:LINE: wavelength", or nothing for the default; and
// when, 0 for the default, 1 for the bench file, then each option in turn.
struct origins {
  std::string where[parameter_count];
  int when[parameter_count] = {};
};

// A bench file holds a few hundred bytes; these bounds end a file given by
// mistake (--bench /dev/zero, a log) at once instead of reading on.
constexpr std::size_t bench_file_limit = 1 << 20;
constexpr std::size_t bench_line_limit = 4096;

// One line of a bench file: "name value", optionally followed by a
// "# comment"; blank and comment lines are skipped. Editors may start the
// file with a UTF-8 byte-order mark.
std::string read_bench_line(std::string line, const std::string& at_file, int number, bench& b,
                            origins& from, int first_line[]) {
  const std::string at = at_file + ":" + std::to_string(number) + ": ";
  if (line.size() > bench_line_limit)
    return at + "a line longer than " + std::to_string(bench_line_limit) + " bytes";
  if (number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
  std::istringstream fields(line);
  std::string name, value, extra;
  if (!(fields >> name) || name.front() == '#') return {};
  const parameter_info* p = find_parameter(name);
  if (!p) return at + "unknown parameter " + in_quotes(name);
  if (!(fields >> value) || value.front() == '#') return at + name + ": no value";
  if (fields >> extra && extra.front() != '#') return at + name + ": more than one value";
  const int row = int(p - parameters().data());
  if (first_line[row] != 0)
    return at + name + ": set again (first on line " + std::to_string(first_line[row]) + ")";
  first_line[row] = number;
  if (std::string why = assign(b, *p, value); !why.empty()) return at + name + ": " + why;
  from.where[row] = at + name;
  from.when[row] = 1;
  return {};
}

// The bench file's lines into `b`; a refusal names FILE:LINE.
std::string read_bench_file(const std::string& path, bench& b, origins& from) {
  const std::string shown = printable(path);
  const auto unreadable = [&] {
    return shown + ": cannot read the bench file: " + std::strerror(errno);
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return unreadable();
  struct closer {
    int fd;
    ~closer() { ::close(fd); }
  } closing{fd};
  int first_line[parameter_count] = {};
  std::string pending;  // read, not yet split into lines
  std::size_t total = 0;
  int number = 0;
  for (char chunk[4096];;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return unreadable();
    if (n == 0) break;
    if ((total += n) > bench_file_limit)
      return shown + ": larger than " + std::to_string(bench_file_limit >> 20) +
             " MiB, not a bench file";
    pending.append(chunk, n);
    std::size_t start = 0;
    for (std::size_t end; (end = pending.find('\n', start)) != pending.npos; start = end + 1)
      if (std::string why = read_bench_line(pending.substr(start, end - start), shown, ++number, b,
                                            from, first_line);
          !why.empty())
        return why;
    pending.erase(0, start);
    if (pending.size() > bench_line_limit)  // refused before its end is read
      return read_bench_line(pending, shown, number + 1, b, from, first_line);
  }
  if (pending.empty()) return {};
  return read_bench_line(pending, shown, number + 1, b, from, first_line);
}

// The refusal of a fault of the bench as a whole, naming the value blamed:
// of the values involved, those the user set if any, and of them the one
// furthest from its default (a wavelength of 1e-308 rather than a slit
// a little wider), the latest set on a tie.
std::string blame(const bench& b, const bench_fault& fault, const origins& from) {
  parameter_id at = fault.involved.front();
  const auto key = [&](parameter_id id) {
    return std::tuple(from.when[int(id)] > 0, departure(b, id), from.when[int(id)]);
  };
  for (parameter_id id : fault.involved)
    if (key(id) > key(at)) at = id;
  const int row = int(at);
  const std::string where =
      from.where[row].empty() ? "--" + option_name(parameters()[row]) : from.where[row];
  return where + ": " + in_quotes(b.text[row]) + " " + fault.why;
}

// The refusal of an option getopt_long did not take: unknown, ambiguous
// (a prefix of several), missing its value, or given one it does not take.
std::string misused_option(int code, const std::string& given,
                           const std::vector<option_info>& options) {
  if (::optopt > 0 && ::optopt < first_option)  // a short option
    return "unknown option " + in_quotes(std::string("-") + char(::optopt));
  const std::string typed = given.substr(0, given.find('='));
  if (!typed.starts_with("--") || typed.size() == 2) return "unknown option " + in_quotes(typed);
  const std::string stem = typed.substr(2);
  std::vector<const option_info*> matches;
  for (const option_info& o : options) {
    if (o.name == stem) {
      matches = {&o};
      break;
    }
    if (o.name.starts_with(stem)) matches.push_back(&o);
  }
  if (matches.empty()) return "unknown option " + in_quotes(typed);
  if (matches.size() > 1) {
    std::string why = "option " + in_quotes(typed) + " is ambiguous; possibilities:";
    for (const option_info* o : matches) why += " '--" + o->name + "'";
    return why;
  }
  if (code == ':') return "--" + matches[0]->name + ": no value given";
  return "--" + matches[0]->name + " takes no value";
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
  std::optional<std::string> bench_file;
  bool plane_given = false;
  std::vector<std::pair<const parameter_info*, std::string>> values;  // in order given
  const auto refuse = [&](std::string why) {
    refusal = std::move(why);
    return std::nullopt;
  };

  ::optind = 0;  // a fresh scan, also when called again in one process
  ::opterr = 0;  // every message is ours
  for (int code; (code = ::getopt_long(argc, argv, ":h", table.data(), nullptr)) != -1;) {
    const std::string value = ::optarg ? ::optarg : "";
    if (code == '?' || code == ':')
      return refuse(misused_option(code, argv[::optind - 1], options));
    if (code == 'h') {
      c.what = command_line::action::help;
      continue;
    }
    const std::size_t row = code - first_option;
    if (row < parameter_count) {
      values.emplace_back(&parameters()[row], value);
      continue;
    }
    switch (other_options[row - parameter_count].id) {
      case option_id::bench:
        if (value.empty()) return refuse("--bench: the file name is empty");
        bench_file = value;
        break;
      case option_id::print_bench:
        c.what = command_line::action::print_bench;
        break;
      case option_id::setup:
        if (value.empty()) return refuse("--setup: the file name is empty");
        c.setup_file = value;
        break;
      case option_id::print_setup:
        c.what = command_line::action::print_setup;
        break;
      case option_id::coherence: {
        // Two decimal numbers, the decimal grammar's, split at the comma.
        const std::size_t comma = value.find(',');
        const std::string_view text(value);
        const auto x1 = finite_decimal(text.substr(0, comma));
        const auto x2 =
            comma == std::string::npos ? std::nullopt : finite_decimal(text.substr(comma + 1));
        if (!x1 || !x2)
          return refuse("--coherence: " + in_quotes(value) + " is not two decimal numbers X1,X2");
        c.coherence_points[0] = *x1;
        c.coherence_points[1] = *x2;
        c.what = command_line::action::coherence;
        break;
      }
      case option_id::coherence_plane: {
        const auto n = whole_number(value, 0, 1000000);
        if (!n)
          return refuse("--coherence-plane: " + in_quotes(value) +
                        " is not a whole number from 0 (the screen) up");
        c.coherence_plane = *n;
        plane_given = true;
        break;
      }
      case option_id::threads: {
        const auto n = whole_number(value, 0, 256);
        if (!n)
          return refuse("--threads: " + in_quotes(value) + " is not a whole number from 0 to 256");
        c.threads = *n;
        break;
      }
      case option_id::output:
        if (value.empty()) return refuse("--output: the file name is empty");
        c.output = value;
        break;
      case option_id::precision: {
        const auto n = whole_number(value, 1, 17);
        if (!n)
          return refuse("--precision: " + in_quotes(value) + " is not a whole number from 1 to 17");
        c.precision = *n;
        break;
      }
      case option_id::quiet:
        c.quiet = true;
        break;
      case option_id::check:
        c.check = true;
        break;
      case option_id::help:
        c.what = command_line::action::help;
        break;
      case option_id::version:
        c.what = command_line::action::version;
        break;
    }
  }
  for (int i = ::optind; i < argc; ++i) c.operands.push_back(argv[i]);
  if (c.what == command_line::action::help || c.what == command_line::action::version) return c;
  if (plane_given && c.what != command_line::action::coherence)
    return refuse("--coherence-plane: only with --coherence");

  origins from;
  if (bench_file)
    if (std::string why = read_bench_file(*bench_file, c.b, from); !why.empty()) return refuse(why);
  for (std::size_t k = 0; k < values.size(); ++k) {
    const auto& [p, value] = values[k];
    const int row = int(p - parameters().data());
    if (std::string why = assign(c.b, *p, value); !why.empty())
      return refuse("--" + option_name(*p) + ": " + why);
    from.where[row] = "--" + option_name(*p);
    from.when[row] = 2 + int(k);
  }
  c.given = values;
  if (const auto fault = overlap_fault(c.b)) return refuse(blame(c.b, *fault, from));
  c.b.derive();

  const program_info* p = find_program(name);
  if (kind == command_kind::continuum) {
    if (c.what == command_line::action::run && c.operands.size() != 1)
      return refuse(c.operands.empty() ? "which program? (one of the pattern programs)"
                                       : "one program at a time");
    if (c.operands.size() == 1) {
      p = find_program(c.operands[0]);
      if (!p || !p->pattern())
        return refuse(in_quotes(c.operands[0]) + " is not a pattern program");
    }
  } else if (!c.operands.empty()) {
    return refuse("unexpected argument " + in_quotes(c.operands[0]));
  }
  if (!p) return c;
  if (const auto fault = range_fault(c.b, *p)) return refuse(blame(c.b, *fault, from));
  // Tables too large to run on: the bench may still be printed and costed.
  if (c.what != command_line::action::run) return c;
  if (kind == command_kind::pattern && table_bytes(c.b, *p) > table_memory_limit) {
    char figure[64];
    std::snprintf(figure, sizeof figure, "%.2f GiB", table_bytes(c.b, *p) / table_memory_limit);
    return refuse("this bench needs " + std::string(figure) +
                  " of tables, more than the 1 GiB allowed");
  }
  return c;
}

}  // namespace

bool setup_parameter(const parameter_info& p) {
  for (const parameter_id id : {parameter_id::wavelength, parameter_id::phase_model,
                                parameter_id::sampling, parameter_id::method})
    if (&p == &parameter(id)) return true;
  return false;
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

void tell_refusal(std::string_view name, const std::string& why) {
  const std::string message =
      std::string(name) + ": error: " + why + "\nTry '" + std::string(name) + " --help'.\n";
  std::fputs(message.c_str(), stderr);
}

std::optional<command_line> read_command_line(int argc, char** argv, std::string_view name,
                                              command_kind kind) {
  std::string why;
  auto c = read(argc, argv, name, kind, why);
  if (!c) tell_refusal(name, why);
  return c;
}

std::string bench_lines(const bench& b) {
  std::string text =
      "# The bench, one \"name value\" a line; lengths in millimetres. Any program reads it\n"
      "# back with --bench FILE.\n";
  for (const parameter_info& p : parameters())
    text.append(p.name).append(" ").append(b.text[&p - parameters().data()]).append("\n");
  // One comment per program, for the main job's report and the plots: its
  // cost, its points, the end of its screen, what it prints, the planes it
  // samples and what is on its bench.
  text +=
      "# Per program: complex exponentials, screen points, end of the screen, quantity,\n"
      "# sampled planes, title:\n";
  for (const program_info& p : programs()) {
    char figures[64];
    std::snprintf(figures, sizeof figures, "%.3g exponentials %d points to ", b.cost(p),
                  p.pattern() ? b.screen_points(p) : 1000);
    text.append("# program ").append(p.name).append(" ").append(figures);
    text.append(p.pattern() ? b.text[int(p.screen)] : "50").append(" ");
    text.append(quantity_name(p.quantity)).append(" ").append(plane_names(p.planes));
    text.append(" ").append(p.title).append("\n");
  }
  return text;
}

std::string help_text(std::string_view name, command_kind kind) {
  std::string text = "Usage: " + std::string(name) + " [OPTION]...";
  if (kind == command_kind::continuum) text += " PROGRAM";
  text += "\n";
  if (kind == command_kind::setup) {
#define SLITS_SETUP_PROGRAM(program, title, prints) \
  if (name == #program) text += "Computes " prints ".\n";
#include "registry.def"
  } else if (const program_info* p = find_program(name)) {
    text += p->pattern() ? "The " + std::string(p->prints) +
                               " at each screen point: a labelled line on standard output, and "
                               "\"x value\" lines in the data file.\n"
                         : "Prints " + std::string(p->prints) + ".\n";
  } else {
    text += "What PROGRAM would print if its apertures were continuous, on its own screen.\n";
  }
  text += "\nOptions (defaults in brackets; lengths in millimetres):\n";
  const bench defaults = command_defaults(kind);
  const auto wrapped = [](std::string left, const std::string& words_text, std::size_t from) {
    // Words wrapped at 80 columns, from column `from`.
    if (left.size() < from)
      left.resize(from, ' ');
    else if (from > 0)
      left.append(1, '\n').append(from, ' ');  // not "\n" + s: g++ 12's -Wrestrict
    std::size_t column = from;
    std::istringstream words(words_text);
    bool first = true;
    for (std::string word; words >> word; first = false) {
      if (!first && column + 1 + word.size() > 80) {
        left.append(1, '\n').append(from, ' ');
        column = from;
      } else if (!first) {
        left += ' ';
        ++column;
      }
      left += word;
      column += word.size();
    }
    return left + "\n";
  };
  for (const option_info& o : options_of(kind)) {
    const bool help = o.other && o.other->id == option_id::help;
    std::string left = "  " + std::string(help ? "-h, " : "") + "--" + o.name +
                       (o.takes_value ? "=" + o.value_name : "");
    std::string meaning = o.meaning;
    if (const parameter_info* p = o.parameter) {
      meaning += " [" + defaults.text[p - parameters().data()];
      if (!p->unit.empty()) meaning += " " + std::string(p->unit);
      meaning += "]";
    } else if (o.other->id == option_id::precision) {
      meaning += " [" + std::to_string(default_precision(kind)) + "]";
    }
    text += wrapped(left, meaning, 28);
  }
  text += "\n";
  if (kind == command_kind::continuum)
    text += wrapped("",
                    "The sample counts, --sampling and --method are read, from a bench file too, "
                    "as part of the program's bench, and change nothing here: the continuum "
                    "integrates over each aperture.",
                    0);
  text += wrapped("",
                  "A long option may be abbreviated to a unique prefix (--prec for "
                  "--precision); scripts should spell options in full, since a prefix unique "
                  "today may not stay so.",
                  0);
  text += "Bad input exits with status 2 and writes no file; a failure while running, 1.\n";
  return text;
}

std::string version_text(std::string_view name) {
  return std::string(name) + " " + SLITS_VERSION + "\nphasor kernel: " + cis_path_name() + "\n";
}

int print_answer(const command_line& c, std::string_view name, command_kind kind,
                 std::string_view setup) {
  switch (c.what) {
    case command_line::action::help:
      std::cout << help_text(name, kind);
      break;
    case command_line::action::version:
      std::cout << version_text(name);
      break;
    case command_line::action::print_setup:
    case command_line::action::coherence:
      std::cout << setup;
      break;
    default:
      std::cout << bench_lines(c.b);
  }
  std::cout.flush();
  return standard_output_status(name);
}
