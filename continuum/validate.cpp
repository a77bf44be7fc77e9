// validate [--tiny] [--threads N] DATADIR: every number of the validation
// report (docs/validation.md.in), as "key value" lines on standard output,
// and the series its plots draw as data files in DATADIR.
//
// The patterns are computed in this process by the programs' own loops
// (compute_pattern, full binary64, not rounded to printed digits), literal
// where the bench affords it, else plane by plane; the continuum limits by
// the continuum library. Tables are values too, their rows joined by "\n".
// --tiny runs the same chain on small sample counts and a short screen, to
// check that it works, not to measure anything.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <numbers>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "analysis.hpp"
#include "integrals.hpp"
#include "limits.hpp"
#include "patterns.hpp"

namespace {

using analysis::distance;

// What is computed: sample counts, screen, and the sweeps.
struct plan {
  int base;                        // samples per aperture of the default bench
  int screen_count;                // screen points (monogap ten times as many)
  std::vector<int> series;         // samples per aperture of the convergence study
  std::vector<int> sources;        // source samples of broad_monogap's ghost sweep
  std::map<std::string, int> cap;  // a program's largest count in the series
  double literal_budget;           // exponentials the literal method may take
};

plan full_plan() {
  return {100,
          1000,
          {25, 50, 100, 200, 400, 800, 1600, 3200, 6400, 10000},
          {100, 200, 300, 400, 450, 475, 500, 525, 550, 575, 600, 625, 650, 700, 800, 1000, 2000,
           5000, 10000},
          // The LED programs' plane-by-plane products grow as N^3 (conv_duogap)
          // or N^2 C (conv_monogap): about 20 s at these counts.
          {{"conv_monogap", 1600}, {"conv_duogap", 800}},
          2e8};
}

plan tiny_plan() { return {40, 100, {10, 20, 40}, {40, 80, 160, 320}, {}, 2e8}; }

int threads = 1;
std::vector<std::pair<std::string, std::string>> keys;

void put(const std::string& key, const std::string& value) { keys.emplace_back(key, value); }

std::string format(const char* f, double v) {
  char text[64];
  std::snprintf(text, sizeof text, f, v);
  return text;
}
std::string sci(double v) { return format("%.3e", v); }
std::string num(double v, int digits = 4) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", digits, v);
  return text;
}
std::string fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}
std::string code(std::string_view name) { return "`" + std::string(name) + "`"; }

// A markdown table, built row by row.
struct table {
  std::string text;
  explicit table(const std::vector<std::string>& header) {
    row(header);
    text += "|";
    for (std::size_t i = 0; i < header.size(); ++i) text += "---|";
    text += "\n";
  }
  void row(const std::vector<std::string>& cells) {
    text += "|";
    for (const std::string& c : cells) text += " " + c + " |";
    text += "\n";
  }
};

std::string list(const std::vector<double>& values, int decimals) {
  std::string text;
  for (double v : values) text += (text.empty() ? "" : ", ") + fixed(v, decimals);
  return text;
}

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
std::string text(double v) { return format("%.17g", v); }

struct curve {
  std::vector<double> x, value;
};

// The program's values on a bench, literal when its cost is within the
// budget, else plane by plane.
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

const std::vector<program_id> pattern_programs = {
    program_id::monogap,      program_id::duogap,       program_id::broad_monogap,
    program_id::broad_duogap, program_id::conv_monogap, program_id::conv_duogap};

