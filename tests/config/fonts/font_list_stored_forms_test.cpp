// Stored forms of the font descriptions, font lists and their composite:
// golden bytes on RWFile and a binary stream, round trips in every medium,
// the older versions the readers take, bad tokens, truncation and random
// damage, read with the default error handler in force.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list_composite.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_association.h"
#include "persist/persistent_composite.h"
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

GSymbolSetList Codes(std::initializer_list<std::uint32_t> codes) {
  GSymbolSetList list;
  for (std::uint32_t code : codes)
    list.Append(code);
  return list;
}

// The description of the stored-form example, serial number 0.
GDeviceFontDescription Courier() {
  GDeviceFontDescription courier("Courier", "#HEIGHT", 16, Codes({55, 3}), 700, 1, 16, 0, 1, 0, 0,
                                 1);
  courier.SetSerialNumber(0);
  return courier;
}

GDeviceFontList* EmptyList416() {
  auto* list = new GDeviceFontList(416);
  list->SetSerialNumber(0);
  return list;
}

GDeviceFontListComposite* CompositeOf(GDeviceFontList* list) {
  auto* composite = new GDeviceFontListComposite;
  composite->SetSerialNumber(0);
  composite->Lists()->SetSerialNumber(0);
  composite->AddList(list);
  return composite;
}

// An association list of GPersistableULong keys and string attributes.
MAssociationList* Names(std::initializer_list<std::pair<std::uint32_t, const char*>> names) {
  auto* list = new MAssociationList;
  for (auto [id, text] : names)
    list->SetAssociation(
        new MPersistentAssociation(new GPersistableULong(id), new GStringAttribute(text, 0)));
  return list;
}

// Two descriptions, stamp 9 and both association lists.
GDeviceFontList* FullList(std::uint32_t key = 417) {
  auto* list = new GDeviceFontList(key);
  list->AddDescription(Courier());
  list->AddDescription(
      GDeviceFontDescription("Arial", "", 277, Codes({}), 0, 0, 0x30, 5, 1, 12, 4, 7));
  list->SetSourceStamp(9);
  list->SetShortIdNames(Names({{4, "Arial"}}));
  list->SetLongIdNames(Names({{70000, "Courier"}, {3, "x"}}));
  return list;
}

