// The vector phasor kernel, written once against a small set of lane
// operations. cis_vector.cpp includes it once per instruction set, inside a
// namespace that supplies
//   lanes, vd (doubles), vi (64-bit integers), vm (lane mask),
//   set, zero_vector, load, store, add, sub, mul, fmadd (a b + c),
//   fnmadd (-(a b) + c), fmsub (a b - c), and_, or_, xor_, andnot (~a & b),
//   lt, le, ge, lt_where (m & a < b), select, negate_where, add_where,
//   mask_or, mask_xor, mask_andnot, mask_bits, as_bits, bit_set,
//   store_index, look_up,
// every one declared CIS_TARGET.
//
// Arguments go through in chunks, in two stages: reduce (branch, argument
// a + da, table index) for the whole chunk, then evaluate (table, short
// polynomials, reconstruction). Between the stages the table indices pass
// through memory, which would stall a single pass on store forwarding, and
// the long dependency chains of consecutive vectors overlap.
//
// Each lane follows the library's sincos branch by branch (see the scalar
// twin in cis.cpp for the plain form). A vector whose lanes all lie in the
// Cody-Waite range [quarter_limit, reduce_limit), nearly every vector of
// the programs, takes a path with that branch alone; any other vector
// evaluates all branches and selects each lane's own, which is exact
// because each branch's arithmetic is independent of the others. After
// reduction a branch (Taylor series or table sine) is skipped when no lane
// of the vector needs it.

// Stage results for one chunk.
struct reduced {
    static constexpr int vectors = 16;
    static constexpr int size = vectors * lanes;
    alignas(64) double x[size];
    alignas(64) double a[size];
    alignas(64) double da[size];
    alignas(64) double cos_sign[size];   // sign given to cos(a + da)
    alignas(64) std::uint64_t index[size];  // table entry of |a|
    vm swap[vectors];  // sin(a + da) is the cosine of x
    vm tiny[vectors];  // |x| < 2^-27: (cos x, sin x) = (1, x); reduced: negate cos(a + da)
    bool reduced_only[vectors];  // every lane in [quarter_limit, reduce_limit)
};

// Cody-Waite: x = n pi/2 + b + db, with pi/2 in four parts. The multiply-adds
// are fused exactly where the library's FMA build fuses them. The quadrant
// count n lands in the low bits of t because toint's ulp is 1: odd is bit 0
// of n, upper bit 1.
struct cody_waite {
    vd b, db;
    vm odd, upper;
};

CIS_TARGET cody_waite reduce_by_quarter_turns(vd x)
{
    using namespace cis_detail;
    const vd t = fmadd(x, set(hpinv), set(toint));
    const vd xn = sub(t, set(toint));
    const vd y = fnmadd(xn, set(mp2), fnmadd(xn, set(mp1), x));
    const vd t2 = fnmadd(xn, set(pp3), y);
    const vd db0 = fnmadd(xn, set(pp3), sub(y, t2));
    const vd b = fnmadd(xn, set(pp4), t2);
    const vd db = add(db0, fnmadd(xn, set(pp4), sub(t2, b)));
    return {b, db, bit_set(as_bits(t), 1), bit_set(as_bits(t), 2)};
}

// Stage 1 when every lane of x lies in [quarter_limit, reduce_limit), as
// nearly all the programs' phases do: only the Cody-Waite branch, no
// selects. Fills a, da, index, swap (odd quadrant) and tiny (quadrants 2
// and 3, where cos(a + da) is negated).
CIS_TARGET void reduce_quadrant(vd x, reduced& r, int v)
{
    using namespace cis_detail;
    const auto [b, db, odd, upper] = reduce_by_quarter_turns(x);
    const vm flip = mask_xor(odd, upper);
    const vd a = negate_where(flip, b);
    const int at = v * lanes;
    store(r.a + at, a);
    store(r.da + at, negate_where(flip, db));
    store_index(r.index + at, add(set(big), andnot(set(-0.0), a)));
    r.swap[v] = odd;
    r.tiny[v] = upper;
}

