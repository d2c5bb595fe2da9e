// Run-time error reports and the end of the run: the one way a run stops (a report on standard
// error, exit status 1) and the one end-of-run processing shared by completed and stopped runs.
#pragma once

#include <cstdint>
#include <string_view>

namespace quelvar {

// What a reading statement ends with: 0 success, -1 end of file, or a positive error number
// (the four digits of an F report, without the letter).
using ReadOutcome = std::int32_t;
inline constexpr ReadOutcome kReadSuccess = 0;
inline constexpr ReadOutcome kReadEndOfFile = -1;

// I/O condition numbers that mean end of file: they hand back -1, not their number.
inline constexpr int kEndOfFile = 6501;
inline constexpr int kReadAfterEndOfFile = 6405;

// The statement kind a report names, and the text that follows the number.
enum class ErrorLabel { READ, WRITE, OPEN, CLOSE, MATH, NONE };

// The fixed one-line description of an F (I/O) condition number; never empty.
std::string_view io_condition_description(int number);

// Writes one report to standard error:
//   CR LF "run-time error " letter number label-text [unit ")"] CR LF "- " description CR LF
// then ends the run with status 1. When end-of-run processing is already under way the report is
// still written, and the process ends at once with the status that processing was given: the
// remaining end-of-run actions do not run. A failure to write the report is ignored.
[[noreturn]] void report_run_error(char letter, int number, std::string_view description,
                                   ErrorLabel label, std::string_view unit_name);

// Hands an I/O condition of a reading statement back to it, or reports it and ends the run:
// with `handles_error` every condition comes back; with only `handles_end` end of file comes back;
// anything else is reported with the number's description. Returns -1 for end of file (6501,
// 6405) and the number for an error.
ReadOutcome raise_io_condition(int number, ErrorLabel label, std::string_view unit_name,
                               bool handles_end, bool handles_error);

// Adds an action to run at the end of the run; the most recently registered runs first.
// Capacity: the program registers two (console, units); a few more are allowed for tests.
using EndAction = void (*)();
inline constexpr int kMaxEndActions = 8;
void register_end_action(EndAction action);

// Runs the end-of-run actions once (most recent first) and ends the process with `status`.
// A second call while the first is under way ends the process at once.
[[noreturn]] void end_of_run(int status);

// How the process finally ends. The program uses std::exit; an in-process harness (tests, the
// whole-program fuzzer) installs one that unwinds back to itself, for instance by throwing
// RunEnded. An ender that returns is a programming error and aborts the process.
using ProcessEnder = void (*)(int status);
void set_process_ender(ProcessEnder ender);

// Thrown by the harness ender `throw_run_ended`; carries the exit status.
struct RunEnded {
  int status;
};
[[noreturn]] void throw_run_ended(int status);

// Forgets the registered actions and the under-way flag, for the next in-process run.
void reset_end_of_run();

}  // namespace quelvar
