// P1's Configure page and its "More Configuration Options" dialog, worked
// through the PrinterProperties export as a user works them: one row per
// group of ConfigureGroupKeys (a group without a row fails the test), each
// a user's action and what the installed options in printer data (the
// named object "365") then hold. Every value not named by a row must stay
// as it was. Expected values are derived by hand from what each control
// stands for; the comments give the arithmetic. Then the font-card
// dialogs' changes in printer data.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/driver_context.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "driver/services/driver_server.h"
#include "platform/host/files.h"
#include "platform/host/spooler.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "ui/pages/configure_groups.h"

namespace {

using namespace support;
using namespace testing_support;
using Values = std::map<std::uint32_t, std::int32_t>;

constexpr std::uint32_t kUserConfigured = 14118;  // any change of an option

class ConfigureChoices : public AcceptancePrinter {
 public:
  // The installed options as P1's driver data reads them back: every
  // 16-bit value the table's groups name, and the optional paper source.
  Values Options(std::string* paper_source = nullptr) {
    std::uint32_t cookie = 0;
    GDriverServer* server = GDriverServer::Instance();
    GDriverData* data = server->GetContext(new GPrinterKey(Printer(), kFixturePrinter, 0), cookie);
    std::unique_ptr<GAttributeComposite> options(
        data ? LoadNamedObjectAs<GAttributeComposite>(data, RWWString(u"365")) : nullptr);
    if (data) server->ReleaseContext(cookie);
    Values values;
    EXPECT_NE(options, nullptr);
    if (!options) return values;
    for (const GGroupKeys& group : ConfigureGroupKeys())
      for (std::uint32_t key : group.keys)
        if (FindValueAttribute(options.get(), key))
          values[key] = SignedValueOr(options.get(), key, 0);
    if (paper_source) {
      auto* text = FindOfClass<GStringAttribute>(options.get(), 315);
      *paper_source = text ? text->GetValue().Data() : "missing";
    }
    return values;
  }
  std::uint32_t PrinterDword(const char16_t* name) {
    platform::DWORD type = 0, needed = 0, value = 0;
    if (platform::GetPrinterDataW(Printer(), name, &type, reinterpret_cast<platform::BYTE*>(&value),
                                  sizeof value, &needed) != 0)
      return 0xDEAD;
    return value;
  }
  std::u16string PrinterText(const char16_t* name) {
    char16_t text[300] = {};
    platform::DWORD type = 0, needed = 0;
    if (platform::GetPrinterDataW(Printer(), name, &type, reinterpret_cast<platform::BYTE*>(text),
                                  sizeof text - 2, &needed) != 0)
      return u"missing";
    return std::u16string(text, needed / 2);
  }
  // Opens the device sheet on the Configure page, lets `act` work it and
  // presses OK (or Cancel).
  void OnConfigure(const std::function<void(UiDialog&)>& act, bool cancel = false) {
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(1));
      UiDialog page = sheet.page();
      act(page);
      cancel ? sheet.cancel() : sheet.ok();
    });
    // Cancel answers 0.
    EXPECT_EQ(Entry<decltype(PrinterProperties)>("PrinterProperties")(nullptr, Printer()),
              cancel ? 0 : 1);
  }
  // Queues `script` for the next dialog `template_id`.
  void OnDialog(platform::UINT template_id, std::function<void(UiDialog)> script) {
    ui.OnDialog(template_id, std::move(script));
  }
  // `script` on "More Configuration Options", then OK (or Cancel).
  void More(UiDialog& page, std::function<void(UiDialog&)> script, bool cancel = false) {
    ui.OnDialog(7500, [script, cancel](UiDialog more) {
      script(more);
      EXPECT_TRUE(more.Click(cancel ? platform::kIdCancel : platform::kIdOk));
    });
    EXPECT_TRUE(page.Click(7049));
  }
};

struct Row {
  int control;  // the group's control in ConfigureGroupKeys
  const char* what;
  std::function<void(ConfigureChoices&, UiDialog&)> act;
  Values changed;  // the values that change; all others stay
  bool cancel = false;
};

