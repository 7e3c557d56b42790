// The page-geometry filters: margin emulation, fit to size, symmetric
// duplex and page scaling; and the page-scale query over a chain.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "config/attributes/value_attribute.h"
#include "config/paper/media_pool.h"
#include "filters/geometry_filters.h"
#include "filters/nup_filter.h"
#include "foundation/rw/file.h"
#include "output/commands/job_commands.h"
#include "output/core/command_composite.h"
#include "output/core/peripheral_composite.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "tests/support/fake_driver_data.h"
#include "tests/support/filter_harness.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

using namespace testing_support;

struct PoolDriver : FakeDriverData {
  GMediaPool pool{189u};
  GMediaPool* GetMediaPool() override { return &pool; }
};

// A job whose media turn a quarter at a time, with a media pool and a
// duplex unit (204 = 1).
struct GeometryJob : GRenderDriverData {
  PoolDriver driver;
  GeometryJob() { driver.GetJobSettings()->AddChild(new GValueAttribute(1, kDuplexUnitKey)); }
  GFontDatabase* GetFontDatabase() override { return nullptr; }
  GDriverData* GetDriverData() override { return &driver; }
  void UpdateMediaSize(GMedia* m, std::uint32_t orientation) override {
    if (orientation % 180 == m->GetOrientation() % 180) return;
    auto turn = [](GSize16 s) { return GSize16(s.height, s.width); };
    *m = GMedia("", turn(m->GetPaperSize()), turn(m->GetPrintableSize()),
                turn(m->GetPrintableOrigin()), orientation, m->GetPaperSizeId(), 600, 600, m->Key(),
                0, "", m->GetMediaType().Data());
  }
};

GMedia* Medium(std::int16_t w, std::int16_t h, std::int16_t aw, std::int16_t ah, std::int16_t ox,
               std::int16_t oy, std::uint16_t code = 1, std::uint32_t key = kPageMediumKey) {
  return new GMedia("", GSize16(w, h), GSize16(aw, ah), GSize16(ox, oy), 0, code, 600, 600, key, 0,
                    "", "");
}

GCountedPtr With(GCountedPtr command, std::initializer_list<MPersistentObject*> attributes) {
  for (MPersistentObject* a : attributes)
    static_cast<GCommand*>(command.Get())->GetAttributes()->AddChild(a);
  return command;
}

std::string Text(const GTransformAttribute& t) {
  return std::to_string(t.GetRotation()) + " " + std::to_string(t.GetOffset().x) + "," +
         std::to_string(t.GetOffset().y) + " " + std::to_string(t.GetScale().x) + "," +
         std::to_string(t.GetScale().y);
}

// The last attribute of a command's set, as a transform (null otherwise).
GTransformAttribute* LastTransform(GCommand& command) {
  const GCountedPtrVector& all = command.GetAttributes()->Children();
  return dynamic_cast<GTransformAttribute*>(all[all.Count() - 1].Get());
}

// A graphic carrying a transform (offset 100, 200; scale 1) and a medium
// after it.
GCountedPtr Graphic() {
  auto* set = new GState(0u);
  set->AddChild(new GTransformAttribute(0, GShortPoint{100, 200}, GScalePair{1.0f, 1.0f}, 7u));
  set->AddChild(Medium(1, 1, 1, 1, 0, 0));
  return GCountedPtr(new GRectangleGraphic(GShortRect{0, 0, 9, 9}, set, 0u));
}

