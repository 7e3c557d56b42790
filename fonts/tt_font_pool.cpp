#include "fonts/tt_font_pool.h"

#include <atomic>
#include <mutex>
#include <new>

#include "fonts/font_lock.h"
#include "fonts/tt_font_reader.h"
#include "foundation/rw/file.h"
#include "foundation/rw/scoped_value.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "output/core/byte_buffer.h"
#include "persist/persistent_stream.h"
#include "persist/stored_form.h"
#include "services/driver_server.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

constexpr RWClassRegistration kTTFontPoolClasses[] = {
    {&RWCreate<GTTFontFile>, kGTTFontFileId, "GTTFontFile"},
};

// Where the pool's source file reports lock failures.
constexpr const char kPoolSource[] = "ttflpool";

std::atomic<GTTFontPool*> g_pool{nullptr};
std::mutex g_pool_creation;

// The owners that steer the policy: set only around a restore that names
// an owner and around ReleaseOwner, under the pool lock; 0 otherwise.
std::uint32_t g_adding_owner = 0;
std::uint32_t g_releasing_owner = 0;

// Set on a thread while it restores a pool's readers under the pool lock.
// A font-file handle in that stored form is damage (the form holds readers
// alone); its restore must not ask the pool, whose lock this thread holds
// and cannot take again.
thread_local int g_restoring_pool = 0;

class PoolRestore {
 public:
  PoolRestore() { ++g_restoring_pool; }
  ~PoolRestore() { --g_restoring_pool; }
  PoolRestore(const PoolRestore&) = delete;
  PoolRestore& operator=(const PoolRestore&) = delete;
};

GTTFontReader* AsReader(MPersistentObject* entry) {
  return static_cast<GTTFontReader*>(entry);
}

// Holds a reader's lock for one scope.
class ReaderLock {
 public:
  explicit ReaderLock(GTTFontReader* reader) : reader_(reader) {
    if (reader_) reader_->Lock();
  }
  ~ReaderLock() {
    if (reader_) reader_->Unlock();
  }
  ReaderLock(const ReaderLock&) = delete;
  ReaderLock& operator=(const ReaderLock&) = delete;

 private:
  GTTFontReader* reader_;
};

std::uint32_t PoolPolicy(MPersistentObject* new_entry, MPersistentObject* existing_entry,
                         std::uint32_t event) {
  GTTFontReader* fresh = AsReader(new_entry);
  GTTFontReader* existing = AsReader(existing_entry);
  switch (event) {
    case 0:
    case 2:
    case 4:
      return 1;
    case GKeyedPool::kReleaseEvent: {
      ReaderLock hold(existing);
      if (g_releasing_owner) GTTFontReader::RemoveId(existing->OwnerList(), g_releasing_owner);
      if (existing->OwnerList().empty() && existing->UseCount() == 1) {
        existing->SetUseCount(0);
        return 1;
      }
      return 0;
    }
    case GKeyedPool::kRestoredNewEvent: {
      ReaderLock hold(fresh);
      fresh->SetUseCount(1);
      if (g_adding_owner) GTTFontReader::AddId(fresh->OwnerList(), g_adding_owner);
      return 1;
    }
    case GKeyedPool::kRestoredPresentEvent: {
      ReaderLock hold_existing(existing);
      ReaderLock hold_fresh(fresh);
      GTTFontReader* kept = existing;
      std::uint32_t answer = 0;
      if (existing->Generation() < fresh->Generation()) {
        if (existing->UseCount() < 2) {
          existing->SetUseCount(static_cast<std::int16_t>(existing->UseCount() - 1));
          fresh->SetUseCount(1);
          kept = fresh;
          answer = 1;
        } else {
          existing->Merge(*fresh);
          existing->SetGeneration(fresh->Generation());
        }
      }
      if (g_adding_owner) GTTFontReader::AddId(kept->OwnerList(), g_adding_owner);
      return answer;
    }
    case GKeyedPool::kEqualityEvent: {
      ReaderLock hold_fresh(fresh);
      ReaderLock hold_existing(existing);
      return existing->Generation() == fresh->Generation() && existing->IsEqualContent(fresh);
    }
    default:
      return 0;
  }
}