TEST_F(ConfigureChoices, EveryGroupEndsUpInPrinterData) {
  // P1 starts with 64 MB, no hard disk, no collation unit, work space
  // 10.00 MB and no optional paper source (fixture_printer.md).
  const std::vector<Row> rows = {
      {7013,
       "the status list offers no set on P1: nothing to choose, nothing written",
       [](ConfigureChoices&, UiDialog& page) {
         EXPECT_TRUE(page.Items(7013).empty());
         EXPECT_EQ(page.Selection(7013), -1);
       },
       {}},
      {7026, "shown only", [](ConfigureChoices&, UiDialog& page) { page.Click(7026); }, {}},
      {7023,
       "manual duplex, then Cancel: nothing stored",
       [](ConfigureChoices&, UiDialog& page) { EXPECT_TRUE(page.Check(7023, true)); },
       {},
       true},
      // Checked writes 3; the status rule marks the change.
      {7023,
       "manual duplex",
       [](ConfigureChoices&, UiDialog& page) { EXPECT_TRUE(page.Check(7023, true)); },
       {{245, 3}, {927, kUserConfigured}}},
      // 64 MB without a disk: collation is shown disabled, never set.
      {7024,
       "collation unavailable",
       [](ConfigureChoices&, UiDialog& page) {
         EXPECT_TRUE(page.Visible(7024));
         EXPECT_FALSE(page.Enabled(7024));
       },
       {}},
      // Item 1 is the fixture's "Lower Cassette" (no display text).
      {7037,
       "optional paper source",
       [](ConfigureChoices&, UiDialog& page) { EXPECT_TRUE(page.SelectData(7037, 1)); },
       {}},
      // "12.5" is 12.50 MB: 1250 hundredths, within 1.00-230.00.
      {7041,
       "driver work space",
       [](ConfigureChoices& self, UiDialog& page) {
         self.More(page, [](UiDialog& more) {
           EXPECT_TRUE(more.Type(7041, u"12.5"));
           EXPECT_TRUE(more.Blur());
         });
       },
       {{307, 1250}}},
      // "100" reads as 96, the largest size not above it; below 128 MB
      // without a disk job storage, collation and 451 go off; the work
      // space follows the memory: D(96) = ((96*5-320)*10/100+6)*100 = 2200.
      {7091,
       "memory, a typed size between two sizes",
       [](ConfigureChoices& self, UiDialog& page) {
         self.More(page, [](UiDialog& more) {
           EXPECT_TRUE(more.Type(7091, u"100"));
           EXPECT_TRUE(more.Blur());
         });
       },
       {{925, 96}, {520, 0}, {310, 0}, {451, 0}, {307, 2200}}},
      // "9999" clamps to the largest size, 512; from 128 MB on the three
      // options go on; D(512) = ((2560-320)*10/100+6)*100 = 23000.
      {7091,
       "memory, out of range",
       [](ConfigureChoices& self, UiDialog& page) {
         self.More(page, [](UiDialog& more) {
           EXPECT_TRUE(more.Type(7091, u"9999"));
           EXPECT_TRUE(more.Blur());
         });
       },
       {{925, 512}, {520, 1}, {310, 1}, {451, 1}, {307, 23000}}},
      {7049,
       "More Configuration Options cancelled: nothing stored",
       [](ConfigureChoices& self, UiDialog& page) {
         self.More(
             page,
             [](UiDialog& more) {
               EXPECT_TRUE(more.Type(7091, u"64"));
               EXPECT_TRUE(more.Blur());
             },
             true);
       },
       {}},
      // The disk on: collation and 451 on (already); job storage is not
      // available on P1, its box hidden.
      {7046,
       "hard disk",
       [](ConfigureChoices& self, UiDialog& page) {
         self.More(page, [](UiDialog& more) {
           EXPECT_FALSE(more.Visible(7061));
           EXPECT_TRUE(more.Check(7046, true));
         });
       },
       {{239, 1}}},
      {7055,
       "shown only",
       [](ConfigureChoices& self, UiDialog& page) {
         self.More(page, [](UiDialog& more) { more.Click(7055); });
       },
       {}},
      {7076,
       "shown only",
       [](ConfigureChoices& self, UiDialog& page) {
         self.More(page, [](UiDialog& more) { more.Click(7076); });
       },
       {}},
      {7062,
       "shown only",
       [](ConfigureChoices& self, UiDialog& page) {
         self.More(page, [](UiDialog& more) { more.Click(7062); });
       },
       {}},
      // Source 3's fonts disabled: state 2 in bits 4-5 of "DisabledMSDs".
      {7071,
       "font cards",
       [](ConfigureChoices& self, UiDialog& page) {
         self.OnDialog(7100, [](UiDialog cards) {
           EXPECT_TRUE(cards.Select(7105, u"3 (Enabled)"));
           EXPECT_TRUE(cards.Click(7106));
           EXPECT_TRUE(cards.Click(platform::kIdOk));
         });
         EXPECT_TRUE(page.Click(7071));
       },
       {}},
      {7069, "shown only", [](ConfigureChoices&, UiDialog& page) { page.Click(7069); }, {}},
      // Without two-way communication the printer answers nothing.
      {7052,
       "automatic configuration",
       [](ConfigureChoices&, UiDialog& page) { page.Click(7052); },
       {}},
      // Not interactive here: a click on the upper tray picks nothing.
      {2021,
       "printer picture",
       [](ConfigureChoices&, UiDialog& page) { page.ClickAt(2021, 120, 90); },
       {}},
  };

  std::set<int> tried;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    tried.insert(row.control);
    Values expected = Options();
    for (const auto& [key, value] : row.changed)
      expected[key] = value;
    OnConfigure([&](UiDialog& page) { row.act(*this, page); }, row.cancel);
    EXPECT_EQ(Options(), expected);
    if (row.control == 7037) {
      std::string source;
      Options(&source);
      EXPECT_EQ(source, "Lower Cassette");
    }
    if (row.control == 7071) {
      EXPECT_EQ(PrinterDword(u"DisabledMSDs"), 0x20u);
    }
  }
  for (const GGroupKeys& group : ConfigureGroupKeys())
    EXPECT_TRUE(tried.count(group.control_id)) << group.group << " has no row";
}

