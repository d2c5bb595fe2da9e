// Units and files: numbered connections to named files or devices, with 1024-byte record
// buffers, CR LF record ends, and blank names completed from the command line or a prompt.
//
// Guarantees:
// - No allocation: the 61 connections and their buffers live in a fixed table.
// - Files are raw bytes (no translation), opened shared (no locks); a missing file is created
//   empty by an exclusive create; an existing one is cut only by the first write statement, at the
//   position reading had reached.
// - Every failure is a numbered report that ends the run, never a crash. Open (label OPEN):
//   F6412 name not acceptable (too long, contains a NUL byte, or a printer/serial device, which
//   this platform does not provide), F6413 file already on another unit, F6414 access denied or
//   a directory, F6415 created meanwhile by someone else, F6416 missing directory, F6417 too many
//   open files, F6418 all 61 slots taken (checked before any file is created), F6422 no space to
//   create the file, F6501 end of standard input while a blank name is asked for, F6700 no memory
//   (without a label), F6410 any other cause. Writing, cutting and closing a written file (label
//   WRITE, or CLOSE at a close): F6422 no space, F6421 write refused (read-only handle,
//   permission, lock), F6420 any other failure on a disk file; on a pipe or a device any other
//   shortfall is ignored.
// - Device names (CON, ERR, NUL; "USER" is CON) are never created or cut. CON reads standard
//   input one line per fetch and writes through the console unit; ERR writes standard error and
//   reads nothing; NUL discards writes and reads nothing. A device record goes out when it ends.
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
// How the handle was opened: read-write when the platform allows it, else read-only, else
// write-only. A read-only handle is what makes the first write statement fail with F6421.
enum class UnitAccess { read_write, read_only, write_only };

struct UnitConnection {
  int number = 0;
  char name[kMaxFileNameLength + 1] = {};
  size_t name_length = 0;
  int handle = -1;
  UnitKind kind = UnitKind::file;
  DeviceKind device = DeviceKind::none;
  UnitAccess access = UnitAccess::read_write;
  dev_t file_device = 0;  // the file system's identity of the file, to recognise it under
  ino_t file_inode = 0;   // another name
  unsigned char record_buffer[kRecordBufferSize] = {};
  size_t position = 0;  // index of the next byte of the buffer (read or write)
  size_t filled = 0;    // reading: number of valid bytes in the buffer
  off_t buffer_origin = 0;  // file offset of the buffer's first byte
  bool dirty = false;       // the buffer holds output not yet written to the file
  bool write_mode = false;  // the file ends at the current position; output is appended there
  bool end_reached = false;  // a read met the end of the file
  bool regular_file = false;  // a disk file: a failed write or cut there loses data

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
// reads up to 1024 bytes at the next file offset into the buffer (position 0; the console device
// stops after a line's LF). No bytes: the unit's end_reached flag is set. A failed read leaves
// nothing in the buffer.
enum class FetchStatus { bytes_available, end_of_file, read_failed };
FetchStatus fetch_input(UnitConnection& unit);

// Writing, for the layout-driven writer. `unit` may be kConsoleUnitNumber. A write statement
// begins with `begin_write_statement` (brings a file unit into write mode, cutting the file at the
// current position; `append_to_record` does the same if a writer forgets); `end_record` appends
// CR LF on files and completes the line on the console. Writing to a unit that is not connected
// does nothing. Write failures report F6421/F6422 (label WRITE) and end the run.
void begin_write_statement(int unit);
void append_to_record(int unit, const char* characters, size_t count);
void end_record(int unit);

}  // namespace quelvar
