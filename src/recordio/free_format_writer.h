// The free-format record writer: console records of integers (11 columns), reals (15 columns, fixed
// or exponent form, 7 significant digits) and texts, with a room of 79 columns and continuation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quelvar {

inline constexpr size_t kMaxIntegerText = 11;  // "-2147483648"
inline constexpr size_t kMaxRealText = 15;     // "-1234567.000000"

// Item columns of one console record; the carriage-control blank is not counted.
inline constexpr int kFreeFormatRoom = 79;
inline constexpr int kIntegerFieldWidth = 11;
inline constexpr int kRealFieldWidth = 15;

// Blanks owed to the record being written, shared by both writers: the free-format writer sets
// it at the start of each of its statements, the layout-driven writer carries it across "$".
// It is 0 at the start of the run.
int& owed_blanks();

// Writes the text into `out` and returns its length. Never a "+"; integer_text(0) is "0".
size_t integer_text(std::int32_t value, char (&out)[kMaxIntegerText]);

// Seven significant digits, halves away from zero on the value's 17 decimal digits:
//   305.0 -> "305.000000", 300.123456 -> "300.123400" (fixed form for 1 <= |x| < 10^7),
//   0.5 -> "5.000000E-01", 12345678.0 -> "1.234568E+07", -0.0 -> "0.000000E+00".
// Infinities and NaN (which the program never writes) are "Infinity", "-Infinity" and "NaN".
// At most 15 characters: the fixed form's integer part has at most 7 digits, since a carry
// into an 8th would need a value of at least 9999999.5, and floats there are whole numbers.
size_t real_free_text(float value, char (&out)[kMaxRealText]);

// One free-format output statement on the console. Construction begins the statement (a fresh
// console record, owed_blanks = 1 for the carriage-control blank); one put per item, in order;
// `finish` ends the current record, which the console makes a single blank if nothing was put.
// Items that do not fit the record's room continue on a new record. Does not allocate.
class FreeFormatWriter {
 public:
  FreeFormatWriter();
  void put_integer(std::int32_t value);
  void put_real(float value);
  void put_text(std::string_view text);
  void finish();

 private:
  void put_numeric(const char* text, size_t length, int width);
  int room_ = kFreeFormatRoom;
  bool after_number_ = false;
};

}  // namespace quelvar
