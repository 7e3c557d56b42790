// GDriverContextBase: the default build, printer-data values, the
// application flags and their gate, the user's device-mode record, and the
// user's registry places of local watermarks and local job storage.
#include <algorithm>
#include <atomic>
#include <memory>
#include <new>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_context_base.h"
#include "driver/library_entry.h"
#include "driver/model_lookup.h"
#include "driver/stored_state.h"
#include "foundation/rw/support.h"
#include "output/core/peripheral.h"
#include "persist/persistent_association.h"
#include "persist/string_conversion.h"
#include "platform/host/registry.h"
#include "platform/host/system.h"
#include "services/os_factory.h"

namespace {

// Printer data and registry names.
constexpr char16_t kBaseName[] = u"Base";
constexpr char16_t kNone[] = u"<none>";
constexpr char16_t kPrinterUUIDName[] = u"PrinterUUID";
constexpr char kKestrovaKey[] = "Software\\Kestrova\\";
constexpr char kWatermarkPoolPath[] = "\\LocalWatermarkPoolData\\LocalWatermarkPool";
constexpr char16_t kJobStoragePath[] = u"\\LocalJobStorageData";
constexpr char16_t kJobStorageName[] = u"LocalJobStorage";
constexpr char16_t kAppFlagKey[] = u"SOFTWARE\\Kestrova\\KV FA Drivers";
constexpr char16_t kAppFlagName[] = u"EnableDevmodeAppflag";
constexpr char16_t kUserDevModesKey[] = u"Printers\\DevModes2";
constexpr char16_t kSeriesWord[] = u"series";
constexpr char16_t kLanguageWord[] = u"zdl";

// Offsets of dmSize and dmDriverExtra in the public part of a record.
constexpr std::size_t kDmSizeOffset = 68;
constexpr std::size_t kDmDriverExtraOffset = 70;

// ReadRegistryDword's answer for a value of another type or size.
constexpr std::int32_t kNotADword = 13;

// The OEM code pages of East-Asian systems.
constexpr platform::UINT kEastAsianCodePages[] = {932, 936, 949, 950, 1361};

std::atomic<std::uint32_t> g_local_watermarks{0};

RWWString PrinterDataString(GDriverData* printer, const char16_t* name, const char16_t* fallback) {
  GOSFactory* services = GOSFactory::Instance();
  return services ? services->GetPrinterDataString(printer, RWWString(name), RWWString(fallback))
                  : RWWString(fallback);
}

// Calls `visit(child)` for each direct child of `list` (null: none).
template <class Visit>
void ForEachChild(GAttributeComposite* list, Visit visit) {
  if (!list) return;
  const GCountedPtrVector& children = list->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    if (MPersistentObject* child = children[i].Get()) visit(*child);
  }
}

// The watermark entry's scope, 0 without one.
std::int32_t ScopeOf(MPersistentObject& entry) {
  return SignedValueOr(&entry, kWatermarkScopeKey, 0);
}

}  // namespace

void GDriverContextBase::InitAppFlags() {
  ApplyAppFlags(ApplicationFlags());
}

void GDriverContextBase::ApplyAppFlags(std::uint32_t library_flags) {
  if ((library_flags & kPublicDevModeFlags) != 0 && IsDevModeAppFlagEnabled() == 0)
    library_flags &= ~kPublicDevModeFlags;
  SetAppFlags(library_flags);
}

std::int32_t GDriverContextBase::ReadRegistryDword(platform::HKEY root, const RWWString& subkey,
                                                   const RWWString& name, platform::DWORD& value) {
  platform::BYTE bytes[4] = {};
  platform::DWORD type = 0;
  platform::DWORD size = sizeof bytes;
  std::int32_t status =
      GStoredState::QueryValue(root, subkey.Data(), name.Data(), &type, bytes, &size);
  if (status == platform::kErrorMoreData ||
      (status == 0 && (type != platform::kRegDword || size != sizeof bytes))) {
    return kNotADword;
  }
  if (status != 0) return status;
  value = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<platform::DWORD>(bytes[3]) << 24;
  return 0;
}

int GDriverContextBase::IsDevModeAppFlagEnabled() {
  platform::DWORD value = 0;
  const RWWString key(kAppFlagKey), name(kAppFlagName);
  if (ReadRegistryDword(platform::kHkeyCurrentUser, key, name, value) != 0 &&
      ReadRegistryDword(platform::kHkeyLocalMachine, key, name, value) != 0) {
    return 1;
  }
  return value != 0 ? 1 : 0;
}

