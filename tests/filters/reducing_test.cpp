// The reducing filter: runs of plain filled rectangles merged, as
// transcripts of the run and of what goes on.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "filters/reducing_filter.h"
#include "foundation/rw/file.h"
#include "output/attributes/brush.h"
#include "output/attributes/clip.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/color/color.h"
#include "output/color/paint.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/graphics/graphic_bundle.h"
#include "output/graphics/primitive_graphic.h"
#include "tests/support/filter_harness.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

using namespace testing_support;

constexpr std::uint32_t kRed = 0xFF0000, kBlack = 0;

// A filled rectangle: no pen (or a visible one), a colour brush, the raster
// operation `rop`, an optional clip.
GCountedPtr Rect(std::int16_t l, std::int16_t t, std::int16_t r, std::int16_t b,
                 std::uint16_t rop = 0xF0, std::uint32_t colour = kRed, GClip* clip = nullptr,
                 bool pen = false) {
  auto* bundle = new GGraphicBundle;
  auto paint = [&] { return new GColorPaint(new GRGBColor(colour >> 16, colour >> 8, colour, 0)); };
  bundle->AddChild(pen ? static_cast<GPen*>(new GPen(1, paint(), kPenKey)) : new GNoPen(kPenKey));
  bundle->AddChild(new GBrush(paint(), kBrushKey));
  bundle->AddChild(new GRasterOperation(rop, kRopWholeCode, kRasterOperationKey));
  if (clip) bundle->AddChild(clip);
  return GCountedPtr(new GRectangleGraphic(GShortRect{l, t, r, b}, bundle, 0u));
}

// The run: "l,t,r,b:binary/code" per record.
std::string RunOf(const GReducingFilter& filter) {
  std::string out;
  char text[64];
  for (const GRectangleRecord& r : filter.Run()) {
    std::snprintf(text, sizeof text, "%d,%d,%d,%d:%d/%X ", r.left, r.top, r.right, r.bottom,
                  r.binary_rop, r.rop);
    out += text;
  }
  return out;
}

// What went on: "-" for a GNoCommand, else the composite's children as
// "R l,t,r,b/code" or their class ids.
std::string Passed(const GCountedPtr& command) {
  auto* composite = dynamic_cast<GCommandComposite*>(command.Get());
  if (!composite) return command->ClassId() == 715 ? "-" : std::to_string(command->ClassId());
  std::string out;
  char text[64];
  for (RWSize i = 0; i < composite->Children().Count(); ++i) {
    auto* rect = dynamic_cast<GRectangleGraphic*>(composite->Children()[i].Get());
    if (!rect) {
      out += std::to_string(composite->Children()[i]->ClassId()) + " ";
      continue;
    }
    const GShortRect& b = rect->GetBounds();
    auto* rop =
        static_cast<GRasterOperation*>(rect->GetAttributes()->FindByClassId(kGRasterOperationId));
    std::snprintf(text, sizeof text, "R %d,%d,%d,%d/%d ", b.left, b.top, b.right, b.bottom,
                  rop->GetRop());
    out += text;
  }
  return out;
}

