// Stand-ins of the render side (driver/services/render_driver_data.h) while
// the driver and the font handling do not exist: render-time driver data
// registered with the driver server under cookies the test picks, each
// with a font database that records every load it is asked for.
//
// TestRenderJobs takes its registrations away again when it goes. Not
// synchronised.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/services/render_driver_data.h"

class TestFontDatabase : public GFontDatabase {
 public:
  struct Load {
    std::u16string path;
    bool locked;  // the database's lock was held by the caller
  };

  int LoadFromPath(const RWWString& path) override;

  std::vector<Load> loads;
};

class TestRenderDriverData : public GRenderDriverData {
 public:
  GFontDatabase* GetFontDatabase() override { return &fonts; }

  TestFontDatabase fonts;
};

class TestRenderJobs {
 public:
  TestRenderJobs() = default;
  ~TestRenderJobs();
  TestRenderJobs(const TestRenderJobs&) = delete;
  TestRenderJobs& operator=(const TestRenderJobs&) = delete;

  // New driver data registered with the driver server under `cookie`.
  TestRenderDriverData& Add(std::uint32_t cookie);

 private:
  std::map<std::uint32_t, std::unique_ptr<TestRenderDriverData>> jobs_;
};
