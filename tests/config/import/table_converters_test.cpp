// The table converters over their own descriptors: every row of every
// descriptor round trip through apply and extract, the row counts, the
// factory's 62 names, and what every served converter does with a missing
// key, an over-long word or a missing attribute.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <typeindex>
#include <vector>

#include "config/import/accessory_converter.h"
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
#include "tests/config/import/converter_model.h"
#include "tests/support/test_importer.h"

// Test names show the class, not the bytes.
void PrintTo(const GDescribedConverterInfo& info, std::ostream* out) {
  *out << info.class_name;
}

namespace {

using namespace import_test;  // NOLINT: the fixture's builders
using testing_support::Utf8;

// A value no row of any table holds.
constexpr std::uint16_t kSentinel = 0x5A5A;

const GOptionRow* FirstOf(std::span<const GOptionRow> rows, std::u16string_view word) {
  for (const GOptionRow& row : rows) {
    if (row.word == word) return &row;
  }
  return nullptr;
}
const GOptionRow* FirstOf(std::span<const GOptionRow> rows, std::uint16_t code) {
  for (const GOptionRow& row : rows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

class EveryRow : public ConverterFixture,
                 public ::testing::WithParamInterface<GDescribedConverterInfo> {};

// The row's word in the store: apply answers 1, sets the code of the
// word's first row and records it as the descriptor says; extract then
// writes the first word of that code under the extract key.
TEST_P(EveryRow, AppliesTheWordsCodeAndExtractsTheCodesFirstWord) {
  const GDescribedConverterInfo& info = GetParam();
  const GFeatureBinding& descriptor = *info.descriptor;
  for (const GOptionRow& row : descriptor.rows) {
    SCOPED_TRACE(Utf8(row.word));
    // Routed to the stitching flag, or needing the custom angle too
    // (pinned by hand).
    if ((std::string(info.class_name) == "GStaplerChoiceStaplingConverter" &&
         std::u16string_view(row.word) == u"Stitching") ||
        (std::string(info.class_name) == "GWMFontEscapementConverter" &&
         std::u16string_view(row.word) == u"Custom")) {
      continue;
    }
    const std::uint16_t code = FirstOf(descriptor.rows, row.word)->code;
    Reset();
    SetValue(descriptor.attribute_key, kSentinel);
    store_.SetWord(descriptor.apply_key, row.word);

    EXPECT_EQ(Make(info.make)->Apply(Root(), Destination()), 1u);
    EXPECT_EQ(ValueAt(descriptor.attribute_key), code);
    const std::string entry = std::to_string(descriptor.attribute_key) + "=" + std::to_string(code);
    const std::string recorded = " " + Entries(Destination()) + " ";
    EXPECT_EQ(recorded.find(" " + entry + " ") != std::string::npos,
              descriptor.destination != GDestinationPolicy::kNone)
        << recorded;

    store_.ClearLog();
    EXPECT_EQ(Make(info.make)->Extract(Root()), 1u);
    const std::string written = "QCFSetExport(" + Utf8(descriptor.ExtractKey()) + ", " +
                                Utf8(FirstOf(descriptor.rows, code)->word) + ")";
    const std::vector<std::string> calls = store_.Calls("QCFSetExport");
    EXPECT_NE(std::find(calls.begin(), calls.end(), written), calls.end()) << written;
    // The extract must not feed the next row's apply (some converters read
    // the key they write).
    store_.ForgetKey(descriptor.ExtractKey());
  }
}

INSTANTIATE_TEST_SUITE_P(Descriptors, EveryRow, ::testing::ValuesIn(DescribedConverters()),
                         [](const ::testing::TestParamInfo<GDescribedConverterInfo>& info) {
                           return std::string(info.param.class_name);
                         });

TEST(Descriptors, RowCountsAndBuffers) {
  // class: rows, read buffer.
  const std::map<std::string, std::pair<std::size_t, std::uint32_t>> expected = {
      {"GPrinterHardDiskConverter", {2, 255}},
      {"GAccessoryOutputBinsConverter", {0, 128}},
      {"GDeviceIsMopierConverter", {2, 32}},
      {"GDriverWorkSpaceSettingConverter", {0, 255}},
      {"GJobRetentionAvailableConverter", {2, 32}},
      {"GJobRetentionConverter", {2, 32}},
      {"GEnvFeederConverter", {2, 128}},
      {"GTonerliteConverter", {2, 255}},
      {"GOrientationConverter", {4, 255}},
      {"GStaplerChoiceConverter", {2, 255}},
      {"GStaplingConverter", {12, 255}},
      {"GStaplerChoiceStaplingConverter", {10, 255}},
      {"GOutputBinConverter", {23, 255}},
      {"GCopiesConverter", {0, 255}},
      {"GTextAsBlackConverter", {2, 255}},
      {"GScalePageChoiceConverter", {2, 128}},
      {"GScaleChoiceConverter", {0, 128}},
      {"GBookletPrintingChoiceConverter", {3, 255}},
      {"GTTAsBitmapSettingConverter", {2, 255}},
      {"GBookletTargetSizeConverter", {7, 255}},
      {"GBinderUnitConverter", {2, 255}},
      {"GScannerChoiceConverter", {2, 128}},
      {"GCollationUnitConverter", {2, 128}},
      {"GMonoChromeChoiceConverter", {2, 32}},
      {"GEdgeToEdgeConverter", {4, 255}},
      {"GJobRetentionModeChoiceConverter", {6, 255}},
      {"GRasterizationChoiceConverter", {4, 128}},
      {"GMetChoiceConverter", {9, 128}},
      {"GRetChoiceConverter", {8, 128}},
      {"GPatternScalingChoiceConverter", {2, 128}},
      {"GBinderChoiceConverter", {3, 255}},
      {"GIgnoreCollationChoiceConverter", {2, 64}},
      {"GPageOrderConverter", {2, 255}},
      {"GTray1Converter", {2, 255}},
      {"GManualDuplexConverter", {2, 255}},
      {"GStraightPaperPathConverter", {2, 255}},
      {"GDryTimeConverter", {0, 255}},
      {"GEmulateGKMarginsConverter", {2, 255}},
      {"GSymmetricalMarginsConverter", {2, 255}},
      {"GAutoDuplexScalingConverter", {2, 255}},
      {"GPunchingConverter", {4, 255}},
      {"GFoldingConverter", {7, 255}},
      {"GImageShiftConverter", {2, 255}},
      {"GTransparencyInterleaveConverter", {3, 255}},
      {"GTintvectorConverter", {0, 128}},
      {"GScaleFromLargePaperConverter", {2, 128}},
      {"GOptionalPaperSourcesConverter", {0, 128}},
      {"GMediaTypeConverter", {0, 255}},
      {"GMediaTypeConverter_Rest", {0, 255}},
      {"GMediaTypeConverter_BackCover", {0, 255}},
      {"GPrintColorAsGrayConverter", {4, 255}},
      {"GInputBinConverter", {0, 255}},
      {"GInputBinConverter_Rest", {0, 255}},
      {"GInputBinConverter_BackCover", {0, 255}},
      {"GPrintQualityConverter", {5, 255}},
      {"GPaperSizeConverter", {80, 255}},
      {"GPaperSizeConverter_TargetSize", {80, 255}},
      {"GDuplexUnitConverter", {2, 255}},
      {"GMemoryConverter", {0, 64}},
      {"GNUpChoiceConverter", {6, 128}},
      {"GFitToOtherSizeChoiceConverter", {2, 255}},
      {"GWatermarksConverter", {4, 128}},
      {"GUseDiffFirstPageChoiceConverter", {2, 255}},
      {"GBackCoverChoiceConverter", {3, 255}},
      {"GNUpBordersChoiceConverter", {2, 128}},
      {"GNUpPageOrderChoiceConverter", {4, 255}},
      {"GPrintColorAsGrayOptionsConverter", {2, 255}},
      {"GWMFirstPageOnlyConverter", {3, 255}},
      {"GWMFontStyleConverter", {6, 255}},
      {"GWMShadeLevelConverter", {10, 255}},
      {"GWMFontEscapementConverter", {5, 255}},
  };
  std::map<std::string, std::pair<std::size_t, std::uint32_t>> actual;
  for (const GDescribedConverterInfo& info : DescribedConverters()) {
    actual[info.class_name] = {info.descriptor->rows.size(), info.descriptor->buffer_units};
  }
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(kRasterizationChoiceInColorDescriptor.rows.data(),
            kRasterizationChoiceDescriptor.rows.data());
  EXPECT_EQ(GResolutionConverter::Rows().size(), 7u);
  EXPECT_EQ(GInputBinConverter::Rows().size(), 22u);
  EXPECT_EQ(GMediaTypeConverter::Rows().size(), 54u);
  EXPECT_EQ(GWMColorConverter::Rows().size(), 7u);
  EXPECT_EQ(GWMFontConverter::Rows().size(), 4u);
  EXPECT_EQ(GRGBColorConverter::Rows().size(), 4u);
  EXPECT_EQ(GTintvectorConverter::Rows().size(), 11u);
  EXPECT_EQ(GPrintQualityConverter::Presets().size(), 19u);
}

class Factory : public ConverterFixture {};

TEST_F(Factory, EachNameMakesItsConverter) {
  const std::map<std::u16string, std::type_index> served = {
      {u"KVTintvector", typeid(GTintvectorConverter)},
      {u"RGBColor", typeid(GRGBColorConverter)},
      {u"ScaleFromLargePaper", typeid(GScaleFromLargePaperConverter)},
      {u"OptionalPaperSources", typeid(GOptionalPaperSourcesConverter)},
      {u"MediaType", typeid(GMediaTypeConverter)},
      {u"PrintColorAsGray", typeid(GPrintColorAsGrayConverter)},
      {u"InputBin", typeid(GInputBinConverter)},
      {u"PrintQuality", typeid(GPrintQualityConverter)},
      {u"PaperSize", typeid(GPaperSizeConverter)},
      {u"DuplexUnit", typeid(GDuplexUnitConverter)},
      {u"Duplex", typeid(GDuplexConverter)},
      {u"Memory", typeid(GMemoryConverter)},
      {u"NUpChoice", typeid(GNUpChoiceConverter)},
      {u"FitToOtherSizeChoice", typeid(GFitToOtherSizeChoiceConverter)},
      {u"Watermarks", typeid(GWatermarksConverter)},
      {u"UseDiffFirstPageChoice", typeid(GUseDiffFirstPageChoiceConverter)},
      {u"PrinterHardDisk", typeid(GPrinterHardDiskConverter)},
      {u"DeviceIsMopier", typeid(GDeviceIsMopierConverter)},
      {u"DriverWorkSpaceSetting", typeid(GDriverWorkSpaceSettingConverter)},
      {u"JobRetentionAvailable", typeid(GJobRetentionAvailableConverter)},
      {u"JobRetention", typeid(GJobRetentionConverter)},
      {u"EnvFeeder", typeid(GEnvFeederConverter)},
      {u"AccessoryOutputBins", typeid(GAccessoryOutputBinsConverter)},
      {u"Tonerlite", typeid(GTonerliteConverter)},
      {u"Orientation", typeid(GOrientationConverter)},
      {u"StaplerChoice", typeid(GStaplerChoiceConverter)},
      {u"Stapling", typeid(GStaplingConverter)},  // the model holds 1200
      {u"OutputBin", typeid(GOutputBinConverter)},
      {u"Copies", typeid(GCopiesConverter)},
      {u"TextAsBlack", typeid(GTextAsBlackConverter)},
      {u"ScalePageChoice", typeid(GScalePageChoiceConverter)},
      {u"ScaleChoice", typeid(GScaleChoiceConverter)},
      {u"BookletPrintingChoice", typeid(GBookletPrintingChoiceConverter)},
      {u"TTAsBitmapSetting", typeid(GTTAsBitmapSettingConverter)},
      {u"BookletTargetSize", typeid(GBookletTargetSizeConverter)},
      {u"BinderUnit", typeid(GBinderUnitConverter)},
      {u"ScannerChoice", typeid(GScannerChoiceConverter)},
      {u"CollationUnit", typeid(GCollationUnitConverter)},
      {u"MonoChromeChoice", typeid(GMonoChromeChoiceConverter)},
      {u"Resolution", typeid(GResolutionConverter)},
      {u"EdgeToEdge", typeid(GEdgeToEdgeConverter)},
      {u"JobRetentionModeChoice", typeid(GJobRetentionModeChoiceConverter)},
      {u"RasterizationChoice", typeid(GRasterizationChoiceConverter)},
      {u"MetChoice", typeid(GMetChoiceConverter)},
      {u"RetChoice", typeid(GRetChoiceConverter)},
      {u"PatternScalingChoice", typeid(GPatternScalingChoiceConverter)},
      {u"BinderChoice", typeid(GBinderChoiceConverter)},
      {u"IgnoreCollationChoice", typeid(GIgnoreCollationChoiceConverter)},
      {u"PageOrder", typeid(GPageOrderConverter)},
      {u"Tray1", typeid(GTray1Converter)},
      {u"ManualDuplex", typeid(GManualDuplexConverter)},
      {u"StraightPaperPath", typeid(GStraightPaperPathConverter)},
      {u"DryTime", typeid(GDryTimeConverter)},
      {u"KVEmulateGKMargins", typeid(GEmulateGKMarginsConverter)},
      {u"KVSymmetricalMargins", typeid(GSymmetricalMarginsConverter)},
      {u"KVAutoDuplexScaling", typeid(GAutoDuplexScalingConverter)},
      {u"Punching", typeid(GPunchingConverter)},
      {u"KVPostInsertionKit", typeid(GPostInsertionKitConverter)},
      {u"Folding", typeid(GFoldingConverter)},
      {u"KVImageShift", typeid(GImageShiftConverter)},
      {u"TransparencyInterleave", typeid(GTransparencyInterleaveConverter)},
      {u"KVPunchUnitType", typeid(GPostInsertionKitConverter)},
  };
  ASSERT_EQ(served.size(), kConverterChainLength);
  TestImporter importer(Root(), &driver_data_, u"P1");
  for (const GConverterEntry& entry : DefaultConverterTable().chain) {
    SCOPED_TRACE(Utf8(entry.short_name));
    std::unique_ptr<GSettingConverter> converter(importer.CreateConverter(entry.short_name));
    ASSERT_NE(converter, nullptr);
    EXPECT_EQ(std::type_index(typeid(*converter)), served.at(entry.short_name));
  }

  // The two names of the post-insertion kit keep their own key and path.
  std::unique_ptr<GSettingConverter> kit(importer.CreateConverter(u"KVPostInsertionKit"));
  std::unique_ptr<GSettingConverter> punch(importer.CreateConverter(u"KVPunchUnitType"));
  EXPECT_EQ(static_cast<GPostInsertionKitConverter&>(*kit).AttributeKey(), 1205u);
  EXPECT_EQ(static_cast<GPostInsertionKitConverter&>(*punch).AttributeKey(), 1203u);
  EXPECT_TRUE(std::u16string(static_cast<GPostInsertionKitConverter&>(*punch).KeyPath()) ==
              u"physical/KVPunchUnitType");
}

TEST_F(Factory, StaplingChoosesByTheStaplingAttributeAndNeedsTheDocumentSettings) {
  TestImporter importer(Root(), &driver_data_, u"P1");
  std::unique_ptr<GSettingConverter> with(importer.CreateConverter(u"Stapling"));
  EXPECT_EQ(std::type_index(typeid(*with)), std::type_index(typeid(GStaplingConverter)));

  delete FindComposite(Root(), kDocumentSettingsKey)->RemoveByKey(1200);
  std::unique_ptr<GSettingConverter> without(importer.CreateConverter(u"Stapling"));
  EXPECT_EQ(std::type_index(typeid(*without)),
            std::type_index(typeid(GStaplerChoiceStaplingConverter)));

  delete Root()->RemoveByKey(kDocumentSettingsKey);
  EXPECT_EQ(importer.CreateConverter(u"Stapling"), nullptr);
}

// Whatever the converter: a key the store lacks, a word longer than the
// read buffer or a missing attribute answers 0 and leaves the model as it
// was (a missing attribute: as it was without it).
class EveryServedName : public ConverterFixture,
                        public ::testing::WithParamInterface<const char16_t*> {
 protected:
  void SetUp() override {
    ConverterFixture::SetUp();
    AddAccessory("ACC-D");
  }
  void ExpectNothingChanged(const char* why) {
    SCOPED_TRACE(why);
    GCountedPtr before(Root()->DeepCopy());
    std::unique_ptr<GSettingConverter> converter = Made(GetParam());
    ASSERT_NE(converter, nullptr);
    EXPECT_EQ(converter->Apply(Root(), Destination()), 0u);
    EXPECT_TRUE(Root()->IsEqualContent(before.Get()));
    EXPECT_EQ(Entries(Destination()), "");
  }
  // Every key a served converter reads.
  std::vector<std::u16string> KeysRead() const {
    std::vector<std::u16string> keys = {
        u"printing/Resolution",
        u"physical/KVPostInsertionKit",
        u"physical/KVPunchUnitType",
        GAutoDuplexScalingConverter::kScalingKey,
        GDuplexConverter::kEdgeKey,
        GRGBColorConverter::kKey,
        GWMColorConverter::kKey,
        GWMFontConverter::kKey,
        GWMFontEscapementConverter::kAnglePath,
    };
    for (const GTintvectorSubKey& sub_key : GTintvectorConverter::Rows())
      keys.emplace_back(sub_key.key);
    for (const GDescribedConverterInfo& info : DescribedConverters())
      keys.emplace_back(info.descriptor->apply_key);
    return keys;
  }
};

TEST_P(EveryServedName, AMissingKeyAnOverLongWordOrAMissingAttributeChangeNothing) {
  ExpectNothingChanged("no key in the store");

  // 300 units: more than any read buffer holds.
  const std::u16string over_long(300, u'1');
  for (const std::u16string& key : KeysRead())
    store_.SetWord(key, over_long);
  ExpectNothingChanged("over-long words");

  // A word each converter knows, and no attribute to set.
  const struct {
    const char16_t* name;
    std::uint32_t key;
    const char16_t* apply_key;
    const char16_t* word;
  } others[] = {
      {u"Resolution", 325, u"printing/Resolution", u"600dpi"},
      {u"KVPostInsertionKit", 1205, u"physical/KVPostInsertionKit", u"Kit"},
      {u"KVPunchUnitType", 1203, u"physical/KVPunchUnitType", u"Unit"},
      // The colour adjustment the sRGB bytes go to.
      {u"RGBColor", kColorAdjustmentKey, GRGBColorConverter::kKey, u"AdobeRGB"},
  };
  std::uint32_t key = 0;
  for (const auto& other : others) {
    if (WideStringsEqual(other.name, GetParam()) == 0) continue;
    key = other.key;
    store_.SetWord(other.apply_key, other.word);
  }
  std::unique_ptr<GSettingConverter> converter = Made(GetParam());
  if (auto* table = dynamic_cast<GTableConverter*>(converter.get())) {
    const GFeatureBinding& descriptor = table->Binding();
    key = descriptor.attribute_key;
    store_.SetWord(descriptor.apply_key, descriptor.rows.empty() ? u"30" : descriptor.rows[0].word);
  }
  ASSERT_NE(key, 0u);
  delete Root()->RemoveByKey(key);
  ExpectNothingChanged("no attribute");
}

std::vector<const char16_t*> ServedNames() {
  std::vector<const char16_t*> names;
  for (const GConverterEntry& entry : DefaultConverterTable().chain) {
    if (entry.make != nullptr) names.push_back(entry.short_name);
  }
  return names;
}

INSTANTIATE_TEST_SUITE_P(Factory, EveryServedName, ::testing::ValuesIn(ServedNames()),
                         [](const ::testing::TestParamInfo<const char16_t*>& info) {
                           return Utf8(info.param);
                         });

}  // namespace
