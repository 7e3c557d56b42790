#include "config/import/number_converters.h"

#include <algorithm>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/keys/settings_keys.h"

namespace {

constexpr std::int32_t kLargestCount = 0xFFFF;

}  // namespace

std::uint32_t GNumberRuleConverter::Apply(GAttributeComposite* root,
                                          GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* attribute = Locate(root, Binding(), found);
  if (attribute == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  std::int32_t number = 0;
  if (ReadWord(Binding().apply_key, buffer) == 0 || !ReadDecimal(buffer.Data(), number) ||
      number < minimum_ || number > maximum_) {
    return 0;
  }
  attribute->SetValue(static_cast<std::uint16_t>(number));
  Record(destination, *attribute, Binding().destination);
  return 1;
}

std::uint32_t GNumberRuleConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* attribute = LocateForExtract(root, Binding());
  if (attribute == nullptr) return 0;
  char16_t word[12];
  DecimalWord(attribute->GetValue(), word);
  WriteWord(Binding().ExtractKey(), word);
  return 1;
}

GScaleChoiceConverter::GScaleChoiceConverter(GQCFLibrary* store)
    : GNumberRuleConverter(store, kScaleChoiceDescriptor, kMinimumPercent, kMaximumPercent) {}

GCopiesConverter::GCopiesConverter(GQCFLibrary* store)
    : GNumberRuleConverter(store, kCopiesDescriptor, 1, kLargestCount) {}

GDriverWorkSpaceSettingConverter::GDriverWorkSpaceSettingConverter(GQCFLibrary* store)
    : GNumberRuleConverter(store, kDriverWorkSpaceSettingDescriptor, 1, kLargestCount) {}

GDryTimeConverter::GDryTimeConverter(GQCFLibrary* store)
    : GTableConverter(store, kDryTimeDescriptor) {}

std::uint32_t GDryTimeConverter::Apply(GAttributeComposite* root,
                                       GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* attribute = Locate(root, Binding(), found);
  if (attribute == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  std::int32_t number = 0;
  if (ReadWord(Binding().apply_key, buffer) == 0 || !ReadDecimal(buffer.Data(), number)) return 0;
  const std::int32_t last_number = kFirstNumber + (kLastCode - kFirstCode) * kStep;
  if (number < kFirstNumber || number > last_number || (number - kFirstNumber) % kStep != 0) {
    return 0;
  }
  attribute->SetValue(static_cast<std::uint16_t>(kFirstCode + (number - kFirstNumber) / kStep));
  Record(destination, *attribute, Binding().destination);
  return 1;
}

std::uint32_t GDryTimeConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* attribute = LocateForExtract(root, Binding());
  if (attribute == nullptr) return 0;
  const std::uint16_t code = attribute->GetValue();
  const std::int32_t number =
      code >= kFirstCode && code <= kLastCode ? kFirstNumber + (code - kFirstCode) * kStep : 0;
  return WriteNumber(Binding().ExtractKey(), number);
}

GMemoryConverter::GMemoryConverter(GQCFLibrary* store)
    : GNumberRuleConverter(store, kMemoryDescriptor, 1, kLargestCount) {}

std::uint32_t GMemoryConverter::Apply(GAttributeComposite* root, GAttributeComposite* destination) {
  GApplyOutcome found;
  GValueAttribute* memory = Locate(root, Binding(), found);
  if (memory == nullptr) return 0;
  const std::int32_t old_size = memory->GetValue();
  if (GNumberRuleConverter::Apply(root, destination) == 0) return 0;
  if (GValueAttribute* share = FindValueAttribute(found.group, kDriverWorkSpaceKey)) {
    // Half of the memory added (or taken away), in whole hundreds; never
    // below 0 or past 16 bits.
    const std::int32_t hundreds =
        share->GetValue() / 100 + ((memory->GetValue() - old_size) * 50) / 100;
    share->SetValue(static_cast<std::uint16_t>(std::clamp(hundreds * 100, 0, kLargestCount)));
    RecordCopy(destination, *share);
  }
  return 1;
}

std::uint32_t GMemoryConverter::Extract(GAttributeComposite* root) {
  GValueAttribute* memory = LocateForExtract(root, Binding());
  if (memory == nullptr) return 0;
  return WriteNumber(Binding().ExtractKey(), memory->GetValue());
}
