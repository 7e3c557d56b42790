// Quick sets and the About box worked as a user works them, through the
// exported DrvDocumentProperties on P1 (tests/support/acceptance_printer.h),
// and an extension registered through KVDrv_RegisterExtension.
// The quick-set group of each document page: 1011 the list, 1012 save
// (the name dialog 11530, its edit 11532), 1014 delete. The settings a
// quick set covers are P1's template: paper size, paper source, duplex,
// copies, watermark and the printing target.
//
// Offsets of the public fields (DEVMODEW): 72 dmFields, 78 dmPaperSize,
// 86 dmCopies, 88 dmDefaultSource, 94 dmDuplex.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "platform/host/modules.h"
#include "platform/host/printer_interface.h"
#include "platform/host/spooler.h"
#include "platform/host/version_info.h"
#include "platform/ui/dialog.h"
#include "services/driver_server.h"
#include "services/os_factory.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "tests/support/test_extensions.h"
#include "ui/pages/quickset_groups.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kFinishing = 0, kPaper = kScenarioPaperPage, kBasics = kScenarioBasicsPage;
constexpr std::size_t kDocumentPages = 5;
constexpr int kList = 1011, kSave = 1012, kDelete = 1014;

std::int32_t Field(const Bytes& record, std::size_t at) {
  return std::int16_t(record[at] | record[at + 1] << 8);
}
void SetField(Bytes& record, std::size_t at, std::uint16_t value) {
  record[at] = std::uint8_t(value), record[at + 1] = std::uint8_t(value >> 8);
}

class Quicksets : public AcceptancePrinter {
 protected:
  // The driver's default record, with `edit` applied to it.
  Bytes Request(const std::function<void(Bytes&)>& edit = {}) {
    Bytes record(kAcceptanceRecordBytes, 0);
    EXPECT_EQ(DocumentProperties(Installed(), Printer(), kFixturePrinter, &record, nullptr,
                                 platform::kDmModeCopy),
              1);
    if (edit) edit(record);
    return record;
  }
  // Letter, one copy, simplex, any tray turned into Legal, five copies,
  // duplex on the long edge, tray 3 (DMBIN 259) by the application.
  static void ThreeChanges(Bytes& record) {
    SetField(record, 78, 5);
    SetField(record, 86, 5);
    SetField(record, 94, 2);
    record[72] |= 0x02, record[73] |= 0x11;
  }
  // Opens the sheet on `in`, runs `act` on it, presses OK; the record
  // handed back.
  Bytes Pages(Bytes in, const std::function<void(SheetDriver&)>& act) {
    Bytes out(kAcceptanceRecordBytes, 0);
    OnSheet([&](SheetDriver& sheet) {
      act(sheet);
      sheet.ok();
    });
    EXPECT_EQ(DocumentProperties(
                  Installed(), Printer(), kFixturePrinter, &out, &in,
                  platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify),
              1);
    return out;
  }
  // The same with `act` on Basics.
  Bytes Sheet(Bytes in, const std::function<void(UiDialog)>& act) {
    return Pages(std::move(in), [&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(kBasics));
      act(sheet.page());
    });
  }
  // The device sheet's Configure page: the optional cassette (item 1 of
  // 7037, "Z7142" with tray 3) put in or taken out.
  void Cassette(bool installed) {
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(1));
      EXPECT_TRUE(sheet.page().SelectData(7037, installed ? 1 : 0));
      sheet.ok();
    });
    EXPECT_EQ(Entry<decltype(PrinterProperties)>("PrinterProperties")(nullptr, Printer()), 1);
  }
  // Saves the page's settings as `name` through the name dialog.
  void Save(UiDialog page, const std::u16string& name) {
    ui.OnDialog(11530, [name](UiDialog dialog) {
      EXPECT_TRUE(dialog.Type(11532, name));
      EXPECT_TRUE(dialog.Click(platform::kIdOk));
    });
    EXPECT_TRUE(page.Click(kSave));
  }
  std::vector<std::u16string> Listed() {
    std::vector<std::u16string> names;
    Sheet(Request(), [&](UiDialog page) { names = page.Items(kList); });
    return names;
  }
};

