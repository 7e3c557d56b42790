// GDriverDataImp::ApplyInstalledOptions: makes the printer's model agree
// with what is installed. The installed-options part S (kInstalledOptionsKey)
// gives, in this order (J: the job settings; M: their printer model,
// kPrinterModelKey; P: the printer-language device's settings,
// kPrinterLanguageDeviceKey):
//   1. the range kPrinterMemoryKey of P: P's own, or else M's joined to P as
//      a second holder of the same object; S's kDriverWorkSpaceKey sets it
//      (the range clamps);
//   2. plain values, each only where source and target exist:
//      kMemoryKey -> M kMemorySizeKey, kScannerChoiceKey -> M kScannerKey,
//      kDuplexUnitKey -> M kDuplexUnitReportedKey, kManualDuplexKey -> J
//      kManualDuplexKey, kCollationUnitKey -> M kCollationAvailableKey,
//      kStaplerInstalledKey -> J kStaplerInstalledKey, kPrinterHardDiskKey ->
//      M kDiskCountKey (1 for 1, else 0), kFontModuleKey -> P kFontModuleKey;
//   3. the stored paper-path maps: "VROBinPool" (an attribute composite) in
//      place of M's kPaperHandlingKey, "VROOSTrayMap" (a
//      GResourceMappingList) taken over as the tray map, "VROPDLTrayMap" and
//      "VROWQMBinMap" (each an MAssociationList) in place of P's
//      kPdlTrayMapKey and the job-language device's (kJobLanguageDeviceKey)
//      kJobLanguageBinMapKey. Each replaces only an existing direct child, by
//      a deep copy that keeps that child's key; a missing map leaves the
//      model's part; every loaded object but the tray map taken over is
//      deleted, as is one of another class;
//   4. the optional devices of M's (new) bin pool, installed or not by
//      kAccessoryOutputBinsKey (output device name; kAccessoryPartKey its
//      part), kOptionalPaperSourcesKey (paper source name, the first match
//      only; kSourcePartKey its part when the source has several) and
//      kEnvelopeFeederKey (1: the first optional source whose first tray is
//      5); the current part of every device that is not optional by
//      kTray1ModeKey;
//   5. kJobRetentionAvailableKey -> M kJobRetentionAvailableKey,
//      kScaleFromLargePaperKey -> J kScaleFromLargePaperKey, kModelOptionKey
//      -> M kModelOptionKey.
//
// A device's settings (P, the job-language device's) are its configuration,
// which may be any composite of the model: an attribute composite, or a
// GConfiguration, which alone can hold the association lists kPdlTrayMapKey
// and kJobLanguageBinMapKey. Values are read as the 16-bit values of
// GValueAttribute, names as GStringAttribute texts; anything of another
// class counts as missing.
#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "output/core/peripheral.h"
#include "persist/find_of_class.h"
#include "persist/persistent_association.h"
#include "persist/resource_mapping.h"

