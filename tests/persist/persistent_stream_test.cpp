#include "persist/persistent_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

#include "persist/string_conversion.h"
#include "platform/host/files.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::Hex;
using testing_support::Unhex;

RWWString Wide(const std::string& utf8) {
  return RWWString::FromMultiByte(utf8.c_str());
}

TEST(PersistentStream, EachSelectorWritesItsEncodingAndReadsItBack) {
  // 0x01020304 through each encoding, by hand from the stream layouts:
  // portable text is the decimal number and a line feed; binary its bytes
  // little-endian; the headered form puts 'e' 's', version 1, byte order 0,
  // and the sizes 2 4 4 2 4 in front.
  struct Case {
    std::int32_t selector;
    const char* stored;  // null: no encoding
  } cases[] = {
      {0, "31 36 39 30 39 30 36 30 0A"},
      {1, "04 03 02 01"},
      {2, "65 73 01 00 02 04 04 02 04 04 03 02 01"},
      {3, nullptr},
      {-1, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.selector);
    char block[64] = {};
    GPersistentOutputStream out(block, sizeof block, c.selector);
    if (!c.stored) {
      EXPECT_EQ(out.VirtualStream(), nullptr);
      GPersistentInputStream in(block, sizeof block, c.selector);
      EXPECT_EQ(in.VirtualStream(), nullptr);
      continue;
    }
    ASSERT_NE(out.VirtualStream(), nullptr);
    out.VirtualStream()->PutULong(0x01020304);
    ASSERT_TRUE(out.VirtualStream()->Good());
    std::int64_t written = out.Tell();
    EXPECT_EQ(Hex(std::string(block, static_cast<std::size_t>(written))), c.stored);

    GPersistentInputStream in(block, static_cast<std::size_t>(written), c.selector);
    std::uint32_t value = 0;
    in.VirtualStream()->GetULong(value);
    EXPECT_EQ(value, 0x01020304u);
    EXPECT_FALSE(in.VirtualStream()->Fail());
  }
}

TEST(PersistentStream, TellSeekAndAFullBlock) {
  char block[8] = {};
  GPersistentOutputStream out(block, sizeof block, 1);
  out.VirtualStream()->PutULong(0x11111111);
  EXPECT_EQ(out.Tell(), 4);
  out.Seek(1);
  out.VirtualStream()->PutUChar(0x22);
  EXPECT_EQ(out.Tell(), 2);
  EXPECT_EQ(Hex(std::string(block, 4)), "11 22 11 11");
  out.Seek(4);
  out.VirtualStream()->PutULong(1).PutULong(2);  // the second does not fit
  EXPECT_TRUE(out.VirtualStream()->Fail());
  EXPECT_EQ(out.Tell(), -1);

  GPersistentInputStream in(block, sizeof block, 1);
  in.Seek(3);  // input streams read on from where they stand
  EXPECT_EQ(in.Tell(), 0);
  std::uint8_t c = 0;
  in.VirtualStream()->GetUChar(c);
  EXPECT_EQ(c, 0x11);
  EXPECT_EQ(in.Tell(), 1);
}

TEST(PersistentStream, BadPlacesFailWithoutReachingTheHandler) {
  // The default handler is in force: an error that escaped would end the
  // test program.
  std::string bad_header = Unhex("65 73 02 00 02 04 04 02 04");
  GPersistentInputStream header(bad_header.data(), bad_header.size(), 2);
  ASSERT_NE(header.VirtualStream(), nullptr);
  EXPECT_TRUE(header.VirtualStream()->Fail());

  GPersistentInputStream cut(bad_header.data(), 2, 2);
  EXPECT_TRUE(cut.VirtualStream()->Fail());

  RWWString nowhere = Wide("/nonexistent-dir/settings.bin");
  for (std::int32_t selector : {0, 1, 2}) {
    SCOPED_TRACE(selector);
    GPersistentOutputStream out(nowhere, selector);
    ASSERT_NE(out.VirtualStream(), nullptr);
    out.VirtualStream()->PutULong(1);
    EXPECT_TRUE(out.VirtualStream()->Fail());
    EXPECT_EQ(out.Tell(), -1);
    EXPECT_EQ(out.SystemError(), ENOENT);
    GPersistentInputStream in(nowhere, selector);
    EXPECT_TRUE(in.VirtualStream()->Fail());
    // A file that takes no byte fails the flush, and says why.
    GPersistentOutputStream full(Wide("/dev/full"), selector);
    full.VirtualStream()->PutULong(1);
    full.VirtualStream()->Flush();
    EXPECT_TRUE(full.VirtualStream()->Fail());
    EXPECT_EQ(full.SystemError(), ENOSPC);
  }
}

