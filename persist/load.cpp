#include "persist/load.h"

#include <mutex>

#include "persist/counted_ptr.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_composite.h"

namespace {

// Each source file's registration list, in the subsystem's building order.
std::span<const RWClassRegistration> (*const kPersistLists[])() = {
    &CountedPtrClasses,
    &PersistentCompositeClasses,
    &PersistableIntegerClasses,
};

std::mutex g_load_mutex;
int g_loads = 0;

}  // namespace

void PersistLoad() {
  FoundationLoad();
  std::lock_guard<std::mutex> lock(g_load_mutex);
  if (g_loads++ > 0) return;
  for (auto list : kPersistLists) {
    if (list) RWRegisterClasses(list());
  }
}

void PersistUnload() {
  {
    std::lock_guard<std::mutex> lock(g_load_mutex);
    if (g_loads > 0 && --g_loads == 0) {
      for (auto it = std::rbegin(kPersistLists); it != std::rend(kPersistLists); ++it) {
        if (*it) RWUnregisterClasses((*it)());
      }
    }
  }
  FoundationUnload();
}
