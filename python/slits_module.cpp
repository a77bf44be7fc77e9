// _slits, the compiled half of the Python package slits: the phasor kernel
// over NumPy arrays, and the programs' patterns. slits/__init__.py turns any
// real input into a C-contiguous float64 array first, and keyword arguments
// into the programs' options; the functions here take only that, and
// compute with the GIL released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include <slits/cis.hpp>

#include "command_line.hpp"
#include "program_run.hpp"
#include "sensor.hpp"
#include "setup.hpp"
#if SLITS_CONTINUUM
#include "limits.hpp"
#endif

namespace py = pybind11;

namespace {

using real_array = py::array_t<double, py::array::c_style>;
using complex_array = py::array_t<std::complex<double>, py::array::c_style>;

// The reference: the C library's cexp, one argument at a time.
void system_cis(const double* theta, double* cos_theta, double* sin_theta, std::size_t count) {
  for (std::size_t k = 0; k < count; ++k) {
    const std::complex<double> z = std::exp(std::complex<double>(0.0, theta[k]));
    cos_theta[k] = z.real();
    sin_theta[k] = z.imag();
  }
}

complex_array output_for(const real_array& theta, const py::object& out) {
  if (out.is_none())
    return complex_array(std::vector<py::ssize_t>(theta.shape(), theta.shape() + theta.ndim()));
  // isinstance checks the dtype (native complex128) and C order.
  if (!py::isinstance<complex_array>(out))
    throw py::value_error("out must be a C-contiguous numpy.ndarray of dtype complex128");
  auto result = py::reinterpret_borrow<complex_array>(out);
  if (!result.writeable()) throw py::value_error("out is read-only");
  if (result.ndim() != theta.ndim() ||
      !std::equal(theta.shape(), theta.shape() + theta.ndim(), result.shape()))
    throw py::value_error("out must have theta's shape");
  return result;
}

template <void (*fill)(const double*, double*, double*, std::size_t)>
complex_array evaluate(const py::object& theta_in, const py::object& out) {
  if (!py::isinstance<real_array>(theta_in))
    throw py::type_error("theta must be a C-contiguous numpy.ndarray of dtype float64");
  const auto theta = py::reinterpret_borrow<real_array>(theta_in);
  complex_array result = output_for(theta, out);
  const std::size_t n = theta.size();
  const double* in = theta.data();
  double* z = reinterpret_cast<double*>(result.mutable_data());  // re, im pairs
  {
    py::gil_scoped_release unlocked;
    // Chunks are written as they are computed: an out that overlaps theta
    // would overwrite arguments not yet read.
    std::vector<double> copy;
    if (n && in < z + 2 * n && z < in + n) {
      copy.assign(in, in + n);
      in = copy.data();
    }
    constexpr std::size_t chunk = 512;  // cos and sin stay in L1
    double c[chunk], s[chunk];
    for (std::size_t k = 0; k < n; k += chunk) {
      const std::size_t m = std::min(chunk, n - k);
      fill(in + k, c, s, m);
      for (std::size_t j = 0; j < m; ++j) {
        z[2 * (k + j)] = c[j];
        z[2 * (k + j) + 1] = s[j];
      }
    }
  }
  return result;
}

using arguments = std::vector<std::string>;

// The command line as the program reads it; its refusal, as the program
// prints it after "<name>: error: ", a ValueError.
command_line read_or_raise(const arguments& given, std::string_view name, command_kind kind) {
  std::string why;
  auto c = read_arguments(given, name, kind, &why);
  if (!c) throw py::value_error(why);
  if (c->what != command_line::action::run)
    throw py::value_error("--help, --version and --print-bench are not computations");
  return *c;
}

const program_info& pattern_program(const std::string& name) {
  const program_info* p = find_program(name);
  if (!p || !p->pattern()) throw py::value_error(in_quotes(name) + " is not a pattern program");
  return *p;
}

// A point that is not a finite number is an overflow or an underflow of the
// bench, never a result: refused, not returned.
void refuse_non_finite(const double* x, const double* value, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (!std::isfinite(x[i]) || !std::isfinite(value[i])) {
      char why[160];
      std::snprintf(why, sizeof why,
                    "point %zu came out as x = %.17g, value = %.17g: the bench "
                    "overflows or underflows binary64",
                    i, x[i], value[i]);
      throw py::value_error(why);
    }
}

// Thrown by the writer when a signal handler has raised, to stop the sums;
// the Python exception is still set on this thread.
struct python_signal_raised {};

// Signals reach Python only when this thread calls back into it. The writer
// looks between points, at most once per interval, so a Ctrl-C stops a long
// pattern within a block and the interval, whatever the block costs.
class signal_watch {
  using clock = std::chrono::steady_clock;
  clock::time_point next_{};

