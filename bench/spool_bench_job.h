// What the benchmarks of the page-holding filters share: a job (a driver
// data entered in the driver server, whose render view has a real font
// database and points its spool at a private directory through the memory
// services of support/test_os_factory.h), the chain's last device, which
// executes what reaches it, counting rectangles, and ends the pass, and
// the side-by-side timing of ours and its peers. Header-only; one
// environment per benchmark program, made on first use. Not synchronised.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "filters/load.h"
#include "fonts/font_database.h"
#include "output/core/peripheral.h"
#include "output/core/result_commands.h"
#include "output/graphics/primitive_graphic.h"
#include "services/driver_data.h"
#include "services/driver_server.h"
#include "support/run_folder.h"
#include "support/test_os_factory.h"
#include "support/test_render_services.h"

class BenchRender : public GRenderDriverData {
 public:
  explicit BenchRender(GDriverData* data) : data_(data), fonts_(this) {}
  GFontDatabase* GetFontDatabase() override { return &fonts_; }
  std::uint32_t GetJobCookie() override { return cookie; }
  GDriverData* GetDriverData() override { return data_; }

  std::uint32_t cookie = 0;

 private:
  GDriverData* data_;
  GJobFontDatabase fonts_;
};

// The render stand-ins' job shell, answering with the bench's render view.
class BenchJob : public TestRenderJob {
 public:
  GRenderDriverData* AsRenderDriverData() override { return &bench_render; }

  BenchRender bench_render{this};
};

// The chain's last device: executes what reaches it, counting, and ends
// the pass (a no-op answered), so nothing after it walks the pages again.
class Sink : public GPeripheral {
 public:
  GCountedPtr Transform(const GCountedPtr& command) override {
    GPeripheral::Transform(command);
    return done_;
  }
  std::uint16_t DrawRectangle(GRectangleGraphic&) override {
    ++rectangles;
    return 0;
  }
  std::uint64_t rectangles = 0;

 private:
  GCountedPtr done_{new GNoCommand(0u)};
};

// The filters loaded, the driver server and one job in it, its spool
// directory a folder of the run's own named after `name` (removed at exit,
// after everything else of the environment).
struct SpoolBenchEnvironment {
  explicit SpoolBenchEnvironment(const std::string& name) : folder(name), directory(folder.Path()) {
    FiltersLoad();
    GJobFontDatabase::CreateLock();
    GDriverServer::Create();
    auto* job = new BenchJob;
    render = &job->bench_render;
    render->cookie = GDriverServer::Instance()->EnterRenderData(job);
    services.SetPrinterDataString(job, u"TempDirectoryLocation",
                                  RWWString::FromMultiByte(directory.c_str()));
  }
  support::RunFolder folder;
  TestOSFactory services;
  std::string directory;
  BenchRender* render = nullptr;
};

// A peer of ours: its name in the counters and one run of the same work.
struct BenchPeer {
  const char* name;
  std::function<void()> run;
};

// Runs `ours`, then each peer, in every iteration, so that a load on the
// machine falls on all of them alike; the iteration's time is ours (set
// the benchmark's UseManualTime). Counters: ns_per_page, ours; <peer>_ns
// (per page), each peer's; x_<peer>, ours over the peer's time.
inline void SideBySide(benchmark::State& state, double pages, const std::function<void()>& ours,
                       const std::vector<BenchPeer>& peers) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> peer_seconds(peers.size());
  double ours_seconds = 0;
  for (auto _ : state) {
    Clock::time_point start = Clock::now();
    ours();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ours_seconds += seconds;
    for (std::size_t i = 0; i < peers.size(); ++i) {
      start = Clock::now();
      peers[i].run();
      peer_seconds[i] += std::chrono::duration<double>(Clock::now() - start).count();
    }
    state.SetIterationTime(seconds);
  }
  const double done = pages * static_cast<double>(state.iterations()) / 1e9;
  state.counters["ns_per_page"] = ours_seconds / done;
  for (std::size_t i = 0; i < peers.size(); ++i) {
    state.counters[std::string(peers[i].name) + "_ns"] = peer_seconds[i] / done;
    state.counters[std::string("x_") + peers[i].name] = ours_seconds / peer_seconds[i];
  }
}
