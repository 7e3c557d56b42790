// Allocations failed at the places where a mend matters, each found by
// what is allocated there (support/failing_allocator.h, AllocationPlace),
// not by an index that shifts whenever the code changes: the strided
// sweeps may step over them.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/printer_key.h"
#include "foundation/rw/error.h"
#include "platform/host/printer_interface.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "platform/host/uuid.h"
#include "services/driver_server.h"
#include "support/acceptance_install.h"
#include "support/fixture_printer.h"
#include "support/host_calls.h"
#include "support/run_folder.h"
#include "support/stored_state.h"
#include "support/ui_user.h"
#include "tests/acceptance/out_of_memory/sweep_scenarios.h"
#include "tests/support/printer_fixture.h"

namespace testing_support {
namespace {

using support::AllocationPlace;
using support::Shortage;
using support::SweepMode;

// A lasting shortage under a returning error handler: std::bad_alloc
// unwinds to the export, and no [NOMEM] ends the child first.
constexpr SweepMode kUnwinding{true, Shortage::kLasting};

// The host's calls with the keep-alive's watcher let go first, in every
// build, so that the document's create-DC starts it anew (the sanitizers'
// own start of a thread cannot meet a failure, which a place keeps clear
// of).
support::ScenarioMaker HostCallsStartingTheWatcher() {
  return support::AfterSetUp(HostCalls(), [] {
    return support::AcceptanceInstall::LetKeepAliveGo() ? "" : "the keep-alive's watcher";
  });
}

// The device sheet through the sheet service: Tray 2 with Letter on the
// forms page, OK, and then the user reads the sheet's log, work of the
// service's own once every page has applied the OK.
class SheetReadAfterOk : public support::SweepScenario {
 public:
  std::string SetUp() override {
    platform::ResetHostServices();
    platform::SeedUuids(73);  // the printer's id, the same in every child
    support::OnSheet([](support::SheetDriver& sheet) {
      if (sheet.activate(0)) {
        sheet.page().SelectData(12003, 2);
        sheet.page().Select(12006, u"Letter");
      }
      if (sheet.ok()) support::SheetLog();
    });
    return install_.Install(folder_.Path() + "/host");
  }
  std::vector<support::SweepStep> Steps() override {
    return {{"the device sheet",
             [this] { return support::DeviceSheetThroughService(install_, install_.Printer()); }}};
  }
  support::StoredState State() override {
    return support::ReadStoredState(install_, install_.Printer(), support::kFixturePrinter);
  }
  bool FailureStoresNothing() override { return true; }
  void TearDown() override {
    install_.Uninstall();
    platform::ResetHostServices();
  }

