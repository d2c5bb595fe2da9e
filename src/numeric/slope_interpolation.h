// Slope interpolation: dM/dT of one curve at one grid temperature, from the quadratic through the
// bracketing data interval and one neighbouring point.
#pragma once

#include "driver/run_state.h"

namespace quelvar {

// Before the first grid temperature: check_temp = 305.0, and the interpolation's heading lines.
void begin_interpolation(RunState& state);

// Grid temperature `m`, curve `c`. Finds the first interval d of the curve in stored order with
// T(d) < now_temp <= T(d+1); when none matches, slope_at(c) keeps its previous value and nothing is
// logged. Otherwise slope_at(c) becomes the derivative at now_temp of the quadratic through points
// d, d+1 and a third point (point 3 for d = 1; else point d-1, or point d+2 when strictly nearer
// to now_temp). A curve of exactly two points has no third point: its slope is the secant
// (y2 - y1) / (x2 - x1), and the log shows the second point in the third point's place.
void interpolate_slope(RunState& state, int m, int c);

}  // namespace quelvar