 public:
  void look() {
    const clock::time_point now = clock::now();
    if (now < next_) return;
    next_ = now + std::chrono::milliseconds(20);
    py::gil_scoped_acquire held;
    if (PyErr_CheckSignals() != 0) throw python_signal_raised{};
  }
};

// The n points `run` writes, as (x, value) arrays, the GIL released while it
// runs. Throwing from the writer stops and joins the workers before the
// exception leaves the computation.
template <class Run>
py::tuple collect_points(int n, Run run) {
  real_array x(n), value(n);
  double* xs = x.mutable_data();
  double* vs = value.mutable_data();
  try {
    py::gil_scoped_release unlocked;
    signal_watch signals;
    run([&](int i, double xi, double v) {
      xs[i] = xi;
      vs[i] = v;
      signals.look();
    });
  } catch (const python_signal_raised&) {
    throw py::error_already_set();
  }
  refuse_non_finite(xs, vs, std::size_t(n));
  return py::make_tuple(x, value);
}

py::tuple pattern(const std::string& name, const arguments& given) {
  const program_info& p = pattern_program(name);
  const command_line c = read_or_raise(given, p.name, command_kind::pattern);
  return collect_points(c.b.screen_points(p), [&](const auto& write) {
    compute_pattern(p, c.b, c.threads, pattern_loop(p.id), write);
  });
}

// The loop's values at the positions xs[0..n), eight at a time, relative
// ones divided by the value at 0 computed alone: each point has its own
// accumulator and the phasor kernel's lanes are independent, so a point
// has the bits it has on a program's or a setup's own screen, in any block.
// Called with the GIL released.
void values_in_blocks(const block_loop& loop, bool relative, const double* xs, std::size_t n,
                      int threads, double* vs) {
  signal_watch signals;
  double axis = 1;
  if (relative) {
    double zero[block_size] = {}, on_axis[block_size];
    loop(zero, on_axis);
    axis = on_axis[0];
  }
  const int blocks = int((n + block_size - 1) / block_size);
  const auto compute = [&](int b) {
    double xb[block_size] = {}, vb[block_size];
    const std::size_t first = std::size_t(b) * block_size;
    const std::size_t count = std::min<std::size_t>(block_size, n - first);
    std::copy(xs + first, xs + first + count, xb);
    loop(xb, vb);
    for (std::size_t l = 0; l < count; ++l) vs[first + l] = relative ? vb[l] / axis : vb[l];
  };
  // Each block writes its own values: the ring of for_each_block is not
  // needed, only its workers.
  if (const int workers = worker_count(threads); workers > 1 && blocks > 1)
    run_blocks(blocks, workers, blocks, compute, [&](int) { signals.look(); });
  else
    for (int b = 0; b < blocks; ++b) {
      compute(b);
      signals.look();
    }
}

// The values at the positions x (a 1-D float64 array); with a sensor of
// width above 0, the intensity it reads centred at each position (a
// modulus squared first), from `nodes` Gauss-Legendre points across it.
real_array readings_at(const block_loop& loop, bool relative, bool amplitude,
                       const py::object& x_in, int threads, double sensor_width, int nodes) {
  if (!py::isinstance<real_array>(x_in))
    throw py::type_error("x must be a C-contiguous numpy.ndarray of dtype float64");
  const auto x = py::reinterpret_borrow<real_array>(x_in);
  if (x.ndim() != 1) throw py::value_error("x must be one-dimensional");
  if (!(sensor_width >= 0) || !std::isfinite(sensor_width))
    throw py::value_error("the sensor width must be 0 or more");
  if (nodes < 1 || nodes > 65536) throw py::value_error("nodes must be from 1 to 65536");
  const std::size_t n = std::size_t(x.size());
  const bool sensor = sensor_width > 0;
  std::vector<double> at, value;
  const gauss_legendre_rule rule = sensor ? gauss_legendre(nodes) : gauss_legendre_rule{};
  if (sensor) at = sensor_positions(x.data(), n, sensor_width, rule);
  const double* xs = sensor ? at.data() : x.data();
  const std::size_t points = sensor ? at.size() : n;
  value.resize(points);
  try {
    py::gil_scoped_release unlocked;
    values_in_blocks(loop, relative, xs, points, threads, value.data());
  } catch (const python_signal_raised&) {
    throw py::error_already_set();
  }
  refuse_non_finite(xs, value.data(), points);
  if (!sensor) return real_array(n, value.data());
  if (amplitude)
    for (double& v : value) v = v * v;
  const std::vector<double> reading = sensor_readings(value.data(), n, rule);
  return real_array(n, reading.data());
}

// A program's values at any screen positions, as its loop computes them
// eight at a time; an LED program's divided by its value on the axis,
// computed the same way, so that on the program's own grid these are the
// numbers it prints, bit for bit. Returns (values, whether they are an
// intensity rather than the modulus of an amplitude); a sensor reads an
// intensity.
py::tuple values_at(const std::string& name, const arguments& given, const py::object& x,
                    double sensor_width, int nodes) {
  const program_info& p = pattern_program(name);
  const command_line c = read_or_raise(given, p.name, command_kind::pattern);
  const block_loop loop = pattern_loop(p.id)(c.b);
  const bool intensity = p.normalised() || sensor_width > 0;
  return py::make_tuple(
      readings_at(loop, p.normalised(), !p.normalised(), x, c.threads, sensor_width, nodes),
      intensity);
}

#if SLITS_CONTINUUM
py::tuple continuum_pattern(const std::string& name, arguments given) {
  // After "--" a name is an operand even if it looks like an option.
  given.insert(given.end(), {"--", name});
  const command_line c = read_or_raise(given, "continuum", command_kind::continuum);
  const program_info& p = pattern_program(name);
  std::vector<double> x, value;
  {
    py::gil_scoped_release unlocked;
    x = continuum::screen_points(c.b, p);
    value = continuum::continuum_values(c.b, p, x);
  }
  refuse_non_finite(x.data(), value.data(), x.size());
  return py::make_tuple(real_array(x.size(), x.data()), real_array(value.size(), value.data()));
}
#endif

py::tuple ledcurve(const arguments& given) {
  const command_line c = read_or_raise(given, profile_program().name, command_kind::profile);
  real_array x(profile_points), value(profile_points);
  double* xs = x.mutable_data();
  double* vs = value.mutable_data();
  for (int k = 0; k < profile_points; ++k) {
    xs[k] = profile_point(profile_first + k);
    vs[k] = LED(xs[k], c.b.led_sigma);
  }
  refuse_non_finite(xs, vs, profile_points);
  return py::make_tuple(x, value);
}

// A setup from its file's text, as `pattern` reads it, the bench options
// among `given` (--wavelength, --method, ...) overriding its lines: refused
// with `pattern`'s own message (the file's naming NAME:LINE) as a
// ValueError. Table files are found relative to `folder`.
setup read_setup_or_raise(const std::string& text, const std::string& name,
                          const std::string& folder, const arguments& given = {}) {
  const command_line c = read_or_raise(given, "pattern", command_kind::setup);
  setup s = empty_setup();
  std::string why = read_setup_text(text, name, folder, s);
  if (why.empty()) {
    for (const auto& [p, value] : c.given) set_parameter(s, *p, value);  // each taken already
    s.b.derive();
    why = check_setup(s);
  }
  if (!why.empty()) throw py::value_error(why);
  return s;
}

// The threads option as `pattern` reads it.
int setup_threads(const arguments& given) {
  return read_or_raise(given, "pattern", command_kind::setup).threads;
}

// The effective setup as setup-file lines (tables by absolute paths), which
// read back, anywhere, as the same setup.
std::string setup_text_of(const std::string& text, const std::string& name,
                          const std::string& folder, const arguments& given) {
  return setup_text(read_setup_or_raise(text, name, folder, given));
}

std::string preset_text_of(const std::string& name, const arguments& given) {
  const program_info& p = pattern_program(name);
  const command_line c = read_or_raise(given, p.name, command_kind::pattern);
  return preset_text(p, c.b);
}

// (x, value) as `pattern --setup` writes them: compute_setup itself.
py::tuple setup_pattern(const std::string& text, const arguments& given) {
  const setup s = read_setup_or_raise(text, "setup", "");
  const int threads = setup_threads(given);
  return collect_points(s.screen_count(),
                        [&](const auto& write) { compute_setup(s, threads, write); });
}

// The setup's values at any screen positions, as values_at a program's:
// on the setup's own screen, compute_setup's numbers bit for bit.
real_array setup_values_at(const std::string& text, const arguments& given, const py::object& x,
                           double sensor_width, int nodes) {
  const setup s = read_setup_or_raise(text, "setup", "");
  return readings_at(setup_loop(s), s.quantity == setup_quantity::relative,
                     s.quantity == setup_quantity::amplitude, x, setup_threads(given), sensor_width,
                     nodes);
}

py::tuple profile_match(const py::object& model_in, const py::object& measured_in,
                        const py::object& sigma_in, bool with_background) {
  const auto model = py::cast<real_array>(model_in);
  const auto measured = py::cast<real_array>(measured_in);
  const std::size_t n = std::size_t(model.size());
  if (model.ndim() != 1 || measured.ndim() != 1 || std::size_t(measured.size()) != n)
    throw py::value_error("the model and the measured values must be 1-D of one length");
  real_array sigma;
  if (!sigma_in.is_none()) {
    sigma = py::cast<real_array>(sigma_in);
    if (sigma.ndim() != 1 || std::size_t(sigma.size()) != n)
      throw py::value_error("sigma must have the measured values' length");
  }
  const linear_match m =
      match_profile(model.data(), measured.data(), sigma_in.is_none() ? nullptr : sigma.data(), n,
                    with_background);
  return py::make_tuple(m.scale, m.background);
}

#if SLITS_SETUP_COHERENCE
double setup_coherence(const std::string& text, double x1, double x2, int plane) {
  const setup s = read_setup_or_raise(text, "setup", "");
  if (plane < 0 || plane > int(s.planes.size()))
    throw py::value_error("plane " + std::to_string(plane) + " is not 0 (the screen) or 1 to " +
                          std::to_string(s.planes.size()));
  try {
    py::gil_scoped_release unlocked;
    return coherence_degree(s, x1, x2, plane);
  } catch (const std::logic_error& refusal) {  // a coherent source, a point off the plane
    throw py::value_error(refusal.what());
  }
}
#endif

// Any name not a program's serves: no table limit applies.
py::dict bench_values(const arguments& given) {
  const bench b = read_or_raise(given, "slits", command_kind::pattern).b;
  py::dict values;
  const auto choice = [&](parameter_id id, int index) {
    std::string_view names = parameter(id).choices;
    for (; index > 0; --index) names.remove_prefix(names.find(' ') + 1);
    return std::string(names.substr(0, names.find(' ')));
  };
#define SLITS_PARAMETER(name, ...) values[#name] = b.name;
#define SLITS_CHOICE(name, ...) values[#name] = choice(parameter_id::name, b.name);
#include "registry.def"
  return values;
}

std::vector<std::string> parameter_names() {
  std::vector<std::string> names;
  for (const parameter_info& p : parameters()) names.emplace_back(p.name);
  return names;
}

}  // namespace

