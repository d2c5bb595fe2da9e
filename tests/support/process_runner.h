// Whole-process test helper: runs the built quelvar binary in a fresh temporary directory with
// given files, arguments and standard input, and captures everything the run leaves behind.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace quelvar::testing {

struct ProcessSetup {
  std::map<std::string, std::string> files;  // name (may contain '/') -> bytes, written before the run
  std::vector<std::string> arguments;
  std::string standard_input;
  // When set, standard output is this path (for example /dev/full) instead of a capture pipe.
  std::optional<std::string> standard_output_path;
  // Entries made read-only (mode 0444) before the run. When the tests run as root, which may write
  // read-only files, the binary then runs as the unprivileged user "nobody" so that the mode holds.
  std::vector<std::string> read_only;
};

struct ProcessResult {
  int exit_status = -1;    // the status passed to exit, or -1 when killed by a signal
  int signal = 0;          // the signal that ended the process, if any
  std::string output;      // standard output bytes
  std::string error;       // standard error bytes
  std::map<std::string, std::string> files;  // every regular file left in the directory, by name
};

ProcessResult run_quelvar(const ProcessSetup& setup);

// The repository's source directory, for fixtures kept in the tree.
std::string source_path(const std::string& relative);

}  // namespace quelvar::testing
