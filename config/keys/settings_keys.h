// The settings keys: the 32-bit keys of the attributes and model objects in
// the driver's configuration and settings trees, each named once here with
// what it holds and where it sits. Code and tables use these names, never
// the bare number.
//
// The trees. The driver data file's root holds the driver configuration
// (kDriverConfigurationKey), whose printer object (kPrinterObjectKey)
// carries the job settings as its own settings (kDeviceSettingsKey) and the
// printer's devices (kPrinterLanguageDeviceKey, kJobLanguageDeviceKey). The
// job settings hold the printer model (kPrinterModelKey), the media, the
// capabilities and the default settings (kDefaultSettingsKey). The
// settings a device mode or a property sheet carries are a copy of the
// default settings: the document settings (kDocumentSettingsKey), the
// colour and media settings (kColorMediaSettingsKey), the installed options
// (kInstalledOptionsKey), the key locks and watermark list
// (kKeyLocksKey) and the user-interface objects (kUIObjectsKey). Every
// look-up is depth first, so a key is found wherever it sits below the
// composite searched. Commands carry attribute sets of their own (the
// document's, a page's, a graphic's) whose keys are listed with them.
//
// A key holds one meaning wherever it appears: the same attribute may sit in
// the settings, the job settings and a command's attribute set.
//
// Header-only and free of state: any thread.
#pragma once

#include <cstdint>

// --- The driver data file and the devices.

// The driver configuration: the peripheral composite of the printer object.
inline constexpr std::uint32_t kDriverConfigurationKey = 353;
// The printer object; its settings are the job settings.
inline constexpr std::uint32_t kPrinterObjectKey = 76;
// Paper-size mapping: spooler form numbers to paper ids (file root).
inline constexpr std::uint32_t kPaperSizeMappingKey = 191;
// Tray map: system tray numbers to the printer's trays (file root).
inline constexpr std::uint32_t kOSTrayMapKey = 84;
// Resource mappings: system bin numbers to the printer's trays (file root).
inline constexpr std::uint32_t kResourceMappingsKey = 194;
// A device's own settings composite (the printer object's: the job
// settings).
inline constexpr std::uint32_t kDeviceSettingsKey = 198;
// The group of the configuration that may hold the printer-language device.
inline constexpr std::uint32_t kLanguageGroupKey = 98;
// The printer-language device (a generator) among the printer's devices.
inline constexpr std::uint32_t kPrinterLanguageDeviceKey = 101;
// The job-language device among the printer's devices.
inline constexpr std::uint32_t kJobLanguageDeviceKey = 106;
// The printer-language device's tray map (its settings' association list).
inline constexpr std::uint32_t kPdlTrayMapKey = 85;
// The job-language device's bin map (its settings' association list).
inline constexpr std::uint32_t kJobLanguageBinMapKey = 93;

// --- The paper path model.

// The paper-handling devices (paper sources and output devices) of the
// printer model.
inline constexpr std::uint32_t kPaperHandlingKey = 90;
// A tray of a paper source.
inline constexpr std::uint32_t kTrayKey = 82;
// A bin of an output device.
inline constexpr std::uint32_t kBinKey = 91;
// A medium made by the paper model (a default medium's key).
inline constexpr std::uint32_t kModelMediumKey = 190;
// The printer's font lists (the device font list composite).
inline constexpr std::uint32_t kDeviceFontListsKey = 414;
// The margin pool that media made from custom sizes take their margins from.
inline constexpr std::uint32_t kMarginPoolKey = 959;
// The alternative margins without a margin pool: a composite of the four
// below, in ten-thousandths of an inch.
inline constexpr std::uint32_t kMarginsKey = 331;
inline constexpr std::uint32_t kLeftMarginKey = 332;
inline constexpr std::uint32_t kTopMarginKey = 333;
inline constexpr std::uint32_t kRightMarginKey = 334;
inline constexpr std::uint32_t kBottomMarginKey = 335;

// --- The job settings (the printer object's settings).

