// The field carried plane by plane. A path's phase is a sum of one hop per
// pair of planes, so the sum over paths is a chain of sums over one plane's
// samples at a time: the field on each plane. Every sum runs over its terms
// in a fixed order on one thread, each complex product rounded term by
// term (times), so the bits depend on neither the block nor the threads.
#include <algorithm>
#include <cmath>
#include <memory>

#include "propagate.hpp"
#include "sampled.hpp"

namespace {

void add_opening(const bench& b, double from, double to, int samples, sampled_plane& plane) {
  const double step = (to - from) / double(samples);
  for (int j = 0; j < samples; ++j) {
    plane.terms.push_back({int(plane.point.size()), -1});
    plane.point.push_back((b.sample_offset(j) * step) + from);
  }
}

// A grating is sampled symmetrically about the axis, so that its pattern is
// symmetric too: each slit above the axis from its lower edge, each slit
// below at the mirror points of its twin, the centre slit of an odd count
// from its lower edge like any opening. The centre slit's samples come
// first, then the pairs of slits from the innermost outwards.
void add_grating(const bench& b, const aperture& a, sampled_plane& plane) {
  const double step = a.width / double(a.samples);
  const double middle = (a.count - 1) / 2.0;
  const auto start = [&](int k) { return ((k - middle) * a.period) - (a.width / 2.0); };
  if (a.count % 2 == 1) add_opening(b, start(a.count / 2), a.width / 2.0, a.samples, plane);
  for (int k = a.count / 2 + a.count % 2; k < a.count; ++k)
    for (int m = 0; m < a.samples; ++m) {
      const double upper = (b.sample_offset(m) * step) + start(k);
      const int first = int(plane.point.size());
      plane.terms.push_back({first, first + 1});
      plane.point.push_back(upper);
      plane.point.push_back(-upper);
    }
}

}  // namespace

double profile_weight(const source_strip& source, double d) {
  switch (source.profile) {
    case profile_kind::uniform:
      return 1.0;
    case profile_kind::gaussian:
      return LED(d, source.sigma);
    case profile_kind::table:
      break;
  }
  // Linear between the rows that bracket d; a row's own weight at its
  // position.
  const std::vector<double>& p = source.table_position;
  const std::vector<double>& w = source.table_weight;
  std::size_t i = std::upper_bound(p.begin(), p.end(), d) - p.begin();
  if (i == 0) return w.front();
  if (i == p.size()) return w.back();
  --i;
  return w[i] + ((w[i + 1] - w[i]) * ((d - p[i]) / (p[i + 1] - p[i])));
}

sampled_setup sample_setup(const setup& s) {
  sampled_setup g;
  g.strip = s.source.kind != source_kind::plane_wave;
  g.distance.push_back(0);
  if (g.strip) {
    sampled_plane strip;
    const double from = (-s.source.width) / 2.0, to = s.source.width / 2.0;
    add_opening(s.b, from, to, s.source.samples, strip);
    if (s.source.kind == source_kind::incoherent) {
      const double step = (to - from) / double(s.source.samples);
      for (const double d : strip.point) {
        const double w = profile_weight(s.source, d);
        g.weight.push_back(s.source.density ? w * step : w);
      }
    }
    g.planes.push_back(std::move(strip));
  }
  for (const setup_plane& p : s.planes) {
    sampled_plane plane;
    for (const aperture& a : p.apertures) {
      if (a.grating)
        add_grating(s.b, a, plane);
      else
        add_opening(s.b, a.from, a.to, a.samples, plane);
    }
    // A plane wave's phase is the same all over the first plane, so its
    // distance from the source does not enter.
    if (!g.planes.empty()) g.distance.push_back(p.distance);
    g.planes.push_back(std::move(plane));
  }
  g.distance.push_back(s.screen.distance);
  return g;
}

namespace {

void add(block_sum& A, int l, amplitude term) {
  A.re[l] = A.re[l] + term.real();
  A.im[l] = A.im[l] + term.imag();
}

// The sum over a plane's terms in order of hop(f) times at[f].
template <class Hop>
amplitude term_sum(const sampled_plane& plane, Hop hop, const field& at) {
  amplitude sum = 0;
  for (const sampled_plane::term& t : plane.terms) {
    if (t.second < 0)
      sum += times(hop(t.first), at[t.first]);
    else
      sum += times(hop(t.first), at[t.first]) + times(hop(t.second), at[t.second]);
  }
  return sum;
}

// The same at each point l of a block, from the last hop's phasors [f][l].
block_sum block_term_sum(const sampled_plane& plane, const phasor_batch& hop, const field& at) {
  block_sum A;
  for (const sampled_plane::term& t : plane.terms) {
    const std::size_t f = t.first, g = t.second;
    if (t.second < 0) {
      for (int l = 0; l < block_size; ++l) add(A, l, times(hop[f * block_size + l], at[f]));
    } else {
      for (int l = 0; l < block_size; ++l)
        add(A, l, times(hop[f * block_size + l], at[f]) + times(hop[g * block_size + l], at[g]));
    }
  }
  return A;
}

// Every field of `fields` on the plane `from` carried to the plane `to`:
// each row of the hop's phasors, from every sample of `from` to one sample
// of `to`, evaluated once and taken by every field.
// In the rs model each phasor is then multiplied by its hop's amplitude.
template <class Phase, class Gain>
std::vector<field> carry_fields(const sampled_plane& from, const std::vector<field>& fields,
                                const sampled_plane& to, Phase phase, Gain gain, bool rs) {
  std::vector<field> next(fields.size(), field(to.point.size()));
  phasor_batch row(from.point.size());
  for (std::size_t t = 0; t < to.point.size(); ++t) {
    for (std::size_t f = 0; f < from.point.size(); ++f)
      row.phase[f] = phase(from.point[f], to.point[t]);
    row.evaluate();
    if (rs)
      for (std::size_t f = 0; f < from.point.size(); ++f) {
        const double a = gain(from.point[f], to.point[t]);
        row.re[f] = a * row.re[f];
        row.im[f] = a * row.im[f];
      }
    for (std::size_t k = 0; k < fields.size(); ++k)
      next[k][t] = term_sum(
          from, [&](std::size_t f) { return row[f]; }, fields[k]);
  }
  return next;
}

}  // namespace

