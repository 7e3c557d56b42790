// The driver's printer-data services over the spooler's stand-in: plain
// values, chunked values and their stored form, and the registry reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "driver/chunked_value.h"
#include "driver/nt_os_factory.h"
#include "driver/stored_state.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "platform/host/system_writes.h"
#include "support/fake_driver_data.h"
#include "support/test_os_factory.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace {

using namespace platform;
using testing_support::Hex;

constexpr std::uint32_t kUntouched = 77;

class PrinterData : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    ASSERT_TRUE(AddPrinter(u"P1"));
  }

  // The printer's data as the registry holds it.
  std::vector<std::u16string> Names() const {
    return RegistryValueNames(kHkeyLocalMachine, PrinterDataKeyPath(u"P1"));
  }
  // The bytes and type of a value; "absent" when it is missing.
  static std::string Raw(const char16_t* name, DWORD* type = nullptr) {
    HKEY key = nullptr;
    EXPECT_EQ(
        RegOpenKeyExW(kHkeyLocalMachine, PrinterDataKeyPath(u"P1").c_str(), 0, kKeyRead, &key), 0u);
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, type, nullptr, &size);
    std::string bytes(size, '\0');
    if (result == 0 && size) {
      RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(bytes.data()), &size);
    }
    RegCloseKey(key);
    return result == 0 ? bytes : "absent";
  }
  static void PutRaw(const char16_t* name, DWORD type, const std::string& bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExW(kHkeyLocalMachine, PrinterDataKeyPath(u"P1").c_str(), 0, kKeyAllAccess, &key),
        0u);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              0u);
    RegCloseKey(key);
  }

  HostOSFactory services_;
  FakeDriverData printer_{u"P1"};
};

// Bytes 0, 1, 2, ... (mod 251, so that chunk boundaries never line up with
// the pattern).
std::string Pattern(std::size_t length, int seed = 0) {
  std::string bytes(length, '\0');
  for (std::size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<char>((i + static_cast<std::size_t>(seed)) % 251);
  return bytes;
}

TEST_F(PrinterData, ChunkedValuesStoreCountAndChunks) {
  // K = floor(L / 248) + 1; every chunk but the last 248 bytes, the last
  // L mod 248 (written even when empty).
  struct Case {
    std::uint32_t length;
    const char* count_bytes;  // the count, REG_DWORD little-endian
    std::vector<std::uint32_t> chunks;
  };
  const Case cases[] = {
      {0, "01 00 00 00", {0}},
      {1, "01 00 00 00", {1}},
      {247, "01 00 00 00", {247}},
      {248, "02 00 00 00", {248, 0}},
      {249, "02 00 00 00", {248, 1}},
      {1000, "05 00 00 00", {248, 248, 248, 248, 8}},
      {2728, "0C 00 00 00", {248, 248, 248, 248, 248, 248, 248, 248, 248, 248, 248, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.length);
    platform::ResetHostServices();
    ASSERT_TRUE(AddPrinter(u"P1"));
    std::string data = Pattern(c.length);
    ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"N", data.data(), c.length), 1);

    std::vector<std::u16string> expected = {u"N"};
    for (std::size_t i = 0; i < c.chunks.size(); ++i) {
      std::string decimal = std::to_string(i);
      expected.push_back(u"N:" + std::u16string(decimal.begin(), decimal.end()));
    }
    std::vector<std::u16string> names = Names();
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);

    DWORD type = 0;
    EXPECT_EQ(Hex(Raw(u"N", &type)), c.count_bytes);
    EXPECT_EQ(type, kRegDword);
    std::string joined;
    for (std::uint32_t i = 0; i < c.chunks.size(); ++i) {
      RWWString chunk_name = ChunkName(u"N", i);
      std::string chunk = Raw(chunk_name.Data(), &type);
      EXPECT_EQ(type, kRegBinary);
      EXPECT_EQ(chunk.size(), c.chunks[i]) << i;
      joined += chunk;
    }
    EXPECT_EQ(joined, data);

    std::vector<char> back(248 * c.chunks.size());
    std::uint32_t got = kUntouched;
    ASSERT_EQ(services_.ReadChunkedValue(&printer_, u"N", back.data(),
                                         static_cast<std::uint32_t>(back.size()), got),
              1);
    EXPECT_EQ(std::string(back.data(), got), data);
  }
  EXPECT_EQ(ChunkName(u"N", 10).Compare(u"N:10"), 0);
  EXPECT_EQ(ChunkName(u"N", 4294967295u).Compare(u"N:4294967295"), 0);
}

