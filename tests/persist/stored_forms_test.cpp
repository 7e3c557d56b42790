// Stored forms of the persistent model: golden bytes on RWFile, on a binary
// stream and in portable text; versions the reader does not know; bad and
// damaged data, read with the default error handler in force.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>

#include "foundation/rw/error.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_composite.h"
#include "tests/persist/media.h"
#include "tests/persist/probe.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

using model_testing::kAllMedia;
using model_testing::Medium;
using model_testing::Restore;
using model_testing::Restored;
using model_testing::Save;
using testing_support::Hex;
using testing_support::TempPath;
using testing_support::Unhex;

// A GPersistableLong of -2 with key 0x1A2B3C4D and serial 5.
std::unique_ptr<MPersistentObject> IntegerSample() {
  auto number = std::make_unique<GPersistableLong>(-2);
  number->SetKey(0x1A2B3C4D);
  number->SetSerialNumber(5);
  return number;
}

// A composite (key 42, serial 9) holding one GPersistableULong (0xFFFFFFFF,
// key 3, serial 10) twice.
std::unique_ptr<MPersistentObject> SharedChildSample() {
  auto composite = std::make_unique<MPersistentComposite>(42);
  composite->SetSerialNumber(9);
  auto* child = new GPersistableULong(0xFFFFFFFFu);
  child->SetKey(3);
  child->SetSerialNumber(10);
  composite->AddChild(child);
  composite->AddChild(child);
  return composite;
}

// Golden bytes, from the layouts: the file holds the magic 0x8888 (u32),
// then a class id (u16, 777 = 0x0309, 752 = 0x02F0, 778 = 0x030A) and the
// object's items (u32/i32, little-endian); a repeated object is 0xFFFF and
// its number (u32; the composite is 1, its child 2). The binary stream holds
// ':' (3A), the class id, '{' (7B), the items, '}' (7D), and '@' (40) with
// the number (i32) for a back reference. Portable text writes ':', '@' as
// themselves, the braces as \[ and \], and each number in decimal with a
// line feed. Items: base part (version 1, key, serial), then the class's
// version 1 and its fields (the value; the count and the children).
TEST(ModelStoredForms, GoldenBytesAndRoundTrips) {
  struct Case {
    const char* name;
    std::unique_ptr<MPersistentObject> (*make)();
    const char* file;
    const char* binary;
    const char* portable;
  };
  const Case cases[] = {
      {"integer", &IntegerSample,
       "88 88 00 00 09 03 01 00 00 00 4D 3C 2B 1A 05 00 00 00 01 00 00 00 FE FF FF FF",
       "3A 09 03 7B 01 00 00 00 4D 3C 2B 1A 05 00 00 00 01 00 00 00 FE FF FF FF 7D",
       ":777\n\\[1\n439041101\n5\n1\n-2\n\\]"},
      {"shared child", &SharedChildSample,
       "88 88 00 00 F0 02 01 00 00 00 2A 00 00 00 09 00 00 00 01 00 00 00 02 00 00 00 "
       "0A 03 01 00 00 00 03 00 00 00 0A 00 00 00 01 00 00 00 FF FF FF FF FF FF 02 00 00 00",
       "3A F0 02 7B 01 00 00 00 2A 00 00 00 09 00 00 00 01 00 00 00 02 00 00 00 "
       "3A 0A 03 7B 01 00 00 00 03 00 00 00 0A 00 00 00 01 00 00 00 FF FF FF FF 7D "
       "40 02 00 00 00 7D",
       ":752\n\\[1\n42\n9\n1\n2\n:778\n\\[1\n3\n10\n1\n4294967295\n\\]@2\n\\]"},
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
      Restored back = Restore(Save(original.get(), medium), medium);
      ASSERT_NE(back.object, nullptr);
      EXPECT_TRUE(back.ok);
      EXPECT_TRUE(back.object->IsEqual(original.get()));
      EXPECT_EQ(back.object->SerialNumber(), original->SerialNumber());
      if (auto* composite = dynamic_cast<MPersistentComposite*>(back.object)) {
        ASSERT_EQ(composite->EntryCount(), 2u);
        MPersistentObject* child = composite->Children().At(0).Get();
        EXPECT_EQ(composite->Children().At(1).Get(), child);  // shared again
        EXPECT_EQ(child->ReferenceCount(), 1);
        EXPECT_EQ(child->SerialNumber(), 10u);
        EXPECT_EQ(composite->Children().Capacity(), 64u);
      }
      FreeRestored(back.object);
    }
  }
}

