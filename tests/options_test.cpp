// The programs' command line, driven as a user would in temporary folders:
// bad input refused before any file is touched, --print-bench read back
// through --bench, the same bytes on any number of threads, the answers that
// write no file, and random argument vectors through the parser.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <slits/cis.hpp>
#include "command_line.hpp"
#include "run_program.hpp"

namespace {

using arguments = std::vector<std::string>;

arguments operator+(arguments a, const arguments& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A bench on which every program finishes at once; 97 points end in a short
// block.
const arguments small = {"--source-samples", "7", "--entrance-samples", "11",
                         "--pair-samples",   "5", "--screen-count",     "97"};

std::vector<std::string> pattern_programs() {
  std::vector<std::string> names;
  for (const program_info& p : programs())
    if (p.pattern()) names.emplace_back(p.name);
  return names;
}

// One run in a fresh folder: its console and its data file.
struct outcome {
  run_result run;
  std::string data;
};
outcome run_in_fresh_folder(const std::string& name, const arguments& given) {
  temp_dir dir;
  outcome o{run_program(program_path(name), dir.path, {}, given), ""};
  o.data = read_file(dir.path / (name + ".txt"));
  return o;
}

struct refusal_case {
  std::string program;
  arguments given;
  std::string named;  // what the error line must name
  std::string setup;  // bad.setup's lines after a plane and its opening
  refusal_case(std::string program, arguments given, std::string named, std::string setup = "")
      : program(program), given(given), named(named), setup(setup) {}
};

void PrintTo(const refusal_case& r, std::ostream* out) {
  *out << r.program;
  for (const auto& a : r.given) *out << " " << a;
}

class Refusal : public testing::TestWithParam<refusal_case> {};

TEST_P(Refusal, ExitsTwoNamingTheFaultAndLeavesTheDataFileAlone) {
  const refusal_case& r = GetParam();
  for (const bool existing : {true, false}) {
    temp_dir dir;
    std::ofstream(dir.path / "bad.bench") << "# a comment\nscreen_count 2.5\n";
    std::ofstream(dir.path / "overlap.bench") << "pair_separation 0.1\n";
    std::ofstream(dir.path / "twice.bench") << "wavelength 5e-4\n# green\nwavelength 6e-4\n";
    std::ofstream(dir.path / "raw.bench") << "wave\x1b[31mlength 1\n";
    std::ofstream(dir.path / "nul.bench") << std::string("wavelength 5e-4\0 ", 17) << "\n";
    std::ofstream(dir.path / "bad.setup") << "plane 10\nopening -0.1 0.1 10\n" + r.setup;
    std::ofstream(dir.path / "negative.table") << "-5 1\n0 -0.5\n5 1\n";
    std::ofstream(dir.path / "zero.table") << "-5 0\n5 0\n";
    std::ofstream(dir.path / "spectrum.table") << "6e-4 1\n# green\n5.3e-4 -2\n";
    std::ofstream(dir.path / "gap.table") << "-5 0\n0.24 0\n0.25 1\n0.26 0\n5 0\n";
    const fs::path data = dir.path / (r.program + ".txt");
    if (existing) std::ofstream(data) << "0 42\n";
    const run_result run = run_program(program_path(r.program), dir.path, {}, r.given);
    EXPECT_EQ(run.exit_status, 2);
    EXPECT_EQ(run.out, "");
    const auto lines = lines_of(run.err);
    ASSERT_EQ(lines.size(), 2u) << run.err;
    EXPECT_TRUE(lines[0].starts_with(r.program + ": error: ")) << lines[0];
    EXPECT_NE(lines[0].find(r.named), std::string::npos) << lines[0];
    EXPECT_EQ(lines[1], "Try '" + r.program + " --help'.");
    EXPECT_TRUE(
        std::ranges::all_of(run.err, [](char c) { return c == '\n' || (c >= ' ' && c < 127); }))
        << "a raw byte reaches the terminal: " << run.err;
    if (existing)
      EXPECT_EQ(read_file(data), "0 42\n");
    else
      EXPECT_FALSE(fs::exists(data));
  }
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, Refusal,
    testing::Values(
        refusal_case{"duogap", {"--colour", "red"}, "'--colour'"},
        refusal_case{"duogap", {"--wavelength"}, "--wavelength: no value"},
        refusal_case{"duogap", {"--help=yes"}, "--help takes no value"},
        refusal_case{"ledcurve", {"--wavelength", "5e-4"}, "'--wavelength'"},
        refusal_case{"duogap", {"--entrance-width", "0.8mm"}, "--entrance-width: '0.8mm'"},
        refusal_case{"monogap", {"--wavelength", "0x1p3"}, "--wavelength: '0x1p3'"},
        refusal_case{"monogap", {"--wavelength=inf"}, "--wavelength: 'inf'"},
        refusal_case{"monogap", {"--screen-distance", "nan"}, "--screen-distance: 'nan'"},
        refusal_case{"monogap", {"--wavelength", "1e400"}, "--wavelength: '1e400'"},
        refusal_case{"duogap", {"--pair-distance", "0"}, "--pair-distance: '0'"},
        refusal_case{"ledcurve", {"--led-sigma", "-12.5"}, "--led-sigma: '-12.5'"},
        refusal_case{"duogap", {"--pair-samples", "0"}, "--pair-samples: '0'"},
        refusal_case{"duogap", {"--pair-samples", "2.5"}, "--pair-samples: '2.5'"},
        refusal_case{"duogap", {"--entrance-samples", "10001"}, "from 1 to 10000"},
        refusal_case{"duogap", {"--pair-separation", "0.1"}, "--pair-separation: '0.1'"},
        refusal_case{
            "duogap", {"--pair-slit-width", "0.6"}, "--pair-slit-width: '0.6' makes the slits"},
        refusal_case{"duogap", {"--phase-model", "exact"}, "--phase-model: 'exact'"},
        refusal_case{"duogap", {"--wavelength", "5e-4\nx"}, "--wavelength: '5e-4\\nx'"},
        refusal_case{"duogap",
                     {"--bench", "missing.bench"},
                     "missing.bench: cannot read the bench file: No such file"},
        refusal_case{"duogap", {"--bench", "."}, ".: cannot read the bench file: Is a directory"},
        refusal_case{"duogap", {"--bench", ""}, "--bench: the file name is empty"},
        refusal_case{"duogap", {"--bench", "/dev/zero"}, "/dev/zero:1: a line longer"},
        refusal_case{"duogap", {"--bench", "bad.bench"}, "bad.bench:2: screen_count"},
        refusal_case{
            "duogap", {"--bench", "overlap.bench"}, "overlap.bench:1: pair_separation: '0.1'"},
        refusal_case{"duogap",
                     {"--bench", "twice.bench"},
                     "twice.bench:3: wavelength: set again (first on line 1)"},
        refusal_case{"duogap",
                     {"--bench", "raw.bench"},
                     "raw.bench:1: unknown parameter 'wave\\x1b[31mlength'"},
        refusal_case{"duogap", {"--bench", "nul.bench"}, "nul.bench:1: wavelength: '5e-4\\x00'"},
        refusal_case{
            "duogap", {"--s", "1"}, "option '--s' is ambiguous; possibilities: '--source-width'"},
        refusal_case{
            "duogap", {"--screen=1"}, "possibilities: '--screen-distance' '--screen-count'"},
        refusal_case{"duogap",
                     {"--wavelength", "4.9e-324"},
                     "--wavelength: '4.9e-324' makes the wavenumber infinite"},
        refusal_case{"duogap",
                     {"--wavelength", "1e-308"},
                     "--wavelength: '1e-308' makes the wavenumber infinite"},
        refusal_case{"duogap",
                     {"--screen-distance", "4.9e-324"},
                     "--screen-distance: '4.9e-324' makes the phase"},
        refusal_case{
            "duogap", {"--entrance-width", "1e308"}, "--entrance-width: '1e308' makes the phase"},
        refusal_case{"duogap",
                     {"--pair-slit-width", "1e300", "--pair-separation", "1e301"},
                     "--pair-separation: '1e301' makes the phase"},
        refusal_case{"monogap",
                     {"--single-screen-max", "1e308"},
                     "--single-screen-max: '1e308' makes the screen points infinite"},
        refusal_case{"conv_monogap",
                     {"--source-samples", "99", "--led-sigma", "0.0005"},
                     "--led-sigma: '0.0005' makes every LED weight"},
        refusal_case{"ledcurve",
                     {"--led-sigma", "4.9e-324"},
                     "--led-sigma: '4.9e-324' makes the LED's profile infinite"},
        refusal_case{"duogap", {"--threads", "-1"}, "--threads: '-1'"},
        refusal_case{"duogap", {"--precision", "18"}, "--precision: '18'"},
        refusal_case{"duogap", {"--output", ""}, "--output"},
        refusal_case{
            "duogap", {"--output", "/dev/stdout"}, "--output: '/dev/stdout' is standard output"},
        refusal_case{
            "conv_duogap",
            {"--source-samples", "10000", "--entrance-samples", "10000", "--pair-samples", "10000"},
            "GiB"},
        refusal_case{"duogap", {"--quiet", "extra"}, "'extra'"},
        refusal_case{"duogap", {"--setup", "bad.setup"}, "'--setup"},
        refusal_case{"pattern", {"--setup", "missing.setup"}, "missing.setup: cannot read"},
        refusal_case{"pattern", {"--pair-samples", "3"}, "'--pair-samples"},
        refusal_case{"pattern", {"--setup", "bad.setup"}, "bad.setup: no screen line"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:3: unknown key 'colour'",
                     "colour red\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:3: opening overlaps the opening on line 2",
                     "opening -0.3 -0.05 5\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:5: opening overlaps the slits on line 4",
                     "plane 5\nslits 2 0.1 0.15 5\nopening -0.2 -0.1 5\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:3: plane: no opening",
                     "plane 5\nscreen 9 0 1 9\n"},
        refusal_case{
            "pattern", {"--setup", "bad.setup"}, "bad.setup:3: plane DISTANCE: '0'", "plane 0\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:4: slits WIDTH: '-1'",
                     "plane 5\nslits 3 -1 2 5\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:3: opening: TO 0.2 is not above",
                     "opening 0.2 0.2 5\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:3: screen DISTANCE: '-500'",
                     "screen -500 0 1 9\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:4: source given twice (first on line 3)",
                     "source coherent 1 3\nsource plane_wave\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:3: source_width: a parameter",
                     "source_width 3\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:4: spectrum: the wavelength on line 3",
                     "wavelength 5e-4\nspectrum gaussian 6.3e-4 3e-5 20\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:3: spectrum: the samples span CENTRE +- 2 FWHM",
                     "spectrum gaussian 6e-4 3e-4 20\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "spectrum.table:3: weight -2 is negative",
                     "spectrum table spectrum.table\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "zero.table:1: wavelength -5 is not above zero",
                     "spectrum table zero.table\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:4: quantity amplitude: a spectrum",
                     "spectrum gaussian 6.3e-4 3e-5 20\nquantity amplitude\nscreen 9 0 1 9\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup", "--coherence", "0.1,0.2"},
                     "--coherence: the degree of coherence needs an incoherent source",
                     "screen 9 0 1 9\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup", "--coherence", "0.1;0.2"},
                     "--coherence: '0.1;0.2' is not two decimal numbers"},
        refusal_case{"pattern", {"--coherence-plane", "1"}, "--coherence-plane: only with"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup", "--coherence", "0,1", "--coherence-plane", "2"},
                     "--coherence-plane: plane 2: the setup has planes 1 to 1",
                     "source incoherent 2 4 uniform\nscreen 9 0 1 9\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "negative.table: weight -0.5 is negative",
                     "source incoherent 2 9 table negative.table\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "zero.table: every weight is zero",
                     "source incoherent 2 9 table zero.table\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "bad.setup:3: source: every sample",
                     "source incoherent 2 4 table gap.table\nscreen 9 0 1 9\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "quantity amplitude: an incoherent",
                     "source incoherent 2 4 uniform\nscreen 9 0 1 9\nquantity amplitude\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup"},
                     "GiB of fields",
                     "source incoherent 2 10000 uniform\nplane 5\nslits 1000 0.1 0.2 100\n"
                     "screen 9 0 1 9\n"},
        refusal_case{"pattern",
                     {"--setup", "bad.setup", "--method", "literal"},
                     "2e+10 exponentials",
                     "plane 5\nslits 2000 0.1 0.2 10\nscreen 9 0 1 100000\n"}),
    [](const auto& info) { return std::to_string(info.index); });

