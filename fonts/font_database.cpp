#include "fonts/font_database.h"

#include <atomic>
#include <cstdio>
#include <optional>
#include <string>

#include "fonts/font_lock.h"
#include "fonts/tt_font_pool.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/string_conversion.h"
#include "platform/host/files.h"
#include "services/driver_server.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

// Where the database's source file reports lock failures.
constexpr const char kDatabaseSource[] = "ftdtabse";
constexpr std::uint32_t kLockLine = 854;
constexpr std::uint32_t kUnlockLine = 858;

GLock* g_database_lock = nullptr;
std::atomic<std::uint32_t> g_serial_counter{0};

GFontDatabaseEntry* AsFont(MPersistentObject* entry) {
  return static_cast<GFontDatabaseEntry*>(entry);
}

std::uint32_t DatabasePolicy(MPersistentObject* new_entry, MPersistentObject* existing_entry,
                             std::uint32_t event) {
  GFontDatabaseEntry* fresh = AsFont(new_entry);
  GFontDatabaseEntry* existing = AsFont(existing_entry);
  switch (event) {
    case GKeyedPool::kReleaseEvent:
      if (existing->UseCount() != 1) return 0;
      existing->SetUseCount(0);
      return 1;
    case 2:
      return 1;
    case GKeyedPool::kRestoredNewEvent:
      fresh->SetUseCount(1);
      return 1;
    case GKeyedPool::kRestoredPresentEvent:
      if (existing->FontSerial() >= fresh->FontSerial()) return 0;
      if (existing->UseCount() < 2) {
        existing->SetUseCount(static_cast<std::int16_t>(existing->UseCount() - 1));
        fresh->SetUseCount(1);
        return 1;
      }
      existing->MergeFont(*fresh);
      existing->SetFontSerial(fresh->FontSerial());
      return 0;
    case GKeyedPool::kEqualityEvent:
      return existing->IsEqualContent(fresh);
    default:
      return 0;
  }
}

// The host file of a wide path, through its 8-bit form.
std::optional<std::string> HostPath(const RWWString& path) {
  RWCString narrow;
  WideToNarrow(path, narrow);
  if (narrow.Length() == 0) return std::nullopt;
  return platform::ToHostPath(std::string_view(narrow.Data(), narrow.Length()));
}

bool SamePath(const RWWString& a, const RWWString& b) {
  return a.Length() == b.Length() &&
         std::char_traits<char16_t>::compare(a.Data(), b.Data(), a.Length()) == 0;
}

}  // namespace

void GFontDatabaseEntry::MergeFont(GFontDatabaseEntry&) {}

// ---------------------------------------------------------------------------

GJobFontDatabase::GJobFontDatabase(GRenderDriverData* owner)
    : owner_(owner), objects_(RWNew<GKeyedPool>(&DatabasePolicy, &IsFontObject)) {}

GJobFontDatabase::~GJobFontDatabase() {
  ReleaseAll();
}

std::uint32_t GJobFontDatabase::OwnerId() const {
  return owner_ ? owner_->GetOwnerId() : 0;
}

bool GJobFontDatabase::IsFontObject(const MPersistentObject* entry) {
  return dynamic_cast<const GFontDatabaseEntry*>(entry) != nullptr;
}

std::uint32_t GJobFontDatabase::IsInUse(MPersistentObject* entry, std::uint32_t phase, void*) {
  GFontDatabaseEntry* font = AsFont(entry);
  if (phase == GKeyedPool::kWrittenPhase) {
    font->SetSaveMark(0);
    return 0;
  }
  return font->SaveMark() == 1;
}

std::uint32_t GJobFontDatabase::SaveToPath(const RWWString& path) {
  std::optional<std::string> host = HostPath(path);
  if (!host) return 0;
  RWFile file(host->c_str(), "wb");
  if (!file.IsValid()) return 0;
  std::uint32_t result = SaveToFile(file);
  saved_paths_.reserve(saved_paths_.size() + 1);
  saved_files_.push_back(*host);
  saved_paths_.push_back(path);
  // What the runtime still buffers must reach the file too.
  if (result == 1 && (!file.Flush() || file.Error())) result = 0;
  return result;
}

std::uint32_t GJobFontDatabase::SaveToFile(RWFile& file) {
  if (!objects_) return 0;
  const std::uint32_t owner = OwnerId();
  std::uint32_t result = 1;
  if (GTTFontPool* pool = GTTFontPool::Instance()) {
    result = pool->SaveToFile(file, owner);
  } else if (!file.Error()) {
    file.WriteULong(0);  // no pool: no readers
    result = file.Error() ? 0 : 1;
  }
  if (result != 1) return result;
  result = objects_->SaveToFile(file, &IsInUse, nullptr);
  if (result != 1) return result;
  ReleaseHolds();
  return 1;
}

std::uint32_t GJobFontDatabase::SaveToStream(RWVirtualOutputStream& stream) {
  if (!objects_) return 0;
  std::uint32_t result = 1;
  if (GTTFontPool* pool = GTTFontPool::Instance()) {
    result = pool->SaveToStream(stream, OwnerId());
  } else {
    stream.PutULong(0);
    result = stream.Good() ? 1 : 0;
  }
  if (result != 1) return result;
  return objects_->SaveToStream(stream, &IsInUse, nullptr);
}

