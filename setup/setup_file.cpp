// The setup file: "key values" lines read with FILE:LINE in every refusal,
// and the setup written back in the same form, its numbers in the fewest
// digits that read back to the same binary64.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "command_line.hpp"
#include "sampled.hpp"

namespace fs = std::filesystem;

namespace {

constexpr int most_samples = 1000000;  // per opening or slit
constexpr int most_slits = 100000;     // per grating
constexpr int most_screen_points = 10000000;
constexpr double most_plane_points = 1e7;
constexpr int most_wavelengths = 100000;  // of a spectrum

// The number a compiler would make of the text (from_chars rounds
// correctly; it takes no leading plus), or why not.
std::optional<double> decimal(std::string_view t, std::string& why) {
  double value = 0;
  const std::string_view digits = !t.empty() && t.front() == '+' ? t.substr(1) : t;
  if (!is_decimal(t)) {
    why = in_quotes(t) + " is not a decimal number";
    return std::nullopt;
  }
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
    why = in_quotes(t) + " is out of range";
    return std::nullopt;
  }
  return value;
}

// The shortest text %g writes, at any precision, that reads back to the
// same binary64 (10, not 1e+01).
std::string number(double value) {
  std::string shortest;
  for (int digits = 1; digits <= 17; ++digits) {
    char text[32];
    const int length = std::snprintf(text, sizeof text, "%.*g", digits, value);
    double back = 0;
    std::from_chars(text, text + length, back);
    if (back == value && (shortest.empty() || length < int(shortest.size())))
      shortest.assign(text, length);
  }
  return shortest;
}

std::string gibibytes(double bytes) {
  char figure[64];
  std::snprintf(figure, sizeof figure, "%.2f GiB", bytes / table_memory_limit);
  return figure;
}

// The words of one line, up to a word starting with '#'.
std::vector<std::string> words_of(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w && w.front() != '#';) words.push_back(w);
  return words;
}

// Rows of a table file, each `columns` decimal numbers; refused above
// 1 GiB before it is read.
std::string read_table(const fs::path& path, int columns, std::vector<std::vector<double>>& rows,
                       std::vector<int>* row_lines = nullptr) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  std::ifstream in(path);
  if (error || !in) return path.string() + ": cannot read the table";
  if (double(size) > table_memory_limit)
    return path.string() + ": " + gibibytes(double(size)) +
           " of table, more than the 1 GiB allowed";
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::vector<std::string> words = words_of(line);
    if (words.empty()) continue;
    const std::string at = path.string() + ":" + std::to_string(number) + ": ";
    if (int(words.size()) != columns)
      return at + std::to_string(columns) + (columns == 1 ? " number" : " numbers") +
             " a line, not " + std::to_string(words.size());
    std::vector<double> row;
    for (const std::string& w : words) {
      std::string why;
      const auto value = decimal(w, why);
      if (!value) return at + why;
      row.push_back(*value);
    }
    rows.push_back(std::move(row));
    if (row_lines) row_lines->push_back(number);
  }
  if (in.bad()) return path.string() + ": cannot read the table";
  if (rows.empty()) return path.string() + ": no rows";
  return {};
}

// The words after a line's key, taken one at a time; each refusal names
// the field as the syntax does (opening SAMPLES: ...).
struct fields {
  const std::vector<std::string>& words;
  std::string key;
  std::size_t next = 1;
  std::string why;

