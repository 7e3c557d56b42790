#include "ui/framework/installed_options_copy.h"

#include <memory>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/device_value_reader.h"
#include "driver/model_lookup.h"
#include "driver/ui_plugin_records.h"
#include "persist/child_iterator.h"
#include "ui/framework/ui_context.h"

namespace {

// The 16-bit value of `key` in `in` into `out`; false when missing.
bool Read(MPersistentObject* in, std::uint32_t key, std::uint16_t& out) {
  GValueAttribute* value = FindValueAttribute(in, key);
  if (value) out = value->GetValue();
  return value != nullptr;
}

void Copy(MPersistentObject* options, std::uint32_t from, MPersistentObject* settings,
          std::uint32_t to) {
  std::uint16_t value = 0;
  if (Read(options, from, value)) SetValueIfPresent(settings, to, value);
}

void SetString(MPersistentObject* in, std::uint32_t key, const RWCString& text) {
  if (GStringAttribute* string = FindStringAttribute(in, key)) string->SetValue(text);
}

// Whether the string `key` exists and is empty.
bool IsEmptyString(MPersistentObject* in, std::uint32_t key) {
  GStringAttribute* string = FindStringAttribute(in, key);
  return string && string->GetValue().IsNull();
}

// Step 9's output device: its name, its part, and its accessory bins.
void TakeAccessory(GPaperHandlingDevice& device, GAttributeComposite* settings) {
  RWCString name;
  SetString(settings, kAccessoryOutputBinsKey, device.GetName(name));
  SetValueIfPresent(settings, kAccessoryPartKey, device.GetCurrentPartId());
  GAttributeComposite* bins = FindComposite(settings, kAccessoryBinNamesKey);
  if (!bins) return;
  bins->RemoveAll();
  std::unique_ptr<MChildIterator> walk(device.NewChildIterator());
  while (walk && walk->Next()) {
    const auto* bin = dynamic_cast<const GBin*>(walk->Current());
    if (bin && bin->GetId() >= kFirstAccessoryBin && bin->GetId() <= kLastAccessoryBin)
      bins->AddChild(new GStringAttribute(bin->GetName(), 0));
  }
}

void VisitDevices(GAttributeComposite* devices, GAttributeComposite* settings) {
  const std::uint32_t count = devices->EntryCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    auto* device = dynamic_cast<GPaperHandlingDevice*>(devices->Children()[i].Get());
    if (!device) continue;
    if (device->IsOptional() && device->IsInstalled()) {
      if (device->GetDeviceType() == kOutputDevice &&
          IsEmptyString(settings, kAccessoryOutputBinsKey)) {
        TakeAccessory(*device, settings);
      } else if (device->GetDeviceType() == kPaperSource &&
                 IsEmptyString(settings, kOptionalPaperSourcesKey)) {
        RWCString name;
        SetString(settings, kOptionalPaperSourcesKey, device->GetName(name));
      }
    } else if (!device->IsOptional() && device->GetPartCount() > 1) {
      SetValueIfPresent(settings, kTray1ModeKey, device->GetCurrentPartId());
    }
  }
}

}  // namespace

std::int16_t ConfigToSettings(GUIData* host) {
  if (!host || host->size != kUIDataSize) return 0;
  GAttributeComposite* options =
      FindComposite(ConfigurationTreeOf(host->configuration), kPrinterModelKey);
  GAttributeComposite* settings = FindComposite(host->settings, kInstalledOptionsKey);
  if (!options || !settings) return 0;

  // 1.
  std::uint16_t state = 0;
  if (!Read(options, kDeviceUpdateStatusKey, state) ||
      !SetValueIfPresent(settings, kDeviceUpdateStatusKey, state) || state != kOptionsFromDevice) {
    return 0;
  }
  // 2.
  if (auto* share = FindOfClass<GRangeAttribute>(options, kPrinterMemoryKey))
    SetValueIfPresent(settings, kDriverWorkSpaceKey, share->GetValue());
  // 3.
  std::uint16_t memory = 0;
  const bool has_memory = Read(options, kMemorySizeKey, memory);
  std::uint16_t extra = 0;
  if (Read(options, kPageFrameMemoryKey, extra))
    memory = static_cast<std::uint16_t>(memory + extra);
  if (has_memory) SetValueIfPresent(settings, kMemoryKey, memory);
  // 4, 5.
  Copy(options, kDuplexUnitReportedKey, settings, kDuplexUnitKey);
  if (MPersistentObject* media_types = options->FindByKey(kUserMediaTypesKey))
    settings->ReplaceByKey(kUserMediaTypesKey, media_types);
  // 6.
  std::uint16_t disk = 0;
  GValueAttribute* disk_present = FindValueAttribute(settings, kPrinterHardDiskKey);
  if (disk_present && Read(options, kDiskCountKey, disk)) {
    disk_present->SetValue(static_cast<std::int16_t>(disk) > 0 ? 1 : 0);
    SetValueIfPresent(settings, kJobRetentionKey, disk != 0 || memory >= kJobStorageMemory);
  } else {
    disk = 0;
  }
  // 7.
  std::uint16_t collation = 0;
  GValueAttribute* collation_setting = FindValueAttribute(settings, kCollationUnitKey);
  if (collation_setting && Read(options, kCollationAvailableKey, collation)) {
    if (disk == 0 && memory < kJobStorageMemory) {
      collation_setting->SetValue(0);
    } else {
      collation_setting->SetValue(collation);
      if (collation != 0) SetValueIfPresent(settings, kIgnoreCollationKey, collation);
    }
  }
  // 8.
  SetString(settings, kOptionalPaperSourcesKey, RWCString());
  SetValueIfPresent(settings, kEnvelopeFeederKey, 0);
  SetString(settings, kAccessoryOutputBinsKey, RWCString());
  // 9.
  if (GAttributeComposite* devices = FindComposite(options, kPaperHandlingKey))
    VisitDevices(devices, settings);
  return 0;
}
