// The Basics and Paper pages worked as a user works them, through the
// exported DrvDocumentProperties on P1 (tests/support/acceptance_printer.h):
// each row opens the document sheet on the driver's default record, acts on
// one group, presses OK (or Cancel) and reads what the call hands back: the
// public fields where the device-mode mapping maps them, the decoded private
// settings otherwise. Every group of the pages' key tables has a row.
//
// Offsets of the public fields (DEVMODEW, 32 wide characters of device
// name first): 76 dmOrientation, 78 dmPaperSize, 80 dmPaperLength, 82
// dmPaperWidth, 86 dmCopies, 88 dmDefaultSource, 100 dmCollate.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/model_lookup.h"
#include "platform/ui/messages.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"
#include "ui/pages/basics_groups.h"
#include "ui/pages/paper_groups.h"

namespace {

using namespace support;
using namespace testing_support;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBasics = kScenarioBasicsPage;
constexpr std::size_t kPaper = kScenarioPaperPage;

std::int32_t Field(const Bytes& record, std::size_t at) {
  return std::int16_t(record[at] | record[at + 1] << 8);
}

std::string String(GAttributeComposite* settings, std::uint32_t key) {
  GStringAttribute* found = FindStringAttribute(settings, key);
  return found ? found->GetValue().Data() : "(missing)";
}

struct Choice {
  const char* what;
  int control;  // the main control of the group it tries
  std::size_t page;
  std::function<void(UiDialog, UiDriver&)> act;
  // The record the call handed back, and the settings it carries.
  std::function<void(const Bytes&, GAttributeComposite*)> check;
};

// The custom size dialog, opened with 2016, worked by `act`, closed by
// `close` (OK or Cancel).
std::function<void(UiDialog, UiDriver&)> InCustomSize(std::function<void(UiDialog)> act,
                                                      int close = platform::kIdOk) {
  return [act, close](UiDialog page, UiDriver& ui) {
    ui.OnDialog(8000, [act, close](UiDialog dialog) {
      act(dialog);
      EXPECT_TRUE(dialog.Click(close));
    });
    EXPECT_TRUE(page.Click(2016));
  };
}

const std::vector<Choice>& Choices() {
  // P1's defaults: one copy in range 1-999, collation not offered (231 is
  // 0), portrait Letter (paper 1, spooler form 1), tray 19 ("Automatically
  // Select": no bin), custom size 2159 x 2794 tenths of a millimetre, the
  // custom limits 1800 x 3000 to 5100 x 8400 dots at 600 dpi: 762 x 1270 to
  // 2159 x 3556 tenths (dots x 254 / 600).
  static const std::vector<Choice> choices = {
      {"copies typed, OK without leaving the edit", 1021, kBasics,
       [](UiDialog page, UiDriver&) { EXPECT_TRUE(page.Type(1021, u"7")); },
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(Field(out, 86), 7);
         EXPECT_EQ(SignedValueOr(settings, 291, -1), 7);
       }},
      {"copies one up", 1021, kBasics,
       [](UiDialog page, UiDriver&) {
         EXPECT_TRUE(page.Spin(1022, 1));
         EXPECT_EQ(page.Text(1021), u"2");
       },
       [](const Bytes& out, GAttributeComposite*) { EXPECT_EQ(Field(out, 86), 2); }},
      {"copies above the range are clamped", 1021, kBasics,
       [](UiDialog page, UiDriver&) {
         EXPECT_TRUE(page.Type(1021, u"1500"));
         EXPECT_TRUE(page.Blur());
         EXPECT_EQ(page.Text(1021), u"999");
       },
       [](const Bytes& out, GAttributeComposite*) { EXPECT_EQ(Field(out, 86), 999); }},
      {"copies below the range are clamped", 1021, kBasics,
       [](UiDialog page, UiDriver&) {
         EXPECT_TRUE(page.Type(1021, u"5"));
         EXPECT_TRUE(page.Type(1021, u"0"));
         EXPECT_TRUE(page.Blur());
         EXPECT_EQ(page.Text(1021), u"1");
       },
       [](const Bytes& out, GAttributeComposite*) { EXPECT_EQ(Field(out, 86), 1); }},
      {"copies out of range while typing are never stored", 1021, kBasics,
       [](UiDialog page, UiDriver&) {
         EXPECT_TRUE(page.Type(1021, u"4"));
         EXPECT_TRUE(page.Type(1021, u"40000"));
       },
       [](const Bytes& out, GAttributeComposite*) { EXPECT_EQ(Field(out, 86), 4); }},
      {"copies that are no number are refused", 1021, kBasics,
       [](UiDialog page, UiDriver&) {
         EXPECT_TRUE(page.Type(1021, u"3"));
         EXPECT_TRUE(page.Blur());
         EXPECT_TRUE(page.Type(1021, u"-2"));
         EXPECT_TRUE(page.Blur());
         EXPECT_EQ(page.Text(1021), u"3");
       },
       [](const Bytes& out, GAttributeComposite*) { EXPECT_EQ(Field(out, 86), 3); }},
      {"collate is not offered by a printer that does not collate", 1021, kBasics,
       [](UiDialog page, UiDriver&) { EXPECT_FALSE(page.Enabled(1024)); },
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(Field(out, 100), 0);
         EXPECT_EQ(SignedValueOr(settings, 292, -1), -1);  // P1 has none: never made
       }},
      {"landscape", 1031, kBasics, [](UiDialog page, UiDriver&) { EXPECT_TRUE(page.Click(1032)); },
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(Field(out, 76), 2);
         EXPECT_EQ(SignedValueOr(settings, 265, -1), 90);
       }},
      {"a different first page, the other pages from tray 1", 11586, kPaper,
       [](UiDialog page, UiDriver&) {
         EXPECT_FALSE(page.Enabled(11554));
         EXPECT_TRUE(page.Check(11586, true));
         EXPECT_TRUE(page.Click(11554));
         EXPECT_TRUE(page.Checked(11554));
         EXPECT_TRUE(page.SelectData(11584, 1));
       },
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(SignedValueOr(settings, 264, -1), 1);
         EXPECT_EQ(SignedValueOr(settings, 263, -1), 1);
         EXPECT_EQ(SignedValueOr(settings, 258, -1), 19);
         EXPECT_EQ(Field(out, 88), 0);
       }},
      {"the first page again, from tray 2", 11553, kPaper,
       [](UiDialog page, UiDriver&) {
         EXPECT_TRUE(page.Check(11586, true));
         EXPECT_TRUE(page.Click(11554));
         EXPECT_TRUE(page.Click(11553));
         EXPECT_TRUE(page.SelectData(11584, 2));
       },
       [](const Bytes&, GAttributeComposite* settings) {
         EXPECT_EQ(SignedValueOr(settings, 258, -1), 2);
         EXPECT_EQ(SignedValueOr(settings, 263, -1), 19);
       }},
      {"the other pages' type", 11554, kPaper,
       [](UiDialog page, UiDriver&) {
         EXPECT_TRUE(page.Check(11586, true));
         EXPECT_TRUE(page.Click(11554));
         EXPECT_TRUE(page.SelectData(11582, 11108));
       },
       [](const Bytes&, GAttributeComposite* settings) {
         EXPECT_EQ(String(settings, 262), "Bond");
         EXPECT_EQ(String(settings, 261), "Plain");  // the first page's, as it was
       }},
      {"A4", 2015, kPaper, [](UiDialog page, UiDriver&) { EXPECT_TRUE(page.SelectData(2015, 23)); },
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(Field(out, 78), 9);  // DMPAPER_A4, by P1's paper sizes
         EXPECT_EQ(SignedValueOr(settings, 260, -1), 23);
       }},
      // Inches on a Letter printer: 5 in is 1270 tenths, 7 in 1778.
      {"a custom size within the limits", 11411, kPaper, InCustomSize([](UiDialog dialog) {
         EXPECT_EQ(dialog.Text(11411), u"8.50");
         EXPECT_TRUE(dialog.Type(11411, u"5"));
         EXPECT_TRUE(dialog.Type(11421, u"7.00"));
         EXPECT_TRUE(dialog.Blur());
       }),
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(SignedValueOr(settings, 260, -1), 16384);
         EXPECT_EQ(SignedValueOr(settings, 1260, -1), 1270);
         EXPECT_EQ(SignedValueOr(settings, 1261, -1), 1778);
         EXPECT_EQ(Field(out, 78), 256);  // the user-defined size
         EXPECT_EQ(Field(out, 82), 1270);
         EXPECT_EQ(Field(out, 80), 1778);
       }},
      // 20 in is above 2159 tenths (8.50 in); 1 in below 1270 (5.00 in).
      {"a custom size outside the limits is clamped", 11421, kPaper,
       InCustomSize([](UiDialog dialog) {
         EXPECT_TRUE(dialog.Type(11411, u"20"));
         EXPECT_TRUE(dialog.Type(11421, u"1"));
         EXPECT_TRUE(dialog.Blur());
         EXPECT_EQ(dialog.Text(11411), u"8.50");
         EXPECT_EQ(dialog.Text(11421), u"5.00");
         EXPECT_TRUE(dialog.Spin(11422, -1));  // at the least already
         EXPECT_EQ(dialog.Text(11421), u"5.00");
       }),
       [](const Bytes&, GAttributeComposite* settings) {
         EXPECT_EQ(SignedValueOr(settings, 1260, -1), 2159);
         EXPECT_EQ(SignedValueOr(settings, 1261, -1), 1270);
       }},
      {"a custom size in millimetres", 2052, kPaper, InCustomSize([](UiDialog dialog) {
         EXPECT_TRUE(dialog.Select(2052, u"Millimeters"));
         EXPECT_EQ(dialog.Text(11411), u"215.9");
         EXPECT_TRUE(dialog.Type(11411, u"100"));
         EXPECT_TRUE(dialog.Blur());
       }),
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(SignedValueOr(settings, 1260, -1), 1000);
         EXPECT_EQ(Field(out, 82), 1000);
       }},
      {"a custom size cancelled", 11411, kPaper,
       InCustomSize(
           [](UiDialog dialog) {
             EXPECT_TRUE(dialog.Type(11411, u"5"));
             EXPECT_TRUE(dialog.Blur());
           },
           platform::kIdCancel),
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(SignedValueOr(settings, 1260, -1), 2159);
         EXPECT_EQ(SignedValueOr(settings, 260, -1), 1);
         EXPECT_EQ(Field(out, 78), 1);
       }},
      {"paper type", 11582, kPaper,
       [](UiDialog page, UiDriver&) { EXPECT_TRUE(page.SelectData(11582, 11108)); },
       [](const Bytes&, GAttributeComposite* settings) {
         EXPECT_EQ(String(settings, 261), "Bond");
       }},
      {"paper source", 11584, kPaper,
       [](UiDialog page, UiDriver&) {
         EXPECT_EQ(page.Items(11584).back(), u"Automatically Select");
         EXPECT_TRUE(page.SelectData(11584, 2));
       },
       [](const Bytes& out, GAttributeComposite* settings) {
         EXPECT_EQ(Field(out, 88), 258);  // tray 2's bin, by P1's tray map
         EXPECT_EQ(SignedValueOr(settings, 258, -1), 2);
       }},
  };
  return choices;
}

