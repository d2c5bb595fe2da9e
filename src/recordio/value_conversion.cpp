#include "recordio/value_conversion.h"

#include <bit>
#include <cstdint>

#include "recordio/decimal_to_binary.h"
#include "recordio/value_scanning.h"

namespace quelvar {
namespace {

// One double step above the largest single. It lies far below the point where rounding to single
// overflows (the midpoint between the largest single and 2^128, bits 0x47EFFFFFF0000000), so a
// double that passes the test rounds to at most the largest single.
constexpr double kSingleRangeLimit = 0x1.fffffe0000001p127;
static_assert(std::bit_cast<std::uint64_t>(kSingleRangeLimit) == 0x47EFFFFFE0000001u);

}  // namespace

int convert_real(const char* text, size_t length, float& value) {
  const ScannedValue scanned = scan_value_text(text, length);
  if (!scanned.has_number) return kNotRealForm;
  double magnitude = 0.0;
  if (!decimal_to_double(scanned.significand_high, scanned.significand_low, scanned.scale, magnitude)) {
    return kConversionOverflow;
  }
  if (!scanned.well_formed) return kNotRealForm;
  if (magnitude > kSingleRangeLimit) return kBeyondSingleRange;
  // Ties to even, like every store of a real; magnitude <= kSingleRangeLimit keeps it finite.
  const float single = static_cast<float>(magnitude);
  value = scanned.negative ? -single : single;
  return 0;
}

}  // namespace quelvar
