#include "persist/codec/lzw_compressor.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/rw/memorystream.h"
#include "persist/codec/bit_stream.h"
#include "support/settings_sample.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::Hex;
using testing_support::Unhex;

std::string Pack(const std::string& input, int* result = nullptr) {
  GLZWCompressor lzw;
  std::istringstream in(input);
  std::ostringstream out;
  int ok = lzw.Compress(in, out);
  if (result) *result = ok;
  return out.str();
}

// Expands into a growing stream; `result` gets Expand's answer.
std::string Unpack(const std::string& packed, int* result) {
  GLZWCompressor lzw;
  std::istringstream in(packed);
  std::ostringstream out;
  *result = lzw.Expand(in, out);
  return out.str();
}

// Codes packed MSB first, each with its own width: the test's own packer,
// for streams the coder never writes.
std::string PackCodes(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& codes) {
  std::ostringstream out;
  GBitStream bits(&out);
  for (auto [code, width] : codes)
    bits.WriteCode(code, width);
  bits.Close();
  return out.str();
}

// Walks a packed stream the way the stored form says (widths follow 257 and
// 258) and reports, per run, how many codes other than 257 it held before
// its reset and the width it had reached.
struct PackedRun {
  std::uint32_t codes;
  std::uint32_t width;
};
std::vector<PackedRun> Runs(const std::string& packed) {
  std::istringstream in(packed);
  GBitStream bits(&in);
  std::vector<PackedRun> runs;
  PackedRun run{0, 9};
  std::uint32_t code;
  while (bits.ReadCode(code, run.width)) {
    if (code == 256) break;
    if (code == 257) {
      ++run.width;
    } else if (code == 258) {
      runs.push_back(run);
      run = PackedRun{0, 9};
    } else {
      ++run.codes;
    }
  }
  runs.push_back(run);
  return runs;
}

std::string RandomBytes(std::size_t n, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::string s(n, '\0');
  for (char& c : s)
    c = static_cast<char>(random() & 0xFF);
  return s;
}

// Golden packed forms, worked out by hand from the stored form: the coder's
// codes for the input, each written in 9 bits MSB first, the last byte
// padded with zero bits.
//   ""        -> 256 256: 100000000 100000000 -> 80 40 00
//   "AAA"     -> 'A'(65) starts; (A,A) is new: 259 defined, 65 written;
//                (A,A) is found as 259; the end writes 259 and 256:
//                001000001 100000011 100000000 -> 20 C0 E0 00
//   "ABABABA" -> 65 (259 = AB), 66 (260 = BA), 259 (261 = AB+A), then 261
//                for the final "ABA", then 256:
//                001000001 001000010 100000011 100000101 100000000
//                -> 20 90 A0 70 58 00
//   0..255    -> every pair (n, n+1) is new, so each byte but the last is
//                written as itself when the next arrives. Writing 252 made
//                the next code 512 > 511: 257 follows in 9 bits, then 253,
//                254, 255 (the end's prefix) and 256 in 10 bits. That is
//                254 codes of 9 bits and 4 of 10: 2326 bits, 291 bytes
//                (00 00 40 40 30 20 ...: 000000000 000000001 000000010 ...).
const char kAllBytesPacked[] =
    "00 00 40 40 30 20 14 0C 07 04 02 41 40 B0 60 34 1C 0F 08 04 42 41 30 A0"
    "54 2C 17 0C 06 43 41 B0 E0 74 3C 1F 10 08 44 42 31 20 94 4C 27 14 0A 45"
    "42 B1 60 B4 5C 2F 18 0C 46 43 31 A0 D4 6C 37 1C 0E 47 43 B1 E0 F4 7C 3F"
    "20 10 48 44 32 21 14 8C 47 24 12 49 44 B2 61 34 9C 4F 28 14 4A 45 32 A1"
    "54 AC 57 2C 16 4B 45 B2 E1 74 BC 5F 30 18 4C 46 33 21 94 CC 67 34 1A 4D"
    "46 B3 61 B4 DC 6F 38 1C 4E 47 33 A1 D4 EC 77 3C 1E 4F 47 B3 E1 F4 FC 7F"
    "40 20 50 48 34 22 15 0C 87 44 22 51 48 B4 62 35 1C 8F 48 24 52 49 34 A2"
    "55 2C 97 4C 26 53 49 B4 E2 75 3C 9F 50 28 54 4A 35 22 95 4C A7 54 2A 55"
    "4A B5 62 B5 5C AF 58 2C 56 4B 35 A2 D5 6C B7 5C 2E 57 4B B5 E2 F5 7C BF"
    "60 30 58 4C 36 23 15 8C C7 64 32 59 4C B6 63 35 9C CF 68 34 5A 4D 36 A3"
    "55 AC D7 6C 36 5B 4D B6 E3 75 BC DF 70 38 5C 4E 37 23 95 CC E7 74 3A 5D"
    "4E B7 63 B5 DC EF 78 3C 5E 4F 37 A3 D5 EC F7 7C 3E 5F 4F B7 E4 04 FD 3F"
    "8F F4 00";