TEST(GeometryFilters, StoredTailsRoundTripAndRestoreResets) {
  // Hand-derived: the GPeripheral part, then the version word 1; fit to
  // size then the target medium as a new-object token of class 1002
  // (EA 03) after the file's magic 88 88 (the medium is the first object
  // of its own graph).
  TempPath path("geometry");
  auto save = [&](const RWCollectable& object) {
    object.SaveToFile(*std::make_unique<RWFile>(path.c_str(), "wb"));
    return ReadAll(path.str());
  };
  GPeripheral base(0u);
  const std::string head = save(base);
  GScalePageFilter scale;
  GSymetricalDuplexFilter duplex;
  GEmulateMarginsFilter emulate;
  GFitToSizeFilter fit;
  for (GPeripheral* filter : std::initializer_list<GPeripheral*>{&scale, &duplex, &emulate, &fit})
    filter->SetSerialNumber(base.SerialNumber());
  for (GPeripheral* filter : std::initializer_list<GPeripheral*>{&scale, &duplex, &emulate})
    EXPECT_EQ(save(*filter), head + Unhex("01 00 00 00"));
  GeometryJob job;
  GCountedPtr doc = With(Command(kGDocumentStartId, {{kFitToOtherSizeKey, 1}, {269, 50}}, &job),
                         {Medium(6000, 8000, 5800, 7800, 100, 100, 2, kTargetMediumKey)});
  fit.Transform(doc);
  scale.Transform(doc);
  EXPECT_EQ(Hex(save(fit).substr(head.size(), 10)), "01 00 00 00 88 88 00 00 EA 03");
  EXPECT_EQ(save(fit).size(), fit.StoredSize());
  const std::string bytes = SaveToFileBytes(&fit);
  bool ok = false;
  std::unique_ptr<RWCollectable> again(RestoreFromFileBytes(bytes, &ok));
  auto* back = dynamic_cast<GFitToSizeFilter*>(again.get());
  ASSERT_TRUE(ok && back);
  EXPECT_TRUE(back->TargetMedium().IsEqualContent(&fit.TargetMedium()));
  EXPECT_EQ(back->TargetMedium().GetPaperSize(), GSize16(6000, 8000));
  for (Encoding e : kAllEncodings) {
    for (GPeripheral* filter : std::initializer_list<GPeripheral*>{&fit, &scale, &duplex}) {
      const std::string text = SaveToStreamBytes(filter, e);
      std::unique_ptr<RWCollectable> copy(RestoreFromStreamBytes(text, e));
      EXPECT_TRUE(copy && SaveToStreamBytes(copy.get(), e) == text) << EncodingName(e);
    }
  }
  // A restore puts the factor back to 1.0.
  ASSERT_EQ(scale.Factor(), 0.5f);
  std::unique_ptr<RWCollectable> restored(RestoreFromFileBytes(SaveToFileBytes(&scale)));
  EXPECT_EQ(static_cast<GScalePageFilter*>(restored.get())->Factor(), 1.0f);
  // Every cut of the stored fit-to-size filter fails the read; flips never
  // crash.
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    DeleteGraph(RestoreFromFileBytes(bytes.substr(0, cut), &ok));
    EXPECT_FALSE(ok) << cut;
  }
  std::mt19937 random(54);
  for (int i = 0; i < 300; ++i) {
    std::string flipped = bytes;
    flipped[random() % flipped.size()] ^= static_cast<char>(1 + random() % 255);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(flipped.data()), flipped.size());
  }
  EXPECT_GT(ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 0);
}

TEST(GeometryFilters, ScalePageFilterScalesPagesAndGraphics) {
  GeometryJob job;
  GScalePageFilter filter;
  filter.Transform(Command(kGDocumentStartId, {{kScalePercentKey, 100}}));
  EXPECT_TRUE(!filter.IsEnabled() && filter.GetFlags() == 0u);
  std::uint32_t status = 0;
  GCountedPtr doc = Command(kGDocumentStartId, {{kScalePercentKey, 50}});
  EXPECT_EQ(filter.GetPageScale(nullptr, nullptr, 0, status).x, 1.0f);
  filter.Transform(doc);
  auto* doc_set = static_cast<GCommand*>(doc.Get())->GetAttributes();
  EXPECT_TRUE(filter.IsEnabled() && filter.GetFlags() == kScalingFlags);
  GCountedPtr page = Command(kGPageStartId);
  GCountedPtr out = filter.Transform(page);
  auto* composite = dynamic_cast<GCommandComposite*>(out.Get());
  ASSERT_TRUE(composite && composite->Children().Count() == 2);
  EXPECT_EQ(composite->Children()[0].Get(), page.Get());
  EXPECT_EQ(Text(*LastTransform(static_cast<GCommand&>(*page.Get()))), "0 0,0 0.500000,0.500000");
  auto& null_command = static_cast<GCommand&>(*composite->Children()[1].Get());
  EXPECT_EQ(null_command.ClassId(), 712u);
  EXPECT_EQ(Text(*LastTransform(null_command)), "0 0,0 0.500000,0.500000");
  // A graphic's own transform is composed and moves to the end of its set.
  GCountedPtr graphic = filter.Transform(Graphic());
  EXPECT_EQ(Text(*LastTransform(static_cast<GCommand&>(*graphic.Get()))),
            "0 50,100 0.500000,0.500000");
  EXPECT_EQ(LastTransform(static_cast<GCommand&>(*graphic.Get()))->Key(), 7u);
  // The query answers the setting, enabled or not; status 3 gives (0, 0).
  filter.Disable();
  EXPECT_EQ(filter.GetPageScale(doc_set, nullptr, 0, status).x, 0.5f);
  status = 3;
  EXPECT_EQ(filter.GetPageScale(doc_set, nullptr, 0, status).y, 0.0f);
}

