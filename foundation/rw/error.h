// The collection library's errors, its one process-wide error handler, and
// the per-thread error scope that readers of outside data open.
//
// Misuse and bad outside data are reported by building an error object and
// raising it. Outside an error scope, the error goes to the installed
// handler. The default handler shows the text in a "Fatal Error" box
// (standard error here) and ends the process with status 1; a handler
// installed with SetErrorHandler may return, and the raising operation then
// goes on as its own documentation says. The library throws no exceptions
// of its own. The handler may be swapped from any thread.
//
// Inside an RWErrorScope, an error never reaches the handler: the scope
// records it and the raising operation goes on exactly as if a handler had
// returned (it fails, sets its stream's fail state or its file's error, and
// leaves its target as documented). This is how bad stored data is kept from
// ending the process:
//
//   - Every reader of outside data opens a scope for the duration of its
//     read: graph restores, string restores, stream headers, the file-space
//     manager, the disk B-tree, and later the settings-record codec, the
//     record store, device modes and font files. Such readers report failure
//     to their caller through their own state (stream fail bit, file error,
//     store error state, a false or null result). RWReadScope (readscope.h)
//     opens the scope and sets that state when an error was raised in it.
//   - A caller that wants the reason opens its own scope around the call and
//     reads Text() or Entry() afterwards. Scopes nest: the innermost open
//     scope of the thread records, and when it closes, its first error
//     passes to the enclosing scope unless that one already holds one.
//   - Misuse by the caller (an index error outside any reader) is raised
//     outside every scope and still reaches the handler.
//
// A scope costs one thread-local pointer swap to open and close; nothing is
// done per operation while no error is raised. Scopes belong to the thread
// that opened them and must be closed in reverse order of opening (they are
// meant to live on the stack).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/rw/catalogue.h"

class RWError {
 public:
  explicit RWError(const char* text);  // copied, owned
  explicit RWError(const RWMessageText& text);
  RWError(const char* text, bool owns);  // copied only when `owns`
  RWError(const RWError& other);
  RWError& operator=(const RWError&) = delete;
  virtual ~RWError();

  const char* Why() const { return text_ ? text_ : ""; }
  // The catalogue entry the text was formatted from; null for free texts.
  const RWCatalogueEntry* Entry() const { return entry_; }

 protected:
  RWError(const char* text, bool owns, const RWCatalogueEntry* entry);

 private:
  const char* text_;
  bool owns_;
  const RWCatalogueEntry* entry_ = nullptr;
};

class RWOutOfMemoryError : public RWError {
 public:
  explicit RWOutOfMemoryError(std::uint32_t requested);
  std::uint32_t Requested() const { return requested_; }

 private:
  std::uint32_t requested_;
};

// Bad outside data: [MAGIC], [FLIST], [SYNSTREAM].
class RWEnvironmentError : public RWError {
 public:
  using RWError::RWError;
};

// [READERR], [SEEKERR], [WRITEERR]; the two values are the raiser's own.
class RWFileIoError : public RWEnvironmentError {
 public:
  RWFileIoError(const RWMessageText& text, std::uint32_t value1, std::uint32_t value2)
      : RWEnvironmentError(text), value1_(value1), value2_(value2) {}
  std::uint32_t Value1() const { return value1_; }
  std::uint32_t Value2() const { return value2_; }

 private:
  std::uint32_t value1_;
  std::uint32_t value2_;
};

// [STREAM]; carries the stream concerned (not owned).
class RWStreamStateError : public RWEnvironmentError {
 public:
  RWStreamStateError(const RWMessageText& text, const void* stream)
      : RWEnvironmentError(text), stream_(stream) {}
  const void* Stream() const { return stream_; }

 private:
  const void* stream_;
};

// Misuse and inconsistent graphs: [REF], [NOCREATE], [NEVECL], [BADRE].
class RWLogicError : public RWError {
 public:
  using RWError::RWError;
};

