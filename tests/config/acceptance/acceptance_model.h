// The printer of the import and export acceptance test (README.md in this
// folder lists every invented value): its settings model, the driver data
// it is imported with, the product data, and the configuration helper's
// store with its four contexts.
//
// The settings model (key 0):
//   362 document settings
//       248 output bin 1, 253 duplex 0, 258 input bin 19, 260 paper size 1,
//       266 n-up 1, 267 n-up borders 0, 268 n-up order 0, 270 fit to size 0,
//       272 target size 1, 279 booklet 0, 710 page order 0,
//       713 symmetrical margins 0, 983 duplex scaling 0, 410 grey options 0,
//       920 back cover 0, 921 back-cover tray 7,
//       973 back-cover media 'Plain', 250 5,
//       249 resolution {323 600, 324 600, 325 1}
//   364 colour and media settings
//       261 media 'Plain', 262 rest media 'Plain', 263 rest tray 19,
//       264 different first page 0, 291 copies 1, 293 TrueType mode 0,
//       296 grey printing 0, 304 colour adjustment choice 0,
//       295 colour adjustment (class 1201, its defaults),
//       379 current watermark {585 text as black 0, 383 name 'None',
//           1112 code 0, 403 shade 224, 388 style 0, 382 first page 0,
//           393 escapement 0, 394 angle 0, 386 face 'Arial', 387 0,
//           398 red 0, 399 green 0, 400 blue 0}
//   365 installed options
//       925 memory 64, 307 memory share 1000, 308 duplex unit 0,
//       245 manual duplex 0, 315 optional sources '', 915 scale from large
//       paper 0, 316 accessory '', 311 stapler 0, 981 stitcher 0,
//       974 tray 1 0, 274 tray-1 mode 7, 1205 post-insertion kit 0 (a
//       value), 1203 punch unit '' (a text), 927 bundle 1
//   366 key locks
//       378 watermark pool {{1112 1, 384 'Confidential', 403 128, 388 1,
//           382 1, 393 1, 386 'Times New Roman', 398 255, 399 0, 400 0},
//           {1112 2, 384 'Draft', 403 64}}
//       1102 lock list {}
//   328 printing target {218 0, 220 0, 589 0, 223 600, 224 600, 225 1}
// (No print-quality attribute 901: print quality copies presets.)
//
// The driver data's job settings:
//   90 paper path
//       "Main Unit"       paper source, always installed, current part
//                         {"Manual Feed" 4, "Tray 1" 1, "Tray 2 500-Sheet"
//                         2, "Bypass Tray" 7}
//       "Lower Cassette"  paper source, optional, not installed
//                         {"Tray 3" 3}
//       "MBX-1"           output device, optional, not installed
//   326 preset "Best"   {218 2, 220 1, 589 1, 222 {223 1200, 224 1200, 225 1}}
//   327 preset "Normal" {218 0, 220 0, 589 0, 222 {223 600, 224 600, 225 1}}
//   369 bundles {{927 1, 370 'Model-100'}, {927 2, 370 'Model-200 dn'}}
//   228 model {1208 accessories {{1207 1205, 1206 'Kit-A'},
//                                {1207 1203, 1206 'Punch-2/3'}}}
//   295 the default colour adjustment (class 1201, its defaults)
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
#include "tests/config/import/import_fixture.h"
#include "tests/support/fake_feature_store.h"

