// The imposing filters: N-up, and the booklet through its inner N-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

#include "config/attributes/value_attribute.h"
#include "filters/booklet_filter.h"
#include "filters/nup_filter.h"
#include "filters/spool_directory.h"
#include "foundation/rw/file.h"
#include "output/attributes/clip.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/result_commands.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "tests/support/filter_harness.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using namespace testing_support;
using Tokens = std::vector<std::string>;

// A driver data that turns a medium of symmetric margins a quarter at a
// time, as the driver's medium table would.
struct TurningJob : GRenderDriverData {
  GFontDatabase* GetFontDatabase() override { return nullptr; }
  void UpdateMediaSize(GMedia* m, std::uint32_t orientation) override {
    const bool quarter =
        (NormalizeAngle(std::int32_t(orientation - m->GetOrientation())) % 180) != 0;
    auto turn = [&](GSize16 s) { return quarter ? GSize16(s.height, s.width) : s; };
    *m = GMedia("", turn(m->GetPaperSize()), turn(m->GetPrintableSize()),
                turn(m->GetPrintableOrigin()), orientation, m->GetPaperSizeId(), 600, 600, m->Key(),
                0, "", m->GetMediaType().Data());
  }
};

// A medium of paper w x h with even margins `m` (key 259).
GMedia* Paper(std::int16_t w, std::int16_t h, std::int16_t m, std::uint16_t code = 1) {
  return new GMedia("", GSize16(w, h), GSize16(w - 2 * m, h - 2 * m), GSize16(m, m), 0, code, 600,
                    600, kMediumKey, 0, "", "");
}
// The fixture printer's Letter: 4900 x 6400 printable at (150, 100).
GMedia* Letter() {
  return new GMedia("", GSize16(5100, 6600), GSize16(4900, 6400), GSize16(150, 100), 0, 1, 600, 600,
                    kMediumKey, 0, "", "");
}

// A document set: 329 {266 n, 268 order, 267 borders}, 265, and `medium`.
GState* DocumentSet(int n, int order, int borders, GMedia* medium, int orientation = 0) {
  auto* set = new GState(0u);
  auto* nup = new GAttributeComposite(kNupSettingsKey);
  for (auto [key, value] :
       {std::pair{kPagesPerSheetKey, n}, {kNupPageOrderKey, order}, {kNupBordersKey, borders}})
    if (value >= 0) nup->AddChild(new GValueAttribute(std::uint16_t(value), key));
  set->AddChild(nup);
  if (orientation >= 0) set->AddChild(new GValueAttribute(std::uint16_t(orientation), 265));
  if (medium) set->AddChild(medium);
  return set;
}

