// P1's Configure page and "More Configuration Options" through the
// PrinterProperties export as a user works them: one row per group of
// ConfigureGroupKeys (a group without a row fails), each an action and the
// values of the installed options in printer data ("365") that change;
// every other value must stay. Expected values are derived by hand (the
// comments give the arithmetic). Then the font cards' printer data.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "platform/host/files.h"
#include "platform/host/spooler.h"
#include "services/driver_server.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "ui/pages/configure_groups.h"

namespace {

using namespace support;
using namespace testing_support;
using Values = std::map<std::uint32_t, std::int32_t>;
using Act = std::function<void(UiDialog&)>;

class ConfigureChoices : public AcceptancePrinter {
 protected:
  // The 16-bit values of "365" that the groups name, and 315's text.
  Values Options(std::string* paper_source = nullptr) {
    std::uint32_t cookie = 0;
    GDriverServer* server = GDriverServer::Instance();
    GDriverData* data = server->GetContext(new GPrinterKey(Printer(), kFixturePrinter, 0), cookie);
    std::unique_ptr<GAttributeComposite> options(
        data ? LoadNamedObjectAs<GAttributeComposite>(data, RWWString(u"365")) : nullptr);
    if (data) server->ReleaseContext(cookie);
    Values values;
    for (const GGroupKeys& group : ConfigureGroupKeys())
      for (std::uint32_t key : group.keys)
        if (FindValueAttribute(options.get(), key))
          values[key] = SignedValueOr(options.get(), key, 0);
    auto* text = FindOfClass<GStringAttribute>(options.get(), 315);
    if (paper_source) *paper_source = text ? text->GetValue().Data() : "missing";
    return values;
  }
  // A printer-data value as UTF-16 units (a DWORD is two).
  std::u16string Data(const char16_t* name) {
    char16_t data[64] = {};
    platform::DWORD type = 0, needed = 0;
    if (platform::GetPrinterDataW(Printer(), name, &type, reinterpret_cast<platform::BYTE*>(data),
                                  sizeof data, &needed) != 0)
      return u"missing";
    return std::u16string(data, needed / 2);
  }
  // The sheet on the Configure page: `act`, then OK (Cancel answers 0).
  void OnConfigure(const Act& act, bool cancel = false) {
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(1));
      UiDialog page = sheet.page();
      act(page);
      cancel ? sheet.cancel() : sheet.ok();
    });
    EXPECT_EQ(Entry<decltype(PrinterProperties)>("PrinterProperties")(nullptr, Printer()),
              cancel ? 0 : 1);
  }
  // `script` in the dialog that `opener` opens, then OK (or Cancel).
  Act In(int opener, platform::UINT dialog, Act script, int end = platform::kIdOk) {
    return [=, this](UiDialog& page) {
      ui.OnDialog(dialog, [=](UiDialog opened) {
        script(opened);
        EXPECT_TRUE(opened.Click(end));
      });
      EXPECT_TRUE(page.Click(opener));
    };
  }
  Act More(Act script, int end = platform::kIdOk) { return In(7049, 7500, script, end); }
  static Act TypeIn(int id, std::u16string text) {
    return [=](UiDialog& d) { EXPECT_TRUE(d.Type(id, text) && d.Blur()); };
  }
  static Act Click(int id) {
    return [=](UiDialog& d) { d.Click(id); };
  }
};

