// The job commands, the error and pass-through commands and the command
// composite: stored forms, the keys their attribute sets are given, the
// pass-through command's borrowed and owned bytes, the composite's children
// (only commands, found depth first, prepared and made self-contained one
// by one, executed until one fails), and bad or damaged stored data.
#include "output/commands/job_commands.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "output/commands/null_command.h"
#include "output/core/command_composite.h"
#include "output/core/pass_through_command.h"
#include "output/core/peripheral.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "tests/output/stored_forms.h"

namespace {

using output_testing::ExpectDamageFailsCleanly;
using output_testing::ExpectStoredForm;
using output_testing::RestoreHex;

template <class T>
T* Cleared(T* object) {
  object->ClearSerialNumbers();
  if (auto* command = dynamic_cast<GCommand*>(object); command && command->GetAttributes())
    command->GetAttributes()->ClearSerialNumbers();
  return object;
}

// Golden bytes, from the stored forms: the file magic 0x8888 (u32) and the
// class id (u16); the persistent base part (version 1, key, serial 0); the
// command part: the attribute set as an object reference (a GState, 758 =
// F6 02, with its base part, attribute part (version 1, state 1) and
// composite part (version 1, count 0); or the nil object, FF FF and 0 as
// u32), then the command's version 1. Then each class's own part:
//   document start (705 = C1 02): the document command's version 1, the
//     port name "P" and the document name "Do" (u32 count of 16-bit units,
//     then the units), then its own version 1;
//   page end (710 = C6 02): version 1; its new set is keyed 256 (00 01);
//   error command (714 = CA 02): version 1, the code 2 (u16), and the
//     failed command: a job abort (713 = C9 02) keyed 9, no set, version 1;
//   composite (605 = 5D 02): version 1, count 2, and the children: a page
//     start (709 = C5 02) keyed 1 and a no-op (715 = CB 02) keyed 2.
TEST(JobCommands, StoredFormsMatchHandDerivedBytes) {
  const std::string kHead = "88 88 00 00 ";
  const std::string kNil = "FF FF 00 00 00 00 ";
  const std::string kEmptyState = "01 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 ";
  const std::string kV1 = "01 00 00 00 ";
  GDocumentStart start(new GState, u"P", u"Do", nullptr, 3);
  GCountedPtr abort(new GJobAbort(9));
  GErrorCommand error(2, static_cast<GCommand*>(abort.Get()), 0);
  GCommandComposite composite;
  composite.AddChild(new GPageStart(nullptr, 1));
  composite.AddChild(new GNoCommand(2));
  struct Case {
    const char* name;
    MPersistentObject* object;
    std::string golden;
  };
  const Case cases[] = {
      {"document start", Cleared(&start),
       kHead +
           "C1 02 01 00 00 00 03 00 00 00 00 00 00 00 F6 02 01 00 00 00 F6 00 00 00 00 00 00 00 " +
           kEmptyState + kV1 + kV1 + "01 00 00 00 50 00 02 00 00 00 44 00 6F 00 " + "01 00 00 00"},
      {"page end", Cleared(new GPageEnd(7)),
       kHead +
           "C6 02 01 00 00 00 07 00 00 00 00 00 00 00 F6 02 01 00 00 00 00 01 00 00 00 00 00 00 " +
           kEmptyState + kV1 + "01 00 00 00"},
      {"error command", Cleared(&error),
       kHead + "CA 02 01 00 00 00 00 00 00 00 00 00 00 00 " + kNil + kV1 + kV1 + "02 00 " +
           "C9 02 01 00 00 00 09 00 00 00 00 00 00 00 " + kNil + kV1 + "01 00 00 00"},
      {"composite", Cleared(&composite),
       kHead + "5D 02 01 00 00 00 00 00 00 00 00 00 00 00 " + kNil + kV1 + kV1 + "02 00 00 00 " +
           "C5 02 01 00 00 00 01 00 00 00 00 00 00 00 " + kNil + kV1 + kV1 +
           "CB 02 01 00 00 00 02 00 00 00 00 00 00 00 " + kNil + kV1 + "01 00 00 00"},
  };
  abort->SetSerialNumber(0);
  for (RWSize i = 0; i < composite.Children().Count(); ++i)
    composite.Children()[i]->SetSerialNumber(0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectStoredForm(*c.object, c.golden);
  }
  delete cases[1].object;
}

TEST(JobCommands, DamageFailsCleanly) {
  auto* set = new GState(246);
  set->AddChild(new GValueAttribute(1, 253));
  GDocumentStart start(set, u"LPT1:", u"Report", nullptr, 3);
  ExpectDamageFailsCleanly(start, 705);
  GCommandComposite composite;
  composite.AddChild(new GPageStart(new GState, 1));
  GCountedPtr end(new GPageEnd(2));
  composite.AddChild(end.Get());
  composite.AddChild(new GErrorCommand(2, static_cast<GCommand*>(end.Get()), 3));
  ExpectDamageFailsCleanly(composite, 605);
}

// Document sets carry key 246, page sets key 256, whether given at
// construction or by SetAttributes; other commands keep the set's key.
TEST(JobCommands, SetsGetTheKeyOfTheirKind) {
  struct Case {
    const char* name;
    std::unique_ptr<GCommand> command;
    bool by_constructor;
    std::uint32_t key;
  };
  auto* given = new GState(1);
  Case cases[] = {
      {"document start", std::make_unique<GDocumentStart>(given, u"", u"", nullptr, 0), true, 246},
      {"document end", std::make_unique<GDocumentEnd>(), false, 246},
      {"page start", std::make_unique<GPageStart>(new GState(1), 0), true, 256},
      {"page start, set again", std::make_unique<GPageStart>(), false, 256},
      {"page end", std::make_unique<GPageEnd>(5), true, 256},
      {"page end, set again", std::make_unique<GPageEnd>(5), false, 256},
      {"null command", std::make_unique<GNullCommand>(), false, 1},
      {"job abort", std::make_unique<GJobAbort>(), false, 1},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.by_constructor) c.command->SetAttributes(new GState(1));
    ASSERT_NE(c.command->GetAttributes(), nullptr);
    EXPECT_EQ(c.command->GetAttributes()->Key(), c.key);
  }
  // A page end's own new set is empty and its own.
  GPageEnd first(1), second(1);
  EXPECT_NE(first.GetAttributes(), second.GetAttributes());
  EXPECT_EQ(first.GetAttributes()->EntryCount(), 0u);
  // The port and the job context are the command's to read, not to own.
  GDocumentStart start;
  EXPECT_EQ(start.GetJobContext(), nullptr);
  EXPECT_EQ(start.GetPort(), nullptr);
  GDocumentStart copy(start);
  EXPECT_TRUE(copy.IsEqualContent(&start));
  EXPECT_FALSE(GDocumentStart(nullptr, u"A", u"", nullptr, 0).IsEqualContent(&start));
  EXPECT_FALSE(GDocumentEnd().IsEqual(&start));
}

