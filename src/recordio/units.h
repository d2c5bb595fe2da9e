// Units and files: numbered connections to named files or devices, with 1024-byte record buffers,
// CR LF record ends, creation of missing files, cutting at the first write, and blank names
// completed from the command line or a prompt.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quelvar {

// The program's units.
inline constexpr int kControlUnit = 10;
inline constexpr int kResultUnit = 11;
inline constexpr int kCurveUnit = 12;
// The console is not in the unit table; writers name it with this number, outside the range of
// unit numbers (-32767 to 32767).
inline constexpr int kConsoleUnitNumber = -32768;

// At most 61 connected units besides the console (the table's fixed capacity).
inline constexpr int kMaxConnectedUnits = 61;
inline constexpr size_t kRecordBufferSize = 1024;
// Names are cut to their first 259 characters before blanks are trimmed.
inline constexpr size_t kMaxFileNameLength = 259;

enum class UnitKind { file, device };
enum class DeviceKind { none, console, standard_error, null_device };

struct UnitConnection {
  int number = 0;
  char name[kMaxFileNameLength + 1] = {};
  size_t name_length = 0;
  int handle = -1;
  UnitKind kind = UnitKind::file;
  DeviceKind device = DeviceKind::none;
  dev_t file_device = 0;  // the file system's identity of the file, to recognise it under
  ino_t file_inode = 0;   // another name
  unsigned char record_buffer[kRecordBufferSize] = {};
  size_t position = 0;  // index of the next byte of the buffer (read or write)
  size_t filled = 0;    // reading: number of valid bytes in the buffer
  off_t buffer_origin = 0;  // file offset of the buffer's first byte
  bool dirty = false;       // the buffer holds output not yet written to the file
  bool write_mode = false;  // the file ends at the current position; output is appended there
  bool end_reached = false;  // a read met the end of the file

  std::string_view name_text() const { return std::string_view(name, name_length); }
};

// Start-up: empty table, the command-line arguments for blank names (argv[1] first), and
// `close_all_units` registered as an end action (after the console's, so it runs before it).
void setup_units(int argc, const char* const* argv);

// Connects `unit` to the file named by `file_text`; failures report F64xx (label OPEN) and end
// the run.
void open_unit(int unit, std::string_view file_text);
// Writes what is buffered and releases the handle; the file stays. Not connected: nothing.
void close_unit(int unit);
// `close_unit` for every connected unit, in slot order (an end-of-run action).
void close_all_units();

// The connection of `unit`, or nullptr when it is not connected.
UnitConnection* connected_unit(int unit);

// Reading. The readers consume `record_buffer[position]` while position < filled; at the end of
// the buffer they call `fetch_input`, which leaves write mode (writing buffered output first) and
// reads up to 1024 bytes at the next file offset into the buffer (position 0). No bytes: the
// unit's end_reached flag is set. A failed read leaves nothing in the buffer.
enum class FetchStatus { bytes_available, end_of_file, read_failed };
FetchStatus fetch_input(UnitConnection& unit);

// Writing, for the layout-driven writer. `unit` may be kConsoleUnitNumber. A write statement
// begins with `begin_write_statement` (brings a file unit into write mode, cutting the file at the
// current position); `end_record` appends CR LF on files and completes the line on the console.
// Write failures report F6421/F6422 (label WRITE) and end the run.
void begin_write_statement(int unit);
void append_to_record(int unit, const char* characters, size_t count);
void end_record(int unit);

}  // namespace quelvar
