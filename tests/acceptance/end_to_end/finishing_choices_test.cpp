// The Finishing page and its "Print Quality Details" dialog worked as a
// user works them, through DrvDocumentProperties with the document sheet,
// for P1 with either printer language (GZdl5e, kind 788: dialog 13001;
// GVexalon, kind 767: dialog 9000). Every group of the page's and the
// dialog's key tables gets a row: the user's action, OK, and what the
// record handed back holds (the public fields where the device mode maps
// the setting, the decoded private settings otherwise).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/model_lookup.h"
#include "platform/host/printer_interface.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "ui/pages/finishing_groups.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

// Finishing is the first document page.
constexpr std::size_t kFinishingPage = 0;
// DEVMODEW offsets: dmPrintQuality, dmDuplex, dmYResolution.
constexpr std::size_t kPrintQualityAt = 90;
constexpr std::size_t kDuplexAt = 94;
constexpr std::size_t kYResolutionAt = 96;
constexpr int kOkButton = 1;
constexpr int kCancelButton = 2;

std::uint16_t Word(const Bytes& record, std::size_t at) {
  return static_cast<std::uint16_t>(record[at] | record[at + 1] << 8);
}

struct Row {
  int control;  // the main control of the group the row tries
  bool zdl5_only;
  // On the Finishing page; `details` is the details dialog's template.
  std::function<void(UiDriver&, UiDialog&, platform::UINT details)> act;
  // On the record handed back and the settings it carries.
  std::function<void(const Bytes&, GAttributeComposite*)> expect;
};

// Opens the details dialog, runs `script` in it and presses `button`.
void InDetails(UiDriver& ui, UiDialog& page, platform::UINT details,
               std::function<void(UiDialog&)> script, int button = kOkButton) {
  ui.OnDialog(details, [script, button](UiDialog dialog) {
    script(dialog);
    EXPECT_TRUE(dialog.Click(button));
  });
  EXPECT_TRUE(page.Click(3034));
}

std::function<void(const Bytes&, GAttributeComposite*)> Holds(std::uint32_t key,
                                                              std::int32_t value) {
  return [key, value](const Bytes&, GAttributeComposite* settings) {
    EXPECT_EQ(SignedValueOr(settings, key, -1), value) << key;
  };
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      // Long edge (253 = 2) is DMDUP_VERTICAL (2) in portrait.
      {3010, false, [](UiDriver&, UiDialog& page, platform::UINT) { page.Check(3010, true); },
       [](const Bytes& record, GAttributeComposite* settings) {
         EXPECT_EQ(Word(record, kDuplexAt), 2);
         EXPECT_EQ(SignedValueOr(settings, kDuplexKey, -1), 2);
       }},
      // Short edge (253 = 1) is DMDUP_HORIZONTAL (3) in portrait.
      {3011, false,
       [](UiDriver&, UiDialog& page, platform::UINT) {
         EXPECT_EQ(page.Items(3011), (std::vector<std::u16string>{u"Off", u"Flip on Long Edge",
                                                                  u"Flip on Short Edge"}));
         page.Select(3011, u"Flip on Short Edge");
         EXPECT_TRUE(page.Checked(3010));
       },
       [](const Bytes& record, GAttributeComposite* settings) {
         EXPECT_EQ(Word(record, kDuplexAt), 3);
         EXPECT_EQ(SignedValueOr(settings, kDuplexKey, -1), 1);
       }},
      // Booklets need two-sided printing: disabled until it is on.
      {3024, false,
       [](UiDriver&, UiDialog& page, platform::UINT) {
         EXPECT_FALSE(page.Enabled(3024));
         page.Check(3010, true);
         page.Select(3024, u"Left Edge Binding");
       },
       Holds(kBookletKey, 1)},
      // 1200 x 1200 from list 206 goes to dmPrintQuality and dmYResolution.
      {3015, false,
       [](UiDriver&, UiDialog& page, platform::UINT) {
         EXPECT_EQ(page.Items(3015), (std::vector<std::u16string>{u"600 dpi", u"1200 dpi"}));
         page.Select(3015, u"1200 dpi");
       },
       [](const Bytes& record, GAttributeComposite* settings) {
         EXPECT_EQ(Word(record, kPrintQualityAt), 1200);
         EXPECT_EQ(Word(record, kYResolutionAt), 1200);
         EXPECT_EQ(SignedValueOr(settings, kXResolutionKey, -1), 1200);
       }},
      {3041, false, [](UiDriver&, UiDialog& page, platform::UINT) { page.Click(3041); },
       Holds(kResolutionModeKey, 2)},
      {3031, false, [](UiDriver&, UiDialog& page, platform::UINT) { page.Check(3031, true); },
       Holds(kPageOrderKey, 1)},
      // P1's settings have no edge-to-edge value: disabled, never made.
      {3035, false,
       [](UiDriver&, UiDialog& page, platform::UINT) { EXPECT_FALSE(page.Enabled(3035)); },
       Holds(kEdgeToEdgeKey, -1)},
      // A resolution other than the defaults' reads "Custom" in the dialog;
      // the dialog's Cancel keeps the page's choice.
      {9002, false,
       [](UiDriver& ui, UiDialog& page, platform::UINT details) {
         page.Select(3015, u"1200 dpi");
         InDetails(
             ui, page, details,
             [](UiDialog& dialog) {
               EXPECT_EQ(dialog.Text(9002), u"This is a \"Custom\" setting");
             },
             kCancelButton);
       },
       Holds(kXResolutionKey, 1200)},
      {9015, false,
       [](UiDriver& ui, UiDialog& page, platform::UINT details) {
         InDetails(ui, page, details, [](UiDialog& dialog) { dialog.Check(9015, true); });
       },
       Holds(kPatternScalingKey, 1)},
      {6044, false,
       [](UiDriver& ui, UiDialog& page, platform::UINT details) {
         InDetails(ui, page, details, [](UiDialog& dialog) { dialog.Check(6044, true); });
       },
       Holds(kTextAsBlackKey, 1)},
      {3021, false,
       [](UiDriver& ui, UiDialog& page, platform::UINT details) {
         InDetails(ui, page, details, [](UiDialog& dialog) { dialog.Check(3021, true); });
       },
       Holds(kTrueTypeAsBitmapKey, 1)},
      // P1 names no watermark (383 is empty): the rasterization rule leaves
      // the rasterising modes open, and 2 is taken.
      {9022, true,
       [](UiDriver& ui, UiDialog& page, platform::UINT details) {
         InDetails(ui, page, details, [](UiDialog& dialog) {
           EXPECT_TRUE(dialog.Enabled(9022) && dialog.Enabled(9023));
           EXPECT_TRUE(dialog.Click(9022));
         });
       },
       Holds(kRasterizationKey, 2)},
  };
  return rows;
}

