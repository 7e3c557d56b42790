// GExtensionManager::ApplyMaps and RemoveMaps: the tray and bin maps of an
// extension become paper-handling devices and map entries, stored as the
// printer's named objects:
//   "VROBinPool"    the composite of paper-handling devices (default: a
//                   copy of the printer model's kPaperHandlingKey in the job
//                   settings' kPrinterModelKey)
//   "VROOSTrayMap"  GResourceMappingList, system tray numbers to trays
//                   (default: a copy of the driver data's tray map)
//   "VROPDLTrayMap" MAssociationList, tray ids to PDL tray numbers
//                   (default: a copy of device kPrinterLanguageDeviceKey's
//                   kPdlTrayMapKey)
//   "VROWQMBinMap"  MAssociationList, bin ids to job-language bin names
//                   (default: a copy of device kJobLanguageDeviceKey's
//                   kJobLanguageBinMapKey)
// Per tray item with id = code + 32 in 0..51: a GTray (kTrayKey), a
// GResourceMapping (code + 10550, id + 256, id) unless one has that second
// number or string id, and an association GValueAttribute(id) ->
// GValueAttribute(PDL tray). Per bin item with id = code + 41 in 0..70 a
// GBin (kBinKey); with code + 30 in 0..59 an association
// GValueAttribute(code + 30) -> GSelectionString(job-language name,
// code + 30). The devices' names go to kOptionalPaperSourcesKey (trays) and
// kAccessoryOutputBinsKey (bins) of the default settings' kInstalledOptionsKey
// while those are empty.
//
// The records are the extension's memory: a device record, then its items,
// then the next record (each record starts after the previous record's
// items). Mended: every bin device built joins the pool (not only the
// last); negative item counts are 0; null names are empty; defaults of
// absent maps are deep copies, never the live model's objects.
#include <cstring>
#include <memory>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/driver_data_imp.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "persist/persistent_association.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"

