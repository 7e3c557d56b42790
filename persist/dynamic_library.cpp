#include "persist/dynamic_library.h"

#include "foundation/rw/file.h"
#include "foundation/rw/support.h"
#include "foundation/rw/vstream.h"
#include "persist/stored_form.h"
#include "platform/host/modules.h"

namespace {

constexpr RWClassRegistration kDynamicLibraryClasses[] = {
    {&RWCreate<GDynamicLibrary>, kGDynamicLibraryId, "GDynamicLibrary"},
};

}  // namespace

std::span<const RWClassRegistration> DynamicLibraryClasses() {
  return kDynamicLibraryClasses;
}

GDynamicLibrary::GDynamicLibrary(const GDynamicLibrary& other)
    : MPersistentClass(other), name_(other.name_), loaded_(other.loaded_), share_(other.share_) {
  if (share_) share_->holders.fetch_add(1, std::memory_order_relaxed);
}

GDynamicLibrary& GDynamicLibrary::operator=(const GDynamicLibrary& other) {
  if (this == &other) return *this;
  // Take the source's share before letting go of this one's: both may be
  // the same.
  if (other.share_) other.share_->holders.fetch_add(1, std::memory_order_relaxed);
  Unload();
  MPersistentObject::operator=(other);
  name_ = other.name_;
  loaded_ = other.loaded_;
  share_ = other.share_;
  return *this;
}

GDynamicLibrary::~GDynamicLibrary() {
  Unload();
}

bool GDynamicLibrary::Load() {
  if (loaded_) return true;
  platform::HMODULE module = platform::LoadLibraryW(name_.Data());
  if (!module) return false;
  share_ = RWNew<ModuleShare>(module, 1u);
  if (!share_) {
    platform::FreeLibrary(module);
    return false;
  }
  loaded_ = 1;
  return true;
}

void GDynamicLibrary::Unload() {
  if (!loaded_) return;
  if (share_ && share_->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    platform::FreeLibrary(share_->module);
    delete share_;
  }
  share_ = nullptr;
  loaded_ = 0;
}

platform::HMODULE GDynamicLibrary::Handle() const {
  return share_ ? share_->module : nullptr;
}

platform::FARPROC GDynamicLibrary::FindExport(const char* name) {
  if (!Load()) return nullptr;
  return platform::GetProcAddress(share_->module, name);
}

std::uint32_t GDynamicLibrary::CallExport(const char* name,
                                          std::span<const std::uintptr_t> arguments) {
  auto entry = reinterpret_cast<ExportEntry>(FindExport(name));
  if (!entry) return 0;
  return entry(arguments.data(), static_cast<std::uint32_t>(arguments.size()));
}

std::uint16_t GDynamicLibrary::CallExportPair(const char* name, std::uintptr_t first,
                                              std::uintptr_t second) {
  auto entry = reinterpret_cast<PairEntry>(FindExport(name));
  if (!entry) return 0;
  return static_cast<std::uint16_t>(entry(first, second));
}

RWSize GDynamicLibrary::StoredSize() const {
  return MPersistentObject::StoredSize() + 8 + 2 * name_.Length();
}

bool GDynamicLibrary::IsEqualContent(const MPersistentObject* other) const {
  if (other == this) return true;
  const GDynamicLibrary* same = SameContentBase(other);
  return same && name_ == same->name_ && loaded_ == same->loaded_ && Handle() == same->Handle();
}

void GDynamicLibrary::ReadPointerFromStream(RWVirtualInputStream& stream,
                                            GDynamicLibrary*& object) {
  ReadModelPointer(stream, object);
}

void GDynamicLibrary::ReadPointerFromFile(RWFile& file, GDynamicLibrary*& object) {
  ReadModelPointer(file, object);
}

template <class Out>
void GDynamicLibrary::SaveItems(Out& out) const {
  SaveBase<MPersistentObject>(*this, out);
  PutItem(out, kDynamicLibraryVersion);
  PutItem(out, name_);
}

template <class In>
void GDynamicLibrary::RestoreItems(In& in) {
  MRestoreScope scope(in);
  RestoreBase<MPersistentObject>(*this, in);
  if (!ReadsVersion(scope, in, kDynamicLibraryVersion)) return;
  // The module loaded under the old name goes with it.
  Unload();
  GetItem(in, name_);
}

template class MPersistentClass<GDynamicLibrary, MPersistentObject, kGDynamicLibraryId>;
