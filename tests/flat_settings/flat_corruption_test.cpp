// Damaged flat settings records, read with the default error handler in
// force: every truncation, seeded random damage, and crafted lengths and
// class ids. Nothing may crash, hang, end the process or allocate much;
// what was read is kept and the pattern fills in the rest.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "config/attributes/value_attribute.h"
#include "output/core/state.h"
#include "persist/persistent_association.h"
#include "persist/resource_mapping.h"
#include "support/fake_driver_data.h"
#include "support/settings_tree.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

// A stored length must never size an allocation: any allocation above this
// ends the program under AddressSanitizer.
extern "C" const char* __asan_default_options() {
  return "max_allocation_size_mb=64";
}

namespace {

using support::DecodeFlat;
using support::EncodeFlat;
using testing_support::Unhex;

const std::string kMarker(20, 's');

std::unique_ptr<MPersistentObject> Owned(MPersistentObject* object) {
  return std::unique_ptr<MPersistentObject>(object);
}

// A valid record and the printer whose template expects exactly it.
struct Sample {
  std::unique_ptr<MPersistentObject> tree;
  std::unique_ptr<FakeDriverData> printer = std::make_unique<FakeDriverData>();
  std::string bytes;
};

Sample MakeSample(MPersistentObject* tree, std::uint16_t mode) {
  Sample sample;
  sample.tree = Owned(tree);
  if (auto* composite = dynamic_cast<GAttributeComposite*>(tree)) {
    support::UseAsDefaults(*sample.printer,
                           static_cast<GAttributeComposite*>(composite->DeepCopy()));
  }
  sample.bytes = EncodeFlat(tree, mode).bytes;
  return sample;
}

TEST(FlatCorruption, EveryTruncationKeepsWhatWasReadAndFillsInThePattern) {
  for (std::uint16_t mode : {kFlatShortNumbers, kFlatLongNumbers}) {
    SCOPED_TRACE(mode);
    Sample sample = MakeSample(support::BuildSettingsTree(362, 4), mode);
    // Marker, type byte, V, K and L.
    const std::size_t header = 20 + 1 + (mode == kFlatShortNumbers ? 6 : 10);
    GFlatSettingsCodec codec;
    for (std::size_t length = 0; length < sample.bytes.size(); ++length) {
      SCOPED_TRACE(length);
      auto decoded =
          Owned(DecodeFlat(codec, sample.bytes.substr(0, length), sample.printer.get(), mode));
      if (length < header) {
        EXPECT_EQ(decoded, nullptr);
      } else {
        // The pattern is the tree itself: whatever the cut, the same tree.
        ASSERT_NE(decoded, nullptr);
        EXPECT_TRUE(decoded->IsEqualContent(sample.tree.get()));
      }
    }
  }
  // The lists keep the members read before the cut.
  for (MPersistentObject* list :
       {static_cast<MPersistentObject*>(support::BuildMappingList(1005, 6)),
        static_cast<MPersistentObject*>(support::BuildAssociationList(8))}) {
    Sample sample = MakeSample(list, kFlatLongNumbers);
    GFlatSettingsCodec codec;
    std::uint32_t last = 0;
    for (std::size_t length = 0; length < sample.bytes.size(); ++length) {
      auto decoded = Owned(DecodeFlat(codec, sample.bytes.substr(0, length), nullptr, 1));
      if (!decoded) continue;
      EXPECT_GE(decoded->EntryCount(), last);
      EXPECT_LE(decoded->EntryCount(), sample.tree->EntryCount());
      last = decoded->EntryCount();
    }
  }
}

TEST(FlatCorruption, SeededRandomDamage) {
  Sample samples[] = {
      MakeSample(support::BuildSettingsTree(362, 2), kFlatShortNumbers),
      MakeSample(support::BuildSettingsTree(362, 2), kFlatLongNumbers),
      MakeSample(support::BuildMappingList(1005, 4), kFlatLongNumbers),
      MakeSample(support::BuildAssociationList(8), kFlatShortNumbers),
  };
  GFlatSettingsCodec codecs[2];
  std::mt19937 random(20240521);
  int trees = 0;
  for (int round = 0; round < 10000; ++round) {
    const std::size_t which = round % 4;
    const Sample& sample = samples[which];
    const std::uint16_t mode = which == 1 || which == 2 ? kFlatLongNumbers : kFlatShortNumbers;
    std::string bytes = sample.bytes;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) {
      bytes[20 + random() % (bytes.size() - 20)] = static_cast<char>(random() % 256);
    }
    auto decoded = Owned(DecodeFlat(codecs[mode], bytes, sample.printer.get(), mode));
    if (!decoded) continue;
    ++trees;
    // Whatever came back can be written again.
    EncodeFlat(decoded.get(), mode, 1 << 14);
  }
  EXPECT_GT(trees, 5000);
}

