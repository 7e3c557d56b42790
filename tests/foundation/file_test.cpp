#include "foundation/rw/file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace {

using testing_support::Hex;
using testing_support::ReadAll;
using testing_support::TempPath;
using testing_support::WriteAll;

TEST(RWFile, OpensWithoutModeByCreatingOrUpdating) {
  TempPath path;
  {
    RWFile file(path.c_str());
    ASSERT_TRUE(file.IsValid());
    EXPECT_STREQ(file.Mode(), "wb+x");  // did not exist: created where none is
    EXPECT_TRUE(file.IsEmpty());
    EXPECT_TRUE(file.WriteULong(7));
  }
  RWFile again(path.c_str());
  EXPECT_STREQ(again.Mode(), "rb+");
  std::uint32_t v = 0;
  EXPECT_TRUE(again.ReadULong(v));
  EXPECT_EQ(v, 7u);
  EXPECT_TRUE(again.Exists());
  EXPECT_TRUE(RWFile::Exists(path.c_str()));
  EXPECT_FALSE(RWFile::Exists("/nonexistent/dir/file"));
  // A dangling link neither opens nor is made: nothing is made through it.
  TempPath link("link"), gone("gone");
  std::filesystem::create_symlink(gone.str(), link.str());
  EXPECT_FALSE(RWFile(link.c_str()).IsValid());
  EXPECT_FALSE(std::filesystem::exists(gone.str()));
}

