// GDriverDataImp: what printer data keeps for the driver data: the fonts
// added from mass storage, the physical settings, the stored objects that
// an upgrade brings to the current form, and the bin and tray maps.
//
// The upgrade. A stored object's round trip through the flat settings
// record, decoded on the current template, tells what the current form
// holds, but it cannot stand for the object: the record does not carry an
// enumeration's choice, a form-to-tray database's link names, state words
// or serial numbers, and the decode keeps only the keys of the template,
// which is built from the data file's defaults. The current form holds
// more than those: the tray the forms page shows and a watermark's scope
// are added on a user's action and are in no defaults, so a key the
// template lacks tells nothing about the object's age. Within a list
// (watermarks, quick sets) the template's members are the defaults' items,
// and the decode fills a member from the first of them. So the upgrade
// takes from the decoded tree only what the template adds (its settings
// that the object lacks, outside lists) and the classes it changed (a key
// it holds in another class, a choice an enumeration no longer offers);
// everything else stays as stored, and an object to which that adds
// nothing is not written at all. A quick-set pool is then rebuilt on the
// quick-set template, which is the form of a quick set.
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/enum_attribute.h"
#include "config/fonts/device_font_list.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/fonts/font_sources.h"
#include "config/fonts/msd_font_file.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "driver/nt_os_factory.h"
#include "flat_settings/flat_settings_codec.h"
#include "foundation/rw/error.h"
#include "foundation/rw/rwstore.h"
#include "foundation/rw/support.h"
#include "interfaces/printer_data_store.h"
#include "persist/find_of_class.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "services/os_factory.h"

