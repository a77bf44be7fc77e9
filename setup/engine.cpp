// The field carried plane by plane. A path's phase is a sum of one hop per
// pair of planes, so the sum over paths is a chain of sums over one plane's
// samples at a time: the field on each plane. Every sum runs over its terms
// in a fixed order on one thread, each complex product rounded term by
// term (times), so the bits depend on neither the block nor the threads.
#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

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

// The sums over a plane run several independent sums side by side, in
// lanes: the fields of a carry, or the eight screen points of a block.
// Each lane takes its terms in order, each product and sum rounded on its
// own as `times` rounds them, so its bits are those of the sum taken alone;
// compiled for the baseline instruction set and, on x86-64, again for AVX2,
// chosen at run time, with the same bits (no fused multiply-add in either).
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define SLITS_AVX2_LANES 1
#define SLITS_LANES_INLINE [[gnu::always_inline]] inline
#else
#define SLITS_LANES_INLINE inline
#endif

// Fields on the samples of one plane, [sample][field]: one phasor meets
// every field in consecutive memory.
struct field_set {
  std::size_t count = 0;  // fields
  std::vector<double> re, im;
};

// One row of a carry: to[k] = sum over `from`'s terms of times(row[f],
// in_k[f]) for every field k, into out_re[k], out_im[k].
SLITS_LANES_INLINE void carry_row_lanes(const sampled_plane& from, const double* row_re,
                                        const double* row_im, const field_set& in,
                                        double* __restrict out_re, double* __restrict out_im) {
  const std::size_t K = in.count;
  for (std::size_t k = 0; k < K; ++k) out_re[k] = out_im[k] = 0;
  for (const sampled_plane::term& t : from.terms) {
    const std::size_t f = t.first;
    const double cr = row_re[f], ci = row_im[f];
    const double *xr = &in.re[f * K], *xi = &in.im[f * K];
    if (t.second < 0) {
      for (std::size_t k = 0; k < K; ++k) {
        out_re[k] = out_re[k] + ((cr * xr[k]) - (ci * xi[k]));
        out_im[k] = out_im[k] + ((cr * xi[k]) + (ci * xr[k]));
      }
    } else {
      const std::size_t g = t.second;
      const double dr = row_re[g], di = row_im[g];
      const double *yr = &in.re[g * K], *yi = &in.im[g * K];
      for (std::size_t k = 0; k < K; ++k) {
        out_re[k] = out_re[k] + (((cr * xr[k]) - (ci * xi[k])) + ((dr * yr[k]) - (di * yi[k])));
        out_im[k] = out_im[k] + (((cr * xi[k]) + (ci * xr[k])) + ((dr * yi[k]) + (di * yr[k])));
      }
    }
  }
}

// The last hop for a block: for every field j and point l, the sum over
// the plane's terms of times(hop[f][l], field_j[f]), into re[j][l],
// im[j][l].
SLITS_LANES_INLINE void block_lanes(const sampled_plane& plane, const double* hop_re,
                                    const double* hop_im, const std::vector<field>& fields,
                                    double* __restrict re, double* __restrict im) {
  for (std::size_t j = 0; j < fields.size(); ++j) {
    const amplitude* at = fields[j].data();
    double A[block_size] = {}, B[block_size] = {};
    for (const sampled_plane::term& t : plane.terms) {
      const std::size_t f = t.first;
      const double ar = at[f].real(), ai = at[f].imag();
      const double *r = hop_re + f * block_size, *i = hop_im + f * block_size;
      if (t.second < 0) {
        for (int l = 0; l < block_size; ++l) {
          A[l] = A[l] + ((r[l] * ar) - (i[l] * ai));
          B[l] = B[l] + ((r[l] * ai) + (i[l] * ar));
        }
      } else {
        const std::size_t g = t.second;
        const double br = at[g].real(), bi = at[g].imag();
        const double *u = hop_re + g * block_size, *v = hop_im + g * block_size;
        for (int l = 0; l < block_size; ++l) {
          A[l] = A[l] + (((r[l] * ar) - (i[l] * ai)) + ((u[l] * br) - (v[l] * bi)));
          B[l] = B[l] + (((r[l] * ai) + (i[l] * ar)) + ((u[l] * bi) + (v[l] * br)));
        }
      }
    }
    for (int l = 0; l < block_size; ++l) {
      re[j * block_size + l] = A[l];
      im[j * block_size + l] = B[l];
    }
  }
}

