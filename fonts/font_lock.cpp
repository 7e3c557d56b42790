#include "fonts/font_lock.h"

#include <atomic>
#include <new>

#include "foundation/rw/support.h"
#include "services/lock.h"
#include "services/os_factory.h"

GLock* NewFontLock() {
  GOSFactory* services = GOSFactory::Instance();
  return services ? services->CreateLock() : new (kRWNoThrow) GSemaphore;
}

void EnsureFontLock(GLock** slot) {
  if (GOSFactory* services = GOSFactory::Instance()) {
    services->EnsureLock(slot);
    return;
  }
  std::atomic_ref<GLock*> shared(*slot);
  if (shared.load(std::memory_order_acquire)) return;
  GLock* made = new (kRWNoThrow) GSemaphore;
  GLock* none = nullptr;
  if (!shared.compare_exchange_strong(none, made, std::memory_order_acq_rel)) delete made;
}
