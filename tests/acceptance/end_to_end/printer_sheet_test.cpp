// P1's printer sheet, opened through the PrinterProperties export and
// worked as a user works it: the installed memory set in the "More
// Configuration Options" dialog of the Configure page, and a tray's form
// and paper type on the forms page. Expected values are
// written by hand; the comments say where each comes from.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/form_to_tray_links.h"
#include "driver/device_capabilities.h"
#include "driver/driver_context.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "platform/host/files.h"
#include "platform/host/printer_interface.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/host/threads.h"
#include "services/driver_server.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "support/host_calls.h"
#include "support/stored_state.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "tests/support/test_extensions.h"

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

// The user's values in what P1 keeps: its data file, its stored default,
// the default record it hands out, and the printer data that the device
// sheet's OK and the font cards write (of "DisabledMSDs" the states of the
// sources 0 to 5: the upgrade enables 6 to 9, and a document's font sync
// sets them by their files).
StoredState UserValues(const StoredState& state) {
  StoredState values;
  for (const auto& [name, bytes] : state.items) {
    for (const char* kept : {"file", "stored default", "default record", "data:365", "data:366",
                             "data:368", "data:QuicksetPool", "data:PhySetting", "data:FlashFonts",
                             "data:MassStorageFonts", "data:LastUpdate", "data:DisabledMSDs"}) {
      if (name.rfind(kept, 0) == 0) values.items[name] = bytes;
    }
  }
  if (Bytes& sources = values.items["data:DisabledMSDs type 4"]; sources.size() == 4)
    sources = {sources[0], Bytes::value_type(sources[1] & 0x0F)};
  return values;
}