std::string option_of(const parameter_info& p) {
  std::string name = "--" + std::string(p.name);
  std::replace(name.begin(), name.end(), '_', '-');
  return name;
}

// Every answer on standard output alone: no file, nothing on standard error.
// --help offers the command's own bench options, --print-bench every value.
TEST(Answers, HelpVersionAndPrintBenchWriteNoFile) {
  for (const program_info& p : programs()) {
    const std::string name(p.name);
    for (const std::string option : {"--help", "-h", "--version", "--print-bench"}) {
      if (!p.pattern() && option == "--print-bench") continue;
      const bool help = option == "--help" || option == "-h";
      temp_dir dir;
      const run_result run = run_program(program_path(name), dir.path, {}, {option});
      EXPECT_EQ(run.exit_status, 0) << name << " " << option;
      EXPECT_EQ(run.err, "");
      EXPECT_TRUE(fs::is_empty(dir.path)) << name << " " << option;
      if (option == "--version") {
        EXPECT_NE(run.out.find(std::string("phasor kernel: ") + cis_path_name() + "\n"),
                  std::string::npos)
            << run.out;
      }
      for (const parameter_info& q : parameters()) {
        if (help) {
          EXPECT_EQ(run.out.find(option_of(q) + "=") != std::string::npos,
                    p.pattern() || q.name == "led_sigma")
              << name << " " << option_of(q);
        } else if (option == "--print-bench") {
          std::string line(q.name);  // in steps: g++ 12 misreads "\n" + s (-Wrestrict)
          line += " " + default_bench().text[&q - parameters().data()] + "\n";
          EXPECT_NE(run.out.find("\n" + line), std::string::npos) << line;
        }
      }
    }
  }
}

