// Runs a built program as a user would: in a directory of its own, with its
// standard output and standard error captured. A pattern program runs with
// --threads SLITS_TEST_THREADS unless that is 1, the default.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "bench.hpp"

namespace fs = std::filesystem;

// A fresh temporary directory, removed with everything in it.
struct temp_dir {
  fs::path path;
  temp_dir() {
    std::string pattern = (fs::temp_directory_path() / "slits-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~temp_dir() {
    std::error_code ignored;
    fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path, ignored);
  }
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;
};

struct run_result {
  int exit_status = -1;  // valid when signal == 0
  int signal = 0;        // the signal that ended the program, if any
  std::string out;
  std::string err;
};

inline std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline fs::path program_path(const std::string& name) { return fs::path(SLITS_PROGRAM_DIR) / name; }

inline fs::path twin_path(const std::string& name) {
  return fs::path(SLITS_TWIN_DIR) / (name + "_straightforward");
}

// A program started in the background, not yet waited for.
struct started_program {
  pid_t pid = -1;
  fs::path out_path;
  fs::path err_path;
};

// The arguments of a run: the test's own, after --threads for a pattern
// program (its twin included) in a build testing more than one thread.
inline std::vector<std::string> arguments_of(const fs::path& program,
                                             const std::vector<std::string>& arguments) {
  std::string name = program.filename().string();
  if (name.ends_with("_straightforward")) name.resize(name.size() - 16);
  const program_info* p = find_program(name);
  std::vector<std::string> all{program.string()};
  if (SLITS_TEST_THREADS != 1 && p && p->pattern())
    all.insert(all.end(), {"--threads", std::to_string(SLITS_TEST_THREADS)});
  all.insert(all.end(), arguments.begin(), arguments.end());
  return all;
}

// Starts `program` with `dir` as working directory. Standard output and error
// go to files beside `dir`; `in_child` may change the child's conditions
// (limits, descriptors, credentials, signals) just before exec.
inline started_program start_program(const fs::path& program, const fs::path& dir,
                                     const std::function<void()>& in_child = {},
                                     const std::vector<std::string>& arguments = {}) {
  started_program started{-1, dir.string() + ".stdout", dir.string() + ".stderr"};
  std::vector<std::string> all = arguments_of(program, arguments);
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  started.pid = ::fork();
  if (started.pid == 0) {
    const int out = ::open(started.out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(started.err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::chdir(dir.c_str()) != 0)
      ::_exit(127);
    ::close(out);
    ::close(err);
    if (in_child) in_child();
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return started;
}

// Waits for the program to end and collects what it wrote.
inline run_result finish_program(const started_program& started) {
  run_result result;
  int status = 0;
  ::waitpid(started.pid, &status, 0);
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  result.out = read_file(started.out_path);
  result.err = read_file(started.err_path);
  fs::remove(started.out_path);
  fs::remove(started.err_path);
  return result;
}

inline run_result run_program(const fs::path& program, const fs::path& dir,
                              const std::function<void()>& in_child = {},
                              const std::vector<std::string>& arguments = {}) {
  return finish_program(start_program(program, dir, in_child, arguments));
}