TEST_F(PrinterData, RewritingDeletesStaleChunks) {
  std::string long_value = Pattern(1000);
  ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"N", long_value.data(), 1000), 1);
  std::string short_value = Pattern(300, 7);
  ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"N", short_value.data(), 300), 1);
  EXPECT_EQ(Names(), (std::vector<std::u16string>{u"N", u"N:0", u"N:1"}));
  char back[496];
  std::uint32_t got = 0;
  ASSERT_EQ(services_.ReadChunkedValue(&printer_, u"N", back, sizeof back, got), 1);
  EXPECT_EQ(std::string(back, got), short_value);

  // A damaged old count names chunks that do not exist: deleting stops at
  // the first one missing (rather than running to the count).
  PutRaw(u"M", kRegDword, std::string("\xFF\xFF\xFF\xFF", 4));
  PutRaw(u"M:1", kRegBinary, "old");
  PutRaw(u"M:2", kRegBinary, "old");
  PutRaw(u"M:4", kRegBinary, "gap");
  ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"M", "abc", 3), 1);
  EXPECT_EQ(Raw(u"M:1"), "absent");
  EXPECT_EQ(Raw(u"M:2"), "absent");
  EXPECT_EQ(Raw(u"M:4"), "gap");
  EXPECT_EQ(Hex(Raw(u"M")), "01 00 00 00");
}

TEST_F(PrinterData, ReadsCheckTheStoredCountAndChunks) {
  std::string value = Pattern(1000);
  ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"N", value.data(), 1000), 1);

  struct Case {
    const char* what;
    const char16_t* name;
    std::uint32_t size;  // 0: no buffer
    int result;
    std::uint32_t got;
  };
  const Case cases[] = {
      {"size query", u"N", 0, 1, 1240},
      {"1024 bytes are too few for count 5", u"N", 1024, 0, 1240},
      {"1239 too", u"N", 1239, 0, 1240},
      {"1240 read the true length", u"N", 1240, 1, 1000},
      {"missing", u"Missing", 4096, 0, kUntouched},
      {"missing, size query", u"Missing", 0, 0, kUntouched},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<char> buffer(std::max<std::uint32_t>(c.size, 1));
    std::uint32_t got = kUntouched;
    EXPECT_EQ(services_.ReadChunkedValue(&printer_, c.name, c.size ? buffer.data() : nullptr,
                                         c.size, got),
              c.result);
    EXPECT_EQ(got, c.got);
    if (c.result == 1 && c.size) {
      EXPECT_EQ(std::string(buffer.data(), got), value);
    }
  }
}