TEST(GeometryFilters, SymmetricDuplexScalesTwoSidedPages) {
  // 5100 wide, printable 4800 at 100: dx = 100, s = 1 - 100/4800 in float
  // = 0.979166687, x = t((5100 - 4800 s) 0.5) - t(100 s) = 200 - 97 = 103;
  // y = t((6600 - 6600 s) 0.5) = t(68.75) = 68.
  const struct {
    GMedia* medium;
    const char* transform;
  } media[] = {
      {Medium(5100, 6600, 4800, 6600, 100, 0), "0 103,68 0.979167,0.979167"},
      {Medium(5100, 6600, 4900, 6400, 100, 100), "0 0,0 1.000000,1.000000"},
      {Medium(5100, 6600, 0, 6400, 100, 100), "0 0,0 1.000000,1.000000"},
  };
  EXPECT_EQ(GSymetricalDuplexFilter::ComputeTransform(*media[0].medium).GetScale().x, 0.979166687f);
  for (const auto& m : media) {
    GCountedPtr hold(m.medium);
    EXPECT_EQ(Text(GSymetricalDuplexFilter::ComputeTransform(*m.medium)), m.transform);
  }
  GeometryJob job;
  GSymetricalDuplexFilter filter;
  filter.Transform(
      Command(kGDocumentStartId, {{kPageDuplexKey, 2}, {kAutoDuplexScalingKey, 0}}, &job));
  ASSERT_TRUE(filter.IsEnabled() && filter.GetFlags() == kScalingFlags);
  // 253 per page: 2 -> 1 on a back side waits for the next front side;
  // -> 0 acts at once (the page passes unchanged).
  const struct {
    int duplex;
    std::uint16_t adopted;
    bool back, wrapped;
  } pages[] = {{2, 2, true, true}, {1, 2, false, true}, {1, 1, true, true}, {0, 0, false, false}};
  for (const auto& p : pages) {
    GCountedPtr page = With(Command(kGPageStartId, {{kPageDuplexKey, p.duplex}}),
                            {Medium(5100, 6600, 4800, 6600, 100, 0)});
    GCountedPtr out = filter.Transform(page);
    EXPECT_TRUE(filter.DuplexValue() == p.adopted && filter.IsBackSide() == p.back &&
                (out.Get() != page.Get()) == p.wrapped)
        << p.duplex;
  }
  // A new document starts on a front side.
  filter.Transform(With(Command(kGPageStartId, {{kPageDuplexKey, 2}}), {}));
  ASSERT_TRUE(filter.IsBackSide());
  filter.Transform(
      Command(kGDocumentStartId, {{kPageDuplexKey, 2}, {kAutoDuplexScalingKey, 1}}, &job));
  EXPECT_TRUE(!filter.IsBackSide() && filter.GetFlags() == 0u);
  // 983 = 1 ("FALSE"): wrapped all the same, with the identity.
  GCountedPtr out = filter.Transform(With(Command(kGPageStartId, {{kPageDuplexKey, 2}}),
                                          {Medium(5100, 6600, 4800, 6600, 100, 0)}));
  auto* composite = dynamic_cast<GCommandComposite*>(out.Get());
  ASSERT_TRUE(composite);
  EXPECT_EQ(Text(*LastTransform(static_cast<GCommand&>(*composite->Children()[1].Get()))),
            "0 0,0 1.000000,1.000000");
  // No duplex unit: off.
  job.driver.GetJobSettings()->RemoveAll();
  filter.Transform(
      Command(kGDocumentStartId, {{kPageDuplexKey, 2}, {kAutoDuplexScalingKey, 0}}, &job));
  EXPECT_FALSE(filter.IsEnabled());
}

