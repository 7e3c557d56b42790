// The primitive graphics and the null command: their stored forms, the
// constructors' fields, closing polygons, the Bezier start point, bounds,
// borrowed and owned points, content equality, and damaged stored data.
#include "output/graphics/primitive_graphic.h"
#include "config/keys/settings_keys.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "output/commands/null_command.h"
#include "output/core/state.h"
#include "tests/output/stored_forms.h"

namespace {

using model_testing::Medium;
using output_testing::ExpectDamageFailsCleanly;
using output_testing::ExpectStoredForm;

using Points = std::vector<GShortPoint>;

Points PointsOf(const GPrimitiveGraphic& graphic) {
  Points points;
  for (std::uint32_t i = 0; i < graphic.GetPointCount(); ++i)
    points.push_back(*graphic.GetPoint(i));
  return points;
}

GShortPointArray Borrow(const Points& points) {
  return GShortPointArray(points.data(), static_cast<std::uint32_t>(points.size()));
}

GShortPointArray Own(const Points& points) {
  GShortPointArray array;
  GShortPointArray::CopyOf(points.data(), static_cast<std::uint32_t>(points.size()), array);
  return array;
}

// A figure of the base's own constructors (the arc's kind word, a box with
// points), which no registered class exposes.
struct Figure : GPrimitiveGraphic {
  using GPrimitiveGraphic::GPrimitiveGraphic;
  RWCollectable* CreateDefault() const override { return nullptr; }
  RWCollectable* CreateCopy() const override { return nullptr; }
  RWClassID ClassId() const override { return 0x0FB9; }
  std::uint16_t Execute(GPeripheral&) override { return 0; }
};

// Golden bytes, from the stored forms: the file magic 0x8888 (u32), the
// class id (u16); the persistent base part (version 1, key, serial 0); the
// command part (the attribute set as an object reference - the nil object
// is back reference 0: FF FF, then 0 as u32 - and version 1); the graphic's
// version 1; the primitive part (version 1, kind word, count, the points as
// x, y pairs of 16-bit little-endian values, bounds valid, rectangle left,
// top, right, bottom, then A, B, C); last the concrete class's version 1.
TEST(PrimitiveGraphic, StoredFormsMatchHandDerivedBytes) {
  const Points open = {{10, 20}, {30, -1}, {0, 5}};
  auto* set = new GState(9);  // forced to the bundle key 244 (F4)
  GPolygonGraphic polygon(Borrow(open), set, 5);
  polygon.SetPointB({-2, 3});
  GRectangleGraphic rectangle(GShortRect{1, 2, 3, 4}, nullptr, 7);
  GNullCommand null_command;
  for (MPersistentObject* object :
       {static_cast<MPersistentObject*>(&polygon), static_cast<MPersistentObject*>(&rectangle),
        static_cast<MPersistentObject*>(&null_command)}) {
    object->ClearSerialNumbers();
  }
  set->ClearSerialNumbers();
  struct Case {
    const char* name;
    const MPersistentObject* object;
    std::string golden;
  };
  const Case cases[] = {
      {"rectangle", &rectangle,
       "88 88 00 00 93 02 01 00 00 00 07 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 "
       "01 00 00 00 "
       "01 00 00 00 02 00 00 00 00 00 00 00 01 00 00 00 01 00 02 00 03 00 04 00 "
       "00 00 00 00 00 00 00 00 00 00 00 00 "
       "01 00 00 00"},
      // The open figure is closed: four points starting at the last one.
      // The set: class 758 (F6 02), base part (version 1, key 244, serial
      // 0), attribute part (version 1, state 1), composite part (version 1,
      // count 0).
      {"polygon", &polygon,
       "88 88 00 00 91 02 01 00 00 00 05 00 00 00 00 00 00 00 "
       "F6 02 01 00 00 00 F4 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 00 00 00 00 "
       "01 00 00 00 01 00 00 00 "
       "01 00 00 00 02 00 00 00 04 00 00 00 00 00 05 00 0A 00 14 00 1E 00 FF FF 00 00 05 00 "
       "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 FE FF 03 00 00 00 00 00 "
       "01 00 00 00"},
      {"null command", &null_command,
       "88 88 00 00 C8 02 01 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 "
       "01 00 00 00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ExpectStoredForm(*c.object, c.golden);
  }
  EXPECT_EQ(set->Key(), kGraphicBundleKey);
}

TEST(PrimitiveGraphic, ConstructorsSetTheFields) {
  const Points three = {{1, 1}, {5, -3}, {2, 8}};
  const GShortRect box{-4, -5, 6, 7};
  struct Case {
    const char* name;
    std::unique_ptr<GPrimitiveGraphic> graphic;
    std::uint32_t kind_word;
    std::uint32_t count;
    bool owns;
    bool bounds_valid;
    GShortRect rectangle;
  };
  Case cases[] = {
      {"default", std::make_unique<GRectangleGraphic>(), 2, 0, true, false, {}},
      {"rectangle", std::make_unique<GRectangleGraphic>(box, nullptr, 0), 2, 0, true, true, box},
      {"rectangle and kind", std::make_unique<Figure>(box, 0u, nullptr, 0), 0, 0, true, true, box},
      {"borrowed points",
       std::make_unique<GPolygonGraphic>(Borrow(three), nullptr, 0),
       2,
       4,
       true,
       false,
       {}},
      {"no points",
       std::make_unique<GPolygonGraphic>(Borrow({}), nullptr, 0),
       2,
       0,
       false,
       false,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.graphic->GetKindWord(), c.kind_word);
    EXPECT_EQ(c.graphic->GetPointCount(), c.count);
    EXPECT_EQ(c.graphic->GetPointArray().Owns(), c.owns);
    EXPECT_EQ(c.graphic->IsBoundsValid(), c.bounds_valid);
    EXPECT_EQ(*c.graphic->GetPointA(), GShortPoint{});
    if (c.bounds_valid) {
      EXPECT_EQ(c.graphic->GetBounds(), c.rectangle);
    }
  }
  Figure arc(box, Borrow(three), 0, nullptr, 0);
  EXPECT_EQ(arc.GetKindWord(), 0u);
  EXPECT_EQ(arc.GetPointCount(), 3u);
  EXPECT_EQ(arc.GetBounds(), box);  // the given rectangle, not the points'
}

TEST(PrimitiveGraphic, PolygonsAreClosedFromTheirLastPoint) {
  struct Case {
    const char* name;
    Points given;
    Points expected;
  };
  const Case cases[] = {
      {"closed", {{0, 0}, {4, 0}, {4, 4}, {0, 0}}, {{0, 0}, {4, 0}, {4, 4}, {0, 0}}},
      {"open", {{1, 2}, {4, 0}, {4, 4}}, {{4, 4}, {1, 2}, {4, 0}, {4, 4}}},
      {"same x only", {{1, 2}, {1, 3}}, {{1, 3}, {1, 2}, {1, 3}}},
      {"one point", {{7, 7}}, {{7, 7}}},
      {"empty", {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool owned : {false, true}) {
      GPolygonGraphic polygon(owned ? Own(c.given) : Borrow(c.given), nullptr, 0);
      EXPECT_EQ(PointsOf(polygon), c.expected);
      // A list that had to grow is the polygon's own.
      if (!c.given.empty() && (c.expected.size() > c.given.size() || owned)) {
        EXPECT_TRUE(polygon.GetPointArray().Owns());
      }
    }
  }
}

TEST(PrimitiveGraphic, ABezierTakesItsStartPoint) {
  const Points seven = {{3, 3}, {-5, 1}, {2, 9}, {4, 4}, {6, -2}, {0, 1}, {8, 8}};
  for (bool owned : {false, true}) {
    SCOPED_TRACE(owned ? "owned" : "borrowed");
    GPolyBezierGraphic bezier(owned ? Own(seven) : Borrow(seven), nullptr, 0);
    EXPECT_EQ(*bezier.GetPointA(), (GShortPoint{3, 3}));
    EXPECT_EQ(PointsOf(bezier), Points(seven.begin() + 1, seven.end()));
    EXPECT_EQ(bezier.GetSegmentCount(), 2u);
    EXPECT_EQ(bezier.GetPointArray().First(), bezier.GetPointArray().Storage() + 1);
    EXPECT_EQ(bezier.GetBounds(), (GShortRect{-5, -2, 8, 9}));
    EXPECT_EQ(bezier.GetFigureValue(), 0u);
  }
  GPolyBezierGraphic empty(Borrow({}), nullptr, 0);
  EXPECT_EQ(empty.GetPointCount(), 0u);
  EXPECT_EQ(*empty.GetPointA(), GShortPoint{});
}

TEST(PrimitiveGraphic, Bounds) {
  const Points far = {{10, 20}, {30, 40}};
  const Points one = {{10, 20}};
  struct Case {
    const char* name;
    std::unique_ptr<GPrimitiveGraphic> graphic;
    GShortRect bounds;
  };
  Case cases[] = {
      {"rectangle",
       std::make_unique<GRectangleGraphic>(GShortRect{5, 6, 7, 8}, nullptr, 0),
       {5, 6, 7, 8}},
      // Point A is (0, 0) and is taken in.
      {"polygon far from the origin",
       std::make_unique<GPolygonGraphic>(Borrow(far), nullptr, 0),
       {0, 0, 30, 40}},
      {"one point keeps the rectangle",
       std::make_unique<GPolygonGraphic>(Borrow(one), nullptr, 0),
       {0, 0, 0, 0}},
      {"negative coordinates",
       std::make_unique<GPolygonGraphic>(Borrow({{-300, 5}, {-2, -32768}}), nullptr, 0),
       {-300, -32768, 0, 5}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.graphic->GetBounds(), c.bounds);
    EXPECT_TRUE(c.graphic->IsBoundsValid());
    EXPECT_EQ(c.graphic->GetBounds(), c.bounds);  // kept
  }
  // A copy answers the source's rectangle.
  GRectangleGraphic rectangle(GShortRect{5, 6, 7, 8}, nullptr, 0);
  GRectangleGraphic copy(rectangle);
  EXPECT_EQ(copy.GetBounds(), (GShortRect{5, 6, 7, 8}));
  // New points make the bounds stale.
  GPolygonGraphic polygon(Borrow(far), nullptr, 0);
  polygon.GetBounds();
  const Points wider = {{-1, -1}, {50, 60}};
  polygon.SetPoints(Borrow(wider));
  EXPECT_FALSE(polygon.IsBoundsValid());
  EXPECT_EQ(polygon.GetBounds(), (GShortRect{-1, -1, 50, 60}));
}

// A copy of a graphic given both a rectangle and points keeps the given
// rectangle as its bounds (the copy keeps the bounds-valid flag), so that it
// stays equal to its source.
TEST(PrimitiveGraphic, ACopyKeepsGivenBounds) {
  const Points points = {{1, 1}, {2, 2}};
  Figure source(GShortRect{0, 0, 100, 100}, Own(points), nullptr, 0);
  Figure copy(source);
  EXPECT_EQ(copy.GetBounds(), (GShortRect{0, 0, 100, 100}));
  EXPECT_TRUE(copy.IsEqualContent(&source));
}

TEST(PrimitiveGraphic, BorrowedAndOwnedPoints) {
  Points caller = {{1, 2}, {3, 4}, {5, 6}};
  GPolyBezierGraphic borrowing(Borrow(caller), nullptr, 0);
  EXPECT_FALSE(borrowing.GetPointArray().Owns());
  EXPECT_EQ(borrowing.GetPoint(0), &caller[1]);

  // A copy of a borrowing graphic borrows the same points; a copy of an
  // owning one has its own.
  GPolyBezierGraphic borrowed_copy(borrowing);
  EXPECT_EQ(borrowed_copy.GetPoint(0), &caller[1]);
  GPolygonGraphic owning(Own(caller), nullptr, 0);
  GPolygonGraphic owned_copy(owning);
  EXPECT_TRUE(owned_copy.GetPointArray().Owns());
  EXPECT_NE(owned_copy.GetPoint(0), owning.GetPoint(0));
  EXPECT_TRUE(owned_copy.IsEqualContent(&owning));

  // Made self-contained, a graphic outlives the caller's points.
  EXPECT_TRUE(borrowing.MakePointsOwned());
  borrowing.MakeSelfContained();
  EXPECT_TRUE(borrowing.GetPointArray().Owns());
  caller.assign(caller.size(), GShortPoint{-9, -9});
  EXPECT_EQ(PointsOf(borrowing), (Points{{3, 4}, {5, 6}}));
  EXPECT_EQ(*borrowing.GetPointA(), (GShortPoint{1, 2}));

  // Given its own array back, a graphic copies before it lets go.
  owning.SetPoints(owning.GetPointArray());
  EXPECT_EQ(PointsOf(owning), PointsOf(owned_copy));
  borrowed_copy.SetPoints(borrowed_copy.GetPointArray());
  EXPECT_FALSE(borrowed_copy.GetPointArray().Owns());

  // A restored graphic owns an equal copy of borrowed points.
  const Points kept = {{7, 8}, {9, 10}};
  GPolygonGraphic lender(Borrow(kept), nullptr, 0);
  for (Medium medium : model_testing::kAllMedia) {
    model_testing::Restored back =
        model_testing::Restore(model_testing::Save(&lender, medium), medium);
    auto* restored = dynamic_cast<GPolygonGraphic*>(back.object);
    ASSERT_NE(restored, nullptr);
    EXPECT_TRUE(restored->GetPointArray().Owns());
    EXPECT_NE(restored->GetPoint(0), lender.GetPoint(0));
    EXPECT_TRUE(restored->IsEqual(&lender));
    delete restored;
  }
}

TEST(PrimitiveGraphic, ContentEquality) {
  const Points a = {{1, 1}, {2, 2}, {1, 1}};
  const Points b = {{1, 1}, {2, 3}, {1, 1}};
  auto polygon = [](const Points& points, std::uint32_t key) {
    return std::make_unique<GPolygonGraphic>(Borrow(points), nullptr, key);
  };
  auto with_a = [&](GShortPoint point) {
    auto graphic = polygon(a, 1);
    graphic->SetPointA(point);
    return graphic;
  };
  auto rectangle = [](GShortRect r) { return std::make_unique<GRectangleGraphic>(r, nullptr, 1); };
  struct Case {
    const char* name;
    std::unique_ptr<MPersistentObject> left;
    std::unique_ptr<MPersistentObject> right;
    bool equal;
  };
  Case cases[] = {
      {"same points, own and borrowed", polygon(a, 1),
       std::make_unique<GPolygonGraphic>(Own(a), nullptr, 1), true},
      {"a point differs", polygon(a, 1), polygon(b, 1), false},
      {"keys differ", polygon(a, 1), polygon(a, 2), false},
      {"point A differs", with_a({0, 1}), polygon(a, 1), false},
      {"rectangles differ", rectangle({0, 0, 1, 1}), rectangle({0, 0, 1, 2}), false},
      {"classes differ", std::make_unique<GRectangleGraphic>(), std::make_unique<GPolygonGraphic>(),
       false},
      {"a null command and a graphic", std::make_unique<GNullCommand>(),
       std::make_unique<GRectangleGraphic>(), false},
      {"two null commands", std::make_unique<GNullCommand>(), std::make_unique<GNullCommand>(),
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.left->IsEqualContent(c.right.get()), c.equal);
    EXPECT_EQ(c.right->IsEqualContent(c.left.get()), c.equal);
    EXPECT_TRUE(c.left->IsEqualContent(c.left.get()));
  }
  // Bounds not yet computed on one side take no part.
  GPolygonGraphic fresh(Borrow(a), nullptr, 1);
  GPolygonGraphic computed(Borrow(a), nullptr, 1);
  computed.GetBounds();
  EXPECT_TRUE(fresh.IsEqualContent(&computed));
  // The figure value takes no part.
  GPolyBezierGraphic one;
  GPolyBezierGraphic other;
  other.SetFigureValue(5);
  EXPECT_TRUE(one.IsEqualContent(&other));
}

TEST(PrimitiveGraphic, KindTests) {
  GPolyBezierGraphic bezier;
  GNullCommand null_command;
  for (RWClassID id : {kGPolyBezierGraphicId, kGPrimitiveGraphicId, kGGraphicId, kGCommandId,
                       kMPersistentObjectId}) {
    EXPECT_TRUE(bezier.IsKindOf(id)) << id;
  }
  EXPECT_FALSE(bezier.IsKindOf(kGPolygonGraphicId));
  EXPECT_TRUE(null_command.IsKindOf(kGNullCommandId));
  EXPECT_TRUE(null_command.IsKindOf(kGCommandId));
  EXPECT_FALSE(null_command.IsKindOf(kGGraphicId));
}

TEST(PrimitiveGraphic, DamagedDataFailsCleanly) {
  const Points points = {{1, 2}, {3, 4}, {-5, 6}, {1, 2}};
  auto* set = new GState(0);
  GPolyBezierGraphic bezier(Borrow(points), set, 3);
  bezier.SetPointC({4, 4});
  ExpectDamageFailsCleanly(bezier, 20261201);
  ExpectDamageFailsCleanly(GNullCommand(), 20261202, 40);
}

// A point count that the bytes after it cannot hold fails the restore: at
// once on a file, after the bytes run out on a stream, never by allocating
// the stored count; a count whose run would pass 32 bits fails too.
TEST(PrimitiveGraphic, ImpossiblePointCountsFail) {
  const Points points = {{1, 2}, {3, 4}};
  GPolygonGraphic polygon(Own(points), nullptr, 0);  // three points once closed
  for (Medium medium : {Medium::kFile, Medium::kBinary, Medium::kHeadered}) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    std::string bytes = model_testing::Save(&polygon, medium);
    // The count stands before the points and the 28 bytes after them (and
    // a stream's closing brace).
    std::size_t at = bytes.size() - (medium == Medium::kFile ? 0 : 1) - 28 - 12 - 4;
    ASSERT_EQ(bytes.substr(at, 4), std::string("\x03\x00\x00\x00", 4));
    for (std::uint32_t count : {4u, 0x00100000u, 0x3FFFFFFFu, 0x40000000u, 0xFFFFFFFFu}) {
      SCOPED_TRACE(count);
      std::string damaged = bytes;
      for (int i = 0; i < 4; ++i)
        damaged[at + i] = static_cast<char>(count >> (8 * i));
      model_testing::Restored back = model_testing::Restore(damaged, medium);
      EXPECT_FALSE(back.ok);
      FreeRestored(back.object);
    }
  }
}

// Another version of the primitive part reads nothing of it: the fields
// keep their constructed values.
TEST(PrimitiveGraphic, AnUnknownVersionReadsNothingFurther) {
  model_testing::Restored back = output_testing::RestoreHex(
      "88 88 00 00 93 02 01 00 00 00 07 00 00 00 00 00 00 00 FF FF 00 00 00 00 01 00 00 00 "
      "01 00 00 00 02 00 00 00 01 00 00 00");
  auto* rectangle = dynamic_cast<GRectangleGraphic*>(back.object);
  ASSERT_NE(rectangle, nullptr);
  EXPECT_EQ(rectangle->Key(), 7u);
  EXPECT_EQ(rectangle->GetKindWord(), 2u);
  EXPECT_FALSE(rectangle->IsBoundsValid());
  delete rectangle;
}

}  // namespace