// A bench printed with a few options, then read back: the same bytes.
TEST(PrintBench, ReadBackThroughBenchGivesTheSameRun) {
  const arguments options =
      small + arguments{"--wavelength",   "5.32e-4", "--phase-model", "fresnel",
                        "--led-sigma",    "3.5",     "--sampling",    "midpoint",
                        "--source-width", "2.5"};
  temp_dir dir;
  const run_result printed =
      run_program(program_path("conv_duogap"), dir.path, {}, options + arguments{"--print-bench"});
  ASSERT_EQ(printed.exit_status, 0) << printed.err;
  // As an editor may keep it: a byte-order mark, a comment after a value.
  std::string edited = "\xEF\xBB\xBF" + printed.out;
  const std::string line = "\nwavelength 5.32e-4\n";
  edited.replace(edited.find(line), line.size(), "\nwavelength 5.32e-4  # green\n");
  const std::string file = (dir.path / "bench.txt").string();
  std::ofstream(file) << edited;
  for (const std::string& name : pattern_programs()) {
    const outcome given = run_in_fresh_folder(name, options);
    const outcome read = run_in_fresh_folder(name, {"--bench", file});
    EXPECT_EQ(given.run.exit_status, 0) << given.run.err;
    EXPECT_FALSE(given.data.empty());
    EXPECT_TRUE(given.data == read.data) << name;
    EXPECT_TRUE(given.run.out == read.run.out) << name;
  }
  EXPECT_EQ(run_in_fresh_folder("monogap", {"--bench", file, "--print-bench"}).run.out,
            printed.out);
  // Only a run is refused for its tables.
  const outcome huge =
      run_in_fresh_folder("conv_duogap", {"--source-samples", "10000", "--entrance-samples",
                                          "10000", "--pair-samples", "10000", "--print-bench"});
  EXPECT_EQ(huge.run.exit_status, 0) << huge.run.err;
  EXPECT_NE(huge.run.out.find("# program conv_duogap 2e+15 exponentials"), std::string::npos);
}

