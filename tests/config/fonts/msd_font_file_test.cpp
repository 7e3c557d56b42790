// The font-storage file reader: a file laid out by hand, the symbol-set
// and field rules, hidden records and display names, the kinds and keys of
// the sources, walks ended by bad records, files that load nothing, and
// truncated and damaged files, read with the default error handler in
// force.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "config/fonts/device_font_list.h"
#include "config/fonts/font_sources.h"
#include "config/fonts/msd_font_file.h"
#include "support/fake_driver_data.h"
#include "tests/config/fonts/font_files.h"
#include "tests/support/host_fixture.h"

namespace {

using font_testing::MsdFile;
using font_testing::MsdRecord;
using testing_support::Hex;
using testing_support::Unhex;

FakeDriverData g_printer;
GDriverData* const kPrinter = &g_printer;

// What enumerate mode reports of each font.
struct Offered {
  std::string display;
  std::string selection;
  std::string record;
};

int Collect(const char* display, const char* selection, const std::uint8_t* record,
            void* argument) {
  static_cast<std::vector<Offered>*>(argument)->push_back(
      {display, selection, std::string(reinterpret_cast<const char*>(record), 28)});
  return 10;
}

class MsdFontFileTest : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    driver_ = std::make_unique<font_testing::DriverDirectory>();
  }
  void TearDown() override {
    driver_.reset();
    HostFixture::TearDown();
  }

  // Source `index` names "fonts.dat", which holds `bytes`.
  void Install(std::uint32_t index, const std::string& bytes) {
    driver_->Write("fonts.dat", bytes);
    WriteMsdFileName(kPrinter, index, RWWString(u"fonts.dat"));
  }
  std::unique_ptr<GDeviceFontList> Build(std::uint32_t index, const std::string& bytes) {
    Install(index, bytes);
    GMsdFontList fonts(index, kPrinter);
    std::uint32_t key = 0;
    if (!fonts.Open(key)) return nullptr;
    return std::unique_ptr<GDeviceFontList>(fonts.BuildDeviceFontList());
  }
  std::vector<Offered> Enumerate(std::uint32_t index, const std::string& bytes,
                                 std::int32_t* sum = nullptr) {
    Install(index, bytes);
    GMsdFontList fonts(index, kPrinter);
    std::uint32_t key = 0;
    std::vector<Offered> offered;
    fonts.Open(key);
    std::int32_t total = fonts.EnumerateFonts(&Collect, &offered);
    if (sum) *sum = total;
    return offered;
  }

  std::unique_ptr<font_testing::DriverDirectory> driver_;
};

GDeviceFontDescription At(const GDeviceFontList& list, std::uint32_t index) {
  GDeviceFontDescription description;
  EXPECT_EQ(list.GetDescriptionAt(index, description), 1);
  return description;
}

std::vector<std::uint32_t> CodesOf(const GDeviceFontDescription& d) {
  return std::vector<std::uint32_t>(d.GetSymbolSets().Data(),
                                    d.GetSymbolSets().Data() + d.GetSymbolSets().Count());
}

// One record, laid out by hand from the file layout: the header (L = 36 =
// 0x24, stamp 0x11223344 at 8, N = 1 at 28, the record at 36), then the
// record: 4 unread bytes, face length 4 and offset 30 (0x1E, after the
// fixed part's 28 bytes and the second code), selection length 3 and
// offset 34 (0x22), weight 700 (BC 02), italic 1, flags 0x31 (scalable,
// pitch class 0x30), type 3, height 12, two codes 7 and 5, "Face", "&l0".
TEST_F(MsdFontFileTest, AFileLaidOutByHand) {
  const std::string file = Unhex(
      "00 00 00 00 24 00 00 00 44 33 22 11 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
      "01 00 00 00 24 00 00 00 "
      "00 00 00 00 04 00 1E 00 00 00 03 00 22 00 00 00 BC 02 01 00 31 03 0C 00 02 00 "
      "07 00 05 00 46 61 63 65 26 6C 30");
  MsdRecord record{"Face", "&l0", {7, 5}, 700, 1, 0x31, 3, 12};
  EXPECT_EQ(Hex(MsdFile(0x11223344, {record})), Hex(file));

  std::unique_ptr<GDeviceFontList> list = Build(2, file);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->Key(), 420u);
  EXPECT_EQ(list->GetSourceStamp(), 0x11223344u);
  ASSERT_EQ(list->GetCount(), 1u);
  GSymbolSetList codes;
  codes.Append(55);
  codes.Append(3);
  // Weight, italic, pitch class and font type (3 gives 2) as style,
  // typeface and the two metrics; scalable from bit 0; disks are kind 2.
  GDeviceFontDescription expected("Face", "&l0", 55, codes, 700, 1, 0x30, 2, 1, 12, 0, 2);
  EXPECT_TRUE(At(*list, 0).IsEqualContent(&expected));

  std::int32_t sum = 0;
  std::vector<Offered> offered = Enumerate(2, file, &sum);
  ASSERT_EQ(offered.size(), 1u);
  EXPECT_EQ(offered[0].display, "Face -Bd -It");
  EXPECT_EQ(offered[0].selection, "&l0");
  EXPECT_EQ(offered[0].record, file.substr(36, 28));
  EXPECT_EQ(sum, 10);
}

