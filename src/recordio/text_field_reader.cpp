#include "recordio/text_field_reader.h"

#include <cstring>

#include "recordio/record_input.h"
#include "recordio/units.h"

namespace quelvar {

ReadOutcome read_text_field(int unit, char (&target)[kTextFieldWidth]) {
  // The program's text statements take over neither end of file nor errors.
  constexpr bool kHandlesEnd = false;
  constexpr bool kHandlesError = false;
  UnitConnection* connection = connected_unit(unit);
  if (connection == nullptr) return raise_io_condition(kEndOfFile, ErrorLabel::READ, {}, kHandlesEnd, kHandlesError);
  UnitConnection& input = *connection;
  const auto fail = [&](int number) {
    return raise_io_condition(number, ErrorLabel::READ, input.name_text(), kHandlesEnd, kHandlesError);
  };
  if (input.end_reached) return fail(kReadAfterEndOfFile);

  // Step 1: up to 30 bytes; a record end stops the field and stays unread. The field is
  // assembled aside so that a failed statement leaves the target as it was.
  char field[kTextFieldWidth];
  size_t count = 0;
  // Whether bytes of the current record have been consumed: the end of the file met then is the
  // end of a last record without line feed, not the end of the file.
  bool mid_record = false;
  bool record_ended_by_file_end = false;
  while (count < kTextFieldWidth) {
    if (input.position == input.filled) {
      const FetchStatus status = fetch_input(input);
      if (status == FetchStatus::read_failed) return fail(kReadFailed);
      if (status == FetchStatus::end_of_file) {
        if (!mid_record) return fail(kEndOfFile);
        input.end_reached = false;
        record_ended_by_file_end = true;
        break;
      }
    }
    const unsigned char c = input.record_buffer[input.position];
    if (c == kCarriageReturn || c == kLineFeed) break;
    field[count++] = static_cast<char>(c);
    ++input.position;
    mid_record = true;
  }

  // Step 3: the rest of the record goes, through its terminator. At least the record's first byte
  // was met here, so the end of the file is the assumed line feed of a last record.
  bool in_record = true;
  if (!record_ended_by_file_end && skip_through_line_feed(input, in_record) == kReadFailed) {
    return fail(kReadFailed);
  }

  // Step 2: blank padding.
  std::memcpy(target, field, count);
  std::memset(target + count, ' ', kTextFieldWidth - count);
  return kReadSuccess;
}

}  // namespace quelvar
