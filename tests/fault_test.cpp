// The programs under faults, each run in a temporary directory of its own:
// interruption, full disks, closed or broken standard streams, folders and
// files the user may not write. Whatever happens, the run either completes
// with status 0 or says what went wrong on standard error and exits non-zero,
// and its data file holds nothing but whole lines of the full run.
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "program_checks.hpp"

namespace {

const std::vector<std::string> quick_programs{"monogap", "duogap", "broad_monogap", "conv_monogap"};

std::string data_of(const temp_dir& dir, const std::string& name) {
  return read_file(dir.path / (name + ".txt"));
}

std::string full_console(const std::string& name) { return fast_run(name).result.out; }
std::string full_data(const std::string& name) { return fast_run(name).data; }

// Whole lines only, each the full run's line at the same place.
void expect_whole_lines_of(const std::string& part, const std::string& full,
                           const std::string& what) {
  EXPECT_TRUE(part.empty() || part.back() == '\n') << what << ": torn last line";
  EXPECT_TRUE(full.starts_with(part)) << what << " is not the start of the full run's";
}

// A shell starts background jobs with SIGINT ignored, and a parent may pass
// SIGPIPE ignored: the child gets the dispositions a user's terminal gives.
void default_signals() {
  for (int s : {SIGINT, SIGTERM, SIGPIPE, SIGXFSZ}) ::signal(s, SIG_DFL);
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// Whether the started program has ended, without reaping it.
bool has_ended(pid_t pid) {
  siginfo_t info{};
  ::waitid(P_PID, pid, &info, WEXITED | WNOHANG | WNOWAIT);
  return info.si_pid != 0;
}

// Waits until the file holds `lines` whole lines; false if the program ended
// first or took minutes.
bool wait_for_lines(const fs::path& file, size_t lines, pid_t pid) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
  while (size_t(std::ranges::count(read_file(file), '\n')) < lines) {
    if (has_ended(pid) || std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// The threads of a running program: its workers and the writer when it runs
// on more than one (--threads SLITS_TEST_THREADS, 0 for one per core), else
// the one. A sanitizer's runtime may add one of its own.
size_t expected_threads() {
  const unsigned requested = SLITS_TEST_THREADS;
  const unsigned workers =
      requested != 0 ? requested : std::max(1u, std::thread::hardware_concurrency());
  return workers == 1 ? 1 : workers + 1;
}
size_t threads_of(pid_t pid) {
  const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
  return std::distance(fs::directory_iterator(tasks), fs::directory_iterator());
}

// A heavy program's full run, line i evaluated literally, and its console
// label.
struct heavy_run {
  std::string program;
  std::string label;
  std::string (*full_line)(int i);
};
void PrintTo(const heavy_run& h, std::ostream* out) { *out << h.program; }

std::string broad_duogap_line(int i) {
  return literal::g(literal::screen(i, 1000.0, 4.0)) + " " + literal::g(literal::broad_duogap(i));
}
std::string conv_duogap_line(int i) {
  static const double axis = literal::conv_duogap_intensity(0);
  return literal::g(literal::screen(i, 1000.0, 4.0)) + " " +
         literal::g(literal::conv_duogap_intensity(i) / axis);
}

// Kills a heavy program once its first lines are out, on several threads
// while its workers compute; its two streams keep whole lines only, the
// console at most one line ahead of the data.
void check_interrupted(const heavy_run& h, int signal_number) {
  const std::string& name = h.program;
  temp_dir dir;
  const started_program started = start_program(program_path(name), dir.path, default_signals);
  const bool running = wait_for_lines(dir.path / (name + ".txt"), 2, started.pid);
  if (running) {
    const size_t threads = threads_of(started.pid);
    EXPECT_GE(threads, expected_threads()) << name;
    EXPECT_LE(threads, expected_threads() + 1) << name;
  }
  ::kill(started.pid, signal_number);
  const run_result run = finish_program(started);
  ASSERT_TRUE(running) << name << " ended before it could be interrupted";
  EXPECT_EQ(run.signal, signal_number) << name;
  EXPECT_EQ(run.err, "");

  const std::string data = data_of(dir, name);
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(data.back(), '\n') << name << ".txt ends in a torn line";
  const auto lines = lines_of(data);
  EXPECT_LT(lines.size(), 1000u);
  for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i], h.full_line(i)) << "line " << i;

  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n') << name << " console ends in a torn line";
  const auto console = lines_of(run.out);
  ASSERT_GE(console.size(), lines.size());
  ASSERT_LE(console.size(), lines.size() + 1);
  for (size_t i = 0; i < console.size(); ++i) {
    const std::string line = h.full_line(i);
    const auto space = line.find(' ');
    EXPECT_EQ(console[i], "x = " + line.substr(0, space) + h.label + line.substr(space + 1));
  }
}

// Root passes permission bits by: the program then runs as nobody.
constexpr uid_t nobody = 65534;
void as_ordinary_user() {
  if (::geteuid() != 0) return;
  if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0) ::_exit(126);
}

// A copy of the program in a folder any user may enter.
struct reachable_program {
  temp_dir dir;
  fs::path path;
  explicit reachable_program(const std::string& name) : path(dir.path / name) {
    fs::permissions(dir.path, fs::perms(0755));
    fs::copy_file(program_path(name), path);
  }
};

// Whether the program, run as above, can be kept from writing `folder`: not
// so for a user with CAP_DAC_OVERRIDE, nor where uids cannot be changed.
std::string why_permissions_cannot_stop(const fs::path& program, const fs::path& folder) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    as_ordinary_user();
    if (::access(program.c_str(), X_OK) != 0) ::_exit(2);
    ::_exit(::access(folder.c_str(), W_OK) == 0 ? 3 : 0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  switch (WIFEXITED(status) ? WEXITSTATUS(status) : -1) {
    case 0:
      return "";
    case 2:
      return "the user running the program cannot reach " + program.string();
    case 3:
      return "permission bits do not stop this user";
    default:
      return "cannot run as user nobody";
  }
}

// A tmpfs mounted over `dir`, in a mount namespace of this test process's own
// so that no mount outlives it.
struct tmpfs_mount {
  fs::path dir;
  int error = 0;  // why it could not be mounted
  tmpfs_mount(const fs::path& where, const char* options, unsigned long flags = 0) : dir(where) {
    static const int namespace_error =
        ::unshare(CLONE_NEWNS) == 0 &&
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0
            ? 0
            : errno;
    error = namespace_error;
    if (error == 0 && ::mount("tmpfs", dir.c_str(), "tmpfs", flags, options) != 0) error = errno;
  }
  ~tmpfs_mount() {
    if (error == 0) ::umount2(dir.c_str(), MNT_DETACH);
  }
  std::string why_not() const {
    return std::string("cannot mount a tmpfs here: ") + std::strerror(error);
  }
};

// Standard output through a pipe read while the program writes, out of reach
// of a file size limit meant for the data file.
class console_pipe {
 public:
  console_pipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    reader_ = std::thread([this] {
      char block[65536];
      for (ssize_t n; (n = ::read(fds_[0], block, sizeof block)) > 0;) text_.append(block, n);
    });
  }
  void attach_in_child() const { ::dup2(fds_[1], 1); }
  std::string finish() {
    ::close(fds_[1]);
    reader_.join();
    ::close(fds_[0]);
    return text_;
  }

