#include "store/persistent_composite_on_disk.h"

#include <cstdio>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>

#include "foundation/rw/dlist.h"
#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"
#include "persist/string_conversion.h"
#include "platform/host/files.h"
#include "store/persistent_composite_on_disk_imp.h"
#include "store/spool_file.h"

namespace {

constinit RWLockRecord g_file_lock;

constexpr RWClassRegistration kOnDiskClasses[] = {
    {&RWCreate<MPersistentCompositeOnDisk>, kMPersistentCompositeOnDiskId,
     "MPersistentCompositeOnDisk"},
};

// One entry of the list of open files: one per open handle.
struct OpenFile : RWDoubleLink {
  RWCString name;
  GCountedPtr imp;
};

// The list of open files, under StoreLock().
RWTypedDoubleLinkList<OpenFile>& OpenFiles() {
  static RWTypedDoubleLinkList<OpenFile> files;
  return files;
}

OpenFile* FindOpenFile(const RWCString& name) {
  RWTypedDoubleLinkList<OpenFile>& files = OpenFiles();
  for (RWDoubleLink* link = files.Untyped().First(); link != files.Tail(); link = link->Next()) {
    auto* entry = static_cast<OpenFile*>(link);
    if (entry->name == name) return entry;
  }
  return nullptr;
}

bool AddOpenFile(const RWCString& name, const GCountedPtr& imp) {
  auto* entry = RWNew<OpenFile>();
  if (!entry) return false;
  entry->name = name;
  entry->imp = GCountedPtr(imp, g_file_lock);
  RWTypedDoubleLinkList<OpenFile>& files = OpenFiles();
  files.InsertAfter(files.Untyped().Last(), entry);
  return true;
}

void RemoveOpenFile(const RWCString& name) {
  if (OpenFile* entry = FindOpenFile(name)) {
    OpenFiles().Remove(entry);
    delete entry;
  }
}

// Deletes the store's file; a checksummed store kept in its directory's
// spool file has its stretch forgotten instead.
void DeleteStoreFile(const RWCString& name, bool checksummed) {
  std::string_view text(name.Data(), name.Length());
  if (text.empty() || text.find('\0') != std::string_view::npos) return;
  std::optional<std::string> host = platform::ToHostPath(text);
  if (!host) return;
  const std::size_t slash = host->rfind('/');
  std::shared_ptr<GSpoolFile> spool =
      checksummed
          ? GSpoolFile::Of(slash == std::string::npos ? std::string() : host->substr(0, slash))
          : nullptr;
  spool ? spool->Forget(*host) : void(std::remove(host->c_str()));
}

}  // namespace

std::span<const RWClassRegistration> PersistentCompositeOnDiskClasses() {
  return kOnDiskClasses;
}

MPersistentCompositeOnDisk::MPersistentCompositeOnDisk(const RWWString& name,
                                                       const std::uint32_t& delete_flag,
                                                       const std::uint32_t& key, bool checksummed)
    : MPersistentObject(key), delete_flag_(delete_flag), checksummed_(checksummed) {
  WideToNarrow(name, name_);
  Open();
}

MPersistentCompositeOnDisk::MPersistentCompositeOnDisk(const std::uint32_t& delete_flag)
    : delete_flag_(delete_flag) {}

MPersistentCompositeOnDisk::MPersistentCompositeOnDisk(const MPersistentCompositeOnDisk& other)
    : MPersistentObject(other),
      name_(other.name_),
      imp_(other.imp_, g_file_lock),
      delete_flag_(other.delete_flag_),
      status_(other.status_),
      refused_(other.refused_),
      had_file_(other.had_file_),
      checksummed_(other.checksummed_) {
  // Open adds the copy's own entry to the list, so that closing either
  // handle leaves the other's file open.
  // Mended (docs/mended-behaviour.md): copies and assigned handles get their own entry.
  Open();
}

MPersistentCompositeOnDisk& MPersistentCompositeOnDisk::operator=(
    const MPersistentCompositeOnDisk& other) {
  if (this == &other || (imp_ && imp_.Get() == other.imp_.Get())) return *this;
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  Close();
  MPersistentObject::operator=(other);
  delete_flag_ = other.delete_flag_;
  imp_.Reset(other.imp_.Get(), g_file_lock);
  name_ = other.name_;
  status_ = other.status_;
  refused_ = other.refused_;
  had_file_ = other.had_file_;
  checksummed_ = other.checksummed_;
  if (other.state_ == kOpen) Open();
  return *this;
}

