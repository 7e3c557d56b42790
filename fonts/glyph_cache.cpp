#include "fonts/glyph_cache.h"

#include <cstring>

#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/byte_buffer.h"
#include "persist/stored_form.h"

namespace {

constexpr RWClassRegistration kGlyphCacheClasses[] = {
    {&RWCreate<GGlyphCache>, kGGlyphCacheId, "GGlyphCache"},
    {&RWCreate<GGlyphCacheNode>, kGGlyphCacheNodeId, "GGlyphCacheNode"},
};

constexpr std::int32_t kPresent = 1;
constexpr std::int32_t kAbsent = 0;

std::uint32_t PageOf(std::uint16_t glyph) {
  return glyph >> 8;
}
std::uint32_t SlotOf(std::uint16_t glyph) {
  return glyph & 0xFFu;
}

}  // namespace

std::span<const RWClassRegistration> GlyphCacheClasses() {
  return kGlyphCacheClasses;
}

// ---------------------------------------------------------------------------
// GGlyphCacheNode

GGlyphCacheNode::GGlyphCacheNode(GByteBuffer* first, GByteBuffer* second) {
  Take(first, first_);
  Take(second, second_);
}

GGlyphCacheNode::GGlyphCacheNode(const GGlyphCacheNode& other) : MPersistentClass(other) {}

void GGlyphCacheNode::Take(GByteBuffer* buffer, Block& block) {
  std::unique_ptr<GByteBuffer> owned(buffer);
  if (!owned) return;
  std::uint32_t length = owned->GetSize();
  block.data.reset(owned->Detach());
  block.length = block.data ? length : 0;
}

GByteBuffer* GGlyphCacheNode::Lend(const Block& block) {
  if (!block.data) return nullptr;
  return RWNew<GByteBuffer>(block.data.get(), block.length, false);
}

void GGlyphCacheNode::Merge(GGlyphCacheNode* other) {
  if (!other || other == this) return;
  std::unique_ptr<GGlyphCacheNode> owned(other);
  for (auto [mine, theirs] : {std::pair{&first_, &other->first_}, {&second_, &other->second_}}) {
    if (mine->data || !theirs->data) continue;
    *mine = std::move(*theirs);
    *theirs = Block();
  }
}

GByteBuffer* GGlyphCacheNode::GetFirst() const {
  return Lend(first_);
}

GByteBuffer* GGlyphCacheNode::GetSecond() const {
  return Lend(second_);
}

RWSize GGlyphCacheNode::StoredSize() const {
  return MPersistentObject::StoredSize() + 12 + first_.length + second_.length;
}

bool GGlyphCacheNode::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GGlyphCacheNode* same = SameContentBase(other);
  if (!same || first_.length != same->first_.length) return false;
  if (first_.data == same->first_.data) return true;
  if (!first_.data || !same->first_.data) return false;
  return std::memcmp(first_.data.get(), same->first_.data.get(), first_.length) == 0;
}

template <class Out>
void GGlyphCacheNode::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kGlyphCacheVersion);
  for (const Block* block : {&first_, &second_}) {
    PutItem(out, block->length);
    PutBytes(out, block->data.get(), block->length);
  }
}

template <class In>
void GGlyphCacheNode::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kGlyphCacheVersion)) return;
  first_ = Block();
  second_ = Block();
  for (Block* block : {&first_, &second_}) {
    std::uint32_t length = 0;
    std::unique_ptr<std::uint8_t[]> data;
    if (!GetItem(in, length) || !GetBytes(in, length, data)) return;
    block->data = std::move(data);
    block->length = length;
  }
}

// ---------------------------------------------------------------------------
// GGlyphCache

GGlyphCache::GGlyphCache(const GGlyphCache& other) : MPersistentClass(other) {}

GGlyphCache::~GGlyphCache() {
  Clear();
}

void GGlyphCache::Clear() {
  for (Page& page : pages_) {
    if (!page) continue;
    for (std::uint32_t s = 0; s < kGlyphCachePageSize; ++s)
      page[s].reset();
  }
  for (Page& page : pages_)
    page.reset();
}

std::unique_ptr<GGlyphCacheNode>* GGlyphCache::MakePage(std::uint32_t page) {
  if (!pages_[page])
    pages_[page] = RWNewArray<std::unique_ptr<GGlyphCacheNode>>(kGlyphCachePageSize);
  return pages_[page].get();
}

