// validate [--tiny] [--threads N] DATADIR: every number of the validation
// report (docs/validation.md.in), as "key value" lines on standard output,
// and the series its plots draw as data files in DATADIR.
//
// The patterns are computed in this process by the programs' own loops
// (compute_pattern, full binary64, not rounded to printed digits), literal
// where the bench affords it, else plane by plane; the continuum limits by
// the continuum library. Tables are values too, their rows joined by "\n".
// One function per section of the report, called in its order (the keys
// come out in that order); the scales each section predicts come from the
// continuum library (scales.hpp), the number formats from report_format.hpp.
// --tiny runs the same chain on small sample counts and a short screen, to
// check that it works, not to measure anything.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analysis.hpp"
#include "limits.hpp"
#include "program_run.hpp"
#include "report_format.hpp"
#include "scales.hpp"

namespace {

using analysis::distance;
using namespace report;

// What is computed: sample counts, screen, and the sweeps.
struct plan {
  int base;                  // samples per aperture of the default bench
  int screen_count;          // screen points (monogap ten times as many)
  std::vector<int> series;   // samples per aperture of the convergence study
  std::vector<int> sources;  // source samples of broad_monogap's ghost sweep
  int intensity_cap_single;  // the LED programs' largest counts in the series,
  int intensity_cap_double;  // through a single slit and through the pair
  double literal_budget;     // exponentials the literal method may take
};

plan full_plan() {
  return {100,
          1000,
          {25, 50, 100, 200, 400, 800, 1600, 3200, 6400, 10000},
          {100, 200, 300, 400, 450, 475, 500, 525, 550, 575, 600, 625, 650, 700, 800, 1000, 2000,
           5000, 10000},
          // The LED programs' plane-by-plane products grow as N^3 through
          // the pair and as N^2 C through a single slit: about 20 s at these
          // counts.
          1600,
          800,
          2e8};
}

plan tiny_plan() { return {40, 100, {10, 20, 40}, {40, 80, 160, 320}, 40, 40, 2e8}; }

int threads = 1;
std::vector<std::pair<std::string, std::string>> keys;

void put(const std::string& key, const std::string& value) { keys.emplace_back(key, value); }

// The bench with some parameters set as their text.
bench with(bench b, const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [name, value] : values)
    if (const std::string refusal = assign(b, *find_parameter(name), value); !refusal.empty())
      throw std::runtime_error(name + ": " + refusal);
  b.derive();
  if (const std::string refusal = check_bench(b, nullptr); !refusal.empty())
    throw std::runtime_error(refusal);
  return b;
}
bench samples(const bench& b, int n) {
  const std::string t = std::to_string(n);
  return with(b, {{"source_samples", t}, {"entrance_samples", t}, {"pair_samples", t}});
}

struct curve {
  std::vector<double> x, value;
};

// The program's values on a bench, literal when its cost is within the
// budget, else plane by plane.
// A program's values on one bench, and its continuum limit there.
struct curve_pair {
  curve sum, limit;
};

curve run(const program_info& p, bench b, double budget, bool* propagated = nullptr) {
  b = with(b, {{"method", "literal"}});
  if (b.cost(p) > budget) b = with(b, {{"method", "propagate"}});
  if (propagated) *propagated = b.propagate;
  curve c;
  compute_pattern(p, b, threads, pattern_loop(p.id), [&](int, double x, double value) {
    c.x.push_back(x);
    c.value.push_back(value);
  });
  return c;
}

curve limit(const program_info& p, const bench& b) {
  curve c;
  c.x = continuum::screen_points(b, p);
  c.value = continuum::continuum_values(b, p, c.x);
  return c;
}

distance compare(const curve& c, const curve& reference) {
  return analysis::compare(c.x, c.value, reference.x, reference.value);
}

std::string data_dir;

void write(const std::string& name, const std::vector<double>& x, const std::vector<double>& y) {
  std::ofstream out(data_dir + "/" + name);
  char line[80];
  for (std::size_t i = 0; i < x.size(); ++i) {
    std::snprintf(line, sizeof line, "%.10g %.10g\n", x[i], y[i]);
    out << line;
  }
  if (!out) throw std::runtime_error("cannot write " + data_dir + "/" + name);
}
void write(const std::string& name, const curve& c) { write(name, c.x, c.value); }

