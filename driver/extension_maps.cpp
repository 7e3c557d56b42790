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
//
// Both operations run as one MapChange: the constructor calls the map
// functions and loads the pool, Add or Remove changes the tray side, then
// the bin side (TraySide, BinSide: what differs between them), and stores.
#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "driver/driver_data_imp.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "foundation/rw/support.h"
#include "persist/persistent_association.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"

namespace {

constexpr std::int32_t kTrayIdOffset = 32, kMostTrayId = 51;
constexpr std::int32_t kBinIdOffset = 41, kMostBinId = 70;
constexpr std::int32_t kBinNumberOffset = 30, kMostBinNumber = 59;
constexpr std::uint32_t kTrayStringBase = 10550;
constexpr std::uint16_t kUserTrayBase = 256;

// A new T, or null when memory runs out (nothing reported: the map is
// changed as far as memory goes).
template <class T, class... Args>
std::unique_ptr<T> Make(Args&&... args) {
  return std::unique_ptr<T>(new (kRWNoThrow) T(std::forward<Args>(args)...));
}

// One device of a map with its items, read from the extension's records.
template <class Item>
struct MapDevice {
  RWCString name;
  std::vector<Item> items;
};

RWCString Text(const char* text) {
  return text ? RWCString(text) : RWCString();
}

// The devices of `count` records at `records`, items of `Item`.
template <class Item>
std::vector<MapDevice<Item>> ReadDevices(const void* records, std::uint16_t count) {
  std::vector<MapDevice<Item>> devices;
  const auto* at = static_cast<const unsigned char*>(records);
  for (std::uint16_t i = 0; at && i < count; ++i) {
    ExtensionDeviceRecord record;
    std::memcpy(&record, at, sizeof record);
    at += sizeof record;
    MapDevice<Item> device{Text(record.name), {}};
    for (std::int16_t j = 0; j < record.item_count; ++j, at += sizeof(Item)) {
      Item item;
      std::memcpy(&item, at, sizeof item);
      device.items.push_back(item);
    }
    devices.push_back(std::move(device));
  }
  return devices;
}

// The result of a map function: its own code, or 0 with the devices.
template <class Item>
std::uint16_t CallMap(ExtGetMap map, std::uint16_t language,
                      std::vector<MapDevice<Item>>& devices) {
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
  std::unique_ptr<MPersistentObject> copy(fallback->DeepCopy());
  if (auto* typed = dynamic_cast<T*>(copy.get())) {
    copy.release();
    return std::unique_ptr<T>(typed);
  }
  return nullptr;
}

void StoreNamed(GDriverData* owner, const char16_t* name, const RWCollectable* object) {
  if (GOSFactory* services = GOSFactory::Instance())
    services->StoreNamedObject(owner, RWWString(name), object);
}

// Puts the association GValueAttribute(`id`) -> `value` into `map` in
// place of the one with that key; nothing when memory runs out.
void Associate(MAssociationList& map, std::uint16_t id, std::unique_ptr<MPersistentObject> value) {
  std::unique_ptr<GValueAttribute> key = Make<GValueAttribute>(id, 0);
  if (!key || !value) return;
  auto association = Make<MPersistentAssociation>(key.get(), value.get());
  if (!association) return;
  key.release();  // the association holds both now
  value.release();
  map.SetAssociation(association.release());
}

// Takes the association of key GValueAttribute(`id`) out of `map`.
void Dissociate(MAssociationList& map, std::uint16_t id) {
  const GValueAttribute key(id, 0);
  delete map.RemoveAssociation(&key);
}

// `code` + `offset` when it lies in 0 to `most`; none outside.
std::optional<std::uint16_t> InRange(std::int16_t code, std::int32_t offset, std::int32_t most) {
  const std::int32_t number = code + offset;
  if (number < 0 || number > most) return std::nullopt;
  return static_cast<std::uint16_t>(number);
}
std::optional<std::uint16_t> TrayId(const ExtensionTrayItem& item) {
  return InRange(item.code, kTrayIdOffset, kMostTrayId);
}

// The device part of a tray or bin item; null out of range.
std::unique_ptr<MPersistentObject> MakePart(const ExtensionTrayItem& tray) {
  const std::optional<std::uint16_t> id = TrayId(tray);
  if (!id) return nullptr;
  const RWCString name = Text(tray.name);
  return Make<GTray>(0, name, *id, 0, 0, kUnmappedValue, kUnmappedValue, nullptr, name.Data(),
                     kTrayKey);
}
std::unique_ptr<MPersistentObject> MakePart(const ExtensionBinItem& bin) {
  const std::optional<std::uint16_t> id = InRange(bin.code, kBinIdOffset, kMostBinId);
  if (!id) return nullptr;
  const RWCString name = Text(bin.name);
  return Make<GBin>(0, name, *id, 0, 0, kUnmappedValue, kUnmappedValue, 0, 0, name.Data(), kBinKey);
}

// The optional device of `kind` for `device`, its items in part 0.
template <class Item>
std::unique_ptr<GPaperHandlingDevice> BuildDevice(const MapDevice<Item>& device,
                                                  std::uint32_t kind) {
  auto made = Make<GPaperHandlingDevice>(device.name, kind, 1, 1, 0, 0, 0);
  auto parts = Make<GAttributeComposite>();
  if (!made || !parts) return nullptr;
  for (const Item& item : device.items)
    parts->AddChild(MakePart(item).release());
  made->SetPart(0, parts.release());
  return made;
}

// Removes from `pool` the optional devices of `kind` named as a device.
template <class Item>
void RemoveDevices(GAttributeComposite& pool, const std::vector<MapDevice<Item>>& devices,
                   std::uint32_t kind) {
  for (const MapDevice<Item>& device : devices) {
    for (RWSize i = 0; i < pool.Children().Count();) {
      auto* held = dynamic_cast<GPaperHandlingDevice*>(pool.Children()[i].Get());
      RWCString name;
      if (held && held->GetDeviceType() == kind && held->IsOptional() &&
          held->GetName(name) == device.name) {
        delete pool.RemoveChild(held);
      } else {
        ++i;
      }
    }
  }
}

// Calls `change` with every item of every device, in order.
template <class Item, class Change>
void ForEachItem(const std::vector<MapDevice<Item>>& devices, Change change) {
  for (const MapDevice<Item>& device : devices) {
    for (const Item& item : device.items)
      change(item);
  }
}

// kOptionalPaperSourcesKey or kAccessoryOutputBinsKey of `options`: `name`
// when empty (made when missing); at removal, empty again when it is `name`.
void NameDevice(GAttributeComposite* options, std::uint32_t key, const RWCString& name) {
  if (!options) return;
  if (GStringAttribute* held = FindStringAttribute(options, key)) {
    if (held->GetValue().IsNull()) held->SetValue(name);
  } else {
    options->AddChild(Make<GStringAttribute>(name, key).release());
  }
}
void UnnameDevice(GAttributeComposite* options, std::uint32_t key, const RWCString& name) {
  GStringAttribute* held = options ? FindStringAttribute(options, key) : nullptr;
  if (held && held->GetValue() == name) held->SetValue(RWCString());
}

// The tray side: paper sources, their items in "VROOSTrayMap" and
// "VROPDLTrayMap" (both, or neither stored).
struct TraySide {
  static constexpr std::uint32_t kDeviceKind = kPaperSource;
  static constexpr std::uint32_t kNameKey = kOptionalPaperSourcesKey;
  static constexpr std::uint16_t kMapsMissing = kExtTrayMapMissing;

