#include "numeric/field_integration.h"

#include "output/console_log.h"
#include "runtime/float_environment.h"

namespace quelvar {
namespace {

double d(float value) { return static_cast<double>(value); }

}  // namespace

void integrate_step(RunState& state, int m, int c) {
  if (c == 1) {
    state.entropy(m, 1) = store_single(checked_divide(d(state.slope_at(1)) * d(state.field_value(1)), d(state.divisor)));
    return;
  }
  const double stretch = (d(state.field_value(c)) - d(state.field_value(c - 1))) *
                         (d(state.slope_at(c - 1)) + d(state.slope_at(c))) * 0.5;
  state.entropy(m, c) = store_single(checked_divide(stretch, d(state.divisor)) + d(state.entropy(m, c - 1)));
}

void check_integral(RunState& state, int m) {
  const double grid_temp = d(state.grid_temp(m));
  if (!(d(state.check_temp) - 0.5 < grid_temp && grid_temp < d(state.check_temp) + 0.5)) return;
  log_check_heading(state.check_temp);
  state.check_sum = 0.0f;
  for (int h = 1; h <= state.curve_count; ++h) {
    state.check_sum = store_single(d(state.slope_at(h)) + d(state.check_sum));
    log_check_slope(state.grid_temp(m), state.field_value(h), state.slope_at(h));
  }
  const int count = state.curve_count;
  if (count == 0) {
    log_check_integral(0.0f);
    return;
  }
  const double ends = checked_divide(d(state.slope_at(count)) + d(state.slope_at(1)), 2.0);
  const double step = checked_divide(d(state.field_value(count)), static_cast<double>(count));
  state.check_sum = store_single((d(state.check_sum) - ends) * step);
  log_check_integral(store_single(checked_divide(d(state.check_sum), d(state.divisor))));
}

}  // namespace quelvar
