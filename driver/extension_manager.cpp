#include "driver/extension_manager.h"

#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "driver/driver_data_imp.h"
#include "driver/extension_exports.h"
#include "driver/model_lookup.h"
#include "foundation/rw/support.h"
#include "output/core/peripheral.h"
#include "platform/host/modules.h"

// ---- The description record.

std::uint32_t DescriptionFlags(const ExtensionDescription& description) {
  const std::uint8_t* b = description.flags;
  return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 |
         std::uint32_t{b[3]} << 24;
}

void SetDescriptionFlags(ExtensionDescription& description, std::uint32_t flags) {
  for (int i = 0; i < 4; ++i)
    description.flags[i] = static_cast<std::uint8_t>(flags >> (8 * i));
}

RWCString DescriptionText(const ExtensionDescription& description,
                          const ExtensionTextField& field) {
  const char* text = reinterpret_cast<const char*>(&description) + field.offset;
  return RWCString(text, strnlen(text, field.size));
}

void SetDescriptionText(ExtensionDescription& description, const ExtensionTextField& field,
                        const RWCString& text) {
  char* to = reinterpret_cast<char*>(&description) + field.offset;
  const std::size_t length = std::min<std::size_t>(text.Length(), field.size - 1);
  std::memcpy(to, text.Data(), length);
  std::memset(to + length, 0, field.size - length);
}

std::uint16_t CopyOutExtensionSettings(ExtensionDescription* const* descriptions,
                                       const RWCString* settings, std::uint16_t count, char* buffer,
                                       std::uint16_t size, const char* name) {
  RWCString found;
  for (std::uint16_t i = 0; i < count && i < kMaxExtensions; ++i) {
    if (descriptions[i] && name && DescriptionName(*descriptions[i]) == name) found = settings[i];
  }
  if (found.IsNull()) return kExtNoSettings;
  const std::size_t length = found.Length();
  if (buffer) std::memcpy(buffer, found.Data(), std::min<std::size_t>(length, size));
  if (length > size) return kExtBufferShort;
  return length < size ? kExtBufferLong : kExtOk;
}

// ---- Entries of the settings model.

