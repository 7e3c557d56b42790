// The memory the user sets on P1's device sheet (installed options 365,
// kMemoryKey) survives what runs beside the sheet and every export a host
// calls after it; the queries among them change none of P1's data.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "driver/device_capabilities.h"
#include "driver/entry_points.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "platform/host/files.h"
#include "platform/host/spooler.h"
#include "platform/host/threads.h"
#include "platform/ui/device_context.h"
#include "services/driver_server.h"
#include "support/fixture_printer.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/sheet_driver.h"

namespace {

using namespace support;
using namespace testing_support;
using namespace platform;
using Bytes = std::vector<std::uint8_t>;
DevModeW* AsRecord(Bytes& bytes) {
  return reinterpret_cast<DevModeW*>(bytes.data());
}

// Whether DevQueryPrintEx on `printer` takes `record`.
bool Printable(const AcceptanceInstall& install, HANDLE printer, void* record) {
  char16_t reason[64] = {};
  DevQueryPrintInfo query{24, 1, printer, static_cast<DevModeW*>(record), reason, sizeof reason, 0};
  return install.Entry<decltype(DevQueryPrintEx)>("DevQueryPrintEx")(&query) == 1;
}

// A one-page document on a handle of its own, every event through the
// export; true when each answered and the record create-DC handed out is
// printable.
bool PrintDocument(const AcceptanceInstall& install, Bytes record) {
  auto* event = install.Entry<decltype(DrvDocumentEvent)>("DrvDocumentEvent");
  HANDLE printer = nullptr;
  OpenPrinterW(kFixturePrinter, &printer, nullptr);
  HDC dc = CreatePrinterDC({});
  std::u16string driver(kFixtureDriver), device(kFixturePrinter);
  DocInfoW info{20, u"Doc", nullptr, nullptr, 0};
  void *copy = nullptr, *create[] = {driver.data(), device.data(), record.data(), nullptr};
  bool ok =
      event(printer, dc, kDocumentEventCreateDcPre, sizeof create, create, sizeof copy, &copy) == 1;
  void *post[] = {copy}, *start[] = {&info};
  ok = ok && Printable(install, printer, copy) &&
       event(printer, dc, kDocumentEventCreateDcPost, sizeof post, post, 0, nullptr) == 1 &&
       event(printer, dc, kDocumentEventStartDoc, sizeof start, start, 0, nullptr) == 1;
  for (int code : {kDocumentEventStartPage, kDocumentEventEndPage, kDocumentEventEndDoc})
    ok = ok && event(printer, dc, code, 0, nullptr, 0, nullptr) == 1;
  if (copy) event(printer, dc, kDocumentEventDeleteDc, 0, nullptr, 0, nullptr);
  DeleteDC(dc);
  ClosePrinter(printer);
  return ok;
}

using SettingsKept = AcceptancePrinter;

TEST_F(SettingsKept, BesideDocumentsOnThreeThreadsAndAfterEveryExport) {
  // The user types a memory into 7091 of the Configure page's "More
  // Configuration Options" (as printer_sheet_test.cpp does) and presses OK.
  const auto set_memory = [&](const char16_t* typed) {
    OnSheet([&](SheetDriver& sheet) {
      ASSERT_TRUE(sheet.activate(1));
      ui.OnDialog(7500, [typed](UiDialog more) {
        EXPECT_TRUE(more.Type(7091, typed) && more.Blur() && more.Click(kIdOk));
      });
      EXPECT_TRUE(sheet.page().Click(7049));
      sheet.ok();
    });
    return Entry<decltype(PrinterProperties)>("PrinterProperties")(nullptr, Printer());
  };
  auto* capabilities = Entry<decltype(DrvDeviceCapabilities)>("DrvDeviceCapabilities");
  auto* properties = Entry<decltype(DrvDocumentProperties)>("DrvDocumentProperties");
  auto* convert = Entry<decltype(DrvConvertDevMode)>("DrvConvertDevMode");
  char16_t name[] = u"P1", old_directory[] = u"C:\\Drv";
  const auto memory = [&] {
    std::uint32_t cookie = 0;
    GDriverData* data =
        GDriverServer::Instance()->GetContext(new GPrinterKey(Printer(), name, 0), cookie);
    std::unique_ptr<GAttributeComposite> options(
        LoadNamedObjectAs<GAttributeComposite>(data, RWWString(u"365")));
    GDriverServer::Instance()->ReleaseContext(cookie);
    return SignedValueOr(options.get(), kMemoryKey, -1);
  };
  // The printer's record before and after the user's OK (128 MB brings the
  // collation unit, so the second collates), each printable. The first,
  // which does not collate, prints whatever memory is set.
  Bytes records[2] = {Bytes(kAcceptanceRecordBytes), Bytes(kAcceptanceRecordBytes)};
  for (int after = 0; after < 2; ++after) {
    EXPECT_TRUE(!after || set_memory(u"128") == 1);
    ASSERT_EQ(properties(nullptr, Printer(), name, AsRecord(records[after]), nullptr, kDmModeCopy),
              1);
    EXPECT_TRUE(Printable(Installed(), Printer(), records[after].data())) << after;
  }
  Bytes& record = records[0];
  Bytes out(kAcceptanceRecordBytes);

  // The user sets the memory again and again while three threads print and
  // ask capabilities without a handle; the last memory set stays.
  struct Run {
    const AcceptanceInstall* install;
    Bytes record;
    std::atomic<bool>* done;
    int documents = 0, failed = 0;
  };
  std::atomic<bool> done{false};
  std::vector<Run> runs(3, Run{&Installed(), record, &done});
  std::vector<HANDLE> threads;
  for (Run& run : runs) {
    threads.push_back(CreateThread(
        nullptr, 0,
        [](void* data) -> DWORD {
          auto* run = static_cast<Run*>(data);
          auto* ask = run->install->Entry<decltype(DrvDeviceCapabilities)>("DrvDeviceCapabilities");
          for (; !run->done->load() || run->documents < 2; ++run->documents) {
            run->failed += !PrintDocument(*run->install, run->record);
            run->failed += ask(nullptr, kFixturePrinter, kDcBins, nullptr, nullptr) != 3;
          }
          return 0;
        },
        &run, 0, nullptr));
  }
  for (int round = 0; round < 8; ++round)
    EXPECT_EQ(set_memory(round % 2 ? u"128" : u"96"), 1);
  done = true;
  for (HANDLE thread : threads) {
    WaitForSingleObject(thread, kInfinite);
    CloseHandle(thread);
  }
  for (const Run& run : runs)
    EXPECT_EQ(run.failed, 0) << run.documents << " documents";
  EXPECT_EQ(memory(), 128);

  // Each export, on a context made afresh: its answer, and whether it only
  // asks (P1's data stays as it was).
  DriverUpgradeInfo1 upgrade{name, old_directory};
  LONG size = kAcceptanceRecordBytes;
  const struct {
    const char* what;
    long answer;
    bool query;
    std::function<long()> call;
  } calls[] = {
      {"capabilities, no handle", 3, true,
       [&] { return capabilities(nullptr, name, kDcBins, nullptr, nullptr); }},
      {"capabilities of a record", 1, true,
       [&] { return capabilities(Printer(), name, kDcDuplex, nullptr, AsRecord(record)); }},
      {"document properties, no handle", 1, true,
       [&] {
         return properties(nullptr, nullptr, name, AsRecord(out), AsRecord(record),
                           kDmModeCopy | kDmModeModify);
       }},
      {"driver default", 1, true,
       [&] { return convert(name, nullptr, AsRecord(out), &size, kCdmDriverDefault); }},
      {"conversion", 1, true,
       [&] { return convert(name, AsRecord(record), AsRecord(out), &size, kCdmConvert); }},
      {"document sheet", 1, false,
       [&] {
         OnSheet([](SheetDriver& sheet) { sheet.ok(); });
         return properties(nullptr, Printer(), name, AsRecord(out), AsRecord(record),
                           kDmModeCopy | kDmModePrompt);
       }},
      {"upgrade", 1, false,
       [&] {
         return Entry<decltype(DrvUpgradePrinter)>("DrvUpgradePrinter")(
             1, reinterpret_cast<BYTE*>(&upgrade));
       }},
      {"initialise", 1, false, [&] { return InitialiseAgain(), long{Initialised()}; }},
  };
  for (const auto& c : calls) {
    GDriverServer::Instance()->DeleteParked();
    const std::uint64_t stamp = GetPrinterChangeStamp(Printer());
    EXPECT_EQ(c.call(), c.answer) << c.what;
    EXPECT_EQ(memory(), 128) << c.what;
    EXPECT_TRUE(!c.query || GetPrinterChangeStamp(Printer()) == stamp) << c.what;
  }
}

}  // namespace
