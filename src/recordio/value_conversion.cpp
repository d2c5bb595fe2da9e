// PLACEHOLDER until the exact converter lands: only the exactly representable fast path.
#include "recordio/value_conversion.h"

namespace quelvar {

int convert_real(const char* text, size_t length, float& value) {
  size_t i = 0;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  double mantissa = 0;
  int scale = 0;
  int digits = 0;
  bool point = false;
  for (; i < length; ++i) {
    char c = text[i];
    if (c >= '0' && c <= '9') {
      mantissa = mantissa * 10 + (c - '0');
      ++digits;
      if (point) --scale;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0 || digits > 15 || i != length || scale < -22) return 6103;
  double result = mantissa;
  for (int k = 0; k < -scale; ++k) result /= 10;
  value = static_cast<float>(negative ? -result : result);
  return 0;
}

}  // namespace quelvar