#if SLITS_AVX2_LANES
[[gnu::target("avx2")]] void carry_row_avx2(const sampled_plane& from, const double* row_re,
                                            const double* row_im, const field_set& in,
                                            double* out_re, double* out_im) {
  carry_row_lanes(from, row_re, row_im, in, out_re, out_im);
}
[[gnu::target("avx2")]] void block_avx2(const sampled_plane& plane, const double* hop_re,
                                        const double* hop_im, const std::vector<field>& fields,
                                        double* re, double* im) {
  block_lanes(plane, hop_re, hop_im, fields, re, im);
}
bool avx2() {
  static const bool supported = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
  return supported;
}
#endif

void carry_row(const sampled_plane& from, const double* row_re, const double* row_im,
               const field_set& in, double* out_re, double* out_im) {
#if SLITS_AVX2_LANES
  if (avx2()) return carry_row_avx2(from, row_re, row_im, in, out_re, out_im);
#endif
  carry_row_lanes(from, row_re, row_im, in, out_re, out_im);
}

void block_sums(const sampled_plane& plane, const double* hop_re, const double* hop_im,
                const std::vector<field>& fields, double* re, double* im) {
#if SLITS_AVX2_LANES
  if (avx2()) return block_avx2(plane, hop_re, hop_im, fields, re, im);
#endif
  block_lanes(plane, hop_re, hop_im, fields, re, im);
}

// Every field of `in` on the plane `from` carried to the plane `to`: each
// row of the hop's phasors, from every sample of `from` to one sample of
// `to`, evaluated once and taken by every field. In the rs model each
// phasor is then multiplied by its hop's amplitude.
template <class Phase, class Gain>
field_set carry_fields(const sampled_plane& from, const field_set& in, const sampled_plane& to,
                       Phase phase, Gain gain, bool rs) {
  const std::size_t K = in.count;
  field_set next{K, std::vector<double>(to.point.size() * K),
                 std::vector<double>(to.point.size() * K)};
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
    carry_row(from, row.re.data(), row.im.data(), in, &next.re[t * K], &next.im[t * K]);
  }
  return next;
}

// What the engine keeps of a setup, the same at every wavelength.
struct engine_geometry {
  sampled_setup g;
  bool led_hops, weighs_amplitude, density, incoherent;
  setup_quantity quantity;
  double paths;  // from one source sample; products of whole counts, exact
};

engine_geometry geometry_of(const setup& s) {
  engine_geometry e{sample_setup(s),
                    s.source.led_hops,
                    s.source.weighs_amplitude,
                    s.source.density,
                    s.source.kind == source_kind::incoherent,
                    s.quantity,
                    1};
  for (std::size_t h = e.incoherent ? 1 : 0; h < e.g.planes.size(); ++h)
    e.paths *= double(e.g.planes[h].point.size());
  return e;
}

