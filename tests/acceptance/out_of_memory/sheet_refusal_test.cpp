// A sheet's OK whose store the system refuses. For each thing the OK of a
// sheet stores (found by a run in which it stores them), a run in which
// the system refuses that thing's writes: the sheet answers Cancel with the
// system's error, and the printer holds what a cancelled sheet leaves, the
// record the driver hands out included. Each run is a child process of its
// own, P1 installed afresh with the same ids, so that runs compare byte for
// byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "driver/entry_points.h"
#include "platform/host/printer_interface.h"
#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "platform/host/uuid.h"
#include "platform/text.h"
#include "platform/ui/ui_host.h"
#include "support/acceptance_install.h"
#include "support/acceptance_scenario.h"
#include "support/child_process.h"
#include "support/fixture_printer.h"
#include "support/host_calls.h"
#include "support/stored_state.h"
#include "support/ui_user.h"

namespace {

using support::StoredState;

constexpr platform::DWORD kWriteFault = 29;
constexpr std::uint64_t kSeed = 73;

std::u16string Wide(const std::string& text) {
  std::u16string units;
  platform::MultiByteToWide(text.data(), text.size(), units);
  return units;
}

// Makes the system refuse every write of stored thing `item` (as
// ReadStoredState names it) with `error`, 0 lifting it; false for a thing
// that no write of the driver makes.
bool Refuse(const std::string& item, platform::DWORD error) {
  const std::size_t typed = item.rfind(" type ");
  if (item.rfind("data:", 0) == 0) {
    platform::SetPrinterDataWriteFailure(support::kFixturePrinter, Wide(item.substr(5, typed - 5)),
                                         error);
  } else if (item.rfind("reg:", 0) == 0) {
    const std::string path = item.substr(9, typed - 9);
    const std::size_t value = path.rfind('\\');
    platform::SetRegistryWriteFailure(
        item.compare(4, 4, "HKLM") == 0 ? platform::kHkeyLocalMachine : platform::kHkeyCurrentUser,
        Wide(path.substr(0, value)), Wide(path.substr(value + 1)), error);
  } else if (item.rfind("form:", 0) == 0) {
    platform::SetFormWriteFailure(u"", Wide(item.substr(5)), error);
  } else if (item == "stored default") {
    platform::SetStoredDefaultWriteFailure(support::kFixturePrinter, error);
  } else {
    return false;
  }
  return true;
}

// The device sheet, through PrinterProperties: 128 MB typed into the
// Configure page's options dialog.
platform::LONG DeviceSheet(const support::AcceptanceInstall& install, bool ok) {
  support::QueueMemorySheet(ok);
  return install.Entry<decltype(PrinterProperties)>("PrinterProperties")(nullptr,
                                                                         install.Printer());
}

// The document sheet, through DrvDocumentProperties with the prompt (or,
// `Service`, shown by the sheet service as a host shows it): the user's road
// of the acceptance scenario, or a cancel.
template <bool Service = false>
platform::LONG DocumentSheet(const support::AcceptanceInstall& install, bool ok) {
  support::Record request =
      support::ScenarioRequest(install, install.Printer(), support::kFixturePrinter);
  support::Record out(support::kAcceptanceRecordBytes, 0);
  support::QueueDocumentSheet(ok);
  return (Service ? &support::DocumentSheetThroughService : &support::DocumentProperties)(
      install, install.Printer(), support::kFixturePrinter, &out, &request,
      platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
}

// The device sheet shown by the sheet service: its result (OK 1, Cancel 0).
platform::LONG DeviceSheetService(const support::AcceptanceInstall& install, bool ok) {
  support::QueueMemorySheet(ok);
  return support::DeviceSheetThroughService(install, install.Printer());
}

// No call: what the printer holds before one.
platform::LONG NoSheet(const support::AcceptanceInstall&, bool) {
  return 0;
}

using Sheet = platform::LONG (*)(const support::AcceptanceInstall&, bool);

// What one run in a child left: the call's answer and last error, then the
// state.
struct Ended {
  std::string failed;  // why the run could not be made
  platform::LONG answer = 0;
  platform::DWORD error = 0;
  StoredState state;
};

// P1 installed afresh; `item` refused (none: ""); the sheet worked, OK or
// cancelled; the refusal lifted, then the state read.
Ended RunSheet(Sheet sheet, bool ok, const std::string& item) {
  const std::string file =
      std::filesystem::temp_directory_path() / ("refusal-" + std::to_string(::getpid()) + "-1");
  const support::ChildResult child = support::RunInChild(
      [&] {
        platform::ResetHostServices();
        platform::SeedUuids(kSeed);
        support::AcceptanceInstall install;
        const std::string folder = std::filesystem::temp_directory_path() / "host";
        if (!install.Install(folder).empty()) return 2;
        if (!item.empty()) Refuse(item, kWriteFault);
        platform::SetLastError(0);
        const platform::LONG answer = sheet(install, ok);
        const platform::DWORD error = platform::GetLastError();
        if (!item.empty()) Refuse(item, 0);  // what reading the state asks may store
        std::ofstream out(file, std::ios::binary);
        out << answer << "\n"
            << error << "\n"
            << support::ReadStoredState(install, install.Printer(), support::kFixturePrinter)
                   .Serialize();
        out.close();
        install.Uninstall();
        return out ? 0 : 3;
      },
      120);
  Ended run;
  std::ifstream in(file, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::remove(file.c_str());
  const std::size_t first = text.find('\n'), second = text.find('\n', first + 1);
  if (child.end != support::ChildResult::End::kExited || child.code != 0 ||
      second == std::string::npos || !run.state.Parse(text.substr(second + 1))) {
    run.failed = child.Describe() + "\n" + child.error_output;
    return run;
  }
  run.answer = std::stol(text.substr(0, first));
  run.error = platform::DWORD(std::stoul(text.substr(first + 1, second - first - 1)));
  return run;
}

TEST(SheetRefusal, AnOkWhoseStoreIsRefusedIsACancel) {
  struct Row {
    const char* name;
    Sheet sheet;
    platform::LONG ok;
    platform::LONG cancelled;
  } rows[] = {
      {"the device sheet", &DeviceSheet, 1, 0},
      {"the document sheet", &DocumentSheet<>, 1, 2},
      {"the document sheet through the service", &DocumentSheet<true>, 1, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Ended before = RunSheet(row.sheet, false, "");
    const Ended stored = RunSheet(row.sheet, true, "");
    ASSERT_EQ(before.failed + stored.failed, "");
    ASSERT_EQ(before.answer, row.cancelled);
    ASSERT_EQ(stored.answer, row.ok);
    int refused = 0;
    for (const auto& [item, bytes] : stored.state.items) {
      const auto was = before.state.items.find(item);
      if ((was != before.state.items.end() && was->second == bytes) || !Refuse(item, 0)) continue;
      SCOPED_TRACE(item + " refused");
      ++refused;
      const Ended run = RunSheet(row.sheet, true, item);
      ASSERT_EQ(run.failed, "");
      EXPECT_EQ(run.answer, row.cancelled);
      EXPECT_EQ(run.error, kWriteFault);
      EXPECT_EQ(run.state.Differences(before.state), "");
    }
    // Each sheet's OK stores more than one thing.
    EXPECT_GE(refused, 2);
  }
}

// A thing the call stores of its own (at the sheet's start) refused: the call
// fails (`failure` or below) with the system's error and stores nothing: not
// the OK, nor the write test's value, nor anything later in the call.
TEST(SheetRefusal, ACallWhosePartIsRefusedStoresNothing) {
  struct Row {
    const char* name;
    Sheet sheet;
    const char* item;
    platform::LONG failure;
  } rows[] = {
      {"the prompt sheet", &DocumentSheet<>, "data:ExportPrinting type 4", -1},
      {"the document sheet through the service", &DocumentSheet<true>, "data:ExportPrinting type 4",
       0},
      {"the device sheet through the service", &DeviceSheetService, "data:ExportConfig type 4", 0},
      {"the device sheet through the service", &DeviceSheetService, "data:PhySetting type 4", 0},
  };
  const Ended before = RunSheet(&NoSheet, false, "");
  ASSERT_EQ(before.failed, "");
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + ", " + row.item + " refused");
    const Ended run = RunSheet(row.sheet, true, row.item);
    ASSERT_EQ(run.failed, "");
    EXPECT_LE(run.answer, row.failure);
    EXPECT_EQ(run.error, kWriteFault);
    EXPECT_EQ(run.state.Differences(before.state), "");
  }
}

}  // namespace
