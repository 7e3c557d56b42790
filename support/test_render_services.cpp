#include "support/test_render_services.h"

#include "platform/host/files.h"
#include "platform/host/threads.h"
#include "services/driver_server.h"

int TestFontDatabase::LoadFromPath(const RWWString& path) {
  // Another thread cannot take a lock that the caller holds.
  struct Probe {
    GFontDatabase* database;
    bool taken;
  } probe{this, false};
  platform::HANDLE thread = platform::CreateThread(
      nullptr, 0,
      [](void* data) -> platform::DWORD {
        auto* probe = static_cast<Probe*>(data);
        probe->taken = probe->database->Lock().TryEnter();
        if (probe->taken) probe->database->Lock().Leave();
        return 0;
      },
      &probe, 0, nullptr);
  // A load whose lock cannot be checked (no thread) fails.
  if (!thread) return 0;
  platform::WaitForSingleObject(thread, platform::kInfinite);
  platform::CloseHandle(thread);
  loads.push_back({std::u16string(path.Data(), path.Length()), !probe.taken});
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
