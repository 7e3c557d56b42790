// The flat settings record's template (GFlatSettingsCodec::BuildTemplate)
// and its pattern index (flat_settings_patterns.h).
#include "flat_settings/flat_settings_patterns.h"

#include <iterator>
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "flat_settings/flat_settings_codec.h"
#include "foundation/rw/cstring.h"
#include "services/driver_data.h"

namespace {

// Children of the series node (kBuiltSettingsKey) that a device mode always
// takes from the pattern: they are printer-wide and kept in printer data.
constexpr std::uint32_t kSeriesPrinterWideKeys[] = {kInstalledOptionsKey, kKeyLocksKey,
                                                    kExtensionCompositeKey, kUIObjectsKey};
// Children that the pattern gains only so that the record may supply them
// (the watermark under kWatermarkListKey, the user custom size under
// kCustomSizesKey): never copied
// in from the pattern, at any depth.
constexpr std::uint32_t kWatermarkTemplateKey = kWatermarkDefinitionKey;
bool IsPlaceholder(std::uint32_t key) {
  return key == kWatermarkTemplateKey || key == kUserCustomSizeKey;
}

// The watermark template under kWatermarkListKey: string children (text, key),
// then value children (value, key), in this order.
struct TemplateString {
  const char* text;
  std::uint32_t key;
};
struct TemplateValue {
  std::uint16_t value;
  std::uint32_t key;
};
constexpr TemplateString kWatermarkStrings[] = {
    {"", kWatermarkNameKey}, {"", kWatermarkTextKey}, {"Arial", kWatermarkFaceKey}};
constexpr TemplateValue kWatermarkValues[] = {
    {0, kWatermarkCharSetKey},    {0, kWatermarkStyleKey}, {0, kWatermarkWeightKey},
    {20, kWatermarkPointSizeKey}, {0, kWatermarkWidthKey}, {0, kWatermarkAngleKindKey},
    {0, kWatermarkAngleKey},      {0, kWatermarkKeptKey},  {0, kWatermarkSecondKeptKey},
    {0, kWatermarkShadeKey},      {0, kWatermarkRedKey},   {0, kWatermarkGreenKey},
    {0, kWatermarkBlueKey},       {0, kWatermarkNumberKey}};

// Hands `child` to `parent` when it is a composite; otherwise the child,
// which a leaf would not take, is destroyed.
void AddToComposite(MPersistentObject* parent, MPersistentObject* child) {
  if (parent && parent->AsComposite()) {
    parent->AddChild(child);
  } else {
    GAttributeComposite::Refuse(child);
  }
}

// The direct children of `node` that are there, in order; false when the
// iterator cannot be made.
template <class Each>
void ForEachChild(MPersistentObject& node, Each each) {
  std::unique_ptr<MChildIterator> children(node.NewChildIterator());
  while (children && children->Next()) {
    if (MPersistentObject* child = children->Current()) each(*child);
  }
}

bool IsPrinterWide(std::uint32_t key) {
  return std::ranges::find(kSeriesPrinterWideKeys, key) != std::end(kSeriesPrinterWideKeys);
}

}  // namespace

namespace flat_settings_detail {

// Mended (docs/mended-behaviour.md): the placeholders stay out at any depth.
MPersistentObject* CopyOfPattern(MPersistentObject& child) {
  MPersistentObject* copy = child.DeepCopy();
  if (!copy || !copy->AsComposite()) return copy;
  for (std::uint32_t key : {kWatermarkTemplateKey, kUserCustomSizeKey}) {
    while (MPersistentObject* placeholder = copy->RemoveByKey(key))
      Discard(placeholder);
  }
  return copy;
}

}  // namespace flat_settings_detail