std::uint32_t SaveFilter(MPersistentObject* entry, std::uint32_t phase, void* datum) {
  GTTFontReader* reader = AsReader(entry);
  const std::uint32_t owner = *static_cast<const std::uint32_t*>(datum);
  switch (phase) {
    case GKeyedPool::kCountPhase: {
      ReaderLock hold(reader);
      return GTTFontReader::HasId(reader->SaveList(), owner);
    }
    case GKeyedPool::kWritePhase:
      // Kept locked while it is written.
      reader->Lock();
      if (GTTFontReader::HasId(reader->SaveList(), owner)) return 1;
      reader->Unlock();
      return 0;
    case GKeyedPool::kWrittenPhase:
      GTTFontReader::RemoveId(reader->SaveList(), owner);
      reader->Unlock();
      return 0;
    default:
      return 0;
  }
}

// Lowers the use count of a reader the caller has locked; at 0 unlocks and
// deletes it. True when deleted.
bool DropUse(GTTFontReader* reader) {
  reader->SetUseCount(static_cast<std::int16_t>(reader->UseCount() - 1));
  if (reader->UseCount() > 0) return false;
  reader->Unlock();
  delete reader;
  return true;
}

}  // namespace

std::span<const RWClassRegistration> TTFontPoolClasses() {
  return kTTFontPoolClasses;
}

// Holds the pool lock for one scope; `line` names the caller in reports.
class GTTFontPoolLock {
 public:
  GTTFontPoolLock(GTTFontPool* pool, std::uint32_t line)
      : scope_(pool ? pool->lock_ : nullptr, kPoolSource, line, line) {}

 private:
  GLockScope scope_;
};

// ---------------------------------------------------------------------------
// GTTFontPool

GTTFontPool* GTTFontPool::Instance() {
  return g_pool.load(std::memory_order_acquire);
}

GTTFontPool* GTTFontPool::CreateInstance() {
  std::lock_guard<std::mutex> hold(g_pool_creation);
  if (!g_pool.load()) {
    GTTFontPool* pool = new (kRWNoThrow) GTTFontPool();
    if (pool && !pool->readers_) {
      delete pool;
      pool = nullptr;
    }
    g_pool.store(pool, std::memory_order_release);
  }
  return g_pool.load();
}

void GTTFontPool::DestroyInstance() {
  std::lock_guard<std::mutex> hold(g_pool_creation);
  delete g_pool.exchange(nullptr);
}

GTTFontPool::GTTFontPool() : readers_(RWNew<GKeyedPool>(&PoolPolicy, &IsReader)) {
  EnsureFontLock(&lock_);
}

GTTFontPool::~GTTFontPool() {
  ReleaseAll();
  delete lock_;
}

bool GTTFontPool::IsReader(const MPersistentObject* entry) {
  return dynamic_cast<const GTTFontReader*>(entry) != nullptr;
}

void GTTFontPool::RemoveTag(std::uintptr_t value) {
  for (auto it = tags_.begin(); it != tags_.end(); ++it) {
    if (*it == value) {
      tags_.erase(it);
      return;
    }
  }
}

void GTTFontPool::Purge() {
  GTTFontPoolLock hold(this, __LINE__);
  tags_.clear();
  for (std::uint32_t key : readers_->GetKeys()) {
    GTTFontReader* reader = AsReader(readers_->Remove(key));
    reader->Lock();
    if (!DropUse(reader)) reader->Unlock();
  }
  std::unique_ptr<GKeyedPool> fresh(RWNew<GKeyedPool>(&PoolPolicy, &IsReader));
  if (fresh) readers_ = std::move(fresh);
  next_id_ = 0;
}