namespace acceptance {

using import_test::Group;
using import_test::Text;
using import_test::Value;

// Invented accessory identifiers and bundles (no product's).
inline constexpr const char* kStaplerStackers[] = {"FIN-B1", "FIN-D", "FIN-B3"};
inline constexpr const char* kMailboxes[] = {"MBX-1", "MBX-2"};
inline constexpr const char* kStaplers[] = {"FIN-B1", "FIN-D",  "FIN-B3",
                                            "FIN-S4", "FIN-S5", "FIN-S6"};
inline constexpr GBundleRow kBundles[] = {{"Model-100", u"Model-100"},
                                          {"Model-200 dn", u"Model-200DN"}};
inline constexpr GProductData kProduct{{"FIN-A", kStaplerStackers, "FIN-D", kMailboxes, kStaplers},
                                       kBundles};

inline GAttributeComposite* Model() {
  auto* document =
      Group(362, {Value(248, 1), Value(253, 0), Value(258, 19), Value(260, 1), Value(266, 1),
                  Value(267, 0), Value(268, 0), Value(270, 0), Value(272, 1), Value(279, 0),
                  Value(710, 0), Value(713, 0), Value(983, 0), Value(410, 0), Value(920, 0),
                  Value(921, 7), Text(973, "Plain"), Value(250, 5),
                  Group(249, {Value(323, 600), Value(324, 600), Value(325, 1)})});
  auto* watermark =
      Group(379, {Value(585, 0), Text(383, "None"), Value(1112, 0), Value(403, 224), Value(388, 0),
                  Value(382, 0), Value(393, 0), Value(394, 0), Text(386, "Arial"), Value(387, 0),
                  Value(398, 0), Value(399, 0), Value(400, 0)});
  auto* color_media =
      Group(364, {Text(261, "Plain"), Text(262, "Plain"), Value(263, 19), Value(264, 0),
                  Value(291, 1), Value(293, 0), Value(296, 0), Value(304, 0),
                  new GTintvectorEnhancedAttributeVer2(kTintvectorKey), watermark});
  auto* installed =
      Group(365, {Value(925, 64), Value(307, 1000), Value(308, 0), Value(245, 0), Text(315, ""),
                  Value(915, 0), Text(316, ""), Value(311, 0), Value(981, 0), Value(974, 0),
                  Value(274, 7), Value(1205, 0), Text(1203, ""), Value(927, 1)});
  auto* pool = Group(
      378, {Group(0, {Value(1112, 1), Text(384, "Confidential"), Value(403, 128), Value(388, 1),
                      Value(382, 1), Value(393, 1), Text(386, "Times New Roman"), Value(398, 255),
                      Value(399, 0), Value(400, 0)}),
            Group(0, {Value(1112, 2), Text(384, "Draft"), Value(403, 64)})});
  auto* locks = Group(366, {pool, Group(1102, {})});
  auto* target = Group(328, {Value(218, 0), Value(220, 0), Value(589, 0), Value(223, 600),
                             Value(224, 600), Value(225, 1)});
  return Group(0, {document, color_media, installed, locks, target});
}

// A device whose first part holds `trays` (name, id).
inline GPaperHandlingDevice* Device(const char* name, std::uint32_t type, std::uint32_t optional,
                                    std::initializer_list<std::pair<const char*, int>> trays) {
  auto* device = new GPaperHandlingDevice(RWCString(name), type, optional, 0, 1, 0, 0);
  if (trays.size() != 0) {
    auto* part = Group(0, {});
    for (const auto& [tray, id] : trays)
      part->AddChild(new GTray(RWCString(tray), static_cast<std::uint16_t>(id), kTrayKey));
    device->SetPart(1, part);
  }
  return device;
}

inline GAttributeComposite* Preset(std::uint32_t key, std::uint16_t ret, std::uint16_t tt,
                                   std::uint16_t black, std::uint16_t dots) {
  return Group(key, {Value(218, ret), Value(220, tt), Value(589, black),
                     Group(222, {Value(223, dots), Value(224, dots), Value(225, 1)})});
}

// Fills the driver data's job settings.
inline void FillJobSettings(GAttributeComposite* job_settings) {
  job_settings->AddChild(Group(
      90, {Device("Main Unit", kPaperSource, 0,
                  {{"Manual Feed", 4}, {"Tray 1", 1}, {"Tray 2 500-Sheet", 2}, {"Bypass Tray", 7}}),
           Device("Lower Cassette", kPaperSource, 1, {{"Tray 3", 3}}),
           Device("MBX-1", kOutputDevice, 1, {})}));
  job_settings->AddChild(Preset(326, 2, 1, 1, 1200));
  job_settings->AddChild(Preset(327, 0, 0, 0, 600));
  job_settings->AddChild(Group(369, {Group(0, {Value(927, 1), Text(370, "Model-100")}),
                                     Group(0, {Value(927, 2), Text(370, "Model-200 dn")})}));
  job_settings->AddChild(
      Group(228, {Group(1208, {Group(0, {Value(1207, 1205), Text(1206, "Kit-A")}),
                               Group(0, {Value(1207, 1203), Text(1206, "Punch-2/3")})})}));
  job_settings->AddChild(new GTintvectorEnhancedAttributeVer2(kTintvectorKey));
}

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
      {u"physical/OptionalPaperSources", u"Lower Cassette"},
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
