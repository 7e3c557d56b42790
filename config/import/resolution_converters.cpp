#include "config/import/resolution_converters.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/keys/settings_keys.h"

namespace {

constexpr std::uint16_t kSingle = 1;
constexpr std::uint16_t kFast = 2;

constexpr GResolutionRow kResolutionRows[] = {
    {u"600dpi", 600, kSingle},           {u"300dpi", 300, kSingle},
    {u"FASTRES_1200", 600, kFast},       {u"PRORES_1200", 1200, kSingle},
    {u"PRORES_1200_141", 1200, kSingle}, {u"PRORES_1200_180", 1200, kSingle},
    {u"PRORES_1200_212", 1200, kSingle},
};

}  // namespace

std::span<const GResolutionRow> GResolutionConverter::Rows() {
  return kResolutionRows;
}

bool GResolutionConverter::Find(GAttributeComposite* root, Attributes& found) {
  MPersistentObject* resolution =
      FindComposite(FindPath(root, kDocumentSettingsPath), kResolutionKey);
  found.mode = FindValueAttribute(resolution, kResolutionModeKey);
  found.x = FindValueAttribute(resolution, kXResolutionKey);
  found.y = FindValueAttribute(resolution, kYResolutionKey);
  return found.mode != nullptr && found.x != nullptr && found.y != nullptr;
}

std::uint32_t GResolutionConverter::Apply(GAttributeComposite* root, GAttributeComposite*) {
  Attributes found;
  if (!Find(root, found)) return 0;
  GOptionBuffer buffer(kBufferUnits);
  if (ReadWord(kKey, buffer) == 0) return 0;
  for (const GResolutionRow& row : kResolutionRows) {
    if (WideStringsEqual(row.word, buffer.Data()) == 0) continue;
    found.mode->SetValue(row.mode);
    found.x->SetValue(row.dots_per_inch);
    found.y->SetValue(row.dots_per_inch);
    return 1;
  }
  return 0;
}

std::uint32_t GResolutionConverter::Extract(GAttributeComposite* root) {
  Attributes found;
  if (!Find(root, found)) return 0;
  for (const GResolutionRow& row : kResolutionRows) {
    if (row.dots_per_inch != found.x->GetValue() || row.mode != found.mode->GetValue()) continue;
    WriteWord(kKey, row.word);
    return 1;
  }
  return 0;
}

GRasterizationChoiceConverter::GRasterizationChoiceConverter(GQCFLibrary* store)
    : GTableConverter(store, kRasterizationChoiceDescriptor) {}

const GFeatureBinding& GRasterizationChoiceConverter::In(GAttributeComposite* root) {
  GApplyOutcome found;
  return Locate(root, kRasterizationChoiceDescriptor, found) != nullptr
             ? kRasterizationChoiceDescriptor
             : kRasterizationChoiceInColorDescriptor;
}

std::uint32_t GRasterizationChoiceConverter::Apply(GAttributeComposite* root,
                                                   GAttributeComposite* destination) {
  return ApplyCommon(root, destination, In(root));
}

std::uint32_t GRasterizationChoiceConverter::Extract(GAttributeComposite* root) {
  return ExtractCommon(root, In(root));
}
