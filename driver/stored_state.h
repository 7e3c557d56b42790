// The printers' stored state and the transactions that change it.
//
// What a printer keeps between calls is its printer data, its stored
// default device mode, the forms of its server, and the registry values
// the driver keeps beside them (the pools under pseudo names, the strings
// under the printer's key, the registry agent's values). The driver reads
// and changes them only through GStoredState, the door: it mirrors the
// system's calls, but a change it is given is staged in the calling
// thread's transaction (GStoreTransaction) instead of made, and every read
// through it sees the thread's staged changes first. Nobody else sees them
// until the transaction commits.
//
// The commit (GStoreTransaction::Commit):
//   1. reads what each changed thing holds now, the before-image (memory
//      allowed: a shortage here fails the call with nothing written);
//   2. takes the stored state's lock (StoredStateLock), checks that
//      nothing changed since step 1 (else back to 1), and that each thing
//      the transaction read before it changed it still holds what was
//      read (else nothing is written: the later writer's value stays, a
//      conflict);
//   3. makes the changes in order (stored defaults last: the system cannot
//      take one away again), allocating nothing of the process's own; a
//      change the system refuses takes back those already made, from the
//      before-images, under the same lock, and the transaction answers the
//      system's error;
//   4. lets the lock go.
// A take-back the system refuses is tried again, and what it still
// refuses stays pending: reads through the door answer the thing as the
// commit found it, every later call through the door tries the take-back
// first, and no commit writes a printer's things over one pending
// (stored_state_takeback.cpp).
// A call that fails discards its transaction: nothing of it reaches the
// store, so nothing of it has to be put back, and no put-back can
// overwrite what another call stored in between.
//
// Who makes transactions. Each entry point (AnswerEntryPoint) runs in a
// call (GStoreCall), which makes the thread's transaction or joins the one
// a call around it made; the outermost commits at its end when memory did
// not run short in it, else discards. A sheet keeps a user-confirmed
// transaction of its own across its pages' applies (attached to the
// thread for each) and commits it at the last one: what the user
// confirmed is stored whatever was stored since the sheet read it, the
// last writer's value. Outside any call (the library used from inside,
// tests) each change the door is given is a transaction of its own, and
// each chunked value the services write is one.
//
// A death of the process between two writes of a commit (the system may
// still end it there; the library's own fatal end cannot come, as the
// commit allocates nothing) leaves the writes before it: each value reads
// as it was or as the call left it, a chunked value as before, absent or
// as after (its writer deletes the count before it writes the chunks and
// writes the count last). docs/notes/stored-state.md says more.
//
// Threads: a transaction is used by one thread at a time (attached ones by
// the thread they are attached to); the door may be called from any.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "foundation/rw/wstring.h"
#include "platform/host/spooler.h"
#include "platform/host/types.h"

class GStoreTransaction {
 public:
  enum class Mode {
    kCall,           // checks at its commit what it read before it changed
    kUserConfirmed,  // the user's OK: the last writer's value
  };
  enum class Outcome {
    kNothing,   // nothing staged
    kStored,    // every change made
    kConflict,  // something read had changed since: nothing written
    kRefused,   // the system refused a change: nothing left written (Error())
  };

  // Detached: not the thread's until Attach.
  explicit GStoreTransaction(Mode mode = Mode::kCall);
  // Discards what is staged; detaches.
  ~GStoreTransaction();
  GStoreTransaction(const GStoreTransaction&) = delete;
  GStoreTransaction& operator=(const GStoreTransaction&) = delete;

  // Makes this the calling thread's transaction, in front of the one it
  // had (whose staged changes its reads still see).
  // REQUIRES: not attached.
  void Attach() noexcept;
  // REQUIRES: attached, the thread's innermost.
  void Detach() noexcept;
  bool Attached() const { return attached_; }

  // See the file comment. Whatever the outcome, nothing stays staged.
  // REQUIRES: no exception is unwinding (step 1 may allocate).
  Outcome Commit() noexcept;
  void Discard() noexcept;
  bool Empty() const;
  // The system's error of the last refused commit.
  platform::DWORD Error() const { return error_; }

  // Commits `calls` (a call's, checked for what it read; may be null) and
  // then `confirmed` (a user's OK, the last writer's value; may be null) in
  // one commit: a conflict drops the calls' part and the OK goes on; an OK
  // that the system refuses is taken back whole and the calls' part is
  // stored alone, as a cancelled OK would leave it; the calls' part
  // refused takes the OK with it. Each part's outcome.
  struct Outcomes {
    Outcome calls = Outcome::kNothing;
    Outcome confirmed = Outcome::kNothing;
  };
  static Outcomes CommitParts(GStoreTransaction* calls, GStoreTransaction* confirmed) noexcept;

  // The calling thread's innermost transaction, or null.
  static GStoreTransaction* Current() noexcept;
  // Tries again what refused commits left to take back (each call through
  // the door does, and the library's unload, its last chance in the
  // process); true when nothing is left pending.
  static bool FinishTakeBacks() noexcept;
  // The lock of every commit, and of every read of a chunked value (the
  // process's: printer data is). Never held while waiting for anything
  // but the system's calls.
  static std::recursive_mutex& StoredStateLock();