void GTTFontPool::ReleaseOwner(std::uint32_t owner) {
  GTTFontPoolLock hold(this, __LINE__);
  RWScopedValue<std::uint32_t> releasing(g_releasing_owner, owner);
  readers_->ReleasePass();
}

void GTTFontPool::RunReleasePass() {
  GTTFontPoolLock hold(this, __LINE__);
  readers_->ReleasePass();
}

GTTFontFile* GTTFontPool::MakeFontFile(GTTFontReader* reader) {
  GTTFontPoolLock hold(this, __LINE__);
  return RWNew<GTTFontFile>(this, reader);
}

std::uint32_t GTTFontPool::ReleaseReader(GTTFontReader* reader) {
  GTTFontPoolLock hold(this, __LINE__);
  return ReleaseHeldReader(reader);
}

std::uint32_t GTTFontPool::ReleaseHeldReader(GTTFontReader* reader) {
  if (!reader) return 0;
  switch (reader->UseCount()) {
    case 2:
      if (readers_->Contains(reader->FontKey()))
        RemoveTag(reinterpret_cast<std::uintptr_t>(reader));
      // Held by the pool alone, the reader renders nothing until a handle
      // comes: its font need not stay in memory.
      if (readers_->Find(reader->FontKey()) == reader) reader->DropRenderer();
      reader->SetUseCount(1);
      return 0;
    case 1:
      RemoveTag(reinterpret_cast<std::uintptr_t>(reader));
      // Never leave the pool holding a reader it no longer counts.
      if (readers_->Find(reader->FontKey()) == reader) readers_->Remove(reader->FontKey());
      reader->SetUseCount(0);
      reader->Unlock();
      delete reader;
      return 1;
    default:
      reader->SetUseCount(static_cast<std::int16_t>(reader->UseCount() - 1));
      return 0;
  }
}

void GTTFontPool::ReleaseHandleReader(GTTFontReader* reader) {
  if (!reader) return;
  GTTFontPool* pool = Instance();
  if (!pool) {
    reader->Lock();
    if (!DropUse(reader)) reader->Unlock();
    return;
  }
  // The pool lock first, as every pool operation takes it, then the
  // reader's: a handle going on one thread never waits on a pool
  // operation that waits on its reader.
  GTTFontPoolLock hold(pool, __LINE__);
  reader->Lock();
  if (!pool->ReleaseHeldReader(reader)) reader->Unlock();
}

std::uint32_t GTTFontPool::Add(GTTFontReader* reader) {
  GTTFontPoolLock hold(this, __LINE__);
  if (!reader) return 1;
  ReaderLock reader_hold(reader);
  if (readers_->Insert(reader->FontKey(), reader))
    reader->SetUseCount(static_cast<std::int16_t>(reader->UseCount() + 1));
  return 1;
}

GTTFontReader* GTTFontPool::Acquire(std::uint32_t font_key, std::uint32_t minimum) {
  GTTFontPoolLock hold(this, __LINE__);
  GTTFontReader* reader = AsReader(readers_->Find(font_key));
  if (!reader) return nullptr;
  ReaderLock reader_hold(reader);
  if (reader->Generation() < minimum) return nullptr;
  reader->SetUseCount(static_cast<std::int16_t>(reader->UseCount() + 1));
  return reader;
}

GTTFontReader* GTTFontPool::Remove(std::uint32_t font_key) {
  GTTFontPoolLock hold(this, __LINE__);
  return AsReader(readers_->Remove(font_key));
}

std::uint32_t GTTFontPool::ReleaseKey(std::uint32_t font_key) {
  GTTFontPoolLock hold(this, __LINE__);
  GTTFontReader* reader = AsReader(readers_->Remove(font_key));
  if (!reader) return 0;
  reader->Lock();
  if (!DropUse(reader)) reader->Unlock();
  return 1;
}

