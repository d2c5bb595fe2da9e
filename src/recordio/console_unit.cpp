#include "recordio/console_unit.h"

#include <sys/uio.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "runtime/platform.h"
#include "runtime/termination.h"

namespace quelvar {
namespace {

ConsoleUnit the_console;

constexpr char kLineEnd[] = {'\r', '\n'};

// Writes the control bytes and then the text, with one writev unless standard output takes fewer
// bytes. A shortfall in the control bytes is ignored (the text is still written); returns false,
// with errno set, only when the text came up short.
bool write_piece(const char* control, size_t control_length, const char* text, size_t text_length) {
  iovec pieces[2] = {{const_cast<char*>(control), control_length}, {const_cast<char*>(text), text_length}};
  int first = control_length == 0 ? 1 : 0;
  while (first < 2) {
    if (pieces[first].iov_len == 0) {
      ++first;
      continue;
    }
    ssize_t written = platform_calls().writev(standard_streams().output, pieces + first, 2 - first);
    if (written <= 0) {
      if (written < 0 && errno == EINTR) continue;
      if (written == 0) errno = EIO;
      if (first == 1) return false;
      first = 1;  // the control bytes are given up; the text still goes out
      continue;
    }
    size_t advance = static_cast<size_t>(written);
    while (first < 2 && advance >= pieces[first].iov_len) {
      advance -= pieces[first].iov_len;
      ++first;
    }
    if (first < 2) {
      pieces[first].iov_base = static_cast<char*>(pieces[first].iov_base) + advance;
      pieces[first].iov_len -= advance;
    }
  }
  return true;
}

// A shortfall in the record's text: a full device (or an exhausted quota, the same condition for
// the user) or a refused write stops the run; anything else (a reader that closed its pipe, no
// standard output at all, a non-blocking pipe that is full) is ignored.
void judge_shortfall(int error) {
  if (error == ENOSPC || error == EDQUOT) {
    report_run_error('F', 6422, io_condition_description(6422), ErrorLabel::WRITE, kConsoleName);
  }
  if (error == EACCES || error == EPERM) {
    report_run_error('F', 6421, io_condition_description(6421), ErrorLabel::WRITE, kConsoleName);
  }
}

}  // namespace

ConsoleUnit& console_unit() { return the_console; }

void setup_console_unit() {
  the_console = ConsoleUnit{};
  std::signal(SIGPIPE, SIG_IGN);
  register_end_action([] { the_console.finish_run(); });
}

void ConsoleUnit::begin_statement() {
  used_ = 0;
  record_chars_ = 0;
  piece_written_ = false;
}

void ConsoleUnit::put_blanks(size_t count) {
  record_chars_ += count;
  while (count > 0) {
    if (used_ == kConsoleRecordSize) pass_on_piece();
    size_t take = kConsoleRecordSize - used_ < count ? kConsoleRecordSize - used_ : count;
    std::memset(buffer_ + used_, ' ', take);
    used_ += take;
    count -= take;
  }
}

void ConsoleUnit::put_bytes(const char* bytes, size_t count) {
  record_chars_ += count;
  while (count > 0) {
    if (used_ == kConsoleRecordSize) pass_on_piece();
    size_t take = kConsoleRecordSize - used_ < count ? kConsoleRecordSize - used_ : count;
    std::memcpy(buffer_ + used_, bytes, take);
    used_ += take;
    bytes += take;
    count -= take;
  }
}

void ConsoleUnit::end_record() {
  if (record_chars_ == 0) put_blanks(1);
  pass_on_piece();
  line_end_pending_ = true;
  piece_written_ = false;
  used_ = 0;
  record_chars_ = 0;
}

void ConsoleUnit::pass_on_piece() {
  const char* text = buffer_;
  size_t text_length = used_;
  const char* control = nullptr;
  size_t control_length = 0;
  if (!piece_written_ && text_length > 0) {
    static constexpr char kAdvanceTwo[] = {'\r', '\n', '\r', '\n'};
    static constexpr char kNewPage[] = {'\r', '\n', '\f', '\r', ' ', '\r'};
    static constexpr char kOverprint[] = {'\r'};
    switch (text[0]) {
      case '0':
        control = kAdvanceTwo + (line_end_pending_ ? 0 : 2);
        control_length = line_end_pending_ ? 4 : 2;
        break;
      case '1':
        control = kNewPage;
        control_length = sizeof kNewPage;
        break;
      case '+':
        control = kOverprint;
        control_length = 1;
        break;
      default:
        control = kLineEnd;
        control_length = line_end_pending_ ? 2 : 0;
        break;
    }
    ++text;
    --text_length;
    piece_written_ = true;
  }
  // Keep the buffer's accounting right before a report can end the run.
  used_ = 0;
  if (!write_piece(control, control_length, text, text_length)) judge_shortfall(errno);
}

void ConsoleUnit::finish_run() {
  if (!line_end_pending_) return;
  line_end_pending_ = false;
  write_fully(standard_streams().output, kLineEnd, sizeof kLineEnd);  // a shortfall is ignored
}

}  // namespace quelvar
