// Stored forms of the paper path, derived by hand from the record tables:
// the tray of the issue to the byte, then hand-made records (a medium, a
// custom size, a margin pool, a device with parts 17, 1 and 2, a database
// of two associations) read back and saved again identically, round trips
// in every medium, and the versions a reader does not know.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/margin_pool.h"
#include "config/paper/media.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "tests/persist/media.h"
#include "tests/support/test_support.h"

namespace {

using model_testing::kAllMedia;
using model_testing::Medium;
using model_testing::Restore;
using model_testing::Restored;
using model_testing::Save;
using testing_support::Hex;
using testing_support::Unhex;

// The items of a file, little-endian, as spaced hex.
std::string U16(std::uint32_t v) {
  return Hex(std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)});
}
std::string U32(std::uint32_t v) {
  return U16(v & 0xFFFF) + " " + U16(v >> 16);
}
// An 8-bit string: u32 length, then the bytes.
std::string Str(const std::string& s) {
  return U32(static_cast<std::uint32_t>(s.size())) + (s.empty() ? "" : " " + Hex(s));
}
// The persistent part (version 1, key, serial), and with the attribute part
// after it (version 1, state 1).
std::string P(std::uint32_t key, std::uint32_t serial) {
  return "01 00 00 00 " + U32(key) + " " + U32(serial);
}
std::string A(std::uint32_t key, std::uint32_t serial) {
  return P(key, serial) + " 01 00 00 00 01 00 00 00";
}
// A display string as a new object of class 786 (12 03): its persistent
// part (key 0), version 1, module, text, string id.
std::string DS(std::uint32_t serial, const std::string& text, std::uint16_t id) {
  return "12 03 " + P(0, serial) + " 01 00 00 00 " + Str("") + " " + Str(text) + " " + U16(id);
}
// A 16-bit value attribute as a new object of class 763 (FB 02).
std::string Value(std::uint32_t key, std::uint32_t serial, std::uint16_t value) {
  return "FB 02 " + A(key, serial) + " 01 00 00 00 " + U16(value);
}

const std::string kMagic = "88 88 00 00 ";

// Reads `hex`, checks the result with `check`, and saves it back: the
// same bytes, in a file; then round trips in every medium.
template <class T, class Check>
void ReadAndSaveBack(const std::string& hex, Check check) {
  std::string bytes = Unhex(hex);
  Restored back = Restore(bytes, Medium::kFile);
  ASSERT_TRUE(back.ok);
  auto* object = dynamic_cast<T*>(back.object);
  ASSERT_NE(object, nullptr);
  check(*object);
  EXPECT_EQ(Hex(Save(object, Medium::kFile)), Hex(bytes));
  EXPECT_EQ(object->GraphStoreSize(), bytes.size());
  for (Medium medium : kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    Restored again = Restore(Save(object, medium), medium);
    EXPECT_TRUE(again.ok);
    ASSERT_NE(again.object, nullptr);
    EXPECT_TRUE(again.object->IsEqual(object));
    FreeRestored(again.object);
  }
  FreeRestored(back.object);
}

// GTray("T", 5, key 82) with serial numbers 0: the class id 1001 (E9 03),
// the attribute part, version 2, the name "T", id 5, values 0 and 0,
// mapped values -1 and -1, medium flag 0, and the empty display string as
// a new object of class 786: 4 + 2 + 20 + 31 + 28 = 85 bytes.
TEST(PaperStoredForms, TrayGoldenBytes) {
  GTray tray("T", 5, kTrayKey);
  tray.SetSerialNumber(0);
  GDisplayString empty;
  empty.SetSerialNumber(0);
  tray.SetDisplayString(empty);
  const std::string golden =
      "88 88 00 00 E9 03 01 00 00 00 52 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
      "02 00 00 00 01 00 00 00 54 05 00 00 00 00 00 00 00 00 00 "
      "FF FF FF FF FF FF FF FF 00 00 00 00 12 03 01 00 00 00 00 00 00 00 00 00 00 00 "
      "01 00 00 00 00 00 00 00 00 00 00 00 00 00";
  std::string file = Save(&tray, Medium::kFile);
  EXPECT_EQ(Hex(file), golden);
  EXPECT_EQ(file.size(), 85u);
  EXPECT_EQ(tray.GraphStoreSize(), 85u);
  // Serial numbers of 0 are replaced by new ones on reading.
  Restored back = Restore(file, Medium::kFile);
  EXPECT_TRUE(back.ok);
  ASSERT_NE(back.object, nullptr);
  EXPECT_TRUE(back.object->IsEqual(&tray));
  FreeRestored(back.object);
}

