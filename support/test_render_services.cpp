#include "support/test_render_services.h"

#include <thread>

#include "services/driver_server.h"

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
  GDriverServer* server = GDriverServer::Instance();
  for (std::uint32_t cookie : cookies_)
    server->ReleaseRenderData(cookie);
  server->DeleteParked();
}

TestRenderDriverData& TestRenderJobs::Add(std::uint32_t& cookie) {
  GDriverServer::Create();
  auto* job = new TestRenderJob;
  cookie = GDriverServer::Instance()->EnterRenderData(job);
  job->render.cookie = cookie;
  cookies_.push_back(cookie);
  return job->render;
}