 private:
  int fds_[2];
  std::thread reader_;
  std::string text_;
};

// Standard output into a small pipe whose reader leaves after the first bytes.
run_result run_into_leaving_reader(const std::string& name, const temp_dir& dir,
                                   sighandler_t sigpipe) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  ::fcntl(fds[1], F_SETPIPE_SZ, 4096);
  const started_program started = start_program(program_path(name), dir.path, [&] {
    default_signals();
    ::signal(SIGPIPE, sigpipe);
    ::dup2(fds[1], 1);
  });
  ::close(fds[1]);
  char first[100];
  EXPECT_GT(::read(fds[0], first, sizeof first), 0);
  ::close(fds[0]);
  return finish_program(started);
}

std::string cannot(const std::string& name, const std::string& what, const std::string& target,
                   const std::string& reason) {
  return name + ": " + what + " " + target + ": " + reason + "\n";
}

}  // namespace

// ---------------------------------------------------------------------------
// Interruption

class HeavyProgram : public testing::TestWithParam<heavy_run> {};

TEST_P(HeavyProgram, KeepsWholeLinesOfTheFullRun) {
  check_interrupted(GetParam(), SIGINT);
  check_interrupted(GetParam(), SIGTERM);
}

INSTANTIATE_TEST_SUITE_P(
    Interrupted, HeavyProgram,
    testing::Values(heavy_run{"broad_duogap", ", |f(x)| = ", broad_duogap_line},
                    heavy_run{"conv_duogap", ", |f(x)|^2 = ", conv_duogap_line}),
    [](const auto& info) { return info.param.program; });