// --output -: the data lines on standard output, no console line, no file.
TEST(Output, DashPutsTheDataLinesOnStandardOutput) {
  temp_dir dir;
  const run_result run =
      run_program(program_path("duogap"), dir.path, {}, small + arguments{"--output", "-"});
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, run_in_fresh_folder("duogap", small).data);
  EXPECT_TRUE(fs::is_empty(dir.path));
}

// Each program's experiment printed as a setup and run by pattern: the
// program's own --method propagate data file, byte for byte, and the same
// setup printed again. With no setup, pattern runs duogap's.
TEST(PrintSetup, PatternRunsEachProgramsSetupToItsBytes) {
  const arguments options = small + arguments{"--method",   "propagate", "--phase-model", "fresnel",
                                              "--sampling", "midpoint",  "--led-sigma",   "3.5"};
  for (const std::string& name : pattern_programs()) {
    temp_dir dir;
    const run_result printed =
        run_program(program_path(name), dir.path, {}, options + arguments{"--print-setup"});
    ASSERT_EQ(printed.exit_status, 0) << printed.err;
    const std::string file = (dir.path / "program.setup").string();
    std::ofstream(file) << printed.out;
    const outcome given = run_in_fresh_folder(name, options);
    const outcome read = run_in_fresh_folder("pattern", {"--setup", file});
    EXPECT_EQ(read.run.exit_status, 0) << read.run.err;
    EXPECT_TRUE(!given.data.empty() && given.data == read.data) << name;
    EXPECT_EQ(run_in_fresh_folder("pattern", {"--setup", file, "--print-setup"}).run.out,
              printed.out);
  }
  temp_dir dir;
  EXPECT_EQ(
      run_program(program_path("pattern"), dir.path, {}, {"--print-setup"}).out,
      run_program(program_path("duogap"), dir.path, {}, {"--method", "propagate", "--print-setup"})
          .out);
  EXPECT_TRUE(fs::is_empty(dir.path));
}

