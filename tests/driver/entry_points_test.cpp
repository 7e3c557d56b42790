// The library entry and the printer-interface entry points: attach and
// detach, the one road of every entry point, argument checks, property
// sheets that keep their context, document events, and the extension
// registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <iterator>
#include <new>
#include <random>
#include <thread>
#include <vector>

#include "driver/document_event_table.h"
#include "driver/entry_points.h"
#include "driver/library_entry.h"
#include "driver/out_of_memory_handler.h"
#include "driver/plm_provider.h"
#include "driver/stored_state.h"
#include "persist/port_handler.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "tests/driver/context_testing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using driver_testing::live_contexts;
using driver_testing::RecordingContext;

std::uint32_t AppFlags() {
  return 0x00040123;
}

class EntryPoints : public driver_testing::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    platform::UseManualWaitClock();
    // The library's attach makes a server of its own when there is none.
    delete server_;
    server_ = nullptr;
  }
  void TearDown() override {
    if (attached_) {
      EXPECT_EQ(DllMain(platform::OwnModule(), kDllProcessDetach, nullptr), 1);
    }
    driver_testing::DrainKeepAlive();
    server_ = GDriverServer::Instance();
    ServerFixture::TearDown();
  }
  void Attach() {
    ASSERT_EQ(DllMain(platform::OwnModule(), kDllProcessAttach, nullptr), 1);
    attached_ = true;
  }
  bool attached_ = false;
};

TEST_F(EntryPoints, AttachMakesWhatTheEntryPointsNeedAndDetachTakesItDown) {
  ASSERT_TRUE(
      platform::AddModule({u"C:\\Drv\\KVNOTA32.DLL",
                           {{"GetAppFlags", reinterpret_cast<platform::FARPROC>(&AppFlags)}},
                           {}}));
  platform::SetSystemDefaultLangID(0x0411);  // Japanese: every category
  std::new_handler before = std::get_new_handler();
  Attach();
  EXPECT_EQ(LibraryModule(), platform::OwnModule());
  EXPECT_EQ(services_->GetModuleHandle(), platform::OwnModule());
  EXPECT_EQ(ApplicationFlags(), AppFlags());
  ASSERT_NE(GDriverServer::Instance(), nullptr);
  EXPECT_NE(DocumentEventTable(), nullptr);
  EXPECT_NE(DocumentEventLock(), nullptr);
  EXPECT_NE(std::get_new_handler(), before);
  EXPECT_EQ(OutOfMemoryReserveSize(), kOutOfMemoryReserveBytes);
  EXPECT_TRUE(OutOfMemoryReserveHeld());
  EXPECT_TRUE(ModuleKeepAlive().IsPinned());
  EXPECT_NE(dynamic_cast<GPLMProvider*>(GPortHandlerRegistry::Instance().Find("KVPLM 1.0")),
            nullptr);
  auto locale = platform::RuntimeLocaleLog();
  ASSERT_EQ(locale.size(), 1u);
  EXPECT_EQ(locale[0].category, platform::kLcAll);
  EXPECT_EQ(locale[0].locale, ".ACP");
  // The sibling library was loaded beside ours and let go.
  platform::ModuleCounters sibling = platform::GetModuleCounters(u"C:\\Drv\\KVNOTA32.DLL");
  EXPECT_EQ(sibling.loads, 1u);
  EXPECT_EQ(sibling.references, 0u);

  // One context parked and one checked out: detach deletes both.
  std::uint32_t a = 0, b = 0;
  GDriverServer* server = GDriverServer::Instance();
  ASSERT_NE(server->GetContext(Key(u"P1"), a), nullptr);
  ASSERT_NE(server->GetContext(Key(u"P2"), b), nullptr);
  server->ReleaseContext(a);
  EXPECT_EQ(DllMain(platform::OwnModule(), kDllProcessDetach, nullptr), 1);
  attached_ = false;
  EXPECT_EQ(live_contexts.load(), 0);
  EXPECT_EQ(GDriverServer::Instance(), server);  // the server stays
  EXPECT_EQ(DocumentEventTable(), nullptr);
  EXPECT_EQ(GPortHandlerRegistry::Instance().Find("KVPLM 1.0"), nullptr);
  EXPECT_EQ(LibraryModule(), nullptr);
  EXPECT_EQ(std::get_new_handler(), before);
  // A handler the host installed after the attach stays the host's; a
  // second attach keeps the first's document table (and its documents).
  Attach();
  GDocumentEventTable* table = DocumentEventTable();
  ASSERT_EQ(DllMain(platform::OwnModule(), kDllProcessAttach, nullptr), 1);
  EXPECT_EQ(DocumentEventTable(), table);
  std::set_new_handler([] { throw std::bad_alloc(); });
  const std::new_handler host = std::get_new_handler();
  EXPECT_EQ(DllMain(platform::OwnModule(), kDllProcessDetach, nullptr), 1);
  attached_ = false;
  EXPECT_EQ(std::set_new_handler(before), host);
  EXPECT_EQ(DllMain(nullptr, kDllThreadAttach, nullptr), 1);
  EXPECT_EQ(DllMain(nullptr, kDllThreadDetach, nullptr), 1);
}