  bool more() const { return next < words.size(); }
  std::optional<std::string> word(const char* field) {
    if (more()) return words[next++];
    why = key + ": no " + field;
    return std::nullopt;
  }
  std::optional<double> position(const char* field) {
    const auto w = word(field);
    if (!w) return std::nullopt;
    std::string problem;
    const auto value = decimal(*w, problem);
    if (!value) why = key + " " + field + ": " + problem;
    return value;
  }
  std::optional<double> length(const char* field) {
    const auto value = position(field);
    if (value && !(*value > 0)) {
      why = key + " " + field + ": " + in_quotes(words[next - 1]) + " is not greater than zero";
      return std::nullopt;
    }
    return value;
  }
  std::optional<int> count(const char* field, int largest) {
    const auto w = word(field);
    if (!w) return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(w->data(), w->data() + w->size(), value);
    if (w->front() == '-' || error != std::errc() || end != w->data() + w->size() || value < 1 ||
        value > largest) {
      why = key + " " + field + ": " + in_quotes(*w) + " is not a whole number from 1 to " +
            std::to_string(largest);
      return std::nullopt;
    }
    return value;
  }
};

class setup_reader {
 public:
  setup_reader(const std::string& name, const fs::path& folder, setup& s)
      : name_(name), folder_(folder), s_(s) {
    s_.origin = name;
  }

  std::string take(int line, const std::vector<std::string>& words) {
    fields f{words, words[0], 1, {}};
    const std::string& key = words[0];
    if (key != "plane" && key != "opening" && key != "slits") {
      const auto [first, fresh] = first_line_.emplace(key, line);
      if (!fresh)
        return at(line) + key + " given twice (first on line " + std::to_string(first->second) +
               ")";
    }
    // One wavelength or a spectrum, not both.
    for (const auto& [mine, other] : {std::pair<std::string, std::string>{"wavelength", "spectrum"},
                                      {"spectrum", "wavelength"}})
      if (key == mine && first_line_.contains(other))
        return at(line) + key + ": the " + other + " on line " +
               std::to_string(first_line_[other]) +
               " gives the light's wavelengths already (a spectrum or one wavelength)";
    std::string why = line_of(line, f);
    if (!located_.empty()) return located_;
    if (why.empty()) why = f.why;
    if (why.empty() && f.more()) why = key + ": unexpected " + in_quotes(words[f.next]);
    return why.empty() ? why : at(line) + why;
  }

  std::string finish() {
    if (!close_plane()) return located_;
    if (s_.planes.empty()) return name_ + ": no plane line";
    if (!screen_seen_) return name_ + ": no screen line";
    if (s_.source.kind == source_kind::incoherent && s_.quantity == setup_quantity::amplitude)
      return at(first_line_["quantity"]) +
             "quantity amplitude: an incoherent source has no amplitude (intensity or relative)";
    if (s_.spectrum.kind != spectrum_kind::line && s_.quantity == setup_quantity::amplitude)
      return at(first_line_["quantity"]) +
             "quantity amplitude: a spectrum's wavelengths add as intensities, with no amplitude "
             "(intensity or relative)";
    s_.b.derive();
    return {};
  }

 private:
  std::string at(int line) const { return name_ + ":" + std::to_string(line) + ": "; }

