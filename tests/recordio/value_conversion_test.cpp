// Converting a value text: the accepted forms, the error numbers and their order, the two
// rounding stages, the range limits, and an exact rational reference on random texts.
#include "recordio/value_conversion.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "recordio/value_conversion_reference.h"

namespace quelvar {
namespace {

struct Converted {
  int outcome;
  float value;
};

// The value starts as a marker so that a failing conversion can be seen to leave it alone.
constexpr float kUntouched = -12345.0f;

Converted convert(const std::string& text) {
  float value = kUntouched;
  const int outcome = convert_real(text.data(), text.size(), value);
  return {outcome, value};
}

std::uint32_t bits_of(float value) { return std::bit_cast<std::uint32_t>(value); }

struct ValueCase {
  const char* text;
  float expected;
};

void expect_values(const ValueCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const Converted got = convert(cases[i].text);
    EXPECT_EQ(got.outcome, 0) << cases[i].text;
    EXPECT_EQ(bits_of(got.value), bits_of(cases[i].expected))
        << cases[i].text << " gave " << got.value << ", expected " << cases[i].expected;
  }
}

struct ErrorCase {
  const char* text;
  int outcome;
};

void expect_errors(const ErrorCase* cases, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const Converted got = convert(cases[i].text);
    EXPECT_EQ(got.outcome, cases[i].outcome) << cases[i].text;
    EXPECT_EQ(bits_of(got.value), bits_of(kUntouched)) << cases[i].text << " changed the value";
  }
}

// The largest single, (2^24 - 1) * 2^104.
constexpr float kLargestSingle = 0x1.fffffep127f;
// The smallest positive subnormal single, 2^-149.
constexpr float kSmallestSubnormal = 0x1p-149f;

TEST(ValueConversion, AcceptedFormsOfOneThousand) {
  const ValueCase cases[] = {
      {"1000", 1000.0f},   {"1000.", 1000.0f}, {"1.0E3", 1000.0f},   {"1e+03", 1000.0f},
      {"1D3", 1000.0f},    {"1d3", 1000.0f},   {"1+3", 1000.0f},     {"+1000", 1000.0f},
      {"1.E3", 1000.0f},   {".1E4", 1000.0f},  {"10000E-1", 1000.0f}, {"0001000.000", 1000.0f},
      {"1000000-3", 1000.0f}, {"1E0003", 1000.0f},
  };
  expect_values(cases, std::size(cases));
}

TEST(ValueConversion, SingleValueExamples) {
  const ValueCase cases[] = {
      {".5", 0.5f},
      {"7.25", 7.25f},
      {"300.5", 300.5f},
      {"-300.5", -300.5f},
      {"3.40282346E38", kLargestSingle},
      // 1E-50 is below half the smallest subnormal (7.0e-46): zero, no error.
      {"1E-50", 0.0f},
      // 1E-40 lies between subnormals 71362 * 2^-149 and 71363 * 2^-149
      // (1E-40 / 2^-149 = 71362.38...), nearer the first.
      {"1E-40", 71362 * kSmallestSubnormal},
      {"1.5+3", 1500.0f},
  };
  expect_values(cases, std::size(cases));
}

// Values with no exact single: the reference decides, and texts of one value agree.
TEST(ValueConversion, InexactValuesAreCorrectlyRounded) {
  const char* const texts[] = {"2-3", "0.002", "2E-3", "0.1", "1.234567E-03", "300.1",
                               "-7.3", "1E-40", "3.3E-39", "123456.789"};
  for (const char* text : texts) {
    const Converted got = convert(text);
    EXPECT_EQ(reference::check_result(reference::read_decimal(text), got.outcome, got.value), "")
        << text;
  }
  EXPECT_EQ(bits_of(convert("2-3").value), bits_of(convert("0.002").value));
  EXPECT_EQ(bits_of(convert("2-3").value), bits_of(convert("2d-3").value));
}

TEST(ValueConversion, ZeroKeepsItsSign) {
  const ValueCase cases[] = {
      {"0", 0.0f},          {"-0", -0.0f},       {"+0", 0.0f},        {"-0.000", -0.0f},
      {"-.0E5", -0.0f},     {"0E99999", 0.0f},   // a zero mantissa is zero whatever the exponent
      {"-0E-99999", -0.0f}, {"-1E-50", -0.0f},   // underflow keeps the sign
      {"-1E-99999", -0.0f},
  };
  expect_values(cases, std::size(cases));
}

