// The print road on P1: a document handed by the job driver of a render
// data checked out of the driver server to a chain of the face-up filter
// and the demonstration's page-raster generator, which writes a port file.
// The port file is pinned whole, byte for byte.
#include <filesystem>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/keys/settings_keys.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/media_from_custom_size.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "driver/render/job_driver_data.h"
#include "driver/render/load.h"
#include "examples/page_raster/page_raster_generator.h"
#include "filters/face_up_filter.h"
#include "filters/geometry_filters.h"
#include "filters/load.h"
#include "fonts/font_database.h"
#include "fonts/tt_font_imp.h"
#include "fonts/tt_font_pool.h"
#include "lang/text/text_string.h"
#include "output/attributes/clip.h"
#include "output/attributes/fill_mode.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"
#include "output/core/state.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"
#include "output/port/file_output_target.h"
#include "platform/host/files.h"
#include "services/driver_server.h"
#include "services/os_factory.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/memory_port.h"
#include "tests/support/printer_fixture.h"

namespace testing_support {
namespace {

using namespace support;

constexpr std::uint16_t kRoadSize = 16386;  // a custom size of P1's defaults

class PrintRoadGolden : public AcceptancePrinter {
 protected:
  void SetUp() override {
    AcceptancePrinter::SetUp();
    RenderLoad();
    FiltersLoad();
    RegisterPageRasterGenerator();
    GTTFontPool::CreateInstance();
    GJobFontDatabase::CreateLock();
    std::filesystem::create_directories(out_.str() + "/Spool");
    ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Out", out_.str()));
    ASSERT_EQ(RegisterFilePortHandler(), 0);
    job_ = CheckOutJobDriverData(new GPrinterKey(Printer(), kFixturePrinter, 0), cookie_);
    ASSERT_NE(job_, nullptr);
    // Spools go to a folder of the test's, named in P1's printer data,
    // which the services reach through the job's own handle.
    ASSERT_EQ(GOSFactory::Instance()->SetPrinterDataString(job_, u"TempDirectoryLocation",
                                                           u"C:\\Out\\Spool"),
              1);
  }
  void TearDown() override {
    if (job_) GDriverServer::Instance()->ReleaseRenderData(cookie_);
    UnregisterFilePortHandler();
    GTTFontPool::DestroyInstance();
    GJobFontDatabase::DestroyLock();
    UnregisterPageRasterGenerator();
    FiltersUnload();
    RenderUnload();
    std::filesystem::remove_all(out_.str());
    AcceptancePrinter::TearDown();
  }

  // Through the job driver; its answer.
  std::uint16_t Submit(GCommand* command) {
    GCountedPtr held(command);
    return job_->Submit(command);
  }
  // A custom size of 32 x 4 hundredths of an inch at 100 dots per inch: a
  // medium of 32 x 4 pixels.
  GMedia* RoadMedium() {
    GAttributeComposite* defaults = job_->EnsureDefaultSettings();
    auto* resolution = FindComposite(defaults, kResolutionKey);
    if (!resolution) defaults->AddChild(resolution = new GAttributeComposite(kResolutionKey));
    for (std::uint32_t key : {kXResolutionKey, kYResolutionKey}) {
      delete resolution->RemoveByKey(key);
      resolution->AddChild(new GValueAttribute(100, key));
    }
    FindComposite(defaults, kCustomSizesKey)
        ->AddChild(new GCustomMediaSize(kRoadSize, RWCString("Road"), kHundredthInch, 32, 4, 0));
    GMedia* medium = job_->MakeMedium(kRoadSize);
    if (medium) medium->SetKey(kMediumKey);
    return medium;
  }

