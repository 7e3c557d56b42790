#include "support/fixture_printer.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "driver/driver_data_imp.h"
#include "driver/model_lookup.h"
#include "foundation/rw/rwstore.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "output/core/peripheral_composite.h"
#include "persist/child_iterator.h"
#include "persist/configuration.h"
#include "persist/persistent_association.h"
#include "persist/persistent_composite.h"
#include "persist/persistent_stream.h"
#include "persist/resource_mapping.h"
#include "platform/host/files.h"
#include "platform/host/modules.h"
#include "platform/host/registry.h"
#include "platform/host/spooler.h"
#include "support/fixture_settings.h"

namespace support {
namespace {

// The builders, short.
constexpr auto V = &Value;
constexpr auto T = &Text;
constexpr auto G = &Group;

GRangeAttribute* R(std::uint32_t key, std::int16_t low, std::int16_t high, std::int16_t value) {
  return new GRangeAttribute(low, high, 1, value, key);
}

// A medium at 600 by 600 dots per inch, orientation 0.
GMedia* Medium(const char* name, std::uint16_t id, GSize16 paper, GSize16 printable, GSize16 origin,
               std::uint32_t key = kModelMediumKey) {
  return new GMedia(name, paper, printable, origin, 0, id, 600, 600, key, 0, "", "");
}

// Appends `children` to the direct child of `in` keyed `key` (to `in`
// itself for key 0).
void Grow(GAttributeComposite* in, std::uint32_t key, std::initializer_list<GAttribute*> children) {
  auto* target = key ? dynamic_cast<GAttributeComposite*>(FindDirectChild(in, key)) : in;
  for (GAttribute* child : children)
    target->AddChild(child);
}

// The parts a quick set keeps: its name, watermark, target, paper, tray,
// duplex and copies.
GAttributeComposite* Quickset(std::uint32_t key) {
  return G(key, {T(kQuicksetNameKey, ""),
                 G(kWatermarkSettingKey, {T(kSelectedWatermarkKey, ""), V(kWatermarkNumberKey, 0)}),
                 G(kPrintingTargetKey, {V(kPresetRetChoiceKey, 0), V(kPresetTrueTypeAsBitmapKey, 0),
                                        V(kPresetTextAsBlackKey, 0)}),
                 V(kPaperSizeKey, 1), V(kPaperSourceKey, 19), V(kDuplexKey, 0), V(kCopiesKey, 1)});
}

GAttributeComposite* PlaceholderList(std::uint32_t key) {
  return G(key, {G(0, {V(kExtensionIndexKey, 100)})});
}

GResourceMappingList* Mappings(std::uint32_t key,
                               std::initializer_list<std::pair<std::uint16_t, std::int16_t>> pairs,
                               std::uint32_t first_string) {
  auto* list = new GResourceMappingList(key);
  std::uint32_t string = first_string;
  for (const auto& [system, second] : pairs)
    list->AddMapping(new GResourceMapping(string++, system, second, 0));
  return list;
}

// The gray tables of the render data (970): weights, addend and shift.
GAttributeComposite* RenderSettings() {
  return G(kGrayTablesKey,
           {G(kFirstGrayTableKey, {V(0, 77), V(0, 150), V(0, 29), V(0, 128), V(0, 8)}),
            G(kSecondGrayTableKey, {V(0, 1), V(0, 1), V(0, 1), V(0, 0), V(0, 2)})});
}

}  // namespace

GMediaPool* BuildFixtureMediaList() {
  auto* pool = new GMediaPool(kMediaListKey);
  pool->AddChild(Medium("Letter", 1, {5100, 6600}, {4900, 6400}, {150, 100}));
  pool->AddChild(Medium("Legal", 5, {5100, 8400}, {4900, 8200}, {100, 100}));
  pool->AddChild(Medium("A4", 23, {4960, 7016}, {4760, 6816}, {100, 100}));
  pool->AddChild(Medium("Tabloid", 3, {6600, 10200}, {6400, 10000}, {100, 100}));
  pool->AddChild(Medium("Small Card", 50, {1200, 1800}, {1000, 1600}, {100, 100}));
  pool->AddChild(
      Medium("Largest Custom", kLargestCustomSizeId, {5100, 8400}, {4900, 8200}, {100, 100}));
  pool->AddChild(
      Medium("Smallest Custom", kSmallestCustomSizeId, {1800, 3000}, {1600, 2800}, {100, 100}));
  pool->AddChild(
      Medium("Upper Limit", kUpperSizeLimitId, {7200, 10800}, {7000, 10600}, {100, 100}));
  pool->AddChild(Medium("Lower Limit", kLowerSizeLimitId, {1200, 1800}, {1000, 1600}, {100, 100}));
  return pool;
}

GResourceMappingList* BuildFixturePaperSizeMapping() {
  return Mappings(kPaperSizeMappingKey, {{1, 1}, {5, 5}, {9, 23}, {3, 3}}, 10101);
}

GResourceMappingList* BuildFixtureTrayMap() {
  return Mappings(kOSTrayMapKey, {{257, 1}, {258, 2}, {259, 3}, {260, 4}}, 10551);
}

GResourceMappingList* BuildFixtureResourceMappings() {
  return Mappings(kResourceMappingsKey, {{15, 15}}, 10615);
}

GAttributeComposite* BuildFixtureDefaults() {
  // The acceptance test's settings model (362, 364, 365, 366, 328), grown.
  GAttributeComposite* defaults = Model();
  defaults->SetKey(kDefaultSettingsKey);
  Grow(defaults, kDocumentSettingsKey,
       {V(kOrientationKey, 0), V(kCustomWidthKey, 2159), V(kCustomHeightKey, 2794),
        V(kScalePercentKey, 100)});
  // The first watermark's text and point size (the second has neither).
  auto* locks = dynamic_cast<GAttributeComposite*>(FindDirectChild(defaults, kKeyLocksKey));
  auto* marks = dynamic_cast<GAttributeComposite*>(FindDirectChild(locks, kWatermarkListKey));
  std::unique_ptr<MChildIterator> first(marks->NewChildIterator());
  if (first->Next())
    Grow(static_cast<GAttributeComposite*>(first->Current()), 0,
         {T(kWatermarkTextKey, "Confidential"), V(kWatermarkPointSizeKey, 72)});
  Grow(defaults, 0,
       {G(kNupSettingsKey,
          {V(kPagesPerSheetKey, 0), V(kNupBordersKey, 0), V(kNupPageOrderKey, 0)})});
  Grow(defaults, kInstalledOptionsKey,
       {V(kScannerChoiceKey, 0), V(kCollationUnitKey, 0), V(kPrinterHardDiskKey, 0),
        V(kEnvelopeFeederKey, 0), V(kIgnoreCollationKey, 0), V(kJobRetentionKey, 0),
        V(kBinsWithResourcesKey, 0), V(kAccessoryPartKey, 0), V(kSourcePartKey, 0),
        V(kJobRetentionAvailableKey, 0), V(kModelOptionKey, 0),
        new GFormToTrayDatabase(kFormToTrayKey)});
  // Job storage (off), its names and its attributes; the colour choice.
  Grow(defaults, kDocumentSettingsKey,
       {V(kJobRetentionModeKey, 0), V(kJobNameFromRendererKey, 0), T(kJobNameKey, ""),
        V(kJobNameSuffixKey, 0), V(kNoticeLoggedOnUserKey, 0), T(kNoticeUserKey, ""),
        V(kLocalJobStorageKey, 1)});
  for (std::uint32_t key : kJobStorageKeys) {  // one of them a text
    GAttribute* attribute =
        key == kJobStorageKeys[5] ? static_cast<GAttribute*>(T(key, "")) : V(key, 0);
    Grow(defaults, kDocumentSettingsKey, {attribute});
  }
  Grow(defaults, kColorMediaSettingsKey, {V(kColorPossibleKey, 1)});
  Grow(defaults, kKeyLocksKey, {V(kStoredEncodingKey, 0)});
  auto* custom = new GCustomMediaSize(16385, RWCString("Custom A"), kHundredthInch, 400, 600, 0);
  Grow(defaults, 0,
       {G(kCustomSizesKey, {custom}),
        G(kUserMediaTypesKey,
          {T(0, "Envelope Feeder"), T(0, "Manual Envelope"), T(0, "Auto Select")}),
        V(kEmulateMarginsKey, 0), V(kResolutionListSelectorKey, 1),
        G(kExtensionCompositeKey, {PlaceholderList(kExtensionDescriptionsKey)}),
        G(kExtensionSettingsKey, {PlaceholderList(kExtensionSettingsListKey)}),
        G(kUIObjectsKey, {}), G(kQuicksetPoolKey, {Quickset(0), Quickset(kQuicksetTemplateKey)})});
  return defaults;
}

GAttributeComposite* BuildFixtureJobSettings() {
  // The acceptance test's job settings (90, 326, 327, 369, 228, 295), the
  // bin pool moved into the printer model 228, grown.
  auto* job = G(kDeviceSettingsKey, {});
  FillJobSettings(job);
  Grow(job, kPrinterModelKey,
       {static_cast<GAttribute*>(job->RemoveByKey(kPaperHandlingKey)), T(kModelNameKey, ""),
        G(kModelListKey, {T(0, "KV Test"), T(0, "KV Test Pro")}), V(kDeviceUpdateStatusKey, 0),
        V(kMemorySizeKey, 64), R(kPrinterMemoryKey, 0, 1000, 64), V(kDuplexUnitReportedKey, 0),
        V(kDiskCountKey, 0), V(kCollationAvailableKey, 0), V(kJobRetentionAvailableKey, 0),
        V(kTray1CapacityKey, 0), V(kScannerKey, 0), V(kPageFrameMemoryKey, 0),
        R(kAccessoryRangeKey, 1, 2, 1), R(kTrayRangeKey, 1, 5, 1), R(kBinRangeKey, 1, 3, 1),
        R(kDiskRangeKey, 1, 2, 1), R(kMediaTypeRangeKey, 1, 8, 1), G(kAccessoryBinNamesKey, {})});
  Grow(job, 0,
       {RenderSettings(), V(kLanguageKey, 0), V(kLanguageLevelKey, 0), T(kLanguageNameKey, ""),
        G(kDuplexPaperSizesKey, {V(0, 1), V(0, 23)})});
  auto* alternatives = new GMediaPool(kAlternativeMediaListKey);
  alternatives->AddChild(Medium("Letter", 1, {5100, 6600}, {4800, 6400}, {150, 100}));
  Grow(job, 0,
       {BuildFixtureMediaList(), alternatives,
        G(kResolutionListKey, {G(0, {V(kXResolutionKey, 600), V(kYResolutionKey, 600)}),
                               G(0, {V(kXResolutionKey, 1200), V(kYResolutionKey, 1200)})}),
        G(kAlternateResolutionListKey, {G(0, {V(kXResolutionKey, 600), V(kYResolutionKey, 600)}),
                                        G(0, {V(kXResolutionKey, 300), V(kYResolutionKey, 300)})}),
        Quickset(kQuicksetTemplateKey), T(kSupportFileKey, "KVQCF.DLL"),
        T(kCompanionFileKey, "KVTEST.HLP"), T(kJobFontFileKey, ""), V(kEastAsianKey, 0),
        V(kExtensionSupportKey, 1), G(kTrayOrderKey, {V(0, 4), V(0, 1), V(0, 2), V(0, 7), V(0, 3)}),
        T(kRefusedMediaNamesKey, "Courier PS"), V(kSeriesSwitchKey, 1), V(kPaperCheckKey, 0),
        R(kCopiesRangeKey, 1, 999, 1), R(kDuplexRangeKey, 0, 2, 0),
        G(kAllowedAnglesKey, {V(0, 0), V(0, 90), V(0, 180), V(0, 270)}), BuildFixtureDefaults()});
  return job;
}

GPeripheralComposite* BuildFixtureConfiguration() {
  auto* working = G(0, {G(kDocumentAttributesKey,
                          {Medium("Letter", 1, {5100, 6600}, {4900, 6400}, {150, 100}, kMediumKey),
                           V(kPaperSizeKey, 1), V(kTargetPaperSizeKey, 1)}),
                        G(kPageAttributesKey, {V(kOrientationKey, 0)})});
  auto* printer_object = new GPeripheralComposite(
      RWCString("KV Test"), working, BuildFixtureJobSettings(), kPrinterObjectKey, 0, 0, 0);
  // Device 101's settings are a configuration, which holds its PDL tray map
  // beside attributes.
  auto* pdl_trays = new MAssociationList(kPdlTrayMapKey);
  pdl_trays->AddChild(new MPersistentAssociation(V(0, 1), V(0, 4)));
  auto* device = new GConfiguration(kDeviceSettingsKey);
  device->AddChild(V(kFontModuleKey, 0));
  device->AddChild(pdl_trays);
  printer_object->AddChild(
      new GZdl5e(RWCString("Device"), nullptr, device, kPrinterLanguageDeviceKey, 0, 0, 0));
  printer_object->AddChild(new GPeripheralComposite(RWCString("Job Language"), nullptr,
                                                    G(kDeviceSettingsKey, {}),
                                                    kJobLanguageDeviceKey, 0, 0, 0));
  auto* configuration = new GPeripheralComposite(RWCString("Configuration"), nullptr,
                                                 G(kDeviceSettingsKey, {V(kColorDeviceKey, 1)}),
                                                 kDriverConfigurationKey, 0, 0, 0);
  configuration->AddChild(printer_object);
  return configuration;
}

MPersistentComposite* BuildFixtureDataFile() {
  auto* root = new MPersistentComposite(1);
  root->AddChild(BuildFixtureConfiguration());
  root->AddChild(BuildFixturePaperSizeMapping());
  root->AddChild(BuildFixtureTrayMap());
  root->AddChild(BuildFixtureResourceMappings());
  return root;
}

bool SaveDriverDataFile(const MPersistentObject& root, const std::string& host_path,
                        int* system_error) {
  if (system_error) *system_error = 0;
  GPersistentOutputStream stream(RWWString::FromMultiByte(host_path.c_str()),
                                 GOSFactory::kBinaryEncoding);
  bool good = stream.VirtualStream() && stream.VirtualStream()->Good();
  if (good) {
    WriteCollectablePointerToStream(*stream.VirtualStream(), &root);
    stream.VirtualStream()->Flush();
    good = stream.VirtualStream()->Good();
  }
  if (!good && system_error) *system_error = stream.SystemError();
  return good;
}

bool InstallFixturePrinter(const std::string& host_folder, const MPersistentObject* root,
                           int* system_error) {
  if (system_error) *system_error = 0;
  if (!platform::MapPathPrefix(kFixtureDirectory, host_folder)) return false;
  platform::SetHostProgramPath(kFixtureHostProgram);
  const std::string path = host_folder + "/" + kFixtureDataFileName;
  if (root) {
    if (!SaveDriverDataFile(*root, path, system_error)) return false;
  } else {
    std::unique_ptr<MPersistentComposite> made(BuildFixtureDataFile());
    if (!SaveDriverDataFile(*made, path, system_error)) return false;
  }
  return platform::AddPrinter(kFixturePrinter) &&
         platform::SetPrinterDriver(kFixturePrinter, kFixtureDriver, kFixturePort,
                                    kFixtureDataFile);
}

bool SetMachineText(const char16_t* path, const char16_t* name, const std::u16string& text) {
  platform::HKEY key = nullptr;
  if (platform::RegCreateKeyExW(platform::kHkeyLocalMachine, path, 0, nullptr, 0,
                                platform::kKeyAllAccess, nullptr, &key, nullptr) != 0) {
    return false;
  }
  const bool set = platform::RegSetValueExW(key, name, 0, platform::kRegSz,
                                            reinterpret_cast<const platform::BYTE*>(text.c_str()),
                                            platform::DWORD((text.size() + 1) * 2)) == 0;
  platform::RegCloseKey(key);
  return set;
}

}  // namespace support
