#include "config/import/configuration_importer.h"

#include <iterator>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/import/setting_converter.h"
#include "config/keys/settings_keys.h"
#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "platform/host/modules.h"
#include "services/driver_data.h"
#include "services/os_factory.h"
#include "services/update_stamp.h"

namespace {

constinit RWLockRecord g_file_lock;

// Keys of the printing post-step and of the job settings.
constexpr std::uint16_t kJobSettingKind2 = 2;

constexpr std::uint16_t kFineResolution = 600;
constexpr std::uint16_t kPlainResolution = 300;
constexpr std::uint16_t kChoiceUnset = 0xFFFF;
constexpr char kPlainMedia[] = "Plain";
constexpr const char* kPhotoMedia[] = {"PhotoGloss", "PremPhotoGloss", "PPLPhotGlos",
                                       "PPLPhotMatte", "ClrFastPhotoGloss"};

// Pairs (source key, target key) of the copy into the printing target.
struct CopyPair {
  std::uint32_t source;
  std::uint32_t target;
};
constexpr CopyPair kFromDocumentSettings[] = {
    {kRetChoiceKey, kPresetRetChoiceKey},
    {kPatternScalingKey, kPresetPatternScalingKey},
    {kEdgeToEdgeKey, kPresetEdgeToEdgeKey},
    {kMetChoiceKey, kPresetMetChoiceKey},
    {kManualDuplexKey, kPresetManualDuplexKey},
    {kQualityDocumentOptionKey, kPresetQualityDocumentOptionKey},
    {kQualityDocumentSecondOptionKey, kPresetQualityDocumentSecondOptionKey},
    {kXResolutionKey, kPresetXResolutionKey},
    {kYResolutionKey, kPresetYResolutionKey},
    {kResolutionModeKey, kPresetResolutionModeKey},
    {kPaperCheckKey, kPresetPaperCheckKey},
};
constexpr CopyPair kFromColorMediaSettings[] = {
    {kRasterizationKey, kPresetRasterizationKey},
    {kTrueTypeAsBitmapKey, kPresetTrueTypeAsBitmapKey},
    {kTextAsBlackKey, kPresetTextAsBlackKey},
    {kFirstHalftoneKey, kPresetFirstHalftoneKey},
    {kSecondHalftoneKey, kPresetSecondHalftoneKey},
    {kThirdHalftoneKey, kPresetThirdHalftoneKey},
    {kQualityColorOptionKey, kPresetQualityColorOptionKey},
    {kQualityColorSecondOptionKey, kPresetQualityColorSecondOptionKey},
};
// The pairs whose difference makes the copy needed.
constexpr CopyPair kCopyTriggers[] = {{kTrueTypeAsBitmapKey, kPresetTrueTypeAsBitmapKey},
                                      {kTextAsBlackKey, kPresetTextAsBlackKey}};

constexpr char16_t kTrue[] = u"TRUE";
constexpr char16_t kFalse[] = u"FALSE";

MPersistentObject* Find(MPersistentObject* in, std::uint32_t key) {
  return in != nullptr ? in->FindByKey(key) : nullptr;
}

bool IsPhotoMedia(const RWCString& name) {
  for (const char* photo : kPhotoMedia) {
    if (name == photo) return true;
  }
  return false;
}

}  // namespace

GConfigurationImporter::GConfigurationImporter(GAttributeComposite* root, GDriverData* driver_data)
    : root_(root),
      store_(RWNew<GQCFLibrary>()),
      driver_data_(driver_data),
      converters_(&DefaultConverterTable()) {
  destination_.Reset(RWNew<GAttributeComposite>(kImportDestinationKey), g_file_lock);
  if (store_ == nullptr || store_->Usable() == 0 || driver_data_ == nullptr) return;
  RWWString helper_path;
  driver_data_->GetHelperLibraryPath(helper_path);
  if (helper_path.IsNull()) return;
  helper_module_ = platform::LoadLibraryW(helper_path.Data());
  if (helper_module_ == nullptr) return;
  auto entry = reinterpret_cast<QCFHelperEntry>(
      platform::GetProcAddress(helper_module_, kQCFHelperExportName));
  store_->SetHelper(entry, this);
}

