#include "driver/out_of_memory_handler.h"

#include <atomic>
#include <new>

#include "services/driver_server.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

constexpr char kHandlerSource[] = "newhndlr";
constexpr std::uint32_t kNoReserveLine = 449;
constexpr char kServerSource[] = "gbnewhnd";
constexpr std::uint32_t kNothingFreedLine = 148;
// The handler's own lock reports carry no line of their own.
constexpr std::uint32_t kLockLine = 0;

struct HandlerState {
  GLock* lock = nullptr;  // filled by EnsureLock; read through Lock()
  bool installed = false;
  std::new_handler previous = nullptr;
  void* reserve = nullptr;
  std::size_t reserve_size = kOutOfMemoryReserveBytes;
};

HandlerState g_state;

GLock* HandlerLock() {
  return std::atomic_ref<GLock*>(g_state.lock).load(std::memory_order_acquire);
}

void RuntimeHandler() {
  OutOfMemoryHandler(0);
}

void* NewBlock(std::size_t size) {
  return ::operator new(size, std::nothrow);
}

void FreeBlock(void* block) {
  ::operator delete(block);
}

}  // namespace

void InstallOutOfMemoryHandler(std::size_t size) {
  if (!HandlerLock()) {
    GOSFactory* services = GOSFactory::Instance();
    if (!services) return;
    services->EnsureLock(&g_state.lock);
  }
  std::size_t reserve_size;
  {
    GLockScope scope(HandlerLock(), kHandlerSource, kLockLine, kLockLine);
    if (!g_state.installed) {
      g_state.previous = std::set_new_handler(RuntimeHandler);
      g_state.installed = true;
    }
    if (size != 0) g_state.reserve_size = size;
    reserve_size = g_state.reserve_size;
  }
  void* block = NewBlock(reserve_size);
  GLockScope scope(HandlerLock(), kHandlerSource, kLockLine, kLockLine);
  FreeBlock(g_state.reserve);
  g_state.reserve = block;
}

void RemoveOutOfMemoryHandler() {
  GLock* lock = HandlerLock();
  {
    GLockScope scope(lock, kHandlerSource, kLockLine, kLockLine);
    // The handler before comes back even when it was none: this handler
    // must not outlive its lock.
    if (g_state.installed) std::set_new_handler(g_state.previous);
    g_state.installed = false;
    g_state.previous = nullptr;
    FreeBlock(g_state.reserve);
    g_state.reserve = nullptr;
  }
  std::atomic_ref<GLock*>(g_state.lock).store(nullptr, std::memory_order_release);
  delete lock;
}

int OutOfMemoryHandler(std::size_t) {
  std::size_t reserve_size;
  {
    GLockScope scope(HandlerLock(), kHandlerSource, kLockLine, kLockLine);
    if (!g_state.reserve) {
      ReportDriverError(kDriverErrorCritical, kErrorOutOfMemory, kHandlerSource, kNoReserveLine,
                        "");
    }
    FreeBlock(g_state.reserve);
    g_state.reserve = nullptr;
    reserve_size = g_state.reserve_size;
  }
  GDriverServer* server = GDriverServer::Instance();
  if (!server || !server->FreeMemory()) {
    if (server) server->BeginShutdown();
    ReportDriverError(kDriverErrorCritical, kErrorOutOfMemory, kServerSource, kNothingFreedLine,
                      "");
  }
  void* block = NewBlock(reserve_size);
  GLockScope scope(HandlerLock(), kHandlerSource, kLockLine, kLockLine);
  FreeBlock(g_state.reserve);
  g_state.reserve = block;
  return 1;
}

std::size_t OutOfMemoryReserveSize() {
  GLockScope scope(HandlerLock(), kHandlerSource, kLockLine, kLockLine);
  return g_state.reserve_size;
}

bool OutOfMemoryReserveHeld() {
  GLockScope scope(HandlerLock(), kHandlerSource, kLockLine, kLockLine);
  return g_state.reserve != nullptr;
}
