// For every class registered with the factory: a default object's stored
// size is exactly what its save writes, and save then restore gives back an
// equal object, on RWFile and in each stream encoding.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "foundation/rw/factory.h"
#include "tests/support/graph.h"

namespace {

using testing_support::DeleteGraph;

std::vector<RWClassID> RegisteredIds() {
  std::vector<RWClassID> ids;
  ForEachFactoryEntry(
      [](RWClassID id, const RWStringID&, bool by_id, void* d) {
        if (by_id) static_cast<std::vector<RWClassID>*>(d)->push_back(id);
      },
      &ids);
  return ids;
}

// Classes whose equality is identity (or needs a key): a restored copy is
// checked by its stored bytes alone.
bool ComparesByIdentity(RWClassID id) {
  static const std::set<RWClassID> ids = {0x8007, 0x8008, 0x805F};
  return ids.count(id) > 0;
}

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  std::vector<RWClassID> ids = RegisteredIds();
  ASSERT_FALSE(ids.empty());
  for (RWClassID id : ids) {
    SCOPED_TRACE(ClassIdToStringId(id).Data());
    std::unique_ptr<RWCollectable> object(CreateByClassId(id));
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(object->ClassId(), id);

    std::string file_bytes = testing_support::SaveToFileBytes(object.get());
    EXPECT_EQ(object->GraphStoreSize(), file_bytes.size());
    bool ok = false;
    RWCollectable* restored = testing_support::RestoreFromFileBytes(file_bytes, &ok);
    ASSERT_NE(restored, nullptr);
    EXPECT_TRUE(ok);
    EXPECT_EQ(restored->ClassId(), id);
    EXPECT_EQ(testing_support::SaveToFileBytes(restored), file_bytes);
    if (!ComparesByIdentity(id)) {
      EXPECT_TRUE(restored->IsEqual(object.get()));
    }
    DeleteGraph(restored);

    for (auto encoding : testing_support::kAllEncodings) {
      SCOPED_TRACE(testing_support::EncodingName(encoding));
      std::string bytes = testing_support::SaveToStreamBytes(object.get(), encoding);
      RWCollectable* back = testing_support::RestoreFromStreamBytes(bytes, encoding, &ok);
      ASSERT_NE(back, nullptr);
      EXPECT_TRUE(ok);
      EXPECT_EQ(back->ClassId(), id);
      EXPECT_EQ(testing_support::SaveToStreamBytes(back, encoding), bytes);
      if (!ComparesByIdentity(id)) {
        EXPECT_TRUE(back->IsEqual(object.get()));
      }
      DeleteGraph(back);
    }
  }
}

}  // namespace