TEST(RWFile, FailedOpenMakesEveryOperationFail) {
  RWFile file("/nonexistent/dir/file", "rb");
  EXPECT_FALSE(file.IsValid());
  std::uint32_t v;
  EXPECT_FALSE(file.ReadULong(v));
  EXPECT_FALSE(file.WriteULong(1));
  EXPECT_FALSE(file.SeekTo(0));
  EXPECT_FALSE(file.Flush());
  EXPECT_TRUE(file.Error());
  char buffer[4];
  EXPECT_FALSE(file.ReadString(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
}

TEST(RWFile, ItemsHaveFixedLittleEndianWidths) {
  TempPath path;
  {
    RWFile file(path.c_str(), "wb");
    EXPECT_TRUE(file.WriteChar('A'));
    EXPECT_TRUE(file.WriteShort(-2));
    EXPECT_TRUE(file.WriteInt(0x01020304));
    EXPECT_TRUE(file.WriteLong(-1));
    EXPECT_TRUE(file.WriteUChar(0xFE));
    EXPECT_TRUE(file.WriteUShort(0xBEEF));
    EXPECT_TRUE(file.WriteUInt(5));
    EXPECT_TRUE(file.WriteULong(0x80000000u));
    EXPECT_TRUE(file.WriteFloat(1.0f));
    EXPECT_TRUE(file.WriteDouble(-2.0));
    const std::uint16_t shorts[] = {1, 0x0203};
    EXPECT_TRUE(file.WriteUShort(shorts, 2));
    EXPECT_TRUE(file.WriteWChar(u"\u00e9", 1));
  }
  EXPECT_EQ(Hex(ReadAll(path.str())),
            "41 FE FF 04 03 02 01 FF FF FF FF FE EF BE 05 00 00 00 00 00 00 80 "
            "00 00 80 3F 00 00 00 00 00 00 00 C0 01 00 03 02 E9 00");

  RWFile file(path.c_str(), "rb");
  char c;
  std::int16_t s;
  std::int32_t i, l;
  std::uint8_t uc;
  std::uint16_t us;
  std::uint32_t ui, ul;
  float f;
  double d;
  ASSERT_TRUE(file.ReadChar(c) && file.ReadShort(s) && file.ReadInt(i) && file.ReadLong(l) &&
              file.ReadUChar(uc) && file.ReadUShort(us) && file.ReadUInt(ui) &&
              file.ReadULong(ul) && file.ReadFloat(f) && file.ReadDouble(d));
  EXPECT_EQ(c, 'A');
  EXPECT_EQ(s, -2);
  EXPECT_EQ(i, 0x01020304);
  EXPECT_EQ(l, -1);
  EXPECT_EQ(uc, 0xFE);
  EXPECT_EQ(us, 0xBEEF);
  EXPECT_EQ(ui, 5u);
  EXPECT_EQ(ul, 0x80000000u);
  EXPECT_EQ(f, 1.0f);
  EXPECT_EQ(d, -2.0);
  std::uint16_t shorts[2];
  ASSERT_TRUE(file.ReadUShort(shorts, 2));
  EXPECT_EQ(shorts[1], 0x0203);
  char16_t wide;
  ASSERT_TRUE(file.ReadWChar(&wide, 1));
  EXPECT_EQ(wide, u'\u00e9');
  EXPECT_FALSE(file.Eof());
  // At the end: the read fails and the end-of-file flag is set.
  EXPECT_FALSE(file.ReadULong(ul));
  EXPECT_TRUE(file.Eof());
  file.ClearError();
  EXPECT_FALSE(file.Eof());
}

TEST(RWFile, ArrayReadReportsAShortRead) {
  TempPath path;
  WriteAll(path.str(), std::string("\x01\x00\x02", 3));
  RWFile file(path.c_str(), "rb");
  std::uint16_t v[2];
  EXPECT_FALSE(file.ReadUShort(v, 2));
  EXPECT_TRUE(file.Eof());
}

TEST(RWFile, StringsKeepTheirTerminatorAndReadsAreBounded) {
  TempPath path;
  {
    RWFile file(path.c_str(), "wb");
    EXPECT_TRUE(file.WriteString(""));
    EXPECT_TRUE(file.WriteString("hello"));
    EXPECT_TRUE(file.WriteString("after"));
    EXPECT_TRUE(file.WriteChar("tail", 4));  // no terminator: ends at end of file
  }
  EXPECT_EQ(Hex(ReadAll(path.str())), "00 68 65 6C 6C 6F 00 61 66 74 65 72 00 74 61 69 6C");
  RWFile file(path.c_str(), "rb");
  char buffer[4];
  EXPECT_TRUE(file.ReadString(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "");
  // Too long for the buffer: cut, reported, and the rest of it skipped.
  EXPECT_FALSE(file.ReadString(buffer, sizeof buffer));
  EXPECT_STREQ(buffer, "hel");
  char big[16];
  EXPECT_TRUE(file.ReadString(big, sizeof big));
  EXPECT_STREQ(big, "after");
  EXPECT_TRUE(file.ReadString(big, sizeof big));
  EXPECT_STREQ(big, "tail");
  EXPECT_TRUE(file.Eof());
}

TEST(RWFile, OffsetsSeeksAndRemainingBytes) {
  TempPath path;
  RWFile file(path.c_str());
  const char bytes[] = "0123456789";
  ASSERT_TRUE(file.WriteChar(bytes, 10));
  EXPECT_EQ(file.CurrentOffset(), 10);
  EXPECT_EQ(file.BytesRemaining(), 0u);
  ASSERT_TRUE(file.SeekTo(3));
  EXPECT_EQ(file.BytesRemaining(), 7u);
  char c;
  ASSERT_TRUE(file.ReadChar(c));
  EXPECT_EQ(c, '3');
  EXPECT_FALSE(file.SeekTo(-1));
  ASSERT_TRUE(file.SeekToEnd());
  EXPECT_EQ(file.CurrentOffset(), 10);
  EXPECT_TRUE(file.Flush());
}

TEST(RWFile, EraseLeavesAnEmptyOpenFileOfTheSameName) {
  TempPath path;
  RWFile file(path.c_str());
  ASSERT_TRUE(file.WriteULong(1));
  EXPECT_FALSE(file.IsEmpty());
  EXPECT_TRUE(file.Erase());
  EXPECT_TRUE(file.IsValid());
  EXPECT_STREQ(file.Mode(), "wb+x");
  EXPECT_TRUE(file.IsEmpty());
  EXPECT_TRUE(file.WriteULong(2));
  EXPECT_TRUE(RWFile::Exists(path.c_str()));
}

TEST(RWFile, MarkedErrorStaysUntilCleared) {
  TempPath path;
  RWFile file(path.c_str());
  EXPECT_FALSE(file.Error());
  file.MarkError();
  EXPECT_TRUE(file.Error());
  file.ClearError();
  EXPECT_FALSE(file.Error());
}

TEST(RWFile, ReadNewItemHandsOutAnAllocation) {
  TempPath path;
  RWFile file(path.c_str());
  ASSERT_TRUE(file.WriteShort(-5));
  ASSERT_TRUE(file.SeekTo(0));
  auto item = file.ReadNewItem<std::int16_t>();
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(*item, -5);
  EXPECT_EQ(file.ReadNewItem<std::int16_t>(), nullptr);
}

TEST(RWFile, AFileOverMemoryMovesItsItemsWithoutADescriptor) {
  // Two items written into 7 bytes (one spare for the runtime's NUL), read
  // back; a third item does not fit, and positioned transfers fail.
  unsigned char bytes[7] = {};
  auto out = RWFile::OverMemory(bytes, sizeof bytes, "wb");
  ASSERT_TRUE(out);
  EXPECT_TRUE(out->WriteULong(0x04030201) && out->WriteUShort(0x0605) && out->Flush());
  EXPECT_EQ(out->CurrentOffset(), 6);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 6), "\x01\x02\x03\x04\x05\x06");
  out->WriteUShort(0x0807);
  EXPECT_FALSE(out->Flush());
  std::uint8_t byte = 1;
  EXPECT_FALSE(out->WriteAt(0, &byte, 1));

  auto in = RWFile::OverMemory(bytes, 6, "rb");
  ASSERT_TRUE(in);
  std::uint32_t word = 0;
  EXPECT_TRUE(in->ReadULong(word));
  EXPECT_EQ(word, 0x04030201u);
  EXPECT_EQ(in->BytesRemaining(), 2u);
  EXPECT_FALSE(in->ReadULong(word));
  EXPECT_TRUE(in->Eof());
  EXPECT_FALSE(RWFile::OverMemory(bytes, 0, "rb"));
}

TEST(RWFile, LongModesAreKeptToEightCharacters) {
  TempPath path;
  RWFile file(path.c_str(), "wb+xxxxxxxx");
  EXPECT_EQ(std::strlen(file.Mode()), 8u);
}

}  // namespace