  // ---- The door's and the commit's own (stored_state*.cpp), not for
  // callers: their records are in stored_state_internal.h.
  struct Change;
  struct Printer;

  // The printer a handle opens, found once a transaction (null when the
  // handle opens none).
  Printer* Resolve(platform::HANDLE handle);
  // 0 when the handle may change the printer (the system's answer, kept
  // once given), else kErrorAccessDenied or the error the system could not
  // tell for.
  platform::DWORD WriteRight(Printer& printer);
  // The printer's level 2 record as read once; null when it cannot be.
  const platform::BYTE* RecordOf(Printer& printer);
  // Closes `handle` once no transaction of the thread makes a change
  // through it: at once, or when the last of them ends.
  static platform::BOOL CloseWhenDone(platform::HANDLE handle) noexcept;
  // Notes what a read met of a thing, before the transaction changed it.
  void NoteRead(std::uint64_t item, std::uint64_t value);
  const std::uint64_t* ReadOf(std::uint64_t item) const;
  void Stage(Change&& change);
  std::size_t Mark() const;
  void RollBackTo(std::size_t mark);
  GStoreTransaction* Outer() const { return outer_; }
  // Whether an entry point's call (GStoreCall) holds it.
  bool InCall() const { return mode_ == Mode::kCall && calls_ != 0; }
  const std::vector<Change>& Changes() const { return changes_; }

 private:
  friend class GStoreCall;
  class CommitRun;

  Mode mode_;
  bool attached_ = false;
  GStoreTransaction* outer_ = nullptr;  // the thread's innermost before Attach
  std::vector<Change> changes_;         // in order
  std::vector<std::uint64_t> reads_;    // item, value pairs
  std::vector<Printer> printers_;
  std::vector<platform::HANDLE> owned_;  // closed when it ends (CloseWhenDone)
  platform::DWORD error_ = 0;

  // Kept by the call that owns it (GStoreCall).
  // A call failed (Fail): what it staged since is discarded, and it
  // answers failure with `failure_error_`, unless something of it stood.
  void Fail(platform::DWORD error) noexcept;
  int calls_ = 0;                    // calls joined, the owner's included
  std::uint32_t shortage_mark_ = 0;  // RWOutOfMemoryRaised() at its start or last finish
  bool failed_ = false;              // a call in it failed, or a finish was refused or short
  platform::DWORD failure_error_ = 0;
  bool conflicted_ = false;       // a finish met a conflict
  bool confirmed_ = false;        // a user's OK was committed in it
  bool stored_ = false;           // a finish stored changes
  platform::DWORD ok_error_ = 0;  // a user's OK refused in it (RefusedOk)
};

// An entry point's call: the thread's transaction, made when it has none
// and joined otherwise. The outermost call finishes it (FinishOutermost,
// Answer).
class GStoreCall {
 public:
  GStoreCall();
  // An owned transaction that was not finished is discarded.
  ~GStoreCall();
  GStoreCall(const GStoreCall&) = delete;
  GStoreCall& operator=(const GStoreCall&) = delete;

  // The answer of an entry point whose body answered `result` (`ended`:
  // it returned; else an exception reached its boundary, which answered
  // `failure` and set the last error). A call fails when an exception ends
  // it, memory runs short in it, or its commit is refused; a joined call
  // that fails fails the call around it too. The outermost call commits
  // what is staged unless it failed, and answers `failure`, with the last
  // error of why (kErrorNotEnoughMemory, the exception's, the system's
  // refusal) set last, unless something of it was stored (a user's OK, or
  // an earlier commit of the call): that stands, and the call answers
  // `result`. A joined call answers `failure` for a failure of its own.
  template <class Result>
  Result Answer(Result result, Result failure, bool ended) noexcept {
    return Finish(ended) ? result : failure;
  }

  // Ends the outermost call's changes now, while what it used (its
  // context) is still held: commits what is staged unless the call failed
  // (Answer), discards it otherwise. False when not all of it was stored
  // (the call failed, a conflict): what the call made in memory of it
  // holds what the store does not. True (nothing done) inside a joined
  // call.
  static bool FinishOutermost() noexcept;
  // Commits a user's OK with what the thread's call staged so far
  // (GStoreTransaction::CommitParts). The system's error when the OK was
  // refused, else 0. A call that failed stores nothing, its OK included:
  // the OK is refused with the call's failure.
  static platform::DWORD CommitOk(GStoreTransaction& ok) noexcept;
  // Whether a user's OK was stored in the calling thread's call: it
  // stands, whatever memory did after (Confirmed).
  static bool OkStored() noexcept;
  // Whether the calling thread's call's changes met a conflict since last
  // asked (and forgets it): a call that reads again asks.
  static bool TakeConflict() noexcept;
  // A user's OK was committed on this thread: the calls around it answer
  // as it did, whatever memory does after (its mark moves to now).
  static void Confirmed() noexcept;
  // A user's OK whose store the system refused with `error`: the calls
  // around it answer as the sheet did (cancelled), with that last error.
  static void RefusedOk(platform::DWORD error) noexcept;