TEST(Threads, OneTwoAndThreeGiveTheSameBytes) {
  for (const std::string& name : pattern_programs()) {
    const outcome one = run_in_fresh_folder(name, small + arguments{"--threads", "1"});
    EXPECT_EQ(one.run.exit_status, 0) << one.run.err;
    for (const char* threads : {"2", "3"}) {
      const outcome more = run_in_fresh_folder(name, small + arguments{"--threads", threads});
      EXPECT_TRUE(one.data == more.data) << name << " on " << threads << " threads";
      EXPECT_TRUE(one.run.out == more.run.out) << name << " on " << threads << " threads";
    }
  }
}

// Random vectors of option names, values and garbage: each parses, or is
// refused in one line; parsed, the bench and the numbers are within bounds.
// A few run through the program itself with --print-bench, which must
// agree and write no file.
TEST(Parser, RandomArgumentsParseOrAreRefused) {
  std::vector<std::string> words = {"--bench",
                                    "--print-bench",
                                    "--threads",
                                    "--output",
                                    "--precision",
                                    "--quiet",
                                    "--help",
                                    "--version",
                                    "--check",
                                    "--wave",
                                    "--thr",
                                    "-q",
                                    "--",
                                    "-",
                                    "",
                                    "=",
                                    "x",
                                    "0",
                                    "1",
                                    "-1",
                                    "2.5",
                                    "17",
                                    "1e-3",
                                    "+4e-4",
                                    "10001",
                                    "0x10",
                                    "nan",
                                    "1e999",
                                    "fresnel",
                                    "midpoint",
                                    ".",
                                    "bench.txt",
                                    "--wavelength=",
                                    "--threads=2",
                                    "--screen-count=9"};
  for (const parameter_info& p : parameters()) words.push_back(option_of(p));
  std::mt19937 random(20241208);
  int ran = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    arguments given(random() % 7);
    for (auto& word : given) word = words[random() % words.size()];
    for (const command_kind kind : {command_kind::pattern, command_kind::profile,
                                    command_kind::continuum, command_kind::setup}) {
      std::string why = "unset";
      const auto line = read_arguments(given, "duogap", kind, &why);
      if (!line) {
        EXPECT_FALSE(why.empty() || why.find('\n') != why.npos) << why;
        continue;
      }
      EXPECT_EQ(why, "");
      const parameter_info* at_fault = nullptr;
      EXPECT_EQ(check_bench(line->b, &at_fault), "");
      EXPECT_TRUE(line->threads >= 0 && line->threads <= 256);
      EXPECT_TRUE(line->precision >= 1 && line->precision <= 17);
    }
    if (trial % 100 != 0) continue;
    // First, so that no option takes it for its value.
    const arguments asked = arguments{"--print-bench"} + given;
    std::string why;
    const bool parses = read_arguments(asked, "duogap", command_kind::pattern, &why).has_value();
    temp_dir dir;
    const run_result run = run_program(program_path("duogap"), dir.path, {}, asked);
    EXPECT_EQ(run.exit_status, parses ? 0 : 2) << why << run.err;
    EXPECT_TRUE(fs::is_empty(dir.path));
    ++ran;
  }
  EXPECT_EQ(ran, 30);
}

}  // namespace