// What the device sheet stores, set as a user sets it: the Configure page
// (a box, the cassette "Z7142" with tray 3, 128 MB, job storage), a font
// card (source 4), and a form and paper type for each tray on the forms
// page. Each export that stores is then called in turn, the upgrade
// also beside documents on three threads; the user's values stay as they
// were (an extension's registration adds its part and stores the default
// record anew, the initialise event its stamps), and a new sheet shows them.
TEST_F(PrinterSheet, WhatTheUserStoredSurvivesEveryExport) {
  const std::optional<std::string> card = platform::ToHostPath(u"C:\\Drv\\card.msd");
  std::string header(36, '\0');  // the smallest readable font-storage file
  header[4] = 36;
  std::FILE* file = card ? std::fopen(card->c_str(), "wb") : nullptr;
  ASSERT_TRUE(file && std::fwrite(header.data(), 1, 36, file) == 36 && std::fclose(file) == 0);
  auto properties = [&] {
    return Entry<decltype(PrinterProperties)>("PrinterProperties")(nullptr, Printer()) == 1;
  };
  auto options = [&](std::function<void(UiDialog&)> act) {
    ui.OnDialog(7500, [act](UiDialog more) {
      act(more);
      EXPECT_TRUE(more.Click(platform::kIdOk));
    });
  };
  OnSheet([&](SheetDriver& sheet) {
    ASSERT_TRUE(sheet.activate(1));
    UiDialog page = sheet.page();
    EXPECT_TRUE(page.Check(7023, true) && page.SelectData(7037, 1));
    options([](UiDialog& more) {
      EXPECT_TRUE(more.Type(7091, u"128") && more.Blur() && more.Check(7046, true));
    });
    EXPECT_TRUE(page.Click(7049));
    ui.OnDialog(7100, [&](UiDialog cards) {
      ui.OnDialog(7200, [](UiDialog add) {
        EXPECT_TRUE(add.SelectData(7205, 4) && add.Type(7204, u"card.msd"));
        EXPECT_TRUE(add.Click(platform::kIdOk));
      });
      EXPECT_TRUE(cards.Click(7109) && cards.Click(platform::kIdOk));
    });
    EXPECT_TRUE(page.Click(7071));
    sheet.ok();
  });
  ASSERT_TRUE(properties());
  // Tray (item data), form, paper type; 7 is the bypass tray.
  const std::vector<std::array<std::u16string, 2>> links = {{u"Legal", u"Bond"},
                                                            {u"A4", u"Plain"},
                                                            {u"Letter", u"Labels"},
                                                            {u"Custom A", u"Color"},
                                                            {u"Legal", u"Recycled"}};
  const int trays[] = {4, 1, 2, 7, 3};
  auto forms_page = [&](bool set) {
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(0));
      UiDialog page = sheet.page();
      // The page opens on the tray it showed last (511).
      EXPECT_EQ(page.Text(12003), set ? u"Manual Feed" : u"Tray 3");
      for (std::size_t i = 0; i < links.size(); ++i) {
        SCOPED_TRACE(trays[i]);
        EXPECT_TRUE(page.SelectData(12003, platform::ULONG_PTR(trays[i])));
        if (set) {
          EXPECT_TRUE(page.Select(12006, links[i][0]) && page.Select(12008, links[i][1]));
        }
        EXPECT_EQ(page.Text(12006), links[i][0]);
        EXPECT_EQ(page.Text(12008), links[i][1]);
      }
      set ? sheet.ok() : sheet.cancel();
    });
    properties();
  };
  forms_page(true);

  char16_t printer_name[] = u"P1", old_directory[] = u"C:\\Old";
  platform::DriverUpgradeInfo1 upgrade{printer_name, old_directory};
  auto upgrade_printer = [&] {
    return Entry<decltype(DrvUpgradePrinter)>("DrvUpgradePrinter")(
               1, reinterpret_cast<platform::BYTE*>(&upgrade)) == 1;
  };
  Record record = ScenarioRequest(Installed(), Printer(), kFixturePrinter);
  struct Document {
    const AcceptanceInstall* install;
    platform::HANDLE printer;
    Record record;
  };
  auto beside_documents = [&](int threads, std::function<bool()> call) {
    std::vector<Document> documents(threads, {&Installed(), Printer(), record});
    std::vector<platform::HANDLE> started;
    for (Document& document : documents) {
      started.push_back(platform::CreateThread(
          nullptr, 0,
          [](void* data) -> platform::DWORD {
            auto* document = static_cast<Document*>(data);
            platform::HDC dc = platform::CreatePrinterDC({});
            PrintDocumentEvents(*document->install, document->printer, dc, document->record);
            platform::DeleteDC(dc);
            return 0;
          },
          &document, 0, nullptr));
    }
    const bool answered = call();
    for (platform::HANDLE thread : started) {
      EXPECT_EQ(platform::WaitForSingleObject(thread, platform::kInfinite), 0u);
      platform::CloseHandle(thread);
    }
    return answered;
  };
  auto convert = [&](platform::DWORD mode) {
    Record out = record;
    platform::LONG size = platform::LONG(out.size());
    return Entry<decltype(DrvConvertDevMode)>("DrvConvertDevMode")(
               kFixturePrinter, reinterpret_cast<platform::DevModeW*>(record.data()),
               reinterpret_cast<platform::DevModeW*>(out.data()), &size, mode) == 1;
  };
  auto document_properties = [&](platform::HANDLE printer) {
    Record out(kAcceptanceRecordBytes);
    return DocumentProperties(Installed(), printer, kFixturePrinter, &out, &record,
                              platform::kDmModeCopy | platform::kDmModeModify) == 1;
  };
  auto event = [&](int which) {
    return Entry<decltype(DrvPrinterEvent)>("DrvPrinterEvent")(kFixturePrinter, which, 0, 0) == 1;
  };
  InstallTestExtension(0, u"EXTA.DLL", "Sample", "ExtA", 0, "EXTA.DLL", "");
  const struct {
    const char* what;
    std::function<bool()> call;
    std::vector<std::string> stores;  // what the call stores of its own
  } rows[] = {
      {"upgrade", upgrade_printer, {}},
      {"upgrade beside three documents", [&] { return beside_documents(3, upgrade_printer); }, {}},
      {"registration",
       [&] {
         return Entry<decltype(KVDrv_RegisterExtension)>("KVDrv_RegisterExtension")(
                    "P1", nullptr, "EXTA.DLL", 0) == 0;
       },
       {"data:368", "stored default", "default record"}},
      {"add connection", [&] { return event(1); }, {}},
      {"cache refresh", [&] { return event(5); }, {}},
      {"initialise",
       [&] {
         InitialiseAgain();
         return Initialised() == 1;
       },
       {"data:LastUpdate"}},
      {"driver default", [&] { return ConvertToDriverDefault(Installed(), kFixturePrinter); }, {}},
      {"conversion", [&] { return convert(platform::kCdmConvert); }, {}},
      {"capabilities",
       [&] { return AskCapabilities(Installed(), Printer(), kFixturePrinter); },
       {}},
      {"capabilities without a handle",
       [&] { return AskCapabilities(Installed(), nullptr, kFixturePrinter); },
       {}},
      {"document properties", [&] { return document_properties(Printer()); }, {}},
      {"document properties without a handle", [&] { return document_properties(nullptr); }, {}},
      {"printable", [&] { return QueryPrintable(Installed(), Printer(), record); }, {}},
  };
  auto user_values = [&] {
    return UserValues(ReadStoredState(Installed(), Printer(), kFixturePrinter));
  };
  StoredState before = user_values();
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_TRUE(row.call());
    StoredState after = user_values();
    const StoredState next = after;
    for (const std::string& own : row.stores) {
      for (StoredState* state : {&before, &after})
        std::erase_if(state->items,
                      [&](const auto& item) { return item.first.rfind(own, 0) == 0; });
    }
    EXPECT_EQ(after.Differences(before), "");
    before = next;
  }
  forms_page(false);
  OnSheet([&](SheetDriver& sheet) {
    ASSERT_TRUE(sheet.activate(1));
    options([](UiDialog& more) {
      EXPECT_EQ(more.Text(7091), u"128");
      EXPECT_TRUE(more.Checked(7046));
    });
    EXPECT_TRUE(sheet.page().Click(7049));
    sheet.cancel();
  });
  properties();
}

}  // namespace
