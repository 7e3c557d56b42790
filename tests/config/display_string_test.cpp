// Display strings and the attribute that holds one: golden stored forms,
// round trips in every medium, equality, unknown versions, and the embedded
// display string that only a new object of class 786 may fill.
#include "config/attributes/display_string.h"

#include <gtest/gtest.h>

#include <memory>

#include "foundation/rw/file.h"
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

// GDisplayString(7, "A", "M") with serial 0, and an attribute (key 0)
// holding it, serial 0 as well.
GDisplayString Sample() {
  GDisplayString s(7, "A", "M");
  s.SetSerialNumber(0);
  return s;
}

std::unique_ptr<GDisplayStringAttribute> AttributeSample() {
  auto attribute = std::make_unique<GDisplayStringAttribute>();
  attribute->SetDisplayString(Sample());
  attribute->SetSerialNumber(0);
  return attribute;
}

// The stored forms, derived by hand: the file magic 0x8888 (u32), the class
// id (u16: 786 = 12 03, 787 = 13 03), then little-endian items. The base
// part is version 1, key 0, serial 0. The display string follows with
// version 1, the module name "M" (u32 length 1, 4D), the text "A" (length
// 1, 41) and the string id 7 as a u16: 6 + 12 + 16 = 34 bytes. The
// attribute has the base part, the attribute part (version 1, state 1), its
// version 1, then the display string as an object token: its class id and
// the same 28 bytes: 4 + 2 + 20 + 4 + 2 + 28 = 60. The attribute's stored
// size counts the token's 2 bytes.
constexpr const char* kDisplayStringBytes =
    "01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 4D 01 00 00 00 41 07 00";

TEST(DisplayString, GoldenBytesAndRoundTrips) {
  GDisplayString string = Sample();
  std::unique_ptr<GDisplayStringAttribute> attribute = AttributeSample();
  struct Case {
    const MPersistentObject* object;
    std::string file;
  };
  const Case cases[] = {
      {&string, std::string("88 88 00 00 12 03 ") + kDisplayStringBytes},
      {attribute.get(), std::string("88 88 00 00 13 03 01 00 00 00 00 00 00 00 00 00 00 00 "
                                    "01 00 00 00 01 00 00 00 01 00 00 00 12 03 ") +
                            kDisplayStringBytes},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.object->ClassId());
    std::string file = Save(c.object, Medium::kFile);
    EXPECT_EQ(Hex(file), c.file);
    EXPECT_EQ(c.object->GraphStoreSize(), file.size());
    for (Medium medium : kAllMedia) {
      SCOPED_TRACE(model_testing::MediumName(medium));
      Restored back = Restore(Save(c.object, medium), medium);
      ASSERT_NE(back.object, nullptr);
      EXPECT_TRUE(back.ok);
      EXPECT_TRUE(back.object->IsEqual(c.object));
      if (auto* held = dynamic_cast<GDisplayStringAttribute*>(back.object)) {
        EXPECT_EQ(held->GetDisplayString().GetText(), "A");
        EXPECT_EQ(held->GetDisplayString().GetModuleName(), "M");
        EXPECT_EQ(held->GetDisplayString().GetStringId(), 7);
      }
      FreeRestored(back.object);
    }
  }
  EXPECT_EQ(attribute->TypeId(), kGDisplayStringAttributeId);
  EXPECT_TRUE(attribute->IsKindOf(kGAttributeId));
  EXPECT_FALSE(string.IsKindOf(kGAttributeId));
}

// The extraction operator reads a display string and refuses the attribute.
TEST(DisplayString, ExtractionOperator) {
  GDisplayString string = Sample();
  std::unique_ptr<GDisplayStringAttribute> attribute = AttributeSample();
  for (const MPersistentObject* saved : {static_cast<const MPersistentObject*>(&string),
                                         static_cast<const MPersistentObject*>(attribute.get())}) {
    testing_support::TempPath path("ds");
    testing_support::WriteAll(path.str(), Save(saved, Medium::kFile));
    RWFile file(path.c_str(), "rb");
    GDisplayString* read = nullptr;
    file >> read;
    EXPECT_EQ(read != nullptr, saved == &string);
    EXPECT_EQ(file.Error(), saved != &string);
    EXPECT_TRUE(!read || read->IsEqual(&string));
    delete read;
  }
}

