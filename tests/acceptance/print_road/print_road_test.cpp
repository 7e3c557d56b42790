// The print road on P1: a document handed by the job driver of a render
// data checked out of the driver server to a chain of the face-up filter
// and the demonstration's page-raster generator, which writes a port file.
// The port file is pinned whole, byte for byte.
#include <filesystem>
#include <string>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/media_from_custom_size.h"
#include "driver/model_lookup.h"
#include "driver/printer_key.h"
#include "driver/render/job_driver_data.h"
#include "driver/render/load.h"
#include "driver/services/driver_server.h"
#include "examples/page_raster/page_raster_generator.h"
#include "filters/face_up_filter.h"
#include "filters/geometry_filters.h"
#include "filters/load.h"
#include "fonts/font_database.h"
#include "fonts/tt_font_pool.h"
#include "output/commands/job_commands.h"
#include "output/core/peripheral_composite.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "output/port/file_output_target.h"
#include "platform/host/files.h"
#include "platform/host/system.h"
#include "tests/support/acceptance_printer.h"
#include "tests/support/printer_fixture.h"

namespace testing_support {
namespace {

constexpr std::uint16_t kRoadSize = 16386;  // a custom size of P1's defaults
constexpr std::uint32_t kFaceUpKey = 1229;

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
    // Spools go to a folder of the test's: the services read no printer
    // data through a job's driver data (it is no context), so the spool
    // directory comes from the environment.
    ASSERT_TRUE(platform::SetEnvironmentVariableW(u"TMP", u"C:\\Out\\Spool"));
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
    if (medium) medium->SetKey(kPageMediumKey);
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

  EXPECT_EQ(Submit(new GDocumentStart(Set({new GValueAttribute(1, kFaceUpKey),
                                           new GStringAttribute("demo", 800),
                                           new GValueAttribute(0, 801)}),
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

  const std::string kPage2 = "PAGE 32 4\r\n" + std::string("\x02\x00\x02\xFD\x00", 5) +
                             std::string("\x03\x00\x00", 3) +
                             std::string("\x03\x00\x02\x01\xFF", 5) +
                             std::string("\x03\x00\x00", 3) + "ENDPAGE\r\n";
  const std::string kPage1 = "PAGE 32 4\r\n" + std::string("\x02\x00\x02\xFD\x00", 5) +
                             std::string("\x03\x00\x00\x03\x00\x00\x03\x00\x00", 9) +
                             "ENDPAGE\r\n";
  EXPECT_EQ(Hex(ReadAll(out_.str() + "/road.prn")),
            Hex("RDYMSG DISPLAY = \"demo\"\r\n" + kPage2 + kPage1));
  EXPECT_TRUE(std::filesystem::is_empty(out_.str() + "/Spool"));
}

}  // namespace
}  // namespace testing_support
