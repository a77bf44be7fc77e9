// Wall-clock time of whole setups through compute_setup, as `pattern` and
// the Python module run them, on two threads:
//
//   cmake --preset speed && cmake --build --preset speed --target setup_speed
//   build/speed/speed/setup_speed --benchmark_repetitions=3
//
// white_led: examples/white_led.setup, conv_duogap's experiment under a
// Gaussian spectrum of 1000 wavelengths. talbot_carpet: a 20-slit grating
// (period 0.1 mm, slits 0.025 mm wide, 100 samples each, 500 nm) under a
// plane wave, one run per distance, two at a time: 400 distances from
// z_T / 200 to 2 z_T (z_T = 2 p^2 / lambda = 40 mm), 2000 points over the
// four central periods. The context names the CPU; the counter "cpu" is the process's
// CPU time over both threads (seconds), which a busy machine does not
// inflate as it does the wall-clock time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "setup.hpp"

namespace {

std::string cpuinfo_field(const std::string& key) {
  std::ifstream in("/proc/cpuinfo");
  for (std::string line; std::getline(in, line);)
    if (line.rfind(key, 0) == 0 && line.find(':') != std::string::npos)
      return line.substr(line.find(':') + 2);
  return "unknown";
}

double process_cpu_seconds() {
  rusage use{};
  getrusage(RUSAGE_SELF, &use);
  return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
         1e-6 * double(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
}

setup read(const std::string& text, const std::string& file = "") {
  setup s = empty_setup();
  const std::string why =
      file.empty() ? read_setup_text(text, "carpet", ".", s) : read_setup_file(file, s);
  if (!why.empty() || !check_setup(s).empty()) std::abort();
  return s;
}

void white_led(benchmark::State& state) {
  const setup s = read("", SLITS_SOURCE_DIR "/examples/white_led.setup");
  double sum = 0;
  const double cpu = process_cpu_seconds();
  for (auto _ : state) compute_setup(s, 2, [&](int, double, double value) { sum += value; });
  state.counters["cpu"] = process_cpu_seconds() - cpu;
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(white_led)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

void talbot_carpet(benchmark::State& state) {
  const auto distance = [](int k) {
    char screen[64];
    std::snprintf(screen, sizeof screen, "screen %.17g -0.2 0.2 2000\n", 40.0 * k / 200);
    return read(std::string("wavelength 5e-4\nphase_model fresnel\nsampling midpoint\n"
                            "plane 1\nslits 20 0.025 0.1 100\n") +
                screen + "quantity intensity\n");
  };
  double sum[2] = {0, 0};
  const double cpu = process_cpu_seconds();
  for (auto _ : state) {
    // Two runs at a time, one thread each, as two processes would take them.
    std::vector<std::thread> runs;
    for (int t = 0; t < 2; ++t)
      runs.emplace_back([&, t] {
        for (int k = 1 + t; k <= 400; k += 2)
          compute_setup(distance(k), 1, [&](int, double, double value) { sum[t] += value; });
      });
    for (std::thread& run : runs) run.join();
  }
  state.counters["cpu"] = process_cpu_seconds() - cpu;
  benchmark::DoNotOptimize(sum);
}
BENCHMARK(talbot_carpet)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::AddCustomContext("cpu", cpuinfo_field("model name") + ", family " +
                                         cpuinfo_field("cpu family") + ", model " +
                                         cpuinfo_field("model\t"));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
}