TEST(NupFilter, StoredTailRoundTripsAndRestoreZeroesTheLayout) {
  TempPath path("nup");
  auto save = [&](const RWCollectable& object) {
    object.SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
    return ReadAll(path.str());
  };
  auto restore = [&](GNupFilter& into, const std::string& bytes) {
    WriteAll(path.str(), bytes);
    RWFile file(path.c_str(), "rb");
    into.RestoreFromFile(file);
    return !file.Error();
  };
  // Hand-derived: version 3; margins 120 (78 00) x 4; gaps 30 (1E 00 00 00)
  // x 2; N 2; order 0; orientations 0, 0 (i16); borders 0 (i32); then the
  // two media, each a new-object token of class 1002 (EA 03).
  GPeripheral base(0u);
  GNupFilter filter;
  filter.SetSerialNumber(base.SerialNumber());
  const std::string head = save(base), bytes = save(filter);
  const std::string tail = bytes.substr(head.size());
  // (The file's magic 0x8888 precedes the first object token of a save.)
  EXPECT_EQ(Hex(tail.substr(0, 38)),
            Hex(Unhex("03 00 00 00 78 00 78 00 78 00 78 00 1E 00 00 00 1E 00 00 00 02 00 00 00 "
                      "00 00 00 00 00 00 00 00 88 88 00 00 EA 03")));
  EXPECT_EQ(bytes.size(), filter.StoredSize());
  GBookletFilter booklet;  // the booklet stores the version word 1 alone
  booklet.SetSerialNumber(base.SerialNumber());
  EXPECT_EQ(save(booklet), head + Unhex("01 00 00 00"));
  for (Encoding e : kAllEncodings) {
    const std::string text = SaveToStreamBytes(&filter, e);
    std::unique_ptr<RWCollectable> again(RestoreFromStreamBytes(text, e));
    EXPECT_TRUE(again && SaveToStreamBytes(again.get(), e) == text) << EncodingName(e);
  }
  // A restore over a set-up filter reads the fields and zeroes its layout;
  // another version word leaves every field.
  TurningJob job;
  GNupFilter set_up("", nullptr, nullptr, 0u, &job);
  GCountedPtr doc(DocumentSet(2, 0, 0, Paper(5100, 6600, 120)));
  set_up.Setup(static_cast<GState*>(doc.Get()));
  ASSERT_TRUE(set_up.Rows() == 1 && set_up.SheetOrientation() == 90 && set_up.LayoutScale() > 0);
  set_up.SetMargins(1, 2, 3, 4);
  EXPECT_TRUE(restore(set_up, head + Unhex("01 00 00 00") + tail.substr(4)));
  EXPECT_EQ(save(set_up).substr(head.size() + 4, 8), Unhex("01 00 02 00 03 00 04 00"));
  ASSERT_TRUE(restore(set_up, bytes));
  EXPECT_EQ(save(set_up), bytes);
  EXPECT_TRUE(set_up.Rows() == 0 && set_up.Columns() == 0 && set_up.LayoutScale() == 0 &&
              set_up.SheetOrientation() == 0 && set_up.PageTransform().GetScale().x == 1.0f &&
              set_up.Cells().size() == 2 && set_up.IsInitialised());
  // A stored N of 0 over the cells it kept: nothing divides by it.
  ASSERT_TRUE(restore(set_up, bytes.substr(0, head.size() + 20) + Unhex("00 00 00 00") +
                                  bytes.substr(head.size() + 24)));
  GState page(0u);
  page.AddChild(new GValueAttribute(0, kOrientationKey));
  page.AddChild(Letter());
  std::uint32_t status = 0;
  EXPECT_GT(set_up.GetPageScale(nullptr, &page, 1, status).x, 0.0f);  // the first cell's
}

TEST(NupFilter, DamagedStoredFiltersFailTheRead) {
  // Every cut of a stored filter (margins, N and order of its own, the
  // media a set-up left) fails the read; seeded flips and the corpus go
  // through the fuzz target, which also sets up what it read.
  TurningJob job;
  GNupFilter filter("", nullptr, nullptr, 0u, &job);
  GCountedPtr doc(DocumentSet(5, 3, 1, Paper(6600, 5100, 150)));
  filter.Setup(static_cast<GState*>(doc.Get()));
  const std::string bytes = SaveToFileBytes(&filter);
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    bool ok = true;
    DeleteGraph(RestoreFromFileBytes(bytes.substr(0, cut), &ok));
    EXPECT_FALSE(ok) << cut;
  }
  std::mt19937 random(52);
  for (int i = 0; i < 400; ++i) {
    std::string flipped = bytes;
    flipped[random() % flipped.size()] ^= static_cast<char>(1 + random() % 255);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(flipped.data()), flipped.size());
  }
  EXPECT_GT(ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 0);
}