// The capability entry; its lists below say what the printer can do.
inline constexpr std::uint32_t kCapabilitiesKey = 112;
// Duplex capabilities (in the capability entry).
inline constexpr std::uint32_t kDuplexCapabilitiesKey = 113;
// Mode capabilities; bit 0 allows TrueType fonts as bitmaps.
inline constexpr std::uint32_t kModeCapabilitiesKey = 135;
// Raster capabilities (in the capability entry).
inline constexpr std::uint32_t kRasterCapabilitiesKey = 136;
// The 16-bit paper-size codes the duplex unit takes.
inline constexpr std::uint32_t kDuplexPaperSizesKey = 188;
// The media list: the medium pool of the printer's papers and size limits.
inline constexpr std::uint32_t kMediaListKey = 189;
// The association list of the papers the model offers.
inline constexpr std::uint32_t kPaperAssociationsKey = 192;
// The media list with symmetric margins (used under margin emulation).
inline constexpr std::uint32_t kAlternativeMediaListKey = 195;
// The range of copies.
inline constexpr std::uint32_t kCopiesRangeKey = 199;
// The printer memory available to the driver, a range (the driver work
// space sets its value).
inline constexpr std::uint32_t kPrinterMemoryKey = 202;
// The range of duplex choices.
inline constexpr std::uint32_t kDuplexRangeKey = 203;
// The orientation angles a document may take.
inline constexpr std::uint32_t kAllowedAnglesKey = 205;
// The resolution list; each entry holds x and y resolutions or a quality.
inline constexpr std::uint32_t kResolutionListKey = 206;
// The resolution list used when the selector below is 2.
inline constexpr std::uint32_t kAlternateResolutionListKey = 1300;
// Which resolution list applies (2: the alternate one; default settings).
inline constexpr std::uint32_t kResolutionListSelectorKey = 1302;
// The print-quality table: entries of a quality and its resolutions.
inline constexpr std::uint32_t kQualityTableKey = 903;
// A print quality that stands for both resolutions (in a resolution entry).
inline constexpr std::uint32_t kQualityKey = 902;
// The copy-page choices: values to option texts (an association list).
inline constexpr std::uint32_t kCopyPageChoicesKey = 906;
// A document's choice among the copy-page choices.
inline constexpr std::uint32_t kCopyPageChoiceKey = 907;
// Non-zero: a form refused at its resolution may be tried loosely.
inline constexpr std::uint32_t kPaperCheckKey = 911;
// The per-item download overhead of the generators.
inline constexpr std::uint32_t kItemOverheadKey = 932;
// The printer-data values: attribute keys to printer-data value names.
inline constexpr std::uint32_t kPrinterDataValuesKey = 950;
// 1 when the system's code page is East-Asian.
inline constexpr std::uint32_t kEastAsianKey = 958;
// The gray tables of the rendering side, holding the two below.
inline constexpr std::uint32_t kGrayTablesKey = 970;
inline constexpr std::uint32_t kSecondGrayTableKey = 971;
inline constexpr std::uint32_t kFirstGrayTableKey = 972;
// Extension support: 0 none, else the extensions allowed.
inline constexpr std::uint32_t kExtensionSupportKey = 984;
// Present: the manual-duplex instructions are decided by the job (also the
// job language's manual-duplex header).
inline constexpr std::uint32_t kManualDuplexInstructionsKey = 1010;
// The order in which trays are listed.
inline constexpr std::uint32_t kTrayOrderKey = 1114;
// Present: the output language may be passed through.
inline constexpr std::uint32_t kLanguageChoiceKey = 1115;
// 1: the driver name may name the series.
inline constexpr std::uint32_t kSeriesSwitchKey = 1122;
// Set to 1 when the manual-duplex filter took a document.
inline constexpr std::uint32_t kManualDuplexChosenKey = 1123;
// Media-type names the printer refuses (string attributes).
inline constexpr std::uint32_t kRefusedMediaNamesKey = 1132;
// 2: the job's tray reports the second kind.
inline constexpr std::uint32_t kTrayKindKey = 1226;
// The help file of the pages (the context's companion file).
inline constexpr std::uint32_t kCompanionFileKey = 374;
// The configuration helper library's file name.
inline constexpr std::uint32_t kSupportFileKey = 401;
// The job's font file (a path; empty when none).
inline constexpr std::uint32_t kJobFontFileKey = 445;
// The kind of job the job start records (2 when absent).
inline constexpr std::uint32_t kJobKindKey = 434;
// 1: the colour page is shown (the printer prints colour).
inline constexpr std::uint32_t kColorDeviceKey = 339;
// The output language the job recorded: its name, number and level.
inline constexpr std::uint32_t kLanguageNameKey = 560;
inline constexpr std::uint32_t kLanguageKey = 561;
inline constexpr std::uint32_t kLanguageLevelKey = 562;
// The print-quality presets "Best" and "Normal" (composites).
inline constexpr std::uint32_t kBestPresetKey = 326;
inline constexpr std::uint32_t kNormalPresetKey = 327;
// The bundles: named combinations of installed options.
inline constexpr std::uint32_t kBundlesKey = 369;
// A bundle's (or configuration set's) name.
inline constexpr std::uint32_t kBundleNameKey = 370;
// The quick-set template.
inline constexpr std::uint32_t kQuicksetTemplateKey = 375;
// A quick set's name.
inline constexpr std::uint32_t kQuicksetNameKey = 376;
// A value the flat settings record adds to the quick-set template.
inline constexpr std::uint32_t kQuicksetValueKey = 1124;

// --- The printer model (in the job settings) and the device values.

// The printer model: the device values and the installed accessories.
inline constexpr std::uint32_t kPrinterModelKey = 228;
// The model name the printer reported.
inline constexpr std::uint32_t kModelNameKey = 229;
// The model names the driver supports.
inline constexpr std::uint32_t kModelListKey = 230;
// The ranges of accessories, trays, bins, disks and media types.
inline constexpr std::uint32_t kAccessoryRangeKey = 232;
inline constexpr std::uint32_t kTrayRangeKey = 233;
inline constexpr std::uint32_t kBinRangeKey = 234;
inline constexpr std::uint32_t kDiskRangeKey = 236;
inline constexpr std::uint32_t kMediaTypeRangeKey = 700;
// The device update's status: 2 read from the printer, 1 failed, 0 not
// run.
inline constexpr std::uint32_t kDeviceUpdateStatusKey = 313;
// The printer's memory size.
inline constexpr std::uint32_t kMemorySizeKey = 201;
// The printer's page-frame memory (added to the memory size).
inline constexpr std::uint32_t kPageFrameMemoryKey = 1211;
// The duplex unit as the printer reports it (copied to kDuplexUnitKey).
inline constexpr std::uint32_t kDuplexUnitReportedKey = 204;
// The count of the printer's disks.
inline constexpr std::uint32_t kDiskCountKey = 226;
// Collation available (the printer's multiple-original mode).
inline constexpr std::uint32_t kCollationAvailableKey = 231;
// Tray 1's capacity flag.
inline constexpr std::uint32_t kTray1CapacityKey = 980;
// The scanner flag.
inline constexpr std::uint32_t kScannerKey = 1011;
// Job retention (held jobs) available.
inline constexpr std::uint32_t kJobRetentionAvailableKey = 441;
// The accessory options: records of an option name and the key it sets.
inline constexpr std::uint32_t kAccessoryOptionsKey = 1208;
inline constexpr std::uint32_t kOptionNameKey = 1206;
inline constexpr std::uint32_t kOptionTargetKey = 1207;
// A value the installed options copy from the model with the others.
inline constexpr std::uint32_t kModelOptionKey = 976;
// The bin names of the installed output accessory.
inline constexpr std::uint32_t kAccessoryBinNamesKey = 314;
// The range of bins offered with an output accessory (low and high).
inline constexpr std::uint32_t kLowBinRangeKey = 555;
inline constexpr std::uint32_t kHighBinRangeKey = 556;

