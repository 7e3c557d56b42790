// Pseudo printer names that lead to registry keys, registry numbers, and
// the strings under the printer's own key.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "support/fake_driver_data.h"
#include "support/test_os_factory.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace {

using namespace platform;

constexpr char16_t kPoolKey[] = u"Software\\Kestrova\\ID\\LocalWatermarkPoolData";
// The per-user pool as its owner names it: the user's root in signed
// decimal.
const RWWString kPool = u"???\\-2147483647\\Software\\Kestrova\\ID\\LocalWatermarkPoolData\\Pool";

class RegistryAccess : public testing_support::HostFixture {
 protected:
  std::vector<std::u16string> PoolNames() const {
    return RegistryValueNames(kHkeyCurrentUser, kPoolKey);
  }
  static std::string Raw(HKEY root, const char16_t* key, const char16_t* name, DWORD* type) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key, 0, kKeyRead, &opened) != 0) return "no key";
    DWORD size = 0;
    LONG result = RegQueryValueExW(opened, name, nullptr, type, nullptr, &size);
    std::string bytes(size, '\0');
    if (result == 0 && size) {
      RegQueryValueExW(opened, name, nullptr, type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    }
    RegCloseKey(opened);
    return result == 0 ? bytes : "absent";
  }
  static void Put(HKEY root, const char16_t* key, const char16_t* name, DWORD type,
                  const std::string& bytes) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key, 0, u"", 0, kKeyAllAccess, nullptr, &opened, nullptr), 0);
    ASSERT_EQ(RegSetValueExW(opened, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              0);
    RegCloseKey(opened);
  }

  HostOSFactory services_;
};

TEST_F(RegistryAccess, PseudoNames) {
  EXPECT_EQ(GNTOSFactory::IsPseudoName(u"???"), 1);
  EXPECT_EQ(GNTOSFactory::IsPseudoName(u"???\\x"), 1);
  EXPECT_EQ(GNTOSFactory::IsPseudoName(u"??"), 0);
  EXPECT_EQ(GNTOSFactory::IsPseudoName(u"?? ?"), 0);
  struct Case {
    const char16_t* name;
    HKEY root;  // null: refused
    const char16_t* key;
    const char16_t* value;
  } cases[] = {
      {u"???\\2147483649\\A\\B\\V", kHkeyCurrentUser, u"A\\B", u"V"},
      {u"???\\-2147483647\\A\\V", kHkeyCurrentUser, u"A", u"V"},
      {u"???\\2147483650\\A\\V", kHkeyLocalMachine, u"A", u"V"},
      {u"???\\-2147483646\\A\\", kHkeyLocalMachine, u"A", u""},
      {u"???\\2147483651\\A\\V", nullptr, nullptr, nullptr},   // no predefined root
      {u"???\\214748364x\\A\\V", nullptr, nullptr, nullptr},   // not a number
      {u"???\\21474836490\\A\\V", nullptr, nullptr, nullptr},  // too long
      {u"???\\2147483649\\V", nullptr, nullptr, nullptr},      // no key path
      {u"???\\2147483649", nullptr, nullptr, nullptr},
      {u"???", nullptr, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(c.name)));
    HKEY root = nullptr;
    RWWString path, value;
    const int parsed = GNTOSFactory::ParsePseudoName(c.name, root, path, value);
    EXPECT_EQ(parsed, c.root ? 1 : 0);
    EXPECT_EQ(root, c.root);
    if (!parsed) continue;
    EXPECT_EQ(path, c.key);
    EXPECT_EQ(value, c.value);
    // Naming a value makes nothing: a read never writes.
    HKEY check = nullptr;
    EXPECT_NE(RegOpenKeyExW(c.root, c.key, 0, kKeyRead, &check), 0);
  }
  EXPECT_EQ(OpenRegistryKeyCount(), 0u);
}

