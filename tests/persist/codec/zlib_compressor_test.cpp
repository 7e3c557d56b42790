#include "persist/codec/zlib_compressor.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/rw/memorystream.h"
#include "support/settings_sample.h"

namespace {

// zlib's own packing of `data`, for inputs the compressor refuses.
std::string Deflate(const std::string& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), 6);
  out.resize(n);
  return out;
}

// Runs Expand from `input` into a block of `room` bytes filled with 0xEE;
// answers the block and sets `result` and the output position.
std::string ExpandInto(const std::string& input, std::size_t room, int& result,
                       std::streamoff& position) {
  std::string block(room, '\xEE');
  RWMemoryInputStream in(input.data(), input.size());
  RWMemoryOutputStream out(block.data(), block.size());
  result = GZlibCompressor().Expand(in, out);
  position = out.tellp();
  return block;
}

TEST(ZlibCompressor, SettingsSampleFitsThePrivatePartAndComesBack) {
  // The device mode keeps at most 902 compressed bytes and expands into a
  // 4096-byte block.
  std::string sample = support::SettingsSample();
  ASSERT_GT(sample.size(), 2000u);  // some 400 attributes
  ASSERT_LT(sample.size(), 4096u);
  char packed[902];
  RWMemoryInputStream in(sample.data(), sample.size());
  RWMemoryOutputStream out(packed, sizeof packed);
  ASSERT_EQ(GZlibCompressor().Compress(in, out), 1);
  std::streamoff packed_length = out.tellp();
  ASSERT_GT(packed_length, 0);
  RecordProperty("sample_bytes", static_cast<int>(sample.size()));
  RecordProperty("compressed_bytes", static_cast<int>(packed_length));
  std::printf("settings sample: %zu bytes, compressed %lld\n", sample.size(),
              static_cast<long long>(packed_length));

  int result = 0;
  std::streamoff position = 0;
  std::string block = ExpandInto(std::string(packed, static_cast<std::size_t>(packed_length)), 4096,
                                 result, position);
  ASSERT_EQ(result, 1);
  ASSERT_EQ(position, static_cast<std::streamoff>(sample.size()));
  EXPECT_EQ(block.substr(0, sample.size()), sample);
}

