// The Effects page of P1's document sheet, worked as a user works it
// through DrvDocumentProperties: each row is one choice on one group of
// the page (or of its "Watermark Details" dialog), pressed OK, and what the
// record handed back carries, decoded by P1's own device-mode settings.
// Every group of EffectsGroupKeys() has a row. Expected values come from
// the fixture (support/fixture_printer.md) and the choice made.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_context.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "persist/child_iterator.h"
#include "platform/ui/dialog.h"
#include "platform/ui/messages.h"
#include "services/driver_server.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "ui/pages/effects_groups.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;
using Settings = GAttributeComposite;

std::string TextOf(Settings* in, std::uint32_t key) {
  GStringAttribute* text = FindStringAttribute(in, key);
  return text ? text->GetValue().Data() : "(missing)";
}

// The definition of the watermark list named `name`.
Settings* Definition(Settings* settings, const char* name) {
  Settings* list = FindComposite(settings, kWatermarkListKey);
  std::unique_ptr<MChildIterator> walk(list ? list->NewChildIterator() : nullptr);
  while (walk && walk->Next()) {
    auto* definition = dynamic_cast<Settings*>(walk->Current());
    if (definition && TextOf(definition, kWatermarkNameKey) == name) return definition;
  }
  return nullptr;
}

class EffectsChoices : public AcceptancePrinter {
 public:
  // The default record, the sheet worked by `act` on the Effects page and
  // closed with OK (or Cancel); the call's answer and the record it wrote
  // into a copy of the default.
  platform::LONG Work(const std::function<void(UiDialog&)>& act, bool cancel, Bytes& in,
                      Bytes& out) {
    in.assign(kAcceptanceRecordBytes, 0);
    EXPECT_EQ(DocumentProperties(Installed(), Printer(), kFixturePrinter, &in, nullptr,
                                 platform::kDmModeCopy),
              1);
    out = in;
    OnSheet([&](SheetDriver& sheet) {
      bool found = false;
      for (std::size_t i = 0; i < sheet.pages() && !found; ++i)
        found = sheet.activate(i) && platform::GetDlgItem(sheet.page().Handle(), 6012) != nullptr;
      ASSERT_TRUE(found) << "no Effects page";
      UiDialog page = sheet.page();
      act(page);
      cancel ? sheet.cancel() : sheet.ok();
    });
    return DocumentProperties(
        Installed(), Printer(), kFixturePrinter, &out, &in,
        platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
  }
  // The named object "366" as P1's driver data reads it back.
  std::unique_ptr<Settings> StoredWatermarks() {
    std::uint32_t cookie = 0;
    GDriverServer* server = GDriverServer::Instance();
    GDriverData* data = server->GetContext(new GPrinterKey(Printer(), kFixturePrinter, 0), cookie);
    std::unique_ptr<Settings> stored(data ? LoadNamedObjectAs<Settings>(data, RWWString(u"366"))
                                          : nullptr);
    if (data) server->ReleaseContext(cookie);
    return stored;
  }
  // Opens "Watermark Details" from the page, works it and presses OK.
  void Details(UiDialog& page, std::function<void(UiDialog&)> act) {
    ui.OnDialog(5000, [act](UiDialog dialog) {
      act(dialog);
      EXPECT_TRUE(dialog.Click(platform::kIdOk));
    });
    EXPECT_TRUE(page.Click(6013));
  }
};

struct Row {
  const char* group;  // as EffectsGroupKeys names it
  const char* what;
  std::function<void(EffectsChoices&, UiDialog&)> act;
  // On the record's settings and the watermarks the sheet stored in
  // printer data (the named object "366": the record does not carry them).
  std::function<void(Settings*, Settings*)> expect;
};

TEST_F(EffectsChoices, EveryGroupLandsInTheRecord) {
  const auto type = [](UiDialog& dialog, int id, const char16_t* text) {
    EXPECT_TRUE(dialog.Type(id, text));
    EXPECT_TRUE(dialog.Blur());
  };
  const std::vector<Row> rows = {
      {"% of Normal Size", "typed in range",
       [&](auto&, UiDialog& page) { type(page, 6021, u"150"); },
       [](Settings* s, Settings*) { EXPECT_EQ(SignedValueOr(s, kScalePercentKey, -1), 150); }},
      {"% of Normal Size", "typed above the range: clamped",
       [&](auto&, UiDialog& page) { type(page, 6021, u"500"); },
       [](Settings* s, Settings*) { EXPECT_EQ(SignedValueOr(s, kScalePercentKey, -1), 400); }},
      {"% of Normal Size", "typed below the range, then a step up",
       [&](auto&, UiDialog& page) {
         type(page, 6021, u"10");
         EXPECT_EQ(page.Text(6021), u"25");
         EXPECT_TRUE(page.Spin(6022, 1));
       },
       [](Settings* s, Settings*) { EXPECT_EQ(SignedValueOr(s, kScalePercentKey, -1), 26); }},
      {"% of Normal Size", "no number: refused",
       [&](auto&, UiDialog& page) {
         type(page, 6021, u"12x");
         EXPECT_EQ(page.Text(6021), u"100");
       },
       [](Settings* s, Settings*) { EXPECT_EQ(SignedValueOr(s, kScalePercentKey, -1), 100); }},
      // A4 is paper 23 (spooler form 9); P1 lacks scale to fit (271): its
      // box stays disabled with the switch on, and 271 is never made.
      {"Print Document On", "on, A4",
       [](auto&, UiDialog& page) {
         EXPECT_FALSE(page.Enabled(6033));
         EXPECT_TRUE(page.Check(6024, true));
         EXPECT_TRUE(page.SelectData(6033, 23));
         EXPECT_FALSE(page.Enabled(6034));
       },
       [](Settings* s, Settings*) {
         EXPECT_EQ(SignedValueOr(s, kFitToOtherSizeKey, -1), 1);
         EXPECT_EQ(SignedValueOr(s, kTargetPaperSizeKey, -1), 23);
         EXPECT_EQ(FindValueAttribute(s, kScalePageChoiceKey), nullptr);
       }},
      {"Pages per Sheet", "two",
       [](auto&, UiDialog& page) { EXPECT_TRUE(page.Select(6012, u"2")); },
       [](Settings* s, Settings*) { EXPECT_EQ(SignedValueOr(s, kPagesPerSheetKey, -1), 2); }},
      // Choosing copies the definition's values into the job's setting.
      {"Watermarks", "Confidential",
       [](auto&, UiDialog& page) { EXPECT_TRUE(page.Select(6011, u"Confidential")); },
       [](Settings* s, Settings*) {
         Settings* job = FindComposite(s, kWatermarkSettingKey);
         EXPECT_EQ(TextOf(job, kSelectedWatermarkKey), "Confidential");
         EXPECT_EQ(SignedValueOr(job, kWatermarkNumberKey, -1), 1);
         EXPECT_EQ(SignedValueOr(job, kWatermarkPagesKey, -1), 1);
         EXPECT_EQ(SignedValueOr(job, kWatermarkShadeKey, -1), 128);
         EXPECT_EQ(TextOf(job, kWatermarkFaceKey), "Times New Roman");
       }},
      {"Watermarks", "back to (None): the name is empty",
       [](auto&, UiDialog& page) {
         EXPECT_TRUE(page.Select(6011, u"Confidential"));
         EXPECT_TRUE(page.Select(6011, u"(None)"));
       },
       [](Settings* s, Settings*) {
         Settings* job = FindComposite(s, kWatermarkSettingKey);
         EXPECT_EQ(TextOf(job, kSelectedWatermarkKey), "");
         EXPECT_EQ(SignedValueOr(job, kWatermarkNumberKey, -1), 0);
         EXPECT_EQ(TextOf(job, kWatermarkTextKey), "");
       }},
      // Draft has no text of its own; the job's setting holds one: the
      // edit opens.
      {"Watermark Details: watermark", "Draft chosen in the dialog",
       [](EffectsChoices& test, UiDialog& page) {
         test.Details(page, [](UiDialog& dialog) {
           EXPECT_FALSE(dialog.Enabled(5012));
           EXPECT_TRUE(dialog.Select(5002, u"Draft"));
           EXPECT_TRUE(dialog.Enabled(5012));
         });
       },
       [](Settings* s, Settings* stored) {
         Settings* job = FindComposite(s, kWatermarkSettingKey);
         EXPECT_EQ(TextOf(job, kSelectedWatermarkKey), "Draft");
         EXPECT_EQ(SignedValueOr(job, kWatermarkNumberKey, -1), 2);
         ASSERT_NE(Definition(stored, "Draft"), nullptr);
         EXPECT_EQ(FindStringAttribute(Definition(stored, "Draft"), kWatermarkTextKey), nullptr);
       }},
      // The size is clamped to 1; the job's setting takes the text, face,
      // size and style too.
      {"Watermark Details: text and font", "text, face, size, style",
       [&](EffectsChoices& test, UiDialog& page) {
         EXPECT_TRUE(page.Select(6011, u"Confidential"));
         test.Details(page, [&](UiDialog& dialog) {
           EXPECT_EQ(dialog.Text(5012), u"Confidential");
           type(dialog, 5012, u"Top Secret");
           EXPECT_TRUE(dialog.Select(5014, u"Courier New"));
           type(dialog, 5019, u"0");
           EXPECT_TRUE(dialog.Select(5027, u"Italic"));
         });
       },
       [](Settings* s, Settings* stored) {
         Settings* mark = Definition(stored, "Confidential");
         ASSERT_NE(mark, nullptr);
         EXPECT_EQ(TextOf(mark, kWatermarkTextKey), "Top Secret");
         EXPECT_EQ(TextOf(mark, kWatermarkFaceKey), "Courier New");
         EXPECT_EQ(SignedValueOr(mark, kWatermarkPointSizeKey, -1), 1);
         EXPECT_EQ(SignedValueOr(mark, kWatermarkStyleKey, -1), 2);
         Settings* job = FindComposite(s, kWatermarkSettingKey);
         EXPECT_EQ(TextOf(job, kWatermarkFaceKey), "Courier New");
         EXPECT_EQ(SignedValueOr(job, kWatermarkStyleKey, -1), 2);
         EXPECT_EQ(SignedValueOr(job, kWatermarkPointSizeKey, -1), 1);
         EXPECT_EQ(TextOf(job, kWatermarkTextKey), "Top Secret");
       }},
      {"Watermark Details: first page only", "ticked for Draft",
       [](EffectsChoices& test, UiDialog& page) {
         EXPECT_TRUE(page.Select(6011, u"Draft"));
         test.Details(page, [](UiDialog& dialog) { EXPECT_TRUE(dialog.Check(5016, true)); });
       },
       [](Settings* s, Settings*) {
         EXPECT_EQ(SignedValueOr(FindComposite(s, kWatermarkSettingKey), kWatermarkPagesKey, -1),
                   1);
       }},
      // The custom degrees are the job's setting's alone (the definition
      // has none); 400 is clamped to 359.
      {"Watermark Details: angle", "custom, 400 degrees",
       [&](EffectsChoices& test, UiDialog& page) {
         EXPECT_TRUE(page.Select(6011, u"Confidential"));
         test.Details(page, [&](UiDialog& dialog) {
           EXPECT_TRUE(dialog.Checked(5008));
           EXPECT_FALSE(dialog.Enabled(5028));
           EXPECT_TRUE(dialog.Click(5022));
           type(dialog, 5028, u"400");
           EXPECT_EQ(dialog.Text(5028), u"359");
           EXPECT_TRUE(dialog.Checked(5022));
         });
       },
       [](Settings* s, Settings* stored) {
         EXPECT_EQ(SignedValueOr(Definition(stored, "Confidential"), kWatermarkAngleKindKey, -1),
                   4);
         Settings* job = FindComposite(s, kWatermarkSettingKey);
         EXPECT_EQ(SignedValueOr(job, kWatermarkAngleKindKey, -1), 4);
         EXPECT_EQ(SignedValueOr(job, kWatermarkAngleKey, -1), 359);
       }},
  };

  std::set<std::string> tried;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.group) + ": " + row.what);
    Bytes in, out;
    EXPECT_EQ(Work([&](UiDialog& page) { row.act(*this, page); }, false, in, out), 1);
    std::unique_ptr<Settings> settings = DecodeRecord(Printer(), kFixturePrinter, out);
    ASSERT_NE(settings, nullptr);
    std::unique_ptr<Settings> stored = StoredWatermarks();
    ASSERT_NE(stored, nullptr);
    row.expect(settings.get(), stored.get());
    tried.insert(row.group);
  }
  for (const GGroupKeys& group : EffectsGroupKeys())
    EXPECT_TRUE(tried.count(group.group)) << "no row for " << group.group;
}

// Cancel hands back nothing: the caller's record stays as it was.
TEST_F(EffectsChoices, CancelLeavesTheRecord) {
  Bytes in, out;
  EXPECT_EQ(Work(
                [](UiDialog& page) {
                  EXPECT_TRUE(page.Select(6012, u"4"));
                  EXPECT_TRUE(page.Select(6011, u"Draft"));
                },
                true, in, out),
            2);
  EXPECT_EQ(out, in);
}

}  // namespace
