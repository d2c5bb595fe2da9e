#include "recordio/units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "recordio/console_unit.h"
#include "recordio/free_format_reader.h"
#include "recordio/text_field_reader.h"
#include "runtime/platform.h"
#include "runtime/termination.h"
#include "support/capture.h"
#include "support/expected_text.h"

namespace quelvar {
namespace {

using testing::capture_run;
using testing::file_exists;
using testing::read_file;
using testing::write_file;

constexpr std::string_view kPrompt = "File name missing or blank - please enter file name\r\nUNIT 12? ";
// A blank curve name as the control file holds it: 30 blanks.
const std::string kBlankName(30, ' ');

std::string report_text(int number, std::string_view label, std::string_view name) {
  return testing::io_report(number, label, name);
}

void write_record(int unit, std::string_view text) {
  begin_write_statement(unit);
  append_to_record(unit, text.data(), text.size());
  end_record(unit);
}

// Runs `body` as a whole run that ends normally unless the body stops it.
testing::CapturedRun run_program_part(const std::function<void()>& body, const std::string& input = "",
                                      const std::vector<std::string>& arguments = {}) {
  return capture_run(
      [&] {
        body();
        end_of_run(0);
      },
      true, input, arguments);
}

// Replaced platform calls: each open attempt is logged with its access mode and may be refused
// with a chosen errno; writes and cuts of one descriptor may fail with a chosen errno.
struct Faults {
  std::vector<int> open_access;  // O_RDWR, O_RDONLY or O_WRONLY of each attempt
  int open_error_read_write = 0;
  int open_error_read_only = 0;
  int open_error_write_only = 0;
  bool create_before_exclusive_open = false;  // another process wins the race to create the file
  int fd = -1;                                // the descriptor whose writes and cuts fail
  int write_error = 0;
  int truncate_error = 0;
  std::vector<size_t> write_sizes;  // sizes of the writes to `fd`
};
Faults faults;

int faulty_open(const char* path, int flags, mode_t mode) {
  const int access = flags & O_ACCMODE;
  faults.open_access.push_back(access);
  int error = access == O_RDWR ? faults.open_error_read_write
              : access == O_RDONLY ? faults.open_error_read_only
                                   : faults.open_error_write_only;
  if (error != 0) {
    errno = error;
    return -1;
  }
  if (faults.create_before_exclusive_open && (flags & O_EXCL)) ::close(::open(path, O_CREAT | O_WRONLY, 0666));
  return ::open(path, flags, mode);
}

ssize_t faulty_write(int fd, const void* bytes, size_t count) {
  if (fd == faults.fd) {
    faults.write_sizes.push_back(count);
    if (faults.write_error != 0) {
      errno = faults.write_error;
      return -1;
    }
  }
  return ::write(fd, bytes, count);
}

int faulty_ftruncate(int fd, off_t length) {
  if (fd == faults.fd && faults.truncate_error != 0) {
    errno = faults.truncate_error;
    return -1;
  }
  return ::ftruncate(fd, length);
}

void install_faults() {
  faults = Faults{};
  platform_calls().open = &faulty_open;
  platform_calls().write = &faulty_write;
  platform_calls().ftruncate = &faulty_ftruncate;
}

class Units : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return directory_.file(name); }
  std::string contents(const std::string& name) const { return read_file(path(name)); }

 private:
  testing::TemporaryDirectory directory_;
  testing::WorkingDirectory working_{directory_.path()};
};