// --- The settings: their parts.

// The default settings (in the job settings).
inline constexpr std::uint32_t kDefaultSettingsKey = 359;
// The settings built for a device mode or a bundle (a copy of the
// defaults).
inline constexpr std::uint32_t kBuiltSettingsKey = 360;
// The document settings.
inline constexpr std::uint32_t kDocumentSettingsKey = 362;
// The page settings.
inline constexpr std::uint32_t kPageSettingsKey = 363;
// The colour and media settings (the second document settings): also the
// copies, the watermark setting and the job features.
inline constexpr std::uint32_t kColorMediaSettingsKey = 364;
// The installed options (the printer's physical configuration).
inline constexpr std::uint32_t kInstalledOptionsKey = 365;
// The key locks (kLockListKey) and the watermark list.
inline constexpr std::uint32_t kKeyLocksKey = 366;
// The locked keys: value attributes holding the keys.
inline constexpr std::uint32_t kLockListKey = 1102;
// The extension settings (its list kExtensionSettingsListKey).
inline constexpr std::uint32_t kExtensionSettingsKey = 367;
// The extension composite (its list kExtensionDescriptionsKey).
inline constexpr std::uint32_t kExtensionCompositeKey = 368;
// The user-interface objects (flags and messages); never in a device mode.
inline constexpr std::uint32_t kUIObjectsKey = 283;
// The printing target: copies of document settings that the print-quality
// presets set and compare.
inline constexpr std::uint32_t kPrintingTargetKey = 328;
// The user-interface plug-ins' module names, in order.
inline constexpr std::uint32_t kPluginNamesKey = 63;
// The stored encoding of named objects (1: the flat settings record).
inline constexpr std::uint32_t kStoredEncodingKey = 940;
// The custom sizes.
inline constexpr std::uint32_t kCustomSizesKey = 276;
// The user's current custom size (in the custom sizes).
inline constexpr std::uint32_t kUserCustomSizeKey = 0x40000019;
// The current custom size's width and height, in tenths of a millimetre.
inline constexpr std::uint32_t kCustomWidthKey = 1260;
inline constexpr std::uint32_t kCustomHeightKey = 1261;
// The user's media-type names.
inline constexpr std::uint32_t kUserMediaTypesKey = 701;
// The importer's destination: a copy of every attribute an import set.
inline constexpr std::uint32_t kImportDestinationKey = 1101;
// The flat settings record's holder of the quick-set template's copy.
inline constexpr std::uint32_t kQuicksetTemplateCopyKey = 0x40000047;
// The quick-set pool.
inline constexpr std::uint32_t kQuicksetPoolKey = 0x4000005C;
// The one user-interface object the flat settings record always takes.
inline constexpr std::uint32_t kRecordedUIObjectKey = 0x40000018;
// The configuration sets of the settings.
inline constexpr std::uint32_t kSettingsConfigSetsKey = 1120;
// The form-to-tray database (installed options).
inline constexpr std::uint32_t kFormToTrayKey = 510;
// The model's form-to-tray table that maps a device mode's bins.
inline constexpr std::uint32_t kBinFormsKey = 193;
// The tray the form-to-tray page shows.
inline constexpr std::uint32_t kShownTrayKey = 511;
// The title of the page to open first (in the colour and media settings).
inline constexpr std::uint32_t kStartPageTitleKey = 1118;
// The job features (in the colour and media settings): run the
// mini-installer, ask the device for its options, refresh from the
// configuration helper (also asks for the configuration's export).
inline constexpr std::uint32_t kRunMiniInstallerKey = 1025;
inline constexpr std::uint32_t kAskDeviceKey = 306;
inline constexpr std::uint32_t kConfigRefreshKey = 1100;

// --- The installed options (kInstalledOptionsKey).

