// Every class registered by the persistent model's load, the foundation's
// included, persists soundly; and the model's class tables are registered.
#include <gtest/gtest.h>

#include <algorithm>

#include "foundation/rw/factory.h"
#include "persist/binary_data.h"
#include "persist/capabilities.h"
#include "persist/configuration.h"
#include "persist/counted_ptr.h"
#include "persist/dynamic_library.h"
#include "persist/locale_info.h"
#include "persist/persistable_integer.h"
#include "persist/persistent_association.h"
#include "persist/persistent_composite.h"
#include "persist/pmd_version_info.h"
#include "persist/pml_descriptor.h"
#include "persist/port_handler.h"
#include "persist/resource_mapping.h"
#include "persist/selection_string.h"
#include "tests/support/every_class.h"

namespace {

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  for (RWClassID id :
       {kMPersistentCompositeId, kGPersistableLongId, kGPersistableULongId, kGBinaryDataId,
        kGSelectionStringId, kGCapabilitiesId, kGResourceMappingId, kGResourceMappingListId,
        kMPersistentAssociationId, kMAssociationListId, kGConfigurationId, kGPMDVersionInfoId,
        kGPMLDescriptorId, kGLocaleInfoId, kGDynamicLibraryId}) {
    EXPECT_NE(std::find(result.checked.begin(), result.checked.end(), id), result.checked.end())
        << id;
  }
  // The counted pointer is registered, but the factory makes none.
  EXPECT_EQ(result.skipped, std::vector<RWClassID>{kGCountedPtrId});
}

TEST(ModelClasses, RegisteredByIdAndNameExceptTheBase) {
  struct Case {
    RWClassID id;
    const char* name;
  };
  const Case cases[] = {{kMPersistentCompositeId, "MPersistentComposite"},
                        {kGCountedPtrId, "GCountedPtr"},
                        {kGPersistableLongId, "GPersistableLong"},
                        {kGPersistableULongId, "GPersistableULong"},
                        {kGBinaryDataId, "GBinaryData"},
                        {kGSelectionStringId, "GSelectionString"},
                        {kGCapabilitiesId, "GCapabilities"},
                        {kGResourceMappingId, "GResourceMapping"},
                        {kGResourceMappingListId, "GResourceMappingList"},
                        {kMPersistentAssociationId, "MPersistentAssociation"},
                        {kMAssociationListId, "MAssociationList"},
                        {kGConfigurationId, "GConfiguration"},
                        {kGPMDVersionInfoId, "GPMDVersionInfo"},
                        {kGPMLDescriptorId, "GPMLDescriptor"},
                        {kGLocaleInfoId, "GLocaleInfo"},
                        {kGDynamicLibraryId, "GDynamicLibrary"}};
  for (const Case& c : cases) {
    EXPECT_EQ(StringIdToClassId(RWStringID(c.name)), c.id) << c.name;
    EXPECT_EQ(ClassIdToStringId(c.id), RWStringID(c.name));
  }
  EXPECT_EQ(GetFactory()->LookupCreatorById(kMPersistentObjectId), nullptr);
  // The port handler is a kind, never made by the factory.
  EXPECT_EQ(GetFactory()->LookupCreatorById(kGPortHandlerId), nullptr);
  EXPECT_EQ(StringIdToClassId(RWStringID("MPersistentObject")), kRWNoClassId);
}

}  // namespace