TEST(PersistentStream, FilesRoundTripUnderCodePageNames) {
  testing_support::TempPath dir_base("drv-stream");
  std::string path = dir_base.str() + "-\xC3\xA9t\xC3\xA9.bin";  // "été"
  for (std::int32_t selector : {0, 1, 2}) {
    SCOPED_TRACE(selector);
    {
      GPersistentOutputStream out(Wide(path), selector);
      out.VirtualStream()->PutString("Letter", 6).PutUShort(600);
      ASSERT_TRUE(out.VirtualStream()->Good());
    }
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0644u & ~mask);

    GPersistentInputStream in(Wide(path), selector);
    char text[16] = {};
    std::uint16_t value = 0;
    in.VirtualStream()->GetString(text, sizeof text).GetUShort(value);
    EXPECT_STREQ(text, "Letter");
    EXPECT_EQ(value, 600);
    std::remove(path.c_str());
  }
}

class PersistentFileStream : public testing_support::HostFixture {};

TEST_F(PersistentFileStream, WindowsPathsReachTheirMappedHostFiles) {
  testing_support::TempPath dir("drv-mapped");
  ASSERT_TRUE(std::filesystem::create_directory(dir.str()));
  ASSERT_TRUE(platform::MapPathPrefix(u"C:\\Drv", dir.str()));
  {
    GPersistentOutputStream out(RWWString(u"C:\\DRV\\data.bin"), 1);
    out.VirtualStream()->PutUShort(0x0201);
    ASSERT_TRUE(out.VirtualStream()->Good());
  }
  EXPECT_EQ(Hex(testing_support::ReadAll(dir.str() + "/data.bin")), "01 02");
  GPersistentInputStream in(RWWString(u"c:\\drv\\data.bin"), 1);
  std::uint16_t value = 0;
  in.VirtualStream()->GetUShort(value);
  EXPECT_EQ(value, 0x0201);

  // A path with no host file: both directions fail quietly.
  GPersistentOutputStream unmapped(RWWString(u"D:\\other.bin"), 2);
  EXPECT_TRUE(unmapped.VirtualStream()->Fail());
  GPersistentInputStream missing(RWWString(u"D:\\other.bin"), 1);
  EXPECT_TRUE(missing.VirtualStream()->Fail());
  std::filesystem::remove_all(dir.str());
}

TEST(StringConversion, NarrowAndWide) {
  struct Case {
    std::u16string wide;
    std::string narrow;      // what WideToNarrow gives
    bool narrow_round_trip;  // NarrowToWide(narrow) gives `wide` back
  } cases[] = {
      {u"Tray 1", "Tray 1", true},
      {std::u16string(u"A\0B", 3), std::string("A\0B", 3), false},  // low bytes, NUL kept
      {u"\u00E9t\u00E9", "\xC3\xA9t\xC3\xA9", true},                // through the code page
      {u"\u4E2D\U0001F5A8", "\xE4\xB8\xAD\xF0\x9F\x96\xA8", true},
      {u"A\xD800", "", false},  // an unpaired surrogate cannot be represented
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.narrow);
    RWWString wide(c.wide.data(), static_cast<RWSize>(c.wide.size()));
    RWCString narrow("stale");
    EXPECT_EQ(WideToNarrow(wide, narrow), 1);
    EXPECT_EQ(std::string(narrow.Data(), narrow.Length()), c.narrow);
    if (c.narrow_round_trip) {
      RWWString back(u"stale");
      EXPECT_EQ(NarrowToWide(narrow, back), 1);
      EXPECT_EQ(back.Compare(wide), 0);
    }
  }
  RWWString bad(u"stale");
  NarrowToWide(RWCString("\xC3("), bad);  // ill-formed code-page text
  EXPECT_EQ(bad.Length(), 0u);

  RWWString source(u"PhySetting"), copy;
  EXPECT_EQ(WideToWide(source, copy), 1);
  EXPECT_EQ(copy.Data(), source.Data());  // one shared body
}

}  // namespace