TEST_F(PrinterData, DamagedCountsAndChunksFailTheRead) {
  // Each case stores a count and chunks as given, then reads into a buffer
  // of 4096 bytes and asks for the size.
  struct Chunk {
    const char16_t* name;
    DWORD type;
    std::string bytes;
  };
  struct Case {
    const char* what;
    DWORD count_type;
    std::string count;
    std::vector<Chunk> chunks;
    int query_result;  // the size query: result and size
    std::uint32_t query_got;
  };
  const std::string k248(248, 'x');
  const Case cases[] = {
      {"count 0", kRegDword, std::string(4, '\0'), {}, 0, kUntouched},
      {"count of 3 bytes",
       kRegBinary,
       std::string(3, '\1'),
       {{u"N:0", kRegBinary, "a"}},
       0,
       kUntouched},
      {"count as a string",
       kRegSz,
       std::string("\1\0\0\0", 4),
       {{u"N:0", kRegBinary, "a"}},
       0,
       kUntouched},
      {"count 0xFFFFFFFF: 248 * K overflows 32 bits",
       kRegDword,
       "\xFF\xFF\xFF\xFF",
       {},
       0,
       kUntouched},
      // 248 * 67651 = 16,777,448 bytes: just over 16 MiB.
      {"count 67651", kRegDword, std::string("\x43\x08\x01\x00", 4), {}, 0, kUntouched},
      {"chunk missing",
       kRegDword,
       std::string("\2\0\0\0", 4),
       {{u"N:0", kRegBinary, k248}},
       1,
       496},
      {"chunk not binary",
       kRegDword,
       std::string("\2\0\0\0", 4),
       {{u"N:0", kRegBinary, k248}, {u"N:1", kRegSz, std::string("a\0", 2)}},
       1,
       496},
      {"chunk larger than the room left",
       kRegDword,
       std::string("\1\0\0\0", 4),
       {{u"N:0", kRegBinary, std::string(5000, 'y')}},
       1,
       248},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::ResetHostServices();
    ASSERT_TRUE(AddPrinter(u"P1"));
    PutRaw(u"N", c.count_type, c.count);
    for (const Chunk& chunk : c.chunks)
      PutRaw(chunk.name, chunk.type, chunk.bytes);
    std::uint32_t got = kUntouched;
    EXPECT_EQ(services_.ReadChunkedValue(&printer_, u"N", nullptr, 0, got), c.query_result);
    EXPECT_EQ(got, c.query_got);
    std::vector<char> buffer(4096 + 248);
    got = kUntouched;
    EXPECT_EQ(services_.ReadChunkedValue(&printer_, u"N", buffer.data(), 4096, got), 0);
    EXPECT_EQ(got, kUntouched);
    // A named object over the same data: no read, and no buffer sized by
    // the count.
    EXPECT_EQ(services_.LoadNamedObject(&printer_, u"N", 0), nullptr);
  }

  // 248 * 67650 = 16,777,200 bytes is still accepted as a size.
  PutRaw(u"N", kRegDword, std::string("\x42\x08\x01\x00", 4));
  std::uint32_t got = 0;
  EXPECT_EQ(services_.ReadChunkedValue(&printer_, u"N", nullptr, 0, got), 1);
  EXPECT_EQ(got, 16777200u);
}

// A write that fails at its count or at any chunk leaves the printer data
// as it was: the value before in the cut it was stored in (the driver's
// 248, 248, 104 for 600 bytes, or another writer's), and none of the
// chunks it did not have; over no value, nothing.
TEST_F(PrinterData, AFailedWriteLeavesTheValueBeforeAsStored) {
  const auto stored = [&] {
    std::string all;
    for (const std::u16string& name : Names())
      all += std::string(name.begin(), name.end()) + ": " + Hex(Raw(name.c_str())) + "\n";
    return all;
  };
  for (const std::vector<std::uint32_t>& before : std::vector<std::vector<std::uint32_t>>{
           {}, {248, 248, 104}, {100, 200}, {0, 221}, {0}, {5, 0, 7, 248, 1, 30}}) {
    for (std::uint32_t length : {1000u, 300u, 10u}) {
      for (std::uint32_t failing = 0; failing <= ChunkCount(length); ++failing) {  // 0: the count
        SCOPED_TRACE(testing::Message()
                     << testing::PrintToString(before) << " " << length << " " << failing);
        platform::ResetHostServices();
        ASSERT_TRUE(AddPrinter(u"P1"));
        if (!before.empty()) PutRaw(u"N", kRegDword, std::string({char(before.size()), 0, 0, 0}));
        for (std::uint32_t i = 0; i < before.size(); ++i)
          PutRaw(ChunkName(u"N", i).Data(), kRegBinary, Pattern(before[i], static_cast<int>(i)));
        const std::string was = stored();
        const RWWString name = failing ? ChunkName(u"N", failing - 1) : RWWString(u"N");
        SetPrinterDataWriteFailure(u"P1", name.Data(), kErrorWriteFault);
        EXPECT_EQ(services_.WriteChunkedValue(&printer_, u"N", Pattern(length, 9).data(), length),
                  0);
        EXPECT_EQ(stored(), was);
      }
    }
  }
}

