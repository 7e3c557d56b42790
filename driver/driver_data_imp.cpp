// GDriverDataImp: construction, the cached and mapped values, the paper
// checks, series and extensions. The walks and size queries are in
// driver_data_walks.cpp, what printer data keeps in driver_data_stored.cpp.
#include "driver/driver_data_imp.h"

#include <memory>
#include <new>

#include "config/attributes/attribute_composite.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/media_from_custom_size.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "driver/extension_manager.h"
#include "driver/model_lookup.h"
#include "foundation/rw/support.h"
#include "output/core/peripheral.h"
#include "persist/locale_info.h"
#include "persist/persistent_association.h"
#include "persist/port_handler.h"
#include "persist/resource_mapping.h"
#include "persist/string_conversion.h"
#include "persist/value_source.h"
#include "services/os_factory.h"

namespace {

// The selector value of list kAlternateResolutionListKey.
constexpr std::int32_t kAlternateResolutions = 2;
// The first paper id that is no model medium.
constexpr std::uint16_t kCustomPaperId = 16384;
// CheckPaper's answers.
constexpr int kPaperAvailable = 1;
constexpr int kPaperNotAvailable = 2;

}  // namespace

GDriverDataImp::GDriverDataImp() : extension_manager_(new (kRWNoThrow) GExtensionManager(this)) {}

GDriverDataImp::~GDriverDataImp() {
  delete default_settings_;
  delete symmetric_pool_;
  delete extension_manager_;
}

std::uint32_t GDriverDataImp::UpdateFromDevice(std::uint32_t) {
  // A handler of the second list answers this flag with a value source.
  std::unique_ptr<GNamedValueSource> reader(
      static_cast<GNamedValueSource*>(GPortHandlerRegistry::Instance().OpenPortEx(
          GetPortName(), static_cast<GDriverData*>(this), kPortFlagsOpenExFirst)));
  GAttributeComposite* job_settings = reader ? GetJobSettings() : nullptr;
  if (!job_settings) return kNoDeviceValues;
  const std::uint32_t answer = reader->UpdateConfiguration(job_settings, 1) & 0xFFFF;
  NoteModelChange();
  return answer;
}

void GDriverDataImp::Retarget(const GPrinterKey&) {
  // Another printer may have another value kColorDeviceKey: the old one must
  // not answer for it while the attribute is missing there.
  cache_stale_ = 1;
  cached_value_ = 0;
  delete symmetric_pool_;
  symmetric_pool_ = nullptr;
}

MPersistentObject* GDriverDataImp::ConfigurationSettings() {
  auto* configuration = dynamic_cast<GPeripheral*>(GetConfiguration());
  return configuration ? configuration->GetConfiguration() : nullptr;
}

std::int32_t GDriverDataImp::GetCachedValue() {
  if (cache_stale_) {
    if (GValueAttribute* value = FindValueAttribute(ConfigurationSettings(), kColorDeviceKey))
      cached_value_ = static_cast<std::int16_t>(value->GetValue());
    cache_stale_ = 0;
  }
  return cached_value_;
}

int GDriverDataImp::IsRemotePrinter() {
  return 0;
}

GAttributeComposite* GDriverDataImp::GetResolutionList() {
  const bool alternate =
      SignedValueOr(default_settings_, kResolutionListSelectorKey, 0) == kAlternateResolutions;
  return FindComposite(GetJobSettings(),
                       alternate ? kAlternateResolutionListKey : kResolutionListKey);
}

int GDriverDataImp::IsResolutionSupported(std::uint16_t x, std::uint16_t y) {
  GAttributeComposite* list = GetResolutionList();
  if (!list) return 0;
  const GCountedPtrVector& entries = list->Children();
  for (RWSize i = 0; i < entries.Count(); ++i) {
    MPersistentObject* entry = entries[i].Get();
    GValueAttribute* entry_x = FindValueAttribute(entry, kXResolutionKey);
    GValueAttribute* entry_y = FindValueAttribute(entry, kYResolutionKey);
    if (entry_x && entry_y && entry_x->GetValue() == x && entry_y->GetValue() == y) return 1;
  }
  return 0;
}

