#include "config/import/finishing_converters.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/converter_descriptors.h"
#include "config/keys/settings_keys.h"
#include "services/driver_data.h"

namespace {

constexpr char16_t kTrue[] = u"TRUE";

// Manual duplex enabled: kManualDuplexKey in kInstalledOptionsKey not 0.
bool ManualDuplexEnabled(MPersistentObject* installed) {
  GValueAttribute* manual = FindValueAttribute(installed, kManualDuplexDescriptor.attribute_key);
  return manual != nullptr && manual->GetValue() != 0;
}

// The two accessories a post-insertion-kit converter serves, by name.
struct KitRow {
  std::uint32_t key;
  const char16_t* short_name;
  const char16_t* path;
};
constexpr KitRow kKitRows[] = {
    {kPostInsertionKitKey, u"KVPostInsertionKit", u"physical/KVPostInsertionKit"},
    {kPunchUnitTypeKey, u"KVPunchUnitType", u"physical/KVPunchUnitType"},
};

}  // namespace

GTray1Converter::GTray1Converter(GQCFLibrary* store) : GTableConverter(store, kTray1Descriptor) {}

std::uint32_t GTray1Converter::Apply(GAttributeComposite* root, GAttributeComposite* destination) {
  GApplyOutcome found;
  const std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (!found.read || found.attribute == nullptr) return result;
  if (GValueAttribute* mode = FindValueAttribute(found.group, kTray1ModeKey)) {
    mode->SetValue(found.attribute->GetValue() == 1 ? kTray1Installed : kTray1Missing);
  }
  return result;
}

GStraightPaperPathConverter::GStraightPaperPathConverter(GQCFLibrary* store)
    : GTableConverter(store, kStraightPaperPathDescriptor) {}

std::uint32_t GStraightPaperPathConverter::Apply(GAttributeComposite* root,
                                                 GAttributeComposite* destination) {
  if (!ManualDuplexEnabled(FindPath(root, kInstalledOptionsPath))) return 0;
  return GTableConverter::Apply(root, destination);
}

GAutoDuplexScalingConverter::GAutoDuplexScalingConverter(GQCFLibrary* store)
    : GTableConverter(store, kAutoDuplexScalingDescriptor) {}

std::uint32_t GAutoDuplexScalingConverter::Apply(GAttributeComposite* root,
                                                 GAttributeComposite* destination) {
  MPersistentObject* installed = FindPath(root, kInstalledOptionsPath);
  GValueAttribute* duplex_unit = FindValueAttribute(installed, kDuplexUnitKey);
  if (!ManualDuplexEnabled(installed) && (duplex_unit == nullptr || duplex_unit->GetValue() != 1)) {
    return 0;
  }
  GApplyOutcome found;
  GValueAttribute* scaling = Locate(root, Binding(), found);
  if (scaling == nullptr) return 0;
  GOptionBuffer buffer(Binding().buffer_units);
  if (ReadWord(Binding().apply_key, buffer) == 0) return 0;
  // Duplex on: the sub-key decides, when the store has it.
  if (WideStringsEqual(buffer.Data(), kTrue) != 0 && SelectKey(kScalingKey) != 0 &&
      ReadCurrentWord(buffer) == 0) {
    return 0;
  }
  std::uint32_t result = 0;
  if (const GOptionRow* row = MatchWord(Binding().rows, buffer.Data())) {
    ApplyRow(*scaling, *row, destination, Binding().destination);
    result = 1;
  }
  if (scaling->GetValue() == 1) {
    if (GValueAttribute* symmetrical = FindValueAttribute(found.group, kSymmetricalMarginsKey)) {
      symmetrical->SetValue(1);
      RecordCopy(destination, *symmetrical);
    }
  }
  return result;
}

GFoldingConverter::GFoldingConverter(GQCFLibrary* store)
    : GTableConverter(store, kFoldingDescriptor) {}

