#include "recordio/text_field_reader.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "recordio/free_format_reader.h"
#include "recordio/units.h"
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

const char* const kCurveFile = "field_0p5.txt";

std::string padded(const std::string& text) { return text + std::string(kTextFieldWidth - text.size(), ' '); }

std::string report(int number) { return testing::io_report(number, "READ", kCurveFile); }

testing::CapturedRun run_on_file(const std::string& bytes, const std::function<void()>& body) {
  TemporaryDirectory directory;
  WorkingDirectory inside(directory.path());
  write_file(kCurveFile, bytes);
  return capture_run([&] {
    open_unit(kCurveUnit, kCurveFile);
    body();
    close_unit(kCurveUnit);
  });
}

struct FieldCase {
  const char* why;
  std::string bytes;     // the record, followed by the record "NEXT"
  std::string expected;  // the 30 bytes
};

// Each record is followed by a record NEXT, read by a second text statement to show that the
// first one left the unit at the start of the following record.
TEST(TextFieldReader, RecordTable) {
  const std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789ABCD";
  const std::string thirty = forty.substr(0, 30);
  const FieldCase cases[] = {
      {"a short name, CR LF", "data1.dat\r\nNEXT\n", padded("data1.dat")},
      {"leading blanks kept", "  data1.dat\nNEXT\n", padded("  data1.dat")},
      {"40 characters: the other 10 go with the terminator", forty + "\r\nNEXT\n", thirty},
      {"exactly 30 characters", thirty + "\r\nNEXT\n", thirty},
      {"empty record", "\r\nNEXT\n", padded("")},
      {"a tab is copied as a byte", "T(K)\tM(emu)\nNEXT\n", padded("T(K)\tM(emu)")},
      {"a lone CR: xyz goes with the terminator", "data1.dat\rxyz\nNEXT\n", padded("data1.dat")},
      {"a lone CR then CR LF", "a\r\r\nNEXT\n", padded("a")},
      {"0x1A, NUL and bytes from 0x80 are copied unchanged", "a\x1a\0\x80\xff" "b\nNEXT\n"s,
       padded("a\x1a\0\x80\xff" "b"s)},
      {"a record longer than the buffer", std::string(2000, 'z') + "\nNEXT\n", std::string(30, 'z')},
      {"a record end exactly at the 1024-byte buffer end", std::string(1023, 'q') + "\nNEXT\n",
       std::string(30, 'q')},
  };
  for (const FieldCase& c : cases) {
    char field[kTextFieldWidth];
    char next[kTextFieldWidth];
    const auto run = run_on_file(c.bytes, [&] {
      EXPECT_EQ(read_text_field(kCurveUnit, field), 0) << c.why;
      EXPECT_EQ(read_text_field(kCurveUnit, next), 0) << c.why;
    });
    EXPECT_FALSE(run.ended) << c.why << run.error;
    EXPECT_EQ(std::string(field, kTextFieldWidth), c.expected) << c.why;
    EXPECT_EQ(std::string(next, kTextFieldWidth), padded("NEXT")) << c.why;
  }
}

TEST(TextFieldReader, FirstRecordOfACurveFileIsTextAndTheDataStartAtTheSecond) {
  char header[kTextFieldWidth];
  float dummy = 0, temperature = 0, magnetisation = 0;
  float* const targets[] = {&dummy, &dummy, &temperature, &dummy, &dummy, &dummy, &magnetisation};
  const auto run = run_on_file("1 2 300.5 4 5 6 7.25\n1 2 3 4 5 6 7\n", [&] {
    EXPECT_EQ(read_text_field(kCurveUnit, header), 0);
    EXPECT_EQ(read_free_format(kCurveUnit, targets, true, true), 0);
    EXPECT_EQ(read_free_format(kCurveUnit, targets, true, true), -1);
  });
  EXPECT_FALSE(run.ended) << run.error;
  EXPECT_EQ(std::string(header, kTextFieldWidth), padded("1 2 300.5 4 5 6 7.25"));
  EXPECT_EQ(temperature, 3.0f);
  EXPECT_EQ(magnetisation, 7.0f);
}

// A last record without LF reads like any other, and the statement after it meets the end of the
// file (F6501), not a unit already at its end.
TEST(TextFieldReader, LastRecordWithoutLineFeed) {
  const std::string records[] = {"data1.dat", std::string(30, 'w'), std::string(45, 'w'), "x\r"};
  for (const std::string& record : records) {
    char field[kTextFieldWidth];
    const auto run = run_on_file(record, [&] {
      EXPECT_EQ(read_text_field(kCurveUnit, field), 0) << record;
      read_text_field(kCurveUnit, field);
    });
    const std::string data = record.substr(0, std::min<size_t>(record.find('\r'), kTextFieldWidth));
    EXPECT_EQ(std::string(field, kTextFieldWidth), padded(data)) << record;
    EXPECT_EQ(run.status, 1) << record;
    EXPECT_EQ(run.error, report(6501)) << record;
  }
}

TEST(TextFieldReader, NoRecordLeftIsReportedAndTheTargetKeepsItsBytes) {
  char field[kTextFieldWidth];
  std::memset(field, '#', kTextFieldWidth);
  const auto run = run_on_file("", [&] { read_text_field(kCurveUnit, field); });
  EXPECT_TRUE(run.ended);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, report(6501));
  EXPECT_EQ(std::string(field, kTextFieldWidth), std::string(kTextFieldWidth, '#'));
}

TEST(TextFieldReader, ReadAfterEndOfFileIsReportedAsF6405) {
  float value = 0;
  float* const target[] = {&value};
  char field[kTextFieldWidth];
  const auto run = run_on_file("", [&] {
    EXPECT_EQ(read_free_format(kCurveUnit, target, true, false), -1);
    read_text_field(kCurveUnit, field);
  });
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.error, report(6405));
}

// The read numbered `failing_read_number` fails with EIO.
int reads_seen = 0;
int failing_read_number = 0;
ssize_t failing_read(int fd, void* buffer, size_t count) {
  if (++reads_seen == failing_read_number) {
    errno = EIO;
    return -1;
  }
  return ::read(fd, buffer, count);
}

// A failed read is reported wherever the statement meets it; the rest of a name record longer
// than the buffer is read by a second fetch, and its failure must not pass for the record's end.
TEST(TextFieldReader, FailedReadIsReportedAsF6500) {
  struct Case {
    const char* why;
    std::string bytes;
    int failing_read;
  };
  const Case cases[] = {
      {"the field's first byte", "data1.dat\n", 1},
      {"the rest of a record longer than the buffer", "data1.dat " + std::string(1100, 'x') + "\nNEXT\n", 2},
  };
  for (const Case& c : cases) {
    char field[kTextFieldWidth];
    std::memset(field, '#', kTextFieldWidth);
    const auto run = run_on_file(c.bytes, [&] {
      reads_seen = 0;
      failing_read_number = c.failing_read;
      platform_calls().read = &failing_read;
      read_text_field(kCurveUnit, field);
    });
    EXPECT_EQ(run.status, 1) << c.why;
    EXPECT_EQ(run.error, report(6500)) << c.why;
    EXPECT_EQ(std::string(field, kTextFieldWidth), std::string(kTextFieldWidth, '#')) << c.why;
  }
}

}  // namespace
}  // namespace quelvar