TEST(NupFilter, LayoutsOfTheSheet) {
  // Paper 5100 x 6600 with margins 120 and gaps 30 unless said: A = 6360,
  // B = 4860, R = 5100 * 1000 / 6600 = 772. N = 2 (1 x 2): K0 = 4860 * 2000
  // / 6330 = 1535, K1 = 4830 * 2000 / 6360 = 1518, K2 = 6360 * 2000 / 4830
  // = 2633, K3 = 6330 * 1000 / 9720 = 651: 3 wins, the sheet turns to 90
  // (6600 x 5100), cells (6600 - 240 - 30) / 2 - 4 = 3161 by 5100 - 240 - 4
  // = 4856 at x = 122 and 122 + 3161 + 30 = 3313. N = 3: K = 14580000 /
  // 6300, 14400000 / 6360, 19080000 / 4800, 6300000 / 14580; cells 2096
  // wide. N = 4 (2 x 2): K0 = K1 = 9660000 / 12660 = 763, K2 = K3 = 1310:
  // the tie keeps 0; cells 2411 x 3161 from (122, 122) by 2441 and 3191;
  // order 2 fills each row right to left. Landscape paper 6601 x 5100:
  // R = 1294, K2 = 9720000 / 6331 = 1535 wins and exceeds R, so the scale
  // is (6331 / 2 = 3165) / 5100, not 3165.5 / 5100.
  const struct {
    std::int16_t w, h, n, order;
    GNupRatios ratios;
    std::int16_t rows, columns, sheet;
    float scale;
    std::vector<std::pair<int, int>> origins;
    std::int16_t cell_w, cell_h;
  } cases[] = {
      // clang-format off
      {5100, 6600, 2, 0, {772, {1535, 1518, 2633, 651}, 3}, 1, 2, 90, 3165.0f / 5100,
       {{122, 122}, {3313, 122}}, 3161, 4856},
      {5100, 6600, 3, 0, {772, {2314, 2264, 3975, 432}, 3}, 1, 3, 90, 2100.0f / 5100,
       {{122, 122}, {2248, 122}, {4374, 122}}, 2096, 4856},
      {5100, 6600, 4, 0, {772, {763, 763, 1310, 1310}, 0}, 2, 2, 0, 2415.0f / 5100,
       {{122, 122}, {2563, 122}, {122, 3313}, {2563, 3313}}, 2411, 3161},
      {5100, 6600, 4, 2, {772, {763, 763, 1310, 1310}, 0}, 2, 2, 0, 2415.0f / 5100,
       {{2563, 122}, {122, 122}, {2563, 3313}, {122, 3313}}, 2411, 3161},
      {6601, 5100, 2, 0, {1294, {2633, 2605, 1535, 379}, 2}, 2, 1, 0, 3165.0f / 5100,
       {{122, 122}, {122, 2563}}, 6357, 2411},
      // clang-format on
  };
  TurningJob job;
  for (const auto& c : cases) {
    GNupFilter filter("", nullptr, nullptr, 0u, &job);
    GCountedPtr doc(DocumentSet(c.n, c.order, 0, Paper(c.w, c.h, 120)));
    filter.Setup(static_cast<GState*>(doc.Get()));
    const GNupRatios& got = filter.Ratios();
    EXPECT_TRUE(got.ratio == c.ratios.ratio && got.index == c.ratios.index &&
                std::equal(got.candidates, got.candidates + 4, c.ratios.candidates))
        << c.n << " " << got.candidates[0] << " " << got.candidates[1] << " " << got.candidates[2]
        << " " << got.candidates[3];
    EXPECT_TRUE(filter.Rows() == c.rows && filter.Columns() == c.columns &&
                filter.SheetOrientation() == c.sheet && filter.LayoutScale() == c.scale &&
                filter.IsEnabled() && filter.GetFlags() == kNupFlag)
        << c.n;
    ASSERT_EQ(filter.Cells().size(), c.origins.size());
    for (std::size_t i = 0; i < c.origins.size(); ++i) {
      const GNupCell& cell = filter.Cells()[i];
      EXPECT_TRUE(cell.x == c.origins[i].first && cell.y == c.origins[i].second &&
                  cell.width == c.cell_w && cell.height == c.cell_h)
          << c.n << " " << i << ": " << cell.x << " " << cell.y << " " << cell.width;
    }
  }
  EXPECT_TRUE(GNupFilter::IntegerSquareRoot(15) == 3 && GNupFilter::IntegerSquareRoot(16) == 4);
}

