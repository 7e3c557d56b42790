#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "foundation/rw/binarystream.h"
#include "foundation/rw/filestream.h"
#include "foundation/rw/headeredbinarystream.h"
#include "foundation/rw/memorystream.h"
#include "foundation/rw/portablestream.h"
#include "tests/support/test_support.h"

using testing_support::Hex;
using testing_support::TempPath;

TEST(MemoryOutputStream, FillsTheBlockThenFails) {
  unsigned char block[10];
  std::memset(block, 0xAA, sizeof block);
  RWMemoryOutputStream os(block, 6);
  RWBinaryOutputStream out(os);
  out.PutInt(0x04030201);
  EXPECT_TRUE(out.Good());
  out.PutInt(0x08070605);
  EXPECT_TRUE(out.Fail());
  EXPECT_FALSE(out.Bad());
  EXPECT_EQ(os.BytesWritten(), 6u);
  // What fitted is stored; nothing past the block's capacity is touched.
  EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(block), 10)), "01 02 03 04 05 06 AA AA AA AA");
  out.PutChar('x');
  EXPECT_EQ(block[6], 0xAA);
}

TEST(MemoryOutputStream, HeaderedStreamStartsTheBlockWithTheHeader) {
  char block[16] = {};
  RWMemoryOutputStream os(block, sizeof block);
  RWHeaderedBinaryOutputStream out(os, kRWHostOrderRequest);
  out.PutUShort(0x0102);
  EXPECT_EQ(Hex(std::string(block, os.BytesWritten())), "65 73 01 00 02 04 04 02 04 02 01");
}

TEST(MemoryOutputStream, SeeksWithinTheCapacity) {
  char block[8] = {};
  RWMemoryOutputStream os(block, sizeof block);
  os.write("abcd", 4);
  EXPECT_EQ(os.tellp(), 4);
  os.seekp(1);
  os.write("Z", 1);
  EXPECT_EQ(os.tellp(), 2);
  EXPECT_EQ(os.BytesWritten(), 4u);  // the furthest write counts
  EXPECT_EQ(std::string(block, 4), "aZcd");
  os.seekp(0, std::ios_base::end);
  EXPECT_EQ(os.tellp(), 8);  // the end is the capacity
  EXPECT_TRUE(os.good());
  os.seekp(9);
  EXPECT_TRUE(os.fail());
}

TEST(MemoryInputStream, ReadsTheBlockAndFailsAtItsEnd) {
  const char block[] = {1, 0, 2, 0, 3};
  RWMemoryInputStream is(block, 4);
  RWBinaryInputStream in(is);
  std::uint16_t v[2] = {};
  in.GetUShorts(v, 2);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 2);
  EXPECT_TRUE(in.Good());
  std::uint8_t c = 0;
  in.GetUChar(c);  // the fifth byte is outside the stream
  EXPECT_TRUE(in.Eof() && in.Fail());
  EXPECT_EQ(c, 0);
}

TEST(MemoryInputStream, Seeks) {
  const char block[] = "0123456789";
  RWMemoryInputStream is(block, 10);
  is.seekg(0, std::ios_base::end);
  EXPECT_EQ(is.tellg(), 10);
  is.seekg(3);
  EXPECT_EQ(is.get(), '3');
  is.seekg(-2, std::ios_base::cur);
  EXPECT_EQ(is.get(), '2');
  is.seekg(11);
  EXPECT_TRUE(is.fail());
}

TEST(MemoryStreams, PortableRoundTripThroughABlock) {
  char block[4096];
  RWMemoryOutputStream os(block, sizeof block);
  {
    RWPortableOutputStream out(os);
    out.PutDouble(3.25).PutCString("block").PutShort(-9);
    EXPECT_TRUE(out.Good());
  }
  RWMemoryInputStream is(block, os.BytesWritten());
  RWPortableInputStream in(is);
  double d = 0;
  char text[8];
  std::int16_t s = 0;
  in.GetDouble(d).GetString(text, sizeof text).GetShort(s);
  EXPECT_FALSE(in.Fail());
  EXPECT_EQ(d, 3.25);
  EXPECT_STREQ(text, "block");
  EXPECT_EQ(s, -9);
}

TEST(OutputStringStream, WritesAKeyInDecimalAndTerminatesIt) {
  char buffer[100];
  std::memset(buffer, 'x', sizeof buffer);
  RWOutputStringStream os(buffer, sizeof buffer);
  os << 4294967295u;
  EXPECT_TRUE(os.good());
  EXPECT_STREQ(buffer, "4294967295");
  EXPECT_EQ(os.Length(), 10u);
  EXPECT_EQ(os.Str(), buffer);
}

TEST(OutputStringStream, KeepsRoomForTheTerminator) {
  char buffer[104];
  std::memset(buffer, '#', sizeof buffer);
  RWOutputStringStream os(buffer, 100);
  os << std::string(150, 'k');
  EXPECT_TRUE(os.bad());
  EXPECT_EQ(os.Length(), 99u);
  EXPECT_EQ(std::string(buffer), std::string(99, 'k'));
  EXPECT_EQ(std::string(buffer + 100, 4), "####");
}

TEST(FileStreams, BinaryRoundTripThroughAFile) {
  TempPath path;
  {
    RWFileOutputStream os(path.c_str());
    ASSERT_TRUE(os.IsOpen());
    RWHeaderedBinaryOutputStream out(os);
    out.PutLong(-77).PutCString("file");
    out.Flush();
    EXPECT_TRUE(out.Good());
  }
  EXPECT_EQ(Hex(testing_support::ReadAll(path.str())),
            "65 73 01 00 02 04 04 02 04 B3 FF FF FF 04 00 00 00 66 69 6C 65");
  RWFileInputStream is(path.c_str());
  ASSERT_TRUE(is.IsOpen());
  RWHeaderedBinaryInputStream in(is);
  std::int32_t v = 0;
  char text[8];
  in.GetLong(v).GetString(text, sizeof text);
  EXPECT_FALSE(in.Fail());
  EXPECT_EQ(v, -77);
  EXPECT_STREQ(text, "file");
}

TEST(FileStreams, MissingFileFailsEveryRead) {
  TempPath path;
  RWFileInputStream is(path.c_str());
  EXPECT_FALSE(is.IsOpen());
  RWBinaryInputStream in(is);
  EXPECT_TRUE(in.Fail());
  std::uint32_t v = 5;
  in.GetUInt(v);
  EXPECT_EQ(v, 5u);
}
