// Replays the compressors' fuzzing corpus as an ordinary test, with the
// default error handler in force.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

TEST(CompressorCorpus, EveryInputEndsCleanly) {
  LLVMFuzzerInitialize(nullptr, nullptr);
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(DRV_COMPRESSOR_CORPUS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++inputs;
  }
  EXPECT_GT(inputs, 10);
}

}  // namespace