// A chunked value's write cut short at each write (it and all after it
// refused, as a death there leaves the store): the store holds the value
// before, none, or after, never a count over another's chunks.
TEST_F(PrinterData, AWriteCutShortLeavesTheValueBeforeNoneOrAfter) {
  const std::string before = Pattern(600), after = Pattern(300, 7);
  const auto read = [] {  // the chunks up to the count
    const std::string count = Raw(u"N");
    std::string joined;
    for (std::uint32_t i = 0; count != "absent" && i < std::uint8_t(count[0]); ++i)
      joined += Raw(ChunkName(u"N", i).Data());
    return count == "absent" ? count : joined;
  };
  for (std::uint64_t cut = 1; cut <= 7; ++cut) {
    SCOPED_TRACE(cut);
    platform::ResetHostServices();
    ASSERT_TRUE(AddPrinter(u"P1"));
    ASSERT_EQ(services_.WriteChunkedValue(&printer_, u"N", before.data(), 600), 1);
    SetWriteRefusals({cut, ~std::uint64_t{0}, 0, kErrorWriteFault});
    const bool written = services_.WriteChunkedValue(&printer_, u"N", after.data(), 300) == 1;
    EXPECT_TRUE(read() == "absent" || read() == before || read() == after) << Hex(read());
    SetWriteRefusals({});
    EXPECT_TRUE(GStoreTransaction::FinishTakeBacks());
    EXPECT_EQ(read(), written ? after : before);
  }
}

TEST_F(PrinterData, PlainValuesAndTheirDefaults) {
  // "TRUE" as printer data: REG_SZ of the characters, UTF-16 little-endian,
  // no terminator.
  HANDLE context = nullptr;
  PrinterDefaultsW all{nullptr, nullptr, kPrinterAllAccess};
  ASSERT_EQ(OpenPrinterW(u"P1", &context, &all), 1);
  services_.SetContextHandle(&printer_, context);
  ASSERT_EQ(services_.SetPrinterDataString(&printer_, u"Stale", u"TRUE"), 1);
  DWORD type = 0;
  EXPECT_EQ(Hex(Raw(u"Stale", &type)), "54 00 52 00 55 00 45 00");
  EXPECT_EQ(type, kRegSz);
  // The configuration import reads it as a registry string.
  RWWString text;
  EXPECT_EQ(
      services_
          .ReadMachineString(
              text, u"System\\CurrentControlSet\\Control\\Print\\Printers\\P1\\PrinterDriverData",
              u"Stale", u"-")
          .Compare(u"TRUE"),
      0);
  ASSERT_EQ(services_.SetPrinterDataDword(&printer_, u"Count", 0x01020304), 1);
  EXPECT_EQ(Hex(Raw(u"Count", &type)), "04 03 02 01");
  EXPECT_EQ(type, kRegDword);

  PutRaw(u"Empty", kRegSz, "");
  PutRaw(u"Cut", kRegSz, std::string("A\0B\0\0\0C\0", 8));
  PutRaw(u"Odd", kRegSz, std::string("A\0B", 3));
  PutRaw(u"Long", kRegBinary, std::string(8, '\1'));
  struct Case {
    const char16_t* name;
    const char16_t* string;  // GetPrinterDataString with default "-"
    std::uint32_t number;    // GetPrinterDataDword with default 99
  };
  const Case cases[] = {
      {u"Stale", u"TRUE", 99}, {u"Count", u"-", 0x01020304}, {u"Missing", u"-", 99},
      {u"Empty", u"-", 99},    {u"Cut", u"AB", 99},          {u"Odd", u"AB", 99},
      {u"Long", u"-", 99},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(RWWString(c.name).ToMultiByte().Data());
    RWWString string;
    EXPECT_EQ(services_.GetPrinterDataString(string, &printer_, c.name, u"-").Compare(c.string), 0);
    EXPECT_EQ(services_.GetPrinterDataDword(&printer_, c.name, 99), c.number);
    // The registry reads give the same strings.
    EXPECT_EQ(services_.ReadMachineString(PrinterDataKeyPath(u"P1").c_str(), c.name, u"-")
                  .Compare(c.string),
              0);
  }
  ASSERT_EQ(ClosePrinter(context), 1);
}