// One wavelength's fields on the last plane, one per strip sample for an
// incoherent source, each a field of its own [sample].
std::vector<field> last_fields(const engine_geometry& e, const bench& b) {
  const sampled_setup& g = e.g;
  const int planes = int(g.planes.size());
  const auto phase = [&](int h) {
    return [&, h](double p, double q) { return hop(b, e.led_hops, h, p, q, g.distance[h]); };
  };
  const auto gain = [&](int h) {
    return [&, h](double p, double q) { return hop_amplitude(b, h, p, q, g.distance[h]); };
  };
  const bool rs = b.rs_hops;

  // The field on the first plane after the source: a plane wave or the
  // coherent strip with every phasor 1 (a product with 1 + 0i is exact),
  // or one field per incoherent strip sample, weighted where the weight
  // multiplies the amplitude.
  field_set fields;
  int first = 0;
  if (e.incoherent) {
    first = 1;
    const sampled_plane &strip = g.planes[0], &next = g.planes[1];
    const std::size_t K = strip.point.size();
    fields = {K, std::vector<double>(next.point.size() * K),
              std::vector<double>(next.point.size() * K)};
    for (std::size_t j = 0; j < K; ++j) {
      field f = phasors(int(next.point.size()),
                        [&](int t) { return phase(1)(strip.point[j], next.point[t]); });
      if (rs)
        for (std::size_t t = 0; t < next.point.size(); ++t)
          f[t] = gain(1)(strip.point[j], next.point[t]) * f[t];
      if (e.weighs_amplitude) {
        const amplitude weight(g.weight[j], 0.0);
        for (amplitude& a : f) a = times(weight, a);
      }
      for (std::size_t t = 0; t < f.size(); ++t) {
        fields.re[t * K + j] = f[t].real();
        fields.im[t * K + j] = f[t].imag();
      }
    }
  } else {
    const std::size_t n = g.planes[0].point.size();
    fields = {1, std::vector<double>(n, 1.0), std::vector<double>(n, 0.0)};
  }
  for (int h = first + 1; h < planes; ++h)
    fields = carry_fields(g.planes[h - 1], fields, g.planes[h], phase(h), gain(h), rs);

  const std::size_t K = fields.count, n = g.planes[planes - 1].point.size();
  std::vector<field> last(K, field(n));
  for (std::size_t j = 0; j < K; ++j)
    for (std::size_t f = 0; f < n; ++f) last[j][f] = {fields.re[f * K + j], fields.im[f * K + j]};
  return last;
}

// The amplitude of every field at the block's points x, into re, im
// [field][point].
void field_sums_at(const engine_geometry& e, const bench& b, const std::vector<field>& fields,
                   const double* x, std::vector<double>& re, std::vector<double>& im) {
  const int planes = int(e.g.planes.size());
  const sampled_plane& last = e.g.planes[planes - 1];
  const double L = e.g.distance[planes];
  // [f][l], kept by the thread from block to block.
  thread_local phasor_batch to_screen(0);
  if (const std::size_t n = last.point.size() * block_size; to_screen.phase.size() != n) {
    to_screen.phase.resize(n);
    to_screen.re.resize(n);
    to_screen.im.resize(n);
  }
  double* phase = to_screen.phase.data();
  if (e.led_hops) {  // the flag known in each loop, so that its hops inline plainly
    for (std::size_t f = 0; f < last.point.size(); ++f)
      for (int l = 0; l < block_size; ++l)
        phase[f * block_size + l] = hop(b, true, planes, last.point[f], x[l], L);
  } else {
    for (std::size_t f = 0; f < last.point.size(); ++f)
      for (int l = 0; l < block_size; ++l)
        phase[f * block_size + l] = hop(b, false, planes, last.point[f], x[l], L);
  }
  to_screen.evaluate();
  if (b.rs_hops)
    for (std::size_t f = 0; f < last.point.size(); ++f)
      for (int l = 0; l < block_size; ++l) {
        const std::size_t t = f * block_size + l;
        const double a = hop_amplitude(b, planes, last.point[f], x[l], L);
        to_screen.re[t] = a * to_screen.re[t];
        to_screen.im[t] = a * to_screen.im[t];
      }
  re.resize(fields.size() * block_size);
  im.resize(fields.size() * block_size);
  block_sums(last, to_screen.re.data(), to_screen.im.data(), fields, re.data(), im.data());
}

