#include "driver/library_entry.h"

#include <cstring>
#include <new>

#include "driver/document_event_table.h"
#include "driver/module_keep_alive.h"
#include "driver/out_of_memory_handler.h"
#include "driver/plm_provider.h"
#include "driver/ui_os_factory.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "persist/port_handler.h"
#include "platform/host/boundary.h"
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

// What an attach made, so that an attach that fails can take it all down
// again: the host sends no detach after a failed attach.
struct AttachMade {
  RWCString provider_name;                    // kept: taking the provider out allocates nothing
  bool services = false;                      // CreateOSFactory installed services
  platform::HMODULE module_before = nullptr;  // the services' module before
  bool handler = false;                       // the out-of-memory handler installed
  bool server = false;
  bool table = false;
  bool table_lock = false;
  bool provider = false;
};

// Every step of the attach but the keep-alive; 0 when something could not
// be made, the last error kErrorNotEnoughMemory set by the request that
// failed.
platform::BOOL ProcessAttach(platform::HMODULE module, AttachMade& made) {
  g_library.module = module;
  made.services = !GOSFactory::Instance();
  CreateOSFactory();
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return 0;
  const std::new_handler before = std::get_new_handler();
  InstallOutOfMemoryHandler(kOutOfMemoryReserveBytes);
  made.handler = std::get_new_handler() != before;
  made.module_before = services->GetModuleHandle();
  services->SetModuleHandle(module);
  made.server = !GDriverServer::Instance();
  GDriverServer::Create();
  if (!GDriverServer::Instance()) return 0;
  // A second attach keeps the table, and the documents entered in it.
  made.table = !g_library.table;
  if (made.table) g_library.table = new (kRWNoThrow) GDocumentEventTable;
  if (!g_library.table) return 0;
  made.table_lock = !g_library.table_lock;
  services->EnsureLock(&g_library.table_lock);
  if (!g_library.table_lock) return 0;
  made.provider_name = kAgentProviderName;
  if (!g_library.provider && !made.provider_name.IsNull()) {
    g_library.provider = new (kRWNoThrow) GPLMProvider;
    made.provider = g_library.provider != nullptr;
    if (g_library.provider)
      GPortHandlerRegistry::Instance().Register(g_library.provider, made.provider_name);
  }
  SetRuntimeLocale();
  g_library.app_flags = ReadApplicationFlags(module);
  return 1;
}

// Takes down what the attach made, in the reverse order, allocating
// nothing: memory has just run short.
void UndoAttach(const AttachMade& made) {
  g_library.app_flags = 0;
  if (made.provider) {
    GPortHandlerRegistry::Instance().Unregister(made.provider_name);
    delete g_library.provider;
    g_library.provider = nullptr;
  }
  if (made.table_lock) {
    delete g_library.table_lock;
    g_library.table_lock = nullptr;
  }
  if (made.table) {
    delete g_library.table;
    g_library.table = nullptr;
  }
  if (made.server) delete GDriverServer::Instance();
  GOSFactory* services = GOSFactory::Instance();
  if (services && !made.services) services->SetModuleHandle(made.module_before);
  if (made.handler) RemoveOutOfMemoryHandler();
  // The services stay made (CreateOSFactory replaces them at the next
  // attach) but are no longer installed.
  if (made.services) GOSFactory::SetInstance(nullptr);
  g_library.module = nullptr;
}

// The attach is whole or leaves the process as it found it. The keep-alive
// is armed last, once nothing else can fail: its watcher, once started, is
// not called back.
platform::BOOL Attach(platform::HMODULE module) {
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  AttachMade made;
  platform::BOOL attached = platform::AnswerAtBoundary<platform::BOOL>(0, [&] {
    return ProcessAttach(module, made) && !RWShortOfMemorySince(short_of_memory) ? 1 : 0;
  });
  // A keep-alive that could not be armed for a reason other than memory
  // (a thread the system refused) is no failure: the library then goes
  // with its loaders' last reference.
  if (attached) {
    attached = platform::AnswerAtBoundary<platform::BOOL>(0, [&] {
      return ModuleKeepAlive().Arm(module) || !RWShortOfMemorySince(short_of_memory) ? 1 : 0;
    });
  }
  if (attached) return 1;
  // Every failure above has said why (a failed request, a shortage met);
  // the take-down's calls must not change it.
  const platform::DWORD error = platform::GetLastError();
  UndoAttach(made);
  platform::SetLastError(error);
  return 0;
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
  // The attach answers at its own boundary: what it made goes again when
  // it fails.
  if (reason == kDllProcessAttach) return Attach(module);
  return AnswerEntryPoint<platform::BOOL>(0, [&] {
    if (reason == kDllProcessDetach) ProcessDetach();
    return 1;
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
