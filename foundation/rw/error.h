// The collection library's errors and its one process-wide error handler.
//
// Misuse and bad outside data are reported by building an error object and
// passing it to the installed handler. The default handler shows the text in
// a "Fatal Error" box (standard error here) and ends the process with status
// 1; a handler installed with SetErrorHandler may return, and the raising
// operation then goes on as its own documentation says. The library throws
// no exceptions of its own. The handler may be swapped from any thread.
#pragma once

#include <cstdint>
#include <memory>

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

 private:
  const char* text_;
  bool owns_;
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

// Installs `handler` and returns the previous one.
RWErrorHandler SetErrorHandler(RWErrorHandler handler);

// Shows the error in a "Fatal Error" box, then exits with status 1.
[[noreturn]] void DefaultErrorHandler(const RWError& error);

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