TEST_F(Quicksets, SavedChoicesComeBackOverThreeChanges) {
  Sheet(Request(), [&](UiDialog page) {
    Save(page, u"  Letter simplex ");
    // Blanks around the name are dropped; the new quick set is selected.
    EXPECT_EQ(page.Items(kList), std::vector<std::u16string>{u"Letter simplex"});
    EXPECT_EQ(page.Selection(kList), 0);
  });
  // A4 (the duplex unit takes no Legal), five copies, duplex on the long
  // edge, chosen on the pages.
  Bytes out = Pages(Request(), [&](SheetDriver& sheet) {
    ASSERT_TRUE(sheet.activate(kBasics));
    EXPECT_TRUE(sheet.page().Type(1021, u"5"));
    ASSERT_TRUE(sheet.activate(kPaper));
    EXPECT_TRUE(sheet.page().SelectData(2015, 23));
    ASSERT_TRUE(sheet.activate(kFinishing));
    UiDialog page = sheet.page();
    EXPECT_TRUE(page.Select(3011, u"Flip on Long Edge"));
    // Cancel of the name dialog saves nothing.
    ui.OnDialog(11530, [](UiDialog dialog) {
      EXPECT_TRUE(dialog.Type(11532, u"Not kept"));
      EXPECT_TRUE(dialog.Click(platform::kIdCancel));
    });
    EXPECT_TRUE(page.Click(kSave));
    EXPECT_TRUE(page.Select(kList, u"Letter simplex"));
    EXPECT_EQ(page.Selection(3011), 0);  // "Off" shown at once
  });
  EXPECT_EQ(Field(out, 78), 1);  // Letter
  EXPECT_EQ(Field(out, 86), 1);
  EXPECT_EQ(Field(out, 94), 1);  // DMDUP_SIMPLEX
  EXPECT_EQ(Listed(), std::vector<std::u16string>{u"Letter simplex"});
}

// A quick set naming a tray the printer no longer has is applied without
// it, and the user is told. (Tray 3 needs the "Z7142" accessory, P1's
// cassette: taken out, it takes tray 3 with it.)
TEST_F(Quicksets, ARemovedTrayIsLeftOutAndTheUserTold) {
  Cassette(true);
  const Bytes saved = Pages(Request(), [&](SheetDriver& sheet) {
    ASSERT_TRUE(sheet.activate(kBasics));
    EXPECT_TRUE(sheet.page().Type(1021, u"4"));
    ASSERT_TRUE(sheet.activate(kPaper));
    EXPECT_TRUE(sheet.page().SelectData(11584, 3));
    Save(sheet.page(), u"Cassette");
  });
  EXPECT_EQ(Field(saved, 88), 259);  // tray 3's bin
  Cassette(false);
  ui.ExpectBox(
      u"Some settings of this quick set need options that are not installed on the printer. "
      u"\nThey were left as they were.",
      u"Quick Sets", 0x40, platform::kIdOk);  // MB_OK | MB_ICONINFORMATION
  const Bytes out = Pages(Request(), [&](SheetDriver& sheet) {
    ASSERT_TRUE(sheet.activate(kPaper));
    EXPECT_TRUE(sheet.page().Select(kList, u"Cassette"));
  });
  EXPECT_EQ(Field(out, 86), 4);
  EXPECT_EQ(Field(out, 88), Field(Request(), 88));  // the source as it was
}

