// The TrueType font implementation: glyph bitmaps rendered by FreeType from
// a hand-made font, code tables through the reader, the font's tables held
// once for all its faces, a font spooled on a page and found again in
// another database, and damaged database files.
#include <gtest/gtest.h>

#include <random>

#include "fonts/tt_font_imp.h"
#include "fonts/tt_outline_renderer.h"
#include "output/core/byte_buffer.h"
#include "services/driver_server.h"
#include "support/test_render_services.h"
#include "support/truetype_writer.h"
#include "tests/fonts/font_test_support.h"
#include "tests/support/graph.h"

namespace {

using namespace testing_support;

// First code 'A', last 'C', default `default_code`, `height` pixels.
GFontDescriptionRecord Record(std::int16_t height, std::uint16_t default_code = 'A') {
  GFontDescriptionRecord record;
  record.selector = 16;  // Unicode
  record.height = height;
  record.words2[2] = 'A';
  record.words2[3] = 'C';
  record.words2[4] = default_code;
  return record;
}

class TTFontImpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTTFontPool::CreateInstance();
    ASSERT_TRUE(font_.opened);
  }
  void TearDown() override { GTTFontPool::DestroyInstance(); }

  // An implementation on the font's reader (which the pool takes over).
  GTTFontImp* NewImp(std::int16_t height, std::uint16_t default_code = 'A') {
    if (!reader_) reader_ = font_.reader.release();
    return new GTTFontImp(0, Record(height, default_code), {}, GTTFontPool::Instance(), reader_);
  }
  // The bitmap of `code` as hex, with its size and metrics.
  static std::string Bitmap(GFontImp& font, std::uint16_t code, GGlyphMetrics& metrics,
                            std::uint32_t& size, bool& buffer) {
    GByteBuffer* out = nullptr;
    size = font.GetGlyphBitmap(code, 16, metrics, out);
    std::unique_ptr<GByteBuffer> held(out);
    buffer = out != nullptr;
    return out ? Hex(std::string(reinterpret_cast<char*>(out->GetData()), out->GetSize())) : "";
  }

  tt_testing::OpenedFont font_{tt_testing::SquareFont(), 40};
  GTTFontReader* reader_ = nullptr;
};

TEST_F(TTFontImpTest, RendersOutlinesAtTheRecordsHeight) {
  GFont font(NewImp(10), nullptr);
  GFontImp& imp = *font.GetImplementation();
  EXPECT_EQ(imp.GetFontKind(), 1u);
  GGlyphMetrics metrics;
  std::uint32_t size = 0;
  bool buffer = false;
  // The square at 10 pixels: 10 rows of ten bits, each padded to 32.
  std::string row = "FF C0 00 00";
  std::string square;
  for (int i = 0; i < 10; ++i)
    square += (i ? " " : "") + row;
  EXPECT_EQ(Bitmap(imp, 'A', metrics, size, buffer), square);
  EXPECT_EQ(size, 40u);
  EXPECT_EQ(metrics.x, 0);
  EXPECT_EQ(metrics.y, 10);
  EXPECT_EQ(metrics.width, 10);
  EXPECT_EQ(metrics.height, 10);
  // A glyph without an outline: an empty bitmap.
  EXPECT_EQ(Bitmap(imp, 'B', metrics, size, buffer), "");
  EXPECT_TRUE(buffer);
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(metrics.width + metrics.height, 0);
  // Scaled twice both ways: 20 rows of twenty bits.
  GScaledFont scaled(font, 2.0f, 2.0f);
  GByteBuffer* out = nullptr;
  EXPECT_EQ(scaled.GetGlyphData('A', 16, metrics, out), 80u);
  std::unique_ptr<GByteBuffer> held(out);
  EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(out->GetData()), 4)), "FF FF F0 00");
  // Requested codes: the last one ('B', empty) answers 0.
  const std::uint16_t codes[] = {'A', 'B'};
  font.AddCodes(codes);
  EXPECT_EQ(imp.FetchRequestedCodes(), 0u);
  // Heights of 0 and above the limit render nothing.
  for (std::int16_t height : {std::int16_t{0}, std::int16_t{kTTMaxPixelHeight + 1}}) {
    GFont other(NewImp(height), nullptr);
    EXPECT_EQ(Bitmap(*other.GetImplementation(), 'A', metrics, size, buffer), "");
    EXPECT_FALSE(buffer);
  }
}

