// I/O fault injection: a full in-process run in which the N-th read, write, close or cut of the
// unit layer or the console fails with a chosen errno, for every N. Each failure must give its
// report and exit status, or be ignored where the rules say so; nothing may crash, and no input
// file may be changed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>

#include "driver/run_driver.h"
#include "runtime/platform.h"
#include "runtime/termination.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/process_runner.h"

namespace quelvar {
namespace {

using testing::capture_run;
using testing::io_report;
using testing::read_file;
using testing::source_path;

enum class Call { read, write, close, cut };

const char* call_name(Call call) {
  switch (call) {
    case Call::read: return "read";
    case Call::write: return "write";
    case Call::close: return "close";
    case Call::cut: return "cut";
  }
  return "?";
}

// The injector counts calls of one kind and fails the one numbered `fail_at` (1-based).
struct Injector {
  Call kind = Call::read;
  int fail_at = 0;
  int error = 0;
  int seen = 0;
  PlatformCalls real{};
  std::string failed_on;  // what the failing call's descriptor named: a file name, or "stdout"

  bool fails_now(Call call, int fd) {
    if (call != kind || ++seen != fail_at) return false;
    failed_on = describe(fd);
    return true;
  }

  static std::string describe(int fd) {
    if (fd == standard_streams().output) return "stdout";
    if (fd == standard_streams().error) return "stderr";
    char target[512] = {};
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
    const std::string path(target, length > 0 ? static_cast<size_t>(length) : 0);
    return path.substr(path.rfind('/') + 1);
  }
};

Injector injector;

ssize_t injected_read(int fd, void* buffer, size_t count) {
  if (injector.fails_now(Call::read, fd)) {
    errno = injector.error;
    return -1;
  }
  return injector.real.read(fd, buffer, count);
}
ssize_t injected_write(int fd, const void* buffer, size_t count) {
  if (injector.fails_now(Call::write, fd)) {
    errno = injector.error;
    return -1;
  }
  return injector.real.write(fd, buffer, count);
}
ssize_t injected_writev(int fd, const iovec* pieces, int count) {
  if (injector.fails_now(Call::write, fd)) {
    errno = injector.error;
    return -1;
  }
  return injector.real.writev(fd, pieces, count);
}
int injected_close(int fd) {
  if (injector.fails_now(Call::close, fd)) {
    // The descriptor is released all the same, as the system does after a failed close.
    injector.real.close(fd);
    errno = injector.error;
    return -1;
  }
  return injector.real.close(fd);
}
int injected_ftruncate(int fd, off_t length) {
  if (injector.fails_now(Call::cut, fd)) {
    errno = injector.error;
    return -1;
  }
  return injector.real.ftruncate(fd, length);
}

struct RunOutcome {
  testing::CapturedRun run;
  std::map<std::string, std::string> files;
};

const char* const kInputs[] = {"Quelvar.inp", "a.txt", "b.txt"};

// The worked run in a fresh directory, with an old longer "Quelvar.dat" in place.
RunOutcome worked_run_with(Call kind, int fail_at, int error) {
  testing::TemporaryDirectory directory;
  testing::WorkingDirectory here(directory.path());
  for (const char* name : kInputs) testing::write_file(name, read_file(source_path(std::string("examples/worked_run/") + name)));
  testing::write_file("Quelvar.dat", std::string(3000, 'o'));

  injector = Injector{kind, fail_at, error, 0, {}, {}};
  RunOutcome outcome;
  outcome.run = capture_run(
      [&] {
        injector.real = platform_calls();
        platform_calls().read = &injected_read;
        platform_calls().write = &injected_write;
        platform_calls().writev = &injected_writev;
        platform_calls().close = &injected_close;
        platform_calls().ftruncate = &injected_ftruncate;
        const char* argv[] = {"quelvar", nullptr};
        run_program(1, argv);
      },
      false);
  for (const char* name : {"Quelvar.inp", "a.txt", "b.txt", "Quelvar.dat"}) {
    if (testing::file_exists(name)) outcome.files[name] = read_file(name);
  }
  return outcome;
}


// What the run must end with when the failing call was `kind` on `file` with `error`: its report,
// or "" when the failure is ignored and the run completes with the whole table.
std::string expected_report(Call kind, const std::string& file, int error) {
  const bool inputs = file == "Quelvar.inp" || file == "a.txt" || file == "b.txt";
  if (file == "stdout") {
    // The console stops the run only on a full device or a refusal, and only when the record's
    // text itself came up short; the first record of the run has no control bytes before it.
    return "console";
  }
  if (kind == Call::read) return inputs ? io_report(6500, "READ", file) : "unexpected";
  if (kind == Call::close && inputs) return "";  // nothing was written to them: nothing to lose
  if (file != "Quelvar.dat") return "unexpected";
  // The cut comes with the first write statement; the table is smaller than one buffer, so its
  // bytes go out when the unit is closed, and a failure there belongs to the close.
  const char* label = kind == Call::cut ? "WRITE" : "CLOSE";
  if (error == ENOSPC) return io_report(6422, label, file);
  if (error == EACCES) return io_report(6421, label, file);
  return io_report(6420, label, file);
}

TEST(FaultInjection, EveryCallOfEveryKindFailingInTurn) {
  const RunOutcome clean = worked_run_with(Call::read, 0, 0);
  ASSERT_TRUE(clean.run.ended);
  ASSERT_EQ(clean.run.status, 0) << clean.run.error;
  const std::string expected_table = read_file(source_path("tests/e2e/golden/worked_run/expected_Quelvar.dat"));
  ASSERT_EQ(clean.files.at("Quelvar.dat"), expected_table);

  int cases = 0;
  for (Call kind : {Call::read, Call::write, Call::close, Call::cut}) {
    for (int error : {ENOSPC, EACCES, EIO, EPIPE}) {
      for (int n = 1;; ++n) {
        const RunOutcome faulty = worked_run_with(kind, n, error);
        if (injector.seen < n) break;  // the run made fewer calls of this kind: all walked
        ++cases;
        const std::string where = std::string(call_name(kind)) + " #" + std::to_string(n) + " on " +
                                  injector.failed_on + ", errno " + std::to_string(error) + "\n" + faulty.run.error;
        ASSERT_TRUE(faulty.run.ended) << where;
        // No input file is ever changed.
        for (const char* name : kInputs) EXPECT_EQ(faulty.files.at(name), clean.files.at(name)) << where;
        const std::string expected = expected_report(kind, injector.failed_on, error);
        ASSERT_NE(expected, "unexpected") << where;
        if (expected == "console") {
          const bool stops = error == ENOSPC || error == EACCES;
          if (faulty.run.status == 1) {
            EXPECT_TRUE(stops) << where;
            EXPECT_EQ(faulty.run.error, io_report(error == ENOSPC ? 6422 : 6421, "WRITE", "CON")) << where;
            continue;
          }
        } else if (!expected.empty()) {
          EXPECT_EQ(faulty.run.status, 1) << where;
          EXPECT_EQ(faulty.run.error, expected) << where;
          continue;
        }
        // An ignored failure must not have cost the run or its table anything.
        EXPECT_EQ(faulty.run.status, 0) << where;
        EXPECT_EQ(faulty.run.error, "") << where;
        EXPECT_EQ(faulty.files.at("Quelvar.dat"), expected_table) << where;
      }
    }
  }
  RecordProperty("cases_walked", cases);
  EXPECT_GT(cases, 20);
}

TEST(FaultInjection, ConsoleShortfallsFollowTheirRules) {
  struct Case {
    int error;
    int status;
    const char* report_start;
  } cases[] = {
      {ENOSPC, 1, "\r\nrun-time error F6422: WRITE(CON)\r\n"},
      {EACCES, 1, "\r\nrun-time error F6421: WRITE(CON)\r\n"},
      {EPIPE, 0, ""},  // a reader that went away: the run goes on and writes its table
      {EIO, 0, ""},
  };
  for (const Case& c : cases) {
    // The first write of the run is the first console record: it has no control bytes.
    const RunOutcome faulty = worked_run_with(Call::write, 1, c.error);
    EXPECT_EQ(faulty.run.status, c.status) << c.error;
    EXPECT_EQ(faulty.run.error.substr(0, std::string(c.report_start).size()), c.report_start) << c.error;
  }
}

}  // namespace
}  // namespace quelvar