PYBIND11_MODULE(_slits, m) {
  m.doc() = "The compiled functions of the package slits; call them through slits.";
  m.attr("__version__") = SLITS_VERSION;
  m.def("cis", evaluate<cis>, py::arg("theta"), py::arg("out") = py::none(),
        "exp(i theta) element by element through the kernel, bit for bit the C library's cexp.");
  m.def("system_cis", evaluate<system_cis>, py::arg("theta"), py::arg("out") = py::none(),
        "The same through the C library's cexp one element at a time: the reference.");
  // The programs' options as arguments ("--name=value"), as slits/__init__.py
  // writes them from keywords.
  m.def("pattern", pattern, py::arg("program"), py::arg("arguments"),
        "(x, value): what the pattern program computes for its options.");
  m.def("values_at", values_at, py::arg("program"), py::arg("arguments"), py::arg("x"),
        py::arg("sensor_width") = 0.0, py::arg("nodes") = 1,
        "(values, intensity): the program's values at the float64 positions x, or the "
        "intensity a sensor of the width centred there reads.");
#if SLITS_CONTINUUM
  m.def("continuum", continuum_pattern, py::arg("program"), py::arg("arguments"),
        "(x, value): continuum's values for the program and its bench options.");
#endif
  // Setups travel as their file's text: the module keeps no C++ object alive.
  m.def("setup_text", setup_text_of, py::arg("text"), py::arg("name"), py::arg("folder"),
        py::arg("arguments"),
        "The effective setup's lines, the bench options among the arguments applied, or "
        "ValueError with pattern's message.");
  m.def("preset_text", preset_text_of, py::arg("program"), py::arg("arguments"),
        "A pattern program's experiment on its bench, as setup lines.");
  m.def("setup_pattern", setup_pattern, py::arg("text"), py::arg("arguments"),
        "(x, value): what pattern --setup computes for the setup's text.");
  m.def("setup_values_at", setup_values_at, py::arg("text"), py::arg("arguments"), py::arg("x"),
        py::arg("sensor_width") = 0.0, py::arg("nodes") = 1,
        "The setup's values at the float64 positions x, or what a sensor there reads.");
  m.def("match_profile", profile_match, py::arg("model"), py::arg("measured"), py::arg("sigma"),
        py::arg("with_background"),
        "(scale, background) bringing scale * model + background nearest the measured values.");
  m.def(
      "gauss_legendre",
      [](int n) {
        if (n < 1 || n > 65536) throw py::value_error("n must be from 1 to 65536");
        const gauss_legendre_rule rule = gauss_legendre(n);
        return py::make_tuple(real_array(n, rule.node.data()), real_array(n, rule.weight.data()));
      },
      py::arg("n"), "The n Gauss-Legendre nodes and weights on [-1, 1].");
#if SLITS_SETUP_COHERENCE
  m.def("coherence", setup_coherence, py::arg("text"), py::arg("x1"), py::arg("x2"),
        py::arg("plane"), "|gamma_12| between x1 and x2 of a plane (0: the screen).");
#endif
  m.def("ledcurve", ledcurve, py::arg("arguments"), "(x, value): ledcurve's table.");
  m.def("bench", bench_values, py::arg("arguments"), "The effective bench, {name: value}.");
  m.def("parameter_names", parameter_names, "The bench's parameters, in registry order.");
}
