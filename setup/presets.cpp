// The pattern programs' experiments as setups: what each program's
// --method propagate computes, point for point the same sums.
#include "setup.hpp"

namespace {

aperture centred_opening(double width, int samples) {
  // From -w/2 to w/2, so that TO - FROM is w exactly and each sample is
  // bench::aperture_point's.
  aperture a;
  a.from = (-width) / 2.0;
  a.to = width / 2.0;
  a.samples = samples;
  return a;
}

}  // namespace

setup empty_setup() {
  setup s;
  s.b = default_bench();
  assign(s.b, parameter(parameter_id::method), "propagate");
  s.b.derive();
  return s;
}

setup preset(const program_info& p, const bench& b) {
  setup s;
  s.b = b;
  if (p.planes & source_plane) {
    source_strip& src = s.source;
    src.width = b.source_width;
    src.samples = b.source_samples;
    src.kind = p.normalised() ? source_kind::incoherent : source_kind::coherent;
    if (p.normalised()) {
      // The LED programs: LED(d) multiplies each sample's amplitude, their
      // own two hops meet at the first slit; conv_monogap takes the mean of
      // the intensities, conv_duogap the sum with LED(d) times the step.
      src.profile = profile_kind::gaussian;
      src.sigma = b.led_sigma;
      src.weighs_amplitude = true;
      src.density = p.id == program_id::conv_duogap;
      src.led_hops = true;
    }
  }
  // The first slit source_distance behind the strip; a plane wave's phase
  // does not depend on that distance.
  s.planes.push_back({b.source_distance, {centred_opening(b.entrance_width, b.entrance_samples)}});
  double screen_distance = b.pair_distance + b.screen_distance;
  if (p.planes & pair_plane) {
    aperture pair;
    pair.grating = true;
    pair.count = 2;
    pair.width = b.pair_slit_width;
    pair.period = b.pair_separation;
    pair.samples = b.pair_samples;
    s.planes.push_back({b.pair_distance, {pair}});
    screen_distance = b.screen_distance;
  }
  s.screen.distance = screen_distance;
  s.screen.from = screen_min;
  s.screen.to = b.screen_max(p);
  s.screen.count = b.screen_points(p);
  s.quantity = p.normalised() ? setup_quantity::relative : setup_quantity::amplitude;
  return s;
}

std::string preset_text(const program_info& p, const bench& b) { return setup_text(preset(p, b)); }

setup default_setup() { return preset(program(program_id::duogap), empty_setup().b); }
