#include "config/import/converter_descriptors.h"

#include "config/keys/settings_keys.h"

namespace {

constexpr auto kCopy = GDestinationPolicy::kCopy;
constexpr auto kNew = GDestinationPolicy::kNew;
constexpr auto kNone = GDestinationPolicy::kNone;

// Read buffers other than the default 255 units.
constexpr std::uint32_t k128 = 128;
constexpr std::uint32_t k64 = 64;
constexpr std::uint32_t k32 = 32;

// Tables that several keys share.
constexpr GOptionRow kFalseTrue[] = {{0, u"FALSE"}, {1, u"TRUE"}};
constexpr GOptionRow kOffOn[] = {{0, u"OFF"}, {1, u"ON"}};
constexpr GOptionRow kNotInstalledInstalled[] = {{0, u"NotInstalled"}, {1, u"Installed"}};

constexpr GOptionRow kDeviceIsMopierRows[] = {{1, u"Installed"}, {0, u"NotInstalled"}};
constexpr GOptionRow kJobRetentionRows[] = {{0, u"Disabled"}, {1, u"Enabled"}};
constexpr GOptionRow kManualDuplexRows[] = {{0, u"Disabled"}, {3, u"Enabled"}};

// "Stitching" stands for the stitching flag (kStitchingKey), which the
// converter sets instead; 8 and 9 are reached only through the stitching
// accessory.
constexpr GOptionRow kStaplerChoiceStaplingRows[] = {
    {0, u"Default"},   {1, u"1parallel"}, {2, u"1diagonal"}, {3, u"2parallel"}, {4, u"3parallel"},
    {5, u"6parallel"}, {1, u"Stitching"}, {8, u"1parallel"}, {9, u"2parallel"}, {7, u"None"},
};
constexpr GOptionRow kStaplingRows[] = {
    {0, u"None"},      {10, u"1left"},    {11, u"2left"},    {12, u"1right"},
    {13, u"2right"},   {14, u"2top"},     {1, u"1parallel"}, {2, u"1diagonal"},
    {3, u"2parallel"}, {4, u"3parallel"}, {5, u"6parallel"}, {6, u"FoldAndStitch"},
};
constexpr GOptionRow kOrientationRows[] = {
    {0, u"Portrait"}, {90, u"Landscape"}, {270, u"RotatedLandscape"}, {180, u"RotatedPortrait"}};

// Words that stand twice take the first code; the installed accessory
// changes some codes afterwards (GOutputBinConverter).
constexpr GOptionRow kOutputBinRows[] = {
    {1, u"Auto"},
    {1, u"Top"},
    {2, u"Left"},
    {14, u"Stacker-Stapled"},
    {9, u"Stacker-Stapled"},
    {3, u"Stacker-Stapled"},
    {13, u"Stacker"},
    {15, u"Stacker"},
    {4, u"Stacker"},
    {12, u"StackerFaceDown"},
    {11, u"StackerFaceUp"},
    {10, u"Booklet"},
    {62, u"MainBinFaceDown"},
    {63, u"MainBinFaceUp"},
    {64, u"UpperBinFaceDown"},
    {65, u"UpperBinFaceUp"},
    {60, u"MainBinFaceDown"},
    {61, u"MainBinFaceUp"},
    {66, u"UpperBinFaceDown"},
    {67, u"UpperBinFaceUp"},
    {16, u"OutputBin1"},
    {17, u"OutputBin2"},
    {18, u"OutputBin3"},
};
constexpr GOptionRow kBookletTargetSizeRows[] = {
    {1, u"LETTER"}, {21, u"11X17"},  {6, u"LEGAL"},   {23, u"A4"},
    {22, u"A3"},    {39, u"B4_JIS"}, {40, u"B5_JIS"},
};
constexpr GOptionRow kTTAsBitmapSettingRows[] = {{0, u"TTModeOutline"}, {1, u"TTModeBitmap"}};
constexpr GOptionRow kBookletPrintingChoiceRows[] = {
    {0, u"OFF"}, {1, u"LeftEdge"}, {2, u"RightEdge"}};
constexpr GOptionRow kScalePageChoiceRows[] = {{0, u"FitWithoutScaling"}, {1, u"ScaleToFit"}};

constexpr std::uint16_t kNotSupported = 0xFFFF;
constexpr GOptionRow kEdgeToEdgeRows[] = {
    {kNotSupported, u"NotSupported"}, {2, u"Supported"}, {0, u"OFF"}, {1, u"ON"}};
constexpr GOptionRow kJobRetentionModeChoiceRows[] = {
    {kNotSupported, u"NotSupported"},
    {0, u"OFF"},
    {1, u"QuickCopy"},
    {2, u"ProofNHold"},
    {3, u"StoreJob"},
    {4, u"PrivatePrint"},
};
constexpr GOptionRow kRasterizationChoiceRows[] = {
    {0, u"RasterizationAuto"},
    {1, u"RasterizationVector"},
    {2, u"RasterizationGRaster"},
    {3, u"RasterizationRaster"},
};
// "MinValue" and "MaxValue" name codes that stand earlier: extract writes
// the earlier word.
constexpr GOptionRow kMetChoiceRows[] = {
    {kNotSupported, u"NotSupported"},
    {1, u"ON"},
    {0, u"OFF"},
    {2, u"PageProtOff"},
    {3, u"PageProtLetter"},
    {4, u"PageProtLegal"},
    {5, u"PageProtA4"},
    {kNotSupported, u"MinValue"},
    {5, u"MaxValue"},
};
constexpr GOptionRow kRetChoiceRows[] = {
    {kNotSupported, u"NotSupported"},
    {0, u"OFF"},
    {1, u"Light"},
    {2, u"Medium"},
    {3, u"Dark"},
    {4, u"ON"},
    {kNotSupported, u"MinValue"},
    {4, u"MaxValue"},
};
constexpr GOptionRow kPatternScalingChoiceRows[] = {{0, u"NeverScalePatterns"},
                                                    {1, u"AlwaysScalePatterns"}};
constexpr GOptionRow kBinderChoiceRows[] = {
    {0, u"DontBindThisJob"}, {1, u"BindThisJob"}, {3, u"BindStacker"}};
constexpr GOptionRow kPageOrderRows[] = {{0, u"FrontToBack"}, {1, u"BackToFront"}};
// Scaling is on (1) when the duplex word is "FALSE".
constexpr GOptionRow kAutoDuplexScalingRows[] = {{1, u"FALSE"}, {0, u"TRUE"}};
constexpr GOptionRow kPunchingRows[] = {{0, u"none"}, {1, u"Left"}, {2, u"Right"}, {3, u"Top"}};
// The store's word for code 2 ends in a blank.
constexpr GOptionRow kFoldingRows[] = {
    {0, u"None"},           {1, u"TriFoldInward"},   {2, u"TriFoldOutward "},
    {4, u"HalfFoldInward"}, {5, u"HalfFoldOutward"}, {3, u"ZFold"},
    {6, u"FoldAndStitch"},
};
constexpr GOptionRow kImageShiftRows[] = {{1, u"Installed"}, {0, u"NotInstalled"}};
constexpr GOptionRow kTransparencyInterleaveRows[] = {{0, u"OFF"}, {1, u"BLANK"}, {2, u"PRINTED"}};

// Extract writes "TRUE" for 1 and "FALSE" for any other value; apply takes
// any word but "TRUE" for 0 (GScaleFromLargePaperConverter).
constexpr GOptionRow kScaleFromLargePaperRows[] = {{1, u"TRUE"}, {0, u"FALSE"}};
constexpr GOptionRow kDuplexRows[] = {{0, u"FALSE"}, {1, u"ShortEdge"}, {2, u"LongEdge"}};
// Codes 56 and 53 stand twice: extract writes "B5" and "JISB6".
constexpr GOptionRow kPaperSizeRows[] = {
    {0, u"UNDEFINED"},
    {1, u"LETTER"},
    {2, u"LETTER_EXTRA"},
    {3, u"LETTER_EXTRA_TRANSVERSE"},
    {4, u"LETTER_TRANSVERSE"},
    {5, u"LETTER_SMALL"},
    {6, u"LEGAL"},
    {7, u"LEGAL_EXTRA"},
    {8, u"ENV_10"},
    {9, u"ENV_11"},
    {10, u"ENV_12"},
    {11, u"ENV_14"},
    {12, u"ENV_9"},
    {13, u"ENV_C5"},
    {14, u"ENV_B5"},
    {15, u"ENV_DL"},
    {16, u"ENV_MONARCH"},
    {17, u"EXECUTIVE"},
    {18, u"FOLIO"},
    {19, u"LEDGER"},
    {20, u"10X14"},
    {21, u"11X17"},
    {22, u"A3"},
    {23, u"A4"},
    {24, u"A4_EXTRA"},
    {25, u"A4_TRANSVERSE"},
    {26, u"A4_SMALL"},
    {27, u"A5"},
    {28, u"B4"},
    {56, u"B5"},
    {30, u"BSHEET"},
    {31, u"CSHEET"},
    {32, u"DSHEET"},
    {33, u"ESHEET"},
    {34, u"NOTE"},
    {35, u"QUARTO"},
    {36, u"STATEMENT"},
    {37, u"TABLOID"},
    {38, u"TABLOID_EXTRA"},
    {39, u"B4_JIS"},
    {40, u"B5_JIS"},
    {71, u"DBL_JAPANESE_POSTCARD"},
    {42, u"EXECUTIVE_JIS"},
    {43, u"16K"},
    {44, u"8K"},
    {45, u"11X17_MAX"},
    {46, u"A3_OVERSIZE"},
    {47, u"INDEX_CARD_3X5"},
    {48, u"INDEX_CARD_4X6"},
    {49, u"INDEX_CARD_5X8"},
    {50, u"ENV_A2"},
    {51, u"A6_CARD"},
    {52, u"ENV_C6"},
    {53, u"JISB6"},
    {54, u"JIS_POSTCARD"},
    {55, u"POSTCARD"},
    {56, u"B5ISO"},
    {57, u"A6"},
    {58, u"8_5X13"},
    {59, u"JENV_CHOU3"},
    {60, u"JENV_CHOU4"},
    {61, u"HAGAKI_CARD"},
    {62, u"SUPERB"},
    {63, u"425_X_6"},
    {69, u"JAPANESE_POSTCARD"},
    {70, u"DBL_JAPANESE_POSTCARD_ROTATED"},
    {68, u"12X18"},
    {73, u"KV_GREETING_CARD_ENV"},
    {72, u"OfukuHagaki"},
    {76, u"11X17_PLUS_WIDE"},
    {77, u"A5_PLUS_WIDE"},
    {78, u"A4_PLUS_WIDE"},
    {79, u"A3_PLUS_WIDE"},
    {80, u"B4_JIS_PLUS_WIDE"},
    {81, u"B5_JIS_PLUS_WIDE"},
    {83, u"RA3"},
    {53, u"B6_JIS"},
    {85, u"4X6_IN_WT"},
    {66, u"A3_NOBI"},
    {84, u"JENV_KAKU2"},
};
// Extract tries the first word of the code, and the second only when the
// store refuses the first (GPrintColorAsGrayConverter).
constexpr GOptionRow kPrintColorAsGrayRows[] = {
    {0, u"Disable"}, {1, u"Enable"}, {0, u"FALSE"}, {1, u"TRUE"}};
constexpr GOptionRow kPrintColorAsGrayOptionsRows[] = {{1, u"BlackOnly"}, {0, u"HighQuality"}};
constexpr GOptionRow kPrintQualityRows[] = {
    {65534, u"Fast"}, {65535, u"FastNormal"}, {0, u"Normal"}, {1, u"Best"}, {99, u"Custom"}};
constexpr GOptionRow kNUpChoiceRows[] = {{1, u"OneUp"}, {2, u"TwoUp"},  {4, u"FourUp"},
                                         {6, u"SixUp"}, {9, u"NineUp"}, {16, u"SixteenUp"}};
constexpr GOptionRow kNUpBordersChoiceRows[] = {{0, u"NoBorders"}, {1, u"PrintBorders"}};
constexpr GOptionRow kNUpPageOrderChoiceRows[] = {
    {0, u"RightThenDown"}, {1, u"DownThenRight"}, {2, u"LeftThenDown"}, {3, u"DownThenLeft"}};
constexpr GOptionRow kFitToOtherSizeChoiceRows[] = {{0, u"PrintActualSize"},
                                                    {1, u"FitToOtherSize"}};
constexpr GOptionRow kUseDiffFirstPageChoiceRows[] = {{0, u"SameFirstPage"},
                                                      {1, u"DifferentFirstPage"}};
constexpr GOptionRow kBackCoverChoiceRows[] = {
    {0, u"NoBackPage"}, {1, u"UseFirstPage"}, {2, u"UseAlternateSource"}};
constexpr GOptionRow kWatermarksRows[] = {
    {0, u"None"}, {1, u"Confidential"}, {2, u"Draft"}, {3, u"Sample"}};
constexpr GOptionRow kWMFirstPageOnlyRows[] = {
    {2, u"NoPages"}, {0, u"AllPages"}, {1, u"FirstPageOnly"}};
constexpr GOptionRow kWMFontStyleRows[] = {{0, u"Regular"},   {1, u"Bold"},
                                           {2, u"Italic"},    {3, u"BoldItalic"},
                                           {4, u"Underline"}, {8, u"Strikeout"}};
// The first word has a blank in it.
constexpr GOptionRow kWMShadeLevelRows[] = {
    {232, u"Lightest Color"}, {255, u"Lightest"}, {224, u"VeryLight"}, {192, u"Light"},
    {160, u"MediumLight"},    {128, u"Medium"},   {96, u"MediumDark"}, {64, u"Dark"},
    {32, u"VeryDark"},        {0, u"Darkest"},
};
constexpr GOptionRow kWMFontEscapementRows[] = {
    {0, u"Horizontal"}, {1, u"Diagonal"}, {2, u"Vertical"}, {3, u"TopDiagonal"}, {4, u"Custom"}};

// Attributes a watermark sub-key makes when the current watermark lacks
// them.
constexpr auto kMake = GMissingAttribute::kMake;
constexpr auto kObjectGiven = GExtractFrom::kObjectGiven;
constexpr std::uint16_t kDefaultShade = 224;

}  // namespace