TEST(ReducingFilter, MergesRunsOfFilledRectangles) {
  // Pieces by the strip rule: left (A.l, B.t, B.l, A.b), right (B.r, B.t,
  // A.r, A.b), top (A.l, A.t, A.r, B.t), bottom (B.l, B.b, B.r, A.b).
  const struct {
    const char* name;
    std::vector<GCountedPtr> rects;
    const char* run;
  } cases[] = {
      {"identical opaque: one", {Rect(0, 0, 10, 10), Rect(0, 0, 10, 10)}, "0,0,10,10:13/F0 "},
      {"inside: left, newer, right, top, bottom",
       {Rect(0, 0, 100, 100), Rect(20, 30, 60, 70)},
       "0,30,20,100:13/F0 20,30,60,70:13/F0 60,30,100,100:13/F0 0,0,100,30:13/F0 "
       "20,70,60,100:13/F0 "},
      {"XOR on XOR of one colour cancels",
       {Rect(0, 0, 100, 100, 0x5A), Rect(20, 30, 60, 70, 0x5A)},
       "0,30,20,100:7/5A 60,30,100,100:7/5A 0,0,100,30:7/5A 20,70,60,100:7/5A "},
      {"black copy over XOR: the overlap a copy, low byte F0",
       {Rect(0, 0, 100, 100, 0x5A), Rect(50, 50, 150, 150, 0x13C, kBlack)},
       "0,50,50,100:7/5A 50,50,100,100:13/1F0 0,0,100,50:7/5A 100,50,150,150:13/13C "
       "50,100,100,150:13/13C "},
      {"touching edges stay apart",
       {Rect(0, 0, 10, 10), Rect(10, 0, 20, 10), Rect(0, 9, 10, 20)},
       "0,0,10,10:13/F0 10,0,20,10:13/F0 0,9,10,20:13/F0 "},
      {"cut to the clip, corners in order",
       {Rect(50, 50, 0, 0, 0xF0, kRed, new GClipToSingleRectangle({10, 10, 40, 60}, 2, 3, 177))},
       "10,10,40,50:13/F0 "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    GReducingFilter filter;
    for (const GCountedPtr& rect : c.rects)
      EXPECT_EQ(Passed(filter.Transform(rect)), "-");
    EXPECT_EQ(RunOf(filter), c.run);
    EXPECT_EQ(filter.Count(), std::int16_t(filter.Run().size()));
  }
}

TEST(ReducingFilter, FlushesAheadOfWhatCannotMerge) {
  GReducingFilter filter;
  // A page end, a pen, a path clip, an XOR of another colour: each flushes.
  const std::pair<GCountedPtr, const char*> cases[] = {
      {Command(kGPageEndId), "R 0,0,10,10/90 710 "},
      {Rect(0, 0, 5, 5, 0x5A, kRed, nullptr, true), "R 0,0,10,10/90 R 0,0,5,5/90 "},
      {Rect(0, 0, 5, 5, 0x5A, kRed, new GClipToRectangle({0, 0, 5, 5}, 2, 2, 177)),
       "R 0,0,10,10/90 R 0,0,5,5/90 "},
      {Rect(5, 0, 15, 10, 0x5A, 0x00FF00), "R 0,0,10,10/90 R 5,0,15,10/90 "}};
  for (const auto& [next, passed] : cases) {
    filter.Transform(Rect(0, 0, 10, 10, 0x5A));
    EXPECT_EQ(Passed(filter.Transform(next)), passed);
  }
  EXPECT_EQ(filter.Count(), 0);
  // Nothing held: commands pass as they are.
  GCountedPtr end = Command(kGPageEndId);
  EXPECT_EQ(filter.Transform(end).Get(), end.Get());
  // One that misses its clip paints nothing: passed on, never merged.
  filter.Transform(Rect(0, 0, 100, 100));
  EXPECT_EQ(Passed(filter.Transform(Rect(10, 10, 20, 20, 0xF0, kRed,
                                         new GClipToSingleRectangle({50, 50, 60, 60}, 2, 2, 177)))),
            "R 0,0,100,100/240 R 10,10,20,20/240 ");
  // 1000 held: the next follows the flushed run unchanged, pen and all.
  for (std::int16_t i = 0; i < 1000; ++i)
    filter.Transform(Rect(std::int16_t(i * 3), 0, std::int16_t(i * 3 + 2), 2));
  ASSERT_EQ(filter.Count(), 1000);
  GCountedPtr last = Rect(0, 10, 5, 15);
  GCountedPtr out = filter.Transform(last);
  auto& composite = static_cast<GCommandComposite&>(*out.Get());
  ASSERT_TRUE(composite.Children().Count() == 1001 &&
              composite.Children()[1000].Get() == last.Get());
  EXPECT_TRUE(static_cast<GCommand&>(*last.Get()).GetAttributes()->FindByKey(kPenKey));
  EXPECT_EQ(filter.Count(), 0);
}

TEST(ReducingFilter, RecordsAndRebuiltRectangles) {
  // (Binary raster operations show in the transcripts: 0xF0 13, 0x5A 7.)
  // Rebuilt: clip (177), pen, brush, 182, 172, 166, then a new raster
  // operation (key 0).
  GCountedPtr rect =
      Rect(9, 8, 1, 2, 0xF0, kRed, new GClipToSingleRectangle({30, 30, 0, 0}, 4, 5, kClipKey));
  for (std::uint32_t key : {kBundleSecondKey, kBundleFirstKey})
    static_cast<GCommand&>(*rect.Get()).GetAttributes()->AddChild(new GRasterOperation(1, 0, key));
  GRectangleRecord record;
  ASSERT_TRUE(GReducingFilter::MakeRecord(static_cast<GRectangleGraphic&>(*rect.Get()), record));
  GCountedPtr rebuilt = GReducingFilter::MakeRectangle(record);
  auto& graphic = static_cast<GRectangleGraphic&>(*rebuilt.Get());
  EXPECT_EQ(graphic.GetBounds(), (GShortRect{1, 2, 9, 8}));
  std::string order;
  const GCountedPtrVector& children = graphic.GetAttributes()->Children();
  for (RWSize i = 0; i < children.Count(); ++i)
    order +=
        std::to_string(children[i]->ClassId()) + ":" + std::to_string(children[i]->Key()) + " ";
  EXPECT_EQ(order, "504:177 202:160 251:154 401:172 401:166 401:0 ");
  auto* clip = static_cast<GClipToSingleRectangle*>(children[0].Get());
  EXPECT_TRUE(clip->GetRectangle() == (GShortRect{0, 0, 30, 30}) && clip->GetFirstValue() == 4 &&
              clip->GetSecondValue() == 5);
  // No raster operation: no record.
  GCountedPtr plain(new GRectangleGraphic(GShortRect{0, 0, 1, 1}, new GGraphicBundle, 0u));
  EXPECT_FALSE(GReducingFilter::MakeRecord(static_cast<GRectangleGraphic&>(*plain.Get()), record));
  // Stored: the version word alone; a restore empties the run.
  GReducingFilter filter;
  filter.Transform(Rect(0, 0, 10, 10));
  TempPath path("reduce");
  filter.SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
  const std::string bytes = ReadAll(path.str());
  EXPECT_EQ(Hex(bytes.substr(bytes.size() - 4)), "01 00 00 00");
  RWFile file(path.c_str(), "rb");
  filter.RestoreFromFile(file);
  EXPECT_TRUE(!file.Error() && filter.Count() == 0 && filter.Run().empty());
}

}  // namespace
