// The command base: its stored part before a derived class's own part,
// sharing and replacing of the attribute set, content equality, and bad or
// damaged stored data.
#include "output/core/command.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "config/attributes/value_attribute.h"
#include "foundation/rw/registration.h"
#include "output/core/peripheral.h"
#include "output/core/state.h"
#include "persist/stored_form.h"
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

// A command of its own class with a part of its own: version word 1.
class TestCommand : public GCommand {
 public:
  static constexpr RWClassID kId = 0x0FB2;
  using GCommand::GCommand;

  RWCollectable* CreateDefault() const override { return new TestCommand; }
  RWCollectable* CreateCopy() const override { return new TestCommand(*this); }
  RWClassID ClassId() const override { return kId; }
  RWSize StoredSize() const override { return GCommand::StoredSize() + 4; }
  void SaveToFile(RWFile& file) const override {
    GCommand::SaveToFile(file);
    PutItem(file, std::uint32_t{1});
  }
  void SaveToStream(RWVirtualOutputStream& stream) const override {
    GCommand::SaveToStream(stream);
    PutItem(stream, std::uint32_t{1});
  }
  void RestoreFromFile(RWFile& file) override { Restore(file); }
  void RestoreFromStream(RWVirtualInputStream& stream) override { Restore(stream); }
  std::uint16_t Execute(GPeripheral&) override { return 0x42; }

 private:
  template <class In>
  void Restore(In& in) {
    MRestoreScope scope(in);
    RestoreBase<GCommand>(*this, in);
    std::uint32_t version = 0;
    if (scope.Ok()) GetItem(in, version);
  }
};

constexpr RWClassRegistration kTestClasses[] = {
    {&RWCreate<TestCommand>, TestCommand::kId, "TestCommand"}};

class Command : public testing::Test {
 protected:
  static void SetUpTestSuite() { RWRegisterClasses(kTestClasses); }
  static void TearDownTestSuite() { RWUnregisterClasses(kTestClasses); }
};

// Key 7, a GState with key 246 holding a value attribute 5 with key 260;
// serial numbers cleared.
std::unique_ptr<MPersistentObject> WithSet() {
  auto* set = new GState(246);
  set->AddChild(new GValueAttribute(5, 260));
  auto command = std::make_unique<TestCommand>(set, 7);
  command->ClearSerialNumbers();
  set->ClearSerialNumbers();
  return command;
}

std::unique_ptr<MPersistentObject> WithoutSet() {
  auto command = std::make_unique<TestCommand>(7);
  command->SetSerialNumber(0);
  return command;
}

