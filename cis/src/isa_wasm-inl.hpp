// The lane operations of the kernel for WebAssembly SIMD128: two lanes,
// masks as all-ones / all-zeros lanes. Included by vector_wasm.cpp and
// vector_wasm_fused.cpp, each in a namespace of its own; kernel-inl.hpp
// lists what each operation means.
// WebAssembly's one fused multiply-add, relaxed SIMD's f64x2.relaxed_madd,
// may round twice: the path built with CIS_WASM_FUSED uses it, and is taken
// only where its start-up check finds it fused (vector_wasm_fused.cpp).
// Elsewhere each is emulated exactly as fused.hpp does it, lane for lane,
// and a vector with a lane outside the emulation's range takes emulated_fma
// (and through it fma) lane by lane.

constexpr int lanes = 2;

// Not measured apart: the branch around the Taylor series and the pair in
// turn, as on AVX2, whose sixteen registers SIMD128 engines also tend to have.
constexpr kernel_shape shape = {.taylor_always = false, .pairs_side_by_side = false};
using vd = v128_t;
using vi = v128_t;
using vm = v128_t;

struct table_rows {
  vd sn, ssn, cs, ccs;
};

CIS_TARGET vd set(double v) { return wasm_f64x2_splat(v); }
CIS_TARGET vd zero_vector() { return wasm_f64x2_splat(0.0); }
CIS_TARGET vd load(const double* p) { return wasm_v128_load(p); }
CIS_TARGET void store(double* p, vd v) { wasm_v128_store(p, v); }
CIS_TARGET vd add(vd a, vd b) { return wasm_f64x2_add(a, b); }
CIS_TARGET vd sub(vd a, vd b) { return wasm_f64x2_sub(a, b); }
CIS_TARGET vd mul(vd a, vd b) { return wasm_f64x2_mul(a, b); }
CIS_TARGET vd and_(vd a, vd b) { return wasm_v128_and(a, b); }
CIS_TARGET vd or_(vd a, vd b) { return wasm_v128_or(a, b); }
CIS_TARGET vd xor_(vd a, vd b) { return wasm_v128_xor(a, b); }
CIS_TARGET vd andnot(vd a, vd b) { return wasm_v128_andnot(b, a); }  // ~a & b
CIS_TARGET vd flip_sign(vd a, vd b) { return xor_(a, and_(b, set(-0.0))); }
CIS_TARGET vd or_sign(vd a, vd b) { return or_(a, and_(b, set(-0.0))); }
CIS_TARGET vm lt(vd a, vd b) { return wasm_f64x2_lt(a, b); }
CIS_TARGET vm le(vd a, vd b) { return wasm_f64x2_le(a, b); }
CIS_TARGET vm ge(vd a, vd b) { return wasm_f64x2_ge(a, b); }
CIS_TARGET vm lt_where(vm m, vd a, vd b) { return and_(m, lt(a, b)); }
CIS_TARGET vd select(vm m, vd if_set, vd if_clear) {
  return wasm_v128_bitselect(if_set, if_clear, m);
}
CIS_TARGET vm mask_or(vm a, vm b) { return or_(a, b); }
CIS_TARGET vm mask_xor(vm a, vm b) { return xor_(a, b); }
CIS_TARGET vm mask_andnot(vm a, vm b) { return andnot(a, b); }
CIS_TARGET vd negate_where(vm m, vd a) { return xor_(a, and_(m, set(-0.0))); }
CIS_TARGET vd add_where(vm m, vd if_clear, vd a, vd b) { return select(m, add(a, b), if_clear); }
CIS_TARGET unsigned mask_bits(vm m) { return wasm_i64x2_bitmask(m); }
CIS_TARGET vi as_bits(vd a) { return a; }
CIS_TARGET vm bit_set(vi a, std::uint64_t bit) {
  const vi b = wasm_i64x2_splat(static_cast<std::int64_t>(bit));
  return wasm_i64x2_eq(and_(a, b), b);
}

CIS_TARGET table_rows look_up(const double* u) {
  const double* row0 = table_row_at(u[0]);
  const double* row1 = table_row_at(u[1]);
  const vd s0 = load(row0), s1 = load(row1), c0 = load(row0 + 2), c1 = load(row1 + 2);
  return {wasm_i64x2_shuffle(s0, s1, 0, 2), wasm_i64x2_shuffle(s0, s1, 1, 3),
          wasm_i64x2_shuffle(c0, c1, 0, 2), wasm_i64x2_shuffle(c0, c1, 1, 3)};
}

#if CIS_WASM_FUSED
// The compiler writes the proposal's early f64x2.fma (0xfd 0xcf 0x01), which
// browsers refuse; web/fuse.js lists each site, where the page writes
// f64x2.relaxed_madd, a b + c, if the browser takes it.
CIS_TARGET vd fmadd(vd a, vd b, vd c) { return __builtin_wasm_fma_f64x2(a, b, c); }
#else
// Lane by lane, out of line: rare, and large.
__attribute__((noinline)) inline vd fmadd_by_lane(vd a, vd b, vd c) {
  double x[lanes], y[lanes], z[lanes];
  store(x, a);
  store(y, b);
  store(z, c);
  for (int i = 0; i < lanes; ++i) z[i] = emulated_fma(x[i], y[i], z[i]);
  return load(z);
}

// a b + c rounded once per lane (fused.hpp's emulation, two lanes at once).
CIS_TARGET vd fmadd(vd a, vd b, vd c) {
  const vd uh = mul(a, b);
  const vd au = wasm_f64x2_abs(uh), high = set(0x1p900);
  const vm fits = and_(and_(ge(au, set(0x1p-900)), le(au, high)),
                       and_(le(wasm_f64x2_abs(c), high),
                            and_(le(wasm_f64x2_abs(a), high), le(wasm_f64x2_abs(b), high))));
  if (!wasm_i64x2_all_true(fits)) return fmadd_by_lane(a, b, c);
  const vd split = set(0x1p27 + 1.0);
  const vd pa = mul(split, a), pb = mul(split, b);
  const vd ah = sub(pa, sub(pa, a)), al = sub(a, ah);
  const vd bh = sub(pb, sub(pb, b)), bl = sub(b, bh);
  const vd ul = add(add(add(sub(mul(ah, bh), uh), mul(ah, bl)), mul(al, bh)), mul(al, bl));
  const vd th = add(c, uh);
  const vd cv = sub(th, c);
  const vd tl = add(sub(c, sub(th, cv)), sub(uh, cv));
  const vd v = add(tl, ul);
  const vd vv = sub(v, tl);
  const vd error = add(sub(tl, sub(v, vv)), sub(ul, vv));
  // Round to odd: an inexact even v one step towards the exact sum, up in
  // magnitude where v and the error share a sign.
  const vm inexact_even = and_(wasm_f64x2_ne(error, zero_vector()),
                               wasm_i64x2_eq(and_(v, wasm_i64x2_splat(1)), wasm_i64x2_splat(0)));
  const vm same_sign = wasm_i64x2_ge(xor_(v, error), wasm_i64x2_splat(0));
  const vi step = select(same_sign, wasm_i64x2_splat(1), wasm_i64x2_splat(-1));
  const vd odd = wasm_i64x2_add(v, and_(inexact_even, step));
  return add(th, odd);
}
#endif
CIS_TARGET vd fnmadd(vd a, vd b, vd c) { return fmadd(xor_(a, set(-0.0)), b, c); }
CIS_TARGET vd fmsub(vd a, vd b, vd c) { return fmadd(a, b, xor_(c, set(-0.0))); }