namespace {

// One step of a script run on two files: positioned transfers on one, their
// seek-and-transfer equivalents on the other.
struct Step {
  enum Kind { kReadAt, kWriteAt, kRead, kWrite, kSeek, kFlush, kClear } kind;
  std::uint32_t offset, n;
};

// What a step leaves that a caller can see.
std::string Outcome(RWFile& file, const Step& step, bool positioned) {
  std::uint8_t bytes[16] = {};
  const std::uint8_t data[16] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7,
                                 0xA8, 0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF};
  bool ok = false;
  switch (step.kind) {
    case Step::kReadAt:
      ok = positioned ? file.ReadAt(step.offset, bytes, step.n)
                      : file.SeekTo(step.offset) && file.ReadUChar(bytes, step.n);
      break;
    case Step::kWriteAt:
      ok = positioned ? file.WriteAt(step.offset, data, step.n)
                      : file.SeekTo(step.offset) && file.WriteUChar(data, step.n);
      break;
    case Step::kRead:
      ok = file.ReadUChar(bytes, step.n);
      break;
    case Step::kWrite:
      ok = file.WriteUChar(data + 8, step.n);
      break;
    case Step::kSeek:
      ok = file.SeekTo(step.offset);
      break;
    case Step::kFlush:
      ok = file.Flush();
      break;
    case Step::kClear:
      file.ClearError();
      ok = true;
      break;
  }
  return std::to_string(ok) + " " + Hex(std::string(bytes, bytes + step.n)) + " at " +
         std::to_string(file.CurrentOffset()) + " eof " + std::to_string(file.Eof()) + " error " +
         std::to_string(file.Error());
}

}  // namespace

// ReadAt and WriteAt leave what a seek and a transfer would: the bytes, the
// offset, the end-of-file and error indicators, mixed in any order with the
// buffered item transfers (whose read-ahead and pending writes must never
// show stale bytes to the other side).
TEST(RWFile, PositionedTransfersActAsASeekAndATransfer) {
  for (std::uint32_t seed = 0; seed < 60; ++seed) {
    SCOPED_TRACE(seed);
    TempPath a, b;
    const std::string start = "0123456789abcdefghij";
    WriteAll(a.str(), start);
    WriteAll(b.str(), start);
    const char* mode = seed % 10 == 9 ? "rb" : "rb+";
    RWFile positioned(a.c_str(), mode), seeking(b.c_str(), mode);
    std::mt19937 rng(seed);
    for (int i = 0; i < 120; ++i) {
      Step step{static_cast<Step::Kind>(rng() % 7), static_cast<std::uint32_t>(rng() % 40),
                static_cast<std::uint32_t>(rng() % 9)};
      ASSERT_EQ(Outcome(positioned, step, true), Outcome(seeking, step, false)) << i;
    }
    positioned.Flush();
    seeking.Flush();
    EXPECT_EQ(ReadAll(a.str()), ReadAll(b.str()));
  }
}

namespace {

// Records the writes a file is told of.
class WatchedFile : public RWFile {
 public:
  using RWFile::RWFile;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> told;

 protected:
  void Overwritten(std::uint64_t offset, std::uint64_t length) override {
    told.emplace_back(offset, length);
  }
};

}  // namespace

TEST(RWFile, EveryWriteIsToldWithItsPlaceWhenKnown) {
  TempPath path;
  WatchedFile file(path.c_str());
  const std::uint8_t bytes[6] = {};
  ASSERT_TRUE(file.WriteAt(10, bytes, 6));
  ASSERT_TRUE(file.WriteULong(1));
  ASSERT_TRUE(file.WriteString("ab"));
  ASSERT_TRUE(file.Erase());
  std::vector<std::pair<std::uint64_t, std::uint64_t>> expected = {
      {10, 6},
      {RWFile::kAnywhere, 4},
      {RWFile::kAnywhere, 3},
      {RWFile::kAnywhere, RWFile::kAnywhere}};
  EXPECT_EQ(file.told, expected);
}
