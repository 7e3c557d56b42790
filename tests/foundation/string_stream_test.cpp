#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "foundation/rw/binarystream.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/error.h"
#include "foundation/rw/headeredbinarystream.h"
#include "foundation/rw/portablestream.h"
#include "foundation/rw/wstring.h"
#include "tests/support/test_support.h"

using testing_support::Hex;
using testing_support::Unhex;

namespace {

enum class Encoding { kPortable, kBinary, kHeadered, kHeaderedBig };
constexpr Encoding kEncodings[] = {Encoding::kPortable, Encoding::kBinary, Encoding::kHeadered,
                                   Encoding::kHeaderedBig};

std::unique_ptr<RWVirtualOutputStream> MakeOutput(Encoding e, std::ostream& os) {
  switch (e) {
    case Encoding::kPortable:
      return std::make_unique<RWPortableOutputStream>(os);
    case Encoding::kBinary:
      return std::make_unique<RWBinaryOutputStream>(os);
    case Encoding::kHeadered:
      return std::make_unique<RWHeaderedBinaryOutputStream>(os, kRWLittleEndian);
    case Encoding::kHeaderedBig:
      return std::make_unique<RWHeaderedBinaryOutputStream>(os, kRWBigEndian);
  }
  return nullptr;
}

std::unique_ptr<RWVirtualInputStream> MakeInput(Encoding e, std::istream& is) {
  switch (e) {
    case Encoding::kPortable:
      return std::make_unique<RWPortableInputStream>(is);
    case Encoding::kBinary:
      return std::make_unique<RWBinaryInputStream>(is);
    default:
      return std::make_unique<RWHeaderedBinaryInputStream>(is);
  }
}

template <class String>
std::string Save(Encoding e, const String& s, std::uint32_t string_mode = 1) {
  std::ostringstream os;
  auto out = MakeOutput(e, os);
  out->SetStringMode(string_mode);
  s.SaveToStream(*out);
  EXPECT_TRUE(out->Good());
  return os.str();
}

// Restores into `s`; answers whether the stream is still free of failure.
template <class String>
bool Restore(Encoding e, const std::string& bytes, String& s, std::uint32_t string_mode = 1) {
  std::istringstream is(bytes);
  auto in = MakeInput(e, is);
  in->SetStringMode(string_mode);
  s.RestoreFromStream(*in);
  return !in->Fail();
}

RWCString AllBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i)
    bytes += static_cast<char>(i);
  return RWCString(bytes.data(), static_cast<RWSize>(bytes.size()));
}

}  // namespace

TEST(StringOnStream, StoredBytesArePinned) {
  const std::string header = "65 73 01 00 02 04 04 02 04 ";
  const std::string big_header = "65 73 01 01 02 04 04 02 04 ";
  RWCString hello("hello");
  EXPECT_EQ(Save(Encoding::kPortable, hello), "5\n\"hello\"");
  EXPECT_EQ(Hex(Save(Encoding::kBinary, hello)), "05 00 00 00 05 00 00 00 68 65 6C 6C 6F");
  EXPECT_EQ(Hex(Save(Encoding::kHeadered, hello)),
            header + "05 00 00 00 05 00 00 00 68 65 6C 6C 6F");
  EXPECT_EQ(Hex(Save(Encoding::kHeaderedBig, hello)),
            big_header + "00 00 00 05 05 00 00 00 68 65 6C 6C 6F");

  RWCString empty;
  EXPECT_EQ(Save(Encoding::kPortable, empty), "0\n\"\"");
  EXPECT_EQ(Hex(Save(Encoding::kBinary, empty)), "00 00 00 00 00 00 00 00");

  RWWString wide(u"h\u00e9\u20ac");
  EXPECT_EQ(Save(Encoding::kPortable, wide), "3\n104\n233\n8364\n");
  EXPECT_EQ(Hex(Save(Encoding::kBinary, wide)), "03 00 00 00 68 00 E9 00 AC 20");
  EXPECT_EQ(Hex(Save(Encoding::kHeaderedBig, wide)), big_header + "00 00 00 03 00 68 00 E9 20 AC");

  // Without the string mode, 8-bit characters go as an array of numbers.
  EXPECT_EQ(Hex(Save(Encoding::kBinary, RWCString("ab"), 0)), "02 00 00 00 61 62");
  EXPECT_EQ(Save(Encoding::kPortable, RWCString("ab"), 0), "2\n97\n98\n");
}

TEST(StringOnStream, RoundTripsInEveryEncoding) {
  const RWCString narrow[] = {RWCString(), RWCString("a"), RWCString('q', 100), AllBytes(),
                              RWCString('z', 5000)};
  std::u16string long_wide(5000, u'\u0416');
  const RWWString wide[] = {RWWString(), RWWString(u"\xD83D\xDE00 \uFFFF"),
                            RWWString(long_wide.data(), 5000)};
  for (Encoding e : kEncodings) {
    for (std::uint32_t mode : {1u, 0u}) {
      for (const RWCString& s : narrow) {
        RWCString back("previous");
        EXPECT_TRUE(Restore(e, Save(e, s, mode), back, mode));
        EXPECT_TRUE(back == s);
      }
    }
    for (const RWWString& s : wide) {
      RWWString back(u"previous");
      EXPECT_TRUE(Restore(e, Save(e, s), back));
      EXPECT_TRUE(back == s);
    }
  }
}