// "Add Font Card" from the font-card list: a card that cannot be read is
// refused with "Error Configuring Card Fonts" and nothing stored; a
// readable one gets its source's record, state 1 ("enabled") and
// "MassStorageFonts" 1; a removed one loses its record again.
TEST_F(ConfigureChoices, FontCardsAddedAndRemovedLandInPrinterData) {
  // The smallest readable font-storage file: 36 bytes, header length 36
  // at offset 4, stamp 7 at 8, no records (count 0 at 28).
  // The card's file in the driver directory (kFixtureDirectory), typed
  // as a bare name.
  const std::optional<std::string> file = platform::ToHostPath(u"C:\\Drv\\card.msd");
  ASSERT_TRUE(file.has_value());
  std::vector<unsigned char> bytes(36, 0);
  bytes[4] = 36;
  bytes[8] = 7;
  std::FILE* out = std::fopen(file->c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  std::fclose(out);
  const std::u16string path = u"card.msd";
  const std::u16string missing = u"gone.msd";

  OnConfigure([&](UiDialog& page) {
    ui.OnDialog(7100, [&](UiDialog cards) {
      for (const std::u16string& typed : {missing, path}) {
        ui.OnDialog(7200, [&](UiDialog add) {
          EXPECT_TRUE(add.SelectData(7205, 4));  // "5", the first flash memory
          EXPECT_TRUE(add.Type(7204, typed));
          EXPECT_TRUE(add.Click(platform::kIdOk));
        });
        if (typed == missing) {
          ui.OnDialog(7300, [&](UiDialog error) {
            EXPECT_EQ(error.Text(7306), missing);
            EXPECT_EQ(error.Text(7309), u"5");
            EXPECT_TRUE(error.Click(platform::kIdOk));
          });
        }
        EXPECT_TRUE(cards.Click(7109));
      }
      EXPECT_EQ(cards.Items(7105)[4], u"card.msd (Enabled)");
      EXPECT_TRUE(cards.Click(platform::kIdOk));
    });
    EXPECT_TRUE(page.Click(7071));
  });
  EXPECT_EQ(PrinterText(u"FlashFonts1"), path);       // stored bare
  EXPECT_EQ(PrinterDword(u"DisabledMSDs"), 1u << 8);  // state 1 in bits 8-9
  EXPECT_EQ(PrinterDword(u"MassStorageFonts"), 1u);

  OnConfigure([&](UiDialog& page) {
    ui.OnDialog(7100, [&](UiDialog cards) {
      EXPECT_TRUE(cards.Select(7105, u"card.msd (Enabled)"));
      EXPECT_TRUE(cards.Click(7107));
      EXPECT_TRUE(cards.Click(platform::kIdOk));
    });
    EXPECT_TRUE(page.Click(7071));
  });
  // The record emptied and the card's file in the driver directory gone.
  EXPECT_EQ(PrinterText(u"FlashFonts1"), u"");
  EXPECT_EQ(PrinterDword(u"MassStorageFonts"), 0u);
  EXPECT_FALSE(std::filesystem::exists(*file));
}

}  // namespace
