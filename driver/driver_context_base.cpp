// GDriverContextBase: the device-mode binding, the settings written back
// and the printer-wide parts kept as named objects. Printer-data values,
// the default build, the application flags and the user's registry places
// are in driver_context_values.cpp.
#include "driver/driver_context_base.h"

#include <atomic>
#include <memory>
#include <new>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "foundation/rw/error.h"
#include "output/core/state.h"
#include "services/os_factory.h"

namespace {

std::atomic<GDevModeSettingsMaker> g_maker{nullptr};

// The named object of a settings part: its key in decimal.
RWWString PartName(std::uint32_t key) {
  return RWWString::FromMultiByte(std::to_string(key).c_str());
}

// One part SaveSettings keeps apart from the device mode while it stores.
struct KeptPart {
  std::uint32_t key;
  std::unique_ptr<MPersistentObject> object;  // taken out, or made empty
  bool held = false;                          // the settings held it
};

}  // namespace

GDevModeSettingsMaker SetDevModeSettingsMaker(GDevModeSettingsMaker maker) {
  return g_maker.exchange(maker);
}

GDevModeSettingsMaker GetDevModeSettingsMaker() {
  return g_maker.load();
}

GDriverContextBase::~GDriverContextBase() {
  DropDevModeSettings();
}

void GDriverContextBase::DropDevModeSettings() {
  ++dev_mode_writes_;
  delete dev_mode_settings_;
  dev_mode_settings_ = nullptr;
}

bool GDriverContextBase::RemakeDevModeSettings() {
  DropDevModeSettings();
  GDevModeSettingsMaker maker = GetDevModeSettingsMaker();
  dev_mode_settings_ = maker ? maker(*this, GetPrinterHandle()) : nullptr;
  return dev_mode_settings_ != nullptr;
}

std::int32_t GDriverContextBase::BindDevMode(const platform::DevModeW* dev_mode) {
  bool for_release = false;
  if (dev_mode_settings_) {
    if (!dev_mode) {
      for_release = dev_mode_released_ == 1;
      dev_mode_released_ = 1;
    } else {
      if (dev_mode_settings_->IsSameDevMode(dev_mode) == 1) return 1;
      dev_mode_released_ = 0;
    }
  }
  if (for_release) {
    state_flags_ |= kStateRemadeForRelease;
  } else {
    state_flags_ = kStateMadeAnew;
  }
  // What memory ran short for reads as missing (a printer without a stored
  // default, a record without settings): nothing is stored on it, and the
  // binding fails.
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  if (!RemakeDevModeSettings() || RWShortOfMemorySince(short_of_memory)) return 0;
  GDevModeSettingsInterface& bound = *dev_mode_settings_;
  const bool from_printer = bound.IsFromPrinter() == 1;
  if (!from_printer) {
    // A re-made object leaves the printer's parts as the first one stored
    // them.
    std::unique_ptr<GAttributeComposite> built(BuildDefaultSettings());
    if (RWShortOfMemorySince(short_of_memory)) return 0;
    SaveSettings(built.get(), for_release ? 0 : 1);
  } else {
    std::unique_ptr<GAttributeComposite> options(LoadNamedSettings(kInstalledOptionsKey));
    if (options) ApplyInstalledOptions(options.get());
    bound.NormalizeCollate();
  }
  // A re-made object gets its settings as a new one does (else a bare
  // default record would go out), and nothing more.
  if (for_release) return 1;
  std::int32_t result = 1;
  if (dev_mode) result = bound.MergeDevMode(dev_mode);
  if (RWShortOfMemorySince(short_of_memory)) result = 0;
  if (GOSFactory* services = GOSFactory::Instance())
    services->SetTimeBias(static_cast<std::int16_t>(bound.GetContextWord()));
  if (from_printer && dev_mode) emf_data_type_ = bound.IsEmfDataType() == 1 ? 1 : 0;
  return result;
}