namespace {

constexpr char16_t kAddedFontsName[] = u"AddedFonts";

// The physical settings: the configuration states that exempt them from
// the update-type check, and the values and texts compared, in order.
constexpr std::uint16_t kAutoConfigured = 14113;
constexpr std::uint16_t kAdministratorConfigured = 14119;
constexpr std::uint32_t kComparedValues[] = {
    kDriverWorkSpaceKey,   kMemoryKey,           kIgnoreCollationKey, kScannerChoiceKey,
    kDuplexUnitKey,        kManualDuplexKey,     kCollationUnitKey,   kStaplerInstalledKey,
    kPrinterHardDiskKey,   kEnvelopeFeederKey,   kJobRetentionKey,    kScaleFromLargePaperKey,
    kBinsWithResourcesKey, kPostInsertionKitKey, kPunchUnitTypeKey};
constexpr std::uint32_t kComparedTexts[] = {kAccessoryOutputBinsKey, kOptionalPaperSourcesKey};

// The parts of a quick set: its name, and what the default quick set keeps
// of its own.
constexpr std::uint32_t kDefaultQuicksetParts[] = {kQuicksetNameKey, kWatermarkSettingKey,
                                                   kPrintingTargetKey, kPaperSizeKey};

// `quickset`'s name in `result` once: replaced where the template had one,
// else added; false when the copy cannot be had.
bool CarryQuicksetName(GAttributeComposite& quickset, GAttributeComposite& result) {
  MPersistentObject* name = FindDirectChild(&quickset, kQuicksetNameKey);
  if (!name || ReplaceDirectChild(result, name->Key(), *name)) return true;
  if (FindDirectChild(&result, kQuicksetNameKey)) return false;
  MPersistentObject* copy = name->DeepCopy();
  if (!copy) return false;
  result.AddChild(copy);
  return true;
}

// Puts a copy of `part` in place of `result`'s direct child of its key
// and class (a part the template holds in another class is the
// template's); false only when the copy cannot be had.
bool CarryPart(GAttributeComposite& result, MPersistentObject& part) {
  MPersistentObject* own = FindDirectChild(&result, part.Key());
  return !own || own->TypeId() != part.TypeId() || ReplaceDirectChild(result, part.Key(), part);
}

// Whether `child` of `parent` is a list's member (a watermark, a quick
// set): the user's item, for which the template's members (the defaults'
// items) are no form. List members are keyed 0; a quick-set pool's
// default quick set is keyed kQuicksetTemplateKey.
bool IsListMember(const GAttributeComposite& parent, const MPersistentObject& child) {
  return child.Key() == 0 || parent.Key() == kQuicksetPoolKey;
}

// Brings `kept`, a copy of a stored node, to the form of `decoded`, the
// same node after the round trip through the settings record, losing none
// of what the record does not carry; answers whether `kept` changed, and
// sets `failed` when a copy could not be had. Children pair off by key and
// TypeId, in order. A pair of composites is walked in turn, unless it is a
// list member; any other pair keeps the stored child whole (a leaf, a
// form-to-tray database, a list member). A stored child without a partner
// stays, unless the decoded node holds its key only in another class (the
// current form changed it), or it is a choice the decoded enumeration no
// longer offers: then it goes (an enumeration moves its current choice off
// a choice that goes). The decoded children without a partner are what the
// current template adds: copies are appended, except list members.
bool KeepInCurrentForm(GAttributeComposite& kept, GAttributeComposite& decoded, bool& failed) {
  const bool choices = dynamic_cast<GEnumAttribute*>(&kept) != nullptr;
  const GCountedPtrVector& mine = kept.Children();
  const GCountedPtrVector& theirs = decoded.Children();
  std::vector<bool> paired(theirs.Count(), false);
  std::vector<MPersistentObject*> gone;
  bool changed = false;
  for (RWSize i = 0; i < mine.Count(); ++i) {
    MPersistentObject* child = mine[i].Get();
    if (!child) continue;
    RWSize partner = 0;
    bool key_held = false;
    for (; partner < theirs.Count(); ++partner) {
      MPersistentObject* candidate = theirs[partner].Get();
      if (!candidate || candidate->Key() != child->Key()) continue;
      key_held = true;
      if (!paired[partner] && candidate->TypeId() == child->TypeId()) break;
    }
    if (partner < theirs.Count()) {
      paired[partner] = true;
      auto* node = dynamic_cast<GAttributeComposite*>(child);
      auto* form = dynamic_cast<GAttributeComposite*>(theirs[partner].Get());
      if (node && form && !IsListMember(kept, *child))
        changed |= KeepInCurrentForm(*node, *form, failed);
    } else if (choices || key_held) {
      gone.push_back(child);
    }
  }
  for (MPersistentObject* child : gone)
    delete kept.RemoveChild(child);
  changed |= !gone.empty();
  for (RWSize i = 0; i < theirs.Count(); ++i) {
    MPersistentObject* added = theirs[i].Get();
    if (paired[i] || !added || (!choices && IsListMember(kept, *added))) continue;
    MPersistentObject* copy = added->DeepCopy();
    if (!copy) {
      failed = true;
      continue;
    }
    // A state would put a second child of a key and class in the first's
    // place; the record's reader appends it too.
    if (choices) {
      kept.AddChild(copy);
    } else {
      kept.GAttributeComposite::AddChild(copy);
    }
    changed = true;
  }
  return changed;
}

}  // namespace

GDeviceFontListComposite* GDriverDataImp::LoadAddedFonts() {
  return LoadNamedObjectAs<GDeviceFontListComposite>(this, RWWString(kAddedFontsName));
}

int GDriverDataImp::StoreAddedFonts(const GDeviceFontListComposite& fonts) {
  GOSFactory* services = GOSFactory::Instance();
  return services ? services->StoreNamedObject(this, RWWString(kAddedFontsName), &fonts) : 0;
}

