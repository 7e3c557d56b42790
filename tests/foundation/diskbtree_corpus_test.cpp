// Replays the disk tree's fuzzing corpus as an ordinary test, with the
// default error handler in force.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "foundation/rw/registration.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// The target's initialisation loads the foundation once more; the test
// unloads it again, so that the tests after it in the program see the
// program's own load alone.
TEST(DiskBTreeCorpus, EveryInputEndsCleanly) {
  LLVMFuzzerInitialize(nullptr, nullptr);
  EXPECT_GE(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 8);
  FoundationUnload();
}

}  // namespace
