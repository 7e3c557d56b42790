// A whole printer's configuration import and export (acceptance_model.h,
// README.md): the installed options and then the document defaults are
// imported from the configuration helper's store on 6 December 2026, the
// factory contexts are exported, and the exported store is imported again.
// Every golden below is written by hand from the import's rules, each line
// with the rule it follows.
#include <gtest/gtest.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "config/attributes/tintvector_attribute.h"
#include "platform/host/clock.h"
#include "tests/config/acceptance/acceptance_model.h"
#include "tests/config/import/import_fixture.h"
#include "tests/support/test_importer.h"

namespace {

using testing_support::FakeFeatureStore;
using testing_support::Utf8;

// A golden line and the rule it follows.
struct Cited {
  const char* line;
  const char* rule;
};

std::vector<std::string> Lines(std::span<const Cited> golden) {
  std::vector<std::string> lines;
  for (const Cited& cited : golden)
    lines.emplace_back(cited.line);
  return lines;
}

// The stored bytes of a colour adjustment of class 1201, in hex: neutral
// greys, halftone and sRGB colour of text, graphics and photos, then edge
// control.
std::string Bytes(const GTintvectorEnhancedAttributeVer2& adjustment) {
  std::string bytes;
  auto add = [&](std::int32_t object, std::int32_t setting) {
    std::uint8_t byte = 0;
    adjustment.GetSetting(object, setting, byte);
    static constexpr char kHex[] = "0123456789ABCDEF";
    if (!bytes.empty()) bytes += ' ';
    bytes += kHex[byte >> 4];
    bytes += kHex[byte & 15];
  };
  for (std::int32_t object = 0; object < 3; ++object) {
    add(object, 0);
    add(object, 1);
    add(object, 3);
  }
  add(3, 2);
  return bytes;
}

// The class and value of a model object.
std::string ClassAndValue(const MPersistentObject* object) {
  if (auto* value = dynamic_cast<const GValueAttribute*>(object)) {
    return "GValueAttribute " + std::to_string(value->GetValue());
  }
  if (auto* text = dynamic_cast<const GStringAttribute*>(object)) {
    return "GStringAttribute '" + std::string(text->GetValue().Data()) + "'";
  }
  if (auto* adjustment = dynamic_cast<const GTintvectorEnhancedAttributeVer2*>(object)) {
    return "GTintvectorEnhancedAttributeVer2 " + Bytes(*adjustment);
  }
  if (auto* composite = dynamic_cast<const GAttributeComposite*>(object)) {
    return "GAttributeComposite {" + import_test::Entries(composite) + "}";
  }
  return "other";
}

std::string Value(const MPersistentObject* object) {
  std::string described = ClassAndValue(object);
  return described.substr(described.find(' ') + 1);
}

// Each child as "key class value".
std::vector<std::string> Children(const GAttributeComposite* composite) {
  std::vector<std::string> lines;
  const GCountedPtrVector& children = composite->Children();
  for (RWSize i = 0; i < children.Count(); ++i) {
    const MPersistentObject* child = children[i].Get();
    lines.push_back(std::to_string(child->Key()) + " " + ClassAndValue(child));
  }
  return lines;
}

// "path: before -> after" for every value that differs between two trees
// of the same shape (a composite whose children changed in number is one
// line).
void Diff(const MPersistentObject* before, const MPersistentObject* after, const std::string& path,
          std::vector<std::string>& out) {
  auto* old_group = dynamic_cast<const GAttributeComposite*>(before);
  auto* new_group = dynamic_cast<const GAttributeComposite*>(after);
  if (old_group != nullptr && new_group != nullptr &&
      old_group->Children().Count() == new_group->Children().Count()) {
    for (RWSize i = 0; i < old_group->Children().Count(); ++i) {
      const MPersistentObject* old_child = old_group->Children()[i].Get();
      const std::string child_path =
          (path.empty() ? "" : path + "/") + std::to_string(old_child->Key());
      Diff(old_child, new_group->Children()[i].Get(), child_path, out);
    }
    return;
  }
  if (Value(before) != Value(after))
    out.push_back(path + ": " + Value(before) + " -> " + Value(after));
}

std::vector<std::string> Diff(const MPersistentObject* before, const MPersistentObject* after) {
  std::vector<std::string> out;
  Diff(before, after, "", out);
  return out;
}

class Acceptance : public import_test::ImportFixture {
 protected:
  void SetUp() override {
    ImportFixture::SetUp();
    SetProductData(&acceptance::kProduct);
    support::FillJobSettings(driver_data_.GetJobSettings());
    acceptance::FillStore(store_);
    root_.Reset(support::Model());
    initial_.Reset(root_->DeepCopy());
    ASSERT_TRUE(platform::SetFixedClock({2026, 12, 6, 15, 30, 0}));
    PutPrinterText(u"Stale", u"FALSE");
  }
  void TearDown() override {
    SetProductData(nullptr);
    ImportFixture::TearDown();
  }

