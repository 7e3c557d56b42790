#include "driver/out_of_memory_handler.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "platform/host/system_memory.h"
#include "services/driver_server.h"
#include "services/lock.h"
#include "services/os_factory.h"

namespace {

constexpr char kHandlerSource[] = "newhndlr";
// The handler's own lock reports carry no line of their own.
constexpr std::uint32_t kLockLine = 0;

struct HandlerState {
  GLock* lock = nullptr;  // filled by EnsureLock; read through HandlerLock()
  std::atomic<bool> installed{false};
  std::new_handler previous = nullptr;
  // Atomic: the handler takes it without a lock.
  std::atomic<void*> reserve{nullptr};
  std::atomic<std::size_t> reserve_size{kOutOfMemoryReserveBytes};
};

HandlerState g_state;

// Set while this thread runs the handler: an allocation of the handler's
// own that fails must not come back in.
thread_local bool t_handling = false;

GLock* HandlerLock() {
  return std::atomic_ref<GLock*>(g_state.lock).load(std::memory_order_acquire);
}

// The runtime's handler: a retry when memory was freed, else the
// allocation fails, and [NOMEM] is raised first: a reader's error scope
// records it, the library's error handler sees it (the default one ends
// the process as its documentation says), and a caller that must not act
// on a read memory ran short for can tell (RWOutOfMemoryRaised), whether
// or not the allocation's own caller reports it.
void RuntimeHandler() {
  // The system's services answer a shortage of their own memory as an
  // error; it is not the library's to meet.
  if (platform::InSystemMemory()) throw std::bad_alloc();
  if (OutOfMemoryHandler(0)) return;
  RWRaiseNoMemory(0);
  throw std::bad_alloc();
}

// The reserve comes from the C library, not operator new: making it must
// never call the handler.
void* NewBlock(std::size_t size) {
  return std::malloc(size);
}

void FreeBlock(void* block) {
  std::free(block);
}

// Keeps `block` as the reserve, freeing one that was there.
void KeepReserve(void* block) {
  FreeBlock(g_state.reserve.exchange(block));
}

}  // namespace

void InstallOutOfMemoryHandler(std::size_t size) {
  if (!HandlerLock()) {
    GOSFactory* services = GOSFactory::Instance();
    if (!services) return;
    services->EnsureLock(&g_state.lock);
  }
  {
    GLockScope scope(HandlerLock(), kHandlerSource, kLockLine, kLockLine);
    if (!g_state.installed) {
      g_state.previous = std::set_new_handler(RuntimeHandler);
      g_state.installed = true;
      GDriverServer::SetSafePointHook(&RestoreOutOfMemoryReserve);
    }
    if (size != 0) g_state.reserve_size = size;
  }
  KeepReserve(NewBlock(g_state.reserve_size));
}

void RemoveOutOfMemoryHandler() {
  GLock* lock = HandlerLock();
  {
    GLockScope scope(lock, kHandlerSource, kLockLine, kLockLine);
    // The handler before comes back even when it was none: this handler
    // must not outlive its lock. A handler the host installed since stays
    // the host's.
    if (g_state.installed) {
      if (std::get_new_handler() == &RuntimeHandler) std::set_new_handler(g_state.previous);
      GDriverServer::SetSafePointHook(nullptr);
    }
    g_state.installed = false;
    g_state.previous = nullptr;
    KeepReserve(nullptr);
  }
  std::atomic_ref<GLock*>(g_state.lock).store(nullptr, std::memory_order_release);
  delete lock;
}

int OutOfMemoryHandler(std::size_t) {
  if (t_handling) return 0;
  t_handling = true;
  void* reserve = g_state.reserve.exchange(nullptr);
  FreeBlock(reserve);
  // What the server lets go is deleted at its next safe point; what its
  // checked-out objects free is free now.
  GDriverServer* server = GDriverServer::Instance();
  const bool freed = server && server->FreeMemory() != 0;
  t_handling = false;
  return reserve || freed ? 1 : 0;
}

void RestoreOutOfMemoryReserve() {
  if (g_state.reserve.load() || !g_state.installed.load()) return;
  void* block = NewBlock(g_state.reserve_size);
  void* none = nullptr;
  if (!g_state.reserve.compare_exchange_strong(none, block)) FreeBlock(block);
}

std::size_t OutOfMemoryReserveSize() {
  return g_state.reserve_size;
}

bool OutOfMemoryReserveHeld() {
  return g_state.reserve.load() != nullptr;
}

platform::DWORD ReportThreadOutOfMemory() {
  RWRaiseNoMemory(0);
  return platform::kErrorNotEnoughMemory;
}
