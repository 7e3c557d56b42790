#include "tests/support/test_collectable.h"

#include "foundation/rw/collection.h"
#include "foundation/rw/factory.h"
#include "foundation/rw/file.h"
#include "foundation/rw/vstream.h"

int TestItem::CompareTo(const RWCollectable* other) const {
  auto* item = dynamic_cast<const TestItem*>(other);
  if (!item) return RWCollectable::CompareTo(other);
  return value_ < item->value_ ? -1 : (value_ > item->value_ ? 1 : 0);
}

bool TestItem::IsEqual(const RWCollectable* other) const {
  auto* item = dynamic_cast<const TestItem*>(other);
  return item && item->value_ == value_;
}

void TestItem::RestoreFromFile(RWFile& file) {
  file.ReadInt(value_);
}

void TestItem::SaveToFile(RWFile& file) const {
  file.WriteInt(value_);
}

TestItemRegistration::TestItemRegistration() {
  AddClassToFactory([]() -> RWCollectable* { return new TestItem; }, TestItem::kId, "TestItem");
}

TestItemRegistration::~TestItemRegistration() {
  RemoveClassIdFromFactory(TestItem::kId);
  RemoveStringIdFromFactory("TestItem");
}

void TestItem::RestoreFromStream(RWVirtualInputStream& stream) {
  stream.GetInt(value_);
}

void TestItem::SaveToStream(RWVirtualOutputStream& stream) const {
  stream.PutInt(value_);
}

std::vector<int> ItemValues(const RWCollectionBase& collection) {
  std::vector<int> out;
  collection.ForEach(
      [](RWCollectable* m, void* d) {
        static_cast<std::vector<int>*>(d)->push_back(static_cast<TestItem*>(m)->Value());
      },
      &out);
  return out;
}