  GAttributeComposite* Root() const { return static_cast<GAttributeComposite*>(root_.Get()); }
  std::unique_ptr<TestImporter> NewImporter() {
    return std::make_unique<TestImporter>(Root(), &driver_data_, RWWString(u"P1"));
  }
  // The import of both contexts, as the driver's run in mode 0 does it;
  // the importer's destination is kept in `destination` when given.
  bool Import(GCountedPtr* destination = nullptr) {
    auto importer = NewImporter();
    const bool result = importer->Run(0);
    if (destination != nullptr) destination->Reset(importer->GetDestination()->DeepCopy());
    quickset_before_end_ = PrinterData(u"QCFQuickset:0") != "absent";
    return result;
  }
  std::vector<std::string> ExportLog() const {
    std::vector<std::string> log;
    for (const FakeFeatureStore::Export& entry : store_.Exports()) {
      log.push_back(Utf8(entry.key) + "=" + Utf8(entry.word) +
                    (entry.accepted ? "" : " (refused)"));
    }
    return log;
  }
  std::string Installed() {
    std::string flags;
    const GCountedPtrVector& devices = FindComposite(driver_data_.GetJobSettings(), 90)->Children();
    for (RWSize i = 0; i < devices.Count(); ++i)
      flags += std::to_string(static_cast<GPaperHandlingDevice*>(devices[i].Get())->IsInstalled());
    return flags;
  }