// Records what reaches it and answers `result` when executed.
class TestCommand : public GCommand {
 public:
  TestCommand(std::uint32_t key, std::uint16_t result, std::vector<std::string>& log)
      : GCommand(key), result_(result), log_(log) {}
  RWCollectable* CreateDefault() const override { return nullptr; }
  RWCollectable* CreateCopy() const override { return new TestCommand(*this); }
  RWClassID ClassId() const override { return 0x0FB3; }
  std::uint16_t Execute(GPeripheral&) override { return Record("execute", result_); }
  void PrepareForComposite() override { Record("prepare", 0); }
  void MakeSelfContained() override { Record("own", 0); }

 private:
  std::uint16_t Record(const char* what, std::uint16_t answer) {
    log_.push_back(std::string(what) + " " + std::to_string(Key()));
    return answer;
  }
  std::uint16_t result_;
  std::vector<std::string>& log_;
};

TEST(CommandComposite, HoldsCommandsFoundDepthFirst) {
  using Log = std::vector<std::string>;
  Log log;
  GCommandComposite outer;
  auto* inner = new GCommandComposite(5);
  inner->AddChild(new TestCommand(2, 0, log));
  inner->AddChild(new GPageEnd(3));
  outer.AddChild(new TestCommand(1, 0, log));
  outer.AddChild(inner);
  outer.PutRecord(GCountedPtr(new TestCommand(4, 7, log)));
  outer.AddChild(new TestCommand(6, 0, log));
  // Not commands: refused (an unheld one destroyed).
  outer.AddChild(new GState(1));
  outer.PutRecord(GCountedPtr(new GState(2)));
  outer.AddChild(nullptr);
  EXPECT_EQ(outer.EntryCount(), 4u);
  EXPECT_EQ(outer.NodeCount(), 7u);
  EXPECT_EQ(outer.AsComposite(), &outer);

  EXPECT_EQ(outer.FindByClassId(kGPageEndId)->Key(), 3u);
  EXPECT_EQ(outer.FindByKey(2)->ClassId(), 0x0FB3);
  EXPECT_EQ(outer.FindByClassId(kGPageStartId), nullptr);

  outer.PrepareForComposite();
  outer.MakeSelfContained();
  EXPECT_EQ(log, (Log{"prepare 1", "prepare 2", "prepare 4", "prepare 6", "own 1", "own 2", "own 4",
                      "own 6"}));
  log.clear();
  // Executed in order until a child answers non-zero.
  GPeripheral device;
  EXPECT_EQ(outer.Execute(device), 7);
  EXPECT_EQ(log, (Log{"execute 1", "execute 2", "execute 4"}));

  // A deep copy holds copies of the children.
  std::unique_ptr<MPersistentObject> copy(outer.DeepCopy());
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(copy->IsEqualContent(&outer));
  auto* copied = static_cast<GCommandComposite*>(copy.get());
  EXPECT_NE(copied->Children()[1].Get(), inner);
  EXPECT_EQ(copied->Children()[1]->EntryCount(), 2u);

  // Removal by class id answers the child, depth first.
  std::unique_ptr<MPersistentObject> removed(outer.RemoveByClassId(kGPageEndId));
  ASSERT_NE(removed, nullptr);
  EXPECT_EQ(inner->EntryCount(), 1u);
  EXPECT_FALSE(copy->IsEqualContent(&outer));
}

