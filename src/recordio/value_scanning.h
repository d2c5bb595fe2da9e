// Scanning of a free-format value text: checks the real form (sign, mantissa, exponent) and
// extracts the kept significant digits and the decimal scale that the conversion works from.
#pragma once

#include <cstddef>
#include <cstdint>

namespace quelvar {

// At most 24 significant digits take part in a value. 10^24 < 2^80, so the kept digits always
// fit in two 64-bit words; the first 19 fit in one (10^19 < 2^64).
inline constexpr int kMaxSignificantDigits = 24;
inline constexpr int kDigitsInFirstWord = 19;

// Exponent digits are accumulated while the exponent is at most 5200; once it exceeds 5200 it
// counts as 5201 and any further exponent digits are skipped.
inline constexpr int kExponentLimit = 5200;

// What the scan found. The value is (-1 if negative) * significand * 10^scale, the significand
// being the integer of the kept digits, high * 2^64 + low (< 10^24 < 2^80, so high < 2^16).
//
// scale bounds: the exponent is clamped to +-5201; the point moves it by at most the text length
// (a digit beyond the 24th before the point adds one, a digit after the point takes one), so
// |scale| <= 5201 + length. No int overflow for any length below INT_MAX - 5201.
struct ScannedValue {
  bool negative = false;
  // The longest prefix of the text that follows the real form contains a mantissa digit: there is
  // a number to convert (from that prefix) even if the whole text is not of the real form.
  bool has_number = false;
  // The whole text is of the real form: the prefix is the entire text and does not stop inside an
  // exponent ("1.5E", "5+").
  bool well_formed = false;
  std::uint64_t significand_high = 0;
  std::uint64_t significand_low = 0;
  int scale = 0;
};

// Scans `text[0, length)`. Reads nothing outside that range and never fails: a text that is not of
// the real form has well_formed false, and has_number says whether its longest real-form prefix
// (e.g. "1E400" of "1E400x", "1.5" of "1.5E+") holds a number, which the conversion examines for
// overflow before reporting the bad form. Leading zeros are not significant; the value of an
// all-zero mantissa is zero (both significand words 0).
//
// Examples: "1.5+3" -> 15 x 10^2; "-0.0025" -> -25 x 10^-4; "2-3" -> 2 x 10^-3;
// "1E99999" -> 1 x 10^5201; "7.25;" -> 725 x 10^-2, not well formed; "E5" -> no number.
ScannedValue scan_value_text(const char* text, std::size_t length);

}  // namespace quelvar
