// The result table "Quelvar.dat": a header record of field values, then one record per grid
// temperature holding the negated cumulative field integral of every curve.
#pragma once

#include "driver/run_state.h"

namespace quelvar {

inline constexpr char kResultFileName[] = "Quelvar.dat";

// Phase 6: opens the result unit, writes the header and the data records, closes it. An existing
// file is replaced completely at the first write; values too large for a field show asterisks.
void write_result_table(const RunState& state);

}  // namespace quelvar