// --- Installed options.

constexpr GFeatureBinding kPrinterHardDiskDescriptor{.group_path = kInstalledOptionsPath,
                                                     .attribute_key = kPrinterHardDiskKey,
                                                     .apply_key = u"physical/PrinterHardDisk",
                                                     .destination = kCopy,
                                                     .rows = kNotInstalledInstalled};
constexpr GFeatureBinding kDeviceIsMopierDescriptor{.group_path = kInstalledOptionsPath,
                                                    .attribute_key = kCollationUnitKey,
                                                    .apply_key = u"physical/DeviceIsMopier",
                                                    .buffer_units = k32,
                                                    .destination = kNone,
                                                    .rows = kDeviceIsMopierRows};
constexpr GFeatureBinding kDriverWorkSpaceSettingDescriptor{
    .group_path = kInstalledOptionsPath,
    .attribute_key = kPrinterMemoryKey,
    .apply_key = u"physical/DriverWorkSpaceSetting",
    .destination = kCopy};
constexpr GFeatureBinding kJobRetentionAvailableDescriptor{
    .group_path = kInstalledOptionsPath,
    .attribute_key = kJobRetentionAvailableKey,
    .apply_key = u"physical/JobRetentionAvailable",
    .buffer_units = k32,
    .destination = kNone,
    .rows = kFalseTrue};