void GFlatPatternIndex::Describe(MPersistentObject& object, Node& node) {
  ForEachChild(object,
               [&](MPersistentObject& child) { node.children.emplace_back(&child, kNoSlot); });
  // A composite's FindByKey tests its first child before anything else;
  // any other FindByKey answers the object itself or nothing.
  if (!node.children.empty()) {
    MPersistentObject* first = node.children.front().first;
    node.walks = object.FindByKey(first->Key()) == first;
  }
  // One entry per key, with the type of the key's last child.
  for (auto it = node.children.rbegin(); it != node.children.rend(); ++it) {
    const std::uint32_t key = it->first->Key();
    node.expected.push_back(Expected{key, it->first->TypeId(), IsPrinterWide(key)});
  }
  // Iterator-pair algorithms: clang's ranges over this standard library
  // refuse a vector of a nested type here, which the fuzz build needs.
  const auto by_key = [](const Expected& a, const Expected& b) { return a.key < b.key; };
  std::stable_sort(node.expected.begin(), node.expected.end(), by_key);
  node.expected.erase(
      std::unique(node.expected.begin(), node.expected.end(),
                  [](const Expected& a, const Expected& b) { return a.key == b.key; }),
      node.expected.end());
  for (auto& [child, slot] : node.children) {
    slot = node.SlotOf(child->Key());
    node.order.emplace_back(child->Key(), slot);
    // Mended (docs/mended-behaviour.md): a placeholder is never filled in.
    if (!IsPlaceholder(child->Key())) node.fills.emplace_back(child, slot);
  }
}

const GFlatPatternIndex::Node& GFlatPatternIndex::Add(MPersistentObject& object) {
  auto [entry, made] = nodes_.try_emplace(&object);
  Node& node = entry->second;
  if (!made) return node;  // held in two places
  Describe(object, node);
  if (!node.walks) return node;
  for (const auto& [child, slot] : node.children) {
    const Node& below = Add(*child);
    node.below.try_emplace(child->Key(), Found{child, &below});
    if (!below.walks) continue;
    for (const auto& [key, found] : below.below)
      node.below.try_emplace(key, found);
  }
  return node;
}

// ---------------------------------------------------------------------------

GFlatSettingsCodec::GFlatSettingsCodec() = default;
GFlatSettingsCodec::~GFlatSettingsCodec() = default;

void GFlatSettingsCodec::BuildTemplate(GDriverData* driver_data) {
  template_root_ = std::make_unique<GAttributeComposite>();
  GAttributeComposite& root = *template_root_;
  if (driver_data) {
    if (GAttributeComposite* defaults = driver_data->BuildDefaultSettings())
      root.AddChild(defaults);
  }
  root.AddChild(new GAttributeComposite(kImportDestinationKey));
  if (GAttributeComposite* job = driver_data ? driver_data->GetJobSettings() : nullptr) {
    MPersistentObject* entry = job->FindByKey(kQuicksetTemplateKey);
    // A copy memory was short for leaves the template without it; the
    // shortage fails the call that decodes.
    if (MPersistentObject* copy = entry ? entry->DeepCopy() : nullptr) {
      copy->SetKey(0);
      AddToComposite(copy, new GStringAttribute("", kQuicksetNameKey));
      AddToComposite(copy, new GValueAttribute(0, kQuicksetValueKey));
      auto* holder = new GAttributeComposite(kQuicksetTemplateCopyKey);
      holder->AddChild(copy);
      root.AddChild(holder);
    }
  }
  if (MPersistentObject* watermarks = root.FindByKey(kWatermarkListKey)) {
    auto* watermark = new GAttributeComposite(kWatermarkDefinitionKey);
    for (const TemplateString& s : kWatermarkStrings)
      watermark->AddChild(new GStringAttribute(s.text, s.key));
    for (const TemplateValue& v : kWatermarkValues)
      watermark->AddChild(new GValueAttribute(v.value, v.key));
    AddToComposite(watermarks, watermark);
  }
  if (MPersistentObject* sizes = root.FindByKey(kCustomSizesKey)) {
    AddToComposite(sizes,
                   new GCustomMediaSize(0, RWCString(), kHundredthInch, 0, 0, kUserCustomSizeKey));
  }
  index_ = std::make_unique<GFlatPatternIndex>(root);
}
