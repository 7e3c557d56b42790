#include "foundation/rw/error.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

#include "foundation/rw/support.h"
#include "platform/host/boundary.h"
#include "platform/host/types.h"
#include "platform/message_box.h"

namespace {

std::atomic<RWErrorHandler> g_handler{&DefaultErrorHandler};
std::atomic<RWFatalEndHook> g_fatal_end_hook{nullptr};

// Null when memory is short: an error is raised then too, and raising one
// never throws (Why() reads "" for it).
const char* CopyText(const char* text) {
  if (!text) text = "";
  std::size_t n = std::strlen(text) + 1;
  char* copy = new (kRWNoThrow) char[n];
  if (copy) std::memcpy(copy, text, n);
  return copy;
}

std::uint32_t SaturatedSum(std::uint32_t a, std::uint32_t b) {
  return a + b < a ? 0xFFFFFFFFu : a + b;
}

thread_local RWErrorScope* t_innermost_scope = nullptr;
thread_local std::uint32_t t_out_of_memory = 0;

}  // namespace

void RecordInScope(RWErrorScope* scope, const RWError& error) {
  scope->Record(error.Why(), error.Entry(), 1);
}

namespace {

void Dispatch(const RWError& error) {
  if (error.Entry() == rwcore::NoMem()) {
    ++t_out_of_memory;
    // Also where a reader's scope keeps the error from the handler: the
    // call that fails for it answers why, as a platform call does.
    platform::SetLastError(platform::kErrorNotEnoughMemory);
  }
  if (RWErrorScope* scope = t_innermost_scope) {
    RecordInScope(scope, error);
    return;
  }
  g_handler.load(std::memory_order_acquire)(error);
}

}  // namespace

RWErrorScope::RWErrorScope() : outer_(t_innermost_scope) {
  t_innermost_scope = this;
}

RWErrorScope::~RWErrorScope() {
  t_innermost_scope = outer_;
  if (!outer_ || count_ == 0) return;
  // The text moves up, never copied: a scope may close while memory is
  // short (a std::bad_alloc unwinding), and its closing must not need any.
  if (outer_->count_ == 0) {
    outer_->entry_ = entry_;
    outer_->text_ = std::move(text_);
  }
  outer_->count_ = SaturatedSum(outer_->count_, count_);
}

void RWErrorScope::Clear() {
  count_ = 0;
  entry_ = nullptr;
  text_.clear();
}

bool RWErrorScope::Active() {
  return t_innermost_scope != nullptr;
}

// Keeps the first error only; the count says how many followed.
void RWErrorScope::Record(const char* text, const RWCatalogueEntry* entry, std::uint32_t count) {
  if (count_ == 0) {
    entry_ = entry;
    // An out-of-memory error must not allocate: its text is static, so keep
    // nothing but the entry and let Text() fall back to the format. Another
    // text memory cannot be had for is kept as its entry alone: recording
    // never throws.
    text_.clear();
    if (entry != rwcore::NoMem()) {
      try {
        text_ = text;
      } catch (const std::bad_alloc&) {
      }
    }
  }
  count_ = SaturatedSum(count_, count);
}

RWError::RWError(const char* text) : text_(CopyText(text)), owns_(true) {}

RWError::RWError(const RWMessageText& text)
    : text_(CopyText(text.Text())), owns_(true), entry_(text.Entry()) {}

RWError::RWError(const char* text, bool owns) : text_(owns ? CopyText(text) : text), owns_(owns) {}

RWError::RWError(const char* text, bool owns, const RWCatalogueEntry* entry)
    : text_(owns ? CopyText(text) : text), owns_(owns), entry_(entry) {}

RWError::RWError(const RWError& other)
    : text_(other.owns_ ? CopyText(other.text_) : other.text_),
      owns_(other.owns_),
      entry_(other.entry_) {}

RWError::~RWError() {
  if (owns_) delete[] text_;
}

// The text is the catalogue's own format: no allocation while memory is short.
RWOutOfMemoryError::RWOutOfMemoryError(std::uint32_t requested)
    : RWError(rwcore::NoMem()->format, false, rwcore::NoMem()), requested_(requested) {}

std::uint32_t RWOutOfMemoryRaised() {
  // A std::bad_alloc that a boundary or the platform answered as a failure
  // counts too: a new handler of the host's raises no [NOMEM].
  return t_out_of_memory + platform::ShortagesMet();
}

bool RWShortOfMemorySince(std::uint32_t count) {
  if (RWOutOfMemoryRaised() == count) return false;
  platform::SetLastError(platform::kErrorNotEnoughMemory);
  return true;
}

RWErrorHandler SetErrorHandler(RWErrorHandler handler) {
  return g_handler.exchange(handler, std::memory_order_acq_rel);
}

RWFatalEndHook SetFatalEndHook(RWFatalEndHook hook) {
  return g_fatal_end_hook.exchange(hook, std::memory_order_acq_rel);
}

void DefaultErrorHandler(const RWError& error) {
  platform::MessageBoxA(nullptr, error.Why(), "Fatal Error",
                        platform::kMbIconHand | platform::kMbTaskModal);
  if (RWFatalEndHook hook = g_fatal_end_hook.load(std::memory_order_acquire)) hook(error);
  // The error may be raised under any lock (an allocation's [NOMEM] under
  // the font pool's): destructors at exit that take it would wait for ever.
  // The streams are flushed, and the process ends with status 1 at once.
  std::fflush(nullptr);
  std::_Exit(1);
}

void RaiseError(const RWError& error) {
  Dispatch(error);
}
void RaiseOutOfMemoryError(const RWOutOfMemoryError& error) {
  Dispatch(error);
}
void RaiseEnvironmentError(const RWEnvironmentError& error) {
  Dispatch(error);
}
void RaiseFileIoError(const RWFileIoError& error) {
  Dispatch(error);
}
void RaiseStreamStateError(const RWStreamStateError& error) {
  Dispatch(error);
}
void RaiseLogicError(const RWLogicError& error) {
  Dispatch(error);
}
void RaiseIndexError(const RWIndexError& error) {
  Dispatch(error);
}

bool RWCheckIndex(std::uint32_t index, std::uint32_t count) {
  if (index < count) return true;
  if (index == 0xFFFFFFFFu) {
    RaiseIndexError(RWIndexError(RWMessageText(rwtools::NposIndex())));
  } else {
    RaiseIndexError(RWIndexError(RWMessageText(rwtools::IndexErr(), index, count)));
  }
  return false;
}