TEST_F(EntryPoints, AttachWithoutTheSiblingLibraryOrAsianLanguage) {
  Attach();
  EXPECT_EQ(ApplicationFlags(), 0u);
  auto locale = platform::RuntimeLocaleLog();
  ASSERT_EQ(locale.size(), 1u);
  EXPECT_EQ(locale[0].category, platform::kLcCtype);
}

// Each entry point, for a printer with a context and for one without (its
// data file does not load).
TEST_F(EntryPoints, EveryEntryPointCallsTheOperationOfItsName) {
  Attach();
  platform::HANDLE p1 = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"P1", &p1, nullptr), 1);
  // A printer whose driver data file does not load.
  ASSERT_TRUE(platform::AddPrinter(u"Missing"));
  platform::HANDLE missing = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"Missing", &missing, nullptr), 1);
  platform::DocumentPropertyHeader document{};
  document.printer = p1;
  platform::DevQueryPrintInfo query{};
  query.printer = p1;
  char16_t name[] = u"P1";
  char16_t directory[] = u"C:\\Old";
  platform::DriverUpgradeInfo1 upgrade{name, directory};
  struct Case {
    const char* operation;
    std::function<long(const char16_t* printer, platform::HANDLE handle)> call;
    long no_context;
  } cases[] = {
      {"DrvDeviceCapabilities",
       [](const char16_t* n, platform::HANDLE h) {
         return static_cast<long>(DrvDeviceCapabilities(h, n, 1, nullptr, nullptr));
       },
       0},
      {"DrvDocumentProperties",
       [](const char16_t* n, platform::HANDLE h) {
         return static_cast<long>(DrvDocumentProperties(nullptr, h, n, nullptr, nullptr, 0));
       },
       0},
      {"DrvDocumentPropertySheets",
       [&](const char16_t*, platform::HANDLE h) {
         document.printer = h;
         return static_cast<long>(
             DrvDocumentPropertySheets(nullptr, reinterpret_cast<platform::LPARAM>(&document)));
       },
       0},
      {"DrvAdvancedDocumentProperties",
       [](const char16_t* n, platform::HANDLE h) {
         return static_cast<long>(DrvAdvancedDocumentProperties(nullptr, h, n, nullptr, nullptr));
       },
       0},
      {"DrvConvertDevMode",
       [](const char16_t* n, platform::HANDLE) {
         platform::LONG size = 0;
         return static_cast<long>(DrvConvertDevMode(n, nullptr, nullptr, &size, 0));
       },
       0},
      {"PrinterProperties",
       [](const char16_t*, platform::HANDLE h) {
         return static_cast<long>(PrinterProperties(nullptr, h));
       },
       0},
      {"DevQueryPrintEx",
       [&](const char16_t*, platform::HANDLE h) {
         query.printer = h;
         return static_cast<long>(DevQueryPrintEx(&query));
       },
       0},
      {"DrvUpgradePrinter",
       [&](const char16_t* n, platform::HANDLE) {
         upgrade.printer_name = const_cast<char16_t*>(n);
         return static_cast<long>(
             DrvUpgradePrinter(1, reinterpret_cast<platform::BYTE*>(&upgrade)));
       },
       0},
      {"DrvPrinterEvent",
       [](const char16_t* n, platform::HANDLE) {
         return static_cast<long>(DrvPrinterEvent(n, 3, 0, 0));
       },
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.operation);
    int made = services_->contexts_made;
    EXPECT_EQ(c.call(u"P1", p1), 7);
    GDriverServer* server = GDriverServer::Instance();
    EXPECT_EQ(server->ContextCount(), 0u);  // given back
    ASSERT_TRUE(server->HasParkedContext());
    // The parked context is the one that answered; it keeps its calls.
    std::uint32_t cookie = 0;
    auto* context =
        driver_testing::ServerFixture::AsRecording(server->GetContext(Key(u"P1"), cookie));
    ASSERT_NE(context, nullptr);
    ASSERT_FALSE(context->calls.empty());
    EXPECT_EQ(context->calls.back(), c.operation);
    server->ReleaseContext(cookie);
    EXPECT_LE(services_->contexts_made, made + 1);
    EXPECT_EQ(c.call(u"Missing", missing), c.no_context);
  }
  platform::ClosePrinter(p1);
  platform::ClosePrinter(missing);
}

