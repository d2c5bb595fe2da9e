#include "driver/run_driver.h"

#include "recordio/console_unit.h"
#include "recordio/units.h"
#include "runtime/float_environment.h"
#include "runtime/termination.h"

namespace quelvar {

int run(RunState& state) {
  (void)state;
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
