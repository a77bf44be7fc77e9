#include "sensor.hpp"

#include <cmath>

gauss_legendre_rule gauss_legendre(int n) {
  gauss_legendre_rule rule{std::vector<double>(n), std::vector<double>(n)};
  const double pi = std::acos(-1.0);
  // Newton's iteration on P_n from the asymptotic estimate of each root,
  // cos(pi (i + 3/4) / (n + 1/2)), close enough to converge in a few steps
  // for any n; the lower half mirrors the upper exactly.
  for (int i = 0; i < (n + 1) / 2; ++i) {
    double x = std::cos(pi * (i + 0.75) / (n + 0.5));
    double derivative = 0;
    for (int step = 0; step < 100; ++step) {
      double p = 1, previous = 0;
      for (int k = 1; k <= n; ++k) {  // Bonnet's recurrence
        const double older = previous;
        previous = p;
        p = ((2 * k - 1) * x * previous - (k - 1) * older) / k;
      }
      derivative = n * (x * p - previous) / (x * x - 1);
      const double change = p / derivative;
      x -= change;
      if (std::abs(change) <= 1e-16) break;
    }
    if (2 * i + 1 == n) x = 0;  // the middle root of an odd rule
    const double weight = 2 / ((1 - x * x) * derivative * derivative);
    rule.node[i] = -x;
    rule.node[n - 1 - i] = x;
    rule.weight[i] = rule.weight[n - 1 - i] = weight;
  }
  return rule;
}

std::vector<double> sensor_positions(const double* u, std::size_t count, double width,
                                     const gauss_legendre_rule& rule) {
  const std::size_t nodes = rule.node.size();
  std::vector<double> at(count * nodes);
  for (std::size_t i = 0; i < count; ++i)
    for (std::size_t j = 0; j < nodes; ++j) at[i * nodes + j] = u[i] + (width / 2) * rule.node[j];
  return at;
}

std::vector<double> sensor_readings(const double* intensity, std::size_t count,
                                    const gauss_legendre_rule& rule) {
  const std::size_t nodes = rule.node.size();
  std::vector<double> reading(count);
  for (std::size_t i = 0; i < count; ++i) {
    double sum = 0;
    for (std::size_t j = 0; j < nodes; ++j) sum += (rule.weight[j] / 2) * intensity[i * nodes + j];
    reading[i] = sum;
  }
  return reading;
}

linear_match match_profile(const double* model, const double* measured, const double* sigma,
                           std::size_t count, bool with_background) {
  // Weighted means first: the normal equations about them do not cancel.
  double total = 0, model_mean = 0, measured_mean = 0;
  const auto weight = [&](std::size_t i) { return sigma ? 1 / (sigma[i] * sigma[i]) : 1.0; };
  if (with_background) {
    for (std::size_t i = 0; i < count; ++i) {
      total += weight(i);
      model_mean += weight(i) * model[i];
      measured_mean += weight(i) * measured[i];
    }
    model_mean /= total;
    measured_mean /= total;
  }
  double covariance = 0, variance = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const double m = model[i] - model_mean;
    covariance += weight(i) * m * (measured[i] - measured_mean);
    variance += weight(i) * m * m;
  }
  linear_match match;
  match.scale = variance > 0 ? covariance / variance : 0;
  match.background = with_background ? measured_mean - match.scale * model_mean : 0;
  return match;
}
