// In-process test harness: runs a piece of the program with its standard streams pointed at
// temporary files and the end of the run turned into an exception, and hands back what it wrote.
#pragma once

#include <functional>
#include <vector>
#include <string>

namespace quelvar::testing {

struct CapturedRun {
  bool ended = false;  // the body ended the run (end_of_run or a report)
  int status = -1;     // its exit status when it did
  std::string output;  // bytes written to standard output
  std::string error;   // bytes written to standard error
};

// Runs `body` with standard input reading `input`, standard output and error captured, and the
// process ender replaced by one that throws. The end-of-run actions are reset before the body;
// when `start_up` is true the console unit and the unit layer are set up first (their end actions
// registered), as at the start of the program, with `arguments` as the command line.
CapturedRun capture_run(const std::function<void()>& body, bool start_up = true,
                        const std::string& input = "", const std::vector<std::string>& arguments = {});

// A fresh empty directory, removed with its contents when the object goes.
class TemporaryDirectory {
 public:
  TemporaryDirectory();
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Changes the working directory for the object's lifetime.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::string& path);
  ~WorkingDirectory();
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::string previous_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

}  // namespace quelvar::testing