TEST(GeometryFilters, MarginEmulationMapsIntoThePrintersArea) {
  GeometryJob job;
  // The printer's Letter (code 1): margins left 100, right 140, top and
  // bottom 120; its custom reference 17384: 8000 x 12000, printable 7800 x
  // 11700 at (100, 150).
  job.driver.pool.AddChild(Medium(5100, 6600, 4860, 6360, 100, 120, 1, 190));
  job.driver.pool.AddChild(Medium(8000, 12000, 7800, 11700, 100, 150, kCustomReferenceId, 190));
  GEmulateMarginsFilter filter;
  // Both switches: emulation wins, margins symmetric.
  filter.Transform(
      Command(kGDocumentStartId, {{kEmulateMarginsKey, 1}, {kSymmetricalMarginsKey, 1}}, &job));
  ASSERT_TRUE(filter.IsEnabled() && filter.Mode() == 0 && filter.IsSymmetric());
  EXPECT_EQ(filter.GetFlags(), kEmulationFlags);
  // Page 5100 x 6600, printable 5000 x 6500 at (50, 50): L = R = 140, T =
  // B = 120, BW = 4820, BH = 6360; 4820 x 6500 < 6360 x 5000, so s = 4820 /
  // 5000 = 0.964f; x = 140 - t(48.2) = 92; y = min((6600 - 6362) >> 1,
  // 6360 - t(6266.0)) - 48 + 120 = min(119, 94) + 72 = 166.
  GCountedPtr page = With(Command(kGPageStartId), {Medium(5100, 6600, 5000, 6500, 50, 50)});
  filter.Transform(page);
  EXPECT_EQ(Text(filter.FilterTransform()), "0 92,166 0.964000,0.964000");
  // Appended: the filter's transform composed after one at the page's
  // printable origin (50, 50): 92 + t(48.2), 166 + 48.
  EXPECT_EQ(Text(*LastTransform(static_cast<GCommand&>(*page.Get()))),
            "0 140,214 0.964000,0.964000");
  auto* medium =
      dynamic_cast<GMedia*>(static_cast<GCommand&>(*page.Get()).GetAttributes()->FindByKey(259));
  ASSERT_TRUE(medium);
  EXPECT_EQ(medium->GetPrintableSize(), GSize16(4860, 6360));
  // A graphic's transform composed and moved to the end.
  GCountedPtr graphic = filter.Transform(Graphic());
  EXPECT_EQ(Text(*LastTransform(static_cast<GCommand&>(*graphic.Get()))),
            "0 188,358 0.964000,0.964000");
  // The query leaves the filter's state alone; status 3 answers (0, 0).
  GCountedPtr custom(Medium(4000, 5000, 3900, 4900, 50, 50, 16385));
  GState doc_set(0u), page_set(0u);
  doc_set.AddChild(new GValueAttribute(1, kEmulateMarginsKey));
  page_set.AddChild(custom.Get());
  std::uint32_t status = 0;
  EXPECT_NE(filter.GetPageScale(&doc_set, &page_set, 0, status).x, 1.0f);
  EXPECT_EQ(filter.EmulatedMedium().GetPaperSizeId(), 1u);
  status = 3;
  EXPECT_EQ(filter.GetPageScale(&doc_set, &page_set, 0, status).x, 0.0f);
  // A custom size takes the reference's origin and its paper-minus-
  // printable difference: 4000 - 200, 5000 - 300.
  filter.UpdateEmulation(static_cast<GMedia&>(*custom.Get()));
  EXPECT_TRUE(filter.EmulatedMedium().GetPrintableSize() == GSize16(3800, 4700) &&
              filter.EmulatedMedium().GetPrintableOrigin() == GSize16(100, 150) &&
              filter.EmulatedMedium().GetPaperSize() == GSize16(4000, 5000));
  filter.Transform(Command(kGDocumentEndId));
  EXPECT_EQ(filter.GetFlags(), kEmulationIdleFlags);
  filter.Transform(Command(kGDocumentStartId, {}, &job));
  EXPECT_TRUE(!filter.IsEnabled() && filter.GetFlags() == 0u);
}