std::uint32_t GDriverContextBase::GetDevModeSizeForUser(int truncate) {
  if ((GetAppFlags() & kPublicDevModeFlags) == 0) return kFullDevModeSize;
  if (!truncate) return kPublicDevModeSize;
  platform::BYTE record[kFullDevModeSize];
  platform::DWORD type = 0;
  platform::DWORD size = sizeof record;
  const char16_t* name = GetPrinterName().Data();
  if (GStoredState::QueryValue(platform::kHkeyCurrentUser, kUserDevModesKey, name, &type, record,
                               &size) == 0 &&
      type == platform::kRegBinary && size > kPublicDevModeSize) {
    record[kDmSizeOffset] = static_cast<platform::BYTE>(kPublicDevModeSize);
    record[kDmSizeOffset + 1] = static_cast<platform::BYTE>(kPublicDevModeSize >> 8);
    record[kDmDriverExtraOffset] = 0;
    record[kDmDriverExtraOffset + 1] = 0;
    GStoredState::SetValue(platform::kHkeyCurrentUser, kUserDevModesKey, name, platform::kRegBinary,
                           record, kPublicDevModeSize, false);
  }
  return kPublicDevModeSize;
}

GAttributeComposite* GDriverContextBase::BuildDefaultSettings() {
  GAttributeComposite* job = GetJobSettings();
  MPersistentObject* defaults = FindDirectChild(job, kDefaultSettingsKey);
  std::unique_ptr<MPersistentObject> copy(defaults ? defaults->DeepCopy() : nullptr);
  std::unique_ptr<GAttributeComposite> settings(dynamic_cast<GAttributeComposite*>(copy.get()));
  if (!settings) return nullptr;
  copy.release();
  settings->SetKey(kBuiltSettingsKey);

  GPeripheral* printer_object = FindPrinterObject();
  GAttributeComposite* working = printer_object ? printer_object->GetWorkingAttributes() : nullptr;
  if (auto* document = FindComposite(working, kDocumentAttributesKey)) {
    std::unique_ptr<MPersistentObject> part(document->DeepCopy());
    if (auto* set = dynamic_cast<GAttributeComposite*>(part.get())) {
      const auto paper_id = static_cast<std::uint16_t>(GetDefaultPaperId());
      delete TakeDirectChild(*set, kMediumKey);
      set->AddChild(new (kRWNoThrow) GValueAttribute(paper_id, kPaperSizeKey));
      if (GValueAttribute* second = FindValueAttribute(set, kTargetPaperSizeKey))
        second->SetValue(paper_id);
      set->SetKey(kDocumentSettingsKey);
      settings->AddChild(part.release());
    }
  }
  if (auto* page = FindComposite(working, kPageAttributesKey)) {
    if (MPersistentObject* part = page->DeepCopy()) {
      part->SetKey(kPageSettingsKey);
      settings->AddChild(part);
    }
  }

  const RWWString base = PrinterDataString(this, kBaseName, kNone);
  if (!(base == kNone)) {
    ApplySeries(base, settings.get());
  } else if (SignedValueOr(job, kSeriesSwitchKey, 0) == 1) {
    const RWWString& driver = GetDriverName();
    RWSize at = driver.Find(RWWString(kSeriesWord), 0, RWCase::ignore);
    if (at == RW_NPOS) at = driver.Find(RWWString(kLanguageWord), 0, RWCase::ignore);
    // A word at the very start leaves no model name before it: nothing to
    // apply (its length would be -1).
    if (at != RW_NPOS && at > 0) ApplySeries(driver(0, at - 1), settings.get());
  }
  ApplyPrinterDataValues(settings.get());
  RefreshCustomSizes(settings.get());
  return settings.release();
}

void GDriverContextBase::ApplyPrinterDataValues(GAttributeComposite* settings) {
  GOSFactory* services = GOSFactory::Instance();
  GAttributeComposite* job = GetJobSettings();
  auto* options =
      dynamic_cast<GAttributeComposite*>(FindDirectChild(settings, kInstalledOptionsKey));
  if (!services || !job || !options) return;
  if (MAssociationList* list = FindJobList(this, kPrinterDataValuesKey)) {
    std::unique_ptr<MChildIterator> walk(list->NewChildIterator());
    while (walk && walk->Next()) {
      auto* association = dynamic_cast<MPersistentAssociation*>(walk->Current());
      auto* key = association ? dynamic_cast<GValueAttribute*>(association->Key()) : nullptr;
      auto* value_name =
          association ? dynamic_cast<GStringAttribute*>(association->Value()) : nullptr;
      if (!key || !value_name) continue;
      RWWString name;
      NarrowToWide(value_name->GetValue(), name);
      MPersistentObject* target = options->FindByKey(key->GetValue());
      if (auto* value = dynamic_cast<GValueAttribute*>(target)) {
        const std::uint32_t read = services->GetPrinterDataDword(this, name, 0xFFFFFFFF);
        if (read != 0xFFFFFFFF) value->SetValue(static_cast<std::uint16_t>(read));
      } else if (auto* text = dynamic_cast<GStringAttribute*>(target)) {
        const RWWString read = services->GetPrinterDataString(this, name, RWWString(kNone));
        RWCString narrow;
        if (!(read == kNone) && WideToNarrow(read, narrow)) text->SetValue(narrow);
      } else if (auto* range = dynamic_cast<GRangeAttribute*>(target)) {
        const auto read =
            static_cast<std::int32_t>(services->GetPrinterDataDword(this, name, 0xFFFFFFFF));
        if (read != -1 && read >= range->GetMinimum() && read <= range->GetMaximum())
          range->SetValue(static_cast<std::int16_t>(read));
      }
    }
  }
  if (GValueAttribute* east_asian = FindValueAttribute(job, kEastAsianKey)) {
    const platform::UINT page = platform::GetOEMCP();
    const bool asian = std::find(std::begin(kEastAsianCodePages), std::end(kEastAsianCodePages),
                                 page) != std::end(kEastAsianCodePages);
    east_asian->SetValue(asian ? 1 : 0);
  }
}

