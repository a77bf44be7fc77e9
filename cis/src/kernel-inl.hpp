// The vector phasor kernel, written once against a small set of lane
// operations. vector.cpp includes it once per instruction set, inside a
// namespace whose layer (isa_*-inl.hpp) supplies shape (its kernel_shape,
// shape.hpp) and, every one CIS_TARGET:
//   lanes, vd (doubles), vi (64-bit integers), vm (lane mask), table_rows;
//   set, zero_vector, load, store;
//   add, sub, mul, fmadd (a b + c), fnmadd (-(a b) + c), fmsub (a b - c),
//     each one IEEE operation with one rounding;
//   and_, or_, xor_, andnot (~a & b) on the bits; flip_sign (a ^ (b & -0.0))
//     and or_sign (a | (b & -0.0)), each one instruction where the set has
//     three-input logic;
//   lt, le, ge, lt_where (m & a < b) giving masks; mask_or, mask_xor,
//     mask_andnot (~a & b), mask_bits (bit i = lane i);
//   select (m ? a : b), negate_where (flip the sign where m), add_where
//     (a + b where m, else the first operand);
//   as_bits, bit_set (lanes whose integer has the bit), look_up (the table rows
//     that u = big + |a| names, as columns).
//
// Arguments go through in chunks, in two stages: reduce (branch, argument
// a + da, table row) for the whole chunk, then evaluate (table, short
// polynomials, reconstruction). Between the stages u = big + |a|, whose low
// bits name the table row, passes through memory, which would stall a
// single pass on store forwarding, and the long dependency chains of
// consecutive vectors overlap.
//
// Each lane follows the library's sincos branch by branch (scalar.cpp is
// the plain form). Vectors whose lanes all lie in the Cody-Waite range
// [quarter_limit, reduce_limit), nearly every vector of the programs, take
// a path with that branch alone, a term's vectors reduced side by side;
// any other vector evaluates all branches and selects each lane's own,
// which is exact because each branch's arithmetic is independent of the
// others. The layer's shape picks among layouts of equal results: whether
// the Taylor series is skipped where no lane of a vector needs it, whether
// a pair's two vectors are evaluated side by side.

constexpr unsigned all_lanes_bits = (1u << lanes) - 1;
CIS_TARGET bool no_lane(vm m) { return mask_bits(m) == 0; }

// Stage results for one chunk.
struct reduced {
  static constexpr int vectors = 16;
  static constexpr int size = vectors * lanes;
  alignas(64) double x[size];
  alignas(64) double a[size];
  alignas(64) double da[size];
  alignas(64) double cos_sign[size];  // sign given to cos(a + da)
  alignas(64) double u[size];         // big + |a|: |a|'s table point and row (table_offset)
  alignas(64) double turns[size];     // Cody-Waite only: n in the low bits of t
  vm swap[vectors];                   // sin x is cos(a + da), cos x is sin(a + da)
  vm tiny[vectors];                   // |x| < 2^-27: (cos x, sin x) = (1, x)
  bool reduced_only[vectors];         // every lane in [quarter_limit, reduce_limit)
};

// ---------------------------------------------------------------------------
// The library's pieces, shared by both evaluations.

// Cody-Waite: x = n pi/2 + b + db, with pi/2 in four parts. The multiply-adds
// are fused exactly where the library's FMA build fuses them (reduce_sincos
// in s_sin.c). The quadrant count n lands in the low bits of t because
// toint's ulp is 1: odd is bit 0 of n, upper bit 1.
struct cody_waite {
  vd b, db, t;  // t holds n in its low bits
  vm odd, upper;
};

// For n vectors at once, step by step side by side: each reduction is one
// long dependency chain, and interleaved they issue together.
template <int n>
CIS_TARGET void reduce_by_quarter_turns(const vd* x, cody_waite* out) {
  vd t[n], xn[n], y[n], t2[n], db0[n], b[n];
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) t[k] = fmadd(x[k], set(hpinv), set(toint));
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) xn[k] = sub(t[k], set(toint));
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) y[k] = fnmadd(xn[k], set(mp2), fnmadd(xn[k], set(mp1), x[k]));
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) t2[k] = fnmadd(xn[k], set(pp3), y[k]);
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) db0[k] = fnmadd(xn[k], set(pp3), sub(y[k], t2[k]));
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) b[k] = fnmadd(xn[k], set(pp4), t2[k]);
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k)
    out[k] = {b[k], add(db0[k], fnmadd(xn[k], set(pp4), sub(t2[k], b[k]))), t[k],
              bit_set(as_bits(t[k]), 1), bit_set(as_bits(t[k]), 2)};
}

