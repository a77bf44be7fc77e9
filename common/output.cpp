// Pattern output and its faults: each line flushed as it is written, the
// first failure of each stream told once on standard error while the run goes
// on, and a data file whose write failed cut back to its whole lines.
#include "output.hpp"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "bench.hpp"  // printable

namespace {

bool standard_output_failed = false;  // reported once, like each data file

// One whole line on standard error, written at once so it cannot interleave;
// a file name as printable() shows it.
void report(std::string_view program, std::string_view what, std::string_view target, int error) {
  std::string line;
  line.append(program).append(": ").append(what).append(" ");
  line.append(printable(target)).append(": ").append(std::strerror(error)).append("\n");
  std::fputs(line.c_str(), stderr);
}

void check_standard_output(std::string_view program) {
  if (!standard_output_failed && !std::cout) {
    standard_output_failed = true;
    report(program, "cannot write", "standard output", errno);
  }
}

// After a failed write (a full disk, a size limit) the file may end in part
// of a line, which a reader would take for a shorter number: the file is cut
// back to its whole lines and receives nothing more.
void check_file(pattern_file& file) {
  if (file.stream) {
    file.complete = file.stream.tellp();
    return;
  }
  const int error = errno;
  file.stream.close();  // a last attempt to flush may still add bytes
  [[maybe_unused]] const int cut = ::truncate(file.name.c_str(), file.complete);
  file.failed = true;
  report(file.program, "cannot write", file.name, error);
}

// Started with descriptor 0, 1 or 2 closed, the program would get it for the
// data file, and the console lines or error reports would land in the data.
// /dev/null takes each closed one; a closed standard output still fails.
void occupy_standard_descriptors(std::string_view program) {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);  // the lowest free: fd
    if (fd == 1) {
      standard_output_failed = true;
      report(program, "cannot write", "standard output", EBADF);
    }
  }
}

}  // namespace

signals_held::signals_held() {
  sigset_t terminating;
  ::sigemptyset(&terminating);
  for (int s : {SIGHUP, SIGINT, SIGQUIT, SIGTERM}) ::sigaddset(&terminating, s);
  ::pthread_sigmask(SIG_BLOCK, &terminating, &previous_);
}

signals_held::~signals_held() { ::pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

void prepare_output(std::string_view program) {
  occupy_standard_descriptors(program);
  // Past a file size limit the kernel would kill the program by SIGXFSZ
  // mid-line and without a word; ignored, the write fails with EFBIG and
  // takes the reported path like a full disk.
  ::signal(SIGXFSZ, SIG_IGN);
}

pattern_file open_pattern_file(std::string_view program, std::string_view name, int precision) {
  prepare_output(program);
  pattern_file file{program, std::string(name), {}, false};
  std::cout.precision(precision);
  file.stream.precision(precision);
  errno = 0;
  file.stream.open(file.name, std::ios::out | std::ios::trunc);
  if (!file.stream.is_open()) {
    file.failed = true;
    report(program, "cannot create", name, errno);
  }
  return file;
}

namespace {
void put_pair_line(std::ostream& out, double x, double value) {
  out << x << ' ' << value << '\n';
  out.flush();
}
}  // namespace

void write_pair_line(std::ostream& out, double x, double value) {
  const signals_held whole_line;
  put_pair_line(out, x, value);
}

void write_pattern_record(pattern_file& file, std::string_view label, double x, double value) {
  const signals_held whole_lines;
  std::cout << "x = " << x << label << value << '\n';
  std::cout.flush();
  check_standard_output(file.program);

  if (file.stream.is_open()) {
    put_pair_line(file.stream, x, value);
    check_file(file);
  }
}

int close_pattern_file(pattern_file& file) {
  if (file.stream.is_open()) {
    file.stream.close();
    if (file.stream.fail()) {
      file.failed = true;
      report(file.program, "cannot write", file.name, errno);
    }
  }
  return standard_output_status(file.program) | int(file.failed);
}

int standard_output_status(std::string_view program) {
  std::cout.flush();
  check_standard_output(program);
  return standard_output_failed ? 1 : 0;
}