TEST_F(TTFontImpTest, CodeTablesMapThroughTheReader) {
  GFont font(NewImp(10), nullptr);
  // 'C' has no glyph and codes outside 'A'..'C' are outside the font: the
  // default code's glyph (1) stands in for them.
  GCharTable range(6);
  EXPECT_EQ(font.GetCodeRangeTable(0x3F, 0x44, range), 1u);
  EXPECT_EQ(std::vector<std::uint16_t>(range.Data(), range.Data() + 6),
            (std::vector<std::uint16_t>{1, 1, 1, 2, 1, 1}));
  std::uint16_t lent[] = {7, 7};
  GCharTable list = GCharTable::Borrow(lent, 2);
  const std::uint16_t codes[] = {'B', 'Z'};
  EXPECT_EQ(font.GetCodeTable(codes, list), 1u);
  EXPECT_EQ(list.At(0) * 10 + list.At(1), 21);
  EXPECT_EQ(lent[0], 7);  // the borrowed entries were copied first
  GCharTable short_table(2);
  EXPECT_EQ(font.GetCodeRangeTable('A', 'C', short_table), 0u);
  EXPECT_EQ(font.GetCodeRangeTable('C', 'A', range), 0u);
  // A default code without a glyph of its own.
  GFont no_default(NewImp(10, 'Z'), nullptr);
  EXPECT_EQ(no_default.GetCodeRangeTable(0x3F, 0x41, range), 0u);
  EXPECT_EQ(no_default.GetCodeTable(codes, list), 0u);
}

// A document that makes a new face per page holds the font's tables once,
// in the renderer of its reader; the reader lets it go when the pool's hold
// is all that is left.
TEST_F(TTFontImpTest, FacesOfOneFontHoldItsTablesOnce) {
  const std::size_t before = GTTOutlineRenderer::HeldFontBytes();
  reader_ = font_.reader.release();
  GTTFontPool::Instance()->Add(reader_);
  GGlyphMetrics metrics;
  std::uint32_t size = 0;
  bool buffer = false;
  std::vector<std::unique_ptr<GFont>> pages;
  for (std::int16_t page = 0; page < 12; ++page) {
    pages.push_back(std::make_unique<GFont>(NewImp(10 + page % 2), nullptr));
    Bitmap(*pages.back()->GetImplementation(), 'A', metrics, size, buffer);
    EXPECT_EQ(size, 4u * metrics.height) << page;  // a row of 10 or 11 bits in 4 bytes
    EXPECT_EQ(metrics.height, 10 + page % 2) << page;
  }
  Bitmap(*pages.front()->GetImplementation(), 'A', metrics, size, buffer);
  EXPECT_EQ(metrics.height, 10);
  // The renderer's font: the directory, then each table at a 4-byte
  // boundary, as the font file lays out the same tables.
  EXPECT_EQ(GTTOutlineRenderer::HeldFontBytes() - before, tt_testing::SquareFont().size());
  pages.clear();
  EXPECT_EQ(GTTFontPool::Instance()->Contains(40), 1u);
  EXPECT_EQ(GTTOutlineRenderer::HeldFontBytes(), before);
}

// The render-time driver data of one job, with a font database.
class Job : public TestRenderJob {
 public:
  class Render : public GRenderDriverData {
   public:
    GFontDatabase* GetFontDatabase() override { return database.get(); }
    std::uint32_t GetOwnerId() override { return 7; }
    std::uint32_t GetJobCookie() override { return cookie; }
    std::unique_ptr<GJobFontDatabase> database = std::make_unique<GJobFontDatabase>(this);
    std::uint32_t cookie = 0;
  };
  GRenderDriverData* AsRenderDriverData() override { return &job; }
  Render job;
};