// "physical/PrinterHardDisk": a hard disk is installed.
inline constexpr std::uint32_t kPrinterHardDiskKey = 239;
// "physical/ManualDuplex": manual two-sided printing.
inline constexpr std::uint32_t kManualDuplexKey = 245;
// "physical/Tray1" mode: the part id of the fixed unit.
inline constexpr std::uint32_t kTray1ModeKey = 274;
// "physical/Tray1".
inline constexpr std::uint32_t kTray1Key = 974;
// "physical/EnvFeeder": the envelope feeder.
inline constexpr std::uint32_t kEnvelopeFeederKey = 275;
// "physical/DriverWorkSpaceSetting": the driver work space, in hundredths
// of a megabyte.
inline constexpr std::uint32_t kDriverWorkSpaceKey = 307;
// Copies of the work space that the hard-disk choice keeps.
inline constexpr std::uint32_t kWorkSpaceCopyKey = 337;
inline constexpr std::uint32_t kWorkSpaceSecondCopyKey = 336;
// "physical/DuplexUnit": the duplex unit.
inline constexpr std::uint32_t kDuplexUnitKey = 308;
// "physical/CollationUnit" (also "physical/DeviceIsMopier").
inline constexpr std::uint32_t kCollationUnitKey = 310;
// The stapler is installed.
inline constexpr std::uint32_t kStaplerInstalledKey = 311;
// The stitcher is installed.
inline constexpr std::uint32_t kStitcherInstalledKey = 981;
// "physical/OptionalPaperSources": the optional paper source's name.
inline constexpr std::uint32_t kOptionalPaperSourcesKey = 315;
// "physical/AccessoryOutputBins": the output accessory's name.
inline constexpr std::uint32_t kAccessoryOutputBinsKey = 316;
// The part id of the output accessory.
inline constexpr std::uint32_t kAccessoryPartKey = 213;
// The part id to select on the paper sources that are not optional.
inline constexpr std::uint32_t kSourcePartKey = 318;
// Mass-storage fonts (the font module).
inline constexpr std::uint32_t kFontModuleKey = 317;
// 1: the printer's bins are listed with its resource names.
inline constexpr std::uint32_t kBinsWithResourcesKey = 197;
// "physical/JobRetention": job storage works.
inline constexpr std::uint32_t kJobRetentionKey = 520;
// "physical/BinderUnit".
inline constexpr std::uint32_t kBinderUnitKey = 613;
// "physical/ScannerChoice".
inline constexpr std::uint32_t kScannerChoiceKey = 918;
// "physical/MonoChromeChoice".
inline constexpr std::uint32_t kMonochromeKey = 518;
// "physical/Memory": the installed memory, in megabytes.
inline constexpr std::uint32_t kMemoryKey = 925;
// "physical/ScaleFromLargePaper"; non-zero also ends the forms' custom-range
// check.
inline constexpr std::uint32_t kScaleFromLargePaperKey = 915;
// The configuration status (a string id such as "Auto-Configured"); in a
// bundle or configuration set, its number.
inline constexpr std::uint32_t kConfigStatusKey = 927;
// The folding unit.
inline constexpr std::uint32_t kFoldingUnitKey = 1004;
// "physical/KVPostInsertionKit" and "physical/KVPunchUnitType".
inline constexpr std::uint32_t kPostInsertionKitKey = 1205;
inline constexpr std::uint32_t kPunchUnitTypeKey = 1203;
// The gate of the edge-to-edge value: -1 or absent means not supported.
inline constexpr std::uint32_t kEdgeToEdgeGateKey = 444;
// The source of the mapped job attributes.
inline constexpr std::uint32_t kMappedSourceKey = 1243;

// --- The document settings and the document's and pages' attribute sets.

