// The main job and its plotting step, driven through scripts/patterns.sh and
// plots/patterns.gp in temporary folders as a user would run them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench.hpp"
#include "run_program.hpp"

namespace {

const fs::path source_dir = SLITS_SOURCE_DIR;

const std::vector<std::string> pattern_names = {"monogap",      "duogap",       "broad_monogap",
                                                "broad_duogap", "conv_monogap", "conv_duogap"};

// A bench on which the whole main job takes a few seconds.
const std::string small_bench = "--source-samples 10 --pair-samples 10";

struct shell_result {
  int status = -1;
  std::string out;
};

// Runs a command through sh, standard error joined to standard output.
shell_result shell(const std::string& command) {
  shell_result result;
  FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    result.out.append(buffer, n);
  const int status = ::pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// One shell word: in single quotes, each single quote closed, escaped, reopened.
std::string shell_word(const fs::path& path) {
  std::string text = "'";  // built up in steps: g++ 12 misreads "'" + s + "'" (-Wrestrict)
  for (const char c : path.string()) text += c == '\'' ? std::string("'\\''") : std::string(1, c);
  text += "'";
  return text;
}

// Folder names a shell or gnuplot would misread if passed on unquoted.
const std::string awkward = "-it's \"a\" $HOME \\ `x` dir";
const std::string awkward_too = "<it's |y ~ dir";

bool have_gnuplot() { return shell("command -v gnuplot").status == 0; }

// A data file in the programs' format: count lines "x value" by %g, x in [0, max).
void write_data(const fs::path& path, int count, double max) {
  FILE* file = std::fopen(path.c_str(), "w");
  for (int i = 0; i < count; ++i) {
    const double x = i * max / count;
    std::fprintf(file, "%g %g\n", x, 0.5 + 0.5 * std::cos(10 * x) / (1 + x));
  }
  std::fclose(file);
}

uint32_t big_endian(const std::string& bytes, size_t at) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// A complete PNG of the given size: signature, IHDR first, IEND last.
testing::AssertionResult is_png(const fs::path& path, uint32_t width, uint32_t height) {
  if (!fs::exists(path)) return testing::AssertionFailure() << path << " is missing";
  const std::string bytes = read_file(path);
  const std::string signature = "\x89PNG\r\n\x1a\n";
  const std::string iend = std::string("\0\0\0\0IEND\xae\x42\x60\x82", 12);
  if (bytes.size() < 8 + 25 + 12 || bytes.compare(0, 8, signature) != 0 ||
      bytes.compare(8, 8, std::string("\0\0\0\x0dIHDR", 8)) != 0)
    return testing::AssertionFailure() << path << " does not start as a PNG";
  if (bytes.compare(bytes.size() - 12, 12, iend) != 0)
    return testing::AssertionFailure() << path << " is cut short";
  const uint32_t w = big_endian(bytes, 16), h = big_endian(bytes, 20);
  if (w != width || h != height)
    return testing::AssertionFailure() << path << " is " << w << "x" << h;
  return testing::AssertionSuccess();
}

// The main job into `out` with the programs in `bin` and the given options.
std::string patterns_command(const fs::path& out, const std::string& options,
                             const fs::path& bin = SLITS_PROGRAM_DIR) {
  return "SLITS_PROGRAM_DIR=" + shell_word(bin) + " bash " +
         shell_word(source_dir / "scripts/patterns.sh") + " " + shell_word(out) + " " + options;
}

// What monogap --print-bench prints with these options: the job's bench.txt.
std::string printed_bench(const std::string& options) {
  return shell(shell_word(program_path("monogap")) + " --print-bench " + options).out;
}

bool is_svg(const fs::path& path) { return read_file(path).ends_with("</svg>\n\n"); }

size_t count_of(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(MainJob, RendersEveryPlotBesideTheData) {
  if (!have_gnuplot()) GTEST_SKIP() << "gnuplot is not installed";
  temp_dir dir;
  const shell_result run = shell(patterns_command(dir.path, small_bench));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("Data files and plots in"), std::string::npos) << run.out;
  EXPECT_EQ(count_of(run.out, "exponentials"), 6u) << run.out;
  EXPECT_EQ(count_of(run.out, "incomplete"), 0u) << run.out;
  for (const auto& name : pattern_names) {
    EXPECT_TRUE(fs::exists(dir.path / (name + ".txt"))) << name;
    EXPECT_TRUE(is_png(dir.path / (name + ".png"), 900, 500));
    EXPECT_TRUE(is_svg(dir.path / (name + ".svg"))) << name;
  }
  EXPECT_TRUE(is_png(dir.path / "monogap_log.png", 900, 500));
  EXPECT_TRUE(is_png(dir.path / "ledcurve.png", 900, 500));
  EXPECT_TRUE(is_png(dir.path / "overview.png", 1400, 1500));
  EXPECT_TRUE(is_svg(dir.path / "overview.svg"));
  EXPECT_EQ(read_file(dir.path / "bench.txt"), printed_bench(small_bench));
}

// A data file cut short by a file size limit, in a folder named to trip the
// shell, under a bench of another wavelength read from a file, with a
// continuum limit beside.
TEST(MainJob, TellsAnIncompleteFileAndDrawsTheBenchItIsGiven) {
  if (!have_gnuplot()) GTEST_SKIP() << "gnuplot is not installed";
  temp_dir dir;
  const fs::path bin = dir.path / "bin";
  fs::create_directory(bin);
  for (const program_info& p : programs())
    if (p.name != "monogap")
      fs::create_symlink(program_path(std::string(p.name)), bin / std::string(p.name));
  fs::create_symlink(program_path("programs.txt"), bin / "programs.txt");
  // Only the run that writes the data file is limited, not --print-bench.
  std::ofstream(bin / "monogap") << "#!/bin/bash\n[[ $* == *--print-bench* ]] || ulimit -f 16\n"
                                 << "exec " << shell_word(program_path("monogap")) << " \"$@\"\n";
  std::ofstream(bin / "continuum") << "#!/bin/bash\nawk '{ print $1, $2 / 2 }' \"${@: -1}.txt\"\n";
  for (const char* name : {"monogap", "continuum"})
    fs::permissions(bin / name, fs::perms::owner_exec, fs::perm_options::add);
  const std::string options = small_bench + " --wavelength 5.5e-4";
  std::ofstream(dir.path / "my.bench") << printed_bench(options);

  const shell_result run = shell("cd " + shell_word(dir.path) + " && " +
                                 patterns_command(awkward, "--bench my.bench", bin));
  EXPECT_EQ(run.status, 1) << run.out;
  const fs::path out = dir.path / awkward;
  const size_t points = lines_of(read_file(out / "monogap.txt")).size();
  const std::string note = "incomplete: " + std::to_string(points) + " of 10000 points";
  EXPECT_LT(points, 10000u);
  EXPECT_EQ(count_of(run.out, "incomplete"), 1u) << run.out;
  EXPECT_NE(run.out.find("monogap.txt " + note), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("monogap        1e+06 exponentials"), std::string::npos) << run.out;
  EXPECT_EQ(read_file(out / "bench.txt"), printed_bench(options));
  const std::string svg = read_file(out / "monogap.svg");
  EXPECT_NE(svg.find(note), std::string::npos);
  EXPECT_NE(svg.find("λ = 5.5e-4"), std::string::npos);
  EXPECT_NE(svg.find("550 nm"), std::string::npos);
  EXPECT_NE(svg.find("continuum limit"), std::string::npos);
  EXPECT_NE(read_file(out / "monogap_log.svg").find(note), std::string::npos);
}

// A PATH with what patterns.sh needs but no gnuplot.
TEST(MainJob, WithoutGnuplotSaysSoInOneLineAndKeepsTheData) {
  temp_dir dir;
  const fs::path bin = dir.path / "bin", out = dir.path / "out";
  fs::create_directory(bin);
  ASSERT_EQ(shell("for tool in bash awk mkdir cp rm wc grep; do ln -s \"$(command -v $tool)\" " +
                  shell_word(bin) + "/$tool; done")
                .status,
            0);

  const shell_result run = shell("PATH=" + shell_word(bin) + " " +
                                 patterns_command(out, small_bench + " --screen-count 300"));
  EXPECT_EQ(run.status, 0) << run.out;
  int mentions = 0;
  for (const auto& line : lines_of(run.out)) mentions += line.find("gnuplot") != std::string::npos;
  EXPECT_EQ(mentions, 1) << run.out;
  EXPECT_NE(run.out.find("gnuplot-nox"), std::string::npos) << run.out;
  EXPECT_EQ(lines_of(read_file(out / "monogap.txt")).size(), 3000u);
  EXPECT_EQ(lines_of(read_file(out / "ledcurve.txt")).size(), 1000u);
  for (const auto& entry : fs::directory_iterator(out))
    EXPECT_NE(entry.path().extension(), ".png") << entry.path();
}

// Help wherever it is asked, and options the job cannot pass on: the job's
// own words, and nothing written, not even a folder named after an option.
TEST(MainJob, HelpsAndRefusesInItsOwnWordsWritingNothing) {
  const std::string usage = "Usage: patterns.sh OUTDIR [OPTION]...";
  const struct {
    std::string out, options;
    int status;
    std::string starts;
  } cases[] = {
      {"--help", "", 0, usage},
      {"out", "--wavelength 5e-4 --help", 0, usage},
      {"out", "--out=x.txt", 2, "patterns.sh: error: --output is not taken"},
      {"out", "--q", 2, "patterns.sh: error: --quiet is not taken"},
      {"out", "--s 1", 2, "patterns.sh: error: option '--s' is ambiguous; possibilities: '--"},
      {"out", "--wavelength x", 2, "patterns.sh: error: --wavelength: "},
      {"--wavelength", "5e-4", 2, "patterns.sh: error: '--wavelength' is an option"},
  };
  for (const auto& c : cases) {
    temp_dir dir;
    const shell_result run =
        shell("cd " + shell_word(dir.path) + " && " + patterns_command(c.out, c.options));
    EXPECT_EQ(run.status, c.status) << c.out << " " << c.options << "\n" << run.out;
    EXPECT_TRUE(run.out.starts_with(c.starts)) << run.out;
    EXPECT_TRUE(fs::is_empty(dir.path)) << c.out << " " << c.options;
  }
}

// By hand, from a third folder, on folder names that trip a shell or gnuplot,
// some files missing: nothing without the bench.txt the programs print, said
// once; then what is there.
TEST(PlotScript, RendersWhatIsThereIntoTheFolderAsked) {
  if (!have_gnuplot()) GTEST_SKIP() << "gnuplot is not installed";
  temp_dir dir;
  const fs::path data = dir.path / awkward, pngs = dir.path / awkward_too;
  fs::create_directory(data);
  fs::create_directory(pngs);
  write_data(data / "monogap.txt", 10000, 20);
  write_data(data / "duogap.txt", 1000, 4);
  const std::string command = "cd " + shell_word(dir.path) + " && gnuplot -c " +
                              shell_word(source_dir / "plots/patterns.gp") + " " +
                              shell_word(awkward) + " " + shell_word(awkward_too);

  const shell_result without = shell(command);
  EXPECT_EQ(without.status, 0) << without.out;
  EXPECT_EQ(lines_of(without.out).size(), 1u) << without.out;
  EXPECT_NE(without.out.find("bench.txt"), std::string::npos) << without.out;
  EXPECT_TRUE(fs::is_empty(pngs));

  std::ofstream(data / "bench.txt") << printed_bench("");
  const shell_result run = shell(command);
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_TRUE(is_png(pngs / "monogap.png", 900, 500));
  EXPECT_TRUE(is_png(pngs / "duogap.png", 900, 500));
  EXPECT_TRUE(is_png(pngs / "overview.png", 1400, 1500));
  EXPECT_NE(read_file(pngs / "duogap.svg").find("λ = 6.37e-4"), std::string::npos);
  for (const std::string name : {"broad_monogap", "conv_duogap", "ledcurve"}) {
    EXPECT_FALSE(fs::exists(pngs / (name + ".png"))) << name;
    EXPECT_NE(run.out.find(name + ".txt"), std::string::npos) << "no note for " << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(data), fs::directory_iterator()), 3);
}
