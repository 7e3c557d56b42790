// Reading a counted run of items (a dash pattern's entries, a clip's
// rectangles) from a stored form without trusting the stored count, and
// the stored rectangle that clips and raster graphics share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>

#include "foundation/rw/support.h"
#include "output/graphics/short_geometry.h"
#include "persist/stored_form.h"

// Reads `count` items, each with `read_one(in, item)` (true when it was
// read), into a block that doubles as the items arrive, so that a damaged
// count costs a short read, never an allocation of its own size; a file
// must first have room for `count` items of `min_bytes` each. True when
// every item was read: `items` then holds them (null for none). False,
// with `items` untouched, when the room, an item or the memory ([NOMEM]
// raised) is missing; the caller fails its restore.
template <class T, class In, class ReadOne>
bool GetItemRun(In& in, std::uint32_t count, std::uint32_t min_bytes, std::unique_ptr<T[]>& items,
                ReadOne read_one) {
  if (!RemainingMayHold(in, count, min_bytes)) return false;
  constexpr std::uint32_t kFirstRoom = 64;
  std::unique_ptr<T[]> block;
  std::uint32_t room = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (i == room) {
      std::uint32_t grown =
          std::min(count, std::max(kFirstRoom, room > count / 2 ? count : room * 2));
      std::unique_ptr<T[]> larger = RWNewArray<T>(grown);
      if (!larger) return false;
      std::copy_n(block.get(), i, larger.get());
      block = std::move(larger);
      room = grown;
    }
    if (!read_one(in, block[i])) return false;
  }
  items = std::move(block);
  return true;
}

// A rectangle as 4 x i16: left, top, right, bottom.
template <class Out>
void WriteRectangle(Out& out, const GShortRect& rectangle) {
  PutItem(out, rectangle.left);
  PutItem(out, rectangle.top);
  PutItem(out, rectangle.right);
  PutItem(out, rectangle.bottom);
}

// True when all four were read.
template <class In>
bool ReadRectangle(In& in, GShortRect& rectangle) {
  return GetItem(in, rectangle.left) && GetItem(in, rectangle.top) &&
         GetItem(in, rectangle.right) && GetItem(in, rectangle.bottom);
}
