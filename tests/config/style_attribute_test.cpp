// The colour-rendering choice attributes: the golden stored form, each
// class's defaults and kind, equality without keys, the shared id 790, and
// versions the reader does not know.
#include "config/attributes/style_attribute.h"

#include <gtest/gtest.h>

#include <memory>

#include "foundation/rw/factory.h"
#include "tests/persist/media.h"
#include "tests/support/test_support.h"

namespace {

using model_testing::kAllMedia;
using model_testing::Medium;
using model_testing::Restore;
using model_testing::Restored;
using model_testing::Save;
using testing_support::Hex;
using testing_support::Unhex;

// GHalftone(40, key 0), serial 0, on a file, derived by hand: the magic
// 0x8888 (u32), class id 790 (u16 16 03), the base part (version 1, key 0,
// serial 0), the attribute part (version 1, state 1), the style part's
// version 1, the class's version 1 and the value 40 as an i32 (28 00 00
// 00): 4 + 2 + 12 + 8 + 4 + 8 = 38 bytes.
TEST(StyleChoice, GoldenBytesAndRoundTrips) {
  GHalftone halftone(40, 0);
  halftone.SetSerialNumber(0);
  std::string file = Save(&halftone, Medium::kFile);
  EXPECT_EQ(Hex(file),
            "88 88 00 00 16 03 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
            "01 00 00 00 01 00 00 00 28 00 00 00");
  EXPECT_EQ(halftone.GraphStoreSize(), file.size());

  // Every class round-trips a value beyond 16 bits and a cleared state; a
  // saved GHalftone comes back as the class that won id 790.
  GColorMap color_map(0x12345, 7);
  GHalftone saved_halftone(41, 8);
  GHalftoneEnhanced enhanced(42, 9);
  GNeutralGrays grays(80, 10);
  GEdgeControl edge(-5, 11);
  GSRGBColor srgb(99, 12);
  GSRGBExtension extension(101, 13);
  GStyleChoiceAttribute* all[] = {&color_map, &saved_halftone, &enhanced, &grays,
                                  &edge,      &srgb,           &extension};
  for (GStyleChoiceAttribute* original : all) {
    original->SetState(0);
    for (Medium medium : kAllMedia) {
      SCOPED_TRACE(model_testing::MediumName(medium));
      Restored back = Restore(Save(original, medium), medium);
      auto* choice = dynamic_cast<GStyleChoiceAttribute*>(back.object);
      ASSERT_NE(choice, nullptr);
      EXPECT_TRUE(back.ok);
      EXPECT_TRUE(choice->IsEqual(original));
      EXPECT_EQ(choice->Key(), original->Key());
      EXPECT_EQ(choice->State(), 0);
      if (original == &saved_halftone) {
        EXPECT_NE(dynamic_cast<GHalftoneEnhanced*>(choice), nullptr);
      }
      delete choice;
    }
  }
}

TEST(StyleChoice, DefaultsKindsAndRegistration) {
  struct Case {
    std::unique_ptr<GStyleChoiceAttribute> made;
    RWClassID id;
    std::uint16_t value;
    const char* name;
  };
  Case cases[] = {
      {std::make_unique<GColorMap>(), kGColorMapId, 15, "GColorMap"},
      {std::make_unique<GHalftone>(), kGHalftoneId, 40, "GHalftone"},
      {std::make_unique<GHalftoneEnhanced>(), kGHalftoneEnhancedId, 40, "GHalftoneEnhanced"},
      {std::make_unique<GNeutralGrays>(), kGNeutralGraysId, 70, "GNeutralGrays"},
      {std::make_unique<GEdgeControl>(), kGEdgeControlId, 93, "GEdgeControl"},
      {std::make_unique<GSRGBColor>(), kGSRGBColorId, 98, "GSRGBColor"},
      {std::make_unique<GSRGBExtension>(), kGSRGBExtensionId, 100, "GSRGBExtension"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.made->GetValue(), c.value);
    EXPECT_EQ(c.made->Key(), 0u);
    EXPECT_EQ(c.made->ClassId(), c.id);
    EXPECT_EQ(c.made->TypeId(), c.id);
    for (RWClassID kind : {c.id, kGStyleAttributeId, kGAttributeId, kMPersistentObjectId})
      EXPECT_TRUE(c.made->IsKindOf(kind)) << kind;
    EXPECT_FALSE(c.made->IsKindOf(c.id == kGColorMapId ? kGHalftoneId : kGColorMapId));
    // By name each class makes itself; by id 790 the enhanced halftone.
    std::unique_ptr<RWCollectable> by_name(CreateByStringId(RWStringID(c.name)));
    ASSERT_NE(by_name, nullptr);
    EXPECT_EQ(typeid(*by_name), typeid(*c.made));
    std::unique_ptr<RWCollectable> by_id(CreateByClassId(c.id));
    EXPECT_EQ(typeid(*by_id), c.id == kGHalftoneId ? typeid(GHalftoneEnhanced) : typeid(*c.made));
  }
  EXPECT_EQ(ClassIdToStringId(790), RWStringID("GHalftoneEnhanced"));
}

TEST(StyleChoice, EqualityIgnoresKeys) {
  struct Case {
    const char* name;
    const GStyleChoiceAttribute& a;
    const GStyleChoiceAttribute& b;
    bool equal;
  };
  const GHalftone h40(40, 1), h40_other_key(40, 2), h41(41, 1);
  const GHalftoneEnhanced e40(40, 3);
  const GSRGBColor srgb100(100, 1);
  const GSRGBExtension ext100(100, 1);
  const GColorMap wide(0x10000 + 15, 0), narrow(15, 0);
  const Case cases[] = {
      {"other key", h40, h40_other_key, true},
      {"other value", h40, h41, false},
      {"halftone and enhanced halftone share 790", h40, e40, true},
      {"other class, same value", srgb100, ext100, false},
      {"the whole 32 bits compare", wide, narrow, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.a.IsEqualContent(&c.b), c.equal);
    EXPECT_EQ(c.b.IsEqualContent(&c.a), c.equal);
  }
  EXPECT_EQ(wide.GetValue(), 15);  // read back modulo 65536
  GColorMap assigned;
  assigned = GColorMap(21, 5);
  EXPECT_EQ(assigned.GetValue(), 21);
  EXPECT_EQ(assigned.Key(), 5u);
}

// The style part reads its version word and nothing more; the class's own
// version other than 1 keeps the default value.
TEST(StyleChoice, UnknownVersionKeepsTheDefault) {
  const std::string kParts =
      "88 88 00 00 1E 03 01 00 00 00 04 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 ";
  struct Case {
    const char* name;
    const char* rest;
    std::int32_t value;
  };
  const Case cases[] = {
      {"style version 2 is read past", "02 00 00 00 01 00 00 00 50 00 00 00", 80},
      {"own version 2", "01 00 00 00 02 00 00 00", 70},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Restored back = Restore(Unhex(kParts + c.rest), Medium::kFile);
    auto* grays = dynamic_cast<GNeutralGrays*>(back.object);
    ASSERT_NE(grays, nullptr);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(grays->Key(), 4u);
    EXPECT_EQ(grays->GetValue(), c.value);
    delete grays;
  }
}

}  // namespace
