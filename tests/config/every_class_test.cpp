// Every class registered by the configuration model's load, the layers
// below included, persists soundly; the attribute classes are registered by
// id and by name, and their abstract bases are not.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/attributes/enum_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list_composite.h"
#include "foundation/rw/factory.h"
#include "persist/persistent_composite.h"
#include "tests/support/every_class.h"

namespace {

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (RWClassID id :
       {kMPersistentCompositeId, kGAttributeCompositeId, kGValueAttributeId, kGValue32AttributeId,
        kGStringAttributeId, kGRangeAttributeId, kGEnumAttributeId, kGDeviceFontDescriptionId,
        kGDeviceFontListId, kGDeviceFontListCompositeId}) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), id), result.checked.end())
        << id;
  }
}

TEST(AttributeClasses, RegisteredByIdAndNameExceptTheBases) {
  struct Case {
    RWClassID id;
    const char* name;
  };
  const Case cases[] = {
      {kGAttributeCompositeId, "GAttributeComposite"}, {kGValueAttributeId, "GValueAttribute"},
      {kGValue32AttributeId, "GValue32Attribute"},     {kGStringAttributeId, "GStringAttribute"},
      {kGRangeAttributeId, "GRangeAttribute"},         {kGEnumAttributeId, "GEnumAttribute"}};
  for (const Case& c : cases) {
    EXPECT_EQ(StringIdToClassId(RWStringID(c.name)), c.id) << c.name;
    EXPECT_EQ(ClassIdToStringId(c.id), RWStringID(c.name));
  }
  for (RWClassID id : {kGAttributeId, kGStyleAttributeId}) {
    EXPECT_EQ(GetFactory()->LookupCreatorById(id), nullptr) << id;
  }
  EXPECT_EQ(StringIdToClassId(RWStringID("GAttribute")), kRWNoClassId);
  EXPECT_EQ(StringIdToClassId(RWStringID("GStyleAttribute")), kRWNoClassId);
}

}  // namespace