int GJobFontDatabase::LoadFromPath(const RWWString& path) {
  if (SamePath(path, current_path_)) return 1;
  std::optional<std::string> host = HostPath(path);
  if (!host) return 0;
  RWFile file(host->c_str(), "rb");
  if (!file.IsValid()) return 0;
  std::uint32_t result = RestoreFromFile(file);
  current_path_ = result == 1 ? path : RWWString();
  return static_cast<int>(result);
}

namespace {

// Readers read where no pool is kept are read and dropped.
template <class In>
std::uint32_t RestoreReadersWithoutPool(In& in) {
  GKeyedPool scratch(nullptr, &GTTFontPool::IsReader);
  std::uint32_t result;
  if constexpr (std::is_same_v<In, RWFile>) {
    result = scratch.RestoreFromFile(in);
  } else {
    result = scratch.RestoreFromStream(in);
  }
  for (std::uint32_t key : scratch.GetKeys())
    delete scratch.Remove(key);
  return result;
}

std::uint32_t RestorePool(GTTFontPool& pool, RWFile& file) {
  return pool.RestoreFromFile(file);
}
std::uint32_t RestorePool(GTTFontPool& pool, RWVirtualInputStream& stream) {
  return pool.RestoreFromStream(stream);
}
std::uint32_t RestoreObjects(GKeyedPool& objects, RWFile& file) {
  return objects.RestoreFromFile(file);
}
std::uint32_t RestoreObjects(GKeyedPool& objects, RWVirtualInputStream& stream) {
  return objects.RestoreFromStream(stream);
}

}  // namespace

template <class In>
std::uint32_t GJobFontDatabase::Restore(In& in) {
  if (!objects_) return 0;
  ReleaseHolds();
  GTTFontPool* pool = GTTFontPool::Instance();
  std::uint32_t result = pool ? RestorePool(*pool, in) : RestoreReadersWithoutPool(in);
  if (result != 1) return result;
  return RestoreObjects(*objects_, in);
}

std::uint32_t GJobFontDatabase::RestoreFromFile(RWFile& file) {
  return Restore(file);
}

std::uint32_t GJobFontDatabase::RestoreFromStream(RWVirtualInputStream& stream) {
  return Restore(stream);
}

void GJobFontDatabase::ReleaseHolds() {
  if (objects_) objects_->ReleasePass();
  if (GTTFontPool* pool = GTTFontPool::Instance()) pool->ReleaseOwner(OwnerId());
}

// Allocates nothing: the destructor releases through here.
void GJobFontDatabase::ReleaseAll() {
  if (objects_) {
    objects_->TakeAll(
        [](MPersistentObject* entry, void*) {
          GFontDatabaseEntry* object = AsFont(entry);
          object->SetUseCount(static_cast<std::int16_t>(object->UseCount() - 1));
          if (object->UseCount() <= 0) delete object;
        },
        nullptr);
  }
  const std::uint32_t owner = OwnerId();
  if (owner != 0) {
    if (GTTFontPool* pool = GTTFontPool::Instance()) pool->ReleaseOwner(owner);
  }
  for (const std::string& file : saved_files_)
    std::remove(file.c_str());
  saved_files_.clear();
  saved_paths_.clear();
  current_path_ = RWWString();
}

void GJobFontDatabase::Reset() {
  ReleaseAll();
}

std::uint32_t GJobFontDatabase::CountReference(GFontDatabaseEntry* object) {
  if (object && objects_ && objects_->Insert(object->DatabaseKey(), object))
    object->SetUseCount(static_cast<std::int16_t>(object->UseCount() + 1));
  return 1;
}

GFontDatabaseEntry* GJobFontDatabase::Acquire(std::uint32_t key, std::uint32_t minimum) {
  GFontDatabaseEntry* object = objects_ ? AsFont(objects_->Find(key)) : nullptr;
  if (!object || object->FontSerial() < minimum) return nullptr;
  object->SetUseCount(static_cast<std::int16_t>(object->UseCount() + 1));
  return object;
}

GFontDatabaseEntry* GJobFontDatabase::Remove(std::uint32_t key) {
  return objects_ ? AsFont(objects_->Remove(key)) : nullptr;
}

std::uint32_t GJobFontDatabase::Release(std::uint32_t key) {
  GFontDatabaseEntry* object = Remove(key);
  if (!object) return 0;
  object->SetUseCount(static_cast<std::int16_t>(object->UseCount() - 1));
  if (object->UseCount() <= 0) delete object;
  return 1;
}

std::uint32_t GJobFontDatabase::Contains(std::uint32_t key) const {
  return objects_ ? objects_->Contains(key) : 0;
}

std::uint32_t GJobFontDatabase::Count() const {
  return objects_ ? objects_->Count() : 0;
}

std::uint32_t GJobFontDatabase::NextSerial() {
  GLockScope scope(g_database_lock, kDatabaseSource, kLockLine, kUnlockLine);
  return g_serial_counter.fetch_add(1);
}

void GJobFontDatabase::SetSerialCounter(std::uint32_t value) {
  g_serial_counter.store(value);
}

void GJobFontDatabase::CreateLock() {
  EnsureFontLock(&g_database_lock);
}

void GJobFontDatabase::DestroyLock() {
  delete g_database_lock;
  g_database_lock = nullptr;
}
