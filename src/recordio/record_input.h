// How records are recognised on input, shared by both readers: a record's data end at its first
// CR or LF, its terminator runs through the next LF, and a last record may lack its LF.
#pragma once

#include "recordio/units.h"
#include "runtime/termination.h"

namespace quelvar {

inline constexpr unsigned char kCarriageReturn = 0x0D;
inline constexpr unsigned char kLineFeed = 0x0A;
// The platform's read failed (F6500): nothing of the failed fetch is in the buffer.
inline constexpr int kReadFailed = 6500;

// Consumes the bytes of `unit` through the next line feed: the rest of the current record and its
// terminator. `mid_record` tells whether bytes of the current record have been consumed; the end
// of the file met then is the assumed line feed of a last record, so it is not the end of the
// file yet (the unit's end-of-file flag is cleared for the next statement). Returns 0, kReadFailed,
// or kEndOfFile when the file ends at a record start. Afterwards `mid_record` is false, unless the
// read failed. Scans the buffer with memchr: linear in the bytes skipped.
int skip_through_line_feed(UnitConnection& unit, bool& mid_record);

}  // namespace quelvar
