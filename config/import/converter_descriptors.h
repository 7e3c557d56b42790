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

// Group paths from the model root.
inline constexpr std::uint32_t kDocumentSettingsPath[] = {kDocumentSettingsKey};
inline constexpr std::uint32_t kColorMediaSettingsPath[] = {kColorMediaSettingsKey};
inline constexpr std::uint32_t kInstalledOptionsPath[] = {kInstalledOptionsKey};

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