GDeviceFontListComposite* GDriverDataImp::SyncAddedFonts() {
  std::unique_ptr<GDeviceFontListComposite> fonts(LoadAddedFonts());
  RefreshMassStorageFontsFlag(this);
  if (!GetMassStorageFontsFlag(this) && (!fonts || fonts->GetCount() == 0)) return fonts.release();

  const bool remote = IsRemotePrinter() != 0;
  bool changed = false;
  auto set_state = [&](std::uint32_t index, std::uint32_t state) {
    if (GetMsdState(this, index) == state) return;
    SetMsdState(this, index, state);
    changed = true;
  };
  auto remove_list = [&](std::uint32_t key) {
    if (remote || !fonts) return;
    if (MPersistentObject* removed = fonts->RemoveByKey(key)) {
      delete removed;
      changed = true;
    }
  };
  for (std::uint32_t index = 0; index < kFontSourceCount; ++index) {
    const std::uint32_t key = kFontSources[index].list_key;
    GMsdFontList faces(index, this);
    std::uint32_t opened_key = 0;
    const bool readable = faces.Open(opened_key) && faces.Load(opened_key);
    const std::uint32_t state = GetMsdState(this, index);
    if (!readable) {
      set_state(index, 0);
      remove_list(key);
    } else if (state >= kMsdStateDisabled || (state == 0 && index >= kFirstModuleSource)) {
      remove_list(key);
    } else {
      set_state(index, kMsdStateEnabled);
      if (!fonts) fonts.reset(new (kRWNoThrow) GDeviceFontListComposite);
      std::unique_ptr<GDeviceFontList> built(faces.BuildDeviceFontList());
      if (!fonts || !built) continue;
      auto* stored = FindOfClass<GDeviceFontList>(fonts.get(), key);
      if (stored && built->GetSourceStamp() <= stored->GetSourceStamp()) continue;
      if (stored) delete fonts->RemoveByKey(key);
      fonts->AddList(built.release());
      changed = true;
    }
  }
  if (changed) {
    SetMassStorageFontsFlag(fonts && fonts->GetCount() != 0 ? 1 : 0, this);
    if (fonts) StoreAddedFonts(*fonts);
  }
  return fonts.release();
}

int GDriverDataImp::IsPhysicalSettingsCurrent(GAttributeComposite* settings) {
  GOSFactory* services = GOSFactory::Instance();
  if (!settings || !services) return 1;
  std::unique_ptr<GAttributeComposite> stored(
      LoadNamedObjectAs<GAttributeComposite>(this, RWWString(kPhysicalSettingsName)));
  if (!stored) return 1;
  int result = 1;
  const RWWString update_type =
      services->GetPrinterDataString(this, RWWString(kLastUpdateTypeName), RWWString(u"FAILED"));
  if (GValueAttribute* state = FindValueAttribute(settings, kConfigStatusKey)) {
    const std::uint16_t value = state->GetValue();
    if (value != kAutoConfigured && value != kAdministratorConfigured &&
        (update_type == u"Admin" || update_type == u"Auto")) {
      result = 0;
    }
  }
  for (std::uint32_t key : kComparedValues) {
    GValueAttribute* mine = FindValueAttribute(settings, key);
    GValueAttribute* kept = FindValueAttribute(stored.get(), key);
    if (mine && kept && mine->GetValue() != kept->GetValue()) return 0;
  }
  for (std::uint32_t key : kComparedTexts) {
    GStringAttribute* mine = FindStringAttribute(settings, key);
    GStringAttribute* kept = FindStringAttribute(stored.get(), key);
    if (mine && kept && !(mine->GetValue() == kept->GetValue())) return 0;
  }
  return result;
}

