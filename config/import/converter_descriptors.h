// The descriptors of the table converters (table_converter.h): for each
// feature key, where its value attribute lies, which keys are read and
// written, the read buffer, what apply records and the option words with
// their codes, in the order they are searched (the first equal word, and
// the first row of a code, win).
//
// Plain converters are their descriptor under the converter's class name;
// the converters that do more (their own headers) keep a descriptor here
// too, for the steps they share with the others.
//
// Constants: any thread.
#pragma once

#include <cstdint>

#include "config/import/setting_converter.h"
#include "config/import/table_converter.h"
#include "config/keys/settings_keys.h"

// Group paths from the model root.
inline constexpr std::uint32_t kDocumentSettingsPath[] = {kDocumentSettingsKey};
inline constexpr std::uint32_t kColorMediaSettingsPath[] = {kColorMediaSettingsKey};
inline constexpr std::uint32_t kInstalledOptionsPath[] = {kInstalledOptionsKey};
// The current watermark, a composite in the colour and media settings.
inline constexpr std::uint32_t kCurrentWatermarkPath[] = {kColorMediaSettingsKey,
                                                          kWatermarkSettingKey};

// What a selector (a converter's 16-bit constructor argument) picks among
// the keys of the paper-size, input-bin and media-type converters: the
// plain key (the factory's), the key of the rest of the document after a
// different first page (the paper size: the fit-to-size target), or the
// back cover's.
inline constexpr std::uint16_t kPlainSelector = 0;
inline constexpr std::uint16_t kRestSelector = 1;
inline constexpr std::uint16_t kBackCoverSelector = 2;
inline constexpr std::uint16_t kSelectorCount = 3;

// --- Installed options ("physical/"), in kInstalledOptionsKey. Each comment
// names the attribute the descriptor binds.
extern const GFeatureBinding kPrinterHardDiskDescriptor;         // kPrinterHardDiskKey
extern const GFeatureBinding kDeviceIsMopierDescriptor;          // kCollationUnitKey
extern const GFeatureBinding kDriverWorkSpaceSettingDescriptor;  // kPrinterMemoryKey, number rule
extern const GFeatureBinding kJobRetentionAvailableDescriptor;   // kJobRetentionAvailableKey
extern const GFeatureBinding kJobRetentionDescriptor;            // kJobRetentionKey
extern const GFeatureBinding kEnvFeederDescriptor;               // kEnvelopeFeederKey
extern const GFeatureBinding kAccessoryOutputBinsDescriptor;     // kAccessoryOutputBinsKey (text)
extern const GFeatureBinding kBinderUnitDescriptor;              // kBinderUnitKey
extern const GFeatureBinding kScannerChoiceDescriptor;           // kScannerChoiceKey
extern const GFeatureBinding kCollationUnitDescriptor;           // kCollationUnitKey
extern const GFeatureBinding kMonoChromeChoiceDescriptor;        // kMonochromeKey
extern const GFeatureBinding kTray1Descriptor;                   // kTray1Key
extern const GFeatureBinding kManualDuplexDescriptor;            // kManualDuplexKey
extern const GFeatureBinding kDuplexUnitDescriptor;              // kDuplexUnitKey
extern const GFeatureBinding kMemoryDescriptor;                  // kMemoryKey, number
extern const GFeatureBinding kScaleFromLargePaperDescriptor;     // kScaleFromLargePaperKey
extern const GFeatureBinding kOptionalPaperSourcesDescriptor;    // kOptionalPaperSourcesKey (text)