// What the failed command's place holds must be a command, and no cycle
// may be read.
TEST(JobCommands, ABadFailedCommandFailsTheRestore) {
  const std::string kHead =
      "88 88 00 00 CA 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 "
      "01 00 00 00 01 00 00 00 02 00 ";
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"a set", kHead + "F6 02 01 00 00 00 F6 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
                        "01 00 00 00 00 00 00 00"},
      {"the error command itself", kHead + "FF FF 01 00 00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    model_testing::Restored back = RestoreHex(c.bytes);
    EXPECT_FALSE(back.ok);
    if (auto* error = dynamic_cast<GErrorCommand*>(back.object)) {
      EXPECT_EQ(error->GetCommand(), nullptr);
    }
    delete back.object;
  }
  // Equality: the code and the failed command count.
  GCountedPtr abort(new GJobAbort(9));
  auto* failed = static_cast<GCommand*>(abort.Get());
  EXPECT_TRUE(GErrorCommand(2, failed, 0)
                  .IsEqualContent(&*std::make_unique<GErrorCommand>(2, new GJobAbort(9), 0)));
  EXPECT_FALSE(
      GErrorCommand(2, failed, 0).IsEqualContent(&*std::make_unique<GErrorCommand>(3, failed, 0)));
  EXPECT_FALSE(
      GErrorCommand(2, failed, 0).IsEqualContent(&*std::make_unique<GErrorCommand>(2, nullptr, 0)));
}

// The bytes are borrowed until the command takes its own copy; the stored
// form (after the GCommand part with a nil set and version 1: version 1,
// the target 788 = 14 03 as u16, the length 2 as u32, the bytes "AB")
// carries them, and a restore owns what it read.
TEST(PassThrough, BorrowsUntilItOwnsItsBytes) {
  std::uint8_t bytes[] = {'A', 'B'};
  GPassThroughCommand command(bytes, 2, 788, 0);
  EXPECT_FALSE(command.OwnsData());
  EXPECT_EQ(command.GetData(), bytes);
  GPassThroughCommand borrowing_copy(command);
  EXPECT_EQ(borrowing_copy.GetData(), bytes);
  command.MakeSelfContained();
  EXPECT_TRUE(command.OwnsData());
  EXPECT_NE(command.GetData(), bytes);
  bytes[0] = 'Z';  // the maker's storage may go now
  GPassThroughCommand copy(command);
  EXPECT_NE(copy.GetData(), command.GetData());
  EXPECT_TRUE(copy.IsEqualContent(&command));
  EXPECT_FALSE(borrowing_copy.IsEqualContent(&command));  // it still reads "ZB"
  EXPECT_EQ(GPassThroughCommand(nullptr, 5, 0, 0).GetLength(), 0u);

  command.SetSerialNumber(0);
  ExpectStoredForm(command,
                   "88 88 00 00 60 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 "
                   "01 00 00 00 01 00 00 00 14 03 02 00 00 00 41 42");
  ExpectDamageFailsCleanly(command, 608);
  // A length beyond what the file holds fails the restore and leaves no
  // bytes.
  model_testing::Restored back = RestoreHex(
      "88 88 00 00 60 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 "
      "01 00 00 00 01 00 00 00 14 03 FF FF FF 7F 41 42");
  EXPECT_FALSE(back.ok);
  auto* restored = dynamic_cast<GPassThroughCommand*>(back.object);
  ASSERT_NE(restored, nullptr);
  EXPECT_EQ(restored->GetLength(), 0u);
  EXPECT_EQ(restored->GetData(), nullptr);
  delete restored;
}

}  // namespace
