#include "support/capture.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "recordio/console_unit.h"
#include "recordio/units.h"
#include "runtime/platform.h"
#include "runtime/termination.h"

namespace quelvar::testing {
namespace {

int temporary_stream(const std::string& contents) {
  char path[] = "/tmp/quelvar-stream-XXXXXX";
  int fd = ::mkstemp(path);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  ::unlink(path);
  if (!contents.empty() && ::write(fd, contents.data(), contents.size()) != static_cast<ssize_t>(contents.size())) {
    throw std::runtime_error("write failed");
  }
  ::lseek(fd, 0, SEEK_SET);
  return fd;
}

std::string contents_of(int fd) {
  std::string bytes;
  ::lseek(fd, 0, SEEK_SET);
  char chunk[4096];
  ssize_t got;
  while ((got = ::read(fd, chunk, sizeof chunk)) > 0) bytes.append(chunk, static_cast<size_t>(got));
  return bytes;
}

}  // namespace

CapturedRun capture_run(const std::function<void()>& body, bool start_up, const std::string& input,
                        const std::vector<std::string>& arguments) {
  CapturedRun result;
  const int input_fd = temporary_stream(input);
  const int output_fd = temporary_stream("");
  const int error_fd = temporary_stream("");
  reset_platform();
  standard_streams() = StandardStreams{input_fd, output_fd, error_fd};
  reset_end_of_run();
  set_process_ender(&throw_run_ended);

  std::vector<const char*> argv;
  argv.push_back("quelvar");
  for (const std::string& argument : arguments) argv.push_back(argument.c_str());
  argv.push_back(nullptr);
  try {
    if (start_up) {
      setup_console_unit();
      setup_units(static_cast<int>(argv.size()) - 1, argv.data());
    }
    body();
  } catch (const RunEnded& ended) {
    result.ended = true;
    result.status = ended.status;
  }
  result.output = contents_of(output_fd);
  result.error = contents_of(error_fd);
  ::close(input_fd);
  ::close(output_fd);
  ::close(error_fd);
  reset_platform();
  reset_end_of_run();
  return result;
}

TemporaryDirectory::TemporaryDirectory() {
  char pattern[] = "/tmp/quelvar-test-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TemporaryDirectory::~TemporaryDirectory() {
  std::error_code ignored;
  // Make read-only entries removable again before removing the tree.
  for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored)) {
    std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::remove_all(path_, ignored);
}

WorkingDirectory::WorkingDirectory(const std::string& path) : previous_(std::filesystem::current_path()) {
  std::filesystem::current_path(path);
}

WorkingDirectory::~WorkingDirectory() {
  std::error_code ignored;
  std::filesystem::current_path(previous_, ignored);
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

bool file_exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

}  // namespace quelvar::testing
