// RWPointerVector: a counted array of pointer-sized entries (pointers, or
// 32-bit values carried in them) that model classes use as growable arrays.
// The vector owns its array, not what the entries point to. Indexed access
// is checked. An array that cannot be had raises [NOMEM]: a constructor
// then makes an empty vector, an assignment or resize leaves the vector as
// it was. A vector belongs to one thread at a time.
#pragma once

#include <memory>

#include "foundation/rw/defs.h"

class RWPointerVector {
 public:
  using Entry = void*;

  // `count` entries, each set to `fill`.
  explicit RWPointerVector(RWSize count = 0, Entry fill = nullptr);
  RWPointerVector(const RWPointerVector& other);
  RWPointerVector& operator=(const RWPointerVector& other);
  ~RWPointerVector();

  RWSize Length() const { return count_; }
  // The entries; null when there are none.
  Entry* Data() { return entries_.get(); }
  const Entry* Data() const { return entries_.get(); }

  void Fill(Entry value);

  // Changes the count, keeping the first min(old, n) entries. The new
  // entries are null. After [NOMEM] nothing changes.
  void Resize(RWSize n);
  // Resize, with the new entries null; answers the old count.
  RWSize Reshape(RWSize n);

  // Checked access: an index at or beyond the count raises [INDEXERR] (or
  // [NPOSINDEX] for RW_NPOS); the answer is then a scratch entry.
  Entry& operator[](RWSize i);
  Entry operator[](RWSize i) const;

 private:
  RWSize count_;
  std::unique_ptr<Entry[]> entries_;  // count_ entries, null when 0
};
