#include "support/expected_text.h"

#include "runtime/termination.h"

namespace quelvar::testing {

std::string io_report(int number, std::string_view label, std::string_view unit) {
  return "\r\nrun-time error F" + std::to_string(number) + ": " + std::string(label) + "(" + std::string(unit) +
         ")\r\n- " + std::string(io_condition_description(number)) + "\r\n";
}

std::string math_report(int number, std::string_view condition) {
  return "\r\nrun-time error M" + std::to_string(number) + ": MATH\r\n- floating-point error: " +
         std::string(condition) + "\r\n";
}

std::string with_blanks(std::string text) {
  const std::string mark = "\u2423";
  for (size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) text.replace(at, mark.size(), " ");
  return text;
}

}  // namespace quelvar::testing