constexpr GFeatureBinding kJobRetentionDescriptor{.group_path = kInstalledOptionsPath,
                                                  .attribute_key = kJobRetentionKey,
                                                  .apply_key = u"physical/JobRetention",
                                                  .buffer_units = k32,
                                                  .destination = kNone,
                                                  .rows = kJobRetentionRows};
constexpr GFeatureBinding kEnvFeederDescriptor{.group_path = kInstalledOptionsPath,
                                               .attribute_key = kEnvelopeFeederKey,
                                               .apply_key = u"physical/EnvFeeder",
                                               .buffer_units = k128,
                                               .destination = kNone,
                                               .rows = kNotInstalledInstalled};
constexpr GFeatureBinding kAccessoryOutputBinsDescriptor{
    .group_path = kInstalledOptionsPath,
    .attribute_key = kAccessoryOutputBinsKey,
    .apply_key = u"physical/AccessoryOutputBins",
    .buffer_units = k128,
    .destination = kNone};
constexpr GFeatureBinding kBinderUnitDescriptor{.group_path = kInstalledOptionsPath,
                                                .attribute_key = kBinderUnitKey,
                                                .apply_key = u"physical/BinderUnit",
                                                .extract_key = u"physical/binderunit",
                                                .destination = kCopy,
                                                .rows = kNotInstalledInstalled};