// The pattern programs in the report's order: amplitudes before intensities,
// then by the planes sampled, the source strip's last.
const std::vector<program_id> pattern_programs = [] {
  std::vector<program_id> ids;
  for (const program_info& p : programs())
    if (p.pattern()) ids.push_back(p.id);
  const auto rank = [](program_id id) {
    const program_info& p = program(id);
    return std::tuple(p.normalised(), (p.planes & source_plane) != 0, (p.planes & pair_plane) != 0);
  };
  std::stable_sort(ids.begin(), ids.end(),
                   [&](program_id a, program_id b) { return rank(a) < rank(b); });
  return ids;
}();

std::string machine() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line, name = "unknown CPU", family, model;
  while (std::getline(cpuinfo, line)) {
    const auto colon = line.find(": ");
    if (colon == std::string::npos) continue;
    const std::string value = line.substr(colon + 2);
    if (line.starts_with("model name") && name == "unknown CPU") name = value;
    if (line.starts_with("cpu family") && family.empty()) family = value;
    if (line.starts_with("model\t") && model.empty()) model = value;
  }
  return family.empty() ? name : name + " (family " + family + ", model " + model + ")";
}

// The opening paragraph: the bench.
bench bench_paragraph(const plan& plan) {
  const bench base = samples(
      with(default_bench(), {{"screen_count", std::to_string(plan.screen_count)}}), plan.base);
  for (std::size_t i = 0; i < parameters().size(); ++i)  // text[] is in the registry's order
    put(std::string(parameters()[i].name), base.text[i]);
  put("monogap_points", std::to_string(base.screen_points(program(program_id::monogap))));
  put("single_screen_distance", num(continuum::single_screen_distance(base)));
  return base;
}

// 1. The default bench, literal, against its continuum. Besides, the
// plane-by-plane sums against the literal ones, and the quadrature's error:
// the continuum with every node count doubled.
std::map<program_id, curve_pair> default_bench_section(const bench& base) {
  std::map<program_id, curve_pair> defaults;
  double plane_by_plane = 0, quadrature = 0;
  table t({"program", "points", "largest continuum value", "max \\|difference\\|", "at x",
           "RMS difference", "max / largest value"});
  for (program_id id : pattern_programs) {
    const program_info& p = program(id);
    curve_pair& c = defaults[id];
    c.sum = run(p, base, 1e300);
    c.limit = limit(p, base);
    const distance d = compare(c.sum, c.limit);
    plane_by_plane = std::max(plane_by_plane, compare(run(p, base, 0), c.sum).largest / d.peak);
    curve finer = c.limit;
    finer.value = continuum::continuum_values(base, p, finer.x, 2);
    quadrature = std::max(quadrature, compare(finer, c.limit).largest);
    t.row({code(p.name), std::to_string(d.points), num(d.peak), sci(d.largest), num(d.at, 6),
           sci(d.rms), fixed(100 * d.largest / d.peak, 1) + " %"});
  }
  put("table_default", t.text);
  put("plane_by_plane", format("%.0e", plane_by_plane));
  put("quadrature_check", format("%.0e", quadrature));
  return defaults;
}

// Orders are fitted over the counts N >= fit_factor N*, where the sampling
// resolves the phase.
constexpr double fit_factor = 4;
const char* const rule_names[2] = {"left-edge", "midpoint"};

// One program's distances from its continuum over the series, in one
// sampling rule.
struct sampling_series {
  std::vector<std::string> cells;       // per count: the distance (order from the previous count)
  std::vector<double> counts, largest;  // the counts computed, up to the program's cap
  std::optional<double> order;          // fitted over `fitted` resolved counts, if two or more
  std::size_t fitted = 0;
  std::string propagate_from = "—";  // the first count carried plane by plane
  distance finest;
};

