#include "runtime/float_environment.h"

#include <cfenv>
#include <cmath>

#include "runtime/termination.h"

namespace quelvar {
namespace {

// The midpoint between FLT_MAX = (2 - 2^-23) * 2^127 and 2^128, that is (2 - 2^-24) * 2^127.
// Round-to-nearest-even takes it up to infinity, because FLT_MAX has an odd significand.
constexpr double kSingleOverflowThreshold = 3.4028235677973366e38;
static_assert(kSingleOverflowThreshold == 0x1.ffffffp127);

struct ConditionReport {
  int number;
  const char* description;
};

ConditionReport report_for(FloatCondition kind) {
  switch (kind) {
    case FloatCondition::invalid: return {6101, "floating-point error: invalid"};
    case FloatCondition::denormal: return {6102, "floating-point error: denormal"};
    case FloatCondition::divide_by_zero: return {6103, "floating-point error: divide by zero"};
    case FloatCondition::overflow: return {6104, "floating-point error: overflow"};
    case FloatCondition::underflow: return {6105, "floating-point error: underflow"};
    case FloatCondition::inexact: return {6106, "floating-point error: inexact"};
    case FloatCondition::square_root: return {6108, "floating-point error: square root"};
    case FloatCondition::stack_overflow: return {6110, "floating-point error: stack overflow"};
    case FloatCondition::stack_underflow: return {6111, "floating-point error: stack underflow"};
  }
  return {6101, "floating-point error: invalid"};
}

}  // namespace

void init_float_environment() {
  std::fesetround(FE_TONEAREST);
  std::feclearexcept(FE_ALL_EXCEPT);
}

void on_float_condition(FloatCondition kind) {
  const ConditionReport report = report_for(kind);
  report_run_error('M', report.number, report.description, ErrorLabel::MATH, {});
}

double checked_divide(double numerator, double denominator) {
  if (denominator == 0.0) {
    if (numerator == 0.0 || std::isnan(numerator)) on_float_condition(FloatCondition::invalid);
    on_float_condition(FloatCondition::divide_by_zero);
  }
  const double quotient = numerator / denominator;
  if (std::isnan(quotient)) on_float_condition(FloatCondition::invalid);
  if (std::isinf(quotient)) on_float_condition(FloatCondition::overflow);
  return quotient;
}

float store_single(double value) {
  if (std::isnan(value)) on_float_condition(FloatCondition::invalid);
  if (std::fabs(value) >= kSingleOverflowThreshold) on_float_condition(FloatCondition::overflow);
  return static_cast<float>(value);
}

}  // namespace quelvar
