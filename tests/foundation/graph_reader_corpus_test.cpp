// Replays the graph reader's fuzzing corpus as an ordinary test.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "foundation/rw/error.h"
#include "tests/support/test_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(GraphReaderCorpus, EveryInputEndsCleanly) {
  testing_support::ErrorCapture restores_the_handler;
  LLVMFuzzerInitialize(nullptr, nullptr);
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DRV_GRAPH_READER_CORPUS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    testing_support::LeakCheckDisabler refused_members_are_not_freed;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++inputs;
  }
  EXPECT_GT(inputs, 10);
}

}  // namespace
