// GCallLog: the record a device keeps of the operations whose printer
// bytes are not given yet (removing a downloaded font, the paint set-ups,
// the ZDL XL padding, the manual-duplex header line, ...): each such
// operation writes nothing to the port and records one line here instead,
// "<operation>[ <argument>...]\n", so that its callers can be followed and
// tested until the bytes are known. A device may live as long as the
// process, so the log is bounded: it keeps the newest lines within
// kCallLogLimit bytes (dropping the oldest down to half of it when a line
// would pass it), and a line that alone would pass it is cut.
//
// Not persistable; copies share the text. Threads: the device's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "foundation/rw/cstring.h"

// The most bytes a call log holds.
inline constexpr std::size_t kCallLogLimit = 64 * 1024;

class GCallLog {
 public:
  void Record(const char* operation, std::initializer_list<std::uint32_t> numbers = {});
  void Record(const char* operation, const RWCString& argument);
  // Every line so far.
  const RWCString& Text() const { return text_; }
  void Clear() { text_ = RWCString(); }

 private:
  void Append(RWCString line);

  RWCString text_;
};
