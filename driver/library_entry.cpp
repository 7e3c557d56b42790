#include "driver/library_entry.h"

#include <cstring>
#include <new>

#include "driver/document_event_table.h"
#include "driver/module_keep_alive.h"
#include "driver/out_of_memory_handler.h"
#include "driver/plm_provider.h"
#include "driver/ui_os_factory.h"
#include "foundation/rw/support.h"
#include "persist/port_handler.h"
#include "platform/host/modules.h"
#include "platform/host/system.h"
#include "services/driver_server.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

// Primary languages whose locale covers every category.
constexpr platform::WORD kLangChinese = 4;
constexpr platform::WORD kLangJapanese = 17;
constexpr platform::WORD kLangKorean = 18;
constexpr char kAnsiCodePage[] = ".ACP";
constexpr platform::DWORD kPathBytes = 260;

struct LibraryState {
  platform::HMODULE module = nullptr;
  GDocumentEventTable* table = nullptr;
  GLock* table_lock = nullptr;
  GPLMProvider* provider = nullptr;
  std::uint32_t app_flags = 0;
};

LibraryState g_library;

void SetRuntimeLocale() {
  platform::WORD primary = platform::GetSystemDefaultLangID() & 0xFF;
  bool all = primary == kLangChinese || primary == kLangJapanese || primary == kLangKorean;
  platform::RuntimeSetLocale(all ? platform::kLcAll : platform::kLcCtype, kAnsiCodePage);
}

// "GetAppFlags" of the sibling library in the library's own directory.
std::uint32_t ReadApplicationFlags(platform::HMODULE module) {
  char path[kPathBytes + sizeof kAppFlagsLibrary] = {};
  platform::DWORD length = platform::GetModuleFileNameA(module, path, kPathBytes);
  char* separator = length != 0 ? std::strrchr(path, '\\') : nullptr;
  std::strcpy(separator ? separator + 1 : path, kAppFlagsLibrary);
  platform::HMODULE library = platform::LoadLibraryA(path);
  if (!library) return 0;
  std::uint32_t flags = 0;
  using GetAppFlags = std::uint32_t (*)();
  if (auto entry =
          reinterpret_cast<GetAppFlags>(platform::GetProcAddress(library, kAppFlagsEntry))) {
    flags = entry();
  }
  platform::FreeLibrary(library);
  return flags;
}

platform::BOOL ProcessAttach(platform::HMODULE module) {
  g_library.module = module;
  CreateOSFactory();
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return 0;
  InstallOutOfMemoryHandler(kOutOfMemoryReserveBytes);
  services->SetModuleHandle(module);
  GDriverServer::Create();
  if (!GDriverServer::Instance()) return 0;
  g_library.table = new (kRWNoThrow) GDocumentEventTable;
  if (!g_library.table) return 0;
  services->EnsureLock(&g_library.table_lock);
  if (!g_library.provider) {
    g_library.provider = new (kRWNoThrow) GPLMProvider;
    if (g_library.provider)
      GPortHandlerRegistry::Instance().Register(g_library.provider, kAgentProviderName);
  }
  SetRuntimeLocale();
  ModuleKeepAlive().Arm(module);
  g_library.app_flags = ReadApplicationFlags(module);
  return 1;
}

void ProcessDetach() {
  delete g_library.table;
  g_library.table = nullptr;
  delete g_library.table_lock;
  g_library.table_lock = nullptr;
  if (GDriverServer* server = GDriverServer::Instance()) {
    server->DeleteParked();
    server->ClearTables();
  }
  GPortHandlerRegistry::Instance().Unregister(kAgentProviderName);
  delete g_library.provider;
  g_library.provider = nullptr;
  g_library.module = nullptr;
  RemoveOutOfMemoryHandler();
}

}  // namespace

platform::BOOL WINAPI DllMain(platform::HMODULE module, platform::DWORD reason, void*) {
  return AnswerEntryPoint<platform::BOOL>(0, [&] {
    switch (reason) {
      case kDllProcessAttach:
        return ProcessAttach(module);
      case kDllProcessDetach:
        ProcessDetach();
        return 1;
      default:
        return 1;
    }
  });
}

platform::HMODULE LibraryModule() {
  return g_library.module;
}

std::uint32_t ApplicationFlags() {
  return g_library.app_flags;
}

GDocumentEventTable* DocumentEventTable() {
  return g_library.table;
}

GLock* DocumentEventLock() {
  return g_library.table_lock;
}

GPLMProvider* AgentProvider() {
  return g_library.provider;
}
