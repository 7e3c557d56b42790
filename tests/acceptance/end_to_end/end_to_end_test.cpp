// P1 driven end to end from the outside (tests/support/acceptance_printer.h):
// every call goes through an export of the loaded library, and the sheets
// are worked as a user works them. Every expected byte is written by hand;
// the comments say where each comes from.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/model_lookup.h"
#include "driver/ui_plugin_records.h"
#include "platform/host/printer_interface.h"
#include "platform/ui/messages.h"
#include "platform/ui/property_sheet.h"
#include "platform/ui/window.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "ui/framework/property_page.h"
#include "ui/framework/ui_context.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;
using CapabilitiesEntry = platform::DWORD(platform::HANDLE, const char16_t*, platform::WORD, void*,
                                          const platform::DevModeW*);

constexpr std::size_t kRecordBytes = kAcceptanceRecordBytes;
constexpr std::size_t kPaperPage = kScenarioPaperPage;
constexpr std::size_t kBasicsPage = kScenarioBasicsPage;

Bytes Slice(const Bytes& bytes, std::size_t at, std::size_t count) {
  return Bytes(bytes.begin() + at, bytes.begin() + at + count);
}

// The settings the sheet's active page works on.
GAttributeComposite* PageSettings(const SheetDriver& sheet) {
  const UIPageEntry* entry = PageEntryOf(reinterpret_cast<const platform::PropSheetPageW*>(
      platform::GetWindowLongPtrW(sheet.page().Handle(), platform::kDwlpUser)));
  auto* page = entry ? static_cast<GPropertyPage*>(entry->page_object) : nullptr;
  return page && page->GetContext() ? page->GetContext()->GetSettings() : nullptr;
}

// The reasons the sheet procedure saw, repeats folded ("0 1 3 2"), and
// whether every result it was given was 1.
std::string Reasons(const std::vector<std::string>& log, bool& results_one) {
  std::string reasons, last;
  results_one = true;
  for (const std::string& event : log) {
    if (event.starts_with("result ")) results_one = results_one && event == "result 1";
    if (!event.starts_with("reason ") || event == last) continue;
    reasons += (reasons.empty() ? "" : " ") + event.substr(7);
    last = event;
  }
  return reasons;
}

class EndToEnd : public AcceptancePrinter {
 protected:
  platform::LONG Road(Bytes& in, int answer, std::function<void(SheetDriver&)> close, Bytes& out);
  std::size_t pages_ = 0;
  platform::LONG Properties(Bytes* out, Bytes* in, platform::DWORD mode) {
    return DocumentProperties(Installed(), Printer(), kFixturePrinter, out, in, mode);
  }
  // The settings a record carries, read by P1's own device-mode settings.
  std::unique_ptr<GAttributeComposite> Decode(Bytes& record) {
    return DecodeRecord(Printer(), kFixturePrinter, record);
  }
};