TEST(ValueConversion, TextsNotOfTheRealForm) {
  const ErrorCase cases[] = {
      {"", 6103},       {".", 6103},       {"+", 6103},       {"-", 6103},      {"E5", 6103},
      {"e5", 6103},     {"+E5", 6103},     {".E5", 6103},     {"1.5E", 6103},   {"1.5E+", 6103},
      {"5+", 6103},     {"5-", 6103},      {"1.5x", 6103},    {"1E5.0", 6103},  {"7.25;", 6103},
      {"300.5K", 6103}, {"1.2.3", 6103},   {"--1", 6103},     {"+-1", 6103},    {"1E+-3", 6103},
      {"1EE3", 6103},   {"1E3E3", 6103},   {"1F3", 6103},     {"1 ", 6103},     {" 1", 6103},
      {"abc", 6103},    {"T(K)", 6103},    {"1,5", 6103},     {"0x10", 6103},   {"inf", 6103},
      {"nan", 6103},    {"1e5-3", 6103},   {"1E39x", 6103},   // 6103 is decided before 6104
      {"\xEF\xBB\xBF" "1", 6103},          {"1\t", 6103},     {"1E", 6103},     {"..5", 6103},
      {"E400", 6103},   {".E400", 6103},   {"0E400x", 6103},  // a zero prefix never overflows
  };
  expect_errors(cases, std::size(cases));
}

TEST(ValueConversion, OverflowIsFoundBeforeTheBadForm) {
  // The longest real-form prefix is converted first: 1E400 is beyond the double range, and that
  // outranks the character that makes the text malformed.
  const ErrorCase cases[] = {
      {"1E400x", 6102},  {"1E400.5", 6102},       {"-1E400x", 6102}, {"1+400;", 6102},
      {"1E99999E", 6102}, {"1.5E5201+", 6102},    {"9E308K", 6102},
  };
  expect_errors(cases, std::size(cases));
}

TEST(ValueConversion, RangeLimits) {
  const ErrorCase cases[] = {
      // One double step above the largest single, 3.4028234663852889e38 (bits 0x47EFFFFFE0000001),
      // is the last double that passes; 3.4028235E38 rounds to a double far above it.
      {"3.4028235E38", 6104},
      {"1E39", 6104},
      {"-1E39", 6104},
      {"1E308", 6104},
      // The largest double, 1.7976931348623157081e308, and the halfway point above it,
      // 1.7976931348623158079e308: below it the value still rounds to a double (6104), from it
      // on it is beyond the double range (6102).
      {"1.7976931348623158E308", 6104},
      // Only 24 digits count: 1.79769313486231580793728E308 is just below the halfway point,
      // 1.79769313486231580793729E308 just above it.
      {"1.79769313486231580793728971405301E308", 6104},
      {"1.79769313486231580793729E308", 6102},
      {"1.7976931348623159E308", 6102},
      {"1E309", 6102},
      {"-1E309", 6102},
      {"0.001E5202", 6102},  // exponent counts as 5201, scale 5198: far beyond the double range
      {"1E5200", 6102},
      {"1E5201", 6102},
      {"1E999999999999999999999999999999", 6102},  // many exponent digits, clamped as they come
  };
  expect_errors(cases, std::size(cases));
}

TEST(ValueConversion, TiesBetweenSinglesGoToEven) {
  const ValueCase cases[] = {
      // 2^24 + 1 is an exact double halfway between the singles 2^24 and 2^24 + 2; the even
      // significand is 2^24's. 2^24 + 3 lies between 2^24 + 2 (odd) and 2^24 + 4 (even).
      {"16777217", 16777216.0f},
      {"16777219", 16777220.0f},
      {"-16777217", -16777216.0f},
      {"-16777219", -16777220.0f},
      {"1.6777217E7", 16777216.0f},
      // 1 + 3 * 2^-24 = 1.000000178813934326171875 is halfway between 1 + 2^-23 (odd) and
      // 1 + 2^-22 (even).
      {"1.000000178813934326171875", 0x1.000004p0f},
      // Half the smallest subnormal, 2^-150, is halfway between 0 and 2^-149: zero is even. Its
      // first 24 digits are 7.9e-70 short of it, far less than half the double step below
      // it (2^-204 = 3.9e-62), so the double is 2^-150 itself.
      {"7.00649232162408535461864E-46", 0.0f},
      // 3 * 2^-150 = 2.10194769648722560638559437...E-45, halfway between 2^-149 (odd) and
      // 2^-148 (even); again 24 digits are closer to it than half a double step.
      {"2.10194769648722560638559E-45", 0x1p-148f},
  };
  expect_values(cases, std::size(cases));
}

