#include "tests/support/test_render_services.h"

#include <thread>

int TestFontDatabase::LoadFromPath(const RWWString& path) {
  // Another thread cannot take a lock that the caller holds.
  bool taken = false;
  std::thread probe([&] {
    taken = Lock().TryEnter();
    if (taken) Lock().Leave();
  });
  probe.join();
  loads.push_back({std::u16string(path.Data(), path.Length()), !taken});
  return 1;
}

TestDriverServer::TestDriverServer() : previous_(GDriverServer::SetInstance(this)) {}

TestDriverServer::~TestDriverServer() {
  GDriverServer::SetInstance(previous_);
}

TestRenderDriverData& TestDriverServer::Add(std::uint32_t cookie) {
  auto& slot = data_[cookie];
  slot = std::make_unique<TestRenderDriverData>();
  return *slot;
}

GRenderDriverData* TestDriverServer::FindRenderData(std::uint32_t cookie) {
  lookups.push_back(cookie);
  auto it = data_.find(cookie);
  return it == data_.end() ? nullptr : it->second.get();
}