sampling_series run_series(const plan& plan, const bench& base, const program_info& p, int rule,
                           int cap, double nstar, const curve_pair& on_default) {
  sampling_series s;
  std::vector<double> fit_n, fit_e;
  for (int n : plan.series) {
    if (n > cap) {
      s.cells.push_back("");
      continue;
    }
    const bench b = with(samples(base, n), {{"sampling", rule_names[rule]}});
    bool propagated = false;
    const distance d = compare(
        n == plan.base && rule == 0 ? on_default.sum : run(p, b, plan.literal_budget, &propagated),
        on_default.limit);
    if (propagated && s.propagate_from == "—") s.propagate_from = std::to_string(n);
    std::string cell = sci(d.largest);
    if (!s.counts.empty())
      cell += " (" +
              fixed(analysis::order_between(s.counts.back(), s.largest.back(), n, d.largest), 2) +
              ")";
    s.cells.push_back(cell);
    s.counts.push_back(n), s.largest.push_back(d.largest), s.finest = d;
    if (n >= fit_factor * nstar) fit_n.push_back(n), fit_e.push_back(d.largest);
  }
  s.fitted = fit_n.size();
  if (s.fitted >= 2) s.order = analysis::fitted_order(fit_n, fit_e);
  return s;
}

// Both rules' series of one program.
struct program_series {
  program_id id;
  int cap;  // the largest count computed
  sampling_series rules[2];
};

// 2. Convergence: every aperture N samples, both rules.
std::vector<program_series> convergence_section(const plan& plan, const bench& base,
                                                const std::map<program_id, curve_pair>& defaults) {
  put("fit_factor", num(fit_factor));
  put("series_first", std::to_string(plan.series.front()));
  put("series_last", std::to_string(plan.series.back()));
  std::vector<std::string> header = {"program", "limiting aperture, N*", "rule"};
  for (int n : plan.series)
    header.push_back(n == plan.series.front() ? "N = " + std::to_string(n) : std::to_string(n));
  header.push_back("order, N ≥ " + num(fit_factor) + "N*");
  header.push_back("plane by plane from N");
  table t(header);
  std::vector<program_series> all;
  for (program_id id : pattern_programs) {
    const program_info& p = program(id);
    const std::string name(p.name);
    const continuum::limiting_aperture limiting = continuum::resolving_count(base, p);
    put("nstar_" + name, fixed(limiting.nstar, 0));
    program_series& series = all.emplace_back();
    series.id = id;
    series.cap = !p.normalised()           ? plan.series.back()
                 : (p.planes & pair_plane) ? plan.intensity_cap_double
                                           : plan.intensity_cap_single;
    for (int rule = 0; rule < 2; ++rule) {
      const sampling_series& s = series.rules[rule] =
          run_series(plan, base, p, rule, series.cap, limiting.nstar, defaults.at(id));
      write("convergence-" + name + "-" + rule_names[rule] + ".dat", s.counts, s.largest);
      const std::string order = s.order ? fixed(*s.order, 2) : "—";
      const std::string key = std::string(rule ? "midpoint" : "left_edge") + "_" + name;
      put("order_" + key, order);
      put("finest_" + key, sci(s.finest.largest));
      std::vector<std::string> row = {code(name), limiting.name + ", " + fixed(limiting.nstar, 0),
                                      rule_names[rule]};
      row.insert(row.end(), s.cells.begin(), s.cells.end());
      row.push_back(s.order ? order + " (" + std::to_string(s.fitted) + " points)" : order);
      row.push_back(s.propagate_from);
      t.row(row);
    }
  }
  put("table_convergence", t.text);
  return all;
}

// 3. The finest benches: each program at the largest count of its series.
void finest_section(const std::vector<program_series>& all) {
  table t({"program", "N", "left-edge: max \\|difference\\|", "midpoint", "RMS (midpoint)",
           "midpoint / largest value"});
  for (const program_series& series : all) {
    const distance &left = series.rules[0].finest, &mid = series.rules[1].finest;
    t.row({code(program(series.id).name), std::to_string(series.cap), sci(left.largest),
           sci(mid.largest), sci(mid.rms), format("%.1e", mid.largest / mid.peak)});
  }
  put("table_finest", t.text);
}

// Section 2's summary: the range of the fitted orders of each rule.
void order_ranges(const std::vector<program_series>& all) {
  for (int rule = 0; rule < 2; ++rule) {
    std::vector<double> orders;
    for (const program_series& series : all)
      if (series.rules[rule].order) orders.push_back(*series.rules[rule].order);
    const std::string key = std::string("order_") + (rule ? "midpoint" : "left_edge");
    const auto [lo, hi] = std::minmax_element(orders.begin(), orders.end());
    put(key + "_min", orders.empty() ? "—" : fixed(*lo, 2));
    put(key + "_max", orders.empty() ? "—" : fixed(*hi, 2));
  }
}

