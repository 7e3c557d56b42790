// A registered extension and the About box, seen from the outside on P1:
// the extension (a scriptable test extension, tests/support/
// test_extensions.h) is registered through the exported
// KVDrv_RegisterExtension; the document sheet then shows its two pages
// after the library's five, and the About box lists its texts under the
// library's version record, the one the resource library ships
// (resources/resource_library.rcs).
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "driver/entry_points.h"
#include "platform/host/modules.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "tests/support/test_extensions.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::u16string>;

constexpr char16_t kModule[] = u"EXTA.DLL";
constexpr int kExtensionControl = 2001;  // the one control of its pages

// The extension's pages: any message is left to the host.
platform::INT_PTR ExtensionPageProc(platform::HWND, platform::UINT, platform::WPARAM,
                                    platform::LPARAM) {
  return 0;
}

class ExtensionsAbout : public AcceptancePrinter {
 protected:
  // Registers the extension with two pages (templates 200 and 201 of its
  // module) and the About texts `texts` (988, 990, 993, 994).
  std::uint16_t Register(const char* const (&texts)[4]) {
    TestExtension& ext =
        InstallTestExtension(0, kModule, texts[0], "ExtA", kExtHasUIModule, "EXTA.DLL", "abc");
    SetDescriptionText(ext.description, kExtensionTextFields[2], texts[1]);  // 990
    SetDescriptionText(ext.description, kExtensionTextFields[5], texts[2]);  // 993
    SetDescriptionText(ext.description, kExtensionTextFields[6], texts[3]);  // 994
    ext.has_pages = true;
    ext.count_reply = ext.fill_reply = 2;
    ext.page_procedure = reinterpret_cast<void*>(&ExtensionPageProc);
    platform::ModuleResources pages;
    for (platform::UINT id : {200u, 201u}) {
      const platform::DWORD shown = platform::kWsChild | platform::kWsVisible;
      pages.dialogs.push_back({id, u"", platform::kWsChild, 0, 0, 200, 100, {}});
      pages.dialogs.back().items.push_back(
          {kExtensionControl, u"Static", shown, u"Page", 10, 10, 100, 16});
    }
    EXPECT_TRUE(platform::AddModuleResources(kModule, pages));
    return Entry<decltype(KVDrv_RegisterExtension)>("KVDrv_RegisterExtension")("P1", nullptr,
                                                                               "EXTA.DLL", 0);
  }
  // Opens the document sheet, runs `act` on it and cancels it.
  void Sheet(const std::function<void(SheetDriver&)>& act) {
    Bytes in(kAcceptanceRecordBytes, 0), out(kAcceptanceRecordBytes, 0);
    EXPECT_EQ(DocumentProperties(Installed(), Printer(), kFixturePrinter, &in, nullptr,
                                 platform::kDmModeCopy),
              1);
    OnSheet([&](SheetDriver& sheet) {
      act(sheet);
      sheet.cancel();
    });
    EXPECT_EQ(DocumentProperties(Installed(), Printer(), kFixturePrinter, &out, &in,
                                 platform::kDmModeCopy | platform::kDmModePrompt),
              2);  // IDCANCEL
  }
  // Which pages show the extension's control.
  std::vector<bool> ExtensionPages() {
    std::vector<bool> found;
    Sheet([&](SheetDriver& sheet) {
      for (std::size_t i = 0; i < sheet.pages(); ++i) {
        EXPECT_TRUE(sheet.activate(i)) << i;
        found.push_back(platform::GetDlgItem(sheet.page().Handle(), kExtensionControl) != nullptr);
      }
    });
    return found;
  }
  // The About box's texts, opened from Basics: name, version, copyright,
  // then the extensions' list.
  Texts About() {
    Texts shown;
    Sheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(kScenarioBasicsPage));
      ui.OnDialog(11520, [&](UiDialog box) {
        shown = {box.Text(11521), box.Text(11522), box.Text(11523)};
        for (const std::u16string& line : box.Items(11524))
          shown.push_back(line);
        EXPECT_EQ(box.Visible(11524), shown.size() > 3);
        EXPECT_TRUE(box.Click(platform::kIdOk));
      });
      EXPECT_TRUE(sheet.page().Click(1050));
    });
    return shown;
  }
};

TEST_F(ExtensionsAbout, TheDocumentSheetShowsTheExtensionsPagesAfterItsOwn) {
  EXPECT_EQ(ExtensionPages(), std::vector<bool>(5, false));
  ASSERT_EQ(Register({"Id", "D", "x", "y"}), 0);
  EXPECT_EQ(ExtensionPages(), (std::vector<bool>{false, false, false, false, false, true, true}));
}

// The version texts are the script's (resource_library.rcs), under its one
// translation.
TEST_F(ExtensionsAbout, TheAboutBoxShowsTheVersionRecordAndTheExtensionsTexts) {
  const Texts library = {u"Printer-driver user-interface library", u"4.2.1.8",
                         u"Copyright (C) the driverui maintainers"};
  EXPECT_EQ(About(), library);
  ASSERT_EQ(Register({"Sample extension", "Adds a page", "Release 2", "Made for tests"}), 0);
  Texts with = library;
  for (const char16_t* line :
       {u"Sample extension", u"Adds a page", u"Release 2", u"Made for tests"})
    with.push_back(line);
  EXPECT_EQ(About(), with);
}

}  // namespace
