#include "recordio/value_scanning.h"

namespace quelvar {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

unsigned digit_value(char c) { return static_cast<unsigned>(c - '0'); }

// Collects the kept significant digits. Leading zeros never reach it.
struct SignificandCollector {
  std::uint64_t leading = 0;
  std::uint64_t trailing = 0;
  int count = 0;  // significant digits kept, at most 24

  // Returns whether the digit was kept.
  bool take(unsigned digit) {
    if (count < kDigitsInFirstWord) {
      leading = leading * 10 + digit;
    } else if (count < kMaxSignificantDigits) {
      trailing = trailing * 10 + digit;
    } else {
      return false;
    }
    ++count;
    return true;
  }
};

}  // namespace

ScannedValue scan_value_text(const char* text, std::size_t length) {
  ScannedValue result;
  std::size_t i = 0;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    result.negative = text[i] == '-';
    ++i;
  }

  SignificandCollector significand;
  bool mantissa_digit = false;
  int scale = 0;

  // Digits before the point. A significant digit beyond the 24th is dropped but still counts ten.
  while (i < length && text[i] == '0') {
    mantissa_digit = true;
    ++i;
  }
  while (i < length && is_digit(text[i])) {
    mantissa_digit = true;
    if (!significand.take(digit_value(text[i]))) ++scale;
    ++i;
  }
  // Digits after the point: each kept one, and each leading zero, moves the point one place;
  // a significant digit beyond the 24th is ignored.
  if (i < length && text[i] == '.') {
    ++i;
    if (significand.count == 0) {
      while (i < length && text[i] == '0') {
        mantissa_digit = true;
        --scale;
        ++i;
      }
    }
    while (i < length && is_digit(text[i])) {
      mantissa_digit = true;
      if (significand.take(digit_value(text[i]))) --scale;
      ++i;
    }
  }
  if (!mantissa_digit) return result;  // no number: "", "+", ".", "E5", "x"

  // Exponent: a letter with an optional sign, or a sign alone; then at least one digit. A prefix
  // that stops inside the exponent ("1.5E", "1.5E+", "5+") converts as the mantissa alone.
  bool complete = true;
  int exponent = 0;
  if (i < length) {
    const char c = text[i];
    const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
    if (letter || c == '+' || c == '-') {
      ++i;
      bool exponent_negative = c == '-';
      if (letter && i < length && (text[i] == '+' || text[i] == '-')) {
        exponent_negative = text[i] == '-';
        ++i;
      }
      complete = i < length && is_digit(text[i]);
      while (i < length && is_digit(text[i])) {
        if (exponent <= kExponentLimit) {
          exponent = exponent * 10 + static_cast<int>(digit_value(text[i]));
          if (exponent > kExponentLimit) exponent = kExponentLimit + 1;
        }
        ++i;
      }
      if (exponent_negative) exponent = -exponent;
    }
  }

  result.has_number = true;
  result.well_formed = complete && i == length;
  if (significand.count <= kDigitsInFirstWord) {
    result.significand_low = significand.leading;
  } else {
    // leading * 10^n + trailing with n <= 5: the product is below 2^64 * 2^17, so each 32-bit
    // half of `leading` times 10^n stays below 2^49 and the sum is carried by hand.
    std::uint64_t multiplier = 1;
    for (int n = kDigitsInFirstWord; n < significand.count; ++n) multiplier *= 10;
    const std::uint64_t low_part = (significand.leading & 0xFFFFFFFFu) * multiplier;
    const std::uint64_t high_part = (significand.leading >> 32) * multiplier;
    std::uint64_t low = low_part + (high_part << 32);
    std::uint64_t high = (high_part >> 32) + (low < low_part ? 1 : 0);
    const std::uint64_t sum = low + significand.trailing;
    if (sum < low) ++high;
    result.significand_low = sum;
    result.significand_high = high;
  }
  result.scale = scale + exponent;
  return result;
}

}  // namespace quelvar