int GDriverDataImp::UpgradeStoredObject(MPersistentObject* object, const RWWString* name,
                                        std::uint32_t key) {
  GOSFactory* services = GOSFactory::Instance();
  if (!object || !services) return 0;
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  // The record, in a buffer that grows until it holds the whole object: a
  // record cut at the buffer's end would be stored back cut.
  std::unique_ptr<char[]> buffer;
  std::int64_t length = 0;
  for (std::uint32_t capacity = kUpgradeFirstBuffer;; capacity *= 2) {
    if (capacity > kUpgradeMostBuffer) return 0;
    buffer.reset(new (kRWNoThrow) char[capacity]);
    if (!buffer) return 0;
    GPersistentOutputStream out(buffer.get(), capacity, GOSFactory::kBinaryEncoding);
    if (!out.VirtualStream()) return 0;
    int encoded = 0;
    {
      // A full buffer fails the stream: expected here, not the process's.
      RWErrorScope scope;
      GFlatSettingsCodec codec;
      encoded = codec.Encode(object, out.VirtualStream(), &out, kFlatLongNumbers);
      out.VirtualStream()->Flush();
    }
    if (out.VirtualStream()->Good()) {
      // A good stream and no record: a class the record cannot carry.
      if (!encoded) return 0;
      length = out.Tell();
      break;
    }
  }
  if (length <= 0) return 0;
  GPersistentInputStream in(buffer.get(), static_cast<std::size_t>(length),
                            GOSFactory::kBinaryEncoding);
  if (!in.VirtualStream()) return 0;
  GFlatSettingsCodec codec;
  std::unique_ptr<MPersistentObject> decoded(
      codec.Decode(in.VirtualStream(), &in, this, kFlatLongNumbers));
  if (!decoded || decoded->ClassId() != object->ClassId()) return 0;
  // The decoded tree says what the current form holds; the stored object,
  // brought to it, keeps what the record does not carry.
  std::unique_ptr<MPersistentObject> upgraded(object->DeepCopy());
  if (!upgraded) return 0;
  bool changed = false;
  bool failed = false;
  auto* node = dynamic_cast<GAttributeComposite*>(upgraded.get());
  auto* form = dynamic_cast<GAttributeComposite*>(decoded.get());
  if (node && form) changed = KeepInCurrentForm(*node, *form, failed);
  if (upgraded->Key() == kQuicksetPoolKey) {
    std::unique_ptr<GAttributeComposite> rebuilt(new (kRWNoThrow)
                                                     GAttributeComposite(kQuicksetPoolKey));
    if (!node || !rebuilt || !UpgradeQuicksets(*node, *rebuilt)) return 0;
    changed = !rebuilt->IsEqualContent(object);
    upgraded = std::move(rebuilt);
  }
  if (failed || RWShortOfMemorySince(short_of_memory)) return 0;
  // Already in the current form: nothing is written that could fail part
  // way.
  if (!changed) return 1;
  if (name) return services->StoreNamedObject(this, *name, upgraded.get());
  std::unique_ptr<GPrinterDataStore> store(services->NewValueAdapter(this));
  return store ? store->StoreObjectByNumber(key, upgraded.get()) : 0;
}

int GDriverDataImp::UpgradeNamedObject(const RWCString& name) {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return 0;
  const RWWString wide = RWWString::FromMultiByte(name);
  // Read and stored back as one: a value another call stores in between
  // fails this call's commit, and is not undone (stored_state.h).
  std::unique_ptr<RWCollectable> loaded(services->LoadNamedObject(this, wide, 0));
  auto* object = dynamic_cast<MPersistentObject*>(loaded.get());
  return object ? UpgradeStoredObject(object, &wide, 0) : 0;
}

bool GDriverDataImp::IsWholeStoredPart(std::uint32_t key, const MPersistentObject& part) {
  if (part.Key() != key) return false;
  GOSFactory* services = GOSFactory::Instance();
  const RWWString name = RWWString::FromMultiByte(std::to_string(key).c_str());
  std::uint32_t most = 0;
  if (!services || !services->ReadChunkedValue(this, name, nullptr, 0, most) || most == 0)
    return false;
  std::unique_ptr<char[]> bytes(new (kRWNoThrow) char[most]);
  std::uint32_t got = 0;
  if (!bytes || !services->ReadChunkedValue(this, name, bytes.get(), most, got)) return false;
  if (got == 0 || bytes[0] != kRWStreamNewObject) return true;
  std::unique_ptr<GPersistentInputStream> stream(
      services->NewMemoryInputStream(bytes.get(), got, GOSFactory::kBinaryEncoding));
  RWVirtualInputStream* in = stream ? stream->VirtualStream() : nullptr;
  if (!in) return false;
  RWErrorScope scope;
  RWCollectable* object = nullptr;
  ReadCollectablePointerFromStream(*in, object);
  delete object;
  if (scope.Failed() || !in->Good()) return false;
  char extra = 0;
  in->GetChar(extra);
  return in->Eof();
}