void GGlyphCache::Insert(std::uint16_t glyph, GGlyphCacheNode* node) {
  std::unique_ptr<GGlyphCacheNode> owned(node);
  if (!owned) return;
  std::unique_ptr<GGlyphCacheNode>* page = MakePage(PageOf(glyph));
  if (!page) return;
  std::unique_ptr<GGlyphCacheNode>& slot = page[SlotOf(glyph)];
  if (slot) {
    slot->Merge(owned.release());
  } else {
    slot = std::move(owned);
  }
  ++count_;
}

GGlyphCacheNode* GGlyphCache::Find(std::uint16_t glyph) const {
  const Page& page = pages_[PageOf(glyph)];
  return page ? page[SlotOf(glyph)].get() : nullptr;
}

std::uint32_t GGlyphCache::PageCount() const {
  std::uint32_t n = 0;
  for (const Page& page : pages_)
    n += page ? 1 : 0;
  return n;
}

void GGlyphCache::Merge(GGlyphCache& other) {
  if (&other == this) return;
  for (std::uint32_t p = 0; p < kGlyphCachePageCount; ++p) {
    Page& theirs = other.pages_[p];
    if (!theirs) continue;
    std::unique_ptr<GGlyphCacheNode>* mine = MakePage(p);
    if (!mine) continue;
    for (std::uint32_t s = 0; s < kGlyphCachePageSize; ++s) {
      if (!mine[s] && theirs[s]) mine[s] = std::move(theirs[s]);
    }
  }
}

RWSize GGlyphCache::StoredSize() const {
  RWSize size = MPersistentObject::StoredSize() + 12 + 4 * kGlyphCachePageCount;
  for (const Page& page : pages_) {
    if (!page) continue;
    size += 4 * kGlyphCachePageSize;
    for (std::uint32_t s = 0; s < kGlyphCachePageSize; ++s) {
      if (page[s]) size += GraphStoreSizeOf(page[s].get());
    }
  }
  return size;
}

bool GGlyphCache::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GGlyphCache* same = SameContentBase(other);
  if (!same) return false;
  for (std::uint32_t p = 0; p < kGlyphCachePageCount; ++p) {
    const Page& a = pages_[p];
    const Page& b = same->pages_[p];
    if (!a && !b) continue;
    if (!a || !b) return false;
    for (std::uint32_t s = 0; s < kGlyphCachePageSize; ++s) {
      if (a[s] == b[s]) continue;
      if (!a[s] || !b[s] || !a[s]->IsEqualContent(b[s].get())) return false;
    }
  }
  return true;
}

template <class Out>
void GGlyphCache::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kGlyphCacheVersion);
  PutItem(out, kGlyphCachePageCount);
  PutItem(out, kGlyphCachePageSize);
  PutItem(out, count_);
  for (const Page& page : pages_) {
    PutItem(out, page ? kPresent : kAbsent);
    if (!page) continue;
    for (std::uint32_t s = 0; s < kGlyphCachePageSize; ++s) {
      PutItem(out, page[s] ? kPresent : kAbsent);
      if (page[s]) PutReference(out, page[s].get());
    }
  }
}

template <class In>
void GGlyphCache::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kGlyphCacheVersion)) return;
  Clear();
  std::uint16_t page_count = 0;
  std::uint16_t page_size = 0;
  if (!GetItem(in, page_count) || !GetItem(in, page_size) || !GetItem(in, count_)) return;
  if (page_count > kGlyphCachePageCount || page_size > kGlyphCachePageSize) {
    scope.Fail();
    return;
  }
  for (std::uint32_t p = 0; p < page_count; ++p) {
    std::int32_t page_flag = kAbsent;
    if (!GetItem(in, page_flag)) return;
    if (page_flag != kPresent) continue;
    for (std::uint32_t s = 0; s < page_size; ++s) {
      std::int32_t slot_flag = kAbsent;
      if (!GetItem(in, slot_flag)) return;
      if (slot_flag != kPresent) continue;
      std::unique_ptr<GGlyphCacheNode>* page = MakePage(p);
      std::unique_ptr<GGlyphCacheNode> node(RWNew<GGlyphCacheNode>());
      if (!page || !node) {
        scope.Fail();
        return;
      }
      if (!GetEmbedded(in, *node)) return;
      page[s] = std::move(node);
    }
  }
}

template class MPersistentClass<GGlyphCacheNode, MPersistentObject, kGGlyphCacheNodeId>;
template class MPersistentClass<GGlyphCache, MPersistentObject, kGGlyphCacheId>;
