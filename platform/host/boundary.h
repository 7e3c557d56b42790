// Where a host calls in: an export of a library, or a procedure a library
// hands the host (window, dialog, page, timer and thread procedures,
// callbacks). Nothing leaves one by an exception: the host is C, and an
// exception that unwinds into it ends it. The one exception the libraries
// meet is std::bad_alloc (memory ran short inside an error scope, or under
// an error handler that returned); at the boundary it becomes the call's
// failure answer with the last error kErrorNotEnoughMemory.
//
//   BOOL WINAPI Export(...) {
//     return platform::AnswerAtBoundary<BOOL>(0, [&] { ... });
//   }
//
// Everything the body made or took must be given back by its destructors
// as the exception unwinds (a context checked out, a lock, a record half
// written). A thread's cancellation is not caught: it unwinds on.
//
// Threads: any; the last error is the calling thread's.
#pragma once

#include <cxxabi.h>

#include "platform/host/types.h"

namespace platform {

// Inside a catch: the last error the exception being handled stands for,
// kErrorNotEnoughMemory for std::bad_alloc (noted, NoteShortage) and
// kErrorUnhandledException for anything else.
DWORD CaughtExceptionError() noexcept;

// How often the calling thread met a std::bad_alloc that became a failure's
// answer (at a boundary, or in a platform call that failed for want of
// memory). A caller that must know whether memory ran short inside a call
// compares the count before and after: this holds whatever new handler
// threw, the library's or one a host installed.
std::uint32_t ShortagesMet() noexcept;
// Counts one for the calling thread.
void NoteShortage() noexcept;

// `body()`, or `failure` with the last error CaughtExceptionError() when
// an exception leaves it.
template <class Result, class Body>
Result AnswerAtBoundary(Result failure, Body&& body) {
  try {
    return body();
  } catch (abi::__forced_unwind&) {
    throw;
  } catch (...) {
    SetLastError(CaughtExceptionError());
    return failure;
  }
}

}  // namespace platform