// |a| less its nearest table point, from u = big + |a| (computed once, in
// stage 1): exact (Sterbenz), since |a| lies within 1/256 of the point.
CIS_TARGET vd table_offset(vd abs_a, vd u) { return sub(abs_a, sub(u, set(big))); }

// sin(|a| + ds) for |a| >= taylor_limit, from the table row at the point
// p = |a| - offset: sin p cos o + cos p sin o with the library's correction
// (do_sin in s_sin.c). ds is da with the sign of a removed.
CIS_TARGET vd sin_from_table(vd offset, vd ds, const table_rows& e) {
  const vd xx = mul(offset, offset);
  const vd s = add(offset, fmadd(mul(offset, xx), fmadd(xx, set(sn5), set(sn3)), ds));
  const vd cpoly = fmadd(fmadd(xx, set(cs6), set(cs4)), xx, set(cs2));
  const vd c = fmadd(offset, ds, mul(xx, cpoly));
  const vd cor = fmadd(e.cs, s, fnmadd(e.sn, c, fmadd(s, e.ccs, e.ssn)));
  return add(e.sn, cor);
}

// cos(|a| + ds) from the same row: cos p cos o - sin p sin o, corrected
// (do_cos in s_sin.c). Here the tail joins the offset first: oc = o + ds.
CIS_TARGET vd cos_from_table(vd oc, const table_rows& e) {
  const vd xx = mul(oc, oc);
  const vd s = fmadd(mul(oc, xx), fmadd(xx, set(sn5), set(sn3)), oc);
  const vd c = mul(xx, fmadd(fmadd(xx, set(cs6), set(cs4)), xx, set(cs2)));
  const vd cor = fnmadd(e.sn, s, fnmadd(e.cs, c, fnmadd(s, e.ssn, e.ccs)));
  return add(e.cs, cor);
}

// sin(a + da) - a for |a| < taylor_limit: the Taylor series with the
// first-order effect of da (TAYLOR_SIN in s_sin.c).
CIS_TARGET vd taylor_increment(vd a, vd da) {
  const vd aa = mul(a, a);
  const vd poly =
      fmadd(fmadd(fmadd(fmadd(set(s5), aa, set(s4)), aa, set(s3)), aa, set(s2)), aa, set(s1));
  return fmadd(aa, fmsub(poly, a, mul(set(0.5), da)), da);
}

// ---------------------------------------------------------------------------
// Vectors wholly in the Cody-Waite range.

// The lanes of x in [quarter_limit, reduce_limit) (bit i = lane i).
CIS_TARGET unsigned quadrant_lanes(vd x) {
  const vd ax = andnot(set(-0.0), x);
  return mask_bits(lt_where(ge(ax, set(quarter_limit)), ax, set(reduce_limit)));
}

// Stage 1 for vectors v .. v + n - 1 of the chunk, from x[0..n), when every
// lane lies in [quarter_limit, reduce_limit), as nearly all the programs'
// phases do: only the Cody-Waite branch, no selects.
template <int n>
CIS_TARGET void reduce_quadrant(const vd* x, reduced& r, int v) {
  cody_waite cw[n];
  reduce_by_quarter_turns<n>(x, cw);
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) {
    // Quadrants 1 and 2 evaluate at -(b + db).
    const vm flip = mask_xor(cw[k].odd, cw[k].upper);
    const vd a = negate_where(flip, cw[k].b);
    const int at = (v + k) * lanes;
    store(r.a + at, a);
    store(r.da + at, negate_where(flip, cw[k].db));
    store(r.u + at, add(set(big), andnot(set(-0.0), a)));
    store(r.turns + at, cw[k].t);  // one store for both masks
    r.reduced_only[v + k] = true;
  }
}

