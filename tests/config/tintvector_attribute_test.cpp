// The Tintvector colour-adjustment attributes: golden stored forms of the
// three classes, the GetSetting/SetSetting matrix, the inherited bytes
// reached through the 792 operations, slot 3, equality across classes, and
// the queries over a settings tree.
#include "config/attributes/tintvector_attribute.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/value_attribute.h"
#include "foundation/rw/file.h"
#include "foundation/rw/rwstore.h"
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

using Enhanced = GTintvectorEnhancedAttribute;
using Ver2 = GTintvectorEnhancedAttributeVer2;

template <class T>
std::unique_ptr<T> Made(std::uint32_t key) {
  auto made = std::make_unique<T>(key);
  made->SetSerialNumber(0);
  return made;
}

// Derived by hand: the magic 0x8888 (u32), the class id (u16: 792 = 18 03,
// 797 = 1D 03, 1201 = B1 04), the base part (version 1, the key, serial
// 0), the attribute part (version 1, state 1), the version 1, then each
// setting byte as a u16 in stored order, from the key constructors' codes:
//   792 key 227: colour map / halftone per kind 16 40, 22 50, 32 62
//   797 key 295: neutral greys / halftone 70 41, 80 51, 91 61; edge 95,
//                RGB 98
//   1201 key 295: neutral greys / halftone / sRGB 70 41 100, 80 51 103,
//                91 61 106; edge 95
// Sizes 26 + 4 + 2 per byte: 42, 46, 50. The enhanced classes store none
// of the inherited bytes.
TEST(Tintvector, GoldenBytesAndRoundTrips) {
  const std::string kAttribute = "00 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00 ";
  struct Case {
    std::unique_ptr<GTintvectorAttribute> made;
    std::string file;
  };
  Case cases[] = {
      {Made<GTintvectorAttribute>(227), "88 88 00 00 18 03 01 00 00 00 E3 00 00 00 " + kAttribute +
                                            "10 00 28 00 16 00 32 00 20 00 3E 00"},
      {Made<Enhanced>(295), "88 88 00 00 1D 03 01 00 00 00 27 01 00 00 " + kAttribute +
                                "46 00 29 00 50 00 33 00 5B 00 3D 00 5F 00 62 00"},
      {Made<Ver2>(295), "88 88 00 00 B1 04 01 00 00 00 27 01 00 00 " + kAttribute +
                            "46 00 29 00 64 00 50 00 33 00 67 00 5B 00 3D 00 6A 00 5F 00"},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.made->ClassId());
    std::string file = Save(c.made.get(), Medium::kFile);
    EXPECT_EQ(Hex(file), c.file);
    EXPECT_EQ(c.made->GraphStoreSize(), file.size());
    // Changed settings, the inherited ones included, survive every medium;
    // the enhanced classes' inherited bytes are not stored.
    c.made->GTintvectorAttribute::SetSetting(1, 0, 7);
    c.made->SetKey(9);
    for (Medium medium : kAllMedia) {
      SCOPED_TRACE(model_testing::MediumName(medium));
      Restored back = Restore(Save(c.made.get(), medium), medium);
      auto* restored = dynamic_cast<GTintvectorAttribute*>(back.object);
      ASSERT_NE(restored, nullptr);
      EXPECT_TRUE(back.ok);
      EXPECT_TRUE(restored->IsEqual(c.made.get()));
      EXPECT_EQ(restored->ClassId(), c.made->ClassId());
      EXPECT_EQ(*restored->FindSetting(1, 0), c.made->ClassId() == 792 ? 7 : 0);
      delete restored;
    }
  }
}

// Each class's own GetSetting and SetSetting: which indexes are accepted,
// and which readings a set changes. Every reading over objects -1..4 and
// settings -1..5 is taken before and after the set; exactly the listed ones
// may change (to 200).
using Readings = std::map<std::pair<int, int>, int>;  // accepted reads; -1: nothing read

template <class T>
Readings ReadAll(const T& t) {
  Readings readings;
  for (int object = -1; object <= 4; ++object) {
    for (int setting = -1; setting <= 5; ++setting) {
      std::uint8_t value = 0xAB;
      if (t.GetSetting(object, setting, value)) {
        readings[{object, setting}] = value == 0xAB ? -1 : value;
      }
    }
  }
  return readings;
}