constexpr GFeatureBinding kScannerChoiceDescriptor{.group_path = kInstalledOptionsPath,
                                                   .attribute_key = kScannerChoiceKey,
                                                   .apply_key = u"physical/ScannerChoice",
                                                   .buffer_units = k128,
                                                   .destination = kNone,
                                                   .rows = kNotInstalledInstalled};
constexpr GFeatureBinding kCollationUnitDescriptor{.group_path = kInstalledOptionsPath,
                                                   .attribute_key = kCollationUnitKey,
                                                   .apply_key = u"physical/CollationUnit",
                                                   .extract_key = u"physical/CollationUnitSetting",
                                                   .buffer_units = k128,
                                                   .destination = kNone,
                                                   .rows = kFalseTrue};
constexpr GFeatureBinding kMonoChromeChoiceDescriptor{.group_path = kInstalledOptionsPath,
                                                      .attribute_key = kMonochromeKey,
                                                      .apply_key = u"physical/MonoChromeChoice",
                                                      .buffer_units = k32,
                                                      .destination = kNone,
                                                      .rows = kOffOn};
constexpr GFeatureBinding kTray1Descriptor{.group_path = kInstalledOptionsPath,
                                           .attribute_key = kTray1Key,
                                           .apply_key = u"physical/Tray1",
                                           .destination = kNone,
                                           .rows = kNotInstalledInstalled};