// N*, the count below which the path's phase changes by 2 pi or more between
// neighbouring samples of the limiting aperture somewhere: the largest slope
// of the phase over that aperture, against the corners of the other
// apertures and of the screen (the phases are quadratic, so each slope is
// linear in the other variables), through the bench's own hop phases.
struct limiting {
  std::string aperture;
  double nstar;
};
limiting resolving_count(const bench& b, const program_info& p) {
  const double we = b.entrance_width, ws = b.source_width, xs = b.single_screen_max;
  const double L1 = b.source_distance, L2 = b.pair_distance, Lp = L2 + b.screen_distance;
  const double inner = b.pair_separation / 2 - b.pair_slit_width / 2,
               outer = b.pair_separation / 2 + b.pair_slit_width / 2;
  const std::vector<double> pair = {-outer, -inner, inner, outer}, screen = {0, xs},
                            source = {-ws / 2, ws / 2}, entrance = {-we / 2, we / 2};
  std::vector<std::function<double(double)>> phases;  // of the limiting aperture's u
  double width = we;
  std::string aperture = "first slit";
  auto led = [&](double d, double s, double q, double L) {
    return b.led_phase(b.led_hop_in(d, s, L1), b.led_hop_out(s, q, L), s);
  };
  switch (p.id) {
    case program_id::monogap:
      for (double x : screen) phases.push_back([&, x](double s) { return b.hop_phase(s, x, Lp); });
      break;
    case program_id::duogap:
      for (double y : pair) phases.push_back([&, y](double s) { return b.hop_phase(s, y, L2); });
      break;
    case program_id::broad_monogap:
    case program_id::broad_duogap:
      width = ws, aperture = "source";
      for (double s : entrance)
        phases.push_back([&, s](double d) { return b.hop_phase(d, s, L1); });
      break;
    case program_id::conv_monogap:
      for (double d : source)
        for (double x : screen) phases.push_back([&, d, x](double s) { return led(d, s, x, Lp); });
      break;
    default:
      for (double d : source)
        for (double y : pair) phases.push_back([&, d, y](double s) { return led(d, s, y, L2); });
  }
  const double h = width * 1e-3;
  double steepest = 0;
  for (const auto& phi : phases)
    for (double u : {-width / 2, width / 2})
      steepest = std::max(steepest, std::abs(phi(u + h) - phi(u - h)) / (2 * h));
  return {aperture, width * steepest / (2 * std::numbers::pi)};
}

// The mean wave over the first slit arriving at y on the plane L behind it,
// by Gauss-Legendre quadrature on the bench's own hop phase.
std::complex<double> light(const bench& b, double y, double L) {
  const double w = b.entrance_width;
  const continuum::mean_rule rule =
      continuum::mean_quadrature({{-w / 2, w / 2}}, b.wavenumber * (w + std::abs(y)) / L, 4);
  std::complex<double> mean = 0;
  for (std::size_t j = 0; j < rule.nodes.size(); ++j)
    mean += rule.weights[j] * std::exp(std::complex<double>(0, b.hop_phase(rule.nodes[j], y, L)));
  return mean;
}

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