namespace {

std::mutex live_lock;
std::unordered_set<const void*>& LiveManagers() {
  static auto* live = new std::unordered_set<const void*>;
  return *live;
}

GAttributeComposite* EntryAt(GAttributeComposite* list, RWSize i) {
  return dynamic_cast<GAttributeComposite*>(list->Children()[i].Get());
}

std::int32_t EntryIndex(GAttributeComposite* entry) {
  return SignedValueOr(entry, kExtensionIndexKey, -1);
}

// The entry count with the placeholder rule applied.
RWSize EntryCount(GAttributeComposite* list) {
  if (!list) return 0;
  const RWSize count = list->Children().Count();
  if (count == 1 && EntryAt(list, 0) && EntryIndex(EntryAt(list, 0)) == kExtPlaceholderIndex)
    return 0;
  return count;
}

// The direct child `key` of `parent`, made when missing (null when it is
// not a composite or cannot be made).
GAttributeComposite* EnsureComposite(GAttributeComposite* parent, std::uint32_t key) {
  if (!parent) return nullptr;
  if (MPersistentObject* held = FindDirectChild(parent, key))
    return dynamic_cast<GAttributeComposite*>(held);
  auto* made = new (kRWNoThrow) GAttributeComposite(key);
  if (made) parent->AddChild(made);
  return made;
}

// Appends `entry` to list `list_key` of `parent`: a placeholder list is
// replaced by a new list that holds the entry alone.
void AppendEntry(GAttributeComposite* parent, std::uint32_t list_key, GAttributeComposite* entry) {
  GAttributeComposite* list = EnsureComposite(parent, list_key);
  if (!list) {
    delete entry;
    return;
  }
  if (EntryCount(list) == 0 && list->Children().Count() != 0) {
    std::unique_ptr<GAttributeComposite> fresh(new (kRWNoThrow) GAttributeComposite(list_key));
    if (!fresh) {
      delete entry;
      return;
    }
    fresh->AddChild(entry);
    parent->ReplaceChildByKey(list_key, fresh.get());
    return;
  }
  list->AddChild(entry);
}

void AddValue(GAttributeComposite* entry, std::uint32_t key, std::int32_t value) {
  entry->AddChild(new (kRWNoThrow) GValueAttribute(static_cast<std::uint16_t>(value), key));
}

// Removes from `list` every entry of index `index`.
void RemoveIndex(GAttributeComposite* list, std::int32_t index) {
  for (RWSize i = 0; list && i < list->Children().Count();) {
    GAttributeComposite* entry = EntryAt(list, i);
    if (entry && EntryIndex(entry) == index) {
      delete list->RemoveChild(entry);
      continue;
    }
    ++i;
  }
}

// Every entry of `list` with an index above `removed` gets index - 1 (a
// new attribute in place of the old).
void Renumber(GAttributeComposite* list, std::int32_t removed) {
  for (RWSize i = 0; list && i < list->Children().Count(); ++i) {
    GAttributeComposite* entry = EntryAt(list, i);
    const std::int32_t index = entry ? EntryIndex(entry) : -1;
    if (index <= removed) continue;
    GValueAttribute renumbered(static_cast<std::uint16_t>(index - 1), kExtensionIndexKey);
    entry->ReplaceChildByKey(kExtensionIndexKey, &renumbered);
  }
}

RWCString TextOf(GAttributeComposite* entry, std::uint32_t key) {
  GStringAttribute* text = FindStringAttribute(entry, key);
  return text ? text->GetValue() : RWCString();
}

// Whether the entries of `list` that load (index 0 to 3) are whole: each
// index once, each entry as `fits` wants it.
template <class Fits>
bool LoadsWhole(GAttributeComposite* list, Fits fits) {
  bool seen[kMaxExtensions] = {};
  for (RWSize i = 0; i < EntryCount(list); ++i) {
    GAttributeComposite* entry = EntryAt(list, i);
    const std::int32_t index = entry ? EntryIndex(entry) : -1;
    if (index < 0 || index >= kMaxExtensions) continue;
    if (seen[index] || !fits(entry)) return false;
    seen[index] = true;
  }
  return true;
}

// A description entry's texts fit their fields with the NUL that ends them.
bool DescriptionFits(GAttributeComposite* entry) {
  for (const ExtensionTextField& field : kExtensionTextFields) {
    const RWCString text = TextOf(entry, field.key);
    if (text.Length() >= field.size || strnlen(text.Data(), field.size) != text.Length())
      return false;
  }
  return true;
}

// A loaded extension module and its driver table, freed with the object.
struct LoadedExtension {
  explicit LoadedExtension(const char* module_name) {
    std::memset(&table, 0, sizeof table);
    std::memset(&description, 0, sizeof description);
    module = module_name ? platform::LoadLibraryA(module_name) : nullptr;
    auto query = module ? reinterpret_cast<ExtQueryInterfaceFn>(
                              platform::GetProcAddress(module, kExtQueryInterfaceName))
                        : nullptr;
    if (!query) return;
    result = query(kExtDriverTableVersion, &table);
    if (result != kExtOk) std::memset(&table, 0, sizeof table);
  }
  ~LoadedExtension() {
    if (module) platform::FreeLibrary(module);
  }
  // Step 3: describe; whether it ran and answered 0.
  bool Describe(std::uint16_t language) {
    if (!table.describe) return false;
    result = table.describe(&description, language);
    return result == kExtOk;
  }

  platform::HMODULE module = nullptr;
  ExtensionDriverTable table;
  ExtensionDescription description;
  std::uint16_t result = kExtFailed;
};

bool LacksRequiredText(const ExtensionDescription& description, std::uint32_t flags) {
  for (const ExtensionTextField& field : kExtensionTextFields) {
    if (field.offset == kJobModuleOffset && !(flags & kExtHasJobModule)) continue;
    if (DescriptionText(description, field).IsNull()) return true;
  }
  return false;
}

// The settings bytes an extension gives: kExtOk with `bytes`, or its code.
std::uint16_t DefaultSettings(const ExtensionDriverTable& table, RWCString& bytes) {
  const char* data = nullptr;
  std::uint16_t count = 0;
  const std::uint16_t result = table.get_default_settings(&data, &count);
  if (result != kExtOk) return result;
  if (count > kMostExtensionSettings) return kExtSettingsTooLong;
  bytes = data ? RWCString(data, count) : RWCString();
  return kExtOk;
}

}  // namespace

bool IsLiveExtensionManager(const void* handle) {
  std::lock_guard<std::mutex> hold(live_lock);
  return handle && LiveManagers().count(handle) != 0;
}

void ExtensionSet::Clear() {
  for (std::uint16_t i = 0; i < kMaxExtensions; ++i) {
    delete descriptions[i];
    descriptions[i] = nullptr;
    settings[i] = RWCString();
  }
  count = 0;
}

