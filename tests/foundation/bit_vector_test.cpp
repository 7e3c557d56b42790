#include "foundation/rw/bit_vector.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_support.h"

namespace {

using testing_support::ErrorCapture;
using testing_support::Hex;

std::string Bytes(const RWBitVector& v) {
  return Hex(std::string(reinterpret_cast<const char*>(v.Data()), v.ByteCount()));
}

RWBitVector FromHex(const char* hex, RWSize bits) {
  std::string bytes = testing_support::Unhex(hex);
  return RWBitVector(reinterpret_cast<const std::uint8_t*>(bytes.data()), bits);
}

TEST(BitVectorTest, SetResizeAndCount) {
  RWBitVector v(10, true);
  EXPECT_EQ(Bytes(v), "FF FF");
  EXPECT_EQ(v.CountSetBits(), 10u);
  EXPECT_TRUE(v.IsAll(true));
  EXPECT_FALSE(v.IsAll(false));

  // The spare bits 10 and 11 come in clear.
  v.Resize(12);
  EXPECT_EQ(Bytes(v), "FF 03");
  EXPECT_EQ(v.CountSetBits(), 10u);
  EXPECT_FALSE(v.IsAll(true));

  v.Resize(17);
  EXPECT_EQ(Bytes(v), "FF 03 00");
  v.SetBit(16);
  EXPECT_EQ(v.CountSetBits(), 11u);
  v.Resize(16);  // from a multiple of 8 up: nothing to clear
  v.SetAll(true);
  v.Resize(24);
  EXPECT_EQ(Bytes(v), "FF FF 00");
  v.Resize(3);
  EXPECT_EQ(Bytes(v), "FF");
  EXPECT_EQ(v.CountSetBits(), 3u);
  EXPECT_TRUE(v.IsAll(true));
  v.Resize(0);
  EXPECT_EQ(v.Data(), nullptr);
  EXPECT_EQ(v.CountSetBits(), 0u);
  EXPECT_TRUE(v.IsAll(true));
  EXPECT_TRUE(v.IsAll(false));
  v.Resize(9);
  EXPECT_EQ(Bytes(v), "00 00");
}

TEST(BitVectorTest, BitsAndConstruction) {
  RWBitVector v(12);
  EXPECT_EQ(Bytes(v), "00 00");
  v.SetBit(0);
  v.SetBit(9);
  v.SetBit(11);
  EXPECT_EQ(Bytes(v), "01 0A");
  EXPECT_TRUE(v.TestBit(9));
  EXPECT_FALSE(v.TestBit(10));
  v.ClearBit(9);
  EXPECT_EQ(Bytes(v), "01 08");
  EXPECT_EQ(Bytes(RWBitVector(12, false)), "00 00");
  EXPECT_EQ(Bytes(FromHex("A5 0F", 12)), "A5 0F");
  RWBitVector copy(v);
  RWBitVector assigned(3);
  assigned = v;
  assigned = assigned;
  EXPECT_EQ(Bytes(copy), "01 08");
  EXPECT_EQ(Bytes(assigned), "01 08");
  EXPECT_EQ(RWBitVector().Length(), 0u);
}

TEST(BitVectorTest, SpareBitsTakePartInNothing) {
  RWBitVector a = FromHex("0F F3", 10);  // bits 8, 9 set; spare bits set too
  RWBitVector b = FromHex("0F 03", 10);
  EXPECT_TRUE(a == b);
  EXPECT_EQ(a.Hash(), b.Hash());
  EXPECT_EQ(a.CountSetBits(), 6u);
  EXPECT_FALSE(a == FromHex("0F 02", 10));
  EXPECT_FALSE(a == FromHex("0F 03", 11));
  EXPECT_FALSE(FromHex("FF FC", 10).IsAll(false));
  EXPECT_TRUE(FromHex("00 FC", 10).IsAll(false));
  EXPECT_TRUE(FromHex("FF 03", 10).IsAll(true));
  EXPECT_TRUE(FromHex("FF FF", 16).IsAll(true));
  EXPECT_FALSE(FromHex("FF 7F", 16).IsAll(true));
  EXPECT_TRUE(RWBitVector() == RWBitVector());
}

TEST(BitVectorTest, Hash) {
  // h = bits; each whole byte: h = rotl(h, 5) ^ b; then the masked partial byte.
  EXPECT_EQ(RWBitVector(10, true).Hash(), 0x37E3u);
  EXPECT_EQ(RWBitVector(8, true).Hash(), (8u << 5) ^ 0xFFu);
  EXPECT_EQ(RWBitVector().Hash(), 0u);
  // 16 whole bytes: the rotations carry high bits round more than once.
  RWBitVector v = FromHex("01 02 03 04 05 06 07 08 F9 FA FB FC FD FE FF 80 55", 133);
  std::uint32_t h = 133;
  for (std::uint32_t b : {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xF9, 0xFA, 0xFB, 0xFC,
                          0xFD, 0xFE, 0xFF, 0x80})
    h = ((h << 5) | (h >> 27)) ^ b;
  h = ((h << 5) | (h >> 27)) ^ (0x55 & 0x1F);
  EXPECT_EQ(v.Hash(), h);
}

TEST(BitVectorTest, Logic) {
  RWBitVector a = FromHex("CC 03", 10);
  RWBitVector b = FromHex("AA 01", 10);
  EXPECT_EQ(Bytes(a & b), "88 01");
  EXPECT_EQ(Bytes(a | b), "EE 03");
  EXPECT_EQ(Bytes(a ^ b), "66 02");
  EXPECT_EQ(Bytes(~a), "33 FC");
  EXPECT_EQ((~a).CountSetBits(), 4u);
  EXPECT_TRUE((a ^ a).IsAll(false));
  EXPECT_TRUE((a | ~a).IsAll(true));
  a &= b;
  EXPECT_EQ(Bytes(a), "88 01");
  EXPECT_EQ(Bytes(b), "AA 01");
}

TEST(BitVectorTest, Errors) {
  ErrorCapture capture;
  RWBitVector a(8, true);
  RWBitVector b(9, true);
  RWBitVector c = a & b;
  EXPECT_EQ(capture.Last(), "[NEVECL] Unequal vector lengths: 8 versus 9");
  EXPECT_EQ(Bytes(c), "FF");
  // Only the bytes both hold are combined: no read beyond the shorter.
  RWBitVector d = b ^ a;
  EXPECT_EQ(capture.Last(), "[NEVECL] Unequal vector lengths: 9 versus 8");
  EXPECT_EQ(Bytes(d), "00 FF");
  b |= RWBitVector();
  EXPECT_EQ(capture.Count(), 3u);
  EXPECT_EQ(Bytes(b), "FF FF");

  RWBitVector v(10);
  EXPECT_FALSE(v.TestBit(10));
  EXPECT_EQ(capture.Last(),
            "[INDEXERR] Illegal Index (10) for collection or string with 10 elements");
  v.SetBit(16);  // would be the third byte
  EXPECT_EQ(capture.Last(),
            "[INDEXERR] Illegal Index (16) for collection or string with 10 elements");
  v.ClearBit(RW_NPOS);
  EXPECT_EQ(capture.Last(), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_EQ(capture.Count(), 6u);
  EXPECT_EQ(Bytes(v), "00 00");
  RWBitVector().SetBit(0);
  EXPECT_EQ(capture.Last(),
            "[INDEXERR] Illegal Index (0) for collection or string with 0 elements");
}

}  // namespace