// "printing/Copies".
inline constexpr std::uint32_t kCopiesKey = 291;
// "printing/Collate" of a sheet: 1 collates.
inline constexpr std::uint32_t kCollateKey = 292;
// The copies the job collates (the job side of the collation).
inline constexpr std::uint32_t kCollatedCopiesKey = 247;
// The copies the printer makes of each page.
inline constexpr std::uint32_t kPrinterCopiesKey = 257;
// "printing/IgnoreCollationChoice".
inline constexpr std::uint32_t kIgnoreCollationKey = 451;
// "printing/Duplex": 0 one-sided, else the binding edge.
inline constexpr std::uint32_t kDuplexKey = 253;
// "printing/Duplex" as a scaling switch: 0 scales the back ("TRUE").
inline constexpr std::uint32_t kAutoDuplexScalingKey = 983;
// "printing/Orientation", in degrees.
inline constexpr std::uint32_t kOrientationKey = 265;
// The sheet's orientation the N-up filter sets.
inline constexpr std::uint32_t kSheetOrientationKey = 1235;
// Non-zero: the orientation's alternative turns the other way.
inline constexpr std::uint32_t kOrientationFlipKey = 929;
// "printing/OutputBin".
inline constexpr std::uint32_t kOutputBinKey = 248;
// "printing/RetChoice", "printing/MetChoice", "printing/Tonerlite".
inline constexpr std::uint32_t kRetChoiceKey = 250;
inline constexpr std::uint32_t kMetChoiceKey = 251;
inline constexpr std::uint32_t kTonerliteKey = 252;
// "printing/RasterizationChoice".
inline constexpr std::uint32_t kRasterizationKey = 255;
// "printing/NUpChoice" composite: pages per sheet, borders, page order.
inline constexpr std::uint32_t kNupSettingsKey = 329;
inline constexpr std::uint32_t kPagesPerSheetKey = 266;
inline constexpr std::uint32_t kNupBordersKey = 267;
inline constexpr std::uint32_t kNupPageOrderKey = 268;
// "printing/ScaleChoice": the percentage of the normal size.
inline constexpr std::uint32_t kScalePercentKey = 269;
// "printing/ScalePageChoice": 0 fit without scaling, 1 scale to fit.
inline constexpr std::uint32_t kScalePageChoiceKey = 271;
// "printing/PatternScalingChoice".
inline constexpr std::uint32_t kPatternScalingKey = 277;
// "printing/StaplerChoice" and its "Stapling".
inline constexpr std::uint32_t kStaplerChoiceKey = 278;
inline constexpr std::uint32_t kStaplerStaplingKey = 289;
// The stitching flag that "Stitching" sets.
inline constexpr std::uint32_t kStitchingKey = 982;
// "printing/Stapling".
inline constexpr std::uint32_t kStaplingKey = 1200;
// "printing/Punching", "printing/Folding", "printing/KVImageShift",
// "printing/TransparencyInterleave", "printing/DryTime".
inline constexpr std::uint32_t kPunchingKey = 1201;
inline constexpr std::uint32_t kFoldingKey = 1209;
inline constexpr std::uint32_t kImageShiftKey = 1202;
inline constexpr std::uint32_t kTransparencyInterleaveKey = 1204;
inline constexpr std::uint32_t kDryTimeKey = 1133;
// "printing/BinderChoice".
inline constexpr std::uint32_t kBinderChoiceKey = 612;
// "printing/BookletPrintingChoice": 0 off, 1 left edge, 2 right edge.
inline constexpr std::uint32_t kBookletKey = 279;
// "printing/BookletTargetSize".
inline constexpr std::uint32_t kBookletTargetSizeKey = 280;
// The booklet's target medium.
inline constexpr std::uint32_t kBookletMediumKey = 281;
// The booklet's sheet order: 1 from the middle outwards.
inline constexpr std::uint32_t kBookletSheetOrderKey = 288;
// "printing/TTAsBitmapSetting".
inline constexpr std::uint32_t kTrueTypeAsBitmapKey = 293;
// "printing/TextAsBlack".
inline constexpr std::uint32_t kTextAsBlackKey = 585;
// "printing/EdgeToEdge".
inline constexpr std::uint32_t kEdgeToEdgeKey = 442;
// "printing/JobRetentionModeChoice".
inline constexpr std::uint32_t kJobRetentionModeKey = 287;
// "printing/PageOrder": 0 front to back, 1 back to front.
inline constexpr std::uint32_t kPageOrderKey = 710;
// Non-zero: the duplex value inverts the page order.
inline constexpr std::uint32_t kInvertOrderKey = 1116;
// "printing/StraightPaperPath".
inline constexpr std::uint32_t kStraightPaperPathKey = 905;
// A second straight-path switch that lets the duplex letterhead pass.
inline constexpr std::uint32_t kStraightPaperPathSecondKey = 1227;
// "printing/KVEmulateGKMargins": margin emulation.
inline constexpr std::uint32_t kEmulateMarginsKey = 711;
// "printing/KVSymmetricalMargins".
inline constexpr std::uint32_t kSymmetricalMarginsKey = 713;
// "printing/PrintQuality".
inline constexpr std::uint32_t kPrintQualityKey = 901;
// The resolution composite: x, y and the resolution mode.
inline constexpr std::uint32_t kResolutionKey = 249;
inline constexpr std::uint32_t kXResolutionKey = 323;
inline constexpr std::uint32_t kYResolutionKey = 324;
inline constexpr std::uint32_t kResolutionModeKey = 325;
// Set to 1 when an import chose a photo medium.
inline constexpr std::uint32_t kPhotoMediaKey = 1029;
// The marker an import of the paper size adds to the destination.
inline constexpr std::uint32_t kPaperSizeMarkerKey = 1111;
// The rules' switch of a page: 1 takes the document (face up, covers), 2
// cancels the preprinted-paper rule.
inline constexpr std::uint32_t kRuleSwitchKey = 1229;
// A page the rendering side repeated (1).
inline constexpr std::uint32_t kRepeatedPageKey = 1246;
// The target of the mapped job attributes, and their switch.
inline constexpr std::uint32_t kMappedTargetKey = 330;
inline constexpr std::uint32_t kMappedSwitchKey = 1244;
// The text a job header displays, and 1 when it is an operator message.
inline constexpr std::uint32_t kDisplayTextKey = 800;
inline constexpr std::uint32_t kOperatorMessageKey = 801;
// The connection: 1 a local port, 3 another.
inline constexpr std::uint32_t kConnectionKey = 1012;
// The margins of a medium at the edge, per ten thousand of its size.
inline constexpr std::uint32_t kWidthMarginKey = 501;
inline constexpr std::uint32_t kHeightMarginKey = 502;
// The rendering side's duplex and bin choices.
inline constexpr std::uint32_t kRenderDuplexChoiceKey = 570;
inline constexpr std::uint32_t kRenderBinChoiceKey = 571;

// --- The medium and the paper, by page group.

// The medium of the document or of a page (a medium object).
inline constexpr std::uint32_t kMediumKey = 259;
// The paper size (a paper id).
inline constexpr std::uint32_t kPaperSizeKey = 260;
// "printing/FitToOtherSizeChoice": 1 prints on another paper size.
inline constexpr std::uint32_t kFitToOtherSizeKey = 270;
// The paper size to print on when fitting to another size.
inline constexpr std::uint32_t kTargetPaperSizeKey = 272;
// The medium to print on when fitting to another size.
inline constexpr std::uint32_t kTargetMediumKey = 273;
// "printing/UseDiffFirstPageChoice": the first page differs.
inline constexpr std::uint32_t kDifferentFirstPageKey = 264;
// The paper source and media-type name of each page group: first page,
// other pages, back cover, front cover (or insert), last page.
inline constexpr std::uint32_t kPaperSourceKey = 258;
inline constexpr std::uint32_t kMediaTypeKey = 261;
inline constexpr std::uint32_t kOtherPagesSourceKey = 263;
inline constexpr std::uint32_t kOtherPagesMediaTypeKey = 262;
inline constexpr std::uint32_t kBackCoverSourceKey = 921;
inline constexpr std::uint32_t kBackCoverMediaTypeKey = 973;
inline constexpr std::uint32_t kFrontCoverSourceKey = 1214;
inline constexpr std::uint32_t kFrontCoverMediaTypeKey = 1215;
inline constexpr std::uint32_t kLastPageSourceKey = 1212;
inline constexpr std::uint32_t kLastPageMediaTypeKey = 1213;
// The further paper sources an import fills after the first page's.
inline constexpr std::uint32_t kFurtherSourceKey = 1216;
inline constexpr std::uint32_t kFurtherSecondSourceKey = 1217;
// "BackCoverChoice": 0 none, 1 the first page's paper, 2 its own source.
inline constexpr std::uint32_t kBackCoverKey = 920;
// A front cover (or insert pages).
inline constexpr std::uint32_t kFrontCoverKey = 1218;
// The cover mode: 1 covers follow the simplex cover rule.
inline constexpr std::uint32_t kCoverModeKey = 1240;

