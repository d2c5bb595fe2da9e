#include "driver/run_driver.h"

#include "driver/control_file.h"
#include "driver/curve_loader.h"
#include "numeric/difference_table.h"
#include "numeric/field_integration.h"
#include "numeric/slope_interpolation.h"
#include "output/result_table.h"
#include "recordio/console_unit.h"
#include "recordio/units.h"
#include "runtime/float_environment.h"
#include "runtime/termination.h"

namespace quelvar {

int run(RunState& state) {
  read_grid(state);
  read_curve_list(state);
  order_curves(state);
  difference_table(state);
  begin_interpolation(state);
  for (int m = 1; m <= state.grid_count; ++m) {
    for (int c = 1; c <= state.curve_count; ++c) {
      interpolate_slope(state, m, c);
      integrate_step(state, m, c);
    }
    check_integral(state, m);
  }
  write_result_table(state);
  return 0;
}

RunState& program_state() {
  static RunState state;
  return state;
}

void run_program(int argc, const char* const* argv) {
  init_float_environment();
  setup_console_unit();
  setup_units(argc, argv);
  RunState& state = program_state();
  state = RunState{};
  end_of_run(run(state));
}

}  // namespace quelvar
