#include "runtime/termination.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/platform.h"
#include "support/capture.h"

namespace quelvar {
namespace {

using testing::capture_run;

struct ReportCase {
  const char* what;
  ErrorLabel label;
  const char* unit;
  const char* expected;
};

TEST(ReportRunError, BytesForEveryLabelKind) {
  const ReportCase cases[] = {
      {"read", ErrorLabel::READ, "Quelvar.inp",
       "\r\nrun-time error F6501: READ(Quelvar.inp)\r\n- d\r\n"},
      {"write", ErrorLabel::WRITE, "CON", "\r\nrun-time error F6501: WRITE(CON)\r\n- d\r\n"},
      {"open keeps the name as given", ErrorLabel::OPEN, "data 1.txt",
       "\r\nrun-time error F6501: OPEN(data 1.txt)\r\n- d\r\n"},
      {"close", ErrorLabel::CLOSE, "Quelvar.dat", "\r\nrun-time error F6501: CLOSE(Quelvar.dat)\r\n- d\r\n"},
      {"math has no unit", ErrorLabel::MATH, "ignored", "\r\nrun-time error F6501: MATH\r\n- d\r\n"},
      {"none has no label text", ErrorLabel::NONE, "ignored", "\r\nrun-time error F6501\r\n- d\r\n"},
  };
  for (const ReportCase& c : cases) {
    auto run = capture_run([&] { report_run_error('F', 6501, "d", c.label, c.unit); }, false);
    EXPECT_TRUE(run.ended) << c.what;
    EXPECT_EQ(run.status, 1) << c.what;
    EXPECT_EQ(run.error, c.expected) << c.what;
    EXPECT_EQ(run.output, "") << c.what;
  }
}

TEST(ReportRunError, EndOfFileOnTheControlFileShowsItsDescription) {
  auto run = capture_run(
      [] { raise_io_condition(kEndOfFile, ErrorLabel::READ, "Quelvar.inp", false, false); }, false);
  const std::string expected = "\r\nrun-time error F6501: READ(Quelvar.inp)\r\n- " +
                               std::string(io_condition_description(6501)) + "\r\n";
  EXPECT_EQ(run.error, expected);
  EXPECT_EQ(run.status, 1);
}

TEST(ReportRunError, EveryConditionNumberHasItsOwnOneLineDescription) {
  const int numbers[] = {6100, 6101, 6102, 6103, 6104, 6302, 6303, 6405, 6410, 6412, 6413, 6414, 6420,
                         6415, 6416, 6417, 6418, 6421, 6422, 6500, 6501, 6502, 6503, 6504, 6700};
  std::vector<std::string_view> seen;
  for (int number : numbers) {
    std::string_view text = io_condition_description(number);
    EXPECT_FALSE(text.empty()) << number;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string_view::npos) << number;
    EXPECT_NE(text, io_condition_description(1)) << number << " falls back to the generic text";
    for (std::string_view other : seen) EXPECT_NE(text, other) << number;
    seen.push_back(text);
  }
}

struct RaiseCase {
  int number;
  bool handles_end;
  bool handles_error;
  bool reported;
  ReadOutcome outcome;  // when handed back
};

TEST(RaiseIoCondition, HandsBackOrReportsByTheCallersFlags) {
  const RaiseCase cases[] = {
      {6501, false, false, true, 0},   // nobody takes end of file
      {6501, true, false, false, -1},  // end of file handed back
      {6405, true, false, false, -1},  // a read after end of file is end of file too
      {6501, false, true, false, -1},  // handles_error takes end of file as well
      {6103, true, false, true, 0},    // handles_end does not take errors
      {6103, false, true, false, 6103},
      {6504, true, true, false, 6504},
  };
  for (const RaiseCase& c : cases) {
    ReadOutcome outcome = 12345;
    auto run = capture_run(
        [&] { outcome = raise_io_condition(c.number, ErrorLabel::READ, "u", c.handles_end, c.handles_error); },
        false);
    EXPECT_EQ(run.ended, c.reported) << c.number;
    if (c.reported) {
      EXPECT_EQ(run.status, 1);
      EXPECT_NE(run.error.find("F" + std::to_string(c.number) + ": READ(u)"), std::string::npos);
    } else {
      EXPECT_EQ(outcome, c.outcome) << c.number;
      EXPECT_EQ(run.error, "") << c.number;
    }
  }
}

std::string action_log;

TEST(EndOfRun, ActionsRunMostRecentFirstAndOnce) {
  action_log.clear();
  auto run = capture_run(
      [] {
        register_end_action([] { action_log += "first;"; });
        register_end_action([] { action_log += "second;"; });
        register_end_action([] { action_log += "third;"; });
        end_of_run(0);
      },
      false);
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(action_log, "third;second;first;");
}

TEST(EndOfRun, StatusOneAfterAReportAndActionsStillRun) {
  action_log.clear();
  auto run = capture_run(
      [] {
        register_end_action([] { action_log += "close;"; });
        report_run_error('F', 6103, "bad", ErrorLabel::READ, "x");
      },
      false);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(action_log, "close;");
}

TEST(EndOfRun, AReportDuringTheEndIsWrittenAndStopsTheRemainingActions) {
  action_log.clear();
  auto run = capture_run(
      [] {
        register_end_action([] { action_log += "console;"; });
        register_end_action([] {
          action_log += "units;";
          report_run_error('F', 6422, "full", ErrorLabel::CLOSE, "Quelvar.dat");
        });
        report_run_error('M', 6103, "floating-point error: divide by zero", ErrorLabel::MATH, {});
      },
      false);
  EXPECT_EQ(action_log, "units;");  // the console's action does not run after the second report
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error,
            "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"
            "\r\nrun-time error F6422: CLOSE(Quelvar.dat)\r\n- full\r\n");
}

TEST(EndOfRun, ASecondReportKeepsTheStatusOfTheFirstEnd) {
  action_log.clear();
  auto run = capture_run(
      [] {
        register_end_action([] { report_run_error('F', 6421, "refused", ErrorLabel::CLOSE, "a"); });
        end_of_run(0);
      },
      false);
  // The end was under way with status 0; the report during it does not change that.
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.error.find("F6421: CLOSE(a)"), std::string::npos);
}

}  // namespace
}  // namespace quelvar