TEST_F(EntryPoints, RefusedArgumentsTouchNoContext) {
  Attach();
  platform::PropSheetUiInfo no_header{};
  char16_t name[] = u"P1";
  char16_t directory[] = u"C:\\Old";
  platform::DriverUpgradeInfo1 no_directory{name, nullptr};
  platform::DriverUpgradeInfo1 complete{name, directory};
  struct Case {
    const char* what;
    std::function<long()> call;
    long result;
    platform::DWORD last_error;  // 0: not looked at
  } cases[] = {
      {"device sheet without record", [] { return long{DrvDevicePropertySheets(nullptr, 0)}; }, -1,
       0},
      {"device sheet without header", [&] { return long{DrvDevicePropertySheets(&no_header, 0)}; },
       -1, 0},
      {"document sheet without anything",
       [] { return long{DrvDocumentPropertySheets(nullptr, 0)}; }, -1, 0},
      {"document sheet init without header",
       [&] { return long{DrvDocumentPropertySheets(&no_header, 0)}; }, -1, 0},
      {"conversion without a size",
       [] { return long{DrvConvertDevMode(u"P1", nullptr, nullptr, nullptr, 1)}; }, 0,
       platform::kErrorInvalidParameter},
      {"device query without record", [] { return long{DevQueryPrintEx(nullptr)}; }, 0, 0},
      {"upgrade at level 2",
       [&] { return long{DrvUpgradePrinter(2, reinterpret_cast<platform::BYTE*>(&complete))}; }, 0,
       platform::kErrorInvalidParameter},
      {"upgrade without record", [] { return long{DrvUpgradePrinter(1, nullptr)}; }, 0,
       platform::kErrorInvalidParameter},
      {"upgrade without old directory",
       [&] { return long{DrvUpgradePrinter(1, reinterpret_cast<platform::BYTE*>(&no_directory))}; },
       0, platform::kErrorInvalidParameter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::SetLastError(0);
    EXPECT_EQ(c.call(), c.result);
    if (c.last_error) {
      EXPECT_EQ(platform::GetLastError(), c.last_error);
    }
  }
  EXPECT_EQ(services_->contexts_made, 0);
}

TEST_F(EntryPoints, APropertySheetKeepsItsContextFromInitToDestroy) {
  Attach();
  platform::HANDLE p1 = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"P1", &p1, nullptr), 1);
  platform::DevicePropertyHeader header{};
  header.printer = p1;
  platform::PropSheetUiInfo info{};
  info.lparam_init = reinterpret_cast<platform::LPARAM>(&header);
  GDriverServer* server = GDriverServer::Instance();

  info.reason = platform::kPropSheetUiReasonInit;
  EXPECT_EQ(DrvDevicePropertySheets(&info, 0), 7);
  auto* context = reinterpret_cast<RecordingContext*>(info.user_data);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(server->FindContext(context->GetCookie()), context);
  EXPECT_EQ(context->GetPrinterHandle(), p1);
  info.reason = platform::kPropSheetUiReasonGetInfoHeader;
  EXPECT_EQ(DrvDevicePropertySheets(&info, 0), 7);
  EXPECT_EQ(server->ContextCount(), 1u);
  info.reason = platform::kPropSheetUiReasonDestroy;
  EXPECT_EQ(DrvDevicePropertySheets(&info, 0), 7);
  EXPECT_EQ(server->ContextCount(), 0u);
  EXPECT_EQ(context->calls.size(), 3u);

  // A later call without the context in the record calls nothing.
  platform::PropSheetUiInfo empty{};
  empty.reason = platform::kPropSheetUiReasonGetInfoHeader;
  empty.lparam_init = info.lparam_init;
  EXPECT_EQ(DrvDevicePropertySheets(&empty, 0), 0);
  EXPECT_EQ(DrvDocumentPropertySheets(&empty, 0), 0);
  EXPECT_EQ(context->calls.size(), 3u);
  platform::ClosePrinter(p1);
}