std::uint32_t GFoldingConverter::Apply(GAttributeComposite* root,
                                       GAttributeComposite* destination) {
  GApplyOutcome found;
  const std::uint32_t result = ApplyCommon(root, destination, Binding(), &found);
  if (found.row == nullptr) return result;
  if (GValueAttribute* unit =
          FindValueAttribute(FindPath(root, kInstalledOptionsPath), kFoldingUnitKey)) {
    unit->SetValue(kFoldingUnitSet);
  }
  return result;
}

GPostInsertionKitConverter::GPostInsertionKitConverter(GQCFLibrary* store,
                                                       const char16_t* short_name,
                                                       GDriverData* driver_data)
    : GSettingConverter(store), driver_data_(driver_data) {
  for (const KitRow& row : kKitRows) {
    if (WideStringsEqual(row.short_name, short_name) != 0) {
      key_ = row.key;
      path_ = row.path;
      break;
    }
  }
}

std::uint32_t GPostInsertionKitConverter::Apply(GAttributeComposite* root,
                                                GAttributeComposite* destination) {
  MPersistentObject* installed = FindPath(root, kInstalledOptionsPath);
  if (installed == nullptr || path_ == nullptr) return 0;
  GOptionBuffer buffer(kBufferUnits);
  if (ReadWord(path_, buffer) == 0) return 0;
  MPersistentObject* attribute = installed->FindByKey(key_);
  if (attribute == nullptr) return 0;
  // Extract writes "none": a re-import must read it as not installed too.
  const bool none = WideStringsEqual(buffer.Data(), kNoneWord) != 0 ||
                    WideStringsEqual(buffer.Data(), kNoneExported) != 0;
  if (auto* value = dynamic_cast<GValueAttribute*>(attribute)) {
    value->SetValue(none ? 0 : 1);
  } else if (auto* text = dynamic_cast<GStringAttribute*>(attribute)) {
    char narrow[kTextBytes];
    if (none) {
      narrow[0] = '\0';
    } else if (NarrowWord(buffer.Data(), narrow, kTextBytes) == 0) {
      return 0;
    }
    text->SetValue(narrow);
  } else {
    return 0;
  }
  RecordCopy(destination, *attribute);
  return 1;
}

std::uint32_t GPostInsertionKitConverter::Extract(GAttributeComposite* root) {
  MPersistentObject* installed = FindPath(root, kInstalledOptionsPath);
  if (installed == nullptr || path_ == nullptr) return 0;
  MPersistentObject* attribute = installed->FindByKey(key_);
  if (auto* text = dynamic_cast<GStringAttribute*>(attribute)) {
    if (text->GetValue().IsNull()) {
      WriteWord(path_, kNoneExported);
      return 1;
    }
    return WriteText(path_, text->GetValue().Data());
  }
  auto* value = dynamic_cast<GValueAttribute*>(attribute);
  if (value == nullptr) return 0;
  if (value->GetValue() == 0) {
    WriteWord(path_, kNoneExported);
    return 1;
  }
  GAttributeComposite* job_settings =
      driver_data_ != nullptr ? driver_data_->GetJobSettings() : nullptr;
  GAttributeComposite* records =
      FindComposite(job_settings != nullptr ? job_settings->FindByKey(kPrinterModelKey) : nullptr,
                    kAccessoryOptionsKey);
  if (records == nullptr) return 0;
  // Every record of this accessory is written; the store keeps the last.
  std::uint32_t result = 0;
  const GCountedPtrVector& children = records->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    MPersistentObject* record = children[i].Get();
    GValueAttribute* kind = FindValueAttribute(record, kOptionTargetKey);
    if (kind == nullptr || kind->GetValue() != key_) continue;
    const GStringAttribute* name = FindStringAttribute(record, kOptionNameKey);
    if (WriteText(path_, name != nullptr ? name->GetValue().Data() : nullptr) != 0) result = 1;
  }
  return result;
}
