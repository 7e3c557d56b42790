#include "config/import/output_bin_converter.h"

#include <string_view>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/import/product_data.h"
#include "config/keys/settings_keys.h"

namespace {

constexpr std::uint32_t kApplyDirection = 0;
constexpr std::uint32_t kExtractDirection = 1;

// Which accessories a remapped code belongs to.
enum class Accessories : std::uint8_t {
  kStacker,               // A
  kStaplerStackers,       // B
  kStitcher,              // D
  kOtherStaplerStackers,  // B without D
  kMailboxes,             // M
  kAnyButMailboxes,       // any text but M
};

struct Remap {
  const char16_t* word;
  Accessories accessories;
  std::uint16_t code;
};

// The first entry of the word whose accessories hold the text wins.
constexpr Remap kRemaps[] = {
    {u"Stacker", Accessories::kStacker, 15},
    {u"Stacker", Accessories::kStaplerStackers, 4},
    {u"Stacker-Stapled", Accessories::kStitcher, 9},
    {u"Stacker-Stapled", Accessories::kOtherStaplerStackers, 3},
    {u"MainBinFaceDown", Accessories::kMailboxes, 62},
    {u"MainBinFaceDown", Accessories::kAnyButMailboxes, 60},
    {u"MainBinFaceUp", Accessories::kMailboxes, 63},
    {u"MainBinFaceUp", Accessories::kAnyButMailboxes, 61},
    {u"UpperBinFaceDown", Accessories::kMailboxes, 66},
    {u"UpperBinFaceDown", Accessories::kAnyButMailboxes, 64},
    {u"UpperBinFaceUp", Accessories::kMailboxes, 67},
    {u"UpperBinFaceUp", Accessories::kAnyButMailboxes, 65},
};

bool Holds(Accessories accessories, std::string_view text) {
  const GAccessoryIdentifiers& known = ProductData().accessories;
  switch (accessories) {
    case Accessories::kStacker:
      return IsAccessory(text, known.stacker);
    case Accessories::kStaplerStackers:
      return IsAccessory(text, known.stapler_stackers);
    case Accessories::kStitcher:
      return IsAccessory(text, known.stitcher);
    case Accessories::kOtherStaplerStackers:
      return IsAccessory(text, known.stapler_stackers) && !IsAccessory(text, known.stitcher);
    case Accessories::kMailboxes:
      return IsAccessory(text, known.mailboxes);
    case Accessories::kAnyButMailboxes:
      return !IsAccessory(text, known.mailboxes);
  }
  return false;
}

}  // namespace

GOutputBinConverter::GOutputBinConverter(GQCFLibrary* store)
    : GTableConverter(store, kOutputBinDescriptor) {}

bool GOutputBinConverter::OfferToHelper(std::uint32_t direction) {
  return FeatureStore() != nullptr &&
         FeatureStore()->CallHelper(kOutputBinKey, this, direction, 0) != 0;
}

std::uint32_t GOutputBinConverter::Apply(GAttributeComposite* root,
                                         GAttributeComposite* destination) {
  std::uint32_t result = 1;
  if (!OfferToHelper(kApplyDirection)) {
    // The copy waits until the accessory has had its say.
    GApplyOutcome found;
    result = ApplyCommon(root, nullptr, Binding(), &found);
    if (!found.read || found.attribute == nullptr) return 0;
    const GStringAttribute* accessory =
        FindStringAttribute(FindPath(root, kInstalledOptionsPath), kAccessoryOutputBinsKey);
    if (found.row != nullptr && accessory != nullptr) {
      const std::string_view text(accessory->GetValue().Data(), accessory->GetValue().Length());
      for (const Remap& remap : kRemaps) {
        if (WideStringsEqual(remap.word, found.row->word) != 0 && Holds(remap.accessories, text)) {
          found.attribute->SetValue(remap.code);
          break;
        }
      }
    }
    RecordCopy(destination, *found.attribute);
  }
  GOptionBuffer buffer;
  RecordLockWhenLocked(root, Binding().apply_key, Binding().attribute_key, buffer);
  return result;
}

std::uint32_t GOutputBinConverter::Extract(GAttributeComposite* root) {
  if (OfferToHelper(kExtractDirection)) return 1;
  return GTableConverter::Extract(root);
}
