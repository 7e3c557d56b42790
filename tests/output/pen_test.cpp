// Pens and dashed pens: stored forms, the pattern the pen owns, content
// equality, and damaged stored data; the stored forms of the caps and
// joints that go with them.
#include "config/keys/settings_keys.h"
#include "output/attributes/cap_joint.h"
#include "output/attributes/dashed_pen.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/output/stored_forms.h"

namespace {

using model_testing::Medium;
using output_testing::ExpectDamageFailsCleanly;
using output_testing::ExpectStoredForm;
using output_testing::RestoreHex;

std::unique_ptr<std::uint16_t[]> Pattern(std::vector<std::uint16_t> entries) {
  auto pattern = std::make_unique<std::uint16_t[]>(entries.size());
  std::copy(entries.begin(), entries.end(), pattern.get());
  return pattern;
}

std::vector<std::uint16_t> EntriesOf(const GDashedPen& pen) {
  return {pen.GetPattern(), pen.GetPattern() + pen.GetPatternLength()};
}

GDashedPen Dashed(std::vector<std::uint16_t> entries, std::uint16_t phase, std::uint32_t key = 160,
                  std::uint32_t width = 1, GPaint* paint = nullptr) {
  auto length = static_cast<std::uint32_t>(entries.size());
  return GDashedPen(Pattern(std::move(entries)), length, width, paint, phase, key);
}

// Golden bytes, from the stored forms: the file magic 0x8888 (u32) and the
// class id (u16); the persistent base part (version 1, key 160 = A0,
// serial 0); the attribute part (version 1, state 1); the style attribute's
// version 1; the pen part (version 1, width, the paint as an object
// reference: a new colour paint 152 = 98 00 with its base part, version 1
// and its colour 53 = 35 00 with base part, colour base version 1, own
// version 1 and the bytes 0, 0, 0, 255; or the nil object, back reference 0
// = FF FF then 0 as u32); for the dashed pen its version 1, phase (16-bit),
// length (32-bit) and the entries (16-bit each).
TEST(Pen, StoredFormsMatchHandDerivedBytes) {
  GPen pen(2, new GColorPaint(new GRGBColor(0, 0, 0, 255)), kPenKey);
  pen.SetSerialNumber(0);
  pen.GetPaint()->SetSerialNumber(0);
  static_cast<GColorPaint*>(pen.GetPaint())->GetColor()->SetSerialNumber(0);
  GDashedPen dashed = Dashed({3, 1, 500}, 2);
  GDashedPen plain;
  const std::string kHead =
      "01 00 00 00 A0 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 ";
  struct Case {
    const char* name;
    GPen* pen;
    std::string golden;
  };
  const Case cases[] = {
      {"pen", &pen,
       "88 88 00 00 C9 00 " + kHead +
           "01 00 00 00 02 00 00 00 "
           "98 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 "
           "35 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 00 00 00 FF"},
      {"dashed pen", &dashed,
       "88 88 00 00 CB 00 " + kHead +
           "01 00 00 00 01 00 00 00 FF FF 00 00 00 00 "
           "01 00 00 00 02 00 03 00 00 00 03 00 01 00 F4 01"},
      {"default dashed pen", &plain,
       "88 88 00 00 CB 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 00 00 00 00 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.pen->SetSerialNumber(0);
    ExpectStoredForm(*c.pen, c.golden);
  }
}

TEST(Pen, ThePenOwnsItsPattern) {
  // No pattern makes the length 0 whatever was passed.
  GDashedPen none(nullptr, 5, 1, nullptr, 0, 0);
  EXPECT_EQ(none.GetPatternLength(), 0u);
  EXPECT_EQ(none.GetPattern(), nullptr);
  EXPECT_EQ(none.StoredSize(), GDashedPen().StoredSize());

  auto original = std::make_unique<GDashedPen>(
      Dashed({4, 2, 4}, 1, 160, 3, new GColorPaint(new GRGBColor(1, 2, 3, 255))));
  GDashedPen copy(*original);
  EXPECT_NE(copy.GetPattern(), original->GetPattern());
  EXPECT_NE(copy.GetPaint(), original->GetPaint());
  EXPECT_TRUE(copy.IsEqualContent(original.get()));
  original.reset();
  EXPECT_EQ(EntriesOf(copy), (std::vector<std::uint16_t>{4, 2, 4}));
  EXPECT_EQ(copy.GetWidth(), 3u);
  EXPECT_EQ(static_cast<GColorPaint*>(copy.GetPaint())->GetColor()->GetBlue(), 3);

  GDashedPen assigned = Dashed({9}, 9, 1);
  assigned = copy;
  EXPECT_EQ(EntriesOf(assigned), (std::vector<std::uint16_t>{4, 2, 4}));
  EXPECT_EQ(assigned.GetPhase(), 1);
  EXPECT_EQ(assigned.Key(), 160u);
  GDashedPen& same = assigned;
  assigned = same;
  EXPECT_EQ(EntriesOf(assigned), (std::vector<std::uint16_t>{4, 2, 4}));
  assigned = GDashedPen();
  EXPECT_EQ(assigned.GetPattern(), nullptr);
}

TEST(Pen, ContentEquality) {
  auto paint = [](std::uint8_t red) { return new GColorPaint(new GRGBColor(red, 0, 0, 255)); };
  struct Case {
    const char* name;
    std::unique_ptr<GPen> left;
    std::unique_ptr<GPen> right;
    bool equal;
  };
  Case cases[] = {
      {"same", std::make_unique<GDashedPen>(Dashed({1, 2}, 0)),
       std::make_unique<GDashedPen>(Dashed({1, 2}, 0)), true},
      {"phases differ", std::make_unique<GDashedPen>(Dashed({1, 2}, 0)),
       std::make_unique<GDashedPen>(Dashed({1, 2}, 1)), false},
      {"an entry differs", std::make_unique<GDashedPen>(Dashed({1, 2}, 0)),
       std::make_unique<GDashedPen>(Dashed({1, 3}, 0)), false},
      {"lengths differ", std::make_unique<GDashedPen>(Dashed({1, 2}, 0)),
       std::make_unique<GDashedPen>(Dashed({1, 2, 1}, 0)), false},
      {"widths differ", std::make_unique<GDashedPen>(Dashed({1}, 0, 160, 1)),
       std::make_unique<GDashedPen>(Dashed({1}, 0, 160, 2)), false},
      {"keys differ", std::make_unique<GDashedPen>(Dashed({1}, 0, 160)),
       std::make_unique<GDashedPen>(Dashed({1}, 0, 161)), false},
      {"paints differ", std::make_unique<GPen>(1, paint(1), 160),
       std::make_unique<GPen>(1, paint(2), 160), false},
      {"a paint and none", std::make_unique<GPen>(1, paint(1), 160),
       std::make_unique<GPen>(1, nullptr, 160), false},
      {"same paint", std::make_unique<GPen>(1, paint(1), 160),
       std::make_unique<GPen>(1, paint(1), 160), true},
      {"a pen and a dashed pen", std::make_unique<GPen>(), std::make_unique<GDashedPen>(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.left->IsEqualContent(c.right.get()), c.equal);
    EXPECT_EQ(c.right->IsEqualContent(c.left.get()), c.equal);
  }
  for (RWClassID id :
       {kGDashedPenId, kGPenId, kGStyleAttributeId, kGAttributeId, kMPersistentObjectId}) {
    EXPECT_TRUE(GDashedPen().IsKindOf(id)) << id;
  }
  EXPECT_FALSE(GPen().IsKindOf(kGDashedPenId));
}

TEST(Pen, ManyEntriesComeBack) {
  std::vector<std::uint16_t> entries;
  for (std::uint16_t i = 0; i < 300; ++i)
    entries.push_back(static_cast<std::uint16_t>(i * 211));
  GDashedPen pen = Dashed(entries, 7);
  for (Medium medium : model_testing::kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    model_testing::Restored back =
        model_testing::Restore(model_testing::Save(&pen, medium), medium);
    auto* restored = dynamic_cast<GDashedPen*>(back.object);
    ASSERT_NE(restored, nullptr);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(EntriesOf(*restored), entries);
    EXPECT_EQ(restored->GetPhase(), 7);
    delete restored;
  }
}

// Where the paint belongs, only a paint (or none) is taken.
TEST(Pen, OnlyAPaintIsTakenAsThePaint) {
  model_testing::Restored back = RestoreHex(
      "88 88 00 00 C9 00 01 00 00 00 A0 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
      "01 00 00 00 01 00 00 00 02 00 00 00 "
      "35 00 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 00 00 00 FF");
  EXPECT_FALSE(back.ok);
  auto* pen = dynamic_cast<GPen*>(back.object);
  ASSERT_NE(pen, nullptr);
  EXPECT_EQ(pen->GetPaint(), nullptr);
  FreeRestored(back.object);
}

TEST(Pen, DamagedDataFailsCleanly) {
  ExpectDamageFailsCleanly(Dashed({5, 5, 1}, 3, 160, 2, new GColorPaint(new GRGBColor(1, 2, 3, 4))),
                           20261231);
}

// A pattern length that the bytes after it cannot hold fails the restore and
// leaves the pen without a pattern, never allocating the stored length.
TEST(Pen, ImpossiblePatternLengthsFail) {
  GDashedPen pen = Dashed({1, 2}, 0);
  for (Medium medium : {Medium::kFile, Medium::kBinary, Medium::kHeadered}) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    std::string bytes = model_testing::Save(&pen, medium);
    std::size_t at = bytes.size() - (medium == Medium::kFile ? 0 : 1) - 4 - 4;
    ASSERT_EQ(bytes.substr(at, 4), std::string("\x02\x00\x00\x00", 4));
    for (std::uint32_t length : {3u, 0x00800000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
      SCOPED_TRACE(length);
      std::string damaged = bytes;
      for (int i = 0; i < 4; ++i)
        damaged[at + i] = static_cast<char>(length >> (8 * i));
      model_testing::Restored back = model_testing::Restore(damaged, medium);
      EXPECT_FALSE(back.ok);
      auto* restored = dynamic_cast<GDashedPen*>(back.object);
      ASSERT_NE(restored, nullptr);
      EXPECT_EQ(restored->GetPattern(), nullptr);
      EXPECT_EQ(restored->GetPatternLength(), 0u);
      delete restored;
    }
  }
}

}  // namespace

namespace {

// Golden bytes as the pens' above, up to the style attribute's version 1;
// then the cap's or joint's version 1 and style (u32); for the miter
// joint, its version 1 and the limit 4.0 as an IEEE single (0x40800000).
// Class ids: 301 = 2D 01, 351 = 5F 01, 352 = 60 01; key 7.
TEST(Pen, CapsAndJointsMatchHandDerivedBytes) {
  const std::string kHead =
      " 01 00 00 00 07 00 00 00 00 00 00 00 "
      "01 00 00 00 01 00 00 00 01 00 00 00 ";
  GCap cap(3, 7);
  GJoint joint(2, 7);
  GMiterJoint miter(2, 4.0f, 7);
  const std::pair<GAttribute*, std::string> cases[] = {
      {&cap, "88 88 00 00 2D 01" + kHead + "01 00 00 00 03 00 00 00"},
      {&joint, "88 88 00 00 5F 01" + kHead + "01 00 00 00 02 00 00 00"},
      {&miter, "88 88 00 00 60 01" + kHead + "01 00 00 00 02 00 00 00 01 00 00 00 00 00 80 40"},
  };
  for (const auto& [attribute, golden] : cases) {
    SCOPED_TRACE(attribute->ClassId());
    attribute->SetSerialNumber(0);
    ExpectStoredForm(*attribute, golden);
  }
  // A miter joint is a joint, but never equal to a plain one.
  EXPECT_TRUE(miter.IsKindOf(kGJointId) && !cap.IsKindOf(kGJointId));
  EXPECT_FALSE(joint.IsEqualContent(&miter) || miter.IsEqualContent(&joint));
  GMiterJoint same(2, 4.0f, 7), wider(2, 5.0f, 7);
  EXPECT_TRUE(miter.IsEqualContent(&same) && !miter.IsEqualContent(&wider));
}

}  // namespace
