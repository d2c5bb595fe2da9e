#include "recordio/free_format_reader.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "recordio/units.h"
#include "recordio/value_conversion.h"
#include "runtime/platform.h"
#include "support/capture.h"
#include "support/expected_text.h"

namespace quelvar {
namespace {

using namespace std::string_literals;
using testing::capture_run;
using testing::TemporaryDirectory;
using testing::WorkingDirectory;
using testing::write_file;

// Every target starts with this value, so "unchanged" is visible.
constexpr float kBefore = -99.0f;
constexpr float kUnchanged = kBefore;
const char* const kCurveFile = "field_0p5.txt";

std::string show(float value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

// Reads one value at a time (a one-target statement that handles both) until end of file and
// lists what each statement gave: the value, "null" for a target left as it was, "E<number>" for
// an error, "EOF" at the end. The first entry shows where the statement before it left the unit.
std::string rest_of_file(int unit) {
  std::string rest;
  for (int statement = 0; statement < 50; ++statement) {
    float value = kBefore;
    float* const target[] = {&value};
    const ReadOutcome outcome = read_free_format(unit, target, true, true);
    if (!rest.empty()) rest += ' ';
    if (outcome == kReadEndOfFile) return rest + "EOF";
    rest += outcome != 0 ? "E" + std::to_string(outcome) : value == kBefore ? "null" : show(value);
  }
  return rest + " ...";
}

struct Trace {
  std::vector<ReadOutcome> outcomes;  // of each execution of the statement
  std::string rest;                   // rest_of_file after the last execution
  std::string error;                  // standard error
};

// Writes `bytes` as a curve file, opens it on the curve unit and executes the statement into
// `targets` `executions` times (the curve loader's retry), then reads the rest one value at a time.
Trace run_statement(const std::string& bytes, std::span<float* const> targets, int executions = 1) {
  TemporaryDirectory directory;
  WorkingDirectory inside(directory.path());
  write_file(kCurveFile, bytes);
  Trace trace;
  auto run = capture_run([&] {
    open_unit(kCurveUnit, kCurveFile);
    for (int i = 0; i < executions; ++i) trace.outcomes.push_back(read_free_format(kCurveUnit, targets, true, true));
    trace.rest = rest_of_file(kCurveUnit);
    close_unit(kCurveUnit);
  });
  EXPECT_FALSE(run.ended) << run.error;
  trace.error = run.error;
  return trace;
}

// The curve loader's data statement: dummy, dummy, temperature, dummy, dummy, dummy,
// magnetisation, the dummy being one variable.
struct CurveCase {
  const char* why;
  std::string bytes;
  int executions;
  std::vector<ReadOutcome> outcomes;
  float temperature, magnetisation, dummy;
  const char* rest;
};

TEST(FreeFormatReader, CurveDataStatementTable) {
  const CurveCase cases[] = {
      {"blank-separated", "  1  2  300.5  4 5 6 7.25\n-5\n", 1, {0}, 300.5f, 7.25f, 6.0f, "-5 EOF"},
      {"comma-separated with a null fourth value", "1,2,300.5,,5,6,7.25\n-5\n", 1, {0}, 300.5f, 7.25f, 6.0f,
       "-5 EOF"},
      {"heading: the first word fails and the next statement starts after T(K) and its blank",
       "T(K) M(emu)\n-5\n", 1, {6103}, kUnchanged, kUnchanged, kUnchanged, "E6103 -5 EOF"},
      {"heading executed again: M(emu) ends at the record end, whose terminator goes with it",
       "T(K) M(emu)\n-5\n", 2, {6103, 6103}, kUnchanged, kUnchanged, kUnchanged, "-5 EOF"},
      {"a short record continues on the next", "1 2 3\n4 5 6 7\n-5\n", 1, {0}, 3.0f, 7.0f, 6.0f, "-5 EOF"},
      {"values after the seventh are discarded", "1 2 300.5 4 5 6 7.25 99\n-5\n", 1, {0}, 300.5f, 7.25f, 6.0f,
       "-5 EOF"},
      {"a slash ends the statement; later targets keep their values", "1 2 300.5 4/ 9\n-5\n", 1, {0}, 300.5f,
       kUnchanged, 4.0f, "-5 EOF"},
      {"a bad third value: dummies assigned, the next statement starts at the 4",
       "1 2 abc 4 5 6 7 8\n10 11 12\n-5\n", 1, {6103}, kUnchanged, kUnchanged, 2.0f, "4 10 -5 EOF"},
      {"executed again: resumes at the 4 and completes from the next record",
       "1 2 abc 4 5 6 7 8\n10 11 12\n-5\n", 2, {6103, 0}, 6.0f, 11.0f, 10.0f, "-5 EOF"},
      {"end of file part-way through the list", "1 2 300.5", 1, {-1}, 300.5f, kUnchanged, 2.0f, "EOF"},
      {"repeat counts", "2*0 300.5 3*1 7.25\n-5\n", 1, {0}, 300.5f, 7.25f, 1.0f, "-5 EOF"},
      {"empty and all-blank records are skipped", "\n   \n1 2 3 4 5 6 7\n-5\n", 1, {0}, 3.0f, 7.0f, 6.0f,
       "-5 EOF"},
  };
  for (const CurveCase& c : cases) {
    float dummy = kBefore, temperature = kBefore, magnetisation = kBefore;
    float* const targets[] = {&dummy, &dummy, &temperature, &dummy, &dummy, &dummy, &magnetisation};
    const Trace trace = run_statement(c.bytes, targets, c.executions);
    EXPECT_EQ(trace.outcomes, c.outcomes) << c.why;
    EXPECT_EQ(temperature, c.temperature) << c.why;
    EXPECT_EQ(magnetisation, c.magnetisation) << c.why;
    EXPECT_EQ(dummy, c.dummy) << c.why;
    EXPECT_EQ(trace.rest, c.rest) << c.why;
    EXPECT_EQ(trace.error, "") << c.why;
  }
}

// A statement of n distinct targets; the expected targets are listed as text ("null" for a
// target left as it was) so that a row reads like the record.
struct ListCase {
  const char* why;
  std::string bytes;
  int targets;
  ReadOutcome outcome;
  const char* values;
  const char* rest;
};

std::string run_list_case(const ListCase& c, std::string& rest, ReadOutcome& outcome) {
  std::vector<float> values(static_cast<size_t>(c.targets), kBefore);
  std::vector<float*> targets;
  for (float& value : values) targets.push_back(&value);
  const Trace trace = run_statement(c.bytes, targets);
  outcome = trace.outcomes.at(0);
  rest = trace.rest;
  std::string shown;
  for (float value : values) shown += (shown.empty() ? "" : " ") + (value == kBefore ? "null"s : show(value));
  return shown;
}

void check_list_cases(const std::vector<ListCase>& cases) {
  for (const ListCase& c : cases) {
    std::string rest;
    ReadOutcome outcome = 0;
    const std::string values = run_list_case(c, rest, outcome);
    EXPECT_EQ(outcome, c.outcome) << c.why;
    EXPECT_EQ(values, c.values) << c.why;
    EXPECT_EQ(rest, c.rest) << c.why;
  }
}

TEST(FreeFormatReader, RecordEnds) {
  check_list_cases({
      {"LF and CR LF end records alike; a last record without LF reads like any other",
       "1\r\n2\n3", 3, 0, "1 2 3", "EOF"},
      {"a lone CR ends the data: 3 4 goes with the terminator through the next LF",
       "1 2\r3 4\n5 6\n-5\n", 4, 0, "1 2 5 6", "-5 EOF"},
      {"a lone CR as the last byte of the file", "1\r", 1, 0, "1", "EOF"},
      {"CR CR LF is one terminator", "1\r\r\n2\n", 2, 0, "1 2", "EOF"},
      {"a tab separates like a blank", "1\t2\t\t3\n", 3, 0, "1 2 3", "EOF"},
      {"0x1A is an ordinary character, not an end of file", "1\x1a 2\n", 1, 6103, "null", "2 EOF"},
      {"a 0x1A after the last record is met as a value, then the file ends", "5\n\x1a", 1, 0, "5",
       "E6103 EOF"},
      {"NUL is an ordinary character", "1\0 2\n"s, 1, 6103, "null", "2 EOF"},
      {"a byte-order mark in front of the first value", "\xEF\xBB\xBF" "1 2\n", 1, 6103, "null", "2 EOF"},
      {"a byte from 0x80 up inside a value", "1\x80 2\n", 1, 6103, "null", "2 EOF"},
      {"known case: the record end after 2 ends the second value, so both come from the first record "
       "and the next statement starts at data1.dat",
       "1 2\ndata1.dat\n", 2, 0, "1 2", "E6103 EOF"},
      {"known case, one value in the first record: data1.dat is the second value and fails; its record "
       "end has been consumed",
       "1\ndata1.dat\n-5\n", 2, 6103, "1 null", "-5 EOF"},
      {"known case, three targets: data1.dat is the third value", "1 2\ndata1.dat\n-5\n", 3, 6103, "1 2 null",
       "-5 EOF"},
  });
}

TEST(FreeFormatReader, SeparatorsAndNullValues) {
  check_list_cases({
      {"1,000 is two values; the second goes with the rest of the record", "1,000\n-5\n", 1, 0, "1", "-5 EOF"},
      {"a blank ends the value; the rest of the record is discarded", "1000 K\n-5\n", 1, 0, "1000", "-5 EOF"},
      {"a leading comma is a null value", ",1000\n-5\n", 1, 0, "null", "-5 EOF"},
      {"two commas in a row", "1,,3\n", 3, 0, "1 null 3", "EOF"},
      {"a comma after blanks merges with them", "1 , 2\n", 2, 0, "1 2", "EOF"},
      {"blank, comma, blank, comma: the second comma makes a null value", "1 , ,2\n", 3, 0, "1 null 2", "EOF"},
      {"a slash with targets left: they keep their values", "1/ 2\n-5\n", 2, 0, "1 null", "-5 EOF"},
      {"a slash at the very start", "/ 1 2\n-5\n", 2, 0, "null null", "-5 EOF"},
      {"the record end after a value counts as a blank before a comma", "1\n,2\n", 2, 0, "1 2", "EOF"},
      {"values run on across records", "1\n\n 2\n3 4\n", 3, 0, "1 2 3", "EOF"},
  });
}

TEST(FreeFormatReader, RepeatCounts) {
  check_list_cases({
      {"a count of 1 leaves no repeat pending, so the blank after it is skipped", "1* 5\n", 1, 0, "5", "EOF"},
      {"the comma after 1* merges with the blank before it", "7 1*,5\n", 2, 0, "7 5", "EOF"},
      {"but with a repeat pending the comma after the count ends its value: two nulls, not 5 twice",
       "1 2*,5\n", 4, 0, "1 null null 5", "EOF"},
      {"a count followed by a separator gives null values", "3*,7\n", 4, 0, "null null null 7", "EOF"},
      {"a count followed by a blank gives null values", "2* 7\n", 3, 0, "null null 7", "EOF"},
      {"a repeated value, then the next value", "3*7 8\n", 4, 0, "7 7 7 8", "EOF"},
      {"the repeat outlasts the statement: nothing of it survives", "3*7\n8\n", 2, 0, "7 7", "8 EOF"},
      {"a slash does not stop a pending repeat", "3*1/ 9\n", 5, 0, "1 1 1 null null", "EOF"},
      {"a count ended by the record end: the value ends there but the record end is not marked as "
       "taken (the value text is empty), so the statement discards the record after it too",
       "3*\n4 5 6\n-5\n", 3, 0, "null null null", "-5 EOF"},
      {"the same count in the last record: no record is left to discard, and the statement succeeds",
       "3*\n", 3, 0, "null null null", "EOF"},
      {"largest count", "2147483647*2\n", 2, 0, "2 2", "EOF"},
      {"a sign is allowed", "+2*5 6\n", 3, 0, "5 5 6", "EOF"},
      {"base 2", "2#11*4 9\n", 4, 0, "4 4 4 9", "EOF"},
      {"base 36 with an upper-case digit", "36#Z*4\n", 2, 0, "4 4", "EOF"},
      {"an empty base means 16", "#3*4 9\n", 4, 0, "4 4 4 9", "EOF"},
      {"a zero base means 16", "0#3*4 9\n", 4, 0, "4 4 4 9", "EOF"},
      // Failures: the next statement starts just after the asterisk.
      {"count 0", "0*5 6\n", 1, 6502, "null", "5 EOF"},
      {"a bare asterisk is count 0", "*5 6\n", 1, 6502, "null", "5 EOF"},
      {"an asterisk while a repeat is pending", "2*3*4 9\n", 3, 6503, "null null null", "4 EOF"},
      {"a count that is not an integer", "1.5*2 9\n", 1, 6101, "null", "2 EOF"},
      {"a letter in a decimal count", "1e3*2 9\n", 1, 6101, "null", "2 EOF"},
      {"a count above 2147483647", "2147483648*2 9\n", 1, 6100, "null", "2 EOF"},
      {"a count far above the limit", "99999999999999999999999*2 9\n", 1, 6100, "null", "2 EOF"},
      {"a base above 36", "37#1*4 9\n", 1, 6303, "null", "4 EOF"},
      {"base 1", "1#1*4 9\n", 1, 6303, "null", "4 EOF"},
      {"a second #", "16#1#1*4 9\n", 1, 6302, "null", "4 EOF"},
      {"a digit not below the base", "2#12*4 9\n", 1, 6101, "null", "4 EOF"},
      {"a radix count above the limit", "16#80000000*4 9\n", 1, 6100, "null", "4 EOF"},
      {"a negative count is rejected, not read as 4294967293", "-3*5 9\n", 2, 6101, "null null", "5 EOF"},
      {"the most negative count", "-2147483648*5 9\n", 1, 6100, "null", "5 EOF"},
      {"minus zero is count 0", "-0*5 9\n", 1, 6502, "null", "5 EOF"},
      {"values assigned before a failing count stay", "1 0*5 6\n", 2, 6502, "1 null", "5 EOF"},
  });
}

TEST(FreeFormatReader, QuotedAndParenthesisedValues) {
  check_list_cases({
      {"a quoted value fails and leaves its target as it was; the character after the quote goes",
       "'ab' 5\n", 1, 6504, "null", "5 EOF"},
      {"a doubled quote stands for one", "'it''s',5\n", 1, 6504, "null", "5 EOF"},
      {"double quotes", "\"ab\"/5\n", 1, 6504, "null", "5 EOF"},
      {"the other quote character is ordinary inside", "\"a'b\" 5\n", 1, 6504, "null", "5 EOF"},
      {"empty quotes are a null value", "'' 5\n", 2, 0, "null 5", "EOF"},
      // The x after the quotes is the separator but not a blank, so the comma after it does not
      // merge with it: it ends a second, null value.
      {"a character after empty quotes separates without being a blank", "''x,5\n", 2, 0, "null null", "EOF"},
      {"a quote that is not first is an ordinary character", "5' 6\n", 1, 6103, "null", "6 EOF"},
      {"an LF after the closing quote stays for the next read", "'ab'\n5\n", 1, 6504, "null", "5 EOF"},
      {"a CR after the closing quote stays too: its terminator is never read as data",
       "'ab'\rjunk\n5\n", 1, 6504, "null", "5 EOF"},
      {"a quoted value runs across records; the byte after the terminator is discarded",
       "'a\nXb' 5\n", 1, 6504, "null", "5 EOF"},
      {"an empty record inside the quotes: the byte discarded after the terminator is the empty "
       "record's own terminator, and the quote after it closes the value",
       "'a\n\n' 5\n", 1, 6504, "null", "5 EOF"},
      {"the same with CR LF records: the empty record's CR LF goes whole, so LF and CR LF records "
       "read alike",
       "'a\r\n\r\n' 5\n", 1, 6504, "null", "5 EOF"},
      {"a quoted value that never closes meets the end of the file", "'abc\n", 1, -1, "null", "EOF"},
      {"a closing quote at the end of a file without LF", "'ab'", 1, 6504, "null", "EOF"},
      {"a parenthesised value fails", "(1,2) 5\n", 1, 6504, "null", "5 EOF"},
      {"the character after the closing parenthesis is not consumed: the comma there makes the next "
       "statement's first value null",
       "(1,2),5\n", 1, 6504, "null", "null EOF"},
      {"blanks and record ends are skipped inside parentheses", "( 1\n 2 ) 5\n", 1, 6504, "null", "5 EOF"},
      {"empty parentheses are a null value", "() 5\n", 2, 0, "null 5", "EOF"},
      {"a closing parenthesis outside parentheses is ordinary", "5) 6\n", 1, 6103, "null", "6 EOF"},
      {"a repeated quoted value fails at its first delivery", "2*'a' 5\n", 2, 6504, "null null", "5 EOF"},
  });
}

// One-target statements on the value forms; the conversion itself has its own tests, these show
// that the reader hands it the whole text and places the next statement after the value.
TEST(FreeFormatReader, SingleValues) {
  check_list_cases({
      {"plain", "1000\n", 1, 0, "1000", "EOF"},
      {"trailing point", "1000.\n", 1, 0, "1000", "EOF"},
      {"exponent letters and an exponent sign without a letter",
       "1.0E3 1e+03 1D3 1+3 2-3 .5\n", 6, 0, "1000 1000 1000 1000 0.002 0.5", "EOF"},
      {"beyond single precision", "3.4028235E38 7\n", 1, 6104, "null", "7 EOF"},
      {"beyond double precision", "1E309 7\n", 1, 6102, "null", "7 EOF"},
      {"underflow to zero", "1E-50\n", 1, 0, "0", "EOF"},
      {"a trailing unit", "300.5K 7\n", 1, 6103, "null", "7 EOF"},
      {"trailing punctuation", "7.25; 7\n", 1, 6103, "null", "7 EOF"},
  });
}

TEST(FreeFormatReader, LongValueTextFailsAfterItsWholeRun) {
  const std::string long_word(261, 'x');
  const std::string long_number(300, '1');
  check_list_cases({
      {"261 characters", long_word + " 5\n", 1, 6103, "null", "5 EOF"},
      {"a long run of digits", long_number + ",5\n", 1, 6103, "null", "5 EOF"},
      {"a long run ended by the record end", long_word + "\n5\n", 1, 6103, "null", "5 EOF"},
      {"a long run used as a repeat count", long_number + "*5 6\n", 1, 6103, "null", "5 EOF"},
      {"a long quoted text is still a quoted value", "'" + long_word + "' 5\n", 1, 6504, "null", "5 EOF"},
      {"a long run spanning many buffers", std::string(5000, 'y') + " 5\n", 1, 6103, "null", "5 EOF"},
  });
}

// 260 characters fit: the text is converted whole (needs the exact converter for 260 digits).
TEST(FreeFormatReader, ValueTextOfExactly260CharactersIsConverted) {
  const std::string text = std::string(257, '0') + "2.5";
  ASSERT_EQ(text.size(), kMaxValueText);
  check_list_cases({{"260 characters", text + " 5\n", 1, 0, "2.5", "EOF"}});
}

TEST(FreeFormatReader, BufferBoundaries) {
  const std::string blanks1021(1021, ' ');
  check_list_cases({
      {"a value straddling the end of the first 1024 bytes", std::string(1022, ' ') + "12345 7\n", 2, 0,
       "12345 7", "EOF"},
      {"CR LF split by the buffer end", "5" + std::string(1022, ' ') + "\r\n6\n", 2, 0, "5 6", "EOF"},
      {"a doubled quote split by the buffer end: one value", blanks1021 + "'a''b' 5\n", 1, 6504, "null",
       "5 EOF"},
      {"a closing quote as the buffer's last byte", blanks1021 + "'a' 5\n", 1, 6504, "null", "5 EOF"},
      {"a record longer than a buffer is discarded whole", "1 " + std::string(3000, '9') + "\n-5\n", 1, 0, "1",
       "-5 EOF"},
      {"a value after thousands of blanks", std::string(3000, ' ') + "1 2\n", 2, 0, "1 2", "EOF"},
  });
}

TEST(FreeFormatReader, EndOfFile) {
  check_list_cases({
      {"empty file", "", 1, -1, "null", "EOF"},
      {"blank records only", "\n  \n\r\n", 1, -1, "null", "EOF"},
      {"the last value of a file without LF", "5", 1, 0, "5", "EOF"},
      {"end of file before the second value", "1\n", 2, -1, "1 null", "EOF"},
      {"a count at the end of a file without LF ends its value like a record end", "3*", 4, -1,
       "null null null null", "EOF"},
  });
}

// Runs `body` on a curve file holding `bytes`, with reports captured.
testing::CapturedRun run_reporting(const std::string& bytes, const std::function<void()>& body) {
  TemporaryDirectory directory;
  WorkingDirectory inside(directory.path());
  write_file(kCurveFile, bytes);
  return capture_run([&] {
    open_unit(kCurveUnit, kCurveFile);
    body();
  });
}

std::string report(int number) { return testing::io_report(number, "READ", kCurveFile); }

TEST(FreeFormatReader, UnhandledErrorIsReportedWithTheUnitName) {
  float value = kBefore;
  float* const target[] = {&value};
  const auto run = run_reporting("abc\n", [&] { read_free_format(kCurveUnit, target, false, false); });
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, report(6103));
  EXPECT_EQ(run.output, "");
}

TEST(FreeFormatReader, HandlesEndOnlyHandsBackEndOfFileButReportsErrors) {
  float value = kBefore;
  float* const target[] = {&value};
  ReadOutcome outcome = 0;
  auto run = run_reporting("", [&] { outcome = read_free_format(kCurveUnit, target, true, false); });
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(outcome, -1);
  EXPECT_EQ(run.error, "");

  run = run_reporting("1 2 x\n", [&] { read_free_format(kCurveUnit, target, true, false); });
  EXPECT_FALSE(run.ended);  // one target: x is never reached
  EXPECT_EQ(run.error, "");
  float three[3] = {kBefore, kBefore, kBefore};
  float* const targets[] = {&three[0], &three[1], &three[2]};
  run = run_reporting("1 2 x\n", [&] { read_free_format(kCurveUnit, targets, true, false); });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, report(6103));
}

TEST(FreeFormatReader, HandlesErrorNeverReports) {
  float value = kBefore;
  float* const target[] = {&value};
  std::vector<ReadOutcome> outcomes;
  const auto run = run_reporting("x\n", [&] {
    for (int i = 0; i < 3; ++i) outcomes.push_back(read_free_format(kCurveUnit, target, false, true));
  });
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(run.error, "");
  EXPECT_EQ(outcomes, (std::vector<ReadOutcome>{6103, -1, -1}));
}

TEST(FreeFormatReader, EndOfFileIsReportedAsF6501AndAReadAfterItAsF6405) {
  float value = kBefore;
  float* const target[] = {&value};
  auto run = run_reporting("", [&] { read_free_format(kCurveUnit, target, false, false); });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, report(6501));

