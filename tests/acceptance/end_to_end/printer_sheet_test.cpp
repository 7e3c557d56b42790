// P1's printer sheet, opened through the PrinterProperties export and
// worked as a user works it: the installed memory set in the "More
// Configuration Options" dialog of the Configure page, and a tray's form
// and paper type on the forms page. Expected values are
// written by hand; the comments say where each comes from.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/form_to_tray_links.h"
#include "driver/device_capabilities.h"
#include "driver/driver_context.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "services/driver_server.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

class PrinterSheet : public AcceptancePrinter {
 protected:
  // Printer-data value `name` as stored, or "missing".
  Bytes Data(const char16_t* name) {
    Bytes data(256);
    platform::DWORD type = 0, needed = 0;
    if (platform::GetPrinterDataW(Printer(), name, &type, data.data(), platform::DWORD(data.size()),
                                  &needed) != 0) {
      return Bytes{'m', 'i', 's', 's', 'i', 'n', 'g'};
    }
    data.resize(needed);
    return data;
  }
  // The named object "365" (the installed options) as P1's driver data
  // reads it back.
  std::unique_ptr<GAttributeComposite> InstalledOptions() {
    std::uint32_t cookie = 0;
    GDriverServer* server = GDriverServer::Instance();
    GDriverData* data = server->GetContext(new GPrinterKey(Printer(), kFixturePrinter, 0), cookie);
    std::unique_ptr<GAttributeComposite> options(
        data ? LoadNamedObjectAs<GAttributeComposite>(data, RWWString(u"365")) : nullptr);
    if (data) server->ReleaseContext(cookie);
    return options;
  }
};

// Configure is the device sheet's second page, after the forms page. The
// group of 7049 and 7045 opens "More Configuration Options" (7500) when its
// main control, the first of its table (7049), is clicked; 7045 is its
// second control, without help context. The memory field 7091 takes 128
// (one of its ten sizes) when the focus leaves it.
TEST_F(PrinterSheet, MemorySetOnTheConfigurePageIsStoredAndStamped) {
  OnSheet([&](SheetDriver& sheet) {
    ASSERT_EQ(sheet.pages(), 2u);
    ASSERT_TRUE(sheet.activate(1));
    ui.OnDialog(7500, [](UiDialog more) {
      EXPECT_TRUE(more.Type(7091, u"128"));
      EXPECT_TRUE(more.Blur());
      EXPECT_TRUE(more.Click(platform::kIdOk));
    });
    EXPECT_TRUE(sheet.page().Click(7049));
    sheet.ok();
  });
  EXPECT_EQ(Entry<decltype(PrinterProperties)>("PrinterProperties")(nullptr, Printer()), 1);

  // The memory, and the status the configuration-status rule gives any
  // change of an installed option: 14118 ("User-Configured").
  std::unique_ptr<GAttributeComposite> options = InstalledOptions();
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(SignedValueOr(options.get(), 925, -1), 128);
  EXPECT_EQ(SignedValueOr(options.get(), 927, -1), 14118);
  // The stamps of a changed configuration: "%2.2d%s%2.2d%s%4.4d" of 12,
  // "/ ", 6, "/ ", 2026 ("12/ 06/ 2026"), and "User"; printer-data texts
  // are UTF-16LE characters without a terminator.
  EXPECT_EQ(Data(u"LastUpdated"), (Bytes{0x31, 0, 0x32, 0, 0x2F, 0, 0x20, 0, 0x30, 0, 0x36, 0,
                                         0x2F, 0, 0x20, 0, 0x32, 0, 0x30, 0, 0x32, 0, 0x36, 0}));
  EXPECT_EQ(Data(u"LastUpdateType"), (Bytes{'U', 0, 's', 0, 'e', 0, 'r', 0}));
}

