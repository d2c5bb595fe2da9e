// The finite-difference slope table: the plain slope between consecutive points of every curve
// and the mid-point temperature of each interval, computed and logged before any interpolation.
#pragma once

#include "driver/run_state.h"

namespace quelvar {

// Phase 4. Two consecutive points with equal temperatures stop the run here (M6103, or M6101 when
// the magnetisations are equal too), before any result table is written; all intervals of a
// curve are computed before any of its lines are logged.
void difference_table(RunState& state);

}  // namespace quelvar