// Golden bytes, from the stored forms: the magic 0x8888 (u32), the class id
// (u16, 0x0FB2), then the persistent base part (version 1, key 7, serial
// 0); the command part: the attribute set as an object reference (a new
// GState, class id 758 = F6 02, with its base part, attribute part
// (version 1, state 1), composite part (version 1, count 1) and the value
// attribute 763 = FB 02 in its stored form; or the nil object, written as
// back reference 0: FF FF and 0 as u32), then the command's version 1; and
// last the derived class's own version word 1.
TEST_F(Command, StoredPartComesBeforeTheDerivedPart) {
  struct Case {
    const char* name;
    std::unique_ptr<MPersistentObject> (*make)();
    const char* file;
  };
  const Case cases[] = {
      {"with a set", &WithSet,
       "88 88 00 00 B2 0F 01 00 00 00 07 00 00 00 00 00 00 00 "
       "F6 02 01 00 00 00 F6 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 "
       "FB 02 01 00 00 00 04 01 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 05 00 "
       "01 00 00 00 01 00 00 00"},
      {"without a set", &WithoutSet,
       "88 88 00 00 B2 0F 01 00 00 00 07 00 00 00 00 00 00 00 FF FF 00 00 00 00 "
       "01 00 00 00 01 00 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<MPersistentObject> original = c.make();
    std::string file = Save(original.get(), Medium::kFile);
    EXPECT_EQ(Hex(file), c.file);
    EXPECT_EQ(original->GraphStoreSize(), file.size());
    for (Medium medium : kAllMedia) {
      SCOPED_TRACE(model_testing::MediumName(medium));
      Restored back = Restore(Save(original.get(), medium), medium);
      auto* command = dynamic_cast<TestCommand*>(back.object);
      ASSERT_NE(command, nullptr);
      EXPECT_TRUE(back.ok);
      EXPECT_TRUE(command->IsEqual(original.get()));
      if (command->GetAttributes()) {
        EXPECT_EQ(command->GetAttributes()->ClassId(), kGStateId);
        EXPECT_EQ(command->GetAttributes()->ReferenceCount(), 0);
      }
      delete command;
    }
  }
}

TEST_F(Command, TheAttributeSetIsShared) {
  auto* set = new GState(246);
  TestCommand command(set, 7);
  EXPECT_EQ(command.GetAttributes(), set);
  EXPECT_EQ(set->ReferenceCount(), 0);
  {
    TestCommand copy(command);
    EXPECT_EQ(copy.GetAttributes(), set);
    EXPECT_EQ(set->ReferenceCount(), 1);
    EXPECT_TRUE(copy.IsEqualContent(&command));
  }
  GCountedPtr taken = command.DetachAttributes();
  EXPECT_EQ(taken.Get(), set);
  EXPECT_EQ(command.GetAttributes(), nullptr);
  EXPECT_EQ(set->ReferenceCount(), 0);  // the command's hold went with it
  command.AttachAttributes(set);
  EXPECT_EQ(set->ReferenceCount(), 1);

  // SetAttributes takes attribute sets only.
  ProbeLeaf::destroyed = 0;
  command.SetAttributes(new GAttributeComposite(1));  // refused and destroyed
  EXPECT_EQ(command.GetAttributes(), set);
  auto* other = new GState(256);
  command.SetAttributes(other);
  EXPECT_EQ(command.GetAttributes(), other);
  EXPECT_EQ(set->ReferenceCount(), 0);  // only `taken` holds it now
  EXPECT_TRUE(command.IsKindOf(kGCommandId));
  EXPECT_TRUE(command.IsKindOf(kMPersistentObjectId));
  EXPECT_FALSE(command.IsKindOf(kGAttributeId));
  EXPECT_EQ(command.CommandWord(), 0u);
}

TEST_F(Command, ContentEquality) {
  auto make = [](std::uint16_t value, std::uint32_t key) {
    auto* set = new GState(246);
    set->AddChild(new GValueAttribute(value, 260));
    return std::make_unique<TestCommand>(set, key);
  };
  EXPECT_TRUE(make(5, 7)->IsEqualContent(make(5, 7).get()));
  EXPECT_FALSE(make(5, 7)->IsEqualContent(make(6, 7).get()));
  EXPECT_FALSE(make(5, 7)->IsEqualContent(make(5, 8).get()));
  EXPECT_FALSE(make(5, 7)->IsEqualContent(WithoutSet().get()));
  EXPECT_TRUE(TestCommand(7).IsEqualContent(WithoutSet().get()));
}

// What stands where the attribute set belongs must be an attribute
// composite: anything else fails the restore and leaves no set.
TEST_F(Command, BadAttributeSetsFailTheRestore) {
  const std::string kHead = "88 88 00 00 B2 0F 01 00 00 00 07 00 00 00 00 00 00 00 ";
  const std::string kValue =
      "FB 02 01 00 00 00 04 01 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 05 00 ";
  const std::string kTail = "01 00 00 00 01 00 00 00";
  struct Case {
    const char* name;
    std::string bytes;
  };
  const Case cases[] = {
      {"a value attribute", kHead + kValue + kTail},
      {"the command itself", kHead + "FF FF 01 00 00 00 " + kTail},
      {"a collection", kHead + "07 80 " + kTail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restored back = Restore(Unhex(c.bytes), Medium::kFile);
    EXPECT_FALSE(back.ok);
    auto* command = dynamic_cast<TestCommand*>(back.object);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->GetAttributes(), nullptr);
    FreeRestored(back.object);
  }
}

TEST_F(Command, DamagedDataFailsCleanly) {
  model_testing::ExpectEveryTruncationFails(*WithSet());
  std::mt19937 rng(20261216);
  model_testing::RestoreRandomFlips(*WithSet(), rng, 150);
}

}  // namespace
