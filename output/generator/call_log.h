// GCallLog: the record a device keeps of the operations whose printer
// bytes are not given yet (removing a downloaded font, the paint set-ups,
// the ZDL XL padding, the manual-duplex header line, ...): each such
// operation writes nothing to the port and records one line here instead,
// "<operation>[ <argument>...]\n", so that its callers can be followed and
// tested until the bytes are known.
//
// Not persistable; copies share the text. Threads: the device's.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "foundation/rw/cstring.h"

class GCallLog {
 public:
  void Record(const char* operation, std::initializer_list<std::uint32_t> numbers = {});
  void Record(const char* operation, const RWCString& argument);
  // Every line so far.
  const RWCString& Text() const { return text_; }
  void Clear() { text_ = RWCString(); }

 private:
  RWCString text_;
};