class BasicsPaperChoices : public AcceptancePrinter {
 protected:
  platform::LONG Properties(Bytes* out, Bytes* in, platform::DWORD mode) {
    return DocumentProperties(Installed(), Printer(), kFixturePrinter, out, in, mode);
  }
  // The driver's default record.
  Bytes Default() {
    Bytes record(kAcceptanceRecordBytes, 0);
    EXPECT_EQ(Properties(&record, nullptr, platform::kDmModeCopy), 1);
    return record;
  }
  // The sheet on `in`, worked by `act` on page `page` and closed by OK or
  // Cancel; the call's answer.
  platform::LONG Work(Bytes& in, Bytes& out, std::size_t page,
                      const std::function<void(UiDialog, UiDriver&)>& act, bool ok) {
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(page));
      act(sheet.page(), ui);
      if (ok) {
        sheet.ok();
      } else {
        sheet.cancel();
      }
    });
    return Properties(&out, &in,
                      platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
  }
};

TEST_F(BasicsPaperChoices, EveryGroupLandsInTheRecord) {
  ASSERT_EQ(Initialised(), 1);
  std::set<int> tried;
  for (const Choice& choice : Choices()) {
    SCOPED_TRACE(choice.what);
    Bytes in = Default(), out(kAcceptanceRecordBytes, 0);
    ASSERT_EQ(Work(in, out, choice.page, choice.act, true), 1);
    std::unique_ptr<GAttributeComposite> settings = DecodeRecord(Printer(), kFixturePrinter, out);
    ASSERT_NE(settings, nullptr);
    choice.check(out, settings.get());
    tried.insert(choice.control);
  }
  for (const auto& table : {BasicsGroupKeys(), PaperGroupKeys()})
    for (const GGroupKeys& group : table)
      EXPECT_TRUE(tried.count(group.control_id)) << group.group << " has no row";
}

// Cancel hands nothing back: the caller's record stays as it was, whatever
// the pages held.
TEST_F(BasicsPaperChoices, CancelLeavesTheRecord) {
  ASSERT_EQ(Initialised(), 1);
  Bytes in = Default(), out(kAcceptanceRecordBytes, 0xEE);
  const auto act = [](UiDialog page, UiDriver&) {
    EXPECT_TRUE(page.SelectData(2015, 23));
    EXPECT_TRUE(page.SelectData(11584, 2));
  };
  EXPECT_EQ(Work(in, out, kPaper, act, false), 2);
  EXPECT_EQ(out, Bytes(kAcceptanceRecordBytes, 0xEE));
}

}  // namespace
