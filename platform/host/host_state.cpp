#include "platform/host/host_state.h"

#include <atomic>

#include "platform/host/reset.h"
#include "platform/host/system_writes.h"
#include "platform/text.h"

namespace platform {
namespace {

thread_local DWORD last_error = kErrorSuccess;

}  // namespace

DWORD GetLastError() {
  return last_error;
}

void SetLastError(DWORD error) {
  last_error = error;
}

void ResetHostServices() {
  host_internal::Lock lock(host_internal::Mutex());
  // The windowing host first: its windows refer to modules and timers.
  host_internal::ResetUiLocked();
  host_internal::ResetModulesLocked();
  host_internal::ResetProcessesLocked();
  host_internal::ResetSpoolerLocked();
  host_internal::ResetRegistryLocked();
  host_internal::ResetWritesLocked();
  host_internal::ResetFilesLocked();
  host_internal::ResetClockLocked();
  host_internal::ResetVersionInfoLocked();
  host_internal::ResetThreadsLocked();
  host_internal::ResetSystemLocked();
  host_internal::ResetUuidsLocked();
}

namespace host_internal {

std::recursive_mutex& Mutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

std::uintptr_t NewHandleId() {
  // Starts clear of small numbers and of the predefined registry roots.
  static std::atomic<std::uintptr_t> next{0x10000};
  return next.fetch_add(4, std::memory_order_relaxed);
}

std::u16string Fold(std::u16string_view name) {
  std::u16string folded(name);
  // Names are mostly ASCII: their letters are folded here, the rest by the
  // full table.
  for (char16_t& c : folded) {
    if (c >= u'a' && c <= u'z') {
      c = static_cast<char16_t>(c - (u'a' - u'A'));
    } else if (c >= 0x80) {
      c = WideToUpper(c);
    }
  }
  return folded;
}

}  // namespace host_internal
}  // namespace platform