void GDriverContextBase::GetLocalJobStorageKey(RWWString& key) {
  key = RWWString::FromMultiByte(kKestrovaKey);
  key += PrinterDataString(this, kPrinterUUIDName, u"");
  key += kJobStoragePath;
}

int GDriverContextBase::SetLocalJobStorageValue(std::uint32_t value) {
  GOSFactory* services = GOSFactory::Instance();
  RWWString key;
  GetLocalJobStorageKey(key);
  return services ? services->WriteUserDword(key, RWWString(kJobStorageName), value) : 0;
}

RWCString& GDriverContextBase::GetLocalWatermarkPoolName(RWCString& name) {
  // The current user's root, written as the signed number it is.
  const auto root = static_cast<std::int32_t>(
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(platform::kHkeyCurrentUser)));
  RWCString uuid;
  WideToNarrow(PrinterDataString(this, kPrinterUUIDName, u""), uuid);
  name = RWCString("???\\");
  name += std::to_string(root).c_str();
  name += "\\";
  name += kKestrovaKey;
  name += uuid;
  name += kWatermarkPoolPath;
  return name;
}

int GDriverContextBase::StoreLocalWatermarkPool(GAttributeComposite* pool) {
  GOSFactory* services = GOSFactory::Instance();
  RWCString name;
  GetLocalWatermarkPoolName(name);
  return services && pool ? services->StoreNamedObject(this, name, pool) : 0;
}

void GDriverContextBase::MergeLocalWatermarks(GAttributeComposite* list) {
  if (!list) return;
  RWCString name;
  GetLocalWatermarkPoolName(name);
  std::unique_ptr<GAttributeComposite> pool(
      LoadNamedObjectAs<GAttributeComposite>(this, RWWString::FromMultiByte(name)));
  ForEachChild(pool.get(), [&](MPersistentObject& entry) {
    GStringAttribute* entry_name = FindStringAttribute(&entry, kWatermarkNameKey);
    MPersistentObject* same = nullptr;
    ForEachChild(list, [&](MPersistentObject& mine) {
      GStringAttribute* mine_name = FindStringAttribute(&mine, kWatermarkNameKey);
      if (!same && entry_name && mine_name && mine_name->GetValue() == entry_name->GetValue())
        same = &mine;
    });
    if (same) delete list->RemoveChild(same);
    if (GValueAttribute* scope = FindValueAttribute(&entry, kWatermarkScopeKey)) {
      scope->SetValue(kLocalWatermark);
    } else {
      entry.AddChild(new (kRWNoThrow) GValueAttribute(kLocalWatermark, kWatermarkScopeKey));
    }
    list->AddChild(entry.DeepCopy());
  });
}

void GDriverContextBase::CollectLocalWatermarks(GAttributeComposite* part) {
  GAttributeComposite* list = FindComposite(part, kWatermarkListKey);
  // Without a list there is nothing to say about the user's watermarks: an
  // empty pool would erase them.
  if (!list) return;
  GAttributeComposite pool(kWatermarkListKey);
  ForEachChild(list, [&](MPersistentObject& entry) {
    if (ScopeOf(entry) == kLocalWatermark) pool.AddChild(entry.DeepCopy());
  });
  StoreLocalWatermarkPool(&pool);
}

void GDriverContextBase::EnsureWatermarkScope(GAttributeComposite* part) {
  ForEachChild(FindComposite(part, kWatermarkListKey), [](MPersistentObject& entry) {
    if (!entry.FindByKey(kWatermarkScopeKey))
      entry.AddChild(new (kRWNoThrow) GValueAttribute(kSharedWatermark, kWatermarkScopeKey));
  });
}

void GDriverContextBase::SetLocalWatermarkFlag(std::uint32_t flag) {
  g_local_watermarks.store(flag);
}

std::uint32_t GDriverContextBase::GetLocalWatermarkFlag() {
  return g_local_watermarks.load();
}
