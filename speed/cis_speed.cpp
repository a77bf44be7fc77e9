// Throughput of the phasor kernel's paths against the system library and
// SLEEF, in nanoseconds per phasor, on the calls the programs make.
//
//   cmake --preset speed && cmake --build --preset speed
//   build/speed/speed/cis_speed --benchmark_repetitions=5
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
//
// The program benchmarks replay broad_duogap's and conv_duogap's own calls to
// cis_add_pairs for a contiguous share of their screen (blocks_timed blocks
// of eight points from the middle, 16 million phasors per block), building
// each call's phases as the program does: ten thousand distinct calls per
// block, far beyond what a branch predictor learns. Counters: "per_phasor"
// (seconds, so "2.5n" is 2.5 ns) for one cos + sin added in; "of_bound",
// for the vector path that runs where its bound is known, the issue bound's
// time (bound_cycles_per_vector at the measured clock) over the measured CPU
// time; for SLEEF, "differs", the share of
// phasors whose cos or sin is not the C library's. The context names the CPU
// and the core clock measured by a chain of dependent integer adds.
// Interleaved repetitions keep a busy machine from favouring one path.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <slits/cis.hpp>
#include "bench.hpp"
#include "paths.hpp"

#if SLITS_HAVE_SLEEF
#include "sleef_sums.hpp"
#endif

namespace {

// ---------------------------------------------------------------------------
// The machine.

std::string cpuinfo_field(const std::string& key) {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0 && line.find(':') != std::string::npos)
      return line.substr(line.find(':') + 2);
  return "unknown";
}

// The core clock in GHz: one add per cycle along a dependent chain of 10^8,
// timed in this thread's CPU time (a busy machine preempts, it does not
// slow the clock), best of five.
double measured_clock_ghz() {
#if defined(__x86_64__)
  double best = 0;
  for (int run = 0; run < 5; ++run) {
    std::uint64_t x = 0;
    timespec start, end;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
    for (int i = 0; i < 10'000'000; ++i)
      asm volatile(
          "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\t"
          "add $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0\n\tadd $1, %0"
          : "+r"(x));
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
    const double t = static_cast<double>(end.tv_sec - start.tv_sec) +
                     static_cast<double>(end.tv_nsec - start.tv_nsec) * 1e-9;
    best = std::max(best, 1e8 / t * 1e-9);
  }
  return best;
#else
  return 0;
#endif
}

const double clock_ghz = measured_clock_ghz();

// The issue bound of a vector path in cycles per vector of phasors, for the
// CPU it was derived on, else 0.
//
// AVX2 on AMD Zen 1 (family 23, models below 0x30): four 128-bit FP pipes,
// so a 256-bit operation takes a slot in two of them; multiplies, fused
// multiply-adds, compares and blends issue on pipes 0 and 1 only, adds on
// pipes 2 and 3, logic, shuffles and moves on any. A 256-bit fused
// multiply-add takes two more slots besides (its third operand): measured
// here, eight independent ones take 8 cycles alone, 12 with eight adds or
// eight xors beside them, 16 with sixteen xors, where eight multiplies and
// eight adds take 8. Two 128-bit loads and one 128-bit store a cycle: eight
// 256-bit loads take 8 cycles, four 256-bit stores 8.
//
// Counted in the disassembly of cis_detail::avx2::add_pairs_entry
// (objdump -d), per vector of the Cody-Waite path that nearly all of the
// programs' phasors take: a quarter of the check and of the four-vector
// reduction block of a term, one evaluation, the Taylor series in a quarter
// of the vectors, half a pair's adds into the accumulators. In 128-bit
// slots: pipes 0-1 70.5 (72.5 with a weight), of which 23.5 fused
// multiply-adds; pipes 2-3 27; any pipe 73; loads 62.5; stores 19.75. In
// cycles: pipes 0-1 35.3, pipes 2-3 13.5, all four pipes
// (70.5 + 27 + 73 + 2 * 23.5) / 4 = 54.4 (54.9 with a weight), loads 31.3,
// stores 19.8. The bound is the largest, the FP pipes as a whole: 54.4
// cycles per vector of four phasors. The counts change with the code:
// recount after a change to the kernel.
// The AVX-512 path has no bound here: no CPU it was measured on.
double bound_cycles_per_vector(const char* path, bool weighted) {
  static const bool zen1 = cpuinfo_field("vendor_id") == "AuthenticAMD" &&
                           cpuinfo_field("cpu family") == "23" &&
                           std::stoi(cpuinfo_field("model")) < 0x30;
  if (!zen1 || std::string(path) != "avx2") return 0;
  const double p01 = weighted ? 72.5 : 70.5, fma = 23.5, p23 = 27, any = 73;
  const double loads = 62.5, stores = 19.75;
  return std::max({p01 / 2, p23 / 2, (p01 + p23 + any + 2 * fma) / 4, loads / 2, stores});
}