TEST(ZlibCompressor, CompressFailuresWriteNothing) {
  std::string sample = support::SettingsSample();
  std::string random_bytes(1000, '\0');
  std::mt19937 random(3);
  for (char& c : random_bytes)
    c = static_cast<char>(random());
  // 200 random bytes and the run of zeros after which zlib packs them to
  // exactly their own length.
  std::string no_shorter = random_bytes.substr(0, 200);
  while (Deflate(no_shorter).size() != no_shorter.size())
    no_shorter += '\0';
  struct Case {
    const char* what;
    std::string input;
    std::size_t room;
  } cases[] = {
      {"less room than the compressed bytes", sample, 100},
      {"input that does not shrink", random_bytes, 4096},
      {"empty input", "", 4096},
      {"a result exactly as long as the input", no_shorter, 4096},
      {"a block of no bytes", sample, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string block(c.room, '\xEE');
    RWMemoryInputStream in(c.input.data(), c.input.size());
    RWMemoryOutputStream out(block.data(), block.size());
    EXPECT_EQ(GZlibCompressor().Compress(in, out), 0);
    EXPECT_FALSE(out.fail());
    EXPECT_EQ(out.tellp(), std::streampos(0));
    EXPECT_EQ(block, std::string(c.room, '\xEE'));
  }
}

TEST(ZlibCompressor, ExpandResultsAtTheLimitsAndOnBadData) {
  std::string at_limit(GZlibCompressor::kExpansionLimit, 'x');
  std::string over_limit(GZlibCompressor::kExpansionLimit + 1, 'x');
  std::string sample = Deflate(support::SettingsSample());
  std::string damaged = sample;
  damaged[damaged.size() / 2] ^= 0x55;
  struct Case {
    const char* what;
    std::string input;
    std::size_t room;
    int result;
  } cases[] = {
      {"16,000 bytes", Deflate(at_limit), 16000, 1},
      {"16,001 bytes", Deflate(over_limit), 20000, 0},
      {"a result larger than the block", Deflate(at_limit), 4096, 0},
      {"empty input", "", 4096, 0},
      {"not zlib data", "settings", 4096, 0},
      {"damaged data", damaged, 4096, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int result = -1;
    std::streamoff position = -1;
    std::string block = ExpandInto(c.input, c.room, result, position);
    EXPECT_EQ(result, c.result);
    if (c.result == 0) {
      EXPECT_EQ(position, 0);
      EXPECT_EQ(block, std::string(c.room, '\xEE'));
    }
  }
  // Every cut of a valid stream fails, writing nothing.
  for (std::size_t n = 0; n < sample.size(); ++n) {
    int result = -1;
    std::streamoff position = -1;
    ExpandInto(sample.substr(0, n), 4096, result, position);
    ASSERT_EQ(result, 0) << "cut at " << n;
    ASSERT_EQ(position, 0);
  }
}

TEST(ZlibCompressor, GrowingStreamsTakeTheWholeResult) {
  std::string sample = support::SettingsSample();
  std::istringstream in(sample);
  std::ostringstream packed;
  ASSERT_EQ(GZlibCompressor().Compress(in, packed), 1);
  std::istringstream packed_in(packed.str());
  std::ostringstream expanded;
  ASSERT_EQ(GZlibCompressor().Expand(packed_in, expanded), 1);
  EXPECT_EQ(expanded.str(), sample);
}

TEST(ZlibCompressor, EachRecordPacksAsANewStreamWouldOnEveryThread) {
  // Longer records before shorter ones, and failed calls between them (too
  // little room, bytes that do not shrink, a stream cut short), leave
  // nothing in the thread's states: each record packs to zlib's one-call
  // bytes at level 6 and comes back whole.
  const std::string sample = support::SettingsSample();
  const std::string cut = Deflate(sample).substr(0, 40);
  auto run = [&](unsigned seed, int* faults) {
    std::mt19937 random(seed);
    for (int round = 0; round < 30; ++round) {
      std::string record = sample.substr(random() % 200, 300 + random() % 1800);
      const bool fails = round % 3 == 1;
      if (fails && round % 2) std::generate(record.begin(), record.end(), random);
      std::string packed(fails && !(round % 2) ? 20 : 4096, '\0');
      RWMemoryInputStream in(record.data(), record.size());
      RWMemoryOutputStream out(packed.data(), packed.size());
      const int result = GZlibCompressor().Compress(in, out);
      packed.resize(static_cast<std::size_t>(out.tellp()));
      int expanded = 0;
      std::streamoff position = 0;
      std::string block = ExpandInto(fails ? cut : packed, 4096, expanded, position);
      *faults += fails ? result != 0 || expanded != 0
                       : result != 1 || packed != Deflate(record) || expanded != 1 ||
                             block.substr(0, record.size()) != record;
    }
  };
  std::vector<int> faults(5, 0);
  run(0, &faults[0]);
  std::vector<std::thread> threads;
  for (unsigned i = 1; i < 5; ++i)
    threads.emplace_back(run, i, &faults[i]);
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(faults, std::vector<int>(5, 0));
}

TEST(ZlibCompressor, SeededByteFlipsEndCleanly) {
  std::string packed = Deflate(support::SettingsSample());
  std::mt19937 random(11);
  for (int round = 0; round < 2000; ++round) {
    std::string damaged = packed;
    damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
    int result = -1;
    std::streamoff position = -1;
    ExpandInto(damaged, 4096, result, position);
    ASSERT_TRUE(result == 0 || result == 1);
    if (result == 0) {
      ASSERT_EQ(position, 0);
    }
  }
}

}  // namespace

// The block form answers what the stream form writes, byte for byte, and
// refuses what it refuses: a result that does not shrink or fit, no input,
// bad data, too much output.
TEST(ZlibCompressor, BlockFormsAnswerAsTheStreamForms) {
  const std::string sample = support::SettingsSample();
  const std::string packed = Deflate(sample);
  const struct {
    std::string input;
    std::size_t room;
  } packs[] = {{sample, 902}, {sample, packed.size()},     {sample, packed.size() - 1}, {"ab", 64},
               {"", 64},      {std::string(3000, 'x'), 64}};
  for (const auto& [input, room] : packs) {
    SCOPED_TRACE(room);
    std::string stream_block(room, '\0');
    RWMemoryInputStream in(input.data(), input.size());
    RWMemoryOutputStream out(stream_block.data(), stream_block.size());
    const bool stream_ok = GZlibCompressor().Compress(in, out) == 1;
    std::string block(room, '\0');
    const std::size_t length =
        GZlibCompressor().Compress(input.data(), input.size(), block.data(), block.size());
    ASSERT_EQ(length != 0, stream_ok);
    if (stream_ok) {
      EXPECT_EQ(block.substr(0, length),
                stream_block.substr(0, static_cast<std::size_t>(out.tellp())));
    }
  }
  const struct {
    std::string input;
    std::size_t room;
    std::size_t expected;  // 0: refused
  } expands[] = {{packed, 4096, sample.size()},
                 {packed, sample.size(), sample.size()},
                 {packed, sample.size() - 1, 0},
                 {packed.substr(0, packed.size() - 1), 4096, 0},
                 {"", 4096, 0},
                 {Deflate(std::string(GZlibCompressor::kExpansionLimit + 1, 'y')), 20000, 0}};
  for (const auto& [input, room, expected] : expands) {
    SCOPED_TRACE(room);
    std::string block(room, '\0');
    const std::size_t length =
        GZlibCompressor().Expand(input.data(), input.size(), block.data(), block.size());
    ASSERT_EQ(length, expected);
    if (expected) {
      EXPECT_EQ(block.substr(0, length), sample);
    }
  }
}