void LoadExtensionEntries(GAttributeComposite* settings, ExtensionSet& into) {
  into.Clear();
  GAttributeComposite* list =
      FindComposite(FindComposite(settings, kExtensionCompositeKey), kExtensionDescriptionsKey);
  GAttributeComposite* values =
      FindComposite(FindComposite(settings, kExtensionSettingsKey), kExtensionSettingsListKey);
  // Lists from a stored record load whole or not at all: a name cut to
  // its field, or one extension's entry hidden behind another's, would
  // hand an extension what is not its own.
  const auto settings_fit = [](GAttributeComposite* entry) {
    return TextOf(entry, kExtensionSettingsBytesKey).Length() <= kMostExtensionSettings;
  };
  if (!LoadsWhole(list, DescriptionFits) || !LoadsWhole(values, settings_fit)) return;
  for (RWSize i = 0; i < EntryCount(list); ++i) {
    GAttributeComposite* entry = EntryAt(list, i);
    const std::int32_t index = entry ? EntryIndex(entry) : -1;
    if (index < 0 || index >= kMaxExtensions) continue;
    auto* description = new (kRWNoThrow) ExtensionDescription();
    if (!description) continue;
    for (const ExtensionTextField& field : kExtensionTextFields)
      SetDescriptionText(*description, field, TextOf(entry, field.key));
    SetDescriptionFlags(*description,
                        static_cast<std::uint32_t>(SignedValueOr(entry, kExtensionFlagsKey, 0)));
    delete into.descriptions[index];
    into.descriptions[index] = description;
    into.count = std::max<std::uint16_t>(into.count, static_cast<std::uint16_t>(index + 1));
  }
  for (RWSize i = 0; i < EntryCount(values); ++i) {
    GAttributeComposite* entry = EntryAt(values, i);
    const std::int32_t index = entry ? EntryIndex(entry) : -1;
    if (index >= 0 && index < kMaxExtensions)
      into.settings[index] = TextOf(entry, kExtensionSettingsBytesKey);
  }
}

// ---- GExtensionManager.

GExtensionManager::GExtensionManager(GDriverDataImp* owner)
    : owner_(owner), query_interface_(&KVDrv_QueryInterface) {
  std::lock_guard<std::mutex> hold(live_lock);
  LiveManagers().insert(this);
}

GExtensionManager::~GExtensionManager() {
  {
    std::lock_guard<std::mutex> hold(live_lock);
    LiveManagers().erase(this);
  }
  owner_ = nullptr;
  job_context_.reset();
}

std::uint16_t GExtensionManager::LanguageCode() {
  GPeripheral* language = owner_ ? owner_->GetPrinterLanguage() : nullptr;
  if (!language) return 0;
  if (language->ClassId() == 767) return kExtLanguageXL;
  return language->ClassId() == 788 ? kExtLanguageZdl5 : 0;
}

ExtensionJobContext* GExtensionManager::EnsureJobContext() {
  if (!job_context_) job_context_.reset(new (kRWNoThrow) ExtensionJobContext(owner_));
  return job_context_.get();
}

void GExtensionManager::LoadJobExtensions(GAttributeComposite* settings) {
  ExtensionJobContext* context = EnsureJobContext();
  if (!context) return;
  context->default_settings = owner_ ? owner_->GetDefaultSettings() : nullptr;
  LoadExtensionEntries(settings ? settings : context->default_settings, context->extensions);
}