TEST(ValueConversion, DoubleStageDecidesNearSingleTies) {
  const ValueCase cases[] = {
      // 1.0000001788139343 is 2.6e-17 below the single tie 1 + 3 * 2^-24, closer than half a
      // double step (2^-53 = 1.1e-16): its double is the tie itself, which goes to the even
      // 1 + 2^-22. Rounded once, straight to single, it would have given 1 + 2^-23.
      {"1.0000001788139343", 0x1.000004p0f},
      {"1.000000178813934", 0x1.000002p0f},  // 3.3e-16 below the tie: a double below it
      // 7.0064923216240854E-46 is above 2^-150 (7.00649232162408535...E-46) by 4.5e-63, less than
      // half the double step above it (2^-203 = 7.8e-62): the double is 2^-150, the single zero.
      // Rounded once it would have given 2^-149.
      {"7.0064923216240854E-46", 0.0f},
      {"7.00649232162409E-46", 0x1p-149f},  // 6.6e-16 relative above: a double above the tie
      {"7.00649232162408E-46", 0.0f},       // just below half the smallest subnormal
      {"-7.0064923216240854E-46", -0.0f},
      // Ties away at the double stage, seen in the single. With M = 2^60 + 2^36 the halfway point
      // between the singles 2^60 (even) and 2^60 + 2^37 (odd), and doubles spaced 2^8 there:
      // M + 2^7 = 1152921573326323840 is a double tie, rounded away to M + 2^8, above M, so the
      // single is 2^60 + 2^37. Ties to even would have stopped at M (its significand is even)
      // and then gone to 2^60.
      {"1152921573326323840", 1152921642045800448.0f},
      {"-1152921573326323840", -1152921642045800448.0f},
      // With M' = 2^60 + 3 * 2^36 between 2^60 + 2^37 (odd) and 2^60 + 2^38 (even):
      // M' - 2^7 is a double tie going away, up to M', a single tie going to the even 2^60 + 2^38.
      // Rounded once it would have given 2^60 + 2^37.
      {"1152921710765277056", 1152921779484753920.0f},
  };
  expect_values(cases, std::size(cases));
}

TEST(ValueConversion, SingleRangeEnds) {
  const ValueCase values[] = {
      // The largest single, 340282346638528859811704183484516925440, written in full: only 24
      // digits count and the other 15 count as factors of ten, 1.8e14 below it.
      {"340282346638528859811704183484516925440", kLargestSingle},
      {"3.402823466E38", kLargestSingle},
      // The limit double (bits 0x47EFFFFFE0000001) is 340282346638528897590636046441678635008.
      // Its first 24 digits round to it (they are 4.6e13 below, the double spacing is 2^75).
      {"3.40282346638528897590636E38", kLargestSingle},
      {"3.4028234663852889E38", kLargestSingle},  // the limit as the error text names it
      // Up to, not including, halfway to the next double, T + 2^74 =
      // 340282346638528916480101977920259489792, the double is the limit and the value passes.
      {"3.40282346638528916480101E38", kLargestSingle},
      {"340282346638528916480101977920259489792", kLargestSingle},  // 24 digits: just below
      {"-3.40282346638528916480101E38", -kLargestSingle},
      // Subnormals: the smallest, and 1.4E-45 which rounds to it.
      {"1.401298464324817E-45", kSmallestSubnormal},
      {"1.4E-45", kSmallestSubnormal},
      {"-1.4E-45", -kSmallestSubnormal},
      // The smallest normal single 2^-126 = 1.1754943508222875E-38.
      {"1.1754943508222875E-38", 0x1p-126f},
  };
  expect_values(values, std::size(values));
  const ErrorCase errors[] = {
      {"3.40282346638528916480102E38", 6104},  // the first 24-digit text past the halfway point
      {"3.40282346638529E38", 6104},
      {"3.4028234664E38", 6104},
      {"-3.4028234664E38", 6104},
      {"3.4028235677973366E38", 6104},  // where rounding to single would overflow
  };
  expect_errors(errors, std::size(errors));
}

