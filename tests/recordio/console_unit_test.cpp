#include "recordio/console_unit.h"

#include <fcntl.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <string>
#include <vector>

#include "recordio/units.h"
#include "runtime/platform.h"
#include "runtime/termination.h"
#include "support/capture.h"
#include "support/expected_text.h"
#include "support/process_runner.h"

namespace quelvar {
namespace {

using testing::capture_run;

std::string report_text(int number, std::string_view unit) { return testing::io_report(number, "WRITE", unit); }

void console_record(std::string_view text) {
  console_unit().begin_statement();
  console_unit().put_text(text);
  console_unit().end_record();
}

// Every write and writev of the run, in order, with the bytes that reached the descriptor. The
// wrappers can also fail chosen writev calls or cut every call short, as a device would.
struct CallLog {
  struct Call {
    int fd;
    std::string bytes;
    bool vectored;
  };
  std::vector<Call> calls;
  std::vector<int> writev_errors;  // errno for writev call i (0: let it through)
  int writev_count = 0;
  int write_error = 0;              // errno for every plain write to standard output
  size_t most_bytes_per_call = 0;   // 0: no limit
};
CallLog call_log;

ssize_t logged_writev(int fd, const iovec* pieces, int piece_count) {
  const int index = call_log.writev_count++;
  if (index < static_cast<int>(call_log.writev_errors.size()) && call_log.writev_errors[index] != 0) {
    errno = call_log.writev_errors[index];
    return -1;
  }
  std::string bytes;
  for (int i = 0; i < piece_count; ++i) bytes.append(static_cast<const char*>(pieces[i].iov_base), pieces[i].iov_len);
  if (call_log.most_bytes_per_call != 0 && bytes.size() > call_log.most_bytes_per_call) {
    bytes.resize(call_log.most_bytes_per_call);
  }
  const ssize_t written = ::write(fd, bytes.data(), bytes.size());
  call_log.calls.push_back({fd, bytes, true});
  return written;
}

ssize_t logged_write(int fd, const void* bytes, size_t count) {
  if (call_log.write_error != 0 && fd == standard_streams().output) {
    errno = call_log.write_error;
    return -1;
  }
  const ssize_t written = ::write(fd, bytes, count);
  call_log.calls.push_back({fd, std::string(static_cast<const char*>(bytes), count), false});
  return written;
}

void log_calls() {
  call_log = CallLog{};
  platform_calls().writev = &logged_writev;
  platform_calls().write = &logged_write;
}

// Runs the records as separate console statements (an empty text is an empty record) and ends
// the run normally.
testing::CapturedRun run_records(const std::vector<std::string>& records) {
  return capture_run([&] {
    log_calls();
    for (const std::string& record : records) console_record(record);
    end_of_run(0);
  });
}

TEST(ConsoleUnit, EachRecordsLineEndIsWrittenWhenTheNextBeginsAndAtTheEnd) {
  struct Case {
    const char* what;
    std::vector<std::string> records;
    std::string expected;
  };
  const Case cases[] = {
      {"one record: no bytes before it, CR LF at the end", {" a"}, "a\r\n"},
      // The free-format writer's records begin with a blank before their own leading blank.
      {"the log's first three lines",
       {"  Campo:        1.000000", "           1      300.500000       12.345000",
        "           1 puntos en el fichero"},
       " Campo:        1.000000\r\n          1      300.500000       12.345000\r\n"
       "          1 puntos en el fichero\r\n"},
      {"an empty record shows as an empty line", {" a", "", " b"}, "a\r\n\r\nb\r\n"},
      {"a first record that is empty still owes its line end", {""}, "\r\n"},
      {"bytes pass untranslated", {" \xF3\n\r\t"}, "\xF3\n\r\t\r\n"},
      {"no records: nothing at all", {}, ""},
  };
  for (const Case& c : cases) {
    auto run = run_records(c.records);
    EXPECT_EQ(run.status, 0) << c.what;
    EXPECT_EQ(run.output, c.expected) << c.what;
    EXPECT_EQ(run.error, "") << c.what;
  }
}

TEST(ConsoleUnit, CarriageControlByFirstCharacter) {
  struct Case {
    char control;
    const char* first_record;  // bytes before the text when it is the run's first record
    const char* later_record;  // bytes before the text when a line end is owed
  };
  const Case cases[] = {
      {' ', "", "\r\n"},
      {'x', "", "\r\n"},  // unlisted characters act as a blank and are consumed too
      {'0', "\r\n", "\r\n\r\n"},
      {'1', "\r\n\f\r \r", "\r\n\f\r \r"},
      {'+', "\r", "\r"},
  };
  for (const Case& c : cases) {
    const std::string record = std::string(1, c.control) + "T";
    EXPECT_EQ(run_records({record}).output, std::string(c.first_record) + "T\r\n") << c.control;
    EXPECT_EQ(run_records({" p", record}).output, "p" + std::string(c.later_record) + "T\r\n") << c.control;
  }
}

TEST(ConsoleUnit, RecordLongerThan132IsOneLineWithOnlyItsFirstCharacterConsumed) {
  std::string record = " ";
  for (int i = 1; i < 300; ++i) record += static_cast<char>('0' + i % 10);
  auto run = capture_run([&] {
    log_calls();
    console_record(" a");
    console_unit().begin_statement();
    // Put in uneven parts, blanks among them, so pieces are cut inside a put.
    console_unit().put_text(std::string_view(record).substr(0, 100));
    console_unit().put_blanks(50);
    console_unit().put_text(std::string_view(record).substr(150));
    console_unit().end_record();
    end_of_run(0);
  });
  std::string expected_record = record;
  expected_record.replace(100, 50, std::string(50, ' '));
  EXPECT_EQ(run.output, "a\r\n" + expected_record.substr(1) + "\r\n");
  // Pieces of 132, 132 and 36 bytes; the first goes out with its control bytes.
  ASSERT_EQ(call_log.calls.size(), 5u);
  EXPECT_EQ(call_log.calls[1].bytes, "\r\n" + expected_record.substr(1, 131));
  EXPECT_EQ(call_log.calls[2].bytes, expected_record.substr(132, 132));
  EXPECT_EQ(call_log.calls[3].bytes, expected_record.substr(264));
}

TEST(ConsoleUnit, OneWritevPerRecordUpTo132Characters) {
  struct Case {
    size_t length;
    bool first;
    int writev_calls;
  };
  const Case cases[] = {
      {0, true, 0},     // an empty first record has neither control bytes nor text
      {0, false, 1},    // an empty later record: its control bytes
      {1, false, 1},    // a lone blank: control bytes only
      {2, true, 1},
      {2, false, 1},
      {132, false, 1},  // a full buffer is still one piece
      {133, false, 2},  // the 133rd character starts a second piece
      {264, false, 2},
      {265, false, 3},
  };
  for (const Case& c : cases) {
    int counted = -1;
    auto run = capture_run([&] {
      log_calls();
      if (!c.first) console_record(" p");
      const int before = call_log.writev_count;
      console_unit().begin_statement();
      console_unit().put_blanks(c.length);
      console_unit().end_record();
      counted = call_log.writev_count - before;
      end_of_run(0);
    });
    EXPECT_EQ(counted, c.writev_calls) << c.length << (c.first ? " first" : " later");
    for (const CallLog::Call& call : call_log.calls) EXPECT_FALSE(call.bytes.empty());
  }
}

TEST(ConsoleUnit, PartialWritesStillDeliverEveryByte) {
  auto run = capture_run([&] {
    log_calls();
    call_log.most_bytes_per_call = 1;
    console_record(" ab");
    console_record("0cd");
    console_record(std::string(140, 'e'));
    end_of_run(0);
  });
  EXPECT_EQ(run.output, "ab\r\n\r\ncd\r\n" + std::string(139, 'e') + "\r\n");
  EXPECT_EQ(run.error, "");
}

TEST(ConsoleUnit, LineEndComesAfterTheReportAndAfterFilesAreClosed) {
  testing::TemporaryDirectory directory;
  testing::WorkingDirectory working(directory.path());
  int file_handle = -1, output_fd = -1, error_fd = -1;
  auto run = capture_run([&] {
    log_calls();
    output_fd = standard_streams().output;
    error_fd = standard_streams().error;
    console_record(" a");
    open_unit(kResultUnit, "x.dat");
    file_handle = connected_unit(kResultUnit)->handle;
    begin_write_statement(kResultUnit);
    append_to_record(kResultUnit, "r", 1);
    report_run_error('F', 6501, "d", ErrorLabel::READ, "Quelvar.inp");
  });
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(call_log.calls.size(), 4u);
  EXPECT_EQ(call_log.calls[0].fd, output_fd);
  EXPECT_EQ(call_log.calls[0].bytes, "a");
  EXPECT_EQ(call_log.calls[1].fd, error_fd);
  EXPECT_EQ(call_log.calls[1].bytes, "\r\nrun-time error F6501: READ(Quelvar.inp)\r\n- d\r\n");
  EXPECT_EQ(call_log.calls[2].fd, file_handle);
  EXPECT_EQ(call_log.calls[2].bytes, "r");
  EXPECT_EQ(call_log.calls[3].fd, output_fd);
  EXPECT_EQ(call_log.calls[3].bytes, "\r\n");
  EXPECT_EQ(run.output, "a\r\n");
  EXPECT_EQ(testing::read_file(directory.file("x.dat")), "r");
}

TEST(ConsoleUnit, StopBeforeTheFirstRecordWritesNothingAndAnUnfinishedRecordIsDropped) {
  struct Case {
    const char* what;
    std::vector<std::string> records;
    std::string unfinished;
    std::string expected;
  };
  const Case cases[] = {
      {"stop at once", {}, "", ""},
      {"stop inside the first record", {}, " abc", ""},
      {"stop inside a later record", {" a"}, " b", "a\r\n"},
  };
  for (const Case& c : cases) {
    auto run = capture_run([&] {
      for (const std::string& record : c.records) console_record(record);
      console_unit().begin_statement();
      console_unit().put_text(c.unfinished);
      report_run_error('F', 6501, "d", ErrorLabel::READ, "Quelvar.inp");
    });
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.output, c.expected) << c.what;
  }
}

TEST(ConsoleUnit, ShortfallInTheTextStopsOnlyForAFullDeviceOrARefusal) {
  struct Case {
    int error;
    int number;  // 0: ignored, the run goes on
  };
  const Case cases[] = {
      {ENOSPC, 6422}, {EDQUOT, 6422}, {EACCES, 6421}, {EPERM, 6421},
      {EPIPE, 0},     {EIO, 0},       {EBADF, 0},     {EAGAIN, 0},
  };
  for (const Case& c : cases) {
    auto run = capture_run([&] {
      log_calls();
      call_log.writev_errors = {c.error, c.error, c.error};  // a first record has no control bytes
      console_record(" a");
      console_record(" b");
      end_of_run(0);
    });
    if (c.number == 0) {
      EXPECT_EQ(run.status, 0) << c.error;
      EXPECT_EQ(run.error, "") << c.error;
      // Every failed call was retried once as text alone; what came later went through.
      EXPECT_EQ(run.output, "\r\n") << c.error;
    } else {
      EXPECT_EQ(run.status, 1) << c.error;
      EXPECT_EQ(run.error, report_text(c.number, "CON")) << c.error;
      EXPECT_EQ(run.output, "") << c.error;
    }
  }
}

TEST(ConsoleUnit, ShortfallInControlBytesOrTheLastLineEndIsIgnored) {
  auto run = capture_run([&] {
    log_calls();
    console_record(" a");
    // The writev of "CR LF b" fails as a whole; the text alone then goes through.
    call_log.writev_errors = {0, ENOSPC};
    call_log.write_error = ENOSPC;
    console_record(" b");
    end_of_run(0);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.error, "");
  EXPECT_EQ(run.output, "ab");
}

// Runs `body` in a child process whose standard output is `output_fd` and whose standard error
// is captured; the child starts from the default SIGPIPE action, as the program does.
struct ChildResult {
  int exit_status = -1;
  int signal = 0;
  std::string error;
};

ChildResult run_in_child(const std::function<void()>& body, int output_fd) {
  int error_pipe[2];
  if (::pipe(error_pipe) != 0) ADD_FAILURE() << "pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(error_pipe[0]);
    ::dup2(output_fd, 1);
    ::dup2(error_pipe[1], 2);
    std::signal(SIGPIPE, SIG_DFL);  // an ignored SIGPIPE would outlive even an exec
    body();
    ::_exit(99);
  }
  ::close(error_pipe[1]);
  ChildResult result;
  char chunk[4096];
  ssize_t got;
  while ((got = ::read(error_pipe[0], chunk, sizeof chunk)) > 0) result.error.append(chunk, static_cast<size_t>(got));
  ::close(error_pipe[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

// Start-up of the console as the program does it, in the child, then three lines and the end.
void three_records_and_end() {
  reset_platform();
  reset_end_of_run();
  set_process_ender([](int status) { ::_exit(status); });
  setup_console_unit();
  for (int i = 0; i < 3; ++i) console_record(" line");
  end_of_run(0);
}

TEST(ConsoleUnitProcess, FullDeviceStopsTheRunWithF6422) {
  const int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  auto result = run_in_child(&three_records_and_end, full);
  ::close(full);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.error, report_text(6422, "CON"));
}

TEST(ConsoleUnitProcess, ClosedPipeIsIgnoredAndDoesNotKillTheRun) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);  // nobody will ever read: every write meets a closed pipe
  auto result = run_in_child(&three_records_and_end, ends[1]);
  ::close(ends[1]);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.error, "");
}

