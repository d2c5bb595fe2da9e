// The arithmetic model: reals are stored in single precision, expressions are evaluated in double
// precision in the written order, and three conditions stop the run with an M report.
#pragma once

namespace quelvar {

enum class FloatCondition {
  invalid,          // M6101 "invalid": stops the run
  denormal,         // M6102: silent
  divide_by_zero,   // M6103 "divide by zero": stops the run
  overflow,         // M6104 "overflow": stops the run
  underflow,        // M6105: silent
  inexact,          // M6106: silent
  square_root,      // M6108: not produced by the program's operations
  stack_overflow,   // M6110: not produced
  stack_underflow,  // M6111: not produced
};

// A stored single as an operand of double evaluation. (float - float would be computed in float:
// every operand is widened first.)
constexpr double as_double(float value) { return static_cast<double>(value); }

// Round to nearest, clear pending status flags. Called once at start-up.
//
// The run-stopping conditions are detected by checked operations rather than hardware traps:
// `checked_divide` and `store_single` are the only places in the program where an operation can
// be invalid, divide by zero or overflow (sums and products of stored singles evaluated in double
// cannot leave the double range), so the checks are deterministic, testable in-process and
// independent of compiler flags.
void init_float_environment();

// Writes "floating-point error: <text>" with letter M and the condition's number, label MATH,
// and ends the run.
[[noreturn]] void on_float_condition(FloatCondition kind);

// numerator / denominator in double precision. A zero denominator stops the run: M6103 for a
// nonzero numerator, M6101 (invalid) for a zero or NaN numerator. A quotient that is not finite
// stops the run with M6104 (it cannot happen with operands that come from stored singles).
double checked_divide(double numerator, double denominator);

// Rounds to single precision, to nearest with ties to even, the way an assignment stores a real.
// Overflow is judged on the double: a magnitude of at least 3.4028235677973366e38 (the midpoint
// between the largest single and 2^128, which itself rounds up) stops the run with M6104; a NaN
// stops it with M6101. Underflow to a subnormal or to a signed zero is silent.
float store_single(double value);

}  // namespace quelvar
