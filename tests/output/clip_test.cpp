// The clipping attributes: stored forms, the rectangle list and its bounds,
// copies and assignment, one clip per key in an attribute set, content
// equality, and damaged stored data.
#include "output/attributes/clip.h"
#include "config/keys/settings_keys.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "output/core/state.h"
#include "tests/output/stored_forms.h"

namespace {

using model_testing::Medium;
using output_testing::ExpectDamageFailsCleanly;
using output_testing::ExpectStoredForm;

GShortRectList ListOf(std::initializer_list<GShortRect> rectangles) {
  GShortRectList list;
  for (const GShortRect& r : rectangles)
    list.Append(r);
  return list;
}

// Golden bytes, from the stored forms: the file magic 0x8888 (u32), the
// class id (u16); the persistent base part (version 1, key, serial 0); the
// attribute part (version 1, state 1); the style attribute's version 1; the
// clip part (version 1, first value, second value); then the class's own
// version 1 and, for the list, the count and each rectangle as left, top,
// right, bottom 16-bit values.
TEST(Clip, StoredFormsMatchHandDerivedBytes) {
  GClipToSingleRectangle single(GShortRect{-1, 2, 300, 4}, 0, 1, kClipKey);
  GClipToRectangle list(ListOf({{10, 20, 30, 40}, {0, 25, 15, 50}}), 2, 0, 0);
  GClipToRectangle empty;
  struct Case {
    const char* name;
    GClip* clip;
    std::string golden;
  };
  const Case cases[] = {
      {"single rectangle", &single,
       "88 88 00 00 F8 01 01 00 00 00 B1 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 "
       "01 00 00 00 FF FF 02 00 2C 01 04 00"},
      {"rectangle list", &list,
       "88 88 00 00 F5 01 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 02 00 00 00 00 00 00 00 "
       "01 00 00 00 02 00 00 00 0A 00 14 00 1E 00 28 00 00 00 19 00 0F 00 32 00"},
      {"empty list", &empty,
       "88 88 00 00 F5 01 01 00 00 00 00 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 02 00 00 00 02 00 00 00 "
       "01 00 00 00 00 00 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.clip->SetSerialNumber(0);
    ExpectStoredForm(*c.clip, c.golden);
    EXPECT_EQ(c.clip->TypeId(), kGClipId);
  }
}

TEST(Clip, RectanglesAndBounds) {
  struct Case {
    const char* name;
    GShortRectList rectangles;
    GShortRect bounds;
    std::uint32_t answer;
  };
  const Case cases[] = {
      {"two", ListOf({{10, 20, 30, 40}, {0, 25, 15, 50}}), {0, 20, 30, 50}, 1},
      {"one", ListOf({{-5, -6, 7, 8}}), {-5, -6, 7, 8}, 1},
      {"negative extremes",
       ListOf({{-32768, 0, 0, 0}, {0, -32768, 32767, 32767}}),
       {-32768, -32768, 32767, 32767},
       1},
      {"none", ListOf({}), {}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GClipToRectangle clip(c.rectangles, 0, 1, kClipKey);
    GShortRect bounds{1, 1, 1, 1};
    EXPECT_EQ(clip.GetBounds(bounds), c.answer);
    EXPECT_EQ(bounds, c.bounds);
    EXPECT_EQ(clip.GetCount(), c.rectangles.Count());
    GShortRect past{1, 1, 1, 1};
    clip.GetRectangle(past, clip.GetCount());
    EXPECT_EQ(past, GShortRect{});
    for (std::uint32_t i = 0; i < clip.GetCount(); ++i) {
      GShortRect at;
      clip.GetRectangle(at, i);
      EXPECT_EQ(at, c.rectangles[i]);
    }
  }
  GClipToRectangle one(GShortRect{1, 2, 3, 4}, 0, 0, 0);
  EXPECT_EQ(one.GetCount(), 1u);
  GClipToSingleRectangle single(GShortRect{1, 2, 3, 4}, 0, 0, 0);
  GShortRect bounds;
  EXPECT_EQ(single.GetBounds(bounds), 1u);
  EXPECT_EQ(bounds, (GShortRect{1, 2, 3, 4}));
  single.SetRectangle({5, 6, 7, 8});
  EXPECT_EQ(single.GetRectangle(), (GShortRect{5, 6, 7, 8}));
  EXPECT_EQ(GClipToRectangle().GetRectangles().Capacity(), 1u);
}

// A copy is the whole clip, its values and key included: it stays equal to
// its source and is still found under the clip key. Assignment takes only
// the rectangles.
TEST(Clip, CopiesKeepTheClipPartAssignmentTakesTheRectangles) {
  GClipToRectangle list(ListOf({{0, 0, 5, 5}, {6, 6, 9, 9}}), 0, 1, kClipKey);
  GClipToSingleRectangle single(GShortRect{1, 2, 3, 4}, 0, 1, kClipKey);
  for (GClip* clip : {static_cast<GClip*>(&list), static_cast<GClip*>(&single)}) {
    std::unique_ptr<MPersistentObject> copy(static_cast<MPersistentObject*>(clip->CreateCopy()));
    std::unique_ptr<MPersistentObject> deep(clip->DeepCopy());
    for (MPersistentObject* made : {copy.get(), deep.get()}) {
      auto* as_clip = dynamic_cast<GClip*>(made);
      ASSERT_NE(as_clip, nullptr);
      EXPECT_EQ(as_clip->GetFirstValue(), 0u);
      EXPECT_EQ(as_clip->GetSecondValue(), 1u);
      EXPECT_EQ(as_clip->Key(), kClipKey);
      EXPECT_TRUE(as_clip->IsEqual(clip));
    }
  }
  GClipToRectangle target(GShortRect{}, 7, 8, 9);
  target = list;
  EXPECT_EQ(target.GetCount(), 2u);
  EXPECT_EQ(target.GetFirstValue(), 7u);
  EXPECT_EQ(target.Key(), 9u);
  GClipToSingleRectangle one(GShortRect{}, 7, 8, 9);
  one = single;
  EXPECT_EQ(one.GetRectangle(), (GShortRect{1, 2, 3, 4}));
  EXPECT_EQ(one.GetSecondValue(), 8u);
}

// Every clip answers TypeId 756, so an attribute set keeps one clip per key.
TEST(Clip, AnAttributeSetHoldsOneClipPerKey) {
  GState bundle(244);
  bundle.AddChild(new GClipToSingleRectangle(GShortRect{0, 0, 1, 1}, 0, 1, kClipKey));
  auto* list = new GClipToRectangle(GShortRect{2, 2, 3, 3}, 0, 1, kClipKey);
  bundle.AddChild(list);
  bundle.AddChild(new GClipToSingleRectangle(GShortRect{0, 0, 1, 1}, 0, 1, 178));
  EXPECT_EQ(bundle.EntryCount(), 2u);
  EXPECT_EQ(bundle.FindByKey(kClipKey), list);
}

TEST(Clip, ContentEquality) {
  auto single = [](GShortRect r, std::uint32_t v1, std::uint32_t v2, std::uint32_t key) {
    return std::make_unique<GClipToSingleRectangle>(r, v1, v2, key);
  };
  auto list = [](GShortRectList rectangles, std::uint32_t key) {
    return std::make_unique<GClipToRectangle>(rectangles, 0, 1, key);
  };
  struct Case {
    const char* name;
    std::unique_ptr<GClip> left;
    std::unique_ptr<GClip> right;
    bool equal;
  };
  Case cases[] = {
      {"same", single({1, 2, 3, 4}, 0, 1, 5), single({1, 2, 3, 4}, 0, 1, 5), true},
      {"keys differ", single({1, 2, 3, 4}, 0, 1, 5), single({1, 2, 3, 4}, 0, 1, 6), false},
      {"first values differ", single({1, 2, 3, 4}, 0, 1, 5), single({1, 2, 3, 4}, 2, 1, 5), false},
      {"second values differ", single({1, 2, 3, 4}, 0, 1, 5), single({1, 2, 3, 4}, 0, 0, 5), false},
      {"rectangles differ", single({1, 2, 3, 4}, 0, 1, 5), single({1, 2, 3, 5}, 0, 1, 5), false},
      {"another order", list(ListOf({{1, 1, 2, 2}, {3, 3, 4, 4}}), 5),
       list(ListOf({{3, 3, 4, 4}, {1, 1, 2, 2}}), 5), false},
      {"another count", list(ListOf({{1, 1, 2, 2}}), 5),
       list(ListOf({{1, 1, 2, 2}, {1, 1, 2, 2}}), 5), false},
      {"both empty", list(ListOf({}), 5), list(ListOf({}), 5), true},
      {"list and single", list(ListOf({{1, 2, 3, 4}}), 5), single({1, 2, 3, 4}, 0, 1, 5), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.left->IsEqualContent(c.right.get()), c.equal);
    EXPECT_EQ(c.right->IsEqualContent(c.left.get()), c.equal);
  }
  for (RWClassID id :
       {kGClipToRectangleId, kGClipId, kGStyleAttributeId, kGAttributeId, kMPersistentObjectId}) {
    EXPECT_TRUE(GClipToRectangle().IsKindOf(id)) << id;
  }
  EXPECT_FALSE(GClipToRectangle().IsKindOf(kGClipToSingleRectangleId));
}

TEST(Clip, ManyRectanglesComeBackInOrder) {
  GShortRectList rectangles;
  for (std::int16_t i = 0; i < 65; ++i)
    rectangles.Append({i, static_cast<std::int16_t>(-i), static_cast<std::int16_t>(i * 3),
                       static_cast<std::int16_t>(1000 - i)});
  GClipToRectangle clip(rectangles, 0, 1, kClipKey);
  for (Medium medium : model_testing::kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    model_testing::Restored back =
        model_testing::Restore(model_testing::Save(&clip, medium), medium);
    auto* restored = dynamic_cast<GClipToRectangle*>(back.object);
    ASSERT_NE(restored, nullptr);
    EXPECT_TRUE(back.ok);
    ASSERT_EQ(restored->GetCount(), 65u);
    EXPECT_TRUE(restored->IsEqual(&clip));
    delete restored;
  }
}

TEST(Clip, DamagedDataFailsCleanly) {
  ExpectDamageFailsCleanly(GClipToRectangle(ListOf({{1, 2, 3, 4}, {5, 6, 7, 8}}), 0, 1, 177),
                           20261211);
  ExpectDamageFailsCleanly(GClipToSingleRectangle(GShortRect{1, 2, 3, 4}, 0, 1, 177), 20261212, 60);
}

// A rectangle count that the bytes after it cannot hold fails the restore
// and leaves the list empty, without allocating the stored count.
TEST(Clip, ImpossibleRectangleCountsFail) {
  GClipToRectangle clip(ListOf({{1, 2, 3, 4}}), 0, 1, 177);
  for (Medium medium : {Medium::kFile, Medium::kBinary, Medium::kHeadered}) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    std::string bytes = model_testing::Save(&clip, medium);
    std::size_t at = bytes.size() - (medium == Medium::kFile ? 0 : 1) - 8 - 4;
    ASSERT_EQ(bytes.substr(at, 4), std::string("\x01\x00\x00\x00", 4));
    for (std::uint32_t count : {2u, 0x01000000u, 0xFFFFFFFFu}) {
      SCOPED_TRACE(count);
      std::string damaged = bytes;
      for (int i = 0; i < 4; ++i)
        damaged[at + i] = static_cast<char>(count >> (8 * i));
      model_testing::Restored back = model_testing::Restore(damaged, medium);
      EXPECT_FALSE(back.ok);
      auto* restored = dynamic_cast<GClipToRectangle*>(back.object);
      ASSERT_NE(restored, nullptr);
      EXPECT_EQ(restored->GetCount(), 0u);
      delete restored;
    }
  }
}

// A clip part of another version reads nothing of it, and what follows is
// read as the next level's: here version 2 of the single rectangle's own
// part, which reads nothing either.
TEST(Clip, UnknownVersionsReadNothingFurther) {
  model_testing::Restored back = output_testing::RestoreHex(
      "88 88 00 00 F8 01 01 00 00 00 B1 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 "
      "01 00 00 00 07 00 00 00 02 00 00 00");
  auto* clip = dynamic_cast<GClipToSingleRectangle*>(back.object);
  ASSERT_NE(clip, nullptr);
  EXPECT_TRUE(back.ok);
  EXPECT_EQ(clip->Key(), kClipKey);
  EXPECT_EQ(clip->GetFirstValue(), 2u);
  EXPECT_EQ(clip->GetRectangle(), GShortRect{});
  delete clip;
}

}  // namespace
