// A small collectable for collection and persistence tests: an integer value
// that decides equality, hashing and order, a stored form of 4 bytes, and a
// count of live objects so that tests can see deletions.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/rw/collect.h"

class RWCollectionBase;

class TestItem : public RWCollectable {
 public:
  static constexpr RWClassID kId = 0x0FA0;

  explicit TestItem(std::int32_t value = 0) : value_(value) { ++live_; }
  TestItem(const TestItem& other) : RWCollectable(other), value_(other.value_) { ++live_; }
  ~TestItem() override { --live_; }

  RWCollectable* CreateDefault() const override { return new TestItem; }
  RWCollectable* CreateCopy() const override { return new TestItem(*this); }
  RWClassID ClassId() const override { return kId; }
  RWSize StoredSize() const override { return 4; }
  int CompareTo(const RWCollectable* other) const override;
  std::uint32_t Hash() const override { return static_cast<std::uint32_t>(value_); }
  bool IsEqual(const RWCollectable* other) const override;
  void RestoreFromStream(RWVirtualInputStream& stream) override;
  void RestoreFromFile(RWFile& file) override;
  void SaveToStream(RWVirtualOutputStream& stream) const override;
  void SaveToFile(RWFile& file) const override;

  std::int32_t Value() const { return value_; }
  static int Live() { return live_; }

 private:
  std::int32_t value_;
  static inline int live_ = 0;
};

// Registers TestItem with the factory for one scope.
class TestItemRegistration {
 public:
  TestItemRegistration();
  ~TestItemRegistration();
};

// The values of a collection of TestItems, in the collection's own order.
std::vector<int> ItemValues(const RWCollectionBase& collection);