void GTTFontPool::ReleaseAll() {
  GTTFontPoolLock hold(this, __LINE__);
  // Gathers no keys: the destructor releases through here.
  readers_->TakeAll(
      [](MPersistentObject* entry, void*) {
        GTTFontReader* reader = AsReader(entry);
        reader->Lock();
        if (!DropUse(reader)) reader->Unlock();
      },
      nullptr);
}

std::uint32_t GTTFontPool::Contains(std::uint32_t font_key) {
  GTTFontPoolLock hold(this, __LINE__);
  return readers_->Contains(font_key);
}

std::uint32_t GTTFontPool::Count() {
  GTTFontPoolLock hold(this, __LINE__);
  return readers_->Count();
}

std::uint32_t GTTFontPool::SaveToStream(RWVirtualOutputStream& stream, std::uint32_t owner) {
  GTTFontPoolLock hold(this, __LINE__);
  return readers_->SaveToStream(stream, &SaveFilter, &owner);
}

std::uint32_t GTTFontPool::SaveToFile(RWFile& file, std::uint32_t owner) {
  GTTFontPoolLock hold(this, __LINE__);
  return readers_->SaveToFile(file, &SaveFilter, &owner);
}

std::uint32_t GTTFontPool::RestoreFromStream(RWVirtualInputStream& stream) {
  GTTFontPoolLock hold(this, __LINE__);
  PoolRestore restoring;
  return readers_->RestoreFromStream(stream);
}

std::uint32_t GTTFontPool::RestoreFromFile(RWFile& file) {
  GTTFontPoolLock hold(this, __LINE__);
  PoolRestore restoring;
  return readers_->RestoreFromFile(file);
}

std::uint32_t GTTFontPool::SaveToServiceStream(std::uint32_t owner, const RWWString& path) {
  GOSFactory* services = GOSFactory::Instance();
  std::unique_ptr<GPersistentOutputStream> stream(
      services ? services->NewFileOutputStream(path, GOSFactory::kBinaryEncoding) : nullptr);
  RWVirtualOutputStream* out = stream ? stream->VirtualStream() : nullptr;
  if (!out || !out->Good()) return 0;
  const std::uint32_t result = SaveToStream(*out, owner);
  // What the stream still buffers must reach the file before the answer: a
  // write that failed only when the stream closed would come after it.
  out->Flush();
  return result == 1 && out->Good() ? 1 : 0;
}

std::uint32_t GTTFontPool::RestoreFromServiceStream(std::uint32_t owner, const RWWString& path) {
  GOSFactory* services = GOSFactory::Instance();
  std::unique_ptr<GPersistentInputStream> stream(
      services ? services->NewFileInputStream(path, GOSFactory::kBinaryEncoding) : nullptr);
  RWVirtualInputStream* in = stream ? stream->VirtualStream() : nullptr;
  if (!in || !in->Good()) return 0;
  GTTFontPoolLock hold(this, __LINE__);
  PoolRestore restoring;
  RWScopedValue<std::uint32_t> adding(g_adding_owner, owner);
  return readers_->RestoreFromStream(*in);
}

std::uint32_t GTTFontPool::NextId() {
  GTTFontPoolLock hold(this, __LINE__);
  return next_id_++;
}

// ---------------------------------------------------------------------------
// GTTFontFile

GTTFontFile::GTTFontFile(GTTFontPool* pool, GTTFontReader* reader) : reader_(reader), pool_(pool) {
  if (!reader_) return;
  ReaderLock hold(reader_);
  reader_->SetUseCount(static_cast<std::int16_t>(reader_->UseCount() + 1));
}

GTTFontFile::GTTFontFile(const GTTFontFile& other) : MPersistentClass(other) {}

GTTFontFile::~GTTFontFile() {
  GTTFontPool::ReleaseHandleReader(reader_);
}

#define DRV_FORWARD(call)   \
  if (!reader_) return 0;   \
  ReaderLock hold(reader_); \
  return reader_->call

