// Stand-ins of the render side's services (driver/services/render_services.h)
// while the driver and the font handling do not exist: a driver server
// with render-time driver data registered under cookies by the test, each
// with a font database that records every load it is asked for.
//
// While alive, the server is the installed one (GDriverServer::Instance);
// the previous one comes back when it goes. Not synchronised.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "driver/services/render_services.h"

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

class TestDriverServer : public GDriverServer {
 public:
  TestDriverServer();
  ~TestDriverServer() override;

  // Registers new driver data under `cookie` and answers it.
  TestRenderDriverData& Add(std::uint32_t cookie);
  GRenderDriverData* FindRenderData(std::uint32_t cookie) override;

  std::vector<std::uint32_t> lookups;  // every cookie asked for

 private:
  std::map<std::uint32_t, std::unique_ptr<TestRenderDriverData>> data_;
  GDriverServer* previous_;
};
