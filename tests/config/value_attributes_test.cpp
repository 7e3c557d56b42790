// The leaf attributes: the state word and Assign of the attribute base,
// range repair and stepping, the flag and string setters, content equality,
// and the extraction operators; the copies range read from settings.
#include "config/attributes/value_attribute.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "config/attributes/attribute_composite.h"
#include "config/attributes/copies_range.h"
#include "config/keys/settings_keys.h"
#include "tests/persist/media.h"
#include "tests/support/graph.h"

namespace {

struct RangeNumbers {
  std::int16_t minimum, maximum;
  std::uint16_t step;
  std::int16_t value;
};

RangeNumbers Numbers(const GRangeAttribute& r) {
  return {r.GetMinimum(), r.GetMaximum(), r.GetStep(), r.GetValue()};
}

bool operator==(const RangeNumbers& a, const RangeNumbers& b) {
  return a.minimum == b.minimum && a.maximum == b.maximum && a.step == b.step && a.value == b.value;
}

TEST(RangeAttribute, RepairsAndSteps) {
  enum Op { kNone, kIncrement, kIncrementTwice, kDecrement, kSetMaximum, kSetMinimum, kSetValue };
  struct Case {
    const char* name;
    RangeNumbers built;
    Op op;
    std::int16_t argument;
    RangeNumbers expected;
  };
  const Case cases[] = {
      {"maximum below minimum, step 0", {10, 5, 0, 7}, kNone, 0, {10, 10, 1, 10}},
      {"value below minimum", {0, 100, 10, -4}, kNone, 0, {0, 100, 10, 0}},
      {"increment to the maximum", {0, 100, 10, 95}, kIncrement, 0, {0, 100, 10, 100}},
      {"increment stays at the maximum", {0, 100, 10, 95}, kIncrementTwice, 0, {0, 100, 10, 100}},
      {"decrement to the minimum", {0, 100, 10, 5}, kDecrement, 0, {0, 100, 10, 0}},
      // A step past the end of the 16-bit range stops at the bound.
      {"increment near the top", {0, 32767, 10, 32760}, kIncrement, 0, {0, 32767, 10, 32767}},
      {"decrement near the bottom",
       {-32768, 0, 10, -32760},
       kDecrement,
       0,
       {-32768, 0, 10, -32768}},
      {"huge step", {-5, 5, 65535, 0}, kIncrement, 0, {-5, 5, 65535, 5}},
      // The value is not clamped again by the bound setters.
      {"maximum below the minimum", {10, 50, 1, 40}, kSetMaximum, 3, {10, 10, 1, 40}},
      {"maximum below the value", {10, 50, 1, 40}, kSetMaximum, 20, {10, 20, 1, 40}},
      {"minimum above the maximum", {10, 50, 1, 40}, kSetMinimum, 60, {50, 50, 1, 40}},
      {"value above the maximum", {10, 50, 1, 40}, kSetValue, 99, {10, 50, 1, 50}},
      {"value below the minimum", {10, 50, 1, 40}, kSetValue, -99, {10, 50, 1, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GRangeAttribute r(c.built.minimum, c.built.maximum, c.built.step, c.built.value, 202);
    switch (c.op) {
      case kNone:
        break;
      case kIncrement:
        r.Increment();
        break;
      case kIncrementTwice:
        r.Increment();
        r.Increment();
        break;
      case kDecrement:
        r.Decrement();
        break;
      case kSetMaximum:
        r.SetMaximum(c.argument);
        break;
      case kSetMinimum:
        r.SetMinimum(c.argument);
        break;
      case kSetValue:
        r.SetValue(c.argument);
        break;
    }
    EXPECT_TRUE(Numbers(r) == c.expected);
  }
  GRangeAttribute r(10, 50, 1, 40, 1);
  r.SetMaximum(20);
  r.Increment();  // clamps the value left above the new maximum
  EXPECT_EQ(r.GetValue(), 20);
  r.SetStep(0);  // stored as given
  EXPECT_EQ(r.GetStep(), 0);
  EXPECT_TRUE(r.Contains(10));
  EXPECT_FALSE(r.Contains(21));
  EXPECT_TRUE(Numbers(GRangeAttribute()) == (RangeNumbers{0, 0, 1, 0}));
}

// The range is the first match under its key, nested or not, and only when
// it is a range; without one, any positive 16-bit count.
TEST(CopiesRange, FirstRangeUnderItsKeyElseTheFallback) {
  auto nested = std::make_unique<GAttributeComposite>(1);
  auto* inner = new GAttributeComposite(2);
  inner->AddChild(new GRangeAttribute(2, 999, 1, 2, kCopiesRangeKey));
  nested->AddChild(inner);
  auto shadowed = std::make_unique<GAttributeComposite>(1);
  shadowed->AddChild(new GValueAttribute(5, kCopiesRangeKey));
  shadowed->AddChild(new GRangeAttribute(1, 9, 1, 1, kCopiesRangeKey));
  auto other = std::make_unique<GAttributeComposite>(1);
  other->AddChild(new GRangeAttribute(1, 9, 1, 1, kDuplexRangeKey));
  const struct {
    MPersistentObject* settings;
    bool exists;
    std::int16_t minimum, maximum;
  } cases[] = {{nullptr, false, 1, 32767},
               {nested.get(), true, 2, 999},
               {shadowed.get(), false, 1, 32767},
               {other.get(), false, 1, 32767}};
  for (const auto& c : cases) {
    const GCopiesRange range = GCopiesRange::Of(c.settings);
    EXPECT_EQ(range.Exists(), c.exists);
    EXPECT_EQ(range.Minimum(), c.minimum);
    EXPECT_EQ(range.Maximum(), c.maximum);
    EXPECT_TRUE(range.Contains(c.maximum));
    EXPECT_FALSE(range.Contains(static_cast<std::int16_t>(c.minimum - 1)));
  }
}

TEST(ValueAttributes, SettersAndFlags) {
  GValueAttribute v;
  v.SetBool(7);
  EXPECT_EQ(v.GetValue(), 1);
  v.SetValue(2);
  EXPECT_TRUE(v.IsTrue());
  EXPECT_FALSE(v.IsFalse());
  v.SetBool(0);
  EXPECT_TRUE(v.IsFalse());
  GStringAttribute s(static_cast<const char*>(nullptr), 5);
  EXPECT_EQ(s.GetValue().Length(), 0u);
  s.SetValue("A4");
  s.SetValue(static_cast<const char*>(nullptr));
  EXPECT_EQ(s.GetValue().Length(), 0u);
  GStringAttribute t("Letter", 6);
  t.SetState(0);
  s = t;
  EXPECT_EQ(s.Key(), 6u);
  EXPECT_EQ(s.SerialNumber(), t.SerialNumber());
  EXPECT_EQ(s.State(), 0);
  EXPECT_TRUE(s.GetValue() == "Letter");
}

TEST(ValueAttributes, ContentEquality) {
  struct Case {
    const char* name;
    std::unique_ptr<GAttribute> a, b;
    bool equal;
  };
  Case cases[] = {
      {"values", std::make_unique<GValueAttribute>(3, 1), std::make_unique<GValueAttribute>(3, 1),
       true},
      {"other value", std::make_unique<GValueAttribute>(3, 1),
       std::make_unique<GValueAttribute>(4, 1), false},
      {"other key", std::make_unique<GValueAttribute>(3, 1),
       std::make_unique<GValueAttribute>(3, 2), false},
      {"other class", std::make_unique<GValueAttribute>(3, 1),
       std::make_unique<GValue32Attribute>(3, 1), false},
      {"32-bit", std::make_unique<GValue32Attribute>(0x12345678u, 1),
       std::make_unique<GValue32Attribute>(0x12345678u, 1), true},
      {"case matters", std::make_unique<GStringAttribute>("A4", 1),
       std::make_unique<GStringAttribute>("a4", 1), false},
      {"embedded zero", std::make_unique<GStringAttribute>(RWCString("A\0B", 3), 1),
       std::make_unique<GStringAttribute>(RWCString("A\0C", 3), 1), false},
      {"ranges", std::make_unique<GRangeAttribute>(0, 9, 1, 3, 1),
       std::make_unique<GRangeAttribute>(0, 9, 1, 3, 1), true},
      {"range step", std::make_unique<GRangeAttribute>(0, 9, 1, 3, 1),
       std::make_unique<GRangeAttribute>(0, 9, 2, 3, 1), false},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.b->SetState(0);  // state words are not compared
    EXPECT_EQ(c.a->IsEqualContent(c.b.get()), c.equal);
    EXPECT_EQ(c.b->IsEqualContent(c.a.get()), c.equal);
  }
}

// Assign copies key, serial number and state when the other differs in
// content, and never the value; an equal other changes nothing.
TEST(Attribute, StateWordAndAssign) {
  GValueAttribute a(1, 10);
  EXPECT_EQ(a.State(), kAttributeActive);
  GValueAttribute same_key(1, 10);
  same_key.SetState(0);
  a.Assign(same_key);
  EXPECT_EQ(a.State(), 1);
  EXPECT_NE(a.SerialNumber(), same_key.SerialNumber());
  GValueAttribute other(2, 20);
  other.SetState(0);
  a.Assign(other);
  EXPECT_EQ(a.Key(), 20u);
  EXPECT_EQ(a.SerialNumber(), other.SerialNumber());
  EXPECT_EQ(a.State(), 0);
  EXPECT_EQ(a.GetValue(), 1);
  GValueAttribute copy(a);
  EXPECT_EQ(copy.State(), 0);
  EXPECT_TRUE(a.IsKindOf(kGAttributeId));
  EXPECT_TRUE(a.IsKindOf(kMPersistentObjectId));
  EXPECT_FALSE(a.IsKindOf(kGStyleAttributeId));
  EXPECT_EQ(a.TypeId(), kGValueAttributeId);
}

// The typed extraction operators refuse an object of another class.
TEST(Attribute, ExtractionOperatorsReadTheirOwnClass) {
  GValueAttribute value(5, 260);
  std::string bytes = model_testing::Save(&value, model_testing::Medium::kBinary);
  for (bool same_class : {true, false}) {
    std::istringstream in(bytes);
    auto stream = testing_support::MakeInputStream(in, testing_support::Encoding::kBinary);
    if (same_class) {
      GValueAttribute* read = nullptr;
      *stream >> read;
      ASSERT_NE(read, nullptr);
      EXPECT_TRUE(read->IsEqual(&value));
      EXPECT_TRUE(stream->Good());
      delete read;
    } else {
      GStringAttribute* read = nullptr;
      *stream >> read;
      EXPECT_EQ(read, nullptr);
      EXPECT_TRUE(stream->Fail());
    }
  }
}

}  // namespace
