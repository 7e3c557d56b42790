// Checks shared by the output model's stored-form tests: a pinned file form
// with its stored size, round trips in every medium, and the corruption
// suite, all with the default error handler in force.
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "persist/persistent_object.h"
#include "tests/persist/media.h"
#include "tests/support/test_support.h"

namespace output_testing {

// `object` is written to a file as the hex bytes `golden`, its stored size
// is their length, and it comes back equal in content from every medium.
// (Writing a restored object again is checked by the walk over every
// class; here stored serial numbers of 0 give the restored objects new
// ones.)
inline void ExpectStoredForm(const MPersistentObject& object, const std::string& golden) {
  using model_testing::Medium;
  std::string file = model_testing::Save(&object, Medium::kFile);
  EXPECT_EQ(testing_support::Hex(file), golden);
  EXPECT_EQ(object.GraphStoreSize(), file.size());
  for (Medium medium : model_testing::kAllMedia) {
    SCOPED_TRACE(model_testing::MediumName(medium));
    std::string bytes = model_testing::Save(&object, medium);
    model_testing::Restored back = model_testing::Restore(bytes, medium);
    ASSERT_NE(back.object, nullptr);
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(back.object->ClassId(), object.ClassId());
    EXPECT_TRUE(back.object->IsEqual(&object));
    EXPECT_EQ(back.object->Key(), object.Key());
    FreeRestored(back.object);
  }
}

// Truncation at every byte and `rounds` seeded random changes per medium.
inline void ExpectDamageFailsCleanly(const MPersistentObject& object, std::uint32_t seed,
                                     int rounds = 120) {
  model_testing::ExpectEveryTruncationFails(object);
  std::mt19937 rng(seed);
  model_testing::RestoreRandomFlips(object, rng, rounds);
}

// Reads hex bytes back from a file: the object (freed by the caller with
// FreeRestored) and whether the file was left without error.
inline model_testing::Restored RestoreHex(
    const std::string& hex, model_testing::Medium medium = model_testing::Medium::kFile) {
  return model_testing::Restore(testing_support::Unhex(hex), medium);
}

}  // namespace output_testing