// [INDEXERR], [NPOSINDEX], [INDEX], [SUBSTRING], [OVFLOW].
class RWIndexError : public RWLogicError {
 public:
  using RWLogicError::RWLogicError;
};

using RWErrorHandler = void (*)(const RWError&);

// Records the errors raised on this thread while it is the innermost open
// scope; see the file comment. Not copyable; lives on the stack.
class RWErrorScope {
 public:
  RWErrorScope();
  ~RWErrorScope();
  RWErrorScope(const RWErrorScope&) = delete;
  RWErrorScope& operator=(const RWErrorScope&) = delete;

  // True when at least one error was raised (or passed up) into this scope.
  bool Failed() const { return count_ != 0; }
  // How many errors were raised into this scope.
  std::uint32_t Count() const { return count_; }
  // The first error's text, "" when none.
  const char* Text() const { return text_.empty() && entry_ ? entry_->format : text_.c_str(); }
  // The first error's catalogue entry, null when none or a free text.
  const RWCatalogueEntry* Entry() const { return entry_; }
  // Forgets what was recorded.
  void Clear();

  // True when the calling thread has an open scope.
  static bool Active();

 private:
  friend void RecordInScope(RWErrorScope* scope, const RWError& error);
  void Record(const char* text, const RWCatalogueEntry* entry, std::uint32_t count);

  RWErrorScope* outer_;
  std::uint32_t count_ = 0;
  const RWCatalogueEntry* entry_ = nullptr;
  std::string text_;
};

// How many [NOMEM] errors the calling thread has raised, recorded in a
// scope or not, and how many std::bad_alloc it met that a boundary or the
// platform answered as a failure (platform::ShortagesMet: whatever new
// handler threw them, the library's or a host's). A caller that must not act on what a read gave
// when memory ran short during it (save it back over what is stored) compares the count before and
// after the read. Each [NOMEM] also sets the thread's platform last error to kErrorNotEnoughMemory:
// a call that fails for want of memory answers that cause as a platform call does, also when a
// reader's scope kept the error from the handler.
std::uint32_t RWOutOfMemoryRaised();

// Whether the calling thread raised [NOMEM] since RWOutOfMemoryRaised()
// answered `count`. When it did, the platform's last error is set to
// kErrorNotEnoughMemory again: the caller fails for it, and a platform call
// made since (a size asked with no buffer) may have set another.
bool RWShortOfMemorySince(std::uint32_t count);

// Installs `handler` and returns the previous one.
RWErrorHandler SetErrorHandler(RWErrorHandler handler);

// Shows the error in a "Fatal Error" box, then ends the process with
// status 1 without running its at-exit destructors (the error may come
// from under a lock they take).
[[noreturn]] void DefaultErrorHandler(const RWError& error);

// Called by DefaultErrorHandler once the box is shown, just before the
// process ends: for a test that looks at what such an end leaves behind
// (the out-of-memory sweep reads the printer's store there). It runs
// inside the failed operation, under whatever locks that holds, so it must
// take none of the library's; when it returns, the process ends. Null (the
// default) calls nothing. Answers the hook before.
using RWFatalEndHook = void (*)(const RWError&);
RWFatalEndHook SetFatalEndHook(RWFatalEndHook hook);

// Each passes the error to the installed handler and returns when it does.
void RaiseError(const RWError& error);
void RaiseOutOfMemoryError(const RWOutOfMemoryError& error);
void RaiseEnvironmentError(const RWEnvironmentError& error);
void RaiseFileIoError(const RWFileIoError& error);
void RaiseStreamStateError(const RWStreamStateError& error);
void RaiseLogicError(const RWLogicError& error);
void RaiseIndexError(const RWIndexError& error);

// The index check shared by strings, lists and vectors: raises [NPOSINDEX]
// for the no-position value, else [INDEXERR] with (index, count). Returns
// false when the index is not below `count` (after the handler returned).
bool RWCheckIndex(std::uint32_t index, std::uint32_t count);
