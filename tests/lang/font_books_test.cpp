// The generators' books of downloaded fonts: each numbering of codes, the
// process-wide soft-font ids and resource numbers to their ends, the ZDL5
// triples, the cache search by state, releases through the generators'
// deletion hooks, the books each generator makes, and pages of text on
// the ZDL5 generator over a hand-made TrueType font.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list_composite.h"
#include "fonts/tt_font_imp.h"
#include "lang/font_books/char_code_maps.h"
#include "lang/font_books/postscript_books.h"
#include "lang/font_books/vexalon_books.h"
#include "lang/font_books/zdl5e_books.h"
#include "lang/joblang_zdl5/zdl5e.h"
#include "lang/text/text_string.h"
#include "lang/xl_ps/postscript.h"
#include "lang/xl_ps/vexalon.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_association.h"
#include "tests/fonts/font_test_support.h"
#include "tests/persist/media.h"

namespace {

// A font implementation of a given kind (its class bits).
struct KindImp : GFontImp {
  KindImp(std::uint32_t kind_value, const GFontDescriptionRecord& record,
          const GFontAngleBlock& block)
      : GFontImp(0, record, block), kind(kind_value) {}
  std::uint32_t GetFontKind() const override { return kind; }
  std::uint32_t kind;
};

GFontDescriptionRecord BaseRecord() {
  GFontDescriptionRecord record;
  record.face_name = "Square";
  record.longs1[0] = 7;  // typeface
  record.style = 1;
  record.selector = 16;
  record.height = 10;
  record.long3 = 3;
  record.x_scale = record.y_scale = 1.0f;
  record.words2[2] = 'A';
  record.words2[3] = 'C';
  record.words2[4] = 'A';
  return record;
}

GFontAngleBlock BaseBlock() {
  GFontAngleBlock block;
  block.longs[0] = 4;
  block.word = 5;
  return block;
}

TEST(FontBooks, EachGeneratorNumbersCodesItsWay) {
  // ZDL XL: after 8191 comes 8448; the gap passes through.
  GVexalonCharCodeMap xl;
  std::uint32_t code = 10000;  // clear of the gap
  while (xl.Map(static_cast<std::uint16_t>(code)) != 8191)
    ++code;
  EXPECT_EQ(xl.Map(static_cast<std::uint16_t>(code + 1)), 8448);
  EXPECT_EQ(xl.Map(8200), 8200);
  // PostScript: low bytes 33 to 255 from 289, each code once, until the
  // numbering runs out (255 pages of 223), never wrapping into 0 to 255.
  GPostScriptCharCodeMap ps;
  std::vector<std::uint16_t> given;
  for (code = 256; code <= 0xFFFF; ++code)
    given.push_back(ps.Map(static_cast<std::uint16_t>(code)));
  EXPECT_EQ(given[0], 289);
  EXPECT_EQ(given[223], 545);
  const std::size_t handed = 255 * 223;
  std::set<std::uint16_t> distinct(given.begin(), given.begin() + handed);
  EXPECT_EQ(distinct.size(), handed);
  EXPECT_GE(*distinct.begin(), 289);
  for (std::uint16_t mapped : distinct)
    EXPECT_GE(mapped & 0xFF, 33) << mapped;
  EXPECT_EQ(std::set<std::uint16_t>(given.begin() + handed, given.end()),
            std::set<std::uint16_t>{kNoMappedCode});
  EXPECT_EQ(ps.Map(65), 65);
  EXPECT_EQ(ps.Map(256), 289);
  // ZDL5, mode 1: from 128, codes of 32768 up, 32768 of them.
  GZdl5eCharCodeMap zdl5;
  const std::pair<std::uint16_t, std::uint16_t> steps[] = {
      {100, 100}, {128, 32768}, {0xFFFF, 32769}, {128, 32768}, {127, 127}};
  for (const auto& [in, out] : steps)
    EXPECT_EQ(zdl5.Map(in), out) << in;
  for (code = 129; code < 0xFFFF && zdl5.Map(static_cast<std::uint16_t>(code)) != 0xFFFF; ++code) {
  }
  EXPECT_EQ(zdl5.Map(static_cast<std::uint16_t>(code + 1)), kNoMappedCode);
  zdl5.Clear();
  zdl5.SetMode(0);
  EXPECT_EQ(zdl5.Map(200), 200);
  EXPECT_EQ(zdl5.Map(0x1234), 256);
  EXPECT_EQ(zdl5.Map(0x300), 257);
}

TEST(FontBooks, NumberingIsProcessWideAndRefusesAtItsEnd) {
  GZdl5e zdl5;
  std::unique_ptr<GZdl5eFontList> a(GZdl5eFontList::New(&zdl5));
  std::unique_ptr<GZdl5eFontList> b(GZdl5eFontList::New(&zdl5));
  EXPECT_EQ(a->ResetFontIds(), 1u);
  EXPECT_EQ(a->GetFontId(), 1001u);
  EXPECT_EQ(b->GetPageFontId(0x1234), 1002u);
  EXPECT_EQ(b->GetPageFontId(0x11234), 1002u);  // pages wrap at 256
  EXPECT_EQ(b->GetPageFontId(0x1300), 1003u);
  b->MarkPage(0x1301);
  EXPECT_EQ(b->IsPageMarked(0x1300) + b->IsPageMarked(0x1234), 1u);
  SetSoftFontIdCounter(0xFFFFFFFD);
  EXPECT_EQ(b->GetFontId(), 0xFFFFFFFEu);
  EXPECT_EQ(b->GetPageFontId(0x4000), 0u);  // none left: no id
  EXPECT_EQ(a->GetPageFontId(0x4000), 0u);
  GPostScript ps;
  std::unique_ptr<GPostScriptFontList> c(GPostScriptFontList::New(&ps));
  std::unique_ptr<GPostScriptFontList> d(GPostScriptFontList::New(&ps));
  EXPECT_EQ(c->ResetResourceNumbers(), 1u);
  EXPECT_EQ(c->GetResourceNumber(), 1u);
  EXPECT_EQ(c->GetResourceNumber(), 1u);
  SetResourceNumberCounter(kResourceNumberLimit - 1);
  EXPECT_EQ(d->GetResourceNumber(), 0u);
  ResetResourceNumbers();
  EXPECT_EQ(d->GetResourceNumber(), 1u);
}

TEST(FontBooks, Zdl5eTriplesGrowBy256) {
  std::unique_ptr<GZdl5eFontList> list(GZdl5eFontList::New(nullptr));
  for (std::uint16_t i = 0; i < 256; ++i)
    ASSERT_TRUE(list->AddTriple(i, static_cast<std::uint16_t>(i + 1), 9));
  EXPECT_EQ(list->GetTripleCapacity(), 256u);
  list->AddTriple(5, 99, 99);
  EXPECT_EQ(list->GetTripleCapacity(), 512u);
  EXPECT_EQ(list->FindTriple(5)->b, 6);  // the first with that value
  EXPECT_EQ(list->FindTriple(255)->b, 256);
  EXPECT_EQ(list->FindTriple(300), nullptr);
  std::unique_ptr<GZdl5eFontList> clone(static_cast<GZdl5eFontList*>(list->Clone()));
  EXPECT_EQ(clone->GetTripleCount(), 0u);
}

// One node of each cache (of state `state`, last block word `last_word`,
// a device font when `resident` is 1 (scalable) or 2 (not)), asked for a
// font of kind `kind` with glyph flags `flags` and one change.
TEST(FontBooks, TheCacheSearchMatchesByState) {
  enum Change { kNone, kHeight, kLong3, kFace, kWord, kAngle };
  struct Case {
    bool postscript;
    std::uint32_t state, last_word, resident, kind, flags;
    Change change;
    bool match;
  } cases[] = {
      {false, 1, 0, 1, 0, 2, kHeight, true},   // a scalable resident font, any height
      {false, 1, 0, 2, 0, 2, kHeight, false},  // a bitmap resident font of another height
      {false, 1, 0, 2, 0, 2, kNone, true},
      {false, 2, 0, 0, 1, 0, kNone, true},  // a downloaded bitmap font
      {false, 2, 0, 0, 1, 0, kHeight, false},
      {false, 2, 0, 0, 0, 0, kNone, false},   // class bits without 1
      {false, 3, 0, 0, 2, 0, kHeight, true},  // an outline font of any height
      {false, 3, 0, 0, 2, 0, kLong3, false},
      {false, 3, 0, 0, 3, 0, kFace, false},
      {false, 3, 0, 0, 1, 0, kNone, false},  // a bitmap request: state 2 wanted
      {true, 3, 4, 0, 2, 0, kWord, false},
      {true, 3, 4, 0, 2, 0, kAngle, true},
      {true, 3, 2, 0, 2, 0, kAngle, false},
      {true, 3, 7, 0, 2, 0, kWord, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    GPostScript ps;
    GZdl5e zdl5;
    GPrinterLanguage& generator = c.postscript ? static_cast<GPrinterLanguage&>(ps) : zdl5;
    GFontList* list = c.postscript ? static_cast<GFontList*>(GPostScriptFontList::New(&ps))
                                   : GZdl5eFontList::New(&zdl5);
    list->SetState(c.state);
    if (c.resident) {
      list->SetValue(new GDeviceFontDescription("Square", "", 0, GSymbolSetList(), 1, 7, 0, 0,
                                                c.resident == 1, 10, 0, 0));
    }
    GFontAngleBlock node_block = BaseBlock();
    node_block.longs2[1] = c.last_word;
    generator.GetFontCache()->Add(BaseRecord(), node_block, list);
    GFontDescriptionRecord record = BaseRecord();
    GFontAngleBlock block = BaseBlock();
    block.glyph_flags = c.flags;
    record.height += c.change == kHeight;
    record.long3 += c.change == kLong3;
    if (c.change == kFace) record.face_name = "Round";
    block.word += c.change == kWord;
    block.angle2 = c.change == kAngle ? 45.0f : 0.0f;
    GFont font(new KindImp(c.kind, record, block), nullptr);
    GFontList* found = generator.GetFontCache()->Find(font);
    EXPECT_EQ(found != nullptr, c.match);
    if (found) {
      EXPECT_EQ(font.GetDownloadRecord(), found);
      EXPECT_EQ(found->GetEntry(), list->GetEntry());
    }
  }
}

// A request for a font in the printer (glyph flags 2) selects a device font
// that serves it instead of downloading; requests it does not serve, or
// whose selection cannot be made, are downloaded. The printer's name for
// the font is its list's short-id name, else its face name.
TEST(FontBooks, Zdl5eSelectsADeviceFontThatServesTheRequest) {
  enum Change { kNone, kStyle, kSet, kHeight, kTypeface };
  const char kTemplate[] = "\x1b(s#HEIGHTv#PITCHH";
  struct Case {
    std::uint32_t kind, scalable, flags;
    Change change;
    std::int16_t height;
    const char* log;  // the first line
  } cases[] = {
      {1, 1, 2, kNone, 1013, "SelectFont \x1b(s10.25v11.71H"},
      {2, 1, 2, kNone, 10, "SelectFont \x1b(s#HEIGHTv#PITCHH"},  // kind 2: as it is
      {5, 0, 2, kSet, 2000, "SelectFont \x1b(s20.00v6.00H"},     // kinds 4-7: set, height relaxed
      {1, 1, 2, kNone, 10, "DownloadFont 1001"},                 // the pitch cannot be made
      {1, 0, 2, kHeight, 1013, "DownloadFont 1001"},
      {1, 0, 2, kNone, 1013, "SelectFont \x1b(s10.25v11.71H"},
      {1, 1, 2, kSet, 1013, "DownloadFont 1001"},
      {5, 1, 2, kStyle, 1013, "DownloadFont 1001"},
      {5, 1, 2, kTypeface, 1013, "DownloadFont 1001"},
      {1, 1, 0, kNone, 1013, "DownloadFont 1001"},  // not a request for a printer font
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    GSymbolSetList sets;
    sets.Append(c.change == kSet ? 9 : 16);
    auto* fonts = new GDeviceFontList(416);
    fonts->AddDescription(GDeviceFontDescription(
        "Square", kTemplate, 16, sets, 1 + (c.change == kStyle), 7 + (c.change == kTypeface), 0, 0,
        c.scalable, 1013 + (c.change == kHeight), 4, c.kind));
    fonts->SetShortIdNames(new MAssociationList);
    fonts->GetShortIdNames()->SetAssociation(new MPersistentAssociation(
        new GPersistableULong(c.kind == 1 ? 4 : 5), new GStringAttribute("SQ", 0)));
    auto* lists = new GDeviceFontListComposite;
    lists->AddList(fonts);
    auto* configuration = new MPersistentComposite;
    configuration->AddChild(lists);
    GZdl5e zdl5("Z", nullptr, configuration, 0, 0, 0, 0);
    ResetSoftFontIds();
    GFontDescriptionRecord record = BaseRecord();
    record.height = c.height;
    GFontAngleBlock block = BaseBlock();
    block.glyph_flags = c.flags;
    const std::uint16_t codes[] = {'A', 'B'};
    const GShortPoint points[] = {{0, 0}, {10, 0}};
    GTextStringGraphic graphic(new GFont(new KindImp(0, record, block), nullptr),
                               GCodeBuffer(codes, 2), kWideCodeSet, points, 0, nullptr);
    EXPECT_EQ(graphic.Execute(zdl5), 0);
    const std::string log = zdl5.GetCallLog().Text().Data();
    EXPECT_EQ(log.substr(0, log.find('\n')), c.log);
    auto* list = static_cast<GFontList*>(graphic.GetFont()->GetDownloadRecord());
    if (c.log[0] == 'S') {
      EXPECT_EQ(log.substr(log.find('\n') + 1), "DrawText 0 2\n");
      EXPECT_EQ(list->GetName(), RWCString(c.kind == 1 ? "SQ" : "Square"));
      EXPECT_EQ(zdl5.GetFontCache()->GetTotalPrinterMemory(), 0u);
    }
  }
}

TEST(FontBooks, ReleasesGoThroughTheGeneratorsDeletionHooks) {
  GZdl5e zdl5;
  ResetSoftFontIds();
  auto add = [&](std::uint32_t state, std::uint32_t pages) {
    GZdl5eFontList* list = GZdl5eFontList::New(&zdl5);
    list->SetState(state);
    for (std::uint32_t page = 1; page <= pages; ++page)
      list->GetPageFontId(page * 256);
    if (!pages) list->GetFontId();
    list->MarkPage(256);
    list->AddPrinterMemory(100);
    list->AddCode(300);
    zdl5.GetFontCache()->Add(BaseRecord(), BaseBlock(), list);
    return list;
  };
  GZdl5eFontList* whole = add(kFontOutline, 0);
  GZdl5eFontList* paged = add(kFontBitmap, 2);
  GZdl5eFontList* resident = add(kFontResident, 0);
  paged->SetLastUse(1);
  EXPECT_EQ(zdl5.GetFontCache()->EvictOne(), 100u);  // the least recently used
  EXPECT_EQ(zdl5.GetCallLog().Text(), RWCString("DeleteSoftFont 1001\n"));
  EXPECT_EQ(whole->ContainsCode(300), 0u);
  zdl5.GetFontCache()->ReleaseAll();
  EXPECT_EQ(zdl5.GetCallLog().Text(),
            RWCString("DeleteSoftFont 1001\nDeleteSoftFont 1002\nDeleteSoftFont 1003\n"));
  EXPECT_EQ(paged->IsPageMarked(256), 0u);
  EXPECT_EQ(paged->GetPageFontId(256), 1002u);  // the page's id stays
  EXPECT_EQ(resident->GetPrinterMemory() + zdl5.GetMemoryBudget().GetUsed(), 0u);
  EXPECT_EQ(whole->GetFontId(), 1005u);  // its id went; a new one
  // PostScript: the defined sub-fonts of the resource go; the codes stay.
  GPostScript ps;
  ResetResourceNumbers();
  GPostScriptFontList* list = GPostScriptFontList::New(&ps);
  ps.GetFontCache()->Add(BaseRecord(), BaseBlock(), list);
  list->SetState(kFontBitmap);
  ps.MarkSubFontDefined(list->GetResourceNumber(), 65);
  list->AddPrinterMemory(50);
  list->AddCode(65);
  auto& cache = static_cast<GPostScriptFontCache&>(*ps.GetFontCache());
  cache.AddCode(65);
  EXPECT_EQ(cache.NextList(), list);
  EXPECT_EQ(cache.NextList(), nullptr);
  cache.ReleaseAll();
  EXPECT_EQ(ps.GetCallLog().Text(), RWCString("DeleteFontResource 1 65 3\n"));
  EXPECT_EQ(list->ContainsCode(65) + cache.ContainsCode(65), 1u);
  EXPECT_EQ(list->GetResourceNumber(), 2u);
}

template <class Generator, class Cache, class Map>
void ExpectOwnBooks() {
  Generator made;
  Generator copy(made);
  Generator assigned;
  if constexpr (std::is_copy_assignable_v<Generator>) assigned = made;
  const std::string bytes = model_testing::Save(&made, model_testing::Medium::kBinary);
  model_testing::Restored back = model_testing::Restore(bytes, model_testing::Medium::kBinary);
  ASSERT_TRUE(back.ok);
  for (auto* generator : {&made, &copy, &assigned, dynamic_cast<Generator*>(back.object)}) {
    EXPECT_TRUE(dynamic_cast<Cache*>(generator->GetFontCache()));
    EXPECT_TRUE(dynamic_cast<Map*>(generator->GetCodeMap()));
  }
  FreeRestored(back.object);
}

TEST(FontBooks, EachGeneratorMakesItsOwnBooks) {
  ExpectOwnBooks<GVexalon, GVexalonFontCache, GVexalonCharCodeMap>();
  ExpectOwnBooks<GPostScript, GPostScriptFontCache, GPostScriptCharCodeMap>();
  ExpectOwnBooks<GZdl5e, GZdl5eFontCache, GZdl5eCharCodeMap>();
}

// Pages of text on the ZDL5 generator: the first downloads the font and
// its characters once (A renders 40 bytes at 10 pixels; B, 0x2000, which
// has no glyph and maps to 32768, and code 0 render none); a font of
// its own with the same description finds the entry in the cache, and a
// handle on the first implementation carries it; eviction deletes the soft
// font, and the next page downloads it again under a new id.
TEST(FontBooks, TextOnZdl5eDownloadsOnceAndReusesTheEntry) {
  GTTFontPool::CreateInstance();
  {
    tt_testing::OpenedFont file(tt_testing::SquareFont(), 40);
    ASSERT_TRUE(file.opened);
    GTTFontReader* reader = file.reader.release();  // the pool's from here on
    auto new_font = [&] {
      return new GFont(new GTTFontImp(0, BaseRecord(), {}, GTTFontPool::Instance(), reader),
                       nullptr);
    };
    GZdl5e zdl5;
    ResetSoftFontIds();
    const std::vector<std::uint16_t> codes = {'A', 'B', 'A', 0x2000, 0};
    const GShortPoint points[] = {{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}};
    auto page = [&](GFont* font) {
      GTextStringGraphic graphic(font, GCodeBuffer(codes.data(), 5), kWideCodeSet, points, 0,
                                 nullptr);
      EXPECT_EQ(graphic.Execute(zdl5), 0);
    };
    const std::unique_ptr<GFont> first(new_font());
    page(new GFont(*first));
    std::string log =
        "DownloadFont 1001\nDownloadCharacter 1001 65 40\nDownloadCharacter 1001 66 0\n"
        "DownloadCharacter 1001 32768 0\nDownloadCharacter 1001 0 0\nDrawText 1001 5\n";
    EXPECT_EQ(zdl5.GetCallLog().Text(), RWCString(log.c_str()));
    page(new_font());
    page(new GFont(*first));
    log += "DrawText 1001 5\nDrawText 1001 5\n";
    EXPECT_EQ(zdl5.GetCallLog().Text(), RWCString(log.c_str()));
    // The header and each character with the item overhead of 1.
    EXPECT_EQ(zdl5.GetFontCache()->GetTotalPrinterMemory(), 1u + 41 + 1 + 1 + 1);
    EXPECT_EQ(zdl5.GetFontCache()->Count(), 1u);
    EXPECT_EQ(zdl5.GetFontCache()->EvictOne(), 45u);
    page(new GFont(*first));
    log +=
        "DeleteSoftFont 1001\nDownloadFont 1002\nDownloadCharacter 1002 65 40\n"
        "DownloadCharacter 1002 66 0\nDownloadCharacter 1002 32768 0\nDownloadCharacter 1002 0 0\n"
        "DrawText 1002 5\n";
    EXPECT_EQ(zdl5.GetCallLog().Text(), RWCString(log.c_str()));
  }
  GTTFontPool::DestroyInstance();
}

}  // namespace
