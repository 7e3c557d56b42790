#include "support/settings_tree.h"

#include <memory>

#include "config/attributes/display_string.h"
#include "config/attributes/enum_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_description.h"
#include "config/fonts/device_font_list.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "output/core/state.h"
#include "persist/persistent_association.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"
#include "services/os_factory.h"
#include "support/fake_driver_data.h"

namespace support {

namespace {

constexpr std::uint32_t kGroupBase = 2000;
constexpr std::uint32_t kGroupStride = 100;

}  // namespace

GAttributeComposite* BuildSettingsTree(std::uint32_t key, int groups) {
  auto* root = new GAttributeComposite(key);
  for (int g = 0; g < groups; ++g) {
    const std::uint32_t b = kGroupBase + kGroupStride * static_cast<std::uint32_t>(g);
    GAttributeComposite* group =
        g % 2 == 0 ? new GAttributeComposite(b) : static_cast<GAttributeComposite*>(new GState(b));
    const std::uint16_t values[] = {0, 20, 21, 0xFFFF, 600, static_cast<std::uint16_t>(g)};
    for (std::uint32_t i = 0; i < std::size(values); ++i)
      group->AddChild(new GValueAttribute(values[i], b + 1 + i));
    group->AddChild(new GRangeAttribute(1, 999, 1, static_cast<std::int16_t>(7 + g), b + 10));
    group->AddChild(new GRangeAttribute(-50, 50, 5, -10, b + 11));
    group->AddChild(new GStringAttribute("Letter", b + 12));
    group->AddChild(new GStringAttribute("", b + 13));
    group->AddChild(new GDisplayStringAttribute(b + 14, 11913, "Unspecified", "KVRES.DLL"));
    group->AddChild(new GTintvectorAttribute(b + 15, {1, 2, 3, 4, 5, 6}));
    group->AddChild(new GTintvectorEnhancedAttribute(b + 16, {7, 8, 9, 10, 11, 12, 13, 14}));
    group->AddChild(
        new GTintvectorEnhancedAttributeVer2(b + 17, {15, 16, 17, 18, 19, 20, 21, 22, 23, 24}));
    group->AddChild(new GCustomMediaSize(256, "Cust", kMicrometre, 210000 + g, 297000, b + 18));
    auto* forms = new GFormToTrayDatabase(b + 19);
    forms->SetAssociation(1, 2, 3);
    forms->SetAssociation(9, 258, 11913);
    forms->SetAssociation(16384, 7, 0);
    group->AddChild(forms);
    auto* choices = new GEnumAttribute(b + 20);
    for (std::uint16_t c = 0; c < 3; ++c)
      choices->AddChild(new GValueAttribute(static_cast<std::uint16_t>(100 + c), b + 21 + c));
    group->AddChild(choices);
    auto* nested = new GAttributeComposite(b + 30);
    for (std::uint32_t i = 0; i < 4; ++i)
      nested->AddChild(new GValueAttribute(static_cast<std::uint16_t>(i * 7), b + 31 + i));
    group->AddChild(nested);
    root->AddChild(group);
  }
  return root;
}

MAssociationList* BuildAssociationList(std::uint32_t key) {
  auto* list = new MAssociationList(key);
  list->SetAssociation(
      new MPersistentAssociation(new GValueAttribute(1, 0), new GStringAttribute("Tray 1", 0)));
  list->SetAssociation(
      new MPersistentAssociation(new GValueAttribute(2, 0), new GValueAttribute(258, 0)));
  list->SetAssociation(
      new MPersistentAssociation(new GValueAttribute(3, 0), new GSelectionString("Bin", 3, 0)));
  list->SetAssociation(
      new MPersistentAssociation(new GValueAttribute(4, 0), new GRangeAttribute(1, 9, 1, 4, 77)));
  return list;
}

GResourceMappingList* BuildMappingList(std::uint32_t key, int count) {
  auto* list = new GResourceMappingList(key);
  for (int i = 0; i < count; ++i) {
    list->AddMapping(new GResourceMapping(12000 + static_cast<std::uint32_t>(i),
                                          static_cast<std::uint16_t>(257 + i),
                                          static_cast<std::int16_t>(i - 2)));
  }
  return list;
}

GDeviceFontListComposite* BuildFontLists(int count) {
  auto* lists = new GDeviceFontListComposite;
  for (int i = 0; i < count; ++i) {
    auto* list = new GDeviceFontList(416 + static_cast<std::uint32_t>(i));
    GSymbolSetList symbol_sets;
    symbol_sets.Append(55);
    symbol_sets.Append(3);
    list->AddDescription(GDeviceFontDescription("Courier", "(s0p10h12v0s0b3T", 55, symbol_sets, 0,
                                                0, 0x10, 1, 1, 12, 0, 2));
    list->AddDescription(GDeviceFontDescription("Univers -Bd", "(s1p12v0s3b52T", 16, symbol_sets,
                                                700, 0, 0x20, 1, 1, 10, 0, 2));
    list->SetSourceStamp(0x1234 + static_cast<std::uint32_t>(i));
    auto* names = new MAssociationList(0);
    names->SetAssociation(
        new MPersistentAssociation(new GValueAttribute(7, 0), new GStringAttribute("Courier", 0)));
    list->SetShortIdNames(names);
    lists->AddList(list);
  }
  return lists;
}

void UseAsDefaults(FakeDriverData& printer, GAttributeComposite* tree) {
  GAttributeComposite* job_settings = printer.GetJobSettings();
  job_settings->RemoveAll();
  job_settings->AddChild(tree);
}

Encoded EncodeFlat(MPersistentObject* tree, std::uint16_t mode, std::size_t capacity) {
  Encoded encoded;
  std::string block(capacity, '\0');
  GPersistentOutputStream stream(block.data(), block.size(), GOSFactory::kBinaryEncoding);
  GFlatSettingsCodec codec;
  encoded.result = codec.Encode(tree, stream.VirtualStream(), &stream, mode);
  encoded.stream_good = stream.VirtualStream()->Good();
  const std::int64_t end = stream.Tell();
  encoded.bytes = block.substr(0, end < 0 ? 0 : static_cast<std::size_t>(end));
  return encoded;
}

MPersistentObject* DecodeFlat(GFlatSettingsCodec& codec, const std::string& bytes,
                              GDriverData* driver_data, std::uint16_t mode) {
  GPersistentInputStream stream(bytes.data(), bytes.size(), GOSFactory::kBinaryEncoding);
  return codec.Decode(stream.VirtualStream(), &stream, driver_data, mode);
}

}  // namespace support
