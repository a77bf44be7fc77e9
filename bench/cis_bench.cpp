// Throughput of the phasor kernel's paths against the system library's
// sincos and std::exp(complex), in nanoseconds per element.
//
//   cmake -B build-bench -DSLITS_BUILD_BENCHMARKS=ON && cmake --build build-bench
//   build-bench/bench/cis_bench --benchmark_repetitions=10
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
//
// Interleaved repetitions keep a busy machine from favouring one path; the
// counter "per_element" (seconds, so "2.5n" is 2.5 ns) is the figure to
// compare.
#include <benchmark/benchmark.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

#include "cis.hpp"
#include "cis_testing.hpp"

namespace {

using cis_testing::path;

// Uniform phases over the programs' range, or a mix in which a quarter are
// small (|theta| < 3, the branches short of the reduction).
std::vector<double> phases(std::size_t n, bool with_small)
{
    std::vector<double> v(n);
    std::uint64_t state = 12345;
    for (std::size_t k = 0; k < n; ++k) {
        state = state * 6364136223846793005u + 1442695040888963407u;
        const double u = static_cast<double>(state >> 11) * 0x1p-53 - 0.5;
        v[k] = with_small && k % 4 == 0 ? 6 * u : 2200 * u;
    }
    return v;
}

void finish(benchmark::State& state, std::size_t n)
{
    state.counters["per_element"] =
        benchmark::Counter(static_cast<double>(state.iterations() * n),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void run_path(benchmark::State& state, path p, bool with_small)
{
    if (!cis_testing::supported(p)) {
        state.SkipWithError("not supported on this CPU");
        return;
    }
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::vector<double> theta = phases(n, with_small);
    std::vector<double> c(n), s(n);
    for (auto _ : state) {
        cis_testing::run(p, theta.data(), c.data(), s.data(), n);
        benchmark::DoNotOptimize(c.data());
        benchmark::DoNotOptimize(s.data());
        benchmark::ClobberMemory();
    }
    finish(state, n);
}

void run_sincos(benchmark::State& state, bool with_small)
{
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

void run_public(benchmark::State& state, bool with_small)
{
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

// path::system is std::exp(complex) element by element.
BENCHMARK_CAPTURE(run_sincos, sincos_uniform, false)->Arg(1600);
BENCHMARK_CAPTURE(run_path, cexp_uniform, path::system, false)->Arg(1600);
BENCHMARK_CAPTURE(run_path, avx2_uniform, path::avx2, false)->Arg(1600);
BENCHMARK_CAPTURE(run_path, avx512_uniform, path::avx512, false)->Arg(1600);
BENCHMARK_CAPTURE(run_public, cis_uniform, false)->Arg(1600)->Arg(800)->Arg(37);
BENCHMARK_CAPTURE(run_sincos, sincos_mixed, true)->Arg(1600);
BENCHMARK_CAPTURE(run_path, cexp_mixed, path::system, true)->Arg(1600);
BENCHMARK_CAPTURE(run_path, avx2_mixed, path::avx2, true)->Arg(1600);
BENCHMARK_CAPTURE(run_path, avx512_mixed, path::avx512, true)->Arg(1600);

}  // namespace

BENCHMARK_MAIN();