const cis_detail::path* runnable(const char* name) {
  const cis_detail::path* p = cis_detail::find_path(name);
  return p && p->supported() ? p : nullptr;
}

double thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

void per_phasor(benchmark::State& state, double phasors) {
  state.counters["per_phasor"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * phasors,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// of_bound: the bound's time over the thread's CPU time for the iterations.
void of_bound(benchmark::State& state, double phasors, double seconds, const char* path, int lanes,
              bool weighted) {
  const double cycles = bound_cycles_per_vector(path, weighted);
  if (cycles <= 0 || clock_ghz <= 0) return;
  const double bound_seconds =
      static_cast<double>(state.iterations()) * phasors * cycles / lanes / clock_ghz * 1e-9;
  state.counters["of_bound"] = bound_seconds / seconds;
}

// ---------------------------------------------------------------------------
// The programs' calls. Each replays the program's loops for screen blocks
// [first_block, first_block + blocks) and hands every call's arguments to
// sum(upper, lower, terms, U, W, weight, re, im).

constexpr int screen_blocks = (bench_screen_count + cis_block_size - 1) / cis_block_size;
constexpr int blocks_timed = 2;
constexpr int first_block = (screen_blocks - blocks_timed) / 2;

double screen_x(int block, int l) {
  return screen_point(block * cis_block_size + l, bench_screen_count, double_screen_max);
}

template <class Sum>
void broad_duogap_calls(Sum sum) {
  static const std::vector<double> R = [] {  // [n][j]
    std::vector<double> v;
    for (int n = 0; n < entrance_samples; ++n)
      for (int j = 0; j < source_samples; ++j)
        v.push_back(hop_phase(source_point(j), entrance_point(n), source_distance));
    return v;
  }();
  std::vector<double> upper(source_samples), lower(source_samples);
  for (int block = first_block; block < first_block + blocks_timed; ++block) {
    double re[cis_block_size] = {}, im[cis_block_size] = {};
    for (int m = 0; m < pair_samples; ++m) {
      const double y = pair_point(m);
      double U[cis_block_size], W[cis_block_size];
      for (int l = 0; l < cis_block_size; ++l) {
        U[l] = hop_phase(y, screen_x(block, l), screen_distance);
        W[l] = hop_phase(-y, screen_x(block, l), screen_distance);
      }
      for (int n = 0; n < entrance_samples; ++n) {
        const double s = entrance_point(n);
        const double Qu = hop_phase(s, y, pair_distance);
        const double Ql = hop_phase(s, -y, pair_distance);
        for (int j = 0; j < source_samples; ++j) {
          upper[j] = R[n * source_samples + j] + Qu;
          lower[j] = R[n * source_samples + j] + Ql;
        }
        sum(upper.data(), lower.data(), source_samples, U, W, 1.0, re, im);
      }
    }
    benchmark::DoNotOptimize(re);
    benchmark::DoNotOptimize(im);
  }
}

template <class Sum>
void conv_duogap_calls(Sum sum) {
  constexpr double dd = source_width / double(source_samples);
  static const std::vector<double> source_hop = [] {  // [j][n]
    std::vector<double> v;
    for (int j = 0; j < source_samples; ++j)
      for (int n = 0; n < entrance_samples; ++n)
        v.push_back(led_hop_in((sample_offset(j) * dd) + ((-source_width) / 2.0), entrance_point(n),
                               source_distance));
    return v;
  }();
  static const std::vector<double> pair_hop = [] {  // [m][sign][n]
    std::vector<double> v;
    for (int m = 0; m < pair_samples; ++m)
      for (double side : {1.0, -1.0})
        for (int n = 0; n < entrance_samples; ++n)
          v.push_back(led_hop_out(entrance_point(n), side * pair_point(m), pair_distance));
    return v;
  }();
  std::vector<double> U(pair_samples * cis_block_size), W(pair_samples * cis_block_size);
  std::vector<double> Qu(entrance_samples), Ql(entrance_samples);
  for (int block = first_block; block < first_block + blocks_timed; ++block) {
    for (int m = 0; m < pair_samples; ++m)
      for (int l = 0; l < cis_block_size; ++l) {
        U[m * cis_block_size + l] = hop_phase(pair_point(m), screen_x(block, l), screen_distance);
        W[m * cis_block_size + l] = hop_phase(-pair_point(m), screen_x(block, l), screen_distance);
      }
    for (int j = 0; j < source_samples; ++j) {
      const double weight = LED((sample_offset(j) * dd) + ((-source_width) / 2.0)) * dd;
      double re[cis_block_size] = {}, im[cis_block_size] = {};
      for (int m = 0; m < pair_samples; ++m) {
        for (int n = 0; n < entrance_samples; ++n) {
          const double s = entrance_point(n);
          const double* hop = &pair_hop[(2 * m) * entrance_samples];
          Qu[n] = led_phase(source_hop[j * entrance_samples + n], hop[n], s);
          Ql[n] = led_phase(source_hop[j * entrance_samples + n], hop[entrance_samples + n], s);
        }
        sum(Qu.data(), Ql.data(), entrance_samples, &U[m * cis_block_size], &W[m * cis_block_size],
            weight, re, im);
      }
      benchmark::DoNotOptimize(re);
      benchmark::DoNotOptimize(im);
    }
  }
}

// Phasors per pass over the share: both programs make the same count.
constexpr double share_phasors =
    2.0 * blocks_timed * pair_samples * entrance_samples * source_samples * cis_block_size;

template <class Sum>
void program_calls(bool conv, Sum sum) {
  if (conv)
    conv_duogap_calls(sum);
  else
    broad_duogap_calls(sum);
}

void run_program(benchmark::State& state, bool conv, const char* name, int lanes) {
  const cis_detail::path* p = runnable(name);
  if (!p) {
    state.SkipWithError("not supported on this CPU");
    return;
  }
  const double start = thread_seconds();
  for (auto _ : state) program_calls(conv, p->add_pairs);
  const double seconds = thread_seconds() - start;
  per_phasor(state, share_phasors);
  if (p->vector) of_bound(state, share_phasors, seconds, name, lanes, conv);
}

// The sums through the C library's sincos, as a user would write them.
void run_program_sincos(benchmark::State& state, bool conv) {
  for (auto _ : state)
    program_calls(conv,
                  [](const double* upper, const double* lower, std::size_t terms, const double* U,
                     const double* W, double weight, double* re, double* im) {
                    for (std::size_t t = 0; t < terms; ++t)
                      for (int l = 0; l < cis_block_size; ++l) {
                        double cu, su, cl, sl;
                        sincos(upper[t] + U[l], &su, &cu);
                        sincos(lower[t] + W[l], &sl, &cl);
                        re[l] = re[l] + weight * (cu + cl);
                        im[l] = im[l] + weight * (su + sl);
                      }
                  });
  per_phasor(state, share_phasors);
}

// ---------------------------------------------------------------------------
// SLEEF's vector sincos in the same sums, at the widths this CPU runs, each
// at its 1.0-ulp and 3.5-ulp accuracy.

#if SLITS_HAVE_SLEEF
// The share of the phasors of the program's calls whose cos or sin differs
// from the C library's sincos, counted once per variant and program.
double sleef_differs(const sleef_variant& v, bool conv) {
  std::size_t differ = 0, all = 0;
  program_calls(conv, [&](const double* upper, const double* lower, std::size_t terms,
                          const double* U, const double* W, double, double*, double*) {
    double theta[sleef_block], c[sleef_block], s[sleef_block];
    for (std::size_t t = 0; t < terms; ++t)
      for (int side = 0; side < 2; ++side) {
        for (int l = 0; l < sleef_block; ++l) theta[l] = side ? lower[t] + W[l] : upper[t] + U[l];
        v.evaluate(theta, c, s);
        for (int l = 0; l < sleef_block; ++l) {
          double rs, rc;
          sincos(theta[l], &rs, &rc);
          differ += std::bit_cast<std::uint64_t>(c[l]) != std::bit_cast<std::uint64_t>(rc) ||
                    std::bit_cast<std::uint64_t>(s[l]) != std::bit_cast<std::uint64_t>(rs);
          ++all;
        }
      }
  });
  return static_cast<double>(differ) / static_cast<double>(all);
}

bool avx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
bool avx512() { return __builtin_cpu_supports("avx512f"); }

void run_program_sleef(benchmark::State& state, bool conv, const sleef_variant* v,
                       bool (*supported)()) {
  if (!supported()) {
    state.SkipWithError("not supported on this CPU");
    return;
  }
  for (auto _ : state) program_calls(conv, v->add_pairs);
  per_phasor(state, share_phasors);
  static std::map<std::pair<const sleef_variant*, bool>, double> differs;
  if (!differs.contains({v, conv})) differs[{v, conv}] = sleef_differs(*v, conv);
  state.counters["differs"] = differs[{v, conv}];
}
#endif

// ---------------------------------------------------------------------------
// Synthetic: cis() on uniform phases over the programs' range, or a mix in
// which a quarter are small (|theta| < 3, the branches short of the
// reduction). Not the programs' data; kept to compare with older figures.

std::vector<double> synthetic_phases(std::size_t n, bool with_small) {
  std::vector<double> v(n);
  std::uint64_t state = 12345;
  for (std::size_t k = 0; k < n; ++k) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const double u = static_cast<double>(state >> 11) * 0x1p-53 - 0.5;
    v[k] = with_small && k % 4 == 0 ? 6 * u : 2200 * u;
  }
  return v;
}

void run_synthetic(benchmark::State& state, const char* name, bool with_small) {
  const cis_detail::path* p = runnable(name);
  if (!p) {
    state.SkipWithError("not supported on this CPU");
    return;
  }
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<double> theta = synthetic_phases(n, with_small);
  std::vector<double> c(n), s(n);
  for (auto _ : state) {
    p->evaluate(theta.data(), c.data(), s.data(), n);
    benchmark::DoNotOptimize(c.data());
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  per_phasor(state, static_cast<double>(n));
}

// The programs' calls: the system path is std::exp(complex) per phasor, as
// the straightforward programs call it.
BENCHMARK_CAPTURE(run_program, broad_duogap_system, false, "system", 1);
BENCHMARK_CAPTURE(run_program_sincos, broad_duogap_sincos, false);
BENCHMARK_CAPTURE(run_program, broad_duogap_avx2, false, "avx2", 4);
BENCHMARK_CAPTURE(run_program, broad_duogap_avx512, false, "avx512", 8);
BENCHMARK_CAPTURE(run_program, conv_duogap_system, true, "system", 1);
BENCHMARK_CAPTURE(run_program_sincos, conv_duogap_sincos, true);
BENCHMARK_CAPTURE(run_program, conv_duogap_avx2, true, "avx2", 4);
BENCHMARK_CAPTURE(run_program, conv_duogap_avx512, true, "avx512", 8);
#if SLITS_HAVE_SLEEF
BENCHMARK_CAPTURE(run_program_sleef, broad_duogap_sleef_avx2_u10, false, &sleef_avx2_u10, avx2);
BENCHMARK_CAPTURE(run_program_sleef, broad_duogap_sleef_avx2_u35, false, &sleef_avx2_u35, avx2);
BENCHMARK_CAPTURE(run_program_sleef, broad_duogap_sleef_avx512_u10, false, &sleef_avx512_u10,
                  avx512);
BENCHMARK_CAPTURE(run_program_sleef, broad_duogap_sleef_avx512_u35, false, &sleef_avx512_u35,
                  avx512);
BENCHMARK_CAPTURE(run_program_sleef, conv_duogap_sleef_avx2_u10, true, &sleef_avx2_u10, avx2);
BENCHMARK_CAPTURE(run_program_sleef, conv_duogap_sleef_avx2_u35, true, &sleef_avx2_u35, avx2);
BENCHMARK_CAPTURE(run_program_sleef, conv_duogap_sleef_avx512_u10, true, &sleef_avx512_u10, avx512);
BENCHMARK_CAPTURE(run_program_sleef, conv_duogap_sleef_avx512_u35, true, &sleef_avx512_u35, avx512);
#endif
BENCHMARK_CAPTURE(run_synthetic, synthetic_uniform_avx2, "avx2", false)->Arg(1600);
BENCHMARK_CAPTURE(run_synthetic, synthetic_uniform_avx512, "avx512", false)->Arg(1600);
BENCHMARK_CAPTURE(run_synthetic, synthetic_mixed_avx2, "avx2", true)->Arg(1600);
BENCHMARK_CAPTURE(run_synthetic, synthetic_mixed_avx512, "avx512", true)->Arg(1600);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("cpu_model", cpuinfo_field("model name") + ", family " +
                                               cpuinfo_field("cpu family") + " model " +
                                               cpuinfo_field("model"));
  benchmark::AddCustomContext("core_clock_ghz_measured", std::to_string(clock_ghz));
  benchmark::AddCustomContext("cis_selected_path", cis_detail::selected().name);
#if !SLITS_HAVE_SLEEF
  benchmark::AddCustomContext("sleef", "not found at configure time: not benchmarked");
#endif
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