  std::string line_of(int line, fields& f) {
    const std::string& key = f.key;
    if (const parameter_info* p = find_parameter(key)) {
      if (!setup_parameter(*p))
        return key +
               ": a parameter of the programs' fixed bench; a setup gives its geometry in "
               "source, plane, opening, slits and screen lines";
      const auto value = f.word("value");
      if (!value) return {};
      if (std::string why = assign(s_.b, *p, *value); !why.empty()) return key + ": " + why;
      return {};
    }
    if (key == "source") return source(line, f);
    if (key == "plane") {
      if (screen_seen_) return "plane after the screen line (the screen comes last)";
      if (!close_plane()) return {};
      const auto distance = f.length("DISTANCE");
      if (distance) s_.planes.push_back({*distance, {}, line});
      open_ = true;
      return {};
    }
    if (key == "opening" || key == "slits") {
      if (!open_) return key + (screen_seen_ ? " after the screen line" : " before any plane line");
      aperture a;
      a.line = line;
      if (key == "opening") {
        const auto from = f.position("FROM"), to = from ? f.position("TO") : std::nullopt;
        const auto samples = to ? f.count("SAMPLES", most_samples) : std::nullopt;
        if (!samples) return {};
        if (!(*to > *from))
          return "opening: TO " + number(*to) + " is not above FROM " + number(*from);
        a.from = *from;
        a.to = *to;
        a.samples = *samples;
      } else {
        const auto count = f.count("COUNT", most_slits);
        const auto width = count ? f.length("WIDTH") : std::nullopt;
        const auto period = width ? f.length("PERIOD") : std::nullopt;
        const auto samples = period ? f.count("SAMPLES", most_samples) : std::nullopt;
        if (!samples) return {};
        if (*count > 1 && !(*period > *width))
          return "slits: the slits overlap (PERIOD " + number(*period) + " must exceed WIDTH " +
                 number(*width) + ")";
        a.grating = true;
        a.count = *count;
        a.width = *width;
        a.period = *period;
        a.samples = *samples;
      }
      s_.planes.back().apertures.push_back(a);
      if (points_of(s_.planes.back()) > most_plane_points)
        return key + ": more than " + number(most_plane_points) + " samples on one plane";
      return {};
    }
    if (key == "screen") {
      if (!close_plane()) return {};
      screen_seen_ = true;
      return screen(line, f);
    }
    if (key == "quantity") {
      const auto q = f.word("amplitude, intensity or relative");
      if (!q) return {};
      if (*q == "amplitude")
        s_.quantity = setup_quantity::amplitude;
      else if (*q == "intensity")
        s_.quantity = setup_quantity::intensity;
      else if (*q == "relative")
        s_.quantity = setup_quantity::relative;
      else
        return "quantity: " + in_quotes(*q) + " is not one of amplitude,intensity,relative";
      return {};
    }
    if (key == "spectrum") return spectrum(line, f);
    return "unknown key " + in_quotes(key);
  }

  std::string source(int line, fields& f) {
    source_strip& src = s_.source;
    src = {};
    src.line = line;
    const auto kind = f.word("kind (plane_wave, coherent or incoherent)");
    if (!kind) return {};
    if (*kind == "plane_wave") return {};
    if (*kind != "coherent" && *kind != "incoherent")
      return "source: " + in_quotes(*kind) + " is not one of plane_wave,coherent,incoherent";
    src.kind = *kind == "coherent" ? source_kind::coherent : source_kind::incoherent;
    const auto width = f.length("WIDTH");
    const auto samples = width ? f.count("SAMPLES", most_samples) : std::nullopt;
    if (!samples) return {};
    src.width = *width;
    src.samples = *samples;
    if (src.kind == source_kind::incoherent) {
      const auto profile = f.word("PROFILE (uniform, gaussian SIGMA or table FILE)");
      if (!profile) return {};
      if (*profile == "gaussian") {
        const auto sigma = f.length("SIGMA");
        if (!sigma) return {};
        src.profile = profile_kind::gaussian;
        src.sigma = *sigma;
      } else if (*profile == "table") {
        const auto file = f.word("FILE");
        if (!file) return {};
        if (std::string why = profile_table(*file); !why.empty()) return "source: " + why;
      } else if (*profile != "uniform") {
        return "source: " + in_quotes(*profile) + " is not one of uniform,gaussian,table";
      }
    }
    // Flags, each once: what a weight multiplies, how the samples combine,
    // and the LED programs' hops.
    std::string given;
    while (f.more()) {
      const std::string& flag = f.words[f.next++];
      const bool weighs = flag == "amplitude" || flag == "intensity";
      const bool combines = flag == "values" || flag == "density";
      if (flag != "led_hops" && (src.kind == source_kind::coherent || (!weighs && !combines)))
        return "source: unexpected " + in_quotes(flag);
      const std::string group = weighs ? "a" : combines ? "c" : "l";
      if (given.find(group) != std::string::npos)
        return "source: " + in_quotes(flag) + " after another choice of the same kind";
      given += group;
      if (weighs) src.weighs_amplitude = flag == "amplitude";
      if (combines) src.density = flag == "density";
      if (flag == "led_hops") src.led_hops = true;
    }
    return {};
  }

