// The double stage of value conversion: exact rounding to double with ties away from zero, on
// each of its paths (tie-free quotient, big-integer product, word-by-word quotient), and its range.
#include "recordio/decimal_to_binary.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

namespace quelvar {
namespace {

struct Significand {
  std::uint64_t high;
  std::uint64_t low;
};

Significand significand_of(const std::string& digits) {
  __extension__ unsigned __int128 value = 0;
  for (char c : digits) value = value * 10 + static_cast<unsigned>(c - '0');
  return {static_cast<std::uint64_t>(value >> 64), static_cast<std::uint64_t>(value)};
}

struct RoundingCase {
  const char* digits;
  int scale;
  double expected;
};

template <size_t N>
void expect_doubles(const RoundingCase (&cases)[N]) {
  for (const RoundingCase& c : cases) {
    const Significand s = significand_of(c.digits);
    double magnitude = -1.0;
    ASSERT_TRUE(decimal_to_double(s.high, s.low, c.scale, magnitude)) << c.digits;
    EXPECT_EQ(magnitude, c.expected) << c.digits << "E" << c.scale;
  }
}

TEST(DecimalToDouble, TiesGoAwayFromZero) {
  // Each row is exactly halfway between two doubles: m * 2^j with m an odd 54-bit integer. The
  // rows are chosen so that ties to even would go the other way (the upper neighbour's
  // significand (m + 1) / 2 is odd), so only a tie rounded away from zero passes.
  const RoundingCase cases[] = {
      // 2^53 + 1 lies between 2^53 and 2^53 + 2 (spacing 2 above 2^53).
      {"9007199254740993", 0, 9007199254740994.0},
      // 2^53 + 3 between 2^53 + 2 and 2^53 + 4: here ties to even also goes up; still away.
      {"9007199254740995", 0, 9007199254740996.0},
      // Product path with a positive scale: 1801439850948201 * 10 = m * 2 with
      // m = 9007199254741005, spacing 4 in [2^54, 2^55).
      {"1801439850948201", 1, 18014398509482012.0},
      // 72057594037929 * 10^3 = m * 2^3, spacing 16 in [2^56, 2^57).
      {"72057594037929", 3, 72057594037929008.0},
      // 23058430093 * 10^8 = m * 2^8, spacing 512 in [2^61, 2^62).
      {"23058430093", 8, 2305843009300000256.0},
      // Quotient path (significand above 2^53): (2^53 + 1) / 2 = 4503599627370496.5, spacing 1.
      {"45035996273704965", -1, 4503599627370497.0},
      // (2^53 + 1) / 2^5 with 20 digits, and (2^53 + 1) / 2^11 with all 24 digits (two words).
      {"28147497671065603125", -5, std::ldexp(9007199254740994.0, -5)},
      {"439804651110400048828125", -11, std::ldexp(9007199254740994.0, -11)},
  };
  expect_doubles(cases);
}

TEST(DecimalToDouble, OneStepFromATieRoundsToTheNearer) {
  // 2^53 + 1 minus a little rounds down, plus a little rounds up.
  const RoundingCase cases[] = {
      {"90071992547409929999999", -7, 9007199254740992.0},
      {"90071992547409930000001", -7, 9007199254740994.0},
      // (2^53 + 1) / 2^11 = 4398046511104.00048828125; 24 digits one unit below and above.
      {"439804651110400048828124", -11, std::ldexp(9007199254740992.0, -11)},
      {"439804651110400048828126", -11, std::ldexp(9007199254740994.0, -11)},
  };
  expect_doubles(cases);
}

TEST(DecimalToDouble, ExactValues) {
  const RoundingCase cases[] = {
      {"1", 0, 1.0},
      {"3005", -1, 300.5},
      {"725", -2, 7.25},
      {"5", -1, 0.5},
      {"1", 22, 1e22},  // 2^22 * 5^22 with 5^22 < 2^53: exact
      {"999999999999999999999999", 0, 999999999999999983222784.0},  // see below
      {"15", -1, 1.5},
  };
  // The 24-nines row: 10^24 - 1 lies between 999999999999999983222784 and
  // 1000000000000000117440512 (spacing 2^27 in [2^79, 2^80)), 16777215 above the lower one.
  expect_doubles(cases);
}

TEST(DecimalToDouble, RangeEnds) {
  double magnitude = -1.0;
  // The largest double is 1.7976931348623157081e308; halfway to the next binade step is
  // 1.7976931348623158079e308 (2^1024 - 2^970), which ties away, beyond the range.
  EXPECT_TRUE(decimal_to_double(0, 17976931348623158, 292, magnitude));
  EXPECT_EQ(magnitude, 0x1.fffffffffffffp1023);
  EXPECT_FALSE(decimal_to_double(0, 17976931348623159, 292, magnitude));
  EXPECT_FALSE(decimal_to_double(0, 1, 309, magnitude));
  EXPECT_FALSE(decimal_to_double(0, 1, 5201, magnitude));
  // 10^308 is in range: 1 * 5^308 * 2^308 formed in the widest product.
  EXPECT_TRUE(decimal_to_double(0, 1, 308, magnitude));
  const Significand big = significand_of("999999999999999999999999");
  EXPECT_TRUE(decimal_to_double(big.high, big.low, 284, magnitude));  // just under 10^308
  EXPECT_FALSE(decimal_to_double(big.high, big.low, 285, magnitude));

  // Below 10^-46 the result is zero (it would round to zero as a single anyway); 10^-69 is the
  // smallest scale still worked out, with the deepest quotient.
  EXPECT_TRUE(decimal_to_double(big.high, big.low, -70, magnitude));
  EXPECT_EQ(magnitude, 0.0);
  EXPECT_TRUE(decimal_to_double(0, 1, -69, magnitude));
  EXPECT_GT(magnitude, 0x1p-230);  // 10^-69 = 1.0 * 2^-229.2...
  EXPECT_LT(magnitude, 0x1p-229);
  EXPECT_TRUE(decimal_to_double(0, 0, 99999, magnitude));  // zero whatever the scale
  EXPECT_EQ(magnitude, 0.0);
}

}  // namespace
}  // namespace quelvar
