#include "store/command_composite_on_disk.h"

#include <memory>
#include <mutex>
#include <new>

#include "config/attributes/attribute_lookup.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"
#include "persist/string_conversion.h"
#include "services/driver_server.h"
#include "services/render_driver_data.h"
#include "store/spool_lock.h"

namespace {

constexpr RWClassRegistration kCommandCompositeOnDiskClasses[] = {
    {&RWCreate<GCommandCompositeOnDisk>, kGCommandCompositeOnDiskId, "GCommandCompositeOnDisk"},
};

// The text as an unsigned number in base 16, read as the runtime's
// strtoul does: leading blanks and a "0x" skipped, digits up to the first
// other character, a value past 32 bits saturated.
std::uint32_t ParseCookie(const RWCString& text) {
  const char* p = text.Data();
  const char* end = p + text.Length();
  while (p != end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
    ++p;
  if (end - p >= 3 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  std::uint64_t value = 0;
  for (; p != end; ++p) {
    int digit = *p >= '0' && *p <= '9'   ? *p - '0'
                : *p >= 'a' && *p <= 'f' ? *p - 'a' + 10
                : *p >= 'A' && *p <= 'F' ? *p - 'A' + 10
                                         : -1;
    if (digit < 0) break;
    value = value * 16 + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) value = 0xFFFFFFFFu + std::uint64_t{1};
  }
  return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<std::uint32_t>(value);
}

// Restores one token into `existing`, on either source.
RWCollectable* RestoreInPlace(RWFile& file, RWCollectable* existing) {
  return RestoreCollectableFromFile(file, existing);
}
RWCollectable* RestoreInPlace(RWVirtualInputStream& stream, RWCollectable* existing) {
  return RestoreCollectableFromStream(stream, existing);
}

// The replay iterator: the handle reopened, its own iterator walked; the
// handle is closed again when the iterator goes.
class ReplayIterator : public MRecordIterator {
 public:
  ReplayIterator(MPersistentCompositeOnDisk& handle, MRecordIterator* walk, bool fonts_failed)
      : handle_(handle), walk_(walk), fonts_failed_(fonts_failed) {}
  ~ReplayIterator() override {
    walk_.reset();
    handle_.Close();
  }

  MPersistentObject* Current() override { return walk_->Current(); }
  void ReplaceCurrent(MPersistentObject* object) override { walk_->ReplaceCurrent(object); }
  // Nothing is handed out after the fonts failed: text without its font
  // is not the page that was held.
  bool Next() override { return !fonts_failed_ && walk_->Next(); }
  void Reset() override { walk_->Reset(); }
  GCountedPtr CurrentObject() override { return walk_->CurrentObject(); }
  GCountedPtr TakeCurrent() override { return walk_->TakeCurrent(); }
  bool ReplaceCurrentObject(MPersistentObject* object) override {
    return walk_->ReplaceCurrentObject(object);
  }
  bool Previous() override { return walk_->Previous(); }
  // The store's file failed (not opened again, damaged, or unreadable), or
  // the font file it names did.
  bool Failed() override { return fonts_failed_ || handle_.Status() != 0; }

 private:
  MPersistentCompositeOnDisk& handle_;  // the list's; outlives the iterator
  std::unique_ptr<MRecordIterator> walk_;
  const bool fonts_failed_;
};

}  // namespace

std::span<const RWClassRegistration> CommandCompositeOnDiskClasses() {
  return kCommandCompositeOnDiskClasses;
}

GCommandCompositeOnDisk::GCommandCompositeOnDisk() : GCommand(0), handle_(0) {
  handle_.SetChecksummed(true);  // a restore opens the handle on a spooled file
}

GCommandCompositeOnDisk::GCommandCompositeOnDisk(const RWWString& name,
                                                 const std::uint32_t& delete_flag,
                                                 const std::uint32_t& key)
    : GCommand(key), handle_(name, delete_flag, key, true) {}

GCommandCompositeOnDisk::GCommandCompositeOnDisk(const RWWString& name,
                                                 GAttributeComposite* attributes,
                                                 const std::uint32_t& delete_flag,
                                                 const std::uint32_t& key)
    : GCommand(attributes, key), handle_(name, delete_flag, key, true) {}

GCommandCompositeOnDisk::GCommandCompositeOnDisk(const GCommandCompositeOnDisk& other)
    : GCommand(other), handle_(other.handle_) {}

GCommandCompositeOnDisk::~GCommandCompositeOnDisk() = default;

RWCollectable* GCommandCompositeOnDisk::CreateDefault() const {
  return new (kRWNoThrow) GCommandCompositeOnDisk;
}

RWCollectable* GCommandCompositeOnDisk::CreateCopy() const {
  return new (kRWNoThrow) GCommandCompositeOnDisk(*this);
}

RWClassID GCommandCompositeOnDisk::ClassId() const {
  return kGCommandCompositeOnDiskId;
}

// ---------------------------------------------------------------------------
// Stored form

RWSize GCommandCompositeOnDisk::StoredSize() const {
  return GCommand::StoredSize() + 4 + handle_.GraphStoreSize();
}

template <class Out>
void GCommandCompositeOnDisk::SaveItems(Out& out) const {
  SaveBase<GCommand>(*this, out);
  PutItem(out, kCommandCompositeOnDiskVersion);
  PutReference(out, &handle_);
}

template <class In>
void GCommandCompositeOnDisk::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<GCommand>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kCommandCompositeOnDiskVersion) return;
  // The token must be the handle's own: a back reference to anything else,
  // or another class, fails.
  if (RestoreInPlace(in, &handle_) != &handle_) scope.Fail();
}

