#include "tests/support/test_render_services.h"

#include <thread>

#include "driver/services/driver_server.h"

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

TestRenderJobs::~TestRenderJobs() {
  for (auto& [cookie, job] : jobs_)
    GDriverServer::Instance()->RegisterRenderData(cookie, nullptr);
}

TestRenderDriverData& TestRenderJobs::Add(std::uint32_t cookie) {
  auto& slot = jobs_[cookie];
  slot = std::make_unique<TestRenderDriverData>();
  GDriverServer::Instance()->RegisterRenderData(cookie, slot.get());
  return *slot;
}
