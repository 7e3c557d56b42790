#include "fonts/tt_font_reader.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "fonts/font.h"
#include "fonts/font_items.h"
#include "fonts/font_lock.h"
#include "fonts/glyph_cache.h"
#include "fonts/tt_outline_renderer.h"
#include "fonts/tt_table_cache.h"
#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/byte_buffer.h"
#include "persist/stored_form.h"
#include "services/driver_server.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

// Where the reader's source file reports lock failures.
constexpr const char kLockSource[] = "ttftfile";
constexpr std::uint32_t kLockLine = 1837;
constexpr std::uint32_t kUnlockLine = 1806;

// Header values: table and byte offset.
constexpr std::uint32_t kHeadBoundingBoxAt = 36;
constexpr std::uint32_t kHeadLocFormatAt = 50;
constexpr std::uint32_t kMaxpNumGlyphsAt = 4;
constexpr std::uint32_t kOS2TypoDescenderAt = 70;
constexpr std::uint32_t kMetricsCountAt = 34;  // 'hhea' and 'vhea'
constexpr std::uint8_t kLongLocFormat = 1;

// The reader's own part of the stored form: version, generation and key
// (12), indexToLocFormat (1), the spare records (2 x 10) and the cached
// values (4 x 6).
constexpr RWSize kReaderPartSize = 57;

std::uint64_t End(std::uint32_t offset, std::uint32_t length) {
  return std::uint64_t{offset} + length;
}

}  // namespace

// ---------------------------------------------------------------------------
// Construction and locking

GTTFontReader::GTTFontReader() : lock_(NewFontLock()) {}

GTTFontReader::GTTFontReader(std::uint32_t font_key) : lock_(NewFontLock()), font_key_(font_key) {}

GTTFontReader::GTTFontReader(const GTTFontReader& other)
    : MPersistentObject(other), lock_(NewFontLock()) {}

GTTFontReader::~GTTFontReader() {
  table_cache_.Reset();
  glyph_cache_.Reset();
  delete lock_;
}

void GTTFontReader::Lock() {
  if (lock_ && lock_->Lock() != 0)
    ReportDriverError(kDriverErrorCritical, kErrorLockFailed, kLockSource, kLockLine, "");
  locked_ = 1;
}

void GTTFontReader::Unlock() {
  locked_ = 0;
  if (lock_ && lock_->Unlock() == kUnlockFailed)
    ReportDriverError(kDriverErrorCritical, kErrorUnlockFailed, kLockSource, kUnlockLine, "");
}

GTTTableCache* GTTFontReader::TableCache() const {
  return static_cast<GTTTableCache*>(table_cache_.Get());
}

GGlyphCache* GTTFontReader::GlyphCache() const {
  return static_cast<GGlyphCache*>(glyph_cache_.Get());
}

void GTTFontReader::AddId(std::vector<std::uint32_t>& list, std::uint32_t id) {
  if (!HasId(list, id)) list.push_back(id);
}

void GTTFontReader::RemoveId(std::vector<std::uint32_t>& list, std::uint32_t id) {
  std::erase(list, id);
}

