// The printer of the import and export acceptance test (README.md in this
// folder lists every invented value): its settings model and the driver
// data's job settings it is imported with (support/fixture_settings.h,
// where P1's settings grow from them), the product data, and the
// configuration helper's store with its four contexts.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/import/product_data.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "support/fixture_settings.h"
#include "tests/support/fake_feature_store.h"

namespace acceptance {

// Invented accessory identifiers and bundles (no product's).
inline constexpr const char* kStaplerStackers[] = {"FIN-B1", "FIN-D", "FIN-B3"};
inline constexpr const char* kMailboxes[] = {"MBX-1", "MBX-2"};
inline constexpr const char* kStaplers[] = {"FIN-B1", "FIN-D",  "FIN-B3",
                                            "FIN-S4", "FIN-S5", "FIN-S6"};
inline constexpr GBundleRow kBundles[] = {{"Model-100", u"Model-100"},
                                          {"Model-200 dn", u"Model-200DN"}};
inline constexpr GProductData kProduct{{"FIN-A", kStaplerStackers, "FIN-D", kMailboxes, kStaplers},
                                       kBundles};

// The feature names of the four contexts.
inline const std::vector<std::u16string> kPhysicalFeatures = {u"Memory",
                                                              u"DuplexUnit",
                                                              u"OptionalPaperSources",
                                                              u"ScaleFromLargePaper",
                                                              u"AccessoryOutputBins",
                                                              u"Tray1",
                                                              u"KVPostInsertionKit",
                                                              u"KVPunchUnitType"};
inline const std::vector<std::u16string> kPrintingFeatures = {u"KVTintvector",
                                                              u"RGBColor",
                                                              u"UseDiffFirstPageChoice",
                                                              u"MediaType",
                                                              u"PrintColorAsGray",
                                                              u"InputBin",
                                                              u"PrintQuality",
                                                              u"PaperSize",
                                                              u"Duplex",
                                                              u"OutputBin",
                                                              u"NUpChoice",
                                                              u"FitToOtherSizeChoice",
                                                              u"Watermarks",
                                                              u"Copies"};

// The store: the four contexts (the import contexts also name a feature no
// converter serves), the words of the keys, four locks, a lock that is
// not one, and the one export word the store refuses.
inline void FillStore(testing_support::FakeFeatureStore& store) {
  std::vector<std::u16string> physical = kPhysicalFeatures;
  physical.push_back(u"FutureOption");
  std::vector<std::u16string> printing = kPrintingFeatures;
  printing.push_back(u"Unknown");
  store.SetFeatures(u"physical", physical);
  store.SetFeatures(u"printing", printing);
  store.SetFeatures(u"factory/physical", kPhysicalFeatures);
  store.SetFeatures(u"factory/printing", kPrintingFeatures);
  const std::pair<const char16_t*, const char16_t*> words[] = {
      {u"physical/Bundles", u"Model-200DN"},
      {u"physical/Memory", u"96"},
      {u"physical/DuplexUnit", u"Installed"},
      {u"physical/OptionalPaperSources", u"Z7142"},
      {u"physical/ScaleFromLargePaper", u"TRUE"},
      {u"physical/AccessoryOutputBins", u"MBX-1"},
      {u"physical/Tray1", u"Installed"},
      {u"physical/KVPostInsertionKit", u"Kit-A"},
      {u"physical/KVPunchUnitType", u"Punch-2/3"},
      {u"printing/KVTintvector", u"Manual"},
      {u"printing/KVTintvector/KVTintvector_Text_Halftone", u"Smooth"},
      {u"printing/KVTintvector/KVTintvector_Text_NeutralGrays", u"BlackOnly"},
      {u"printing/KVTintvector/KVTintvector_Graphics_Halftone", u"Detail"},
      {u"printing/KVTintvector/KVTintvector_Graphics_NeutralGrays", u"4-Color"},
      {u"printing/KVTintvector/KVTintvector_Photo_Halftone", u"Smooth"},
      {u"printing/KVTintvector/KVTintvector_Photo_NeutralGrays", u"BlackOnly"},
      {u"printing/KVTintvector/KVTintvector_Text_SRGBColor", u"Vivid"},
      {u"printing/KVTintvector/KVTintvector_Graphics_SRGBColor", u"Vivid"},
      {u"printing/KVTintvector/KVTintvector_Photo_SRGBColor", u"Vivid"},
      {u"printing/KVTintvector/KVTintvector_ColorOptions_EdgeControl", u"Maximum"},
      {u"printing/RGBColor", u"AdobeRGB"},
      {u"printing/UseDiffFirstPageChoice", u"DifferentFirstPage"},
      {u"printing/UseDiffFirstPageChoice/MediaTypeRest", u"KV_PREMIUM_PAPER"},
      {u"printing/UseDiffFirstPageChoice/InputBinRest", u"Tray3"},
      {u"printing/UseDiffFirstPageChoice/BackCoverChoice", u"UseAlternateSource"},
      {u"printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverMediaTypeSetting", u"CARDSTOCK"},
      {u"printing/MediaType", u"GLOSS"},
      {u"printing/PrintColorAsGray", u"TRUE"},
      {u"printing/PrintColorAsGray[TRUE]/PrintColorAsGrayOptions", u"BlackOnly"},
      {u"printing/InputBin", u"Tray2"},
      {u"printing/PrintQuality", u"Best"},
      {u"printing/TTAsBitmapSetting", u"TTModeBitmap"},
      {u"printing/PaperSize", u"B5ISO"},
      {u"printing/Duplex", u"TRUE"},
      {u"printing/Duplex/DuplexEdge", u"ShortEdge"},
      {u"printing/Duplex/KVAutoDuplexScaling", u"FALSE"},
      {u"printing/OutputBin", u"MainBinFaceDown"},
      {u"printing/NUpChoice", u"TwoUp"},
      {u"printing/NUpChoice/NUpPageOrderChoice", u"DownThenRight"},
      {u"printing/NUpChoice/NUpBordersChoice", u"PrintBorders"},
      {u"printing/FitToOtherSizeChoice", u"FitToOtherSize"},
      {u"printing/FitToOtherSizeChoice/TargetSizeChoice", u"A4"},
      {u"printing/Watermarks", u"Confidential"},
      {u"printing/Watermarks/WMShadeLevel", u"Light"},
      {u"printing/Watermarks/WMFirstPageOnly", u"AllPages"},
      {u"printing/Watermarks/WMColor", u"Red"},
      {u"printing/Copies", u"3"},
  };
  for (const auto& [key, word] : words)
    store.SetWord(key, word);
  store.SetAttribute(u"printing/MediaType", u"lock", u"TRUE");
  store.SetAttribute(u"printing/PrintColorAsGray", u"lock", u"true");
  store.SetAttribute(u"printing/InputBin", u"lock", u"TRUE");
  store.SetAttribute(u"printing/Duplex", u"lock", u"TRUE");
  store.SetAttribute(u"printing/OutputBin", u"lock", u"FALSE");
  store.RefuseWord(u"CARDSTOCK_GP");
}

}  // namespace acceptance
