#include "services/unicode_converter.h"

#include <atomic>
#include <memory>

#include "services/lock.h"
#include "services/os_factory.h"

namespace {

constexpr char kSource[] = "unicode";
constexpr std::uint32_t kLockLine = 138;
constexpr std::uint32_t kUnlockLine = 153;

std::atomic<GUnicodeConverter*> g_converter{nullptr};
GLock* g_lock = nullptr;  // made by EnsureLock, under the services' lock

// Deletes the converter at the end of the process.
struct ConverterReaper {
  ~ConverterReaper() { delete g_converter.exchange(nullptr); }
};

}  // namespace

GUnicodeConverter::~GUnicodeConverter() = default;

// Without services (before attach, after detach) there is no converter.
GUnicodeConverter* GetUnicodeConverter() {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return nullptr;
  if (GUnicodeConverter* converter = g_converter.load(std::memory_order_acquire)) return converter;
  static ConverterReaper reaper;
  services->EnsureLock(&g_lock);
  GLockScope scope(g_lock, kSource, kLockLine, kUnlockLine);
  if (!g_converter.load(std::memory_order_acquire)) {
    g_converter.store(services->CreateUnicodeConverter(), std::memory_order_release);
  }
  return g_converter.load(std::memory_order_acquire);
}
