// The letterhead, hand-off, colour-adjustment and watermark filters on a
// job (filter_harness.h).
#include <gtest/gtest.h>

#include "config/attributes/style_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/paper/media.h"
#include "filters/color_adjustment_filter.h"
#include "filters/handoff_filters.h"
#include "filters/letterhead_filter.h"
#include "filters/reverse_filter.h"
#include "filters/watermark_filter.h"
#include "foundation/rw/file.h"
#include "lang/text/text_string.h"
#include "output/commands/job_commands.h"
#include "output/commands/null_command.h"
#include "output/core/command_composite.h"
#include "output/core/peripheral_composite.h"
#include "output/core/state.h"
#include "output/graphics/path_graphic.h"
#include "output/graphics/primitive_graphic.h"
#include "output/graphics/raster_graphic.h"
#include "persist/string_conversion.h"
#include "services/extension_job_hooks.h"
#include "store/command_composite_on_disk.h"
#include "tests/support/filter_harness.h"
#include "tests/support/test_support.h"

namespace {

using namespace testing_support;

GAttributeComposite* SetOf(const GCountedPtr& command) {
  return static_cast<GCommand*>(command.Get())->GetAttributes();
}

// The extensions' job side as the hand-off filters see it: each call
// logged; a page command gets two data commands (keys bit + 1, bit + 2)
// before (end) or after (start) it when `mask` has the call's bit.
struct RecordingHooks final : GExtensionJobHooks {
  void BeginDocument(GCommand*) override { calls += "begin "; }
  void EndDocument(GCommand*) override { calls += "end"; }
  GCommand* AddStartData(GCommand* page, std::uint32_t filter) override {
    return Add(page, filter ? 0x800 : 0x200, true);
  }
  GCommand* AddEndData(GCommand* page, std::uint32_t filter) override {
    return Add(page, filter ? 0x1000 : 0x400, false);
  }
  GCommand* Add(GCommand* page, std::uint32_t bit, bool start) {
    calls += std::to_string(bit) + " ";
    if ((mask & bit) == 0) return page;
    auto* composite = new GCommandComposite;
    if (start) composite->AddChild(page);
    composite->AddChild(new GNullCommand(nullptr, bit + 1));
    composite->AddChild(new GNullCommand(nullptr, bit + 2));
    if (!start) composite->AddChild(page);
    return composite;
  }
  std::uint32_t mask = 0;
  std::string calls;
};

// A job context without driver data: setting 339 `carried`, extension
// hooks `hooks`; fonts 101, 102, ... (none when `no_fonts`), each command
// a null command keyed by its font, the releases logged (the handle left
// as it is).
struct StubJob final : GRenderDriverData {
  GFontDatabase* GetFontDatabase() override { return nullptr; }
  std::int32_t GetCachedValue() override { return carried; }
  GExtensionJobHooks* GetExtensionJobHooks() override { return hooks; }
  std::uint32_t IsTextAsBlack() override { return text_as_black; }
  std::uint32_t CreateWatermarkFont(const GWatermarkDescription* description, const GSize16&,
                                    std::int32_t* value) override {
    last = *description;
    *value = 5;
    return no_fonts ? 0 : 101 + made++;
  }
  void ReleaseWatermarkFont(std::uint32_t* font) override { released += std::to_string(*font); }
  GCommand* MakeWatermarkCommand(RWWString, std::uint32_t font, std::int32_t value,
                                 const GRGBColor*, GMedia* medium, std::uint32_t) override {
    built_for += std::to_string(medium->GetXResolution()) + " ";
    return value == 5 ? new GNullCommand(nullptr, font) : nullptr;
  }
  std::int32_t carried = 0;
  GExtensionJobHooks* hooks = nullptr;
  std::uint32_t text_as_black = 0;
  bool no_fonts = false;
  std::uint32_t made = 0;
  GWatermarkDescription last;
  std::string released, built_for;
};

// The filters under test ahead of a recording device, without a job.
struct Chain {
  explicit Chain(std::initializer_list<GPeripheral*> filters) {
    for (GPeripheral* filter : filters)
      chain.AddChild(filter);
    chain.AddChild(recorder);
  }
  // What reached the recorder: class ids, "d<key>" for data commands.
  std::string Reached() const {
    std::string out;
    for (const RecordedEvent& event : recorder->events)
      out += (dynamic_cast<GNullCommand*>(event.command.Get())
                  ? "d" + std::to_string(event.command->Key())
                  : std::to_string(event.command->ClassId())) +
             " ";
    return out;
  }
  GPeripheralComposite chain;
  GRecordingDevice* recorder = new GRecordingDevice;
};

// A medium of x resolution `dpi` and media type `type`.
GMedia* Medium(std::uint16_t dpi, const char* type = "Plain") {
  return new GMedia(nullptr, {}, {}, {}, 0, 1, dpi, dpi, 259, 0, nullptr, type);
}

class DecorateFilters : public JobContextFixture {
 protected:
  // 265 of each page start the recorder saw.
  static std::string Angles(const FilterJob& job) {
    std::string angles;
    for (const RecordedEvent& event : job.recorder->events)
      if (event.command->ClassId() == kGPageStartId)
        angles += std::to_string(ValueOf(SetOf(event.command), 265)) + " ";
    return angles;
  }
};

TEST_F(DecorateFilters, LetterheadTurnsPagesOfQualifyingDocumentsAndMarksThemHandled) {
  // Pages start at 0, 90, 180, 270, 45 and without 265.
  const char* turned = "180 270 0 90 45 -1 ";
  const char* kept = "0 90 180 270 45 -1 ";
  const struct {
    std::int32_t duplex_unit;  // job settings 308
    const char* type;          // the document's medium (null: none)
    Values document;
    const char* angles;
    std::int32_t order;  // 710 afterwards
  } cases[] = {
      {1, "Letterhead", {{253, 1}, {710, 0}}, turned, 1},
      {0, "Letterhead", {{253, 1}, {710, 0}}, kept, 0},
      {1, "Letterhead", {{253, 1}, {710, 1}}, kept, 1},
      {1, "Letterhead", {{253, 1}, {710, 0}, {905, 1}}, kept, 0},
      {1, "Letterhead", {{253, 0}, {710, 0}}, kept, 0},
      {1, "Letterhead", {{253, 1}}, kept, -1},
      {1, "Plain", {{253, 1}, {710, 0}}, kept, 0},
      {1, nullptr, {{253, 1}, {710, 0}}, kept, 0},
  };
  for (const auto& c : cases) {
    SetValue(JobSettings(), 308, c.duplex_unit);
    FilterJob job(Job(), {new GLetterheadFilter});
    GCountedPtr start = Command(kGDocumentStartId, c.document);
    if (c.type) SetOf(start)->AddChild(Medium(600, c.type));
    job.Submit(start);
    for (std::int32_t angle : {0, 90, 180, 270, 45, -1}) {
      GCountedPtr page = Command(kGPageStartId, {{265, angle}});
      if (angle < 0) SetValue(SetOf(page), 265, -1);
      job.Submit(page);
      job.Submit(Command(kGPageEndId));
    }
    EXPECT_EQ(Angles(job), c.angles) << c.type << " " << c.duplex_unit;
    EXPECT_EQ(ValueOf(SetOf(start), 710), c.order);
    ReleaseJob();
  }
}

// 710 := 1 makes a reverse filter after the letterhead filter take the
// document: turned pages also come out last first (an odd count of
// two-sided letterhead pages closes with a blank, on the turned first set).
// A halftone added in mode 1 is spooled and read back by class id 790: the
// generator gets a GHalftoneEnhanced of the same value.
TEST_F(DecorateFilters, LetterheadAndColorAdjustmentAheadOfReverse) {
  SetValue(JobSettings(), 308, 1);
  FilterJob job(Job(), {new GLetterheadFilter, new GTintvectorFilter("", nullptr, nullptr, 0u, 1),
                        new GReverseFilter});
  GCountedPtr start = Command(kGDocumentStartId, {{253, 1}, {710, 0}});
  SetOf(start)->AddChild(Medium(600, "Letterhead"));
  SetOf(start)->AddChild(new GTintvectorAttribute(295u, {1, 2, 3, 4, 5, 6}));
  job.Submit(start);
  for (std::int16_t n = 1; n <= 3; ++n) {
    job.Submit(Command(kGPageStartId, {{265, 0}}));
    job.Submit(GCountedPtr(new GRectangleGraphic(GShortRect{n, n, 9, 9}, new GState(0u), 0u)));
    job.Submit(Command(kGPageEndId));
  }
  job.Submit(Command(kGDocumentEndId));
  EXPECT_EQ(job.Summary(), (std::vector<std::string>{"DS", "blank", "3", "2", "1", "DE"}));
  EXPECT_EQ(Angles(job), "180 180 180 180 ");
  int seen = 0;
  for (const RecordedEvent& event : job.recorder->events) {
    if (event.command->ClassId() != 659) continue;
    auto* halftone = dynamic_cast<GHalftoneEnhanced*>(SetOf(event.command)->FindByKey(0u));
    auto* map = dynamic_cast<GColorMap*>(SetOf(event.command)->Children()[1].Get());
    EXPECT_TRUE(halftone && map && halftone->GetValue() == 4 && map->GetValue() == 3 && ++seen);
  }
  EXPECT_EQ(seen, 3);
}

TEST(HandOff, PagesGetTheExtensionsDataInTheirPlace) {
  const struct {
    bool hooks;
    std::uint32_t mask;
    const char* reached;
  } cases[] = {
      {false, 0, "705 709 659 710 706 "},
      {true, 0, "705 709 659 710 706 "},
      {true, 0x200, "705 709 d513 d514 659 710 706 "},
      {true, 0x400, "705 709 659 d1025 d1026 710 706 "},
      {true, 0x800, "705 709 d2049 d2050 659 710 706 "},
      {true, 0x1000, "705 709 659 d4097 d4098 710 706 "},
      // The second filter takes the first's composite apart: its own data
      // next to the page command, the first's outside.
      {true, 0x1E00, "705 709 d2049 d2050 d513 d514 659 d1025 d1026 d4097 d4098 710 706 "},
  };
  for (const auto& c : cases) {
    RecordingHooks hooks;
    hooks.mask = c.mask;
    StubJob job;
    job.hooks = c.hooks ? &hooks : nullptr;
    auto* first = new GAAFilter1;
    auto* second = new GAAFilter2;
    Chain chain({first, second});
    const GCountedPtr commands[] = {Command(kGDocumentStartId, {}, &job), Command(kGPageStartId),
                                    Tag(1), Command(kGPageEndId), Command(kGDocumentEndId)};
    for (const GCountedPtr& command : commands)
      chain.chain.Submit(command);
    EXPECT_EQ(chain.Reached(), c.reached);
    EXPECT_EQ(hooks.calls, c.hooks ? "begin 512 2048 1024 4096 end" : "");
    for (std::size_t i = 0; c.mask == 0 && i < 5; ++i)  // nothing added: the very commands pass
      EXPECT_EQ(chain.recorder->events.at(i).command.Get(), commands[i].Get());
    // Let go at document end and job abort: the job's driver data may go.
    EXPECT_TRUE(!first->JobContext() && !first->Hooks() && !second->Hooks());
    chain.chain.Submit(Command(kGDocumentStartId, {}, &job));
    EXPECT_TRUE(first->JobContext() == &job && second->JobContext() == &job);
    chain.chain.Submit(Command(kGJobAbortId));
    EXPECT_TRUE(!first->JobContext() && !second->JobContext());
  }
}

// The hand-off filters store nothing, not even the GPeripheral part. A spooled
// page reaches GAAFilter2 whole: its page start and page end records are
// rewritten in place, the store marked and handed on.
TEST(HandOff, StoresNothingAndRewritesSpooledPagesInPlace) {
  TempPath path("handoff");
  RecordingHooks hooks;
  hooks.mask = 0x1800;
  StubJob job;
  job.hooks = &hooks;
  auto* second = new GAAFilter2;
  Chain chain({new GAAFilter1, second});
  chain.chain.Submit(Command(kGDocumentStartId, {}, &job));
  second->SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
  EXPECT_TRUE(ReadAll(path.str()).empty() && second->StoredSize() == 0);
  TempPath store_path("store");
  RWWString name;
  NarrowToWide(store_path.c_str(), name);
  auto* store = new GCommandCompositeOnDisk(name, 1u, 0u);
  GCountedPtr held(store);
  for (const GCountedPtr& command : {Command(kGPageStartId), Tag(1), Command(kGPageEndId)})
    store->PutRecord(command);
  EXPECT_EQ(second->Submit(held).Get(), store);
  EXPECT_TRUE(store->CommandWord() == 1 && hooks.calls == "begin 2048 4096 ");
  std::string records;
  std::unique_ptr<MRecordIterator> walk(store->NewChildIterator());
  while (walk->Next()) {
    GCountedPtr record = walk->CurrentObject();
    records += std::to_string(record->ClassId()) + (record->FindByClassId(709) ? "S" : "") +
               (record->FindByClassId(710) ? "E " : " ");
  }
  EXPECT_EQ(records, "605S 659 605E ");
}

// A document start whose watermark setting (379) holds `values` and the
// text "DRAFT" (none at all when `setting` is false).
GCountedPtr WatermarkStart(StubJob& job, Values values, bool setting = true) {
  GCountedPtr start = Command(kGDocumentStartId, {}, &job);
  if (!setting) return start;
  auto* watermark = new GAttributeComposite(379u);
  for (const auto& [key, value] : values)
    watermark->AddChild(new GValueAttribute(static_cast<std::uint16_t>(value), key));
  watermark->AddChild(new GStringAttribute("DRAFT", 385u));
  SetOf(start)->AddChild(watermark);
  return start;
}

TEST(Watermark, ChosenPagesGetACommandBuiltForTheirMediumBeforeTheirEnd) {
  const char* none = "705 709 710 709 710 706 ";
  const struct {
    Values setting;
    bool has_setting, no_fonts;
    std::vector<std::uint16_t> dpi;  // of each page (0: no medium)
    int documents;
    const char *reached, *built_for;
  } cases[] = {
      // clang-format off
      {{{381, 0}, {382, 0}}, true, false, {300, 0, 1200}, 1,
       "705 709 d101 710 709 710 709 d102 710 706 ", "300 1200 "},
      {{{381, 0}, {382, 1}}, true, false, {600, 600}, 2,
       "705 709 d101 710 709 710 706 705 709 d102 710 709 710 706 ", "600 600 "},
      {{{381, 0}, {382, 2}}, true, false, {600, 600}, 1, none, ""},
      {{{381, 1}, {382, 0}}, true, false, {600, 600}, 1, none, ""},
      {{{382, 0}}, true, false, {600, 600}, 1, none, ""},
      {{{381, 0}}, true, false, {600, 600}, 1, none, ""},
      {{}, false, false, {600, 600}, 1, none, ""},
      {{{381, 0}, {382, 0}}, true, true, {600, 600}, 1, none, ""},  // no font made
      // clang-format on
  };
  for (const auto& c : cases) {
    StubJob job;
    job.no_fonts = c.no_fonts;
    auto* filter = new GWatermarkFilter;
    Chain chain({filter});
    for (int document = 0; document < c.documents; ++document) {
      chain.chain.Submit(WatermarkStart(job, c.setting, c.has_setting));
      for (std::uint16_t dpi : c.dpi) {
        GCountedPtr page = Command(kGPageStartId);
        if (dpi) SetOf(page)->AddChild(Medium(dpi));
        chain.chain.Submit(page);
        chain.chain.Submit(Command(kGPageEndId));
      }
      chain.chain.Submit(Command(kGDocumentEndId));
      chain.chain.Reset();
    }
    EXPECT_EQ(chain.Reached(), c.reached);
    EXPECT_EQ(job.built_for, c.built_for);
    // Each font released once, by its own handle; nothing released unmade.
    EXPECT_EQ(job.released, job.made == 2 ? "101102" : "");
    EXPECT_EQ(filter->FontHandle(), 0u);
  }
}

TEST(Watermark, DescriptionFromTheSetting) {
  const struct {
    Values setting;  // 388 style, 390 points, 398-400 colour, 403 shade
    std::uint16_t dpi;
    std::uint32_t text_as_black;
    const char* expected;  // height, weight, italic, underline, strike-out, colour
  } cases[] = {
      // clang-format off
      {{{388, 3}, {390, 48}, {398, 255}, {403, 128}}, 600, 0, "-400 700 1 0 0 255 128 128 255"},
      {{{388, 12}, {390, 10}, {398, 255}, {403, 255}}, 300, 0, "-41 400 0 1 1 255 232 232 255"},
      {{{398, 255}, {399, 255}, {400, 255}, {403, 128}}, 600, 0, "0 400 0 0 0 128 128 128 255"},
      {{{398, 255}, {403, 128}}, 600, 1, "0 400 0 0 0 128 128 128 255"},
      {{{399, 224}, {400, 255}, {403, 64}}, 600, 0, "0 400 0 0 0 64 255 255 255"},
      {{{399, 255}, {403, 0}}, 600, 0, "0 400 0 0 0 0 255 0 255"},
      // clang-format on
  };
  for (const auto& c : cases) {
    StubJob job;
    job.text_as_black = c.text_as_black;
    GWatermarkFilter filter;
    GCountedPtr start = WatermarkStart(job, {{381, 0}, {382, 0}});
    for (const auto& [key, value] : c.setting)
      SetOf(start)->FindByKey(379)->AddChild(
          new GValueAttribute(static_cast<std::uint16_t>(value), key));
    filter.Submit(start);
    GCountedPtr page = Command(kGPageStartId);
    SetOf(page)->AddChild(Medium(c.dpi));
    filter.Submit(page);
    filter.Submit(Command(kGPageEndId));
    const GWatermarkDescription& d = job.last;
    EXPECT_TRUE(d.text == RWWString(u"DRAFT") && d.text_length == 5 && d.character_set == 1 &&
                d.output_precision == 4);
    std::string got = std::to_string(d.height);
    for (std::uint32_t n : {d.weight, d.italic, d.underline, d.strike_out,
                            std::uint32_t{d.color.GetRed()}, std::uint32_t{d.color.GetGreen()},
                            std::uint32_t{d.color.GetBlue()}, std::uint32_t{d.color.GetFourth()}})
      got += " " + std::to_string(n);
    EXPECT_EQ(got, c.expected);
  }
}

// A new command of class `T` holding an empty set (and `extra`).
template <class T>
GCountedPtr WithSet(MPersistentObject* extra = nullptr) {
  auto* command = new T;
  command->AttachAttributes(new GState(0u));
  if (extra) command->GetAttributes()->AddChild(extra);
  return GCountedPtr(command);
}

// "class=value " of each halftone and colour map of `command`'s set.
std::string Choices(const GCountedPtr& command) {
  std::string out;
  GAttributeComposite* set = SetOf(command);
  for (RWSize i = 0; i < set->EntryCount(); ++i)
    if (auto* choice = dynamic_cast<GStyleChoiceAttribute*>(set->Children()[i].Get()))
      out += std::to_string(choice->ClassId()) + "=" + std::to_string(choice->GetValue()) + " ";
  return out;
}

TEST(ColorAdjustment, ModeOneGivesEachKindItsHalftoneAndColorMap) {
  StubJob job;
  GTintvectorFilter filter("", nullptr, nullptr, 0u, 1);
  // Colour map and halftone of text, graphics, photos.
  GCountedPtr start = Command(kGDocumentStartId, {}, &job);
  SetOf(start)->AddChild(new GTintvectorAttribute(295u, {1, 2, 3, 4, 5, 6}));
  filter.Submit(start);
  const std::pair<GCountedPtr, const char*> cases[] = {
      {WithSet<GRectangleGraphic>(), "790=4 791=3 "},
      {WithSet<GRasterGraphic>(), "790=6 791=5 "},
      {WithSet<GTextStringGraphic>(), "790=2 791=1 "},
      {WithSet<GRectangleGraphic>(new GHalftone(77, 9u)), "790=77 791=3 "},
      {WithSet<GRectangleGraphic>(new GColorMap(78, 9u)), "791=78 790=4 "},
      {WithSet<GPathGraphic>(), "790=4 791=3 "},
      {WithSet<GGraphicComposite>(), "790=4 791=3 "},
      {Command(kGPageStartId), ""},
  };
  for (const auto& [command, expected] : cases) {
    EXPECT_EQ(filter.Submit(command).Get(), command.Get());
    EXPECT_EQ(Choices(command), expected);
  }
  // 339 = 2: the next document keeps these choices; a Reset (a new job)
  // forgets them.
  filter.Submit(Command(kGDocumentEndId));
  job.carried = 2;
  GCountedPtr next = Command(kGDocumentStartId, {}, &job);
  SetOf(next)->AddChild(new GTintvectorAttribute(295u, {9, 9, 9, 9, 9, 9}));
  for (const char* expected : {"790=4 791=3 ", "790=0 791=0 "}) {
    filter.Submit(next);
    GCountedPtr graphic = WithSet<GRectangleGraphic>();
    filter.Submit(graphic);
    EXPECT_EQ(Choices(graphic), expected);
    filter.Reset();
  }
}

TEST(ColorAdjustment, EnhancedModesPutOneAttributeOnEveryPageStartAndStoreTheMode) {
  using E = GTintvectorEnhancedAttribute;
  using V = GTintvectorEnhancedAttributeVer2;
  // Without a key-295 attribute every choice is 65535: bytes 255. The
  // constructors' byte orders are the page attribute's.
  const E unread(295u, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  const E mode3(295u, {1, 2, 3, 4, 5, 6, 7, 8});
  const V mode4(295u, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  const struct {
    std::int32_t mode;
    MPersistentObject* source;
    const MPersistentObject* expected;
  } cases[] = {{3, nullptr, &unread}, {3, new E(mode3), &mode3}, {4, new V(mode4), &mode4}};
  for (const auto& c : cases) {
    StubJob job;
    GTintvectorFilter filter("", nullptr, nullptr, 0u, c.mode);
    GCountedPtr start = Command(kGDocumentStartId, {}, &job);
    if (c.source) SetOf(start)->AddChild(c.source);
    filter.Submit(start);
    for (int page = 0; page < 2; ++page) {
      GCountedPtr page_start = Command(kGPageStartId);
      filter.Submit(page_start);
      GAttributeComposite* set = SetOf(page_start);
      ASSERT_EQ(set->EntryCount(), 1u);
      EXPECT_TRUE(set->Children()[0]->Key() == 295 &&
                  set->Children()[0]->IsEqualContent(c.expected));
    }
    GCountedPtr graphic = WithSet<GRectangleGraphic>();
    filter.Submit(graphic);
    EXPECT_EQ(Choices(graphic), "");
  }
  StubJob job;
  GTintvectorFilter off;  // mode 0
  off.Submit(Command(kGDocumentStartId, {}, &job));
  EXPECT_FALSE(off.IsEnabled());
  // Stored after the GPeripheral part (values 0, 6, 2): the version word 3
  // and the mode as i16. A copy keeps the GPeripheral part only.
  TempPath path("tint");
  GPeripheral base("", nullptr, nullptr, 0u, 0, 6, 2);
  GTintvectorFilter filter("", nullptr, nullptr, 0u, 3), back;
  filter.SetSerialNumber(base.SerialNumber());
  auto save = [&](const RWCollectable& object) {
    object.SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
    return ReadAll(path.str());
  };
  const std::string head = save(base);
  EXPECT_TRUE(save(filter) == head + Unhex("03 00 00 00 03 00") &&
              filter.StoredSize() == base.StoredSize() + 6);
  RWFile file(path.c_str(), "rb");
  back.RestoreFromFile(file);
  EXPECT_TRUE(!file.Error() && back.Mode() == 3 && GTintvectorFilter(filter).Mode() == 0);
}

}  // namespace