std::uint32_t GTTFontFile::CheckRequiredTables(std::uint32_t source) {
  DRV_FORWARD(CheckRequiredTables(source));
}

std::uint32_t GTTFontFile::FileRequest1(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                        std::uint32_t d) {
  DRV_FORWARD(FileRequest1(a, b, c, d));
}

std::uint32_t GTTFontFile::FileRequest2(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                        std::uint32_t d) {
  DRV_FORWARD(FileRequest2(a, b, c, d));
}

std::uint32_t GTTFontFile::ReadTablePart(std::uint32_t source, std::uint32_t tag_index,
                                         std::uint32_t offset, std::uint32_t may_cache,
                                         std::uint8_t* destination, std::uint32_t length) {
  DRV_FORWARD(ReadTablePart(source, tag_index, offset, may_cache, destination, length));
}

std::uint32_t GTTFontFile::ReadTable(std::uint32_t source, std::uint32_t tag_index,
                                     std::uint32_t may_cache, GByteBuffer*& out) {
  out = nullptr;
  DRV_FORWARD(ReadTable(source, tag_index, may_cache, out));
}

std::uint32_t GTTFontFile::GetTableLength(std::uint32_t source, std::uint32_t tag_index) {
  DRV_FORWARD(GetTableLength(source, tag_index));
}

std::uint32_t GTTFontFile::GlyphRequest(GFontDescriptionRecord record, std::uint32_t a,
                                        std::uint32_t b, std::uint32_t c) {
  DRV_FORWARD(GlyphRequest(record, a, b, c));
}

std::uint32_t GTTFontFile::GetGlyphData(std::uint32_t source, std::uint32_t may_cache,
                                        std::uint16_t glyph, GByteBuffer*& out) {
  out = nullptr;
  DRV_FORWARD(GetGlyphData(source, may_cache, glyph, out));
}

std::uint32_t GTTFontFile::GetGlyphOffset(std::uint32_t source, std::uint16_t glyph) {
  DRV_FORWARD(GetGlyphOffset(source, glyph));
}

std::uint32_t GTTFontFile::GetFontBoundingBox(std::uint32_t source, std::int16_t box[4]) {
  DRV_FORWARD(GetFontBoundingBox(source, box));
}

std::uint16_t GTTFontFile::MapCharToGlyph(std::uint32_t source, std::uint32_t vertical,
                                          std::uint32_t code, std::uint32_t selector) {
  DRV_FORWARD(MapCharToGlyph(source, vertical, code, selector));
}

std::uint32_t GTTFontFile::CollectGlyphs(std::uint32_t source, std::uint16_t glyph,
                                         std::uint32_t code, std::uint32_t converter,
                                         std::uint32_t selector, GFontDescriptionRecord record,
                                         std::uint32_t nested) {
  DRV_FORWARD(WalkGlyph(source, glyph, code, converter, selector, record, nested));
}

void GTTFontFile::CacheGlyph(std::uint16_t glyph, GByteBuffer* first, GByteBuffer* second) {
  if (!reader_) {
    delete first;
    delete second;
    return;
  }
  ReaderLock hold(reader_);
  reader_->CacheGlyph(glyph, first, second);
}

std::uint32_t GTTFontFile::FindCachedGlyph(std::uint16_t glyph, GByteBuffer*& out) {
  out = nullptr;
  DRV_FORWARD(FindCachedGlyph(glyph, out));
}

std::uint32_t GTTFontFile::FindCachedGlyphSecond(std::uint16_t glyph, GByteBuffer*& out) {
  out = nullptr;
  DRV_FORWARD(FindCachedGlyphSecond(glyph, out));
}

std::uint32_t GTTFontFile::GetNumGlyphs(std::uint32_t source, std::uint16_t& value) {
  DRV_FORWARD(GetNumGlyphs(source, value));
}