TEST_F(TTFontImpTest, SpooledTextFindsItsFontInAnotherDatabase) {
  GDriverServer::Create();
  auto* entered = new Job;
  Job::Render& job = entered->job;
  job.cookie = GDriverServer::Instance()->EnterRenderData(entered);
  TempPath path("spool");
  {
    GFont font(NewImp(10), &job);
    const std::string page = SaveToFileBytes(&font);
    ASSERT_EQ(job.database->SaveToPath(RWWString::FromMultiByte(RWCString(path.c_str()))), 1u);
    // The page read back beside a new database that loaded the file.
    std::unique_ptr<GJobFontDatabase> first = std::move(job.database);
    job.database = std::make_unique<GJobFontDatabase>(&job);
    ASSERT_EQ(job.database->LoadFromPath(RWWString::FromMultiByte(RWCString(path.c_str()))), 1);
    std::unique_ptr<RWCollectable> back(RestoreFromFileBytes(page));
    auto* restored = dynamic_cast<GFont*>(back.get());
    ASSERT_TRUE(restored && restored->GetImplementation());
    EXPECT_NE(restored->GetImplementation(), font.GetImplementation());
    EXPECT_TRUE(restored->GetImplementation()->IsEqualContent(font.GetImplementation()));
    EXPECT_EQ(restored->GetDriverData(), &job);
    GGlyphMetrics metrics;
    std::uint32_t size = 0;
    bool buffer = false;
    EXPECT_EQ(Bitmap(*restored->GetImplementation(), 'A', metrics, size, buffer).substr(0, 11),
              "FF C0 00 00");
    // A page saved after the font changed names a serial the database lacks.
    font.GetImplementation()->RaiseSerial();
    std::unique_ptr<RWCollectable> newer(RestoreFromFileBytes(SaveToFileBytes(&font)));
    ASSERT_TRUE(dynamic_cast<GFont*>(newer.get()));
    EXPECT_EQ(static_cast<GFont*>(newer.get())->GetImplementation(), nullptr);
  }
  GDriverServer::Instance()->ReleaseRenderData(job.cookie);
  GDriverServer::Instance()->DeleteParked();
}

TEST_F(TTFontImpTest, DamagedDatabaseFilesEndCleanly) {
  TempPath path("fonts");
  const RWWString wide = RWWString::FromMultiByte(RWCString(path.c_str()));
  std::string whole;
  {
    Job::Render job;
    GFont font(NewImp(10), &job);
    GGlyphMetrics metrics;
    GByteBuffer* out = nullptr;
    font.GetImplementation()->GetGlyphBitmap('A', 16, metrics, out);  // caches the tables
    delete out;
    SaveToFileBytes(&font);
    ASSERT_EQ(job.database->SaveToPath(wide), 1u);
    whole = ReadAll(path.str());
  }
  Job::Render owner;
  auto load = [&](const std::string& bytes) {
    WriteAll(path.str(), bytes);
    GJobFontDatabase database(&owner);
    int loaded = database.LoadFromPath(wide);
    // What loads can be used: its glyphs rendered from what was read.
    for (std::uint32_t key = 0; loaded && key < 64; ++key) {
      if (auto* imp = dynamic_cast<GFontImp*>(database.Acquire(key, 0))) {
        imp->SetUseCount(static_cast<std::int16_t>(imp->UseCount() - 1));
        GGlyphMetrics metrics;
        GByteBuffer* out = nullptr;
        imp->GetGlyphBitmap('A', 16, metrics, out);
        delete out;
      }
    }
    GTTFontPool::Instance()->ReleaseAll();
    return loaded;
  };
  EXPECT_EQ(load(whole), 1);
  for (std::size_t n = 0; n < whole.size(); ++n)
    EXPECT_EQ(load(whole.substr(0, n)), 0) << n;
  std::mt19937 rng(31);
  for (int round = 0; round < 10000; ++round) {
    std::string damaged = whole;
    for (int flips = 1 + static_cast<int>(rng() % 3); flips > 0; --flips)
      damaged[rng() % damaged.size()] ^= static_cast<char>(1 + rng() % 255);
    load(damaged);
  }
}

}  // namespace
