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
//
// Guarantees:
// - Records end at LF, CR LF or a lone CR (whose record runs on, unread, through the next LF); a
//   last record without LF reads as though it had one. Every other byte is an ordinary character.
// - After success the unit is at the start of a record: the one after the record the last value
//   ended in. After an error it is just after the character that ended the failing value (after
//   the asterisk for a bad repeat count), so executing the statement again resumes there.
// - End of file sets the unit's end-of-file flag; statements on the unit then end at once with
//   -1 (F6405). A failed platform read (6500) keeps nothing of that read.
// - A run of more than 260 value characters fails with 6103 once the whole run has been consumed.
//   A quoted or parenthesised value fails with 6504 and leaves its target unchanged. A negative
//   repeat count fails with 6101.
// - Collecting and converting a value allocates nothing; time is linear in the bytes consumed,
//   and the rest of a record is skipped at memchr speed.
ReadOutcome read_free_format(int unit, std::span<float* const> targets, bool handles_end, bool handles_error);

}  // namespace quelvar
