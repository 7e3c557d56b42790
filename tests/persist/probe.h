// Helpers of the model tests: a leaf model class that counts its
// destructions, freeing what a restore answered, and the keys of the
// children.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "persist/persistent_object.h"

class ProbeLeaf : public MPersistentObject {
 public:
  static constexpr RWClassID kId = 0x0FB0;

  ProbeLeaf() = default;
  explicit ProbeLeaf(std::uint32_t key) : MPersistentObject(key) {}
  ProbeLeaf(const ProbeLeaf& other) = default;
  ~ProbeLeaf() override { destroyed.fetch_add(1); }

  RWCollectable* CreateDefault() const override { return new ProbeLeaf; }
  RWCollectable* CreateCopy() const override { return new ProbeLeaf(*this); }
  RWClassID ClassId() const override { return kId; }

  static inline std::atomic<int> destroyed{0};
};

// Frees what a restore answered, when nobody holds it. Damaged data can
// leave the root held by an object that the restore refused; that one is
// left (and so is anything that is not a model object).
inline void FreeRestored(RWCollectable* object) {
  auto* model = dynamic_cast<MPersistentObject*>(object);
  if (model && model->ReferenceCount() < 0) delete model;
}

// The keys of a model object's direct children, in order.
inline std::vector<std::uint32_t> ChildKeys(MPersistentObject& object) {
  std::vector<std::uint32_t> keys;
  std::unique_ptr<MChildIterator> walk(object.NewChildIterator());
  while (walk->Next())
    keys.push_back(walk->Current()->Key());
  return keys;
}
