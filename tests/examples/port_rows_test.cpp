// The port-file reader against what the row encoders write: the fuzz
// target's corpus (a hand-made input per encoder, and what fuzzing found).
#include <gtest/gtest.h>

#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(PortRows, TheReaderGivesBackWhatEachEncoderWrote) {
  EXPECT_EQ(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 43);
}
