// The kernel's shape: how its code is laid out where the layout changes the
// speed and never a bit of a result. Each instruction-set layer names the
// shape that measured faster on the CPUs it runs on; shape_twins.cpp runs
// one layer with another's shape, so every shape is checked bit for bit on
// any CPU with the narrower instruction set.
#pragma once

namespace cis_detail {

struct kernel_shape {
  // The Taylor series evaluated for every vector of the Cody-Waite path and
  // selected by lane, in place of a branch around it where no lane needs it.
  // Branch-free trades the series' multiply-adds for the mispredictions.
  bool taylor_always;
  // A pair's upper and lower vectors evaluated side by side, their
  // dependency chains interleaved, in place of one after the other. With
  // sixteen registers the pair spills.
  bool pairs_side_by_side;
};

}  // namespace cis_detail
