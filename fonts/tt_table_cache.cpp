#include "fonts/tt_table_cache.h"

#include <cstring>

#include "fonts/font_items.h"
#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/byte_buffer.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kTTTableCacheClasses[] = {
    {&RWCreate<GTTTableCache>, kGTTTableCacheId, "GTTTableCache"},
};

constexpr std::int32_t kSlotEmpty = 0;

}  // namespace

std::span<const RWClassRegistration> TTTableCacheClasses() {
  return kTTTableCacheClasses;
}

GTTTableCache::GTTTableCache(const GTTTableCache& other) : MPersistentClass(other) {}

void GTTTableCache::Store(std::uint32_t tag_index, GByteBuffer* buffer) {
  std::unique_ptr<GByteBuffer> owned(buffer);
  if (!RWCheckIndex(tag_index, kTTTableSlotCount) || !owned) return;
  std::uint32_t length = owned->GetSize();
  std::unique_ptr<std::uint8_t[]> data(owned->Detach());
  if (length > 0 && !data) return;
  Slot& slot = slots_[tag_index];
  slot.state = kSlotFilled;
  slot.length = length;
  slot.data = std::move(data);
  slot.notes.clear();
  ++count_;
}

const GTTCmapNote* GTTTableCache::FindNote(std::uint32_t tag_index, std::uint32_t selector) const {
  if (!Holds(tag_index)) return nullptr;
  for (const GTTCmapNote& note : slots_[tag_index].notes) {
    if (note.selector == selector) return &note;
  }
  return nullptr;
}

void GTTTableCache::AddNote(std::uint32_t tag_index, const GTTCmapNote& note) {
  if (!Holds(tag_index)) return;
  std::vector<GTTCmapNote>& notes = slots_[tag_index].notes;
  if (notes.size() >= kTTNotesPerSlot) notes.erase(notes.begin());
  notes.push_back(note);
}

GByteBuffer* GTTTableCache::Lookup(std::uint32_t tag_index) const {
  if (!Holds(tag_index)) return nullptr;
  const Slot& slot = slots_[tag_index];
  if (slot.length == 0) return RWNew<GByteBuffer>(nullptr, 0, true);
  return RWNew<GByteBuffer>(slot.data.get(), slot.length, false);
}

void GTTTableCache::Merge(GTTTableCache& other) {
  if (&other == this) return;
  for (std::uint32_t i = 0; i < kTTTableSlotCount; ++i) {
    Slot& theirs = other.slots_[i];
    if (theirs.state != kSlotFilled || slots_[i].state == kSlotFilled) continue;
    slots_[i] = std::move(theirs);
    theirs = Slot();
  }
}

RWSize GTTTableCache::StoredSize() const {
  RWSize size = MPersistentObject::StoredSize() + 9 + 4 * kTTTableSlotCount;
  for (const Slot& slot : slots_) {
    if (slot.state == kSlotFilled) size += 4 + slot.length;
  }
  return size;
}

bool GTTTableCache::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GTTTableCache* same = SameContentBase(other);
  if (!same) return false;
  for (std::uint32_t i = 0; i < kTTTableSlotCount; ++i) {
    const Slot& a = slots_[i];
    const Slot& b = same->slots_[i];
    if (a.state != b.state || a.length != b.length) return false;
    if (a.data == b.data || a.length == 0) continue;
    if (!a.data || !b.data || std::memcmp(a.data.get(), b.data.get(), a.length) != 0) return false;
  }
  return true;
}

template <class Out>
void GTTTableCache::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kTTTableCacheVersion);
  PutByte(out, static_cast<std::uint8_t>(kTTTableSlotCount));
  PutItem(out, count_);
  for (const Slot& slot : slots_) {
    PutItem(out, slot.state);
    if (slot.state != kSlotFilled) continue;
    PutItem(out, slot.length);
    PutBytes(out, slot.data.get(), slot.length);
  }
}

template <class In>
void GTTTableCache::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kTTTableCacheVersion)) return;
  for (Slot& slot : slots_)
    slot = Slot();
  std::uint8_t slot_count = 0;
  if (!GetByte(in, slot_count) || !GetItem(in, count_)) return;
  if (slot_count > kTTTableSlotCount) {
    scope.Fail();
    return;
  }
  for (std::uint32_t i = 0; i < slot_count; ++i) {
    std::int32_t state = kSlotEmpty;
    if (!GetItem(in, state)) return;
    if (state != kSlotFilled) continue;
    std::uint32_t length = 0;
    std::unique_ptr<std::uint8_t[]> data;
    if (!GetItem(in, length) || !GetBytes(in, length, data)) return;
    slots_[i].state = kSlotFilled;
    slots_[i].length = length;
    slots_[i].data = std::move(data);
  }
}

template class MPersistentClass<GTTTableCache, MPersistentObject, kGTTTableCacheId>;
