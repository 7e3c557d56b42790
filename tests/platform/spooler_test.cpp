#include "platform/host/spooler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/host/registry.h"
#include "platform/host/reset.h"
#include "platform/host/system.h"
#include "platform/host/system_writes.h"
#include "tests/support/host_fixture.h"

namespace {

using namespace platform;

class Spooler : public testing_support::HostFixture {};

HANDLE Open(const char16_t* name, DWORD access = kPrinterAllAccess) {
  PrinterDefaultsW defaults{nullptr, nullptr, access};
  HANDLE printer = nullptr;
  EXPECT_EQ(OpenPrinterW(name, &printer, &defaults), 1);
  return printer;
}

std::vector<BYTE> Get(HANDLE printer, const char16_t* name, DWORD* type = nullptr) {
  DWORD needed = 0;
  DWORD result = GetPrinterDataW(printer, name, type, nullptr, 0, &needed);
  if (result != kErrorMoreData && result != kErrorSuccess) return {};
  std::vector<BYTE> bytes(needed);
  DWORD again = 0;
  EXPECT_EQ(GetPrinterDataW(printer, name, type, bytes.data(), needed, &again), 0);
  EXPECT_EQ(again, needed);
  return bytes;
}

TEST_F(Spooler, PrinterDataIsThePrintersMachineKey) {
  ASSERT_TRUE(AddPrinter(u"Office Colour"));
  HANDLE printer = Open(u"OFFICE COLOUR");
  ASSERT_NE(printer, nullptr);
  // REG_SZ of the four characters, no terminator: UTF-16 little-endian.
  const BYTE stale[] = {0x54, 0x00, 0x52, 0x00, 0x55, 0x00, 0x45, 0x00};
  ASSERT_EQ(SetPrinterDataW(printer, u"Stale", kRegSz, stale, sizeof stale), 0);

  // Read as the configuration import does, through the registry.
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(kHkeyLocalMachine,
                          u"System\\CurrentControlSet\\Control\\Print\\Printers\\office colour"
                          u"\\PrinterDriverData",
                          0, kKeyRead, &key),
            0);
  BYTE bytes[16];
  DWORD type = 0, size = sizeof bytes;
  ASSERT_EQ(RegQueryValueExW(key, u"stale", nullptr, &type, bytes, &size), 0);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(std::vector<BYTE>(bytes, bytes + size), std::vector<BYTE>(stale, stale + 8));

  // And the other way round: a registry write is printer data.
  HKEY writer = nullptr;
  ASSERT_EQ(RegOpenKeyExW(kHkeyLocalMachine, PrinterDataKeyPath(u"Office Colour").c_str(), 0,
                          kKeyAllAccess, &writer),
            0);
  const BYTE count[] = {5, 0, 0, 0};
  ASSERT_EQ(RegSetValueExW(writer, u"PhySetting", 0, kRegDword, count, 4), 0);
  EXPECT_EQ(Get(printer, u"PHYSETTING", &type), std::vector<BYTE>(count, count + 4));
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(RegCloseKey(key), 0);
  EXPECT_EQ(RegCloseKey(writer), 0);
  EXPECT_EQ(ClosePrinter(printer), 1);
}