int GDriverDataImp::FormIndexToPaperId(std::uint16_t number, std::uint16_t& id) {
  auto* mapping = dynamic_cast<GResourceMappingList*>(GetPaperSizeMapping());
  GResourceMapping* entry = mapping ? mapping->FindBySystemNumber(number) : nullptr;
  if (!entry) return 0;
  id = static_cast<std::uint16_t>(entry->SecondNumber());
  return 1;
}

int GDriverDataImp::PaperIdToFormIndex(std::uint16_t id, std::uint16_t& number) {
  auto* mapping = dynamic_cast<GResourceMappingList*>(GetPaperSizeMapping());
  GResourceMapping* entry =
      mapping ? mapping->FindBySecondNumber(static_cast<std::int16_t>(id)) : nullptr;
  if (!entry) return 0;
  number = entry->SystemNumber();
  return 1;
}

std::uint32_t GDriverDataImp::GetDefaultPaperId() {
  if (default_paper_id_ != 0) return default_paper_id_;
  default_paper_id_ = kLetterPaperId;
  GOSFactory* services = GOSFactory::Instance();
  std::unique_ptr<GLocaleInfo> locale(services ? services->GetLocaleInfo() : nullptr);
  if (locale) {
    const std::uint32_t country = locale->Number(0);  // iCountry
    const bool americas = (country >= 50 && country <= 59) || (country >= 500 && country <= 599);
    if (country > 2 && !americas) default_paper_id_ = kA4PaperId;
  }
  return default_paper_id_;
}

int GDriverDataImp::AddCustomForm(GCustomMediaSize* size, GAttributeComposite* list) {
  if (!size || !list) return 0;
  // The ids the list's custom sizes take, within the range given out.
  bool taken[kLastCustomFormId - kFirstCustomFormId + 1] = {};
  const GCountedPtrVector& entries = list->Children();
  for (RWSize i = 0; i < entries.Count(); ++i) {
    auto* entry = dynamic_cast<GCustomMediaSize*>(entries[i].Get());
    const std::uint16_t id = entry ? entry->GetId() : 0;
    if (id >= kFirstCustomFormId && id <= kLastCustomFormId) taken[id - kFirstCustomFormId] = true;
  }
  std::uint32_t free_id = kFirstCustomFormId;
  while (free_id <= kLastCustomFormId && taken[free_id - kFirstCustomFormId])
    ++free_id;
  if (free_id > kLastCustomFormId) return 0;
  size->SetId(static_cast<std::uint16_t>(free_id));
  PutCustomSize(*list, size);
  return 1;
}

void GDriverDataImp::PutCustomSize(GAttributeComposite& list, GCustomMediaSize* size) {
  // `size` may be an entry already: deleting it as its own namesake would
  // free what the list then holds again.
  bool held = false;
  GCustomMediaSize* same_name = nullptr;
  const GCountedPtrVector& entries = list.Children();
  for (RWSize i = 0; i < entries.Count(); ++i) {
    auto* entry = dynamic_cast<GCustomMediaSize*>(entries[i].Get());
    if (entry == size) held = true;
    if (entry && entry != size && !same_name && entry->GetName() == size->GetName())
      same_name = entry;
  }
  if (same_name) delete list.RemoveChild(same_name);
  if (!held) list.AddChild(size);
}

int GDriverDataImp::DeleteCustomForm(MPersistentObject* object, GAttributeComposite* list,
                                     GAttributeComposite*) {
  MPersistentObject* removed = object && list ? list->RemoveChild(object) : nullptr;
  if (!removed) return 0;
  delete removed;
  return 1;
}

std::int32_t GDriverDataImp::EnumFormsForPrinter(GFormCallback, void*, int, GAttributeComposite*) {
  return 0;
}

