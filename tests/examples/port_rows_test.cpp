// The demonstration's port-file reader against what the row encoders
// write: its fuzz target (tests/fuzz/port_rows_fuzz.cpp) on seeded random
// inputs and on its corpus, one input for each encoder the port carries.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(PortRows, TheReaderGivesBackWhatEachEncoderWrote) {
  std::mt19937 random(63);
  for (int round = 0; round < 300; ++round) {
    std::string input(16 + random() % 200, '\0');
    for (char& c : input)
      c = char(random());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
  }
  EXPECT_EQ(testing_support::ReplayCorpus(DRV_FUZZ_CORPUS, &LLVMFuzzerTestOneInput), 5);
}

}  // namespace
