// Every single-precision bit pattern against the exact reference, in 128 slices of 2^24 positive
// patterns (each checked with its negative twin), so that a slice can be run alone:
//   quelvar_exhaustive_tests --gtest_filter='*AgreesWithReference/37'
#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>

#include "recordio/decimal_digits.h"
#include "recordio/exact_decimal_reference.h"
#include "recordio/free_format_writer.h"

namespace quelvar {
namespace {

class DecimalDigitsSlice : public ::testing::TestWithParam<std::uint32_t> {};

TEST_P(DecimalDigitsSlice, AgreesWithReference) {
  const std::uint32_t first = GetParam() << 24;
  const std::uint32_t last = first + ((std::uint32_t{1} << 24) - 1);
  int failures = 0;
  for (std::uint32_t bits = first; failures < 10; ++bits) {
    const float positive = std::bit_cast<float>(bits);
    const float negative = std::bit_cast<float>(bits | 0x80000000u);
    const DecimalDigits up = decimal_digits(positive);
    const DecimalDigits down = decimal_digits(negative);
    if ((bits & 0x7F800000u) == 0x7F800000u) {
      if (up.count != 0 || down.count != 0 || up.negative || !down.negative) ++failures;
    } else {
      const testing::ReferenceDigits expected = testing::reference_decimal_digits(positive);
      const std::string up_digits(up.digits, static_cast<size_t>(up.count));
      const std::string down_digits(down.digits, static_cast<size_t>(down.count));
      const bool zero = bits == 0;
      const bool same = up_digits == expected.digits && up.point == expected.point && !up.negative &&
                        down_digits == expected.digits && down.point == expected.point &&
                        down.negative == !zero;
      EXPECT_TRUE(same) << "bits 0x" << std::hex << bits << std::dec << ": got " << up_digits << " point "
                        << up.point << ", want " << expected.digits << " point " << expected.point;
      if (!same) ++failures;
    }
    char text[kMaxRealText];
    if (real_free_text(negative, text) > kMaxRealText) ++failures;
    if (bits == last) break;
  }
  EXPECT_EQ(failures, 0);
}

INSTANTIATE_TEST_SUITE_P(AllPositivePatterns, DecimalDigitsSlice, ::testing::Range<std::uint32_t>(0, 128));

}  // namespace
}  // namespace quelvar
