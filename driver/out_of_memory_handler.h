// The out-of-memory handler: a reserve block lets the process survive an
// allocation failure. The handler frees the reserve, has the driver server
// let go of what it can without waiting (its parked contexts, deleted at
// its next safe point, services/driver_server.h) and lets the
// allocation try again. When there is no reserve left it answers 0: the
// allocation fails (the runtime's handler raises [NOMEM], then throws
// std::bad_alloc, which a nothrow allocation answers with null) and the
// call that made it answers failure. The reserve is made again at the
// server's next safe point.
//
// Installed as the runtime's allocation-failure handler
// (std::set_new_handler) by the library's attach; removed by its detach,
// which puts back the handler that was there before (also when there was
// none).
//
// Threads: the handler runs on whatever thread failed to allocate, inside
// that allocation, under whatever locks its caller holds: it takes no lock
// and waits for nothing (the reserve is an atomic pointer; the server is
// asked through try-locks). A lock of its own (made through the services)
// guards installing and removing.
//
// Threads the library starts. The runtime's handler throws std::bad_alloc
// on whatever thread ran short, and nothing may leave a thread's procedure:
// each procedure runs through RunLibraryThread, which reports a
// std::bad_alloc that reaches it as the out-of-memory error, outside every
// error scope, through the library's error handler. The default handler
// ends the process there ("Fatal Error", status 1); after a handler that
// returns, the procedure answers kErrorNotEnoughMemory, its thread's exit
// code.
#pragma once

#include <cstddef>
#include <new>

#include "driver/stored_state.h"
#include "foundation/rw/error.h"
#include "platform/host/boundary.h"
#include "platform/host/types.h"

// The reserve of the library's attach.
inline constexpr std::size_t kOutOfMemoryReserveBytes = 1024;

// Installs the handler (once) and makes a new reserve; a non-zero `size`
// becomes the reserve's size (1024 at first). Without services nothing is
// installed.
void InstallOutOfMemoryHandler(std::size_t size);
// Puts the handler before back, frees the reserve and deletes the lock.
void RemoveOutOfMemoryHandler();
// The handler itself: 1 (try again) when it freed the reserve, 0 (the
// allocation fails) when there was none. Re-entered from an allocation of
// its own, it answers 0.
int OutOfMemoryHandler(std::size_t size);
// Makes the reserve when there is none (the server's safe-point hook).
void RestoreOutOfMemoryReserve();

// The reserve's size, and whether a reserve is held now (for tests).
std::size_t OutOfMemoryReserveSize();
bool OutOfMemoryReserveHeld();

// Raises [NOMEM] outside every scope (a thread's procedure has unwound to
// its entry) and answers kErrorNotEnoughMemory.
platform::DWORD ReportThreadOutOfMemory();

// Runs `procedure` (a callable answering a thread's exit code) as a thread
// procedure of the library; see the file comment.
template <class Procedure>
platform::DWORD RunLibraryThread(Procedure&& procedure) {
  try {
    return procedure();
  } catch (const std::bad_alloc&) {
    return ReportThreadOutOfMemory();
  }
}

// An entry point's body at the boundary with the host
// (platform/host/boundary.h), as one call of the stored state's
// (GStoreCall, driver/stored_state.h): what it answered, or `failure` with
// the last error kErrorNotEnoughMemory when memory ran out inside it,
// whether the exception reached the boundary or the body went on without
// what it could not make (a name it could not copy, a record it could not
// read): what a call answers is never made of less than it needed. Memory
// that ran out is known whatever new handler threw (RWOutOfMemoryRaised).
// A call that answers failure so has stored nothing: its changes were
// staged, and are dropped; a call whose changes the system refuses answers
// `failure` with the system's error.
template <class Result, class Body>
Result AnswerEntryPoint(Result failure, Body&& body) {
  GStoreCall call;
  bool ended = false;
  const Result result = platform::AnswerAtBoundary(failure, [&] {
    const Result answer = body();
    ended = true;
    return answer;
  });
  return call.Answer(result, failure, ended);
}