  std::string spectrum(int line, fields& f) {
    setup_spectrum& sp = s_.spectrum;
    sp = {};
    sp.line = line;
    const auto kind = f.word("kind (gaussian or table)");
    if (!kind) return {};
    if (*kind == "gaussian") {
      const auto centre = f.length("CENTRE");
      const auto fwhm = centre ? f.length("FWHM") : std::nullopt;
      const auto samples = fwhm ? f.count("SAMPLES", most_wavelengths) : std::nullopt;
      if (!samples) return {};
      if (!(2.0 * *fwhm < *centre))
        return "spectrum: the samples span CENTRE +- 2 FWHM, which reaches below zero "
               "wavelength (FWHM " +
               number(*fwhm) + " must be below CENTRE / 2, " + number(*centre / 2.0) + ")";
      sp.kind = spectrum_kind::gaussian;
      sp.centre = *centre;
      sp.fwhm = *fwhm;
      sp.samples = *samples;
      return {};
    }
    if (*kind != "table") return "spectrum: " + in_quotes(*kind) + " is not one of gaussian,table";
    const auto file = f.word("FILE");
    if (!file) return {};
    sp.kind = spectrum_kind::table;
    sp.file = fs::absolute(folder_ / *file).lexically_normal().string();
    std::vector<std::vector<double>> rows;
    std::vector<int> lines;
    if (std::string why = read_table(sp.file, 2, rows, &lines); !why.empty())
      return "spectrum: " + why;
    if (rows.size() > std::size_t(most_wavelengths))
      return "spectrum: " + sp.file + ": " + std::to_string(rows.size()) +
             " wavelengths, more than the " + std::to_string(most_wavelengths) + " allowed";
    bool weighs = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const std::string at_row = sp.file + ":" + std::to_string(lines[i]) + ": ";
      if (!(rows[i][0] > 0))
        return "spectrum: " + at_row + "wavelength " + number(rows[i][0]) + " is not above zero";
      if (rows[i][1] < 0)
        return "spectrum: " + at_row + "weight " + number(rows[i][1]) + " is negative";
      weighs = weighs || rows[i][1] > 0;
      sp.wavelength.push_back(rows[i][0]);
      sp.weight.push_back(rows[i][1]);
    }
    if (!weighs) return "spectrum: " + sp.file + ": every weight is zero";
    return {};
  }

  std::string profile_table(const std::string& file) {
    source_strip& src = s_.source;
    src.profile = profile_kind::table;
    src.table_file = fs::absolute(folder_ / file).lexically_normal().string();
    std::vector<std::vector<double>> rows;
    if (std::string why = read_table(src.table_file, 2, rows); !why.empty()) return why;
    if (rows.size() < 2) return src.table_file + ": two rows at least";
    bool weighs = false;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (i > 0 && !(rows[i][0] > rows[i - 1][0]))
        return src.table_file + ": position " + number(rows[i][0]) + " does not increase";
      if (rows[i][1] < 0) return src.table_file + ": weight " + number(rows[i][1]) + " is negative";
      weighs = weighs || rows[i][1] > 0;
      src.table_position.push_back(rows[i][0]);
      src.table_weight.push_back(rows[i][1]);
    }
    if (!weighs) return src.table_file + ": every weight is zero";
    const double edge = src.width / 2.0;
    if (src.table_position.front() > -edge || src.table_position.back() < edge)
      return src.table_file + ": the rows span " + number(src.table_position.front()) + " to " +
             number(src.table_position.back()) + ", not the whole strip " + number(-edge) + " to " +
             number(edge);
    return {};
  }

  std::string screen(int line, fields& f) {
    setup_screen& screen = s_.screen;
    screen.line = line;
    const auto distance = f.length("DISTANCE");
    if (!distance) return {};
    screen.distance = *distance;
    if (f.more() && f.words[f.next] == "file") {
      ++f.next;
      const auto file = f.word("FILE");
      if (!file) return {};
      screen.file = fs::absolute(folder_ / *file).lexically_normal().string();
      std::vector<std::vector<double>> rows;
      if (std::string why = read_table(screen.file, 1, rows); !why.empty()) return "screen: " + why;
      if (rows.size() > std::size_t(most_screen_points))
        return "screen: more than " + std::to_string(most_screen_points) + " points";
      for (const auto& row : rows) screen.positions.push_back(row[0]);
      screen.count = int(screen.positions.size());
      return {};
    }
    const auto from = f.position("FROM"), to = from ? f.position("TO") : std::nullopt;
    const auto count = to ? f.count("COUNT", most_screen_points) : std::nullopt;
    if (!count) return {};
    if (!(*to > *from)) return "screen: TO " + number(*to) + " is not above FROM " + number(*from);
    screen.from = *from;
    screen.to = *to;
    screen.count = *count;
    return {};
  }

  // The plane being read is complete: it has an opening, and no two of its
  // openings overlap (touching is allowed). Else the refusal, naming the
  // line at fault, is left in located_.
  bool close_plane() {
    if (!open_) return true;
    open_ = false;
    const setup_plane& p = s_.planes.back();
    if (p.apertures.empty()) {
      located_ = at(p.line) + "plane: no opening or slits line follows it";
      return false;
    }
    struct span {
      double low, high;
      const aperture* a;
    };
    std::vector<span> spans;
    for (const aperture& a : p.apertures) {
      if (!a.grating) {
        spans.push_back({a.from, a.to, &a});
        continue;
      }
      const double middle = (a.count - 1) / 2.0;
      for (int k = 0; k < a.count; ++k) {
        const double centre = (k - middle) * a.period;
        spans.push_back({centre - a.width / 2.0, centre + a.width / 2.0, &a});
      }
    }
    std::sort(spans.begin(), spans.end(),
              [](const span& x, const span& y) { return x.low < y.low; });
    const span* widest = &spans[0];
    for (const span& next : spans) {
      if (&next != widest && next.low < widest->high) {
        const aperture *later = next.a, *earlier = widest->a;
        if (later->line < earlier->line) std::swap(later, earlier);
        located_ = at(later->line) + (later->grating ? "slits" : "opening") + " overlaps the " +
                   (earlier->grating ? "slits" : "opening") + " on line " +
                   std::to_string(earlier->line);
        return false;
      }
      if (next.high > widest->high) widest = &next;
    }
    return true;
  }

  std::string name_;
  fs::path folder_;
  setup& s_;
  std::map<std::string, int> first_line_;
  std::string located_;  // a refusal about an earlier line than the one read
  bool open_ = false;    // a plane being read
  bool screen_seen_ = false;
};

}  // namespace

