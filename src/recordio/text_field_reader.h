// The fixed-width text field reader: the "(A30)" statement that takes the first 30 characters of
// the next record as a blank-padded text and moves on to the following record.
#pragma once

#include <cstddef>

#include "runtime/termination.h"

namespace quelvar {

inline constexpr size_t kTextFieldWidth = 30;

// Reads the next record of `unit` into the 30 bytes of `target`. Neither end of file nor errors
// are handled by the program's callers, so they are reported and end the run.
//
// Guarantees: bytes are copied unchanged up to the first CR or LF, at most 30, and the rest of the
// target is blanks; the unit then stands at the start of the following record (a last record
// without LF reads as though it had one). End of file at the record's first byte: F6501 (and the
// unit's end-of-file flag is set); a statement on a unit whose flag is set: F6405; a failed
// platform read: F6500. On failure the target keeps its old bytes. Allocates nothing.
ReadOutcome read_text_field(int unit, char (&target)[kTextFieldWidth]);

}  // namespace quelvar