// The default symbol set is 16, or the first code alone, or the first when
// the second maps to 3; 16 joins the list when neither that nor a raw 207
// holds.
TEST_F(MsdFontFileTest, SymbolSets) {
  struct Case {
    std::vector<std::uint16_t> raw;
    std::uint32_t default_set;
    std::vector<std::uint32_t> codes;
  };
  const Case cases[] = {
      {{207}, 16, {16}},
      {{7, 5}, 55, {55, 3}},
      {{7, 6}, 16, {55, 53, 16}},
      {{7, 207}, 16, {55, 16}},
      {{999}, 0, {0}},
      {{5}, 3, {3}},
      {{213, 5, 6}, 8, {8, 3, 53}},
      {{51, 58, 217, 101}, 16, {9, 9, 20, 4, 16}},
  };
  for (const Case& c : cases) {
    MsdRecord record{"F", "s", c.raw};
    std::unique_ptr<GDeviceFontList> list = Build(0, MsdFile(1, {record}));
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetCount(), 1u);
    GDeviceFontDescription d = At(*list, 0);
    EXPECT_EQ(d.GetDefaultSymbolSet(), c.default_set) << c.raw[0];
    EXPECT_EQ(CodesOf(d), c.codes) << c.raw[0];
  }
}

// Font type 2, 3, 4 give 1, 2, 5; any other gives 0 and a scalable font.
// Pitch classes 0x10-0x50 are kept. Memory modules with bit 2 are kind 7,
// other sources keep their kind whatever the bit; lists take the source's
// key.
TEST_F(MsdFontFileTest, FieldsKindsAndKeys) {
  struct Case {
    std::uint32_t index;
    std::uint8_t flags;
    std::uint8_t type;
    std::uint32_t font_type;
    std::uint32_t scalable;
    std::uint32_t pitch;
    std::uint32_t kind;
    std::uint32_t key;
  };
  const Case cases[] = {
      {6, 0x04, 2, 1, 0, 0, 7, 422}, {6, 0x00, 4, 5, 0, 0, 4, 422},
      {9, 0x05, 3, 2, 1, 0, 7, 429}, {8, 0x50, 9, 0, 1, 0x50, 4, 428},
      {4, 0x04, 2, 1, 0, 0, 3, 418}, {5, 0x61, 0, 0, 1, 0, 3, 419},
      {0, 0x0F, 4, 5, 1, 0, 1, 416}, {3, 0x10, 0x02, 1, 0, 0x10, 2, 421},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.index);
    MsdRecord record{"F", "s", {7}, 400, 0, c.flags, c.type, 0};
    std::unique_ptr<GDeviceFontList> list = Build(c.index, MsdFile(1, {record}));
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->Key(), c.key);
    GDeviceFontDescription d = At(*list, 0);
    EXPECT_EQ(d.GetSecondMetric(), c.font_type);
    EXPECT_EQ(d.IsScalable(), c.scalable);
    EXPECT_EQ(d.GetFirstMetric(), c.pitch);
    EXPECT_EQ(d.GetKind(), c.kind);
  }
}

// Hidden records stay out of the built list and are offered by name;
// records without codes are in neither; " -Bd" needs weight 700, " -It" a
// non-zero italic word.
TEST_F(MsdFontFileTest, HiddenRecordsAndDisplayNames) {
  const std::string file = MsdFile(5, {{"Face", "a", {7}, 700, 1, 0, 2},
                                       {"Face", "b", {7}, 699, 0, 0, 2},
                                       {"Hidden", "c", {7}, 700, 0, 0, 0x82},
                                       {"Italic", "d", {7}, 0, 9, 0, 2},
                                       {"None", "e", {}, 700, 0, 0, 2}});
  std::unique_ptr<GDeviceFontList> list = Build(1, file);
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->GetCount(), 3u);
  EXPECT_EQ(At(*list, 2).GetFaceName(), RWCString("Italic"));
  std::int32_t sum = 0;
  std::vector<Offered> offered = Enumerate(1, file, &sum);
  std::vector<std::string> names;
  for (const Offered& o : offered)
    names.push_back(o.display + "|" + o.selection);
  EXPECT_EQ(names,
            (std::vector<std::string>{"Face -Bd -It|a", "Face|b", "Hidden -Bd|c", "Italic -It|d"}));
  EXPECT_EQ(sum, 40);
}