// Section 2's repeats of the sums: monogap's period on the screen at the
// coarsest step of the first slit; the source strip's ghosts on the double
// slit, against the band the continuum lights there and the upper slit.
void sampling_repeats(const plan& plan, const bench& base) {
  const double L2 = base.pair_distance, D = base.pair_separation, wp = base.pair_slit_width;
  put("monogap_repeat",
      fixed(continuum::first_slit_repeat(base, continuum::single_screen_distance(base),
                                         plan.series.front()),
            1));
  put("pair_zone", fixed(continuum::first_slit_image(base, L2), 2));
  std::vector<double> at_pair;
  std::string at_pair_counts;
  for (std::size_t i = 0; i < plan.series.size() && i < 4; ++i) {
    at_pair.push_back(continuum::ghost_shift(base, L2, plan.series[i]));
    at_pair_counts += (i ? ", " : "") + std::to_string(plan.series[i]);
  }
  put("ghost_at_pair", list(at_pair, 2));
  put("ghost_at_pair_counts", at_pair_counts);
  put("upper_slit_lo", fixed(D / 2 - wp / 2, 3));
  put("upper_slit_hi", fixed(D / 2 + wp / 2, 3));
}

// 4. broad_monogap's ghosts: the continuum's central pattern repeated every
// P = lambda L' / (2 step) of the source strip, each copy fitted at the base
// source count and twice it.
void ghost_fit_section(const plan& plan, const bench& base, const curve_pair& broad_default) {
  const program_info& broad = program(program_id::broad_monogap);
  const curve& broad_limit = broad_default.limit;
  const double Lp = continuum::single_screen_distance(base), ws = base.source_width,
               xs = base.single_screen_max;
  auto period = [&](int n) { return continuum::ghost_shift(base, Lp, n); };
  const double image = -continuum::first_slit_image(base, Lp);  // the central pattern, inverted
  const double h = broad_limit.x[1] - broad_limit.x[0], search = 0.8;
  const std::vector<double> profile(broad_limit.value.begin(),
                                    broad_limit.value.begin() + long(image / h) + 1);
  put("image", fixed(image, 2));
  put("ghost_search", num(search));
  put("a1", fixed(continuum::ghost_shift(base, base.source_distance, plan.base), 3));
  put("n_image", fixed(continuum::first_ghost_offscreen(base), 0));
  table t({"source samples", "Δ", "ghost centres m·P, predicted", "fitted",
           "period: predicted, fitted (least squares through the axis)",
           "largest \\|fitted − predicted\\|"});
  for (int factor : {1, 2}) {
    const int n = factor * plan.base;
    const curve ghosts =
        factor == 1
            ? broad_default.sum
            : run(broad, with(base, {{"source_samples", std::to_string(n)}}), plan.literal_budget);
    std::vector<double> predicted, fitted;
    double scatter = 0;
    // Each fit stays on the screen and clear of the central pattern.
    const double clear = image + search + 2 * h;
    for (int m = 1; period(n) > clear && m * period(n) + clear < xs; ++m) {
      predicted.push_back(m * period(n));
      fitted.push_back(analysis::fit_shift(ghosts.value, h, profile, predicted.back(), search));
      scatter = std::max(scatter, std::abs(fitted.back() - predicted.back()));
    }
    const std::string which = factor == 1 ? "base" : "double";
    put("period_" + which, fixed(period(n), 3));
    put("ghosts_" + which, std::to_string(predicted.size()));
    put("ghost_scatter_" + which, fixed(scatter, 2));
    t.row({std::to_string(n), num(ws / n), list(predicted, 3), list(fitted, 3),
           fixed(period(n), 3) + ", " +
               (fitted.empty() ? "—" : fixed(analysis::period_through_origin(fitted), 3)),
           fixed(scatter, 3)});
    write("broad_monogap-" + std::to_string(n) + ".dat", ghosts);
  }
  put("double_count", std::to_string(2 * plan.base));
  put("table_ghost_fit", t.text);
  write("broad_monogap-continuum.dat", broad_limit);
}