// Stage 2 after reduce_quadrant, for vectors v[0..n) side by side. Here
// a != 0: |x| >= 2.4 lies at least 2^-60 from every multiple of pi/2 (far
// more than b's error), so "a <= 0" and "a < 0" of the library are both the
// sign bit of a.
template <kernel_shape layout, int n>
CIS_TARGET void evaluate_quadrant(const reduced& r, const int* v, vd* cos_x, vd* sin_x) {
  vd a[n], offset[n], ds[n], sin_a[n];
  vm near_zero[n];
  table_rows e[n];
#pragma GCC unroll 2
  for (int k = 0; k < n; ++k) {
    const int at = v[k] * lanes;
    a[k] = load(r.a + at);
    const vd abs_a = andnot(set(-0.0), a[k]);
    offset[k] = table_offset(abs_a, load(r.u + at));
    e[k] = look_up(r.u + at);
    ds[k] = flip_sign(load(r.da + at), a[k]);
    near_zero[k] = lt(abs_a, set(taylor_limit));
  }
  // The programs' eight screen points lie close together, so their
  // reduced arguments do too: in three vectors of four no lane takes the
  // Taylor branch (the shape says whether to skip it then). The table sine
  // is evaluated always: skipping it for the one vector in thirteen whose
  // lanes all take the series cost more in mispredicted branches than it
  // saved.
#pragma GCC unroll 2
  for (int k = 0; k < n; ++k) {
    sin_a[k] = or_sign(sin_from_table(offset[k], ds[k], e[k]), a[k]);  // the table sine is positive
    if (layout.taylor_always || !no_lane(near_zero[k]))
      sin_a[k] = add_where(near_zero[k], sin_a[k], a[k],
                           taylor_increment(a[k], load(r.da + v[k] * lanes)));
  }
#pragma GCC unroll 2
  for (int k = 0; k < n; ++k) {
    const vi turns = as_bits(load(r.turns + v[k] * lanes));
    const vm odd = bit_set(turns, 1), upper = bit_set(turns, 2);
    const vd cos_a = negate_where(upper, cos_from_table(add(offset[k], ds[k]), e[k]));
    sin_x[k] = select(odd, cos_a, sin_a[k]);
    cos_x[k] = select(odd, sin_a[k], cos_a);
  }
}

// ---------------------------------------------------------------------------
// Any vector: every branch, each lane selecting its own.

// Stage 1 for vector v of the chunk. Lanes at or beyond the reduction
// limit, infinite or NaN are left to the library: the returned mask (bit i
// = lane i) names them; their a is 0 so the table row stays in bounds.
CIS_TARGET unsigned reduce(vd x, reduced& r, int v) {
  r.reduced_only[v] = false;
  const vd zero = set(0.0);
  const vd sign = set(-0.0);
  const vd ax = andnot(sign, x);
  const vm small = lt(ax, set(table_limit));
  const vm quarter = lt(ax, set(quarter_limit));
  const vm in_range = lt(ax, set(reduce_limit));  // false for inf and NaN

  cody_waite cw;
  reduce_by_quarter_turns<1>(&x, &cw);
  const auto [b, db, t, odd, upper] = cw;
  // Quadrants 1 and 2 evaluate at -(b + db).
  const vd flip = select(mask_xor(odd, upper), sign, zero);

  // 0.8555 <= |x| < 2.4263: pi/2 - |x| as yq + dq, exact to ~106 bits.
  const vd yq = sub(set(hp0), ax);
  const vd aq = add(yq, set(hp1));
  const vd dq = add(sub(yq, aq), set(hp1));

  vd a = select(small, x, select(quarter, aq, xor_(b, flip)));
  vd da = select(small, zero, select(quarter, dq, xor_(db, flip)));
  a = select(in_range, a, zero);
  da = select(in_range, da, zero);

  const int at = v * lanes;
  store(r.x + at, x);
  store(r.a + at, a);
  store(r.da + at, da);
  store(r.cos_sign + at,
        select(small, zero, select(quarter, and_(sign, x), select(upper, sign, zero))));
  store(r.u + at, add(set(big), andnot(sign, a)));
  r.swap[v] = mask_andnot(small, mask_or(quarter, odd));
  r.tiny[v] = lt(ax, set(tiny_limit));
  return ~mask_bits(in_range) & ((1u << lanes) - 1);
}

