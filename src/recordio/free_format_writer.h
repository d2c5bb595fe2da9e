// The free-format record writer: console records of integers (11 columns), reals (15 columns, fixed
// or exponent form, 7 significant digits) and texts, with a room of 79 columns and continuation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quelvar {

inline constexpr size_t kMaxIntegerText = 11;  // "-2147483648"
inline constexpr size_t kMaxRealText = 15;     // "-1234567.000000"

// Blanks owed to the record being written, shared by both writers: the free-format writer sets
// it at the start of each of its statements, the layout-driven writer carries it across "$".
int& owed_blanks();

// Writes the text into `out` and returns its length.
size_t integer_text(std::int32_t value, char (&out)[kMaxIntegerText]);
size_t real_free_text(float value, char (&out)[kMaxRealText]);

// One free-format output statement on the console.
class FreeFormatWriter {
 public:
  FreeFormatWriter();
  void put_integer(std::int32_t value);
  void put_real(float value);
  void put_text(std::string_view text);
  void finish();

 private:
  void put_numeric(const char* text, size_t length, int width);
  int room_ = 79;
  bool after_number_ = false;
};

}  // namespace quelvar
