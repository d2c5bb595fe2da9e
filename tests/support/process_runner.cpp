#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "support/capture.h"

namespace quelvar::testing {
namespace {

void make_pipe(int ends[2]) {
  if (::pipe2(ends, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
}

}  // namespace

std::string source_path(const std::string& relative) { return std::string(QUELVAR_SOURCE_DIR) + "/" + relative; }

ProcessResult run_quelvar(const ProcessSetup& setup) {
  std::signal(SIGPIPE, SIG_IGN);  // the child may exit before it has read all its input
  TemporaryDirectory directory;
  for (const auto& [name, bytes] : setup.files) {
    std::filesystem::path path = directory.file(name);
    std::filesystem::create_directories(path.parent_path());
    write_file(path.string(), bytes);
  }
  for (const std::string& name : setup.read_only) ::chmod(directory.file(name).c_str(), 0444);
  const bool drop_privileges = !setup.read_only.empty() && ::geteuid() == 0;
  // In a coverage build the unprivileged binary may not update the build's profile data; its
  // complaints would land on the standard error under test. It writes it here instead, unused.
  std::optional<TemporaryDirectory> profile_data;
  if (drop_privileges) {
    profile_data.emplace();
    ::chmod(profile_data->path().c_str(), 0777);
    ::chmod(directory.path().c_str(), 0777);
    for (const auto& [name, bytes] : setup.files) {
      if (std::find(setup.read_only.begin(), setup.read_only.end(), name) == setup.read_only.end()) {
        ::chmod(directory.file(name).c_str(), 0666);
      }
    }
  }

  int input_pipe[2], output_pipe[2], error_pipe[2];
  make_pipe(input_pipe);
  make_pipe(output_pipe);
  make_pipe(error_pipe);

  std::vector<std::string> argument_storage = {QUELVAR_BINARY};
  argument_storage.insert(argument_storage.end(), setup.arguments.begin(), setup.arguments.end());
  std::vector<char*> argv;
  for (std::string& argument : argument_storage) argv.push_back(argument.data());
  argv.push_back(nullptr);

  pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (::chdir(directory.path().c_str()) != 0) ::_exit(127);
    constexpr uid_t kNobody = 65534;
    if (drop_privileges) {
      ::setenv("GCOV_PREFIX", profile_data->path().c_str(), 1);
      if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) ::_exit(126);
    }
    ::dup2(input_pipe[0], 0);
    if (setup.standard_output_path) {
      int out = ::open(setup.standard_output_path->c_str(), O_WRONLY);
      if (out < 0) ::_exit(127);
      ::dup2(out, 1);
    } else {
      ::dup2(output_pipe[1], 1);
    }
    ::dup2(error_pipe[1], 2);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(input_pipe[0]);
  ::close(output_pipe[1]);
  ::close(error_pipe[1]);

  // Feed standard input and drain both outputs together, so that no pipe fills and blocks.
  ProcessResult result;
  size_t input_sent = 0;
  int input_fd = input_pipe[1];
  if (setup.standard_input.empty()) {
    ::close(input_fd);
    input_fd = -1;
  }
  int open_outputs = 2;
  pollfd polls[3];
  while (open_outputs > 0 || input_fd >= 0) {
    nfds_t count = 0;
    polls[count++] = {output_pipe[0], POLLIN, 0};
    polls[count++] = {error_pipe[0], POLLIN, 0};
    if (input_fd >= 0) polls[count++] = {input_fd, POLLOUT, 0};
    if (::poll(polls, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (polls[i].fd < 0 || !(polls[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char chunk[65536];
      ssize_t got = ::read(polls[i].fd, chunk, sizeof chunk);
      if (got > 0) {
        (i == 0 ? result.output : result.error).append(chunk, static_cast<size_t>(got));
      } else {
        ::close(polls[i].fd);
        (i == 0 ? output_pipe[0] : error_pipe[0]) = -1;
        --open_outputs;
      }
    }
    if (input_fd >= 0 && count == 3 && (polls[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t sent = ::write(input_fd, setup.standard_input.data() + input_sent,
                             setup.standard_input.size() - input_sent);
      if (sent > 0) input_sent += static_cast<size_t>(sent);
      if (sent <= 0 || input_sent == setup.standard_input.size()) {
        ::close(input_fd);
        input_fd = -1;
      }
    }
    if (output_pipe[0] < 0 && error_pipe[0] < 0 && input_fd >= 0) {
      ::close(input_fd);
      input_fd = -1;
    }
  }

  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);

  for (const auto& entry : std::filesystem::recursive_directory_iterator(directory.path())) {
    if (!entry.is_regular_file()) continue;
    result.files[std::filesystem::relative(entry.path(), directory.path()).string()] = read_file(entry.path().string());
  }
  return result;
}

}  // namespace quelvar::testing