namespace {

// The tray id that makes a paper source the envelope feeder.
constexpr std::uint16_t kEnvelopeFeederTray = 5;

enum class Target { kModel, kJob, kDevice };

struct ValueCopy {
  std::uint32_t source;  // in S
  Target target;
  std::uint32_t key;  // in the target
  bool as_flag;       // 1 for a source of 1, else 0
};

constexpr ValueCopy kFirstCopies[] = {
    {kMemoryKey, Target::kModel, kMemorySizeKey, false},
    {kScannerChoiceKey, Target::kModel, kScannerKey, false},
    {kDuplexUnitKey, Target::kModel, kDuplexUnitReportedKey, false},
    {kManualDuplexKey, Target::kJob, kManualDuplexKey, false},
    {kCollationUnitKey, Target::kModel, kCollationAvailableKey, false},
    {kStaplerInstalledKey, Target::kJob, kStaplerInstalledKey, false},
    {kPrinterHardDiskKey, Target::kModel, kDiskCountKey, true},
    {kFontModuleKey, Target::kDevice, kFontModuleKey, false}};
constexpr ValueCopy kLastCopies[] = {
    {441, Target::kModel, 441, false},
    {kScaleFromLargePaperKey, Target::kJob, kScaleFromLargePaperKey, false},
    {kModelOptionKey, Target::kModel, kModelOptionKey, false}};

struct Places {
  GAttributeComposite* options;  // S
  MPersistentObject* job;        // J
  MPersistentObject* model;      // M
  MPersistentObject* device;     // P
};

template <std::size_t N>
void CopyValues(const Places& at, const ValueCopy (&copies)[N]) {
  for (const ValueCopy& copy : copies) {
    MPersistentObject* in = copy.target == Target::kModel ? at.model
                            : copy.target == Target::kJob ? at.job
                                                          : at.device;
    GValueAttribute* source = FindValueAttribute(at.options, copy.source);
    GValueAttribute* target = FindValueAttribute(in, copy.key);
    if (!source || !target) continue;
    const std::uint16_t value = source->GetValue();
    target->SetValue(copy.as_flag ? (value == 1 ? 1 : 0) : value);
  }
}

// Loads the named map `name` when it is a T and puts a copy in place of
// `in`'s direct child `key` (when both exist).
template <class T>
void PlaceMap(GDriverData* printer, const char16_t* name, MPersistentObject* in,
              std::uint32_t key) {
  std::unique_ptr<T> map(LoadNamedObjectAs<T>(printer, RWWString(name)));
  if (map && in) ReplaceDirectChild(*in, key, *map);
}

// A 16-bit value of S that each device may take once.
struct Pending {
  explicit Pending(GValueAttribute* attribute)
      : held(attribute != nullptr), value(attribute ? attribute->GetValue() : 0) {}
  bool held;
  std::uint16_t value;
};

// Makes `id` current when the device has several parts and that one.
void SelectPart(GPaperHandlingDevice& device, std::uint16_t id) {
  if (device.GetPartCount() > 1 && device.HasPart(id)) device.SetCurrentPartId(id);
}

bool FirstTrayIs(GPaperHandlingDevice& device, std::uint16_t id) {
  std::unique_ptr<MChildIterator> trays(device.NewChildIterator());
  if (!trays || !trays->Next()) return false;
  auto* tray = dynamic_cast<GTray*>(trays->Current());
  return tray && tray->GetId() == id;
}

void MarkDevices(GAttributeComposite* options, GAttributeComposite* pool) {
  if (!pool) return;
  GStringAttribute* output_name = FindStringAttribute(options, kAccessoryOutputBinsKey);
  GStringAttribute* source_name = FindStringAttribute(options, kOptionalPaperSourcesKey);
  Pending output_part(FindValueAttribute(options, kAccessoryPartKey));
  Pending source_part(FindValueAttribute(options, kSourcePartKey));
  Pending feeder(FindValueAttribute(options, kEnvelopeFeederKey));
  Pending fixed_part(FindValueAttribute(options, kTray1ModeKey));
  bool source_pending = source_name != nullptr;
  const GCountedPtrVector& devices = pool->Children();
  for (RWSize i = 0; i < devices.Count(); ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices[i].Get());
    if (!device) continue;
    RWCString name;
    device->GetName(name);
    if (!device->IsOptional()) {
      if (fixed_part.held) SelectPart(*device, fixed_part.value);
    } else if (device->GetDeviceType() == kOutputDevice) {
      const bool named = output_name && name == output_name->GetValue();
      device->SetInstalled(named ? 1 : 0);
      if (named && output_part.held) device->SetCurrentPartId(output_part.value);
    } else if (device->GetDeviceType() == kPaperSource) {
      device->SetInstalled(0);
      if (source_pending && name == source_name->GetValue()) {
        device->SetInstalled(1);
        if (source_part.held) SelectPart(*device, source_part.value);
        source_pending = false;
        source_part.held = false;
      }
      if (feeder.held && feeder.value == 1 && FirstTrayIs(*device, kEnvelopeFeederTray)) {
        device->SetInstalled(1);
        feeder.held = false;
      }
    }
  }
}

}  // namespace

MPersistentObject* GDriverDataImp::DeviceSettings(std::uint32_t device_key) {
  GPeripheral* printer_object = FindPrinterObject();
  auto* device = FindOfClass<GPeripheral>(printer_object, device_key);
  MPersistentObject* settings = device ? device->GetConfiguration() : nullptr;
  return settings && settings->AsComposite() ? settings : nullptr;
}

int GDriverDataImp::ApplyInstalledOptions(GAttributeComposite* settings) {
  if (!settings) settings = GetDefaultSettings();
  if (!settings) return 0;
  auto* options =
      settings->Key() == kInstalledOptionsKey
          ? settings
          : dynamic_cast<GAttributeComposite*>(FindDirectChild(settings, kInstalledOptionsKey));
  if (!options) return 0;
  GAttributeComposite* job = GetJobSettings();
  GAttributeComposite* model = FindComposite(job, kPrinterModelKey);
  MPersistentObject* device = DeviceSettings(kPrinterLanguageDeviceKey);
  const Places at{options, job, model, device};

  if (device) {
    MPersistentObject* held = device->FindByKey(kPrinterMemoryKey);
    auto* range = dynamic_cast<GRangeAttribute*>(held);
    if (!held && (range = FindOfClass<GRangeAttribute>(model, kPrinterMemoryKey)) != nullptr)
      device->AddChild(range);  // a second holder of the model's own range
    GValueAttribute* value = FindValueAttribute(options, kDriverWorkSpaceKey);
    if (range && value) range->SetValue(static_cast<std::int16_t>(value->GetValue()));
  }
  CopyValues(at, kFirstCopies);

  PlaceMap<GAttributeComposite>(this, kBinPoolName, model, kPaperHandlingKey);
  if (GResourceMappingList* tray_map =
          LoadNamedObjectAs<GResourceMappingList>(this, RWWString(kOSTrayMapName))) {
    SetTrayMap(tray_map);
  }
  PlaceMap<MAssociationList>(this, kPDLTrayMapName, device, kPdlTrayMapKey);
  PlaceMap<MAssociationList>(this, kWQMBinMapName, DeviceSettings(kJobLanguageDeviceKey),
                             kJobLanguageBinMapKey);

  MarkDevices(options, FindComposite(model, kPaperHandlingKey));
  CopyValues(at, kLastCopies);
  NoteModelChange();
  return 1;
}