// --- Document settings ("printing/"), in kDocumentSettingsKey; "colour":
// in kColorMediaSettingsKey.
extern const GFeatureBinding kStaplerChoiceStaplingDescriptor;   // kStaplerStaplingKey
extern const GFeatureBinding kStaplingDescriptor;                // kStaplingKey
extern const GFeatureBinding kStaplerChoiceDescriptor;           // kStaplerChoiceKey
extern const GFeatureBinding kOrientationDescriptor;             // kOrientationKey
extern const GFeatureBinding kTonerliteDescriptor;               // kTonerliteKey
extern const GFeatureBinding kOutputBinDescriptor;               // kOutputBinKey
extern const GFeatureBinding kCopiesDescriptor;                  // colour: kCopiesKey, number rule
extern const GFeatureBinding kTextAsBlackDescriptor;             // kTextAsBlackKey, from the root
extern const GFeatureBinding kScalePageChoiceDescriptor;         // kScalePageChoiceKey
extern const GFeatureBinding kScaleChoiceDescriptor;             // kScalePercentKey, number rule
extern const GFeatureBinding kBookletPrintingChoiceDescriptor;   // kBookletKey
extern const GFeatureBinding kTTAsBitmapSettingDescriptor;       // colour: kTrueTypeAsBitmapKey
extern const GFeatureBinding kBookletTargetSizeDescriptor;       // kBookletTargetSizeKey
extern const GFeatureBinding kEdgeToEdgeDescriptor;              // kEdgeToEdgeKey
extern const GFeatureBinding kJobRetentionModeChoiceDescriptor;  // kJobRetentionModeKey
// The rasterization choice (kRasterizationKey) lies in the document
// settings or, in the models that keep it with the colour and media
// settings, in those (GRasterizationChoiceConverter).
extern const GFeatureBinding kRasterizationChoiceDescriptor;
extern const GFeatureBinding kRasterizationChoiceInColorDescriptor;
extern const GFeatureBinding kMetChoiceDescriptor;               // kMetChoiceKey
extern const GFeatureBinding kRetChoiceDescriptor;               // kRetChoiceKey
extern const GFeatureBinding kPatternScalingChoiceDescriptor;    // kPatternScalingKey
extern const GFeatureBinding kBinderChoiceDescriptor;            // kBinderChoiceKey
extern const GFeatureBinding kIgnoreCollationChoiceDescriptor;   // colour: kIgnoreCollationKey
extern const GFeatureBinding kPageOrderDescriptor;               // kPageOrderKey
extern const GFeatureBinding kStraightPaperPathDescriptor;       // kStraightPaperPathKey
extern const GFeatureBinding kDryTimeDescriptor;                 // kDryTimeKey, number
extern const GFeatureBinding kEmulateGKMarginsDescriptor;        // kEmulateMarginsKey, store first
extern const GFeatureBinding kSymmetricalMarginsDescriptor;      // kSymmetricalMarginsKey, ditto
extern const GFeatureBinding kAutoDuplexScalingDescriptor;       // kAutoDuplexScalingKey
extern const GFeatureBinding kPunchingDescriptor;                // kPunchingKey
extern const GFeatureBinding kFoldingDescriptor;                 // kFoldingKey
extern const GFeatureBinding kImageShiftDescriptor;              // kImageShiftKey
extern const GFeatureBinding kTransparencyInterleaveDescriptor;  // kTransparencyInterleaveKey
extern const GFeatureBinding kDuplexDescriptor;                  // kDuplexKey
extern const GFeatureBinding kNUpChoiceDescriptor;               // kPagesPerSheetKey
extern const GFeatureBinding kFitToOtherSizeChoiceDescriptor;    // kFitToOtherSizeKey
extern const GFeatureBinding kPrintQualityDescriptor;            // kPrintQualityKey
extern const GFeatureBinding kPrintColorAsGrayDescriptor;        // colour: kPrintColorAsGrayKey
extern const GFeatureBinding kTintvectorDescriptor;              // colour: kColorModeKey
extern const GFeatureBinding kUseDiffFirstPageChoiceDescriptor;  // colour: kDifferentFirstPageKey
// The current watermark's (kCurrentWatermarkPath) kWatermarkNumberKey.
extern const GFeatureBinding kWatermarksDescriptor;
// By selector: the paper size (kPaperSizeKey in the document settings, or
// the target kTargetPaperSizeKey), the input bin (kPaperSourceKey,
// kOtherPagesSourceKey, kBackCoverSourceKey) and the media type
// (kMediaTypeKey, kOtherPagesMediaTypeKey, kBackCoverMediaTypeKey, free
// text), the last two found anywhere below the model root.
extern const GFeatureBinding kPaperSizeDescriptors[kSelectorCount];
extern const GFeatureBinding kInputBinDescriptors[kSelectorCount];
extern const GFeatureBinding kMediaTypeDescriptors[kSelectorCount];