block_loop engine_loop(const setup& s) {
  const sampled_setup g = sample_setup(s);
  const bool incoherent = s.source.kind == source_kind::incoherent;
  const int planes = int(g.planes.size());
  const auto phase = [&](int h) {
    return
        [&, h](double p, double q) { return hop(s.b, s.source.led_hops, h, p, q, g.distance[h]); };
  };
  const auto gain = [&](int h) {
    return [&, h](double p, double q) { return hop_amplitude(s.b, h, p, q, g.distance[h]); };
  };
  const bool rs = s.b.rs_hops;

  // The field on the first plane after the source: a plane wave or the
  // coherent strip with every phasor 1 (a product with 1 + 0i is exact),
  // or one field per incoherent strip sample, weighted where the weight
  // multiplies the amplitude.
  std::vector<field> fields;
  int first = 0;
  if (incoherent) {
    first = 1;
    const sampled_plane &strip = g.planes[0], &next = g.planes[1];
    for (std::size_t j = 0; j < strip.point.size(); ++j) {
      field f = phasors(int(next.point.size()),
                        [&](int t) { return phase(1)(strip.point[j], next.point[t]); });
      if (rs)
        for (int t = 0; t < int(next.point.size()); ++t)
          f[t] = gain(1)(strip.point[j], next.point[t]) * f[t];
      if (s.source.weighs_amplitude) {
        const amplitude weight(g.weight[j], 0.0);
        for (amplitude& a : f) a = times(weight, a);
      }
      fields.push_back(std::move(f));
    }
  } else {
    fields.push_back(field(g.planes[0].point.size(), amplitude(1.0, 0.0)));
  }
  for (int h = first + 1; h < planes; ++h)
    fields = carry_fields(g.planes[h - 1], fields, g.planes[h], phase(h), gain(h), rs);

  double paths = 1;  // from one source sample; products of whole counts, exact
  for (int h = first; h < planes; ++h) paths *= double(g.planes[h].point.size());

  struct state {
    bench b;
    bool led_hops, weighs_amplitude, density, incoherent;
    setup_quantity quantity;
    sampled_plane last;
    double distance, paths;
    std::vector<double> weight;
    std::vector<field> fields;
  };
  const auto run = std::make_shared<const state>(state{
      s.b, s.source.led_hops, s.source.weighs_amplitude, s.source.density, incoherent, s.quantity,
      g.planes[planes - 1], g.distance[planes], paths, g.weight, std::move(fields)});

  return [run, planes](const double* x, double* value) {
    const state& r = *run;
    phasor_batch to_screen(r.last.point.size() * block_size);  // [f][l]
    for (std::size_t f = 0; f < r.last.point.size(); ++f)
      for (int l = 0; l < block_size; ++l)
        to_screen.phase[f * block_size + l] =
            hop(r.b, r.led_hops, planes, r.last.point[f], x[l], r.distance);
    to_screen.evaluate();
    if (r.b.rs_hops)
      for (std::size_t f = 0; f < r.last.point.size(); ++f)
        for (int l = 0; l < block_size; ++l) {
          const std::size_t t = f * block_size + l;
          const double a = hop_amplitude(r.b, planes, r.last.point[f], x[l], r.distance);
          to_screen.re[t] = a * to_screen.re[t];
          to_screen.im[t] = a * to_screen.im[t];
        }

    if (!r.incoherent) {
      const block_sum A = block_term_sum(r.last, to_screen, r.fields[0]);
      for (int l = 0; l < block_size; ++l) {
        if (r.quantity == setup_quantity::amplitude) {
          value[l] = A.modulus_of_mean(l, r.paths);
        } else {
          amplitude mean = A[l];
          mean /= r.paths;
          value[l] = squared_modulus(mean);
        }
      }
      return;
    }
    // Intensities add over the strip's samples in order.
    for (int l = 0; l < block_size; ++l) value[l] = 0;
    for (std::size_t j = 0; j < r.fields.size(); ++j) {
      const block_sum A = block_term_sum(r.last, to_screen, r.fields[j]);
      for (int l = 0; l < block_size; ++l)
        value[l] +=
            r.weighs_amplitude ? squared_modulus(A[l]) : r.weight[j] * squared_modulus(A[l]);
    }
    for (int l = 0; l < block_size; ++l) {
      if (!r.density) value[l] = value[l] / double(r.fields.size());
      if (r.quantity == setup_quantity::intensity) value[l] = value[l] / (r.paths * r.paths);
    }
  };
}

block_loop setup_loop(const setup& s) { return s.b.propagate ? engine_loop(s) : literal_loop(s); }

void compute_setup(const setup& s, int threads,
                   const std::function<void(int i, double x, double value)>& write) {
  const block_loop loop = setup_loop(s);
  // Each point's sums are its own, so the axis computed alone has the bits
  // it has inside any block.
  double axis = 1;
  if (s.quantity == setup_quantity::relative) {
    double x[block_size] = {}, value[block_size];
    loop(x, value);
    axis = value[0];
  }
  for_each_block_at(
      s.screen_count(), [&](int i) { return s.screen_position(i); }, threads, loop,
      [&](int i, double x, double value) {
        write(i, x, s.quantity == setup_quantity::relative ? value / axis : value);
      });
}