// A record, name or code run outside the file ends the walk: the list
// built so far keeps the file's stamp.
TEST_F(MsdFontFileTest, BadRecordsEndTheWalk) {
  const std::vector<MsdRecord> three = {
      {"One", "1", {7}}, {"Two", "2", {7, 5}}, {"Three", "3", {7}}};
  const std::string file = MsdFile(0xABCD, three);
  const std::uint32_t second_at = 32 + 4;  // the second record's offset
  auto with_u32 = [&file](std::size_t at, std::uint32_t value) {
    std::string bytes = file;
    for (int i = 0; i < 4; ++i)
      bytes[at + i] = static_cast<char>(value >> (8 * i));
    return bytes;
  };
  const std::uint32_t second = static_cast<std::uint8_t>(file[second_at]);
  struct Case {
    const char* name;
    std::string bytes;
    std::uint32_t built;
  };
  const Case cases[] = {
      {"record beyond the file", with_u32(second_at, static_cast<std::uint32_t>(file.size())), 1},
      {"record at the last bytes",
       with_u32(second_at, static_cast<std::uint32_t>(file.size()) - 27), 1},
      {"record offset 0xFFFFFFF0", with_u32(second_at, 0xFFFFFFF0), 1},
      {"face offset beyond", with_u32(second + 6, 0xFFFFFFFF), 1},
      {"selection offset beyond", with_u32(second + 12, 0x7FFFFFFF), 1},
      {"code count beyond", with_u32(second + 24, 0x0700FFFF), 1},
      {"whole", file, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<GDeviceFontList> list = Build(7, c.bytes);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->GetCount(), c.built);
    EXPECT_EQ(list->GetSourceStamp(), 0xABCDu);
    EXPECT_EQ(Enumerate(7, c.bytes).size(), c.built);
  }
}

// Files that load nothing: null and 0.
TEST_F(MsdFontFileTest, FilesThatLoadNothing) {
  const std::string file = MsdFile(3, {{"One", "1", {7}}});
  std::string long_header = file;
  long_header[4] = static_cast<char>(file.size() + 1);  // L beyond the file
  std::string short_header = file;
  short_header[4] = 31;  // L below the record table
  std::string many_records = file;
  many_records[28] = 2;  // 32 + 4N beyond L
  for (const std::string& bytes :
       {file.substr(0, 35), std::string(35, '\0'), long_header, short_header, many_records}) {
    SCOPED_TRACE(bytes.size());
    EXPECT_EQ(Build(2, bytes), nullptr);
    std::int32_t sum = -1;
    EXPECT_TRUE(Enumerate(2, bytes, &sum).empty());
    EXPECT_EQ(sum, 0);
  }
  // 36 bytes and no records: an empty list.
  std::unique_ptr<GDeviceFontList> empty = Build(2, MsdFile(8, {}) + std::string(4, '\0'));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->GetCount(), 0u);
  EXPECT_EQ(empty->GetSourceStamp(), 8u);

  // No name, a name that does not open, a bad index: no file, and the
  // list key of the source (0 for no source).
  std::uint32_t key = 0;
  GMsdFontList unnamed(3, kPrinter);
  EXPECT_EQ(unnamed.Open(key), nullptr);
  EXPECT_EQ(key, 421u);
  EXPECT_EQ(unnamed.BuildDeviceFontList(), nullptr);
  WriteMsdFileName(kPrinter, 3, RWWString(u"missing.dat"));
  GMsdFontList missing(3, kPrinter);
  EXPECT_EQ(missing.Open(key), nullptr);
  EXPECT_EQ(missing.EnumerateFonts(&Collect, nullptr), 0);
  GMsdFontList no_source(10, kPrinter);
  EXPECT_EQ(no_source.Open(key), nullptr);
  EXPECT_EQ(key, 0u);
}

// Every truncation of a three-record file, and a bounded run of seeded
// byte changes, ends in null or a list of the records that could be read.
TEST_F(MsdFontFileTest, TruncatedAndDamagedFilesEndCleanly) {
  const std::string file = MsdFile(77, {{"One", "1", {7, 5}, 700, 1, 0x31, 3},
                                        {"Two", "2", {207}, 400, 0, 0x04, 0x84},
                                        {"Three", "3", {6, 7, 8}, 0, 0, 0x50, 9}});
  for (std::size_t n = 0; n < file.size(); ++n) {
    std::unique_ptr<GDeviceFontList> list = Build(6, file.substr(0, n));
    EXPECT_EQ(list == nullptr, n < 44) << n;  // the header block is 44 bytes
    if (list) {
      EXPECT_LT(list->GetCount(), 3u) << n;
    }
    EXPECT_LT(Enumerate(6, file.substr(0, n)).size(), 3u) << n;
  }
  std::mt19937 rng(3123);
  for (int round = 0; round < 200; ++round) {
    std::string damaged = file;
    for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips)
      damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
    std::unique_ptr<GDeviceFontList> list = Build(rng() % 10, damaged);
    if (list) {
      EXPECT_LE(list->GetCount(), (damaged.size() - 32) / 4);
    }
    Enumerate(rng() % 10, damaged);
  }
}

}  // namespace
