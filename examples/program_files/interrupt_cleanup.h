// A program's folders removed when it is interrupted: on SIGINT or SIGTERM
// the folders last named to RemoveOnInterrupt are removed, with all below
// them, and the process ends with status 128 + the signal.
//
// The handler runs on whichever thread the signal reaches, with direct
// system calls only (no allocation, no lock, no stdio), so it is safe
// wherever it interrupts the program. The names live in static buffers;
// change them only with the signals blocked (BlockInterrupts), so that a
// handler never reads a name half written. The process's main thread
// only.
#pragma once

#include <string>

namespace program_files {

// SIGINT and SIGTERM held (`blocked`) or let through in the calling thread;
// threads it starts meanwhile inherit the mask. One held arrives when let
// through.
void BlockInterrupts(bool blocked);

// REQUIRES: BlockInterrupts(true) in force.
// The folders the handler removes (empty names: none), the handler
// installed on the first call. A name longer than the buffer is not kept
// (it could not be removed whole); false then.
bool RemoveOnInterrupt(const std::string& first, const std::string& second = "");

}  // namespace program_files