// One wavelength's values at a block's points: the amplitude or the
// intensity; for the quantity relative the intensity, which the caller
// divides by its value on the axis.
void block_values(const engine_geometry& e, const bench& b, const std::vector<field>& fields,
                  const double* x, double* value) {
  std::vector<double> re, im;
  field_sums_at(e, b, fields, x, re, im);
  if (!e.incoherent) {
    for (int l = 0; l < block_size; ++l) {
      amplitude mean(re[l], im[l]);
      mean /= e.paths;
      value[l] = e.quantity == setup_quantity::amplitude ? modulus(mean) : squared_modulus(mean);
    }
    return;
  }
  // Intensities add over the strip's samples in order.
  for (int l = 0; l < block_size; ++l) value[l] = 0;
  for (std::size_t j = 0; j < fields.size(); ++j)
    for (int l = 0; l < block_size; ++l) {
      const amplitude A(re[j * block_size + l], im[j * block_size + l]);
      value[l] += e.weighs_amplitude ? squared_modulus(A) : e.g.weight[j] * squared_modulus(A);
    }
  for (int l = 0; l < block_size; ++l) {
    if (!e.density) value[l] = value[l] / double(fields.size());
    if (e.quantity == setup_quantity::intensity) value[l] = value[l] / (e.paths * e.paths);
  }
}

// compute(j) for j < count on up to `threads` threads (0: one per core).
void for_each_line(int count, int threads, const std::function<void(int)>& compute) {
  if (const int workers = std::min(worker_count(threads), count); workers > 1)
    return run_blocks(count, workers, count, compute, [](int) {});
  for (int j = 0; j < count; ++j) compute(j);
}

}  // namespace

block_loop spectral_loop(const setup& s, int threads,
                         block_loop (*one_wavelength)(const setup&, int)) {
  const std::vector<spectral_line> lines = spectral_lines(s);
  std::vector<block_loop> loops(lines.size());
  for_each_line(int(lines.size()), threads, [&](int j) {
    loops[j] = one_wavelength(at_wavelength(s, lines[j].wavelength), 1);
  });
  // The wavelengths' values added as intensities, each times its weight, in
  // the spectrum's order.
  return [loops = std::move(loops), lines](const double* x, double* value) {
    double one[block_size];
    for (int l = 0; l < block_size; ++l) value[l] = 0;
    for (std::size_t j = 0; j < loops.size(); ++j) {
      loops[j](x, one);
      for (int l = 0; l < block_size; ++l) value[l] = value[l] + (lines[j].weight * one[l]);
    }
  };
}

block_loop engine_loop(const setup& s, int threads) {
  if (s.spectrum.kind != spectrum_kind::line) return spectral_loop(s, threads, engine_loop);
  struct state {
    engine_geometry e;
    bench b;
    std::vector<field> fields;
  };
  engine_geometry e = geometry_of(s);
  std::vector<field> fields = last_fields(e, s.b);
  const auto run = std::make_shared<const state>(state{std::move(e), s.b, std::move(fields)});
  return [run](const double* x, double* value) {
    block_values(run->e, run->b, run->fields, x, value);
  };
}

std::string coherence_refusal(const setup& s, int plane) {
  if (s.source.kind != source_kind::incoherent)
    return "the degree of coherence needs an incoherent source; this one is fully coherent";
  if (plane < 0 || plane > int(s.planes.size()))
    return "plane " + std::to_string(plane) + ": the setup has planes 1 to " +
           std::to_string(s.planes.size()) + " (0: the screen)";
  return {};
}