// --- Colour.

// The colour adjustment: the Tintvector attribute.
inline constexpr std::uint32_t kColorAdjustmentKey = 295;
// The colour adjustment made for transparencies.
inline constexpr std::uint32_t kTransparencyColorAdjustmentKey = 227;
// The colour adjustment made for other papers (in the configuration).
inline constexpr std::uint32_t kPaperColorAdjustmentKey = 208;
// "printing/KVTintvector": the colour mode.
inline constexpr std::uint32_t kColorModeKey = 304;
// "printing/PrintColorAsGray", and its options.
inline constexpr std::uint32_t kPrintColorAsGrayKey = 296;
inline constexpr std::uint32_t kPrintColorAsGrayOptionsKey = 410;
// 0 or absent: a device mode may ask for colour.
inline constexpr std::uint32_t kColorPossibleKey = 294;
// Image colour management: on, method, intent.
inline constexpr std::uint32_t kIcmKey = 298;
inline constexpr std::uint32_t kIcmMethodKey = 350;
inline constexpr std::uint32_t kIcmIntentKey = 351;
// The colour translation lists of the style attributes.
inline constexpr std::uint32_t kHalftoneListKey = 533;
inline constexpr std::uint32_t kColorMapListKey = 537;
inline constexpr std::uint32_t kNeutralGraysListKey = 543;
inline constexpr std::uint32_t kEdgeControlListKey = 545;
inline constexpr std::uint32_t kSRGBColorListKey = 552;  // sRGB colour and extension

// --- The print-quality presets (kBestPresetKey, kNormalPresetKey).

// A preset's resolution: a composite of the three below.
inline constexpr std::uint32_t kPresetResolutionKey = 222;
inline constexpr std::uint32_t kPresetXResolutionKey = 223;
inline constexpr std::uint32_t kPresetYResolutionKey = 224;
inline constexpr std::uint32_t kPresetResolutionModeKey = 225;
// The halftone set: while it is non-zero, the halftone choices are copied.
inline constexpr std::uint32_t kPresetHalftoneSetKey = 593;
// What a preset (and the printing target) sets each document setting to.
inline constexpr std::uint32_t kPresetRetChoiceKey = 218;
inline constexpr std::uint32_t kPresetMetChoiceKey = 219;
inline constexpr std::uint32_t kPresetTrueTypeAsBitmapKey = 220;
inline constexpr std::uint32_t kPresetPatternScalingKey = 221;
inline constexpr std::uint32_t kPresetRasterizationKey = 242;
inline constexpr std::uint32_t kPresetManualDuplexKey = 402;
inline constexpr std::uint32_t kPresetEdgeToEdgeKey = 443;
inline constexpr std::uint32_t kPresetTextAsBlackKey = 589;
inline constexpr std::uint32_t kPresetPaperCheckKey = 912;
// Settings that the presets alone set; the configuration gives them no
// other meaning. Each pair: the document setting and the preset's value.
inline constexpr std::uint32_t kQualityDocumentOptionKey = 405;
inline constexpr std::uint32_t kPresetQualityDocumentOptionKey = 409;
inline constexpr std::uint32_t kQualityDocumentSecondOptionKey = 703;
inline constexpr std::uint32_t kPresetQualityDocumentSecondOptionKey = 705;
inline constexpr std::uint32_t kQualityColorOptionKey = 900;
inline constexpr std::uint32_t kPresetQualityColorOptionKey = 404;
inline constexpr std::uint32_t kQualityColorSecondOptionKey = 910;
inline constexpr std::uint32_t kPresetQualityColorSecondOptionKey = 913;
// The three halftone choices, and the preset's values.
inline constexpr std::uint32_t kFirstHalftoneKey = 582;
inline constexpr std::uint32_t kSecondHalftoneKey = 583;
inline constexpr std::uint32_t kThirdHalftoneKey = 584;
inline constexpr std::uint32_t kPresetFirstHalftoneKey = 586;
inline constexpr std::uint32_t kPresetSecondHalftoneKey = 587;
inline constexpr std::uint32_t kPresetThirdHalftoneKey = 588;

// --- The watermarks.

