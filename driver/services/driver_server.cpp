#include "driver/services/driver_server.h"

GDriverServer* GDriverServer::Instance() {
  // Made on first use and kept to the end of the process, so that nothing
  // that runs at exit finds it gone.
  static GDriverServer* const server = new GDriverServer;
  return server;
}

GDriverServer::~GDriverServer() = default;

GRenderDriverData* GDriverServer::FindRenderData(std::uint32_t cookie) {
  std::lock_guard<std::mutex> lock(lock_);
  auto found = render_data_.find(cookie);
  return found == render_data_.end() ? nullptr : found->second;
}

void GDriverServer::RegisterRenderData(std::uint32_t cookie, GRenderDriverData* data) {
  std::lock_guard<std::mutex> lock(lock_);
  if (data) {
    render_data_[cookie] = data;
  } else {
    render_data_.erase(cookie);
  }
}