// 4, continued. The source sweep, the first slit at the base count: distance
// from the continuum, and from the finest source count (the ghosts alone,
// the first slit's own error taken out); from which count the ghosts leave
// the screen, and from which they are gone.
void source_sweep_section(const plan& plan, const bench& base, const curve& broad_limit) {
  const program_info& broad = program(program_id::broad_monogap);
  const double Lp = continuum::single_screen_distance(base);
  const double image = -continuum::first_slit_image(base, Lp);
  const double tail_from = 3;
  put("tail_from", num(tail_from));
  auto tail = [&](const curve& c) {
    double largest = 0;
    for (std::size_t i = 0; i < c.x.size(); ++i)
      if (c.x[i] >= tail_from) largest = std::max(largest, std::abs(c.value[i]));
    return largest;
  };
  put("continuum_tail", format("%.2e", tail(broad_limit)));
  std::vector<curve> sweep;
  for (int n : plan.sources)
    sweep.push_back(
        run(broad, with(base, {{"source_samples", std::to_string(n)}}), plan.literal_budget));
  table t({"source samples", "P", "max \\|difference\\| from the continuum", "at x",
           "max \\|difference\\| from " + std::to_string(plan.sources.back()) + " source samples",
           "largest \\|f\\| beyond x = " + num(tail_from)});
  std::vector<double> counts, largest, ghosts;
  for (std::size_t i = 0; i < sweep.size(); ++i) {
    const distance d = compare(sweep[i], broad_limit), g = compare(sweep[i], sweep.back());
    counts.push_back(plan.sources[i]), largest.push_back(d.largest), ghosts.push_back(g.largest);
    if (i + 1 < sweep.size())
      t.row({std::to_string(plan.sources[i]),
             fixed(continuum::ghost_shift(base, Lp, plan.sources[i]), 3), sci(d.largest),
             num(d.at, 4), sci(g.largest), format("%.2e", tail(sweep[i]))});
  }
  put("finest_source", std::to_string(plan.sources.back()));
  put("table_sources", t.text);
  write("source.dat", counts, largest);
  write("source-ghosts.dat", std::vector(counts.begin(), counts.end() - 1),
        std::vector(ghosts.begin(), ghosts.end() - 1));  // not the finest against itself
  // The first count from which, at every larger count, the ghosts' part
  // stays below a tenth of the continuum's peak (the first ghost's image off
  // the screen); and from which the largest difference from the continuum
  // lies within the central pattern, the first slit's own error.
  const double peak = compare(broad_limit, broad_limit).peak, fraction = 0.1;
  std::size_t offscreen = counts.size() - 1, gone = counts.size() - 1;
  while (offscreen > 0 && ghosts[offscreen - 1] < fraction * peak) --offscreen;
  while (gone > 0 && compare(sweep[gone - 1], broad_limit).at < image) --gone;
  put("ghosts_offscreen_fraction", num(fraction));
  put("ghosts_offscreen_measured", std::to_string(int(counts[offscreen])));
  put("ghosts_gone_measured", std::to_string(int(counts[gone])));
  int plotted = plan.sources.back();
  for (int n : plan.sources)
    if (n >= continuum::resolving_count(base, broad).nstar) {
      plotted = n;
      break;
    }
  put("ghost_plot_count", std::to_string(plotted));
  for (std::size_t i = 0; i < sweep.size(); ++i)
    if (plan.sources[i] == plotted)
      write("broad_monogap-" + std::to_string(plotted) + ".dat", sweep[i]);
}

// duogap's fringes: minima and maxima off the axis, within the central
// envelope.
constexpr double fringe_window = 2.2;

std::string fringe_spacing(const curve& c, std::size_t i) {
  const auto minima = analysis::extrema(c.x, c.value, false, fringe_window);
  return minima.size() > i + 1 ? fixed(minima[i + 1].x - minima[i].x, 3) : std::string("—");
}

// The first two dark fringes, their spacing and the first bright fringe.
std::vector<std::string> fringe_row(const char* model, const std::string& data, const curve& c) {
  const auto minima = analysis::extrema(c.x, c.value, false, fringe_window),
             maxima = analysis::extrema(c.x, c.value, true, fringe_window);
  auto at = [](const std::vector<analysis::extremum>& e, std::size_t i) {
    return e.size() > i ? fixed(e[i].x, 4) : std::string("—");
  };
  return {model, data, at(minima, 0), at(minima, 1), fringe_spacing(c, 0), at(maxima, 0)};
}

