// The propagate method: the field carried plane by plane (the setup engine,
// setup/engine.cpp). A path's phase is a sum of one hop per pair of planes,
// so its phasor is the product of one phasor per hop, and the sum over paths
// a chain of sums over one plane's samples at a time: the field on each
// plane. Mathematically the literal sums; numerically a product of rounded
// phasors is not the phasor of the rounded sum of phases, and the two differ
// by about 1e-13 of the peak. Every sum runs in a fixed order on one thread.
#pragma once

#include <vector>

#include "bench.hpp"
#include "blocks.hpp"

// a * b, each product and sum rounded on its own: no fused multiply-add, no
// special cases, so every platform and thread count gives the same bits.
inline amplitude times(amplitude a, amplitude b) {
  return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// Complex values on the samples of one plane.
using field = std::vector<amplitude>;

// cexp(i phase(t)) for t < count.
template <class Phase>
field phasors(int count, Phase phase) {
  phasor_batch batch(count);
  for (int t = 0; t < count; ++t) batch.phase[t] = phase(t);
  batch.evaluate();
  field values(count);
  for (int t = 0; t < count; ++t) values[t] = batch[t];
  return values;
}
