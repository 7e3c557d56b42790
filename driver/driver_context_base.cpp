// GDriverContextBase: the device-mode binding, the settings written back
// and the printer-wide parts kept as named objects. Printer-data values,
// the default build, the application flags and the user's registry places
// are in driver_context_values.cpp.
#include "driver/driver_context_base.h"

#include <atomic>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>
#include <string>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "driver/nt_os_factory.h"
#include "foundation/rw/binarystream.h"
#include "foundation/rw/error.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
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
  // The record is read under the model of the printer's installed options,
  // not under what an earlier call left of it: a collation unit applied
  // only after the read made the first record of a context collate where
  // the printer's own said not to.
  std::unique_ptr<GAttributeComposite> options(LoadNamedSettings(kInstalledOptionsKey));
  if (options) ApplyInstalledOptions(options.get());
  if (!RemakeDevModeSettings() || RWShortOfMemorySince(short_of_memory)) return 0;
  GDevModeSettingsInterface& bound = *dev_mode_settings_;
  const bool from_printer = bound.IsFromPrinter() == 1;
  if (!from_printer) {
    // Built, not read: the printer's own parts stay as stored.
    std::unique_ptr<GAttributeComposite> built(BuildDefaultSettings());
    if (RWShortOfMemorySince(short_of_memory)) return 0;
    WriteDevModeSettings(built.get());
  } else {
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
  return SaveParts(settings, mode == 1 ? Stores::kHeldParts : Stores::kPool, nullptr);
}

int GDriverContextBase::WriteDevModeSettings(GAttributeComposite* settings) {
  return SaveParts(settings, Stores::kNothing, nullptr);
}

int GDriverContextBase::SaveReadSettings(GAttributeComposite* settings, GPartsAsRead& read) {
  return SaveParts(settings, Stores::kChangedParts, &read);
}

