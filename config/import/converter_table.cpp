#include "config/import/converter_table.h"

#include <iterator>
#include <type_traits>

#include "config/attributes/attribute_composite.h"
#include "config/import/accessory_converter.h"
#include "config/import/bundles_converter.h"
#include "config/import/color_converters.h"
#include "config/import/converter_descriptors.h"
#include "config/import/finishing_converters.h"
#include "config/import/layout_converters.h"
#include "config/import/number_converters.h"
#include "config/import/output_bin_converter.h"
#include "config/import/paper_converters.h"
#include "config/import/print_quality_converter.h"
#include "config/import/resolution_converters.h"
#include "config/import/stapling_converters.h"
#include "config/import/watermark_converters.h"
#include "foundation/rw/support.h"

namespace {

// Makers by what the converter is given besides the feature store.
template <class Converter>
GSettingConverter* Make(const GConverterArguments& arguments) {
  return RWNew<Converter>(arguments.store);
}

template <class Converter>
GSettingConverter* MakeWithDriverData(const GConverterArguments& arguments) {
  return RWNew<Converter>(arguments.store, arguments.driver_data);
}

// The converters of selectable keys; those of the paper path also get the
// driver data.
template <class Converter, std::uint16_t kSelector>
GSettingConverter* MakeSelected(const GConverterArguments& arguments) {
  if constexpr (std::is_constructible_v<Converter, GQCFLibrary*, GDriverData*, std::uint16_t>) {
    return RWNew<Converter>(arguments.store, arguments.driver_data, kSelector);
  } else {
    return RWNew<Converter>(arguments.store, kSelector);
  }
}

GSettingConverter* MakePostInsertionKit(const GConverterArguments& arguments) {
  return RWNew<GPostInsertionKitConverter>(arguments.store, arguments.short_name,
                                           arguments.driver_data);
}

GSettingConverter* MakeStapling(const GConverterArguments& arguments) {
  MPersistentObject* document = GSettingConverter::FindPath(arguments.root, kDocumentSettingsPath);
  if (document == nullptr) return nullptr;
  if (document->FindByKey(kStaplingDescriptor.attribute_key) != nullptr) {
    return Make<GStaplingConverter>(arguments);
  }
  return Make<GStaplerChoiceStaplingConverter>(arguments);
}

// The factory's names in its order. Each comment names the converter class
// the row makes and what its maker hands it beyond the feature store. A
// null maker: no converter serves the name yet.
constexpr GConverterEntry kChain[] = {
    {u"KVTintvector", &MakeWithDriverData<GTintvectorConverter>},
    {u"RGBColor", &Make<GRGBColorConverter>},
    {u"ScaleFromLargePaper", &Make<GScaleFromLargePaperConverter>},
    {u"OptionalPaperSources", &MakeWithDriverData<GOptionalPaperSourcesConverter>},
    {u"MediaType", &MakeSelected<GMediaTypeConverter, kPlainSelector>},
    {u"PrintColorAsGray", &Make<GPrintColorAsGrayConverter>},
    {u"InputBin", &MakeSelected<GInputBinConverter, kPlainSelector>},
    {u"PrintQuality", &MakeWithDriverData<GPrintQualityConverter>},
    {u"PaperSize", &MakeSelected<GPaperSizeConverter, kPlainSelector>},
    {u"DuplexUnit", &Make<GDuplexUnitConverter>},
    {u"Duplex", &Make<GDuplexConverter>},
    {u"Memory", &Make<GMemoryConverter>},
    {u"PrinterHardDisk", &Make<GPrinterHardDiskConverter>},
    {u"DeviceIsMopier", &Make<GDeviceIsMopierConverter>},
    {u"DriverWorkSpaceSetting", &Make<GDriverWorkSpaceSettingConverter>},
    {u"JobRetentionAvailable", &Make<GJobRetentionAvailableConverter>},
    {u"JobRetention", &Make<GJobRetentionConverter>},
    {u"EnvFeeder", &Make<GEnvFeederConverter>},
    {u"AccessoryOutputBins", &MakeWithDriverData<GAccessoryOutputBinsConverter>},
    {u"Tonerlite", &Make<GTonerliteConverter>},
    {u"Orientation", &Make<GOrientationConverter>},
    {u"StaplerChoice", &Make<GStaplerChoiceConverter>},
    {u"Stapling", &MakeStapling},  // by the model (see the header)
    {u"OutputBin", &Make<GOutputBinConverter>},
    {u"Copies", &Make<GCopiesConverter>},
    {u"TextAsBlack", &Make<GTextAsBlackConverter>},
    {u"NUpChoice", &Make<GNUpChoiceConverter>},
    {u"FitToOtherSizeChoice", &MakeWithDriverData<GFitToOtherSizeChoiceConverter>},
    {u"ScalePageChoice", &Make<GScalePageChoiceConverter>},
    {u"ScaleChoice", &Make<GScaleChoiceConverter>},
    {u"BookletPrintingChoice", &Make<GBookletPrintingChoiceConverter>},
    {u"TTAsBitmapSetting", &Make<GTTAsBitmapSettingConverter>},
    {u"BookletTargetSize", &Make<GBookletTargetSizeConverter>},
    {u"Watermarks", &Make<GWatermarksConverter>},
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
    {u"UseDiffFirstPageChoice", &MakeWithDriverData<GUseDiffFirstPageChoiceConverter>},
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
    {u"KVPostInsertionKit", &MakePostInsertionKit},
    {u"Folding", &Make<GFoldingConverter>},
    {u"KVImageShift", &Make<GImageShiftConverter>},
    {u"TransparencyInterleave", &Make<GTransparencyInterleaveConverter>},
    {u"KVPunchUnitType", &MakePostInsertionKit},
};
static_assert(std::size(kChain) == kConverterChainLength);

constexpr GConverterTable kDefaultTable{kChain, &MakeWithDriverData<GBundlesConverter>};

#define DESCRIBED(Class, descriptor) \
  { #Class, &descriptor, &Make < Class> }
constexpr GDescribedConverterInfo kDescribed[] = {
    DESCRIBED(GPrinterHardDiskConverter, kPrinterHardDiskDescriptor),
    DESCRIBED(GDeviceIsMopierConverter, kDeviceIsMopierDescriptor),
    DESCRIBED(GDriverWorkSpaceSettingConverter, kDriverWorkSpaceSettingDescriptor),
    DESCRIBED(GJobRetentionAvailableConverter, kJobRetentionAvailableDescriptor),
    DESCRIBED(GJobRetentionConverter, kJobRetentionDescriptor),
    DESCRIBED(GEnvFeederConverter, kEnvFeederDescriptor),
    {"GAccessoryOutputBinsConverter", &kAccessoryOutputBinsDescriptor,
     &MakeWithDriverData<GAccessoryOutputBinsConverter>},
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
    {"GTintvectorConverter", &kTintvectorDescriptor, &MakeWithDriverData<GTintvectorConverter>},
    DESCRIBED(GScaleFromLargePaperConverter, kScaleFromLargePaperDescriptor),
    {"GOptionalPaperSourcesConverter", &kOptionalPaperSourcesDescriptor,
     &MakeWithDriverData<GOptionalPaperSourcesConverter>},
    {"GMediaTypeConverter", &kMediaTypeDescriptors[kPlainSelector],
     &MakeSelected<GMediaTypeConverter, kPlainSelector>},
    {"GMediaTypeConverter_Rest", &kMediaTypeDescriptors[kRestSelector],
     &MakeSelected<GMediaTypeConverter, kRestSelector>},
    {"GMediaTypeConverter_BackCover", &kMediaTypeDescriptors[kBackCoverSelector],
     &MakeSelected<GMediaTypeConverter, kBackCoverSelector>},
    DESCRIBED(GPrintColorAsGrayConverter, kPrintColorAsGrayDescriptor),
    {"GInputBinConverter", &kInputBinDescriptors[kPlainSelector],
     &MakeSelected<GInputBinConverter, kPlainSelector>},
    {"GInputBinConverter_Rest", &kInputBinDescriptors[kRestSelector],
     &MakeSelected<GInputBinConverter, kRestSelector>},
    {"GInputBinConverter_BackCover", &kInputBinDescriptors[kBackCoverSelector],
     &MakeSelected<GInputBinConverter, kBackCoverSelector>},
    {"GPrintQualityConverter", &kPrintQualityDescriptor,
     &MakeWithDriverData<GPrintQualityConverter>},
    {"GPaperSizeConverter", &kPaperSizeDescriptors[kPlainSelector],
     &MakeSelected<GPaperSizeConverter, kPlainSelector>},
    {"GPaperSizeConverter_TargetSize", &kPaperSizeDescriptors[kRestSelector],
     &MakeSelected<GPaperSizeConverter, kRestSelector>},
    DESCRIBED(GDuplexUnitConverter, kDuplexUnitDescriptor),
    DESCRIBED(GMemoryConverter, kMemoryDescriptor),
    DESCRIBED(GNUpChoiceConverter, kNUpChoiceDescriptor),
    {"GFitToOtherSizeChoiceConverter", &kFitToOtherSizeChoiceDescriptor,
     &MakeWithDriverData<GFitToOtherSizeChoiceConverter>},
    DESCRIBED(GWatermarksConverter, kWatermarksDescriptor),
    {"GUseDiffFirstPageChoiceConverter", &kUseDiffFirstPageChoiceDescriptor,
     &MakeWithDriverData<GUseDiffFirstPageChoiceConverter>},
    // Sub-keys, which only their parents' converters make.
    {"GBackCoverChoiceConverter", &kBackCoverChoiceDescriptor,
     &MakeWithDriverData<GBackCoverChoiceConverter>},
    DESCRIBED(GNUpBordersChoiceConverter, kNUpBordersChoiceDescriptor),
    DESCRIBED(GNUpPageOrderChoiceConverter, kNUpPageOrderChoiceDescriptor),
    DESCRIBED(GPrintColorAsGrayOptionsConverter, kPrintColorAsGrayOptionsDescriptor),
    DESCRIBED(GWMFirstPageOnlyConverter, kWMFirstPageOnlyDescriptor),
    DESCRIBED(GWMFontStyleConverter, kWMFontStyleDescriptor),
    DESCRIBED(GWMShadeLevelConverter, kWMShadeLevelDescriptor),
    DESCRIBED(GWMFontEscapementConverter, kWMFontEscapementDescriptor),
};
#undef DESCRIBED

}  // namespace

const GConverterTable& DefaultConverterTable() {
  return kDefaultTable;
}

std::span<const GDescribedConverterInfo> DescribedConverters() {
  return kDescribed;
}
