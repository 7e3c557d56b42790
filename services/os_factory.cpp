#include "services/os_factory.h"

#include <atomic>
#include <new>

#include "services/lock.h"
#include "services/os_version.h"

namespace {

std::atomic<GOSFactory*> g_services{nullptr};

constexpr char kSource[] = "osfactry";
constexpr std::uint32_t kEnsureLockLine = 591;
constexpr std::uint32_t kEnsureUnlockLine = 600;
// The most units of a file-name pattern that are used.
constexpr RWSize kPatternUnits = 260;
constexpr char16_t kDefaultFilePattern[] = u"&&&&&&&&.&&&";

}  // namespace

GOSFactory* GOSFactory::Instance() {
  return g_services.load(std::memory_order_acquire);
}

GOSFactory* GOSFactory::SetInstance(GOSFactory* services) {
  return g_services.exchange(services, std::memory_order_acq_rel);
}

GOSFactory::~GOSFactory() {
  // Services that go while installed must not be reached any more.
  GOSFactory* self = this;
  g_services.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
  delete services_lock_;
}

void GOSFactory::SetServicesLock(GLock* lock) {
  delete services_lock_;
  services_lock_ = lock;
}

GDriverData* GOSFactory::CastDriverData(GDriverData* data) {
  return data;
}

void GOSFactory::GetOSVersion(GOSVersion& version) {
  DetectOSVersion(version);
}

void GOSFactory::EnsureLock(GLock** slot) {
  // Double-checked: a slot once filled is never emptied while in use.
  std::atomic_ref<GLock*> shared(*slot);
  if (shared.load(std::memory_order_acquire)) return;
  GLockScope scope(services_lock_, kSource, kEnsureLockLine, kEnsureUnlockLine);
  if (!shared.load(std::memory_order_acquire))
    shared.store(CreateLock(), std::memory_order_release);
}

GMiniInstaller* GOSFactory::NewMiniInstaller(const RWWString&, platform::HANDLE, std::uintptr_t) {
  return nullptr;
}

RWWString GOSFactory::MakeUniqueFileName(const RWWString& directory, const RWWString& pattern,
                                         int create) {
  RWWString used = pattern.IsNull() ? GetDefaultFilePattern() : pattern;
  if (used.Length() > kPatternUnits) used = RWWString(used.Data(), kPatternUnits);
  RWWString base = directory;
  const char16_t separator = GetPathSeparator();
  if (!base.IsNull() && base[base.Length() - 1] != separator) base += separator;
  SeedRandom();
  for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
    RWWString path = base;
    for (RWSize i = 0; i < used.Length(); ++i) {
      char16_t c = used[i];
      if (c == u'&') {
        std::int32_t r = Random() % 36;
        c = static_cast<char16_t>(r < 10 ? u'0' + r : u'A' + r - 10);
      }
      path += c;
    }
    if (FileExists(path)) continue;
    // A name that cannot be created is tried again under another name; a
    // directory where nothing can be created ends the search.
    if (!create || CreateEmptyFile(path)) return path;
  }
  return RWWString();
}

RWWString GOSFactory::GetDefaultFilePattern() const {
  return RWWString(kDefaultFilePattern);
}

void* GOSFactory::Allocate(std::size_t size) {
  return ::operator new(size, std::nothrow);
}

void GOSFactory::Free(void* block) {
  if (block) ::operator delete(block);
}

GFontAccess* GOSFactory::MakeFontAccess() {
  return nullptr;
}

void GOSFactory::Placeholder5(std::uintptr_t) {}

std::int32_t GOSFactory::Placeholder6() {
  return 0;
}

std::int32_t GOSFactory::Placeholder7() {
  return -1;
}

int GOSFactory::IsOutputPollingOff() {
  return 0;
}

char16_t GOSFactory::GetPathSeparator() const {
  return u'\\';
}

void GOSFactory::SetTimeBias(std::int16_t) {}

void GOSFactory::SetModuleHandle(platform::HMODULE module) {
  std::lock_guard<std::mutex> lock(module_mutex_);
  module_ = module;
}

platform::HMODULE GOSFactory::GetModuleHandle() {
  std::lock_guard<std::mutex> lock(module_mutex_);
  return module_;
}

void GOSFactory::ForgetModuleDirectory() {
  std::lock_guard<std::mutex> lock(module_mutex_);
  module_directory_ = RWWString();
}
