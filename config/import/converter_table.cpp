#include "config/import/converter_table.h"

#include <iterator>

namespace {

// The factory's names in its order. Each comment names the converter class
// the row makes and what its maker hands it beyond the feature store. A
// null maker: no converter serves the name yet.
constexpr GConverterEntry kChain[] = {
    {u"KVTintvector", nullptr},            // 1: GTintvectorConverter; driver data
    {u"RGBColor", nullptr},                // 2: GRGBColorConverter
    {u"ScaleFromLargePaper", nullptr},     // 3: GScaleFromLargePaperConverter
    {u"OptionalPaperSources", nullptr},    // 4: GOptionalPaperSourcesConverter; driver data
    {u"MediaType", nullptr},               // 5: GMediaTypeConverter; selector 0
    {u"PrintColorAsGray", nullptr},        // 6: GPrintColorAsGrayConverter
    {u"InputBin", nullptr},                // 7: GInputBinConverter; driver data, selector 0
    {u"PrintQuality", nullptr},            // 8: GPrintQualityConverter; driver data
    {u"PaperSize", nullptr},               // 9: GPaperSizeConverter; driver data, selector 0
    {u"DuplexUnit", nullptr},              // 10: GDuplexUnitConverter
    {u"Duplex", nullptr},                  // 11: GDuplexConverter
    {u"Memory", nullptr},                  // 12: GMemoryConverter
    {u"PrinterHardDisk", nullptr},         // 13: GPrinterHardDiskConverter
    {u"DeviceIsMopier", nullptr},          // 14: GDeviceIsMopierConverter
    {u"DriverWorkSpaceSetting", nullptr},  // 15: GDriverWorkSpaceSettingConverter
    {u"JobRetentionAvailable", nullptr},   // 16: GJobRetentionAvailableConverter
    {u"JobRetention", nullptr},            // 17: GJobRetentionConverter
    {u"EnvFeeder", nullptr},               // 18: GEnvFeederConverter
    {u"AccessoryOutputBins", nullptr},     // 19: GAccessoryOutputBinsConverter; driver data
    {u"Tonerlite", nullptr},               // 20: GTonerliteConverter
    {u"Orientation", nullptr},             // 21: GOrientationConverter
    {u"StaplerChoice", nullptr},           // 22: GStaplerChoiceConverter
    // 23: GStaplingConverter when 362 holds 1200, else
    // GStaplerChoiceStaplingConverter; no converter without 362.
    {u"Stapling", nullptr},
    {u"OutputBin", nullptr},               // 24: GOutputBinConverter
    {u"Copies", nullptr},                  // 25: GCopiesConverter
    {u"TextAsBlack", nullptr},             // 26: GTextAsBlackConverter
    {u"NUpChoice", nullptr},               // 27: GNUpChoiceConverter
    {u"FitToOtherSizeChoice", nullptr},    // 28: GFitToOtherSizeChoiceConverter; driver data
    {u"ScalePageChoice", nullptr},         // 29: GScalePageChoiceConverter
    {u"ScaleChoice", nullptr},             // 30: GScaleChoiceConverter
    {u"BookletPrintingChoice", nullptr},   // 31: GBookletPrintingChoiceConverter
    {u"TTAsBitmapSetting", nullptr},       // 32: GTTAsBitmapSettingConverter
    {u"BookletTargetSize", nullptr},       // 33: GBookletTargetSizeConverter
    {u"Watermarks", nullptr},              // 34: GWatermarksConverter
    {u"BinderUnit", nullptr},              // 35: GBinderUnitConverter
    {u"ScannerChoice", nullptr},           // 36: GScannerChoiceConverter
    {u"CollationUnit", nullptr},           // 37: GCollationUnitConverter
    {u"MonoChromeChoice", nullptr},        // 38: GMonoChromeChoiceConverter
    {u"Resolution", nullptr},              // 39: GResolutionConverter
    {u"EdgeToEdge", nullptr},              // 40: GEdgeToEdgeConverter
    {u"JobRetentionModeChoice", nullptr},  // 41: GJobRetentionModeChoiceConverter
    {u"RasterizationChoice", nullptr},     // 42: GRasterizationChoiceConverter
    {u"MetChoice", nullptr},               // 43: GMetChoiceConverter
    {u"RetChoice", nullptr},               // 44: GRetChoiceConverter
    {u"PatternScalingChoice", nullptr},    // 45: GPatternScalingChoiceConverter
    {u"UseDiffFirstPageChoice", nullptr},  // 46: GUseDiffFirstPageChoiceConverter; driver data
    {u"BinderChoice", nullptr},            // 47: GBinderChoiceConverter
    {u"IgnoreCollationChoice", nullptr},   // 48: GIgnoreCollationChoiceConverter
    {u"PageOrder", nullptr},               // 49: GPageOrderConverter
    {u"Tray1", nullptr},                   // 50: GTray1Converter
    {u"ManualDuplex", nullptr},            // 51: GManualDuplexConverter
    {u"StraightPaperPath", nullptr},       // 52: GStraightPaperPathConverter
    {u"DryTime", nullptr},                 // 53: GDryTimeConverter
    {u"KVEmulateGKMargins", nullptr},      // 54: GEmulateGKMarginsConverter
    {u"KVSymmetricalMargins", nullptr},    // 55: GSymmetricalMarginsConverter
    {u"KVAutoDuplexScaling", nullptr},     // 56: GAutoDuplexScalingConverter
    {u"Punching", nullptr},                // 57: GPunchingConverter
    {u"KVPostInsertionKit",
     nullptr},                   // 58: GPostInsertionKitConverter; the short name, driver data
    {u"Folding", nullptr},       // 59: GFoldingConverter
    {u"KVImageShift", nullptr},  // 60: GImageShiftConverter
    {u"TransparencyInterleave", nullptr},  // 61: GTransparencyInterleaveConverter
    {u"KVPunchUnitType", nullptr},  // 62: GPostInsertionKitConverter; the short name, driver data
};
static_assert(std::size(kChain) == kConverterChainLength);

// GBundlesConverter ("physical/Bundles").
constexpr GConverterMaker kBundles = nullptr;

constexpr GConverterTable kDefaultTable{kChain, kBundles};

}  // namespace

const GConverterTable& DefaultConverterTable() {
  return kDefaultTable;
}