constexpr GFeatureBinding kManualDuplexDescriptor{.group_path = kInstalledOptionsPath,
                                                  .attribute_key = kManualDuplexKey,
                                                  .apply_key = u"physical/ManualDuplex",
                                                  .destination = kCopy,
                                                  .rows = kManualDuplexRows};

constexpr GFeatureBinding kDuplexUnitDescriptor{.group_path = kInstalledOptionsPath,
                                                .attribute_key = kDuplexUnitKey,
                                                .apply_key = u"physical/DuplexUnit",
                                                .extract_key = u"physical/duplexunit",
                                                .destination = kCopy,
                                                .rows = kNotInstalledInstalled};
constexpr GFeatureBinding kMemoryDescriptor{.group_path = kInstalledOptionsPath,
                                            .attribute_key = kMemoryKey,
                                            .apply_key = u"physical/Memory",
                                            .buffer_units = k64,
                                            .destination = kCopy};
constexpr GFeatureBinding kScaleFromLargePaperDescriptor{
    .group_path = kInstalledOptionsPath,
    .attribute_key = kScaleFromLargePaperKey,
    .apply_key = u"physical/ScaleFromLargePaper",
    .buffer_units = k128,
    .destination = kNone,
    .rows = kScaleFromLargePaperRows};
constexpr GFeatureBinding kOptionalPaperSourcesDescriptor{
    .group_path = kInstalledOptionsPath,
    .attribute_key = kOptionalPaperSourcesKey,
    .apply_key = u"physical/OptionalPaperSources",
    .buffer_units = k128,
    .destination = kNone};

// --- Document settings.

constexpr GFeatureBinding kStaplerChoiceStaplingDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kStaplerStaplingKey,
    .apply_key = u"printing/StaplerChoice/Stapling",
    .destination = kCopy,
    .rows = kStaplerChoiceStaplingRows};
constexpr GFeatureBinding kStaplingDescriptor{.group_path = kDocumentSettingsPath,
                                              .attribute_key = kStaplingKey,
                                              .apply_key = u"printing/Stapling",
                                              .destination = kCopy,
                                              .rows = kStaplingRows};
constexpr GFeatureBinding kStaplerChoiceDescriptor{.group_path = kDocumentSettingsPath,
                                                   .attribute_key = kStaplerChoiceKey,
                                                   .apply_key = u"printing/StaplerChoice",
                                                   .destination = kNew,
                                                   .rows = kFalseTrue};
constexpr GFeatureBinding kOrientationDescriptor{.group_path = kDocumentSettingsPath,
                                                 .attribute_key = kOrientationKey,
                                                 .apply_key = u"printing/Orientation",
                                                 .destination = kCopy,
                                                 .rows = kOrientationRows};
constexpr GFeatureBinding kTonerliteDescriptor{.group_path = kDocumentSettingsPath,
                                               .attribute_key = kTonerliteKey,
                                               .apply_key = u"printing/Tonerlite",
                                               .destination = kCopy,
                                               .rows = kFalseTrue};
constexpr GFeatureBinding kOutputBinDescriptor{.group_path = kDocumentSettingsPath,
                                               .attribute_key = kOutputBinKey,
                                               .apply_key = u"printing/OutputBin",
                                               .destination = kCopy,
                                               .rows = kOutputBinRows};
constexpr GFeatureBinding kCopiesDescriptor{.group_path = kColorMediaSettingsPath,
                                            .attribute_key = kCopiesKey,
                                            .apply_key = u"printing/Copies",
                                            .destination = kCopy};
// The empty path: found from the root, wherever the model keeps it.
constexpr GFeatureBinding kTextAsBlackDescriptor{.attribute_key = kTextAsBlackKey,
                                                 .apply_key = u"printing/TextAsBlack",
                                                 .destination = kNew,
                                                 .rows = kFalseTrue};
constexpr GFeatureBinding kScalePageChoiceDescriptor{.group_path = kDocumentSettingsPath,
                                                     .attribute_key = kScalePageChoiceKey,
                                                     .apply_key = u"printing/ScalePageChoice",
                                                     .buffer_units = k128,
                                                     .destination = kCopy,
                                                     .rows = kScalePageChoiceRows};
constexpr GFeatureBinding kScaleChoiceDescriptor{.group_path = kDocumentSettingsPath,
                                                 .attribute_key = kScalePercentKey,
                                                 .apply_key = u"printing/ScaleChoice",
                                                 .buffer_units = k128,
                                                 .destination = kCopy};