double points_of(const setup_plane& p) {
  double points = 0;
  for (const aperture& a : p.apertures) points += (a.grating ? double(a.count) : 1.0) * a.samples;
  return points;
}

std::vector<spectral_line> spectral_lines(const setup& s) {
  const setup_spectrum& sp = s.spectrum;
  std::vector<spectral_line> lines;
  switch (sp.kind) {
    case spectrum_kind::line:
      return {{s.b.wavelength, 1.0}};
    case spectrum_kind::gaussian: {
      // The normal density of the full width at half maximum: the LED
      // profile's own function, so the weights have the same bits wherever
      // LED has.
      const double step = (4.0 * sp.fwhm) / double(sp.samples);
      const double sigma = sp.fwhm / 2.3548200450309493;  // 2 sqrt(2 ln 2)
      for (int j = 0; j < sp.samples; ++j) {
        const double wavelength = ((j - (sp.samples - 1) / 2.0) * step) + sp.centre;
        lines.push_back({wavelength, LED(wavelength - sp.centre, sigma)});
      }
      break;
    }
    case spectrum_kind::table:
      for (std::size_t i = 0; i < sp.wavelength.size(); ++i)
        lines.push_back({sp.wavelength[i], sp.weight[i]});
      break;
  }
  double total = 0;
  for (const spectral_line& l : lines) total += l.weight;
  std::erase_if(lines, [](const spectral_line& l) { return l.weight == 0; });
  for (spectral_line& l : lines) l.weight = l.weight / total;
  return lines;
}