// 5. duogap's fringes in both models, on the default bench, with narrow
// slits and with a wide first slit. Returns the fresnel pattern and limit.
curve_pair fringe_section(const bench& base, const curve_pair& duogap_default) {
  const program_info& duogap = program(program_id::duogap);
  const bench fresnel = with(base, {{"phase_model", "fresnel"}});
  const double narrow = 0.02, lit = 4.0;
  put("fringe_window", num(fringe_window));
  put("narrow", num(narrow));
  put("lit", num(lit));
  put("ideal", fixed(base.wavelength * base.screen_distance / base.pair_separation, 3));
  const curve_pair on_fresnel = {run(duogap, fresnel, 1e300), limit(duogap, fresnel)};
  table t({"model", "data", "first dark fringe", "second", "spacing",
           "first bright fringe off the axis"});
  t.row(fringe_row("classic", "default bench, program", duogap_default.sum));
  t.row(fringe_row("classic", "default bench, continuum", duogap_default.limit));
  t.row(fringe_row("fresnel", "default bench, program", on_fresnel.sum));
  t.row(fringe_row("fresnel", "default bench, continuum", on_fresnel.limit));
  for (const char* model : {"classic", "fresnel"})
    t.row(fringe_row(
        model, "slits " + num(narrow) + " wide, continuum",
        limit(duogap, with(base, {{"phase_model", model}, {"pair_slit_width", exact(narrow)}}))));
  for (const char* model : {"classic", "fresnel"})
    t.row(fringe_row(
        model, "first slit " + num(lit) + " wide, continuum",
        limit(duogap, with(base, {{"phase_model", model}, {"entrance_width", exact(lit)}}))));
  put("table_fringes", t.text);
  put("spacing_classic_12", fringe_spacing(duogap_default.limit, 0));
  put("spacing_classic_23", fringe_spacing(duogap_default.limit, 1));
  put("spacing_fresnel_12", fringe_spacing(on_fresnel.limit, 0));
  return on_fresnel;
}

// 5, continued. The classic chain as a textbook one: distances, screen
// scale, and the first slit's Fresnel number seen from the double slit.
void textbook_chain_section(const bench& base) {
  const continuum::textbook_chain textbook = continuum::textbook_equivalent(base);
  const double we = base.entrance_width;
  put("textbook_pair_distance", num(textbook.pair_distance));
  put("textbook_screen_distance", num(textbook.screen_distance));
  put("textbook_scale", num(textbook.scale));
  put("half_separation", num(base.pair_separation / 2));
  put("fresnel_number_classic",
      fixed(continuum::fresnel_number(base, we, textbook.pair_distance), 2));
  put("fresnel_number_textbook", fixed(continuum::fresnel_number(base, we, base.pair_distance), 2));
}

// 5, continued. How each model lights the upper slit of the pair.
void illumination_section(const bench& base) {
  const double wp = base.pair_slit_width, lo = base.pair_separation / 2 - wp / 2;
  table t(
      {"model", "inner edge", "centre", "outer edge", "modulus-weighted centre", "λL3/(2·centre)"});
  for (const bench& b : {base, with(base, {{"phase_model", "fresnel"}})}) {
    std::vector<std::string> row = {b.fresnel_hops ? "fresnel" : "classic"};
    for (double y : {lo, lo + wp / 2, lo + wp}) {
      const std::complex<double> a = continuum::first_slit_wave(b, y, b.pair_distance);
      row.push_back(fixed(std::abs(a), 3) + ", " + fixed(std::arg(a), 2));
    }
    const double centre = continuum::lit_centre(b, lo, wp, b.pair_distance);
    row.push_back(fixed(centre, 4));
    row.push_back(fixed(b.wavelength * b.screen_distance / (2 * centre), 3));
    t.row(row);
  }
  put("table_illumination", t.text);
}

