#include "driver/services/driver_server.h"

GDriverServer* GDriverServer::Instance() {
  // Made on first use and kept to the end of the process, so that nothing
  // that runs at exit finds it gone.
  static GDriverServer* const server = new GDriverServer;
  return server;
}

GDriverServer::~GDriverServer() = default;

GRenderDriverData* GDriverServer::FindRenderData(std::uint32_t) {
  return nullptr;
}
