// The Color and Job Storage pages of P1's document sheet, worked through
// DrvDocumentProperties as a user works them, one row per group of each
// page's GGroupKeys table. P1 gets job storage as a printer with it does:
// its stored installed options ("365") say 520 = 1, so the sheet's pages are
// Finishing, Effects, Paper, Job Storage, Basics and Color. Expected values
// are written by hand from the pages' rules; comments say where from.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "services/driver_server.h"
#include "services/os_factory.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "ui/pages/color_groups.h"
#include "ui/pages/job_storage_groups.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;
using Settings = GAttributeComposite;

constexpr std::size_t kJobStoragePage = 3;
constexpr std::size_t kColorPage = 5;

// A user's action on one group, what the page shows right after, and what
// the record the call hands back holds.
struct Row {
  std::size_t page;
  int group;  // the group's control in its GGroupKeys table
  std::function<void(UiDialog&)> act;
  std::function<void(Settings*, const Bytes&)> in_record;
};

std::int32_t Value(Settings* settings, std::uint32_t key) {
  return SignedValueOr(settings, key, -1);
}
std::string Text(Settings* settings, std::uint32_t key) {
  GStringAttribute* text = FindStringAttribute(settings, key);
  return text ? text->GetValue().Data() : "(missing)";
}
// Byte (object, setting) of the record's colour adjustment (class 1201).
int Tint(Settings* settings, std::int32_t object, std::int32_t setting) {
  auto* table = FindOfClass<GTintvectorEnhancedAttributeVer2>(settings, kColorAdjustmentKey);
  std::uint8_t byte = 0;
  return table && table->GetSetting(object, setting, byte) ? byte : -1;
}
// Chooses item `byte` of the Tintvector list `id` and expects it in the record.
Row TintRow(int id, std::int32_t object, std::int32_t setting, std::uint8_t byte) {
  return {kColorPage, id, [=](UiDialog& page) { EXPECT_TRUE(page.SelectData(id, byte)); },
          [=](Settings* s, const Bytes&) { EXPECT_EQ(Tint(s, object, setting), byte); }};
}
// Types `typed` into the edit `id`, leaves it, and expects `shown` there.
void TypeIn(UiDialog& page, int id, std::u16string_view typed, std::u16string_view shown) {
  EXPECT_TRUE(page.Type(id, typed));
  EXPECT_TRUE(page.Blur());
  EXPECT_EQ(page.Text(id), shown);
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      // Job storage first: the other controls of its group wait for it.
      // Without a hard disk (239 = 0) "QuickCopy" and "StoreJob" are not offered.
      {kJobStoragePage, 18003,
       [](UiDialog& page) {
         EXPECT_FALSE(page.Enabled(18004));
         EXPECT_EQ(page.Items(18003),
                   (std::vector<std::u16string>{u"OFF", u"ProofNHold", u"PrivatePrint"}));
         EXPECT_TRUE(page.Select(18003, u"PrivatePrint"));
       },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kJobRetentionModeKey), 4); }},
      {kJobStoragePage, 5417, [](UiDialog& page) { EXPECT_TRUE(page.Check(5417, false)); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kLocalJobStorageKey), 0); }},
      {kJobStoragePage, 18023, [](UiDialog& page) { EXPECT_TRUE(page.Check(18023, true)); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kJobNameSuffixKey), 1); }},
      // Typed names: 16 characters, upper-cased, ended before a double
      // quote or a character above 126.
      {kJobStoragePage, 18004,
       [](UiDialog& page) {
         EXPECT_TRUE(page.Click(18005));
         TypeIn(page, 18004, u"abcdefghijklmnopqrst", u"ABCDEFGHIJKLMNOP");
         TypeIn(page, 18004, u"Q3 \"draft\"", u"Q3 ");
       },
       [](Settings* s, const Bytes&) {
         EXPECT_EQ(Value(s, kJobNameFromRendererKey), 1);
         EXPECT_EQ(Text(s, kJobNameKey), "Q3 ");
       }},
      {kJobStoragePage, 18008,
       [](UiDialog& page) {
         EXPECT_FALSE(page.Enabled(18008));
         EXPECT_TRUE(page.Click(18012));
         TypeIn(page, 18008, u"j\u00FCrgen", u"J");
       },
       [](Settings* s, const Bytes&) {
         EXPECT_EQ(Value(s, kNoticeLoggedOnUserKey), 1);
         EXPECT_EQ(Text(s, kNoticeUserKey), "J");
       }},
      // The job's storage attributes: 70000 clamps to 32767, "abc" is no
      // number and leaves 0, the text ends before its quote.
      {kJobStoragePage, 18018, [](UiDialog& page) { TypeIn(page, 18018, u"70000", u"32767"); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kJobStorageKeys[0]), 32767); }},
      {kJobStoragePage, 5411, [](UiDialog& page) { TypeIn(page, 5411, u"12", u"12"); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kJobStorageKeys[1]), 12); }},
      {kJobStoragePage, 5410, [](UiDialog& page) { TypeIn(page, 5410, u"abc", u"0"); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kJobStorageKeys[2]), 0); }},
      {kJobStoragePage, 5412, [](UiDialog& page) { TypeIn(page, 5412, u"-5", u"-5"); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kJobStorageKeys[3]), -5); }},
      {kJobStoragePage, 5413, [](UiDialog& page) { TypeIn(page, 5413, u" 7 ", u"7"); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kJobStorageKeys[4]), 7); }},
      {kJobStoragePage, 18006, [](UiDialog& page) { TypeIn(page, 18006, u"Dept \"A\"", u"Dept "); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Text(s, kJobStorageKeys[5]), "Dept "); }},
      {kJobStoragePage, 5416, [](UiDialog& page) { TypeIn(page, 5416, u"3", u"3"); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kJobStorageKeys[6]), 3); }},

      // Grey: dmColor (offset 92) 1, DM_COLOR (0x800: byte 73, 0x08) set.
      {kColorPage, 14010, [](UiDialog& page) { EXPECT_TRUE(page.Click(14011)); },
       [](Settings* s, const Bytes& out) {
         EXPECT_EQ(out[92], 1);
         EXPECT_EQ(out[73] & 0x08, 0x08);
         EXPECT_EQ(Value(s, kPrintColorAsGrayKey), 1);
       }},
      {kColorPage, 1070, [](UiDialog& page) { EXPECT_EQ(page.Text(1070), u"Grayscale"); }, nullptr},
      // Automatic: 7 (the paper is not a transparency); manual: 6.
      {kColorPage, 14050,
       [](UiDialog& page) {
         EXPECT_TRUE(page.Click(14020));
         EXPECT_EQ(page.Text(14050), u"This is the \"Automatic\" setting");
         EXPECT_FALSE(page.Enabled(14030));
       },
       nullptr},
      {kColorPage, 14020,
       [](UiDialog& page) {
         EXPECT_TRUE(page.Click(14021));
         EXPECT_EQ(page.Text(14050), u"This is a \"Custom\" setting");
       },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kColorModeKey), 6); }},
      // The bytes of the "KVTintvector" sub-keys' other words.
      TintRow(14030, 0, 1, 0x2A),
      TintRow(14031, 1, 1, 0x34),
      TintRow(14032, 2, 1, 0x3E),
      TintRow(14033, 0, 0, 0x47),
      TintRow(14034, 1, 0, 0x51),
      TintRow(14035, 2, 0, 0x5A),
      TintRow(14036, 3, 2, 0x60),
      TintRow(14037, 0, 3, 0x65),
      TintRow(14038, 1, 3, 0x69),
      TintRow(14039, 2, 3, 0x6B),
      // P1's adjustment is of class 1201, which has no RGB colour option.
      {kColorPage, 14040, [](UiDialog& page) { EXPECT_FALSE(page.Enabled(14040)); },
       [](Settings* s, const Bytes&) { EXPECT_EQ(Value(s, kColorModeKey), 6); }},
  };
  return rows;
}

