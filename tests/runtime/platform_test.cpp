#include "runtime/platform.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace quelvar {
namespace {

// A scripted write: each call takes the next step, accepting at most `accept` bytes of what it is
// given, or failing with `error`. Calls past the script accept everything.
struct Step {
  int error;      // 0: accept
  size_t accept;  // bytes taken when not failing
};
std::vector<Step> script;
size_t next_step = 0;
std::string written;
int calls = 0;

ssize_t scripted_write(int, const void* bytes, size_t count) {
  ++calls;
  const Step step = next_step < script.size() ? script[next_step++] : Step{0, count};
  if (step.error != 0) {
    errno = step.error;
    return -1;
  }
  const size_t taken = step.accept < count ? step.accept : count;
  written.append(static_cast<const char*>(bytes), taken);
  return static_cast<ssize_t>(taken);
}

// Every report, console line and buffered file block goes out through write_fully: a short write
// must be continued from where it stopped, an interruption retried, and a failure end the call
// with the bytes written so far and errno telling why.
TEST(WriteFully, ContinuesShortWritesAndStopsAtTheFirstFailure) {
  const std::string text = "0123456789";
  struct Case {
    const char* why;
    std::vector<Step> script;
    size_t returned;
    int error;  // errno after a short result
    int calls;
  };
  const Case cases[] = {
      {"one write takes everything", {}, 10, 0, 1},
      {"short writes are continued where they stopped", {{0, 3}, {0, 1}, {0, 4}}, 10, 0, 4},
      {"an interrupted write is retried", {{EINTR, 0}, {0, 6}, {EINTR, 0}}, 10, 0, 4},
      {"a failure ends the call with what was written", {{0, 4}, {ENOSPC, 0}}, 4, ENOSPC, 2},
      {"a failure at once", {{EPIPE, 0}}, 0, EPIPE, 1},
      {"a write that takes nothing would loop forever: it counts as an I/O error", {{0, 2}, {0, 0}}, 2, EIO, 2},
  };
  for (const Case& c : cases) {
    reset_platform();
    platform_calls().write = &scripted_write;
    script = c.script;
    next_step = 0;
    written.clear();
    calls = 0;
    errno = 0;
    const size_t returned = write_fully(1, text.data(), text.size());
    const int error = errno;
    reset_platform();
    EXPECT_EQ(returned, c.returned) << c.why;
    EXPECT_EQ(written, text.substr(0, c.returned)) << c.why << ": every byte once, in order";
    if (c.returned < text.size()) {
      EXPECT_EQ(error, c.error) << c.why;
    }
    EXPECT_EQ(calls, c.calls) << c.why;
  }
}

}  // namespace
}  // namespace quelvar