// Stage 2 after reduce_quadrant. Here a != 0: |x| >= 2.4 lies at least
// 2^-60 from every multiple of pi/2 (far more than b's error), so "a <= 0"
// and "a < 0" of the library are both the sign bit of a.
CIS_TARGET void evaluate_quadrant(const reduced& r, int v, vd& cos_x, vd& sin_x)
{
    using namespace cis_detail;
    const int at = v * lanes;
    const vd a = load(r.a + at);
    const vd da = load(r.da + at);
    const vd sign = set(-0.0);

    const vd abs_a = andnot(sign, a);
    const vd offset = sub(abs_a, sub(add(set(big), abs_a), set(big)));
    vd sn, ssn, cs, ccs;
    look_up(r.index + at, sn, ssn, cs, ccs);
    const vd ds = xor_(da, and_(sign, a));

    // The programs' eight screen points lie close together, so their
    // reduced arguments do too: in three vectors of four no lane takes the
    // Taylor branch, in about one of thirteen every lane does.
    const vm near_zero = lt(abs_a, set(taylor_limit));
    vd sin_a = zero_vector();
    if (mask_bits(near_zero) != (1u << lanes) - 1) {
        const vd xx = mul(offset, offset);
        const vd s = add(offset, fmadd(mul(offset, xx), fmadd(xx, set(sn5), set(sn3)), ds));
        const vd cpoly = fmadd(fmadd(xx, set(cs6), set(cs4)), xx, set(cs2));
        const vd c = fmadd(offset, ds, mul(xx, cpoly));
        const vd cor = fmadd(cs, s, fnmadd(sn, c, fmadd(s, ccs, ssn)));
        sin_a = or_(andnot(sign, add(sn, cor)), and_(sign, a));
    }
    if (mask_bits(near_zero) != 0) {
        const vd aa = mul(a, a);
        const vd poly = fmadd(fmadd(fmadd(fmadd(set(s5), aa, set(s4)), aa, set(s3)), aa, set(s2)),
                              aa, set(s1));
        sin_a = add_where(near_zero, sin_a, a, fmadd(aa, fmsub(poly, a, mul(set(0.5), da)), da));
    }

    const vd oc = add(offset, ds);
    const vd xxc = mul(oc, oc);
    const vd sc = fmadd(mul(oc, xxc), fmadd(xxc, set(sn5), set(sn3)), oc);
    const vd cc = mul(xxc, fmadd(fmadd(xxc, set(cs6), set(cs4)), xxc, set(cs2)));
    const vd corc = fnmadd(sn, sc, fnmadd(cs, cc, fnmadd(sc, ssn, ccs)));
    const vd cos_a = negate_where(r.tiny[v], add(cs, corc));

    sin_x = select(r.swap[v], cos_a, sin_a);
    cos_x = select(r.swap[v], sin_a, cos_a);
}

// Stage 1 for vector v of the chunk. Lanes at or beyond the reduction
// limit, infinite or NaN are left to the library: the returned mask (bit i
// = lane i) names them; their a is 0 so the table index stays in bounds.
CIS_TARGET unsigned reduce(vd x, reduced& r, int v)
{
    using namespace cis_detail;
    {
        const vd ax = andnot(set(-0.0), x);
        const vm quadrant = lt_where(ge(ax, set(quarter_limit)), ax, set(reduce_limit));
        r.reduced_only[v] = mask_bits(quadrant) == (1u << lanes) - 1;
        if (r.reduced_only[v]) {
            reduce_quadrant(x, r, v);
            return 0;
        }
    }
    const vd zero = set(0.0);
    const vd sign = set(-0.0);
    const vd ax = andnot(sign, x);
    const vm small = lt(ax, set(table_limit));
    const vm quarter = lt(ax, set(quarter_limit));
    const vm in_range = lt(ax, set(reduce_limit));  // false for inf and NaN

    const auto [b, db, odd, upper] = reduce_by_quarter_turns(x);
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
    store_index(r.index + at, add(set(big), andnot(sign, a)));
    r.swap[v] = mask_andnot(small, mask_or(quarter, odd));
    r.tiny[v] = lt(ax, set(tiny_limit));
    return ~mask_bits(in_range) & ((1u << lanes) - 1);
}

