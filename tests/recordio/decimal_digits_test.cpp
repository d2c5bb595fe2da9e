#include "recordio/decimal_digits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

#include "recordio/exact_decimal_reference.h"

namespace quelvar {
namespace {

using testing::reference_decimal_digits;

std::string digit_string(const DecimalDigits& decimal) { return std::string(decimal.digits, static_cast<size_t>(decimal.count)); }

float from_bits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

// Checks one value against the reference; returns false (after one failure report) on mismatch.
bool agrees_with_reference(float value) {
  const DecimalDigits actual = decimal_digits(value);
  const testing::ReferenceDigits expected = reference_decimal_digits(value);
  const bool same = digit_string(actual) == expected.digits && actual.point == expected.point &&
                    actual.negative == expected.negative;
  EXPECT_TRUE(same) << "bits 0x" << std::hex << std::bit_cast<std::uint32_t>(value) << std::dec << ": got "
                    << (actual.negative ? "-" : "") << digit_string(actual) << " point " << actual.point
                    << ", want " << (expected.negative ? "-" : "") << expected.digits << " point "
                    << expected.point;
  return same;
}

struct DigitsCase {
  std::uint32_t bits;
  const char* digits;
  int point;
  bool negative;
};

TEST(DecimalDigits, KnownValues) {
  const DigitsCase cases[] = {
      {0x43988000, "305", 3, false},                 // 305.0
      {0x3F000000, "5", 0, false},                   // 0.5
      {0x3F800000, "1", 1, false},                   // 1.0
      {0xBFA00000, "125", 1, true},                  // -1.25
      {0x00000000, "0", 0, false},                   // 0.0
      {0x80000000, "0", 0, false},                   // -0.0 prints exactly like zero
      // 0.1 is 0.100000001490116119384765625: digit 18 is 9, so digit 17 goes from 1 to 2.
      {0x3DCCCCCD, "10000000149011612", 0, false},
      // 0.001234 is 0.00123399996664375066757202148437...: point -2 (two zeros after the point).
      {0x3AA1BE2B, "12339999666437507", -2, false},
      // 1.0E-8 is stored as 9.99999993922529029e-9.
      {0x322BCC77, "99999999392252903", -8, false},
      // FLT_MAX = 340282346638528859811704183484516925440: 39 digits, digit 18 is 5 then 9.
      {0x7F7FFFFF, "34028234663852886", 39, false},
      // The smallest subnormal, 1.40129846432481707e-45: the point estimate's lowest end.
      {0x00000001, "14012984643248171", -44, false},
      // 0.381473541259765625 has exactly 18 digits ending in 5: a true tie at digit 17, which
      // goes up ("...63") where round-half-even would keep "...62".
      {0x3EC35080, "38147354125976563", 0, false},
      // 0.381481170654296875: the same kind of tie with an odd digit 17.
      {0x3EC35180, "38148117065429688", 0, false},
      // 300.123456 is stored as 300.123443603515625 (18 digits, a tie at digit 17).
      {0x43960FCD, "30012344360351563", 3, false},
      {0x497423FF, "9999999375", 6, false},          // 999999.94 is 999999.9375
      {0x4B189680, "1", 8, false},                   // 10000000.0
  };
  for (const DigitsCase& c : cases) {
    const DecimalDigits actual = decimal_digits(from_bits(c.bits));
    EXPECT_EQ(digit_string(actual), c.digits) << std::hex << c.bits;
    EXPECT_EQ(actual.point, c.point) << std::hex << c.bits;
    EXPECT_EQ(actual.negative, c.negative) << std::hex << c.bits;
    agrees_with_reference(from_bits(c.bits));
  }
}

TEST(DecimalDigits, NonFiniteValuesHaveNoDigits) {
  EXPECT_EQ(decimal_digits(INFINITY).count, 0);
  EXPECT_TRUE(decimal_digits(-INFINITY).negative);
  EXPECT_EQ(decimal_digits(std::nanf("")).count, 0);
}

TEST(DecimalDigits, EveryPowerOfTwoAndSubnormalBoundary) {
  for (int e = -149; e <= 127; ++e) {
    const float power = std::ldexp(1.0f, e);
    agrees_with_reference(power);
    agrees_with_reference(std::nextafter(power, 0.0f));
    agrees_with_reference(std::nextafter(power, INFINITY));
  }
  const std::uint32_t boundaries[] = {
      0x00000001, 0x00000002, 0x00000003,  // the smallest subnormals
      0x007FFFFF,                          // the largest subnormal
      0x00800000, 0x00800001,              // the smallest normals
      0x7F7FFFFF, 0x7F7FFFFE,              // FLT_MAX and its neighbour
      0x5F800000,                          // 2^64: the first value past 64-bit integers
      0x5F7FFFFF,                          // the largest float below 2^64
  };
  for (std::uint32_t bits : boundaries) {
    agrees_with_reference(from_bits(bits));
    agrees_with_reference(from_bits(bits | 0x80000000u));
  }
}

// The point is first estimated from the binary exponent and corrected by one digit; values on
// either side of each power of ten exercise both outcomes.
TEST(DecimalDigits, NeighboursOfPowersOfTen) {
  for (int k = -45; k <= 38; ++k) {
    const float near_power = std::strtof(("1e" + std::to_string(k)).c_str(), nullptr);
    if (near_power == 0.0f) continue;
    agrees_with_reference(near_power);
    agrees_with_reference(std::nextafter(near_power, 0.0f));
    agrees_with_reference(std::nextafter(near_power, INFINITY));
  }
}

TEST(DecimalDigits, RandomBitPatternsAgreeWithReference) {
  std::mt19937 generator(20240611);
  int checked = 0;
  int failures = 0;
  while (checked < 3000000 && failures < 10) {
    const float value = from_bits(static_cast<std::uint32_t>(generator()));
    if (!std::isfinite(value)) continue;
    if (!agrees_with_reference(value)) ++failures;
    ++checked;
  }
  EXPECT_EQ(failures, 0);
}

struct RoundCase {
  const char* digits;
  int point;
  bool negative;
  int n;
  const char* expected;
  int expected_point;
  bool expected_negative;
  bool carry;
};

TEST(RoundDigits, OnlyTheFirstDroppedDigitDecides) {
  const RoundCase cases[] = {
      {"12345", 1, false, 7, "12345", 1, false, false},  // no more digits than asked: unchanged
      {"12344", 1, false, 4, "1234", 1, false, false},
      {"12345", 1, false, 4, "1235", 1, false, false},   // 5 rounds up
      {"123449", 1, false, 4, "1234", 1, false, false},  // 4 then 9: only the 4 counts
      {"1299", 2, false, 3, "130", 2, false, false},     // a carry leaves its zero in place
      {"9996", 0, true, 3, "1000", 1, true, true},       // carry into a new leading digit
      {"99999994039535522", 0, false, 7, "9999999", 0, false, false},  // 0.99999994
      {"99999996", 5, false, 7, "10000000", 6, false, true},
      {"96", 1, false, 1, "10", 2, false, true},
      {"04", 1, true, 1, "0", 1, false, false},          // rounds to all zeros: the sign goes
  };
  for (const RoundCase& c : cases) {
    DecimalDigits decimal;
    decimal.count = static_cast<int>(std::string(c.digits).size());
    std::string(c.digits).copy(decimal.digits, static_cast<size_t>(decimal.count));
    decimal.point = c.point;
    decimal.negative = c.negative;
    const bool carry = round_digits(decimal, c.n);
    EXPECT_EQ(digit_string(decimal), c.expected) << c.digits << " to " << c.n;
    EXPECT_EQ(decimal.point, c.expected_point) << c.digits << " to " << c.n;
    EXPECT_EQ(decimal.negative, c.expected_negative) << c.digits << " to " << c.n;
    EXPECT_EQ(carry, c.carry) << c.digits << " to " << c.n;
  }
}

}  // namespace
}  // namespace quelvar
