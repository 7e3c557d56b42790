#include "platform/host/registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/host/reset.h"
#include "tests/support/host_fixture.h"

namespace {

using namespace platform;

class Registry : public testing_support::HostFixture {};

HKEY Create(HKEY root, const char16_t* path, DWORD access = kKeyAllAccess) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExW(root, path, 0, u"", 0, access, nullptr, &key, nullptr), 0);
  return key;
}

LONG Set(HKEY key, const char16_t* name, DWORD type, const std::vector<BYTE>& bytes) {
  return RegSetValueExW(key, name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
}

TEST_F(Registry, KeysAndNamesIgnoreCaseAndHivesAreApart) {
  DWORD disposition = 0;
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(kHkeyLocalMachine, u"Software\\Kestrova\\Drv", 0, u"", 0, kKeyAllAccess,
                            nullptr, &key, &disposition),
            0);
  EXPECT_EQ(disposition, kRegCreatedNewKey);
  ASSERT_EQ(Set(key, u"Mode", kRegDword, {1, 0, 0, 0}), 0);
  ASSERT_EQ(Set(key, u"MODE", kRegDword, {2, 0, 0, 0}), 0);  // the same value
  EXPECT_EQ(RegCloseKey(key), 0);

  HKEY again = nullptr;
  ASSERT_EQ(RegCreateKeyExW(kHkeyLocalMachine, u"SOFTWARE\\kestrova\\DRV", 0, nullptr, 0, kKeyRead,
                            nullptr, &again, &disposition),
            0);
  EXPECT_EQ(disposition, kRegOpenedExistingKey);
  DWORD type = 0, value = 0, size = 4;
  EXPECT_EQ(
      RegQueryValueExW(again, u"mode", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), 0);
  EXPECT_EQ(value, 2u);
  EXPECT_EQ(RegistryValueNames(kHkeyLocalMachine, u"software\\KESTROVA\\drv"),
            std::vector<std::u16string>{u"Mode"});  // the first writer's case
  EXPECT_EQ(RegCloseKey(again), 0);

  HKEY user = nullptr;
  EXPECT_EQ(RegOpenKeyExW(kHkeyCurrentUser, u"Software\\Kestrova\\Drv", 0, kKeyRead, &user),
            kErrorFileNotFound);
  EXPECT_EQ(user, nullptr);

  struct Case {
    const char16_t* path;
    LONG open;
  };
  const Case cases[] = {
      {u"Software", 0},
      {u"software\\kestrova", 0},
      {u"", 0},
      {nullptr, 0},
      {u"Software\\Other", kErrorFileNotFound},
      {u"\\Software", kErrorBadPathname},
      {u"Software\\\\Kestrova", kErrorBadPathname},
      {u"Software\\", kErrorBadPathname},
  };
  for (const Case& c : cases) {
    HKEY opened = nullptr;
    EXPECT_EQ(RegOpenKeyExW(kHkeyLocalMachine, c.path, 0, kKeyRead, &opened), c.open);
    EXPECT_EQ(opened != nullptr, c.open == 0);
    if (opened != nullptr) {
      EXPECT_EQ(RegCloseKey(opened), 0);
    }
  }
  EXPECT_EQ(OpenRegistryKeyCount(), 0u);
}

