// What the font handling's stored forms and TrueType readers share: single
// bytes as stored items (a stream carries them in character form, like
// runs of bytes), the read of an object that its reader alone is to hold,
// and big-endian numbers read out of TrueType data with their bounds
// checked first.
//
// Pure functions: any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "persist/counted_ptr.h"
#include "persist/persistent_object.h"
#include "persist/stored_form.h"

class RWFile;
class RWVirtualInputStream;
class RWVirtualOutputStream;

// One byte; GetByte answers true when it was read and the source reads on.
void PutByte(RWVirtualOutputStream& stream, std::uint8_t value);
void PutByte(RWFile& file, std::uint8_t value);
bool GetByte(RWVirtualInputStream& stream, std::uint8_t& value);
bool GetByte(RWFile& file, std::uint8_t& value);

// Reads one object reference into `slot`, which holds it from then on: the
// nil object, or an object of class T that nothing in the graph holds yet
// nor is still being read (so no object is ever owned twice and no cycle
// is made). Anything else fails the scope and goes back to the read
// (RefuseRestored), which frees it unless the graph holds it elsewhere.
// False when the read failed.
template <class T, class In>
bool ReadUnheldObject(In& in, MRestoreScope& scope, GCountedPtr& slot) {
  T* object = nullptr;
  ReadModelPointer(in, object);
  if (!scope.Ok() || (object && (object->ReferenceCount() >= 0 || !MayHoldRestoredChild(object)))) {
    if (object) RefuseRestored(in, object);
    scope.Fail();
    return false;
  }
  slot.Reset(object);
  return true;
}

// Reads `count` u16 items one by one into `words` (a file must hold them
// all first), so that a damaged count allocates no more than the data
// holds; false when they do not all arrive.
template <class In>
bool GetWords(In& in, std::uint32_t count, std::vector<std::uint16_t>& words) {
  if (!RemainingMayHold(in, count, 2)) return false;
  words.clear();
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint16_t word = 0;
    if (!GetItem(in, word)) return false;
    words.push_back(word);
  }
  return true;
}

// Big-endian numbers at `at`. REQUIRES: the bytes lie inside the data.
inline std::uint16_t BigEndian16(const std::uint8_t* data, std::size_t at) {
  return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
}
inline std::uint32_t BigEndian32(const std::uint8_t* data, std::size_t at) {
  return std::uint32_t{data[at]} << 24 | std::uint32_t{data[at + 1]} << 16 |
         std::uint32_t{data[at + 2]} << 8 | data[at + 3];
}

// A span of TrueType bytes whose reads are checked against its length: each
// answers false (and leaves `value`) when the bytes do not lie inside.
class GFontBytes {
 public:
  GFontBytes(const std::uint8_t* data, std::size_t length) : data_(data), length_(length) {}

  const std::uint8_t* Data() const { return data_; }
  std::size_t Length() const { return length_; }
  // Whether `count` items of `size` bytes from `at` lie inside.
  bool Holds(std::uint64_t at, std::uint64_t count, std::uint64_t size = 1) const {
    return at <= length_ && count * size <= length_ - at;
  }
  bool U16(std::uint64_t at, std::uint16_t& value) const {
    if (!Holds(at, 2)) return false;
    value = BigEndian16(data_, at);
    return true;
  }
  bool I16(std::uint64_t at, std::int16_t& value) const {
    std::uint16_t word;
    if (!U16(at, word)) return false;
    value = static_cast<std::int16_t>(word);
    return true;
  }
  bool U32(std::uint64_t at, std::uint32_t& value) const {
    if (!Holds(at, 4)) return false;
    value = BigEndian32(data_, at);
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t length_;
};
