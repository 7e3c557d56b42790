// GStoredChanges: what one call of the library writes to a printer's
// stored state (the values of its printer data and its stored default
// device mode), each kept as it was before the call's first write of it,
// so that a call that ran short of memory part way can put all of it back:
// a call that answers failure for want of memory has stored nothing.
//
// The entry points make one around every call (AnswerEntryPoint) and undo
// it once the call's exception, if any, has been caught: putting back
// needs memory, which is there again once the unwinding is over. A call
// made inside another on the same thread (a sheet's procedure inside
// PrinterProperties) hands what it kept to the outer one when it ends
// without undoing, so that the outer's failure puts that back too.
//
// Every writer of printer data and of the stored default asks first
// (KeepPrinterValue, KeepStoredDefault): a value that cannot be kept (no
// memory for its copy, a read that fails) must not be written, and the
// write fails. Without a call around it (the library used from inside,
// tests) nothing is kept and every write goes ahead.
//
// Threads: one chain per thread (a thread-local pointer to the innermost).
// An undo puts back what this call found: a value another thread wrote in
// between is overwritten, as the later of two writers' values would be.
#pragma once

#include "foundation/rw/wstring.h"
#include "platform/host/types.h"

class GStoredChanges {
 public:
  // One call's: the thread's innermost until it goes.
  GStoredChanges();
  // A keeper outside the calls (a sheet's, across the calls of its OK):
  // what a call hands it (MoveCallsInto) is put back or let go as one.
  struct Detached {};
  explicit GStoredChanges(Detached);
  // A call's hands what it kept to the outer call's, or lets it go; a
  // keeper lets it go.
  ~GStoredChanges();
  GStoredChanges(const GStoredChanges&) = delete;
  GStoredChanges& operator=(const GStoredChanges&) = delete;

  // Puts back everything kept, newest first, and forgets it; answers false
  // when something could not be put back.
  // REQUIRES: no exception is unwinding on this thread.
  bool Undo() noexcept;
  // Forgets everything kept: it stays as stored.
  void Forget() noexcept;
  // Moves what the calling thread's innermost call has kept so far into
  // `keeper`, as its newest: the call's failure no longer puts it back, the
  // keeper's Undo does.
  static void MoveCallsInto(GStoredChanges& keeper) noexcept;
  // Hands what `keeper` holds to the call around the calling thread's
  // innermost one (the call that showed the sheet), whose failure then puts
  // it back; without one, it is let go.
  static void HandToOuterCall(GStoredChanges& keeper) noexcept;

  // Before a write (or a deletion) of value `name` of `printer`'s data:
  // true when the value as it was is kept (or was kept by this call
  // already, or no call keeps anything).
  static bool KeepPrinterValue(const RWWString& printer, const char16_t* name) noexcept;
  // The same for a write through `handle`: the printer is the one the
  // handle is open on, whatever name its caller holds.
  static bool KeepPrinterValue(platform::HANDLE handle, const char16_t* name) noexcept;
  // Before the stored default device mode of the printer open as `handle`
  // is set.
  static bool KeepStoredDefault(platform::HANDLE handle) noexcept;

 private:
  struct Entry;
  static bool Keep(const RWWString* printer, const char16_t* name, bool stored_default,
                   platform::HANDLE handle) noexcept;

  // Appends `newest`'s chain (owned) before this one's entries.
  void TakeChain(Entry* newest) noexcept;

  bool in_chain_;
  GStoredChanges* outer_;
  Entry* newest_ = nullptr;  // owned; each entry owns the older ones
};
