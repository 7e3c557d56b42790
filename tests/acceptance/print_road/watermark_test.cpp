// A watermark chosen on the Effects page reaches the printed page: on the
// demonstration's printer (examples/print_demo/demo_job.h), P1's sheet
// worked as a user works it, a job bound to the record, two empty pages
// through the canonical chain into the page-raster generator. P1's
// "Confidential": first page only, 72 points, diagonal, "Times New Roman".
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>

#include "config/paper/media.h"
#include "examples/page_raster/page_raster_generator.h"
#include "examples/print_demo/demo_job.h"
#include "examples/print_road/canonical_chain.h"
#include "output/commands/job_commands.h"
#include "output/core/state.h"
#include "platform/host/files.h"
#include "platform/ui/dialog.h"
#include "support/acceptance_scenario.h"
#include "support/fixture_printer.h"
#include "support/truetype_writer.h"
#include "support/ui_user.h"
#include "tests/support/test_support.h"

namespace {

using namespace support;

// Every printable character a box (200, 0)-(400, 1000) of an em of 1000,
// its advance 600 and bearing 200; at 600 pixels an em (72 points at 600
// dots per inch), 120 x 600 pixels 360 apart.
std::string BoxFont() {
  auto [glyf, loca] = GlyfAndLoca({"", "", BoxGlyph(200, 0, 400, 1000)}, false);
  const Format4Segment boxes{0x21, 0x7E, 0, std::vector<std::uint16_t>(94, 2)};
  TrueTypeWriter font;
  for (const auto& [tag, table] :
       {std::pair{"cmap", CmapTable({{3, 1, CmapFormat4({boxes, {0xFFFF, 0xFFFF, 1, {}}})}})},
        {"glyf", glyf},
        {"loca", loca},
        {"head", HeadTable(0, 0, 0, 1000, 1000)},
        {"hhea", MetricsHeader(3)},
        {"hmtx", MetricsTable({{600, 0}, {600, 0}, {600, 200}}, {})},
        {"maxp", MaxpTable(3)},
        {"name", NameTable()},
        {"post", PostTable()},
        {"OS/2", Os2Table(0x20, 0x7E, 0)}})
    font.Add(tag, table);
  return font.Build();
}

bool Black(const GBitmap& page, double x, double y) {
  const GBitmapImp* image = page.GetImplementation();
  const auto column = std::uint32_t(std::lround(x)), row = std::uint32_t(std::lround(y));
  return !((image->GetPixels()[row * image->GetRowStride() + column / 8] >> (7 - column % 8)) & 1);
}

std::uint64_t BlackCount(const GBitmap& page) {
  std::uint64_t count = 0;
  for (std::uint32_t y = 0; y < page.GetHeight(); ++y)
    for (std::uint32_t x = 0; x < page.GetWidth(); ++x)
      count += Black(page, x, y);
  return count;
}

// P1's default record with `watermark` chosen on the Effects page, OK;
// two empty Letter pages of a job bound to it, as the generator drew them.
std::vector<GBitmap> Print(print_demo::DemoPrinter& printer, const char16_t* watermark) {
  std::vector<std::uint8_t> in = printer.DefaultRecord(), out = in;
  OnSheet([&](SheetDriver& sheet) {
    for (std::size_t i = 0; i < sheet.pages(); ++i)
      if (sheet.activate(i) && platform::GetDlgItem(sheet.page().Handle(), 6011))
        sheet.page().Select(6011, watermark);
    sheet.ok();
  });
  DocumentProperties(printer.Install(), printer.Install().Printer(), kFixturePrinter, &out, &in,
                     platform::kDmModeCopy | platform::kDmModePrompt | platform::kDmModeModify);
  std::vector<GBitmap> pictures;
  GJobDriverData* job = printer.CheckOutJob(out);
  const std::unique_ptr<GMedia> letter(job ? job->MakeMedium(1) : nullptr);
  if (!letter) return pictures;
  letter->SetKey(kMediumKey);
  std::vector<GCountedPtr> commands = {print_demo::MakeDocument(*job, *letter, u"FILE:C:\\Out\\m")};
  auto* generator = new GPageRasterGenerator;
  generator->SetPageObserver([&](const GBitmap& page) { pictures.push_back(page); });
  GCountedPtr chain =
      BuildCanonicalChain(static_cast<GCommand*>(commands[0].Get())->GetAttributes(), {generator});
  job->SetOutputChain(static_cast<GPeripheral*>(chain.Get()));
  for (int page = 0; page < 2; ++page) {
    commands.emplace_back(new GPageStart(new GState(0u), 0u));
    static_cast<GCommand*>(commands.back().Get())->GetAttributes()->AddChild(new GMedia(*letter));
    commands.emplace_back(new GPageEnd(0u));
  }
  commands.emplace_back(new GDocumentEnd(nullptr, u"", u"", 0u));
  for (const GCountedPtr& command : commands)
    EXPECT_EQ(job->Submit(static_cast<GCommand*>(command.Get())), 0);
  printer.ReleaseJob();
  return pictures;
}

// The machine lists the face as the box font, or as a file that leaves the
// fonts folder (by "..", or by a link), which draws nothing; nor does
// "(None)". "Confidential" on Letter (5100 x 6600): twelve boxes along a
// line turned by atan(6600 / 5100) = 52 degrees (truncated) through the
// middle, each box's middle 360 (i - 5.5) from the page's along it.
TEST(WatermarkRoad, AWatermarkChosenOnEffectsIsOnTheFirstPrintedPage) {
  testing_support::TempPath folder("watermark_road");
  print_demo::DemoPrinter printer;
  ASSERT_EQ(printer.Start(folder.str() + "/out"), "");
  const std::string fonts = folder.str() + "/fonts";
  std::filesystem::create_directories(fonts);
  testing_support::WriteAll(fonts + "/boxes.ttf", BoxFont());
  std::filesystem::copy_file(fonts + "/boxes.ttf", folder.str() + "/outside.ttf");
  std::filesystem::create_symlink(folder.str() + "/outside.ttf", fonts + "/link.ttf");
  ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Windows\\Fonts", fonts));
  const double c = std::cos(52 * std::numbers::pi / 180), s = std::sin(52 * std::numbers::pi / 180);
  for (const auto& [choice, file, marked] : {std::tuple{u"Confidential", u"boxes.ttf", true},
                                             {u"(None)", u"boxes.ttf", false},
                                             {u"Confidential", u"..\\outside.ttf", false},
                                             {u"Confidential", u"link.ttf", false}}) {
    SCOPED_TRACE(std::filesystem::path(std::u16string(file)).string());
    ASSERT_TRUE(SetMachineText(u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
                               u"Times New Roman (TrueType)", file));
    const std::vector<GBitmap> pictures = Print(printer, choice);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(BlackCount(pictures[1]), 0u);  // first page only
    EXPECT_EQ(BlackCount(pictures[0]), marked ? 12u * 120 * 600 : 0u);
    for (int i = 0; i < 12 && marked; ++i) {
      const double along = 360 * (i - 5.5), x = 2550 + along * c, y = 3300 - along * s;
      EXPECT_TRUE(Black(pictures[0], x, y) && Black(pictures[0], x - 58, y - 298) &&
                  Black(pictures[0], x + 58, y + 298) && !Black(pictures[0], x + 62, y))
          << i;
    }
  }
  EXPECT_EQ(printer.Stop(), "");
}

}  // namespace