std::int32_t GDriverDataImp::EnumAllForms(GFormCallback, void*, int, GAttributeComposite*) {
  return 0;
}

int GDriverDataImp::CheckPaperForSettings(GAttributeComposite* settings, std::uint16_t paper_id) {
  const GSettingsGeometry geometry = ReadSettingsGeometry(settings);
  return CheckPaper(settings, paper_id, geometry.orientation, geometry.x, geometry.y);
}

int GDriverDataImp::CheckPaper(GAttributeComposite*, std::uint16_t paper_id, std::uint32_t,
                               std::uint16_t, std::uint16_t) {
  if (paper_id >= kCustomPaperId) return kPaperNotAvailable;
  MAssociationList* associations = FindJobList(this, kPaperAssociationsKey);
  if (!associations) return kPaperAvailable;
  std::unique_ptr<MChildIterator> walk(associations->NewChildIterator());
  while (walk && walk->Next()) {
    auto* association = dynamic_cast<MPersistentAssociation*>(walk->Current());
    auto* key = association ? dynamic_cast<GValueAttribute*>(association->Key()) : nullptr;
    if (key && key->GetValue() == paper_id) return kPaperAvailable;
  }
  return kPaperNotAvailable;
}

RWWString GDriverDataImp::GetSupportFilePath() {
  RWWString path;
  if (GStringAttribute* file = FindStringAttribute(GetJobSettings(), kSupportFileKey))
    NarrowToWide(file->GetValue(), path);
  return path;
}

int GDriverDataImp::ApplySeries(const RWWString& name, GAttributeComposite* settings) {
  GAttributeComposite* series = FindComposite(GetJobSettings(), kBundlesKey);
  if (!series) return 0;
  const RWWString wanted = ToUpper(name);
  const GCountedPtrVector& entries = series->Children();
  for (RWSize i = 0; i < entries.Count(); ++i) {
    MPersistentObject* entry = entries[i].Get();
    GStringAttribute* entry_name = FindStringAttribute(entry, kBundleNameKey);
    if (!entry_name) continue;
    RWWString wide;
    NarrowToWide(entry_name->GetValue(), wide);
    if (!(ToUpper(wide) == wanted)) continue;
    auto* chosen = FindOfClass<GAttribute>(entry, kBuiltSettingsKey);
    if (chosen && settings) settings->Assign(*chosen);
    return 1;
  }
  return 0;
}

std::uint32_t GDriverDataImp::RegisterExtension(const char* name, std::uint32_t mode) {
  const auto support =
      static_cast<std::uint32_t>(SignedValueOr(GetJobSettings(), kExtensionSupportKey, 0) & 0xFFFF);
  if (!name || *name == '\0') return support;
  if (support == 0) return kExtensionUnsupported;
  // Without a manager (its allocation failed) nothing can be loaded.
  if (!extension_manager_) return 1;
  return mode == 0 ? extension_manager_->Register(name) : extension_manager_->Unregister(name);
}

int GDriverDataImp::EnumBuiltInForms(GFormCallback, void*) {
  return 0;
}

int GDriverDataImp::IsBuiltInForm(const GCustomMediaSize&) {
  return 0;
}

int GDriverDataImp::ContextPaperIdToFormIndex(std::uint16_t, std::uint16_t&) {
  return 0;
}

GPeripheral* GDriverDataImp::FindPrinterObject() {
  auto* configuration = dynamic_cast<MPersistentObject*>(GetConfiguration());
  return FindOfClass<GPeripheral>(configuration, kPrinterObjectKey);
}

GAttributeComposite* GDriverDataImp::GetJobSettings() {
  return JobSettingsIn(GetConfigurationSet());
}

MPersistentObject* GDriverDataImp::GetConfigurationSet() {
  GPeripheral* printer_object = FindPrinterObject();
  return printer_object ? printer_object->GetConfiguration() : nullptr;
}