std::uint32_t GTTFontFile::GetTypoDescender(std::uint32_t source, std::int16_t& value) {
  DRV_FORWARD(GetTypoDescender(source, value));
}

std::uint32_t GTTFontFile::GetHorizontalMetrics(std::uint32_t source, std::uint16_t glyph,
                                                std::uint16_t& advance_width,
                                                std::int16_t& left_side_bearing) {
  DRV_FORWARD(GetHorizontalMetrics(source, glyph, advance_width, left_side_bearing));
}

std::uint32_t GTTFontFile::GetVerticalMetrics(std::uint32_t source, std::uint16_t glyph,
                                              std::uint16_t& advance_height,
                                              std::int16_t& top_side_bearing) {
  DRV_FORWARD(GetVerticalMetrics(source, glyph, advance_height, top_side_bearing));
}

std::uint32_t GTTFontFile::RenderGlyph(std::uint32_t source, std::uint32_t code,
                                       std::uint32_t selector, std::int32_t pixels,
                                       GGlyphMetrics& metrics, GByteBuffer*& out) {
  out = nullptr;
  DRV_FORWARD(RenderGlyph(source, code, selector, pixels, metrics, out));
}

#undef DRV_FORWARD

std::uint32_t GTTFontFile::GetConvertedGlyph(std::uint32_t source, std::uint32_t may_cache,
                                             std::uint16_t glyph, std::uint32_t code,
                                             GByteBuffer*& out, std::uint32_t extra,
                                             std::uint32_t selector,
                                             GFontDescriptionRecord record) {
  out = nullptr;
  if (!reader_) return 0;
  ReaderLock hold(reader_);
  if (reader_->FindCachedGlyphSecond(glyph, out)) return out->GetSize();
  std::uint32_t result =
      reader_->ConvertGlyph(source, may_cache, glyph, code, out, extra, selector, record);
  if (may_cache && out)
    reader_->CacheGlyph(glyph, nullptr, GByteBuffer::NewCopy(out->GetData(), out->GetSize()));
  return result;
}

void GTTFontFile::AddKey(std::uint32_t owner) {
  if (!reader_) return;
  {
    ReaderLock hold(reader_);
    GTTFontReader::AddId(reader_->SaveList(), owner);
  }
  if (GTTFontPool* pool = GTTFontPool::Instance()) pool->Add(reader_);
}

RWSize GTTFontFile::StoredSize() const {
  return MPersistentObject::StoredSize() + 12;
}

bool GTTFontFile::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GTTFontFile* same = SameContentBase(other);
  if (!same) return false;
  if (reader_ == same->reader_) return true;
  if (!reader_ || !same->reader_) return false;
  // Two readers locked in one order (by address), whichever side asks.
  GTTFontReader* first = reader_ < same->reader_ ? reader_ : same->reader_;
  GTTFontReader* second = first == reader_ ? same->reader_ : reader_;
  ReaderLock hold_first(first);
  ReaderLock hold_second(second);
  return reader_->IsEqualContent(same->reader_);
}

template <class Out>
void GTTFontFile::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kTTFontFileVersion);
  std::uint32_t key = 0;
  std::uint32_t generation = kTTNoGeneration;
  if (reader_) {
    ReaderLock hold(reader_);
    key = reader_->FontKey();
    generation = reader_->Generation();
  }
  PutItem(out, key);
  PutItem(out, generation);
}

template <class In>
void GTTFontFile::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kTTFontFileVersion)) return;
  std::uint32_t key = 0;
  std::uint32_t generation = kTTNoGeneration;
  if (!GetItem(in, key) || !GetItem(in, generation)) return;
  GTTFontPool::ReleaseHandleReader(reader_);
  reader_ = nullptr;
  pool_ = GTTFontPool::Instance();
  if (pool_ && generation != kTTNoGeneration && !g_restoring_pool)
    reader_ = pool_->Acquire(key, generation);
}

template class MPersistentClass<GTTFontFile, MPersistentObject, kGTTFontFileId>;