namespace {

constexpr std::int32_t kTrayIdOffset = 32, kMostTrayId = 51;
constexpr std::int32_t kBinIdOffset = 41, kMostBinId = 70;
constexpr std::int32_t kBinNumberOffset = 30, kMostBinNumber = 59;
constexpr std::uint32_t kTrayStringBase = 10550;
constexpr std::uint16_t kUserTrayBase = 256;

// One device of a map with its items, read from the extension's records.
struct MapDevice {
  RWCString name;
  std::vector<ExtensionTrayItem> trays;
  std::vector<ExtensionBinItem> bins;
};

RWCString Text(const char* text) {
  return text ? RWCString(text) : RWCString();
}

// The devices of `count` records at `records`, items of `Item`.
template <class Item>
std::vector<MapDevice> ReadDevices(const void* records, std::uint16_t count) {
  std::vector<MapDevice> devices;
  const auto* at = static_cast<const unsigned char*>(records);
  for (std::uint16_t i = 0; at && i < count; ++i) {
    ExtensionDeviceRecord record;
    std::memcpy(&record, at, sizeof record);
    at += sizeof record;
    MapDevice device{Text(record.name), {}, {}};
    for (std::int16_t j = 0; j < record.item_count; ++j, at += sizeof(Item)) {
      Item item;
      std::memcpy(&item, at, sizeof item);
      if constexpr (std::is_same_v<Item, ExtensionTrayItem>) {
        device.trays.push_back(item);
      } else {
        device.bins.push_back(item);
      }
    }
    devices.push_back(std::move(device));
  }
  return devices;
}

// The result of a map function: its own code, or 0 with the devices.
template <class Item>
std::uint16_t CallMap(ExtGetMap map, std::uint16_t language, std::vector<MapDevice>& devices) {
  if (!map) return kExtFailed;
  const void* records = nullptr;
  std::uint16_t count = 0;
  const std::uint16_t result = map(&records, &count, language);
  if (result == kExtOk) devices = ReadDevices<Item>(records, count);
  return result;
}

// The named object `name`, else a deep copy of `fallback` when it is a T.
template <class T>
std::unique_ptr<T> LoadOrCopy(GDriverData* owner, const char16_t* name,
                              MPersistentObject* fallback) {
  std::unique_ptr<T> loaded(LoadNamedObjectAs<T>(owner, RWWString(name)));
  if (loaded || !dynamic_cast<T*>(fallback)) return loaded;
  MPersistentObject* copy = fallback->DeepCopy();
  if (auto* typed = dynamic_cast<T*>(copy)) return std::unique_ptr<T>(typed);
  delete copy;
  return nullptr;
}

void Store(GDriverData* owner, const char16_t* name, const RWCollectable* object) {
  if (GOSFactory* services = GOSFactory::Instance())
    services->StoreNamedObject(owner, RWWString(name), object);
}

std::int32_t TrayId(const ExtensionTrayItem& item) {
  return item.code + kTrayIdOffset;
}
bool TrayInRange(const ExtensionTrayItem& item) {
  return TrayId(item) >= 0 && TrayId(item) <= kMostTrayId;
}

// The device of `device`'s items (trays or bins).
GPaperHandlingDevice* BuildDevice(const MapDevice& device, std::uint32_t kind) {
  auto* made = new (std::nothrow) GPaperHandlingDevice(device.name, kind, 1, 1, 0, 0, 0);
  auto* parts = new (std::nothrow) GAttributeComposite();
  if (!made || !parts) {
    delete made;
    delete parts;
    return nullptr;
  }
  for (const ExtensionTrayItem& tray : device.trays) {
    if (!TrayInRange(tray)) continue;
    const RWCString name = Text(tray.name);
    parts->AddChild(new (std::nothrow)
                        GTray(0, name, static_cast<std::uint16_t>(TrayId(tray)), 0, 0,
                              kUnmappedValue, kUnmappedValue, nullptr, name.Data(), kTrayKey));
  }
  for (const ExtensionBinItem& bin : device.bins) {
    const std::int32_t id = bin.code + kBinIdOffset;
    if (id < 0 || id > kMostBinId) continue;
    const RWCString name = Text(bin.name);
    parts->AddChild(new (std::nothrow)
                        GBin(0, name, static_cast<std::uint16_t>(id), 0, 0, kUnmappedValue,
                             kUnmappedValue, 0, 0, name.Data(), kBinKey));
  }
  made->SetPart(0, parts);
  return made;
}

// Removes from `pool` the optional devices of `kind` named as a device.
void RemoveDevices(GAttributeComposite* pool, const std::vector<MapDevice>& devices,
                   std::uint32_t kind) {
  for (const MapDevice& device : devices) {
    for (RWSize i = 0; i < pool->Children().Count();) {
      auto* held = dynamic_cast<GPaperHandlingDevice*>(pool->Children()[i].Get());
      RWCString name;
      if (held && held->GetDeviceType() == kind && held->IsOptional() &&
          held->GetName(name) == device.name) {
        delete pool->RemoveChild(held);
      } else {
        ++i;
      }
    }
  }
}

// kOptionalPaperSourcesKey or kAccessoryOutputBinsKey of `options`: `name` when
// empty (made when missing), or empty again when it equals `name` at removal.
void NameDevice(GAttributeComposite* options, std::uint32_t key, const RWCString& name,
                bool apply) {
  if (!options) return;
  GStringAttribute* held = FindStringAttribute(options, key);
  if (apply && !held) {
    options->AddChild(new (std::nothrow) GStringAttribute(name, key));
  } else if (apply && held->GetValue().IsNull()) {
    held->SetValue(name);
  } else if (!apply && held && held->GetValue() == name) {
    held->SetValue(RWCString());
  }
}

}  // namespace

std::uint16_t GExtensionManager::MapResult(std::uint32_t flags, std::uint16_t tray,
                                           std::uint16_t bin) const {
  const bool trays = flags & kExtHasTrayMap;
  const bool bins = flags & kExtHasBinMap;
  if (trays && bins) return tray != kExtOk ? tray : bin;
  if (trays) return tray;
  return bins ? bin : kExtOk;
}

std::uint16_t GExtensionManager::ApplyMaps(const ExtensionDriverTable& table, std::uint32_t flags) {
  return ChangeMaps(table, flags, true);
}

std::uint16_t GExtensionManager::RemoveMaps(const ExtensionDriverTable& table,
                                            std::uint32_t flags) {
  return ChangeMaps(table, flags, false);
}

