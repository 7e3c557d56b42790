// A graphic's state: brushes, the no-pen and no-brush kinds, the clip to
// the page, transforms and their composition, and the graphic bundle that
// holds them by key: stored forms, equality, and damaged stored data.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "config/attributes/value_attribute.h"
#include "output/attributes/brush.h"
#include "output/attributes/clip.h"
#include "output/attributes/fill_mode.h"
#include "output/attributes/pen.h"
#include "output/attributes/transform.h"
#include "output/commands/null_command.h"
#include "output/graphics/graphic_bundle.h"
#include "tests/output/stored_forms.h"

namespace {

using output_testing::ExpectDamageFailsCleanly;
using output_testing::ExpectStoredForm;

// Golden bytes, from the stored forms: the file magic 0x8888 (u32) and the
// class id (u16); the persistent base part (version 1, key, serial 0); the
// attribute part (version 1, state 1); the style attribute's version 1.
// Then:
//   brush (251 = FB 00), key 154: version 1 and the paint as an object
//     reference: a colour paint (152 = 98 00) with its base part, version
//     1 and its colour (53 = 35 00: base part, colour base version 1, own
//     version 1, bytes 1, 2, 3, 255);
//   no brush (252 = FC 00): the brush part with the nil object (FF FF, 0
//     as u32) for its paint, then version 1;
//   no pen (202 = CA 00), key 160: the pen part (version 1, width 0, nil
//     paint), then version 1;
//   clip to the page (503 = F7 01), key 177: the clip part (version 1,
//     values 2 and 2), then version 1;
//   transform (103 = 67 00), key 0: version 1, rotation 90 (i16), offset
//     -3 and 300 (i16), scale 0.5 and -1.5 (IEEE single, 0x3F000000 and
//     0xBFC00000);
//   bundle (101 = 65 00), key 244: the attribute composite's part (version
//     1, count 1, the no pen above), then version 1.
TEST(GraphicState, StoredFormsMatchHandDerivedBytes) {
  const std::string kHead = "88 88 00 00 ";
  const std::string kStyle = "01 00 00 00 01 00 00 00 01 00 00 00 ";
  const std::string kNoPen = "CA 00 01 00 00 00 A0 00 00 00 00 00 00 00 " + kStyle +
                             "01 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00";
  GBrush brush(new GColorPaint(new GRGBColor(1, 2, 3, 255)), kBrushKey);
  brush.GetPaint()->SetSerialNumber(0);
  static_cast<GColorPaint*>(brush.GetPaint())->GetColor()->SetSerialNumber(0);
  GNoBrush no_brush(kBrushKey);
  GNoPen no_pen(kPenKey);
  GClipToPage clip(kClipKey);
  GTransformAttribute transform(90, GShortPoint{-3, 300}, GScalePair{0.5f, -1.5f});
  GGraphicBundle bundle;
  bundle.SetPen(new GNoPen);
  bundle.FindPen()->SetSerialNumber(0);
  struct Case {
    const char* name;
    MPersistentObject* object;
    std::string golden;
  };
  const Case cases[] = {
      {"brush", &brush,
       kHead + "FB 00 01 00 00 00 9A 00 00 00 00 00 00 00 " + kStyle + "01 00 00 00 " +
           "98 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 "
           "35 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 02 03 FF"},
      {"no brush", &no_brush,
       kHead + "FC 00 01 00 00 00 9A 00 00 00 00 00 00 00 " + kStyle +
           "01 00 00 00 FF FF 00 00 00 00 01 00 00 00"},
      {"no pen", &no_pen, kHead + kNoPen},
      {"clip to the page", &clip,
       kHead + "F7 01 01 00 00 00 B1 00 00 00 00 00 00 00 " + kStyle +
           "01 00 00 00 02 00 00 00 02 00 00 00 01 00 00 00"},
      {"transform", &transform,
       kHead + "67 00 01 00 00 00 00 00 00 00 00 00 00 00 " + kStyle +
           "01 00 00 00 5A 00 FD FF 2C 01 00 00 00 3F 00 00 C0 BF"},
      {"bundle", &bundle,
       kHead + "65 00 01 00 00 00 F4 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 " +
           "01 00 00 00 01 00 00 00 " + kNoPen + " 01 00 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.object->SetSerialNumber(0);
    ExpectStoredForm(*c.object, c.golden);
  }
}

TEST(GraphicState, DamageFailsCleanly) {
  GGraphicBundle bundle;
  bundle.SetBrush(new GBrush(new GColorPaint(new GRGBColor(9, 8, 7, 255)), 0));
  bundle.SetPen(new GNoPen);
  bundle.SetClip(new GClipToPage);
  bundle.AddChild(new GTransformAttribute(180, GShortPoint{1, 2}, GScalePair{0.25f, 4.0f}));
  ExpectDamageFailsCleanly(bundle, 101);
}

TEST(GraphicState, ComposeTransforms) {
  constexpr float kHuge = 1e30f;
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    const char* name;
    GTransformAttribute outer, inner;
    std::int16_t rotation;
    GShortPoint offset;
    GScalePair scale;
  };
  const GTransformAttribute identity;
  const Case cases[] = {
      {"identity outside", identity, {10, {3, -7}, {1.5f, 4.0f}}, 10, {3, -7}, {1.5f, 4.0f}},
      {"identity inside", {10, {3, -7}, {1.5f, 4.0f}}, identity, 10, {3, -7}, {1.5f, 4.0f}},
      // 3 x 2 = 6; -7 x 0.5 = -3.5, truncated toward zero to -3.
      {"placed",
       {90, {10, 20}, {2.0f, 0.5f}},
       {10, {3, -7}, {1.5f, 4.0f}},
       100,
       {16, 17},
       {3.0f, 2.0f}},
      // 5 x 0.3 = 1.5 and -5 x 0.3 = -1.5: 1 and -1.
      {"truncated toward zero",
       {0, {0, 0}, {0.3f, 0.3f}},
       {0, {5, -5}, {1.0f, 1.0f}},
       0,
       {1, -1},
       {0.3f, 0.3f}},
      {"sums wrap at 16 bits",
       {32767, {32767, -32768}, {1, 1}},
       {1, {1, -1}, {1, 1}},
       -32768,
       {-32768, 32767},
       {1, 1}},
      // 2 x 1e30 counts as 0x7FFFFFFF (low 16 bits: -1); -2 x 1e30 as
      // 0x80000000 (low 16 bits: 0).
      {"products beyond 32 bits",
       {0, {0, 0}, {kHuge, kHuge}},
       {0, {2, -2}, {1, 1}},
       0,
       {-1, 0},
       {kHuge, kHuge}},
      {"a NaN product counts as 0",
       {0, {4, 5}, {kNaN, 1}},
       {0, {7, 0}, {1, 1}},
       0,
       {4, 5},
       {kNaN, 1}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GTransformAttribute composed = ComposeTransforms(c.outer, c.inner);
    EXPECT_EQ(composed.GetRotation(), c.rotation);
    EXPECT_EQ(composed.GetOffset(), c.offset);
    if (std::isnan(c.scale.x)) {
      EXPECT_TRUE(std::isnan(composed.GetScale().x));
    } else {
      EXPECT_EQ(composed.GetScale().x, c.scale.x);
    }
    EXPECT_EQ(composed.GetScale().y, c.scale.y);
    EXPECT_EQ(composed.Key(), 0u);
  }
}

TEST(GraphicState, TransformEquality) {
  const float kNaN = std::numeric_limits<float>::quiet_NaN();
  const GTransformAttribute base(90, {1, 2}, {0.5f, 2.0f}, 7);
  struct Case {
    const char* name;
    GTransformAttribute left, right;
    bool equal;
  };
  const Case cases[] = {
      {"the same values", base, {90, {1, 2}, {0.5f, 2.0f}, 7}, true},
      {"zero and negative zero", {0, {0, 0}, {0.0f, 1}}, {0, {0, 0}, {-0.0f, 1}}, true},
      {"a NaN scale", {0, {0, 0}, {kNaN, 1}}, {0, {0, 0}, {kNaN, 1}}, false},
      {"another key", base, {90, {1, 2}, {0.5f, 2.0f}, 8}, false},
      {"another rotation", base, {270, {1, 2}, {0.5f, 2.0f}, 7}, false},
      {"another offset", base, {90, {1, 3}, {0.5f, 2.0f}, 7}, false},
      {"another scale", base, {90, {1, 2}, {0.5f, 2.5f}, 7}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.left.IsEqualContent(&c.right), c.equal);
    EXPECT_EQ(c.left.IsDifferent(&c.right), !c.equal);
  }
  EXPECT_FALSE(base.IsEqualContent(&*std::make_unique<GFillMode>(2, 7)));
}

// Per key the bundle finds, takes out and sets; a set replaces whatever
// the key held, of any kind.
TEST(GraphicState, TheBundleHoldsOneAttributePerKey) {
  GGraphicBundle bundle(12345);  // the argument is ignored
  EXPECT_EQ(bundle.Key(), kGraphicBundleKey);
  bundle.SetPen(new GPen(2, nullptr, 0));
  bundle.SetPen(new GNoPen);
  EXPECT_EQ(bundle.EntryCount(), 1u);
  ASSERT_NE(bundle.FindPen(), nullptr);
  EXPECT_EQ(bundle.FindPen()->ClassId(), kGNoPenId);
  EXPECT_EQ(bundle.FindPen()->Key(), kPenKey);

  // A typed find or take leaves an attribute of another kind in place.
  bundle.Set(kBrushKey, new GValueAttribute(1, 0));
  EXPECT_EQ(bundle.FindBrush(), nullptr);
  EXPECT_EQ(bundle.TakeBrush(), nullptr);
  EXPECT_NE(bundle.Find(kBrushKey), nullptr);
  bundle.SetBrush(new GNoBrush);
  EXPECT_EQ(bundle.EntryCount(), 2u);
  EXPECT_EQ(bundle.FindBrush()->ClassId(), kGNoBrushId);

  // Setting the key's own attribute again changes nothing.
  GPen* pen = bundle.FindPen();
  bundle.SetPen(pen);
  EXPECT_EQ(bundle.FindPen(), pen);

  // Taken out: the attribute itself when the bundle held it alone, a copy
  // while another holder keeps it.
  for (std::uint32_t key : {kBundleFirstKey, kBundleSecondKey, kBundleThirdKey}) {
    bundle.Set(key, new GValueAttribute(static_cast<std::uint16_t>(key), 0));
  }
  GAttribute* own = bundle.Find(kBundleSecondKey);
  std::unique_ptr<GAttribute> taken(bundle.Take(kBundleSecondKey));
  EXPECT_EQ(taken.get(), own);
  GCountedPtr kept(bundle.Find(kBundleThirdKey));
  std::unique_ptr<GAttribute> copy(bundle.Take(kBundleThirdKey));
  EXPECT_NE(copy.get(), kept.Get());
  EXPECT_TRUE(copy->IsEqualContent(kept.Get()));
  EXPECT_EQ(bundle.Find(kBundleThirdKey), nullptr);
  std::unique_ptr<GClip> none(bundle.TakeClip());
  EXPECT_FALSE(none);

  bundle.Set(kBundleFirstKey, nullptr);  // nothing: the key is emptied
  EXPECT_EQ(bundle.Find(kBundleFirstKey), nullptr);
  EXPECT_EQ(bundle.EntryCount(), 2u);

  // A bundle is an attribute set that a command takes.
  GNullCommand command;
  auto* given = new GGraphicBundle;
  command.SetAttributes(given);
  EXPECT_EQ(command.GetAttributes(), given);
  EXPECT_EQ(given->Key(), kGraphicBundleKey);
}

}  // namespace