using Pairs = std::set<std::pair<int, int>>;

template <class T>
void CheckSetMatrix(const char* name, int object, int setting, bool accepted, Pairs changed) {
  SCOPED_TRACE(std::string(name) + " set (" + std::to_string(object) + ", " +
               std::to_string(setting) + ")");
  T t(295);
  Readings before = ReadAll(t);
  EXPECT_EQ(t.SetSetting(object, setting, 200), accepted);
  Readings after = ReadAll(t);
  ASSERT_EQ(before.size(), after.size());
  for (const auto& [at, value] : after) {
    EXPECT_EQ(value, changed.count(at) ? 200 : before[at]) << at.first << "," << at.second;
  }
}

TEST(Tintvector, SettingMatrix) {
  // The accepted reads of freshly made key-295 objects: -1 reads nothing,
  // slot 3 of the four-slot arrays reads 0.
  const Readings base = ReadAll(GTintvectorAttribute(295));
  const Readings enhanced = ReadAll(Enhanced(295));
  const Readings ver2 = ReadAll(Ver2(295));
  EXPECT_EQ(base.size(), 9u);  // objects 0-2, settings 0-2
  EXPECT_EQ(enhanced.size(), 20u);
  EXPECT_EQ(ver2.size(), 20u);
  struct Read {
    int object, setting, base, enhanced, ver2;  // -2: refused
  };
  const Read reads[] = {
      {0, 0, 15, 70, 70},  {1, 0, 21, 80, 80},  {2, 0, 31, 91, 91},  {3, 0, -2, 0, 0},
      {0, 1, 40, 41, 41},  {1, 1, 50, 51, 51},  {2, 1, 62, 61, 61},  {3, 1, -2, 0, 0},
      {0, 2, -1, 95, 95},  {3, 2, -2, 95, 95},  {0, 3, -2, 98, 100}, {1, 3, -2, 98, 103},
      {2, 3, -2, 98, 106}, {3, 3, -2, 98, 0},   {1, 4, -2, -1, -1},  {4, 0, -2, -2, -2},
      {0, 5, -2, -2, -2},  {-1, 0, -2, -2, -2}, {0, -1, -2, -2, -2},
  };
  auto reading = [](const auto& readings, int object, int setting) {
    auto it = readings.find({object, setting});
    return it == readings.end() ? -2 : it->second;
  };
  for (const Read& r : reads) {
    SCOPED_TRACE(std::to_string(r.object) + "," + std::to_string(r.setting));
    EXPECT_EQ(reading(base, r.object, r.setting), r.base);
    EXPECT_EQ(reading(enhanced, r.object, r.setting), r.enhanced);
    EXPECT_EQ(reading(ver2, r.object, r.setting), r.ver2);
  }

  const Pairs kEdge = {{0, 2}, {1, 2}, {2, 2}, {3, 2}};
  CheckSetMatrix<GTintvectorAttribute>("792", 1, 0, true, {{1, 0}});
  CheckSetMatrix<GTintvectorAttribute>("792", 2, 1, true, {{2, 1}});
  CheckSetMatrix<GTintvectorAttribute>("792", 1, 2, true, {});
  CheckSetMatrix<GTintvectorAttribute>("792", 3, 0, false, {});
  CheckSetMatrix<Enhanced>("797", 2, 1, true, {{2, 1}});
  CheckSetMatrix<Enhanced>("797", 0, 2, true, kEdge);
  CheckSetMatrix<Enhanced>("797", 3, 3, true, {{0, 3}, {1, 3}, {2, 3}, {3, 3}});
  CheckSetMatrix<Enhanced>("797", 3, 0, true, {{3, 0}});
  CheckSetMatrix<Enhanced>("797", 0, 4, true, {});
  CheckSetMatrix<Enhanced>("797", 0, 5, false, {});
  // The document-wide sRGB choice fans out to the three kinds, not slot 3.
  CheckSetMatrix<Ver2>("1201", 3, 3, true, {{0, 3}, {1, 3}, {2, 3}});
  CheckSetMatrix<Ver2>("1201", 0, 3, true, {{0, 3}});
  CheckSetMatrix<Ver2>("1201", 1, 2, true, kEdge);
  CheckSetMatrix<Ver2>("1201", 4, 1, false, {});
}

