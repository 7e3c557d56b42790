// Replays the flat settings record's fuzzing corpus as an ordinary test,
// with the default error handler in force.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(FlatSettingsCorpus, EveryInputEndsCleanly) {
  LLVMFuzzerInitialize(nullptr, nullptr);
  EXPECT_GT(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 10);
}

}  // namespace