class ColorJobStorage : public AcceptancePrinter {
 protected:
  void SetUp() override {
    AcceptancePrinter::SetUp();
    std::uint32_t cookie = 0;
    GDriverServer* server = GDriverServer::Instance();
    GDriverData* data = server->GetContext(new GPrinterKey(Printer(), kFixturePrinter, 0), cookie);
    ASSERT_NE(data, nullptr);
    std::unique_ptr<Settings> options(LoadNamedObjectAs<Settings>(data, RWWString(u"365")));
    ASSERT_NE(options, nullptr);
    ASSERT_TRUE(SetValueIfPresent(options.get(), kJobRetentionKey, 1));
    EXPECT_NE(GOSFactory::Instance()->StoreNamedObject(data, RWWString(u"365"), options.get()), 0);
    if (auto* imp = dynamic_cast<GDriverDataImp*>(data)) imp->GetLocalJobStorageKey(storage_key_);
    server->ReleaseContext(cookie);
  }
  // The sheet of a prompting call over P1's default record; `script`
  // works it.
  platform::LONG Sheet(std::function<void(SheetDriver&)> script, Bytes& out) {
    in_.assign(kAcceptanceRecordBytes, 0);
    EXPECT_EQ(DocumentProperties(Installed(), Printer(), kFixturePrinter, &in_, nullptr,
                                 platform::kDmModeCopy),
              1);
    OnSheet(script);
    return DocumentProperties(
        Installed(), Printer(), kFixturePrinter, &out, &in_,
        platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
  }
  std::uint32_t LocalJobStorage() {
    return GOSFactory::Instance()->ReadUserDword(storage_key_, RWWString(u"LocalJobStorage"), 99);
  }

  RWWString storage_key_;
  Bytes in_;
};

TEST_F(ColorJobStorage, EveryGroupsChoiceEndsUpInTheRecord) {
  // Every group of both tables has its row.
  for (auto [table, page] : {std::pair{ColorGroupKeys(), kColorPage},
                             std::pair{JobStorageGroupKeys(), kJobStoragePage}}) {
    for (const GGroupKeys& group : table) {
      EXPECT_TRUE(std::any_of(Rows().begin(), Rows().end(), [&](const Row& row) {
        return row.page == page && row.group == group.control_id;
      })) << group.group;
    }
  }
  Bytes out(kAcceptanceRecordBytes, 0xEE);
  const platform::LONG answer = Sheet(
      [&](SheetDriver& sheet) {
        ASSERT_EQ(sheet.pages(), 6u);
        for (const Row& row : Rows()) {
          SCOPED_TRACE(row.group);
          ASSERT_TRUE(sheet.activate(row.page));
          UiDialog page = sheet.page();
          row.act(page);
        }
        sheet.ok();
      },
      out);
  EXPECT_EQ(answer, 1);
  std::unique_ptr<Settings> settings = DecodeRecord(Printer(), kFixturePrinter, out);
  ASSERT_NE(settings, nullptr);
  for (const Row& row : Rows()) {
    SCOPED_TRACE(row.group);
    if (row.in_record) row.in_record(settings.get(), out);
  }
  // OK hands the local choice on: 1033 = 0 writes "LocalJobStorage" = 1.
  EXPECT_EQ(LocalJobStorage(), 1u);
}

// Cancel: the call answers 2 (IDCANCEL) and the caller's record stays as
// it was; the user's choice stays unstored.
TEST_F(ColorJobStorage, CancelLeavesTheRecord) {
  Bytes out(kAcceptanceRecordBytes, 0xEE);
  const platform::LONG answer = Sheet(
      [&](SheetDriver& sheet) {
        ASSERT_TRUE(sheet.activate(kJobStoragePage));
        EXPECT_TRUE(sheet.page().Select(18003, u"ProofNHold"));
        EXPECT_TRUE(sheet.page().Check(5417, false));
        ASSERT_TRUE(sheet.activate(kColorPage));
        EXPECT_TRUE(sheet.page().Click(14011));
        sheet.cancel();
      },
      out);
  EXPECT_EQ(answer, 2);
  EXPECT_EQ(out, Bytes(kAcceptanceRecordBytes, 0xEE));
  EXPECT_EQ(LocalJobStorage(), 99u);
}

}  // namespace