// Stage 2 for vector v of the chunk: sin and cos of a + da, placed.
CIS_TARGET void evaluate(const reduced& r, int v, vd& cos_x, vd& sin_x)
{
    using namespace cis_detail;
    if (r.reduced_only[v]) {
        evaluate_quadrant(r, v, cos_x, sin_x);
        return;
    }
    const int at = v * lanes;
    const vd a = load(r.a + at);
    const vd da = load(r.da + at);
    const vd zero = set(0.0);
    const vd sign = set(-0.0);

    // Table point p nearest |a| and the exact offset o from it.
    const vd abs_a = andnot(sign, a);
    const vd offset = sub(abs_a, sub(add(set(big), abs_a), set(big)));
    vd sn, ssn, cs, ccs;
    look_up(r.index + at, sn, ssn, cs, ccs);

    // sin(a + da) from the table: sin p cos o + cos p sin o, corrected.
    const vd ds = xor_(da, select(le(a, zero), sign, zero));
    const vd xx = mul(offset, offset);
    const vd s = add(offset, fmadd(mul(offset, xx), fmadd(xx, set(sn5), set(sn3)), ds));
    const vd cpoly = fmadd(fmadd(xx, set(cs6), set(cs4)), xx, set(cs2));
    const vd c = fmadd(offset, ds, mul(xx, cpoly));
    const vd cor = fmadd(cs, s, fnmadd(sn, c, fmadd(s, ccs, ssn)));
    const vd sin_table = or_(andnot(sign, add(sn, cor)), and_(sign, a));

    // sin(a + da) by Taylor series, taken for |a| < 0.126.
    const vd aa = mul(a, a);
    const vd poly = fmadd(fmadd(fmadd(fmadd(set(s5), aa, set(s4)), aa, set(s3)), aa, set(s2)), aa,
                          set(s1));
    const vd sin_taylor = add(a, fmadd(aa, fmsub(poly, a, mul(set(0.5), da)), da));
    const vd sin_a = select(lt(abs_a, set(taylor_limit)), sin_taylor, sin_table);

    // cos(a + da) from the table: cos p cos o - sin p sin o, corrected; here
    // da joins the offset first.
    const vd oc = add(offset, xor_(da, select(lt(a, zero), sign, zero)));
    const vd xxc = mul(oc, oc);
    const vd sc = fmadd(mul(oc, xxc), fmadd(xxc, set(sn5), set(sn3)), oc);
    const vd cc = mul(xxc, fmadd(fmadd(xxc, set(cs6), set(cs4)), xxc, set(cs2)));
    const vd corc = fnmadd(sn, sc, fnmadd(cs, cc, fnmadd(sc, ssn, ccs)));
    // cos(a + da) > 0, so the sign change is exact copysign / negation.
    const vd cos_a = xor_(add(cs, corc), load(r.cos_sign + at));

    const vm swap = r.swap[v], tiny = r.tiny[v];
    sin_x = select(tiny, load(r.x + at), select(swap, cos_a, sin_a));
    cos_x = select(tiny, set(1.0), select(swap, sin_a, cos_a));
}

CIS_TARGET void evaluate(const reduced& r, int v, double* cos_out, double* sin_out)
{
    vd c, s;
    evaluate(r, v, c, s);
    store(cos_out, c);
    store(sin_out, s);
}

// The library's values for the lanes of vector v named in rest.
CIS_TARGET void patch(const reduced& r, int v, unsigned rest, vd& cos_x, vd& sin_x)
{
    double c[lanes], s[lanes];
    store(c, cos_x);
    store(s, sin_x);
    for (; rest; rest &= rest - 1) {
        const int i = __builtin_ctz(rest);
        cis_detail::system_cis(r.x[v * lanes + i], c[i], s[i]);
    }
    cos_x = load(c);
    sin_x = load(s);
}

