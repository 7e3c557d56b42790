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

// --- Installed options ("physical/").
extern const GFeatureBinding kPrinterHardDiskDescriptor;         // 365 -> 239
extern const GFeatureBinding kDeviceIsMopierDescriptor;          // 365 -> 310
extern const GFeatureBinding kDriverWorkSpaceSettingDescriptor;  // 365 -> 202, number rule
extern const GFeatureBinding kJobRetentionAvailableDescriptor;   // 365 -> 441
extern const GFeatureBinding kJobRetentionDescriptor;            // 365 -> 520
extern const GFeatureBinding kEnvFeederDescriptor;               // 365 -> 275
extern const GFeatureBinding kAccessoryOutputBinsDescriptor;     // 365 -> 316, free text
extern const GFeatureBinding kBinderUnitDescriptor;              // 365 -> 613
extern const GFeatureBinding kScannerChoiceDescriptor;           // 365 -> 918
extern const GFeatureBinding kCollationUnitDescriptor;           // 365 -> 310
extern const GFeatureBinding kMonoChromeChoiceDescriptor;        // 365 -> 518
extern const GFeatureBinding kTray1Descriptor;                   // 365 -> 974
extern const GFeatureBinding kManualDuplexDescriptor;            // 365 -> 245
extern const GFeatureBinding kDuplexUnitDescriptor;              // 365 -> 308
extern const GFeatureBinding kMemoryDescriptor;                  // 365 -> 925, number
extern const GFeatureBinding kScaleFromLargePaperDescriptor;     // 365 -> 915
extern const GFeatureBinding kOptionalPaperSourcesDescriptor;    // 365 -> 315, free text

// --- Document settings ("printing/").
extern const GFeatureBinding kStaplerChoiceStaplingDescriptor;   // 362 -> 289
extern const GFeatureBinding kStaplingDescriptor;                // 362 -> 1200
extern const GFeatureBinding kStaplerChoiceDescriptor;           // 362 -> 278
extern const GFeatureBinding kOrientationDescriptor;             // 362 -> 265
extern const GFeatureBinding kTonerliteDescriptor;               // 362 -> 252
extern const GFeatureBinding kOutputBinDescriptor;               // 362 -> 248
extern const GFeatureBinding kCopiesDescriptor;                  // 364 -> 291, number rule
extern const GFeatureBinding kTextAsBlackDescriptor;             // 585 from the root
extern const GFeatureBinding kScalePageChoiceDescriptor;         // 362 -> 271
extern const GFeatureBinding kScaleChoiceDescriptor;             // 362 -> 269, number rule
extern const GFeatureBinding kBookletPrintingChoiceDescriptor;   // 362 -> 279
extern const GFeatureBinding kTTAsBitmapSettingDescriptor;       // 364 -> 293
extern const GFeatureBinding kBookletTargetSizeDescriptor;       // 362 -> 280
extern const GFeatureBinding kEdgeToEdgeDescriptor;              // 362 -> 442
extern const GFeatureBinding kJobRetentionModeChoiceDescriptor;  // 362 -> 287
// The rasterization choice lies in 362 or, in the models that keep it with
// the colour and media settings, in 364 (GRasterizationChoiceConverter).
extern const GFeatureBinding kRasterizationChoiceDescriptor;         // 362 -> 255
extern const GFeatureBinding kRasterizationChoiceInColorDescriptor;  // 364 -> 255
extern const GFeatureBinding kMetChoiceDescriptor;                   // 362 -> 251
extern const GFeatureBinding kRetChoiceDescriptor;                   // 362 -> 250
extern const GFeatureBinding kPatternScalingChoiceDescriptor;        // 362 -> 277
extern const GFeatureBinding kBinderChoiceDescriptor;                // 362 -> 612
extern const GFeatureBinding kIgnoreCollationChoiceDescriptor;       // 364 -> 451
extern const GFeatureBinding kPageOrderDescriptor;                   // 362 -> 710
extern const GFeatureBinding kStraightPaperPathDescriptor;           // 362 -> 905
extern const GFeatureBinding kDryTimeDescriptor;                     // 362 -> 1133, number
extern const GFeatureBinding kEmulateGKMarginsDescriptor;            // 362 -> 711, store first
extern const GFeatureBinding kSymmetricalMarginsDescriptor;          // 362 -> 713, store first
extern const GFeatureBinding kAutoDuplexScalingDescriptor;           // 362 -> 983
extern const GFeatureBinding kPunchingDescriptor;                    // 362 -> 1201
extern const GFeatureBinding kFoldingDescriptor;                     // 362 -> 1209
extern const GFeatureBinding kImageShiftDescriptor;                  // 362 -> 1202
extern const GFeatureBinding kTransparencyInterleaveDescriptor;      // 362 -> 1204
extern const GFeatureBinding kDuplexDescriptor;                      // 362 -> 253
extern const GFeatureBinding kNUpChoiceDescriptor;                   // 362 -> 266
extern const GFeatureBinding kFitToOtherSizeChoiceDescriptor;        // 362 -> 270
extern const GFeatureBinding kPrintQualityDescriptor;                // 362 -> 901
extern const GFeatureBinding kPrintColorAsGrayDescriptor;            // 364 -> 296
extern const GFeatureBinding kTintvectorDescriptor;                  // 364 -> 304
extern const GFeatureBinding kUseDiffFirstPageChoiceDescriptor;      // 364 -> 264
extern const GFeatureBinding kWatermarksDescriptor;                  // 364 -> 379 -> 1112
// By selector: the paper size (362 -> 260, or the target 272), the input
// bin (258, 263, 921) and the media type (261, 262, 973, free text), the
// last two found anywhere below the model root.
extern const GFeatureBinding kPaperSizeDescriptors[kSelectorCount];
extern const GFeatureBinding kInputBinDescriptors[kSelectorCount];
extern const GFeatureBinding kMediaTypeDescriptors[kSelectorCount];

// --- Sub-keys, run by the converter of their parent key (never made by
// the factory). The watermark's are walked from the object they are given
// and made with a default when missing; extract finds the style, shade and
// escapement in the object given (a watermark definition).
extern const GFeatureBinding kBackCoverChoiceDescriptor;          // 362 -> 920
extern const GFeatureBinding kNUpBordersChoiceDescriptor;         // 362 -> 267
extern const GFeatureBinding kNUpPageOrderChoiceDescriptor;       // 362 -> 268
extern const GFeatureBinding kPrintColorAsGrayOptionsDescriptor;  // 362 -> 410
extern const GFeatureBinding kWMFirstPageOnlyDescriptor;          // 364 -> 379 -> 382
extern const GFeatureBinding kWMFontStyleDescriptor;              // 364 -> 379 -> 388
extern const GFeatureBinding kWMShadeLevelDescriptor;             // 364 -> 379 -> 403
extern const GFeatureBinding kWMFontEscapementDescriptor;         // 364 -> 379 -> 393

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
