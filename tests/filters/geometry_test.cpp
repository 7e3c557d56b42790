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
#include "output/core/command_composite.h"
#include "output/core/peripheral_composite.h"
#include "output/core/state.h"
#include "output/graphics/primitive_graphic.h"
#include "support/fake_driver_data.h"
#include "tests/support/filter_harness.h"
#include "tests/support/graph.h"
#include "tests/support/test_support.h"

namespace {

using namespace testing_support;

// A job with a media pool and a duplex unit (204 = 1).
struct GeometryJob : GRenderDriverData, FakeDriverData {
  GMediaPool pool{189u};
  GeometryJob() { GetJobSettings()->AddChild(new GValueAttribute(1, kDuplexUnitReportedKey)); }
  GMediaPool* GetMediaPool() override { return &pool; }
  GFontDatabase* GetFontDatabase() override { return nullptr; }
  GDriverData* GetDriverData() override { return this; }
};

GMedia* Medium(std::int16_t w, std::int16_t h, std::int16_t aw, std::int16_t ah, std::int16_t ox,
               std::int16_t oy, std::uint16_t code = 1, std::uint32_t key = kMediumKey) {
  return new GMedia("", GSize16(w, h), GSize16(aw, ah), GSize16(ox, oy), 0, code, 600, 600, key, 0,
                    "", "");
}

GCountedPtr With(GCountedPtr command, std::initializer_list<MPersistentObject*> attributes) {
  for (MPersistentObject* a : attributes)
    static_cast<GCommand*>(command.Get())->GetAttributes()->AddChild(a);
  return command;
}

std::string Text(const GTransformAttribute& t) {
  char text[80];
  std::snprintf(text, sizeof text, "%d %d,%d %.9g,%.9g", t.GetRotation(), t.GetOffset().x,
                t.GetOffset().y, t.GetScale().x, t.GetScale().y);
  return text;
}

GCommand& Cmd(const GCountedPtr& command) {
  return static_cast<GCommand&>(*command.Get());
}
// The last attribute of a command's set, as a transform's text.
std::string Last(const GCountedPtr& command) {
  const GCountedPtrVector& all = Cmd(command).GetAttributes()->Children();
  auto* transform = dynamic_cast<GTransformAttribute*>(all[all.Count() - 1].Get());
  return transform ? Text(*transform) : "none";
}
GCountedPtr Child(const GCountedPtr& composite, RWSize i) {
  return static_cast<GCommandComposite&>(*composite.Get()).Children()[i];
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
  const std::string bytes = SaveToFileBytes(&fit);
  bool ok = false;
  std::unique_ptr<RWCollectable> again(RestoreFromFileBytes(bytes, &ok));
  auto* back = dynamic_cast<GFitToSizeFilter*>(again.get());
  EXPECT_TRUE(ok && back && back->TargetMedium().IsEqualContent(&fit.TargetMedium()));
  // A restore puts the factor back to 1.0.
  std::unique_ptr<RWCollectable> restored(RestoreFromFileBytes(SaveToFileBytes(&scale)));
  EXPECT_TRUE(scale.Factor() == 0.5f && static_cast<GScalePageFilter&>(*restored).Factor() == 1.0f);
  // Every cut fails the read; flips end cleanly.
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    DeleteGraph(RestoreFromFileBytes(bytes.substr(0, cut), &ok));
    EXPECT_FALSE(ok) << cut;
  }
  std::mt19937 random(54);
  for (int i = 0; i < 300; ++i) {
    std::string flipped = bytes;
    flipped[random() % flipped.size()] ^= static_cast<char>(1 + random() % 255);
    DeleteGraph(RestoreFromFileBytes(flipped));
  }
}

TEST(GeometryFilters, ScalePageFilterScalesPagesAndGraphics) {
  GScalePageFilter filter;
  filter.Transform(Command(kGDocumentStartId, {{kScalePercentKey, 100}}));
  EXPECT_TRUE(!filter.IsEnabled() && filter.GetFlags() == 0u);
  std::uint32_t status = 0;
  GCountedPtr doc = Command(kGDocumentStartId, {{kScalePercentKey, 50}});
  filter.Transform(doc);
  auto* doc_set = Cmd(doc).GetAttributes();
  EXPECT_TRUE(filter.IsEnabled() && filter.GetFlags() == kScalingFlags);
  GCountedPtr page = Command(kGPageStartId);
  GCountedPtr out = filter.Transform(page);
  ASSERT_TRUE(out->ClassId() == 605 && Child(out, 0).Get() == page.Get());
  EXPECT_EQ(Last(page), "0 0,0 0.5,0.5");
  EXPECT_TRUE(Child(out, 1)->ClassId() == 712 && Last(Child(out, 1)) == Last(page));
  // A graphic's own transform is composed and moves to the end of its set.
  GCountedPtr graphic = filter.Transform(Graphic());
  EXPECT_EQ(Last(graphic), "0 50,100 0.5,0.5");
  EXPECT_EQ(Cmd(graphic).GetAttributes()->FindByClassId(103)->Key(), 7u);
  // The query answers the setting, enabled or not.
  filter.Disable();
  EXPECT_EQ(filter.GetPageScale(doc_set, nullptr, 0, status).x, 0.5f);
}

