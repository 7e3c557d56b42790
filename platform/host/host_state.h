// Shared by the host-service stand-ins only, not by their callers: the one
// lock that guards every stand-in's state, handle ids, name folding and the
// per-service reset hooks that ResetHostServices calls under the lock.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/host/boundary.h"
#include "platform/host/modules.h"
#include "platform/host/resources.h"
#include "platform/host/spooler.h"
#include "platform/host/system_memory.h"
#include "platform/host/types.h"

namespace platform::host_internal {

// Re-enterable: a shared object's initialisers may call back into the
// stand-ins while LoadLibraryW holds the lock.
std::recursive_mutex& Mutex();
using Lock = std::lock_guard<std::recursive_mutex>;

// A fresh handle id: non-zero, a multiple of 4, never issued twice.
std::uintptr_t NewHandleId();

template <typename Handle>
Handle HandleFromId(std::uintptr_t id) {
  return reinterpret_cast<Handle>(id);
}
template <typename Handle>
std::uintptr_t IdFromHandle(Handle handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

// Case-insensitive names compare by this form (upper case by the wide table).
std::u16string Fold(std::u16string_view name);

// Runs `body` as a call of the system's services (system_memory.h): what
// it allocates is the system's, and a shortage there answers `short_answer`
// with the last error kErrorNotEnoughMemory, never an exception.
template <typename Result, typename Body>
Result SystemCall(Result short_answer, Body&& body) noexcept {
  SystemMemoryScope system;
  try {
    return body();
  } catch (const std::bad_alloc&) {
    NoteShortage();
    SetLastError(kErrorNotEnoughMemory);
    return short_answer;
  }
}

// Sets the last error and answers `result`, for one-line failure returns.
template <typename T>
T Fail(DWORD error, T result) {
  SetLastError(error);
  return result;
}

// A log that tests read: the newest kHostLogCapacity entries, the oldest
// dropped first. An entry that memory cannot be had for is dropped too: a
// log is never why a call, or its clean-up, fails. REQUIRES: the lock
// around every use.
template <typename T>
class BoundedLog {
 public:
  void Add(T entry) noexcept {
    AddMade([&] { return std::move(entry); });
  }
  // Adds the entry `make()` answers, made inside the log's care.
  template <typename Make>
  void AddMade(Make make) noexcept {
    try {
      T entry = make();
      if (entries_.size() == kHostLogCapacity) entries_.pop_front();
      entries_.push_back(std::move(entry));
    } catch (const std::bad_alloc&) {
    }
  }
  std::vector<T> Entries() const { return {entries_.begin(), entries_.end()}; }
  void Clear() { entries_.clear(); }

 private:
  std::deque<T> entries_;
};

// Each service's reset, called with the lock held.
void ResetModulesLocked();
void ResetProcessesLocked();
void ResetRegistryLocked();
void ResetSpoolerLocked();
void ResetFilesLocked();
void ResetClockLocked();
void ResetThreadsLocked();
void ResetSystemLocked();
void ResetUiLocked();
void ResetUuidsLocked();
void ResetVersionInfoLocked();

// What the stored-state hook (spooler.h) is to hear of a call: taken under
// the lock while the call runs (no hook: nothing), told after it.
struct HeardCall {
  StoredStateHook hook = nullptr;
  void* context = nullptr;
  std::u16string printer;
  std::u16string name;
};
// REQUIRES: the lock. `printer` is an open handle (else nothing is heard).
void HearLocked(HeardCall& heard, HANDLE printer, const char16_t* name);
// REQUIRES: the lock not held.
void Tell(const HeardCall& heard, StoredStateOperation operation, DWORD result);

// The folded server name of the printer that `printer` opens and the
// handle's access; false for a handle that is not open. REQUIRES: the lock.
bool PrinterServerLocked(HANDLE printer, std::u16string& server, DWORD& access);
// The forms' part of ResetSpoolerLocked.
void ResetFormsLocked();
// The stamp (registry_store.h) of the last change of that server's forms;
// 0 while they never changed. REQUIRES: the lock.
std::uint64_t FormsStampLocked(const std::u16string& folded_server);

// The resources of a loaded module, or null (the module is not loaded or
// lacks the id). REQUIRES: the lock held; the pointer is good while it is.
const DialogTemplate* FindDialogTemplateLocked(HMODULE module, UINT id);
const BitmapResource* FindBitmapLocked(HMODULE module, UINT id);
const CursorResource* FindCursorLocked(HMODULE module, UINT id);

// The version record of the module that `path` resolves to (loaded or
// not), or null when it resolves to none or the module has no record.
// REQUIRES: the lock held; the pointer is good while it is.
const FileVersionData* FindModuleVersionLocked(std::u16string_view path);

// Called by the module table when the module of handle id `module` unloads:
// the windowing host drops the cursors it loaded from it. REQUIRES: the lock.
void ReleaseModuleUiObjectsLocked(std::uintptr_t module);

// Closes a thread or semaphore handle (CloseHandle of files.h ends here for
// handles that are no files); false when it is none.
bool CloseSyncHandle(HANDLE handle);

}  // namespace platform::host_internal