int GDriverDataImp::GetPaperCodeOfMedia(std::uint16_t media_id, std::uint16_t& paper_code) {
  GMediaPool* media = GetMediaList();
  if (!media) return 0;
  std::unique_ptr<MChildIterator> walk(media->NewChildIterator());
  while (walk && walk->Next()) {
    auto* medium = dynamic_cast<GMedia*>(walk->Current());
    if (medium && medium->GetPaperSizeId() == media_id) {
      paper_code = medium->GetPaperSizeId();
      return 1;
    }
  }
  return 0;
}

int GDriverDataImp::GetMediaIdOfPaperCode(std::uint16_t, std::uint16_t&) {
  return 0;
}

GAttributeComposite* GDriverDataImp::EnsureDefaultSettings() {
  if (!default_settings_) {
    default_settings_ = CreateDefaultSettings();
    NoteModelChange();
  }
  return default_settings_;
}

void GDriverDataImp::SetDefaultSettings(GAttributeComposite* settings) {
  if (settings == default_settings_) return;
  delete default_settings_;
  default_settings_ = settings;
  NoteModelChange();
}

GMediaPool* GDriverDataImp::GetMediaList() {
  return FindOfClass<GMediaPool>(GetJobSettings(), kMediaListKey);
}

GAttributeComposite* GDriverDataImp::GetBinPool() {
  return FindComposite(GetJobSettings(), kPaperHandlingKey);
}

GPeripheral* GDriverDataImp::GetPrinterLanguage() {
  GPeripheral* printer_object = FindPrinterObject();
  return printer_object
             ? dynamic_cast<GPeripheral*>(printer_object->FindKindOf(kGPrinterLanguageId))
             : nullptr;
}

std::int32_t GDriverDataImp::GetEastAsianFlag() {
  return SignedValueOr(GetJobSettings(), kEastAsianKey, 0);
}

int GDriverDataImp::IsNameNotListed(const RWCString& name) {
  // The job settings may refuse several names, each its own attribute.
  const auto listed = [&name](auto& self, GAttributeComposite* in) -> bool {
    for (RWSize i = 0; in && i < in->Children().Count(); ++i) {
      MPersistentObject* child = in->Children()[i].Get();
      auto* text = dynamic_cast<GStringAttribute*>(child);
      if (text && child->Key() == kRefusedMediaNamesKey && text->GetValue() == name) return true;
      if (self(self, dynamic_cast<GAttributeComposite*>(child))) return true;
    }
    return false;
  };
  return listed(listed, GetJobSettings()) ? 0 : 1;
}

GAttributeComposite* GDriverDataImp::CopyMappedValues(GAttributeComposite* source,
                                                      GAttributeComposite* target) {
  // {class id, source attribute, source part, target attribute, target
  // part}, ended by a source attribute of 0.
  struct Row {
    RWClassID class_id;
    std::uint32_t source_key, source_part, target_key, target_part;
  };
  static constexpr Row kRows[] = {
      {kGValueAttributeId, kPagesPerSheetKey, kDocumentSettingsKey, kPagesPerSheetKey,
       kNupSettingsKey},
      {kGValueAttributeId, kNupBordersKey, kDocumentSettingsKey, kNupBordersKey, kNupSettingsKey},
      {kGValueAttributeId, kNupPageOrderKey, kDocumentSettingsKey, kNupPageOrderKey,
       kNupSettingsKey},
      {0, 0, 0, 0, 0},
  };
  for (const Row* row = kRows; row->source_key != 0; ++row) {
    if (row->class_id != kGValueAttributeId) continue;
    GValueAttribute* from =
        FindValueAttribute(FindComposite(source, row->source_part), row->source_key);
    GValueAttribute* to =
        FindValueAttribute(FindComposite(target, row->target_part), row->target_key);
    if (from && to) to->SetValue(from->GetValue());
  }
  return target;
}
