// The free-format reader: value-reading statements that take one value per single-precision
// target from a unit's records, with blanks, commas and slashes, null values and repeat counts.
#pragma once

#include <span>

#include "runtime/termination.h"

namespace quelvar {

// Executes one statement on the connected `unit`. Targets are assigned in order, each as soon as
// its value is converted; on failure the target being served and later ones keep their values.
// Returns 0, -1 (end of file) or an error number; conditions the caller does not handle are
// reported and end the run.
ReadOutcome read_free_format(int unit, std::span<float* const> targets, bool handles_end, bool handles_error);

}  // namespace quelvar