// Golden bytes, from the stored forms. A file holds the magic 0x8888 (u32)
// once, then per new object its class id (u16: 855 = 57 03, 856 = 58 03,
// 873 = 69 03, 752 = F0 02) and its items, little-endian: the base part
// (version 1, key, serial 0), the class's version and fields. The
// description: version 2, "Courier" and "#HEIGHT" as length (u32) and
// bytes, default set 16, count 2, codes 55 (0x37) and 3, style 700
// (BC 02, u16), typeface 1, metrics 16 and 0, scalable 1, height 0 and
// second word 0 (u16 each), kind 1. The list: version 3, count 0, stamp 0,
// two nil references (FF FF and number 0). The composite: version 1, then
// the inner composite (version 1, count 1) and its child. The binary
// stream brackets each object as ':' (3A), class id, '{' (7B) ... '}'
// (7D), writes an 8-bit text's length twice, and a nil as '@' (40) and the
// number 0 (i32).
TEST(FontListStoredForms, GoldenBytes) {
  const std::string kDescriptionFields =
      "02 00 00 00 07 00 00 00 43 6F 75 72 69 65 72 07 00 00 00 23 48 45 49 47 48 54 "
      "10 00 00 00 02 00 00 00 37 00 00 00 03 00 00 00 BC 02 01 00 00 00 10 00 00 00 "
      "00 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00";
  const std::string kDescriptionBinary =
      "3A 57 03 7B 01 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00 07 00 00 00 07 00 00 00 "
      "43 6F 75 72 69 65 72 07 00 00 00 07 00 00 00 23 48 45 49 47 48 54 10 00 00 00 "
      "02 00 00 00 37 00 00 00 03 00 00 00 BC 02 01 00 00 00 10 00 00 00 00 00 00 00 "
      "01 00 00 00 00 00 00 00 01 00 00 00 7D";
  const std::string kListFile =
      "58 03 01 00 00 00 A0 01 00 00 00 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00 "
      "FF FF 00 00 00 00 FF FF 00 00 00 00";
  const std::string kListBinary =
      "3A 58 03 7B 01 00 00 00 A0 01 00 00 00 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00 "
      "40 00 00 00 00 40 00 00 00 00 7D";
  struct Case {
    const char* name;
    std::unique_ptr<MPersistentObject> object;
    std::string file;
    std::string binary;
  };
  const Case cases[] = {
      {"description", std::make_unique<GDeviceFontDescription>(Courier()),
       "88 88 00 00 57 03 01 00 00 00 00 00 00 00 00 00 00 00 " + kDescriptionFields,
       kDescriptionBinary},
      {"empty list 416", std::unique_ptr<MPersistentObject>(EmptyList416()),
       "88 88 00 00 " + kListFile, kListBinary},
      {"composite of the list", std::unique_ptr<MPersistentObject>(CompositeOf(EmptyList416())),
       "88 88 00 00 69 03 01 00 00 00 9E 01 00 00 00 00 00 00 01 00 00 00 "
       "F0 02 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 " +
           kListFile,
       "3A 69 03 7B 01 00 00 00 9E 01 00 00 00 00 00 00 01 00 00 00 "
       "3A F0 02 7B 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 " +
           kListBinary + " 7D 7D"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string file = Save(c.object.get(), Medium::kFile);
    EXPECT_EQ(Hex(file), c.file);
    EXPECT_EQ(c.object->GraphStoreSize(), file.size());
    EXPECT_EQ(Hex(Save(c.object.get(), Medium::kBinary)), c.binary);
  }
}

TEST(FontListStoredForms, RoundTripsInEveryMedium) {
  std::unique_ptr<GDeviceFontListComposite> composite(CompositeOf(FullList(417)));
  composite->AddList(FullList(418));
  composite->AddList(EmptyList416());
  std::unique_ptr<GDeviceFontList> full(FullList());
  std::unique_ptr<GDeviceFontDescription> courier(new GDeviceFontDescription(Courier()));
  const MPersistentObject* samples[] = {courier.get(), full.get(), composite.get()};
  for (const MPersistentObject* original : samples) {
    for (Medium medium : kAllMedia) {
      SCOPED_TRACE(std::to_string(original->ClassId()) + " " + model_testing::MediumName(medium));
      std::string bytes = Save(original, medium);
      Restored back = Restore(bytes, medium);
      ASSERT_NE(back.object, nullptr);
      EXPECT_TRUE(back.ok);
      // Every field but the stamp takes part in equality.
      EXPECT_TRUE(back.object->IsEqual(original));
      if (auto* list = dynamic_cast<GDeviceFontList*>(back.object)) {
        EXPECT_EQ(list->GetSourceStamp(), 9u);
        EXPECT_STREQ(list->LookupLongId(70000), "Courier");
      }
      FreeRestored(back.object);
    }
  }
}

// Restores `bytes` (a file) into `existing`; whether the file reads on.
bool RestoreInto(RWCollectable& existing, const std::string& bytes) {
  testing_support::TempPath path("fonts");
  testing_support::WriteAll(path.str(), bytes);
  RWFile file(path.c_str(), "rb");
  RestoreCollectableFromFile(file, &existing);
  return !file.Error();
}

// After the magic (4), the class id (2) and the base part (12).
constexpr std::size_t kVersionAt = 18;

std::string WithVersion(std::string bytes, std::uint32_t version) {
  bytes[kVersionAt] = static_cast<char>(version);
  return bytes;
}

// Version 1 of a description ends after the height: second word and kind
// read as 0. A version-0 description keeps what it holds.
TEST(FontListStoredForms, DescriptionVersions) {
  GDeviceFontDescription original("Face", "sel", 3, Codes({9, 8}), 400, 1, 2, 3, 0, 12, 77, 5);
  std::string bytes = Save(&original, Medium::kFile);
  // Without the second word (u16) and the kind (i32).
  std::string version1 = WithVersion(bytes.substr(0, bytes.size() - 6), 1);
  GDeviceFontDescription read;
  ASSERT_TRUE(RestoreInto(read, version1));
  GDeviceFontDescription expected("Face", "sel", 3, Codes({9, 8}), 400, 1, 2, 3, 0, 12, 0, 0);
  expected.SetSerialNumber(original.SerialNumber());
  EXPECT_TRUE(read.IsEqual(&expected));

  GDeviceFontDescription kept = original;
  ASSERT_TRUE(RestoreInto(kept, WithVersion(bytes, 0)));
  EXPECT_TRUE(kept.IsEqual(&original));
}

// A hundred stored codes come back in their order, in room for exactly
// them; the order of codes decides equality.
TEST(FontListStoredForms, HundredCodesKeepTheirOrder) {
  GSymbolSetList codes;
  for (std::uint32_t i = 0; i < 100; ++i)
    codes.Append(i * 37 % 101);
  GDeviceFontDescription original("Many", "", 0, codes, 0, 0, 0, 0, 0, 0, 0, 0);
  for (Medium medium : kAllMedia) {
    Restored back = Restore(Save(&original, medium), medium);
    auto* read = dynamic_cast<GDeviceFontDescription*>(back.object);
    ASSERT_NE(read, nullptr);
    EXPECT_TRUE(read->IsEqual(&original));
    ASSERT_EQ(read->GetSymbolSets().Count(), 100u);
    EXPECT_EQ(read->GetSymbolSets().Capacity(), 100u);
    for (std::uint32_t i = 0; i < 100; ++i)
      EXPECT_EQ(read->GetSymbolSets()[i], i * 37 % 101);
    delete read;
  }
  GDeviceFontDescription swapped("Many", "", 0, Codes({1, 2}), 0, 0, 0, 0, 0, 0, 0, 0);
  GDeviceFontDescription ordered("Many", "", 0, Codes({2, 1}), 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_FALSE(swapped.IsEqualContent(&ordered));
}

// Restores are cumulative: version 1 the descriptions (stamp 0, no
// lists), 2 also the stamp, 3 and later also the lists; 0 nothing.
TEST(FontListStoredForms, ListVersionsReadCumulatively) {
  std::unique_ptr<GDeviceFontList> original(FullList());
  std::unique_ptr<GDeviceFontList> without_names(FullList());
  without_names->SetShortIdNames(nullptr);
  without_names->SetLongIdNames(nullptr);
  std::string bytes = Save(without_names.get(), Medium::kFile);
  const std::size_t kNilBytes = 6;
  struct Case {
    std::uint32_t version;
    std::string bytes;
    std::uint32_t descriptions;
    std::uint32_t stamp;
    bool names;
  };
  const Case cases[] = {
      {0, WithVersion(bytes, 0), 2, 9, true},
      {1, WithVersion(bytes.substr(0, bytes.size() - 4 - 2 * kNilBytes), 1), 2, 0, false},
      {2, WithVersion(bytes.substr(0, bytes.size() - 2 * kNilBytes), 2), 2, 9, false},
      {4, WithVersion(Save(original.get(), Medium::kFile), 4), 2, 9, true},
  };
  const GDeviceFontDescription courier = Courier();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    // A list that holds something else, so that every field read must change
    // (version 0: the original, which must stay).
    GDeviceFontList read(1);
    read.AddDescription(GDeviceFontDescription());
    read.SetSourceStamp(1);
    read.SetShortIdNames(Names({{4, "Arial"}}));
    if (c.version == 0) read = *original;
    ASSERT_TRUE(RestoreInto(read, c.bytes));
    EXPECT_EQ(read.GetCount(), c.descriptions);
    EXPECT_EQ(read.GetSourceStamp(), c.stamp);
    EXPECT_EQ(read.LookupShortId(4) != nullptr, c.names);
    GDeviceFontDescription first;
    ASSERT_EQ(read.GetDescriptionAt(0, first), 1);
    EXPECT_TRUE(first.IsEqualContent(&courier));
  }
}

// A composite of another version keeps its lists.
TEST(FontListStoredForms, CompositeOfAnotherVersionKeepsItsLists) {
  std::unique_ptr<GDeviceFontListComposite> stored(CompositeOf(EmptyList416()));
  GDeviceFontListComposite kept;
  kept.AddList(FullList(420));
  ASSERT_TRUE(RestoreInto(kept, WithVersion(Save(stored.get(), Medium::kFile), 2)));
  ASSERT_EQ(kept.GetCount(), 1u);
  EXPECT_NE(kept.FindByKey(420), nullptr);
}

// A token of the wrong class fails the restore at that token: a
// description that is nil or of another class, an association list of
// another class, an inner composite that is not exactly MPersistentComposite
// (the lists are then left empty), a child that is not a font list.
TEST(FontListStoredForms, TokensOfTheWrongClassFail) {
  auto token = [](const MPersistentObject& object) {
    return Save(&object, Medium::kFile).substr(4);  // without the magic
  };
  GDeviceFontList one(416);
  one.AddDescription(Courier());
  const std::string list = Save(&one, Medium::kFile);
  const GDeviceFontDescription courier = Courier();
  const std::size_t description_at = 4 + 2 + 12 + 4 + 4;
  const std::string description = token(courier);
  const std::string number = token(GPersistableULong(5));
  std::string nil_description = list;
  nil_description.replace(description_at, description.size(), Unhex("FF FF 00 00 00 00"));
  std::string number_description = list;
  number_description.replace(description_at, description.size(), number);
  const std::size_t names_at = description_at + description.size() + 4;
  std::string description_as_names = list;
  description_as_names.replace(names_at, 6, description);
  // The list is object 1, its description 2: no reference may name a part
  // that the list holds by value.
  std::string names_naming_description = list;
  names_naming_description.replace(names_at, 6, Unhex("FF FF 02 00 00 00"));

  GDeviceFontListComposite empty_composite;
  empty_composite.Lists()->SetSerialNumber(0);
  const std::string composite = Save(&empty_composite, Medium::kFile);
  const std::size_t inner_at = 4 + 2 + 12 + 4;
  const std::string inner = composite.substr(inner_at);
  std::string names_as_inner = composite.substr(0, inner_at) + token(MAssociationList());
  MPersistentComposite holding_number;
  holding_number.AddChild(new GPersistableULong(1));
  std::string number_in_inner = composite.substr(0, inner_at) + token(holding_number);
  std::string nil_inner = composite.substr(0, inner_at) + Unhex("FF FF 00 00 00 00");
  // The composite is object 1, its inner composite 2, the list in it 3.
  GDeviceFontListComposite holding_list;
  holding_list.AddList(new GDeviceFontList(416));
  std::string list_naming_inner = Save(&holding_list, Medium::kFile);
  list_naming_inner.replace(list_naming_inner.size() - 12, 6, Unhex("FF FF 02 00 00 00"));

  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"nil description", nil_description},
      {"number as description", number_description},
      {"description as short-id names", description_as_names},
      {"short-id names naming the description", names_naming_description},
      {"a list's names naming the inner composite", list_naming_inner},
      {"association list as inner composite", names_as_inner},
      {"number in the inner composite", number_in_inner},
      {"nil inner composite", nil_inner},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restored back = Restore(c.bytes, Medium::kFile);
    EXPECT_FALSE(back.ok);
    ASSERT_NE(back.object, nullptr);
    if (auto* lists = dynamic_cast<GDeviceFontListComposite*>(back.object)) {
      EXPECT_EQ(lists->GetCount(), 0u);
    }
    FreeRestored(back.object);
  }
  // The unchanged forms read.
  for (const std::string& good : {list, composite}) {
    Restored back = Restore(good, Medium::kFile);
    EXPECT_TRUE(back.ok);
    FreeRestored(back.object);
  }
}

TEST(FontListStoredForms, TruncationAndRandomDamageEndCleanly) {
  std::unique_ptr<GDeviceFontListComposite> composite(CompositeOf(FullList(417)));
  composite->AddList(FullList(418));
  std::unique_ptr<GDeviceFontList> full(FullList());
  GDeviceFontDescription courier = Courier();
  std::mt19937 rng(873);
  for (const MPersistentObject* sample : {static_cast<const MPersistentObject*>(&courier),
                                          static_cast<const MPersistentObject*>(full.get()),
                                          static_cast<const MPersistentObject*>(composite.get())}) {
    SCOPED_TRACE(sample->ClassId());
    model_testing::ExpectEveryTruncationFails(*sample);
    model_testing::RestoreRandomFlips(*sample, rng, 150);
  }
}

}  // namespace