GConfigurationImporter::~GConfigurationImporter() {
  if (helper_module_ != nullptr) platform::FreeLibrary(helper_module_);
  store_.reset();
  destination_.Reset(nullptr, g_file_lock);
}

GAttributeComposite* GConfigurationImporter::GetDestination() const {
  return static_cast<GAttributeComposite*>(destination_.Get());
}

void GConfigurationImporter::SetConverterTable(const GConverterTable* table) {
  converters_ = table != nullptr ? table : &DefaultConverterTable();
}

GSettingConverter* GConfigurationImporter::CreateConverter(const char16_t* short_name) {
  for (const GConverterEntry& entry : converters_->chain) {
    if (WideStringsEqual(entry.short_name, short_name) == 0) continue;
    if (entry.make == nullptr) return nullptr;
    return entry.make(GConverterArguments{store_.get(), driver_data_, root_, entry.short_name});
  }
  return nullptr;
}

std::uint32_t GConfigurationImporter::ConvertContext(const char16_t* context, Direction direction,
                                                     bool bundles_first, std::uint32_t* changed) {
  GOptionBuffer list(kListUnits);
  if (store_ == nullptr || !list.IsValid() ||
      store_->EnumFeatures(context, list.Data(), list.Units()) != 1) {
    return 0;
  }
  GOptionBuffer token(kTokenUnits);
  if (!token.IsValid()) return 0;

  // The bundles converter stands outside the chain and runs first.
  if (bundles_first) {
    if (converters_->bundles != nullptr) {
      std::unique_ptr<GSettingConverter> bundles(
          converters_->bundles(GConverterArguments{store_.get(), driver_data_, root_, nullptr}));
      if (bundles != nullptr) {
        if (direction == Direction::kExtract) {
          bundles->Extract(root_);
        } else if (bundles->Apply(root_, GetDestination()) == 1) {
          *changed = 1;
        }
      }
    }
  }

  while (store_->EnumListToken(token.Data(), list.Data(), token.Units()) != 0) {
    std::unique_ptr<GSettingConverter> converter(CreateConverter(token.Data()));
    if (converter != nullptr) {
      if (direction == Direction::kExtract) {
        converter->Extract(root_);
      } else if (converter->Apply(root_, GetDestination()) != 0) {
        *changed = 1;
      }
    }
    token.Refill();
  }
  return 1;
}

std::uint32_t GConfigurationImporter::ImportPhysical() {
  if (store_ == nullptr || store_->Usable() == 0) return 0;
  if (ConvertContext(kPhysicalContext, Direction::kApply, true, &physical_changed_) == 0) return 0;
  if (physical_changed_ != 0) {
    if (driver_data_ != nullptr) driver_data_->WriteBinAndTrayMaps(root_);
    if (GOSFactory* services = GOSFactory::Instance()) {
      services->SetPrinterDataString(driver_data_, kLastUpdateTypeValue, kPhysicalUpdateType);
    }
  }
  return 1;
}

std::uint32_t GConfigurationImporter::ImportPrinting() {
  const std::uint32_t short_of_memory = RWOutOfMemoryRaised();
  // No usable test: a library that lacks some entries is still enumerated.
  if (ConvertContext(kPrintingContext, Direction::kApply, false, &printing_changed_) == 0) return 0;
  if (printing_changed_ != 0) {
    RunPrintingPostStep();
    // Kept here, as the import's last step, not when the importer goes: a
    // destructor stores nothing (it may run while a failure unwinds). What
    // memory ran short for is not kept.
    if (!RWShortOfMemorySince(short_of_memory)) SaveQuickset(GetDestination());
  }
  return 1;
}