int GDriverDataImp::UpgradeObjectByKey(std::uint32_t key) {
  GOSFactory* services = GOSFactory::Instance();
  std::unique_ptr<GPrinterDataStore> store(services ? services->NewValueAdapter(this) : nullptr);
  // As UpgradeNamedObject: the read, its check and the store are of one value.
  RWCollectable* read = nullptr;
  if (!store || !store->LoadObjectByNumber(key, read)) {
    delete read;
    return 0;
  }
  std::unique_ptr<RWCollectable> loaded(read);
  auto* object = dynamic_cast<MPersistentObject*>(read);
  // A damaged part is left as stored, not re-encoded from what it held.
  if (!object || !IsWholeStoredPart(key, *object)) return 0;
  return UpgradeStoredObject(object, nullptr, key);
}

int GDriverDataImp::UpgradeQuicksets(GAttributeComposite& old_pool, GAttributeComposite& new_pool) {
  auto* quickset_template =
      dynamic_cast<GAttributeComposite*>(FindDirectChild(GetJobSettings(), kQuicksetTemplateKey));
  if (!quickset_template) return 0;
  const GCountedPtrVector& quicksets = old_pool.Children();
  for (RWSize i = 0; i < quicksets.Count(); ++i) {
    auto* quickset = dynamic_cast<GAttributeComposite*>(quicksets[i].Get());
    if (!quickset) continue;
    std::unique_ptr<MPersistentObject> copy(quickset_template->DeepCopy());
    auto* result = dynamic_cast<GAttributeComposite*>(copy.get());
    // A quick set rebuilt short of a part would be stored without it.
    if (!result) return 0;
    result->SetKey(0);
    if (quickset->Key() == kQuicksetTemplateKey) {
      // The default quick set keeps only its own name, watermark, target
      // and paper.
      for (std::uint32_t part_key : kDefaultQuicksetParts) {
        if (part_key == kQuicksetNameKey) continue;
        MPersistentObject* part = FindDirectChild(quickset, part_key);
        if (part && !CarryPart(*result, *part)) return 0;
      }
    } else {
      const GCountedPtrVector& parts = quickset->Children();
      for (RWSize p = 0; p < parts.Count(); ++p) {
        MPersistentObject* part = parts[p].Get();
        if (part && part->Key() != kQuicksetNameKey && !CarryPart(*result, *part)) return 0;
      }
    }
    if (!CarryQuicksetName(*quickset, *result)) return 0;
    new_pool.AddChild(copy.release());
  }
  return 1;
}

void GDriverDataImp::WriteBinAndTrayMaps(GAttributeComposite* root) {
  GOSFactory* services = GOSFactory::Instance();
  if (!services) return;
  GAttributeComposite* bins = FindComposite(root, kPaperHandlingKey);
  if (!bins)
    bins = FindComposite(FindComposite(GetJobSettings(), kPrinterModelKey), kPaperHandlingKey);
  if (bins) {
    std::unique_ptr<MPersistentObject> copy(bins->DeepCopy());
    if (copy) services->StoreNamedObject(this, RWWString(kBinPoolName), copy.get());
  }
  if (auto* tray_map = dynamic_cast<GResourceMappingList*>(GetTrayMap()))
    services->StoreNamedObject(this, RWWString(kOSTrayMapName), tray_map);
}
