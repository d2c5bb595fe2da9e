// A slow, obviously correct decimal expansion of single-precision values, used as the oracle
// for decimal_digits: the whole exact value in base-10^9 limbs, then 17-digit rounding by
// comparing the discarded digits with one half.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>

namespace quelvar::testing {

struct ReferenceDigits {
  bool negative = false;
  std::string digits;  // no trailing zeros; "0" for zero
  int point = 0;       // magnitude = 0.digits x 10^point
};

// Finite values only.
inline ReferenceDigits reference_decimal_digits(float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  const std::uint32_t exponent_field = (bits >> 23) & 0xFF;
  const std::uint32_t fraction = bits & 0x7FFFFF;
  ReferenceDigits result;
  if (exponent_field == 0 && fraction == 0) {
    result.digits = "0";
    return result;
  }
  result.negative = (bits >> 31) != 0;
  const std::uint64_t mantissa = exponent_field == 0 ? fraction : (fraction | 0x800000u);
  const int exponent = exponent_field == 0 ? -149 : static_cast<int>(exponent_field) - 150;

  // value = mantissa * 2^exponent. For exponent < 0 that is mantissa * 5^-exponent / 10^-exponent,
  // so the integer N below carries every digit and only the decimal point moves.
  constexpr std::uint64_t kBase = 1000000000;
  std::array<std::uint64_t, 16> limbs{};  // 2^24 * 5^149 < 10^112 needs 13 limbs
  int size = 1;
  limbs[0] = mantissa;
  auto multiply = [&](std::uint64_t factor) {  // factor < 10^9 keeps every product below 2^64
    std::uint64_t carry = 0;
    for (int i = 0; i < size; ++i) {
      const std::uint64_t product = limbs[i] * factor + carry;
      limbs[i] = product % kBase;
      carry = product / kBase;
    }
    while (carry != 0) {
      limbs[size++] = carry % kBase;
      carry /= kBase;
    }
  };
  if (exponent >= 0) {
    for (int left = exponent; left > 0; left -= 29) multiply(std::uint64_t{1} << (left < 29 ? left : 29));
  } else {
    for (int left = -exponent; left > 0; left -= 12) {
      std::uint64_t factor = 1;
      for (int i = 0; i < (left < 12 ? left : 12); ++i) factor *= 5;
      multiply(factor);
    }
  }
  std::string all = std::to_string(limbs[size - 1]);
  for (int i = size - 2; i >= 0; --i) {
    std::string part = std::to_string(limbs[i]);
    all += std::string(9 - part.size(), '0') + part;
  }
  result.point = static_cast<int>(all.size()) + (exponent < 0 ? exponent : 0);

  if (all.size() > 17) {
    const std::string discarded = all.substr(17);
    all.resize(17);
    // The discarded part, as a fraction of one unit in digit 17, is at least one half exactly
    // when its digits compare at least "5000...0" of the same length.
    const std::string half = "5" + std::string(discarded.size() - 1, '0');
    if (discarded >= half) {
      int i = 16;
      while (i >= 0 && all[i] == '9') all[i--] = '0';
      if (i >= 0) {
        ++all[i];
      } else {
        all = "1" + all.substr(0, 16);
        ++result.point;
      }
    }
  }
  while (all.size() > 1 && all.back() == '0') all.pop_back();
  result.digits = all;
  return result;
}

}  // namespace quelvar::testing