constexpr GFeatureBinding kBookletPrintingChoiceDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kBookletKey,
    .apply_key = u"printing/BookletPrintingChoice",
    .destination = kCopy,
    .rows = kBookletPrintingChoiceRows};
constexpr GFeatureBinding kTTAsBitmapSettingDescriptor{.group_path = kColorMediaSettingsPath,
                                                       .attribute_key = kTrueTypeAsBitmapKey,
                                                       .apply_key = u"printing/TTAsBitmapSetting",
                                                       .destination = kNew,
                                                       .rows = kTTAsBitmapSettingRows};
constexpr GFeatureBinding kBookletTargetSizeDescriptor{.group_path = kDocumentSettingsPath,
                                                       .attribute_key = kBookletTargetSizeKey,
                                                       .apply_key = u"printing/BookletTargetSize",
                                                       .destination = kCopy,
                                                       .rows = kBookletTargetSizeRows};
constexpr GFeatureBinding kEdgeToEdgeDescriptor{.group_path = kDocumentSettingsPath,
                                                .attribute_key = kEdgeToEdgeKey,
                                                .apply_key = u"printing/EdgeToEdge",
                                                .destination = kCopy,
                                                .rows = kEdgeToEdgeRows};
constexpr GFeatureBinding kJobRetentionModeChoiceDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kJobRetentionModeKey,
    .apply_key = u"printing/JobRetentionModeChoice",
    .destination = kCopy,
    .rows = kJobRetentionModeChoiceRows};
constexpr GFeatureBinding kRasterizationChoiceDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kRasterizationKey,
    .apply_key = u"printing/RasterizationChoice",
    .buffer_units = k128,
    .destination = kNone,
    .rows = kRasterizationChoiceRows};
constexpr GFeatureBinding kRasterizationChoiceInColorDescriptor{
    .group_path = kColorMediaSettingsPath,
    .attribute_key = kRasterizationKey,
    .apply_key = u"printing/RasterizationChoice",
    .buffer_units = k128,
    .destination = kNone,
    .rows = kRasterizationChoiceRows};
constexpr GFeatureBinding kMetChoiceDescriptor{.group_path = kDocumentSettingsPath,
                                               .attribute_key = kMetChoiceKey,
                                               .apply_key = u"printing/MetChoice",
                                               .buffer_units = k128,
                                               .destination = kNone,
                                               .rows = kMetChoiceRows};
constexpr GFeatureBinding kRetChoiceDescriptor{.group_path = kDocumentSettingsPath,
                                               .attribute_key = kRetChoiceKey,
                                               .apply_key = u"printing/RetChoice",
                                               .buffer_units = k128,
                                               .destination = kNone,
                                               .rows = kRetChoiceRows};
constexpr GFeatureBinding kPatternScalingChoiceDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kPatternScalingKey,
    .apply_key = u"printing/PatternScalingChoice",
    .buffer_units = k128,
    .destination = kNone,
    .rows = kPatternScalingChoiceRows};
constexpr GFeatureBinding kBinderChoiceDescriptor{.group_path = kDocumentSettingsPath,
                                                  .attribute_key = kBinderChoiceKey,
                                                  .apply_key = u"printing/BinderChoice",
                                                  .extract_key = u"printing/BindChoice",
                                                  .destination = kCopy,
                                                  .rows = kBinderChoiceRows};
constexpr GFeatureBinding kIgnoreCollationChoiceDescriptor{
    .group_path = kColorMediaSettingsPath,
    .attribute_key = kIgnoreCollationKey,
    .apply_key = u"printing/IgnoreCollationChoice",
    .buffer_units = k64,
    .destination = kNone,
    .rows = kOffOn};
constexpr GFeatureBinding kPageOrderDescriptor{.group_path = kDocumentSettingsPath,
                                               .attribute_key = kPageOrderKey,
                                               .apply_key = u"printing/PageOrder",
                                               .destination = kNew,
                                               .rows = kPageOrderRows};
constexpr GFeatureBinding kStraightPaperPathDescriptor{.group_path = kDocumentSettingsPath,
                                                       .attribute_key = kStraightPaperPathKey,
                                                       .apply_key = u"printing/StraightPaperPath",
                                                       .destination = kCopy,
                                                       .rows = kOffOn};
constexpr GFeatureBinding kDryTimeDescriptor{.group_path = kDocumentSettingsPath,
                                             .attribute_key = kDryTimeKey,
                                             .apply_key = u"printing/DryTime",
                                             .destination = kCopy};
constexpr GFeatureBinding kEmulateGKMarginsDescriptor{.group_path = kDocumentSettingsPath,
                                                      .attribute_key = kEmulateMarginsKey,
                                                      .apply_key = u"printing/KVEmulateGKMargins",
                                                      .destination = kCopy,
                                                      .rows = kFalseTrue,
                                                      .store_first = true};