// Stage 2 after reduce, for vector v: every branch, each lane its own.
CIS_TARGET void evaluate_any(const reduced& r, int v, vd& cos_x, vd& sin_x) {
  const int at = v * lanes;
  const vd a = load(r.a + at);
  const vd da = load(r.da + at);
  const vd zero = set(0.0);
  const vd sign = set(-0.0);

  const vd abs_a = andnot(sign, a);
  const vd offset = table_offset(abs_a, load(r.u + at));
  const table_rows e = look_up(r.u + at);

  const vd ds = xor_(da, select(le(a, zero), sign, zero));
  const vd sin_table = or_(andnot(sign, sin_from_table(offset, ds, e)), and_(sign, a));
  const vd sin_taylor = add(a, taylor_increment(a, da));
  const vd sin_a = select(lt(abs_a, set(taylor_limit)), sin_taylor, sin_table);

  // cos(a + da) > 0, so the sign change is exact copysign / negation.
  const vd dc = xor_(da, select(lt(a, zero), sign, zero));
  const vd cos_a = xor_(cos_from_table(add(offset, dc), e), load(r.cos_sign + at));

  const vm swap = r.swap[v], tiny = r.tiny[v];
  sin_x = select(tiny, load(r.x + at), select(swap, cos_a, sin_a));
  cos_x = select(tiny, set(1.0), select(swap, sin_a, cos_a));
}

// Stage 2 for vectors v[0..n) of the chunk, side by side where all took the
// Cody-Waite path: sin and cos of a + da, placed.
template <kernel_shape layout, int n>
CIS_TARGET void evaluate(const reduced& r, const int* v, vd* cos_x, vd* sin_x) {
  bool quadrant = true;
#pragma GCC unroll 2
  for (int k = 0; k < n; ++k) quadrant &= r.reduced_only[v[k]];
  if (quadrant) {
    evaluate_quadrant<layout, n>(r, v, cos_x, sin_x);
    return;
  }
#pragma GCC unroll 2
  for (int k = 0; k < n; ++k)
    if (r.reduced_only[v[k]])
      evaluate_quadrant<layout, 1>(r, v + k, cos_x + k, sin_x + k);
    else
      evaluate_any(r, v[k], cos_x[k], sin_x[k]);
}

// Stage 1 for vectors v .. v + n - 1 from x[0..n): reduced together where
// every lane allows the Cody-Waite branch alone, else each on its own.
// library_lanes[k] names the lanes of vector v + k left to the library; returns
// their union.
template <int n>
CIS_TARGET unsigned reduce_group(const vd* x, reduced& r, int v, unsigned* library_lanes) {
  unsigned in[n], all = all_lanes_bits;
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) all &= in[k] = quadrant_lanes(x[k]);
  unsigned any = 0;
#pragma GCC unroll 16
  for (int k = 0; k < n; ++k) library_lanes[k] = 0;
  if (all == all_lanes_bits) {
    reduce_quadrant<n>(x, r, v);
    return 0;
  }
  for (int k = 0; k < n; ++k)
    if (in[k] == all_lanes_bits)
      reduce_quadrant<1>(x + k, r, v + k);
    else
      any |= library_lanes[k] = reduce(x[k], r, v + k);
  return any;
}

// The library's values for the lanes of vector v named in library_lanes.
CIS_TARGET void patch(const reduced& r, int v, unsigned library_lanes, vd& cos_x, vd& sin_x) {
  double c[lanes], s[lanes];
  store(c, cos_x);
  store(s, sin_x);
  for (; library_lanes; library_lanes &= library_lanes - 1) {
    const int i = __builtin_ctz(library_lanes);
    system_cis(r.x[v * lanes + i], c[i], s[i]);
  }
  cos_x = load(c);
  sin_x = load(s);
}

// ---------------------------------------------------------------------------
// The entry points' bodies.

template <kernel_shape layout>
CIS_TARGET void kernel(const double* theta, double* cos_theta, double* sin_theta,
                       std::size_t count) {
  reduced r;
  unsigned library_lanes[reduced::vectors];
  double pad_theta[lanes], pad_cos[lanes], pad_sin[lanes];  // a short last vector
  for (std::size_t first = 0; first < count; first += reduced::size) {
    const std::size_t n = count - first < reduced::size ? count - first : reduced::size;
    const int full = static_cast<int>(n / lanes);
    const int partial = static_cast<int>(n % lanes);
    const int vectors = full + (partial != 0);
    int v = 0;
    for (; v + 2 <= full; v += 2) {
      const vd x[2] = {load(theta + first + v * lanes), load(theta + first + (v + 1) * lanes)};
      reduce_group<2>(x, r, v, library_lanes + v);
    }
    if (v < full) {
      const vd x = load(theta + first + v * lanes);
      reduce_group<1>(&x, r, v, library_lanes + v);
    }
    if (partial) {
      // Padding inside the Cody-Waite range keeps the vector on its path.
      for (int i = 0; i < lanes; ++i)
        pad_theta[i] = i < partial ? theta[first + full * lanes + i] : 3.0;
      const vd x = load(pad_theta);
      reduce_group<1>(&x, r, full, library_lanes + full);
    }
    for (int v = 0; v < full; ++v) {
      vd c, s;
      evaluate<layout, 1>(r, &v, &c, &s);
      store(cos_theta + first + v * lanes, c);
      store(sin_theta + first + v * lanes, s);
    }
    if (partial) {
      vd c, s;
      evaluate<layout, 1>(r, &full, &c, &s);
      store(pad_cos, c);
      store(pad_sin, s);
      for (int i = 0; i < partial; ++i) {
        cos_theta[first + full * lanes + i] = pad_cos[i];
        sin_theta[first + full * lanes + i] = pad_sin[i];
      }
    }
    for (int v = 0; v < vectors; ++v)
      for (unsigned m = library_lanes[v]; m; m &= m - 1) {
        const std::size_t i = static_cast<std::size_t>(v * lanes + __builtin_ctz(m));
        if (i < n) system_cis(r.x[i], cos_theta[first + i], sin_theta[first + i]);
      }
  }
}

