// The run driver: the program's only control flow. Runs the phases once each, in order, on one
// RunState, and hands the exit status to the end of the run.
#pragma once

#include "driver/run_state.h"

namespace quelvar {

// Phases 1 to 6; returns 0 when every phase completed. A failure inside a phase ends the run
// from there (report and end of run) and never returns here.
int run(RunState& state);

// Start-up actions in order (floating-point environment, console unit, unit layer), then run(),
// then end_of_run with its status. Does not return.
[[noreturn]] void run_program(int argc, const char* const* argv);

// The RunState of the program, zeroed before the first phase.
RunState& program_state();

}  // namespace quelvar
