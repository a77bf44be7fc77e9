// _slits, the compiled half of the Python package slits: the phasor kernel
// over NumPy arrays. slits/__init__.py turns any real input into a
// C-contiguous float64 array first; the functions here take only that, and
// fill the output with the GIL released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <complex>
#include <cstddef>
#include <vector>

#include <slits/cis.hpp>

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

}  // namespace

PYBIND11_MODULE(_slits, m) {
  m.doc() = "The compiled functions of the package slits; call them through slits.";
  m.def("cis", evaluate<cis>, py::arg("theta"), py::arg("out") = py::none(),
        "exp(i theta) element by element through the kernel, bit for bit the C library's cexp.");
  m.def("system_cis", evaluate<system_cis>, py::arg("theta"), py::arg("out") = py::none(),
        "The same through the C library's cexp one element at a time: the reference.");
  // pattern, continuum, ledcurve and bench: to be added here, beside their
  // wrappers in slits/__init__.py.
}
