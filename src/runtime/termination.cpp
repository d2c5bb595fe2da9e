#include "runtime/termination.h"

#include <cstdio>
#include <cstdlib>

#include "runtime/platform.h"

namespace quelvar {
namespace {

EndAction end_actions[kMaxEndActions];
int end_action_count = 0;
bool end_of_run_under_way = false;
int end_of_run_status = 0;

[[noreturn]] void exit_process(int status) { std::exit(status); }
ProcessEnder process_ender = &exit_process;

[[noreturn]] void end_process(int status) {
  process_ender(status);
  std::abort();  // an ender must not return
}

struct NumberedDescription {
  int number;
  std::string_view text;
};

// Descriptions are shown to users: each says what went wrong and, where it helps, what to check.
constexpr NumberedDescription kDescriptions[] = {
    {6100, "repeat count in a value list is larger than 2147483647"},
    {6101, "repeat count in a value list is not a whole number (the text before * must be digits)"},
    {6102, "number is beyond the range of double precision"},
    {6103, "malformed number: expected a value such as 300.5, -2 or 1.5E-3; check this record"},
    {6104, "number is too large for single precision (magnitude above 3.4028235E38)"},
    {6302, "repeat count in a value list has a second #"},
    {6303, "repeat count in a value list has a base outside 2 to 36"},
    {6405, "read after end of file: this file has already been read to its end"},
    {6410, "file cannot be opened: the system refused it for an unlisted reason"},
    {6412, "file name is not acceptable on this system (too long, or a device this system lacks)"},
    {6413, "file is already connected to another unit (the same file under two names?)"},
    {6414, "access denied: check the file's permissions, or whether the name is a directory"},
    {6415, "file appeared while it was being created; run again"},
    {6416, "a directory in the file name does not exist; check the path"},
    {6417, "too many files are open"},
    {6418, "too many units connected at once (at most 61)"},
    {6420, "the system failed to write the file (a disk or network error); it may be incomplete"},
    {6421, "write refused: the file is read-only or locked"},
    {6422, "no space left on the device"},
    {6500, "the system failed to read the file"},
    {6501, "end of file: a record is missing; check that the file holds every record it should"},
    {6502, "repeat count of zero (or a bare *) in a value list"},
    {6503, "a value list has a second * in one value"},
    {6504, "quoted or parenthesised text where a number is expected"},
    {6700, "out of memory: the system could not provide the memory a unit needs"},
};

char digit_char(int digit) { return static_cast<char>('0' + digit); }

}  // namespace

std::string_view io_condition_description(int number) {
  for (const NumberedDescription& entry : kDescriptions) {
    if (entry.number == number) return entry.text;
  }
  return "input/output error";
}

void report_run_error(char letter, int number, std::string_view description, ErrorLabel label,
                      std::string_view unit_name) {
  // The longest report: 2 + 15 + 5 + 8 + unit name (at most 259) + 5 + description + 2 bytes.
  char report[1024];
  size_t length = 0;
  auto append = [&](std::string_view text) {
    for (char c : text) {
      if (length < sizeof report) report[length++] = c;
    }
  };
  append("\r\nrun-time error ");
  const char number_text[] = {letter, digit_char(number / 1000 % 10), digit_char(number / 100 % 10),
                              digit_char(number / 10 % 10), digit_char(number % 10)};
  append(std::string_view(number_text, sizeof number_text));
  switch (label) {
    case ErrorLabel::READ: append(": READ("); break;
    case ErrorLabel::WRITE: append(": WRITE("); break;
    case ErrorLabel::OPEN: append(": OPEN("); break;
    case ErrorLabel::CLOSE: append(": CLOSE("); break;
    case ErrorLabel::MATH: append(": MATH"); break;
    case ErrorLabel::NONE: break;
  }
  if (label != ErrorLabel::MATH && label != ErrorLabel::NONE) {
    append(unit_name);
    append(")");
  }
  append("\r\n- ");
  append(description);
  append("\r\n");
  write_fully(standard_streams().error, report, length);  // a failed report is ignored

  if (end_of_run_under_way) end_process(end_of_run_status);
  end_of_run(1);
}

ReadOutcome raise_io_condition(int number, ErrorLabel label, std::string_view unit_name,
                               bool handles_end, bool handles_error) {
  const bool end_of_file = number == kEndOfFile || number == kReadAfterEndOfFile;
  const ReadOutcome outcome = end_of_file ? kReadEndOfFile : number;
  if (handles_error) return outcome;
  if (end_of_file && handles_end) return outcome;
  report_run_error('F', number, io_condition_description(number), label, unit_name);
}

void register_end_action(EndAction action) {
  if (end_action_count == kMaxEndActions) {
    report_run_error('F', 6700, io_condition_description(6700), ErrorLabel::NONE, {});
  }
  end_actions[end_action_count++] = action;
}

void end_of_run(int status) {
  if (end_of_run_under_way) end_process(end_of_run_status);
  end_of_run_under_way = true;
  end_of_run_status = status;
  // Each action is removed before it runs, so none runs twice even if it reports.
  while (end_action_count > 0) {
    EndAction action = end_actions[--end_action_count];
    action();
  }
  end_process(status);
}

void set_process_ender(ProcessEnder ender) { process_ender = ender; }

void throw_run_ended(int status) { throw RunEnded{status}; }

void reset_end_of_run() {
  end_action_count = 0;
  end_of_run_under_way = false;
  end_of_run_status = 0;
}

}  // namespace quelvar