TEST_F(Spooler, ReadsFollowTheSizeProtocol) {
  ASSERT_TRUE(AddPrinter(u"P1"));
  HANDLE printer = Open(u"P1");
  const BYTE chunk[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(SetPrinterDataW(printer, u"N:0", kRegBinary, chunk, 5), 0);
  ASSERT_EQ(SetPrinterDataW(printer, u"N:1", kRegBinary, nullptr, 0), 0);  // an empty chunk

  struct Case {
    const char16_t* name;
    DWORD size;
    DWORD result;
    DWORD needed;
  };
  const Case cases[] = {
      {u"N:0", 0, kErrorMoreData, 5},
      {u"N:0", 4, kErrorMoreData, 5},
      {u"N:0", 5, 0, 5},
      {u"N:0", 64, 0, 5},
      {u"N:1", 0, 0, 0},
      {u"N:2", 64, kErrorFileNotFound, 77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    BYTE buffer[64];
    std::memset(buffer, 0xCC, sizeof buffer);
    DWORD type = 99, needed = 77;
    EXPECT_EQ(GetPrinterDataW(printer, c.name, &type, buffer, c.size, &needed), c.result);
    EXPECT_EQ(needed, c.needed);
    if (c.result == 0) {
      EXPECT_EQ(type, kRegBinary);
      EXPECT_EQ(std::memcmp(buffer, chunk, needed), 0);
      EXPECT_EQ(buffer[needed], 0xCC);
    } else if (c.result == kErrorMoreData) {
      EXPECT_EQ(buffer[0], 0xCC);
    }
  }
  DWORD needed = 0;
  EXPECT_EQ(GetPrinterDataW(printer, u"N:0", nullptr, nullptr, 5, &needed), kErrorInvalidParameter);
  EXPECT_EQ(GetPrinterDataW(printer, u"N:0", nullptr, nullptr, 0, nullptr), kErrorInvalidParameter);
  EXPECT_EQ(ClosePrinter(printer), 1);
}

TEST_F(Spooler, HandlesAccessAndCounters) {
  ASSERT_TRUE(AddPrinter(u"P1"));
  EXPECT_FALSE(AddPrinter(u"p1"));
  EXPECT_FALSE(AddPrinter(u""));
  EXPECT_FALSE(AddPrinter(u"\\\\server\\P1"));

  HANDLE printer = nullptr;
  EXPECT_EQ(OpenPrinterW(u"P2", &printer, nullptr), 0);
  EXPECT_EQ(GetLastError(), kErrorInvalidPrinterName);
  EXPECT_EQ(printer, nullptr);
  EXPECT_EQ(OpenPrinterW(nullptr, &printer, nullptr), 0);

  // Without the administer right data reads but does not write.
  ASSERT_EQ(OpenPrinterW(u"P1", &printer, nullptr), 1);
  HANDLE admin = Open(u"p1");
  const BYTE one[] = {1, 0, 0, 0};
  EXPECT_EQ(SetPrinterDataW(printer, u"V", kRegDword, one, 4), kErrorAccessDenied);
  EXPECT_EQ(SetPrinterDataW(admin, u"V", kRegDword, one, 4), 0);
  EXPECT_EQ(Get(printer, u"V"), std::vector<BYTE>(one, one + 4));
  EXPECT_EQ(GetSpoolerCounters().open_handles, 2u);

  EXPECT_EQ(ClosePrinter(printer), 1);
  EXPECT_EQ(ClosePrinter(printer), 0);
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
  DWORD needed = 0;
  EXPECT_EQ(GetPrinterDataW(printer, u"V", nullptr, nullptr, 0, &needed), kErrorInvalidHandle);
  EXPECT_EQ(SetPrinterDataW(printer, u"V", kRegDword, one, 4), kErrorInvalidHandle);
  EXPECT_EQ(ClosePrinter(admin), 1);
  SpoolerCounters counters = GetSpoolerCounters();
  EXPECT_EQ(counters.opens, 2u);
  EXPECT_EQ(counters.closes, 2u);
  EXPECT_EQ(counters.open_handles, 0u);

  // The printer's own key exists, as the configuration import checks.
  HKEY key = nullptr;
  EXPECT_EQ(
      RegOpenKeyExW(kHkeyLocalMachine, u"System\\CurrentControlSet\\Control\\Print\\Printers\\P1",
                    0, kKeyRead, &key),
      0);
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(Spooler, InjectedWriteFailuresAreConfinedToTheirValue) {
  ASSERT_TRUE(AddPrinter(u"P1"));
  ASSERT_TRUE(AddPrinter(u"P2"));
  HANDLE p1 = Open(u"P1");
  HANDLE p2 = Open(u"P2");
  const BYTE old_bytes[] = {1, 1}, new_bytes[] = {2, 2, 2};
  ASSERT_EQ(SetPrinterDataW(p1, u"Pool:1", kRegBinary, old_bytes, 2), 0);
  SetPrinterDataWriteFailure(u"p1", u"POOL:1", kErrorWriteFault);
  EXPECT_EQ(SetPrinterDataW(p1, u"Pool:1", kRegBinary, new_bytes, 3), kErrorWriteFault);
  EXPECT_EQ(Get(p1, u"Pool:1"), std::vector<BYTE>(old_bytes, old_bytes + 2));
  EXPECT_EQ(SetPrinterDataW(p1, u"Pool:0", kRegBinary, new_bytes, 3), 0);
  EXPECT_EQ(SetPrinterDataW(p2, u"Pool:1", kRegBinary, new_bytes, 3), 0);  // another printer
  SetPrinterDataWriteFailure(u"P1", u"Pool:1", 0);
  EXPECT_EQ(SetPrinterDataW(p1, u"Pool:1", kRegBinary, new_bytes, 3), 0);
  EXPECT_EQ(ClosePrinter(p1), 1);
  EXPECT_EQ(ClosePrinter(p2), 1);
}

// Forms under the size protocol: "name:flags:cx:bottom " each.
std::string Forms(HANDLE printer, const char16_t* name = nullptr) {
  DWORD needed = 0, count = 7;
  EXPECT_EQ(name ? GetFormW(printer, name, 1, nullptr, 0, &needed)
                 : EnumFormsW(printer, 1, nullptr, 0, &needed, &count),
            0);
  EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
  std::vector<BYTE> block(needed + 1, 0xCC);
  EXPECT_EQ(name ? GetFormW(printer, name, 1, block.data(), needed, &needed)
                 : EnumFormsW(printer, 1, block.data(), needed, &needed, &count),
            1);
  EXPECT_EQ(block[needed], 0xCC);
  std::string out;
  for (DWORD i = 0; i < (name ? 1 : count); ++i) {
    const auto& form = reinterpret_cast<const FormInfo1W*>(block.data())[i];
    out += std::string(form.name, form.name + std::char_traits<char16_t>::length(form.name)) + ":" +
           std::to_string(form.flags) + ":" + std::to_string(form.size.cx) + ":" +
           std::to_string(form.imageable_area.bottom) + " ";
  }
  return out;
}

// The system refusing writes by their count: each kind of write counts
// one and, refused, changes nothing; a delete of what is missing counts
// nothing. The probe of the right to change (a delete of a missing value)
// answers access denied without the administer right, first.
TEST_F(Spooler, WritesAreCountedAndRefusedAsPlanned) {
  ASSERT_TRUE(AddPrinter(u"P1"));
  HANDLE admin = Open(u"P1");
  HANDLE user = Open(u"P1", kPrinterAccessUse);
  const BYTE one = 1, two = 2;
  std::vector<BYTE> mode(220, 0);
  mode[kDevModeSizeOffset] = 220;
  PrinterInfo2W info{};
  info.dev_mode = mode.data();
  FormInfo1W form{kFormUser, const_cast<char16_t*>(u"F"), {10, 10}, {0, 0, 10, 10}};
  HKEY key = nullptr;
  // Each write, refused (as the one counted after the value's first
  // write), then made: what it answers then.
  const std::function<DWORD()> writes[] = {
      [&] { return SetPrinterDataW(admin, u"A", kRegBinary, &two, 1); },
      [&] { return SetPrinterW(admin, 2, reinterpret_cast<BYTE*>(&info), 0) ? 0 : GetLastError(); },
      [&] { return AddFormW(admin, 1, reinterpret_cast<BYTE*>(&form)) ? 0 : GetLastError(); },
      [&] { return DeletePrinterDataW(admin, u"A"); },
      [&] {
        const LONG made = RegCreateKeyExW(kHkeyCurrentUser, u"New", 0, u"", 0, kKeySetValue,
                                          nullptr, &key, nullptr);
        return DWORD(made != 0 ? made : RegCloseKey(key));
      },
      [&] { return DWORD(RegDeleteKeyW(kHkeyCurrentUser, u"New")); },
  };
  ASSERT_EQ(SetPrinterDataW(admin, u"A", kRegBinary, &one, 1), 0u);
  for (const auto& write : writes) {
    const std::string before = Forms(admin) + std::to_string(Get(admin, u"A").size()) +
                               std::to_string(RegistryKeyPaths(kHkeyCurrentUser).size());
    SetWriteRefusals({1, 1, 0, kErrorWriteFault});
    EXPECT_EQ(write(), kErrorWriteFault);
    EXPECT_EQ(Forms(admin) + std::to_string(Get(admin, u"A").size()) +
                  std::to_string(RegistryKeyPaths(kHkeyCurrentUser).size()),
              before);
    EXPECT_EQ(write(), 0u);
    EXPECT_EQ(CountedWrites(), 2u);
  }
  SetWriteRefusals({1, ~std::uint64_t{0}, 0, kErrorWriteFault});
  EXPECT_EQ(DeletePrinterDataW(admin, u"Missing"), DWORD(kErrorFileNotFound));
  EXPECT_EQ(DeletePrinterDataW(user, u"Missing"), DWORD(kErrorAccessDenied));
  EXPECT_EQ(CountedWrites(), 0u);
  SetWriteRefusals({});
  ClosePrinter(user);
}

TEST_F(Spooler, FormsArePerServerAndGuardedByTheAdministerRight) {
  ASSERT_TRUE(AddPrinter(u"Local") && AddPrinter(u"Remote"));
  ASSERT_TRUE(SetPrinterServer(u"remote", u"\\\\Srv"));
  AddServerForm(u"", kFormBuiltin, u"Letter", 215900, 279400);
  AddServerForm(u"\\\\SRV", kFormUser, u"Far", 1, 2);
  HANDLE local = Open(u"Local"), remote = Open(u"Remote"), reader = Open(u"Local", 0);
  FormInfo1W form{kFormUser, const_cast<char16_t*>(u"Mine"), {100, 200}, {0, 0, 100, 200}};
  const auto* bytes = reinterpret_cast<const BYTE*>(&form);
  // Each call's error (0: it worked), taken as it returns.
  auto error = [](BOOL result) { return result == 1 ? 0 : GetLastError(); };
  const DWORD errors[] = {
      error(AddFormW(local, 1, bytes)),
      error(AddFormW(local, 1, bytes)),
      error(AddFormW(reader, 1, bytes)),
      error(AddFormW(local, 2, bytes)),
      error((form.flags = kFormBuiltin, AddFormW(local, 1, bytes))),
      error(SetFormW(local, u"LETTER", 1, bytes)),
      error(SetFormW(local, u"Nope", 1, bytes)),
      error(DeleteFormW(local, u"Letter")),
      error(DeleteFormW(remote, u"mine")),
      error((form.size.cx = 300, SetFormW(local, u"MINE", 1, bytes))),
  };
  EXPECT_EQ(std::vector<DWORD>(std::begin(errors), std::end(errors)),
            (std::vector<DWORD>{0, kErrorFileExists, kErrorAccessDenied, kErrorInvalidLevel,
                                kErrorInvalidParameter, kErrorAccessDenied, kErrorInvalidFormName,
                                kErrorAccessDenied, kErrorInvalidFormName, 0}));
  EXPECT_EQ(Forms(reader), "Letter:1:215900:279400 Mine:0:300:200 ");
  EXPECT_EQ(Forms(reader, u"mine"), "Mine:0:300:200 ");
  EXPECT_EQ(Forms(remote), "Far:0:1:2 ");
  EXPECT_EQ(DeleteFormW(local, u"Mine"), 1);
  EXPECT_EQ(Forms(local), "Letter:1:215900:279400 ");
  for (HANDLE h : {local, remote, reader})
    ClosePrinter(h);
}

TEST_F(Spooler, PrinterRecordsKeepTheDefaultDeviceModeAndServer) {
  ASSERT_TRUE(AddPrinter(u"P1"));
  HANDLE printer = Open(u"P1"), reader = Open(u"P1", 0);
  std::vector<BYTE> info(1024);
  DWORD needed = 0;
  ASSERT_EQ(GetPrinterW(printer, 2, info.data(), 1024, &needed), 1);
  auto* record = reinterpret_cast<PrinterInfo2W*>(info.data());
  EXPECT_EQ(record->server_name, nullptr);
  // dmSize 80 and dmDriverExtra 4: 84 bytes kept, the canary after them not.
  std::vector<BYTE> dev_mode(90, 0x5A);
  dev_mode[68] = 80, dev_mode[69] = 0, dev_mode[70] = 4, dev_mode[71] = 0;
  record->dev_mode = dev_mode.data();
  EXPECT_EQ(SetPrinterW(reader, 2, info.data(), 0), 0);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_EQ(SetPrinterW(printer, 2, info.data(), 1), 0);
  EXPECT_EQ(SetPrinterW(printer, 2, info.data(), 0), 1);
  dev_mode[68] = 60;  // 64 bytes: shorter than its own size fields
  EXPECT_EQ(SetPrinterW(printer, 2, info.data(), 0), 0);
  ASSERT_TRUE(SetPrinterServer(u"P1", u"\\\\S"));
  ASSERT_EQ(GetPrinterW(reader, 2, info.data(), 1024, &needed), 1);
  EXPECT_EQ(std::u16string(record->server_name), u"\\\\S");
  const auto* stored = static_cast<const BYTE*>(record->dev_mode);
  EXPECT_EQ(std::string(stored, stored + 84), std::string(84, 0x5A).replace(68, 4, "P\0\4\0", 4));
  EXPECT_EQ(static_cast<std::size_t>(info.data() + needed - stored), 84u);
  // A user who may not administer printers opens them only to use them.
  SetPrinterAdministerDenied(true);
  HANDLE denied = nullptr;
  PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
  EXPECT_EQ(OpenPrinterW(u"P1", &denied, &all), 0);
  EXPECT_EQ(GetLastError(), kErrorAccessDenied);
  EXPECT_EQ(OpenPrinterW(u"P1", &denied, nullptr), 1);
  for (HANDLE h : {printer, reader, denied})
    ClosePrinter(h);
}

// The change stamp moves with each change of the printer's data, record or
// forms, through whatever handle or the registry, and with nothing else.
TEST_F(Spooler, ChangeStampMovesWithEachChangeOfThePrinter) {
  ASSERT_TRUE(AddPrinter(u"A") && AddPrinter(u"B"));
  HANDLE a = Open(u"A"), reader = Open(u"a", 0), b = Open(u"B");
  HKEY key = nullptr;
  ASSERT_EQ(
      RegOpenKeyExW(kHkeyLocalMachine, PrinterDataKeyPath(u"A").c_str(), 0, kKeyAllAccess, &key),
      0);
  const BYTE one[] = {1};
  std::vector<BYTE> info(1024), dev_mode(72, 0);
  DWORD needed = 0;
  ASSERT_EQ(GetPrinterW(a, 2, info.data(), 1024, &needed), 1);
  dev_mode[68] = 72;
  reinterpret_cast<PrinterInfo2W*>(info.data())->dev_mode = dev_mode.data();
  FormInfo1W form{kFormUser, const_cast<char16_t*>(u"Mine"), {100, 200}, {0, 0, 100, 200}};
  const auto* bytes = reinterpret_cast<const BYTE*>(&form);
  const struct {
    const char* step;
    std::function<bool()> run;
    bool a_changes, b_changes;
  } steps[] = {
      {"write", [&] { return SetPrinterDataW(a, u"V", kRegBinary, one, 1) == 0; }, true, false},
      {"read", [&] { return Get(reader, u"V").size() == 1; }, false, false},
      {"refused", [&] { return SetPrinterDataW(reader, u"V", kRegBinary, one, 1) != 0; }, false,
       false},
      {"registry write", [&] { return RegSetValueExW(key, u"W", 0, kRegBinary, one, 1) == 0; },
       true, false},
      {"registry delete", [&] { return RegDeleteValueW(key, u"W") == 0; }, true, false},
      {"nothing deleted", [&] { return RegDeleteValueW(key, u"W") != 0; }, false, false},
      {"B's data", [&] { return SetPrinterDataW(b, u"V", kRegBinary, one, 1) == 0; }, false, true},
      {"record", [&] { return SetPrinterW(a, 2, info.data(), 0) == 1; }, true, false},
      {"form by B", [&] { return AddFormW(b, 1, bytes) == 1; }, true, true},
      {"form changed", [&] { return SetFormW(a, u"mine", 1, bytes) == 1; }, true, true},
      {"form deleted", [&] { return DeleteFormW(a, u"Mine") == 1; }, true, true},
      {"server", [&] { return SetPrinterServer(u"A", u"\\\\S"); }, true, false},
      {"old server's form", [&] { return AddFormW(b, 1, bytes) == 1; }, false, true},
  };
  for (const auto& step : steps) {
    const std::uint64_t a_before = GetPrinterChangeStamp(a);
    const std::uint64_t b_before = GetPrinterChangeStamp(b);
    ASSERT_TRUE(step.run()) << step.step;
    EXPECT_EQ(GetPrinterChangeStamp(a) != a_before, step.a_changes) << step.step;
    EXPECT_EQ(GetPrinterChangeStamp(b) != b_before, step.b_changes) << step.step;
    EXPECT_EQ(GetPrinterChangeStamp(reader), GetPrinterChangeStamp(a)) << step.step;
  }
  RegCloseKey(key);
  for (HANDLE h : {a, reader, b})
    ClosePrinter(h);
  EXPECT_EQ(GetPrinterChangeStamp(a), 0u);
}

TEST(MulDiv, RoundsHalfAwayFromZero) {
  // (number, numerator, denominator) -> result, worked by hand.
  const int cases[][4] = {
      {4960, 25400, 600, 209973},  // 209,973.33
      {7016, 25400, 600, 297011},  // 297,010.67
      {2100, 25400, 254, 210000},
      {5, 1, 2, 3},
      {-5, 1, 2, -3},
      {5, -1, 2, -3},
      {-5, -1, 2, 3},
      {7, 1, 3, 2},
      {8, 1, 3, 3},
      {1, 1, 0, -1},
      {0x7FFFFFFF, 2, 1, -1},
      {0x7FFFFFFF, 2, 2, 0x7FFFFFFF},
      {-0x7FFFFFFF - 1, -1, 1, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MulDiv(c[0], c[1], c[2]), c[3]) << c[0] << " " << c[1] << " " << c[2];
}

// Eight threads on two printers: each opens and closes its own handles,
// rewrites a value of its own and a value shared with the three other
// threads of its printer, and reads both back. A shared value must always
// read whole (one writer's bytes), an own value exactly as written, and no
// value may cross to the other printer.
TEST_F(Spooler, EightThreadsOnTwoPrintersData) {
  ASSERT_TRUE(AddPrinter(u"P0"));
  ASSERT_TRUE(AddPrinter(u"P1"));
  constexpr int kThreads = 8;
  constexpr int kRounds = 200;
  constexpr DWORD kSharedSize = 64;
  std::atomic<int> faults{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &faults] {
      const std::u16string printer = t % 2 == 0 ? u"P0" : u"P1";
      const std::u16string own = u"T" + std::u16string(1, static_cast<char16_t>(u'0' + t));
      for (int round = 0; round < kRounds; ++round) {
        HANDLE handle = nullptr;
        PrinterDefaultsW defaults{nullptr, nullptr, kPrinterAllAccess};
        if (OpenPrinterW(printer.c_str(), &handle, &defaults) != 1) {
          ++faults;
          return;
        }
        const DWORD mine = static_cast<DWORD>(t * kRounds + round);
        BYTE shared[kSharedSize];
        std::memset(shared, static_cast<BYTE>(mine), kSharedSize);
        if (SetPrinterDataW(handle, u"Shared", kRegBinary, shared, kSharedSize - (mine % 2)) != 0 ||
            SetPrinterDataW(handle, own.c_str(), kRegDword, reinterpret_cast<const BYTE*>(&mine),
                            4) != 0) {
          ++faults;
        }
        BYTE read[kSharedSize];
        DWORD needed = 0, type = 0;
        if (GetPrinterDataW(handle, u"shared", &type, read, kSharedSize, &needed) != 0 ||
            type != kRegBinary || needed < kSharedSize - 1) {
          ++faults;
        } else {
          for (DWORD i = 1; i < needed; ++i) {
            if (read[i] != read[0]) ++faults;
          }
          // The length tells which writer's bytes these are.
          if ((needed == kSharedSize) != (read[0] % 2 == 0)) ++faults;
        }
        DWORD value = 0;
        if (GetPrinterDataW(handle, own.c_str(), &type, reinterpret_cast<BYTE*>(&value), 4,
                            &needed) != 0 ||
            value != mine) {
          ++faults;
        }
        if (ClosePrinter(handle) != 1) ++faults;
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  EXPECT_EQ(faults.load(), 0);
  SpoolerCounters counters = GetSpoolerCounters();
  EXPECT_EQ(counters.opens, static_cast<std::uint32_t>(kThreads * kRounds));
  EXPECT_EQ(counters.closes, counters.opens);
  EXPECT_EQ(counters.open_handles, 0u);
  EXPECT_EQ(RegistryValueNames(kHkeyLocalMachine, PrinterDataKeyPath(u"P0")),
            (std::vector<std::u16string>{u"Shared", u"T0", u"T2", u"T4", u"T6"}));
  EXPECT_EQ(RegistryValueNames(kHkeyLocalMachine, PrinterDataKeyPath(u"P1")),
            (std::vector<std::u16string>{u"Shared", u"T1", u"T3", u"T5", u"T7"}));
}

}  // namespace