// The watermark list (in kKeyLocksKey): definitions keyed below.
inline constexpr std::uint32_t kWatermarkListKey = 378;
// A watermark definition.
inline constexpr std::uint32_t kWatermarkDefinitionKey = 380;
// The job's watermark setting (in the colour and media settings).
inline constexpr std::uint32_t kWatermarkSettingKey = 379;
// In the setting: 0 when a watermark is drawn.
inline constexpr std::uint32_t kWatermarkOffKey = 381;
// In the setting: which pages, 0 every page, 1 the first page only.
inline constexpr std::uint32_t kWatermarkPagesKey = 382;
// In the setting: the selected watermark's name.
inline constexpr std::uint32_t kSelectedWatermarkKey = 383;
// In a definition (and copied into the setting): name, text, face name,
// character set, style bits, weight, point size, width, angle kind,
// custom angle, two kept values, red, green, blue, shade level, and the
// number of the built-in entry.
inline constexpr std::uint32_t kWatermarkNameKey = 384;
inline constexpr std::uint32_t kWatermarkTextKey = 385;
inline constexpr std::uint32_t kWatermarkFaceKey = 386;
inline constexpr std::uint32_t kWatermarkCharSetKey = 387;
inline constexpr std::uint32_t kWatermarkStyleKey = 388;
inline constexpr std::uint32_t kWatermarkWeightKey = 389;
inline constexpr std::uint32_t kWatermarkPointSizeKey = 390;
inline constexpr std::uint32_t kWatermarkWidthKey = 392;
inline constexpr std::uint32_t kWatermarkAngleKindKey = 393;
inline constexpr std::uint32_t kWatermarkAngleKey = 394;
inline constexpr std::uint32_t kWatermarkKeptKey = 396;
inline constexpr std::uint32_t kWatermarkSecondKeptKey = 397;
inline constexpr std::uint32_t kWatermarkRedKey = 398;
inline constexpr std::uint32_t kWatermarkGreenKey = 399;
inline constexpr std::uint32_t kWatermarkBlueKey = 400;
inline constexpr std::uint32_t kWatermarkShadeKey = 403;
inline constexpr std::uint32_t kWatermarkNumberKey = 1112;
// In a definition: 1 shared, 2 local to the user.
inline constexpr std::uint32_t kWatermarkScopeKey = 1125;
// The gray level of the default watermarks (default settings).
inline constexpr std::uint32_t kDefaultWatermarkGrayKey = 924;

// --- Job storage and the job's name.

// Job storage's attributes in the document settings, in the order a job
// copies them.
inline constexpr std::uint32_t kJobStorageKeys[] = {975, 1000, 999, 1007, 1008, 1022, 1131};
// 0: ask the rendering side for the job name.
inline constexpr std::uint32_t kJobNameFromRendererKey = 1035;
// The job name, and the name used when the document has none.
inline constexpr std::uint32_t kJobNameKey = 1031;
inline constexpr std::uint32_t kFallbackJobNameKey = 1032;
// 1: the job name gets the suffix "(01-99)".
inline constexpr std::uint32_t kJobNameSuffixKey = 1232;
// Present: the job name is checked against the character map below.
inline constexpr std::uint32_t kJobNameCheckKey = 1027;
inline constexpr std::uint32_t kJobNameCharMapKey = 1026;
// The job-storage notice: 0 names the logged-on user, else the user below.
inline constexpr std::uint32_t kNoticeLoggedOnUserKey = 1034;
inline constexpr std::uint32_t kNoticeUserKey = 1036;
// Local job storage: 1 when the user's choice is on.
inline constexpr std::uint32_t kLocalJobStorageKey = 1033;

// --- The extensions.

// The extension descriptions (in kExtensionCompositeKey) and the extension
// settings (in kExtensionSettingsKey).
inline constexpr std::uint32_t kExtensionDescriptionsKey = 987;
inline constexpr std::uint32_t kExtensionSettingsListKey = 997;
// A description's texts, in the order of the description record: its
// identity, name, text, user-interface module, job module and about texts.
inline constexpr std::uint32_t kExtensionIdentityKey = 988;
inline constexpr std::uint32_t kExtensionNameKey = 989;
inline constexpr std::uint32_t kExtensionTextKey = 990;
inline constexpr std::uint32_t kExtensionUIModuleKey = 991;
inline constexpr std::uint32_t kExtensionJobModuleKey = 992;
inline constexpr std::uint32_t kExtensionAboutTextKey = 993;
inline constexpr std::uint32_t kExtensionAboutMoreKey = 994;
// An entry's index, flags and settings bytes.
inline constexpr std::uint32_t kExtensionIndexKey = 995;
inline constexpr std::uint32_t kExtensionFlagsKey = 996;
inline constexpr std::uint32_t kExtensionSettingsBytesKey = 998;
// The extensions' data on a document start: job language and page
// description.
inline constexpr std::uint32_t kJobLanguageDataKey = 985;
inline constexpr std::uint32_t kPageDescriptionDataKey = 986;

// --- Commands and graphics.

// The attribute set of a document command, a page command, a graphic.
inline constexpr std::uint32_t kDocumentAttributesKey = 246;
inline constexpr std::uint32_t kPageAttributesKey = 256;
inline constexpr std::uint32_t kGraphicBundleKey = 244;
// In a graphic bundle: brush, pen, clip, raster operation, and three
// attributes the reducing filter carries along.
inline constexpr std::uint32_t kBrushKey = 154;
inline constexpr std::uint32_t kPenKey = 160;
inline constexpr std::uint32_t kClipKey = 177;
inline constexpr std::uint32_t kRasterOperationKey = 183;
inline constexpr std::uint32_t kBundleFirstKey = 166;
inline constexpr std::uint32_t kBundleSecondKey = 172;
inline constexpr std::uint32_t kBundleThirdKey = 182;
// A spooled page: the keyed command, the font file's path and the job
// cookie (radix 16).
inline constexpr std::uint32_t kKeyedCommandKey = 406;
inline constexpr std::uint32_t kFontFilePathKey = 407;
inline constexpr std::uint32_t kJobCookieKey = 408;

// --- The option lists of the configuration.

inline constexpr std::uint32_t kMediaOptionListsKey = 978;
inline constexpr std::uint32_t kBookletOptionListsKey = 909;

// --- User-interface objects (in kUIObjectsKey): the rules' flags (a state:
// 0 available, 1 shown but disabled, 2 hidden) and messages (a text id, 0
// for none), and what the pages keep across switches.

