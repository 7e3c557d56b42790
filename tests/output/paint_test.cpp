// Colours, colour paints, fill modes and raster operations: stored forms,
// content equality, owned colours (copies, replacement, a colour shared in
// a damaged graph), what a raster operation stands for, and damaged data.
#include "output/color/paint.h"
#include "config/keys/settings_keys.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "output/attributes/fill_mode.h"
#include "output/attributes/pen.h"
#include "output/attributes/raster_operation.h"
#include "output/core/state.h"
#include "tests/output/stored_forms.h"

namespace {

using model_testing::Medium;
using output_testing::ExpectDamageFailsCleanly;
using output_testing::ExpectStoredForm;
using output_testing::RestoreHex;
using testing_support::Hex;

// The stored colour (10, 20, 30, 255): class id 53 (35 00), the persistent
// base part (version 1, key 0, serial 0), the colour base's version 1, the
// class's version 1 and the four bytes.
const std::string kColor =
    "35 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 0A 14 1E FF";

// Golden bytes, from the stored forms: the file magic 0x8888 (u32) and the
// class id (u16); the persistent base part (version 1, key, serial 0); for
// the paint its version 1 and the colour as an object reference (the nil
// object is back reference 0: FF FF, then 0 as u32); for the attributes the
// attribute part (version 1, state 1) and the style attribute's version 1,
// then the class's version 1 and its fields (mode u32; code u16, kind u32).
TEST(Paint, StoredFormsMatchHandDerivedBytes) {
  GRGBColor color(10, 20, 30, 255);
  GColorPaint paint(new GRGBColor(GRGBTriple(10, 20, 30), 255), 3);
  GColorPaint no_color(nullptr, 3);
  GFillMode fill(1, 0);
  GRasterOperation rop(0xA0CC, 1, kRasterOperationKey);
  struct Case {
    const char* name;
    MPersistentObject* object;
    std::string golden;
  };
  const Case cases[] = {
      {"colour", &color, "88 88 00 00 " + kColor},
      {"paint", &paint,
       "88 88 00 00 98 00 01 00 00 00 03 00 00 00 00 00 00 00 01 00 00 00 " + kColor},
      {"paint without a colour", &no_color,
       "88 88 00 00 98 00 01 00 00 00 03 00 00 00 00 00 00 00 01 00 00 00 FF FF 00 00 00 00"},
      {"fill mode", &fill,
       "88 88 00 00 66 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 01 00 00 00"},
      {"raster operation", &rop,
       "88 88 00 00 91 01 01 00 00 00 B7 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 CC A0 01 00 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.object->ClearSerialNumbers();
    if (auto* p = dynamic_cast<GColorPaint*>(c.object); p && p->GetColor()) {
      p->GetColor()->SetSerialNumber(0);
    }
    ExpectStoredForm(*c.object, c.golden);
  }
}

TEST(Paint, ContentEquality) {
  auto paint = [](GRGBColor* color, std::uint32_t key) {
    return std::make_unique<GColorPaint>(color, key);
  };
  struct Case {
    const char* name;
    std::unique_ptr<MPersistentObject> left;
    std::unique_ptr<MPersistentObject> right;
    bool equal;
  };
  Case cases[] = {
      {"a colour and none, same key", paint(new GRGBColor(1, 2, 3, 4), 1), paint(nullptr, 1), true},
      {"same colour", paint(new GRGBColor(1, 2, 3, 4), 1), paint(new GRGBColor(1, 2, 3, 4), 1),
       true},
      {"colours differ", paint(new GRGBColor(1, 2, 3, 4), 1), paint(new GRGBColor(1, 2, 3, 5), 1),
       false},
      {"keys differ", paint(nullptr, 1), paint(nullptr, 2), false},
      {"fill modes, keys differ", std::make_unique<GFillMode>(0, 1),
       std::make_unique<GFillMode>(0, 2), true},
      {"fill modes differ", std::make_unique<GFillMode>(0, 1), std::make_unique<GFillMode>(1, 1),
       false},
      {"raster operations, keys differ", std::make_unique<GRasterOperation>(0xF0, 0, 1),
       std::make_unique<GRasterOperation>(0xF0, 0, 2), true},
      {"codes differ", std::make_unique<GRasterOperation>(0xF0, 0, 1),
       std::make_unique<GRasterOperation>(0xCC, 0, 1), false},
      {"kinds differ", std::make_unique<GRasterOperation>(0xF0, 0, 1),
       std::make_unique<GRasterOperation>(0xF0, 1, 1), false},
      {"a fill mode and a raster operation", std::make_unique<GFillMode>(),
       std::make_unique<GRasterOperation>(), false},
      {"colour keys differ", std::make_unique<GRGBColor>(), std::make_unique<GRGBColor>(), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.left->IsEqualContent(c.right.get()), c.equal);
    EXPECT_EQ(c.right->IsEqualContent(c.left.get()), c.equal);
  }
  EXPECT_TRUE(GColorPaint().IsKindOf(kGPaintId));
  EXPECT_FALSE(GColorPaint().IsKindOf(kGAttributeId));
  EXPECT_TRUE(GRGBColor().IsKindOf(kGColorId));
  EXPECT_TRUE(GFillMode().IsKindOf(kGStyleAttributeId));
}

TEST(Paint, ThePaintOwnsItsColour) {
  GColorPaint paint(new GRGBColor(1, 2, 3, 255));
  GColorPaint copy(paint);
  ASSERT_NE(copy.GetColor(), nullptr);
  EXPECT_NE(copy.GetColor(), paint.GetColor());
  EXPECT_TRUE(copy.GetColor()->IsEqual(paint.GetColor()));
  paint.SetColor(new GRGBColor(9, 9, 9, 9));  // the old colour goes
  EXPECT_EQ(copy.GetColor()->GetRed(), 1);
  copy = paint;
  EXPECT_EQ(copy.GetColor()->GetRed(), 9);
  EXPECT_NE(copy.GetColor(), paint.GetColor());
  paint.SetColor(nullptr);
  copy = paint;
  EXPECT_EQ(copy.GetColor(), nullptr);
  std::unique_ptr<MPersistentObject> made(static_cast<MPersistentObject*>(paint.CreateCopy()));
  EXPECT_TRUE(made->IsEqual(&paint));
  EXPECT_EQ(GRGBColor(GRGBTriple(4, 5, 6), 7).GetTriple(), GRGBTriple(4, 5, 6));
}

TEST(Paint, WhatARasterOperationStandsFor) {
  struct Case {
    std::uint16_t code;
    std::uint32_t kind;
    bool in_effect;
    std::uint16_t operation;
    bool transparent;
  };
  const Case cases[] = {
      {0xA0CC, 1, true, 0xCC, true},  {0xA0CC, 0, true, 0xA0CC, false},
      {0x00CC, 1, true, 0xCC, false}, {0xB0CC, 1, true, 0xCC, false},
      {0xF0, 2, false, 0xF0, false},  {0xA0CC, 7, false, 0xA0CC, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    SCOPED_TRACE(c.kind);
    GRasterOperation rop(c.code, c.kind, 0);
    EXPECT_EQ(rop.IsInEffect(), c.in_effect);
    EXPECT_EQ(rop.GetOperation(), c.operation);
    EXPECT_EQ(rop.IsTransparent(), c.transparent);
    EXPECT_EQ(rop.GetRop(), c.code);
    EXPECT_EQ(rop.GetValue(), c.kind);
  }
  EXPECT_FALSE(GRasterOperation().IsInEffect());
  EXPECT_EQ(GFillMode().GetMode(), kFillUnchanged);
}

// Where the colour belongs, only a colour (or none) is taken: anything else
// fails the restore and leaves the paint without one.
TEST(Paint, OnlyAColourIsTakenAsTheColour) {
  const std::string kHead = "88 88 00 00 98 00 01 00 00 00 03 00 00 00 00 00 00 00 01 00 00 00 ";
  struct Case {
    const char* name;
    std::string tail;
  };
  const Case cases[] = {
      {"a fill mode",
       "66 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00"},
      {"the paint itself", "FF FF 01 00 00 00"},
      {"a collection", "07 80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    model_testing::Restored back = RestoreHex(kHead + c.tail);
    EXPECT_FALSE(back.ok);
    auto* paint = dynamic_cast<GColorPaint*>(back.object);
    ASSERT_NE(paint, nullptr);
    EXPECT_EQ(paint->GetColor(), nullptr);
    FreeRestored(back.object);
  }
}

// A damaged graph in which two paints name one colour restores with the
// colour shared, and freeing the graph frees it once.
TEST(Paint, AColourNamedTwiceIsFreedOnce) {
  GState bundle(244);
  bundle.AddChild(new GPen(1, new GColorPaint(new GRGBColor(10, 20, 30, 255)), 160));
  bundle.AddChild(new GPen(2, new GColorPaint(new GRGBColor(10, 20, 30, 255)), 161));
  bundle.ClearSerialNumbers();
  for (std::uint32_t key : {160u, 161u}) {
    auto* pen = static_cast<GPen*>(bundle.FindByKey(key));
    pen->GetPaint()->SetSerialNumber(0);
    static_cast<GColorPaint*>(pen->GetPaint())->GetColor()->SetSerialNumber(0);
  }
  std::string hex = Hex(model_testing::Save(&bundle, Medium::kFile));
  std::size_t second = hex.rfind(kColor);
  ASSERT_NE(second, std::string::npos);
  ASSERT_NE(hex.find(kColor), second);
  // Objects are numbered as they appear: the set 1, pen 2, paint 3, colour 4.
  hex.replace(second, kColor.size(), "FF FF 04 00 00 00");
  model_testing::Restored back = RestoreHex(hex);
  ASSERT_NE(back.object, nullptr);
  EXPECT_TRUE(back.ok);
  auto* first = static_cast<GPen*>(back.object->FindByKey(160));
  auto* other = static_cast<GPen*>(back.object->FindByKey(161));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(static_cast<GColorPaint*>(first->GetPaint())->GetColor(),
            static_cast<GColorPaint*>(other->GetPaint())->GetColor());
  delete back.object;
}

// The colour base's version word is read past whatever it says; the
// colour's own part follows it.
TEST(Paint, TheColourBaseReadsAnyVersion) {
  model_testing::Restored back = RestoreHex(
      "88 88 00 00 35 00 01 00 00 00 00 00 00 00 00 00 00 00 09 00 00 00 01 00 00 00 0A 14 1E FF");
  auto* color = dynamic_cast<GRGBColor*>(back.object);
  ASSERT_NE(color, nullptr);
  EXPECT_TRUE(back.ok);
  EXPECT_EQ(color->GetTriple(), GRGBTriple(10, 20, 30));
  EXPECT_EQ(color->GetFourth(), 255);
  delete color;
}

TEST(Paint, DamagedDataFailsCleanly) {
  ExpectDamageFailsCleanly(GColorPaint(new GRGBColor(1, 2, 3, 4), 5), 20261221);
  ExpectDamageFailsCleanly(GFillMode(1, 3), 20261222, 40);
  ExpectDamageFailsCleanly(GRasterOperation(0xA0CC, 1, 183), 20261223, 40);
}

}  // namespace