class FinishingChoices : public AcceptancePrinter, public testing::WithParamInterface<bool> {
 protected:
  FinishingChoices() { xl_language_ = GetParam(); }
  platform::UINT Details() const { return GetParam() ? 9000 : 13001; }
  // The default record, the sheet worked by `script` and closed by OK (or
  // Cancel); the call's answer.
  platform::LONG Sheet(std::function<void(UiDialog&)> script, bool ok, Bytes& out) {
    Bytes in(kAcceptanceRecordBytes, 0);
    EXPECT_EQ(DocumentProperties(Installed(), Printer(), kFixturePrinter, &in, nullptr,
                                 platform::kDmModeCopy),
              1);
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(kFinishingPage));
      UiDialog page = sheet.page();
      script(page);
      ok ? sheet.ok() : sheet.cancel();
    });
    return DocumentProperties(
        Installed(), Printer(), kFixturePrinter, &out, &in,
        platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
  }
};

TEST_P(FinishingChoices, EveryGroupLandsInTheRecord) {
  std::set<int> tried;
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.control);
    tried.insert(row.control);
    if (row.zdl5_only && GetParam()) continue;
    Bytes out(kAcceptanceRecordBytes, 0xEE);
    ASSERT_EQ(Sheet([&](UiDialog& page) { row.act(ui, page, Details()); }, true, out), 1);
    std::unique_ptr<GAttributeComposite> settings = DecodeRecord(Printer(), kFixturePrinter, out);
    ASSERT_NE(settings, nullptr);
    row.expect(out, settings.get());
  }
  for (auto table : {FinishingGroupKeys(), QualityDetailsGroupKeys()})
    for (const GGroupKeys& group : table)
      EXPECT_TRUE(tried.contains(group.control_id)) << group.group << " has no row";
}

// Cancel, of the dialog or of the sheet, leaves the caller's record alone.
TEST_P(FinishingChoices, CancelKeepsTheRecord) {
  Bytes out(kAcceptanceRecordBytes, 0xEE);
  const platform::UINT details = Details();
  EXPECT_EQ(Sheet(
                [&](UiDialog& page) {
                  InDetails(
                      ui, page, details, [](UiDialog& dialog) { dialog.Check(9015, true); },
                      kCancelButton);
                  page.Check(3010, true);
                },
                false, out),
            2);
  EXPECT_EQ(out, Bytes(kAcceptanceRecordBytes, 0xEE));
  // The dialog's Cancel took its change back; the page's OK keeps the rest.
  EXPECT_EQ(Sheet(
                [&](UiDialog& page) {
                  InDetails(
                      ui, page, details, [](UiDialog& dialog) { dialog.Check(9015, true); },
                      kCancelButton);
                  page.Check(3031, true);
                },
                true, out),
            1);
  std::unique_ptr<GAttributeComposite> settings = DecodeRecord(Printer(), kFixturePrinter, out);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(SignedValueOr(settings.get(), kPatternScalingKey, -1), 0);
  EXPECT_EQ(SignedValueOr(settings.get(), kPageOrderKey, -1), 1);
}

INSTANTIATE_TEST_SUITE_P(Languages, FinishingChoices, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("XL767") : std::string("Zdl5e788");
                         });

}  // namespace
