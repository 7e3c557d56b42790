#include "foundation/rw/error.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/message_box.h"

namespace {

std::atomic<RWErrorHandler> g_handler{&DefaultErrorHandler};

const char* CopyText(const char* text) {
  if (!text) text = "";
  std::size_t n = std::strlen(text) + 1;
  char* copy = new char[n];
  std::memcpy(copy, text, n);
  return copy;
}

void Dispatch(const RWError& error) {
  g_handler.load(std::memory_order_acquire)(error);
}

}  // namespace

RWError::RWError(const char* text) : text_(CopyText(text)), owns_(true) {}

RWError::RWError(const RWMessageText& text) : text_(CopyText(text.Text())), owns_(true) {}

RWError::RWError(const char* text, bool owns) : text_(owns ? CopyText(text) : text), owns_(owns) {}

RWError::RWError(const RWError& other)
    : text_(other.owns_ ? CopyText(other.text_) : other.text_), owns_(other.owns_) {}

RWError::~RWError() {
  if (owns_) delete[] text_;
}

// The text is the catalogue's own format: no allocation while memory is short.
RWOutOfMemoryError::RWOutOfMemoryError(std::uint32_t requested)
    : RWError(rwcore::NoMem()->format, false), requested_(requested) {}

RWErrorHandler SetErrorHandler(RWErrorHandler handler) {
  return g_handler.exchange(handler, std::memory_order_acq_rel);
}

void DefaultErrorHandler(const RWError& error) {
  platform::MessageBoxA(nullptr, error.Why(), "Fatal Error",
                        platform::kMbIconHand | platform::kMbTaskModal);
  std::exit(1);
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