// The fused sums. The cis_block_size screen points are `blocks` vectors; a
// term has one path (cis_add) or two (cis_add_pairs, upper and lower), each
// with its offsets. A chunk of terms fills the stage buffer with the phases
// of each term's paths, vector t * per_term + p * blocks + b for term t,
// path p, block b; stage 2 then takes the phasors term by term in order.
constexpr int blocks = cis_block_size / lanes;
static_assert(blocks * lanes == cis_block_size);

// A term's vectors in the stage buffer, and the terms a chunk holds.
template <int paths>
struct term_vectors {
  static constexpr int per_term = blocks * paths;
  static constexpr std::size_t chunk = reduced::vectors / per_term;
  static_assert(chunk > 0);
};

// Stage 1 for terms first .. first + n - 1. Returns the union of the lanes
// left to the library.
template <int paths>
CIS_TARGET unsigned reduce_terms(const double* const* phases, std::size_t first, int n,
                                 const vd (&offset)[paths][blocks], reduced& r,
                                 unsigned* library_lanes) {
  constexpr int per_term = term_vectors<paths>::per_term;
  unsigned any = 0;
  for (int t = 0; t < n; ++t) {
    vd x[per_term];
    for (int p = 0; p < paths; ++p) {
      const vd base = set(phases[p][first + t]);
      for (int b = 0; b < blocks; ++b) x[p * blocks + b] = add(base, offset[p][b]);
    }
    any |= reduce_group<per_term>(x, r, t * per_term, library_lanes + t * per_term);
  }
  return any;
}

// Stage 2 for block b of chunk term t: cos and sin of each path, the
// library's in the lanes left to it.
template <kernel_shape layout, int paths>
CIS_TARGET void term_phasors(const reduced& r, int t, int b, unsigned any,
                             const unsigned* library_lanes, vd (&c)[paths], vd (&s)[paths]) {
  int v[paths];
#pragma GCC unroll 2
  for (int p = 0; p < paths; ++p) v[p] = t * term_vectors<paths>::per_term + p * blocks + b;
  if constexpr (paths > 1 && layout.pairs_side_by_side) {
    evaluate<layout, paths>(r, v, c, s);
#pragma GCC unroll 2
    for (int p = 0; p < paths; ++p)
      if (any && library_lanes[v[p]]) patch(r, v[p], library_lanes[v[p]], c[p], s[p]);
  } else {
#pragma GCC unroll 2
    for (int p = 0; p < paths; ++p) {
      evaluate<layout, 1>(r, v + p, c + p, s + p);
      if (any && library_lanes[v[p]]) patch(r, v[p], library_lanes[v[p]], c[p], s[p]);
    }
  }
}

template <int paths>
CIS_TARGET void load_offsets(const double* const* offsets, vd (&offset)[paths][blocks]) {
  for (int p = 0; p < paths; ++p)
    for (int b = 0; b < blocks; ++b) offset[p][b] = load(offsets[p] + b * lanes);
}

