// Every class registered by the configuration model's load, the layers
// below included, persists soundly; the attribute classes are registered by
// id and by name, and their abstract bases are not.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <typeinfo>
#include <vector>

#include "config/attributes/display_string.h"
#include "config/attributes/enum_attribute.h"
#include "config/attributes/option_composite.h"
#include "config/attributes/style_attribute.h"
#include "config/attributes/tintvector_attribute.h"
#include "config/attributes/value_attribute.h"
#include "config/fonts/device_font_list_composite.h"
#include "config/paper/custom_media_size.h"
#include "config/paper/form_to_tray.h"
#include "config/paper/margin_pool.h"
#include "config/paper/media.h"
#include "config/paper/media_pool.h"
#include "config/paper/paper_handling_device.h"
#include "config/paper/paper_parts.h"
#include "foundation/rw/factory.h"
#include "persist/persistent_composite.h"
#include "tests/support/every_class.h"

namespace {

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (RWClassID id : {kMPersistentCompositeId,
                       kGAttributeCompositeId,
                       kGValueAttributeId,
                       kGValue32AttributeId,
                       kGStringAttributeId,
                       kGRangeAttributeId,
                       kGEnumAttributeId,
                       kGDisplayStringId,
                       kGDisplayStringAttributeId,
                       kGColorMapId,
                       kGHalftoneId,
                       kGNeutralGraysId,
                       kGEdgeControlId,
                       kGSRGBColorId,
                       kGSRGBExtensionId,
                       kGTintvectorAttributeId,
                       kGTintvectorEnhancedAttributeId,
                       kGTintvectorEnhancedAttributeVer2Id,
                       kGOptMediaCompositeId,
                       kGBookletCompositeId,
                       kGMediaId,
                       kGMediaPoolId,
                       kGPaperHandlingDeviceId,
                       kGTrayId,
                       kGBinId,
                       kGFormToTrayDatabaseId,
                       kGFormToTrayAssociationId,
                       kGCustomMediaSizeId,
                       kGMarginPoolId,
                       kGDeviceFontDescriptionId,
                       kGDeviceFontListId,
                       kGDeviceFontListCompositeId}) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), id), result.checked.end())
        << id;
  }
}

// The key indexes rely on it; a class that says nothing is asked each time.
TEST(EveryRegisteredClass, SaysForItsOwnClassHowItsFindByKeyAnswers) {
  std::vector<RWClassID> ids;  // gathered first: the factory is locked meanwhile
  ForEachFactoryEntry(
      [](RWClassID id, const RWStringID&, bool by_id, void* d) {
        if (by_id) static_cast<std::vector<RWClassID>*>(d)->push_back(id);
      },
      &ids);
  for (RWClassID id : ids) {
    std::unique_ptr<RWCollectable> made(CreateByClassId(id));
    auto* object = dynamic_cast<MPersistentObject*>(made.get());
    if (!object) continue;
    const MKeyFind find = object->KeyFind();
    EXPECT_TRUE(find.of && *find.of == typeid(*object)) << id;
    // A leaf answers itself for its key; a composite never itself.
    if (find.kind != MKeyFind::kOwn) {
      EXPECT_EQ(object->FindByKey(object->Key()), find.kind == MKeyFind::kItself ? object : nullptr)
          << id;
    }
  }
}

TEST(AttributeClasses, RegisteredByIdAndNameExceptTheBases) {
  struct Case {
    RWClassID id;
    const char* name;
  };
  const Case cases[] = {{kGAttributeCompositeId, "GAttributeComposite"},
                        {kGValueAttributeId, "GValueAttribute"},
                        {kGValue32AttributeId, "GValue32Attribute"},
                        {kGStringAttributeId, "GStringAttribute"},
                        {kGRangeAttributeId, "GRangeAttribute"},
                        {kGEnumAttributeId, "GEnumAttribute"},
                        {kGDisplayStringId, "GDisplayString"},
                        {kGDisplayStringAttributeId, "GDisplayStringAttribute"},
                        {kGColorMapId, "GColorMap"},
                        {kGHalftoneEnhancedId, "GHalftoneEnhanced"},
                        {kGHalftoneId, "GHalftone"},
                        {kGNeutralGraysId, "GNeutralGrays"},
                        {kGEdgeControlId, "GEdgeControl"},
                        {kGSRGBColorId, "GSRGBColor"},
                        {kGSRGBExtensionId, "GSRGBExtension"},
                        {kGTintvectorAttributeId, "GTintvectorAttribute"},
                        {kGTintvectorEnhancedAttributeId, "GTintvectorEnhancedAttribute"},
                        {kGTintvectorEnhancedAttributeVer2Id, "GTintvectorEnhancedAttributeVer2"},
                        {kGOptMediaCompositeId, "GOptMediaComposite"},
                        {kGBookletCompositeId, "GBookletComposite"},
                        {kGMediaId, "GMedia"},
                        {kGMediaPoolId, "GMediaPool"},
                        {kGPaperHandlingDeviceId, "GPaperHandlingDevice"},
                        {kGTrayId, "GTray"},
                        {kGBinId, "GBin"},
                        {kGFormToTrayDatabaseId, "GFormToTrayDatabase"},
                        {kGFormToTrayAssociationId, "GFormToTrayAssociation"},
                        {kGCustomMediaSizeId, "GCustomMediaSize"},
                        {kGMarginPoolId, "GMarginPool"}};
  for (const Case& c : cases) {
    EXPECT_EQ(StringIdToClassId(RWStringID(c.name)), c.id) << c.name;
    // Id 790 is named by the class that registered it first.
    EXPECT_EQ(ClassIdToStringId(c.id),
              RWStringID(c.id == kGHalftoneId ? "GHalftoneEnhanced" : c.name));
  }
  for (RWClassID id : {kGAttributeId, kGStyleAttributeId}) {
    EXPECT_EQ(GetFactory()->LookupCreatorById(id), nullptr) << id;
  }
  EXPECT_EQ(StringIdToClassId(RWStringID("GAttribute")), kRWNoClassId);
  EXPECT_EQ(StringIdToClassId(RWStringID("GStyleAttribute")), kRWNoClassId);
  EXPECT_EQ(StringIdToClassId(RWStringID("GStyleChoiceAttribute")), kRWNoClassId);
}

}  // namespace
