// exp and pow exactly as x86-64 glibc 2.36 computes them on CPUs with FMA
// and AVX2 (__exp_fma, __pow_fma), and its hypot (cabs, which std::abs of a
// complex number calls): the same bits on any platform. LED and the printed
// moduli use them when built with SLITS_LIBM_TWINS, for targets whose own
// libc rounds differently (the WebAssembly build's exp and pow differ on
// about one argument of the LED profile in a thousand). Twins, as the
// programs' straightforward twins: other code, the same output bits. errno
// and the exception flags are not set.
#pragma once

namespace libm_twin {

double exp(double x);
double pow(double x, double y);
double hypot(double x, double y);

}  // namespace libm_twin