// The user's road of document properties, scenarios (a) and (c): `in`
// becomes the application's record, and the sheet of the prompting call
// that writes `out` is worked: Basics, landscape clicked; Paper,
// "Envelope" chosen; the box answered `answer`; `close` ends the sheet.
platform::LONG EndToEnd::Road(Bytes& in, int answer, std::function<void(SheetDriver&)> close,
                              Bytes& out) {
  EXPECT_EQ(Initialised(), 1);
  // The driver's default record, asked for duplex on the long edge (2,
  // which range 203 admits; dmFields gains DM_DUPLEX 0x1000).
  in.assign(kRecordBytes, 0);
  EXPECT_EQ(Properties(&in, nullptr, platform::kDmModeCopy), 1);
  in[94] = 2, in[95] = 0;
  in[73] |= 0x10;
  platform::ClearPropertySheetLog();

  OnSheet([&](SheetDriver& sheet) {
    pages_ = sheet.pages();
    ASSERT_TRUE(sheet.activate(kBasicsPage));
    EXPECT_TRUE(sheet.page().Click(kScenarioLandscape));
    EXPECT_TRUE(sheet.page().Checked(kScenarioLandscape));
    ASSERT_TRUE(sheet.activate(kPaperPage));
    // Envelopes cannot go through the duplex unit: the user is told (5101
    // under 5100, information with OK and Cancel: 0x40 | 0x01).
    ui.ExpectBox(kScenarioBoxText, kScenarioBoxCaption, 0x41, answer);
    EXPECT_TRUE(sheet.page().SelectData(kScenarioPaperType, kScenarioEnvelope));
    close(sheet);
  });
  return Properties(&out, &in,
                    platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
}

// Scenario (a): the user agrees to the box and presses OK.
TEST_F(EndToEnd, DocumentPropertiesThroughTheSheet) {
  Bytes in, out(kRecordBytes, 0xEE);
  EXPECT_EQ(Road(
                in, platform::kIdOk, [](SheetDriver& sheet) { sheet.ok(); }, out),
            1);
  // dmSpecVersion 0x0401, dmDriverVersion 0x0018, dmSize 220 (0xDC),
  // dmDriverExtra 1172 - 220 = 952 (0x3B8).
  EXPECT_EQ(Slice(out, 64, 8), (Bytes{0x01, 0x04, 0x18, 0x00, 0xDC, 0x00, 0xB8, 0x03}));
  EXPECT_EQ(Slice(out, 76, 2), (Bytes{0x02, 0x00}));  // DMORIENT_LANDSCAPE
  EXPECT_EQ(Slice(out, 94, 2), (Bytes{0x01, 0x00}));  // DMDUP_SIMPLEX: the box turned it off
  // The private block: the whole record's size 1172 (0x494) and the
  // header's 46 (0x2E); at 262 the format version 4 and 50 (0x32); the
  // settings' data at 270 is a zlib stream of the default level (78 9C).
  EXPECT_EQ(Slice(out, 220, 4), (Bytes{0x94, 0x04, 0x2E, 0x00}));
  EXPECT_EQ(Slice(out, 262, 4), (Bytes{0x04, 0x00, 0x32, 0x00}));
  EXPECT_EQ(Slice(out, 270, 2), (Bytes{0x78, 0x9C}));
  std::unique_ptr<GAttributeComposite> settings = Decode(out);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(SignedValueOr(settings.get(), 253, -1), 0);
  GStringAttribute* type = FindStringAttribute(settings.get(), 261);
  ASSERT_NE(type, nullptr);
  EXPECT_STREQ(type->GetValue().Data(), "Envelope");
  EXPECT_EQ(SignedValueOr(settings.get(), 265, -1), 90);

  // The procedure: init (0), the pages (1), apply with result 1 (3) for
  // each page made, destroy (2); every added page released.
  const std::vector<std::string> log = platform::PropertySheetLog();
  bool results_one = false;
  EXPECT_EQ(Reasons(log, results_one), "0 1 3 2");
  EXPECT_TRUE(results_one);
  ASSERT_GT(pages_, kBasicsPage);
  for (std::size_t i = 0; i < pages_; ++i)
    EXPECT_EQ(std::count(log.begin(), log.end(), "release " + std::to_string(i)), 1) << i;
  EXPECT_EQ(ui.Boxes().size(), 1u);

  // Merge: DM_MODIFY | DM_COPY of the record, no prompt, gives it back
  // whole: the same fields, and the same settings stored the same way.
  Bytes merged(kRecordBytes, 0xEE);
  EXPECT_EQ(Properties(&merged, &out, platform::kDmModeModify | platform::kDmModeCopy), 1);
  EXPECT_EQ(merged, out);

  // The job query: the landscape Letter record is printable, and no
  // reason is written.
  std::u16string reason(64, u'?');
  platform::DevQueryPrintInfo query{
      24, 1, Printer(), reinterpret_cast<platform::DevModeW*>(out.data()), reason.data(), 128, 0};
  EXPECT_EQ(Entry<platform::BOOL(platform::DevQueryPrintInfo*)>("DevQueryPrintEx")(&query), 1);
  EXPECT_EQ(query.error_text_needed, 0u);

  // Conversion (mode 1) of the record into a record of this driver gives
  // it back whole, as the merge does. The output buffer holds a valid
  // record of the target form: the application's record, which differs in
  // orientation, duplex and its private part.
  Bytes converted(in);
  platform::LONG size = kRecordBytes;
  EXPECT_EQ(Entry<platform::BOOL(const char16_t*, platform::DevModeW*, platform::DevModeW*,
                                 platform::LONG*, platform::DWORD)>("DrvConvertDevMode")(
                kFixturePrinter, reinterpret_cast<platform::DevModeW*>(out.data()),
                reinterpret_cast<platform::DevModeW*>(converted.data()), &size, 1),
            1)
      << platform::GetLastError();
  EXPECT_EQ(size, platform::LONG(kRecordBytes));
  EXPECT_EQ(converted, out);

  // Capabilities with the record: duplex 1, orientation 90 (landscape
  // turns counter-clockwise), dmSize 220, dmDriverExtra 952, the
  // dmSpecVersion 0x0401 and the driver version 0x18.
  auto* capabilities = Entry<CapabilitiesEntry>("DrvDeviceCapabilities");
  auto* record = reinterpret_cast<const platform::DevModeW*>(out.data());
  const std::pair<platform::WORD, platform::DWORD> answers[] = {{7, 1},   {17, 90},     {8, 220},
                                                                {9, 952}, {10, 0x0401}, {11, 0x18}};
  for (const auto& [capability, answer] : answers)
    EXPECT_EQ(capabilities(Printer(), kFixturePrinter, capability, nullptr, record), answer)
        << capability;
  // DC_PAPERS (2): the count asked first is the count filled.
  const platform::DWORD papers = capabilities(Printer(), kFixturePrinter, 2, nullptr, record);
  std::vector<platform::WORD> paper_ids(papers + 1);
  EXPECT_EQ(capabilities(Printer(), kFixturePrinter, 2, paper_ids.data(), record), papers);
  // DC_BINNAMES (12): 24 units a name; slot 0 is " " and the walk's first
  // tray (1114 starts with tray 4, "Manual Feed" of the main unit).
  const platform::DWORD bins = capabilities(Printer(), kFixturePrinter, 12, nullptr, record);
  ASSERT_GT(bins, 0u);
  std::vector<char16_t> names(24 * bins);
  EXPECT_EQ(capabilities(Printer(), kFixturePrinter, 12, names.data(), record), bins);
  EXPECT_EQ(std::u16string(names.data()), u" Manual Feed");
}

// Scenario (c): the user cancels the box, so the rule takes the envelope
// back (261 "Plain" again) and duplex stays on (253 = 2: dmDuplex 2 is
// vertical, at angle 0 the model's 2); the sheet is cancelled: the call
// answers 2 (IDCANCEL) and pdmOut keeps what the test put there.
TEST_F(EndToEnd, DocumentPropertiesCancelled) {
  Bytes in, out(kRecordBytes, 0xEE);
  const auto close = [](SheetDriver& sheet) {
    GAttributeComposite* settings = PageSettings(sheet);
    GStringAttribute* type = FindStringAttribute(settings, 261);
    EXPECT_STREQ(type ? type->GetValue().Data() : "", "Plain");
    EXPECT_EQ(SignedValueOr(settings, 253, -1), 2);
    sheet.cancel();
  };
  EXPECT_EQ(Road(in, platform::kIdCancel, close, out), 2);
  EXPECT_EQ(out, Bytes(kRecordBytes, 0xEE));
  EXPECT_EQ(ui.Boxes().size(), 1u);
}

}  // namespace
