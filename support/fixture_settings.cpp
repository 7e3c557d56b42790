#include "support/fixture_settings.h"

#include "config/attributes/attribute_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"

namespace support {

GValueAttribute* Value(std::uint32_t key, std::uint16_t value) {
  return new GValueAttribute(value, key);
}

GStringAttribute* Text(std::uint32_t key, const char* text) {
  return new GStringAttribute(text, key);
}

GAttributeComposite* Group(std::uint32_t key, std::initializer_list<GAttribute*> children) {
  auto* group = new GAttributeComposite(key);
  for (GAttribute* child : children)
    group->AddChild(child);
  return group;
}

GAttributeComposite* Model() {
  auto* document = Group(
      kDocumentSettingsKey,
      {Value(kOutputBinKey, 1), Value(kDuplexKey, 0), Value(kPaperSourceKey, 19),
       Value(kPaperSizeKey, 1), Value(kPagesPerSheetKey, 1), Value(kNupBordersKey, 0),
       Value(kNupPageOrderKey, 0), Value(kFitToOtherSizeKey, 0), Value(kTargetPaperSizeKey, 1),
       Value(kBookletKey, 0), Value(kPageOrderKey, 0), Value(kSymmetricalMarginsKey, 0),
       Value(kAutoDuplexScalingKey, 0), Value(kPrintColorAsGrayOptionsKey, 0),
       Value(kBackCoverKey, 0), Value(kBackCoverSourceKey, 7),
       Text(kBackCoverMediaTypeKey, "Plain"), Value(kRetChoiceKey, 5),
       Group(kResolutionKey, {Value(kXResolutionKey, 600), Value(kYResolutionKey, 600),
                              Value(kResolutionModeKey, 1)})});
  // No watermark chosen: the name and the text empty, 381 = 0 (drawn once
  // a watermark is chosen).
  auto* watermark = Group(
      kWatermarkSettingKey,
      {Value(kTextAsBlackKey, 0), Value(kWatermarkOffKey, 0), Text(kSelectedWatermarkKey, ""),
       Value(kWatermarkNumberKey, 0), Text(kWatermarkTextKey, ""), Value(kWatermarkShadeKey, 224),
       Value(kWatermarkStyleKey, 0), Value(kWatermarkPagesKey, 0), Value(kWatermarkAngleKindKey, 0),
       Value(kWatermarkAngleKey, 0), Text(kWatermarkFaceKey, "Arial"),
       Value(kWatermarkCharSetKey, 0), Value(kWatermarkPointSizeKey, 20),
       Value(kWatermarkWidthKey, 0), Value(kWatermarkKeptKey, 0), Value(kWatermarkSecondKeptKey, 0),
       Value(kWatermarkRedKey, 0), Value(kWatermarkGreenKey, 0), Value(kWatermarkBlueKey, 0)});
  auto* color_media = Group(
      kColorMediaSettingsKey,
      {Text(kMediaTypeKey, "Plain"), Text(kOtherPagesMediaTypeKey, "Plain"),
       Value(kOtherPagesSourceKey, 19), Value(kDifferentFirstPageKey, 0), Value(kCopiesKey, 1),
       Value(kTrueTypeAsBitmapKey, 0), Value(kPrintColorAsGrayKey, 0), Value(kColorModeKey, 0),
       new GTintvectorEnhancedAttributeVer2(kColorAdjustmentKey), watermark});
  auto* installed =
      Group(kInstalledOptionsKey,
            {Value(kMemoryKey, 64), Value(kDriverWorkSpaceKey, 1000), Value(kDuplexUnitKey, 0),
             Value(kManualDuplexKey, 0), Text(kOptionalPaperSourcesKey, ""),
             Value(kScaleFromLargePaperKey, 0), Text(kAccessoryOutputBinsKey, ""),
             Value(kStaplerInstalledKey, 0), Value(kStitcherInstalledKey, 0), Value(kTray1Key, 0),
             Value(kTray1ModeKey, 7), Value(kPostInsertionKitKey, 0), Text(kPunchUnitTypeKey, ""),
             Value(kConfigStatusKey, kDefaultConfiguration)});
  auto* pool =
      Group(kWatermarkListKey,
            {Group(0, {Value(kWatermarkNumberKey, 1), Text(kWatermarkNameKey, "Confidential"),
                       Value(kWatermarkShadeKey, 128), Value(kWatermarkStyleKey, 1),
                       Value(kWatermarkPagesKey, 1), Value(kWatermarkAngleKindKey, 1),
                       Text(kWatermarkFaceKey, "Times New Roman"), Value(kWatermarkRedKey, 255),
                       Value(kWatermarkGreenKey, 0), Value(kWatermarkBlueKey, 0)}),
             Group(0, {Value(kWatermarkNumberKey, 2), Text(kWatermarkNameKey, "Draft"),
                       Value(kWatermarkShadeKey, 64)})});
  auto* locks = Group(kKeyLocksKey, {pool, Group(kLockListKey, {})});
  auto* target = Group(kPrintingTargetKey,
                       {Value(kPresetRetChoiceKey, 0), Value(kPresetTrueTypeAsBitmapKey, 0),
                        Value(kPresetTextAsBlackKey, 0), Value(kPresetXResolutionKey, 600),
                        Value(kPresetYResolutionKey, 600), Value(kPresetResolutionModeKey, 1)});
  return Group(0, {document, color_media, installed, locks, target});
}

GPaperHandlingDevice* Device(const char* name, std::uint32_t type, std::uint32_t optional,
                             std::initializer_list<std::pair<const char*, int>> trays) {
  auto* device = new GPaperHandlingDevice(RWCString(name), type, optional, 0, 1, 0, 0);
  if (trays.size() != 0) {
    auto* part = Group(0, {});
    for (const auto& [tray, id] : trays)
      part->AddChild(new GTray(RWCString(tray), static_cast<std::uint16_t>(id), kTrayKey));
    device->SetPart(1, part);
  }
  return device;
}

GAttributeComposite* Preset(std::uint32_t key, std::uint16_t ret, std::uint16_t tt,
                            std::uint16_t black, std::uint16_t dots) {
  return Group(key, {Value(kPresetRetChoiceKey, ret), Value(kPresetTrueTypeAsBitmapKey, tt),
                     Value(kPresetTextAsBlackKey, black),
                     Group(kPresetResolutionKey,
                           {Value(kPresetXResolutionKey, dots), Value(kPresetYResolutionKey, dots),
                            Value(kPresetResolutionModeKey, 1)})});
}

void FillJobSettings(GAttributeComposite* job_settings) {
  job_settings->AddChild(Group(
      kPaperHandlingKey,
      {Device("Main Unit", kPaperSource, 0,
              {{"Manual Feed", 4}, {"Tray 1", 1}, {"Tray 2 500-Sheet", 2}, {"Bypass Tray", 7}}),
       Device(kCassettePartNumber, kPaperSource, 1, {{"Tray 3", 3}}),
       Device("MBX-1", kOutputDevice, 1, {})}));
  job_settings->AddChild(Preset(kBestPresetKey, 2, 1, 1, 1200));
  job_settings->AddChild(Preset(kNormalPresetKey, 0, 0, 0, 600));
  // The configuration sets, tagged by the string ids of their status texts:
  // the default configuration (the options as delivered) and the
  // automatic one.
  job_settings->AddChild(Group(
      kBundlesKey,
      {Group(0, {Value(kConfigStatusKey, kDefaultConfiguration), Text(kBundleNameKey, "Model-100"),
                 Value(kDuplexUnitKey, 0), Value(kManualDuplexKey, 0), Value(kCollationUnitKey, 0),
                 Value(kPrinterHardDiskKey, 0), Value(kJobRetentionKey, 0),
                 Value(kIgnoreCollationKey, 0), Value(kMemoryKey, 64),
                 Value(kDriverWorkSpaceKey, 1000), Value(kScaleFromLargePaperKey, 0),
                 Value(kBinsWithResourcesKey, 0), Text(kOptionalPaperSourcesKey, ""),
                 Text(kAccessoryOutputBinsKey, ""), Value(kModelOptionKey, 0)}),
       Group(0, {Value(kConfigStatusKey, kAutoConfiguration),
                 Text(kBundleNameKey, "Model-200 dn")})}));
  job_settings->AddChild(
      Group(kPrinterModelKey,
            {Group(kAccessoryOptionsKey, {Group(0, {Value(kOptionTargetKey, kPostInsertionKitKey),
                                                    Text(kOptionNameKey, "Kit-A")}),
                                          Group(0, {Value(kOptionTargetKey, kPunchUnitTypeKey),
                                                    Text(kOptionNameKey, "Punch-2/3")})})}));
  job_settings->AddChild(new GTintvectorEnhancedAttributeVer2(kColorAdjustmentKey));
}

}  // namespace support