TEST(DisplayString, EqualityNullTextsAndAssignment) {
  GDisplayString empty(0, nullptr, nullptr);
  EXPECT_EQ(empty.GetText(), "");
  EXPECT_EQ(empty.GetModuleName(), "");
  struct Case {
    const char* name;
    GDisplayString other;
    bool equal;
  };
  GDisplayString base(7, "Tray 1", "res.dll");
  const Case cases[] = {
      {"same fields, other serial", GDisplayString(7, "Tray 1", "res.dll"), true},
      {"module name in another case", GDisplayString(7, "Tray 1", "RES.DLL"), false},
      {"other text", GDisplayString(7, "Tray 2", "res.dll"), false},
      {"other string id", GDisplayString(8, "Tray 1", "res.dll"), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(base.IsEqualContent(&c.other), c.equal);
    GDisplayStringAttribute a(5, 7, "Tray 1", "res.dll");
    GDisplayStringAttribute b(5, 0, nullptr, nullptr);
    b.SetDisplayString(c.other);
    EXPECT_EQ(a.IsEqualContent(&b), c.equal);
  }
  GDisplayString keyed = base;
  keyed.SetKey(3);
  EXPECT_FALSE(base.IsEqualContent(&keyed));

  GDisplayStringAttribute copy(9, 1, "x", "y");
  copy.SetState(0);
  GDisplayStringAttribute assigned;
  assigned = copy;
  EXPECT_TRUE(assigned.IsEqualContent(&copy));
  EXPECT_EQ(assigned.State(), 0);
  EXPECT_EQ(assigned.SerialNumber(), copy.SerialNumber());
}

// A version word other than 1 keeps the constructed fields; the embedded
// display string is read only from a new object of class 786, and nothing
// outside its owner may refer back to it.
TEST(DisplayString, VersionsAndEmbeddedTokens) {
  // After the magic, the attribute's class id and parts up to its version.
  const std::string kAttribute =
      "13 03 01 00 00 00 05 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 ";
  const std::string kString = std::string("12 03 ") + kDisplayStringBytes;
  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    const char* text;  // the held display string's text afterwards
  };
  const Case cases[] = {
      {"attribute version 2", kAttribute + "02 00 00 00", true, "keep"},
      {"string version 2",
       kAttribute + "01 00 00 00 12 03 01 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00", true,
       "keep"},
      {"a new object of class 786", kAttribute + "01 00 00 00 " + kString, true, "A"},
      {"a new object of class 787", kAttribute + "01 00 00 00 13 03 " + kDisplayStringBytes, false,
       "keep"},
      {"the nil object", kAttribute + "01 00 00 00 FF FF 00 00 00 00", false, "keep"},
      {"a back reference to the attribute", kAttribute + "01 00 00 00 FF FF 01 00 00 00", false,
       "keep"},
      {"the class by name",
       kAttribute + "01 00 00 00 8F 88 0E 00 00 00 47 44 69 73 70 6C 61 79 53 74 72 69 6E 67 " +
           kDisplayStringBytes,
       false, "keep"},
      {"cut inside the string", kAttribute + "01 00 00 00 12 03 01 00 00 00 00 00", false, "keep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restored back = Restore(Unhex("88 88 00 00 " + c.bytes), Medium::kFile);
    auto* attribute = dynamic_cast<GDisplayStringAttribute*>(back.object);
    ASSERT_NE(attribute, nullptr);
    EXPECT_EQ(back.ok, c.ok);
    EXPECT_EQ(attribute->Key(), 5u);
    EXPECT_EQ(attribute->GetDisplayString().GetText(), std::string(c.text) == "keep" ? "" : c.text);
    delete attribute;
  }

  // A composite (752 = F0 02; base part, version 1, count 2) holding the
  // attribute (number 2, its string number 3) and a back reference to 3.
  Restored back = Restore(
      Unhex("88 88 00 00 F0 02 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 02 00 00 00 " +
            kAttribute + "01 00 00 00 " + kString + " FF FF 03 00 00 00"),
      Medium::kFile);
  EXPECT_FALSE(back.ok);
  ASSERT_NE(back.object, nullptr);
  EXPECT_EQ(back.object->EntryCount(), 1u);
  FreeRestored(back.object);
}

}  // namespace