TEST_F(EntryPoints, DocumentEventsKeepTheContextFromCreateToDelete) {
  Attach();
  platform::HANDLE p1 = nullptr, p2 = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"P1", &p1, nullptr), 1);
  ASSERT_EQ(platform::OpenPrinterW(u"P2", &p2, nullptr), 1);
  GDriverServer* server = GDriverServer::Instance();
  auto event = [](platform::HANDLE h, int which) {
    return DrvDocumentEvent(h, nullptr, which, 0, nullptr, 0, nullptr);
  };
  // An event before any create-DC: nothing to answer with.
  EXPECT_EQ(event(p1, 5), -1);
  EXPECT_EQ(event(p1, platform::kDocumentEventDeleteDc), -1);

  EXPECT_EQ(event(p1, platform::kDocumentEventCreateDcPre), 7);
  EXPECT_EQ(DocumentEventTable()->Entries(), 1u);
  EXPECT_EQ(server->ContextCount(), 1u);
  EXPECT_EQ(event(p1, 5 + 0x10000), 7);  // read as 16 bits: event 5
  // A second create-DC on the handle is refused, and says why: the first
  // document keeps its context, and the second's is given back at once.
  platform::SetLastError(0);
  EXPECT_EQ(event(p1, platform::kDocumentEventCreateDcPre), -1);
  EXPECT_EQ(platform::GetLastError(), platform::kErrorBusy);
  EXPECT_EQ(DocumentEventTable()->Entries(), 1u);
  EXPECT_EQ(server->ContextCount(), 1u);

  // The library stays loaded while a device context is open.
  for (int period = 0; period < 3; ++period) {
    ASSERT_TRUE(platform::AwaitThreadsIdle());
    platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
  }
  ASSERT_TRUE(platform::AwaitThreadsIdle());
  EXPECT_TRUE(ModuleKeepAlive().IsPinned());

  EXPECT_EQ(event(p1, platform::kDocumentEventDeleteDc), 7);
  EXPECT_EQ(DocumentEventTable()->Entries(), 0u);
  EXPECT_EQ(server->ContextCount(), 0u);
  // Idle again: the watcher lets go within two periods.
  for (int period = 0; period < 2; ++period) {
    ASSERT_TRUE(platform::AwaitThreadsIdle());
    platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
  }
  ASSERT_TRUE(platform::AwaitThreadsIdle());
  EXPECT_FALSE(ModuleKeepAlive().IsPinned());

  // A create-DC whose operation answers 0 leaves nothing behind.
  std::uint32_t cookie = 0;
  auto* parked = driver_testing::ServerFixture::AsRecording(server->GetContext(Key(u"P2"), cookie));
  ASSERT_NE(parked, nullptr);
  parked->answer = 0;
  server->ReleaseContext(cookie);
  EXPECT_EQ(event(p2, platform::kDocumentEventCreateDcPre), 0);
  EXPECT_EQ(DocumentEventTable()->Entries(), 0u);
  EXPECT_EQ(server->ContextCount(), 0u);
  // So does one whose operation went on without what memory ran short for
  // (a reader's scope kept the error): it fails, and says why.
  parked = driver_testing::ServerFixture::AsRecording(server->GetContext(Key(u"P2"), cookie));
  ASSERT_NE(parked, nullptr);
  parked->answer = 7;
  parked->on_call = [] {
    RWErrorScope reader;
    RaiseOutOfMemoryError(RWOutOfMemoryError(64));
    platform::SetLastError(platform::kErrorSuccess);
  };
  server->ReleaseContext(cookie);
  EXPECT_EQ(event(p2, platform::kDocumentEventCreateDcPre), -1);
  EXPECT_EQ(platform::GetLastError(), platform::kErrorNotEnoughMemory);
  EXPECT_EQ(DocumentEventTable()->Entries(), 0u);
  EXPECT_EQ(server->ContextCount(), 0u);

  // One document's events on two threads, memory short in each: both mark
  // the context spoiled while the other may read the mark, and the
  // delete-DC deletes it where it would park it (a new one hears nothing).
  std::atomic<bool> short_now{false};
  parked = driver_testing::ServerFixture::AsRecording(server->GetContext(Key(u"P1"), cookie));
  ASSERT_NE(parked, nullptr);
  parked->on_call = [&short_now] {
    RWErrorScope reader;
    if (short_now) RaiseOutOfMemoryError(RWOutOfMemoryError(64));
  };
  server->ReleaseContext(cookie);
  ASSERT_EQ(event(p1, platform::kDocumentEventCreateDcPre), 7);
  short_now = true;
  const auto pages = [&] {
    for (int i = 0; i < 50; ++i)
      EXPECT_EQ(event(p1, platform::kDocumentEventStartPage), -1);
  };
  std::thread first(pages), second(pages);
  first.join();
  second.join();
  EXPECT_EQ(event(p1, platform::kDocumentEventDeleteDc), -1);
  parked = driver_testing::ServerFixture::AsRecording(server->GetContext(Key(u"P1"), cookie));
  EXPECT_TRUE(parked && parked->calls.empty());
  server->ReleaseContext(cookie);
  platform::ClosePrinter(p1);
  platform::ClosePrinter(p2);
}