  run = run_reporting("", [&] {
    EXPECT_EQ(read_free_format(kCurveUnit, target, true, false), -1);
    read_free_format(kCurveUnit, target, false, false);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, report(6405));
}

// The assumed line feed of a last record without one is not an end of file: the statement after
// it meets the end of the file itself (F6501), not a unit already at its end (F6405).
TEST(FreeFormatReader, LastRecordWithoutLineFeedLeavesTheEndOfFileForTheNextStatement) {
  const char* const files[] = {"5", "5\r", "5 6", "'' 5 6"};
  for (const char* file : files) {
    float value = kBefore;
    float* const target[] = {&value};
    const auto run = run_reporting(file, [&] {
      EXPECT_EQ(read_free_format(kCurveUnit, target, false, false), 0) << file;
      read_free_format(kCurveUnit, target, false, false);
    });
    EXPECT_EQ(run.status, 1) << file;
    EXPECT_EQ(run.error, report(6501)) << file;
  }
}

TEST(FreeFormatReader, ReopeningTheUnitClearsItsEndOfFile) {
  float value = kBefore;
  float* const target[] = {&value};
  const auto run = run_reporting("7\n", [&] {
    EXPECT_EQ(read_free_format(kCurveUnit, target, true, true), 0);
    EXPECT_EQ(read_free_format(kCurveUnit, target, true, true), -1);
    close_unit(kCurveUnit);
    open_unit(kCurveUnit, kCurveFile);
    value = kBefore;
    EXPECT_EQ(read_free_format(kCurveUnit, target, true, true), 0);
    EXPECT_EQ(value, 7.0f);
  });
  EXPECT_FALSE(run.ended) << run.error;
}

// Read-failure injection: the chosen call of read fails with EIO.
int reads_until_failure = 0;
ssize_t failing_read(int fd, void* buffer, size_t count) {
  if (--reads_until_failure == 0) {
    errno = EIO;
    return -1;
  }
  return ::read(fd, buffer, count);
}

TEST(FreeFormatReader, FailedReadIsHandedBackAndTheNextStatementReadsAgain) {
  float first = kBefore, second = kBefore;
  float* const targets[] = {&first, &second};
  std::vector<ReadOutcome> outcomes;
  const auto run = run_reporting("1 2\n3 4\n", [&] {
    reads_until_failure = 1;
    platform_calls().read = &failing_read;
    outcomes.push_back(read_free_format(kCurveUnit, targets, false, true));
    outcomes.push_back(read_free_format(kCurveUnit, targets, false, true));
  });
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(outcomes, (std::vector<ReadOutcome>{6500, 0}));
  EXPECT_EQ(first, 1.0f);
  EXPECT_EQ(second, 2.0f);
}

TEST(FreeFormatReader, FailedReadInTheMiddleOfARecordResumesWithTheUnreadBytes) {
  // The first 1024 bytes hold 1 and blanks; the failing second read loses nothing of the file.
  const std::string bytes = "1" + std::string(1023, ' ') + "2 3\n";
  float first = kBefore, second = kBefore;
  float* const targets[] = {&first, &second};
  std::vector<ReadOutcome> outcomes;
  const auto run = run_reporting(bytes, [&] {
    reads_until_failure = 2;
    platform_calls().read = &failing_read;
    outcomes.push_back(read_free_format(kCurveUnit, targets, false, true));
    outcomes.push_back(read_free_format(kCurveUnit, targets, false, true));
  });
  EXPECT_EQ(outcomes, (std::vector<ReadOutcome>{6500, 0}));
  EXPECT_EQ(first, 2.0f);
  EXPECT_EQ(second, 3.0f);
}

// A read that fails wherever the statement needs more bytes ends it with 6500; none of these may
// pass for a record end or the end of the file, which would cut a curve short without a word.
// Each file's first 1024 bytes are read by the first fetch; the second fetch fails.
TEST(FreeFormatReader, ReadFailingAtEveryKindOfFetchIsF6500) {
  const std::string blanks(1021, ' ');
  struct Case {
    const char* why;
    std::string bytes;
    int targets;
    const char* values;
  };
  const Case cases[] = {
      {"while the rest of the record is discarded", "1 " + std::string(1100, 'x') + "\n2\n", 1, "1"},
      {"inside a value", std::string(1022, ' ') + "12345\n", 1, "null"},
      {"between a CR and its LF", "5" + std::string(1022, ' ') + "\r\n6\n", 2, "5 null"},
      {"inside a quoted value", blanks + "'ab" + "c' 5\n", 1, "null"},
      {"after a record end inside a quoted value", std::string(1019, ' ') + "'abc\n" + "d' 5\n", 1, "null"},
      {"after a closing quote", blanks + "'a'" + " 5\n", 1, "null"},
  };
  for (const Case& c : cases) {
    std::vector<float> values(static_cast<size_t>(c.targets), kBefore);
    std::vector<float*> targets;
    for (float& value : values) targets.push_back(&value);
    ReadOutcome outcome = 0;
    const auto run = run_reporting(c.bytes, [&] {
      reads_until_failure = 2;
      platform_calls().read = &failing_read;
      outcome = read_free_format(kCurveUnit, targets, true, true);
    });
    EXPECT_FALSE(run.ended) << c.why;
    EXPECT_EQ(outcome, 6500) << c.why;
    std::string shown;
    for (float value : values) shown += (shown.empty() ? "" : " ") + (value == kBefore ? "null"s : show(value));
    EXPECT_EQ(shown, c.values) << c.why;
  }
}

TEST(FreeFormatReader, UnhandledFailedReadIsReportedAsF6500) {
  float value = kBefore;
  float* const target[] = {&value};
  const auto run = run_reporting("1\n", [&] {
    reads_until_failure = 1;
    platform_calls().read = &failing_read;
    read_free_format(kCurveUnit, target, true, false);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, report(6500));
}

TEST(FreeFormatReader, NegativeZeroKeepsItsSign) {
  float value = kBefore;
  float* const target[] = {&value};
  const auto run = run_reporting("-0\n", [&] { EXPECT_EQ(read_free_format(kCurveUnit, target, false, false), 0); });
  EXPECT_FALSE(run.ended);
  EXPECT_EQ(value, 0.0f);
  EXPECT_TRUE(std::signbit(value));
}

}  // namespace
}  // namespace quelvar