TEST_F(ConfigureChoices, EveryGroupEndsUpInPrinterData) {
  // P1: 64 MB, no disk, no collation unit, no optional source, 10.00 MB.
  struct Row {
    int control;
    Act act;
    Values changed;
    bool cancel = false;
  };
  const std::u16string kDword3Disabled = {0x20, 0};  // state 2 in bits 4-5
  const Row rows[] = {
      // P1's sets, its own status (the default configuration) shown chosen.
      {7013,
       [](UiDialog& p) {
         EXPECT_EQ(p.Items(7013),
                   (std::vector<std::u16string>{u"Default Configuration", u"Auto-Configured"}));
         EXPECT_EQ(p.Selection(7013), 0);
       },
       {}},
      {7026, Click(7026), {}},
      {7023, [](UiDialog& p) { EXPECT_TRUE(p.Check(7023, true)); }, {}, true},
      // Checked writes 3; the status rule marks a change: 14118.
      {7023, [](UiDialog& p) { EXPECT_TRUE(p.Check(7023, true)); }, {{245, 3}, {927, 14118}}},
      // 64 MB without a disk: shown disabled, never set.
      {7024, [](UiDialog& p) { EXPECT_FALSE(p.Enabled(7024)); }, {}},
      // Item 1: the fixture's cassette, part number "Z7142" (checked below).
      {7037, [](UiDialog& p) { EXPECT_TRUE(p.SelectData(7037, 1)); }, {}},
      // "12.5" MB is 1250 hundredths.
      {7041, More(TypeIn(7041, u"12.5")), {{307, 1250}}},
      // "100" reads 96 (the largest size not above); below 128 MB without a
      // disk 520, 310, 451 go off; D(96) = ((96*5-320)*10/100+6)*100.
      {7091, More(TypeIn(7091, u"100")), {{925, 96}, {520, 0}, {310, 0}, {451, 0}, {307, 2200}}},
      // "9999" clamps to 512; D(512) = ((2560-320)*10/100+6)*100.
      {7091, More(TypeIn(7091, u"9999")), {{925, 512}, {520, 1}, {310, 1}, {451, 1}, {307, 23000}}},
      {7049, More(TypeIn(7091, u"64"), platform::kIdCancel), {}},
      // Job storage is not available on P1: its box hidden.
      {7046,
       More([](UiDialog& m) { EXPECT_TRUE(!m.Visible(7061) && m.Check(7046, true)); }),
       {{239, 1}}},
      {7055, More(Click(7055)), {}},
      {7076, More(Click(7076)), {}},
      {7062, More(Click(7062)), {}},
      {7071,
       In(7071, 7100,
          [](UiDialog& c) { EXPECT_TRUE(c.Select(7105, u"3 (Enabled)") && c.Click(7106)); }),
       {}},
      {7069, Click(7069), {}},
      // No two-way communication: the printer answers nothing.
      {7052, Click(7052), {}},
      // Not interactive here: a click on the upper tray picks nothing.
      {2021, [](UiDialog& p) { p.ClickAt(2021, 120, 90); }, {}},
  };
  std::set<int> tried;
  bool source_chosen = false;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.control);
    tried.insert(row.control);
    Values expected = Options();
    for (const auto& [key, value] : row.changed)
      expected[key] = value;
    OnConfigure(row.act, row.cancel);
    source_chosen |= row.control == 7037;
    std::string source;
    EXPECT_EQ(Options(&source), expected);
    EXPECT_EQ(source, source_chosen ? "Z7142" : "");
  }
  EXPECT_EQ(Data(u"DisabledMSDs"), kDword3Disabled);
  for (const GGroupKeys& group : ConfigureGroupKeys())
    EXPECT_TRUE(tried.count(group.control_id)) << group.group;
}

// A card that cannot be read is refused with "Error Configuring Card
// Fonts"; a readable one gets its source's record (a bare name: the file
// lies in the driver directory), state 1 and "MassStorageFonts" 1; a
// removed one loses both, and its file in the driver directory.
TEST_F(ConfigureChoices, FontCardsLandInPrinterData) {
  // The smallest readable font-storage file: 36 bytes, header length 36
  // at offset 4, no records (count 0 at 28).
  const std::optional<std::string> file = platform::ToHostPath(u"C:\\Drv\\card.msd");
  ASSERT_TRUE(file);
  std::string bytes(36, '\0');
  bytes[4] = 36;
  std::FILE* out = std::fopen(file->c_str(), "wb");
  ASSERT_TRUE(out && std::fwrite(bytes.data(), 1, 36, out) == 36 && std::fclose(out) == 0);

  OnConfigure(In(7071, 7100, [&](UiDialog& cards) {
    for (const std::u16string typed : {u"gone.msd", u"card.msd"}) {
      ui.OnDialog(7200, [=](UiDialog add) {
        EXPECT_TRUE(add.SelectData(7205, 4) && add.Type(7204, typed));  // "5": flash 1
        EXPECT_TRUE(add.Click(platform::kIdOk));
      });
      if (typed == u"gone.msd") {
        ui.OnDialog(7300, [](UiDialog error) {
          EXPECT_EQ(error.Text(7306) + error.Text(7309), u"gone.msd5");
          EXPECT_TRUE(error.Click(platform::kIdOk));
        });
      }
      EXPECT_TRUE(cards.Click(7109));
    }
    EXPECT_EQ(cards.Items(7105)[4], u"card.msd (Enabled)");
  }));
  EXPECT_EQ(Data(u"FlashFonts1"), u"card.msd");
  EXPECT_EQ(Data(u"DisabledMSDs"), (std::u16string{1 << 8, 0}));  // state 1, bits 8-9
  EXPECT_EQ(Data(u"MassStorageFonts"), (std::u16string{1, 0}));

  OnConfigure(In(7071, 7100, [](UiDialog& cards) {
    EXPECT_TRUE(cards.Select(7105, u"card.msd (Enabled)") && cards.Click(7107));
  }));
  EXPECT_EQ(Data(u"FlashFonts1"), u"");
  EXPECT_EQ(Data(u"MassStorageFonts"), (std::u16string{0, 0}));
  EXPECT_FALSE(std::filesystem::exists(*file));
}

}  // namespace
