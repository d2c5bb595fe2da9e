#include "recordio/units.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "recordio/console_unit.h"
#include "runtime/platform.h"
#include "runtime/termination.h"

namespace quelvar {
namespace {

// A failed write, cut or close of a disk file for a reason other than a full device or a refusal.
constexpr int kWriteFailed = 6420;

struct UnitSlot {
  bool in_use = false;
  UnitConnection connection;
};

UnitSlot unit_table[kMaxConnectedUnits];

const char* const* command_arguments = nullptr;
int command_argument_count = 0;
int next_argument = 1;

// A name as the open completes it (trimmed, at most 259 characters), NUL-terminated for the
// platform's calls.
struct FileName {
  char text[kMaxFileNameLength + 1] = {};
  size_t length = 0;
  std::string_view view() const { return std::string_view(text, length); }
};

bool is_blank(char c) { return c == ' '; }

// Takes at most the first 259 characters and removes leading and trailing blanks (the blank
// character only: tabs stay, and so do blanks inside the name).
FileName trimmed_name(std::string_view text) {
  if (text.size() > kMaxFileNameLength) text = text.substr(0, kMaxFileNameLength);
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  FileName name;
  std::memcpy(name.text, text.data(), text.size());
  name.length = text.size();
  name.text[name.length] = '\0';
  return name;
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

[[noreturn]] void report(int number, ErrorLabel label, std::string_view name) {
  report_run_error('F', number, io_condition_description(number), label, name);
}

// The report number for a failed open, from the platform's errno.
int open_failure_number(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return 6416;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
    case ETXTBSY:
    case EBUSY:
    case EWOULDBLOCK: return 6414;
    case EEXIST: return 6415;
    case ENAMETOOLONG:
    case EINVAL:
    case EILSEQ:
    case ENXIO:
    case ENODEV: return 6412;
    case EMFILE:
    case ENFILE: return 6417;
    // Creating a file needs room for it: the description of a full device says what to do.
    case ENOSPC:
    case EDQUOT: return 6422;
    case ENOMEM: return 6700;
    default: return 6410;
  }
}

// Memory exhaustion is not tied to the statement: it is reported without a label or name.
[[noreturn]] void report_open_failure(int error, std::string_view name) {
  const int number = open_failure_number(error);
  report(number, number == 6700 ? ErrorLabel::NONE : ErrorLabel::OPEN, number == 6700 ? std::string_view() : name);
}

// A failed write or cut: a full device and a refused write stop the run, and so does any failure
// on a disk file; on other files (a pipe or a character device opened by name) any other
// shortfall is ignored, such as their cut (EINVAL on a handle open for writing).
void judge_write_failure(const UnitConnection& unit, int error, ErrorLabel label) {
  // The platform refuses writes on a handle opened for reading only with EBADF (write) or EINVAL
  // (cut): for a file that opened only for reading, that is the access denial of a read-only file.
  if (unit.access == UnitAccess::read_only && (error == EBADF || error == EINVAL)) error = EACCES;
  // File handles are blocking, so EAGAIN from one can only be a conflict with a mandatory lock;
  // from a device (standard error may be a non-blocking pipe) it is an ordinary shortfall.
  const bool lock_conflict = unit.kind == UnitKind::file && error == EAGAIN;
  if (error == ENOSPC || error == EDQUOT) report(6422, label, unit.name_text());
  if (error == EACCES || error == EPERM || error == EROFS || error == ETXTBSY || lock_conflict) {
    report(6421, label, unit.name_text());
  }
  // On a disk file any other failure (an I/O error, a file too large) would leave a table that is
  // short, or followed by the old file's tail, behind a run reported as complete: it stops the run.
  if (unit.regular_file && error != EINTR) report(kWriteFailed, label, unit.name_text());
}

bool is_standard_handle(const UnitConnection& unit) {
  return unit.kind == UnitKind::device &&
         (unit.device == DeviceKind::console || unit.device == DeviceKind::standard_error);
}

// Writes the buffered output bytes and empties the buffer. The buffer is emptied before a failure
// is judged, so that the end of the run does not write the same bytes again.
void write_buffered(UnitConnection& unit, ErrorLabel label) {
  if (!unit.dirty) return;
  const size_t count = unit.position;
  unit.dirty = false;
  unit.position = 0;
  unit.filled = 0;
  unit.buffer_origin += static_cast<off_t>(count);
  if (write_fully(unit.handle, unit.record_buffer, count) < count) judge_write_failure(unit, errno, label);
}

// The start of every write statement on a unit that is not yet writing: the file ends where
// reading stopped, so everything after the bytes consumed goes. A device is never cut: it only
// leaves reading.
void enter_write_mode(UnitConnection& unit) {
  if (unit.write_mode) return;
  const off_t cut_at = unit.buffer_origin + static_cast<off_t>(unit.position);
  unit.buffer_origin = cut_at;
  unit.position = 0;
  unit.filled = 0;
  unit.dirty = false;
  unit.write_mode = true;
  if (unit.kind == UnitKind::device) return;
  if (platform_calls().ftruncate(unit.handle, cut_at) != 0) judge_write_failure(unit, errno, ErrorLabel::WRITE);
  platform_calls().lseek(unit.handle, cut_at, SEEK_SET);  // fails only where there is nothing to skip (a pipe)
}

// The console hands out one line per fetch, as a terminal does, so that the bytes after that
// line stay in standard input for a later file-name prompt.
FetchStatus fetch_console_line(UnitConnection& unit) {
  while (unit.filled < kRecordBufferSize) {
    const ssize_t got = platform_calls().read(unit.handle, unit.record_buffer + unit.filled, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && unit.filled == 0) return FetchStatus::read_failed;
    if (got <= 0) break;
    if (unit.record_buffer[unit.filled++] == '\n') break;
  }
  if (unit.filled == 0) {
    unit.end_reached = true;
    return FetchStatus::end_of_file;
  }
  return FetchStatus::bytes_available;
}

UnitSlot* slot_of(int unit) {
  for (UnitSlot& slot : unit_table) {
    if (slot.in_use && slot.connection.number == unit) return &slot;
  }
  return nullptr;
}

// Reads one line from standard input (the characters before the CR LF or LF that ends it), keeps
// at most 259 of them and trims blanks. Returns false at end of input with nothing read.
bool read_answer_line(FileName& answer) {
  char line[kMaxFileNameLength];
  size_t length = 0;
  bool any_byte = false;
  for (;;) {
    char byte;
    ssize_t got = platform_calls().read(standard_streams().input, &byte, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (!any_byte) return false;
      break;
    }
    any_byte = true;
    if (byte == '\n') break;
    if (length < sizeof line) line[length++] = byte;
  }
  if (length > 0 && line[length - 1] == '\r') --length;
  answer = trimmed_name(std::string_view(line, length));
  return true;
}

void write_to_console(std::string_view text) {
  write_fully(standard_streams().output, text.data(), text.size());  // a shortfall is ignored
}

// Completes a blank name from the next command-line argument, or asks for one on the console.
FileName ask_file_name(int unit) {
  bool argument_was_blank = false;
  if (next_argument < command_argument_count) {
    FileName name = trimmed_name(command_arguments[next_argument]);
    ++next_argument;
    if (name.length > 0) return name;
    argument_was_blank = true;
  }
  if (!argument_was_blank && console_unit().line_end_pending()) write_to_console("\r\n");

  char prompt[80] = "File name missing or blank - please enter file name\r\nUNIT ";
  size_t length = std::strlen(prompt);
  char digits[8];
  size_t digit_count = 0;
  unsigned magnitude = unit < 0 ? 0u - static_cast<unsigned>(unit) : static_cast<unsigned>(unit);
  do {
    digits[digit_count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0);
  if (unit < 0) prompt[length++] = '-';
  while (digit_count > 0) prompt[length++] = digits[--digit_count];
  prompt[length++] = '?';
  prompt[length++] = ' ';

  for (;;) {
    write_to_console(std::string_view(prompt, length));
    FileName answer;
    if (!read_answer_line(answer)) report(kEndOfFile, ErrorLabel::OPEN, {});
    if (answer.length > 0) return answer;
  }
}

struct DeviceName {
  std::string_view name;
  DeviceKind kind;
  std::string_view opened_as;  // the name the device is opened under
};

// The printer and serial-port names (PRN, LPTn, COMn, AUX, LINE) denote devices this platform does
// not provide under those names: opening them fails with F6412 rather than guessing at a device
// file that may be missing, may block, or may reach hardware the user did not mean.
constexpr DeviceName kDeviceNames[] = {
    {"CON", DeviceKind::console, "CON"},   {"ERR", DeviceKind::standard_error, "ERR"},
    {"NUL", DeviceKind::null_device, "NUL"}, {"PRN", DeviceKind::none, "PRN"},
    {"COM2", DeviceKind::none, "COM2"},    {"COM3", DeviceKind::none, "COM3"},
    {"COM4", DeviceKind::none, "COM4"},    {"LPT1", DeviceKind::none, "LPT1"},
    {"LPT2", DeviceKind::none, "LPT2"},    {"LPT3", DeviceKind::none, "LPT3"},
    {"LPT4", DeviceKind::none, "LPT4"},    {"AUX", DeviceKind::none, "COM1"},
    {"COM1", DeviceKind::none, "COM1"},    {"LINE", DeviceKind::none, "COM1"},
};

// The device a name denotes, if any: the part before the last point, of 3 or 4 characters,
// equal to a device name ignoring case; with an extension, a first letter E, L or U makes it an
// ordinary file after all.
const DeviceName* device_named(std::string_view name) {
  const size_t point = name.rfind('.');
  const std::string_view stem = point == std::string_view::npos ? name : name.substr(0, point);
  if (stem.size() != 3 && stem.size() != 4) return nullptr;
  if (point != std::string_view::npos) {
    const char first = upper(stem.front());
    if (first == 'E' || first == 'L' || first == 'U') return nullptr;
  }
  for (const DeviceName& device : kDeviceNames) {
    if (equals_ignoring_case(stem, device.name)) return &device;
  }
  return nullptr;
}

UnitSlot* free_slot() {
  for (UnitSlot& slot : unit_table) {
    if (!slot.in_use) return &slot;
  }
  return nullptr;
}

void connect(UnitSlot& slot, int unit, const FileName& name, int handle, UnitKind kind, DeviceKind device) {
  slot.in_use = true;
  UnitConnection& connection = slot.connection;
  connection = UnitConnection{};
  connection.number = unit;
  std::memcpy(connection.name, name.text, name.length);
  connection.name_length = name.length;
  connection.handle = handle;
  connection.kind = kind;
  connection.device = device;
}

void open_device(int unit, const DeviceName& device) {
  const FileName name = trimmed_name(device.opened_as);
  if (device.kind == DeviceKind::none) report(6412, ErrorLabel::OPEN, name.view());
  // The console and standard error are one stream each, and like a file go to one unit at a
  // time; only the null device may be connected to several units.
  if (device.kind != DeviceKind::null_device) {
    for (const UnitSlot& slot : unit_table) {
      if (slot.in_use && slot.connection.number != unit && slot.connection.device == device.kind) {
        report(6413, ErrorLabel::OPEN, name.view());
      }
    }
  }
  if (UnitSlot* existing = slot_of(unit)) {
    if (existing->connection.kind == UnitKind::device && existing->connection.device == device.kind) return;
    close_unit(unit);
  }
  UnitSlot* slot = free_slot();
  if (slot == nullptr) report(6418, ErrorLabel::OPEN, name.view());
  int handle = -1;
  UnitAccess access = UnitAccess::read_write;
  switch (device.kind) {
    case DeviceKind::console: handle = standard_streams().input; break;
    case DeviceKind::standard_error:
      handle = standard_streams().error;
      access = UnitAccess::write_only;
      break;
    case DeviceKind::null_device:
      handle = platform_calls().open("/dev/null", O_RDWR | O_CLOEXEC, 0);
      if (handle < 0) report_open_failure(errno, name.view());
      break;
    case DeviceKind::none: break;
  }
  connect(*slot, unit, name, handle, UnitKind::device, device.kind);
  slot->connection.access = access;
  slot->connection.write_mode = true;  // nothing to cut: ready for output
}

}  // namespace

void setup_units(int argc, const char* const* argv) {
  for (UnitSlot& slot : unit_table) slot = UnitSlot{};
  command_arguments = argv;
  command_argument_count = argc;
  next_argument = 1;
  register_end_action(&close_all_units);
}

UnitConnection* connected_unit(int unit) {
  UnitSlot* slot = slot_of(unit);
  return slot == nullptr ? nullptr : &slot->connection;
}

// Opening, in order:
// 1. The name: its first 259 characters without leading and trailing blanks, asked for when
//    nothing remains. A NUL byte would cut it short in the platform's calls and open another
//    file, so it is refused.
// 2. "USER" is the console's other name.
// 3. A device name connects the device instead (open_device).
// 4. The same file already on another unit is refused, recognised by its identity on disk.
// 5. The same file already on this unit is left as it is; another file on it is closed first.
// 6. A free slot, then the file: an existing one opened as it stands (read-write, else read-only,
//    else write-only), a missing one created empty by an exclusive create.
void open_unit(int unit, std::string_view file_text) {
  FileName name = trimmed_name(file_text);
  if (name.length == 0) name = ask_file_name(unit);
  if (std::memchr(name.text, '\0', name.length) != nullptr) report(6412, ErrorLabel::OPEN, name.view());
  if (equals_ignoring_case(name.view(), "USER")) name = trimmed_name("CON");
  if (const DeviceName* device = device_named(name.view())) {
    open_device(unit, *device);
    return;
  }

  struct stat existing_file;
  const bool exists = ::stat(name.text, &existing_file) == 0;
  if (exists) {
    for (UnitSlot& slot : unit_table) {
      const UnitConnection& other = slot.connection;
      if (!slot.in_use || other.number == unit || other.kind != UnitKind::file) continue;
      if (other.file_device == existing_file.st_dev && other.file_inode == existing_file.st_ino) {
        report(6413, ErrorLabel::OPEN, name.view());
      }
    }
  }
  if (UnitSlot* current = slot_of(unit)) {
    const UnitConnection& connection = current->connection;
    if (exists && connection.kind == UnitKind::file && connection.file_device == existing_file.st_dev &&
        connection.file_inode == existing_file.st_ino) {
      return;
    }
    close_unit(unit);
  }
  // Checked before anything is created, so that a refused open leaves no empty file behind.
  UnitSlot* slot = free_slot();
  if (slot == nullptr) report(6418, ErrorLabel::OPEN, name.view());

  constexpr int kCommonFlags = O_CLOEXEC | O_NOCTTY;
  int handle = -1;
  UnitAccess access = UnitAccess::read_write;
  if (!exists) {
    handle = platform_calls().open(name.text, O_RDWR | O_CREAT | O_EXCL | kCommonFlags, 0666);
  } else {
    handle = platform_calls().open(name.text, O_RDWR | kCommonFlags, 0);
    if (handle < 0) {
      access = UnitAccess::read_only;
      handle = platform_calls().open(name.text, O_RDONLY | kCommonFlags, 0);
    }
    if (handle < 0) {
      access = UnitAccess::write_only;
      handle = platform_calls().open(name.text, O_WRONLY | kCommonFlags, 0);
    }
  }
  if (handle < 0) report_open_failure(errno, name.view());

  struct stat opened_file;
  if (::fstat(handle, &opened_file) != 0 || S_ISDIR(opened_file.st_mode)) {
    platform_calls().close(handle);
    report(6414, ErrorLabel::OPEN, name.view());
  }
  connect(*slot, unit, name, handle, UnitKind::file, DeviceKind::none);
  slot->connection.file_device = opened_file.st_dev;
  slot->connection.file_inode = opened_file.st_ino;
  slot->connection.access = access;
  slot->connection.regular_file = S_ISREG(opened_file.st_mode);
  slot->connection.write_mode = !exists;  // a file just created is empty: nothing to cut
}

void close_unit(int unit) {
  UnitSlot* slot = slot_of(unit);
  if (slot == nullptr) return;
  UnitConnection& connection = slot->connection;
  if (connection.device == DeviceKind::console && console_unit().record_chars() > 0) {
    console_unit().end_record();
  }
  write_buffered(connection, ErrorLabel::CLOSE);
  // The slot is freed before the handle is released, so a failure reported by close does not
  // make the end of the run close it again.
  slot->in_use = false;
  if (!is_standard_handle(connection) && connection.handle >= 0) {
    // Some file systems report a failed write-back only at the close. For a unit that was only
    // read nothing can be lost, so its close failure is of no consequence.
    if (platform_calls().close(connection.handle) != 0 && connection.write_mode) {
      judge_write_failure(connection, errno == EBADF ? EIO : errno, ErrorLabel::CLOSE);
    }
  }
}

void close_all_units() {
  for (UnitSlot& slot : unit_table) {
    if (slot.in_use) close_unit(slot.connection.number);
  }
}

FetchStatus fetch_input(UnitConnection& unit) {
  if (unit.write_mode) {
    write_buffered(unit, ErrorLabel::READ);
    unit.write_mode = false;
  }
  unit.buffer_origin += static_cast<off_t>(unit.filled);
  unit.position = 0;
  unit.filled = 0;
  if (unit.device == DeviceKind::standard_error) {
    unit.end_reached = true;
    return FetchStatus::end_of_file;
  }
  if (unit.device == DeviceKind::console) return fetch_console_line(unit);
  for (;;) {
    ssize_t got = platform_calls().read(unit.handle, unit.record_buffer, kRecordBufferSize);
    if (got < 0) {
      if (errno == EINTR) continue;
      return FetchStatus::read_failed;
    }
    if (got == 0) {
      unit.end_reached = true;
      return FetchStatus::end_of_file;
    }
    unit.filled = static_cast<size_t>(got);
    return FetchStatus::bytes_available;
  }
}

void begin_write_statement(int unit) {
  if (unit == kConsoleUnitNumber) {
    console_unit().begin_statement();
    return;
  }
  UnitConnection* connection = connected_unit(unit);
  if (connection == nullptr) return;
  if (connection->device == DeviceKind::console) {
    if (console_unit().record_chars() == 0) console_unit().begin_statement();
    return;
  }
  enter_write_mode(*connection);
}

void append_to_record(int unit, const char* characters, size_t count) {
  if (unit == kConsoleUnitNumber) {
    console_unit().put_bytes(characters, count);
    return;
  }
  UnitConnection* connection = connected_unit(unit);
  if (connection == nullptr) return;
  if (connection->device == DeviceKind::console) {
    console_unit().put_bytes(characters, count);
    return;
  }
  enter_write_mode(*connection);
  while (count > 0) {
    if (connection->position == kRecordBufferSize) write_buffered(*connection, ErrorLabel::WRITE);
    size_t room = kRecordBufferSize - connection->position;
    size_t take = count < room ? count : room;
    std::memcpy(connection->record_buffer + connection->position, characters, take);
    connection->position += take;
    connection->dirty = true;
    characters += take;
    count -= take;
  }
}

void end_record(int unit) {
  if (unit == kConsoleUnitNumber) {
    console_unit().end_record();
    return;
  }
  UnitConnection* connection = connected_unit(unit);
  if (connection == nullptr) return;
  if (connection->device == DeviceKind::console) {
    console_unit().end_record();
    return;
  }
  append_to_record(unit, "\r\n", 2);
  // Standard error and the null device are not files: a record goes out when it ends.
  if (connection->kind == UnitKind::device) write_buffered(*connection, ErrorLabel::WRITE);
}

}  // namespace quelvar