 private:
  bool Finish(bool ended) noexcept;
  // The owner's end of what its call staged so far.
  static void FinishOwned(GStoreTransaction& transaction) noexcept;
  static void NoteOutcome(GStoreTransaction& transaction, GStoreTransaction::Outcome outcome);
  // Whether the owner's call stands (else the last error says why).
  static bool Stood(const GStoreTransaction& transaction);

  GStoreTransaction* transaction_;
  bool owner_;
  std::uint32_t own_mark_;
  GStoreTransaction own_;
};

// The door (see the file comment). Each answers as the system's call it
// mirrors; inside a transaction a write answers success once staged (the
// commit may still refuse it), after the checks the system would make at
// once (the handle's right to administer, a key that may not be written).
class GStoredState {
 public:
  // ---- Printer data, through a printer handle.
  static platform::DWORD GetPrinterData(platform::HANDLE printer, const char16_t* name,
                                        platform::DWORD* type, platform::BYTE* data,
                                        platform::DWORD size, platform::DWORD* needed);
  static platform::DWORD SetPrinterData(platform::HANDLE printer, const char16_t* name,
                                        platform::DWORD type, const platform::BYTE* data,
                                        platform::DWORD size);
  // Deletes a value of printer `printer`'s data through its data key in
  // the machine's registry (no handle needed), as RegDeleteValueW answers.
  static platform::LONG DeletePrinterData(const RWWString& printer, const char16_t* name);
  // Stages a write of the value back as the commit finds it (see
  // chunked_value.h), when it is there; as SetPrinterDataW answers.
  static platform::DWORD RewritePrinterData(platform::HANDLE printer, const char16_t* name);

  // ---- The printer's record and its stored default.
  // GetPrinterW at level 2, the stored default as the thread's
  // transaction sees it.
  static platform::BOOL GetPrinter(platform::HANDLE printer, platform::BYTE* buffer,
                                   platform::DWORD size, platform::DWORD* needed);
  // Sets the stored default to the record at `dev_mode` (its dmSize plus
  // dmDriverExtra bytes), as SetPrinterW at level 2 would.
  static platform::BOOL SetStoredDefault(platform::HANDLE printer, const void* dev_mode);

  // ---- The forms of the printer's server, as the system's calls answer.
  static platform::BOOL GetForm(platform::HANDLE printer, const char16_t* name,
                                platform::BYTE* buffer, platform::DWORD size,
                                platform::DWORD* needed);
  static platform::BOOL EnumForms(platform::HANDLE printer, platform::BYTE* buffer,
                                  platform::DWORD size, platform::DWORD* needed,
                                  platform::DWORD* returned);
  static platform::BOOL AddForm(platform::HANDLE printer, const platform::FormInfo1W& form);
  static platform::BOOL SetForm(platform::HANDLE printer, const char16_t* name,
                                const platform::FormInfo1W& form);
  static platform::BOOL DeleteForm(platform::HANDLE printer, const char16_t* name);

  // ---- Registry values by key path below a predefined root. A query
  // opens the key for reading; a set needs the key (`make_key`: made when
  // missing) open for writing, a delete the key open for writing.
  static platform::LONG QueryValue(platform::HKEY root, const char16_t* path, const char16_t* name,
                                   platform::DWORD* type, platform::BYTE* data,
                                   platform::DWORD* size);
  static platform::LONG SetValue(platform::HKEY root, const char16_t* path, const char16_t* name,
                                 platform::DWORD type, const platform::BYTE* data,
                                 platform::DWORD size, bool make_key);
  static platform::LONG DeleteValue(platform::HKEY root, const char16_t* path,
                                    const char16_t* name);
  // As RewritePrinterData, for a registry value.
  static platform::LONG RewriteValue(platform::HKEY root, const char16_t* path,
                                     const char16_t* name);
  static bool KeyExists(platform::HKEY root, const char16_t* path);
  // Makes the key (and those above it) at once, outside any transaction: a
  // key holds no value, and the system keeps no way to take one away.
  static platform::LONG MakeKey(platform::HKEY root, const char16_t* path);

  // Closes a printer handle the driver opened: at once, or, when the
  // thread's transactions are to commit changes through it, when they end.
  static platform::BOOL ClosePrinter(platform::HANDLE printer);
};

// A run of changes that stand or fall together inside the thread's
// transaction (a chunked value): RollBack drops what was staged since it
// began. Without a transaction on the thread it makes one, committed by
// Commit (answers true when stored) and discarded when it goes uncommitted.
class GStagedRun {
 public:
  GStagedRun();
  ~GStagedRun();
  GStagedRun(const GStagedRun&) = delete;
  GStagedRun& operator=(const GStagedRun&) = delete;

  void RollBack() noexcept;
  bool Commit() noexcept;

 private:
  GStoreTransaction* transaction_;
  std::size_t mark_;
  std::optional<GStoreTransaction> own_;
};
