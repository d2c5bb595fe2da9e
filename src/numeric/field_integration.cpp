#include "numeric/field_integration.h"

#include "output/console_log.h"
#include "runtime/float_environment.h"

namespace quelvar {
void integrate_step(RunState& state, int m, int c) {
  if (c == 1) {
    state.entropy(m, 1) = store_single(checked_divide(as_double(state.slope_at(1)) * as_double(state.field_value(1)), as_double(state.divisor)));
    return;
  }
  const double stretch = (as_double(state.field_value(c)) - as_double(state.field_value(c - 1))) *
                         (as_double(state.slope_at(c - 1)) + as_double(state.slope_at(c))) * 0.5;
  state.entropy(m, c) = store_single(checked_divide(stretch, as_double(state.divisor)) + as_double(state.entropy(m, c - 1)));
}

void check_integral(RunState& state, int m) {
  const double grid_temp = as_double(state.grid_temp(m));
  if (!(as_double(state.check_temp) - 0.5 < grid_temp && grid_temp < as_double(state.check_temp) + 0.5)) return;
  log_check_heading(state.check_temp);
  state.check_sum = 0.0f;
  for (int h = 1; h <= state.curve_count; ++h) {
    state.check_sum = store_single(as_double(state.slope_at(h)) + as_double(state.check_sum));
    log_check_slope(state.grid_temp(m), state.field_value(h), state.slope_at(h));
  }
  const int count = state.curve_count;
  if (count == 0) {
    log_check_integral(0.0f);
    return;
  }
  const double ends = checked_divide(as_double(state.slope_at(count)) + as_double(state.slope_at(1)), 2.0);
  const double step = checked_divide(as_double(state.field_value(count)), static_cast<double>(count));
  state.check_sum = store_single((as_double(state.check_sum) - ends) * step);
  log_check_integral(store_single(checked_divide(as_double(state.check_sum), as_double(state.divisor))));
}

}  // namespace quelvar
