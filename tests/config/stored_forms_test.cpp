// Stored forms of the attributes: golden bytes on RWFile, on a binary stream
// and in portable text; round trips in every medium; versions the reader
// does not know; bad data (objects that are no attributes, nil entries,
// choices that are no descendants); truncation and random damage, read with
// the default error handler in force.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "config/attributes/enum_attribute.h"
#include "config/attributes/value_attribute.h"
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

// A GValueAttribute with value 5 and key 260, serial number cleared.
std::unique_ptr<MPersistentObject> ValueSample() {
  auto value = std::make_unique<GValueAttribute>(5, 260);
  value->ClearSerialNumbers();
  return value;
}

// A composite with key 362 holding that value attribute.
std::unique_ptr<MPersistentObject> CompositeSample() {
  auto composite = std::make_unique<GAttributeComposite>(362);
  composite->AddChild(ValueSample().release());
  composite->ClearSerialNumbers();
  return composite;
}

// An enumeration with key 253 of the value attributes 1 and 2 (key 0), the
// second one current.
std::unique_ptr<MPersistentObject> EnumSample() {
  auto e = std::make_unique<GEnumAttribute>(253);
  e->AddChild(new GValueAttribute(1, 0));
  e->AddChild(new GValueAttribute(2, 0));
  e->SelectNext();
  e->ClearSerialNumbers();
  return e;
}