TEST(LZWCompressor, GoldenVectorsPackAndUnpack) {
  std::string all_bytes;
  for (int b = 0; b < 256; ++b)
    all_bytes += static_cast<char>(b);
  struct Case {
    std::string input;
    std::string packed;
  } cases[] = {
      {"", "80 40 00"},
      {"AAA", "20 C0 E0 00"},
      {"ABABABA", "20 90 A0 70 58 00"},
      {all_bytes, kAllBytesPacked},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input.size());
    int result = 0;
    EXPECT_EQ(Hex(Pack(c.input, &result)), Hex(Unhex(c.packed)));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(Unpack(Unhex(c.packed), &result), c.input);
    EXPECT_EQ(result, 1);
  }
}

TEST(LZWCompressor, RoundTripsPastTheResetPoint) {
  // Random bytes define a code at nearly every byte, so 100 kB passes the
  // 32,767-code reset twice; text with recurring words builds long strings.
  std::string repetitive;
  for (std::uint32_t i = 0; repetitive.size() < 400000; ++i) {
    repetitive += "Tray " + std::to_string(i * 7919 % 100003) + " Letter A4 ";
  }
  for (const std::string& input : {RandomBytes(100000, 7), repetitive}) {
    int result = 0;
    std::string packed = Pack(input, &result);
    ASSERT_EQ(result, 1);
    std::vector<PackedRun> runs = Runs(packed);
    ASSERT_GE(runs.size(), 2u);
    for (std::size_t i = 0; i + 1 < runs.size(); ++i) {
      // 258 comes after the code that defined 32,767: 32,509 codes from
      // 259, written with widths 9 to 15.
      EXPECT_EQ(runs[i].codes, 32509u);
      EXPECT_EQ(runs[i].width, 15u);
    }
    EXPECT_EQ(Unpack(packed, &result), input);
    EXPECT_EQ(result, 1);
  }
}

TEST(LZWCompressor, MalformedInputsFail) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> past_the_limit = {{0, 9}};
  for (int i = 0; i < 32510; ++i)
    past_the_limit.push_back({0, 9});
  past_the_limit.push_back({256, 9});
  std::vector<std::pair<std::uint32_t, std::uint32_t>> too_wide = {{65, 9}};
  for (std::uint32_t w = 9; w <= 15; ++w)
    too_wide.push_back({257, w});
  too_wide.push_back({256, 16});
  struct Case {
    const char* what;
    std::string packed;
  } cases[] = {
      {"no input", ""},
      {"no end code", PackCodes({{65, 9}, {66, 9}})},
      {"undefined code", PackCodes({{65, 9}, {300, 9}, {256, 9}})},
      {"code beyond the one being defined", PackCodes({{65, 9}, {260, 9}, {256, 9}})},
      {"run starting with a string code", PackCodes({{259, 9}, {256, 9}})},
      {"run starting with widen", PackCodes({{257, 9}, {65, 10}, {256, 10}})},
      {"run after a reset starting with a string code",
       PackCodes({{65, 9}, {258, 9}, {259, 9}, {256, 9}})},
      {"widen past 15 bits", PackCodes(too_wide)},
      {"more than 32,767 codes without a reset", PackCodes(past_the_limit)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int result = -1;
    Unpack(c.packed, &result);
    EXPECT_EQ(result, 0);
  }
}