std::uint16_t GExtensionManager::ChangeMaps(const ExtensionDriverTable& table, std::uint32_t flags,
                                            bool apply) {
  GPeripheral* printer = owner_ ? owner_->FindPrinterObject() : nullptr;
  const std::uint16_t language = LanguageCode();
  std::uint16_t tray_result = kExtFailed, bin_result = kExtFailed;
  std::vector<MapDevice> trays, bins;
  if (flags & kExtHasTrayMap)
    tray_result = CallMap<ExtensionTrayItem>(table.get_tray_map, language, trays);
  if (flags & kExtHasBinMap)
    bin_result = CallMap<ExtensionBinItem>(table.get_bin_map, language, bins);
  if ((tray_result != kExtOk && bin_result != kExtOk) || !printer)
    return MapResult(flags, tray_result, bin_result);

  std::unique_ptr<GAttributeComposite> pool = LoadOrCopy<GAttributeComposite>(
      owner_, kBinPoolName,
      FindComposite(FindComposite(owner_->GetJobSettings(), kPrinterModelKey), kPaperHandlingKey));
  GAttributeComposite* options = FindComposite(owner_->GetDefaultSettings(), kInstalledOptionsKey);
  if (!pool) return MapResult(flags, tray_result, bin_result);

  std::unique_ptr<GResourceMappingList> os_map;
  std::unique_ptr<MAssociationList> pdl_map, wqm_map;
  if (!trays.empty()) {
    tray_result = kExtOk;
    if (apply) {
      for (const MapDevice& device : trays)
        pool->AddChild(BuildDevice(device, kPaperSource));
    } else {
      RemoveDevices(pool.get(), trays, kPaperSource);
    }
    os_map = LoadOrCopy<GResourceMappingList>(
        owner_, kOSTrayMapName, dynamic_cast<MPersistentObject*>(owner_->GetTrayMap()));
    pdl_map = LoadOrCopy<MAssociationList>(
        owner_, kPDLTrayMapName,
        FindOfClass<MAssociationList>(owner_->DeviceSettings(kPrinterLanguageDeviceKey),
                                      kPdlTrayMapKey));
    if (!os_map || !pdl_map) {
      tray_result = kExtTrayMapMissing;
    } else {
      for (const MapDevice& device : trays) {
        for (const ExtensionTrayItem& item : device.trays) {
          if (!TrayInRange(item)) continue;
          const auto id = static_cast<std::uint16_t>(TrayId(item));
          GValueAttribute key(id, 0);
          if (apply) {
            auto* mapping = new (std::nothrow) GResourceMapping(
                kTrayStringBase + static_cast<std::uint32_t>(item.code),
                static_cast<std::uint16_t>(id + kUserTrayBase), static_cast<std::int16_t>(id));
            if (mapping && !os_map->AddMappingUnique(mapping)) delete mapping;
            pdl_map->SetAssociation(new (std::nothrow) MPersistentAssociation(
                new (std::nothrow) GValueAttribute(id, 0),
                new (std::nothrow) GValueAttribute(item.pdl_tray, 0)));
          } else {
            delete os_map->RemoveBySecondNumber(static_cast<std::int16_t>(id));
            delete pdl_map->RemoveAssociation(&key);
          }
        }
      }
      NameDevice(options, kOptionalPaperSourcesKey, trays.front().name, apply);
    }
  }
  if (!bins.empty()) {
    bin_result = kExtOk;
    if (apply) {
      for (const MapDevice& device : bins)
        pool->AddChild(BuildDevice(device, kOutputDevice));
    } else {
      RemoveDevices(pool.get(), bins, kOutputDevice);
    }
    wqm_map = LoadOrCopy<MAssociationList>(
        owner_, kWQMBinMapName,
        FindOfClass<MAssociationList>(owner_->DeviceSettings(kJobLanguageDeviceKey),
                                      kJobLanguageBinMapKey));
    if (!wqm_map) {
      bin_result = kExtBinMapMissing;
    } else {
      for (const MapDevice& device : bins) {
        for (const ExtensionBinItem& item : device.bins) {
          const std::int32_t number = item.code + kBinNumberOffset;
          if (number < 0 || number > kMostBinNumber) continue;
          const auto id = static_cast<std::uint16_t>(number);
          GValueAttribute key(id, 0);
          if (apply) {
            wqm_map->SetAssociation(new (std::nothrow) MPersistentAssociation(
                new (std::nothrow) GValueAttribute(id, 0),
                new (std::nothrow) GSelectionString(Text(item.job_language_name), id)));
          } else {
            delete wqm_map->RemoveAssociation(&key);
          }
        }
      }
      NameDevice(options, kAccessoryOutputBinsKey, bins.front().name, apply);
    }
  }
  Store(owner_, kBinPoolName, pool.get());
  if (os_map && pdl_map) {
    Store(owner_, kOSTrayMapName, os_map.get());
    Store(owner_, kPDLTrayMapName, pdl_map.get());
  }
  if (wqm_map) Store(owner_, kWQMBinMapName, wqm_map.get());
  return MapResult(flags, tray_result, bin_result);
}
