// Conversion of a free-format value text to single precision: exact decimal-to-binary conversion,
// correctly rounded to double (ties away from zero), then to single (ties to even).
#pragma once

#include <cstddef>

namespace quelvar {

// The longest value text the reader collects.
inline constexpr size_t kMaxValueText = 260;

// Converts `text` (exactly the value's characters: no blanks around it) and stores the result in
// `value` on success. Returns 0, or the error number: 6102 (beyond double range, or scale above
// +5200), 6103 (not of the real form), 6104 (magnitude above 3.4028234663852889e38), first
// applicable in that order. Does not allocate; never reads past `length`.
int convert_real(const char* text, size_t length, float& value);

}  // namespace quelvar