// The forms page (the sheet's first page): the tray list 12003, the form
// list 12006, the paper-type list 12008. P1's installed options hold an
// empty table 510 and no shown tray 511, so the page opens on its first
// tray, "Manual Feed" (4). The user picks "Tray 2 500-Sheet" (2), Letter
// (paper id 1) and "Bond" (string id 11108).
TEST_F(PrinterSheet, TheTrayPickedOnTheFormsPageKeepsItsLinks) {
  auto printer_properties = Entry<decltype(PrinterProperties)>("PrinterProperties");
  OnSheet([&](SheetDriver& sheet) {
    ASSERT_TRUE(sheet.activate(0));
    UiDialog page = sheet.page();
    EXPECT_EQ(page.Text(12003), u"Manual Feed");
    EXPECT_TRUE(page.SelectData(12003, 2));
    EXPECT_EQ(page.Text(12003), u"Tray 2 500-Sheet");
    EXPECT_TRUE(page.Select(12006, u"Letter"));
    EXPECT_TRUE(page.Select(12008, u"Bond"));
    EXPECT_EQ(page.Text(12003), u"Tray 2 500-Sheet");
    sheet.ok();
  });
  EXPECT_EQ(printer_properties(nullptr, Printer()), 1);

  std::unique_ptr<GAttributeComposite> options = InstalledOptions();
  ASSERT_NE(options, nullptr);
  EXPECT_EQ(SignedValueOr(options.get(), 511, -1), 2);
  auto* table = dynamic_cast<GFormToTrayDatabase*>(options->FindByKey(510));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->GetAssociations().EntryCount(), 1u);
  GFormToTrayLinks links(*table);
  EXPECT_EQ(links.GetFormForTray(2), 1);
  EXPECT_EQ(links.GetMediaTypeForTray(2), 11108);
  EXPECT_EQ(links.GetFormForTray(4), 0);

  // Opened again, the page shows the tray and its link.
  OnSheet([&](SheetDriver& sheet) {
    ASSERT_TRUE(sheet.activate(0));
    EXPECT_EQ(sheet.page().Text(12003), u"Tray 2 500-Sheet");
    EXPECT_EQ(sheet.page().Text(12006), u"Letter");
    EXPECT_EQ(sheet.page().Text(12008), u"Bond");
    sheet.cancel();
  });
  printer_properties(nullptr, Printer());
}

// One header byte of the options' chunk 365:0 inverted: after ':', class id
// 757 and '{', the object's version (offsets 4-7), its key (8-11), its
// serial, the attribute's and the composite's versions (24-27). Each is
// damage: the defaults stand in, and OK and the initialise event store them;
// the upgrade, which re-encodes stored parts, leaves the damaged one as is.
TEST_F(PrinterSheet, ADamagedOptionsHeaderGivesTheDefaultsAndIsNotStoredBack) {
  auto duplex = [&] {
    GDriverServer::Instance()->DeleteParked();  // the next call reads the printer's data
    return Entry<decltype(DrvDeviceCapabilities)>("DrvDeviceCapabilities")(
        Printer(), kFixturePrinter, kDcDuplex, nullptr, nullptr);
  };
  auto ok_and_initialise = [&] {
    OnSheet([](SheetDriver& sheet) { sheet.ok(); });
    EXPECT_EQ(Entry<decltype(PrinterProperties)>("PrinterProperties")(nullptr, Printer()), 1);
    InitialiseAgain();
  };
  char16_t printer_name[] = u"P1", old_directory[] = u"C:\\Drv";
  platform::DriverUpgradeInfo1 upgrade{printer_name, old_directory};
  ASSERT_EQ(duplex(), 1u);               // the stored options, the duplex unit among them
  const std::uint8_t no_chunks[4] = {};  // a count of 0: no options stored
  ASSERT_EQ(platform::SetPrinterDataW(Printer(), u"365", platform::kRegDword, no_chunks, 4), 0u);
  const platform::DWORD defaults_duplex = duplex();
  ok_and_initialise();
  std::unique_ptr<GAttributeComposite> defaults = InstalledOptions();
  ASSERT_NE(defaults, nullptr);
  for (std::size_t offset : {4, 5, 6, 7, 8, 9, 10, 11, 24, 25, 26, 27}) {
    SCOPED_TRACE(offset);
    Bytes chunk = Data(u"365:0");
    chunk.at(offset) ^= 0xFF;
    ASSERT_EQ(platform::SetPrinterDataW(Printer(), u"365:0", platform::kRegBinary, chunk.data(),
                                        static_cast<platform::DWORD>(chunk.size())),
              0u);
    EXPECT_EQ(duplex(), defaults_duplex);
    const std::vector<Bytes> kept = {Data(u"365"), Data(u"365:1"), Data(u"365:2")};
    Entry<decltype(DrvUpgradePrinter)>("DrvUpgradePrinter")(
        1, reinterpret_cast<platform::BYTE*>(&upgrade));
    EXPECT_EQ(Data(u"365:0"), chunk);
    EXPECT_EQ((std::vector<Bytes>{Data(u"365"), Data(u"365:1"), Data(u"365:2")}), kept);
    ok_and_initialise();
    std::unique_ptr<GAttributeComposite> stored = InstalledOptions();
    EXPECT_TRUE(stored && stored->IsEqualContent(defaults.get()));
  }
  EXPECT_EQ(Initialised(), 1);
}

}  // namespace