int GDriverContextBase::SaveSettings(GAttributeComposite* settings, std::uint32_t mode) {
  if (!settings) return 0;
  if (GAttributeComposite* sizes = FindComposite(settings, kCustomSizesKey)) sizes->RemoveAll();
  ApplyInstalledOptions(settings);
  KeptPart parts[] = {{kUIObjectsKey, nullptr},
                      {kExtensionCompositeKey, nullptr},
                      {kKeyLocksKey, nullptr},
                      {kInstalledOptionsKey, nullptr}};
  for (KeptPart& part : parts) {
    part.object.reset(TakeDirectChild(*settings, part.key));
    part.held = part.object != nullptr;
    if (!part.held && part.key != kUIObjectsKey)
      part.object.reset(new (std::nothrow) GState(part.key));
  }
  KeptPart& watermarks = parts[2];
  if (GetLocalWatermarkFlag() && watermarks.held)
    CollectLocalWatermarks(dynamic_cast<GAttributeComposite*>(watermarks.object.get()));
  int result = 1;
  // A part the settings lacked is not stored: an empty one would erase
  // what the printer keeps (settings from an older device mode have none).
  for (KeptPart& part : parts) {
    if (mode == 1 && part.held && part.key != kUIObjectsKey &&
        !StoreNamedSettings(part.object.get())) {
      result = 0;
    }
  }
  settings->ClearSerialNumbers();
  ++dev_mode_writes_;
  const int stored = dev_mode_settings_ ? dev_mode_settings_->SetSettings(settings) : 0;
  for (KeptPart& part : parts) {
    if (part.object) settings->AddChild(part.object.release());
  }
  return stored == 0 ? 0 : result;
}

GAttributeComposite* GDriverContextBase::LoadNamedSettings(const std::uint32_t& key) {
  const RWWString name = PartName(key);
  std::unique_ptr<GAttributeComposite> part(LoadNamedObjectAs<GAttributeComposite>(this, name));
  if (part && !IsWholeStoredPart(key, *part)) return nullptr;
  return part.release();
}

int GDriverContextBase::StoreNamedSettings(MPersistentObject* object) {
  GOSFactory* services = GOSFactory::Instance();
  if (!object || !services) return 0;
  return services->StoreNamedObject(this, PartName(object->Key()), object);
}

GAttributeComposite* GDriverContextBase::CreateDefaultSettings() {
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  std::unique_ptr<GAttributeComposite> options(LoadNamedSettings(kInstalledOptionsKey));
  if (options) ApplyInstalledOptions(options.get());
  GAttributeComposite* model = GetDevModeSettingsModel();
  std::unique_ptr<MPersistentObject> copy(model ? model->DeepCopy() : nullptr);
  auto* settings = dynamic_cast<GAttributeComposite*>(copy.get());
  std::unique_ptr<GAttributeComposite> watermarks(LoadNamedSettings(kKeyLocksKey));
  if (watermarks) {
    EnsureWatermarkScope(watermarks.get());
    if (GetLocalWatermarkFlag())
      MergeLocalWatermarks(FindComposite(watermarks.get(), kWatermarkListKey));
  }
  std::unique_ptr<GAttributeComposite> extension(LoadNamedSettings(kExtensionCompositeKey));
  // A stored part that memory ran short for is not missing, nor is a copy
  // of the model that could not be made: the data file's defaults in their
  // place would later be saved over what is stored. No settings.
  if (RWShortOfMemorySince(short_of_memory) || (model && !copy)) return nullptr;
  state_flags_ &= ~kStateRebuildDefaults;
  if (!settings || !options || !watermarks || !extension) return BuildDefaultSettings();
  copy.release();
  PutDirectChild(*settings, options.release());
  PutDirectChild(*settings, watermarks.release());
  PutDirectChild(*settings, extension.release());
  RefreshCustomSizes(settings);
  return settings;
}

GAttributeComposite* GDriverContextBase::GetDevModeSettingsModel() {
  return dev_mode_settings_ ? dev_mode_settings_->GetSettings() : nullptr;
}