TEST_F(Registry, QueriesFollowTheSizeProtocol) {
  HKEY key = Create(kHkeyCurrentUser, u"Printers\\Connections\\P1");
  // "TRUE" as REG_SZ with its terminator: UTF-16 little-endian, 10 bytes.
  const std::vector<BYTE> text = {0x54, 0, 0x52, 0, 0x55, 0, 0x45, 0, 0, 0};
  ASSERT_EQ(Set(key, u"Stale", kRegSz, text), 0);

  struct Case {
    bool with_data;
    DWORD size_in;
    LONG result;
    DWORD size_out;
    bool copied;
  };
  const Case cases[] = {
      {false, 0, 0, 10, false},              // asks the size
      {true, 0, kErrorMoreData, 10, false},  // short: needed size, nothing copied
      {true, 9, kErrorMoreData, 10, false},  //
      {true, 10, 0, 10, true},               // exact
      {true, 64, 0, 10, true},               // room to spare
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size_in);
    BYTE buffer[64];
    std::memset(buffer, 0xCC, sizeof buffer);
    DWORD type = 99, size = c.size_in;
    EXPECT_EQ(
        RegQueryValueExW(key, u"STALE", nullptr, &type, c.with_data ? buffer : nullptr, &size),
        c.result);
    EXPECT_EQ(type, kRegSz);
    EXPECT_EQ(size, c.size_out);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + 10) == text, c.copied);
    if (c.copied) {
      EXPECT_EQ(buffer[10], 0xCC);
    }
  }
  BYTE buffer[4];
  DWORD size = 4;
  EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, nullptr, buffer, &size), kErrorFileNotFound);
  EXPECT_EQ(RegQueryValueExW(key, u"Stale", nullptr, nullptr, buffer, nullptr),
            kErrorInvalidParameter);
  EXPECT_EQ(RegQueryValueExW(key, u"Stale", nullptr, nullptr, nullptr, nullptr), 0);

  // The 8-bit query answers the text in the code page, terminator included.
  char narrow[16] = {};
  DWORD narrow_size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "stale", nullptr, nullptr, reinterpret_cast<BYTE*>(narrow),
                             &narrow_size),
            kErrorMoreData);
  EXPECT_EQ(narrow_size, 5u);
  narrow_size = sizeof narrow;
  EXPECT_EQ(RegQueryValueExA(key, "stale", nullptr, nullptr, reinterpret_cast<BYTE*>(narrow),
                             &narrow_size),
            0);
  EXPECT_EQ(std::string(narrow, narrow_size), std::string("TRUE", 5));
  ASSERT_EQ(Set(key, u"Bad", kRegSz, {0x00, 0xD8}), 0);  // an unpaired surrogate
  EXPECT_EQ(RegQueryValueExA(key, "Bad", nullptr, nullptr, nullptr, &narrow_size),
            kErrorInvalidData);
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(Registry, ValuesKeepTheirTypeAndBytes) {
  HKEY key = Create(kHkeyLocalMachine, u"A");
  struct Case {
    const char16_t* name;
    DWORD type;
    std::vector<BYTE> bytes;
  };
  const Case cases[] = {
      {u"Dword", kRegDword, {0x78, 0x56, 0x34, 0x12}},
      {u"ShortDword", kRegDword, {1, 2}},  // kept as given, not checked
      {u"Text", kRegSz, {0x41, 0}},        // no terminator
      {u"Binary", kRegBinary, {0, 0xFF, 0, 0x80}},
      {u"Empty", kRegBinary, {}},
      {u"", kRegSz, {0x42, 0, 0, 0}},  // the default value
  };
  for (const Case& c : cases)
    ASSERT_EQ(Set(key, c.name, c.type, c.bytes), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::u16string(c.name).size());
    BYTE buffer[16];
    DWORD type = 0, size = sizeof buffer;
    ASSERT_EQ(RegQueryValueExW(key, c.name, nullptr, &type, buffer, &size), 0);
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), c.bytes);
  }
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, &size), 0);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(RegSetValueExW(key, u"Null", 0, kRegBinary, nullptr, 3), kErrorInvalidParameter);
  EXPECT_EQ(RegDeleteValueW(key, u"TEXT"), 0);
  EXPECT_EQ(RegDeleteValueW(key, u"Text"), kErrorFileNotFound);
  EXPECT_EQ(RegistryValueNames(kHkeyLocalMachine, u"a"),
            (std::vector<std::u16string>{u"", u"Binary", u"Dword", u"Empty", u"ShortDword"}));
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(Registry, HandlesCarryTheirAccessAndDieWhenClosed) {
  HKEY writer = Create(kHkeyLocalMachine, u"K");
  HKEY reader = Create(kHkeyLocalMachine, u"K", kKeyRead);
  HKEY setter = Create(kHkeyLocalMachine, u"K", kKeyWrite);
  ASSERT_EQ(Set(writer, u"V", kRegDword, {1, 0, 0, 0}), 0);
  DWORD size = 0;
  struct Case {
    HKEY key;
    LONG query, set, remove;
  };
  const Case cases[] = {
      {reader, 0, kErrorAccessDenied, kErrorAccessDenied},
      {setter, kErrorAccessDenied, 0, 0},
      {kHkeyLocalMachine, kErrorFileNotFound, 0, 0},  // the root itself
      {reinterpret_cast<HKEY>(std::uintptr_t{0x80000000}), kErrorInvalidHandle, kErrorInvalidHandle,
       kErrorInvalidHandle},
      {nullptr, kErrorInvalidHandle, kErrorInvalidHandle, kErrorInvalidHandle},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RegQueryValueExW(c.key, u"V", nullptr, nullptr, nullptr, &size), c.query);
    EXPECT_EQ(Set(c.key, u"V", kRegDword, {2, 0, 0, 0}), c.set);
    EXPECT_EQ(RegDeleteValueW(c.key, u"V"), c.remove);
  }
  EXPECT_EQ(OpenRegistryKeyCount(), 3u);
  for (HKEY key : {writer, reader, setter})
    EXPECT_EQ(RegCloseKey(key), 0);
  EXPECT_EQ(RegCloseKey(writer), kErrorInvalidHandle);
  EXPECT_EQ(RegQueryValueExW(reader, u"V", nullptr, nullptr, nullptr, &size), kErrorInvalidHandle);
  EXPECT_EQ(RegCloseKey(kHkeyCurrentUser), 0);
  EXPECT_EQ(RegOpenKeyExW(kHkeyLocalMachine, u"K", 0, kKeyRead, nullptr), kErrorInvalidParameter);

  // A reset closes every key; its handles are refused, never aliased.
  HKEY kept = Create(kHkeyCurrentUser, u"Kept");
  ResetHostServices();
  EXPECT_EQ(OpenRegistryKeyCount(), 0u);
  EXPECT_EQ(Set(kept, u"V", kRegDword, {1, 0, 0, 0}), kErrorInvalidHandle);
  EXPECT_TRUE(RegistryValueNames(kHkeyLocalMachine, u"K").empty());
}

