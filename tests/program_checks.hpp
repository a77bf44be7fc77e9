// End-to-end checks shared by the program tests: each pattern program run in a
// temporary directory, its two streams checked against each other, against
// the literal evaluation, and against its straightforward twin.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "literal.hpp"
#include "run_program.hpp"

struct pattern_program {
  std::string name;
  int lines;
  std::string label;
  std::string last_x;
  bool coherent;                       // a modulus, at most 1
  std::function<double(int)> literal;  // the value at screen index i
  std::vector<int> probes;             // screen indices checked literally
};

// One finished run: its console and data file.
struct pattern_run {
  run_result result;
  std::string data;
};

inline pattern_run run_pattern(const fs::path& program, const std::string& name) {
  temp_dir dir;
  pattern_run run{run_program(program, dir.path), ""};
  run.data = read_file(dir.path / (name + ".txt"));
  return run;
}

// Runs are cached: several tests look at the same output.
inline const pattern_run& fast_run(const std::string& name) {
  static std::map<std::string, pattern_run> runs;
  auto it = runs.find(name);
  if (it == runs.end()) it = runs.emplace(name, run_pattern(program_path(name), name)).first;
  return it->second;
}

inline void check_pattern_run(const pattern_program& p) {
  const pattern_run& run = fast_run(p.name);
  ASSERT_EQ(run.result.signal, 0);
  EXPECT_EQ(run.result.exit_status, 0);
  EXPECT_EQ(run.result.err, "");

  const auto console = lines_of(run.result.out);
  const auto data = lines_of(run.data);
  ASSERT_EQ(data.size(), size_t(p.lines));
  ASSERT_EQ(console.size(), size_t(p.lines));
  EXPECT_EQ(run.data.back(), '\n');
  EXPECT_EQ(data.front().substr(0, 2), "0 ");
  EXPECT_EQ(data.back().substr(0, data.back().find(' ')), p.last_x);

  double previous_x = -1;
  for (int i = 0; i < p.lines; ++i) {
    const std::string& line = data[i];
    const auto space = line.find(' ');
    ASSERT_NE(space, std::string::npos) << line;
    const std::string x = line.substr(0, space), value = line.substr(space + 1);
    ASSERT_EQ(console[i], "x = " + x + p.label + value);
    EXPECT_GT(std::stod(x), previous_x);
    previous_x = std::stod(x);
    EXPECT_GE(std::stod(value), 0.0) << line;
    if (p.coherent) {
      EXPECT_LE(std::stod(value), 1.0) << line;
    }
  }
  for (int i : p.probes)
    EXPECT_EQ(data[i].substr(data[i].find(' ') + 1), literal::g(p.literal(i))) << "index " << i;
}

// The optimised program and its straightforward twin agree byte for byte.
inline void check_twin_identity(const std::string& name) {
  const pattern_run& fast = fast_run(name);
  const pattern_run twin = run_pattern(twin_path(name), name);
  EXPECT_EQ(twin.result.exit_status, 0);
  EXPECT_TRUE(fast.data == twin.data) << name << ".txt differs from the straightforward build";
  EXPECT_TRUE(fast.result.out == twin.result.out) << name << " console differs";
}
