// A run that is told to end (Ctrl-C, SIGTERM, SIGHUP) leaves nothing
// behind: the programs it started are killed with their process groups and
// its scratch folder is removed before it exits with 128 + the signal.
#pragma once

#include <string>

namespace lorvek {

// Holds SIGINT, SIGTERM and SIGHUP back in the calling thread, and so in
// every thread started after it, and starts the thread that waits for them.
// A signal the process was started with ignored (nohup) stays ignored. Call
// before any other thread is started, once.
void CleanUpOnTermination(const std::string& scratch_folder);

// Ends the process at once from any thread, leaving nothing behind as above,
// with the given exit status.
[[noreturn]] void CleanUpAndExit(int status);

// Returns unless the process is ending on a signal; then waits for that end
// (with 128 + the signal), so that a run the signal cut short (its filter
// killed) cannot exit first with a status of its own.
void WaitIfEnding();

}  // namespace lorvek