std::uint32_t GConfigurationImporter::Export(const char16_t* context) {
  if (store_ == nullptr || store_->Usable() == 0 || context == nullptr) return 0;
  return ConvertContext(context, Direction::kExtract,
                        WideStringsEqual(context, kFactoryPhysicalContext) != 0, nullptr);
}

void GConfigurationImporter::RunPrintingPostStep() {
  MPersistentObject* document = Find(root_, kDocumentSettingsKey);
  GValueAttribute* choice = FindValueAttribute(document, kPrintQualityKey);
  MPersistentObject* resolution = Find(document, kResolutionKey);

  if (choice == nullptr) {
    auto* target = FindComposite(root_, kPrintingTargetKey);
    MPersistentObject* color_media = Find(root_, kColorMediaSettingsKey);
    if (target == nullptr || color_media == nullptr) return;
    for (const CopyPair& pair : kCopyTriggers) {
      GValueAttribute* source = FindValueAttribute(color_media, pair.source);
      GValueAttribute* copy = FindValueAttribute(target, pair.target);
      if (source != nullptr && copy != nullptr && source->GetValue() != copy->GetValue()) {
        CopyToPrintingTarget(target);
        return;
      }
    }
    return;
  }

  MPersistentObject* color_media = Find(root_, kColorMediaSettingsKey);
  GStringAttribute* media = FindStringAttribute(color_media, kMediaTypeKey);
  if (media == nullptr) return;
  // Without the resolution and both of its axes nothing is changed; a
  // missing different-first-page flag counts as 0.
  GValueAttribute* x = FindValueAttribute(resolution, kXResolutionKey);
  GValueAttribute* y = FindValueAttribute(resolution, kYResolutionKey);
  if (x == nullptr || y == nullptr) return;
  GValueAttribute* different_first = FindValueAttribute(color_media, kDifferentFirstPageKey);

  const bool plain = media->GetValue() == kPlainMedia;
  std::uint16_t dpi;
  if (different_first != nullptr && different_first->GetValue() == 1) {
    dpi = kFineResolution;
  } else if (choice->GetValue() == 0) {
    dpi = plain ? kPlainResolution : kFineResolution;
  } else if (choice->GetValue() == 1) {
    dpi = kFineResolution;
  } else if (choice->GetValue() == kChoiceUnset) {
    dpi = kPlainResolution;
  } else {
    dpi = plain ? kPlainResolution : kFineResolution;
  }

  GAttributeComposite* destination = GetDestination();
  if (IsPhotoMedia(media->GetValue())) {
    if (GValueAttribute* photo = FindValueAttribute(document, kPhotoMediaKey)) {
      photo->SetValue(1);
      GSettingConverter::RecordCopy(destination, *photo);
    }
  }
  x->SetValue(dpi);
  y->SetValue(dpi);
  GSettingConverter::RecordCopy(destination, *x);
  GSettingConverter::RecordCopy(destination, *y);
}

void GConfigurationImporter::CopyToPrintingTarget(GAttributeComposite* target) {
  MPersistentObject* document = Find(root_, kDocumentSettingsKey);
  MPersistentObject* color_media = Find(root_, kColorMediaSettingsKey);
  GAttributeComposite* destination = GetDestination();
  if (document == nullptr || color_media == nullptr || destination == nullptr) return;
  auto copy_pairs = [&](MPersistentObject* from, std::span<const CopyPair> pairs) {
    for (const CopyPair& pair : pairs) {
      GValueAttribute* source = FindValueAttribute(from, pair.source);
      GValueAttribute* copy = FindValueAttribute(target, pair.target);
      if (source == nullptr || copy == nullptr) continue;
      copy->SetValue(source->GetValue());
      GSettingConverter::RecordCopy(destination, *copy);
    }
  };
  copy_pairs(document, kFromDocumentSettings);
  copy_pairs(color_media, kFromColorMediaSettings);
}