// Quick sets forged in the printer's pool and in the user's own registry
// value, which any user can write: each carries a resolution of 9999 dots
// per inch (P1 lists 600 and 1200), alone or as a pair, and the collation
// unit 310 = 1, an installed option; P1's template names neither. Its
// copies, 3, are within 1-999.
TEST_F(Quicksets, WhatNoPageOffersIsLeftOutAndTheUserToldOnce) {
  Sheet(Request(), [&](UiDialog page) { Save(page, u"Printer"); });
  std::uint32_t cookie = 0;
  GDriverServer* server = GDriverServer::Instance();
  GDriverData* data = server->GetContext(new GPrinterKey(Printer(), kFixturePrinter, 0), cookie);
  ASSERT_NE(data, nullptr);
  std::unique_ptr<GAttributeComposite> pool = LoadQuicksetPool(data, RWWString(kQuicksetPoolName));
  ASSERT_NE(pool, nullptr);
  auto* forged = dynamic_cast<GAttributeComposite*>(pool->Children()[0].Get());
  ASSERT_TRUE(forged && SetValueIfPresent(forged, 291, 3));
  forged->AddChild(new GValueAttribute(1, 310));
  GAttributeComposite user_pool(kQuicksetPoolKey);
  auto* mine = static_cast<GAttributeComposite*>(forged->DeepCopy());
  user_pool.AddChild(mine);
  forged->AddChild(new GValueAttribute(9999, 323));
  GStringAttribute* renamed = FindStringAttribute(mine, 376);
  ASSERT_NE(renamed, nullptr);
  renamed->SetValue("Mine");
  auto* pair = new GAttributeComposite(249);
  pair->AddChild(new GValueAttribute(600, 323));
  pair->AddChild(new GValueAttribute(9999, 324));
  mine->AddChild(pair);
  GOSFactory* services = GOSFactory::Instance();
  EXPECT_NE(services->StoreNamedObject(data, RWWString(kQuicksetPoolName), pool.get()), 0);
  EXPECT_NE(services->StoreNamedObject(data, UserQuicksetPoolName(data), &user_pool), 0);
  server->ReleaseContext(cookie);

  for (const char16_t* name : {u"Printer", u"Mine"}) {
    SCOPED_TRACE(name[0] == u'P' ? "printer's pool" : "user's pool");
    ui.ExpectBox(
        u"Some settings of this quick set are not valid for this printer. "
        u"\nThey were left as they were.",
        u"Quick Sets", 0x40, platform::kIdOk);
    Bytes out = Sheet(Request(), [&](UiDialog page) { EXPECT_TRUE(page.Select(kList, name)); });
    EXPECT_EQ(Field(out, 86), 3);
    std::u16string reason(64, u'?');
    platform::DevQueryPrintInfo query{
        24, 1, Printer(), reinterpret_cast<platform::DevModeW*>(out.data()), reason.data(), 128, 0};
    EXPECT_EQ(Entry<platform::BOOL(platform::DevQueryPrintInfo*)>("DevQueryPrintEx")(&query), 1)
        << std::string(reason.begin(), reason.end());
    // dmFields (72-75) without DM_COLLATE (0x8000), nor the next default.
    EXPECT_EQ(out[73] & 0x80, 0);
    EXPECT_EQ(Request()[73] & 0x80, 0);
  }
  EXPECT_EQ(ui.Boxes().size(), 2u);
}

TEST_F(Quicksets, EveryDocumentPageListsTheQuicksetsAndTheTipsStayHidden) {
  Sheet(Request(), [&](UiDialog page) { Save(page, u"Shared"); });
  Bytes in = Request(), out(kAcceptanceRecordBytes, 0);
  OnSheet([&](SheetDriver& sheet) {
    ASSERT_EQ(sheet.pages(), kDocumentPages);
    for (std::size_t i = 0; i < sheet.pages(); ++i) {
      ASSERT_TRUE(sheet.activate(i));
      if (!platform::GetDlgItem(sheet.page().Handle(), kList)) continue;  // Color has no quick sets
      EXPECT_EQ(sheet.page().Items(kList), std::vector<std::u16string>{u"Shared"}) << i;
      // With every right the user may save system settings: no tip.
      EXPECT_FALSE(sheet.page().Visible(1013)) << i;
      EXPECT_FALSE(sheet.page().Visible(1015)) << i;
    }
    sheet.cancel();
  });
  EXPECT_EQ(DocumentProperties(Installed(), Printer(), kFixturePrinter, &out, &in,
                               platform::kDmModeCopy | platform::kDmModePrompt),
            2);  // IDCANCEL
}

TEST_F(Quicksets, DeletingAQuicksetForgetsIt) {
  Sheet(Request(), [&](UiDialog page) {
    EXPECT_FALSE(page.Enabled(kDelete));  // nothing selected
    Save(page, u"First");
    Save(page, u"Second");
    Save(page, u"First");  // the same name replaces it
    EXPECT_EQ(page.Items(kList), (std::vector<std::u16string>{u"Second", u"First"}));
    EXPECT_TRUE(page.Select(kList, u"Second"));
    EXPECT_TRUE(page.Click(kDelete));
    EXPECT_EQ(page.Items(kList), std::vector<std::u16string>{u"First"});
  });
  EXPECT_EQ(Listed(), std::vector<std::u16string>{u"First"});
}

