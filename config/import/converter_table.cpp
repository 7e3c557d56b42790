#include "config/import/converter_table.h"

#include <iterator>

#include "config/attributes/attribute_composite.h"
#include "config/import/accessory_converter.h"
#include "config/import/bundles_converter.h"
#include "config/import/converter_descriptors.h"
#include "config/import/finishing_converters.h"
#include "config/import/layout_converters.h"
#include "config/import/number_converters.h"
#include "config/import/output_bin_converter.h"
#include "config/import/resolution_converters.h"
#include "config/import/stapling_converters.h"
#include "foundation/rw/support.h"

namespace {

// Makers by what the converter is given besides the feature store.
template <class Converter>
GSettingConverter* Make(const GConverterArguments& arguments) {
  return RWNew<Converter>(arguments.store);
}

GSettingConverter* MakePostInsertionKit(const GConverterArguments& arguments) {
  return RWNew<GPostInsertionKitConverter>(arguments.store, arguments.short_name,
                                           arguments.driver_data);
}

GSettingConverter* MakeAccessoryOutputBins(const GConverterArguments& arguments) {
  return RWNew<GAccessoryOutputBinsConverter>(arguments.store, arguments.driver_data);
}

GSettingConverter* MakeStapling(const GConverterArguments& arguments) {
  MPersistentObject* document = GSettingConverter::FindPath(arguments.root, kDocumentSettingsPath);
  if (document == nullptr) return nullptr;
  if (document->FindByKey(kStaplingDescriptor.attribute_key) != nullptr) {
    return Make<GStaplingConverter>(arguments);
  }
  return Make<GStaplerChoiceStaplingConverter>(arguments);
}

GSettingConverter* MakeBundles(const GConverterArguments& arguments) {
  return RWNew<GBundlesConverter>(arguments.store, arguments.driver_data);
}

// The factory's names in its order. Each comment names the converter class
// the row makes and what its maker hands it beyond the feature store. A
// null maker: no converter serves the name yet.
constexpr GConverterEntry kChain[] = {
    {u"KVTintvector", nullptr},          // 1: GTintvectorConverter; driver data
    {u"RGBColor", nullptr},              // 2: GRGBColorConverter
    {u"ScaleFromLargePaper", nullptr},   // 3: GScaleFromLargePaperConverter
    {u"OptionalPaperSources", nullptr},  // 4: GOptionalPaperSourcesConverter; driver data
    {u"MediaType", nullptr},             // 5: GMediaTypeConverter; selector 0
    {u"PrintColorAsGray", nullptr},      // 6: GPrintColorAsGrayConverter
    {u"InputBin", nullptr},              // 7: GInputBinConverter; driver data, selector 0
    {u"PrintQuality", nullptr},          // 8: GPrintQualityConverter; driver data
    {u"PaperSize", nullptr},             // 9: GPaperSizeConverter; driver data, selector 0
    {u"DuplexUnit", nullptr},            // 10: GDuplexUnitConverter
    {u"Duplex", nullptr},                // 11: GDuplexConverter
    {u"Memory", nullptr},                // 12: GMemoryConverter
    {u"PrinterHardDisk", &Make<GPrinterHardDiskConverter>},
    {u"DeviceIsMopier", &Make<GDeviceIsMopierConverter>},
    {u"DriverWorkSpaceSetting", &Make<GDriverWorkSpaceSettingConverter>},
    {u"JobRetentionAvailable", &Make<GJobRetentionAvailableConverter>},
    {u"JobRetention", &Make<GJobRetentionConverter>},
    {u"EnvFeeder", &Make<GEnvFeederConverter>},
    {u"AccessoryOutputBins", &MakeAccessoryOutputBins},  // driver data
    {u"Tonerlite", &Make<GTonerliteConverter>},
    {u"Orientation", &Make<GOrientationConverter>},
    {u"StaplerChoice", &Make<GStaplerChoiceConverter>},
    {u"Stapling", &MakeStapling},  // by the model (see the header)
    {u"OutputBin", &Make<GOutputBinConverter>},
    {u"Copies", &Make<GCopiesConverter>},
    {u"TextAsBlack", &Make<GTextAsBlackConverter>},
    {u"NUpChoice", nullptr},             // 27: GNUpChoiceConverter
    {u"FitToOtherSizeChoice", nullptr},  // 28: GFitToOtherSizeChoiceConverter; driver data
    {u"ScalePageChoice", &Make<GScalePageChoiceConverter>},
    {u"ScaleChoice", &Make<GScaleChoiceConverter>},
    {u"BookletPrintingChoice", &Make<GBookletPrintingChoiceConverter>},
    {u"TTAsBitmapSetting", &Make<GTTAsBitmapSettingConverter>},
    {u"BookletTargetSize", &Make<GBookletTargetSizeConverter>},
    {u"Watermarks", nullptr},  // 34: GWatermarksConverter
    {u"BinderUnit", &Make<GBinderUnitConverter>},
    {u"ScannerChoice", &Make<GScannerChoiceConverter>},
    {u"CollationUnit", &Make<GCollationUnitConverter>},
    {u"MonoChromeChoice", &Make<GMonoChromeChoiceConverter>},
    {u"Resolution", &Make<GResolutionConverter>},
    {u"EdgeToEdge", &Make<GEdgeToEdgeConverter>},
    {u"JobRetentionModeChoice", &Make<GJobRetentionModeChoiceConverter>},
    {u"RasterizationChoice", &Make<GRasterizationChoiceConverter>},
    {u"MetChoice", &Make<GMetChoiceConverter>},
    {u"RetChoice", &Make<GRetChoiceConverter>},
    {u"PatternScalingChoice", &Make<GPatternScalingChoiceConverter>},
    {u"UseDiffFirstPageChoice", nullptr},  // 46: GUseDiffFirstPageChoiceConverter; driver data
    {u"BinderChoice", &Make<GBinderChoiceConverter>},
    {u"IgnoreCollationChoice", &Make<GIgnoreCollationChoiceConverter>},
    {u"PageOrder", &Make<GPageOrderConverter>},
    {u"Tray1", &Make<GTray1Converter>},
    {u"ManualDuplex", &Make<GManualDuplexConverter>},
    {u"StraightPaperPath", &Make<GStraightPaperPathConverter>},
    {u"DryTime", &Make<GDryTimeConverter>},
    {u"KVEmulateGKMargins", &Make<GEmulateGKMarginsConverter>},
    {u"KVSymmetricalMargins", &Make<GSymmetricalMarginsConverter>},
    {u"KVAutoDuplexScaling", &Make<GAutoDuplexScalingConverter>},
    {u"Punching", &Make<GPunchingConverter>},
    {u"KVPostInsertionKit", &MakePostInsertionKit},  // the short name, driver data
    {u"Folding", &Make<GFoldingConverter>},
    {u"KVImageShift", &Make<GImageShiftConverter>},
    {u"TransparencyInterleave", &Make<GTransparencyInterleaveConverter>},
    {u"KVPunchUnitType", &MakePostInsertionKit},  // the short name, driver data
};
static_assert(std::size(kChain) == kConverterChainLength);

constexpr GConverterTable kDefaultTable{kChain, &MakeBundles};

#define DESCRIBED(Class, descriptor) \
  { #Class, &descriptor, &Make < Class> }
constexpr GDescribedConverterInfo kDescribed[] = {
    DESCRIBED(GPrinterHardDiskConverter, kPrinterHardDiskDescriptor),
    DESCRIBED(GDeviceIsMopierConverter, kDeviceIsMopierDescriptor),
    DESCRIBED(GDriverWorkSpaceSettingConverter, kDriverWorkSpaceSettingDescriptor),
    DESCRIBED(GJobRetentionAvailableConverter, kJobRetentionAvailableDescriptor),
    DESCRIBED(GJobRetentionConverter, kJobRetentionDescriptor),
    DESCRIBED(GEnvFeederConverter, kEnvFeederDescriptor),
    {"GAccessoryOutputBinsConverter", &kAccessoryOutputBinsDescriptor, &MakeAccessoryOutputBins},
    DESCRIBED(GTonerliteConverter, kTonerliteDescriptor),
    DESCRIBED(GOrientationConverter, kOrientationDescriptor),
    DESCRIBED(GStaplerChoiceConverter, kStaplerChoiceDescriptor),
    DESCRIBED(GStaplingConverter, kStaplingDescriptor),
    DESCRIBED(GStaplerChoiceStaplingConverter, kStaplerChoiceStaplingDescriptor),
    DESCRIBED(GOutputBinConverter, kOutputBinDescriptor),
    DESCRIBED(GCopiesConverter, kCopiesDescriptor),
    DESCRIBED(GTextAsBlackConverter, kTextAsBlackDescriptor),
    DESCRIBED(GScalePageChoiceConverter, kScalePageChoiceDescriptor),
    DESCRIBED(GScaleChoiceConverter, kScaleChoiceDescriptor),
    DESCRIBED(GBookletPrintingChoiceConverter, kBookletPrintingChoiceDescriptor),
    DESCRIBED(GTTAsBitmapSettingConverter, kTTAsBitmapSettingDescriptor),
    DESCRIBED(GBookletTargetSizeConverter, kBookletTargetSizeDescriptor),
    DESCRIBED(GBinderUnitConverter, kBinderUnitDescriptor),
    DESCRIBED(GScannerChoiceConverter, kScannerChoiceDescriptor),
    DESCRIBED(GCollationUnitConverter, kCollationUnitDescriptor),
    DESCRIBED(GMonoChromeChoiceConverter, kMonoChromeChoiceDescriptor),
    DESCRIBED(GEdgeToEdgeConverter, kEdgeToEdgeDescriptor),
    DESCRIBED(GJobRetentionModeChoiceConverter, kJobRetentionModeChoiceDescriptor),
    DESCRIBED(GRasterizationChoiceConverter, kRasterizationChoiceDescriptor),
    DESCRIBED(GMetChoiceConverter, kMetChoiceDescriptor),
    DESCRIBED(GRetChoiceConverter, kRetChoiceDescriptor),
    DESCRIBED(GPatternScalingChoiceConverter, kPatternScalingChoiceDescriptor),
    DESCRIBED(GBinderChoiceConverter, kBinderChoiceDescriptor),
    DESCRIBED(GIgnoreCollationChoiceConverter, kIgnoreCollationChoiceDescriptor),
    DESCRIBED(GPageOrderConverter, kPageOrderDescriptor),
    DESCRIBED(GTray1Converter, kTray1Descriptor),
    DESCRIBED(GManualDuplexConverter, kManualDuplexDescriptor),
    DESCRIBED(GStraightPaperPathConverter, kStraightPaperPathDescriptor),
    DESCRIBED(GDryTimeConverter, kDryTimeDescriptor),
    DESCRIBED(GEmulateGKMarginsConverter, kEmulateGKMarginsDescriptor),
    DESCRIBED(GSymmetricalMarginsConverter, kSymmetricalMarginsDescriptor),
    DESCRIBED(GAutoDuplexScalingConverter, kAutoDuplexScalingDescriptor),
    DESCRIBED(GPunchingConverter, kPunchingDescriptor),
    DESCRIBED(GFoldingConverter, kFoldingDescriptor),
    DESCRIBED(GImageShiftConverter, kImageShiftDescriptor),
    DESCRIBED(GTransparencyInterleaveConverter, kTransparencyInterleaveDescriptor),
};
#undef DESCRIBED

}  // namespace

const GConverterTable& DefaultConverterTable() {
  return kDefaultTable;
}

std::span<const GDescribedConverterInfo> DescribedConverters() {
  return kDescribed;
}
