// Whole-program fuzzing: one input is split into a control file and up to three curve files
// ("a", "b", "c") in a private directory, and the whole run executes in-process with the end of
// the run intercepted. Invariants: exit status 0 or 1, every report well formed, an old result
// table untouched when the run stopped before writing its own, and no sanitizer finding.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "driver/run_driver.h"
#include "recordio/units.h"
#include "runtime/platform.h"
#include "runtime/termination.h"

namespace {

using namespace quelvar;

constexpr std::string_view kSeparator = "\n==\n";
constexpr std::string_view kSentinel = "old table\r\n";

std::string directory;
int output_fd = -1;
int error_fd = -1;
int input_fd = -1;
PlatformCalls real_calls;

// Confines the run to its directory: a name with a path in it is refused, as the system would
// refuse a file it may not open. Only the null device is allowed outside.
int confined_open(const char* path, int flags, mode_t mode) {
  if (std::strchr(path, '/') != nullptr && std::strcmp(path, "/dev/null") != 0) {
    errno = EACCES;
    return -1;
  }
  return real_calls.open(path, flags, mode);
}

void write_whole(const std::string& name, std::string_view bytes) {
  int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) std::abort();
  if (!bytes.empty() && ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
  ::close(fd);
}

std::string read_whole(int fd) {
  std::string bytes;
  ::lseek(fd, 0, SEEK_SET);
  char chunk[4096];
  ssize_t got;
  while ((got = ::read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(got));
  return bytes;
}

bool read_file(const char* name, std::string& bytes) {
  int fd = ::open(name, O_RDONLY);
  if (fd < 0) return false;
  bytes = read_whole(fd);
  ::close(fd);
  return true;
}

void check(bool condition, const char* what, const std::string& detail) {
  if (condition) return;
  std::fprintf(stderr, "invariant broken: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// A report: CR LF "run-time error " letter, four digits, label, CR LF "- " description CR LF; a
// second report may follow one written during the end of the run.
bool well_formed_reports(std::string_view text) {
  int reports = 0;
  while (!text.empty()) {
    constexpr std::string_view kStart = "\r\nrun-time error ";
    if (text.substr(0, kStart.size()) != kStart) return false;
    text.remove_prefix(kStart.size());
    if (text.size() < 5 || (text[0] != 'F' && text[0] != 'M')) return false;
    for (int i = 1; i <= 4; ++i) {
      if (text[static_cast<size_t>(i)] < '0' || text[static_cast<size_t>(i)] > '9') return false;
    }
    const size_t line_end = text.find("\r\n- ");
    if (line_end == std::string_view::npos) return false;
    text.remove_prefix(line_end + 4);
    const size_t description_end = text.find("\r\n");
    if (description_end == std::string_view::npos || description_end == 0) return false;
    text.remove_prefix(description_end + 2);
    ++reports;
  }
  return reports >= 1 && reports <= 2;
}

void set_up_once() {
  if (!directory.empty()) return;
  char pattern[] = "/tmp/quelvar-fuzz-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) std::abort();
  directory = pattern;
  if (::chdir(pattern) != 0) std::abort();
  output_fd = ::memfd_create("stdout", 0);
  error_fd = ::memfd_create("stderr", 0);
  input_fd = ::open("/dev/null", O_RDONLY);
}

void clear_directory() {
  for (const char* name : {"Quelvar.inp", "Quelvar.dat", "a", "b", "c"}) ::unlink(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  set_up_once();
  clear_directory();
  std::string_view input(reinterpret_cast<const char*>(data), size);
  const char* names[] = {"Quelvar.inp", "a", "b", "c"};
  for (const char* name : names) {
    const size_t cut = input.find(kSeparator);
    write_whole(name, input.substr(0, cut));
    if (cut == std::string_view::npos) {
      input = {};
      break;
    }
    input.remove_prefix(cut + kSeparator.size());
  }
  write_whole("Quelvar.dat", kSentinel);

  ::ftruncate(output_fd, 0);
  ::ftruncate(error_fd, 0);
  ::lseek(output_fd, 0, SEEK_SET);
  ::lseek(error_fd, 0, SEEK_SET);
  reset_platform();
  real_calls = platform_calls();
  platform_calls().open = &confined_open;
  standard_streams() = StandardStreams{input_fd, output_fd, error_fd};
  reset_end_of_run();
  set_process_ender(&throw_run_ended);

  int status = -1;
  try {
    const char* argv[] = {"quelvar", nullptr};
    run_program(1, argv);
  } catch (const RunEnded& ended) {
    status = ended.status;
  }
  // A report written during the end of the run leaves the remaining units to the process end;
  // here the process goes on, so release their handles.
  for (int unit : {kControlUnit, kResultUnit, kCurveUnit}) {
    if (UnitConnection* connection = connected_unit(unit); connection != nullptr && connection->handle > 2) {
      ::close(connection->handle);
      connection->handle = -1;
    }
  }
  reset_platform();

  const std::string error = read_whole(error_fd);
  check(status == 0 || status == 1, "exit status is 0 or 1", std::to_string(status));
  if (status == 0) {
    check(error.empty(), "a completed run writes nothing to standard error", error);
  } else {
    check(well_formed_reports(error), "every report is well formed", error);
    std::string table;
    const bool about_table = error.find("(Quelvar.dat)") != std::string::npos;
    if (!about_table) {
      check(read_file("Quelvar.dat", table) && table == kSentinel,
            "a run that stopped before its table leaves the old table untouched", error);
    }
  }
  return 0;
}
