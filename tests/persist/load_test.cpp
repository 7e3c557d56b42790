#include "persist/load.h"

#include <gtest/gtest.h>

#include <memory>

#include "foundation/rw/btree.h"
#include "foundation/rw/factory.h"

namespace {

// The tests' main has loaded the subsystem, the foundation with it; loads
// nest, so an inner unload leaves the classes registered.
TEST(PersistLoad, LoadsTheFoundationAndNests) {
  PersistLoad();
  PersistUnload();
  std::unique_ptr<RWCollectable> tree(CreateByClassId(kRWBTreeId));
  EXPECT_NE(tree, nullptr);
}

}  // namespace
