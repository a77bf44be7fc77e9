#include "analysis.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace analysis {

distance compare(const std::vector<double>& x, const std::vector<double>& value,
                 const std::vector<double>& reference_x, const std::vector<double>& reference) {
  if (x.size() != reference_x.size() || value.size() != x.size() ||
      reference.size() != reference_x.size() || x.empty())
    throw std::invalid_argument("compare: screens of different sizes");
  distance d;
  double squares = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (std::abs(x[i] - reference_x[i]) > 1e-12 * (1 + std::abs(x[i])))
      throw std::invalid_argument("compare: different screen points");
    const double difference = std::abs(value[i] - reference[i]);
    squares += difference * difference;
    if (difference > d.largest) d.largest = difference, d.at = x[i];
    d.peak = std::max(d.peak, std::abs(reference[i]));
  }
  d.points = int(x.size());
  d.rms = std::sqrt(squares / double(x.size()));
  return d;
}

double vertex_offset(double y0, double y1, double y2) {
  return 0.5 * (y0 - y2) / (y0 - 2 * y1 + y2);
}

std::vector<extremum> extrema(const std::vector<double>& x, const std::vector<double>& y,
                              bool maxima, double below) {
  std::vector<extremum> found;
  for (std::size_t i = 1; i + 1 < x.size() && x[i] < below; ++i) {
    const double s = maxima ? 1 : -1;  // maxima of s y
    if (s * y[i] > s * y[i - 1] && s * y[i] >= s * y[i + 1])
      found.push_back({x[i] + (x[i + 1] - x[i]) * vertex_offset(y[i - 1], y[i], y[i + 1]), y[i]});
  }
  return found;
}

double order_between(double n1, double e1, double n2, double e2) {
  return std::log(e1 / e2) / std::log(n2 / n1);
}

double fitted_order(const std::vector<double>& n, const std::vector<double>& e) {
  if (n.size() < 2 || n.size() != e.size())
    throw std::invalid_argument("fitted_order: needs two points or more");
  double mx = 0, my = 0;
  for (std::size_t i = 0; i < n.size(); ++i) mx += std::log(n[i]), my += std::log(e[i]);
  mx /= double(n.size()), my /= double(n.size());
  double sxy = 0, sxx = 0;
  for (std::size_t i = 0; i < n.size(); ++i) {
    const double dx = std::log(n[i]) - mx;
    sxy += dx * (std::log(e[i]) - my), sxx += dx * dx;
  }
  return -sxy / sxx;
}

double fit_shift(const std::vector<double>& y, double h, const std::vector<double>& profile,
                 double guess, double search) {
  const long w = long(profile.size()) - 1;
  const long lo = std::lround((guess - search) / h) - 1, hi = std::lround((guess + search) / h) + 1;
  if (w < 1 || lo - w < 0 || hi + w >= long(y.size()))
    throw std::invalid_argument("fit_shift: the fit reaches beyond the grid");
  auto squares = [&](long t) {
    double s = 0;
    for (long j = -w; j <= w; ++j) {
      const double r = y[t + j] - profile[std::abs(j)];
      s += r * r;
    }
    return s;
  };
  long best = lo + 1;
  for (long t = lo + 2; t < hi; ++t)
    if (squares(t) < squares(best)) best = t;
  return h * (double(best) + vertex_offset(squares(best - 1), squares(best), squares(best + 1)));
}

double period_through_origin(const std::vector<double>& centres) {
  double smm = 0, smc = 0;
  for (std::size_t m = 1; m <= centres.size(); ++m)
    smm += double(m * m), smc += double(m) * centres[m - 1];
  return smc / smm;
}

}  // namespace analysis