TEST(NupFilter, PagesArePlacedScaledAndCentredInTheirCells) {
  // The first cell of N = 2 (122, 122, 3161 x 4856), a page 5100 x 6600 (or
  // turned 6600 x 5100) at (120, 120) or (100, 150): s = 3161 / 5100 (in
  // float; 4856 / 6600 is larger), dx = (3161 - s * 5100) / 2 ~ 0, dy =
  // (4856 - s * 6600) / 2 = 382.65, 120 s = 74.38, 100 s = 61.98, 150 s =
  // 92.97. Turn 0: (122 + 74, 122 + trunc(382.65 + 74.38)); 90: the origin
  // moves down by 4856, (122 + trunc(92.97), 4978 + trunc(-382.65 - 61.98));
  // 180: right and down, (3283 - 74, 4978 - 457); 270: right, (3283 - 92,
  // 122 + trunc(382.65 + 61.98)).
  GNupCell cell;
  cell.Place(0, GSize16(122, 122), GSize16(3161, 4856), 0);
  const float s = 3161.0f / 5100.0f;
  const struct {
    GSize16 origin, size;
    int turn;
    GShortRect turned;  // x, y, w, h
    GShortPoint offset;
  } cases[] = {{{120, 120}, {5100, 6600}, 0, {120, 120, 5100, 6600}, {196, 579}},
               {{100, 150}, {6600, 5100}, 90, {100, 5250, 5100, 6600}, {214, 4534}},
               {{120, 120}, {5100, 6600}, -180, {5220, 6720, 5100, 6600}, {3209, 4521}},
               {{100, 150}, {6600, 5100}, 270, {6700, 150, 5100, 6600}, {3191, 566}},
               {{100, 150}, {6600, 5100}, 45, {0, 0, 0, 0}, {0, 0}}};
  for (const auto& c : cases) {
    GNupCell page;
    page.Place(0, c.origin, c.size, c.turn);
    EXPECT_EQ((GShortRect{page.turned_x, page.turned_y, page.turned_width, page.turned_height}),
              c.turned);
    if (c.turn == 45) continue;
    const GTransformAttribute got = cell.ComputeTransform(page);
    EXPECT_TRUE(got.IsEqualContent(&*std::make_unique<GTransformAttribute>(
        std::int16_t(NormalizeAngle(c.turn)), c.offset, GScalePair{s, s})))
        << c.turn << ": " << got.GetOffset().x << " " << got.GetOffset().y;
  }
  GNupCell turned = cell, moved = cell;
  turned.turn = 90, moved.x = 1;
  EXPECT_TRUE(cell.IsEqual(turned) && !cell.IsEqual(moved));  // angle and rectangle only
}

class Imposition : public JobContextFixture {
 protected:
  static GCountedPtr Start(GState* set) {
    return GCountedPtr(new GDocumentStart(set, u"", u"", nullptr, 0u));
  }
  // A booklet's document set on Letter: 279 pairing, 288 order.
  static GState* BookletSet(int pairing, int order = 0) {
    GState* set = DocumentSet(-1, -1, -1, Letter());
    set->AddChild(new GValueAttribute(std::uint16_t(pairing), 279));
    set->AddChild(new GValueAttribute(std::uint16_t(order), 288));
    return set;
  }
  // A page start {265 orientation, 259 Letter, 900 n}.
  static GCountedPtr Page(std::int16_t n, std::int16_t orientation = 0) {
    GCountedPtr start = Command(kGPageStartId, {{265, orientation}});
    static_cast<GCommand*>(start.Get())->GetAttributes()->AddChild(Letter());
    static_cast<GCommand*>(start.Get())->GetAttributes()->AddChild(new GValueAttribute(n, 900));
    return start;
  }
  // A document on `run`: its start on `set`, pages 1..`pages` (each a
  // start, a tag, an end), its end. The codes OR'ed.
  static std::uint16_t Document(FilterJob& run, GState* set, int pages) {
    std::uint16_t codes = run.Submit(Start(set));
    for (std::int16_t n = 1; n <= pages; ++n)
      codes |= run.Submit(Page(n)) | run.Submit(Tag(n)) | run.Submit(Command(710));
    return codes | run.Submit(Command(kGDocumentEndId));
  }
  // The sheets that came out, each side "a,b": a page's tag number, or b
  // for a blank (a page is told by its start's 900, or a null command
  // carrying it).
  static Tokens Sides(const FilterJob& run) {
    Tokens sides;
    for (const RecordedEvent& e : run.recorder->events) {
      const RWClassID id = e.command->ClassId();
      if (id == kGPageStartId) sides.emplace_back();
      if (sides.empty()) continue;
      if ((id == kGPageStartId || id == kGNullCommandId) &&
          e.line.find("763:900=") != std::string::npos)
        sides.back() += sides.back().empty() ? "b" : ",b";
      if (id == kGRectangleGraphicId)
        sides.back().back() = static_cast<char>(
            '0' + static_cast<GRectangleGraphic*>(e.command.Get())->GetBounds().left);
    }
    return sides;
  }
  // The recorded lines of class `id`, without their submission numbers.
  static Tokens Lines(const FilterJob& run, RWClassID id) {
    Tokens lines;
    for (const RecordedEvent& e : run.recorder->events)
      if (e.command->ClassId() == id) lines.push_back(e.line.substr(e.line.find(' ') + 1));
    return lines;
  }
};