TEST_F(Units, MissingFileIsCreatedEmptyAndStaysAfterTheRun) {
  bool write_mode = false;
  auto run = run_program_part([&] {
    open_unit(kControlUnit, "Quelvar.inp");
    write_mode = connected_unit(kControlUnit)->write_mode;
    EXPECT_EQ(connected_unit(kControlUnit)->name_text(), "Quelvar.inp");
    EXPECT_EQ(fetch_input(*connected_unit(kControlUnit)), FetchStatus::end_of_file);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(write_mode);
  ASSERT_TRUE(file_exists(path("Quelvar.inp")));
  EXPECT_EQ(contents("Quelvar.inp"), "");
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.error, "");
}

TEST_F(Units, NameKeepsItsFirst259CharactersWithOnlyBlanksTrimmed) {
  const std::string longest(255, 'a');  // the longest name this file system takes
  struct Case {
    std::string text;
    std::string name;
  };
  const Case cases[] = {
      {"  data 1.txt" + std::string(18, ' '), "data 1.txt"},  // the blank inside stays
      {"\tx.txt", "\tx.txt"},                                  // a tab is not a blank
      {"y.txt\t  ", "y.txt\t"},
      {longest + "    tail", longest},  // "tail" lies beyond the 259th character
  };
  for (const Case& c : cases) {
    auto run = run_program_part([&] {
      open_unit(kCurveUnit, c.text);
      EXPECT_EQ(connected_unit(kCurveUnit)->name_text(), c.name);
    });
    EXPECT_EQ(run.status, 0) << run.error;
    EXPECT_TRUE(file_exists(path(c.name))) << c.name;
  }
}

TEST_F(Units, FirstWriteStatementCutsTheFileAndTheTableReplacesItExactly) {
  const std::string old_contents(5000, 'o');
  write_file(path("Quelvar.dat"), old_contents);
  auto run = run_program_part([&] {
    open_unit(kResultUnit, "Quelvar.dat");
    EXPECT_EQ(contents("Quelvar.dat"), old_contents) << "an open leaves an existing file unchanged";
    begin_write_statement(kResultUnit);
    EXPECT_EQ(contents("Quelvar.dat"), "") << "the first write statement cuts it";
    append_to_record(kResultUnit, "a", 1);
    end_record(kResultUnit);
    write_record(kResultUnit, "b");
    close_unit(kResultUnit);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(contents("Quelvar.dat"), "a\r\nb\r\n");
}

TEST_F(Units, WriteAfterReadingCutsJustAfterTheBytesConsumed) {
  write_file(path("f.txt"), "abc\r\ndef\r\nghi\r\n");
  auto run = run_program_part([&] {
    open_unit(kCurveUnit, "f.txt");
    UnitConnection& unit = *connected_unit(kCurveUnit);
    ASSERT_EQ(fetch_input(unit), FetchStatus::bytes_available);
    unit.position = 5;  // a reader took the first record
    write_record(kCurveUnit, "X");
    close_unit(kCurveUnit);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(contents("f.txt"), "abc\r\nX\r\n");
}

TEST_F(Units, FileOnlyReadIsNeverCut) {
  write_file(path("f.txt"), "abc\r\n");
  auto run = run_program_part([&] {
    open_unit(kCurveUnit, "f.txt");
    UnitConnection& unit = *connected_unit(kCurveUnit);
    ASSERT_EQ(fetch_input(unit), FetchStatus::bytes_available);
    unit.position = unit.filled;
    EXPECT_EQ(fetch_input(unit), FetchStatus::end_of_file);
    EXPECT_TRUE(unit.end_reached);
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(contents("f.txt"), "abc\r\n");
}

TEST_F(Units, ReadingAFileInWriteModeWritesItsOutputFirstAndMeetsTheEnd) {
  auto run = run_program_part([&] {
    open_unit(kCurveUnit, "new.txt");
    write_record(kCurveUnit, "a");
    UnitConnection& unit = *connected_unit(kCurveUnit);
    EXPECT_EQ(fetch_input(unit), FetchStatus::end_of_file);
    EXPECT_FALSE(unit.write_mode);
    EXPECT_EQ(contents("new.txt"), "a\r\n");
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(contents("new.txt"), "a\r\n");
}

TEST_F(Units, ReadOnlyResultFileFailsAtTheFirstWriteAndKeepsItsContents) {
  write_file(path("Quelvar.dat"), "old table\r\n");
  ::chmod(path("Quelvar.dat").c_str(), 0444);
  auto run = run_program_part([&] {
    install_faults();
    // The superuser may write any file: refuse write access as the platform refuses everyone else.
    if (::geteuid() == 0) faults.open_error_read_write = faults.open_error_write_only = EACCES;
    open_unit(kResultUnit, "Quelvar.dat");
    EXPECT_EQ(faults.open_access, (std::vector<int>{O_RDWR, O_RDONLY}));
    write_record(kResultUnit, "new");
    ADD_FAILURE() << "the write statement went on";
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, report_text(6421, "WRITE", "Quelvar.dat"));
  EXPECT_EQ(contents("Quelvar.dat"), "old table\r\n");
}

TEST_F(Units, ExistingFileFallsBackToReadOnlyThenWriteOnly) {
  write_file(path("f.txt"), "old");
  auto run = run_program_part([&] {
    install_faults();
    faults.open_error_read_write = EACCES;
    faults.open_error_read_only = EACCES;
    open_unit(kCurveUnit, "f.txt");
    EXPECT_EQ(faults.open_access, (std::vector<int>{O_RDWR, O_RDONLY, O_WRONLY}));
    EXPECT_EQ(fetch_input(*connected_unit(kCurveUnit)), FetchStatus::read_failed);
    write_record(kCurveUnit, "new");
  });
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(contents("f.txt"), "new\r\n");
}

TEST_F(Units, OpenFailureReportsTheErrorOfTheLastAttempt) {
  write_file(path("f.txt"), "old");
  auto run = run_program_part([&] {
    install_faults();
    faults.open_error_read_write = EACCES;
    faults.open_error_read_only = EACCES;
    faults.open_error_write_only = EMFILE;
    open_unit(kCurveUnit, "f.txt");
  });
  EXPECT_EQ(run.error, report_text(6417, "OPEN", "f.txt"));
}

TEST_F(Units, SameFileOnAnotherUnitIsRefused) {
  ASSERT_EQ(::mkdir(path("sub").c_str(), 0777), 0);
  const char* other_names[] = {"./Quelvar.inp", "sub/../Quelvar.inp", "link.inp", "symlink.inp"};
  for (const char* other : other_names) {
    auto run = run_program_part([&] {
      open_unit(kControlUnit, "Quelvar.inp");
      if (!file_exists(path("link.inp"))) {
        ASSERT_EQ(::link(path("Quelvar.inp").c_str(), path("link.inp").c_str()), 0);
        ASSERT_EQ(::symlink("Quelvar.inp", path("symlink.inp").c_str()), 0);
      }
      open_unit(kCurveUnit, std::string("  ") + other);
    });
    EXPECT_EQ(run.status, 1) << other;
    EXPECT_EQ(run.error, report_text(6413, "OPEN", other));
  }
}

TEST_F(Units, NullDeviceMayBeOnSeveralUnitsButTheConsoleAndStandardErrorMayNot) {
  struct Case {
    const char* first;
    const char* second;
    const char* refused;  // the name in the F6413 report, or nullptr when both opens succeed
  };
  const Case cases[] = {
      {"nul", "NUL.dat", nullptr},
      {"con", "user", "CON"},
      {"err", "Err", "ERR"},
  };
  for (const Case& c : cases) {
    auto run = run_program_part([&] {
      open_unit(kControlUnit, c.first);
      open_unit(kCurveUnit, c.second);
    });
    if (c.refused == nullptr) {
      EXPECT_EQ(run.status, 0) << c.second << run.error;
    } else {
      EXPECT_EQ(run.error, report_text(6413, "OPEN", c.refused)) << c.second;
    }
  }
}

TEST_F(Units, OpenFailuresByCause) {
  write_file(path("plain"), "");
  ASSERT_EQ(::mkdir(path("adir").c_str(), 0777), 0);
  struct Case {
    std::string text;
    int number;
    std::string shown;  // the name in the report
  };
  const Case cases[] = {
      {"nodir/x.txt", 6416, "nodir/x.txt"},
      {"plain/x.txt", 6416, "plain/x.txt"},  // a file where a directory should be
      {"adir", 6414, "adir"},
      {"adir/", 6414, "adir/"},
      {std::string(256, 'n'), 6412, std::string(256, 'n')},  // longer than a name may be
      {std::string("a\0b", 3), 6412, std::string("a\0b", 3)},  // would open "a" otherwise
      {"prn", 6412, "PRN"},
      {"LPT3", 6412, "LPT3"},
      {"aux.txt", 6412, "COM1"},  // the first serial port goes by COM1
      {"line", 6412, "COM1"},
  };
  for (const Case& c : cases) {
    auto run = run_program_part([&] { open_unit(kCurveUnit, c.text); });
    EXPECT_EQ(run.status, 1) << c.shown;
    EXPECT_EQ(run.error, report_text(c.number, "OPEN", c.shown));
  }
  EXPECT_FALSE(file_exists(path("a")));
}

TEST_F(Units, OpenFailuresByPlatformError) {
  struct Case {
    int error;
    int number;
  };
  const Case cases[] = {
      {ENOENT, 6416}, {ENOTDIR, 6416}, {EACCES, 6414}, {EPERM, 6414},       {EROFS, 6414},
      {EISDIR, 6414}, {EEXIST, 6415},  {EINVAL, 6412}, {ENAMETOOLONG, 6412}, {EMFILE, 6417},
      {ENFILE, 6417}, {ENOSPC, 6422},  {EDQUOT, 6422}, {ELOOP, 6410},        {EIO, 6410},
      // A file being executed, a busy device, a mandatory lock: access denied.
      {ETXTBSY, 6414}, {EBUSY, 6414}, {EWOULDBLOCK, 6414},
      // A name the file system cannot encode, a device file without its device.
      {EILSEQ, 6412}, {ENXIO, 6412}, {ENODEV, 6412},
  };
  for (const Case& c : cases) {
    auto run = run_program_part([&] {
      install_faults();
      faults.open_error_read_write = c.error;
      open_unit(kCurveUnit, "missing.txt");
    });
    EXPECT_EQ(run.status, 1) << c.error;
    EXPECT_EQ(run.error, report_text(c.number, "OPEN", "missing.txt")) << c.error;
  }
}

TEST_F(Units, NoMemoryAtOpenIsF6700WithoutLabel) {
  auto run = run_program_part([&] {
    install_faults();
    faults.open_error_read_write = ENOMEM;
    open_unit(kCurveUnit, "missing.txt");
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, "\r\nrun-time error F6700\r\n- " + std::string(io_condition_description(6700)) + "\r\n");
}

TEST_F(Units, FileThatAppearsBeforeTheExclusiveCreateIsF6415) {
  auto run = run_program_part([&] {
    install_faults();
    faults.create_before_exclusive_open = true;
    open_unit(kCurveUnit, "late.txt");
  });
  EXPECT_EQ(run.error, report_text(6415, "OPEN", "late.txt"));
}

TEST_F(Units, RecordsEndInCrLfAndLongRecordsAreWrittenWholeInBufferedWrites) {
  std::string long_record;
  for (int i = 0; i < 3000; ++i) long_record += static_cast<char>('a' + i % 26);
  std::vector<size_t> sizes;
  auto run = run_program_part([&] {
    install_faults();
    open_unit(kResultUnit, "Quelvar.dat");
    faults.fd = connected_unit(kResultUnit)->handle;
    write_record(kResultUnit, "a");
    write_record(kResultUnit, long_record);
    write_record(kResultUnit, "");
    begin_write_statement(kResultUnit);
    append_to_record(kResultUnit, "open", 4);  // a statement that ended with "$"
    close_unit(kResultUnit);
    sizes = faults.write_sizes;
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(contents("Quelvar.dat"), "a\r\n" + long_record + "\r\n\r\nopen");
  // 3 + 3002 + 2 + 4 = 3011 bytes: two whole buffers, the rest at the close.
  EXPECT_EQ(sizes, (std::vector<size_t>{1024, 1024, 963}));
}

TEST_F(Units, EveryConnectedUnitIsClosedWhenTheRunStops) {
  auto run = capture_run([&] {
    open_unit(kResultUnit, "Quelvar.dat");
    write_record(kResultUnit, "row");
    begin_write_statement(kResultUnit);
    append_to_record(kResultUnit, "part", 4);
    open_unit(kControlUnit, "Quelvar.inp");
    report_run_error('M', 6103, "d", ErrorLabel::MATH, {});
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(contents("Quelvar.dat"), "row\r\npart");
  EXPECT_EQ(connected_unit(kResultUnit), nullptr);
  EXPECT_EQ(connected_unit(kControlUnit), nullptr);
}

TEST_F(Units, SixtyOneUnitsAtOnceThenF6418) {
  auto run = run_program_part([&] {
    for (int unit = 1; unit <= kMaxConnectedUnits; ++unit) open_unit(unit, "f" + std::to_string(unit));
    close_unit(30);
    open_unit(100, "again");  // the freed slot is taken again
    open_unit(101, "f101");
  });
  EXPECT_EQ(run.error, report_text(6418, "OPEN", "f101"));
  EXPECT_TRUE(file_exists(path("f61")));
  EXPECT_TRUE(file_exists(path("again")));
  EXPECT_FALSE(file_exists(path("f101"))) << "a refused open leaves no file behind";
}

TEST_F(Units, ReopeningTheSameFileOnTheSameUnitChangesNothing) {
  auto run = run_program_part([&] {
    open_unit(kControlUnit, "a.txt");
    const UnitConnection* before = connected_unit(kControlUnit);
    const int handle = before->handle;
    begin_write_statement(kControlUnit);
    append_to_record(kControlUnit, "abc", 3);
    open_unit(kControlUnit, "./a.txt");
    EXPECT_EQ(connected_unit(kControlUnit)->handle, handle);
    EXPECT_EQ(connected_unit(kControlUnit)->name_text(), "a.txt");
    EXPECT_EQ(connected_unit(kControlUnit)->position, 3u);
    EXPECT_EQ(contents("a.txt"), "");
    open_unit(kControlUnit, "b.txt");  // another file: the first connection is closed
    EXPECT_EQ(contents("a.txt"), "abc");
    EXPECT_EQ(connected_unit(kControlUnit)->name_text(), "b.txt");
  });
  EXPECT_EQ(run.status, 0);
}

TEST_F(Units, BlankNamesTakeTheArgumentsInOrderThenAsk) {
  auto run = run_program_part(
      [&] {
        for (const char* expected : {"a.txt", "b.txt", "c.txt"}) {
          open_unit(kCurveUnit, kBlankName);
          EXPECT_EQ(connected_unit(kCurveUnit)->name_text(), expected);
          close_unit(kCurveUnit);
        }
      },
      "\n   \n  c.txt \r\n", {"  a.txt", "b.txt  "});
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(run.output, std::string(kPrompt) + std::string(kPrompt) + std::string(kPrompt));
  EXPECT_TRUE(file_exists(path("a.txt")));
  EXPECT_TRUE(file_exists(path("b.txt")));
  EXPECT_TRUE(file_exists(path("c.txt")));
}

TEST_F(Units, EndOfInputBeforeANonBlankAnswerIsF6501) {
  struct Case {
    const char* input;
    int prompts;
  };
  const Case cases[] = {{"", 1}, {"  \n\n", 3}, {"\r\n   ", 3}};
  for (const Case& c : cases) {
    auto run = run_program_part([&] { open_unit(kCurveUnit, kBlankName); }, c.input);
    std::string prompts;
    for (int i = 0; i < c.prompts; ++i) prompts += kPrompt;
    EXPECT_EQ(run.output, prompts) << c.input;
    EXPECT_EQ(run.error, report_text(6501, "OPEN", "")) << c.input;
  }
}

// An answer or argument is cut to its first 259 characters before its blanks are trimmed, so
// what lies beyond the cut never becomes part of the name.
TEST_F(Units, BlankNameIsCutTo259CharactersBeforeItIsTrimmed) {
  struct Case {
    const char* why;
    std::string argument;  // empty: no argument, the prompt is answered
    std::string answer;
    std::string name;
  };
  const Case cases[] = {
      {"answer: the cut falls inside the name", "", std::string(256, ' ') + "abcdef\n", "abc"},
      {"answer: the blanks after the name go", "", std::string(250, ' ') + "x.txt" + std::string(20, ' ') + "\r\n",
       "x.txt"},
      {"answer of 258 characters before CR LF", "", std::string(253, ' ') + "y.txt\r\n", "y.txt"},
      {"argument: the cut falls inside the name", std::string(257, ' ') + "zzz.txt", "", "zz"},
  };
  for (const Case& c : cases) {
    std::string name;
    std::vector<std::string> arguments;
    if (!c.argument.empty()) arguments.push_back(c.argument);
    auto run = run_program_part(
        [&] {
          open_unit(kCurveUnit, kBlankName);
          name = connected_unit(kCurveUnit)->name_text();
        },
        c.answer, arguments);
    EXPECT_EQ(run.status, 0) << c.why << run.error;
    EXPECT_EQ(name, c.name) << c.why;
    EXPECT_TRUE(file_exists(path(c.name))) << c.why;
  }
}

TEST_F(Units, PromptShowsTheUnitNumber) {
  const std::pair<int, const char*> cases[] = {{12, "12"}, {0, "0"}, {-7, "-7"}, {32767, "32767"}};
  for (const auto& [number, shown] : cases) {
    const int unit = number;  // a structured binding cannot be captured by a lambda before C++20 in every compiler
    auto run = run_program_part([&] { open_unit(unit, ""); }, "x\n");
    EXPECT_EQ(run.output, std::string("File name missing or blank - please enter file name\r\nUNIT ") + shown + "? ");
  }
}

TEST_F(Units, PromptAfterConsoleOutputStartsOnANewLineWithoutEndingTheConsoleLine) {
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    std::string expected;
  };
  const Case cases[] = {
      {"no argument left", {}, "x\r\n" + std::string(kPrompt) + "\r\ny\r\n"},
      {"a blank argument: no line end first", {"   "}, "x" + std::string(kPrompt) + "\r\ny\r\n"},
  };
  for (const Case& c : cases) {
    auto run = run_program_part(
        [&] {
          console_unit().begin_statement();
          console_unit().put_text(" x");
          console_unit().end_record();
          open_unit(kCurveUnit, kBlankName);
          console_unit().begin_statement();
          console_unit().put_text(" y");
          console_unit().end_record();
        },
        "c.txt\n", c.arguments);
    EXPECT_EQ(run.output, c.expected) << c.what;
  }
  // Before the first console record no line end is owed.
  auto run = run_program_part([&] { open_unit(kCurveUnit, kBlankName); }, "c.txt\n");
  EXPECT_EQ(run.output, kPrompt);
}

TEST_F(Units, DeviceNames) {
  struct Case {
    const char* text;
    UnitKind kind;
    DeviceKind device;
    const char* name;
  };
  const Case cases[] = {
      {"con", UnitKind::device, DeviceKind::console, "CON"},
      {"CON.txt", UnitKind::device, DeviceKind::console, "CON"},
      {"User", UnitKind::device, DeviceKind::console, "CON"},
      {"con.", UnitKind::device, DeviceKind::console, "CON"},
      {"err", UnitKind::device, DeviceKind::standard_error, "ERR"},
      {"Nul", UnitKind::device, DeviceKind::null_device, "NUL"},
      {"nul.dat", UnitKind::device, DeviceKind::null_device, "NUL"},
      // With an extension, a device name beginning with E, L or U is an ordinary file.
      {"err.txt", UnitKind::file, DeviceKind::none, "err.txt"},
      {"lpt1.dat", UnitKind::file, DeviceKind::none, "lpt1.dat"},
      {"Line.x", UnitKind::file, DeviceKind::none, "Line.x"},
      {"user.txt", UnitKind::file, DeviceKind::none, "user.txt"},
      {"cons", UnitKind::file, DeviceKind::none, "cons"},
      {"a.con", UnitKind::file, DeviceKind::none, "a.con"},
  };
  for (const Case& c : cases) {
    auto run = run_program_part([&] {
      open_unit(kCurveUnit, c.text);
      const UnitConnection& unit = *connected_unit(kCurveUnit);
      EXPECT_EQ(unit.kind, c.kind) << c.text;
      EXPECT_EQ(unit.device, c.device) << c.text;
      EXPECT_EQ(unit.name_text(), c.name) << c.text;
    });
    EXPECT_EQ(run.status, 0) << c.text << run.error;
    EXPECT_EQ(file_exists(path(c.name)), c.kind == UnitKind::file) << c.text;
  }
}

TEST_F(Units, DeviceUnitsReadAndWriteTheirStreams) {
  std::string first_line, second_line, error_at_record_end;
  auto run = run_program_part(
      [&] {
        open_unit(kCurveUnit, "con");
        UnitConnection& console = *connected_unit(kCurveUnit);
        // The console hands out one line per fetch, so that a later prompt finds the next line.
        ASSERT_EQ(fetch_input(console), FetchStatus::bytes_available);
        first_line.assign(reinterpret_cast<const char*>(console.record_buffer), console.filled);
        begin_write_statement(kCurveUnit);
        append_to_record(kCurveUnit, " to the console", 15);
        close_unit(kCurveUnit);  // the close ends the open console record
        open_unit(kCurveUnit, kBlankName);  // the prompt reads the second line
        second_line = connected_unit(kCurveUnit)->name_text();
        close_unit(kCurveUnit);

        open_unit(kControlUnit, "err");
        write_record(kControlUnit, "to standard error");
        error_at_record_end = read_file("/proc/self/fd/" + std::to_string(standard_streams().error));
        EXPECT_EQ(fetch_input(*connected_unit(kControlUnit)), FetchStatus::end_of_file);
        open_unit(kResultUnit, "nul");
        write_record(kResultUnit, "nowhere");
        EXPECT_EQ(fetch_input(*connected_unit(kResultUnit)), FetchStatus::end_of_file);
      },
      "curve one\r\nd.txt\n");
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(first_line, "curve one\r\n");
  EXPECT_EQ(second_line, "d.txt");
  EXPECT_EQ(error_at_record_end, "to standard error\r\n") << "a device record goes out when it ends";
  EXPECT_EQ(run.output, "to the console\r\n" + std::string(kPrompt) + "\r\n");
  EXPECT_EQ(run.error, "to standard error\r\n");
}

// A curve file named con is read from standard input: one line per fetch (a line longer than the
// buffer in several), and the end of the input is the end of the file.
TEST_F(Units, ConsoleUnitHandsOutStandardInputLineByLineUntilItsEnd) {
  const std::string long_line = std::string(1100, ' ') + "7\n";
  std::vector<std::string> fetched;
  bool end_reached = false;
  auto run = run_program_part(
      [&] {
        open_unit(kCurveUnit, "con");
        UnitConnection& console = *connected_unit(kCurveUnit);
        while (fetch_input(console) == FetchStatus::bytes_available) {
          fetched.emplace_back(reinterpret_cast<const char*>(console.record_buffer), console.filled);
          console.position = console.filled;
        }
        end_reached = console.end_reached;
      },
      "header\r\n" + long_line + "\nlast");
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(fetched, (std::vector<std::string>{"header\r\n", long_line.substr(0, kRecordBufferSize),
                                                long_line.substr(kRecordBufferSize), "\n", "last"}));
  EXPECT_TRUE(end_reached);
}

TEST_F(Units, ConsoleUnitReadFailureIsAFailedReadNotAnEndOfFile) {
  FetchStatus status = FetchStatus::bytes_available;
  bool end_reached = true;
  auto run = run_program_part(
      [&] {
        open_unit(kCurveUnit, "con");
        platform_calls().read = [](int, void*, size_t) -> ssize_t {
          errno = EIO;
          return -1;
        };
        status = fetch_input(*connected_unit(kCurveUnit));
        end_reached = connected_unit(kCurveUnit)->end_reached;
        reset_platform();
      },
      "1 2 3\n");
  EXPECT_EQ(status, FetchStatus::read_failed);
  EXPECT_FALSE(end_reached);
}

// The program's statements on a curve named con: the header record, then data records until the
// input ends, the last one without a line feed.
TEST_F(Units, CurveNamedConIsReadFromStandardInputToItsEnd) {
  std::vector<ReadOutcome> outcomes;
  std::vector<float> temperatures, moments;
  std::string header;
  auto run = run_program_part(
      [&] {
        open_unit(kCurveUnit, "con");
        char field[kTextFieldWidth];
        read_text_field(kCurveUnit, field);
        header.assign(field, kTextFieldWidth);
        float dummy = 0, temperature = 0, moment = 0;
        float* const targets[] = {&dummy, &dummy, &temperature, &dummy, &dummy, &dummy, &moment};
        for (;;) {
          outcomes.push_back(read_free_format(kCurveUnit, targets, true, true));
          if (outcomes.back() != 0 || outcomes.size() > 5) break;
          temperatures.push_back(temperature);
          moments.push_back(moment);
        }
        close_unit(kCurveUnit);
      },
      "T(K) M(emu)\r\n1 2 300 4 5 6 10\r\n1 2 301 4 5 6 9");
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(header, "T(K) M(emu)" + std::string(19, ' '));
  EXPECT_EQ(outcomes, (std::vector<ReadOutcome>{0, 0, -1}));
  EXPECT_EQ(temperatures, (std::vector<float>{300, 301}));
  EXPECT_EQ(moments, (std::vector<float>{10, 9}));
  EXPECT_EQ(run.output, "");
}

TEST_F(Units, DeviceIsNeverCut) {
  auto run = run_program_part([&] {
    write_fully(standard_streams().error, "kept\r\n", 6);
    open_unit(kCurveUnit, "err");
    EXPECT_EQ(fetch_input(*connected_unit(kCurveUnit)), FetchStatus::end_of_file);
    write_record(kCurveUnit, "added");
  });
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.error, "kept\r\nadded\r\n");
}

TEST_F(Units, PipeOpenedAsAFileTakesWritesThoughItCannotBeCut) {
  ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0666), 0);
  const int reader = ::open(path("pipe").c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  auto run = run_program_part([&] {
    open_unit(kCurveUnit, "pipe");
    write_record(kCurveUnit, "through");
    close_unit(kCurveUnit);
  });
  char bytes[64] = {};
  const ssize_t got = ::read(reader, bytes, sizeof bytes);
  ::close(reader);
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(std::string(bytes, got > 0 ? static_cast<size_t>(got) : 0), "through\r\n");
}

// A full device and a refusal have their own numbers; any other failure on a disk file would leave
// a short table, or the old file's tail after it, so it stops the run as well (F6420).
TEST_F(Units, WriteFailuresOnADiskFileStopTheRun) {
  enum class Stage { cut, full_buffer, close };
  struct Case {
    Stage stage;
    int error;
    int number;
  };
  const Case cases[] = {
      {Stage::cut, EACCES, 6421},        {Stage::cut, EPERM, 6421},        {Stage::cut, ENOSPC, 6422},
      {Stage::cut, EIO, 6420},           {Stage::cut, EINVAL, 6420},       {Stage::full_buffer, ENOSPC, 6422},
      {Stage::full_buffer, EDQUOT, 6422}, {Stage::full_buffer, EACCES, 6421}, {Stage::full_buffer, EAGAIN, 6421},
      {Stage::full_buffer, EIO, 6420},   {Stage::full_buffer, EFBIG, 6420}, {Stage::close, ENOSPC, 6422},
      {Stage::close, EPERM, 6421},       {Stage::close, EIO, 6420},
      // The other refusals of the platform: a read-only file system, a file being executed.
      {Stage::full_buffer, EROFS, 6421}, {Stage::cut, ETXTBSY, 6421},
  };
  for (const Case& c : cases) {
    write_file(path("Quelvar.dat"), "old");
    auto run = run_program_part([&] {
      install_faults();
      open_unit(kResultUnit, "Quelvar.dat");
      faults.fd = connected_unit(kResultUnit)->handle;
      if (c.stage == Stage::cut) faults.truncate_error = c.error;
      if (c.stage != Stage::cut) faults.write_error = c.error;
      const std::string text(c.stage == Stage::full_buffer ? 2000 : 10, 'r');
      write_record(kResultUnit, text);
      close_unit(kResultUnit);
    });
    const char* label = c.stage == Stage::close ? "CLOSE" : "WRITE";
    const std::string what = std::to_string(static_cast<int>(c.stage)) + " errno " + std::to_string(c.error);
    EXPECT_EQ(run.status, 1) << what;
    EXPECT_EQ(run.error, report_text(c.number, label, "Quelvar.dat")) << what;
  }
}

}  // namespace
}  // namespace quelvar