// 6. The two models: classic monogap at x against the textbook one with
// both distances halved at x/2; the axis by quadrature of the bench's hop.
void models_section(const bench& base, const std::map<program_id, curve_pair>& defaults,
                    const curve_pair& duogap_fresnel) {
  const program_info &monogap = program(program_id::monogap), &duogap = program(program_id::duogap);
  const bench fresnel = with(base, {{"phase_model", "fresnel"}});
  const double we = base.entrance_width, xs = base.single_screen_max,
               Lp = continuum::single_screen_distance(base);
  const bench half = with(fresnel, {{"pair_distance", exact(base.pair_distance / 2)},
                                    {"screen_distance", exact(base.screen_distance / 2)},
                                    {"single_screen_max", exact(xs / 2)}});
  put("half_screen_max", num(xs / 2));
  auto halved = [](curve c) {
    for (double& x : c.x) x /= 2;
    return c;
  };
  const curve_pair& monogap_classic = defaults.at(program_id::monogap);
  const distance half_limit = compare(limit(monogap, half), halved(monogap_classic.limit)),
                 half_program = compare(run(monogap, half, 1e300), halved(monogap_classic.sum));
  put("half_points", std::to_string(half_limit.points));
  put("half_continuum", format("%.1e", half_limit.largest));
  put("half_program", format("%.1e", half_program.largest));
  put("fresnel_mono_classic", fixed(continuum::fresnel_number(base, we, Lp / 2), 2));
  put("fresnel_mono_textbook", fixed(continuum::fresnel_number(base, we, Lp), 2));
  put("minima_spacing", fixed(base.wavelength * Lp / we, 3));
  const curve_pair monogap_fresnel = {run(monogap, fresnel, 1e300), limit(monogap, fresnel)};
  table t({"program", "model", "axis value, continuum", "axis, Gauss–Legendre on the hop phase",
           "axis, program", "max \\|difference\\|", "RMS difference"});
  struct shown {
    const program_info& p;
    const bench& b;
    const curve_pair& c;
  };
  for (const shown& c :
       {shown{monogap, base, monogap_classic}, shown{duogap, base, defaults.at(program_id::duogap)},
        shown{monogap, fresnel, monogap_fresnel}, shown{duogap, fresnel, duogap_fresnel}}) {
    const distance d = compare(c.c.sum, c.c.limit);
    const std::string model = c.b.fresnel_hops ? "fresnel" : "classic";
    const std::string axis = c.p.id == program_id::monogap
                                 ? fixed(std::abs(continuum::first_slit_wave(c.b, 0, Lp)), 5)
                                 : "—";
    t.row({code(c.p.name), model, fixed(c.c.limit.value[0], 5), axis, fixed(c.c.sum.value[0], 5),
           sci(d.largest), sci(d.rms)});
    write(std::string(c.p.name) + "-" + model + ".dat", c.c.sum);
    write(std::string(c.p.name) + "-" + model + "-continuum.dat", c.c.limit);
  }
  put("table_models", t.text);
}