MPersistentCompositeOnDisk::~MPersistentCompositeOnDisk() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  Close();
  // Another handle's file must not vanish under it.
  // Mended (docs/mended-behaviour.md): deleted only when no other handle has it open.
  if (delete_flag_ == 1 && !FindOpenFile(name_)) DeleteStoreFile(name_, checksummed_);
  imp_.Reset(nullptr, g_file_lock);
}

MPersistentCompositeOnDiskImp* MPersistentCompositeOnDisk::Imp() const {
  return static_cast<MPersistentCompositeOnDiskImp*>(imp_.Get());
}

void MPersistentCompositeOnDisk::Open() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  if (state_ == kOpen) return;
  if (refused_) {
    status_ = 1;
    return;
  }
  if (OpenFile* entry = FindOpenFile(name_)) {
    if (!AddOpenFile(name_, entry->imp)) return;
    imp_.Reset(entry->imp.Get(), g_file_lock);
    state_ = kOpen;
    had_file_ = true;
    return;
  }
  auto* imp = RWNew<MPersistentCompositeOnDiskImp>(name_, checksummed_);
  if (!imp) return;
  imp_.Reset(imp, g_file_lock);
  if (!AddOpenFile(name_, imp_)) {
    imp_.Reset(nullptr, g_file_lock);
    return;
  }
  state_ = kOpen;
  // The entry is there first: a store of this name met while the index is
  // read shares this implementation instead of opening the file again.
  // A file this handle had open once is never made anew: a reopen that
  // finds it gone fails.
  imp->OpenFile(!had_file_);
  if (imp->ErrorState() == 0) had_file_ = true;
}

void MPersistentCompositeOnDisk::Close() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  if (state_ != kOpen) return;
  state_ = kClosed;
  RemoveOpenFile(name_);
  MPersistentCompositeOnDiskImp* imp = Imp();
  if (!imp) return;
  if (!FindOpenFile(name_)) {
    // The last handle on the file: it closes now, even while closed handles
    // or iterators still hold the implementation.
    // Mended (docs/mended-behaviour.md): the file no longer stays open behind them.
    imp->CloseFile();
    status_ = imp->ErrorState();
    imp_.Reset(nullptr, g_file_lock);
  } else {
    status_ = imp->ErrorState();
  }
}

std::uint32_t MPersistentCompositeOnDisk::Status() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  if (state_ == kOpen && Imp()) status_ = Imp()->ErrorState();
  return status_;
}

RWCString MPersistentCompositeOnDisk::FileName() const {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  return Imp() ? Imp()->FileName() : name_;
}

MPersistentCompositeOnDiskImp* MPersistentCompositeOnDisk::OpenImp() {
  Open();
  return state_ == kOpen ? Imp() : nullptr;
}

// ---------------------------------------------------------------------------
// Record operations

void MPersistentCompositeOnDisk::PutRecord(const GCountedPtr& record) {
  if (auto* imp = OpenImp()) imp->PutRecord(record);
}

void MPersistentCompositeOnDisk::UpdateRecord(const GCountedPtr& record) {
  if (auto* imp = OpenImp()) imp->UpdateRecord(record);
}

GCountedPtr MPersistentCompositeOnDisk::TakeRecordEqual(const MPersistentObject* object) {
  auto* imp = OpenImp();
  return imp ? imp->TakeRecordEqual(object) : GCountedPtr();
}

GCountedPtr MPersistentCompositeOnDisk::TakeRecordByKey(const std::uint32_t& key) {
  auto* imp = OpenImp();
  return imp ? imp->TakeRecordByKey(key) : GCountedPtr();
}

GCountedPtr MPersistentCompositeOnDisk::TakeRecordByClassId(const RWClassID& id) {
  auto* imp = OpenImp();
  return imp ? imp->TakeRecordByClassId(id) : GCountedPtr();
}

bool MPersistentCompositeOnDisk::ReplaceRecordByKey(const std::uint32_t& key,
                                                    MPersistentObject* object) {
  auto* imp = OpenImp();
  return imp && imp->ReplaceRecordByKey(key, object);
}

bool MPersistentCompositeOnDisk::ReplaceRecordByClassId(const RWClassID& id,
                                                        MPersistentObject* object) {
  auto* imp = OpenImp();
  return imp && imp->ReplaceRecordByClassId(id, object);
}

bool MPersistentCompositeOnDisk::ReplaceRecordEqual(const MPersistentObject* object,
                                                    MPersistentObject* new_object) {
  auto* imp = OpenImp();
  return imp && imp->ReplaceRecordEqual(object, new_object);
}