// Golden bytes, from the stored forms. A file holds the magic 0x8888 (u32)
// once, then per new object its class id (u16: 763 = FB 02, 757 = F5 02,
// 764 = FC 02) and its items, little-endian: the persistent base part
// (version 1, key, serial 0), the attribute part (version 1, state 1), and
// the class's own part: for the value attribute version 1 and the value as
// an i16; for the composite version 1, the count (u32) and the children;
// for the enumeration the composite part, then version 1, the current
// choice and the choice class id (u16). The choice was written before, so
// it is a back reference: 0xFFFF and its number (u32; the enumeration is 1,
// its choices 2 and 3). The binary stream holds ':' (3A), the class id, '{'
// (7B), the same items, '}' (7D), and '@' (40) with an i32 number for a back
// reference. Portable text writes ':' and '@' as themselves, the braces as
// \[ and \], and each number in decimal with a line feed.
TEST(AttributeStoredForms, GoldenBytesAndRoundTrips) {
  struct Case {
    const char* name;
    std::unique_ptr<MPersistentObject> (*make)();
    const char* file;
    const char* binary;
    const char* portable;
  };
  const Case cases[] = {
      {"value", &ValueSample,
       "88 88 00 00 FB 02 01 00 00 00 04 01 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 05 00",
       "3A FB 02 7B 01 00 00 00 04 01 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 05 00 7D",
       ":763\n\\[1\n260\n0\n1\n1\n1\n5\n\\]"},
      {"composite", &CompositeSample,
       "88 88 00 00 F5 02 01 00 00 00 6A 01 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 "
       "FB 02 01 00 00 00 04 01 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 05 00",
       "3A F5 02 7B 01 00 00 00 6A 01 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 "
       "3A FB 02 7B 01 00 00 00 04 01 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 05 00 7D 7D",
       ":757\n\\[1\n362\n0\n1\n1\n1\n1\n:763\n\\[1\n260\n0\n1\n1\n1\n5\n\\]\\]"},
      {"enumeration", &EnumSample,
       "88 88 00 00 FC 02 01 00 00 00 FD 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 02 00 00 00 "
       "FB 02 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 01 00 "
       "FB 02 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 02 00 "
       "01 00 00 00 FF FF 03 00 00 00 FB 02",
       "3A FC 02 7B 01 00 00 00 FD 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 02 00 00 00 "
       "3A FB 02 7B 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 7D "
       "3A FB 02 7B 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 02 00 7D "
       "01 00 00 00 40 03 00 00 00 FB 02 7D",
       ":764\n\\[1\n253\n0\n1\n1\n1\n2\n:763\n\\[1\n0\n0\n1\n1\n1\n1\n\\]"
       ":763\n\\[1\n0\n0\n1\n1\n1\n2\n\\]1\n@3\n763\n\\]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<MPersistentObject> original = c.make();
    std::string file = Save(original.get(), Medium::kFile);
    EXPECT_EQ(Hex(file), c.file);
    EXPECT_EQ(original->GraphStoreSize(), file.size());
    EXPECT_EQ(Hex(Save(original.get(), Medium::kBinary)), c.binary);
    EXPECT_EQ(Save(original.get(), Medium::kPortable), c.portable);

    for (Medium medium : kAllMedia) {
      SCOPED_TRACE(model_testing::MediumName(medium));
      Restored back = Restore(Save(original.get(), medium), medium);
      ASSERT_NE(back.object, nullptr);
      EXPECT_TRUE(back.ok);
      EXPECT_TRUE(back.object->IsEqual(original.get()));
      back.object->ClearSerialNumbers();  // a stored 0 gave new ones
      EXPECT_EQ(Save(back.object, medium), Save(original.get(), medium));
      if (auto* e = dynamic_cast<GEnumAttribute*>(back.object)) {
        EXPECT_EQ(e->GetChoice(), e->Children().At(1).Get());
        EXPECT_EQ(e->Children().Capacity(), 64u);
      }
      FreeRestored(back.object);
    }
  }
}

// Every kind round-trips with fields other than the defaults, and a 16-bit
// value of 32768 or more goes through portable text as a negative number.
TEST(AttributeStoredForms, EveryKindRoundTrips) {
  auto tree = std::make_unique<GAttributeComposite>(1);
  tree->AddChild(new GValueAttribute(40000, 2));
  tree->AddChild(new GValue32Attribute(0xFEDCBA98u, 3));
  tree->AddChild(new GStringAttribute(RWCString("A4 \"x\"\n\\{}", 11), 4));
  tree->AddChild(new GRangeAttribute(-300, 300, 7, -21, 5));
  auto* inactive = new GValueAttribute(1, 6);
  inactive->SetState(0);
  tree->AddChild(inactive);
  auto* e = new GEnumAttribute(7);
  e->AddChild(new GStringAttribute("A4", 0));
  tree->AddChild(e);
  tree->AddChild(new GEnumAttribute(8));  // no choice
  tree->AddChild(inactive);               // shared
  EXPECT_NE(Save(tree.get(), Medium::kPortable).find("\n-25536\n"), std::string::npos);
  for (Medium medium : kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    Restored back = Restore(Save(tree.get(), medium), medium);
    ASSERT_NE(back.object, nullptr);
    EXPECT_TRUE(back.ok);
    EXPECT_TRUE(back.object->IsEqual(tree.get()));
    const std::uint32_t two = 2, six = 6;
    EXPECT_EQ(static_cast<GValueAttribute*>(back.object->FindByKey(two))->GetValue(), 40000);
    auto* state = static_cast<GAttribute*>(back.object->FindByKey(six));
    EXPECT_EQ(state->State(), 0);
    EXPECT_EQ(state->ReferenceCount(), 1);  // shared again
    FreeRestored(back.object);
  }
}

// A version word other than 1 leaves that level's fields as constructed
// (state 1 at the attribute level) and reads nothing further of that level;
// what follows is read as the next level's data, without crash or overrun.
TEST(AttributeStoredForms, UnknownVersionsKeepConstructedValues) {
  struct Case {
    const char* name;
    const char* bytes;  // after the magic
    std::int32_t state;
    std::uint16_t value;
    bool ok;
  };
  const Case cases[] = {
      // The attribute level stops at version 2; the value level then takes
      // the next two words as its version 1 and its value 7.
      {"attribute version 2",
       "FB 02 01 00 00 00 04 01 00 00 00 00 00 00 02 00 00 00 01 00 00 00 07 00", 1, 7, true},
      {"value version 2",
       "FB 02 01 00 00 00 04 01 00 00 00 00 00 00 01 00 00 00 00 00 00 00 "
       "02 00 00 00 05 00",
       0, 0, true},
      // Too little left for the misread rest: the read fails cleanly.
      {"attribute version 2, short", "FB 02 01 00 00 00 04 01 00 00 00 00 00 00 02 00 00 00 07 00",
       1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restored back = Restore(Unhex(std::string("88 88 00 00 ") + c.bytes), Medium::kFile);
    auto* value = dynamic_cast<GValueAttribute*>(back.object);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(back.ok, c.ok);
    EXPECT_EQ(value->Key(), 260u);
    EXPECT_EQ(value->State(), c.state);
    EXPECT_EQ(value->GetValue(), c.value);
    delete value;
  }

  // A composite of another version keeps its children; an enumeration of
  // another version keeps its choice.
  struct InPlace {
    const char* name;
    std::unique_ptr<MPersistentObject> (*make)();
    const char* class_id;
    const char* rest;  // after the attribute part
  };
  const InPlace in_place[] = {
      {"composite version 2", &CompositeSample, "F5 02 ", "02 00 00 00"},
      {"enumeration version 2", &EnumSample, "FC 02 ", "02 00 00 00 02 00 00 00"},
  };
  for (const InPlace& c : in_place) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<MPersistentObject> existing = c.make();
    std::unique_ptr<MPersistentObject> reference = c.make();
    testing_support::TempPath path("attr");
    testing_support::WriteAll(
        path.str(), Unhex(std::string("88 88 00 00 ") + c.class_id +
                          "01 00 00 00 2A 00 00 00 09 00 00 00 01 00 00 00 00 00 00 00 " + c.rest));
    RWFile file(path.c_str(), "rb");
    EXPECT_EQ(RestoreCollectableFromFile(file, existing.get()), existing.get());
    EXPECT_FALSE(file.Error());
    EXPECT_EQ(existing->Key(), 42u);
    EXPECT_EQ(static_cast<GAttribute*>(existing.get())->State(), 0);
    EXPECT_EQ(existing->EntryCount(), reference->EntryCount());
    if (auto* e = dynamic_cast<GEnumAttribute*>(existing.get())) {
      EXPECT_EQ(e->GetChoice(), e->Children().At(1).Get());
    }
  }
}

// Bad data fails the restore, or is dropped, and never leaves a child that
// is no attribute, a null entry, or a choice outside the enumeration.
TEST(AttributeStoredForms, BadDataNeverLeavesWrongChildren) {
  // After the magic: a composite F5 02 (or enumeration FC 02), its base part
  // (version 1, key 0, serial 1), attribute part (version 1, state 1) and
  // version 1.
  const std::string kParts =
      "01 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 "
      "01 00 00 00 ";
  const std::string kComposite = "88 88 00 00 F5 02 " + kParts;
  const std::string kEnum = "88 88 00 00 FC 02 " + kParts;
  const std::string kValue =
      "FB 02 01 00 00 00 09 00 00 00 02 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 03 00 ";
  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    std::uint32_t children;
    bool choice;
  };
  const Case cases[] = {
      {"a persistent composite as a child", kComposite + "01 00 00 00 F0 02", false, 0, false},
      {"a collection as a child", kComposite + "01 00 00 00 07 80", false, 0, false},
      {"nil entries are dropped",
       kComposite + "03 00 00 00 FF FF 00 00 00 00 " + kValue + "FF FF 00 00 00 00", true, 1,
       false},
      {"the composite inside itself", kComposite + "01 00 00 00 FF FF 01 00 00 00", false, 0,
       false},
      {"count beyond the data", kComposite + "FF FF FF 7F FF FF 00 00 00 00", false, 0, false},
      {"a choice that is a child",
       kEnum + "01 00 00 00 " + kValue + "01 00 00 00 FF FF 02 00 00 00 FB 02", true, 1, true},
      {"the enumeration as its own choice",
       kEnum + "01 00 00 00 " + kValue + "01 00 00 00 FF FF 01 00 00 00 FB 02", false, 1, false},
      {"a choice from outside", kEnum + "01 00 00 00 " + kValue + "01 00 00 00 " + kValue + "FB 02",
       false, 1, false},
      {"a choice that is no attribute", kEnum + "00 00 00 00 01 00 00 00 07 80 FB 02", false, 0,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restored back = Restore(Unhex(c.bytes), Medium::kFile);
    EXPECT_EQ(back.ok, c.ok);
    auto* composite = dynamic_cast<GAttributeComposite*>(back.object);
    ASSERT_NE(composite, nullptr);
    EXPECT_EQ(composite->EntryCount(), c.children);
    for (RWSize i = 0; i < composite->Children().Count(); ++i) {
      EXPECT_NE(dynamic_cast<GAttribute*>(composite->Children().At(i).Get()), nullptr);
    }
    if (auto* e = dynamic_cast<GEnumAttribute*>(composite)) {
      EXPECT_EQ(e->GetChoice() != nullptr, c.choice);
      EXPECT_TRUE(!e->GetChoice() || e->HoldsDescendant(e->GetChoice()));
    }
    FreeRestored(back.object);
  }
}

using Sample = std::unique_ptr<MPersistentObject> (*)();
constexpr Sample kSamples[] = {&ValueSample, &CompositeSample, &EnumSample};

TEST(AttributeStoredForms, TruncationAtEveryByteFailsCleanly) {
  for (Sample make : kSamples)
    model_testing::ExpectEveryTruncationFails(*make());
}

TEST(AttributeStoredForms, RandomByteFlipsNeverCrash) {
  std::mt19937 rng(20261215);
  for (Sample make : kSamples)
    model_testing::RestoreRandomFlips(*make(), rng, 150);
}

}  // namespace