bool GTTFontReader::HasId(const std::vector<std::uint32_t>& list, std::uint32_t id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

// ---------------------------------------------------------------------------
// Tables

std::uint32_t GTTFontReader::CheckRequiredTables(std::uint32_t source) {
  for (TTTagIndex index : kTTRequiredTables) {
    if (QueryTableLength(source, kTTTags[index]) == 0) return 0;
  }
  return 1;
}

std::uint32_t GTTFontReader::GetTableLength(std::uint32_t source, std::uint32_t tag_index) {
  if (tag_index >= kTTTagCount) return 0;
  GTTTableCache* cache = TableCache();
  if (cache && cache->Holds(tag_index)) return cache->Length(tag_index);
  return QueryTableLength(source, kTTTags[tag_index]);
}

std::uint32_t GTTFontReader::ReadTablePart(std::uint32_t source, std::uint32_t tag_index,
                                           std::uint32_t offset, std::uint32_t may_cache,
                                           std::uint8_t* destination, std::uint32_t length) {
  if (tag_index >= kTTTagCount) return 0;
  const std::uint32_t tag = kTTTags[tag_index];
  // A cached table is the whole table: a range past its end is no range.
  if (GTTTableCache* cache = TableCache(); cache && cache->Holds(tag_index)) {
    if (length == 0 || End(offset, length) > cache->Length(tag_index)) return 0;
    std::memcpy(destination, cache->Bytes(tag_index) + offset, length);
    return length;
  }
  if (may_cache && IsCachingAllowed()) {
    std::uint32_t table_length = QueryTableLength(source, tag);
    if (table_length == 0) {
      StoreTable(tag_index, RWNew<GByteBuffer>(nullptr, 0, true));
      return 0;
    }
    if (End(offset, length) > table_length) return 0;
    if (table_length < kTTWholeTableLimit) {
      GByteBuffer* read = nullptr;
      std::uint32_t got = ReadWholeTable(source, tag, read, table_length);
      std::unique_ptr<GByteBuffer> whole(read);
      if (got < table_length || !whole || whole->GetSize() < table_length) return 0;
      if (length > 0) std::memcpy(destination, whole->GetData() + offset, length);
      StoreTable(tag_index, whole.release());
      return length;
    }
  }
  if (length == 0) return 0;
  std::uint32_t got = ReadTableRange(source, tag, offset, destination, length);
  return got == length ? length : 0;
}

std::uint32_t GTTFontReader::ReadTable(std::uint32_t source, std::uint32_t tag_index,
                                       std::uint32_t may_cache, GByteBuffer*& out) {
  out = nullptr;
  if (tag_index >= kTTTagCount) return 0;
  if (GTTTableCache* cache = TableCache(); cache && cache->Holds(tag_index)) {
    std::uint32_t length = cache->Length(tag_index);
    if (length > 0) out = cache->Lookup(tag_index);
    return out ? length : 0;
  }
  const std::uint32_t tag = kTTTags[tag_index];
  const bool keep = may_cache && IsCachingAllowed();
  std::uint32_t length = QueryTableLength(source, tag);
  if (length == 0) {
    if (keep) {
      out = RWNew<GByteBuffer>(nullptr, 0, true);
      StoreTable(tag_index, RWNew<GByteBuffer>(nullptr, 0, true));
    }
    return 0;
  }
  GByteBuffer* read = nullptr;
  std::uint32_t got = ReadWholeTable(source, tag, read, length);
  std::unique_ptr<GByteBuffer> whole(read);
  if (got < length || !whole || whole->GetSize() < length) return 0;
  if (keep && length < kTTWholeTableLimit) {
    if (GByteBuffer* copy = GByteBuffer::NewCopy(whole->GetData(), length))
      StoreTable(tag_index, copy);
  }
  out = whole.release();
  return length;
}

void GTTFontReader::StoreTable(std::uint32_t tag_index, GByteBuffer* buffer) {
  std::unique_ptr<GByteBuffer> owned(buffer);
  if (!owned) return;
  if (!table_cache_) table_cache_.Reset(RWNew<GTTTableCache>());
  GTTTableCache* cache = TableCache();
  if (!cache) return;
  const std::uint32_t before = cache->Count();
  const bool has_bytes = owned->GetSize() != 0;
  cache->Store(tag_index, owned.release());
  if (cache->Count() == before) return;
  GrowGeneration();
  // A table the renderer may lack: an empty one (a table the font has not)
  // adds nothing to its font.
  if (has_bytes) DropRenderer();
}

void GTTFontReader::DropRenderer() {
  renderer_.reset();
  renderer_tried_ = false;
}

std::uint32_t GTTFontReader::RenderGlyph(std::uint32_t source, std::uint32_t code,
                                         std::uint32_t selector, std::int32_t pixels,
                                         GGlyphMetrics& metrics, GByteBuffer*& out) {
  out = nullptr;
  if (renderer_ && renderer_->Source() != source) DropRenderer();
  if (!renderer_ && !renderer_tried_) {
    const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
    std::unique_ptr<GTTOutlineRenderer> made = GTTOutlineRenderer::Make(*this, source);
    // Its reads may have dropped a renderer and its failure mark; set both
    // now. A renderer memory ran short for is tried again next time.
    renderer_ = std::move(made);
    renderer_tried_ = renderer_ || RWOutOfMemoryRaised() == short_of_memory;
  }
  metrics = GGlyphMetrics();
  if (!renderer_) return 0;
  const std::uint16_t glyph = MapCharToGlyph(source, 0, code, selector);
  // The mapping's reads may drop the renderer too.
  if (!renderer_) return 0;
  return renderer_->Render(glyph, pixels, metrics, out);
}

std::size_t GTTFontReader::RendererFontSize() const {
  return renderer_ ? renderer_->FontSize() : 0;
}

void GTTFontReader::CacheGlyph(std::uint16_t glyph, GByteBuffer* first, GByteBuffer* second) {
  GGlyphCacheNode* node = RWNew<GGlyphCacheNode>(first, second);
  if (!node) {
    delete first;
    delete second;
    return;
  }
  if (!glyph_cache_) glyph_cache_.Reset(RWNew<GGlyphCache>());
  GGlyphCache* cache = GlyphCache();
  if (!cache) {
    delete node;
    return;
  }
  std::uint32_t before = cache->Count();
  cache->Insert(glyph, node);
  if (cache->Count() > before) GrowGeneration();
}

std::uint32_t GTTFontReader::FindCachedTable(std::uint32_t tag_index, GByteBuffer*& out) const {
  out = nullptr;
  GTTTableCache* cache = TableCache();
  if (!cache || !cache->Holds(tag_index)) return 0;
  out = cache->Lookup(tag_index);
  return out ? cache->Length(tag_index) : 0;
}

std::uint32_t GTTFontReader::FindCachedGlyph(std::uint16_t glyph, GByteBuffer*& out) const {
  GGlyphCacheNode* node = GlyphCache() ? GlyphCache()->Find(glyph) : nullptr;
  out = node ? node->GetFirst() : nullptr;
  return out ? 1 : 0;
}

std::uint32_t GTTFontReader::FindCachedGlyphSecond(std::uint16_t glyph, GByteBuffer*& out) const {
  GGlyphCacheNode* node = GlyphCache() ? GlyphCache()->Find(glyph) : nullptr;
  out = node ? node->GetSecond() : nullptr;
  return out ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Glyph data

bool GTTFontReader::EnsureLocFormat(std::uint32_t source) {
  if (index_to_loc_format_ != kTTLocFormatUnread) return true;
  std::uint8_t word[2];
  if (ReadTablePart(source, kTagHead, kHeadLocFormatAt, 0, word, 2) != 2) return false;
  index_to_loc_format_ = word[1];
  return true;
}

bool GTTFontReader::ReadLoca(std::uint32_t source, std::uint16_t glyph, std::uint32_t& offset,
                             std::uint32_t& next) {
  if (!EnsureLocFormat(source)) return false;
  std::uint8_t bytes[8];
  if (index_to_loc_format_ == kLongLocFormat) {
    if (ReadTablePart(source, kTagLoca, std::uint32_t{glyph} * 4, 1, bytes, 8) != 8) return false;
    offset = BigEndian32(bytes, 0);
    next = BigEndian32(bytes, 4);
  } else {
    if (ReadTablePart(source, kTagLoca, std::uint32_t{glyph} * 2, 1, bytes, 4) != 4) return false;
    offset = std::uint32_t{BigEndian16(bytes, 0)} * 2;
    next = std::uint32_t{BigEndian16(bytes, 2)} * 2;
  }
  return true;
}

std::uint32_t GTTFontReader::GetGlyphData(std::uint32_t source, std::uint32_t may_cache,
                                          std::uint16_t glyph, GByteBuffer*& out) {
  out = nullptr;
  if (GGlyphCacheNode* node = GlyphCache() ? GlyphCache()->Find(glyph) : nullptr) {
    if (GByteBuffer* first = node->GetFirst()) {
      out = first;
      return node->GetFirstLength();
    }
  }
  std::uint32_t offset = 0;
  std::uint32_t next = 0;
  if (!ReadLoca(source, glyph, offset, next)) return 0;
  std::uint32_t length = next >= offset ? next - offset : 0;
  std::unique_ptr<GByteBuffer> data;
  if (length > 0) {
    // 'loca' is outside data: nothing is allocated for a glyph that does
    // not lie inside 'glyf'.
    if (End(offset, length) > GetTableLength(source, kTagGlyf)) return 0;
    std::unique_ptr<std::uint8_t[]> block = RWNewArrayForOverwrite<std::uint8_t>(length);
    if (!block || ReadTablePart(source, kTagGlyf, offset, 1, block.get(), length) != length)
      return 0;
    data.reset(RWNew<GByteBuffer>(block.get(), length, true));
    if (!data) return 0;
    block.release();
  } else {
    data.reset(RWNew<GByteBuffer>(nullptr, 0, true));
    if (!data) return 0;
  }
  if (may_cache) {
    if (GByteBuffer* copy = GByteBuffer::NewCopy(data->GetData(), length))
      CacheGlyph(glyph, copy, nullptr);
  }
  out = data.release();
  return length;
}

std::uint32_t GTTFontReader::GetGlyphOffset(std::uint32_t source, std::uint16_t glyph) {
  std::uint32_t offset = 0;
  std::uint32_t next = 0;
  return ReadLoca(source, glyph, offset, next) ? offset : 0;
}

// ---------------------------------------------------------------------------
// Header values and metrics

template <class T>
std::uint32_t GTTFontReader::ReadCachedValue(std::uint32_t source, std::uint32_t tag_index,
                                             std::uint32_t offset, CachedValue<T>& value) {
  if (value.read) return 1;
  std::uint8_t word[2];
  if (ReadTablePart(source, tag_index, offset, 1, word, 2) != 2) return 0;
  value.read = 1;
  value.value = static_cast<T>(BigEndian16(word, 0));
  GrowGeneration();
  return 1;
}

std::uint32_t GTTFontReader::GetFontBoundingBox(std::uint32_t source, std::int16_t box[4]) {
  std::uint8_t bytes[8];
  if (ReadTablePart(source, kTagHead, kHeadBoundingBoxAt, 1, bytes, 8) != 8) return 0;
  for (int i = 0; i < 4; ++i)
    box[i] = static_cast<std::int16_t>(BigEndian16(bytes, 2 * i));
  return 8;
}

std::uint32_t GTTFontReader::GetNumGlyphs(std::uint32_t source, std::uint16_t& value) {
  if (!ReadCachedValue(source, kTagMaxp, kMaxpNumGlyphsAt, num_glyphs_)) return 0;
  value = num_glyphs_.value;
  return 1;
}

std::uint32_t GTTFontReader::GetTypoDescender(std::uint32_t source, std::int16_t& value) {
  if (!ReadCachedValue(source, kTagOS2, kOS2TypoDescenderAt, typo_descender_)) return 0;
  value = typo_descender_.value;
  return 1;
}

std::uint32_t GTTFontReader::ReadMetrics(std::uint32_t source, std::uint16_t glyph,
                                         std::uint32_t header, std::uint32_t metrics,
                                         CachedValue<std::uint16_t>& long_count,
                                         std::uint16_t& advance, std::int16_t& bearing) {
  if (!ReadCachedValue(source, header, kMetricsCountAt, long_count)) return 0;
  // A font without long metrics has no last one to stand for the others.
  const std::uint32_t n = long_count.value;
  if (n == 0) return 0;
  const std::uint32_t g = glyph;
  std::uint32_t advance_at = g >= n ? 4 * n - 4 : 4 * g;
  std::uint32_t bearing_at = g >= n ? 2 * (g + n) : 4 * g + 2;
  std::uint8_t a[2];
  std::uint8_t b[2];
  if (ReadTablePart(source, metrics, advance_at, 1, a, 2) != 2 ||
      ReadTablePart(source, metrics, bearing_at, 0, b, 2) != 2) {
    return 0;
  }
  advance = BigEndian16(a, 0);
  bearing = static_cast<std::int16_t>(BigEndian16(b, 0));
  return 1;
}

std::uint32_t GTTFontReader::GetHorizontalMetrics(std::uint32_t source, std::uint16_t glyph,
                                                  std::uint16_t& advance_width,
                                                  std::int16_t& left_side_bearing) {
  return ReadMetrics(source, glyph, kTagHhea, kTagHmtx, number_of_h_metrics_, advance_width,
                     left_side_bearing);
}

std::uint32_t GTTFontReader::GetVerticalMetrics(std::uint32_t source, std::uint16_t glyph,
                                                std::uint16_t& advance_height,
                                                std::int16_t& top_side_bearing) {
  return ReadMetrics(source, glyph, kTagVhea, kTagVmtx, number_of_v_metrics_, advance_height,
                     top_side_bearing);
}

// ---------------------------------------------------------------------------
// Preloading and merging

std::uint32_t GTTFontReader::PreloadTables(std::uint32_t source, std::uint32_t selector) {
  if (preloaded_) return 1;
  for (TTTagIndex index : kTTPreloadedTables) {
    GTTTableCache* cache = TableCache();
    if (cache && cache->Holds(index)) continue;
    const std::uint32_t tag = kTTTags[index];
    std::uint32_t length = QueryTableLength(source, tag);
    if (length == 0) {
      StoreTable(index, RWNew<GByteBuffer>(nullptr, 0, true));
      continue;
    }
    GByteBuffer* read = nullptr;
    std::uint32_t got = ReadWholeTable(source, tag, read, length);
    std::unique_ptr<GByteBuffer> whole(read);
    if (got >= length && whole && whole->GetSize() >= length) StoreTable(index, whole.release());
  }
  const GFontDescriptionRecord empty;
  WalkGlyph(source, 0, 0, 0, 0, empty, 0);
  if (selector == 17) {
    std::uint16_t yen = MapCharToGlyph(source, 0, 0xA5, 17);
    WalkGlyph(source, yen, 0xA5, 0, 0, empty, 0);
  }
  preloaded_ = 1;
  return 1;
}

void GTTFontReader::Merge(GTTFontReader& other) {
  if (&other == this) return;
  if (GTTTableCache* theirs = other.TableCache()) {
    DropRenderer();
    if (!table_cache_) table_cache_.Reset(RWNew<GTTTableCache>());
    if (TableCache()) TableCache()->Merge(*theirs);
  }
  if (GGlyphCache* theirs = other.GlyphCache()) {
    if (!glyph_cache_) glyph_cache_.Reset(RWNew<GGlyphCache>());
    if (GlyphCache()) GlyphCache()->Merge(*theirs);
  }
  index_to_loc_format_ = other.index_to_loc_format_;
  spare_[0] = other.spare_[0];
  spare_[1] = other.spare_[1];
  num_glyphs_ = other.num_glyphs_;
  typo_descender_ = other.typo_descender_;
  number_of_h_metrics_ = other.number_of_h_metrics_;
  number_of_v_metrics_ = other.number_of_v_metrics_;
}

// ---------------------------------------------------------------------------
// Equality and persistence

namespace {

// Both absent or the same object, else equal by the cache's own equality.
bool SameCache(const MPersistentObject* a, const MPersistentObject* b) {
  if (a == b) return true;
  return a && b && a->IsEqualContent(b);
}

}  // namespace

bool GTTFontReader::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const auto* same = dynamic_cast<const GTTFontReader*>(other);
  if (!same || !MPersistentObject::IsEqualContent(other)) return false;
  return index_to_loc_format_ == same->index_to_loc_format_ && spare_[0] == same->spare_[0] &&
         spare_[1] == same->spare_[1] && num_glyphs_ == same->num_glyphs_ &&
         typo_descender_ == same->typo_descender_ &&
         number_of_h_metrics_ == same->number_of_h_metrics_ &&
         number_of_v_metrics_ == same->number_of_v_metrics_ &&
         SameCache(table_cache_.Get(), same->table_cache_.Get()) &&
         SameCache(glyph_cache_.Get(), same->glyph_cache_.Get());
}

RWSize GTTFontReader::StoredSize() const {
  return MPersistentObject::StoredSize() + kReaderPartSize + GraphStoreSizeOf(table_cache_.Get()) +
         GraphStoreSizeOf(glyph_cache_.Get());
}

template <class Out>
void GTTFontReader::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kTTFontReaderVersion);
  PutItem(out, generation_);
  PutItem(out, font_key_);
  PutByte(out, index_to_loc_format_);
  for (const SpareRecord& spare : spare_) {
    PutItem(out, spare.read);
    PutItem(out, spare.value1);
    PutItem(out, spare.value2);
    PutItem(out, spare.value3);
  }
  PutItem(out, num_glyphs_.read);
  PutItem(out, num_glyphs_.value);
  PutItem(out, typo_descender_.read);
  PutItem(out, typo_descender_.value);
  PutItem(out, number_of_h_metrics_.read);
  PutItem(out, number_of_h_metrics_.value);
  PutItem(out, number_of_v_metrics_.read);
  PutItem(out, number_of_v_metrics_.value);
  PutReference(out, table_cache_.Get());
  PutReference(out, glyph_cache_.Get());
}