double coherence_degree(const setup& s, double x1, double x2, int plane) {
  if (std::string why = coherence_refusal(s, plane); !why.empty()) throw std::invalid_argument(why);
  // The plane's incoming field is a screen's: the planes before it, and the
  // plane's distance as the screen's.
  setup t = s;
  if (plane > 0) {
    t.screen.distance = s.planes[plane - 1].distance;
    t.planes.resize(plane - 1);
  }
  const engine_geometry e = geometry_of(t);
  const std::vector<double>& w = e.g.weight;
  double x[block_size] = {x1, x2};
  amplitude J = 0;
  double I1 = 0, I2 = 0;
  for (const spectral_line& line : spectral_lines(s)) {
    const bench b = at_wavelength(t, line.wavelength).b;
    const std::size_t strip = e.g.planes[0].point.size();
    std::vector<double> re(strip * block_size), im(strip * block_size);
    if (e.g.planes.size() == 1) {
      // The first plane: one hop from each strip sample.
      for (std::size_t d = 0; d < strip; ++d) {
        const field U = phasors(2, [&](int l) {
          return hop(b, e.led_hops, 1, e.g.planes[0].point[d], x[l], e.g.distance[1]);
        });
        for (int l = 0; l < 2; ++l) {
          const amplitude u =
              b.rs_hops ? hop_amplitude(b, 1, e.g.planes[0].point[d], x[l], e.g.distance[1]) * U[l]
                        : U[l];
          const amplitude a = e.weighs_amplitude ? times(amplitude(w[d], 0.0), u) : u;
          re[d * block_size + l] = a.real();
          im[d * block_size + l] = a.imag();
        }
      }
    } else {
      field_sums_at(e, b, last_fields(e, b), x, re, im);
    }
    amplitude Jl = 0;
    double I1l = 0, I2l = 0;
    for (std::size_t d = 0; d < strip; ++d) {
      const amplitude U1(re[d * block_size], im[d * block_size]);
      const amplitude U2(re[d * block_size + 1], im[d * block_size + 1]);
      const double weight = e.weighs_amplitude ? 1.0 : w[d];
      const amplitude product = times(U1, std::conj(U2));
      Jl += amplitude(weight * product.real(), weight * product.imag());
      I1l += weight * ((U1.real() * U1.real()) + (U1.imag() * U1.imag()));
      I2l += weight * ((U2.real() * U2.real()) + (U2.imag() * U2.imag()));
    }
    J += amplitude(line.weight * Jl.real(), line.weight * Jl.imag());
    I1 += line.weight * I1l;
    I2 += line.weight * I2l;
  }
  return modulus(J) / std::sqrt(I1 * I2);
}

block_loop setup_loop(const setup& s, int threads) {
  return s.b.propagate ? engine_loop(s, threads) : literal_loop(s, threads);
}

namespace {

// A spectrum wavelength by wavelength: each wavelength's whole screen (and
// the axis) on one thread, with that wavelength's fields alone in memory,
// and its values added to the sums in the spectrum's order on this thread:
// spectral_loop's sums, point for point, without every wavelength's fields
// in memory at once or read again for every block.
void compute_spectrum(const setup& s, int threads,
                      const std::function<void(int i, double x, double value)>& write) {
  const std::vector<spectral_line> lines = spectral_lines(s);
  const int blocks = (s.screen_count() + block_size - 1) / block_size;
  const std::size_t axis = std::size_t(blocks) * block_size;  // the axis's block after the screen
  const int workers = std::min(worker_count(threads), int(lines.size()));
  const int slots = workers + 1;
  std::vector<std::vector<double>> slot(slots, std::vector<double>(axis + block_size));
  std::vector<double> total(axis + block_size, 0.0);
  const auto compute = [&](int j) {
    const block_loop loop = setup_loop(at_wavelength(s, lines[j].wavelength), 1);
    std::vector<double>& values = slot[j % slots];
    double x[block_size];
    for (int b = 0; b < blocks; ++b) {
      for (int l = 0; l < block_size; ++l) x[l] = s.screen_position(b * block_size + l);
      loop(x, &values[std::size_t(b) * block_size]);
    }
    if (s.quantity == setup_quantity::relative) {
      for (double& at : x) at = 0;
      loop(x, &values[axis]);
    }
  };
  const auto add = [&](int j) {
    const std::vector<double>& values = slot[j % slots];
    for (std::size_t i = 0; i < total.size(); ++i)
      total[i] = total[i] + (lines[j].weight * values[i]);
  };
  if (workers > 1) {
    run_blocks(int(lines.size()), workers, slots, compute, add);
  } else {
    for (int j = 0; j < int(lines.size()); ++j) {
      compute(j);
      add(j);
    }
  }
  const double on_axis = s.quantity == setup_quantity::relative ? total[axis] : 1;
  for (int i = 0; i < s.screen_count(); ++i)
    write(i, s.screen_position(i),
          s.quantity == setup_quantity::relative ? total[i] / on_axis : total[i]);
}

}  // namespace

void compute_setup(const setup& s, int threads,
                   const std::function<void(int i, double x, double value)>& write) {
  if (s.spectrum.kind != spectrum_kind::line) return compute_spectrum(s, threads, write);
  const block_loop loop = setup_loop(s, threads);
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
