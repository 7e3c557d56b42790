// For every class registered with the factory: a default object's stored
// size is exactly what its save writes, and save then restore gives back an
// equal object, on RWFile and in each stream encoding.
#include <gtest/gtest.h>

#include "tests/support/every_class.h"

namespace {

TEST(EveryRegisteredClass, StoredSizeMatchesAndRoundTrips) {
  testing_support::EveryClassResult result = testing_support::CheckEveryRegisteredClass();
  EXPECT_FALSE(result.checked.empty());
  EXPECT_TRUE(result.skipped.empty());
}

}  // namespace