// The page group the Paper page edits: 0 first page, 1 other pages, 2 back
// cover, 3 front cover, 4 last page.
inline constexpr std::uint32_t kPageGroupSelectorKey = 0x40000041;
// The two-sided group: its flags and message.
inline constexpr std::uint32_t kDuplexFlagKey = 0x4000001B;
inline constexpr std::uint32_t kDuplexGroupFlagKey = 0x4000001D;
inline constexpr std::uint32_t kDuplexMessageKey = 0x4000001C;
// The N-up, scale, booklet and size-limit conflicts.
inline constexpr std::uint32_t kNupConflictFlagKey = 0x40000023;
inline constexpr std::uint32_t kNupConflictMessageKey = 0x40000024;
inline constexpr std::uint32_t kScaleConflictFlagKey = 0x40000025;
inline constexpr std::uint32_t kScaleConflictMessageKey = 0x40000026;
inline constexpr std::uint32_t kBookletFlagKey = 0x40000027;
inline constexpr std::uint32_t kBookletMessageKey = 0x40000028;
inline constexpr std::uint32_t kSizeLimitFlagKey = 0x40000029;
inline constexpr std::uint32_t kSizeLimitMessageKey = 0x4000002A;
// The automatic-configuration notices: the options were read from the
// printer, the reading has not run.
inline constexpr std::uint32_t kAutoConfigDoneFlagKey = 0x40000031;
inline constexpr std::uint32_t kAutoConfigDoneMessageKey = 0x40000032;
inline constexpr std::uint32_t kAutoConfigNotRunFlagKey = 0x40000033;
inline constexpr std::uint32_t kAutoConfigNotRunMessageKey = 0x40000034;
// The fit-to-paper notice.
inline constexpr std::uint32_t kFitToPaperFlagKey = 0x40000037;
inline constexpr std::uint32_t kFitToPaperMessageKey = 0x40000038;
// The permission notices: the access flags, the effective ones.
inline constexpr std::uint32_t kPermissionFlagKey = 0x40000039;
inline constexpr std::uint32_t kPermissionMessageKey = 0x4000003A;
inline constexpr std::uint32_t kEffectivePermissionFlagKey = 0x4000009D;
inline constexpr std::uint32_t kEffectivePermissionMessageKey = 0x4000009E;
// The TrueType-as-bitmap notice.
inline constexpr std::uint32_t kTrueTypeBitmapFlagKey = 0x4000003B;
inline constexpr std::uint32_t kTrueTypeBitmapMessageKey = 0x4000003C;
// Flags the tray-media rule resets.
inline constexpr std::uint32_t kTrayMediaFlagKey = 0x4000003F;
inline constexpr std::uint32_t kTrayMediaSecondFlagKey = 0x40000040;
inline constexpr std::uint32_t kTrayConflictSecondFlagKey = 0x40000073;
inline constexpr std::uint32_t kTrayConflictThirdFlagKey = 0x400000B8;
// The tray conflict: its flag and message, and the last page's.
inline constexpr std::uint32_t kTrayConflictFlagKey = 0x40000071;
inline constexpr std::uint32_t kTrayConflictMessageKey = 0x40000072;
inline constexpr std::uint32_t kLastPageConflictFlagKey = 0x400000B5;
inline constexpr std::uint32_t kLastPageConflictMessageKey = 0x40000092;
// The memory rule: its two flags and message.
inline constexpr std::uint32_t kMemoryFlagKey = 0x4000006D;
inline constexpr std::uint32_t kMemorySecondFlagKey = 0x4000007A;
inline constexpr std::uint32_t kMemoryMessageKey = 0x4000006E;
// The back cover in a booklet.
inline constexpr std::uint32_t kBackCoverBookletFlagKey = 0x4000007C;
inline constexpr std::uint32_t kBackCoverBookletMessageKey = 0x4000007D;
// The rasterization rule's three flag and message pairs.
inline constexpr std::uint32_t kRasterizationFlagKey = 0x400000A3;
inline constexpr std::uint32_t kRasterizationMessageKey = 0x400000A4;
inline constexpr std::uint32_t kRasterizationSecondFlagKey = 0x400000A5;
inline constexpr std::uint32_t kRasterizationSecondMessageKey = 0x400000A6;
inline constexpr std::uint32_t kRasterizationThirdFlagKey = 0x400000A7;
inline constexpr std::uint32_t kRasterizationThirdMessageKey = 0x400000A8;
// 1: the tray picture takes no clicks.
inline constexpr std::uint32_t kTraySelectionLockKey = 0x40000091;
// 1: the media type cannot be chosen.
inline constexpr std::uint32_t kMediaTypeLockKey = 0x40000093;
// Tips that no rule sets: the watermark layout's and font's, the font
// cards', the more configuration options'.
inline constexpr std::uint32_t kWatermarkLayoutTipFlagKey = 0x40000048;
inline constexpr std::uint32_t kWatermarkLayoutTipMessageKey = 0x40000049;
inline constexpr std::uint32_t kWatermarkFontTipFlagKey = 0x4000009F;
inline constexpr std::uint32_t kWatermarkFontTipMessageKey = 0x400000A0;
inline constexpr std::uint32_t kFontCardTipFlagKey = 0x40000097;
inline constexpr std::uint32_t kFontCardTipMessageKey = 0x40000098;
inline constexpr std::uint32_t kMoreOptionsTipFlagKey = 0x400000BF;
inline constexpr std::uint32_t kMoreOptionsTipMessageKey = 0x400000C0;
// The tray picture's saved pairs (first in the low 16 bits) and values.
inline constexpr std::uint32_t kTrayPictureFirstPairKey = 0x4000004A;
inline constexpr std::uint32_t kTrayPictureSavedValueKey = 0x40000050;
inline constexpr std::uint32_t kTrayPictureSecondSavedValueKey = 0x40000051;
