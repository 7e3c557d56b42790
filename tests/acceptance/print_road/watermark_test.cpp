// A watermark chosen on the Effects page reaches the printed page: P1's
// document sheet worked as a user works it ("Confidential" chosen, OK), a
// job of the rendering side bound to the record the sheet handed back,
// and a two-page document through the canonical chain into the
// demonstration's page-raster generator, whose pictures are read.
//
// P1's "Confidential" (support/fixture_printer.md): first page only, 72
// points, diagonal (kind 1), face "Times New Roman", which the machine
// here lists as "boxes.ttf": every printable character a box 120 pixels
// wide and the font's whole height (600 pixels: 72 points at 600 dots
// per inch), centred in an advance of 360, the space blank.
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "config/paper/media.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "driver/render/job_driver_data.h"
#include "driver/render/job_watermark.h"
#include "driver/render/load.h"
#include "driver/services/driver_server.h"
#include "driver/services/os_factory.h"
#include "examples/page_raster/page_raster_generator.h"
#include "examples/print_road/canonical_chain.h"
#include "fonts/font_database.h"
#include "fonts/tt_font_pool.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"
#include "output/core/state.h"
#include "output/port/file_output_target.h"
#include "platform/host/files.h"
#include "platform/host/printer_interface.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "support/truetype_writer.h"
#include "support/ui_user.h"
#include "tests/support/acceptance_printer.h"

namespace testing_support {
namespace {

using namespace support;

// The box font: glyph 1 the space, 2 the box from (200, 0) to (400, 1000)
// of an em of 1000, every advance 600; codes 0x21-0x7E are the box.
std::string BoxFont() {
  auto [glyf, loca] = GlyfAndLoca({"", "", BoxGlyph(200, 0, 400, 1000)}, false);
  TrueTypeWriter font;
  font.Add("cmap", CmapTable({{3, 1,
                               CmapFormat4({{0x20, 0x20, 0, {1}},
                                            {0x21, 0x7E, 0, std::vector<std::uint16_t>(94, 2)},
                                            {0xFFFF, 0xFFFF, 1, {}}})}}));
  font.Add("glyf", glyf);
  font.Add("head", HeadTable(0, 0, 0, 1000, 1000));
  font.Add("hhea", MetricsHeader(3));
  font.Add("hmtx", MetricsTable({{600, 0}, {600, 0}, {600, 200}}, {}));
  font.Add("loca", loca);
  font.Add("maxp", MaxpTable(3));
  font.Add("name", NameTable());
  font.Add("post", PostTable());
  font.Add("OS/2", Os2Table(0x20, 0x7E, 0));
  return font.Build();
}

class WatermarkRoad : public AcceptancePrinter {
 protected:
  void SetUp() override {
    AcceptancePrinter::SetUp();
    RenderLoad();
    RegisterPageRasterGenerator();
    GTTFontPool::CreateInstance();
    GJobFontDatabase::CreateLock();
    std::filesystem::create_directories(out_.str() + "/Spool");
    std::filesystem::create_directories(fonts_.str());
    WriteAll(fonts_.str() + "/boxes.ttf", BoxFont());
    ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Out", out_.str()));
    ASSERT_TRUE(platform::MapPathPrefix(kFontsFolder, fonts_.str()));
    ASSERT_TRUE(SetMachineText(kMachineFontsKey, u"Times New Roman (TrueType)", u"boxes.ttf"));
    ASSERT_EQ(RegisterFilePortHandler(), 0);
  }
  void TearDown() override {
    if (job_) GDriverServer::Instance()->ReleaseRenderData(cookie_);
    UnregisterFilePortHandler();
    GTTFontPool::DestroyInstance();
    GJobFontDatabase::DestroyLock();
    UnregisterPageRasterGenerator();
    RenderUnload();
    std::filesystem::remove_all(out_.str());
    std::filesystem::remove_all(fonts_.str());
    AcceptancePrinter::TearDown();
  }

  // P1's default record, the Effects page's watermark list set to
  // `watermark` by the user, OK.
  Record Choose(const char16_t* watermark) {
    Record in(kAcceptanceRecordBytes, 0);
    EXPECT_EQ(DocumentProperties(Installed(), Printer(), kFixturePrinter, &in, nullptr,
                                 platform::kDmModeCopy),
              1);
    Record out = in;
    OnSheet([&](SheetDriver& sheet) {
      for (std::size_t i = 0; i < sheet.pages(); ++i) {
        if (sheet.activate(i) && platform::GetDlgItem(sheet.page().Handle(), 6011)) {
          EXPECT_TRUE(sheet.page().Select(6011, watermark));
          break;
        }
      }
      sheet.ok();
    });
    EXPECT_EQ(DocumentProperties(
                  Installed(), Printer(), kFixturePrinter, &out, &in,
                  platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify),
              1);
    return out;
  }

