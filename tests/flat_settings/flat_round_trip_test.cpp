// Whole trees through the flat settings record and back: a settings tree of
// some three hundred attributes with every node type in both modes and
// through the device mode's zlib step, the top-level lists, and what the
// record does not carry.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>

#include "config/attributes/enum_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list_composite.h"
#include "foundation/rw/memorystream.h"
#include "persist/codec/zlib_compressor.h"
#include "persist/persistent_association.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"
#include "support/fake_driver_data.h"
#include "support/settings_tree.h"

namespace {

using support::DecodeFlat;
using support::EncodeFlat;

constexpr int kGroups = 12;
// The device mode's work block, into which its data area is expanded.
constexpr std::size_t kBlock = 4096;

std::unique_ptr<MPersistentObject> Owned(MPersistentObject* object) {
  return std::unique_ptr<MPersistentObject>(object);
}

// Encodes `tree`, decodes against a template that expects it, and answers
// the decoded tree.
std::unique_ptr<MPersistentObject> RoundTrip(MPersistentObject* tree, std::uint16_t mode) {
  FakeDriverData printer;
  if (auto* composite = dynamic_cast<GAttributeComposite*>(tree))
    support::UseAsDefaults(printer, static_cast<GAttributeComposite*>(composite->DeepCopy()));
  support::Encoded encoded = EncodeFlat(tree, mode);
  EXPECT_EQ(encoded.result, 1);
  GFlatSettingsCodec codec;
  return Owned(DecodeFlat(codec, encoded.bytes, &printer, mode));
}

TEST(FlatRoundTrip, ASettingsTreeWithEveryNodeTypeInBothModes) {
  auto tree = Owned(support::BuildSettingsTree(362, kGroups));
  ASSERT_GE(tree->NodeCount(), 300u);
  for (std::uint16_t mode : {kFlatShortNumbers, kFlatLongNumbers}) {
    SCOPED_TRACE(mode);
    auto decoded = RoundTrip(tree.get(), mode);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->NodeCount(), tree->NodeCount());
    EXPECT_TRUE(decoded->IsEqualContent(tree.get()));
  }
}

TEST(FlatRoundTrip, ThroughTheDeviceModesZlibStep) {
  // As the device mode stores and loads it: the record in a 4096-byte block,
  // deflated, inflated into a 4096-byte block and decoded from there (the
  // block's zeros after the record unread). This tree packs to some 1.2 kB,
  // more than a device mode's 902-byte data area holds: the compressor is
  // given room enough.
  auto tree = Owned(support::BuildSettingsTree(362, kGroups));
  FakeDriverData printer;
  support::UseAsDefaults(printer, static_cast<GAttributeComposite*>(tree->DeepCopy()));
  support::Encoded encoded = EncodeFlat(tree.get(), kFlatShortNumbers, kBlock);
  ASSERT_EQ(encoded.result, 1);
  ASSERT_LT(encoded.bytes.size(), kBlock);

  std::string area(kBlock, '\0');
  RWMemoryInputStream record(encoded.bytes.data(), encoded.bytes.size());
  RWMemoryOutputStream packed(area.data(), area.size());
  GZlibCompressor zlib;
  ASSERT_EQ(zlib.Compress(record, packed), 1);
  const auto packed_length = static_cast<std::size_t>(packed.tellp());
  ASSERT_GT(packed_length, 0u);

  std::string block(kBlock, '\0');
  RWMemoryInputStream area_in(area.data(), packed_length);
  RWMemoryOutputStream expanded(block.data(), block.size());
  ASSERT_EQ(zlib.Expand(area_in, expanded), 1);
  GFlatSettingsCodec codec;
  auto decoded = Owned(DecodeFlat(codec, block, &printer, kFlatShortNumbers));
  ASSERT_NE(decoded, nullptr);
  EXPECT_TRUE(decoded->IsEqualContent(tree.get()));
}

TEST(FlatRoundTrip, TopLevelLists) {
  struct Case {
    const char* name;
    MPersistentObject* list;
  };
  const Case cases[] = {
      {"associations of every value kind", support::BuildAssociationList(8)},
      {"resource mappings", support::BuildMappingList(1005, 40)},
      {"font lists", support::BuildFontLists(4)},
  };
  for (const Case& c : cases) {
    auto list = Owned(c.list);
    for (std::uint16_t mode : {kFlatShortNumbers, kFlatLongNumbers}) {
      SCOPED_TRACE(std::string(c.name) + " mode " + std::to_string(mode));
      auto decoded = RoundTrip(list.get(), mode);
      ASSERT_NE(decoded, nullptr);
      EXPECT_TRUE(decoded->IsEqualContent(list.get()));
    }
  }
}

TEST(FlatRoundTrip, WhatTheRecordDoesNotCarry) {
  // The current choice (the first choice read becomes it), state words,
  // the inherited bytes of the enhanced tintvectors (their key's defaults
  // come back), a selection string's own selection value (the association
  // key's comes back), and list members' keys.
  auto* choices = new GEnumAttribute(4);
  choices->AddChild(new GValueAttribute(1, 10));
  choices->AddChild(new GValueAttribute(2, 11));
  choices->SelectNext();
  choices->SetState(0);
  auto* enhanced = new GTintvectorEnhancedAttribute(295, {1, 2, 3, 4, 5, 6, 7, 8});
  static_cast<GTintvectorAttribute*>(enhanced)->SetSetting(0, 0, 99);
  auto tree = Owned(new GAttributeComposite(5));
  tree->AddChild(choices);
  tree->AddChild(enhanced);
  auto decoded = RoundTrip(tree.get(), kFlatLongNumbers);
  ASSERT_NE(decoded, nullptr);
  auto* read_choices = dynamic_cast<GEnumAttribute*>(decoded->FindByKey(4));
  ASSERT_NE(read_choices, nullptr);
  EXPECT_EQ(read_choices->GetChoice()->Key(), 10u);
  EXPECT_EQ(read_choices->State(), kAttributeActive);
  auto* read_enhanced = dynamic_cast<GTintvectorEnhancedAttribute*>(decoded->FindByKey(295));
  ASSERT_NE(read_enhanced, nullptr);
  std::uint8_t color_map = 0;
  static_cast<GTintvectorAttribute*>(read_enhanced)->GetSetting(0, 0, color_map);
  EXPECT_EQ(color_map, 15);
  EXPECT_TRUE(read_enhanced->IsEqualContent(enhanced));

  auto associations = Owned(new MAssociationList(8));
  static_cast<MAssociationList&>(*associations)
      .SetAssociation(
          new MPersistentAssociation(new GValueAttribute(3, 0), new GSelectionString("Bin", 7, 0)));
  auto read_associations = RoundTrip(associations.get(), kFlatShortNumbers);
  ASSERT_NE(read_associations, nullptr);
  GValueAttribute three(3, 0);
  auto* selection = dynamic_cast<GSelectionString*>(
      static_cast<MAssociationList&>(*read_associations).FindValue(&three));
  ASSERT_NE(selection, nullptr);
  EXPECT_EQ(selection->Selection(), 3);

  auto mappings = Owned(new GResourceMappingList(9));
  static_cast<GResourceMappingList&>(*mappings).AddMapping(new GResourceMapping(1, 2, 3, 77));
  auto read_mappings = RoundTrip(mappings.get(), kFlatLongNumbers);
  ASSERT_NE(read_mappings, nullptr);
  auto* mapping = static_cast<GResourceMappingList&>(*read_mappings).FindBySecondNumber(3);
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(mapping->Key(), 0u);
}

}  // namespace