// re[l] += weight (cos u + cos v), im[l] += weight (sin u + sin v) term by
// term, u and v the phases of the paths (one path: u alone).
template <kernel_shape layout, int paths, bool unit_weight>
CIS_TARGET void accumulate(const double* const* phases, std::size_t terms,
                           const double* const* offsets, double weight, double* re, double* im) {
  constexpr std::size_t chunk = term_vectors<paths>::chunk;
  vd offset[paths][blocks], sum_re[blocks], sum_im[blocks];
  load_offsets<paths>(offsets, offset);
  for (int b = 0; b < blocks; ++b) {
    sum_re[b] = load(re + b * lanes);
    sum_im[b] = load(im + b * lanes);
  }
  const vd w = set(weight);
  reduced r;
  unsigned library_lanes[reduced::vectors];
  for (std::size_t first = 0; first < terms; first += chunk) {
    const int n = static_cast<int>(terms - first < chunk ? terms - first : chunk);
    const unsigned any = reduce_terms<paths>(phases, first, n, offset, r, library_lanes);
    for (int t = 0; t < n; ++t)
      for (int b = 0; b < blocks; ++b) {
        vd c[paths], s[paths];
        term_phasors<layout, paths>(r, t, b, any, library_lanes, c, s);
        if constexpr (paths > 1) {
          c[0] = add(c[0], c[1]);
          s[0] = add(s[0], s[1]);
        }
        if constexpr (!unit_weight) {
          c[0] = mul(w, c[0]);
          s[0] = mul(w, s[0]);
        }
        sum_re[b] = add(sum_re[b], c[0]);
        sum_im[b] = add(sum_im[b], s[0]);
      }
  }
  for (int b = 0; b < blocks; ++b) {
    store(re + b * lanes, sum_re[b]);
    store(im + b * lanes, sum_im[b]);
  }
}

// The pair sums' phasors as accumulate computes them, stored (see
// pair_terms_fn): the tests' and the self-check's view of every term.
template <kernel_shape layout>
CIS_TARGET void record_pair_terms(const double* const* phases, std::size_t terms,
                                  const double* const* offsets, double* const* phasors) {
  constexpr std::size_t chunk = term_vectors<2>::chunk;
  vd offset[2][blocks];
  load_offsets<2>(offsets, offset);
  reduced r;
  unsigned library_lanes[reduced::vectors];
  for (std::size_t first = 0; first < terms; first += chunk) {
    const int n = static_cast<int>(terms - first < chunk ? terms - first : chunk);
    const unsigned any = reduce_terms<2>(phases, first, n, offset, r, library_lanes);
    for (int t = 0; t < n; ++t)
      for (int b = 0; b < blocks; ++b) {
        vd c[2], s[2];
        term_phasors<layout, 2>(r, t, b, any, library_lanes, c, s);
        const std::size_t at = (first + t) * cis_block_size + b * lanes;
#pragma GCC unroll 2
        for (int p = 0; p < 2; ++p) {
          store(phasors[2 * p] + at, c[p]);
          store(phasors[2 * p + 1] + at, s[p]);
        }
      }
  }
}

// This instruction set's row of the path table, by default in its own
// shape. 1.0 * v is v itself, NaN included, so a unit weight drops the
// product.
template <kernel_shape layout = shape>
CIS_ENTRY void evaluate_entry(const double* theta, double* cos_theta, double* sin_theta,
                              std::size_t count) {
  kernel<layout>(theta, cos_theta, sin_theta, count);
}

template <kernel_shape layout = shape>
CIS_ENTRY void add_entry(const double* base, std::size_t terms, const double* offset, double weight,
                         double* re, double* im) {
  if (weight == 1.0)
    accumulate<layout, 1, true>(&base, terms, &offset, weight, re, im);
  else
    accumulate<layout, 1, false>(&base, terms, &offset, weight, re, im);
}

template <kernel_shape layout = shape>
CIS_ENTRY void add_pairs_entry(const double* upper, const double* lower, std::size_t terms,
                               const double* upper_offset, const double* lower_offset,
                               double weight, double* re, double* im) {
  const double* const phases[2] = {upper, lower};
  const double* const offsets[2] = {upper_offset, lower_offset};
  if (weight == 1.0)
    accumulate<layout, 2, true>(phases, terms, offsets, weight, re, im);
  else
    accumulate<layout, 2, false>(phases, terms, offsets, weight, re, im);
}

template <kernel_shape layout = shape>
CIS_ENTRY void pair_terms_entry(const double* upper, const double* lower, std::size_t terms,
                                const double* upper_offset, const double* lower_offset,
                                double* const* phasors) {
  const double* const phases[2] = {upper, lower};
  const double* const offsets[2] = {upper_offset, lower_offset};
  record_pair_terms<layout>(phases, terms, offsets, phasors);
}