TEST(FlatCorruption, CraftedLengthsAndClassIds) {
  // Template: 362 { 253=1, 90<258=1> }.
  FakeDriverData printer;
  auto* state = new GState(90);
  state->AddChild(new GValueAttribute(1, 258));
  auto* document = new GAttributeComposite(362);
  document->AddChild(new GValueAttribute(1, 253));
  document->AddChild(state);
  support::UseAsDefaults(printer, document);
  TestItemRegistration items;

  struct Case {
    const char* name;
    std::uint16_t mode;
    const char* bytes;  // after the marker
    int entries;        // of the answer; -1: null
  };
  const Case cases[] = {
      // 362 holding an unknown composite (key 0x1157) whose L cannot
      // describe a node, then 253=3: the parent skips to its end and the
      // pattern fills in 253.
      {"child L 3", 0, "01 01 00 6A 01 0E 00 01 01 00 57 11 03 00 71 FD 00 00", 2},
      {"child L 0", 0, "01 01 00 6A 01 0E 00 01 01 00 57 11 00 00 71 FD 00 00", 2},
      // Its L points past the end: the read stops there.
      {"child L past the end", 0, "01 01 00 6A 01 0E 00 01 01 00 57 11 FF FF 71 FD 00 00", 2},
      // 253=600 is read, then a child without a reader under a parent
      // whose L points behind it, or too short for anything.
      {"parent L backwards", 0, "01 01 00 6A 01 04 00 03 FD 00 58 02 0D 00", 2},
      {"parent L short", 0, "01 01 00 6A 01 04 00 0D 71 FD 00 00", 2},
      {"parent L past the end", 0, "01 01 00 6A 01 FF FF 0D 71 FD 00 00", 2},
      // String count and stored string lengths far beyond the input.
      {"string count", 0, "01 01 00 6A 01 0E 00 07 05 01 FF FF 41 42", 2},
      {"display string length", 0, "01 01 00 6A 01 0E 00 06 01 00 05 01 FF FF FF FF FF FF FF FF",
       2},
      {"custom size name length", 0,
       "01 01 00 6A 01 20 00 0B 01 00 05 01 00 01 FF FF FF 7F FF FF FF 7F 41", 2},
      // Top nodes that cannot be read.
      {"no top node", 0, "", -1},
      {"top node cut", 0, "01 01 00 6A", -1},
      {"top type unknown", 0, "0D 01 00 6A 01 04 00 00", -1},
      // Association values of the object form: an unknown class id fails
      // the node and ends the list; a class that is no model object is
      // dropped and the list goes on; 1 then 2 stay.
      {"unknown class id", 1,
       "0F 01 00 00 00 08 00 00 00 00 00 "
       "11 01 00 00 00 00 00 00 00 01 00 01 00 07 00 "
       "11 01 00 00 00 00 00 00 00 03 00 09 00 3A FF 7F 7B 00 00 00 00 7D "
       "11 01 00 00 00 00 00 00 00 04 00 01 00 08 00 00",
       1},
      {"not a model object", 1,
       "0F 01 00 00 00 08 00 00 00 00 00 "
       "11 01 00 00 00 00 00 00 00 01 00 01 00 07 00 "
       "11 01 00 00 00 00 00 00 00 03 00 09 00 3A A0 0F 7B 05 00 00 00 7D "
       "11 01 00 00 00 00 00 00 00 04 00 01 00 08 00 00",
       2},
      // An unknown value kind: its length is unknown, the list ends.
      {"unknown value kind", 0,
       "0F 01 00 08 00 00 00 11 01 00 00 00 01 00 07 00 07 00 "
       "11 01 00 00 00 02 00 01 00 08 00 00",
       0},
      // A mapping of another version is passed over.
      {"mapping version", 0,
       "10 01 00 08 00 00 00 12 02 00 00 00 01 01 FE FF E0 2E 00 00 "
       "12 01 00 00 00 02 01 FD FF E1 2E 00 00 00",
       1},
      // Lists whose end byte never comes.
      {"endless list", 0, "10 01 00 08 00 00 00 12 01 00 00 00 01 01 FE FF E0 2E 00 00", 1},
      {"bad list version", 0, "10 02 00 08 00 00 00 00", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GFlatSettingsCodec codec;
    auto decoded = Owned(DecodeFlat(codec, kMarker + Unhex(c.bytes), &printer, c.mode));
    if (c.entries < 0) {
      EXPECT_EQ(decoded, nullptr);
    } else {
      ASSERT_NE(decoded, nullptr);
      EXPECT_EQ(decoded->EntryCount(), static_cast<std::uint32_t>(c.entries));
    }
  }
}

TEST(FlatCorruption, NestingIsBoundedByThePattern) {
  // 20,000 composites each inside the last, all keyed 362: the second is
  // looked up under the first's pattern, which has no 362, and skipped
  // whole by its length; the rest of the record is never walked.
  FakeDriverData printer;
  support::UseAsDefaults(printer, new GAttributeComposite(362));
  std::string record = kMarker;
  for (int i = 0; i < 20000; ++i)
    record += Unhex("01 01 00 6A 01 FF FF");
  GFlatSettingsCodec codec;
  auto decoded = Owned(DecodeFlat(codec, record, &printer, kFlatShortNumbers));
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(decoded->EntryCount(), 0u);
}

}  // namespace