TEST(GeometryFilters, FitToSizeCentresOrScales) {
  // Target 6000 x 8000 printable 5800 x 7800 at (100, 100); source 5100 x
  // 6600 printable 5000 x 6500 at (50, 50). Actual size: x = 900 / 2 - 100
  // + 50 = 400, y = 1400 / 2 - 50 = 650. To fit: 5800 x 6500 < 7800 x 5000,
  // s = 1.16f, x = 100 - t(58) = 42, y = min((8000 - 7656) >> 1, 7800 -
  // 7540) - 58 + 100 = 214.
  const struct {
    int choice;
    const char* transform;
    std::uint32_t flags;
  } cases[] = {{0, "0 400,650 1.000000,1.000000", 0},
               {1, "0 42,214 1.160000,1.160000", kScalingFlags}};
  for (const auto& c : cases) {
    GeometryJob job;
    GFitToSizeFilter filter;
    GCountedPtr doc = With(
        Command(kGDocumentStartId, {{kFitToOtherSizeKey, 1}, {kScaleChoiceKey, c.choice}}, &job),
        {Medium(6000, 8000, 5800, 7800, 100, 100, 2, kTargetMediumKey)});
    filter.Transform(doc);
    ASSERT_TRUE(filter.IsEnabled());
    EXPECT_EQ(filter.GetFlags(), c.flags);
    GCountedPtr page = With(Command(kGPageStartId, {{kPageOrientationKey, 0}}),
                            {Medium(5100, 6600, 5000, 6500, 50, 50)});
    auto* set = static_cast<GCommand&>(*page.Get()).GetAttributes();
    std::uint32_t status = 0;
    EXPECT_EQ(
        filter.GetPageScale(static_cast<GCommand&>(*doc.Get()).GetAttributes(), set, 0, status).x,
        c.choice ? 1.16f : 1.0f);
    filter.Transform(page);
    EXPECT_EQ(Text(filter.FilterTransform()), c.transform);
    EXPECT_EQ(static_cast<GMedia*>(set->FindByKey(259))->GetPaperSize(), GSize16(6000, 8000));
    // A page already on the target is placed as it is.
    GCountedPtr same = With(Command(kGPageStartId), {new GMedia(filter.TargetMedium())});
    filter.Transform(same);
    EXPECT_EQ(Text(filter.FilterTransform()), "0 0,0 1.000000,1.000000");
  }
  GFitToSizeFilter off;
  off.Transform(Command(kGDocumentStartId, {{kFitToOtherSizeKey, 1}}));
  EXPECT_FALSE(off.IsEnabled());
}

// Sets status 3 and answers 0.25, as an imposing filter ahead does.
struct ImposingDevice : GPeripheral {
  GScalePair GetPageScale(GAttributeComposite*, GAttributeComposite*, std::uint32_t,
                          std::uint32_t& status) override {
    status = 3;
    return GScalePair{0.25f, 0.25f};
  }
};

TEST(GeometryFilters, ChainPageScaleKeepsTheImposingAnswer) {
  GState doc_set(0u), page_set(0u);
  doc_set.AddChild(new GValueAttribute(50, kScalePercentKey));
  auto* nup_settings = new GAttributeComposite(kNupSettingsKey);
  for (auto [key, value] :
       {std::pair{kPagesPerSheetKey, 2}, {kPlacementOrderKey, 0}, {kBordersKey, 0}})
    nup_settings->AddChild(new GValueAttribute(value, key));
  doc_set.AddChild(nup_settings);
  doc_set.AddChild(new GValueAttribute(0, kSetOrientationKey));
  doc_set.AddChild(Medium(5100, 6600, 4860, 6360, 120, 120));
  GCountedPtr doc(new GDocumentStart(static_cast<GAttributeComposite*>(doc_set.DeepCopy()), u"",
                                     u"", nullptr, 0u));
  // Under status 3 the scale filter's (0, 0) is skipped; N-up sets no
  // status, so the two multiply. Flags: 42 | 10.
  GPeripheralComposite imposed, nup_chain;
  imposed.AddChild(new ImposingDevice);
  imposed.AddChild(new GScalePageFilter);
  auto* nup = new GNupFilter;
  auto* scale = new GScalePageFilter;
  nup_chain.AddChild(nup);
  nup_chain.AddChild(scale);
  nup->Transform(doc);
  scale->Transform(doc);
  std::uint32_t status = 0;
  EXPECT_EQ(imposed.GetPageScale(&doc_set, &page_set, 0, status).x, 0.25f);
  status = 0;
  EXPECT_EQ(nup_chain.GetPageScale(&doc_set, &page_set, 0, status).x, nup->LayoutScale() * 0.5f);
  EXPECT_GT(nup->LayoutScale(), 0.0f);
  EXPECT_EQ(nup_chain.GetFlags(), 42u);  // 42 | 10
}

}  // namespace
