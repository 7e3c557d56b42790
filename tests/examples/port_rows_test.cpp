// The port-file reader against what the row encoders write: the fuzz
// target on seeded inputs and on its corpus (one input per encoder).
#include <gtest/gtest.h>

#include <random>

#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

TEST(PortRows, TheReaderGivesBackWhatEachEncoderWrote) {
  std::mt19937 random(63);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> input(16 + random() % 200);
    for (std::uint8_t& byte : input)
      byte = std::uint8_t(random());
    LLVMFuzzerTestOneInput(input.data(), input.size());
  }
  EXPECT_EQ(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 5);
}
