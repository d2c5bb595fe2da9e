#include "recordio/free_format_writer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <string>
#include <utility>

#include "support/capture.h"
#include "support/expected_text.h"

namespace quelvar {
namespace {

using testing::capture_run;

// Expected texts are written with ␣ for each blank that matters.
std::string blanks(std::string text) { return testing::with_blanks(std::move(text)); }

std::string integer_string(std::int32_t value) {
  char text[kMaxIntegerText];
  return std::string(text, integer_text(value, text));
}

std::string real_string(float value) {
  char text[kMaxRealText];
  return std::string(text, real_free_text(value, text));
}

TEST(IntegerText, DigitsWithMinusOnly) {
  const struct {
    std::int32_t value;
    const char* text;
  } cases[] = {
      {0, "0"},
      {1, "1"},
      {-1, "-1"},
      {50, "50"},
      {2147483647, "2147483647"},
      {-2147483647 - 1, "-2147483648"},  // its magnitude has no positive int32: the longest text
  };
  for (const auto& c : cases) EXPECT_EQ(integer_string(c.value), c.text) << c.value;
}

TEST(RealFreeText, FixedAndExponentForms) {
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {305.0f, "305.000000"},
      {0.5f, "5.000000E-01"},
      {-1.25f, "-1.250000"},
      {0.001234f, "1.234000E-03"},
      {1.0e-8f, "1.000000E-08"},     // stored as 9.99999994E-9: rounding carries to 1.000000
      {12345678.0f, "1.234568E+07"},
      {0.0f, "0.000000E+00"},
      {-0.0f, "0.000000E+00"},       // no minus on negative zero
      {1.0f, "1.000000"},            // the smallest magnitude in fixed form
      {0.99999994f, "9.999999E-01"}, // the float just below 1
      {1234567.0f, "1234567.000000"},
      {-1234567.0f, "-1234567.000000"},  // the longest text, 15 characters
      {999999.94f, "999999.900000"},     // 999999.9375: digit 8 is 3, no carry
      {12.345f, "12.345000"},
      {10000000.0f, "1.000000E+07"},
      {9999999.0f, "9999999.000000"},    // the largest magnitude in fixed form
      {300.123456f, "300.123400"},       // never more than seven significant digits
      {1.4e-45f, "1.401298E-45"},        // the smallest subnormal
      {FLT_MAX, "3.402823E+38"},
      {-0.0421f, "-4.210000E-02"},
      {0.099999994f, "9.999999E-02"},    // 0.0999999940...: digit 8 is 4
      {1.0e11f, "1.000000E+11"},         // 99999997952: the carry raises the exponent
      {INFINITY, "Infinity"},
      {-INFINITY, "-Infinity"},
      {std::nanf(""), "NaN"},
  };
  for (const auto& c : cases) EXPECT_EQ(real_string(c.value), c.text) << c.value;
}

// Runs one free-format statement and returns what the console shows.
std::string console_of(const std::function<void(FreeFormatWriter&)>& items) {
  const auto run = capture_run([&] {
    FreeFormatWriter writer;
    items(writer);
    writer.finish();
  });
  EXPECT_FALSE(run.ended) << run.error;
  return run.output;
}

TEST(FreeFormatWriter, ItemsRightJustifiedWithExtraColumnAfterNumbers) {
  const struct {
    const char* name;
    std::function<void(FreeFormatWriter&)> items;
    std::string console;
  } cases[] = {
      {"text then real",
       [](FreeFormatWriter& w) { w.put_text(" Campo: "); w.put_real(1.0f); },
       blanks("␣Campo:␣␣␣␣␣␣␣␣1.000000")},
      {"integer then two reals: a real takes 16 columns after a number",
       [](FreeFormatWriter& w) { w.put_integer(1); w.put_real(300.5f); w.put_real(12.345f); },
       blanks("␣␣␣␣␣␣␣␣␣␣1␣␣␣␣␣␣300.500000␣␣␣␣␣␣␣12.345000")},
      {"integer then text: nothing between them",
       [](FreeFormatWriter& w) { w.put_integer(50); w.put_text(" puntos en el fichero"); },
       blanks("␣␣␣␣␣␣␣␣␣50␣puntos␣en␣el␣fichero")},
      {"real, text, integer, text, integer",
       [](FreeFormatWriter& w) { w.put_real(302.0f); w.put_text(" i= "); w.put_integer(3); w.put_text(" j = "); w.put_integer(1); },
       blanks("␣␣␣␣␣302.000000␣i=␣␣␣␣␣␣␣␣␣␣␣3␣j␣=␣␣␣␣␣␣␣␣␣␣␣1")},
      {"a real filling its 15 columns right after a text has no blank before it",
       [](FreeFormatWriter& w) { w.put_text("Campo: "); w.put_real(-1234567.0f); },
       blanks("Campo:␣-1234567.000000")},
      {"after a number there is always a blank",
       [](FreeFormatWriter& w) { w.put_real(-1234567.0f); w.put_real(-1234567.0f); },
       blanks("-1234567.000000␣-1234567.000000")},
      {"no items: one blank record, an empty line",
       [](FreeFormatWriter&) {}, ""},
      {"an empty text puts nothing, not even the owed blank",
       [](FreeFormatWriter& w) { w.put_text(""); }, ""},
      {"-2147483648 fills its 11 columns at the start of a record",
       [](FreeFormatWriter& w) { w.put_integer(-2147483647 - 1); }, "-2147483648"},
      {"text bytes go out unchanged, 0xF3 included",
       [](FreeFormatWriter& w) { w.put_text("Interpolaci\xF3n"); }, "Interpolaci\xF3n"},
  };
  for (const auto& c : cases) EXPECT_EQ(console_of(c.items), c.console) << c.name;
}

TEST(FreeFormatWriter, ItemsBeyondTheRoomContinueOnNewRecords) {
  const std::string hundred = std::string(50, 'a') + std::string(50, 'b');
  const std::string seventy(70, 'x');
  const std::string seventy_nine(79, 'y');
  const struct {
    const char* name;
    std::function<void(FreeFormatWriter&)> items;
    std::string console;
  } cases[] = {
      {"a 100-character text: 79 characters, then the other 21",
       [&](FreeFormatWriter& w) { w.put_text(hundred); },
       hundred.substr(0, 79) + "\r\n" + hundred.substr(79)},
      {"70 + 9 characters fill the record exactly: the statement then ends an empty record",
       [&](FreeFormatWriter& w) { w.put_text(seventy); w.put_text("123456789"); },
       seventy + "123456789\r\n"},
      {"79 characters alone also leave an empty record behind",
       [&](FreeFormatWriter& w) { w.put_text(seventy_nine); }, seventy_nine + "\r\n"},
      {"78 characters fit without continuation",
       [&](FreeFormatWriter& w) { w.put_text(seventy_nine.substr(1)); }, seventy_nine.substr(1)},
      // 11 + 4 x 16 = 75 columns; the fifth real needs 16 of the 4 left.
      {"an integer and five reals: the fifth real starts a record of 16 characters",
       [](FreeFormatWriter& w) { w.put_integer(1); for (int i = 0; i < 5; ++i) w.put_real(300.5f); },
       blanks("␣␣␣␣␣␣␣␣␣␣1") + blanks("␣␣␣␣␣␣300.500000") + blanks("␣␣␣␣␣␣300.500000") +
           blanks("␣␣␣␣␣␣300.500000") + blanks("␣␣␣␣␣␣300.500000") + "\r\n" + blanks("␣␣␣␣␣300.500000")},
      // 64 characters leave a room of 15; a width must be strictly below the room, and the new
      // record gets a blank in front of the full-width text as its carriage control.
      {"a real whose width equals the room left goes to a new record",
       [&](FreeFormatWriter& w) { w.put_text(std::string(64, 'z')); w.put_real(-1234567.0f); },
       std::string(64, 'z') + "\r\n" + "-1234567.000000"},
      {"a text after a continued number continues the new record",
       [&](FreeFormatWriter& w) { w.put_text(std::string(70, 'z')); w.put_integer(7); w.put_text("end"); },
       std::string(70, 'z') + "\r\n" + blanks("␣␣␣␣␣␣␣␣␣7end")},
  };
  for (const auto& c : cases) EXPECT_EQ(console_of(c.items), c.console) << c.name;
}

TEST(FreeFormatWriter, EachStatementStartsAFreshRecord) {
  const auto run = capture_run([] {
    FreeFormatWriter first;
    first.put_integer(1);
    first.finish();
    FreeFormatWriter second;
    second.finish();
    FreeFormatWriter third;
    third.put_text("x");
    third.finish();
  });
  EXPECT_EQ(run.output, blanks("␣␣␣␣␣␣␣␣␣␣1\r\n\r\nx"));
}

}  // namespace
}  // namespace quelvar