TEST(GeometryFilters, SymmetricDuplexScalesTwoSidedPages) {
  // 5100 wide, printable 4800 at 100: dx = 100, s = 1 - 100/4800 in float
  // = 0.979166687, x = t((5100 - 4800 s) 0.5) - t(100 s) = 200 - 97 = 103;
  // y = t((6600 - 6600 s) 0.5) = t(68.75) = 68.
  auto place = [](GMedia* medium) {
    GCountedPtr hold(medium);
    return Text(GSymetricalDuplexFilter::ComputeTransform(*medium));
  };
  EXPECT_EQ(place(Medium(5100, 6600, 4800, 6600, 100, 0)), "0 103,68 0.979166687,0.979166687");
  EXPECT_EQ(place(Medium(5100, 6600, 4900, 6400, 100, 100)), "0 0,0 1,1");  // symmetric
  EXPECT_EQ(place(Medium(5100, 6600, 0, 6400, 100, 100)), "0 0,0 1,1");     // no width
  GeometryJob job;
  GSymetricalDuplexFilter filter;
  filter.Transform(Command(kGDocumentStartId, {{kDuplexKey, 2}, {kAutoDuplexScalingKey, 0}}, &job));
  ASSERT_TRUE(filter.IsEnabled() && filter.GetFlags() == kScalingFlags);
  // 253 per page: 2 -> 1 on a back side waits for the next front side;
  // -> 0 acts at once (the page passes unchanged).
  const struct {
    int duplex;
    std::uint16_t adopted;
    bool back, wrapped;
  } pages[] = {{2, 2, true, true}, {1, 2, false, true}, {1, 1, true, true}, {0, 0, false, false}};
  for (const auto& p : pages) {
    GCountedPtr page = With(Command(kGPageStartId, {{kDuplexKey, p.duplex}}),
                            {Medium(5100, 6600, 4800, 6600, 100, 0)});
    GCountedPtr out = filter.Transform(page);
    EXPECT_TRUE(filter.DuplexValue() == p.adopted && filter.IsBackSide() == p.back &&
                (out.Get() != page.Get()) == p.wrapped)
        << p.duplex;
  }
  // A new document starts on a front side.
  filter.Transform(With(Command(kGPageStartId, {{kDuplexKey, 2}}), {}));
  ASSERT_TRUE(filter.IsBackSide());
  filter.Transform(Command(kGDocumentStartId, {{kDuplexKey, 2}, {kAutoDuplexScalingKey, 1}}, &job));
  EXPECT_TRUE(!filter.IsBackSide() && filter.GetFlags() == 0u);
  // 983 = 1 ("FALSE"): wrapped all the same, with the identity.
  GCountedPtr out = filter.Transform(
      With(Command(kGPageStartId, {{kDuplexKey, 2}}), {Medium(5100, 6600, 4800, 6600, 100, 0)}));
  ASSERT_EQ(out->ClassId(), 605u);
  EXPECT_EQ(Last(Child(out, 1)), "0 0,0 1,1");
}

