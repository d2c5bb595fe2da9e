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
    case ENOMEM: return 6700;
    default: return 6410;
  }
}

// A failed write or cut: a full device and a refused write stop the run; any other shortfall is
// ignored. A unit opened for reading only refuses writes with EBADF (write) or EINVAL (cut).
void judge_write_failure(int error, ErrorLabel label, std::string_view name) {
  if (error == ENOSPC || error == EDQUOT) report(6422, label, name);
  if (error == EACCES || error == EPERM || error == EBADF || error == EINVAL || error == EROFS) {
    report(6421, label, name);
  }
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
  if (write_fully(unit.handle, unit.record_buffer, count) < count) {
    judge_write_failure(errno, label, unit.name_text());
  }
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

// The printer and serial-port names have no device on this platform: opening them fails (F6412)
// rather than writing somewhere the user did not mean.
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

void open_device(int unit, const DeviceName& device, FileName name) {
  std::memcpy(name.text, device.opened_as.data(), device.opened_as.size());
  name.length = device.opened_as.size();
  name.text[name.length] = '\0';
  if (device.kind == DeviceKind::none) report(6412, ErrorLabel::OPEN, name.view());

  if (UnitSlot* existing = slot_of(unit)) {
    if (existing->connection.kind == UnitKind::device && existing->connection.device == device.kind) return;
    close_unit(unit);
  }
  UnitSlot* slot = free_slot();
  if (slot == nullptr) report(6418, ErrorLabel::OPEN, name.view());
  int handle = -1;
  switch (device.kind) {
    case DeviceKind::console: handle = standard_streams().input; break;
    case DeviceKind::standard_error: handle = standard_streams().error; break;
    case DeviceKind::null_device:
      handle = platform_calls().open("/dev/null", O_RDWR | O_CLOEXEC, 0);
      if (handle < 0) report(open_failure_number(errno), ErrorLabel::OPEN, name.view());
      break;
    case DeviceKind::none: break;
  }
  connect(*slot, unit, name, handle, UnitKind::device, device.kind);
  // Devices are never cut: they start ready for output.
  slot->connection.write_mode = true;
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

void open_unit(int unit, std::string_view file_text) {
  FileName name = trimmed_name(file_text);
  if (name.length == 0) name = ask_file_name(unit);
  if (equals_ignoring_case(name.view(), "USER")) name = trimmed_name("CON");
  if (const DeviceName* device = device_named(name.view())) {
    FileName stem = name;
    const size_t point = name.view().rfind('.');
    if (point != std::string_view::npos) stem = trimmed_name(name.view().substr(0, point));
    open_device(unit, *device, stem);
    return;
  }
  // A NUL byte would cut the name short in the platform's calls and open another file.
  if (std::memchr(name.text, '\0', name.length) != nullptr) report(6412, ErrorLabel::OPEN, name.view());

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
  UnitSlot* slot = free_slot();
  if (slot == nullptr) report(6418, ErrorLabel::OPEN, name.view());

  constexpr int kCommonFlags = O_CLOEXEC | O_NOCTTY;
  int handle = -1;
  bool created = false;
  if (!exists) {
    handle = platform_calls().open(name.text, O_RDWR | O_CREAT | O_EXCL | kCommonFlags, 0666);
    created = handle >= 0;
  } else {
    handle = platform_calls().open(name.text, O_RDWR | kCommonFlags, 0);
    if (handle < 0) handle = platform_calls().open(name.text, O_RDONLY | kCommonFlags, 0);
    if (handle < 0) handle = platform_calls().open(name.text, O_WRONLY | kCommonFlags, 0);
  }
  if (handle < 0) report(open_failure_number(errno), ErrorLabel::OPEN, name.view());

  struct stat opened_file;
  if (::fstat(handle, &opened_file) != 0 || S_ISDIR(opened_file.st_mode)) {
    platform_calls().close(handle);
    report(6414, ErrorLabel::OPEN, name.view());
  }
  connect(*slot, unit, name, handle, UnitKind::file, DeviceKind::none);
  slot->connection.file_device = opened_file.st_dev;
  slot->connection.file_inode = opened_file.st_ino;
  slot->connection.write_mode = created;
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
    if (platform_calls().close(connection.handle) != 0) {
      judge_write_failure(errno == EBADF ? EIO : errno, ErrorLabel::CLOSE, connection.name_text());
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
  if (unit.kind == UnitKind::device && unit.device != DeviceKind::console && unit.device != DeviceKind::null_device) {
    unit.end_reached = true;
    return FetchStatus::end_of_file;
  }
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
  if (connection->write_mode) return;
  // The file ends where reading stopped: everything after the current position goes.
  const off_t cut_at = connection->buffer_origin + static_cast<off_t>(connection->position);
  connection->buffer_origin = cut_at;
  connection->position = 0;
  connection->filled = 0;
  connection->dirty = false;
  connection->write_mode = true;
  if (platform_calls().ftruncate(connection->handle, cut_at) != 0) {
    judge_write_failure(errno, ErrorLabel::WRITE, connection->name_text());
  }
  platform_calls().lseek(connection->handle, cut_at, SEEK_SET);
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
}

}  // namespace quelvar
