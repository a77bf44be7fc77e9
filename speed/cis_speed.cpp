// Throughput of the phasor kernel's paths against the system library's
// sincos and std::exp(complex), in nanoseconds per element.
//
//   cmake --preset speed && cmake --build --preset speed
//   build/speed/speed/cis_speed --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
//
// Interleaved repetitions keep a busy machine from favouring one path; the
// counter "per_element" (seconds, so "2.5n" is 2.5 ns) is the figure to
// compare: one phase to (cos, sin), or for the fused sums one phasor added.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "bench.hpp"
#include "cis.hpp"
#include "paths.hpp"

namespace {

// The row of the kernel's path table named so, where this CPU runs it.
const cis_detail::path* runnable(const char* name) {
  const cis_detail::path* p = cis_detail::find_path(name);
  return p && p->supported() ? p : nullptr;
}

// Uniform phases over the programs' range, or a mix in which a quarter are
// small (|theta| < 3, the branches short of the reduction).
std::vector<double> phases(std::size_t n, bool with_small) {
  std::vector<double> v(n);
  std::uint64_t state = 12345;
  for (std::size_t k = 0; k < n; ++k) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const double u = static_cast<double>(state >> 11) * 0x1p-53 - 0.5;
    v[k] = with_small && k % 4 == 0 ? 6 * u : 2200 * u;
  }
  return v;
}

void finish(benchmark::State& state, std::size_t n) {
  state.counters["per_element"] =
      benchmark::Counter(static_cast<double>(state.iterations() * n),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void run_path(benchmark::State& state, const char* name, bool with_small) {
  const cis_detail::path* p = runnable(name);
  if (!p) {
    state.SkipWithError("not supported on this CPU");
    return;
  }
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<double> theta = phases(n, with_small);
  std::vector<double> c(n), s(n);
  for (auto _ : state) {
    p->evaluate(theta.data(), c.data(), s.data(), n);
    benchmark::DoNotOptimize(c.data());
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  finish(state, n);
}

void run_sincos(benchmark::State& state, bool with_small) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<double> theta = phases(n, with_small);
  std::vector<double> c(n), s(n);
  for (auto _ : state) {
    for (std::size_t k = 0; k < n; ++k) sincos(theta[k], &s[k], &c[k]);
    benchmark::DoNotOptimize(c.data());
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  finish(state, n);
}

void run_public(benchmark::State& state, bool with_small) {
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<double> theta = phases(n, with_small);
  std::vector<double> c(n), s(n);
  for (auto _ : state) {
    cis(theta.data(), c.data(), s.data(), n);
    benchmark::DoNotOptimize(c.data());
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  finish(state, n);
}

// Blocks of broad_duogap: the terms R + Qu and R + Ql of one first-slit
// point, the offsets U and W of eight screen points, for a spread of (m, n)
// and screen blocks.
struct sums_block {
  double upper[source_samples], lower[source_samples];
  double U[cis_block_size], W[cis_block_size];
};

std::vector<sums_block> broad_duogap_blocks() {
  std::vector<sums_block> blocks;
  for (int first = 0; first < 1000; first += 248)
    for (int m = 3; m < pair_samples; m += 24)
      for (int n = 5; n < entrance_samples; n += 30) {
        sums_block b;
        const double y = pair_point(m), s = entrance_point(n);
        for (int l = 0; l < cis_block_size; ++l) {
          const double x = screen_point(first + l, 1000, 4);
          b.U[l] = hop_phase(y, x, screen_distance);
          b.W[l] = hop_phase(-y, x, screen_distance);
        }
        for (int j = 0; j < source_samples; ++j) {
          const double R = hop_phase(source_point(j), s, source_distance);
          b.upper[j] = R + hop_phase(s, y, pair_distance);
          b.lower[j] = R + hop_phase(s, -y, pair_distance);
        }
        blocks.push_back(b);
      }
  return blocks;
}

// cis() on the same phases, (R + Qu) + U, as the programs formed them.
std::vector<double> broad_duogap_phases() {
  std::vector<double> v;
  for (const sums_block& b : broad_duogap_blocks())
    for (int j = 0; j < source_samples; ++j)
      for (int l = 0; l < cis_block_size; ++l) {
        v.push_back(b.upper[j] + b.U[l]);
        v.push_back(b.lower[j] + b.W[l]);
      }
  return v;
}

void run_path_program(benchmark::State& state, const char* name) {
  const cis_detail::path* p = runnable(name);
  if (!p) {
    state.SkipWithError("not supported on this CPU");
    return;
  }
  const std::vector<double> theta = broad_duogap_phases();
  const std::size_t n = theta.size();
  std::vector<double> c(n), s(n);
  for (auto _ : state) {
    p->evaluate(theta.data(), c.data(), s.data(), n);
    benchmark::DoNotOptimize(c.data());
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  finish(state, n);
}

void run_sums(benchmark::State& state, const char* name, bool pairs) {
  const cis_detail::path* p = runnable(name);
  if (!p) {
    state.SkipWithError("not supported on this CPU");
    return;
  }
  const std::vector<sums_block> blocks = broad_duogap_blocks();
  double re[cis_block_size] = {}, im[cis_block_size] = {};
  for (auto _ : state) {
    for (const sums_block& b : blocks)
      if (pairs)
        p->add_pairs(b.upper, b.lower, source_samples, b.U, b.W, 1.0, re, im);
      else
        p->add(b.upper, source_samples, b.U, 1.0, re, im);
    benchmark::DoNotOptimize(re);
    benchmark::DoNotOptimize(im);
  }
  finish(state, blocks.size() * source_samples * cis_block_size * (pairs ? 2 : 1));
}

// The system path is std::exp(complex) element by element.
BENCHMARK_CAPTURE(run_sincos, sincos_uniform, false)->Arg(1600);
BENCHMARK_CAPTURE(run_path, cexp_uniform, "system", false)->Arg(1600);
BENCHMARK_CAPTURE(run_path, avx2_uniform, "avx2", false)->Arg(1600);
BENCHMARK_CAPTURE(run_path, avx512_uniform, "avx512", false)->Arg(1600);
BENCHMARK_CAPTURE(run_public, cis_uniform, false)->Arg(1600)->Arg(800)->Arg(37);
BENCHMARK_CAPTURE(run_sincos, sincos_mixed, true)->Arg(1600);
BENCHMARK_CAPTURE(run_path, cexp_mixed, "system", true)->Arg(1600);
BENCHMARK_CAPTURE(run_path, avx2_mixed, "avx2", true)->Arg(1600);
BENCHMARK_CAPTURE(run_path, avx512_mixed, "avx512", true)->Arg(1600);
BENCHMARK_CAPTURE(run_path_program, avx2_broad_duogap, "avx2");
BENCHMARK_CAPTURE(run_path_program, avx512_broad_duogap, "avx512");
BENCHMARK_CAPTURE(run_sums, pairs_system, "system", true);
BENCHMARK_CAPTURE(run_sums, pairs_avx2, "avx2", true);
BENCHMARK_CAPTURE(run_sums, pairs_avx512, "avx512", true);
BENCHMARK_CAPTURE(run_sums, single_avx2, "avx2", false);
BENCHMARK_CAPTURE(run_sums, single_avx512, "avx512", false);

}  // namespace

BENCHMARK_MAIN();