TEST(StringOnStream, RestoreReusesAnUnsharedBodyAndLeavesCopiesAlone) {
  std::string bytes = Save(Encoding::kBinary, RWCString("hello"));
  RWCString roomy(RWReserve{50});
  ASSERT_TRUE(Restore(Encoding::kBinary, bytes, roomy));
  EXPECT_EQ(roomy.Capacity(), 50u);
  EXPECT_TRUE(roomy == "hello");

  RWCString original("shared text");
  RWCString copy = original;
  ASSERT_TRUE(Restore(Encoding::kBinary, bytes, copy));
  EXPECT_TRUE(copy == "hello");
  EXPECT_TRUE(original == "shared text");
  EXPECT_EQ(copy.Capacity(), 5u);
}

// Cuts inside a header raise [STREAM] in the reader's scope: the default
// handler, still in force, never sees them.
TEST(StringOnStream, TruncationAtEveryByteFailsAndKeepsTheString) {
  for (Encoding e : kEncodings) {
    std::string narrow = Save(e, RWCString("hello world"));
    for (std::size_t cut = 0; cut < narrow.size(); ++cut) {
      RWCString s("previous");
      EXPECT_FALSE(Restore(e, narrow.substr(0, cut), s)) << cut;
      EXPECT_TRUE(s == "previous");
    }
    std::string wide = Save(e, RWWString(u"wide \u00e9"));
    // A cut inside the last portable number reads what is left of it.
    std::size_t whole =
        e == Encoding::kPortable ? wide.rfind('\n', wide.size() - 2) + 1 : wide.size();
    for (std::size_t cut = 0; cut < whole; ++cut) {
      RWWString s(u"previous");
      EXPECT_FALSE(Restore(e, wide.substr(0, cut), s)) << cut;
      EXPECT_TRUE(s == u"previous");
    }
  }
}

TEST(StringOnStream, PortableTextCutInsideTheLastNumberReadsWhatIsLeft) {
  RWWString s(u"previous");
  EXPECT_TRUE(Restore(Encoding::kPortable, "2\n119\n23", s));
  EXPECT_TRUE(s == u"w\u0017");
}

TEST(StringOnStream, LengthThatDisagreesWithTheStringFails) {
  struct Case {
    Encoding e;
    const char* hex;
    const RWCatalogueEntry* entry;  // what the caller's scope receives
  } cases[] = {
      {Encoding::kBinary, "03 00 00 00 02 00 00 00 61 62", nullptr},
      {Encoding::kBinary, "01 00 00 00 02 00 00 00 61 62", nullptr},
      {Encoding::kPortable, "33 0A 22 61 62 22", nullptr},         // 3 "ab"
      {Encoding::kPortable, "31 0A 22 61 62 22", nullptr},         // 1 "ab"
      {Encoding::kPortable, "32 0A 61 62", rwcore::SynStream()},   // 2 ab, no quotes
      {Encoding::kHeadered, "65 73 01 00 02", rwtools::Stream()},  // a cut header
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    RWErrorScope scope;
    RWCString s("kept");
    EXPECT_FALSE(Restore(c.e, Unhex(c.hex), s));
    EXPECT_TRUE(s == "kept");
    EXPECT_EQ(scope.Entry(), c.entry);
  }
  RWErrorScope scope;
  RWCString s;
  Restore(Encoding::kPortable, "2\nab", s);
  EXPECT_STREQ(scope.Text(), "[SYNSTREAM] Syntax error in input stream: expected \", got a");
}

TEST(StringOnStream, HugeStoredLengthAllocatesNothingUpFront) {
  // Lengths of 4 GB with a few characters behind them: a restore that
  // trusted the length would ask for 4 GB (8 GB wide) before reading.
  RWCString narrow("kept");
  EXPECT_FALSE(Restore(Encoding::kBinary, Unhex("FF FF FF FF FF FF FF FF 61 62"), narrow));
  EXPECT_TRUE(narrow == "kept");
  EXPECT_FALSE(Restore(Encoding::kBinary, Unhex("FF FF FF FF 61 62"), narrow, 0));
  EXPECT_TRUE(narrow == "kept");
  RWWString wide(u"kept");
  EXPECT_FALSE(Restore(Encoding::kBinary, Unhex("FE FF FF FF 61 00 62 00"), wide));
  EXPECT_TRUE(wide == u"kept");
  EXPECT_FALSE(Restore(Encoding::kPortable, "4294967295\n\"ab\"", narrow));
  EXPECT_TRUE(narrow == "kept");
}

TEST(StringOnStream, RandomByteFlipsNeverCrash) {
  std::mt19937 random(77);
  for (Encoding e : kEncodings) {
    std::ostringstream os;
    {
      auto out = MakeOutput(e, os);
      RWCString("first string").SaveToStream(*out);
      RWWString(u"second \u4e2d").SaveToStream(*out);
      RWCString('x', 90).SaveToStream(*out);
    }
    const std::string full = os.str();
    for (int round = 0; round < 300; ++round) {
      std::string bytes = full;
      for (int i = 0, n = 1 + static_cast<int>(random() % 3); i < n; ++i) {
        bytes[random() % bytes.size()] ^= static_cast<char>(1 + random() % 255);
      }
      std::istringstream is(bytes);
      auto in = MakeInput(e, is);
      RWCString a;
      RWWString b;
      RWCString c;
      a.RestoreFromStream(*in);
      b.RestoreFromStream(*in);
      c.RestoreFromStream(*in);
      EXPECT_LE(c.Length(), bytes.size());
    }
  }
}