// A context whose call's changes were not all stored (a conflict) is not
// parked, on every road; the upgrade and the initialise event (3) read
// again and store what they read the second time.
TEST_F(EntryPoints, AContextWhoseChangesWereNotStoredIsNotParked) {
  Attach();
  const platform::PrinterDefaultsW all{nullptr, nullptr, platform::kPrinterAllAccess};
  platform::HANDLE p1 = nullptr;
  ASSERT_EQ(platform::OpenPrinterW(u"P1", &p1, &all), 1);
  const auto x = [&] {
    platform::BYTE read = 0;
    platform::DWORD type = 0, needed = 0;
    GStoredState::GetPrinterData(p1, u"X", &type, &read, 1, &needed);
    return read;
  };
  // Each operation stores X plus one; another writer stores 9 in between
  // at the operation `conflict_at`.
  int calls = 0, conflict_at = 0;
  services_->on_call = [&] {
    const platform::BYTE other = 9, mine = platform::BYTE(x() + 1);
    if (++calls == conflict_at)
      platform::SetPrinterDataW(p1, u"X", platform::kRegBinary, &other, 1);
    GStoredState::SetPrinterData(p1, u"X", platform::kRegBinary, &mine, 1);
  };
  platform::DocumentPropertyHeader header{};
  header.printer = p1;
  platform::PropSheetUiInfo info{};
  info.lparam_init = reinterpret_cast<platform::LPARAM>(&header);
  const auto sheet = [&] {  // its init and its destroy
    info.reason = platform::kPropSheetUiReasonInit;
    const long init = DrvDocumentPropertySheets(&info, 0);
    info.reason = platform::kPropSheetUiReasonDestroy;
    return init + DrvDocumentPropertySheets(&info, 0);
  };
  char16_t name[] = u"P1", directory[] = u"C:\\Old";
  platform::DriverUpgradeInfo1 upgrade{name, directory};
  const struct {
    std::function<long()> call;
    int conflict_at;
    long answer;
    platform::BYTE x;  // X after: 10 when read again
    bool parked;
  } rows[] = {
      {[&] { return long(DrvDeviceCapabilities(p1, u"P1", 1, nullptr, nullptr)); }, 1, 7, 9, false},
      {sheet, 1, 14, 10, false},
      {sheet, 2, 14, 9, false},
      {[&] {
         return long(DrvDocumentEvent(p1, nullptr, platform::kDocumentEventCreateDcPre, 0, nullptr,
                                      0, nullptr));
       },
       1, -1, 9, false},
      {[&] { return long(DrvUpgradePrinter(1, reinterpret_cast<platform::BYTE*>(&upgrade))); }, 1,
       7, 10, true},
      {[] { return long(DrvPrinterEvent(u"P1", 3, 0, 0)); }, 1, 7, 10, true},
  };
  GDriverServer* server = GDriverServer::Instance();
  for (std::size_t row = 0; row < std::size(rows); ++row) {
    SCOPED_TRACE(row);
    const platform::BYTE zero = 0;
    ASSERT_EQ(platform::SetPrinterDataW(p1, u"X", platform::kRegBinary, &zero, 1), 0u);
    server->DeleteParked();
    calls = 0;
    conflict_at = rows[row].conflict_at;
    EXPECT_EQ(rows[row].call(), rows[row].answer);
    EXPECT_EQ(x(), rows[row].x);
    EXPECT_EQ(server->ContextCount(), 0u);
    EXPECT_EQ(server->HasParkedContext(), rows[row].parked);
  }
  services_->on_call = nullptr;
  platform::ClosePrinter(p1);
}