// --- Sub-keys, run by the converter of their parent key (never made by
// the factory). The watermark's are walked from the object they are given
// (the current watermark, kCurrentWatermarkPath) and made with a default
// when missing; extract finds the style, shade and escapement in the
// object given (a watermark definition).
extern const GFeatureBinding kBackCoverChoiceDescriptor;          // kBackCoverKey
extern const GFeatureBinding kNUpBordersChoiceDescriptor;         // kNupBordersKey
extern const GFeatureBinding kNUpPageOrderChoiceDescriptor;       // kNupPageOrderKey
extern const GFeatureBinding kPrintColorAsGrayOptionsDescriptor;  // kPrintColorAsGrayOptionsKey
extern const GFeatureBinding kWMFirstPageOnlyDescriptor;          // kWatermarkPagesKey
extern const GFeatureBinding kWMFontStyleDescriptor;              // kWatermarkStyleKey
extern const GFeatureBinding kWMShadeLevelDescriptor;             // kWatermarkShadeKey
extern const GFeatureBinding kWMFontEscapementDescriptor;         // kWatermarkAngleKindKey

// --- The plain converters.
using GPrinterHardDiskConverter = GDescribedConverter<kPrinterHardDiskDescriptor>;
using GDeviceIsMopierConverter = GDescribedConverter<kDeviceIsMopierDescriptor>;
using GJobRetentionAvailableConverter = GDescribedConverter<kJobRetentionAvailableDescriptor>;
using GJobRetentionConverter = GDescribedConverter<kJobRetentionDescriptor>;
using GEnvFeederConverter = GDescribedConverter<kEnvFeederDescriptor>;
using GBinderUnitConverter = GDescribedConverter<kBinderUnitDescriptor>;
using GScannerChoiceConverter = GDescribedConverter<kScannerChoiceDescriptor>;
using GCollationUnitConverter = GDescribedConverter<kCollationUnitDescriptor>;
using GMonoChromeChoiceConverter = GDescribedConverter<kMonoChromeChoiceDescriptor>;
using GManualDuplexConverter = GDescribedConverter<kManualDuplexDescriptor>;
using GStaplingConverter = GDescribedConverter<kStaplingDescriptor>;
using GOrientationConverter = GDescribedConverter<kOrientationDescriptor>;
using GTonerliteConverter = GDescribedConverter<kTonerliteDescriptor>;
using GScalePageChoiceConverter = GDescribedConverter<kScalePageChoiceDescriptor>;
using GTTAsBitmapSettingConverter = GDescribedConverter<kTTAsBitmapSettingDescriptor>;
using GBookletTargetSizeConverter = GDescribedConverter<kBookletTargetSizeDescriptor>;
using GEdgeToEdgeConverter = GDescribedConverter<kEdgeToEdgeDescriptor>;
using GJobRetentionModeChoiceConverter = GDescribedConverter<kJobRetentionModeChoiceDescriptor>;
using GMetChoiceConverter = GDescribedConverter<kMetChoiceDescriptor>;
using GRetChoiceConverter = GDescribedConverter<kRetChoiceDescriptor>;
using GPatternScalingChoiceConverter = GDescribedConverter<kPatternScalingChoiceDescriptor>;
using GBinderChoiceConverter = GDescribedConverter<kBinderChoiceDescriptor>;
using GIgnoreCollationChoiceConverter = GDescribedConverter<kIgnoreCollationChoiceDescriptor>;
using GPageOrderConverter = GDescribedConverter<kPageOrderDescriptor>;
using GEmulateGKMarginsConverter = GDescribedConverter<kEmulateGKMarginsDescriptor>;
using GSymmetricalMarginsConverter = GDescribedConverter<kSymmetricalMarginsDescriptor>;
using GPunchingConverter = GDescribedConverter<kPunchingDescriptor>;
using GImageShiftConverter = GDescribedConverter<kImageShiftDescriptor>;
using GTransparencyInterleaveConverter = GDescribedConverter<kTransparencyInterleaveDescriptor>;
using GDuplexUnitConverter = GDescribedConverter<kDuplexUnitDescriptor>;
using GNUpBordersChoiceConverter = GDescribedConverter<kNUpBordersChoiceDescriptor>;
using GNUpPageOrderChoiceConverter = GDescribedConverter<kNUpPageOrderChoiceDescriptor>;
using GPrintColorAsGrayOptionsConverter = GDescribedConverter<kPrintColorAsGrayOptionsDescriptor>;
using GWMFirstPageOnlyConverter = GDescribedConverter<kWMFirstPageOnlyDescriptor>;
using GWMFontStyleConverter = GDescribedConverter<kWMFontStyleDescriptor>;
using GWMShadeLevelConverter = GDescribedConverter<kWMShadeLevelDescriptor>;
