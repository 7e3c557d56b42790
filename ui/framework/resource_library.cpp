#include "ui/framework/resource_library.h"

#include <atomic>
#include <vector>

#include "platform/host/modules.h"
#include "platform/host/system.h"
#include "platform/ui/dialog.h"
#include "platform/ui/message_boxes.h"
#include "platform/ui/messages.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

constexpr char kSource[] = "resource_library";
// The ANSI code pages of right-to-left scripts (Hebrew, Arabic).
constexpr platform::UINT kHebrewCodePage = 1255;
constexpr platform::UINT kArabicCodePage = 1256;

std::atomic<platform::HMODULE> g_plugin_module{nullptr};
// Written under the lock; read from any thread.
std::atomic<platform::HMODULE> g_library{nullptr};
std::atomic<std::uint32_t> g_loads{0};
GLock* g_lock = nullptr;  // made by EnsureLock, under the services' lock

// The library's lock, made on first use; null without services.
GLock* LibraryLock() {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return nullptr;
  services->EnsureLock(&g_lock);
  return g_lock;
}

}  // namespace

platform::HMODULE GetPluginModuleHandle() {
  return g_plugin_module.load(std::memory_order_acquire);
}

void SetPluginModuleHandle(platform::HMODULE module) {
  g_plugin_module.store(module, std::memory_order_release);
}

bool LoadResourceLibrary(const RWWString& path) {
  GLockScope scope(LibraryLock(), kSource, __LINE__, __LINE__);
  if (g_loads.load(std::memory_order_relaxed) == 0) {
    platform::HMODULE library = platform::LoadLibraryW(path.Data());
    if (!library) return false;
    g_library.store(library, std::memory_order_release);
  }
  g_loads.fetch_add(1, std::memory_order_relaxed);
  return true;
}

void ReleaseResourceLibrary() {
  GLockScope scope(LibraryLock(), kSource, __LINE__, __LINE__);
  const std::uint32_t loads = g_loads.load(std::memory_order_relaxed);
  if (loads == 0) return;
  g_loads.store(loads - 1, std::memory_order_relaxed);
  if (loads == 1) platform::FreeLibrary(g_library.exchange(nullptr, std::memory_order_acq_rel));
}

platform::HMODULE GetResourceModuleHandle() {
  return g_library.load(std::memory_order_acquire);
}

std::uint32_t ResourceLibraryLoads() {
  return g_loads.load(std::memory_order_relaxed);
}

int LoadResString(std::uint32_t id, RWWString& out) {
  char16_t buffer[kMostResStringCharacters];
  const int length =
      platform::LoadStringW(GetResourceModuleHandle(), id, buffer, kMostResStringCharacters);
  out = RWWString(buffer, static_cast<RWSize>(length > 0 ? length : 0));
  return length > 0 ? length : 0;
}

int ResMessageBox(platform::HWND owner, std::uint32_t text_id, std::uint32_t caption_id,
                  platform::UINT flags) {
  RWWString text;
  RWWString caption;
  LoadResString(text_id, text);
  LoadResString(caption_id, caption);
  const platform::UINT code_page = platform::GetACP();
  if (code_page == kHebrewCodePage || code_page == kArabicCodePage)
    flags |= platform::kMbRight | platform::kMbRtlReading;
  return platform::MessageBoxW(owner, text.Data(), caption.Data(), flags);
}

void SetDlgItemTextIfChanged(platform::HWND dialog, int control_id, const RWWString& text) {
  const platform::LRESULT length =
      platform::SendDlgItemMessageW(dialog, control_id, platform::kWmGetTextLength, 0, 0);
  if (length == static_cast<platform::LRESULT>(text.Length())) {
    std::vector<char16_t> current(static_cast<std::size_t>(length) + 1);
    platform::GetDlgItemTextW(dialog, control_id, current.data(), static_cast<int>(length) + 1);
    if (RWWString(current.data(), static_cast<RWSize>(length)) == text) return;
  }
  platform::SetDlgItemTextW(dialog, control_id, text.Data());
}
