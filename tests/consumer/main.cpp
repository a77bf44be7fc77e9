// A program built against an installed kernel: its phasors through cis()
// and cis_add() against std::exp, bit for bit. Exit status 1 on any
// difference.
#include <slits/cis.hpp>

#include <bit>
#include <complex>
#include <cstdint>
#include <cstdio>

int main(int argc, char**) {
  constexpr int n = 4 * cis_block_size;
  double theta[n], c[n], s[n], zero[cis_block_size] = {};
  // Both signs, small and large; from argc, so that no compiler folds std::exp.
  for (int k = 0; k < n; ++k) theta[k] = (k - 13) * (argc + 0.7071) * (k % 2 ? 97.3 : 0.021);
  cis(theta, c, s, n);
  int wrong = 0;
  for (int k = 0; k < n; ++k) {
    // One term with weight 1 on accumulators of -0.0 adds the phasor itself.
    double re[cis_block_size], im[cis_block_size];
    for (int l = 0; l < cis_block_size; ++l) re[l] = im[l] = -0.0;
    cis_add(theta + k, 1, zero, 1.0, re, im);
    const std::complex<double> z = std::exp(std::complex<double>(0.0, theta[k]));
    for (double got : {c[k], re[0]})
      wrong += std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(z.real());
    for (double got : {s[k], im[0]})
      wrong += std::bit_cast<std::uint64_t>(got) != std::bit_cast<std::uint64_t>(z.imag());
  }
  std::printf("%d phasors, %d values differ\n", n, wrong);
  return wrong != 0;
}