// monogap spends most of its time writing, so a signal is likely to land
// mid-output.
TEST(Interrupted, WhileWritingLeavesNoTornLine) {
  int interrupted = 0;
  for (int attempt = 0; attempt < 10 && interrupted < 3; ++attempt) {
    temp_dir dir;
    const started_program started =
        start_program(program_path("monogap"), dir.path, default_signals);
    wait_for_lines(dir.path / "monogap.txt", 500 + 1000 * attempt, started.pid);
    ::kill(started.pid, SIGTERM);
    const run_result run = finish_program(started);
    if (run.signal == 0) continue;  // finished first
    ++interrupted;
    EXPECT_EQ(run.signal, SIGTERM);
    expect_whole_lines_of(data_of(dir, "monogap"), full_data("monogap"), "monogap.txt");
    expect_whole_lines_of(run.out, full_console("monogap"), "console");
  }
  if (interrupted == 0) GTEST_SKIP() << "monogap always finished before the signal";
}

// ---------------------------------------------------------------------------
// Full disks: the failing stream is reported once, the other stays complete.

TEST(FullDisk, StandardOutputOnAFullDevice) {
  const auto to_full_device = [] { ::dup2(::open("/dev/full", O_WRONLY), 1); };
  for (const std::string& name : quick_programs) {
    temp_dir dir;
    const run_result run = run_program(program_path(name), dir.path, to_full_device);
    EXPECT_EQ(run.exit_status, 1) << name;
    EXPECT_EQ(run.err, cannot(name, "cannot write", "standard output", "No space left on device"));
    EXPECT_TRUE(data_of(dir, name) == full_data(name)) << name << ".txt incomplete";
  }
  temp_dir dir;
  const run_result run = run_program(program_path("ledcurve"), dir.path, to_full_device);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err,
            cannot("ledcurve", "cannot write", "standard output", "No space left on device"));
}

TEST(FullDisk, DataFileOnAFullFilesystem) {
  for (const std::string& name : quick_programs) {
    temp_dir dir;
    const tmpfs_mount tiny(dir.path, "size=8k");
    if (tiny.error != 0) GTEST_SKIP() << tiny.why_not();
    const run_result run = run_program(program_path(name), dir.path);
    EXPECT_EQ(run.exit_status, 1) << name;
    EXPECT_EQ(run.err, cannot(name, "cannot write", name + ".txt", "No space left on device"));
    EXPECT_TRUE(run.out == full_console(name)) << name << " console incomplete";
    const std::string data = data_of(dir, name);
    EXPECT_GT(data.size(), 4096u - 40) << name << " stopped writing before the disk was full";
    EXPECT_LE(data.size(), 8192u) << name;
    expect_whole_lines_of(data, full_data(name), name + ".txt");
  }
}