int GDriverContextBase::SaveParts(GAttributeComposite* settings, Stores stores,
                                  GPartsAsRead* read) {
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
      part.object.reset(new (kRWNoThrow) GState(part.key));
  }
  KeptPart& watermarks = parts[2];
  if (stores != Stores::kNothing && GetLocalWatermarkFlag() && watermarks.held)
    CollectLocalWatermarks(dynamic_cast<GAttributeComposite*>(watermarks.object.get()));
  int result = 1;
  // A part the settings lacked is not stored: an empty one would erase
  // what the printer keeps (settings from an older device mode have none).
  for (KeptPart& part : parts) {
    if (!part.held || part.key == kUIObjectsKey) continue;
    if (stores == Stores::kHeldParts && !StoreNamedSettings(part.object.get())) result = 0;
    if (stores == Stores::kChangedParts) {
      std::size_t index = 0;
      while (kPrinterWideParts[index] != part.key)
        ++index;
      if (!StoreReadPart(*part.object, read->images[index])) result = 0;
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

int GDriverContextBase::StoreReadPart(MPersistentObject& part, std::string& image) {
  if (!image.empty()) {
    std::string now = GraphImage(part);
    // Left alone: what is stored stays, whoever stored it since.
    if (now == image) return 1;
    if (!StoreNamedSettings(&part)) return 0;
    image = std::move(now);
    return 1;
  }
  // The defaults' part, stored only where the printer holds none whole: what
  // memory ran short for reads as missing, and is not. A part another call
  // stores in between fails this call's commit (stored_state.h).
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  const std::unique_ptr<GAttributeComposite> stored(LoadNamedSettings(part.Key()));
  if (RWShortOfMemorySince(short_of_memory)) return 0;
  if (stored) return 1;
  if (!StoreNamedSettings(&part)) return 0;
  image = GraphImage(part);
  return 1;
}

std::string GDriverContextBase::GraphImage(const MPersistentObject& graph) {
  std::stringbuf buffer;
  RWBinaryOutputStream stream(&buffer);
  WriteCollectablePointerToStream(stream, &graph);
  if (stream.Fail()) return {};
  return std::move(buffer).str();
}

GAttributeComposite* GDriverContextBase::LoadNamedSettings(const std::uint32_t& key) {
  const RWWString name = PartName(key);
  // The object and the check of its bytes are of one stored value.
  std::lock_guard<std::recursive_mutex> whole(GNTOSFactory::NamedValueLock());
  std::unique_ptr<GAttributeComposite> part(LoadNamedObjectAs<GAttributeComposite>(this, name));
  if (part && !IsWholeStoredPart(key, *part)) return nullptr;
  return part.release();
}

int GDriverContextBase::StoreNamedSettings(MPersistentObject* object) {
  GOSFactory* services = GOSFactory::Instance();
  if (!object || !services) return 0;
  return services->StoreNamedObject(this, PartName(object->Key()), object);
}

GPartsAsRead GDriverContextBase::PartsReadFor(const GAttributeComposite* settings) {
  GPartsAsRead read;
  if (settings && settings == parts_read_for_) read = std::move(parts_read_);
  parts_read_ = GPartsAsRead{};
  parts_read_for_ = nullptr;
  return read;
}

GAttributeComposite* GDriverContextBase::CreateDefaultSettings() {
  parts_read_ = GPartsAsRead{};
  parts_read_for_ = nullptr;
  GPartsAsRead& read = parts_read_;
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  std::unique_ptr<GAttributeComposite> parts[std::size(kPrinterWideParts)];
  for (std::size_t i = 0; i < std::size(kPrinterWideParts); ++i)
    parts[i].reset(LoadNamedSettings(kPrinterWideParts[i]));
  if (parts[0]) ApplyInstalledOptions(parts[0].get());
  GAttributeComposite* model = GetDevModeSettingsModel();
  std::unique_ptr<MPersistentObject> copy(model ? model->DeepCopy() : nullptr);
  std::unique_ptr<GAttributeComposite> settings(dynamic_cast<GAttributeComposite*>(copy.get()));
  if (settings) copy.release();
  // A stored part that memory ran short for is not missing, nor is a copy
  // of the model that could not be made: the data file's defaults in their
  // place would later be saved over what is stored. No settings.
  if (RWShortOfMemorySince(short_of_memory) || (model && !settings)) return nullptr;
  state_flags_ &= ~kStateRebuildDefaults;
  // Only a part not stored whole is the defaults': one missing part must
  // not hide the others the printer holds.
  std::unique_ptr<GAttributeComposite> built;
  if (!settings || !parts[0] || !parts[1] || !parts[2]) {
    built.reset(BuildDefaultSettings());
    if (!built) return nullptr;
  }
  GAttributeComposite& tree = settings ? *settings : *built;
  MPersistentObject* read_parts[std::size(kPrinterWideParts)] = {};
  for (std::size_t i = 0; i < std::size(kPrinterWideParts); ++i) {
    if (parts[i]) {
      read_parts[i] = parts[i].get();
      PutDirectChild(tree, parts[i].release());
    } else if (&tree != built.get()) {
      PutDirectChild(tree, TakeDirectChild(*built, kPrinterWideParts[i]));
    }
  }
  if (auto* watermarks = dynamic_cast<GAttributeComposite*>(FindDirectChild(&tree, kKeyLocksKey))) {
    EnsureWatermarkScope(watermarks);
    if (GetLocalWatermarkFlag()) MergeLocalWatermarks(FindComposite(watermarks, kWatermarkListKey));
  }
  if (settings) RefreshCustomSizes(settings.get());
  if (RWShortOfMemorySince(short_of_memory)) return nullptr;
  // The images of what was read, as the tree holds it.
  for (std::size_t i = 0; i < std::size(kPrinterWideParts); ++i) {
    if (read_parts[i]) read.images[i] = GraphImage(*read_parts[i]);
  }
  parts_read_for_ = settings ? settings.get() : built.get();
  return settings ? settings.release() : built.release();
}

GAttributeComposite* GDriverContextBase::GetDevModeSettingsModel() {
  return dev_mode_settings_ ? dev_mode_settings_->GetSettings() : nullptr;
}