  // Two empty pages of the job bound to `record`, printed through the
  // canonical chain; the pictures the generator rendered.
  std::vector<GBitmap> Print(const Record& record) {
    std::vector<GBitmap> pictures;
    job_ = CheckOutJobDriverData(new GPrinterKey(Printer(), kFixturePrinter, 0), cookie_);
    if (!job_ || job_->BindDevMode(reinterpret_cast<const platform::DevModeW*>(record.data())) != 1)
      return pictures;
    job_->RefreshJobParts();
    GOSFactory::Instance()->SetPrinterDataString(job_, u"TempDirectoryLocation", u"C:\\Out\\Spool");
    GAttributeComposite* settings = job_->EnsureDefaultSettings();
    std::unique_ptr<GMedia> medium(job_->MakeMedium(ValueOr(settings, kPaperSizeKey, 0)));
    GCountedPtr start(MakeDocumentStart(*job_, u"FILE:C:\\Out\\mark.prn", u"mark"));
    if (!medium || !start) return pictures;
    medium->SetKey(kMediumKey);
    GAttributeComposite* set = static_cast<GCommand*>(start.Get())->GetAttributes();
    set->AddChild(new GMedia(*medium));
    auto* generator = new GPageRasterGenerator;
    generator->SetPageObserver([&](const GBitmap& page) { pictures.push_back(page); });
    GCountedPtr chain = BuildCanonicalChain(set, {generator});
    job_->SetOutputChain(static_cast<GPeripheral*>(chain.Get()));
    std::vector<GCountedPtr> commands = {start};
    for (int page = 0; page < 2; ++page) {
      auto* page_set = new GState(0u);
      page_set->AddChild(new GMedia(*medium));
      commands.emplace_back(new GPageStart(page_set, 0u));
      commands.emplace_back(new GPageEnd(0u));
    }
    commands.emplace_back(new GDocumentEnd(nullptr, u"", u"mark", 0u));
    for (const GCountedPtr& command : commands)
      EXPECT_EQ(job_->Submit(static_cast<GCommand*>(command.Get())), 0);
    return pictures;
  }

  TempPath out_{"watermark_road"};
  TempPath fonts_{"watermark_fonts"};
  GJobDriverData* job_ = nullptr;
  std::uint32_t cookie_ = 0;
};

// The black pixels of a picture: their count, the sums of their
// coordinates and their bounding box.
struct Marks {
  std::uint64_t count = 0;
  double x_sum = 0, y_sum = 0;
  std::uint32_t left = ~0u, top = ~0u, right = 0, bottom = 0;
};

Marks MarksOf(const GBitmap& page) {
  Marks marks;
  const GBitmapImp* image = page.GetImplementation();
  for (std::uint32_t y = 0; image && y < image->GetHeight(); ++y) {
    const std::uint8_t* row = image->GetPixels() + y * image->GetRowStride();
    for (std::uint32_t x = 0; x < image->GetWidth(); ++x) {
      if ((row[x / 8] >> (7 - x % 8)) & 1) continue;  // white
      ++marks.count, marks.x_sum += x, marks.y_sum += y;
      marks.left = std::min(marks.left, x), marks.right = std::max(marks.right, x + 1);
      marks.top = std::min(marks.top, y), marks.bottom = std::max(marks.bottom, y + 1);
    }
  }
  return marks;
}

TEST_F(WatermarkRoad, AWatermarkChosenOnEffectsIsOnTheFirstPrintedPage) {
  const std::vector<GBitmap> pictures = Print(Choose(u"Confidential"));
  ASSERT_EQ(pictures.size(), 2u);
  ASSERT_EQ(pictures[0].GetWidth(), 5100u);  // Letter at 600 dots per inch
  ASSERT_EQ(pictures[0].GetHeight(), 6600u);
  // "Confidential": twelve boxes of 120 x 600 pixels, set 360 apart along a
  // baseline turned by atan(6600 / 5100) = 52 degrees (truncated), apart
  // from each other (360 cos 52 = 221.6 > 120), their middle the page's.
  const Marks first = MarksOf(pictures[0]);
  EXPECT_EQ(first.count, 12u * 120 * 600);
  EXPECT_NEAR(first.x_sum / double(first.count), 2550, 2);
  EXPECT_NEAR(first.y_sum / double(first.count), 3300, 2);
  const double a = 52 * std::numbers::pi / 180;
  EXPECT_NEAR(first.right - first.left, 11 * 360 * std::cos(a) + 120, 2);
  EXPECT_NEAR(first.bottom - first.top, 11 * 360 * std::sin(a) + 600, 2);
  // First page only.
  EXPECT_EQ(MarksOf(pictures[1]).count, 0u);
}

// "(None)" chosen, or a font file the machine's list names outside the
// fonts folder (by "..", or by a link out of it): both pages stay white.
TEST_F(WatermarkRoad, NoWatermarkOrAFontOutsideTheFolderMarksNothing) {
  std::filesystem::copy_file(fonts_.str() + "/boxes.ttf", out_.str() + "/outside.ttf");
  std::filesystem::create_symlink(out_.str() + "/outside.ttf", fonts_.str() + "/link.ttf");
  const struct {
    const char16_t* choice;
    const char16_t* file;
  } rows[] = {{u"(None)", u"boxes.ttf"},
              {u"Confidential", u"..\\Out\\outside.ttf"},
              {u"Confidential", u"link.ttf"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::filesystem::path(std::u16string(row.file)).string());
    ASSERT_TRUE(SetMachineText(kMachineFontsKey, u"Times New Roman (TrueType)", row.file));
    const std::vector<GBitmap> pictures = Print(Choose(row.choice));
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(MarksOf(pictures[0]).count + MarksOf(pictures[1]).count, 0u);
    GDriverServer::Instance()->ReleaseRenderData(cookie_);
    job_ = nullptr;
  }
}

}  // namespace
}  // namespace testing_support