  GCountedPtr root_;
  GCountedPtr initial_;
  bool quickset_before_end_ = true;
};

// The destination, in the order the converters recorded their changes.
constexpr Cited kDestination[] = {
    // The installed options.
    {"925 GValueAttribute 96", "memory: the word as a decimal number, a copy"},
    {"307 GValueAttribute 2600", "memory share: (1000 / 100 + ((96 - 64) * 50) / 100) * 100"},
    {"308 GValueAttribute 1", "duplex unit: \"Installed\" is 1, a copy"},
    {"1205 GValueAttribute 1", "post-insertion kit: a word other than \"None\" is 1, a copy"},
    {"1203 GStringAttribute 'Punch-2/3'", "punch unit: a text attribute takes the word"},
    // The document defaults.
    {"295 GTintvectorEnhancedAttributeVer2 46 2A 65 51 33 68 5A 3E 6B 60",
     "Tintvector \"Manual\": each sub-key's byte; unlike the driver's default, so copied"},
    {"304 GValueAttribute 6", "Tintvector: the sub-keys read, the choice is 6"},
    {"295 GTintvectorEnhancedAttributeVer2 46 2A 70 51 33 71 5A 3E 72 60",
     "RGB colour \"AdobeRGB\": sRGB bytes 0x70, 0x71, 0x72, a copy"},
    {"264 GValueAttribute 1", "\"DifferentFirstPage\" is 1"},
    {"262 GStringAttribute 'PremIJPaper'", "rest media \"KV_PREMIUM_PAPER\", a copy"},
    {"263 GValueAttribute 3",
     "rest tray \"Tray3\": \"Tray 3\" of the source the physical import installed"},
    {"920 GValueAttribute 2", "back cover \"UseAlternateSource\" is 2"},
    {"973 GStringAttribute 'Card Stock'",
     "back-cover media \"CARDSTOCK\"; the back-cover tray's key is absent: nothing"},
    {"261 GStringAttribute 'Gloss'",
     "media \"GLOSS\"; the first page differs, so the rest does not follow"},
    {"296 GValueAttribute 1", "grey printing \"TRUE\" is 1, a new attribute"},
    {"410 GValueAttribute 1", "grey printing on: its options \"BlackOnly\" is 1"},
    {"258 GValueAttribute 2",
     "input bin \"Tray2\": \"Tray 2\" is a whole word of \"Tray 2 500-Sheet\""},
    {"250 GValueAttribute 2", "print quality \"Best\" without 901: preset 326, 218 -> 250"},
    {"293 GValueAttribute 1", "preset 326, 220 -> 293"},
    {"585 GValueAttribute 1", "preset 326, 589 -> 585"},
    {"323 GValueAttribute 1200", "preset 326, 222 -> 249: 223 -> 323"},
    {"324 GValueAttribute 1200", "224 -> 324"},
    {"325 GValueAttribute 1", "225 -> 325"},
    {"293 GValueAttribute 1",
     "then TrueType as bitmap \"TTModeBitmap\", a new attribute (text as black has no key)"},
    {"260 GValueAttribute 56", "paper size \"B5ISO\" is 56; no media names the code"},
    {"1111 GValueAttribute 0", "paper size: the marker"},
    {"253 GValueAttribute 1",
     "duplex: the unit is installed; \"TRUE\", then the edge \"ShortEdge\" is 1"},
    {"710 GValueAttribute 1", "duplex on: page order 0 becomes 1"},
    {"983 GValueAttribute 1", "duplex scaling: \"TRUE\", then its sub-key \"FALSE\" is 1"},
    {"713 GValueAttribute 1", "duplex scaling on: symmetrical margins 1"},
    {"248 GValueAttribute 62", "output bin \"MainBinFaceDown\" with a mailbox accessory is 62"},
    {"266 GValueAttribute 2", "n-up \"TwoUp\" is 2"},
    {"268 GValueAttribute 1", "then the page order \"DownThenRight\" is 1"},
    {"267 GValueAttribute 1", "then the borders \"PrintBorders\" are 1"},
    {"270 GValueAttribute 1", "fit to size \"FitToOtherSize\" is 1"},
    {"272 GValueAttribute 23", "then the target size \"A4\" is 23"},
    {"1111 GValueAttribute 0", "the target size's marker"},
    {"383 GStringAttribute 'Confidential'", "watermark \"Confidential\": the definition's name"},
    {"1112 GValueAttribute 1", "and its code"},
    {"403 GValueAttribute 192", "then the shade \"Light\" is 192"},
    {"382 GValueAttribute 0", "the first page \"AllPages\" is 0 (style, escapement, font absent)"},
    {"398 GValueAttribute 255", "the colour \"Red\" is 255, 0, 0"},
    {"399 GValueAttribute 0", "green"},
    {"400 GValueAttribute 0", "blue"},
    {"291 GValueAttribute 3", "copies \"3\""},
    {"218 GValueAttribute 2", "post-step, 293 now differs from 328's 220: 250 -> 218"},
    {"223 GValueAttribute 1200", "323 -> 223"},
    {"224 GValueAttribute 1200", "324 -> 224"},
    {"225 GValueAttribute 1", "325 -> 225"},
    {"220 GValueAttribute 1", "293 -> 220"},
    {"589 GValueAttribute 1", "585 -> 589"},
};

// What the import changed in the model, in the tree's order.
constexpr Cited kChanged[] = {
    {"362/248: 1 -> 62", "output bin"},
    {"362/253: 0 -> 1", "duplex"},
    {"362/258: 19 -> 2", "input bin"},
    {"362/260: 1 -> 56", "paper size"},
    {"362/266: 1 -> 2", "n-up"},
    {"362/267: 0 -> 1", "n-up borders"},
    {"362/268: 0 -> 1", "n-up page order"},
    {"362/270: 0 -> 1", "fit to size"},
    {"362/272: 1 -> 23", "paper size sets 56 while fitting is off, then the target size 23"},
    {"362/710: 0 -> 1", "duplex on"},
    {"362/713: 0 -> 1", "duplex scaling on"},
    {"362/983: 0 -> 1", "duplex scaling"},
    {"362/410: 0 -> 1", "grey options"},
    {"362/920: 0 -> 2", "back cover"},
    {"362/973: 'Plain' -> 'Card Stock'", "back-cover media"},
    {"362/250: 5 -> 2", "preset 326"},
    {"362/249/323: 600 -> 1200", "preset 326"},
    {"362/249/324: 600 -> 1200", "preset 326"},
    {"364/261: 'Plain' -> 'Gloss'", "media"},
    {"364/262: 'Plain' -> 'PremIJPaper'", "rest media"},
    {"364/263: 19 -> 3", "rest tray"},
    {"364/264: 0 -> 1", "different first page"},
    {"364/291: 1 -> 3", "copies"},
    {"364/293: 0 -> 1", "preset 326, then TrueType as bitmap"},
    {"364/296: 0 -> 1", "grey printing"},
    {"364/304: 0 -> 6", "Tintvector"},
    {"364/295: 46 29 64 50 33 67 5B 3D 6A 5F -> 46 2A 70 51 33 71 5A 3E 72 60",
     "Tintvector's sub-keys, then the RGB colour's sRGB bytes"},
    {"364/379/585: 0 -> 1", "preset 326"},
    {"364/379/383: '' -> 'Confidential'", "the watermark's name"},
    {"364/379/1112: 0 -> 1", "the watermark's code"},
    {"364/379/403: 224 -> 128", "shade \"Light\", then the definition's 128"},
    {"364/379/388: 0 -> 1", "the definition's style"},
    {"364/379/382: 0 -> 1", "first page \"AllPages\", then the definition's 1"},
    {"364/379/393: 0 -> 1", "the definition's escapement"},
    {"364/379/386: 'Arial' -> 'Times New Roman'", "the definition's face"},
    {"364/379/398: 0 -> 255", "colour \"Red\", then the definition's same red"},
    {"365/925: 64 -> 96", "memory"},
    {"365/307: 1000 -> 2600", "memory share"},
    {"365/308: 0 -> 1", "duplex unit"},
    {"365/315: '' -> 'Z7142'", "optional paper sources"},
    {"365/915: 0 -> 1", "scale from large paper \"TRUE\""},
    {"365/316: '' -> 'MBX-1'", "accessory (no stapler among the invented staplers)"},
    {"365/974: 0 -> 1", "tray 1 installed"},
    {"365/274: 7 -> 8", "tray 1 installed: mode 8"},
    {"365/1205: 0 -> 1", "post-insertion kit"},
    {"365/1203: '' -> 'Punch-2/3'", "punch unit"},
    {"366/1102: {} -> {0=261 0=296 0=258 0=253}",
     "locks of media type, grey printing, input bin and duplex, in that order; the output "
     "bin's \"FALSE\" is none"},
    {"328/218: 0 -> 2", "post-step"},
    {"328/220: 0 -> 1", "post-step"},
    {"328/589: 0 -> 1", "post-step"},
    {"328/223: 600 -> 1200", "post-step"},
    {"328/224: 600 -> 1200", "post-step"},
};

// The export of "factory/physical", then of "factory/printing".
constexpr Cited kExportLog[] = {
    {"physical/Bundles=Model-100", "bundle 14117 is \"Model-100\" in the job settings' bundles"},
    {"physical/Memory=96", "memory in decimal"},
    {"physical/duplexunit=Installed", "the duplex unit's extract key"},
    {"physical/OptionalPaperSources=Z7142", "the text"},
    {"physical/ScaleFromLargePaper=TRUE", "1 is \"TRUE\""},
    {"physical/AccessoryOutputBins=MBX-1", "the text"},
    {"physical/Tray1=Installed", "1"},
    {"physical/KVPostInsertionKit=Kit-A", "1: the accessory record of 1205"},
    {"physical/KVPunchUnitType=Punch-2/3", "the text"},
    {"printing/KVTintvector=Manual", "choice 6"},
    {"printing/KVTintvector/KVTintvector_Text_Halftone=Smooth", "0x2A is not 0x29"},
    {"printing/KVTintvector/KVTintvector_Text_NeutralGrays=BlackOnly", "0x46"},
    {"printing/KVTintvector/KVTintvector_Graphics_Halftone=Detail", "0x33"},
    {"printing/KVTintvector/KVTintvector_Graphics_NeutralGrays=4-Color", "0x51 is not 0x50"},
    {"printing/KVTintvector/KVTintvector_Photo_Halftone=Smooth", "0x3E is not 0x3D"},
    {"printing/KVTintvector/KVTintvector_Photo_NeutralGrays=BlackOnly", "0x5A is not 0x5B"},
    {"printing/KVTintvector/KVTintvector_ColorOptions_RGBColor=Default-sRGB",
     "class 1201 holds no such byte"},
    {"printing/KVTintvector/KVTintvector_Text_SRGBColor=Device", "0x70 is neither 0x64 nor 0x65"},
    {"printing/KVTintvector/KVTintvector_Graphics_SRGBColor=Device", "0x71"},
    {"printing/KVTintvector/KVTintvector_Photo_SRGBColor=Device", "0x72"},
    {"printing/KVTintvector/KVTintvector_ColorOptions_EdgeControl=Maximum", "0x60"},
    {"printing/RGBColor=AdobeRGB", "photo byte 0x72"},
    {"printing/UseDiffFirstPageChoice=DifferentFirstPage", "1"},
    {"printing/UseDiffFirstPageChoice/MediaTypeRest=KV_PREM_INKJET_PAPER",
     "the first word of 'PremIJPaper', from 364"},
    {"printing/UseDiffFirstPageChoice/InputBinRest=Tray3", "tray 3 is \"Tray 3\", from 364"},
    {"printing/UseDiffFirstPageChoice/BackCoverChoice=UseAlternateSource", "2"},
    {"printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverMediaTypeSetting=CARDSTOCK_GP "
     "(refused)",
     "the first word of 'Card Stock', which the store refuses"},
    {"printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverMediaTypeSetting=CARDSTOCK",
     "so its second word"},
    {"printing/UseDiffFirstPageChoice/BackCoverChoice/BackCoverTrayChoice=PrinterSelect",
     "tray 7, \"Bypass Tray\", is no row's name"},
    {"printing/MediaType=GLOSS", "'Gloss'"},
    {"printing/PrintColorAsGray=Enable", "the first word of 1"},
    {"printing/PrintColorAsGray[TRUE]/PrintColorAsGrayOptions=BlackOnly", "the options' 1"},
    {"printing/InputBin=Tray2", "\"Tray 2\" is a whole word of \"Tray 2 500-Sheet\""},
    {"printing/PrintQuality=Best", "no 901, and the settings match preset 326"},
    {"printing/PaperSize=B5", "the first word of 56"},
    {"printing/Duplex=TRUE", "duplex 1"},
    {"printing/Duplex/DuplexEdge=ShortEdge", "1"},
    {"printing/Duplex/KVAutoDuplexScaling=FALSE", "then the scaling's 1"},
    {"printing/OutputBin=MainBinFaceDown", "the first word of 62"},
    {"printing/NUpChoice=TwoUp", "2"},
    {"printing/NUpChoice/NUpPageOrderChoice=DownThenRight", "not one page per sheet: 1"},
    {"printing/NUpChoice/NUpBordersChoice=PrintBorders", "1"},
    {"printing/FitToOtherSizeChoice=FitToOtherSize", "1"},
    {"printing/FitToOtherSizeChoice/TargetSizeChoice=A4", "then the target 23"},
    {"printing/Watermarks=Confidential", "code 1"},
    {"printing/Watermarks/WMFont=Times New Roman", "the definition named 'Confidential': its face"},
    {"printing/Watermarks/WMShadeLevel=Medium", "its shade 128"},
    {"printing/Watermarks/WMColor=Red", "its colour 255, 0, 0"},
    {"printing/Watermarks/WMFirstPageOnly=FirstPageOnly", "the current watermark's 1"},
    {"printing/Watermarks/WMFontStyle=Bold", "the definition's style 1"},
    {"printing/Watermarks/WMFontEscapement=Diagonal", "its escapement 1"},
    {"printing/Copies=3", "in decimal"},
};

// What importing the exported store changes (README.md, asymmetries).
constexpr Cited kAsymmetries[] = {
    {"362/921: 7 -> 19",
     "the back-cover tray \"Bypass Tray\" has no row: exported \"PrinterSelect\", imported as "
     "the automatic tray"},
};

TEST_F(Acceptance, TheImportSetsTheModelRecordsItsChangesAndStampsPrinterData) {
  PutPrinterText(u"QCFLastUpdate", u"x");
  GCountedPtr destination;
  ASSERT_TRUE(Import(&destination));

  EXPECT_EQ(Children(static_cast<GAttributeComposite*>(destination.Get())), Lines(kDestination));
  EXPECT_EQ(Diff(initial_.Get(), Root()), Lines(kChanged));

  // A physical change: the maps once and "Admin"; a change at all: the date,
  // month first; a printing change: the quick set, once the importer ends.
  EXPECT_EQ(driver_data_.maps_written, std::vector<const GAttributeComposite*>{Root()});
  EXPECT_TRUE(PrinterText(u"LastUpdateType") == u"Admin");
  EXPECT_EQ(Utf8(PrinterText(u"QCFLastUpdate")), "12/ 06/ 2026");
  EXPECT_TRUE(quickset_before_end_);  // kept by the import: the importer's end stores nothing
  RWCollectable* loaded = nullptr;
  ASSERT_EQ(services_.LoadNamedObject(&driver_data_, RWWString(u"QCFQuickset"), loaded), 1);
  std::unique_ptr<RWCollectable> quickset(loaded);
  auto* kept = dynamic_cast<GAttributeComposite*>(loaded);
  ASSERT_NE(kept, nullptr);
  EXPECT_EQ(kept->Key(), 1101u);
  EXPECT_EQ(Children(kept), Lines(kDestination));

  // The driver data: the bundle "Model-200DN" selected by its model name;
  // "Z7142" and "MBX-1" installed.
  ASSERT_EQ(driver_data_.series_applied.size(), 1u);
  EXPECT_TRUE(driver_data_.series_applied[0].name == u"Model-200 dn");
  EXPECT_EQ(Installed(), "111");
  // One run: opened with the printer's name, both contexts, closed.
  EXPECT_EQ(store_.Calls("QCFStartConfig"),
            std::vector<std::string>{"QCFStartConfig(P1, 0, QCF_DRIVER, 0)"});
  EXPECT_EQ(store_.Calls("QCFEndConfig").size(), 1u);
}

TEST_F(Acceptance, TheExportWritesTheFactoryContextsInOrder) {
  ASSERT_TRUE(Import());
  GCountedPtr imported(Root()->DeepCopy());
  store_.ClearLog();
  {
    auto importer = NewImporter();
    EXPECT_EQ(importer->ExportFactorySettings(), 1u);
  }
  EXPECT_EQ(ExportLog(), Lines(kExportLog));
  EXPECT_EQ(store_.Calls("QCFStartExport"),
            std::vector<std::string>{"QCFStartExport(P1, QCF_DRIVER, 1)"});
  EXPECT_EQ(store_.Calls("QCFEndExport").size(), 1u);
  // An export changes nothing in the model.
  EXPECT_TRUE(Diff(imported.Get(), Root()).empty());
}

TEST_F(Acceptance, ImportingTheExportedStoreChangesOnlyTheAsymmetries) {
  ASSERT_TRUE(Import());
  {
    auto importer = NewImporter();
    ASSERT_EQ(importer->ExportFactorySettings(), 1u);
  }
  GCountedPtr imported(Root()->DeepCopy());
  ASSERT_TRUE(Import());
  EXPECT_EQ(Diff(imported.Get(), Root()), Lines(kAsymmetries));
}

TEST_F(Acceptance, AnUnusableHelperOrAFailedEnumerationChangesNothing) {
  PutPrinterText(u"QCFLastUpdate", u"x");
  // The store enumerates a context with an answer other than 1: the
  // physical import fails, so nothing is imported and no stamp is written.
  store_.SetEnumFeaturesResult(2);
  EXPECT_FALSE(Import());
  EXPECT_TRUE(Diff(initial_.Get(), Root()).empty());
  EXPECT_EQ(Utf8(PrinterText(u"QCFLastUpdate")), "x");
  {
    auto importer = NewImporter();
    EXPECT_EQ(importer->ImportPrinting(), 0u);
    EXPECT_EQ(importer->ExportFactorySettings(), 0u);
  }
  EXPECT_TRUE(Diff(initial_.Get(), Root()).empty());
  EXPECT_TRUE(store_.Exports().empty());

  // A helper without every entry: the run writes "ERROR" and opens nothing.
  store_.SetEnumFeaturesResult(1);
  store_.ClearLog();
  ASSERT_TRUE(platform::SetExportHidden(u"C:\\Drv\\KVSOLA32.dll", "QCFGetPRV", true));
  EXPECT_FALSE(Import());
  EXPECT_TRUE(Diff(initial_.Get(), Root()).empty());
  EXPECT_TRUE(PrinterText(u"QCFLastUpdate") == u"ERROR");
  EXPECT_TRUE(store_.Calls("QCFStartConfig").empty());
  {
    auto importer = NewImporter();
    EXPECT_EQ(importer->ExportFactorySettings(), 0u);
  }
  EXPECT_TRUE(store_.Exports().empty());

  // Neither touched the driver data or printer data beyond the stamp.
  EXPECT_TRUE(driver_data_.maps_written.empty());
  EXPECT_TRUE(driver_data_.series_applied.empty());
  EXPECT_EQ(Installed(), "100");
  EXPECT_EQ(PrinterData(u"QCFQuickset:0"), "absent");
  EXPECT_EQ(PrinterData(u"LastUpdateType"), "absent");
}

}  // namespace