void validate(const plan& plan) {
  const auto start = std::chrono::steady_clock::now();
  const double budget = plan.literal_budget;
  const bench base = samples(
      with(default_bench(), {{"screen_count", std::to_string(plan.screen_count)}}), plan.base);
  for (std::size_t i = 0; i < parameters().size(); ++i)  // text[] is in the registry's order
    put(std::string(parameters()[i].name), base.text[i]);
  const double lambda = base.wavelength, ws = base.source_width, we = base.entrance_width,
               wp = base.pair_slit_width, D = base.pair_separation, L1 = base.source_distance,
               L2 = base.pair_distance, L3 = base.screen_distance, Lp = L2 + L3,
               xs = base.single_screen_max;
  put("monogap_points", std::to_string(base.screen_points(program(program_id::monogap))));
  put("single_screen_distance", num(Lp));

  // 1. The default bench, literal, against its continuum.
  std::map<program_id, curve> programs_default, continua;
  double plane_by_plane = 0, quadrature = 0;
  table t1({"program", "points", "largest continuum value", "max \\|difference\\|", "at x",
            "RMS difference", "max / largest value"});
  for (program_id id : pattern_programs) {
    const program_info& p = program(id);
    programs_default[id] = run(p, base, 1e300);
    continua[id] = limit(p, base);
    const distance d = compare(programs_default[id], continua[id]);
    // The plane-by-plane sums against the literal ones, and the quadrature's
    // error: the continuum with every node count doubled.
    plane_by_plane =
        std::max(plane_by_plane, compare(run(p, base, 0), programs_default[id]).largest / d.peak);
    curve finer = continua[id];
    finer.value = continuum::continuum_values(base, p, finer.x, 2);
    quadrature = std::max(quadrature, compare(finer, continua[id]).largest);
    t1.row({code(p.name), std::to_string(d.points), num(d.peak), sci(d.largest), num(d.at, 6),
            sci(d.rms), fixed(100 * d.largest / d.peak, 1) + " %"});
  }
  put("table_default", t1.text);
  put("plane_by_plane", format("%.0e", plane_by_plane));
  put("quadrature_check", format("%.0e", quadrature));

  // 2. Convergence: every aperture N samples, both rules.
  const double fit_factor = 4;
  put("fit_factor", num(fit_factor));
  put("series_first", std::to_string(plan.series.front()));
  put("series_last", std::to_string(plan.series.back()));
  std::vector<std::string> header = {"program", "limiting aperture, N*", "rule"};
  for (int n : plan.series)
    header.push_back(n == plan.series.front() ? "N = " + std::to_string(n) : std::to_string(n));
  header.push_back("order, N ≥ " + num(fit_factor) + "N*");
  header.push_back("plane by plane from N");
  table t2(header);
  table finest({"program", "N", "left-edge: max \\|difference\\|", "midpoint", "RMS (midpoint)",
                "midpoint / largest value"});
  std::vector<double> orders[2];
  for (program_id id : pattern_programs) {
    const program_info& p = program(id);
    const std::string name(p.name);
    const limiting lim = resolving_count(base, p);
    put("nstar_" + name, fixed(lim.nstar, 0));
    const int cap = plan.cap.contains(name) ? plan.cap.at(name) : plan.series.back();
    std::vector<std::string> finest_row = {code(name), std::to_string(cap)};
    for (int rule = 0; rule < 2; ++rule) {
      const char* rule_name = rule ? "midpoint" : "left-edge";
      std::vector<std::string> row = {code(name), lim.aperture + ", " + fixed(lim.nstar, 0),
                                      rule_name};
      std::vector<double> ns, es, fit_n, fit_e;
      std::string propagate_from = "—";
      distance last;
      for (int n : plan.series) {
        if (n > cap) {
          row.push_back("");
          continue;
        }
        const bench b = with(samples(base, n), {{"sampling", rule_name}});
        bool propagated = false;
        const distance d = compare(
            n == plan.base && rule == 0 ? programs_default[id] : run(p, b, budget, &propagated),
            continua[id]);
        if (propagated && propagate_from == "—") propagate_from = std::to_string(n);
        std::string cell = sci(d.largest);
        if (!ns.empty())
          cell +=
              " (" + fixed(analysis::order_between(ns.back(), es.back(), n, d.largest), 2) + ")";
        row.push_back(cell);
        ns.push_back(n), es.push_back(d.largest), last = d;
        if (n >= fit_factor * lim.nstar) fit_n.push_back(n), fit_e.push_back(d.largest);
      }
      write("convergence-" + name + "-" + rule_name + ".dat", ns, es);
      std::string order = "—", points;
      if (fit_n.size() >= 2) {
        const double q = analysis::fitted_order(fit_n, fit_e);
        order = fixed(q, 2), points = " (" + std::to_string(fit_n.size()) + " points)";
        orders[rule].push_back(q);
      }
      const std::string key = std::string(rule ? "midpoint" : "left_edge") + "_" + name;
      put("order_" + key, order);
      order += points;
      row.push_back(order);
      row.push_back(propagate_from);
      t2.row(row);
      finest_row.push_back(sci(last.largest));
      if (rule == 1)
        finest_row.push_back(sci(last.rms)),
            finest_row.push_back(format("%.1e", last.largest / last.peak));
      put("finest_" + key, sci(last.largest));
    }
    finest.row(finest_row);
  }
  put("table_convergence", t2.text);
  put("table_finest", finest.text);
  for (int rule = 0; rule < 2; ++rule) {
    const char* rule_name = rule ? "midpoint" : "left_edge";
    const auto [lo, hi] = std::minmax_element(orders[rule].begin(), orders[rule].end());
    put(std::string("order_") + rule_name + "_min", orders[rule].empty() ? "—" : fixed(*lo, 2));
    put(std::string("order_") + rule_name + "_max", orders[rule].empty() ? "—" : fixed(*hi, 2));
  }
  // Repeats of the sums: period lambda L / step on the screen for the first
  // slit's step; the source strip's ghosts on the pair, m lambda L2 / (2 step).
  put("monogap_repeat", fixed(lambda * Lp * plan.series.front() / we, 1));
  put("pair_zone", fixed(we * (1 - L2 / (4 * L1)), 2));
  std::vector<double> at_pair;
  std::string at_pair_counts;
  for (std::size_t i = 0; i < plan.series.size() && i < 4; ++i) {
    at_pair.push_back(plan.series[i] * lambda * L2 / (2 * ws));
    at_pair_counts += (i ? ", " : "") + std::to_string(plan.series[i]);
  }
  put("ghost_at_pair", list(at_pair, 2));
  put("ghost_at_pair_counts", at_pair_counts);
  put("upper_slit_lo", fixed(D / 2 - wp / 2, 3));
  put("upper_slit_hi", fixed(D / 2 + wp / 2, 3));

  // 3. broad_monogap's ghosts: the continuum's central pattern repeated
  // every P = lambda (L2 + L3) / (2 step) of the source strip.
  const program_info& broad = program(program_id::broad_monogap);
  const curve& broad_limit = continua[program_id::broad_monogap];
  auto period = [&](int n) { return lambda * Lp * n / (2 * ws); };
  const double image = we * (Lp / (4 * L1) - 1);  // half-width of the central pattern
  const double h = broad_limit.x[1] - broad_limit.x[0], search = 0.8;
  const std::vector<double> profile(broad_limit.value.begin(),
                                    broad_limit.value.begin() + long(image / h) + 1);
  put("image", fixed(image, 2));
  put("ghost_search", num(search));
  put("a1", fixed(lambda * L1 * plan.base / (2 * ws), 3));
  put("n_image", fixed((xs + image) * 2 * ws / (lambda * Lp), 0));
  table t3({"source samples", "Δ", "ghost centres m·P, predicted", "fitted",
            "period: predicted, fitted (least squares through the axis)",
            "largest \\|fitted − predicted\\|"});
  std::map<int, curve> ghost_runs;
  for (int factor : {1, 2}) {
    const int n = factor * plan.base;
    const bench b = with(base, {{"source_samples", std::to_string(n)}});
    ghost_runs[n] =
        factor == 1 ? programs_default[program_id::broad_monogap] : run(broad, b, budget);
    std::vector<double> predicted, fitted;
    double scatter = 0;
    // Each fit stays on the screen and clear of the central pattern.
    const double clear = image + search + 2 * h;
    for (int m = 1; period(n) > clear && m * period(n) + clear < xs; ++m) {
      predicted.push_back(m * period(n));
      fitted.push_back(
          analysis::fit_shift(ghost_runs[n].value, h, profile, predicted.back(), search));
      scatter = std::max(scatter, std::abs(fitted.back() - predicted.back()));
    }
    const std::string which = factor == 1 ? "base" : "double";
    put("period_" + which, fixed(period(n), 3));
    put("ghosts_" + which, std::to_string(predicted.size()));
    put("ghost_scatter_" + which, fixed(scatter, 2));
    t3.row({std::to_string(n), num(ws / n), list(predicted, 3), list(fitted, 3),
            fixed(period(n), 3) + ", " +
                (fitted.empty() ? "—" : fixed(analysis::period_through_origin(fitted), 3)),
            fixed(scatter, 3)});
    write("broad_monogap-" + std::to_string(n) + ".dat", ghost_runs[n]);
  }
  put("double_count", std::to_string(2 * plan.base));
  put("table_ghost_fit", t3.text);
  write("broad_monogap-continuum.dat", broad_limit);

  // The source sweep, the first slit at the base count: distance from the
  // continuum, and from the finest source count (the ghosts alone, the first
  // slit's own error taken out).
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
    sweep.push_back(run(broad, with(base, {{"source_samples", std::to_string(n)}}), budget));
  table t4({"source samples", "P", "max \\|difference\\| from the continuum", "at x",
            "max \\|difference\\| from " + std::to_string(plan.sources.back()) + " source samples",
            "largest \\|f\\| beyond x = " + num(tail_from)});
  std::vector<double> counts, largest, ghosts;
  for (std::size_t i = 0; i < sweep.size(); ++i) {
    const distance d = compare(sweep[i], broad_limit), g = compare(sweep[i], sweep.back());
    counts.push_back(plan.sources[i]), largest.push_back(d.largest), ghosts.push_back(g.largest);
    if (i + 1 < sweep.size())
      t4.row({std::to_string(plan.sources[i]), fixed(period(plan.sources[i]), 3), sci(d.largest),
              num(d.at, 4), sci(g.largest), format("%.2e", tail(sweep[i]))});
  }
  put("finest_source", std::to_string(plan.sources.back()));
  put("table_sources", t4.text);
  write("source.dat", counts, largest);
  write("source-ghosts.dat", std::vector(counts.begin(), counts.end() - 1),
        std::vector(ghosts.begin(), ghosts.end() - 1));  // not the finest against itself
  // Where the ghosts go: the first count from which, at every larger count,
  // the ghosts' part stays below a tenth of the continuum's peak (the first
  // ghost's image off the screen); and from which the largest difference
  // from the continuum lies within the central pattern, the first slit's own
  // error (the ghosts gone).
  const double peak = compare(broad_limit, broad_limit).peak, fraction = 0.1;
  std::size_t offscreen = counts.size() - 1, gone = counts.size() - 1;
  while (offscreen > 0 && ghosts[offscreen - 1] < fraction * peak) --offscreen;
  while (gone > 0 && compare(sweep[gone - 1], broad_limit).at < image) --gone;
  put("ghosts_offscreen_fraction", num(fraction));
  put("ghosts_offscreen_measured", std::to_string(int(counts[offscreen])));
  put("ghosts_gone_measured", std::to_string(int(counts[gone])));
  int plotted = plan.sources.back();
  for (int n : plan.sources)
    if (n >= resolving_count(base, broad).nstar) {
      plotted = n;
      break;
    }
  put("ghost_plot_count", std::to_string(plotted));
  for (std::size_t i = 0; i < sweep.size(); ++i)
    if (plan.sources[i] == plotted)
      write("broad_monogap-" + std::to_string(plotted) + ".dat", sweep[i]);

  // 4. duogap's fringes: the first two dark fringes and the first bright one
  // off the axis, within the central envelope.
  const program_info& duogap = program(program_id::duogap);
  const program_info& monogap = program(program_id::monogap);
  const bench fresnel = with(base, {{"phase_model", "fresnel"}});
  const double window = 2.2, narrow = 0.02, lit = 4.0;
  put("fringe_window", num(window));
  put("narrow", num(narrow));
  put("lit", num(lit));
  const double ideal = lambda * L3 / D;
  put("ideal", fixed(ideal, 3));
  const curve duogap_fresnel = run(duogap, fresnel, 1e300),
              duogap_fresnel_limit = limit(duogap, fresnel);
  table t5({"model", "data", "first dark fringe", "second", "spacing",
            "first bright fringe off the axis"});
  auto spacing = [&](const curve& c, std::size_t i) {
    const auto minima = analysis::extrema(c.x, c.value, false, window);
    return minima.size() > i + 1 ? fixed(minima[i + 1].x - minima[i].x, 3) : std::string("—");
  };
  auto fringe_row = [&](const char* model, const std::string& data, const curve& c) {
    const auto minima = analysis::extrema(c.x, c.value, false, window),
               maxima = analysis::extrema(c.x, c.value, true, window);
    auto at = [](const std::vector<analysis::extremum>& e, std::size_t i) {
      return e.size() > i ? fixed(e[i].x, 4) : std::string("—");
    };
    t5.row({model, data, at(minima, 0), at(minima, 1), spacing(c, 0), at(maxima, 0)});
  };
  fringe_row("classic", "default bench, program", programs_default[program_id::duogap]);
  fringe_row("classic", "default bench, continuum", continua[program_id::duogap]);
  fringe_row("fresnel", "default bench, program", duogap_fresnel);
  fringe_row("fresnel", "default bench, continuum", duogap_fresnel_limit);
  for (const char* model : {"classic", "fresnel"})
    fringe_row(
        model, "slits " + num(narrow) + " wide, continuum",
        limit(duogap, with(base, {{"phase_model", model}, {"pair_slit_width", text(narrow)}})));
  for (const char* model : {"classic", "fresnel"})
    fringe_row(model, "first slit " + num(lit) + " wide, continuum",
               limit(duogap, with(base, {{"phase_model", model}, {"entrance_width", text(lit)}})));
  put("table_fringes", t5.text);
  put("spacing_classic_12", spacing(continua[program_id::duogap], 0));
  put("spacing_classic_23", spacing(continua[program_id::duogap], 1));
  put("spacing_fresnel_12", spacing(duogap_fresnel_limit, 0));
  // The classic chain as a textbook one: distances and screen scale.
  const double L3e = 1 / (8 / L3 - 2 / L2);
  put("textbook_pair_distance", num(L2 / 2));
  put("textbook_screen_distance", num(L3e));
  put("textbook_scale", num(2 * L3e / L3));
  put("half_separation", num(D / 2));
  put("fresnel_number_classic", fixed((we / 2) * (we / 2) / (lambda * L2 / 2), 2));
  put("fresnel_number_textbook", fixed((we / 2) * (we / 2) / (lambda * L2), 2));
  // How each model lights the upper slit of the pair.
  table t6(
      {"model", "inner edge", "centre", "outer edge", "modulus-weighted centre", "λL3/(2·centre)"});
  for (const bench* b : {&base, &fresnel}) {
    const double lo = D / 2 - wp / 2;
    std::vector<std::string> row = {b->fresnel_hops ? "fresnel" : "classic"};
    for (double y : {lo, lo + wp / 2, lo + wp}) {
      const std::complex<double> a = light(*b, y, L2);
      row.push_back(fixed(std::abs(a), 3) + ", " + fixed(std::arg(a), 2));
    }
    const continuum::mean_rule across = continuum::mean_quadrature({{lo, lo + wp}}, 1 / wp, 4);
    double weight = 0, moment = 0;
    for (std::size_t j = 0; j < across.nodes.size(); ++j) {
      const double m = std::abs(light(*b, across.nodes[j], L2));
      weight += across.weights[j] * m, moment += across.weights[j] * m * across.nodes[j];
    }
    row.push_back(fixed(moment / weight, 4));
    row.push_back(fixed(lambda * L3 / (2 * moment / weight), 3));
    t6.row(row);
  }
  put("table_illumination", t6.text);

  // 5. The two models: classic monogap at x against the textbook one with
  // both distances halved at x/2; the axis by quadrature of the bench's hop.
  const bench half = with(fresnel, {{"pair_distance", text(L2 / 2)},
                                    {"screen_distance", text(L3 / 2)},
                                    {"single_screen_max", text(xs / 2)}});
  put("half_screen_max", num(xs / 2));
  auto halved = [](curve c) {
    for (double& x : c.x) x /= 2;
    return c;
  };
  const distance half_limit = compare(limit(monogap, half), halved(continua[program_id::monogap])),
                 half_program = compare(run(monogap, half, 1e300),
                                        halved(programs_default[program_id::monogap]));
  put("half_points", std::to_string(half_limit.points));
  put("half_continuum", format("%.1e", half_limit.largest));
  put("half_program", format("%.1e", half_program.largest));
  put("fresnel_mono_classic", fixed((we / 2) * (we / 2) / (lambda * Lp / 2), 2));
  put("fresnel_mono_textbook", fixed((we / 2) * (we / 2) / (lambda * Lp), 2));
  put("minima_spacing", fixed(lambda * Lp / we, 3));
  const curve monogap_fresnel = run(monogap, fresnel, 1e300),
              monogap_fresnel_limit = limit(monogap, fresnel);
  table t7({"program", "model", "axis value, continuum", "axis, Gauss–Legendre on the hop phase",
            "axis, program", "max \\|difference\\|", "RMS difference"});
  struct pattern_pair {
    const program_info& p;
    const bench& b;
    const curve &sum, &limit;
  };
  for (const pattern_pair& c :
       {pattern_pair{monogap, base, programs_default[program_id::monogap],
                     continua[program_id::monogap]},
        pattern_pair{duogap, base, programs_default[program_id::duogap],
                     continua[program_id::duogap]},
        pattern_pair{monogap, fresnel, monogap_fresnel, monogap_fresnel_limit},
        pattern_pair{duogap, fresnel, duogap_fresnel, duogap_fresnel_limit}}) {
    const distance d = compare(c.sum, c.limit);
    const std::string model = c.b.fresnel_hops ? "fresnel" : "classic";
    const std::string axis =
        c.p.id == program_id::monogap ? fixed(std::abs(light(c.b, 0, Lp)), 5) : "—";
    t7.row({code(c.p.name), model, fixed(c.limit.value[0], 5), axis, fixed(c.sum.value[0], 5),
            sci(d.largest), sci(d.rms)});
    write(std::string(c.p.name) + "-" + model + ".dat", c.sum);
    write(std::string(c.p.name) + "-" + model + "-continuum.dat", c.limit);
  }
  put("table_models", t7.text);

  // 6. Where and how long.
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
    validate(tiny ? tiny_plan() : full_plan());
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
