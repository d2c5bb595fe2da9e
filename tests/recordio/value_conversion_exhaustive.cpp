// Long sweeps of value conversion against the exact reference: many more random texts, and texts
// made from every 97th single: its exact value and the halfway point above it, cut to 24 digits.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>

#include "recordio/value_conversion.h"
#include "recordio/value_conversion_reference.h"

namespace quelvar {
namespace {

TEST(ValueConversionExhaustive, RandomTexts) {
  reference::check_random_texts(reference::random_text, 1, 50000000);
}

TEST(ValueConversionExhaustive, TextsNearTies) {
  reference::check_random_texts(reference::random_tie_text, 2, 20000000);
}

// The first 24 digits of a value are below it by less than 10^-23 of it, far less than half a
// double step (2^-54 of it). So the 24 digits of a single's exact value round to that single,
// and the 24 digits of the halfway point between two neighbouring singles (a double) round to that
// double, a tie going to the single with the even significand; the largest single's halfway point
// is beyond the range limit. Each is checked directly, and also against the reference.
TEST(ValueConversionExhaustive, SinglesAndTheirHalfwayPoints) {
  std::mt19937_64 random(3);
  long failures = 0;
  auto check = [&](double exact, int expected_outcome, float expected) {
    reference::Decimal decimal = reference::exact_decimal(reference::dyadic_of(exact));
    if (decimal.digits.size() > 24) {
      decimal.scale += static_cast<long>(decimal.digits.size()) - 24;
      decimal.digits.resize(24);
    }
    const bool negative = random() % 2 == 0;
    const std::string text = reference::write_text(negative, decimal.digits, decimal.scale, random);
    float value = -12345.0f;
    const int outcome = convert_real(text.data(), text.size(), value);
    const float signed_expected = negative ? -expected : expected;
    const bool right = outcome == expected_outcome &&
                       (outcome != 0 || std::bit_cast<std::uint32_t>(value) == std::bit_cast<std::uint32_t>(signed_expected));
    const std::string problem = reference::check_result(reference::read_decimal(text), outcome, value);
    if ((!right || !problem.empty()) && ++failures <= 10) {
      ADD_FAILURE() << text << ": outcome " << outcome << " value " << value << ", expected "
                    << expected_outcome << " " << signed_expected << " " << problem;
    }
  };
  for (std::uint32_t bits = 1; bits <= 0x7F7FFFFFu; bits += 97) {
    const float single = std::bit_cast<float>(bits);
    check(single, 0, single);
    if (bits == 0x7F7FFFFFu) {
      check(0x1.ffffffp127, 6104, 0.0f);
      continue;
    }
    const float next = std::nextafter(single, INFINITY);
    const double halfway = (static_cast<double>(single) + static_cast<double>(next)) / 2;
    check(halfway, 0, (bits & 1) == 0 ? single : next);
  }
  // The top of the range, which the stride may step over.
  check(0x1.fffffep127f, 0, 0x1.fffffep127f);
  check(0x1.ffffffp127, 6104, 0.0f);
  EXPECT_EQ(failures, 0);
}

}  // namespace
}  // namespace quelvar