// The stored form of chunked values under a pseudo name is that of printer
// data: a REG_DWORD count K = L / 248 + 1 and REG_BINARY chunks N:0 ...
TEST_F(RegistryAccess, ChunkedValuesUnderAPseudoName) {
  struct Case {
    std::uint32_t length;
    std::vector<std::u16string> names;
    std::string count;  // the stored count, little-endian
  } cases[] = {
      {0, {u"Pool", u"Pool:0"}, std::string("\x01\0\0\0", 4)},
      {248, {u"Pool", u"Pool:0", u"Pool:1"}, std::string("\x02\0\0\0", 4)},
      {249, {u"Pool", u"Pool:0", u"Pool:1"}, std::string("\x02\0\0\0", 4)},
      {1000,
       {u"Pool", u"Pool:0", u"Pool:1", u"Pool:2", u"Pool:3", u"Pool:4"},
       std::string("\x05\0\0\0", 4)},
      {300, {u"Pool", u"Pool:0", u"Pool:1"}, std::string("\x02\0\0\0", 4)},  // 1000 shrunk
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    std::string data(c.length, '\0');
    for (std::uint32_t i = 0; i < c.length; ++i)
      data[i] = static_cast<char>(i * 7);
    ASSERT_EQ(services_.WriteChunkedValue(nullptr, kPool, data.data(), c.length), 1);
    EXPECT_EQ(PoolNames(), c.names);
    DWORD type = 0;
    EXPECT_EQ(Raw(kHkeyCurrentUser, kPoolKey, u"Pool", &type), c.count);
    EXPECT_EQ(type, kRegDword);
    std::uint32_t last = c.length % 248;
    EXPECT_EQ(Raw(kHkeyCurrentUser, kPoolKey, c.names.back().c_str(), &type).size(), last);
    EXPECT_EQ(type, kRegBinary);
    std::string back(248 * (c.length / 248 + 1), '\0');
    std::uint32_t got = 0;
    ASSERT_EQ(services_.ReadChunkedValue(nullptr, kPool, back.data(),
                                         static_cast<std::uint32_t>(back.size()), got),
              1);
    EXPECT_EQ(back.substr(0, got), data);
  }
  // Count 5 into 1024 bytes: refused with the most it can hold.
  std::string data(1000, 'x');
  ASSERT_EQ(services_.WriteChunkedValue(nullptr, kPool, data.data(), 1000), 1);
  std::string buffer(1240, '\0');
  std::uint32_t got = 0;
  EXPECT_EQ(services_.ReadChunkedValue(nullptr, kPool, buffer.data(), 1024, got), 0);
  EXPECT_EQ(got, 1240u);
  EXPECT_EQ(services_.ReadChunkedValue(nullptr, kPool, buffer.data(), 1240, got), 1);
  EXPECT_EQ(got, 1000u);
  // A chunk that is not binary, or missing, fails the read.
  Put(kHkeyCurrentUser, kPoolKey, u"Pool:2", kRegSz, std::string(248, 'a'));
  got = 7;
  EXPECT_EQ(services_.ReadChunkedValue(nullptr, kPool, buffer.data(), 1240, got), 0);
  EXPECT_EQ(got, 7u);
  // A huge stored count is refused without a large allocation.
  Put(kHkeyCurrentUser, kPoolKey, u"Pool", kRegDword, std::string("\xFF\xFF\xFF\xFF", 4));
  EXPECT_EQ(services_.ReadChunkedValue(nullptr, kPool, nullptr, 0, got), 0);
  // A key that does not exist fails the read, and is not made.
  const RWWString fresh = u"???\\2147483650\\Software\\Fresh\\V";
  EXPECT_EQ(services_.ReadChunkedValue(nullptr, fresh, nullptr, 0, got), 0);
  EXPECT_EQ(Raw(kHkeyLocalMachine, u"Software\\Fresh", u"V", nullptr), "no key");
}

TEST_F(RegistryAccess, ANamedObjectUnderAPseudoName) {
  ASSERT_TRUE(AddPrinter(u"P1"));
  FakeDriverData printer(u"P1");
  GAttributeComposite pool(378);
  pool.AddChild(new GValueAttribute(2, 1125));
  pool.AddChild(new GStringAttribute("Draft", 384));
  ASSERT_EQ(services_.StoreNamedObject(&printer, kPool, &pool), 1);
  std::unique_ptr<RWCollectable> back(services_.LoadNamedObject(&printer, kPool, 0));
  ASSERT_NE(back, nullptr);
  EXPECT_TRUE(back->IsEqual(&pool));
  // Nothing went to the printer's data.
  EXPECT_TRUE(RegistryValueNames(kHkeyLocalMachine, PrinterDataKeyPath(u"P1")).empty());
  EXPECT_EQ(PoolNames().size(), 2u);
}