TEST_F(EntryPoints, ExtensionRegistrationGoesToTheDriverData) {
  Attach();
  // The printer's name arrives as 8-bit text; the answer's low 16 bits.
  EXPECT_EQ(KVDrv_RegisterExtension("P1", nullptr, "KVEXT.DLL", 1), 7);
  std::uint32_t cookie = 0;
  auto* context = driver_testing::ServerFixture::AsRecording(
      GDriverServer::Instance()->GetContext(Key(u"P1"), cookie));
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(context->calls.back(), "RegisterExtension");
  EXPECT_EQ(context->last_extension, "KVEXT.DLL");
  GDriverServer::Instance()->ReleaseContext(cookie);
  EXPECT_EQ(KVDrv_RegisterExtension("Missing", nullptr, "KVEXT.DLL", 1), kNoContextExtension);
  EXPECT_EQ(KVDrv_RegisterExtension(nullptr, nullptr, nullptr, 0), 7);
}

// The extension settings exports' fuzz target: its corpus, and seeded
// random records and calls.
TEST_F(EntryPoints, ExtensionSettingsReplay) {
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 5);
  std::mt19937 random(63);
  for (int seed = 0; seed < 1000; ++seed) {
    std::vector<std::uint8_t> input(random() % 300);
    std::generate(input.begin(), input.end(), [&] { return static_cast<std::uint8_t>(random()); });
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
}

}  // namespace
