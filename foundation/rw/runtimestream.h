// The common ground of the concrete virtual streams: each one writes or
// reads a runtime stream (std::ostream / std::istream) and shares its state
// word, translated between the library's bits and the runtime's iostate.
//
// Ownership: a stream built on a caller's std::ostream / std::istream only
// refers to it (the caller keeps it alive longer); one built on a stream
// buffer owns the runtime stream it makes over that buffer, but never the
// buffer. One stream belongs to one thread at a time.
#pragma once

#include <istream>
#include <memory>
#include <ostream>
#include <streambuf>

#include "foundation/rw/vstream.h"

class RWRuntimeOutputStream : public RWVirtualOutputStream {
 public:
  ~RWRuntimeOutputStream() override;

  std::uint32_t State() const override;
  void SetState(std::uint32_t state) override;

  RWVirtualOutputStream& Flush() override;

  // The runtime stream beneath.
  std::ostream& Runtime() const { return *os_; }

 protected:
  explicit RWRuntimeOutputStream(std::ostream& os);
  explicit RWRuntimeOutputStream(std::streambuf* buffer);  // may be null: bad

  // Adds the runtime's fail bit.
  void SetFail() { os_->setstate(std::ios_base::failbit); }

 private:
  std::unique_ptr<std::ostream> owned_;  // when built over a buffer
  std::ostream* os_;
};

class RWRuntimeInputStream : public RWVirtualInputStream {
 public:
  ~RWRuntimeInputStream() override;

  std::uint32_t State() const override;
  void SetState(std::uint32_t state) override;

  std::istream& Runtime() const { return *is_; }

 protected:
  explicit RWRuntimeInputStream(std::istream& is);
  explicit RWRuntimeInputStream(std::streambuf* buffer);  // may be null: bad

  void SetFail() { is_->setstate(std::ios_base::failbit); }

 private:
  std::unique_ptr<std::istream> owned_;
  std::istream* is_;
};