CIS_TARGET void kernel(const double* theta, double* cos_theta, double* sin_theta, std::size_t count)
{
    reduced r;
    unsigned rest[reduced::vectors];
    double pad_theta[lanes], pad_cos[lanes], pad_sin[lanes];  // a short last vector
    for (std::size_t first = 0; first < count; first += reduced::size) {
        const std::size_t n = count - first < reduced::size ? count - first : reduced::size;
        const int full = static_cast<int>(n / lanes);
        const int partial = static_cast<int>(n % lanes);
        const int vectors = full + (partial != 0);
        for (int v = 0; v < full; ++v) rest[v] = reduce(load(theta + first + v * lanes), r, v);
        if (partial) {
            for (int i = 0; i < lanes; ++i) pad_theta[i] = i < partial ? theta[first + full * lanes + i] : 0.0;
            rest[full] = reduce(load(pad_theta), r, full);
        }
        for (int v = 0; v < full; ++v)
            evaluate(r, v, cos_theta + first + v * lanes, sin_theta + first + v * lanes);
        if (partial) {
            evaluate(r, full, pad_cos, pad_sin);
            for (int i = 0; i < partial; ++i) {
                cos_theta[first + full * lanes + i] = pad_cos[i];
                sin_theta[first + full * lanes + i] = pad_sin[i];
            }
        }
        for (int v = 0; v < vectors; ++v)
            for (unsigned m = rest[v]; m; m &= m - 1) {
                const std::size_t i = static_cast<std::size_t>(v * lanes + __builtin_ctz(m));
                if (i < n) cis_detail::system_cis(r.x[i], cos_theta[first + i], sin_theta[first + i]);
            }
    }
}

// The fused sums (cis_add_pairs, or cis_add without the lower path). The
// cis_lanes screen points are `blocks` vectors; a chunk of terms fills the
// stage buffer with the phases of each term's paths, and stage 2 feeds the
// phasors straight into the accumulators, term by term in order.
template <bool pairs, bool unit_weight>
CIS_TARGET void accumulate(const double* upper, const double* lower, std::size_t terms, const double* U,
                    const double* W, double weight, double* re, double* im)
{
    constexpr int blocks = cis_lanes / lanes;
    constexpr int paths = pairs ? 2 : 1;
    constexpr int per_term = blocks * paths;
    constexpr std::size_t chunk = reduced::vectors / per_term;
    static_assert(blocks * lanes == cis_lanes && chunk > 0);

    vd offset[paths][blocks], sum_re[blocks], sum_im[blocks];
    for (int b = 0; b < blocks; ++b) {
        offset[0][b] = load(U + b * lanes);
        if constexpr (pairs) offset[1][b] = load(W + b * lanes);
        sum_re[b] = load(re + b * lanes);
        sum_im[b] = load(im + b * lanes);
    }
    const vd w = set(weight);
    reduced r;
    unsigned rest[reduced::vectors];
    for (std::size_t first = 0; first < terms; first += chunk) {
        const int n = static_cast<int>(terms - first < chunk ? terms - first : chunk);
        unsigned any = 0;
        for (int t = 0; t < n; ++t)
            for (int p = 0; p < paths; ++p) {
                const vd base = set(p == 0 ? upper[first + t] : lower[first + t]);
                for (int b = 0; b < blocks; ++b) {
                    const int v = (t * paths + p) * blocks + b;
                    rest[v] = reduce(add(base, offset[p][b]), r, v);
                    any |= rest[v];
                }
            }
        for (int t = 0; t < n; ++t)
            for (int b = 0; b < blocks; ++b) {
                const int v = t * per_term + b;
                vd c, s;
                evaluate(r, v, c, s);
                if (any && rest[v]) patch(r, v, rest[v], c, s);
                if constexpr (pairs) {
                    vd cl, sl;
                    evaluate(r, v + blocks, cl, sl);
                    if (any && rest[v + blocks]) patch(r, v + blocks, rest[v + blocks], cl, sl);
                    c = add(c, cl);
                    s = add(s, sl);
                }
                if constexpr (!unit_weight) {
                    c = mul(w, c);
                    s = mul(w, s);
                }
                sum_re[b] = add(sum_re[b], c);
                sum_im[b] = add(sum_im[b], s);
            }
    }
    for (int b = 0; b < blocks; ++b) {
        store(re + b * lanes, sum_re[b]);
        store(im + b * lanes, sum_im[b]);
    }
}
