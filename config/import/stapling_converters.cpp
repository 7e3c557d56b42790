#include "config/import/stapling_converters.h"

#include <string_view>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/import/output_bin_converter.h"
#include "config/import/product_data.h"
#include "config/keys/settings_keys.h"

namespace {

constexpr char16_t kOneParallel[] = u"1parallel";
constexpr char16_t kTwoParallel[] = u"2parallel";
constexpr std::uint16_t kStitcherOneParallel = 8;
constexpr std::uint16_t kStitcherTwoParallel = 9;
constexpr std::uint16_t kStapled = 1;
constexpr char16_t kTrue[] = u"TRUE";

}  // namespace

GStaplerChoiceStaplingConverter::GStaplerChoiceStaplingConverter(GQCFLibrary* store)
    : GTableConverter(store, kStaplerChoiceStaplingDescriptor) {}

std::uint32_t GStaplerChoiceStaplingConverter::Apply(GAttributeComposite* root,
                                                     GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* staples = Locate(root, Binding(), found);
  if (staples == nullptr) return 0;

  // A store without the key staples once when the stapler is chosen.
  if (SelectKey(Binding().apply_key) == 0) {
    GValueAttribute* choice = FindValueAttribute(found.group, kStaplerChoiceKey);
    if (choice == nullptr || choice->GetValue() != 1) return 0;
    staples->SetValue(kStapled);
    Record(destination, *staples, GDestinationPolicy::kNew);
    return 1;
  }
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadCurrentWord(buffer) == 0) return 0;
  const GOptionRow* row = MatchWord(Binding().rows, buffer.Data());
  if (row == nullptr) return 0;

  GValueAttribute* target = staples;
  std::uint16_t code = row->code;
  if (WideStringsEqual(row->word, kStitching) != 0) {
    target = FindValueAttribute(found.group, kStitchingKey);
    if (target == nullptr) return 0;
  } else if (const GStringAttribute* accessory = FindStringAttribute(
                 FindPath(root, kInstalledOptionsPath), kAccessoryOutputBinsKey)) {
    const std::string_view text(accessory->GetValue().Data(), accessory->GetValue().Length());
    if (IsAccessory(text, ProductData().accessories.stitcher)) {
      if (WideStringsEqual(row->word, kOneParallel) != 0) code = kStitcherOneParallel;
      if (WideStringsEqual(row->word, kTwoParallel) != 0) code = kStitcherTwoParallel;
    }
  }
  target->SetValue(code);
  RecordCopy(destination, *target);
  return 1;
}

std::uint32_t GStaplerChoiceStaplingConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* staples = LocateForExtract(root, Binding());
  if (staples == nullptr) return 0;
  GValueAttribute* stitching =
      FindValueAttribute(FindPath(root, Binding().group_path), kStitchingKey);
  if (stitching != nullptr && stitching->GetValue() == 1 && staples->GetValue() == kNoStaples) {
    WriteWord(kStaplerChoiceDescriptor.apply_key, kTrue);
    WriteWord(Binding().ExtractKey(), kStitching);
    return 1;
  }
  return GTableConverter::Extract(root);
}

GStaplerChoiceConverter::GStaplerChoiceConverter(GQCFLibrary* store)
    : GTableConverter(store, kStaplerChoiceDescriptor) {}

std::uint32_t GStaplerChoiceConverter::Apply(GAttributeComposite* root,
                                             GAttributeComposite* destination) {
  GValueAttribute* installed =
      FindValueAttribute(FindPath(root, kInstalledOptionsPath), kStaplerInstalledKey);
  if (installed == nullptr || installed->GetValue() == 0) return 0;
  GApplyOutcome found;
  GValueAttribute* choice = Locate(root, Binding(), found);
  if (choice == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;

  std::uint32_t result = 0;
  GOptionBuffer stapling(kStaplerChoiceStaplingDescriptor.buffer_units);
  const bool stitching =
      ReadWord(kStaplerChoiceStaplingDescriptor.apply_key, stapling) != 0 &&
      WideStringsEqual(stapling.Data(), GStaplerChoiceStaplingConverter::kStitching) != 0;
  if (!stitching) {
    if (const GOptionRow* row = MatchWord(Binding().rows, buffer.Data())) {
      ApplyRow(*choice, *row, destination, Binding().destination);
      result = 1;
    }
  }
  GStaplerChoiceStaplingConverter(FeatureStore()).Apply(root, destination);
  return result;
}

std::uint32_t GStaplerChoiceConverter::Extract(GAttributeComposite* root) {
  const std::uint32_t result = GTableConverter::Extract(root);
  GStaplerChoiceStaplingConverter(FeatureStore()).Extract(root);
  return result;
}