  bool LoadMaps(GDriverDataImp* owner) {
    os_map = LoadOrCopy<GResourceMappingList>(
        owner, kOSTrayMapName, dynamic_cast<MPersistentObject*>(owner->GetTrayMap()));
    pdl_map = LoadOrCopy<MAssociationList>(
        owner, kPDLTrayMapName,
        FindOfClass<MAssociationList>(owner->DeviceSettings(kPrinterLanguageDeviceKey),
                                      kPdlTrayMapKey));
    return os_map && pdl_map;
  }
  void AddEntries(const ExtensionTrayItem& item) {
    const std::optional<std::uint16_t> id = TrayId(item);
    if (!id) return;
    auto mapping = Make<GResourceMapping>(kTrayStringBase + static_cast<std::uint32_t>(item.code),
                                          static_cast<std::uint16_t>(*id + kUserTrayBase),
                                          static_cast<std::int16_t>(*id));
    if (mapping && os_map->AddMappingUnique(mapping.get())) mapping.release();
    Associate(*pdl_map, *id, Make<GValueAttribute>(item.pdl_tray, 0));
  }
  void RemoveEntries(const ExtensionTrayItem& item) {
    const std::optional<std::uint16_t> id = TrayId(item);
    if (!id) return;
    delete os_map->RemoveBySecondNumber(static_cast<std::int16_t>(*id));
    Dissociate(*pdl_map, *id);
  }
  void StoreMaps(GDriverDataImp* owner) const {
    if (!os_map || !pdl_map) return;
    StoreNamed(owner, kOSTrayMapName, os_map.get());
    StoreNamed(owner, kPDLTrayMapName, pdl_map.get());
  }

  std::uint16_t result = kExtFailed;
  std::vector<MapDevice<ExtensionTrayItem>> devices;
  std::unique_ptr<GResourceMappingList> os_map;
  std::unique_ptr<MAssociationList> pdl_map;
};

// The bin side: output bins, their items in "VROWQMBinMap".
struct BinSide {
  static constexpr std::uint32_t kDeviceKind = kOutputDevice;
  static constexpr std::uint32_t kNameKey = kAccessoryOutputBinsKey;
  static constexpr std::uint16_t kMapsMissing = kExtBinMapMissing;