// 7. Each model against the exact scalar field of a long slit (rs), on the
// continuum: intensities (an amplitude program's value squared) over the
// program's screen, their relative difference I / I_rs - 1 point by point,
// and where it first reaches 1 %.
void model_gap_section(const bench& base, const std::map<program_id, curve_pair>& defaults) {
  const bench rs = with(base, {{"phase_model", "rs"}});
  double paraxial_worst = 0;
  for (program_id id : pattern_programs) {
    const program_info& p = program(id);
    const auto intensity = [&](curve c) {
      if (!p.normalised())
        for (double& v : c.value) v *= v;
      return c;
    };
    const curve exact = intensity(limit(p, rs));
    const double peak = *std::max_element(exact.value.begin(), exact.value.end());
    table t({"model", "largest \\|I / I_rs − 1\\|", "at x", "median \\|I / I_rs − 1\\|",
             "largest \\|I − I_rs\\| / peak", "first x with \\|I / I_rs − 1\\| ≥ 1 %"});
    for (const char* model : {"classic", "fresnel", "fraunhofer"}) {
      const curve c = intensity(std::string(model) == "classic"
                                    ? defaults.at(id).limit
                                    : limit(p, with(base, {{"phase_model", model}})));
      std::vector<double> relative;
      double largest = 0, at = 0, absolute = 0, first = NAN;
      for (std::size_t i = 0; i < c.x.size(); ++i) {
        const double r = std::abs(c.value[i] / exact.value[i] - 1);
        relative.push_back(r);
        if (r > largest) largest = r, at = c.x[i];
        absolute = std::max(absolute, std::abs(c.value[i] - exact.value[i]) / peak);
        if (r >= 0.01 && std::isnan(first)) first = c.x[i];
      }
      std::nth_element(relative.begin(), relative.begin() + relative.size() / 2, relative.end());
      t.row({model, sci(largest), num(at, 4), sci(relative[relative.size() / 2]), sci(absolute),
             std::isnan(first) ? "nowhere" : num(first, 4)});
      if (std::string(model) == "fresnel") {
        paraxial_worst = std::max(paraxial_worst, absolute);
        put("gap_first_" + std::string(p.name),
            std::isnan(first)
                ? "`fresnel` stays within 1 % of `rs` over the whole screen."
                : "`fresnel` first departs by 1 % from `rs` at x = " + num(first, 4) + ".");
        if (id == program_id::monogap)
          for (double x : {5.0, 10.0, 15.0})  // the screen's own points
            for (std::size_t i = 0; i < c.x.size(); ++i)
              if (c.x[i] == x)
                put("gap_monogap_" + num(x),
                    fixed(100 * (c.value[i] / exact.value[i] - 1), 1) + " %");
      }
    }
    const double angle = std::atan(
        base.screen_max(p) /
        ((p.planes & pair_plane) ? base.screen_distance : continuum::single_screen_distance(base)));
    put("gap_angle_" + std::string(p.name), fixed(angle * 1e3, 1));
    put("table_gap_" + std::string(p.name), t.text);
  }
  put("gap_paraxial_worst", sci(paraxial_worst));
  const double we = base.entrance_width;
  put("gap_fresnel_number_single",
      fixed(continuum::fresnel_number(base, we, continuum::single_screen_distance(base)), 2));
  put("gap_fresnel_number_pair",
      fixed(continuum::fresnel_number(base, base.pair_slit_width, base.screen_distance), 3));
}

// 8. Where and how long.
void provenance_section(const plan& plan, std::chrono::steady_clock::time_point start) {
  const std::string loadavg = [] {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
  }();
  put("machine", machine());
  put("cores", std::to_string(std::thread::hardware_concurrency()));
  put("load", loadavg);
  put("compiler", "g++ " __VERSION__);
  put("threads", std::to_string(threads));
  put("mode", plan.base == full_plan().base ? "full" : "tiny");
  put("run_time",
      fixed(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0));
}

// Every section in the report's order; the default bench's patterns serve
// the later sections too.
void report_values(const plan& plan) {
  const auto start = std::chrono::steady_clock::now();
  const bench base = bench_paragraph(plan);
  const std::map<program_id, curve_pair> defaults = default_bench_section(base);
  const std::vector<program_series> series = convergence_section(plan, base, defaults);
  finest_section(series);
  order_ranges(series);
  sampling_repeats(plan, base);
  ghost_fit_section(plan, base, defaults.at(program_id::broad_monogap));
  source_sweep_section(plan, base, defaults.at(program_id::broad_monogap).limit);
  const curve_pair duogap_fresnel = fringe_section(base, defaults.at(program_id::duogap));
  textbook_chain_section(base);
  illumination_section(base);
  models_section(base, defaults, duogap_fresnel);
  model_gap_section(base, defaults);
  provenance_section(plan, start);
}

}  // namespace
int main(int argc, char** argv) {
  bool tiny = false;
  std::vector<std::string> operands;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tiny") == 0)
      tiny = true;
    else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc)
      threads = std::atoi(argv[++i]);
    else
      operands.push_back(argv[i]);
  }
  if (operands.size() != 1 || threads < 0) {
    std::fprintf(stderr, "usage: validate [--tiny] [--threads N] DATADIR\n");
    return 2;
  }
  data_dir = operands[0];
  try {
    report_values(tiny ? tiny_plan() : full_plan());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "validate: %s\n", e.what());
    return 1;
  }
  for (auto [key, value] : keys) {
    for (std::size_t at; (at = value.find('\n')) != std::string::npos;) value.replace(at, 1, "\\n");
    while (value.ends_with("\\n")) value.resize(value.size() - 2);
    std::cout << key << ' ' << value << '\n';
  }
  return std::cout.flush() ? 0 : 1;
}