constexpr GFeatureBinding kSymmetricalMarginsDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kSymmetricalMarginsKey,
    .apply_key = u"printing/KVSymmetricalMargins",
    .destination = kCopy,
    .rows = kFalseTrue,
    .store_first = true};
// Apply reads the duplex key first (GAutoDuplexScalingConverter); extract
// writes the sub-key.
constexpr GFeatureBinding kAutoDuplexScalingDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kAutoDuplexScalingKey,
    .apply_key = u"printing/Duplex",
    .extract_key = u"printing/Duplex/KVAutoDuplexScaling",
    .destination = kCopy,
    .rows = kAutoDuplexScalingRows};
constexpr GFeatureBinding kPunchingDescriptor{.group_path = kDocumentSettingsPath,
                                              .attribute_key = kPunchingKey,
                                              .apply_key = u"printing/Punching",
                                              .destination = kNew,
                                              .rows = kPunchingRows};
constexpr GFeatureBinding kFoldingDescriptor{.group_path = kDocumentSettingsPath,
                                             .attribute_key = kFoldingKey,
                                             .apply_key = u"printing/Folding",
                                             .destination = kCopy,
                                             .rows = kFoldingRows};
constexpr GFeatureBinding kImageShiftDescriptor{.group_path = kDocumentSettingsPath,
                                                .attribute_key = kImageShiftKey,
                                                .apply_key = u"printing/KVImageShift",
                                                .extract_key = u"printing/PunchChoice",
                                                .destination = kNew,
                                                .rows = kImageShiftRows};
constexpr GFeatureBinding kTransparencyInterleaveDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kTransparencyInterleaveKey,
    .apply_key = u"printing/TransparencyInterleave",
    .destination = kNew,
    .rows = kTransparencyInterleaveRows};
constexpr GFeatureBinding kDuplexDescriptor{.group_path = kDocumentSettingsPath,
                                            .attribute_key = kDuplexKey,
                                            .apply_key = u"printing/Duplex",
                                            .destination = kCopy,
                                            .rows = kDuplexRows};
constexpr GFeatureBinding kNUpChoiceDescriptor{.group_path = kDocumentSettingsPath,
                                               .attribute_key = kPagesPerSheetKey,
                                               .apply_key = u"printing/NUpChoice",
                                               .buffer_units = k128,
                                               .destination = kCopy,
                                               .rows = kNUpChoiceRows};
constexpr GFeatureBinding kFitToOtherSizeChoiceDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kFitToOtherSizeKey,
    .apply_key = u"printing/FitToOtherSizeChoice",
    .destination = kCopy,
    .rows = kFitToOtherSizeChoiceRows};
constexpr GFeatureBinding kPrintQualityDescriptor{.group_path = kDocumentSettingsPath,
                                                  .attribute_key = kPrintQualityKey,
                                                  .apply_key = u"printing/PrintQuality",
                                                  .destination = kNew,
                                                  .rows = kPrintQualityRows};
constexpr GFeatureBinding kPrintColorAsGrayDescriptor{.group_path = kColorMediaSettingsPath,
                                                      .attribute_key = kPrintColorAsGrayKey,
                                                      .apply_key = u"printing/PrintColorAsGray",
                                                      .destination = kNew,
                                                      .rows = kPrintColorAsGrayRows};
constexpr GFeatureBinding kTintvectorDescriptor{.group_path = kColorMediaSettingsPath,
                                                .attribute_key = kColorModeKey,
                                                .apply_key = u"printing/KVTintvector",
                                                .buffer_units = k128,
                                                .destination = kCopy};
constexpr GFeatureBinding kUseDiffFirstPageChoiceDescriptor{
    .group_path = kColorMediaSettingsPath,
    .attribute_key = kDifferentFirstPageKey,
    .apply_key = u"printing/UseDiffFirstPageChoice",
    .destination = kCopy,
    .rows = kUseDiffFirstPageChoiceRows};
constexpr GFeatureBinding kWatermarksDescriptor{.group_path = kCurrentWatermarkPath,
                                                .attribute_key = kWatermarkNumberKey,
                                                .apply_key = u"printing/Watermarks",
                                                .buffer_units = k128,
                                                .destination = kCopy,
                                                .rows = kWatermarksRows};

