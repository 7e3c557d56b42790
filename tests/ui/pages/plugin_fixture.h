// The plug-in's tests on the printer fixture: a host record on the
// fixture's settings and configuration with the resource library in the
// module table, and page records with their entries (the titles freed as
// the host would).
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/host/modules.h"
#include "resources/resource_library.h"
#include "tests/support/printer_fixture.h"
#include "tests/support/ui_driver.h"
#include "ui/framework/resource_library.h"

namespace testing_support {

inline constexpr char16_t kPluginLibrary[] = u"KVQCF.DLL";  // the fixture's support file path

class PluginFixture : public PrinterFixture {
 protected:
  void SetUp() override {
    PrinterFixture::SetUp();
    ASSERT_TRUE(platform::AddModule({kPluginLibrary, {}, {}}) &&
                platform::AddModuleResources(kPluginLibrary, resources::ResourceLibrary()));
    host.driver_data = DriverData();
    host.settings = static_cast<GAttributeComposite*>(settings.Get());
    host.configuration = configuration.Get();
  }
  void TearDown() override {
    EXPECT_EQ(ResourceLibraryLoads(), 0u);
    ui.ExpectAllDone();
    PrinterFixture::TearDown();
  }

  UiDriver ui;
  GCountedPtr settings{support::BuildFixtureDefaults()};
  GCountedPtr configuration{support::BuildFixtureConfiguration()};
  GUIData host;
};

struct PluginRecords {
  std::vector<platform::PropSheetPageW> pages;
  std::vector<UIPageEntry> entries;
  PluginRecords(GUIData& host, std::size_t made, std::uint32_t count) : pages(made), entries(made) {
    for (std::size_t i = 0; i < made; ++i) {
      pages[i].lparam = reinterpret_cast<platform::LPARAM>(&entries[i]);
      entries[i].host = &host;
    }
    host.pages = pages.data(), host.page_count = count;
  }
  ~PluginRecords() { FreeTitles(); }
  void FreeTitles() {
    for (auto& page : pages) {
      GUIFreeText(page.title);
      page.title = nullptr;
    }
  }
};

}  // namespace testing_support
