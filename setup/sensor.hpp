// What a sensor reads from a pattern, and a measured profile matched to a
// model: the fit and the explorer's overlay of a measured file share them.
#pragma once

#include <cstddef>
#include <vector>

// The n Gauss-Legendre nodes on [-1, 1] in increasing order, and their
// weights (summing to 2).
struct gauss_legendre_rule {
  std::vector<double> node, weight;
};
gauss_legendre_rule gauss_legendre(int n);

// The screen positions a sensor of `width` centred at each of u[0..count)
// is sampled at: row i holds u[i] + (width / 2) * node[j] for each node j.
std::vector<double> sensor_positions(const double* u, std::size_t count, double width,
                                     const gauss_legendre_rule& rule);

// The intensity the sensors read, from the intensities at their positions
// (row by row, as sensor_positions gives them): the mean over each box,
// sum over j of (weight[j] / 2) * intensity, in increasing j.
std::vector<double> sensor_readings(const double* intensity, std::size_t count,
                                    const gauss_legendre_rule& rule);

// The scale a and background b that bring a * model + b nearest the
// measured values in least squares, each residual over its sigma (none:
// all 1); with_background false holds b at 0. A model that does not vary
// gives a = 0 (and b the weighted mean of the measured values).
struct linear_match {
  double scale = 0, background = 0;
};
linear_match match_profile(const double* model, const double* measured, const double* sigma,
                           std::size_t count, bool with_background);
