// Converting a value text: the accepted forms, the error numbers and their order, the two
// rounding stages, the range limits, and an exact rational reference on random texts.
#include "recordio/value_conversion.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

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
      {"2-3", 0.002f},
      {".5", 0.5f},
      {"7.25", 7.25f},
      {"300.5", 300.5f},
      {"-300.5", -300.5f},
      {"1.234567E-03", 1.234567E-03f},
      {"3.40282346E38", kLargestSingle},
      // 1E-50 is below half the smallest subnormal (7.0e-46): zero, no error.
      {"1E-50", 0.0f},
      // 1E-40 lies between subnormals 71362 * 2^-149 and 71363 * 2^-149
      // (1E-40 / 2^-149 = 71362.38...), nearer the first.
      {"1E-40", 71362 * kSmallestSubnormal},
      {"1.5+3", 1500.0f},
      {"0.1", 0.1f},
  };
  expect_values(cases, std::size(cases));
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

}  // namespace
}  // namespace quelvar
