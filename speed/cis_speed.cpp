// Throughput of the phasor kernel's paths against the system library and
// SLEEF, in nanoseconds per phasor, on the programs' own loops.
//
//   cmake --preset speed && cmake --build --preset speed
//   build/speed/speed/cis_speed --benchmark_repetitions=5
//       --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
//
// A program benchmark, "<program>/<path>", runs the program's own loop
// (pattern_loop, made once for the default bench: its tables stay outside
// the timing) on blocks of eight screen points from the middle of its
// screen, about 16 million phasors or its whole screen, with the kernel's
// public entry points dispatching through one path (use_path): each path
// of the kernel, the C library's sincos as a user would call it, and for the
// pair sums of the heavy programs (1e8 exponentials or more) SLEEF's vector
// sincos.
// Counters: "per_phasor" (seconds, so "2.5n" is 2.5 ns) for one phasor added
// in, "cycles" the same in cycles of the measured core clock; for SLEEF, "differs",
// the share of phasors whose cos or sin is not the C library's. The context
// names the CPU and the core clock, measured by a chain of dependent integer
// adds. Interleaved repetitions keep a busy machine from favouring one path.
// docs/performance.md has the issue bound of the AVX2 path on Zen 1.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <ctime>
#include <deque>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <slits/cis.hpp>
#include "bench.hpp"
#include "paths.hpp"
#include "program_run.hpp"

#if SLITS_HAVE_SLEEF
#include "sleef_sums.hpp"
#endif

