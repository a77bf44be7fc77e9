// The vector phasor kernel, written once against a small set of lane
// operations. cis_vector.cpp includes it once per instruction set, inside a
// namespace that supplies
//   lanes, vd (doubles), vi (64-bit integers), vm (lane mask),
//   set, load, store, add, sub, mul, fmadd (a b + c), fnmadd (-(a b) + c),
//   fmsub (a b - c), and_, or_, xor_, andnot (~a & b), lt, le, select,
//   mask_or, mask_xor, mask_andnot, mask_bits, as_bits, bit_set, look_up,
// every one declared CIS_TARGET.
//
// Each lane follows the library's sincos branch by branch (see the scalar
// twin in cis.cpp for the plain form): all branches are evaluated and the
// lane's own is selected, which is exact because each branch's arithmetic
// is independent of the others.

// Lanes at or beyond the reduction limit, infinite or NaN are left to the
// library; the returned mask (bit i = lane i) names them, and when it is not
// empty the arguments are copied to saved, as the outputs may have
// overwritten them. Outputs of those lanes are unspecified until the caller
// fills them.
CIS_TARGET unsigned block(const double* theta, double* cos_out, double* sin_out, double* saved)
{
    using namespace cis_detail;
    const vd x = load(theta);
    const vd zero = set(0.0);
    const vd sign = set(-0.0);
    const vd ax = andnot(sign, x);
    const vm tiny = lt(ax, set(tiny_limit));
    const vm small = lt(ax, set(table_limit));
    const vm quarter = lt(ax, set(quarter_limit));
    const vm in_range = lt(ax, set(reduce_limit));  // false for inf and NaN

    // Reduce: x = n pi/2 + b + db. The quadrant count lands in the low bits
    // of t because toint's ulp is 1.
    const vd t = fmadd(x, set(hpinv), set(toint));
    const vd xn = sub(t, set(toint));
    const vd y = fnmadd(xn, set(mp2), fnmadd(xn, set(mp1), x));
    const vd t2 = fnmadd(xn, set(pp3), y);
    const vd db0 = fnmadd(xn, set(pp3), sub(y, t2));
    const vd b = fnmadd(xn, set(pp4), t2);
    const vd db = add(db0, fnmadd(xn, set(pp4), sub(t2, b)));
    const vm odd = bit_set(as_bits(t), 1);
    const vm upper = bit_set(as_bits(t), 2);
    // Quadrants 1 and 2 evaluate at -(b + db).
    const vd flip = select(mask_xor(odd, upper), sign, zero);

    // 0.8555 <= |x| < 2.4263: pi/2 - |x| as y + dy, exact to ~106 bits.
    const vd yq = sub(set(hp0), ax);
    const vd aq = add(yq, set(hp1));
    const vd daq = add(sub(yq, aq), set(hp1));

    // Select the argument of this lane's branch. Lanes for the library get
    // 0 so that every table index stays in bounds.
    vd a = select(small, x, select(quarter, aq, xor_(b, flip)));
    vd da = select(small, zero, select(quarter, daq, xor_(db, flip)));
    a = select(in_range, a, zero);
    da = select(in_range, da, zero);
    // Where sin(a + da) is the cosine of x, and the sign of the other value.
    const vm swap = mask_andnot(small, mask_or(quarter, odd));
    const vd cos_sign = select(small, zero, select(quarter, and_(sign, x), select(upper, sign, zero)));

    // Table point nearest |a| and the exact offset from it.
    const vd abs_a = andnot(sign, a);
    const vd u = add(set(big), abs_a);
    const vd offset = sub(abs_a, sub(u, set(big)));
    vd sn, ssn, cs, ccs;
    look_up(u, sn, ssn, cs, ccs);

    // sin(a + da) from the table: sin(p + o) = sin p cos o + cos p sin o.
    const vd ds = xor_(da, select(le(a, zero), sign, zero));
    const vd xx = mul(offset, offset);
    const vd s = add(offset, fmadd(mul(offset, xx), fmadd(xx, set(sn5), set(sn3)), ds));
    const vd cpoly = fmadd(fmadd(xx, set(cs6), set(cs4)), xx, set(cs2));
    const vd c = fmadd(offset, ds, mul(xx, cpoly));
    const vd cor = fmadd(cs, s, fnmadd(sn, c, fmadd(s, ccs, ssn)));
    const vd sin_table = or_(andnot(sign, add(sn, cor)), and_(sign, a));

    // sin(a + da) by Taylor series, for |a| < 0.126.
    const vd aa = mul(a, a);
    const vd poly = fmadd(fmadd(fmadd(fmadd(set(s5), aa, set(s4)), aa, set(s3)), aa, set(s2)), aa,
                          set(s1));
    const vd sin_taylor = add(a, fmadd(aa, fmsub(poly, a, mul(set(0.5), da)), da));
    const vd sin_a = select(lt(abs_a, set(taylor_limit)), sin_taylor, sin_table);

    // cos(a + da) from the table: cos(p + o) = cos p cos o - sin p sin o.
    const vd oc = add(offset, xor_(da, select(lt(a, zero), sign, zero)));
    const vd xxc = mul(oc, oc);
    const vd sc = fmadd(mul(oc, xxc), fmadd(xxc, set(sn5), set(sn3)), oc);
    const vd cc = mul(xxc, fmadd(fmadd(xxc, set(cs6), set(cs4)), xxc, set(cs2)));
    const vd corc = fnmadd(sn, sc, fnmadd(cs, cc, fnmadd(sc, ssn, ccs)));
    // cos_a > 0 here, so the sign flip is exact copysign / negation.
    const vd cos_a = xor_(add(cs, corc), cos_sign);

    store(sin_out, select(tiny, x, select(swap, cos_a, sin_a)));
    store(cos_out, select(tiny, set(1.0), select(swap, sin_a, cos_a)));
    const unsigned rest = ~mask_bits(in_range) & ((1u << lanes) - 1);
    if (rest) store(saved, x);
    return rest;
}

CIS_TARGET void kernel(const double* theta, double* cos_theta, double* sin_theta, std::size_t count)
{
    std::size_t k = 0;
    for (; k + lanes <= count; k += lanes) {
        double saved[lanes];
        unsigned rest = block(theta + k, cos_theta + k, sin_theta + k, saved);
        for (; rest; rest &= rest - 1) {
            const int i = __builtin_ctz(rest);
            cis_detail::system_cis(saved[i], cos_theta[k + i], sin_theta[k + i]);
        }
    }
    if (k == count) return;
    double in[lanes] = {}, c[lanes], s[lanes];
    const std::size_t tail = count - k;
    for (std::size_t i = 0; i < tail; ++i) in[i] = theta[k + i];
    unsigned rest = block(in, c, s, in);
    for (std::size_t i = 0; i < tail; ++i) {
        if (rest >> i & 1u)
            cis_detail::system_cis(in[i], cos_theta[k + i], sin_theta[k + i]);
        else {
            cos_theta[k + i] = c[i];
            sin_theta[k + i] = s[i];
        }
    }
}