TEST_F(Imposition, NupSheetsOfFourPages) {
  // Letter: margins 150, 50, 100, 100; N = 4: K0 = K1 = 4870 * 2000 / 12740
  // = 764 beside R = 772, sheet 0, cells 2431 x 3181 from (152, 102). Page
  // 1 is upside down (180: the printable origin turns to (50, 100)): s =
  // 2431 / 5100 (3181 / 6600 is larger), dx ~ 0, dy = (3181 - 6600 s) / 2
  // = 17.5; from the cell's far corner (2583, 3283) the offset is (2583 -
  // trunc(50 s = 23.8), 3283 + trunc(-17.5 - 100 s = -65.2)) = (2560, 3218).
  auto* nup = new GNupFilter;
  FilterJob run(Job(), {nup});
  GState* set = DocumentSet(4, 0, 1, Letter());
  set->AddChild(new GValueAttribute(7, kSheetOrientationKey));
  run.Submit(Start(set));
  EXPECT_TRUE(nup->GetFlags() == kNupFlag && ValueOf(set, kSheetOrientationKey) == 0);
  for (std::int16_t n = 1; n <= 5; ++n) {
    run.Submit(Page(n, n == 1 ? 180 : 0));
    // Page 1's graphic has a transform of its own and a clip to the page.
    GCountedPtr tag = Tag(n);
    if (n == 1) {
      auto* own = new GState(0u);
      own->AddChild(new GTransformAttribute(0, GShortPoint{10, 20}, GScalePair{2.0f, 2.0f}));
      own->AddChild(new GClipToPage(0u));
      static_cast<GCommand*>(tag.Get())->SetAttributes(own);
    }
    run.Submit(tag);
    run.Submit(Command(710));
  }
  run.Submit(Command(kGDocumentEndId));
  // Two sheets: page 1 turned the first to 180, the second is 0 again; the
  // other starts come as null commands carrying their sets; the fifth
  // page's end is a null command and a new page end closes the sheet.
  const Tokens starts = Lines(run, kGPageStartId);
  ASSERT_EQ(starts.size(), 2u);
  EXPECT_TRUE(starts[0].starts_with("709 k0 M {763:900=1 763:265=180 1002:259=") &&
              starts[1].starts_with("709 k0 M {763:900=5 763:265=0 1002:259="))
      << starts[0];
  Tokens nulls = Lines(run, kGNullCommandId);
  for (const char* carried :
       {"712 k0 M {763:900=2}", "712 k0 M {763:900=3}", "712 k0 M {763:900=4}"})
    EXPECT_NE(std::find(nulls.begin(), nulls.end(), carried), nulls.end()) << carried;
  EXPECT_EQ(Lines(run, kGPageEndId).size(), 2u);
  const auto& events = run.recorder->events;
  EXPECT_TRUE(events.back().line.find(" 706 ") != std::string::npos &&
              events[events.size() - 2].command->ClassId() == kGPageEndId);
  // Page 1's graphic: the page transform composed over its own, and the
  // page's printable size as its clip.
  const float s = 2431.0f / 5100.0f;
  auto* graphic = static_cast<GCommand*>(events[3].command.Get());
  auto* composed = static_cast<GTransformAttribute*>(
      graphic->GetAttributes()->FindByClassId(kGTransformAttributeId));
  auto* clip = static_cast<GClipToSingleRectangle*>(graphic->GetAttributes()->FindByKey(kClipKey));
  ASSERT_TRUE(composed && clip) << events[3].line;
  EXPECT_TRUE(composed->GetOffset() == (GShortPoint{2560 + 4, 3218 + 9}) &&  // + (10, 20) s
              composed->GetScale().x == s * 2.0f && composed->GetRotation() == 180)
      << composed->GetOffset().x << " " << composed->GetOffset().y;
  EXPECT_TRUE(clip->GetRectangle() == (GShortRect{0, 0, 4900, 6400}));
  // The first cell's frame: bundle in order, the rectangle 1 outside the
  // cell in printable coordinates.
  auto* frame = static_cast<GRectangleGraphic*>(events[4].command.Get());
  GAttributeComposite* bundle = frame->GetAttributes();
  std::vector<RWClassID> kinds;
  for (RWSize i = 0; i < bundle->EntryCount(); ++i)
    kinds.push_back(bundle->Children()[i]->ClassId());
  EXPECT_EQ(kinds, (std::vector<RWClassID>{103, 504, 102, 401, 252, 201}));
  auto* placed = static_cast<GTransformAttribute*>(bundle->Children()[0].Get());
  auto* frame_clip = static_cast<GClipToSingleRectangle*>(bundle->Children()[1].Get());
  auto* rop = static_cast<GRasterOperation*>(bundle->Children()[3].Get());
  auto* pen = static_cast<GPen*>(bundle->Children()[5].Get());
  EXPECT_TRUE(placed->GetOffset() == (GShortPoint{150, 100}) && placed->GetScale().x == 1.0f &&
              frame_clip->GetRectangle() == (GShortRect{-150, -100, 4950, 6500}) &&
              frame_clip->Key() == kClipKey && rop->GetRop() == 240 && rop->GetValue() == 0 &&
              pen->GetWidth() == 2 && frame->GetBounds() == (GShortRect{1, 1, 2434, 3184}));
}