namespace {

using cis_detail::path;

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

double thread_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Counters of a run that took `seconds` of this thread's CPU time.
void per_phasor(benchmark::State& state, double phasors, double seconds) {
  const double all = static_cast<double>(state.iterations()) * phasors;
  state.counters["per_phasor"] =
      benchmark::Counter(all, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (clock_ghz > 0) state.counters["cycles"] = seconds * clock_ghz * 1e9 / all;
}

// ---------------------------------------------------------------------------
// The programs' loops.

void library_sincos(double theta, double& cos_theta, double& sin_theta) {
  sincos(theta, &sin_theta, &cos_theta);
}
constexpr path sincos_path = cis_detail::element_path<library_sincos>("sincos");

// The blocks of a program's screen that one iteration computes.
struct share {
  block_loop loop;
  std::vector<double> x;  // [block][l]
  double phasors;         // per pass over the share
};

const share& share_of(program_id id) {
  static std::map<program_id, share> shares;
  if (auto it = shares.find(id); it != shares.end()) return it->second;
  const bench& b = default_bench();
  const program_info& p = program(id);
  const int count = b.screen_points(p);
  const int screen_blocks = (count + block_size - 1) / block_size;
  const double per_block = b.cost(p) / count * block_size;
  const int blocks = std::clamp(int(std::ceil(0x1p24 / per_block)), 1, screen_blocks - 1);
  const int first = (screen_blocks - blocks) / 2;
  share s{pattern_loop(id)(b), {}, blocks * per_block};
  for (int i = first * block_size; i < (first + blocks) * block_size; ++i)
    s.x.push_back(screen_point(i, count, b.screen_max(p)));
  return shares.emplace(id, std::move(s)).first->second;
}

void run_share(const share& s) {
  double value[block_size];
  for (std::size_t at = 0; at < s.x.size(); at += block_size) {
    s.loop(&s.x[at], value);
    benchmark::DoNotOptimize(value);
  }
}

void run_loop(benchmark::State& state, program_id id, const path* p) {
  if (!p->supported()) {
    state.SkipWithError("not supported on this CPU");
    return;
  }
  const share& s = share_of(id);
  const path& chosen = cis_detail::selected();
  cis_detail::use_path(*p);
  const double start = thread_seconds();
  for (auto _ : state) run_share(s);
  const double seconds = thread_seconds() - start;
  cis_detail::use_path(chosen);
  per_phasor(state, s.phasors, seconds);
}

// ---------------------------------------------------------------------------
// SLEEF's vector sincos in the pair sums, at the widths this CPU runs, each
// at its 1.0-ulp and 3.5-ulp accuracy; the programs' other calls stay the
// system library's.

#if SLITS_HAVE_SLEEF
bool avx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }
bool avx512() { return __builtin_cpu_supports("avx512f"); }

// The variant whose phasors count_differences compares, and its counts.
const sleef_variant* counted = nullptr;
std::size_t differ = 0, all = 0;

void count_differences(const double* upper, const double* lower, std::size_t terms, const double* U,
                       const double* W, double, double*, double*) {
  double theta[sleef_block], c[sleef_block], s[sleef_block];
  for (std::size_t t = 0; t < terms; ++t)
    for (int side = 0; side < 2; ++side) {
      for (int l = 0; l < sleef_block; ++l) theta[l] = side ? lower[t] + W[l] : upper[t] + U[l];
      counted->evaluate(theta, c, s);
      for (int l = 0; l < sleef_block; ++l) {
        double rc, rs;
        cis_detail::system_cis(theta[l], rc, rs);
        differ += std::bit_cast<std::uint64_t>(c[l]) != std::bit_cast<std::uint64_t>(rc) ||
                  std::bit_cast<std::uint64_t>(s[l]) != std::bit_cast<std::uint64_t>(rs);
        ++all;
      }
    }
}

// The share of the program's phasors in which SLEEF differs, counted once.
double sleef_differs(program_id id, const sleef_variant* v) {
  static std::map<std::pair<program_id, const sleef_variant*>, double> counts;
  if (auto it = counts.find({id, v}); it != counts.end()) return it->second;
  path counting = cis_detail::system_path;
  counting.add_pairs = count_differences;
  counted = v;
  differ = all = 0;
  const path& chosen = cis_detail::selected();
  cis_detail::use_path(counting);
  run_share(share_of(id));
  cis_detail::use_path(chosen);
  return counts[{id, v}] = static_cast<double>(differ) / static_cast<double>(all);
}

void run_program_sleef(benchmark::State& state, program_id id, const path* p,
                       const sleef_variant* v) {
  run_loop(state, id, p);
  if (p->supported()) state.counters["differs"] = sleef_differs(id, v);
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

void run_synthetic(benchmark::State& state, const path* p, bool with_small) {
  if (!p->supported()) {
    state.SkipWithError("not supported on this CPU");
    return;
  }
  const auto n = static_cast<std::size_t>(state.range(0));
  const std::vector<double> theta = synthetic_phases(n, with_small);
  std::vector<double> c(n), s(n);
  const double start = thread_seconds();
  for (auto _ : state) {
    p->evaluate(theta.data(), c.data(), s.data(), n);
    benchmark::DoNotOptimize(c.data());
    benchmark::DoNotOptimize(s.data());
    benchmark::ClobberMemory();
  }
  per_phasor(state, static_cast<double>(n), thread_seconds() - start);
}

// Every program on every path, then SLEEF and the synthetic phases.
void register_benchmarks() {
  std::vector<const path*> all_paths;
  for (const path& p : cis_detail::paths()) all_paths.push_back(&p);
  all_paths.push_back(&sincos_path);
  for (const program_info& p : programs()) {
    if (!p.pattern()) continue;
    for (const path* q : all_paths)
      benchmark::RegisterBenchmark((std::string(p.name) + "/" + q->name).c_str(), run_loop, p.id,
                                   q);
  }
#if SLITS_HAVE_SLEEF
  static std::deque<path> sleef_paths;  // the entry points keep pointers to them
  const struct {
    const char* name;
    const sleef_variant* v;
    bool (*supported)();
  } variants[] = {{"sleef_avx2_u10", &sleef_avx2_u10, avx2},
                  {"sleef_avx2_u35", &sleef_avx2_u35, avx2},
                  {"sleef_avx512_u10", &sleef_avx512_u10, avx512},
                  {"sleef_avx512_u35", &sleef_avx512_u35, avx512}};
  // The heavy programs, 1e8 exponentials or more on the default bench.
  for (const program_info& info : programs()) {
    if (default_bench().cost(info) < 1e8) continue;
    const program_id id = info.id;
    for (const auto& variant : variants) {
      path& p = sleef_paths.emplace_back(cis_detail::system_path);
      p.name = variant.name;
      p.supported = variant.supported;
      p.add_pairs = variant.v->add_pairs;
      benchmark::RegisterBenchmark((std::string(program(id).name) + "/" + variant.name).c_str(),
                                   run_program_sleef, id, &p, variant.v);
    }
  }
#endif
  for (const path& p : cis_detail::paths()) {
    if (!p.vector) continue;
    for (const bool mixed : {false, true})
      benchmark::RegisterBenchmark(
          (std::string("synthetic_") + (mixed ? "mixed" : "uniform") + "/" + p.name).c_str(),
          run_synthetic, &p, mixed)
          ->Arg(1600);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  register_benchmarks();
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
