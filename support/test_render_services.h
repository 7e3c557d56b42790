// Stand-ins of the render side (services/render_driver_data.h) for
// the tests and benchmarks that need a job without the rendering side
// itself: render-time driver data entered in the driver server's render
// table as the rendering side enters its own, each with a font database
// that records every load it is asked for (whether the caller held the
// database's lock, which a thread of its own probes: a load fails when the
// system refuses that thread).
//
// TestRenderJobs makes a driver server when there is none, and gives its
// jobs back (and deletes them) when it goes. Not synchronised.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "services/driver_data.h"
#include "services/render_driver_data.h"

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
  // The cookie its job was entered under (TestRenderJobs::Add).
  std::uint32_t GetJobCookie() override { return cookie; }

  TestFontDatabase fonts;
  std::uint32_t cookie = 0;
};

// The driver data of one job, whose render view is its TestRenderDriverData.
class TestRenderJob : public GDriverData {
 public:
  GRenderDriverData* AsRenderDriverData() override { return &render; }
  GAttributeComposite* BuildDefaultSettings() override { return nullptr; }
  RWWString GetSupportFilePath() override { return RWWString(); }
  int ApplySeries(const RWWString&, GAttributeComposite*) override { return 0; }
  GAttributeComposite* GetJobSettings() override { return nullptr; }
  void WriteBinAndTrayMaps(GAttributeComposite*) override {}
  int GetPaperCodeOfMedia(std::uint16_t, std::uint16_t&) override { return 0; }

  TestRenderDriverData render;
};

class TestRenderJobs {
 public:
  TestRenderJobs() = default;
  ~TestRenderJobs();
  TestRenderJobs(const TestRenderJobs&) = delete;
  TestRenderJobs& operator=(const TestRenderJobs&) = delete;

  // A new job entered in the driver server; its cookie in `cookie`.
  TestRenderDriverData& Add(std::uint32_t& cookie);

 private:
  std::vector<std::uint32_t> cookies_;
};