TEST_F(Imposition, NupRefusalsPassTheDocumentAndEachDocumentGetsItsGrid) {
  // Refused set-ups (the filter off, the document unchanged): N = 0, 17 and
  // 1; order 4; no 266; no medium; no orientation; a paper of no height;
  // margins that leave a candidate no room (a division by zero).
  const struct {
    int n, order, pages_key, orientation;
    GMedia* medium;
  } refused[] = {
      {0, 0, 1, 0, Letter()},  {17, 0, 1, 0, Letter()},         {1, 0, 1, 0, Letter()},
      {2, 4, 1, 0, Letter()},  {2, 0, 0, 0, Letter()},          {2, 0, 1, 0, nullptr},
      {2, 0, 1, -1, Letter()}, {2, 0, 1, 0, Paper(5100, 0, 0)}, {2, 0, 1, 0, Paper(60, 60, 15)}};
  for (const auto& c : refused) {
    auto* nup = new GNupFilter;
    FilterJob run(Job(), {nup});
    EXPECT_EQ(
        Document(run, DocumentSet(c.pages_key ? c.n : -1, c.order, 0, c.medium, c.orientation), 2),
        0);
    EXPECT_EQ(run.Summary(), Tokens({"DS", "1", "2", "DE"})) << c.n << " " << c.order;
    EXPECT_TRUE(!nup->IsEnabled() && nup->GetFlags() == 0 && Lines(run, 712).empty());
  }
  // One filter, document after document: each gets its own grid; a page
  // without medium stands the filter aside and closes the open sheet.
  auto* nup = new GNupFilter;
  FilterJob run(Job(), {nup});
  EXPECT_EQ(Document(run, DocumentSet(4, 0, 0, Letter()), 5), 0);
  EXPECT_EQ(Document(run, DocumentSet(2, 0, 0, Letter()), 3), 0);
  EXPECT_EQ(run.Summary(), Tokens({"DS", "4", "5", "DE", "DS", "2", "3", "DE"}));
  EXPECT_TRUE(nup->Rows() == 1 && nup->SheetOrientation() == 90);
  run.Submit(Start(DocumentSet(2, 0, 0, Letter())));
  run.Submit(Page(1));
  run.Submit(Command(710));
  run.Submit(Command(kGPageStartId, {{265, 0}}));
  EXPECT_TRUE(!nup->IsEnabled() && run.recorder->events.back().command->ClassId() == 709 &&
              run.recorder->events[run.recorder->events.size() - 2].command->ClassId() == 710);
}