TEST_F(RegistryAccess, RegistryNumbers) {
  constexpr char16_t kKey[] = u"Software\\Kestrova\\KV FA Drivers";
  Put(kHkeyLocalMachine, kKey, u"Dword", kRegDword, std::string("\x2A\0\0\0", 4));
  Put(kHkeyLocalMachine, kKey, u"Binary", kRegBinary, std::string("\x2A\0\0\0", 4));
  Put(kHkeyLocalMachine, kKey, u"Short", kRegDword, std::string("\x2A\0", 2));
  Put(kHkeyCurrentUser, kKey, u"Dword", kRegDword, std::string("\x07\0\0\x80", 4));
  struct Case {
    HKEY root;
    const char16_t* key;
    const char16_t* name;
    std::uint32_t expected;
  } cases[] = {
      {kHkeyLocalMachine, kKey, u"Dword", 42},
      {kHkeyLocalMachine, kKey, u"Binary", 99},
      {kHkeyLocalMachine, kKey, u"Short", 99},
      {kHkeyLocalMachine, kKey, u"None", 99},
      {kHkeyLocalMachine, u"Software\\No", u"Dword", 99},
      {kHkeyCurrentUser, kKey, u"Dword", 0x80000007},
      {kHkeyCurrentUser, kKey, u"Binary", 99},
  };
  for (const Case& c : cases) {
    std::uint32_t read = c.root == kHkeyLocalMachine ? services_.ReadMachineDword(c.key, c.name, 99)
                                                     : services_.ReadUserDword(c.key, c.name, 99);
    EXPECT_EQ(read, c.expected) << testing::PrintToString(std::u16string(c.name));
  }

  // EnsureMachineDword: a missing key is its error; an existing value stays.
  EXPECT_EQ(services_.EnsureMachineDword(u"Software\\No", u"V", 5),
            static_cast<std::int32_t>(kErrorFileNotFound));
  EXPECT_EQ(services_.EnsureMachineDword(kKey, u"Dword", 5), 0);
  EXPECT_EQ(services_.ReadMachineDword(kKey, u"Dword", 0), 42u);
  EXPECT_EQ(services_.EnsureMachineDword(kKey, u"New", 5), 0);
  EXPECT_EQ(services_.ReadMachineDword(kKey, u"New", 0), 5u);
  // A write that fails is reported, not taken for success.
  SetRegistryWriteFailure(kHkeyLocalMachine, kKey, u"Other", kErrorAccessDenied);
  EXPECT_EQ(services_.EnsureMachineDword(kKey, u"Other", 5),
            static_cast<std::int32_t>(kErrorAccessDenied));

  // WriteUserDword makes the key.
  EXPECT_EQ(services_.WriteUserDword(u"Software\\Kestrova\\ID\\LocalJobStorageData",
                                     u"LocalJobStorage", 3),
            1);
  DWORD type = 0;
  EXPECT_EQ(Raw(kHkeyCurrentUser, u"Software\\Kestrova\\ID\\LocalJobStorageData",
                u"LocalJobStorage", &type),
            std::string("\x03\0\0\0", 4));
  EXPECT_EQ(type, kRegDword);
  EXPECT_EQ(OpenRegistryKeyCount(), 0u);
}

TEST_F(RegistryAccess, StringsUnderThePrintersKey) {
  ASSERT_TRUE(AddPrinter(u"P1"));
  FakeDriverData printer(u"P1");
  const std::u16string key = std::u16string(kPrintersKeyPath) + u"\\P1\\Agent";
  // An empty value writes nothing and succeeds.
  EXPECT_EQ(services_.WritePrinterKeyString(&printer, u"Agent", u"Empty", u""), 1);
  EXPECT_EQ(Raw(kHkeyLocalMachine, key.c_str(), u"Empty", nullptr), "absent");
  // The text and its terminator, UTF-16 little-endian.
  EXPECT_EQ(services_.WritePrinterKeyString(&printer, u"Agent", u"Model", u"KV\u00e9"), 1);
  DWORD type = 0;
  EXPECT_EQ(testing_support::Hex(Raw(kHkeyLocalMachine, key.c_str(), u"Model", &type)),
            "4B 00 56 00 E9 00 00 00");
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(services_.ReadPrinterKeyString(&printer, u"Agent", u"Model", u"-"), u"KV\u00e9");
  EXPECT_EQ(services_.ReadPrinterKeyString(&printer, u"Agent", u"None", u"-"), u"-");
  EXPECT_EQ(services_.ReadPrinterKeyString(&printer, u"Nowhere", u"Model", u"-"), u"-");
  EXPECT_EQ(services_.WritePrinterKeyString(nullptr, u"Agent", u"Model", u"x"), 0);
}

}  // namespace
