// Field integration: the cumulative integral over field of the interpolated slopes, divided by
// the divisor, and the equal-spacing check integral logged near the check temperature.
#pragma once

#include "driver/run_state.h"

namespace quelvar {

// entropy(m, 1) = slope_at(1) * field_value(1) / divisor (a rectangle from zero field);
// entropy(m, c) = (field_value(c) - field_value(c-1)) * (slope_at(c-1) + slope_at(c)) * 0.5
//                 / divisor + entropy(m, c-1) (a trapezoid), in that order of operations.
// The slopes are used as they stand: a curve not bracketed at this grid temperature contributes
// its slope from an earlier one. A zero divisor stops the run (M6103, or M6101 over zero).
void integrate_step(RunState& state, int m, int c);

// After the last curve of grid temperature m: when check_temp - 0.5 < grid_temp(m) <
// check_temp + 0.5, logs the slopes and the trapezoid integral with uniform step
// field_value(curve_count) / curve_count, divided by the divisor. With no curves the integral
// over no curves is zero: the block logs 0 and the run goes on.
void check_integral(RunState& state, int m);

}  // namespace quelvar