  TempPath out_{"print_road"};
  GJobDriverData* job_ = nullptr;
  std::uint32_t cookie_ = 0;
};

GState* Set(std::initializer_list<GAttribute*> attributes) {
  auto* set = new GState(0u);
  for (GAttribute* attribute : attributes)
    set->AddChild(attribute);
  return set;
}

// The golden, derived by hand. Each page is 32 x 4 one-bit pixels, 4 bytes
// a row; the bitmap source (read mode 0) hands the rows as stored, white
// bits 1 (palette index 0 black, 1 white), and the adaptive encoder (a new
// one begun for each page, alignment 1, invert 1) sends the complemented
// bytes. Its threshold is row size / 3 = 4 / 3 = 1; repeats count the bytes
// equal to the byte before them, matches the bytes equal to the seed's.
//   row 0 of either page, FF FF FF FF: 3 repeats, 0 matches (the first row
//     after Begin matches nothing): not raw (3 >= 1), run-length (3 > 0):
//     4 copies of 00 are the packet FD 00 (1 - n = -3): 02 00 02 FD 00;
//   a row equal to the one before: 3 repeats, 4 matches: delta row (not
//     3 > 4), and no byte changed: 03 00 00;
//   page 2's row 2, FF 00 FF FF (the rectangle's pixels 8-15 black): 1
//     repeat, 3 matches: delta row; one run of 1 byte at offset 1: command
//     (1 - 1) x 32 + 1 = 01, then the byte complemented, FF: 03 00 02 01 FF;
//   its row 3 repeats row 2: 03 00 00.
// Face up, page 2 comes first. The display line leads (key 801 = 0).
TEST_F(PrintRoadGolden, AFaceUpJobReachesThePortFileByteForByte) {
  std::unique_ptr<GMedia> medium(RoadMedium());
  ASSERT_NE(medium, nullptr);
  ASSERT_EQ(medium->GetPaperSize(), GSize16(32, 4));
  auto* chain = new GPeripheralComposite;
  chain->AddChild(new GFaceUpFilter);
  chain->AddChild(new GPageRasterGenerator);
  job_->SetOutputChain(chain);

  EXPECT_EQ(Submit(new GDocumentStart(Set({new GValueAttribute(1, kRuleSwitchKey),
                                           new GStringAttribute("demo", kDisplayTextKey),
                                           new GValueAttribute(0, kOperatorMessageKey)}),
                                      u"FILE:C:\\Out\\road.prn", u"road", job_, 0u)),
            0);
  for (int page = 1; page <= 2; ++page) {
    EXPECT_EQ(Submit(new GPageStart(Set({new GMedia(*medium)}), 0u)), 0);
    if (page == 2) {
      EXPECT_EQ(Submit(new GRectangleGraphic({8, 2, 16, 4}, nullptr, 0u)), 0);
    }
    EXPECT_EQ(Submit(new GPageEnd(0u)), 0);
  }
  EXPECT_EQ(Submit(new GDocumentEnd(nullptr, u"", u"", 0u)), 0);

  const std::string kPage2 =
      "PAGE 32 4\r\n" + std::string("\x02\x00\x02\xFD\x00", 5) + std::string("\x03\x00\x00", 3) +
      std::string("\x03\x00\x02\x01\xFF", 5) + std::string("\x03\x00\x00", 3) + "ENDPAGE\r\n";
  const std::string kPage1 = "PAGE 32 4\r\n" + std::string("\x02\x00\x02\xFD\x00", 5) +
                             std::string("\x03\x00\x00\x03\x00\x00\x03\x00\x00", 9) + "ENDPAGE\r\n";
  EXPECT_EQ(Hex(ReadAll(out_.str() + "/road.prn")),
            Hex("RDYMSG DISPLAY = \"demo\"\r\n" + kPage2 + kPage1));
  EXPECT_TRUE(std::filesystem::is_empty(out_.str() + "/Spool"));
}

// A display text that would end its line and add a command stays one line.
TEST_F(PrintRoadGolden, TheDisplayTextCannotAddCommands) {
  job_->SetOutputChain(new GPageRasterGenerator);
  EXPECT_EQ(Submit(new GDocumentStart(
                Set({new GStringAttribute("x\"\r\n@ZJL SET COPIES=999\r\n\x1b", 800)}),
                u"FILE:C:\\Out\\text.prn", u"text", job_, 0u)),
            0);
  EXPECT_EQ(Submit(new GDocumentEnd(nullptr, u"", u"", 0u)), 0);
  EXPECT_EQ(ReadAll(out_.str() + "/text.prn"), "RDYMSG DISPLAY = \"x@ZJL SET COPIES=999\"\r\n");
}

// The demonstration's job abort before any document start touches no port.
TEST(PageRasterGenerator, AJobAbortOutsideADocumentLeavesThePort) {
  GPageRasterGenerator generator;
  MemoryPort* port = new MemoryPort;
  port->Open(u"doc");
  generator.SetOutput(port, true);
  generator.GetSink().Put(RWCString("held"));
  GJobAbort abort(0u);
  EXPECT_EQ(abort.Execute(generator), 0);
  EXPECT_TRUE(port->GetState() == GOutputTarget::kOpen && port->bytes.empty());
}

// The picture as rows of '#' (black) and '.' (white).
std::vector<std::string> Picture(const GBitmap& page) {
  std::vector<std::string> rows;
  const GBitmapImp* image = page.GetImplementation();
  for (std::uint32_t y = 0; image && y < image->GetHeight(); ++y) {
    std::string& row = rows.emplace_back();
    for (std::uint32_t x = 0; x < image->GetWidth(); ++x)
      row += (image->GetPixels()[y * image->GetRowStride() + x / 8] >> (7 - x % 8)) & 1 ? '.' : '#';
  }
  return rows;
}

GGraphicBundle* Bundle(std::initializer_list<GAttribute*> attributes) {
  auto* bundle = new GGraphicBundle;
  for (GAttribute* attribute : attributes)
    bundle->AddChild(attribute);
  return bundle;
}

// Each graphic drawn alone on an 8 x 4 page (the page start's set: the
// medium, and a transform where given), its picture read when the page
// ends. Pixels are inside when their centres are.
TEST(PageRasterGenerator, DrawsEachGraphicByItsStateAndPlacement) {
  // A square traced twice: every row crosses its sides twice over.
  static const GShortPoint kTwice[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4},
                                       {0, 0}, {4, 0}, {4, 4}, {0, 4}};
  static const GShortPoint kBezier[] = {{0, 0}, {2, 0}, {5, 0}, {7, 0}};
  // Two 1-bit pixels, black then white, in a padded row.
  static const std::uint8_t kTwoPixels[4] = {0x40, 0, 0, 0};
  const GPaletteEntry palette[2] = {{0, 0, 0, 255}, {255, 255, 255, 255}};
  auto raster = [&] {
    GBitmap bitmap(new GBitmapImp(2, 1, 1, 1, kTwoPixels, new GPaletteTable(palette)));
    return new GRasterGraphic(bitmap, {0, 0, 2, 1}, {0, 0, 4, 2}, GBitmap(), nullptr, 0u);
  };
  // "AA" in a font whose 'A' fills the em, 2 pixels high, at (1, 3) and
  // (5, 3): each glyph's top left at its pen less its height.
  GTTFontPool::CreateInstance();
  tt_testing::OpenedFont square(tt_testing::SquareFont(), 41);
  ASSERT_TRUE(square.opened);
  GFontDescriptionRecord record;
  record.selector = 16;
  record.height = 2;
  static const std::uint16_t kText[] = {'A', 'A'};
  static const GShortPoint kPens[] = {{1, 3}, {5, 3}};
  auto* font = new GFont(
      new GTTFontImp(0, record, {}, GTTFontPool::Instance(), square.reader.release()), nullptr);
  const std::string kBlank = "........";
  struct Case {
    const char* what;
    GCommand* graphic;
    GTransformAttribute* page_transform;
    std::vector<std::string> picture;
  } cases[] = {
      {"winding rule",
       new GPolygonGraphic(GShortPointArray(kTwice, 8), Bundle({new GFillMode(kFillWinding, 0u)}),
                           0u),
       nullptr,
       {"####....", "####....", "####....", "####...."}},
      {"even-odd rule",
       new GPolygonGraphic(GShortPointArray(kTwice, 8), Bundle({new GFillMode(kFillEvenOdd, 0u)}),
                           0u),
       nullptr,
       {kBlank, kBlank, kBlank, kBlank}},
      {"pen alone",
       new GRectangleGraphic({1, 1, 7, 3},
                             Bundle({new GNoBrush(kBrushKey), new GPen(1, nullptr, kPenKey)}), 0u),
       nullptr,
       {kBlank, ".#######", ".#.....#", ".#######"}},
      {"turned by the page",
       new GRectangleGraphic({0, 0, 2, 1}, nullptr, 0u),
       new GTransformAttribute(90, {0, 3}, {1.0F, 1.0F}),
       {kBlank, "#.......", "#.......", kBlank}},
      {"clip placed with the graphic",
       new GRectangleGraphic({0, 0, 8, 4},
                             Bundle({new GClipToSingleRectangle({2, 1, 4, 3}, 0, 0, kClipKey),
                                     new GTransformAttribute(0, {1, 0}, {1.0F, 1.0F})}),
                             0u),
       nullptr,
       {kBlank, "...##...", "...##...", kBlank}},
      {"Bezier run",
       new GPolyBezierGraphic(GShortPointArray(kBezier, 4), nullptr, 0u),
       nullptr,
       {"########", kBlank, kBlank, kBlank}},
      {"raster scaled", raster(), nullptr, {"##......", "##......", kBlank, kBlank}},
      {"text",
       new GTextStringGraphic(font, GCodeBuffer(kText, 2), 16, kPens, 0, nullptr),
       nullptr,
       {kBlank, ".##..##.", ".##..##.", kBlank}},
  };
  for (Case& c : cases) {
    GCountedPtr graphic(c.graphic);
    GPageRasterGenerator generator;
    std::vector<std::string> picture;
    generator.SetPageObserver([&](const GBitmap& page) { picture = Picture(page); });
    GState* set =
        Set({new GMedia("", {8, 4}, {8, 4}, {0, 0}, 0, 0, 600, 600, kMediumKey, 0, "", "")});
    if (c.page_transform) set->AddChild(c.page_transform);
    GPageStart start(set, 0u);
    GPageEnd end(0u);
    EXPECT_EQ(generator.PageStart(start), 0) << c.what;
    EXPECT_EQ(c.graphic->Execute(generator), 0) << c.what;
    EXPECT_EQ(generator.PageEnd(end), 0) << c.what;
    EXPECT_EQ(picture, c.picture) << c.what;
  }
  GTTFontPool::DestroyInstance();
}

}  // namespace
}  // namespace testing_support
