#include "driver/services/render_services.h"

#include <atomic>

namespace {

std::atomic<GDriverServer*> g_server{nullptr};

}  // namespace

GFontDatabase::~GFontDatabase() = default;

GRenderDriverData::~GRenderDriverData() = default;

GDriverServer* GDriverServer::Instance() {
  return g_server.load(std::memory_order_acquire);
}

GDriverServer* GDriverServer::SetInstance(GDriverServer* server) {
  return g_server.exchange(server, std::memory_order_acq_rel);
}

GDriverServer::~GDriverServer() {
  // A server that goes while installed must not be reached any more.
  GDriverServer* self = this;
  g_server.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}
