// The fixed-width text field reader: the "(A30)" statement that takes the first 30 characters of
// the next record as a blank-padded text and moves on to the following record.
#pragma once

#include <cstddef>

#include "runtime/termination.h"

namespace quelvar {

inline constexpr size_t kTextFieldWidth = 30;

// Reads the next record of `unit` into the 30 bytes of `target`. Neither end of file nor errors
// are handled by the program's callers, so they are reported and end the run.
ReadOutcome read_text_field(int unit, char (&target)[kTextFieldWidth]);

}  // namespace quelvar