// The medium of the edge cases: "Letter", paper 5100 by 6600 (EC 13, C8 19),
// printable 4800 by 6360 (C0 12, D8 18) at (150, 120) (96 00, 78 00),
// orientation 0, 600 by 600 (58 02), auxiliary code 0 and name "", media
// type "Plain", paper size code 1; key 190, serial 7; class 1002 (EA 03).
TEST(PaperStoredForms, HandMadeMedium) {
  std::string hex = kMagic + "EA 03 " + A(190, 7) + " 01 00 00 00 " + Str("Letter") +
                    " EC 13 C8 19 C0 12 D8 18 96 00 78 00 00 00 00 00 58 02 58 02 00 00 " +
                    Str("") + " " + Str("Plain") + " 01 00";
  ReadAndSaveBack<GMedia>(hex, [](GMedia& m) {
    EXPECT_EQ(m.GetPaperSize(), GSize16(5100, 6600));
    EXPECT_EQ(m.GetPrintableRect(), (GRect16{150, 120, 4950, 6480}));
    EXPECT_EQ(m.GetRightBottomMargins(), GSize16(150, 120));
    EXPECT_EQ(m.GetMediaType(), "Plain");
    EXPECT_EQ(m.GetPaperSizeId(), 1);
  });
}

// A custom size of 210 by 297 millimetres (D2 00, 29 01), code 16384
// (00 40), "Custom", key 0x40000019, serial 9; class 775 (07 03).
TEST(PaperStoredForms, HandMadeCustomSize) {
  std::string hex = kMagic + "07 03 " + A(kUserCustomSizeKey, 9) + " 01 00 00 00 00 40 " +
                    Str("Custom") + " 01 00 00 00 D2 00 00 00 29 01 00 00";
  ReadAndSaveBack<GCustomMediaSize>(hex, [](GCustomMediaSize& s) {
    EXPECT_EQ(s.GetUnit(), kMillimetre);
    EXPECT_EQ(s.GetSizeIn(kHundredthInch), (GSize32{827, 1169}));
  });
}

// A margin pool (class 1014, F6 03; key 959 = BF 03, serial 5; no
// attribute part) of one set: 4233 (89 10) on every side at 0 degrees, 1 to
// 4 at 90, nothing at 180, 0xFFFFFFFF at 270.
TEST(PaperStoredForms, HandMadeMarginPool) {
  std::string set = "89 10 00 00 89 10 00 00 89 10 00 00 89 10 00 00 " + U32(1) + " " + U32(2) +
                    " " + U32(3) + " " + U32(4) + " " + std::string(32, '0') + " " +
                    "FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF";
  std::string hex = kMagic + "F6 03 " + P(959, 5) + " 01 00 00 00 01 00 00 00 " + set;
  ReadAndSaveBack<GMarginPool>(hex, [](GMarginPool& pool) {
    ASSERT_EQ(pool.GetCount(), 1u);
    EXPECT_EQ(pool.GetMarginSet(0)[0], 4233u);
    EXPECT_EQ(pool.GetMarginSet(0)[7], 4u);
    EXPECT_EQ(pool.GetMarginSet(1), nullptr);
  });
}

// A paper source (class 1010, F2 03; key 0, serial 3) "Unit", type 0,
// optional 1, installed 1, current part 17, three parts in walking order:
// 17 a value attribute (number 2 in the graph), 1 another, 2 a back
// reference to number 2 (FF FF 02 00 00 00); match mode 2, selectable 1,
// and the display string (1203 = B3 04, "Unit").
std::string DeviceBytes() {
  return kMagic + "F2 03 " + A(0, 3) + " 02 00 00 00 " + Str("Unit") +
         " 00 00 00 00 01 00 00 00 01 00 00 00 11 00 03 00 00 00 " + "11 00 " + Value(17, 4, 0x11) +
         " 01 00 " + Value(1, 5, 1) + " 02 00 FF FF 02 00 00 00 " + "02 00 00 00 01 00 00 00 " +
         DS(6, "Unit", 1203);
}

TEST(PaperStoredForms, HandMadeDeviceWithPartsSeventeenOneTwo) {
  ReadAndSaveBack<GPaperHandlingDevice>(DeviceBytes(), [](GPaperHandlingDevice& d) {
    RWShortVector ids;
    d.GetPartIds(ids);
    ASSERT_EQ(ids.Count(), 3u);
    EXPECT_EQ(ids[0], 17);
    EXPECT_EQ(ids[1], 1);
    EXPECT_EQ(ids[2], 2);
    EXPECT_EQ(d.GetCurrentPartId(), 17);
    EXPECT_EQ(d.GetPart(2), d.GetPart(17));  // shared, as stored
    EXPECT_EQ(d.GetMatchMode(), 2u);
    EXPECT_EQ(d.GetDisplayString().GetStringId(), 1203);
  });
}

