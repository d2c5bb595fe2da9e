#include "recordio/record_input.h"

#include <cstring>

namespace quelvar {

int skip_through_line_feed(UnitConnection& unit, bool& mid_record) {
  for (;;) {
    if (unit.position == unit.filled) {
      const FetchStatus status = fetch_input(unit);
      if (status == FetchStatus::read_failed) return kReadFailed;
      if (status == FetchStatus::end_of_file) {
        if (!mid_record) return kEndOfFile;
        unit.end_reached = false;
        mid_record = false;
        return 0;
      }
    }
    const unsigned char* start = unit.record_buffer + unit.position;
    const size_t available = unit.filled - unit.position;
    const void* line_feed = std::memchr(start, kLineFeed, available);
    if (line_feed != nullptr) {
      unit.position += static_cast<size_t>(static_cast<const unsigned char*>(line_feed) - start) + 1;
      mid_record = false;
      return 0;
    }
    unit.position = unit.filled;
    mid_record = true;
  }
}

}  // namespace quelvar
