#include "driver/control_file.h"

#include "recordio/free_format_reader.h"
#include "recordio/units.h"
#include "runtime/float_environment.h"

namespace quelvar {

void read_grid(RunState& state) {
  open_unit(kControlUnit, kControlFileName);
  float* const divisor_record[] = {&state.divisor};
  read_free_format(kControlUnit, divisor_record, false, false);
  float* const grid_record[] = {&state.grid_start, &state.grid_step, &state.grid_end};
  read_free_format(kControlUnit, grid_record, false, false);
  build_grid(state);
}

void build_grid(RunState& state) {
  state.grid_temp(1) = state.grid_start;
  state.grid_count = kMaxGridTemps;
  for (int i = 2; i <= kMaxGridTemps; ++i) {
    state.grid_temp(i) = store_single(as_double(state.grid_temp(i - 1)) + as_double(state.grid_step));
    if (state.grid_temp(i) > state.grid_end) {
      state.grid_count = i - 1;
      return;
    }
  }
}

}  // namespace quelvar
