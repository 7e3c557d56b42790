// The state word of the library's streams, with its own bit values (end of
// input 1, fail 2, bad 4), independent of the C++ library's iostate bits.
// The virtual streams derive from it and share the word of the runtime
// stream they write or read; a plain RWStreamState keeps a word of its own.
// Not synchronised: a stream and its state belong to one thread at a time.
#pragma once

#include <cstdint>
#include <ios>

class RWStreamState {
 public:
  static constexpr std::uint32_t kEof = 1;
  static constexpr std::uint32_t kFail = 2;
  static constexpr std::uint32_t kBad = 4;

  RWStreamState() = default;
  RWStreamState(const RWStreamState&) = default;
  RWStreamState& operator=(const RWStreamState&) = default;
  virtual ~RWStreamState() = default;

  virtual bool Eof() const { return (State() & kEof) != 0; }
  // The fail bit alone; the virtual streams answer for the bad bit too.
  virtual bool Fail() const { return (State() & kFail) != 0; }
  virtual bool Bad() const { return (State() & kBad) != 0; }
  virtual bool Good() const { return State() == 0; }
  virtual std::uint32_t State() const { return state_; }
  // Replaces the whole word; callers add the fail bit with
  // SetState(State() | kFail).
  virtual void SetState(std::uint32_t state) { state_ = state; }

  // Translation between this word and the runtime's iostate bits.
  static std::uint32_t FromIostate(std::ios_base::iostate state) {
    return ((state & std::ios_base::eofbit) ? kEof : 0) |
           ((state & std::ios_base::failbit) ? kFail : 0) |
           ((state & std::ios_base::badbit) ? kBad : 0);
  }
  static std::ios_base::iostate ToIostate(std::uint32_t state) {
    std::ios_base::iostate out = std::ios_base::goodbit;
    if (state & kEof) out |= std::ios_base::eofbit;
    if (state & kFail) out |= std::ios_base::failbit;
    if (state & kBad) out |= std::ios_base::badbit;
    return out;
  }

 private:
  std::uint32_t state_ = 0;
};
