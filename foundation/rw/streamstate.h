// The state word of the library's streams, with its own bit values (end of
// input 1, fail 2, bad 4), independent of the C++ library's iostate bits.
// Not synchronised: a stream and its state belong to one thread at a time.
#pragma once

#include <cstdint>

class RWStreamState {
 public:
  static constexpr std::uint32_t kEof = 1;
  static constexpr std::uint32_t kFail = 2;
  static constexpr std::uint32_t kBad = 4;

  virtual ~RWStreamState() = default;

  bool Eof() const { return (State() & kEof) != 0; }
  // Fail is also true when the stream is bad.
  bool Fail() const { return (State() & (kFail | kBad)) != 0; }
  bool Bad() const { return (State() & kBad) != 0; }
  bool Good() const { return State() == 0; }

  virtual std::uint32_t State() const { return state_; }
  virtual void SetState(std::uint32_t state) { state_ = state; }

 private:
  std::uint32_t state_ = 0;
};