TEST_F(Quicksets, ThePoolSurvivesAReloadAndAnUpgrade) {
  Sheet(Request(), [&](UiDialog page) { Save(page, u"Kept"); });
  using DllMainEntry = platform::BOOL(platform::HMODULE, platform::DWORD, void*);
  auto* dll_main = Entry<DllMainEntry>("DllMain");
  ASSERT_NE(dll_main, nullptr);
  ASSERT_EQ(dll_main(Library(), 0, nullptr), 1);  // detach
  ASSERT_EQ(dll_main(Library(), 1, nullptr), 1);  // attach
  EXPECT_EQ(Listed(), std::vector<std::u16string>{u"Kept"});

  using UpgradeEntry = platform::BOOL(platform::DWORD, platform::BYTE*);
  auto* upgrade = Entry<UpgradeEntry>("DrvUpgradePrinter");
  ASSERT_NE(upgrade, nullptr);
  std::u16string name(kFixturePrinter), old_directory(u"C:\\Old");
  platform::DriverUpgradeInfo1 info{name.data(), old_directory.data()};
  upgrade(1, reinterpret_cast<platform::BYTE*>(&info));
  const Bytes out = Sheet(Request(ThreeChanges), [&](UiDialog page) {
    EXPECT_EQ(page.Items(kList), std::vector<std::u16string>{u"Kept"});
    EXPECT_TRUE(page.Select(kList, u"Kept"));
  });
  EXPECT_EQ(Field(out, 86), 1);
}

TEST_F(Quicksets, ADamagedPoolIsSkippedWithNothingElseLost) {
  Sheet(Request(), [&](UiDialog page) { Save(page, u"Lost"); });
  // Cut the stored pool's one chunk to half its bytes and turn them over.
  std::vector<platform::BYTE> chunk(65536);
  platform::DWORD type = 0, got = 0;
  ASSERT_EQ(platform::GetPrinterDataW(Printer(), u"QuicksetPool:0", &type, chunk.data(),
                                      platform::DWORD(chunk.size()), &got),
            0u);
  ASSERT_GT(got, 8u);
  for (platform::DWORD i = got / 4; i < got / 2; ++i)
    chunk[i] = platform::BYTE(~chunk[i]);
  ASSERT_EQ(platform::SetPrinterDataW(Printer(), u"QuicksetPool:0", type, chunk.data(), got / 2),
            0u);
  const Bytes out = Sheet(Request(), [&](UiDialog page) {
    EXPECT_TRUE(page.Items(kList).empty());
    EXPECT_TRUE(page.Click(kScenarioLandscape));
    Save(page, u"Again");  // a new pool is begun
  });
  EXPECT_EQ(Field(out, 76), 2);  // the sheet's own change is kept
  EXPECT_EQ(Listed(), std::vector<std::u16string>{u"Again"});
}

TEST_F(Quicksets, TheAboutBoxShowsTheVersionRecord) {
  platform::SetFileVersionData(
      u"C:\\Drv\\UI.DLL",
      {{{0x0409, 1200}},
       {{u"\\StringFileInfo\\040904b0\\ProductName", u"KV Colour Laser Driver"},
        {u"\\StringFileInfo\\040904b0\\ProductVersion", u"4.2.1.8"},
        {u"\\StringFileInfo\\040904b0\\LegalCopyright", u"Copyright (C) 2001 Kestrova"}}});
  Bytes in = Request(), out(kAcceptanceRecordBytes, 0);
  int shown = 0;
  const auto expect_box = [&] {
    ui.OnDialog(11520, [&](UiDialog box) {
      ++shown;
      EXPECT_EQ(box.Text(11521), u"KV Colour Laser Driver");
      EXPECT_EQ(box.Text(11522), u"4.2.1.8");
      EXPECT_EQ(box.Text(11523), u"Copyright (C) 2001 Kestrova");
      EXPECT_TRUE(box.Click(platform::kIdOk));
    });
  };
  OnSheet([&](SheetDriver& sheet) {
    for (std::size_t i = 0; i < sheet.pages(); ++i) {
      ASSERT_TRUE(sheet.activate(i));
      if (!platform::GetDlgItem(sheet.page().Handle(), 11525)) continue;
      expect_box();
      EXPECT_TRUE(sheet.page().Click(11525)) << i;
    }
    ASSERT_TRUE(sheet.activate(kBasics));
    expect_box();
    EXPECT_TRUE(sheet.page().Click(1050));
    sheet.ok();
  });
  EXPECT_EQ(
      DocumentProperties(Installed(), Printer(), kFixturePrinter, &out, &in,
                         platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify),
      1);
  EXPECT_EQ(shown, 5);  // Finishing, Effects, Paper, Basics twice
  EXPECT_EQ(Bytes(out.begin() + 72, out.begin() + 220), Bytes(in.begin() + 72, in.begin() + 220));
}