 private:
  support::RunFolder folder_{"sheet"};
  support::AcceptanceInstall install_;
};

struct ScenarioRow {
  const char* mend;
  support::ScenarioMaker scenario;
  AllocationPlace place;
  SweepMode mode;
};

TEST(FailurePlaces, ScenariosOweWhatTheMendsGive) {
  const ScenarioRow rows[] = {
      // The printer opened into the creation handle is closed when the
      // upgrade unwinds: the context's handle is not owned.
      {"the upgrade's scoped handle",
       HostCalls(),
       {{"GDriverContextBase::RemakeDevModeSettings", "GDriverContext::DrvUpgradePrinter"},
        1,
        true},
       kUnwinding},
      // A context the capabilities ran short on holds a paper list made of
      // less: it goes when given back, not parked for the next call.
      {"a spoiled context, not parked",
       HostCalls(),
       {{"GDriverContext::BuildPaperList"}, 1, true},
       kUnwinding},
      // The document's create-DC starts the keep-alive's watcher: a start
      // that unwinds leaves nothing pinned, the semaphore is given back,
      // and the document's guard, made before, ends the document.
      {"the keep-alive's start, its hold and the create-DC's order",
       HostCallsStartingTheWatcher(),
       {{"platform::DuplicateHandle", "GModuleKeepAlive::Start"}, 1, true},
       kUnwinding},
      // What ran short once every page had applied the OK does not take
      // the OK back: the sheet answers what it stored.
      {"the sheet service's OK after a late shortage",
       [] { return std::make_unique<SheetReadAfterOk>(); },
       {{"support::SheetLog"}, 1, true},
       kUnwinding},
  };
  for (const ScenarioRow& row : rows) {
    SCOPED_TRACE(row.mend);
    support::SweepReference reference;
    std::string error;
    ASSERT_TRUE(support::RecordReference(row.scenario, reference, error)) << error;
    EXPECT_EQ(support::SweepAt(row.scenario, reference, row.place, row.mode), "")
        << row.place.Describe();
  }
}

class FailurePlacesOnP1 : public PrinterFixture {};

// A context's own calls, as a sheet or another export's could make them
// (through an export, a context a call ran short on is deleted, which hides
// what it kept), the allocation at the place failing under a host's handler
// (which gives up at once): a lasting shortage unwinds into the test, which
// finds what the call took given back, and what else the call owes.
TEST_F(FailurePlacesOnP1, AContextGivesBackWhatItTook) {
  GDriverContext* data = DriverData();
  ASSERT_TRUE(data);
  // The spooler's context, by name alone: it writes through a handle of its own.
  std::uint32_t cookie = 0;
  GDriverContext* by_name = GDriverContext::FromDriverData(Server()->GetContext(
      new GPrinterKey(nullptr, RWWString(support::kFixturePrinter), 0), cookie));
  ASSERT_TRUE(by_name);
  std::vector<std::uint8_t> record(kFullDevModeSize);
  platform::LONG size = platform::LONG(record.size());
  GAttributeComposite pool(kQuicksetPoolKey), rebuilt(kQuicksetPoolKey);
  auto* quickset = new GAttributeComposite(0);
  quickset->AddChild(new GStringAttribute("Draft", kQuicksetNameKey));
  pool.AddChild(quickset);
  const struct {
    const char* mend;
    AllocationPlace place;
    Shortage shortage;
    std::function<bool()> call;  // false: it owes more
  } rows[] = {
      {"the registration's scoped own handle",
       {{"GDriverContext::BindDevMode", "GDriverContext::RegisterExtension"}, 1, true},
       Shortage::kLasting,
       [&] {
         by_name->RegisterExtension("", 0);
         return true;
       }},
      {"the conversion putting its creation handle back",
       {{"GDriverContext::ConvertOnPrinter"}, 1, true},
       Shortage::kLasting,
       [&] {
         data->DrvConvertDevMode(support::kFixturePrinter, nullptr,
                                 reinterpret_cast<platform::DevModeW*>(record.data()), &size,
                                 platform::kCdmDriverDefault);
         return true;
       }},
      // The document sheet's own calls ask whether the printer's data may be
      // changed: a right that memory ran short asking about is unknown,
      // and the process's local-watermark flag stays as it was.
      {"the local-watermark flag",
       {{"GDriverContext::EnsureWritablePrinterData"}, 1, false},
       Shortage::kBrief,
       [&] {
         GDriverContextBase::SetLocalWatermarkFlag(0);
         platform::DocumentPropertyHeader header{
             28, 0, data->GetPrinterHandle(), nullptr, nullptr, nullptr, 0, 0};
         data->DrvDocumentPropertySheets(nullptr, reinterpret_cast<platform::LPARAM>(&header));
         return GDriverContextBase::GetLocalWatermarkFlag() == 0;
       }},
      // The template's copy for the one quick set: a pool short of it is no
      // pool. (The upgrade's own check of memory hides it from its export.)
      {"a quick set the upgrade cannot copy",
       {{"MPersistentObject::DeepCopy", "GDriverDataImp::UpgradeQuicksets"}},
       Shortage::kBrief,
       [&] {
         return data->UpgradeQuicksets(pool, rebuilt) == 0 ||
                rebuilt.EntryCount() == pool.EntryCount();
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.mend);
    const platform::HANDLE handle = data->GetPrinterHandle();
    const std::uint32_t open = platform::GetSpoolerCounters().open_handles;
    const std::new_handler before = std::set_new_handler([] { throw std::bad_alloc(); });
    support::ResetAllocations();
    ASSERT_EQ(support::FailAllocationAt(row.place, row.shortage), "");
    bool owed = true;
    try {
      RWErrorScope scope;
      owed = row.call();
    } catch (const std::bad_alloc&) {
    }
    support::FailAllocation(0);
    std::set_new_handler(before);
    EXPECT_TRUE(support::AllocationFailed()) << row.place.Describe();
    EXPECT_EQ(platform::GetSpoolerCounters().open_handles, open);
    EXPECT_EQ(data->GetPrinterHandle(), handle);
    EXPECT_TRUE(owed);
  }
  Server()->ReleaseContext(cookie);
}

}  // namespace
}  // namespace testing_support