setup at_wavelength(const setup& s, double wavelength) {
  setup t = s;
  t.spectrum = {};
  t.b.wavelength = wavelength;
  t.b.text[int(parameter_id::wavelength)] = number(wavelength);
  t.b.derive();
  return t;
}

std::string set_parameter(setup& s, const parameter_info& p, std::string_view text) {
  std::string why = assign(s.b, p, text);
  if (why.empty() && &p == &parameter(parameter_id::wavelength)) s.spectrum = {};
  return why;
}

int setup::screen_count() const { return screen.count; }

double setup::screen_position(int i) const {
  if (!screen.file.empty()) return screen.positions[std::min(i, screen.count - 1)];
  return ((i * (screen.to - screen.from)) / double(screen.count)) + screen.from;
}

std::string_view setup_label(const setup& s) {
  return s.quantity == setup_quantity::amplitude ? modulus_label : squared_label;
}

std::string read_setup_text(std::string_view text, const std::string& name, const fs::path& folder,
                            setup& s) {
  setup_reader reader(name, folder, s);
  std::istringstream in{std::string(text)};
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::vector<std::string> words = words_of(line);
    if (words.empty()) continue;
    if (std::string why = reader.take(number, words); !why.empty()) return why;
  }
  return reader.finish();
}

std::string read_setup_file(const std::string& path, setup& s) {
  std::ifstream in(path);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  if (!in || in.bad()) return path + ": cannot read the setup file";
  return read_setup_text(text.str(), path, fs::path(path).parent_path(), s);
}

double setup_table_bytes(const setup& s) {
  // The samples of each plane whose field is kept, one field per strip
  // sample for an incoherent source; two neighbouring planes' fields are
  // alive at a time, with one row of a hop's phasors; each thread keeps
  // the last hop's phasors for a block.
  const bool incoherent = s.source.kind == source_kind::incoherent;
  std::vector<double> points;
  if (s.source.kind == source_kind::coherent) points.push_back(s.source.samples);
  for (const setup_plane& p : s.planes) points.push_back(points_of(p));
  const double fields = incoherent ? s.source.samples : 1;
  double largest = 16 * fields * points[0];
  for (std::size_t i = 1; i < points.size(); ++i)
    largest = std::max(largest, 16 * fields * (points[i - 1] + points[i]) + 24 * points[i - 1]);
  double sampled = 0;
  for (const double n : points) sampled += 16 * n;
  // A spectrum runs one wavelength at a time per thread, over the whole
  // screen, into the sums over wavelengths and a wavelength's values.
  const double spectrum = s.spectrum.kind == spectrum_kind::line
                              ? 0
                              : 16 * s.spectrum.weight.size() + 16.0 * s.screen.count;
  return largest + sampled + 24 * block_size * points.back() + 16 * s.source.table_weight.size() +
         spectrum + 8 * s.screen.positions.size();
}

