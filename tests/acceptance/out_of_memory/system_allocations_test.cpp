// The stand-ins' writes under the system's own memory running short
// (support/failing_allocator.h, the system's allocations counted): each of
// their allocations failed in turn, a write answers error 8 with nothing
// changed, or answers success with its change whole.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/spooler.h"
#include "support/failing_allocator.h"
#include "support/stored_state.h"

namespace {

using namespace platform;

constexpr char16_t kPrinter[] = u"S1";

// The store, and the registry keys left open.
support::StoredState Read(HANDLE printer) {
  support::StoredState state = support::ReadSystemStore(printer, kPrinter);
  state.items["keys open"] = {std::uint8_t(OpenRegistryKeyCount())};
  return state;
}

TEST(SystemAllocations, AStandInsWriteIsWholeOrNothing) {
  std::array<BYTE, 4> bytes = {1, 2, 3, 4};
  std::array<BYTE, 224> mode = {};
  mode[kDevModeSizeOffset] = 220;
  PrinterInfo2W info{};
  info.dev_mode = mode.data();
  FormInfo1W form{0, const_cast<char16_t*>(u"Card"), {1000, 2000}, {0, 0, 1000, 2000}};
  // Each write's error (0: done) on S1 with value "V" and key "K\\L"
  // stored and form "Pad" added.
  const auto failed_with = [](BOOL done) { return done ? 0 : GetLastError(); };
  const std::function<DWORD(HANDLE)> writes[] = {
      [&](HANDLE) -> DWORD {
        HKEY key = nullptr;
        const LONG made = RegCreateKeyExW(kHkeyCurrentUser, u"A\\B\\C", 0, nullptr, 0,
                                          kKeyAllAccess, nullptr, &key, nullptr);
        return made != 0 ? made : RegCloseKey(key);
      },
      [&](HANDLE) -> DWORD { return RegDeleteKeyW(kHkeyCurrentUser, u"K\\L"); },
      [&](HANDLE p) { return SetPrinterDataW(p, u"W", kRegBinary, bytes.data(), 4); },
      [&](HANDLE p) { return SetPrinterDataW(p, u"V", kRegBinary, bytes.data(), 2); },
      [&](HANDLE p) { return DeletePrinterDataW(p, u"V"); },
      [&](HANDLE p) { return failed_with(SetPrinterW(p, 2, reinterpret_cast<BYTE*>(&info), 0)); },
      [&](HANDLE p) { return failed_with(AddFormW(p, 1, reinterpret_cast<BYTE*>(&form))); },
      [&](HANDLE p) { return failed_with(SetFormW(p, u"Pad", 1, reinterpret_cast<BYTE*>(&form))); },
      [&](HANDLE p) { return failed_with(DeleteFormW(p, u"Pad")); },
  };
  for (std::size_t w = 0; w < std::size(writes); ++w) {
    SCOPED_TRACE("write " + std::to_string(w));
    support::StoredState before, after;
    for (std::uint64_t failed = 0;; ++failed) {
      HANDLE printer = nullptr;
      {
        support::UncountedAllocations uncounted;
        ResetHostServices();
        HKEY key = nullptr;
        const PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
        ASSERT_TRUE(AddPrinter(kPrinter) && OpenPrinterW(kPrinter, &printer, &all) == 1);
        ASSERT_EQ(SetPrinterDataW(printer, u"V", kRegBinary, bytes.data(), 4), 0u);
        ASSERT_EQ(RegCreateKeyExW(kHkeyCurrentUser, u"K\\L", 0, nullptr, 0, kKeyAllAccess, nullptr,
                                  &key, nullptr),
                  0);
        RegCloseKey(key);
        AddServerForm(u"", 0, u"Pad", 100, 100);
        if (failed == 0) before = Read(printer);
      }
      support::CountSystemAllocations(true);
      support::ResetAllocations();
      support::FailAllocation(failed);
      const DWORD error = writes[w](printer);
      const bool answered = error == 0;
      const bool met = support::AllocationFailed();
      support::FailAllocation(0);
      support::CountSystemAllocations(false);
      support::UncountedAllocations uncounted;
      const support::StoredState now = Read(printer);
      if (failed == 0) {
        ASSERT_TRUE(answered);
        after = now;
        ASSERT_NE(after, before);
      } else if (answered) {
        EXPECT_EQ(now.Differences(after), "") << "allocation " << failed;
      } else {
        EXPECT_EQ(error, kErrorNotEnoughMemory) << "allocation " << failed;
        EXPECT_EQ(now.Differences(before), "") << "allocation " << failed;
      }
      ClosePrinter(printer);
      if (failed != 0 && !met) break;
    }
  }
  ResetHostServices();
}

}  // namespace