  // The bin's number in the map; none out of range.
  static std::optional<std::uint16_t> Number(const ExtensionBinItem& item) {
    return InRange(item.code, kBinNumberOffset, kMostBinNumber);
  }
  bool LoadMaps(GDriverDataImp* owner) {
    wqm_map = LoadOrCopy<MAssociationList>(
        owner, kWQMBinMapName,
        FindOfClass<MAssociationList>(owner->DeviceSettings(kJobLanguageDeviceKey),
                                      kJobLanguageBinMapKey));
    return wqm_map != nullptr;
  }
  void AddEntries(const ExtensionBinItem& item) {
    if (const std::optional<std::uint16_t> number = Number(item))
      Associate(*wqm_map, *number, Make<GSelectionString>(Text(item.job_language_name), *number));
  }
  void RemoveEntries(const ExtensionBinItem& item) {
    if (const std::optional<std::uint16_t> number = Number(item)) Dissociate(*wqm_map, *number);
  }
  void StoreMaps(GDriverDataImp* owner) const {
    if (wqm_map) StoreNamed(owner, kWQMBinMapName, wqm_map.get());
  }

  std::uint16_t result = kExtFailed;
  std::vector<MapDevice<ExtensionBinItem>> devices;
  std::unique_ptr<MAssociationList> wqm_map;
};

// One ApplyMaps or RemoveMaps.
class MapChange {
 public:
  // Calls the map functions that `flags` announce; when either answers 0
  // and the printer object is there, loads the bin pool (or its default).
  MapChange(GExtensionManager& manager, const ExtensionDriverTable& table, std::uint32_t flags)
      : owner_(manager.GetOwner()), flags_(flags) {
    GPeripheral* printer = owner_ ? owner_->FindPrinterObject() : nullptr;
    const std::uint16_t language = manager.LanguageCode();
    if (flags & kExtHasTrayMap)
      trays_.result = CallMap(table.get_tray_map, language, trays_.devices);
    if (flags & kExtHasBinMap) bins_.result = CallMap(table.get_bin_map, language, bins_.devices);
    if ((trays_.result != kExtOk && bins_.result != kExtOk) || !printer) return;
    pool_ = LoadOrCopy<GAttributeComposite>(
        owner_, kBinPoolName,
        FindComposite(FindComposite(owner_->GetJobSettings(), kPrinterModelKey),
                      kPaperHandlingKey));
    options_ = FindComposite(owner_->GetDefaultSettings(), kInstalledOptionsKey);
  }

  // With a pool: adds (removes) the devices and entries of the trays, then
  // of the bins, and stores what was loaded. The result by the flags.
  std::uint16_t Add() {
    if (pool_) {
      Add(trays_);
      Add(bins_);
      Store();
    }
    return Result();
  }
  std::uint16_t Remove() {
    if (pool_) {
      Remove(trays_);
      Remove(bins_);
      Store();
    }
    return Result();
  }

 private:
  // A side's maps, or its result kMapsMissing.
  template <class Side>
  bool LoadMaps(Side& side) {
    if (side.LoadMaps(owner_)) return true;
    side.result = Side::kMapsMissing;
    return false;
  }
  template <class Side>
  void Add(Side& side) {
    if (side.devices.empty()) return;
    for (const auto& device : side.devices)
      pool_->AddChild(BuildDevice(device, Side::kDeviceKind).release());
    if (!LoadMaps(side)) return;
    ForEachItem(side.devices, [&side](const auto& item) { side.AddEntries(item); });
    NameDevice(options_, Side::kNameKey, side.devices.front().name);
  }
  template <class Side>
  void Remove(Side& side) {
    if (side.devices.empty()) return;
    RemoveDevices(*pool_, side.devices, Side::kDeviceKind);
    if (!LoadMaps(side)) return;
    ForEachItem(side.devices, [&side](const auto& item) { side.RemoveEntries(item); });
    UnnameDevice(options_, Side::kNameKey, side.devices.front().name);
  }
  void Store() const {
    StoreNamed(owner_, kBinPoolName, pool_.get());
    trays_.StoreMaps(owner_);
    bins_.StoreMaps(owner_);
  }
  // Both maps announced: the tray result unless 0, else the bin result;
  // one: its result; none: 0.
  std::uint16_t Result() const {
    const bool trays = flags_ & kExtHasTrayMap;
    const bool bins = flags_ & kExtHasBinMap;
    if (trays && bins) return trays_.result != kExtOk ? trays_.result : bins_.result;
    if (trays) return trays_.result;
    return bins ? bins_.result : kExtOk;
  }

  GDriverDataImp* owner_;
  std::uint32_t flags_;
  TraySide trays_;
  BinSide bins_;
  std::unique_ptr<GAttributeComposite> pool_;
  GAttributeComposite* options_ = nullptr;
};

}  // namespace

std::uint16_t GExtensionManager::ApplyMaps(const ExtensionDriverTable& table, std::uint32_t flags) {
  return MapChange(*this, table, flags).Add();
}

std::uint16_t GExtensionManager::RemoveMaps(const ExtensionDriverTable& table,
                                            std::uint32_t flags) {
  return MapChange(*this, table, flags).Remove();
}
