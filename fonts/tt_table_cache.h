// GTTTableCache: the whole TrueType tables a font reader (tt_font_reader.h)
// has read, one slot per tag index, so that a reader saved beside a spooled
// page serves them again without its font file. A filled slot of length 0
// records a table that the font lacks or that is empty.
//
// Class id 872, registered as "GTTTableCache".
//
// Stored form, after the base part of MPersistentObject:
//   version     u32  kTTTableCacheVersion
//   slot count  u8   kTTTableSlotCount
//   count       u32  stores since construction
//   per slot    i32 state (1 filled, 0 empty); when 1: u32 length and
//               `length` single bytes
// A restore of another version keeps the cache as it was. Otherwise every
// slot is emptied first and the stored slots are read; a stored slot count
// above kTTTableSlotCount fails the read (those slots lie outside the
// cache), as does a length that the source cannot hold. A copy takes only
// the persistent base and starts empty.
//
// Beside a slot's bytes the cache may keep notes that a reader worked out
// from them (GTTCmapNote): never stored, compared or copied, moved with the
// bytes by Merge and dropped with them by Store and a restore.
//
// Ownership: the cache owns its slots' bytes; lookups lend them out.
// Threads: one thread at a time (the reader's lock guards it).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "foundation/rw/registration.h"
#include "persist/model_class.h"

class GByteBuffer;

inline constexpr RWClassID kGTTTableCacheId = 872;
inline constexpr std::uint32_t kTTTableCacheVersion = 1;
// One slot more than there are tag indexes.
inline constexpr std::uint32_t kTTTableSlotCount = 26;

// What character mapping worked out once from a cached 'cmap' for one
// character set: the subtable chosen (as the reader's GCmapChoice) and
// whether it is of format 4 with its end codes in order, which allows
// halving probes.
struct GTTCmapNote {
  std::uint32_t selector = 0;
  bool found = false;
  std::uint16_t format = 0;
  std::uint32_t offset = 0;  // from the start of 'cmap'
  std::uint16_t platform = 0;
  std::uint16_t encoding = 0;
  bool sorted_ends = false;
};
// Notes kept per slot; a new one beyond this replaces the oldest.
inline constexpr std::uint32_t kTTNotesPerSlot = 8;

class GTTTableCache final
    : public MPersistentClass<GTTTableCache, MPersistentObject, kGTTTableCacheId> {
 public:
  GTTTableCache() = default;
  // The persistent base only; no slot filled, count 0.
  GTTTableCache(const GTTTableCache& other);
  GTTTableCache& operator=(const GTTTableCache&) = delete;
  ~GTTTableCache() override = default;

  // Fills slot `tag_index` with the buffer's bytes (taken over when it owns
  // them, else copied; none for size 0) and deletes the buffer; count + 1.
  // When no memory is left for the copy nothing is stored and the count
  // stays. A filled slot is emptied first.
  // REQUIRES: tag_index < kTTTableSlotCount (else the index error is raised
  // and the buffer deleted); `buffer` not null.
  void Store(std::uint32_t tag_index, GByteBuffer* buffer);
  // A new buffer the caller owns: lending the cached bytes for a filled
  // slot of length > 0, an empty owning buffer for a filled slot of length
  // 0; null for an empty slot, a bad index, or when no memory is left.
  GByteBuffer* Lookup(std::uint32_t tag_index) const;
  // Whether the slot is filled, and its length and bytes (without a new
  // buffer).
  bool Holds(std::uint32_t tag_index) const {
    return tag_index < kTTTableSlotCount && slots_[tag_index].state == kSlotFilled;
  }
  std::uint32_t Length(std::uint32_t tag_index) const {
    return Holds(tag_index) ? slots_[tag_index].length : 0;
  }
  const std::uint8_t* Bytes(std::uint32_t tag_index) const {
    return Holds(tag_index) ? slots_[tag_index].data.get() : nullptr;
  }

  std::uint32_t Count() const { return count_; }

  // The note on a filled slot for `selector`, or null.
  const GTTCmapNote* FindNote(std::uint32_t tag_index, std::uint32_t selector) const;
  // Keeps `note` beside the slot's bytes. REQUIRES: Holds(tag_index).
  void AddNote(std::uint32_t tag_index, const GTTCmapNote& note);

  // Moves every filled slot of `other` whose slot here is empty to this
  // cache (the other's slot is emptied); slots filled on both sides keep
  // this cache's bytes. Neither count changes.
  virtual void Merge(GTTTableCache& other);

  // The base part, 9, and 4 per slot, and 4 + length per filled slot.
  RWSize StoredSize() const override;
  // The same object; or the same class and base, and every slot's state,
  // length and bytes equal.
  bool IsEqualContent(const MPersistentObject* other) const override;

 private:
  friend class MPersistentClass;

  static constexpr std::int32_t kSlotFilled = 1;

  struct Slot {
    std::int32_t state = 0;  // kSlotFilled, else empty
    std::uint32_t length = 0;
    std::unique_ptr<std::uint8_t[]> data;  // null when length is 0
    std::vector<GTTCmapNote> notes;        // worked out from `data`
  };

  template <class Out>
  void SaveItems(Out& out) const;
  template <class In>
  void RestoreItems(In& in);

  std::uint32_t count_ = 0;
  Slot slots_[kTTTableSlotCount];
};

extern template class MPersistentClass<GTTTableCache, MPersistentObject, kGTTTableCacheId>;

// The file's classes, in registration order.
std::span<const RWClassRegistration> TTTableCacheClasses();