std::string check_setup(const setup& s) {
  const std::string where = s.origin.empty() ? "" : s.origin + ": ";
  if (const double bytes = setup_table_bytes(s); bytes > table_memory_limit)
    return where + "this setup needs " + gibibytes(bytes) +
           " of fields and tables, more than the 1 GiB allowed";
  if (s.spectrum.kind != spectrum_kind::line) {
    const std::string at = s.origin + ":" + std::to_string(s.spectrum.line) + ": spectrum: ";
    const std::vector<spectral_line> lines = spectral_lines(s);
    // Weights beyond binary64 (a sum that overflows, a Gaussian too narrow
    // for its density) leave shares that are not finite, or none.
    if (lines.empty() || !std::all_of(lines.begin(), lines.end(), [](const spectral_line& l) {
          return std::isfinite(l.weight) && l.weight > 0;
        }))
      return at +
             "the weights' shares are not finite numbers (weights or their sum beyond "
             "binary64)";
    for (const spectral_line& l : lines)
      if (!std::isfinite((PI + PI) / l.wavelength))
        return at + "the wavelength " + number(l.wavelength) + " makes the wavenumber infinite";
  }
  if (s.source.kind == source_kind::incoherent) {
    const sampled_setup g = sample_setup(s);
    if (std::all_of(g.weight.begin(), g.weight.end(), [](double w) { return w == 0; }))
      return s.origin + ":" + std::to_string(s.source.line) +
             ": source: every sample of the strip weighs zero";
  }
  if (const double cost = literal_exponentials(s); !s.b.propagate && cost > literal_limit) {
    char figure[64];
    std::snprintf(figure, sizeof figure, "%.3g", cost);
    return where + "method literal: this setup takes " + figure +
           " exponentials, more than the 1e9 allowed (method propagate carries the field plane "
           "by plane)";
  }
  return {};
}

std::string setup_text(const setup& s) {
  std::string text =
      "# A setup, one \"key values\" a line, lengths in millimetres: pattern --setup FILE reads "
      "it.\n";
  const auto choice = [&](parameter_id id) {
    return std::string(parameter(id).name) + " " + s.b.text[int(id)] + "\n";
  };
  const setup_spectrum& sp = s.spectrum;
  if (sp.kind == spectrum_kind::gaussian)
    text += "spectrum gaussian " + number(sp.centre) + " " + number(sp.fwhm) + " " +
            std::to_string(sp.samples) + "\n";
  else if (sp.kind == spectrum_kind::table)
    text += "spectrum table " + sp.file + "\n";
  else
    text += "wavelength " + number(s.b.wavelength) + "\n";
  text += choice(parameter_id::phase_model) + choice(parameter_id::sampling) +
          choice(parameter_id::method);
  const source_strip& src = s.source;
  if (src.kind == source_kind::plane_wave) {
    text += "source plane_wave\n";
  } else {
    text += src.kind == source_kind::coherent ? "source coherent " : "source incoherent ";
    text += number(src.width) + " " + std::to_string(src.samples);
    if (src.kind == source_kind::incoherent) {
      if (src.profile == profile_kind::uniform) text += " uniform";
      if (src.profile == profile_kind::gaussian) text += " gaussian " + number(src.sigma);
      if (src.profile == profile_kind::table) text += " table " + src.table_file;
      text += src.weighs_amplitude ? " amplitude" : " intensity";
      text += src.density ? " density" : " values";
    }
    if (src.led_hops) text += " led_hops";
    text += "\n";
  }
  for (const setup_plane& p : s.planes) {
    text += "plane " + number(p.distance) + "\n";
    for (const aperture& a : p.apertures) {
      if (a.grating)
        text += "slits " + std::to_string(a.count) + " " + number(a.width) + " " +
                number(a.period) + " " + std::to_string(a.samples) + "\n";
      else
        text += "opening " + number(a.from) + " " + number(a.to) + " " + std::to_string(a.samples) +
                "\n";
    }
  }
  text += "screen " + number(s.screen.distance);
  if (!s.screen.file.empty())
    text += " file " + s.screen.file + "\n";
  else
    text += " " + number(s.screen.from) + " " + number(s.screen.to) + " " +
            std::to_string(s.screen.count) + "\n";
  constexpr const char* quantities[] = {"amplitude", "intensity", "relative"};
  text += std::string("quantity ") + quantities[int(s.quantity)] + "\n";
  return text;
}