// With SIGXFSZ at its default, as from a shell's `ulimit -f`: the programs
// must not be killed by it.
TEST(FullDisk, DataFileBeyondTheFileSizeLimit) {
  constexpr rlim_t limit = 4096;
  const auto limited = [] {
    default_signals();
    const rlimit size{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &size);
  };
  for (const std::string& name : quick_programs) {
    temp_dir dir;
    console_pipe console;
    const run_result run = run_program(program_path(name), dir.path, [&] {
      console.attach_in_child();
      limited();
    });
    EXPECT_EQ(run.signal, 0) << name;
    EXPECT_EQ(run.exit_status, 1) << name;
    EXPECT_EQ(run.err, cannot(name, "cannot write", name + ".txt", "File too large"));
    EXPECT_TRUE(console.finish() == full_console(name)) << name << " console incomplete";
    // Every whole line that fits under the limit, and no part of the next.
    const std::string data = data_of(dir, name);
    expect_whole_lines_of(data, full_data(name), name + ".txt");
    EXPECT_LE(data.size(), limit) << name;
    EXPECT_GT(full_data(name).find('\n', data.size()) + 1, limit)
        << name << " lost a line that fit";
  }
  // ledcurve's table on standard output, here a file under the same limit.
  temp_dir dir;
  const run_result run = run_program(program_path("ledcurve"), dir.path, limited);
  EXPECT_EQ(run.signal, 0);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, cannot("ledcurve", "cannot write", "standard output", "File too large"));
}

// ---------------------------------------------------------------------------
// Folders and files the user may not write (a directory in the data file's
// place is covered by the program tests): told at once, and nothing is
// computed for a file that cannot take it.

TEST(Permissions, UnwritableFolderStopsBeforeComputing) {
  for (const std::string& name : quick_programs) {
    temp_dir dir;
    fs::permissions(dir.path, fs::perms(0555));
    const reachable_program program(name);
    if (const auto why = why_permissions_cannot_stop(program.path, dir.path); !why.empty())
      GTEST_SKIP() << why;
    const run_result run = run_program(program.path, dir.path, as_ordinary_user);
    EXPECT_EQ(run.exit_status, 1) << name;
    EXPECT_EQ(run.err, cannot(name, "cannot create", name + ".txt", "Permission denied"));
    EXPECT_EQ(run.out, "") << name;
    EXPECT_TRUE(fs::is_empty(dir.path));
  }
}

TEST(Permissions, ReadOnlyDataFileStopsBeforeComputingAndIsKept) {
  for (const std::string& name : quick_programs) {
    temp_dir dir;
    fs::permissions(dir.path, fs::perms(0777));
    const fs::path file = dir.path / (name + ".txt");
    std::ofstream(file) << "0 42\n";
    fs::permissions(file, fs::perms(0444));
    const reachable_program program(name);
    if (const auto why = why_permissions_cannot_stop(program.path, file); !why.empty())
      GTEST_SKIP() << why;
    const run_result run = run_program(program.path, dir.path, as_ordinary_user);
    EXPECT_EQ(run.exit_status, 1) << name;
    EXPECT_EQ(run.err, cannot(name, "cannot create", name + ".txt", "Permission denied"));
    EXPECT_EQ(run.out, "") << name;
    EXPECT_EQ(read_file(file), "0 42\n");
  }
}

TEST(Permissions, ReadOnlyFilesystemIsReported) {
  temp_dir dir;
  const tmpfs_mount read_only(dir.path, "size=64k", MS_RDONLY);
  if (read_only.error != 0) GTEST_SKIP() << read_only.why_not();
  const run_result run = run_program(program_path("monogap"), dir.path);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, cannot("monogap", "cannot create", "monogap.txt", "Read-only file system"));
  EXPECT_EQ(run.out, "");
}

// ---------------------------------------------------------------------------
// Closed and broken standard streams

