// Conversion of a free-format value text to single precision: exact decimal-to-binary conversion,
// correctly rounded to double (ties away from zero), then to single (ties to even).
#pragma once

#include <cstddef>

namespace quelvar {

// The longest value text the reader collects.
inline constexpr size_t kMaxValueText = 260;

// The conversion's error numbers.
inline constexpr int kConversionOverflow = 6102;  // beyond the double range, or scale above +5200
inline constexpr int kNotRealForm = 6103;         // the text is not of the real form
inline constexpr int kBeyondSingleRange = 6104;   // magnitude above 3.4028234663852889e38

// Converts `text` (exactly the value's characters: no blanks around it) and stores the result in
// `value` on success. Returns 0, or the error number: 6102 (beyond double range, or scale above
// +5200), 6103 (not of the real form), 6104 (magnitude above 3.4028234663852889e38), first
// applicable in that order. Does not allocate; never reads past `length`.
//
// The real form: optional sign, mantissa (digits, digits "." [digits], or "." digits), optional
// exponent (E, e, D or d, optional sign, digits; or a sign directly followed by digits).
//
// Steps and guarantees:
// 1. At most 24 significant digits count (a further digit before the point multiplies by ten,
//    one after the point is ignored); the exponent is clamped to +-5201 while it is read.
// 2. The value is rounded exactly to double, a tie going away from zero (decimal_to_binary.h).
// 3. A double above 3.4028234663852889e38 (bits 0x47EFFFFFE0000001, one double step above the
//    largest single) fails with 6104; the rest is rounded to single with ties to even, which
//    cannot overflow. Subnormal results and signed zeros come without error; -0 gives -0.0f.
//
// Which fault wins when a text has two: the longest prefix of the text that follows the real form
// is converted first, and if its value is beyond the double range the outcome is 6102, whatever
// follows ("1E400x", "1E400.5" and "-1E99999E" give 6102). Otherwise a text not wholly of the real
// form gives 6103 ("1E39x" gives 6103, not 6104), and so does a text whose prefix has no mantissa
// digit ("E400", ".E400"). A prefix that stops inside an exponent converts without the exponent
// ("1.5E+" is 1.5 there, so 6103).
//
// Examples: "1000", "1.0E3", "1e+03", "1D3", "1+3" -> 1000.0f; "2-3" -> 0.002f; "-0" -> -0.0f;
// "3.40282346E38" -> the largest single; "3.4028235E38" -> 6104; "1E309" -> 6102;
// "1E-50" -> 0.0f; "300.5K" -> 6103.
int convert_real(const char* text, size_t length, float& value);

}  // namespace quelvar
