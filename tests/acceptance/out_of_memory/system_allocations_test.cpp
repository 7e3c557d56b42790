// The stand-ins' writes with each of the system's own allocations failed in
// turn: error 8 with nothing changed, or success with the change whole.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "driver/stored_state.h"
#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "support/failing_allocator.h"
#include "support/stored_state.h"

namespace {

using namespace platform;

// Makes key `path` of the user's hive: the error.
DWORD MakeKey(const char16_t* path) {
  return DWORD(GStoredState::MakeKey(kHkeyCurrentUser, path));
}

// The store, and the registry keys left open.
support::StoredState Read(HANDLE printer) {
  support::StoredState state = support::ReadSystemStore(printer, u"S1");
  state.items["keys open"] = {std::uint8_t(OpenRegistryKeyCount())};
  return state;
}

TEST(SystemAllocations, AStandInsWriteIsWholeOrNothing) {
  std::array<BYTE, 224> bytes = {};
  bytes[kDevModeSizeOffset] = 220;
  PrinterInfo2W info{};
  info.dev_mode = bytes.data();
  FormInfo1W form{0, const_cast<char16_t*>(u"Card"), {1000, 2000}, {0, 0, 1000, 2000}};
  auto* record = reinterpret_cast<BYTE*>(&form);
  const auto error = [](BOOL done) { return done ? 0 : GetLastError(); };
  // Each write's error (0: done), on printer S1 with value "V", key "K\L"
  // and form "Pad".
  const std::function<DWORD(HANDLE)> writes[] = {
      [](HANDLE) { return MakeKey(u"A\\B\\C"); },
      [](HANDLE) -> DWORD { return RegDeleteKeyW(kHkeyCurrentUser, u"K\\L"); },
      [&](HANDLE p) { return SetPrinterDataW(p, u"W", kRegBinary, bytes.data(), 4); },
      [&](HANDLE p) { return SetPrinterDataW(p, u"V", kRegBinary, bytes.data(), 2); },
      [](HANDLE p) { return DeletePrinterDataW(p, u"V"); },
      [&](HANDLE p) { return error(SetPrinterW(p, 2, reinterpret_cast<BYTE*>(&info), 0)); },
      [&](HANDLE p) { return error(AddFormW(p, 1, record)); },
      [&](HANDLE p) { return error(SetFormW(p, u"Pad", 1, record)); },
      [&](HANDLE p) { return error(DeleteFormW(p, u"Pad")); },
  };
  for (std::size_t w = 0; w < std::size(writes); ++w) {
    support::StoredState before, after;
    for (std::uint64_t failed = 0;; ++failed) {
      SCOPED_TRACE("write " + std::to_string(w) + ", allocation " + std::to_string(failed));
      HANDLE printer = nullptr;
      {
        support::UncountedAllocations uncounted;
        ResetHostServices();
        const PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
        ASSERT_TRUE(AddPrinter(u"S1") && OpenPrinterW(u"S1", &printer, &all) == 1);
        ASSERT_EQ(SetPrinterDataW(printer, u"V", kRegBinary, bytes.data(), 4) + MakeKey(u"K\\L"),
                  0u);
        AddServerForm(u"", 0, u"Pad", 100, 100);
        if (failed == 0) before = Read(printer);
      }
      support::CountSystemAllocations(true);
      support::ResetAllocations();
      support::FailAllocation(failed);
      const DWORD answer = writes[w](printer);
      const bool met = support::AllocationFailed();
      support::FailAllocation(0);
      support::CountSystemAllocations(false);
      support::UncountedAllocations uncounted;
      const support::StoredState now = Read(printer);
      if (failed == 0) after = now;
      EXPECT_TRUE(failed != 0 || (answer == 0 && after != before));
      EXPECT_EQ(now.Differences(answer == 0 ? after : before), "");
      EXPECT_TRUE(answer == 0 || answer == kErrorNotEnoughMemory) << answer;
      ClosePrinter(printer);
      if (failed != 0 && !met) break;
    }
  }
  ResetHostServices();
}

}  // namespace
