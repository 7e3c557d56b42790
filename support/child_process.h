// Runs a piece of work in a child process of its own (fork), for the
// out-of-memory sweeps and the refused threads: each failed allocation is
// tried in a fresh process,
// so that what one leaves behind (a lock held, a handler called, memory
// lost) never reaches the next, and a hang or a crash is seen from the
// outside.
//
// The child's standard output goes nowhere and its standard error is kept
// for the caller; its temporary directory (TMPDIR) is a folder of its own,
// removed with whatever the child left there, however it ended; it runs the work under an alarm of
// `seconds` and ends with the work's answer (_exit: no at-exit functions of the parent's run). With
// LeakSanitizer in the program, the child's at-exit leak check is spent at its start: a process
// ended by an error handler in the middle of a call leaves its objects behind, which is no leak of
// the library's.
//
// REQUIRES: the calling process has a single thread (fork copies no other),
// and nothing the work needs from the parent is in the middle of a change.
#pragma once

#include <functional>
#include <string>

namespace support {

struct ChildResult {
  enum class End { kExited, kTimedOut, kSignalled };
  End end = End::kExited;
  int code = 0;  // the exit status, or the signal
  std::string error_output;

  // "exit N", "hung", "signal N".
  std::string Describe() const;
};

ChildResult RunInChild(const std::function<int()>& work, unsigned seconds);

// Makes the system refuse every new thread of the calling process from now
// on, as it does when a process limit is reached or no address space is
// left for a stack: the address space is limited to what the process maps
// now and half a thread's stack more (small allocations still succeed),
// and every stack the C library keeps for reuse goes to a thread that
// blocks until the process ends. Nothing undoes it: for a child's work
// only. False when the limit cannot be set or a thread is never refused.
bool RefuseNewThreads();

}  // namespace support
