// The numerical steps of the validation report, apart from the optics: the
// distance between a pattern and its continuum limit, extrema placed by
// parabolas, convergence orders, and least-squares fits of shifted copies
// (the ghost images) and of their period.
#pragma once

#include <vector>

namespace analysis {

// The largest and the RMS |value - reference| over the screen, where the
// largest lies, and the largest |reference|. Throws std::invalid_argument
// when the two screens differ.
struct distance {
  double largest = 0, at = 0, rms = 0, peak = 0;
  int points = 0;
};
distance compare(const std::vector<double>& x, const std::vector<double>& value,
                 const std::vector<double>& reference_x, const std::vector<double>& reference);

// Where the parabola through (-1, y0), (0, y1), (1, y2) has its vertex, in
// steps from the middle point.
double vertex_offset(double y0, double y1, double y2);

// Local minima (or maxima) of y(x) at x below `below`, each placed by the
// parabola through its three points, in increasing x.
struct extremum {
  double x, value;
};
std::vector<extremum> extrema(const std::vector<double>& x, const std::vector<double>& y,
                              bool maxima, double below);

// The order p of e ~ C / N^p: between two counts, and fitted by least squares
// on log e against log N over every pair given (at least two).
double order_between(double n1, double e1, double n2, double e2);
double fitted_order(const std::vector<double>& n, const std::vector<double>& e);

// A copy of an even profile shifted to centre c on a uniform grid of step
// h starting at 0: the c within `search` of `guess` that minimises the sum of
// squares (y(x) - profile(|x - c|)) over |x - c| <= (size of profile - 1) h,
// refined between grid points by a parabola. profile[j] is the profile at
// j h. Every point the fit needs must lie on the grid.
double fit_shift(const std::vector<double>& y, double h, const std::vector<double>& profile,
                 double guess, double search);

// The slope of the line through the origin fitted to (m, c_m), m = 1, 2, ...:
// the period of copies at c_m.
double period_through_origin(const std::vector<double>& centres);

}  // namespace analysis