// A database (class 1012, F4 03; key 510 = FE 01, serial 10), version 1,
// its composite inline (persistent part, key 0, serial 11; attribute part;
// version 1; count 2) with two associations (class 1013, F5 03), each with
// version 1, the tray, form and media-type value attributes and the wide
// form name: (tray 3, form 1, 11913 = 89 2E, "A4") and (tray 6, form 9,
// 200, "").
TEST(PaperStoredForms, HandMadeDatabaseOfTwoAssociations) {
  std::string hex =
      kMagic + "F4 03 " + A(510, 10) + " 01 00 00 00 " + A(0, 11) + " 01 00 00 00 02 00 00 00 " +
      "F5 03 " + A(0, 12) + " 01 00 00 00 " + Value(0, 13, 3) + " " + Value(0, 14, 1) + " " +
      Value(0, 15, 11913) + " 02 00 00 00 41 00 34 00 " + "F5 03 " + A(0, 16) + " 01 00 00 00 " +
      Value(0, 17, 6) + " " + Value(0, 18, 9) + " " + Value(0, 19, 200) + " 00 00 00 00";
  ReadAndSaveBack<GFormToTrayDatabase>(hex, [](GFormToTrayDatabase& db) {
    EXPECT_EQ(db.GetTrayForForm(1), 3);
    EXPECT_EQ(db.GetTrayForForm(9), 6);
    EXPECT_EQ(db.HasTrayWithFormName(3, RWWString(u"A4")), 1u);
    EXPECT_EQ(db.GetDefaultMediaType(), kUnspecifiedMediaType);
  });
}

// Records of other versions: a device, tray or bin of version 1 has no
// display string (and the device no match mode and selectable); a version
// above 2, and a medium, custom size, association or database of version
// 2, keep the constructed fields.
TEST(PaperStoredForms, VersionsTheReaderDoesNotKnow) {
  // Version 1 devices with three parts and with one.
  for (int parts : {3, 1}) {
    SCOPED_TRACE(parts);
    std::string hex = kMagic + "F2 03 " + A(0, 3) + " 01 00 00 00 " + Str("U") +
                      " 00 00 00 00 00 00 00 00 01 00 00 00 00 00 " + U32(parts);
    for (int i = 0; i < parts; ++i)
      hex += " " + U16(i) + " " + Value(0, 4 + i, 0);
    Restored back = Restore(Unhex(hex), Medium::kFile);
    auto* device = dynamic_cast<GPaperHandlingDevice*>(back.object);
    ASSERT_NE(device, nullptr);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(device->GetPartCount(), static_cast<std::uint32_t>(parts));
    EXPECT_EQ(device->GetMatchMode(), 1u);
    EXPECT_EQ(device->IsSelectable(), parts >= 2 ? 1u : 0u);
    EXPECT_EQ(device->IsInstalled(), 1u);  // optional 0
    FreeRestored(back.object);
  }

  // A version-1 tray and bin: no display string after their fields.
  const std::string fields =
      Str("T") + " 05 00 " + U32(1) + " " + U32(2) + " " + U32(3) + " " + U32(4) + " 00 00 00 00";
  for (bool is_tray : {true, false}) {
    std::string hex = is_tray ? "E9 03 " + A(82, 3) + " 01 00 00 00 " + fields
                              : "F1 03 " + A(91, 3) + " 01 00 00 00 " + fields + " 06 00 00 00";
    Restored back = Restore(Unhex(kMagic + hex), Medium::kFile);
    EXPECT_TRUE(back.ok);
    if (auto* tray = dynamic_cast<GTray*>(back.object)) {
      EXPECT_TRUE(is_tray);
      EXPECT_EQ(tray->GetMappedValue1(), 3);
      EXPECT_EQ(tray->GetMappedValue2(), 4);
    } else {
      auto* bin = dynamic_cast<GBin*>(back.object);
      ASSERT_NE(bin, nullptr);
      EXPECT_EQ(bin->GetValue5(), 0u);
      EXPECT_EQ(bin->GetValue6(), 6u);
    }
    FreeRestored(back.object);
  }

  // Versions above the known one: everything after the version word stays
  // as a default object of the class holds it.
  const std::string cases[] = {
      "E9 03 " + A(82, 3) + " 03 00 00 00",  "F1 03 " + A(91, 3) + " 03 00 00 00",
      "F2 03 " + A(0, 3) + " 03 00 00 00",   "EA 03 " + A(190, 3) + " 02 00 00 00",
      "07 03 " + A(0, 3) + " 02 00 00 00",   "F5 03 " + A(0, 3) + " 02 00 00 00",
      "F4 03 " + A(510, 3) + " 02 00 00 00", "F6 03 " + P(959, 3) + " 02 00 00 00 01 00 00 00",
  };
  for (const std::string& hex : cases) {
    SCOPED_TRACE(hex.substr(0, 5));
    Restored back = Restore(Unhex(kMagic + hex), Medium::kFile);
    ASSERT_NE(back.object, nullptr);
    EXPECT_TRUE(back.ok);
    std::unique_ptr<MPersistentObject> fresh(
        static_cast<MPersistentObject*>(back.object->CreateDefault()));
    fresh->SetKey(back.object->Key());
    EXPECT_TRUE(back.object->IsEqualContent(fresh.get()));
    if (auto* pool = dynamic_cast<GMarginPool*>(back.object)) {
      EXPECT_EQ(pool->GetCount(), 0u);
    }
    FreeRestored(back.object);
  }
}

}  // namespace