std::uint16_t GExtensionManager::Register(const char* module_name) {
  loaded_count_ = 0;
  LoadedExtension extension(module_name);
  std::uint32_t flags = 0;
  if (extension.Describe(LanguageCode())) {
    flags = DescriptionFlags(extension.description);
    if (LacksRequiredText(extension.description, flags)) extension.result = kExtMissingText;
  } else if (!extension.table.describe && extension.result == kExtOk) {
    extension.result = kExtMissingText;  // no describe function: no texts
  }
  std::uint16_t& result = extension.result;
  GAttributeComposite* defaults = owner_ ? owner_->GetDefaultSettings() : nullptr;

  std::int32_t index = -1;
  if (result == kExtOk && LoadSettingsRoot()) {
    GAttributeComposite* root =
        settings_root_ ? settings_root_ : EnsureComposite(defaults, kExtensionCompositeKey);
    settings_root_ = root;
    GAttributeComposite* list = FindComposite(root, kExtensionDescriptionsKey);
    const RWSize count = EntryCount(list);
    const RWCString name = DescriptionName(extension.description);
    for (RWSize i = 0; i < count; ++i) {
      if (EntryAt(list, i) && TextOf(EntryAt(list, i), kExtensionNameKey) == name)
        result = kExtSameName;
    }
    if (count >= kMaxExtensions) result = kExtTooMany;
    if (result == kExtOk && root) {
      index = static_cast<std::int32_t>(count);
      auto* entry = new (kRWNoThrow) GAttributeComposite();
      if (!entry) return kExtFailed;
      for (std::size_t f = 0; f < std::size(kExtensionTextFields); ++f) {
        const ExtensionTextField& field = kExtensionTextFields[f];
        entry->AddChild(new (kRWNoThrow) GStringAttribute(
            DescriptionText(extension.description, field), field.key));
        if (f == 2) AddValue(entry, kExtensionFlagsKey, static_cast<std::int32_t>(flags));
      }
      AddValue(entry, kExtensionIndexKey, index);
      AppendEntry(root, kExtensionDescriptionsKey, entry);
    }
  }

  if (result == kExtOk && extension.table.get_default_settings) {
    RWCString bytes;
    result = DefaultSettings(extension.table, bytes);
    if (result == kExtOk && defaults) {
      GAttributeComposite* part = EnsureComposite(defaults, kExtensionSettingsKey);
      if (index < 0)
        index =
            static_cast<std::int32_t>(EntryCount(FindComposite(part, kExtensionSettingsListKey)));
      if (part && index < kMaxExtensions) {
        auto* entry = new (kRWNoThrow) GAttributeComposite();
        if (!entry) return kExtFailed;
        entry->AddChild(new (kRWNoThrow) GStringAttribute(bytes, kExtensionSettingsBytesKey));
        AddValue(entry, kExtensionIndexKey, index);
        AppendEntry(part, kExtensionSettingsListKey, entry);
      }
    }
  }
  if (result == kExtOk) result = ApplyMaps(extension.table, flags);
  if (result == kExtOk && extension.table.installed) extension.table.installed();
  return result;
}

std::uint16_t GExtensionManager::Unregister(const char* module_name) {
  loaded_count_ = 0;
  LoadedExtension extension(module_name);
  extension.Describe(LanguageCode());
  const std::uint32_t flags = DescriptionFlags(extension.description);
  std::uint16_t& result = extension.result;
  std::int32_t removed = kExtPlaceholderIndex;
  GAttributeComposite* defaults = owner_ ? owner_->GetDefaultSettings() : nullptr;

  if (result == kExtOk && LoadSettingsRoot()) {
    GAttributeComposite* list = FindComposite(settings_root_, kExtensionDescriptionsKey);
    const RWCString identity = DescriptionText(extension.description, kExtensionTextFields[0]);
    const RWCString name = DescriptionName(extension.description);
    // An entry that lost its index is the one at its place in the list.
    GAttributeComposite* match = nullptr;
    for (RWSize i = 0; i < EntryCount(list) && !match; ++i) {
      GAttributeComposite* entry = EntryAt(list, i);
      if (entry && TextOf(entry, kExtensionIdentityKey) == identity &&
          TextOf(entry, kExtensionNameKey) == name) {
        match = entry;
        removed = EntryIndex(entry) >= 0 ? EntryIndex(entry) : static_cast<std::int32_t>(i);
      }
    }
    if (match) {
      delete list->RemoveChild(match);
      Renumber(list, removed);
    } else {
      result = kExtNoSettings;
    }
  }
  if (result == kExtOk && extension.table.get_default_settings) {
    RWCString bytes;
    result = DefaultSettings(extension.table, bytes);
    if (result == kExtOk && defaults) {
      GAttributeComposite* list =
          FindComposite(FindComposite(defaults, kExtensionSettingsKey), kExtensionSettingsListKey);
      RemoveIndex(list, removed);
      Renumber(list, removed);
    }
  }
  if (result == kExtOk) result = RemoveMaps(extension.table, flags);
  if (result == kExtOk && extension.table.removed) extension.table.removed();
  return result;
}

int GExtensionManager::LoadSettingsRoot() {
  GAttributeComposite* defaults = owner_ ? owner_->GetDefaultSettings() : nullptr;
  if (!defaults) return 0;
  settings_root_ = FindComposite(defaults, kExtensionCompositeKey);
  return 1;
}
