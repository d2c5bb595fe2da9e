// Expected texts for tests: the exact bytes of run-time error reports, and examples written with
// a visible mark for each blank that matters.
#pragma once

#include <string>
#include <string_view>

namespace quelvar::testing {

// CR LF "run-time error F<number>: <label>(<unit>)" CR LF "- " <the number's description> CR LF.
std::string io_report(int number, std::string_view label, std::string_view unit);

// CR LF "run-time error M<number>: MATH" CR LF "- floating-point error: <condition>" CR LF.
std::string math_report(int number, std::string_view condition);

// The text with every "␣" replaced by one blank.
std::string with_blanks(std::string text);

}  // namespace quelvar::testing
