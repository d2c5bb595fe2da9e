#include "recordio/layout_writer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "recordio/free_format_writer.h"
#include "recordio/units.h"
#include "support/capture.h"
#include "support/expected_text.h"

namespace quelvar {
namespace {

using testing::capture_run;
using testing::read_file;
using testing::TemporaryDirectory;

// Expected texts are written with ␣ for each blank that matters.
std::string blanks(std::string text) { return testing::with_blanks(std::move(text)); }

std::string field_of(float value, int width, int decimals) {
  std::string field(static_cast<size_t>(width), '?');
  fixed_field_text(value, decimals, std::span<char>(field.data(), field.size()));
  return field;
}

struct FieldCase {
  float value;
  int width;
  int decimals;
  std::string field;
};

void expect_fields(const std::vector<FieldCase>& cases) {
  for (const FieldCase& c : cases) {
    EXPECT_EQ(field_of(c.value, c.width, c.decimals), blanks(c.field))
        << c.value << " under F" << c.width << "." << c.decimals;
  }
}

TEST(FixedField, WorkedExamples) {
  expect_fields({
      {-0.0f, 10, 5, "␣␣␣␣.00000"},        // zero has no sign
      {0.000004f, 10, 5, "␣␣␣␣.00000"},    // 3.99999998990097e-6: nothing down to d = 5 but D1 = 3
      {-0.000004f, 10, 5, "␣␣␣␣.00000"},   // rounds to zero, so no sign
      {0.000006f, 10, 5, "␣␣␣␣.00001"},    // 5.99999984e-6: min(m, 7) = 0 and D1 = 5
      {1.23456f, 10, 5, "␣␣␣1.23456"},
      {-0.123456f, 10, 5, "␣␣␣-.12346"},   // no "0" before the point
      {0.5f, 10, 4, "␣␣␣␣␣.5000"},
      {0.03125f, 10, 4, "␣␣␣␣␣.0313"},     // an exact tie rounds away from zero
      {9.99996f, 10, 4, "␣␣␣10.0000"},     // the carry gives a new leading digit
      {123.456789f, 10, 5, "␣123.45680"},  // 7 significant digits, then "0"
      {12345.678f, 10, 4, "12345.6800"},   // 12345.677734375 to 7 digits; fills the field
      {-12345.678f, 10, 5, "**********"},  // -12345.68000 would need 12 columns
      {1.0e6f, 10, 5, "**********"},       // 1000000.00000 would need 13
      {305.0f, 8, 3, "␣305.000"},
      {12345.0f, 8, 3, "********"},        // 12345.000 would need 9
  });
}

TEST(FixedField, EdgeCases) {
  expect_fields({
      {0.0f, 10, 5, "␣␣␣␣.00000"},
      {0.999996f, 10, 5, "␣␣␣1.00000"},    // rounds up to 1, which has a digit before the point
      {0.1f, 10, 5, "␣␣␣␣.10000"},         // below 1: no "0" before the point
      {0.00000499f, 10, 5, "␣␣␣␣.00000"},  // 4.99e-6: only D1 = 4 counts, not what follows
      {0.0000001f, 10, 5, "␣␣␣␣.00000"},   // m < 0: far below the last decimal
      {-0.000006f, 10, 5, "␣␣␣-.00001"},   // rounds to one unit, not to zero: keeps its sign
      {-0.03125f, 10, 4, "␣␣␣␣-.0313"},    // ties go away from zero on both sides
      {300.5f, 10, 0, "␣␣␣␣␣␣301."},       // d = 0: the text ends with the point
      {1234567.9f, 12, 2, "␣␣1234568.00"}, // 1234567.875: 7 significant digits, then zeros
      {1.0e6f, 14, 5, "␣1000000.00000"},
      {-1.5f, 5, 2, "-1.50"},              // the sign fits exactly
      {-1.5f, 4, 2, "****"},               // one column short because of the sign
      {-0.5f, 5, 4, "*****"},
      {1.0f, 2, 1, "**"},
      {FLT_MAX, 45, 1, "␣␣␣␣3402823" + std::string(32, '0') + ".0"},  // 39 integer digits
      {1.4e-45f, 10, 5, "␣␣␣␣.00000"},
      {INFINITY, 10, 4, "**********"},     // not finite: the field cannot show it
      {-INFINITY, 6, 1, "******"},
      {std::nanf(""), 8, 3, "********"},
  });
}

// Runs statements with unit 20 connected to a fresh file and returns the file's bytes.
std::string file_after(const std::function<void(int unit)>& statements) {
  TemporaryDirectory directory;
  const std::string path = directory.file("records.dat");
  const auto run = capture_run([&] {
    open_unit(20, path);
    statements(20);
    close_unit(20);
  });
  EXPECT_FALSE(run.ended) << run.error;
  return read_file(path);
}

void write(int unit, std::string_view layout, std::vector<LayoutValue> values = {}) {
  write_with_layout(unit, layout, values);
}

TEST(LayoutWriter, ProgramRecords) {
  const struct {
    const char* name;
    std::function<void(int)> statements;
    std::string file;
  } cases[] = {
      {"text field right-justified", [](int u) { write(u, "(a4)", {LayoutValue::of("T/B")}); },
       blanks("␣T/B\r\n")},
      {"text field keeps the leftmost characters", [](int u) { write(u, "(a2)", {LayoutValue::of("T/B")}); },
       "T/\r\n"},
      // The label piece is 7 characters wide: the carried blank of the trailing skip follows it.
      {"header record",
       [](int u) {
         write(u, "(2x,a4,x,$)", {LayoutValue::of("T/B")});
         write(u, "(2x,f10.4,$)", {LayoutValue::of(0.5f)});
         write(u, "(2x,f10.4,$)", {LayoutValue::of(1.0f)});
         write(u, "()");
       },
       blanks("␣␣␣T/B␣␣␣␣␣␣␣␣.5000␣␣␣␣␣␣1.0000\r\n")},
      {"data record",
       [](int u) {
         write(u, "(f8.3,$)", {LayoutValue::of(300.0f)});
         write(u, "(2x,f10.5,$)", {LayoutValue::of(1.0f)});
         write(u, "(2x,f10.5,$)", {LayoutValue::of(2.5f)});
         write(u, "()");
       },
       blanks("␣300.000␣␣␣␣␣1.00000␣␣␣␣␣2.50000\r\n")},
      {"negative zero as the result table writes it",
       [](int u) { write(u, "(2x,f10.5)", {LayoutValue::of(-0.0f)}); }, blanks("␣␣␣␣␣␣.00000\r\n")},
      {"seven values under a seven-fold group: one record",
       [](int u) {
         std::vector<LayoutValue> seven;
         for (float v : {305.0f, 304.5f, 1.2345f, 305.5f, -0.5f, 303.5f, 0.0f}) seven.push_back(LayoutValue::of(v));
         write(u, "(7(x,f10.4))", seven);
       },
       blanks("␣␣␣305.0000␣␣␣304.5000␣␣␣␣␣1.2345␣␣␣305.5000␣␣␣␣␣-.5000␣␣␣303.5000␣␣␣␣␣␣.0000\r\n")},
  };
  for (const auto& c : cases) EXPECT_EQ(file_after(c.statements), c.file) << c.name;
}

TEST(LayoutWriter, ContinuationAndOwedBlanks) {
  const struct {
    const char* name;
    std::function<void(int)> statements;
    std::string file;
  } cases[] = {
      {"a layout ending in a skip carries its blanks past $ into the next statement",
       [](int u) {
         write(u, "(a1,3x,$)", {LayoutValue::of("A")});
         write(u, "(a1)", {LayoutValue::of("B")});
       },
       blanks("A␣␣␣B\r\n")},
      {"without $ the blanks of a trailing skip are dropped with the record end",
       [](int u) {
         write(u, "(a1,3x)", {LayoutValue::of("A")});
         write(u, "(a1)", {LayoutValue::of("B")});
       },
       "A\r\nB\r\n"},
      {"$ ahead of the last field has no effect while values remain",
       [](int u) {
         write(u, "(a1,$,a1)", {LayoutValue::of("A"), LayoutValue::of("B")});
         write(u, "(a1)", {LayoutValue::of("C")});
       },
       "AB\r\nC\r\n"},
      {"a field with no value left ends the statement; a $ before it keeps the record open",
       [](int u) {
         write(u, "(a1,2x,$,a1)", {LayoutValue::of("A")});
         write(u, "(a1)", {LayoutValue::of("B")});
       },
       blanks("A␣␣B\r\n")},
      {"a $ after a field with no value is never reached",
       [](int u) {
         write(u, "(a1,a1,$)", {LayoutValue::of("A")});
         write(u, "(a1)", {LayoutValue::of("B")});
       },
       "A\r\nB\r\n"},
      {"() on a unit with no open record writes an empty record", [](int u) { write(u, "()"); }, "\r\n"},
      {"() after an open record ends it with nothing added, dropping owed blanks",
       [](int u) {
         write(u, "(a1,5x,$)", {LayoutValue::of("A")});
         write(u, "()");
       },
       "A\r\n"},
      {"a record still open at close has no record end",
       [](int u) { write(u, "(a1,$)", {LayoutValue::of("A")}); }, "A"},
      {"groups repeat, and the layout is not restarted for values left over",
       [](int u) {
         write(u, "(2(a1,1x),a2)",
               {LayoutValue::of("A"), LayoutValue::of("B"), LayoutValue::of("CD"), LayoutValue::of("E")});
       },
       blanks("A␣B␣CD\r\n")},
      {"nested groups",
       [](int u) {
         std::vector<LayoutValue> values;
         for (const char* t : {"a", "b", "c", "d", "e", "f"}) values.push_back(LayoutValue::of(t));
         write(u, "(2(a1,2(x,A1)),X)", values);
       },
       blanks("a␣b␣cd␣e␣f\r\n")},
      {"upper case letters and blanks between elements",
       [](int u) { write(u, " ( 2X , F6.2 ) ", {LayoutValue::of(1.5f)}); }, blanks("␣␣␣␣1.50\r\n")},
      {"a value of the wrong kind for its field gives asterisks",
       [](int u) { write(u, "(f4.1,a3)", {LayoutValue::of("x"), LayoutValue::of(1.0f)}); }, "*******\r\n"},
      {"a malformed layout writes nothing and leaves the record open",
       [](int u) {
         write(u, "(a1,$)", {LayoutValue::of("A")});
         write(u, "(a1", {LayoutValue::of("B")});
         write(u, "(a1)", {LayoutValue::of("C")});
       },
       "AC\r\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(file_after(c.statements), c.file) << c.name;
}

// The count of owed blanks is one for both writers: a free-format statement sets it afresh, so
// blanks carried past "$" on a file unit are gone once a console line has been written.
TEST(LayoutWriter, FreeFormatStatementResetsTheSharedCount) {
  const std::string file = file_after([](int u) {
    write(u, "(a1,3x,$)", {LayoutValue::of("A")});
    EXPECT_EQ(owed_blanks(), 3);
    FreeFormatWriter line;
    line.put_integer(1);
    line.finish();
    write(u, "(a1)", {LayoutValue::of("B")});
  });
  EXPECT_EQ(file, "AB\r\n");
}

TEST(LayoutWriter, InterpolationLineOnTheConsole) {
  const auto run = capture_run([] {
    std::vector<LayoutValue> seven;
    for (float v : {305.0f, 304.5f, 1.2345f, 305.5f, -0.5f, 303.5f, 0.0f}) seven.push_back(LayoutValue::of(v));
    write(kConsoleUnitNumber, "(7(x,f10.4))", seven);
  });
  // The record's first blank is carriage control: 76 characters are shown, and no line end is
  // written until the next record or the end of the run.
  EXPECT_EQ(run.output, blanks("␣␣305.0000␣␣␣304.5000␣␣␣␣␣1.2345␣␣␣305.5000␣␣␣␣␣-.5000␣␣␣303.5000␣␣␣␣␣␣.0000"));
  EXPECT_EQ(run.output.size(), 76u);
}

TEST(ParseLayout, ProgramLayoutsParse) {
  const struct {
    const char* layout;
    int elements;
  } cases[] = {
      {"(2x,a4,x,$)", 4}, {"(2x,f10.4,$)", 3}, {"()", 0}, {"(f8.3,$)", 2}, {"(2x,f10.5,$)", 3}, {"(7(x,f10.4))", 4},
  };
  for (const auto& c : cases) {
    ParsedLayout parsed;
    EXPECT_EQ(parse_layout(c.layout, parsed), LayoutStatus::ok) << c.layout;
    EXPECT_EQ(parsed.size, c.elements) << c.layout;
  }
  ParsedLayout group;
  ASSERT_EQ(parse_layout("(7(x,f10.4))", group), LayoutStatus::ok);
  EXPECT_EQ(group.elements[0].kind, LayoutElementKind::group_open);
  EXPECT_EQ(group.elements[0].count, 7);
  EXPECT_EQ(group.elements[0].partner, 3);
  EXPECT_EQ(group.elements[3].partner, 0);
  EXPECT_EQ(group.elements[2].count, 10);
  EXPECT_EQ(group.elements[2].decimals, 4);
}

TEST(ParseLayout, RejectsWhatTheLanguageLacks) {
  std::string too_many = "(";
  for (int i = 0; i < kMaxLayoutElements; ++i) too_many += "x,";
  too_many += "x)";
  const struct {
    std::string layout;
    LayoutStatus status;
  } cases[] = {
      {"", LayoutStatus::malformed},
      {"x", LayoutStatus::malformed},          // no parentheses
      {"(x", LayoutStatus::malformed},         // unclosed
      {"(x))", LayoutStatus::malformed},       // text after the end of the layout
      {"(x,)", LayoutStatus::malformed},       // an empty element
      {"(x x)", LayoutStatus::malformed},      // no comma
      {"(a)", LayoutStatus::malformed},        // a text field needs its width
      {"(f10)", LayoutStatus::malformed},      // a fixed-point field needs its decimals
      {"(f10.)", LayoutStatus::malformed},
      {"(2a4)", LayoutStatus::malformed},      // a count only before X or a group
      {"(2$)", LayoutStatus::malformed},
      {"(0x)", LayoutStatus::malformed},       // counts and widths are at least 1
      {"(a0)", LayoutStatus::malformed},
      {"(i5)", LayoutStatus::malformed},       // other edit descriptors are not part of it
      {"(3())", LayoutStatus::malformed},      // an empty group
      {"(f129.2)", LayoutStatus::number_too_large},
      {"(a99999999999)", LayoutStatus::number_too_large},
      {"(32768x)", LayoutStatus::number_too_large},
      {"(1(1(1(1(1(x))))))", LayoutStatus::groups_too_deep},  // five groups deep
      {too_many, LayoutStatus::too_many_elements},
      {"(f10.0)", LayoutStatus::ok},
      {"(1(1(1(1(x)))))", LayoutStatus::ok},  // four groups deep
  };
  for (const auto& c : cases) {
    ParsedLayout parsed;
    EXPECT_EQ(parse_layout(c.layout, parsed), c.status) << c.layout;
  }
}

}  // namespace
}  // namespace quelvar