void MPersistentCompositeOnDisk::RemoveAll() {
  if (auto* imp = OpenImp()) imp->RemoveAll();
}

GCountedPtr MPersistentCompositeOnDisk::FindPtrByKey(const std::uint32_t& key) {
  auto* imp = OpenImp();
  return imp ? imp->FindPtrByKey(key) : GCountedPtr();
}

GCountedPtr MPersistentCompositeOnDisk::FindPtrByClassId(const RWClassID& id) {
  auto* imp = OpenImp();
  return imp ? imp->FindPtrByClassId(id) : GCountedPtr();
}

GCountedPtr MPersistentCompositeOnDisk::FindPtrEqual(const MPersistentObject* object) {
  auto* imp = OpenImp();
  return imp ? imp->FindPtrEqual(object) : GCountedPtr();
}

MPersistentObject* MPersistentCompositeOnDisk::AsComposite() {
  return this;
}

std::uint32_t MPersistentCompositeOnDisk::EntryCount() const {
  auto* imp = const_cast<MPersistentCompositeOnDisk*>(this)->OpenImp();
  return imp ? imp->EntryCount() : 0;
}

std::uint32_t MPersistentCompositeOnDisk::NodeCount() const {
  auto* imp = const_cast<MPersistentCompositeOnDisk*>(this)->OpenImp();
  return imp ? imp->NodeCount() : 0;
}

MRecordIterator* MPersistentCompositeOnDisk::NewChildIterator() {
  auto* imp = OpenImp();
  return imp ? imp->NewChildIterator() : nullptr;
}

// ---------------------------------------------------------------------------
// Collectable and model slots

RWCollectable* MPersistentCompositeOnDisk::CreateDefault() const {
  return new (kRWNoThrow) MPersistentCompositeOnDisk;
}

RWCollectable* MPersistentCompositeOnDisk::CreateCopy() const {
  return new (kRWNoThrow) MPersistentCompositeOnDisk(*this);
}

RWClassID MPersistentCompositeOnDisk::ClassId() const {
  return kMPersistentCompositeOnDiskId;
}

RWSize MPersistentCompositeOnDisk::StoredSize() const {
  return MPersistentObject::StoredSize() + 16 + name_.Length();
}

template <class Out>
void MPersistentCompositeOnDisk::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kOnDiskCompositeVersion);
  PutItem(out, state_);
  PutItem(out, name_);
  PutItem(out, delete_flag_);
}

template <class In>
void MPersistentCompositeOnDisk::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  std::uint32_t version = 0;
  if (!scope.Ok() || !GetItem(in, version) || version != kOnDiskCompositeVersion) return;
  std::uint32_t state = 0;
  RWCString name;
  std::uint32_t delete_flag = 0;
  if (!GetItem(in, state) || !GetItem(in, name) || !GetItem(in, delete_flag)) return;
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  Close();
  imp_.Reset(nullptr, g_file_lock);
  name_ = name;
  delete_flag_ = delete_flag;
  refused_ = false;
  had_file_ = false;
  if (name_.Length() == 0) return;  // names no file
  // The name comes from stored data: only a file beside the store being
  // read may be opened (and later deleted) for it.
  // Mended (docs/mended-behaviour.md): other names are kept but refused.
  if (!MayOpenFromStoredData(name_)) {
    refused_ = true;
    delete_flag_ = 0;
    status_ = 1;
    return;
  }
  Open();
}

void MPersistentCompositeOnDisk::RestoreFromStream(RWVirtualInputStream& stream) {
  RestoreItems(stream);
}

void MPersistentCompositeOnDisk::RestoreFromFile(RWFile& file) {
  RestoreItems(file);
}

void MPersistentCompositeOnDisk::SaveToStream(RWVirtualOutputStream& stream) const {
  SaveItems(stream);
}

void MPersistentCompositeOnDisk::SaveToFile(RWFile& file) const {
  SaveItems(file);
}

bool MPersistentCompositeOnDisk::IsKindOf(const RWClassID& id) const {
  return id == kMPersistentCompositeOnDiskId || MPersistentObject::IsKindOf(id);
}

bool MPersistentCompositeOnDisk::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  auto* handle = dynamic_cast<const MPersistentCompositeOnDisk*>(other);
  return handle && ClassId() == other->ClassId() && name_ == handle->name_ &&
         state_ == handle->state_ && imp_.Get() == handle->imp_.Get() &&
         delete_flag_ == handle->delete_flag_;
}
