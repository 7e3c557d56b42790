#include "driver/services/os_factory.h"

#include <atomic>

namespace {

std::atomic<GOSFactory*> g_services{nullptr};

}  // namespace

GOSFactory* GOSFactory::Instance() {
  return g_services.load(std::memory_order_acquire);
}

GOSFactory* GOSFactory::SetInstance(GOSFactory* services) {
  return g_services.exchange(services, std::memory_order_acq_rel);
}

GOSFactory::~GOSFactory() {
  // Services that go while installed must not be reached any more.
  GOSFactory* self = this;
  g_services.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

char16_t GOSFactory::GetPathSeparator() const {
  return u'\\';
}