namespace {

template <class In, class T>
bool GetCached(In& in, GTTFontReader::CachedValue<T>& value) {
  return GetItem(in, value.read) && GetItem(in, value.value);
}

}  // namespace

template <class In>
void GTTFontReader::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kTTFontReaderVersion)) return;
  if (!GetItem(in, generation_) || !GetItem(in, font_key_) || !GetByte(in, index_to_loc_format_))
    return;
  for (SpareRecord& spare : spare_) {
    if (!GetItem(in, spare.read) || !GetItem(in, spare.value1) || !GetItem(in, spare.value2) ||
        !GetItem(in, spare.value3))
      return;
  }
  if (!GetCached(in, num_glyphs_) || !GetCached(in, typo_descender_) ||
      !GetCached(in, number_of_h_metrics_) || !GetCached(in, number_of_v_metrics_))
    return;
  table_cache_.Reset();
  glyph_cache_.Reset();
  DropRenderer();
  if (!ReadUnheldObject<GTTTableCache>(in, scope, table_cache_)) return;
  ReadUnheldObject<GGlyphCache>(in, scope, glyph_cache_);
}

void GTTFontReader::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GTTFontReader::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GTTFontReader::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GTTFontReader::SaveToFile(RWFile& file) const {
  SaveItems(file);
}