TEST(NupFilter, PageScaleQueries) {
  // Before any document (no driver data: compatibility off, media not
  // turned) the query sets the filter up: N = 2 on upright paper with
  // margins 120 lays a 90-degree sheet whose medium stays upright, so the
  // cells are (5100 - 270) / 2 - 4 = 2411 wide and a page is scaled by
  // 2411 / 5100. Status 3 (a device ahead answered): (0, 0); N = 1: (1, 1).
  GCountedPtr doc(DocumentSet(2, 0, 0, Paper(5100, 6600, 120)));
  GCountedPtr page(DocumentSet(-1, -1, -1, Paper(5100, 6600, 120)));
  auto* set = static_cast<GState*>(page.Get());
  GNupFilter filter, off;
  std::uint32_t status = 0, three = 3;
  const GScalePair scale = filter.GetPageScale(static_cast<GState*>(doc.Get()), set, 1, status);
  EXPECT_TRUE(scale.x == 2411.0f / 5100 && scale.y == scale.x && status == 0 &&
              filter.SheetOrientation() == 90 &&
              filter.GetPageScale(nullptr, set, 1, three).x == 0);
  EXPECT_TRUE(off.GetPageScale(nullptr, nullptr, 0, status).x == 1 && !off.IsEnabled());
  off.Reset();
  EXPECT_TRUE(off.IsEnabled() && !off.IsInitialised() && off.PagesPerSheet() == 1);
}

TEST_F(Imposition, BookletsOfFivePages) {
  // Five pages padded to eight; with pairing 1 the sides are (8, 1), (2, 7),
  // (6, 3), (4, 5); pairing 2 turns each round; sheet order 1 starts from
  // the middle. Pages 6 to 8 are blank.
  const struct {
    int pairing, order;
    Tokens sides;
  } cases[] = {{1, 0, {"b,1", "2,b", "b,3", "4,5"}},
               {2, 0, {"1,b", "b,2", "3,b", "5,4"}},
               {1, 1, {"b,3", "4,5", "b,1", "2,b"}}};
  for (const auto& c : cases) {
    auto* booklet = new GBookletFilter;
    FilterJob run(Job(), {booklet});
    run.Submit(Start(BookletSet(c.pairing, c.order)));
    // While the document is held: the flag, and the inner N-up's scale of
    // a page on the copy of the document's set (Letter turned to 90: cells
    // 3181 x 4896, so 3181 / 5100), which answers only once.
    std::uint32_t status = 0;
    GCountedPtr page = Page(1);
    GAttributeComposite* page_set = static_cast<GCommand*>(page.Get())->GetAttributes();
    EXPECT_EQ(Job()->GetOutputChain()->GetFlags(), kBookletFlag);
    EXPECT_EQ(Job()->GetOutputChain()->GetPageScale(nullptr, page_set, 0, status).x,
              3181.0f / 5100);
    EXPECT_EQ(status, 3u);
    for (std::int16_t n = 1; n <= 5; ++n)
      run.Submit(Page(n)), run.Submit(Tag(n)), run.Submit(Command(710));
    EXPECT_TRUE(run.recorder->events.empty());
    ASSERT_EQ(run.Submit(Command(kGDocumentEndId)), 0);
    EXPECT_EQ(Sides(run), c.sides) << c.pairing << c.order;
    // 329 was there for the inner N-up, which turned the sheet and 253
    // from 2 to 1; it is gone now.
    const std::string& start = run.recorder->events.at(0).line;
    EXPECT_TRUE(start.find("763:253=1") != std::string::npos &&
                start.find(":329=") == std::string::npos)
        << start;
    EXPECT_TRUE(Lines(run, kGPageStartId).at(0).find("763:265=90") != std::string::npos);
    status = 0;
    EXPECT_EQ(booklet->GetPageScale(nullptr, page_set, 0, status).x, 0.0f);
    EXPECT_TRUE(std::filesystem::is_empty(SpoolParent()));
  }
}

