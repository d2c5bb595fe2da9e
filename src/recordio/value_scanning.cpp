#include "recordio/value_scanning.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace quelvar {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

int digit_value(char c) { return c - '0'; }

// Eight characters at a time, in memory order. Only on little-endian machines, where the first
// character is the lowest byte; elsewhere the scan takes one character at a time.
constexpr bool kEightAtATime = std::endian::native == std::endian::little;

std::uint64_t load_eight(const char* p) {
  std::uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// All eight bytes are '0' to '9' (0x30 to 0x39). Adding 0x46 sets a byte's top bit when the
// byte is above 0x39; subtracting 0x30 sets it (by a borrow) when the byte is below 0x30; a byte
// from 0x80 up has it set already. A carry or borrow between bytes comes only from a byte that
// has already failed.
bool eight_digits(std::uint64_t word) {
  return (((word + 0x4646464646464646u) | (word - 0x3030303030303030u)) & 0x8080808080808080u) == 0;
}

// The value of eight digit characters: pairs, then quadruples, then the whole, each step
// combining neighbours with the right power of ten (first character most significant).
std::uint64_t eight_digit_value(std::uint64_t word) {
  word = (word & 0x0F0F0F0F0F0F0F0Fu) * 2561 >> 8;                 // 10 * lo + hi per byte pair
  word = (word & 0x00FF00FF00FF00FFu) * 6553601 >> 16;             // 100 * ... per 16-bit pair
  return (word & 0x0000FFFF0000FFFFu) * 42949672960001u >> 32;     // 10000 * ... per 32-bit pair
}

// The end of the run of digits starting at p.
const char* skip_digits(const char* p, const char* end) {
  if constexpr (kEightAtATime) {
    while (end - p >= 8 && eight_digits(load_eight(p))) p += 8;
  }
  while (p != end && is_digit(*p)) ++p;
  return p;
}

// accumulator * 10^count + the value of count digits at p (count <= 19 in total for a word).
std::uint64_t append_digits(std::uint64_t accumulator, const char* p, std::ptrdiff_t count) {
  if constexpr (kEightAtATime) {
    for (; count >= 8; count -= 8, p += 8) accumulator = accumulator * 100000000u + eight_digit_value(load_eight(p));
  }
  for (; count > 0; --count, ++p) accumulator = accumulator * 10 + static_cast<std::uint64_t>(digit_value(*p));
  return accumulator;
}

// The kept significant digits: the first 19 go to `leading`, the next 5 to `trailing`.
struct SignificandCollector {
  std::uint64_t leading = 0;
  std::uint64_t trailing = 0;
  int count = 0;  // at most 24

  // Takes digits [p, p + n); all must be kept (the caller has cut them to 24 in total).
  void take(const char* p, std::ptrdiff_t n) {
    const std::ptrdiff_t to_leading = std::min<std::ptrdiff_t>(n, kDigitsInFirstWord - std::min(count, kDigitsInFirstWord));
    leading = append_digits(leading, p, to_leading);
    trailing = append_digits(trailing, p + to_leading, n - to_leading);
    count += static_cast<int>(n);
  }
};

}  // namespace

ScannedValue scan_value_text(const char* text, std::size_t length) {
  ScannedValue result;
  const char* p = text;
  const char* const end = text + length;
  if (p != end && (*p == '+' || *p == '-')) {
    result.negative = *p == '-';
    ++p;
  }

  // Step 1: the mantissa's digit runs. Leading zeros are not significant; in the fraction they
  // still move the point.
  const char* const integer_start = p;
  while (p != end && *p == '0') ++p;
  const char* const integer_significant = p;
  p = skip_digits(p, end);
  const char* const integer_end = p;
  const char* fraction_start = p;
  const char* fraction_significant = p;
  const char* fraction_end = p;
  if (p != end && *p == '.') {
    ++p;
    fraction_start = p;
    if (integer_significant == integer_end) {
      while (p != end && *p == '0') ++p;
    }
    fraction_significant = p;
    p = skip_digits(p, end);
    fraction_end = p;
  }
  if (integer_end == integer_start && fraction_end == fraction_start) {
    return result;  // no mantissa digit: "", "+", ".", "E5", "x"
  }

  // Step 2: keep 24 significant digits. Digits of the integer part beyond the 24th are factors
  // of ten; kept fraction digits move the point one place each, dropped ones do not count.
  const std::ptrdiff_t integer_digits = integer_end - integer_significant;
  const std::ptrdiff_t fraction_digits = fraction_end - fraction_significant;
  int scale = -static_cast<int>(fraction_significant - fraction_start);
  SignificandCollector significand;
  if (integer_digits >= kMaxSignificantDigits) {
    significand.take(integer_significant, kMaxSignificantDigits);
    scale += static_cast<int>(integer_digits - kMaxSignificantDigits);
  } else {
    significand.take(integer_significant, integer_digits);
    const std::ptrdiff_t kept_fraction = std::min<std::ptrdiff_t>(fraction_digits, kMaxSignificantDigits - integer_digits);
    significand.take(fraction_significant, kept_fraction);
    scale -= static_cast<int>(kept_fraction);
  }

  // Step 3: exponent, a letter with an optional sign or a sign alone, then at least one digit.
  // A prefix that stops inside the exponent ("1.5E", "1.5E+", "5+") converts as the mantissa.
  bool complete = true;
  int exponent = 0;
  if (p != end) {
    const char c = *p;
    const bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
    if (letter || c == '+' || c == '-') {
      ++p;
      bool exponent_negative = c == '-';
      if (letter && p != end && (*p == '+' || *p == '-')) {
        exponent_negative = *p == '-';
        ++p;
      }
      complete = p != end && is_digit(*p);
      for (; p != end && is_digit(*p); ++p) {
        if (exponent <= kExponentLimit) {
          exponent = exponent * 10 + digit_value(*p);
          if (exponent > kExponentLimit) exponent = kExponentLimit + 1;
        }
      }
      if (exponent_negative) exponent = -exponent;
    }
  }

  result.has_number = true;
  result.well_formed = complete && p == end;
  result.scale = scale + exponent;
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
  return result;
}

}  // namespace quelvar
