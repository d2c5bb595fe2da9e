// The control file "Quelvar.inp": the divisor and grid records, and the temperature grid built
// from them. The curve list that follows in the file is walked by the curve loader.
#pragma once

#include "driver/run_state.h"

namespace quelvar {

inline constexpr char kControlFileName[] = "Quelvar.inp";

// Phase 1: opens the control file on the control unit, reads its divisor record and its grid
// record, and builds the grid. The control unit stays open, positioned at the curve list.
void read_grid(RunState& state);

// Builds grid_temp and grid_count from grid_start, grid_step and grid_end: each temperature is the
// previous stored one plus the step, rounded to single precision before it is compared with
// grid_end (strictly greater ends the grid). grid_start is always the first temperature; a step
// that never passes grid_end gives 100 temperatures.
void build_grid(RunState& state);

}  // namespace quelvar
