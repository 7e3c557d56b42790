// Scenario (a) on P1 and P2 at once, each on a thread of its own (the
// ThreadSanitizer build runs it too): both sheets are worked at the same
// time, and each record comes back with the values of the end-to-end test.
#include <gtest/gtest.h>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "driver/model_lookup.h"
#include "platform/host/files.h"
#include "platform/host/printer_interface.h"
#include "platform/host/threads.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"

namespace {

using namespace support;
using namespace testing_support;

class TwoPrinters : public AcceptancePrinter {
 protected:
  TwoPrinters() { second_printer_ = true; }
};

struct PrinterRun {
  PrinterRun(const AcceptanceInstall* i, platform::HANDLE p, const char16_t* n)
      : install(i), printer(p), name(n) {}
  const AcceptanceInstall* install;
  platform::HANDLE printer;
  const char16_t* name;
  Record in, out;
  platform::LONG answer = 0;
  std::int32_t duplex = -1, angle = -1;
  std::string paper;
};

platform::DWORD RunScenario(void* data) {
  auto* run = static_cast<PrinterRun*>(data);
  run->out.assign(kAcceptanceRecordBytes, 0xEE);
  run->answer =
      DocumentProperties(*run->install, run->printer, run->name, &run->out, &run->in,
                         platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
  if (std::unique_ptr<GAttributeComposite> settings =
          DecodeRecord(run->printer, run->name, run->out)) {
    run->duplex = SignedValueOr(settings.get(), 253, -1);
    run->angle = SignedValueOr(settings.get(), 265, -1);
    if (GStringAttribute* type = FindStringAttribute(settings.get(), 261))
      run->paper = type->GetValue().Data();
  }
  return 0;
}

TEST_F(TwoPrinters, DocumentPropertiesOnTwoPrintersAtOnce) {
  ASSERT_EQ(Initialised(), 1);
  PrinterRun runs[] = {{&Installed(), Printer(), kFixturePrinter},
                       {&Installed(), SecondPrinter(), kSecondPrinter}};
  for (PrinterRun& run : runs) {
    run.in = ScenarioRequest(Installed(), run.printer, run.name);
    ASSERT_EQ(run.in.size(), kAcceptanceRecordBytes);
    QueueScenarioSheet(false, nullptr);
  }
  platform::HANDLE threads[2];
  for (int i = 0; i < 2; ++i)
    ASSERT_NE(threads[i] = platform::CreateThread(nullptr, 0, RunScenario, &runs[i], 0, nullptr),
              nullptr);
  for (platform::HANDLE thread : threads) {
    platform::WaitForSingleObject(thread, platform::kInfinite);
    platform::CloseHandle(thread);
  }
  // As the end-to-end test: landscape, simplex after the box, the header
  // (see its README); decoded duplex off, "Envelope", 90 degrees.
  for (PrinterRun& run : runs) {
    EXPECT_EQ(run.answer, 1);
    EXPECT_EQ(Record(run.out.begin() + 64, run.out.begin() + 72),
              (Record{0x01, 0x04, 0x18, 0x00, 0xDC, 0x00, 0xB8, 0x03}));
    EXPECT_EQ(Record(run.out.begin() + 76, run.out.begin() + 78), (Record{0x02, 0x00}));
    EXPECT_EQ(Record(run.out.begin() + 94, run.out.begin() + 96), (Record{0x01, 0x00}));
    EXPECT_EQ(Record(run.out.begin() + 220, run.out.begin() + 224),
              (Record{0x94, 0x04, 0x2E, 0x00}));
    EXPECT_EQ(run.duplex, 0);
    EXPECT_EQ(run.paper, "Envelope");
    EXPECT_EQ(run.angle, 90);
  }
  EXPECT_EQ(ui.Boxes().size(), 2u);
}

}  // namespace