// With descriptor 1 closed the data file would be opened as descriptor 1 and
// take the console lines.
TEST(StandardStreams, ClosedOutputIsReportedAndDataStaysClean) {
  const auto close_output = [] { ::close(1); };
  for (const std::string& name : quick_programs) {
    temp_dir dir;
    const run_result run = run_program(program_path(name), dir.path, close_output);
    EXPECT_EQ(run.exit_status, 1) << name;
    EXPECT_EQ(run.err, cannot(name, "cannot write", "standard output", "Bad file descriptor"));
    EXPECT_TRUE(data_of(dir, name) == full_data(name)) << name << ".txt is not the full run's";
  }
  temp_dir dir;
  const run_result run = run_program(program_path("ledcurve"), dir.path, close_output);
  EXPECT_EQ(run.exit_status, 1);
  EXPECT_EQ(run.err, cannot("ledcurve", "cannot write", "standard output", "Bad file descriptor"));
  EXPECT_TRUE(fs::is_empty(dir.path));
}

TEST(StandardStreams, ClosedInputAndErrorStayOutOfTheData) {
  temp_dir dir;
  const run_result run = run_program(program_path("monogap"), dir.path, [] {
    ::close(0);
    ::close(2);
  });
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_TRUE(run.out == full_console("monogap"));
  EXPECT_TRUE(data_of(dir, "monogap") == full_data("monogap"));

  // The report of a failure has nowhere to go, but the status still tells.
  temp_dir taken;
  fs::create_directory(taken.path / "monogap.txt");
  const run_result failed = run_program(program_path("monogap"), taken.path, [] { ::close(2); });
  EXPECT_EQ(failed.exit_status, 1);
  EXPECT_EQ(failed.out, "");
  EXPECT_TRUE(fs::is_empty(taken.path / "monogap.txt"));
}

TEST(StandardStreams, ReaderLeavingEndsTheRunBySigpipe) {
  for (const char* name : {"monogap", "ledcurve"}) {
    temp_dir dir;
    const run_result run = run_into_leaving_reader(name, dir, SIG_DFL);
    EXPECT_EQ(run.signal, SIGPIPE) << name;
    EXPECT_EQ(run.err, "") << name;
    if (std::string(name) == "monogap")
      expect_whole_lines_of(data_of(dir, name), full_data(name), "monogap.txt");
  }
}

TEST(StandardStreams, ReaderLeavingWithSigpipeIgnoredIsReported) {
  for (const char* name : {"monogap", "ledcurve"}) {
    temp_dir dir;
    const run_result run = run_into_leaving_reader(name, dir, SIG_IGN);
    EXPECT_EQ(run.exit_status, 1) << name;
    EXPECT_EQ(run.err, cannot(name, "cannot write", "standard output", "Broken pipe"));
    if (std::string(name) == "monogap") {
      EXPECT_TRUE(data_of(dir, name) == full_data(name)) << "monogap.txt incomplete";
    }
  }
}

// ---------------------------------------------------------------------------
// A value beyond binary64 on a bench that passes every check: the source
// sample on the axis weighs 1 / (sigma sqrt(2 PI)) = 4e299, and |A|^2
// overflows, so the pattern divided by its value on the axis is NaN. The
// run stops before its first line, its workers joined, with status 1.

TEST(NonFinite, ValueStopsTheRunBeforeItsLine) {
  for (const std::string output : {"conv_monogap.txt", "-"}) {
    temp_dir dir;
    const run_result run =
        run_program(program_path("conv_monogap"), dir.path, {},
                    {"--led-sigma", "1e-300", "--threads", "3", "--output", output});
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exit_status, 1) << output;
    EXPECT_EQ(run.out, "") << output;
    EXPECT_TRUE(run.err.starts_with("conv_monogap: error: the value at x = 0 is ")) << run.err;
    EXPECT_NE(run.err.find("nan"), std::string::npos) << run.err;
    EXPECT_EQ(std::ranges::count(run.err, '\n'), 1) << run.err;
    if (output != "-") {
      EXPECT_EQ(data_of(dir, "conv_monogap"), "");
    }
  }
}
