#include "numeric/slope_interpolation.h"

#include <cmath>

#include "output/console_log.h"
#include "runtime/float_environment.h"

namespace quelvar {
namespace {

// Returns the interval index d (1-based), or 0 when the grid temperature is not bracketed.
int bracketing_interval(const RunState& state, int curve, float now_temp) {
  const int points = state.curve_points(curve);
  for (int i = 1; i < points; ++i) {
    if (state.curve_temp(i, curve) < now_temp && state.curve_temp(i + 1, curve) >= now_temp) return i;
  }
  return 0;
}

}  // namespace

void begin_interpolation(RunState& state) {
  state.check_temp = 305.0f;
  log_check_temperature(state.check_temp);
  log_interpolation_heading();
}

void interpolate_slope(RunState& state, int m, int c) {
  state.now_temp = state.grid_temp(m);
  const int interval = bracketing_interval(state, c, state.now_temp);
  if (interval == 0) return;
  log_bracket(state.now_temp, interval, c);

  const int points = state.curve_points(c);
  auto temp = [&](int i) { return state.curve_temp(i, c); };
  auto mag = [&](int i) { return state.curve_mag(i, c); };
  state.x1 = temp(interval);
  state.y1 = mag(interval);
  state.x2 = temp(interval + 1);
  state.y2 = mag(interval + 1);

  const bool secant = interval == 1 && points == 2;
  int third = interval + 1;  // the secant's stand-in: the second point again
  if (interval == 1 && !secant) {
    third = 3;
  } else if (interval >= 2) {
    third = interval - 1;
    // The distances are compared unrounded, in double; on a tie the earlier point stays.
    if (interval + 2 <= points &&
        std::fabs(as_double(temp(interval + 2)) - as_double(state.now_temp)) < std::fabs(as_double(temp(interval - 1)) - as_double(state.now_temp))) {
      third = interval + 2;
    }
  }
  state.x3 = temp(third);
  state.y3 = mag(third);
  log_interpolation_points(state.now_temp, state.x1, state.y1, state.x2, state.y2, state.x3, state.y3);

  if (secant) {
    state.slope_at(c) = store_single(checked_divide(as_double(state.y2) - as_double(state.y1), as_double(state.x2) - as_double(state.x1)));
  } else {
    // The two-term form, in exactly this order, so that results agree to the last bit.
    const double twice_now = as_double(state.now_temp) * 2.0;
    const double a = checked_divide(
        checked_divide(((as_double(state.x3) + as_double(state.x2)) - twice_now) * (as_double(state.y2) - as_double(state.y1)), as_double(state.x2) - as_double(state.x1)),
        as_double(state.x3) - as_double(state.x1));
    const double b = checked_divide(
        checked_divide(((as_double(state.x2) + as_double(state.x1)) - twice_now) * (as_double(state.y3) - as_double(state.y2)), as_double(state.x3) - as_double(state.x2)),
        as_double(state.x3) - as_double(state.x1));
    state.slope_at(c) = store_single(a - b);
  }
  log_interpolated_slope(state.grid_temp(m), state.field_value(c), state.slope_at(c));
}

}  // namespace quelvar
