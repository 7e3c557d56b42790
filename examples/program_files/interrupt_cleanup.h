// What a program's run made, removed when the run ends early, so that an
// interrupt or a fatal error leaves the user's folders as they were.
//
// On SIGINT, SIGTERM, SIGHUP or SIGPIPE the folders named to
// RemoveOnInterrupt are removed with all below them; then the signal's
// default action is put back and the signal raised again, so that the
// caller (a shell, a script) sees the run was interrupted. A fatal error
// (EndFatally: memory or a thread refused) removes them too, after one line
// on standard error, and ends the process with status 1. A signal its
// parent had the program ignore stays ignored.
//
// The handler and EndFatally run on whichever thread the signal or the
// error reaches, with system calls only (no allocation, no lock, no stdio),
// so they are safe wherever they interrupt the program. The names live in
// static buffers and change only under an InterruptsHeld, which holds
// every thread's handler back: a signal that arrives meanwhile is acted on
// when the hold ends, so a run's files are never half put in place nor a
// name read half written. Set up and names: the process's main thread.
#pragma once

#include <string>

namespace program_files {

// Installs the handler for the four signals and a new-handler
// (std::set_new_handler) that ends the run as EndFatally("out of memory")
// does. `program` (a literal) starts the lines written.
void CatchInterrupts(const char* program);

// What the run is doing (a literal), for the fatal line: "<program>: <what>
// while <activity>".
void SetActivity(const char* activity);
const char* Activity();

// One line "<program>: <what> while <activity>" on standard error, the
// folders removed, status 1. Any thread, inside an allocation or under any
// lock; it waits for a hold of another thread to end. `what` stays valid.
[[noreturn]] void EndFatally(const char* what);

// Holds interrupts back while it lives (nested holds of one thread count).
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// REQUIRES: an InterruptsHeld of this thread.
// Adds `folder` to those removed (four at most); false when it cannot be
// kept (too long, or no room): it would not be removed whole.
bool RemoveOnInterrupt(const std::string& folder);
// Takes `folder` out of them (a folder the run keeps or removed itself).
void KeepOnInterrupt(const std::string& folder);

// Removes `folder` with all below it (links not followed; a file of that
// name is removed too), holding one descriptor at a time, so that a run
// out of descriptors still can; what the handler uses. False when
// something stays (true when it was gone).
bool RemoveFolder(const std::string& folder);

}  // namespace program_files