// A small complete run of the program: the divisor, a grid of three temperatures and one curve,
// so that the log has many lines and a result table is written.
testing::ProcessSetup small_run() {
  testing::ProcessSetup setup;
  setup.files["Quelvar.inp"] = "2.0\r\n300.5 1.0 302.5\r\n1.0 1.0\r\na.txt\r\n";
  setup.files["a.txt"] =
      "T M\r\n0 0 300.0 0 0 0 10.0\r\n0 0 301.0 0 0 0 9.0\r\n0 0 302.0 0 0 0 7.0\r\n0 0 303.0 0 0 0 4.0\r\n";
  return setup;
}

TEST(ConsoleUnitProcess, WholeRunOnAFullDeviceStopsAtItsFirstLine) {
  testing::ProcessSetup setup = small_run();
  setup.standard_output_path = "/dev/full";
  auto result = testing::run_quelvar(setup);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.error, report_text(6422, "CON"));
  EXPECT_EQ(result.files.count("Quelvar.dat"), 0u);
}

TEST(ConsoleUnitProcess, WholeRunIntoAClosedPipeEndsAsItWouldHaveEnded) {
  const testing::ProcessResult clean = testing::run_quelvar(small_run());
  ASSERT_EQ(clean.exit_status, 0) << clean.error;
  ASSERT_NE(clean.output.find("\r\n"), std::string::npos) << "the run must write several lines";

  testing::TemporaryDirectory directory;
  for (const auto& [name, bytes] : small_run().files) testing::write_file(directory.file(name), bytes);
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);  // like `quelvar | head -1` once head has gone
  auto result = run_in_child(
      [&] {
        if (::chdir(directory.path().c_str()) != 0) ::_exit(98);
        const char* argv[] = {QUELVAR_BINARY, nullptr};
        ::execv(argv[0], const_cast<char* const*>(argv));
        ::_exit(97);
      },
      ends[1]);
  ::close(ends[1]);
  EXPECT_EQ(result.signal, 0);
  EXPECT_EQ(result.exit_status, clean.exit_status);
  EXPECT_EQ(result.error, clean.error);
  EXPECT_EQ(testing::read_file(directory.file("Quelvar.dat")), clean.files.at("Quelvar.dat"));
}

}  // namespace
}  // namespace quelvar