TEST(GeometryFilters, MarginEmulationMapsIntoThePrintersArea) {
  GeometryJob job;
  // The printer's Letter (code 1): margins left 100, right 140, top and
  // bottom 120; its custom reference 17384: 8000 x 12000, printable 7800 x
  // 11700 at (100, 150).
  job.pool.AddChild(Medium(5100, 6600, 4860, 6360, 100, 120, 1, 190));
  job.pool.AddChild(Medium(8000, 12000, 7800, 11700, 100, 150, kCustomReferenceId, 190));
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
  EXPECT_EQ(Text(filter.FilterTransform()), "0 92,166 0.963999987,0.963999987");
  // Appended: the filter's transform composed after one at the page's
  // printable origin (50, 50): 92 + t(48.2), 166 + 48.
  EXPECT_EQ(Last(page), "0 140,214 0.963999987,0.963999987");
  auto* medium = dynamic_cast<GMedia*>(Cmd(page).GetAttributes()->FindByKey(259));
  EXPECT_TRUE(medium && medium->GetPrintableSize() == GSize16(4860, 6360));
  // A graphic's transform composed and moved to the end.
  GCountedPtr graphic = filter.Transform(Graphic());
  EXPECT_EQ(Last(graphic), "0 188,358 0.963999987,0.963999987");
  // The query leaves the filter's state alone; status 3 answers (0, 0).
  GCountedPtr custom(Medium(4000, 5000, 3900, 4900, 50, 50, 16385));
  GState doc_set(0u), page_set(0u);
  doc_set.AddChild(new GValueAttribute(1, kEmulateMarginsKey));
  page_set.AddChild(custom.Get());
  std::uint32_t status = 0;
  EXPECT_NE(filter.GetPageScale(&doc_set, &page_set, 0, status).x, 1.0f);
  EXPECT_EQ(filter.EmulatedMedium().GetPaperSizeId(), 1u);
  // A custom size takes the reference's origin and its paper-minus-
  // printable difference: 4000 - 200, 5000 - 300.
  filter.UpdateEmulation(static_cast<GMedia&>(*custom.Get()));
  EXPECT_TRUE(filter.EmulatedMedium().GetPrintableSize() == GSize16(3800, 4700) &&
              filter.EmulatedMedium().GetPrintableOrigin() == GSize16(100, 150) &&
              filter.EmulatedMedium().GetPaperSize() == GSize16(4000, 5000));
  filter.Transform(Command(kGDocumentEndId));
  EXPECT_EQ(filter.GetFlags(), kEmulationIdleFlags);
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
  } cases[] = {{0, "0 400,650 1,1", 0}, {1, "0 42,214 1.15999997,1.15999997", kScalingFlags}};
  for (const auto& c : cases) {
    GeometryJob job;
    GFitToSizeFilter filter;
    GCountedPtr doc =
        With(Command(kGDocumentStartId, {{kFitToOtherSizeKey, 1}, {kScalePageChoiceKey, c.choice}},
                     &job),
             {Medium(6000, 8000, 5800, 7800, 100, 100, 2, kTargetMediumKey)});
    filter.Transform(doc);
    ASSERT_TRUE(filter.IsEnabled());
    EXPECT_EQ(filter.GetFlags(), c.flags);
    GCountedPtr page = With(Command(kGPageStartId, {{kOrientationKey, 0}}),
                            {Medium(5100, 6600, 5000, 6500, 50, 50)});
    auto* set = Cmd(page).GetAttributes();
    std::uint32_t status = 0;
    EXPECT_EQ(filter.GetPageScale(Cmd(doc).GetAttributes(), set, 0, status).x,
              c.choice ? 1.16f : 1.0f);
    filter.Transform(page);
    EXPECT_EQ(Text(filter.FilterTransform()), c.transform);
    // A page already on the target is placed as it is.
    filter.Transform(With(Command(kGPageStartId), {new GMedia(filter.TargetMedium())}));
    EXPECT_EQ(Text(filter.FilterTransform()), "0 0,0 1,1");
  }
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
  auto* nup_settings = new GAttributeComposite(kNupSettingsKey);
  for (auto [key, value] :
       {std::pair{kPagesPerSheetKey, 2}, {kNupPageOrderKey, 0}, {kNupBordersKey, 0}})
    nup_settings->AddChild(new GValueAttribute(value, key));
  GCountedPtr doc = With(Command(kGDocumentStartId, {{kScalePercentKey, 50}, {kOrientationKey, 0}}),
                         {nup_settings, Medium(5100, 6600, 4860, 6360, 120, 120)});
  GAttributeComposite& doc_set = *Cmd(doc).GetAttributes();
  GState page_set(0u);
  // Under status 3 the scale filter's (0, 0) is skipped; N-up sets no
  // status, so the two multiply. Flags: 42 | 10.
  GPeripheralComposite imposed, nup_chain;
  imposed.AddChild(new ImposingDevice);
  imposed.AddChild(new GScalePageFilter);
  auto* nup = new GNupFilter;
  for (GPeripheral* filter :
       {static_cast<GPeripheral*>(nup), static_cast<GPeripheral*>(new GScalePageFilter)}) {
    nup_chain.AddChild(filter);
    filter->Transform(doc);
  }
  std::uint32_t status = 0;
  EXPECT_EQ(imposed.GetPageScale(&doc_set, &page_set, 0, status).x, 0.25f);
  GEmulateMarginsFilter emulate;
  GFitToSizeFilter fit;
  GSymetricalDuplexFilter duplex;
  for (GPeripheral* filter : std::initializer_list<GPeripheral*>{&emulate, &fit, &duplex})
    EXPECT_EQ(filter->GetPageScale(&doc_set, &page_set, 0, status).y, 0.0f);
  status = 0;
  EXPECT_TRUE(nup->LayoutScale() > 0 && nup_chain.GetPageScale(&doc_set, &page_set, 0, status).x ==
                                            nup->LayoutScale() * 0.5f);
  EXPECT_EQ(nup_chain.GetFlags(), 42u);  // 42 | 10
}

}  // namespace
