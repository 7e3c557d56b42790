#include "tests/support/every_class.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

#include "foundation/rw/factory.h"
#include "tests/support/graph.h"

namespace testing_support {

namespace {

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

void CheckOneClass(RWClassID id, const RWCollectable* object) {
  std::string file_bytes = SaveToFileBytes(object);
  EXPECT_EQ(object->GraphStoreSize(), file_bytes.size());
  bool ok = false;
  RWCollectable* restored = RestoreFromFileBytes(file_bytes, &ok);
  ASSERT_NE(restored, nullptr);
  EXPECT_TRUE(ok);
  EXPECT_EQ(restored->ClassId(), id);
  EXPECT_EQ(SaveToFileBytes(restored), file_bytes);
  if (!ComparesByIdentity(id)) {
    EXPECT_TRUE(restored->IsEqual(object));
  }
  DeleteGraph(restored);

  for (auto encoding : kAllEncodings) {
    SCOPED_TRACE(EncodingName(encoding));
    std::string bytes = SaveToStreamBytes(object, encoding);
    RWCollectable* back = RestoreFromStreamBytes(bytes, encoding, &ok);
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(ok);
    EXPECT_EQ(back->ClassId(), id);
    EXPECT_EQ(SaveToStreamBytes(back, encoding), bytes);
    if (!ComparesByIdentity(id)) {
      EXPECT_TRUE(back->IsEqual(object));
    }
    DeleteGraph(back);
  }
}

}  // namespace

EveryClassResult CheckEveryRegisteredClass() {
  EveryClassResult result;
  std::vector<RWClassID> ids = RegisteredIds();
  EXPECT_FALSE(ids.empty());
  for (RWClassID id : ids) {
    SCOPED_TRACE(ClassIdToStringId(id).Data());
    std::unique_ptr<RWCollectable> object(CreateByClassId(id));
    if (!object) {
      result.skipped.push_back(id);
      continue;
    }
    EXPECT_EQ(object->ClassId(), id);
    CheckOneClass(id, object.get());
    result.checked.push_back(id);
  }
  return result;
}

}  // namespace testing_support