// Through a GTintvectorAttribute reference the enhanced classes answer
// their inherited colour map and halftone; their constructors give those
// the 792 key defaults; copies keep them, and never slot 3.
TEST(Tintvector, InheritedBytesSlotThreeAndEquality) {
  Enhanced e227(227, Enhanced::Settings{1, 2, 3, 4, 5, 6, 7, 8});
  Ver2 v(295, Ver2::Settings{1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  const GTintvectorAttribute& as_base = e227;
  std::uint8_t out = 0;
  EXPECT_TRUE(as_base.GetSetting(0, 0, out));
  EXPECT_EQ(out, 16);  // key 227's colour map, not the neutral greys 1
  EXPECT_TRUE(static_cast<const GTintvectorAttribute&>(v).GetSetting(2, 1, out));
  EXPECT_EQ(out, 62);
  EXPECT_TRUE(e227.GetSetting(1, 0, out));
  EXPECT_EQ(out, 3);
  for (auto [object, setting, value] : {std::tuple{0, 3, 3}, {1, 1, 5}, {2, 0, 7}, {3, 2, 10}}) {
    EXPECT_TRUE(v.GetSetting(object, setting, out));
    EXPECT_EQ(out, value);
  }

  static_cast<GTintvectorAttribute&>(e227).SetSetting(2, 1, 77);
  e227.SetSetting(3, 0, 55);  // slot 3
  Enhanced copy(e227);
  EXPECT_EQ(*copy.GTintvectorAttribute::FindSetting(2, 1), 77);
  EXPECT_EQ(*copy.FindSetting(3, 0), 0);
  EXPECT_TRUE(copy == e227);  // slot 3 is not compared
  EXPECT_TRUE(copy.IsEqualContent(&e227));

  // AssignSettings copies the class's own used bytes only.
  Enhanced target(5);
  target.AssignSettings(e227);
  EXPECT_TRUE(target == e227);
  EXPECT_FALSE(target.IsEqualContent(&e227));  // keys differ
  EXPECT_EQ(*target.GTintvectorAttribute::FindSetting(0, 0), 15);
  EXPECT_EQ(*target.FindSetting(3, 0), 0);

  // 797 and 1201 with the same key and codes never compare equal, and
  // neither is a kind of 792.
  Enhanced e(295);
  Ver2 w(295);
  EXPECT_FALSE(e.IsEqualContent(&w));
  EXPECT_FALSE(w.IsEqual(&e));
  EXPECT_FALSE(static_cast<const GTintvectorAttribute&>(e) ==
               static_cast<const GTintvectorAttribute&>(w));
  for (const GTintvectorAttribute* t : {static_cast<const GTintvectorAttribute*>(&e),
                                        static_cast<const GTintvectorAttribute*>(&w)}) {
    EXPECT_FALSE(t->IsKindOf(kGTintvectorAttributeId));
    EXPECT_TRUE(t->IsKindOf(kGAttributeId));
    EXPECT_TRUE(t->IsKindOf(t->ClassId()));
  }
  GTintvectorAttribute plain;
  EXPECT_EQ(*plain.FindSetting(2, 1), 0);  // unset bytes are 0
  EXPECT_EQ(plain.TypeId(), kGTintvectorAttributeId);
}

// A version other than 1 keeps only the attribute part; a restore into an
// existing object keeps its bytes.
TEST(Tintvector, UnknownVersionKeepsTheBytes) {
  const std::string kBytes =
      "88 88 00 00 B1 04 01 00 00 00 27 01 00 00 00 00 00 00 01 00 00 00 00 00 00 00 "
      "02 00 00 00 46 00 29 00 64 00";
  Restored back = Restore(Unhex(kBytes), Medium::kFile);
  auto* restored = dynamic_cast<Ver2*>(back.object);
  ASSERT_NE(restored, nullptr);
  EXPECT_TRUE(back.ok);  // the rest is simply not read
  EXPECT_EQ(restored->Key(), 295u);
  EXPECT_EQ(restored->State(), 0);
  EXPECT_TRUE(*restored == Ver2());
  delete restored;

  Ver2 existing(1);
  testing_support::TempPath path("tint");
  testing_support::WriteAll(path.str(), Unhex(kBytes));
  RWFile file(path.c_str(), "rb");
  EXPECT_EQ(RestoreCollectableFromFile(file, &existing), &existing);
  EXPECT_EQ(existing.Key(), 295u);
  EXPECT_TRUE(existing == Ver2(7));
}

// The queries over a settings tree whose key 295 sits one level down.
TEST(Tintvector, Queries) {
  using Query = std::function<std::uint16_t(MPersistentObject*)>;
  auto q792 = [](int o, int s) -> Query {
    return [o, s](MPersistentObject* a) { return QueryTintvectorSetting(o, s, a); };
  };
  auto q797 = [](int o, int s) -> Query {
    return [o, s](MPersistentObject* a) { return QueryEnhancedTintvectorSetting(o, s, a); };
  };
  struct Case {
    const char* name;
    GAttribute* (*make)();  // what key 295 holds; null: nothing
    Query query;
    std::uint16_t expected;
  };
  auto none = []() -> GAttribute* { return nullptr; };
  auto value = []() -> GAttribute* { return new GValueAttribute(5, 295); };
  auto base = []() -> GAttribute* { return new GTintvectorAttribute(295); };
  auto enhanced = []() -> GAttribute* { return new Enhanced(295); };
  auto ver2 = []() -> GAttribute* { return new Ver2(295); };
  const Case cases[] = {
      {"no key 295", none, &GetTextColorMapCode, 0xFFFF},
      {"no key 295, enhanced", none, [](auto* a) { return GetEdgeControlCode(a, 3); }, 0xFFFF},
      {"a value attribute under 295", value, q792(0, 0), 0xFFFF},
      {"792 text colour map", base, &GetTextColorMapCode, 15},
      {"792 photo halftone", base, &GetPhotoHalftoneCode, 62},
      {"792 setting 2 reads nothing", base, q792(0, 2), 0xFFFF},
      {"792 through the 797 query", base, q797(0, 0), 0xFFFF},
      {"792 through the 1201 query", base, &GetTextSRGBColorCode, 0xFFFF},
      {"797 through the 792 query", enhanced, &GetGraphicsColorMapCode, 21},
      {"797 neutral greys, mode 3", enhanced, [](auto* a) { return GetTextNeutralGraysCode(a, 3); },
       70},
      {"797 through mode 4", enhanced, [](auto* a) { return GetTextNeutralGraysCode(a, 4); },
       0xFFFF},
      {"797 RGB colour", enhanced, &GetRGBColorCode, 98},
      {"797 edge control", enhanced, [](auto* a) { return GetEdgeControlCode(a, 3); }, 95},
      {"797 setting 4 reads nothing", enhanced, q797(1, 4), 0xFFFF},
      {"797 object 4", enhanced, q797(4, 0), 0xFFFF},
      {"797 slot 3", enhanced, q797(3, 1), 0},
      {"1201 graphics sRGB", ver2, &GetGraphicsSRGBColorCode, 103},
      {"1201 halftone, mode 4", ver2, [](auto* a) { return GetPhotoEnhancedHalftoneCode(a, 4); },
       61},
      {"1201 halftone, mode 1", ver2, [](auto* a) { return GetGraphicsEnhancedHalftoneCode(a, 1); },
       51},
      {"1201 neutral greys, mode 4", ver2, [](auto* a) { return GetPhotoNeutralGraysCode(a, 4); },
       91},
      {"1201 edge, mode 4", ver2, [](auto* a) { return GetEdgeControlCode(a, 4); }, 95},
      {"1201 through the 797 query", ver2, &GetRGBColorCode, 0xFFFF},
      {"1201 through the 792 query", ver2, &GetTextHalftoneCode, 40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GAttributeComposite root(362);
    auto* inner = new GAttributeComposite(364);
    inner->AddChild(new GValueAttribute(1, 296));
    if (GAttribute* held = c.make()) inner->AddChild(held);
    root.AddChild(inner);
    EXPECT_EQ(c.query(&root), c.expected);
  }
  EXPECT_EQ(QueryTintvectorSetting(0, 0, nullptr), 0xFFFF);
}

}  // namespace