TEST(ValueConversion, OnlyTwentyFourDigitsCount) {
  // 1 + 3 * 2^-24 - 2^-53 = 1.00000017881393421514957253748434595763683319091796875 (54 digits)
  // is a double tie: in full it would round away to 1 + 3 * 2^-24, a single tie going to the
  // even 1 + 2^-22. Its first 24 digits are below the tie: the double below, single 1 + 2^-23.
  const ValueCase values[] = {
      {"1.00000017881393421514957253748434595763683319091796875", 0x1.000002p0f},
      {"1.00000017881393421514958", 0x1.000004p0f},  // 24 digits above the double tie
  };
  expect_values(values, std::size(values));

  // Texts that must read exactly like their first 24 digits: a digit beyond the 24th is a factor
  // ten before the point and nothing after it. 30 and 300 digits.
  const std::string tiny = "0." + std::string(298, '0') + "1";  // 10^-299: zero
  const std::string thirds = "0." + std::string(24, '3') + std::string(276, '9');
  const std::string same_as[][2] = {
      {"123456789012345678901234999999", "123456789012345678901234E6"},
      {"-000000123456789012345678901234999999E-6", "-123456789012345678901234"},
      {"1.23456789012345678901234999999", "1.23456789012345678901234"},
      {thirds, "0.333333333333333333333333"},
      {tiny, "0"},
  };
  for (const auto& pair : same_as) {
    const Converted long_text = convert(pair[0]);
    const Converted short_text = convert(pair[1]);
    EXPECT_EQ(long_text.outcome, 0) << pair[0];
    EXPECT_EQ(short_text.outcome, 0) << pair[1];
    EXPECT_EQ(bits_of(long_text.value), bits_of(short_text.value)) << pair[0];
    EXPECT_EQ(reference::check_result(reference::read_decimal(pair[0]), long_text.outcome, long_text.value), "");
  }

  const std::string three_hundred = "15" + std::string(298, '0');  // 1.5E299
  const std::string three_hundred_ten = three_hundred + std::string(10, '0');  // 1.5E309
  const ErrorCase errors[] = {
      {"1234567890123456789012345678901234567890", 6104},  // 40 digits: 1.2E39, not 1.2E23
      {three_hundred.c_str(), 6104},
      {three_hundred_ten.c_str(), 6102},
  };
  expect_errors(errors, std::size(errors));
}

// Twenty to twenty-four significant digits are gathered as leading * 10^n + trailing, the first
// 19 digits and the rest, into two 64-bit words. Where the low word wraps as trailing is added,
// the carry must reach the high word; without it the value would be short by 2^64. Multiples of
// 2^64 are such texts: before trailing is added their low word is 2^64 - trailing.
TEST(ValueConversion, SignificandCarriesIntoTheHighWord) {
  const ValueCase values[] = {
      {"18446744073709551616", 0x1p64f},  // 2^64 = 1844674407370955161 * 10 + 6
      {"1844674407370955161.6E1", 0x1p64f},
      {"-18446744073709551616", -0x1p64f},
      {"100018246367653188861952", 5422.0f * 0x1p64f},    // 24 digits, trailing 61952
      {"9.99997996235794793103360E23", 54210.0f * 0x1p64f},  // 24 digits, trailing 3360
  };
  expect_values(values, std::size(values));
  // Scaled by a power of ten the significand is the same: the reference decides the rounding.
  for (const char* text : {"999997996235794793103360E-30", "18446744073709551616E-25", "1.8446744073709551616"}) {
    const Converted got = convert(text);
    EXPECT_EQ(reference::check_result(reference::read_decimal(text), got.outcome, got.value), "") << text;
  }
}

TEST(ValueConversion, ExponentLimits) {
  // 10^-251 written with 250 zeros after the point: with an exponent of 5205, counted as 5201,
  // the scale is 4950 and the value far beyond the double range; with -5205 it is zero.
  const std::string small = "0." + std::string(250, '0') + "1";
  const std::string small_up = small + "E5205";
  const std::string small_down = small + "E-5205";
  const ValueCase values[] = {
      {"1E-5200", 0.0f},
      {"1E-5201", 0.0f},
      {"-1E-99999999999999999999", -0.0f},
      {"0E5201", 0.0f},
      {"-0.0E99999999999999999999", -0.0f},
      {small_down.c_str(), 0.0f},
      {"5E-0000000000000000000000001", 0.5f},
  };
  expect_values(values, std::size(values));
  const ErrorCase errors[] = {
      {"1E5200", 6102},
      {"1E5201", 6102},
      {"0.001E5202", 6102},
      {small_up.c_str(), 6102},
      {"1E000000000000000000000000000309", 6102},  // leading zeros of the exponent are harmless
      {"1E00000000000000000000000000039", 6104},
  };
  expect_errors(errors, std::size(errors));
}

// ---- An exact reference on random texts -------------------------------------------------------

// The sanitizer build runs these sweeps for their memory and undefined-behaviour checks, which a
// tenth of the texts serves as well; there the reference's big numbers are ten times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_UNDEFINED__)
constexpr long kSweepDivisor = 10;
#else
constexpr long kSweepDivisor = 1;
#endif

TEST(ValueConversionReference, RandomTexts) {
  reference::check_random_texts(reference::random_text, 20240611, 2000000 / kSweepDivisor);
}

TEST(ValueConversionReference, TextsNearTies) {
  reference::check_random_texts(reference::random_tie_text, 7, 600000 / kSweepDivisor);
}

}  // namespace
}  // namespace quelvar
