// The console unit: the one unit bound to standard output. It takes each record's first character
// as carriage control and writes a record's line end only when the next record begins.
#pragma once

#include <cstddef>
#include <string_view>

namespace quelvar {

// A record reaches standard output in pieces of at most this many bytes; only records longer
// than this (the program writes none) have more than one piece.
inline constexpr size_t kConsoleRecordSize = 132;

inline constexpr std::string_view kConsoleName = "CON";

// Guarantees: each record reaches standard output at once, the control bytes and the text of a
// piece in one writev (a record of up to 132 characters is one writev; a first record that is
// empty writes nothing); bytes pass untranslated; no allocation. A shortfall in a record's text
// with ENOSPC or EDQUOT reports F6422 and with EACCES/EPERM F6421 (label WRITE, unit CON); any
// other shortfall (a closed pipe, no standard output), and any shortfall in the control bytes or
// in the last line end, is ignored and the run goes on. SIGPIPE is ignored from set-up on, so a
// reader that stops early (quelvar | head -1) does not kill the run.
class ConsoleUnit {
 public:
  // Every output statement on the console starts with a fresh record.
  void begin_statement();
  void put_blanks(size_t count);
  void put_bytes(const char* bytes, size_t count);
  void put_text(std::string_view text) { put_bytes(text.data(), text.size()); }
  // Completes the record: an empty record becomes a single blank, the rest is passed on, and the
  // record's own line end becomes owed.
  void end_record();
  // End-of-run action: writes the owed CR LF, if any.
  void finish_run();
  bool line_end_pending() const { return line_end_pending_; }
  size_t record_chars() const { return record_chars_; }

 private:
  void pass_on_piece();

  char buffer_[kConsoleRecordSize] = {};
  size_t used_ = 0;
  size_t record_chars_ = 0;
  bool piece_written_ = false;
  bool line_end_pending_ = false;
};

ConsoleUnit& console_unit();

// Start-up: a fresh console unit, SIGPIPE ignored, `finish_run` registered as an end action.
void setup_console_unit();

}  // namespace quelvar