void GCommandCompositeOnDisk::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void GCommandCompositeOnDisk::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void GCommandCompositeOnDisk::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void GCommandCompositeOnDisk::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

// ---------------------------------------------------------------------------
// Kind and content

bool GCommandCompositeOnDisk::IsKindOf(const RWClassID& id) const {
  return id == kGCommandCompositeOnDiskId || GCommand::IsKindOf(id);
}

bool GCommandCompositeOnDisk::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* list = dynamic_cast<const GCommandCompositeOnDisk*>(other);
  return list && ClassId() == other->ClassId() && GCommand::IsEqualContent(other) &&
         handle_.IsEqualContent(&list->handle_);
}

// ---------------------------------------------------------------------------
// Records

void GCommandCompositeOnDisk::PutRecord(const GCountedPtr& record) {
  if (record && record->IsKindOf(kGCommandId)) handle_.PutRecord(record);
}

GCountedPtr GCommandCompositeOnDisk::TakeRecordEqual(const MPersistentObject* object) {
  return handle_.TakeRecordEqual(object);
}

GCountedPtr GCommandCompositeOnDisk::TakeRecordByKey(const std::uint32_t& key) {
  return handle_.TakeRecordByKey(key);
}

GCountedPtr GCommandCompositeOnDisk::TakeRecordByClassId(const RWClassID& id) {
  return handle_.TakeRecordByClassId(id);
}

bool GCommandCompositeOnDisk::ReplaceRecordByKey(const std::uint32_t& key,
                                                 MPersistentObject* object) {
  return handle_.ReplaceRecordByKey(key, object);
}

bool GCommandCompositeOnDisk::ReplaceRecordByClassId(const RWClassID& id,
                                                     MPersistentObject* object) {
  return handle_.ReplaceRecordByClassId(id, object);
}

bool GCommandCompositeOnDisk::ReplaceRecordEqual(const MPersistentObject* object,
                                                 MPersistentObject* new_object) {
  return handle_.ReplaceRecordEqual(object, new_object);
}

GCountedPtr GCommandCompositeOnDisk::FindPtrByKey(const std::uint32_t& key) {
  return handle_.FindPtrByKey(key);
}

GCountedPtr GCommandCompositeOnDisk::FindPtrByClassId(const RWClassID& id) {
  return handle_.FindPtrByClassId(id);
}

GCountedPtr GCommandCompositeOnDisk::FindPtrEqual(const MPersistentObject* object) {
  return handle_.FindPtrEqual(object);
}

MPersistentObject* GCommandCompositeOnDisk::AsComposite() {
  return handle_.AsComposite();
}

std::uint32_t GCommandCompositeOnDisk::EntryCount() const {
  return handle_.EntryCount();
}

std::uint32_t GCommandCompositeOnDisk::NodeCount() const {
  return handle_.NodeCount();
}

std::uint16_t GCommandCompositeOnDisk::Execute(GPeripheral&) {
  return 0;
}

void GCommandCompositeOnDisk::PutKeyed(const GCountedPtr& command) {
  handle_.TakeRecordByKey(kKeyedCommandKey);
  if (!command) return;
  command->SetKey(kKeyedCommandKey);
  PutRecord(command);
}

GCountedPtr GCommandCompositeOnDisk::TakeKeyed() {
  return handle_.TakeRecordByKey(kKeyedCommandKey);
}

void GCommandCompositeOnDisk::Close() {
  handle_.Close();
}

std::uint32_t GCommandCompositeOnDisk::Status() {
  return handle_.Status();
}

// ---------------------------------------------------------------------------
// Replay

bool GCommandCompositeOnDisk::LoadFontDatabase() {
  GAttributeComposite* set = GetAttributes();
  if (!set) return true;
  GStringAttribute* file = FindStringAttribute(set, kFontFilePathKey);
  GStringAttribute* cookie = FindStringAttribute(set, kJobCookieKey);
  if (!file || !cookie || file->GetValue().Length() == 0 || cookie->GetValue().Length() == 0) {
    return true;
  }
  GDriverServer* server = GDriverServer::Instance();
  GRenderDriverData* data =
      server ? server->FindRenderData(ParseCookie(cookie->GetValue())) : nullptr;
  GFontDatabase* fonts = data ? data->GetFontDatabase() : nullptr;
  if (!fonts) return true;
  RWWString path;
  NarrowToWide(file->GetValue(), path);
  // The spool's lock first, then the database's own (spool_lock.h).
  GSpoolLockOwner spool(true);
  std::lock_guard<platform::CriticalSection> lock(fonts->Lock());
  return fonts->LoadFromPath(path) == 1;
}

MRecordIterator* GCommandCompositeOnDisk::NewChildIterator() {
  const bool fonts_failed = !LoadFontDatabase();
  handle_.Open();
  MRecordIterator* walk = handle_.NewChildIterator();
  if (!walk) return nullptr;
  auto* replay = new (kRWNoThrow) ReplayIterator(handle_, walk, fonts_failed);
  if (!replay) {
    delete walk;
    RWRaiseNoMemory(sizeof(ReplayIterator));
  }
  return replay;
}