void GConfigurationImporter::SetPrinterName(const RWWString& name) {
  printer_name_ = name;
  RWSize comma = printer_name_.Last(u',');
  if (comma != RW_NPOS) printer_name_.Remove(comma);
  full_name_ = printer_name_;
  short_name_ = printer_name_;
  connection_name_ = printer_name_;
  RWSize backslash = printer_name_.Last(u'\\');
  if (backslash != RW_NPOS) {
    short_name_ = printer_name_(backslash + 1, printer_name_.Length() - backslash - 1);
    for (RWSize i = 0; i < connection_name_.Length(); ++i) {
      if (connection_name_[i] == u'\\') connection_name_.CharAt(i) = u',';
    }
  }
}

bool GConfigurationImporter::ReadsStale(const RWWString& key, bool machine) {
  GOSFactory* services = GOSFactory::Instance();
  RWWString value = machine ? services->ReadMachineString(key, kStaleValue, kFalse)
                            : services->ReadUserString(key, kStaleValue, kFalse);
  return value == kTrue;
}

bool GConfigurationImporter::IsStale() {
  GOSFactory* services = GOSFactory::Instance();
  if (services == nullptr) return true;
  // An empty name would name the parent key, which always exists and is
  // never stale: it matches no key instead.
  auto key_of = [](const char16_t* base, const RWWString& name) {
    RWWString key(base);
    key += u'\\';
    key += name;
    return key;
  };
  switch (import_mode_) {
    case 0:
    case 1: {
      if (!short_name_.IsNull()) {
        RWWString key = key_of(kPrintersKey, short_name_);
        if (services->MachineKeyExists(key) != 0) {
          printer_name_ = short_name_;
          return ReadsStale(key + kPrinterDataKey, true);
        }
      }
      if (!connection_name_.IsNull()) {
        RWWString key = key_of(kPrintersKey, connection_name_);
        if (services->MachineKeyExists(key) != 0) {
          printer_name_ = full_name_;
          return ReadsStale(key + kPrinterDataKey, true);
        }
      }
      return true;
    }
    case 2: {
      if (connection_name_.IsNull()) return true;
      RWWString key = key_of(kConnectionsKey, connection_name_);
      if (services->UserKeyExists(key) == 0) return true;
      printer_name_ = full_name_;
      return ReadsStale(key, false);
    }
    default:
      return false;
  }
}

bool GConfigurationImporter::IsJobSettingKind2() {
  GAttributeComposite* job_settings =
      driver_data_ != nullptr ? driver_data_->GetJobSettings() : nullptr;
  GValueAttribute* kind =
      FindValueAttribute(Find(job_settings, kPrinterModelKey), kDeviceUpdateStatusKey);
  return kind != nullptr && kind->GetValue() == kJobSettingKind2;
}

std::uint32_t GConfigurationImporter::SaveQuickset(GAttributeComposite* composite) {
  if (composite == nullptr) return 1;
  GOSFactory* services = GOSFactory::Instance();
  if (services == nullptr) return 0;
  return services->StoreNamedObject(driver_data_, RWWString(kQuicksetName), composite) != 0 ? 1 : 0;
}

void GConfigurationImporter::WriteLastUpdate(const RWWString& text) {
  if (GOSFactory* services = GOSFactory::Instance()) {
    services->SetPrinterDataString(driver_data_, kLastUpdateValue, text);
  }
}

void GConfigurationImporter::WriteImportStamp(bool result) {
  if (!result) return;
  if (printing_changed_ == 0 && physical_changed_ == 0) {
    WriteLastUpdate(kUpdateError);
    return;
  }
  // No date gives an empty stamp.
  const RWWString stamp = LocalDateStamp();
  WriteLastUpdate(stamp);
}

std::uint32_t GConfigurationImporter::ExportFactoryContexts() {
  if (store_ == nullptr || store_->StartExport(printer_name_.Data(), kContextName, 1) == 0)
    return 0;
  std::uint32_t result = Export(kFactoryPhysicalContext);
  if (result == 1) result = Export(kFactoryPrintingContext);
  store_->EndExport();
  return result;
}