constexpr GFeatureBinding kPaperSizeDescriptors[kSelectorCount] = {
    {.group_path = kDocumentSettingsPath,
     .attribute_key = kPaperSizeKey,
     .apply_key = u"printing/PaperSize",
     .destination = kCopy,
     .rows = kPaperSizeRows},
    {.group_path = kDocumentSettingsPath,
     .attribute_key = kTargetPaperSizeKey,
     .apply_key = u"printing/FitToOtherSizeChoice/TargetSizeChoice",
     .destination = kCopy,
     .rows = kPaperSizeRows},
    {.group_path = kDocumentSettingsPath,
     .attribute_key = kPaperSizeKey,
     .apply_key = u"printing/PaperSize",
     .destination = kCopy,
     .rows = kPaperSizeRows},
};
// The empty path: found from the root, wherever the model keeps it. The
// words are those of the tray table (GInputBinConverter).
constexpr GFeatureBinding kInputBinDescriptors[kSelectorCount] = {
    {.attribute_key = kPaperSourceKey, .apply_key = u"printing/InputBin", .destination = kCopy},
    {.attribute_key = kOtherPagesSourceKey,
     .apply_key = u"printing/UseDiffFirstPageChoice/InputBinRest",
     .destination = kCopy},
    {.attribute_key = kBackCoverSourceKey,
     .apply_key = u"printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverTrayChoice",
     .destination = kCopy},
};
// String attributes; the words are those of the media table
// (GMediaTypeConverter).
constexpr GFeatureBinding kMediaTypeDescriptors[kSelectorCount] = {
    {.attribute_key = kMediaTypeKey, .apply_key = u"printing/MediaType", .destination = kCopy},
    {.attribute_key = kOtherPagesMediaTypeKey,
     .apply_key = u"printing/UseDiffFirstPageChoice/MediaTypeRest",
     .destination = kCopy},
    {.attribute_key = kBackCoverMediaTypeKey,
     .apply_key = u"printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverMediaTypeSetting",
     .destination = kCopy},
};

// --- Sub-keys.

constexpr GFeatureBinding kBackCoverChoiceDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kBackCoverKey,
    .apply_key = u"printing/UseDiffFirstPageChoice/BackCoverChoice",
    .destination = kCopy,
    .rows = kBackCoverChoiceRows};
constexpr GFeatureBinding kNUpBordersChoiceDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kNupBordersKey,
    .apply_key = u"printing/NUpChoice/NUpBordersChoice",
    .buffer_units = k128,
    .destination = kCopy,
    .rows = kNUpBordersChoiceRows};
constexpr GFeatureBinding kNUpPageOrderChoiceDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kNupPageOrderKey,
    .apply_key = u"printing/NUpChoice/NUpPageOrderChoice",
    .destination = kCopy,
    .rows = kNUpPageOrderChoiceRows};
constexpr GFeatureBinding kPrintColorAsGrayOptionsDescriptor{
    .group_path = kDocumentSettingsPath,
    .attribute_key = kPrintColorAsGrayOptionsKey,
    .apply_key = u"printing/PrintColorAsGray[TRUE]/PrintColorAsGrayOptions",
    .destination = kCopy,
    .rows = kPrintColorAsGrayOptionsRows};
constexpr GFeatureBinding kWMFirstPageOnlyDescriptor{
    .group_path = kCurrentWatermarkPath,
    .attribute_key = kWatermarkPagesKey,
    .apply_key = u"printing/Watermarks/WMFirstPageOnly",
    .destination = kCopy,
    .rows = kWMFirstPageOnlyRows,
    .missing = kMake,
    .made_value = 2};
constexpr GFeatureBinding kWMFontStyleDescriptor{.group_path = kCurrentWatermarkPath,
                                                 .attribute_key = kWatermarkStyleKey,
                                                 .apply_key = u"printing/Watermarks/WMFontStyle",
                                                 .destination = kCopy,
                                                 .rows = kWMFontStyleRows,
                                                 .missing = kMake,
                                                 .made_value = 0,
                                                 .extract_from = kObjectGiven};
constexpr GFeatureBinding kWMShadeLevelDescriptor{.group_path = kCurrentWatermarkPath,
                                                  .attribute_key = kWatermarkShadeKey,
                                                  .apply_key = u"printing/Watermarks/WMShadeLevel",
                                                  .destination = kCopy,
                                                  .rows = kWMShadeLevelRows,
                                                  .missing = kMake,
                                                  .made_value = kDefaultShade,
                                                  .extract_from = kObjectGiven};
constexpr GFeatureBinding kWMFontEscapementDescriptor{
    .group_path = kCurrentWatermarkPath,
    .attribute_key = kWatermarkAngleKindKey,
    .apply_key = u"printing/Watermarks/WMFontEscapement",
    .destination = kCopy,
    .rows = kWMFontEscapementRows,
    .missing = kMake,
    .made_value = 1,
    .extract_from = kObjectGiven};