TEST_F(PrinterData, OnlyTheOpeningOperationsWorkWithoutAContextHandle) {
  FakeDriverData unknown(u"Nobody");
  // Numbers and chunked values open the printer by name and close it again.
  EXPECT_EQ(services_.SetPrinterDataDword(&printer_, u"D", 5), 1);
  EXPECT_EQ(services_.GetPrinterDataDword(&printer_, u"D", 0), 5u);
  EXPECT_EQ(services_.WriteChunkedValue(&printer_, u"B", "xy", 2), 1);
  std::uint32_t got = 0;
  EXPECT_EQ(services_.ReadChunkedValue(&printer_, u"B", nullptr, 0, got), 1);
  SpoolerCounters counters = GetSpoolerCounters();
  EXPECT_EQ(counters.opens, 4u);
  EXPECT_EQ(counters.open_handles, 0u);
  // Strings use the context's handle and have none.
  EXPECT_EQ(services_.SetPrinterDataString(&printer_, u"S", u"x"), 0);
  EXPECT_EQ(Raw(u"S"), "absent");
  PutRaw(u"S", kRegSz, std::string("x\0", 2));
  EXPECT_EQ(services_.GetPrinterDataString(&printer_, u"S", u"-").Compare(u"-"), 0);
  // A printer that does not exist, and no driver data at all.
  for (GDriverData* printer :
       {static_cast<GDriverData*>(&unknown), static_cast<GDriverData*>(nullptr)}) {
    EXPECT_EQ(services_.SetPrinterDataDword(printer, u"D", 5), 0);
    EXPECT_EQ(services_.GetPrinterDataDword(printer, u"D", 7), 7u);
    EXPECT_EQ(services_.WriteChunkedValue(printer, u"B", "xy", 2), 0);
    got = kUntouched;
    EXPECT_EQ(services_.ReadChunkedValue(printer, u"B", nullptr, 0, got), 0);
    EXPECT_EQ(got, kUntouched);
    EXPECT_EQ(services_.DeletePrinterDataValue(printer, u"D"), 0);
  }
  EXPECT_EQ(GetSpoolerCounters().open_handles, 0u);
  EXPECT_EQ(OpenRegistryKeyCount(), 0u);
  EXPECT_EQ(services_.DeletePrinterDataValue(&printer_, u"D"), 1);
  EXPECT_EQ(services_.DeletePrinterDataValue(&printer_, u"D"), 0);
}

TEST_F(PrinterData, RegistryStringsAndKeys) {
  auto put = [](HKEY root, const char16_t* key, const char16_t* name, DWORD type,
                const std::string& bytes) {
    HKEY opened = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, key, 0, u"", 0, kKeyAllAccess, nullptr, &opened, nullptr), 0u);
    ASSERT_EQ(RegSetValueExW(opened, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              0u);
    RegCloseKey(opened);
  };
  put(kHkeyLocalMachine, u"Software\\Kestrova", u"Path", kRegSz,
      std::string("C\0:\0\\\0K\0V\0\0\0", 12));
  put(kHkeyLocalMachine, u"Software\\Kestrova", u"Number", kRegDword, std::string(4, '\1'));
  put(kHkeyLocalMachine, u"Software\\Kestrova", u"Empty", kRegSz, "");
  put(kHkeyCurrentUser, u"Software\\Kestrova\\User", u"Path", kRegSz, std::string("U\0", 2));

  struct Case {
    bool machine;
    const char16_t* key;
    const char16_t* name;
    const char16_t* expected;  // with the default "-"
    int key_exists;
  };
  const Case cases[] = {
      {true, u"Software\\Kestrova", u"Path", u"C:\\KV", 1},
      {true, u"SOFTWARE\\kestrova", u"PATH", u"C:\\KV", 1},
      {true, u"Software\\Kestrova", u"Number", u"-", 1},
      {true, u"Software\\Kestrova", u"Empty", u"-", 1},
      {true, u"Software\\Kestrova", u"Missing", u"-", 1},
      {true, u"Software\\Kestrova\\User", u"Path", u"-", 0},
      {false, u"Software\\Kestrova\\User", u"Path", u"U", 1},
      {false, u"Software\\Kestrova", u"Path", u"-", 1},
      {false, u"Software\\Other", u"Path", u"-", 0},
      {true, u"Software\\\\Kestrova", u"Path", u"-", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.machine << " " << RWWString(c.key).ToMultiByte().Data());
    RWWString text;
    if (c.machine) {
      EXPECT_EQ(services_.ReadMachineString(text, c.key, c.name, u"-").Compare(c.expected), 0);
      EXPECT_EQ(services_.MachineKeyExists(c.key), c.key_exists);
    } else {
      EXPECT_EQ(services_.ReadUserString(text, c.key, c.name, u"-").Compare(c.expected), 0);
      EXPECT_EQ(services_.UserKeyExists(c.key), c.key_exists);
    }
  }
  EXPECT_EQ(OpenRegistryKeyCount(), 0u);
}

}  // namespace