TEST_F(Imposition, BookletOffPassBreakAndFailures) {
  // 279 = 0: the document passes unchanged, the filter off.
  auto* booklet = new GBookletFilter;
  FilterJob run(Job(), {booklet});
  EXPECT_EQ(run.Document({{279, 0}}, 2), 0);
  EXPECT_TRUE(run.Summary() == Tokens({"DS", "1", "2", "DE"}) && !booklet->IsEnabled() &&
              booklet->GetFlags() == 0);
  // A pass break builds the booklet of the pages so far; the document end
  // after it passes on alone.
  auto* second = new GBookletFilter;
  FilterJob broken(Job(), {second});
  broken.Submit(Start(BookletSet(1)));
  for (std::int16_t n = 1; n <= 2; ++n)
    broken.Submit(Page(n)), broken.Submit(Tag(n)), broken.Submit(Command(710));
  broken.Submit(Command(kPassBreakId));
  EXPECT_EQ(Sides(broken), Tokens({"b,1", "2,b"}));
  broken.Submit(Command(kGDocumentEndId));
  EXPECT_EQ(broken.Summary().back(), "DE");
  EXPECT_EQ(broken.Summary().size(), 5u);  // DS, two sheets, 718, DE
  // Spool failures (each step of the spool's seam): the job is aborted,
  // nothing comes out, the lock is free and the files gone.
  static int failing = -1;
  GSpoolDirectory::SetFaultHook([](GSpoolDirectory::Step step) { return int(step) == failing; });
  for (failing = 0; failing < 4; ++failing) {
    auto* held = new GBookletFilter;
    FilterJob failed(Job(), {held});
    EXPECT_EQ(Document(failed, BookletSet(1), 2), kSpoolFailure) << failing;
    EXPECT_TRUE(failed.Summary().at(0) == "JA" && !held->IsEnabled() && held->GetFlags() == 0);
    bool free = false;  // another thread takes it at once
    std::thread([&] { (free = SpoolLock().try_lock()) ? SpoolLock().unlock() : void(); }).join();
    EXPECT_TRUE(free);
    EXPECT_TRUE(std::filesystem::is_empty(SpoolParent()));
  }
  GSpoolDirectory::SetFaultHook(nullptr);
}

TEST_F(Imposition, BookletInsertPagesTakeTheInsertMediaType) {
  // Inserts asked (1218, tray 5, type "Insert"; 253 on, the job's manual
  // duplex 245 on and 204 off, a usable medium): two insert pages lead the
  // booklet on the insert tray and type; the first page keeps its own type
  // (none; the document's is "Plain") and carries 1218 = 1.
  SetValue(JobSettings(), 245, 1);
  auto* booklet = new GBookletFilter;
  FilterJob run(Job(), {booklet});
  GState* set = BookletSet(2);
  static_cast<GMedia*>(set->FindByKey(kMediumKey))->SetMediaType("Plain");
  for (auto [key, value] : {std::pair{253, 1}, {1218, 1}, {1214, 5}})
    set->AddChild(new GValueAttribute(std::uint16_t(value), key));
  set->AddChild(new GStringAttribute("Insert", 1215));
  EXPECT_EQ(Document(run, set, 2), 0);
  EXPECT_EQ(Sides(run).size(), 4u);  // 2 pages, 2 blanks, 4 inserts
  Tokens pages;
  for (const RecordedEvent& e : run.recorder->events) {
    GAttributeComposite* page = static_cast<GCommand*>(e.command.Get())->GetAttributes();
    if (!page || !page->FindByKey(900)) continue;
    auto* medium = dynamic_cast<GMedia*>(page->FindByKey(kMediumKey));
    pages.push_back(std::to_string(ValueOf(page, 1218)) + " " + std::to_string(ValueOf(page, 258)) +
                    " " + (medium ? medium->GetMediaType().Data() : "-"));
  }
  // Pairing 2, sheet by sheet: (insert 1, insert 4), (insert 3, insert 2),
  // (page 1, blank), (blank, page 2); each sheet's first start carries the
  // page's medium type on the sheet's medium.
  ASSERT_EQ(pages.size(), 8u);
  EXPECT_EQ(pages[0], "1 5 Insert");
  EXPECT_EQ(pages[4], "1 -1 ");
}

}  // namespace