platform::INT_PTR PageProc(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) {
  return 0;
}

// An extension registered through the export (a test extension with two
// pages, templates 200 and 201 holding control 2001): its pages follow the
// library's five, and the About box lists its texts (988, 990, 993, 994)
// under the version record the resource library ships (resource_library.rcs).
TEST_F(Quicksets, AnExtensionsPagesFollowTheLibrarysAndTheAboutBoxListsItsTexts) {
  using Texts = std::vector<std::u16string>;
  const auto sheet = [&] {
    std::pair<std::vector<bool>, Texts> shown;
    auto& [pages, about] = shown;
    Pages(Request(), [&](SheetDriver& sheet) {
      for (std::size_t i = 0; i < sheet.pages(); ++i)
        pages.push_back(sheet.activate(i) && platform::GetDlgItem(sheet.page().Handle(), 2001));
      ui.OnDialog(11520, [&](UiDialog box) {
        about = {box.Text(11521), box.Text(11522), box.Text(11523)};
        for (const std::u16string& line : box.Items(11524))
          about.push_back(line);
        EXPECT_EQ(box.Visible(11524), about.size() > 3);
        EXPECT_TRUE(box.Click(platform::kIdOk));
      });
      EXPECT_TRUE(sheet.activate(kBasics) && sheet.page().Click(1050));
    });
    return shown;
  };
  const Texts library = {u"Printer-driver user-interface library", u"4.2.1.8",
                         u"Copyright (C) the driverui maintainers"};
  const auto [pages, about] = sheet();
  EXPECT_EQ(pages, std::vector<bool>(kDocumentPages, false));
  EXPECT_EQ(about, library);

  TestExtension& ext =
      InstallTestExtension(0, u"EXTA.DLL", "Sample", "ExtA", kExtHasUIModule, "EXTA.DLL", "");
  SetDescriptionText(ext.description, kExtensionTextFields[2], "Adds a page");  // 990
  SetDescriptionText(ext.description, kExtensionTextFields[6], "For tests");    // 994
  ext.has_pages = true, ext.count_reply = ext.fill_reply = 2;
  ext.page_procedure = reinterpret_cast<void*>(&PageProc);
  const platform::DialogItemTemplate control{2001, u"Static", platform::kWsChild, u"", 0, 0, 9, 9};
  platform::ModuleResources templates;
  for (platform::UINT id : {200u, 201u})
    templates.dialogs.push_back({id, u"", platform::kWsChild, 0, 0, 200, 100, {control}});
  ASSERT_TRUE(platform::AddModuleResources(u"EXTA.DLL", templates));
  ASSERT_EQ(Entry<decltype(KVDrv_RegisterExtension)>("KVDrv_RegisterExtension")("P1", nullptr,
                                                                                "EXTA.DLL", 0),
            0);
  const auto [with_pages, with_about] = sheet();
  EXPECT_EQ(with_pages, (std::vector<bool>{false, false, false, false, false, true, true}));
  Texts listed = library;
  listed.insert(listed.end(), {u"Sample", u"Adds a page", u"x", u"For tests"});  // 993 is "x"
  EXPECT_EQ(with_about, listed);
}

}  // namespace