TEST_F(Registry, InjectedWriteFailuresLeaveTheValue) {
  HKEY key = Create(kHkeyLocalMachine, u"Software\\Pools");
  ASSERT_EQ(Set(key, u"Pool:0", kRegBinary, {1, 2, 3}), 0);
  SetRegistryWriteFailure(kHkeyLocalMachine, u"SOFTWARE\\pools", u"POOL:0", kErrorWriteFault);
  EXPECT_EQ(Set(key, u"Pool:0", kRegBinary, {9}), kErrorWriteFault);
  EXPECT_EQ(Set(key, u"Pool:1", kRegBinary, {9}), 0);  // other values write
  BYTE buffer[8];
  DWORD size = sizeof buffer;
  ASSERT_EQ(RegQueryValueExW(key, u"Pool:0", nullptr, nullptr, buffer, &size), 0);
  EXPECT_EQ(std::vector<BYTE>(buffer, buffer + size), (std::vector<BYTE>{1, 2, 3}));
  SetRegistryWriteFailure(kHkeyLocalMachine, u"Software\\Pools", u"Pool:0", 0);
  EXPECT_EQ(Set(key, u"Pool:0", kRegBinary, {9}), 0);
  EXPECT_EQ(RegCloseKey(key), 0);
}

}  // namespace
