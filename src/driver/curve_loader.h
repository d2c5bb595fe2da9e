// The curve list of the control file and the curve files it names: loading, scaling and capping
// each curve at 50 points, then putting every curve into increasing temperature order.
#pragma once

#include "driver/run_state.h"

namespace quelvar {

// Phase 2: for each field record and name record pair of the control file (at most 50), loads
// the curve; sets curve_count and closes the control unit. End of file at a field record ends
// the list; anything else wrong in the control file stops the run.
void read_curve_list(RunState& state);

// Loads curve `curve` from the file named by curve_name: skips its first record, then reads
// seven-value data records (temperature third, magnetisation seventh) until end of file or 50
// points, logging each point and scaling its magnetisation by scale_factor. A data statement that
// fails on a malformed value is executed again from just after that value, without costing a
// point; a failure of the platform's read is not retried but reported (F6500), since repeating it
// would not move on.
void load_curve(RunState& state, int curve);

// Phase 3: reverses every curve whose last temperature is not at least its first (only those two
// are compared; a curve is never sorted) and logs each curve.
void order_curves(RunState& state);

}  // namespace quelvar
