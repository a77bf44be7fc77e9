// The quick programs driven as a user would, in temporary directories.
#include "program_checks.hpp"

const pattern_program monogap{
    "monogap", 10000, ", |f(x)| = ", "19.998", true, literal::monogap, {0, 1, 500, 4321, 9999}};
const pattern_program duogap{
    "duogap", 1000, ", |f(x)| = ", "3.996", true, literal::duogap, {0, 1, 250, 777, 999}};
const pattern_program broad_monogap{
    "broad_monogap", 1000, ", |f(x)| = ", "19.98", true, literal::broad_monogap, {0, 3, 500, 999}};
const pattern_program conv_monogap{
    "conv_monogap",
    1000,
    ", |f(x)| = ",
    "19.98",
    false,
    [](int i) { return literal::conv_monogap_intensity(i) / literal::conv_monogap_intensity(0); },
    {0, 1, 2, 400, 999}};

TEST(Monogap, RunsEndToEnd) { check_pattern_run(monogap); }
TEST(Duogap, RunsEndToEnd) { check_pattern_run(duogap); }
TEST(BroadMonogap, RunsEndToEnd) { check_pattern_run(broad_monogap); }
TEST(ConvMonogap, RunsEndToEnd) { check_pattern_run(conv_monogap); }

TEST(Monogap, ValueOnTheAxisIsBelowOne) {
  const auto data = lines_of(fast_run("monogap").data);
  EXPECT_LT(std::stod(data[0].substr(2)), 1.0);
}

TEST(BroadMonogap, DeepMinimaPrintInScientificNotation) {
  int scientific = 0;
  for (const auto& line : lines_of(fast_run("broad_monogap").data))
    scientific += line.find("e-") != std::string::npos;
  EXPECT_GT(scientific, 0);
}

TEST(ConvMonogap, NormalisedToTheAxisAndBrighterJustOffIt) {
  const auto data = lines_of(fast_run("conv_monogap").data);
  EXPECT_EQ(data[0], "0 1");
  EXPECT_GT(std::stod(data[1].substr(data[1].find(' ') + 1)), 1.0);
}

TEST(Programs, MatchTheirStraightforwardTwins) {
  for (const char* name : {"monogap", "duogap", "broad_monogap", "conv_monogap"})
    check_twin_identity(name);
}

TEST(Ledcurve, PrintsTheProfileTable) {
  temp_dir dir;
  const run_result run = run_program(program_path("ledcurve"), dir.path);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(fs::is_empty(dir.path)) << "ledcurve writes no file";
  const auto lines = lines_of(run.out);
  ASSERT_EQ(lines.size(), 1000u);
  int scientific = 0;
  for (int i = -500; i < 500; ++i) {
    const double x = i * 0.1;
    const std::string& line = lines[i + 500];
    EXPECT_EQ(line, literal::g(x) + " " + literal::g(literal::led(x)));
    const bool is_scientific = line.find('e') != std::string::npos;
    EXPECT_EQ(is_scientific, i <= -425 || i >= 425) << line;
    scientific += is_scientific;
    if (i > -500) {  // the line for -i carries the same weight
      const std::string& mirror = lines[500 - i];
      EXPECT_EQ(line.substr(line.find(' ')), mirror.substr(mirror.find(' ')));
    }
  }
  EXPECT_EQ(scientific, 151);
  EXPECT_EQ(lines.front().substr(0, 4), "-50 ");
  EXPECT_EQ(lines.back().substr(0, 5), "49.9 ");
  EXPECT_EQ(lines[500], "0 " + literal::g(literal::led(0.0)));
}

TEST(Monogap, SecondRunReplacesTheData) {
  temp_dir dir;
  std::ofstream(dir.path / "monogap.txt") << "stale line\n" << std::string(500000, 'x');
  run_program(program_path("monogap"), dir.path);
  const run_result second = run_program(program_path("monogap"), dir.path);
  EXPECT_EQ(second.exit_status, 0);
  EXPECT_TRUE(read_file(dir.path / "monogap.txt") == fast_run("monogap").data);
}

// A directory standing where the data file goes: creation fails even for
// root, and the run stops before computing.
TEST(Programs, UncreatableDataFileIsReportedBeforeComputing) {
  for (const char* name : {"monogap", "duogap", "broad_monogap", "conv_monogap"}) {
    temp_dir dir;
    fs::create_directory(dir.path / (std::string(name) + ".txt"));
    const run_result run = run_program(program_path(name), dir.path);
    EXPECT_EQ(run.exit_status, 1) << name;
    EXPECT_EQ(run.err, std::string(name) + ": cannot create " + name + ".txt: Is a directory\n");
    EXPECT_EQ(run.out, "") << name;
  }
}