TEST(LZWCompressor, TruncationAndByteFlipsEndCleanly) {
  std::string sample = support::SettingsSample();
  std::string packed = Pack(sample);
  int result = 0;
  for (std::size_t n = 0; n < packed.size(); ++n) {
    Unpack(packed.substr(0, n), &result);
    ASSERT_EQ(result, 0) << "cut at " << n;
  }
  // Bounded run of seeded damage: whatever comes out, no overrun (ASan),
  // and into a bounded block nothing is written past its end.
  std::mt19937 random(42);
  std::vector<char> block(4096);
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = packed;
    int flips = 1 + static_cast<int>(random() % 4);
    for (int f = 0; f < flips; ++f) {
      damaged[random() % damaged.size()] ^= static_cast<char>(1 + random() % 255);
    }
    GLZWCompressor lzw;
    RWMemoryInputStream in(damaged.data(), damaged.size());
    RWMemoryOutputStream out(block.data(), block.size());
    result = lzw.Expand(in, out);
    ASSERT_TRUE(result == 0 || result == 1);
  }
}

TEST(LZWCompressor, WriteFailuresAnswerZero) {
  std::string packed = Pack("ABABABA");
  char block[3];
  GLZWCompressor lzw;
  RWMemoryInputStream in(packed.data(), packed.size());
  RWMemoryOutputStream out(block, sizeof block);
  EXPECT_EQ(lzw.Expand(in, out), 0);

  std::istringstream text("ABABABA");
  RWMemoryOutputStream small(block, 2);
  EXPECT_EQ(lzw.Compress(text, small), 0);
}

// The expander's tables are the thread's: an expansion started from inside
// another's output (a stream that expands what it takes) gets its own.
TEST(LZWCompressor, ANestedExpansionKeepsTheOuterOnesTables) {
  const std::string inner = RandomBytes(5000, 7), outer = RandomBytes(3000, 8);
  struct Expanding : std::stringbuf {
    std::string packed, got;
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      std::istringstream in(packed);
      std::ostringstream out;
      if (got.empty() && GLZWCompressor().Expand(in, out)) got = out.str();
      return std::stringbuf::xsputn(s, n);
    }
  } buffer;
  buffer.packed = Pack(inner);
  std::ostream out(&buffer);
  std::istringstream in(Pack(outer));
  EXPECT_EQ(GLZWCompressor().Expand(in, out), 1);
  EXPECT_TRUE(buffer.str() == outer && buffer.got == inner);
}

TEST(BitStream, PacksMostSignificantBitFirstWithoutAlignment) {
  std::ostringstream out;
  {
    GBitStream bits(&out);
    EXPECT_EQ(bits.WriteBit(1), 1);
    bits.WriteBit(0);
    bits.WriteBit(1);
    EXPECT_EQ(bits.Close(), 1);
  }
  EXPECT_EQ(Hex(out.str()), "A0");  // three bits in bits 7-5

  std::ostringstream codes;
  {
    GBitStream bits(&codes);
    bits.WriteCode(0x1FF, 9);    // 111111111
    bits.WriteCode(0x2, 3);      // 010
    bits.WriteCode(0x7FFF, 15);  // 15 ones
  }                              // the destructor closes
  EXPECT_EQ(Hex(codes.str()), "FF AF FF E0");

  std::istringstream in(codes.str());
  GBitStream reader(&in);
  std::uint32_t code = 0;
  ASSERT_EQ(reader.ReadCode(code, 9), 1);
  EXPECT_EQ(code, 0x1FFu);
  ASSERT_EQ(reader.ReadCode(code, 3), 1);
  EXPECT_EQ(code, 0x2u);
  ASSERT_EQ(reader.ReadCode(code, 15), 1);
  EXPECT_EQ(code, 0x7FFFu);
  EXPECT_EQ(reader.ReadCode(code, 9), 0);  // 5 padding bits, then the end
  EXPECT_EQ(reader.Good(), 0);

  GBitStream no_output(static_cast<std::ostream*>(nullptr));
  EXPECT_EQ(no_output.WriteBit(1), 0);
  GBitStream no_input(static_cast<std::istream*>(nullptr));
  EXPECT_EQ(no_input.ReadCode(code, 9), 0);
}

}  // namespace