// Versions the reader does not know keep that level's constructed values
// and read nothing further of that level; what follows is read as the next
// level's data.
TEST(ModelStoredForms, UnknownVersionsKeepConstructedValues) {
  struct Case {
    const char* name;
    const char* bytes;  // after the magic and the class id 777
    std::uint32_t key;
    std::int32_t value;
    std::uint32_t serial;  // 0: a new one from construction
  };
  const Case cases[] = {
      // Base version 2 stops the base part; the integer then takes the next
      // two words as its version 1 and its value 7.
      {"base version 2", "02 00 00 00 01 00 00 00 07 00 00 00", 0, 7, 0},
      {"stored serial 0", "01 00 00 00 2A 00 00 00 00 00 00 00 01 00 00 00 05 00 00 00", 42, 5, 0},
      {"class version 2", "01 00 00 00 2A 00 00 00 09 00 00 00 02 00 00 00", 42, 0, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::uint32_t next = MPersistentObject::SerialCounter();
    if (next == 0) next = 1;
    Restored back = Restore(Unhex(std::string("88 88 00 00 09 03 ") + c.bytes), Medium::kFile);
    auto* number = dynamic_cast<GPersistableLong*>(back.object);
    ASSERT_NE(number, nullptr);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(number->Key(), c.key);
    EXPECT_EQ(number->Value(), c.value);
    EXPECT_EQ(number->SerialNumber(), c.serial ? c.serial : next);
    delete number;
  }

  // A composite restored in place from version 2 keeps its children.
  MPersistentComposite existing;
  existing.AddChild(new ProbeLeaf(1));
  TempPath path("model");
  testing_support::WriteAll(
      path.str(), Unhex("88 88 00 00 F0 02 01 00 00 00 2A 00 00 00 09 00 00 00 02 00 00 00"));
  RWFile file(path.c_str(), "rb");
  EXPECT_EQ(RestoreCollectableFromFile(file, &existing), &existing);
  EXPECT_FALSE(file.Error());
  EXPECT_EQ(existing.Key(), 42u);
  EXPECT_EQ(existing.EntryCount(), 1u);
}

// Bad data fails the restore and is reported; the process goes on with the
// default handler in force, and the caller's scope holds the error.
TEST(ModelStoredForms, BadDataFailsTheRestore) {
  // Each after the magic: a composite 0x02F0, its base part (version 1,
  // key 0, serial 1) and version 1, then what follows.
  const std::string kComposite =
      "88 88 00 00 F0 02 01 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 ";
  // Composites nested deeper than the readers go.
  std::string deep = "88 88 00 00";
  for (int i = 0; i < 1100; ++i)
    deep += " F0 02 01 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00";
  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    std::uint32_t children;  // of the restored root
    const char* error;       // what the caller's scope holds
    Medium medium = Medium::kFile;
  };
  const Case cases[] = {
      {"unknown class id", kComposite + "01 00 00 00 E7 03", false, 0, "[NOCREATE]"},
      {"count beyond the data", kComposite + "FF FF FF 7F FF FF 00 00 00 00", false, 0, ""},
      {"the composite inside itself", kComposite + "01 00 00 00 FF FF 01 00 00 00", false, 0, ""},
      // The inner composite refuses its enclosing one and fails; the root
      // keeps the inner one, so both are freed.
      {"a cycle through a child",
       kComposite + "01 00 00 00 F0 02 01 00 00 00 07 00 00 00 02 00 00 00 01 00 00 00 "
                    "01 00 00 00 FF FF 01 00 00 00",
       false, 1, ""},
      {"a child that is no model object", kComposite + "01 00 00 00 07 80", false, 0, ""},
      {"a bad back reference", kComposite + "01 00 00 00 FF FF 09 00 00 00", false, 0, "[REF]"},
      {"an empty entry", kComposite + "01 00 00 00 FF FF 00 00 00 00", true, 1, ""},
      {"bad magic", "89 88 00 00 F0 02", false, 0, "[MAGIC]"},
      {"nesting too deep", deep, false, 1, ""},
      // On a stream the children are read one by one: a nil, then the end.
      {"count beyond a stream",
       "3A F0 02 7B 01 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 FF FF FF 7F 40 00 00 00 00",
       false, 1, "", Medium::kBinary},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RWErrorScope caller;
    Restored back = Restore(Unhex(c.bytes), c.medium);
    EXPECT_EQ(back.ok, c.ok);
    EXPECT_EQ(back.object ? back.object->EntryCount() : 0, c.children);
    EXPECT_NE(std::string(caller.Text()).find(c.error), std::string::npos) << caller.Text();
    if (auto* composite = dynamic_cast<MPersistentComposite*>(back.object)) {
      EXPECT_EQ(composite->ReferenceCount(), -1);
      EXPECT_EQ(composite->Children().Capacity(), 64u);  // nothing allocated from the count
    }
    FreeRestored(back.object);
  }

  // A reference to something that is not a model object is no model pointer.
  Restored not_model = Restore(Unhex("88 88 00 00 07 80"), Medium::kFile);
  EXPECT_EQ(not_model.object, nullptr);
  EXPECT_FALSE(not_model.ok);
}

std::unique_ptr<MPersistentObject> NestedSample() {
  auto root = std::make_unique<MPersistentComposite>(1);
  auto* inner = new MPersistentComposite(2);
  auto* shared = new GPersistableULong(77);
  root->AddChild(new GPersistableLong(-5));
  root->AddChild(inner);
  inner->AddChild(shared);
  inner->AddChild(new MPersistentComposite(3));
  root->AddChild(shared);
  return root;
}

using Sample = std::unique_ptr<MPersistentObject> (*)();
constexpr Sample kSamples[] = {&IntegerSample, &SharedChildSample, &NestedSample};

TEST(ModelStoredForms, TruncationAtEveryByteFailsCleanly) {
  for (Sample make : kSamples)
    model_testing::ExpectEveryTruncationFails(*make());
}

TEST(ModelStoredForms, RandomByteFlipsNeverCrash) {
  std::mt19937 rng(20261212);
  for (Sample make : kSamples)
    model_testing::RestoreRandomFlips(*make(), rng, 150);
}

}  // namespace
