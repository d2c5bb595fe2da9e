#include "numeric/difference_table.h"

#include "output/console_log.h"
#include "runtime/float_environment.h"

namespace quelvar {

void difference_table(RunState& state) {
  for (int curve = 1; curve <= state.curve_count; ++curve) {
    const int points = state.curve_points(curve);
    for (int c = 1; c < points; ++c) {
      const double rise = as_double(state.curve_mag(c + 1, curve)) - as_double(state.curve_mag(c, curve));
      const double run = as_double(state.curve_temp(c + 1, curve)) - as_double(state.curve_temp(c, curve));
      state.diff_slope(c, curve) = store_single(checked_divide(rise, run));
      const double sum = as_double(state.curve_temp(c + 1, curve)) + as_double(state.curve_temp(c, curve));
      state.diff_mid_temp(c, curve) = store_single(sum / 2.0);
    }
    log_difference_field(state.field_value(curve));
    log_difference_heading();
    for (int c = 1; c < points; ++c) log_difference_row(state.diff_mid_temp(c, curve), state.diff_slope(c, curve));
  }
}

}  // namespace quelvar
