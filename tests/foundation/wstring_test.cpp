#include "foundation/rw/wstring.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "foundation/rw/file.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ErrorCapture;
using testing_support::Hex;
using testing_support::ReadAll;
using testing_support::TempPath;
using testing_support::Unhex;
using testing_support::WriteAll;

std::u16string Str(const RWWString& s) {
  return std::u16string(s.Data(), s.Length());
}
std::string Bytes(const RWCString& s) {
  return std::string(s.Data(), s.Length());
}

// UTF-16 units as the bytes of a stream, low byte first.
std::string Units(const std::u16string& text) {
  std::string bytes;
  for (char16_t u : text) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  }
  return bytes;
}

TEST(WStringBody, SharingAndCapacities) {
  RWWString a;
  RWWString b(u"");
  EXPECT_EQ(a.Data(), b.Data());
  EXPECT_EQ(RWWString(u"abc").Capacity(), 3u);
  EXPECT_EQ(RWWString(u'x').Capacity(), 15u);
  RWWString s;
  std::vector<RWSize> capacities;
  for (int i = 0; i < 40; ++i) {
    s += u'\u00E9';
    if (capacities.empty() || capacities.back() != s.Capacity()) capacities.push_back(s.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<RWSize>{15, 31, 47}));

  RWWString held(s);
  s.CharAt(0) = u'A';
  EXPECT_EQ(held[0], u'\u00E9');
  EXPECT_EQ(s[0], u'A');
  EXPECT_EQ(s.Capacity(), 40u);
}

TEST(WStringQuery, HashCompareFind) {
  EXPECT_EQ(RWWString().Hash(), 0u);
  EXPECT_EQ(RWWString(u"ab").Hash(), 0x00620021u);  // first unit in the low half
  EXPECT_EQ(RWWString(u"abc").Hash(), 0x0C400043u);
  EXPECT_EQ(RWWString(u"\u0100\u1234\uFFFF\xD83D").Hash(), 0x9EBDCFFDu);
  EXPECT_EQ(RWWString(u"\u00E9t\u00E9").Hash(RWCase::ignore), 0x0002AE49u);
  EXPECT_EQ(RWWString(u"\u00C9T\u00C9").Hash(RWCase::ignore), 0x0002AE49u);

  // Exact order is the byte order of the units: 0x0100 (00 01) sorts
  // before 0x00FF (FF 00).
  EXPECT_EQ(RWWString(u"\u0100").Compare(RWWString(u"\u00FF")), -1);
  EXPECT_EQ(RWWString(u"ab").Compare(RWWString(u"abc")), -1);
  // Ignoring case the lowered units compare unsigned.
  EXPECT_EQ(RWWString(u"\u00E9").Compare(RWWString(u"A"), RWCase::ignore), 1);
  EXPECT_EQ(RWWString(u"\u0100BC").Compare(RWWString(u"\u0101bc"), RWCase::ignore), 0);
  EXPECT_EQ(RWWString(u"\u0391\u0392").Compare(RWWString(u"\u03B1\u03B3"), RWCase::ignore), -1);
  EXPECT_EQ(RWWString(u"abc").CompareChars(u"ab"), 1);
  EXPECT_EQ(RWWString(u"\u00E9").CompareChars(u"a"), 1);
  EXPECT_EQ(RWWString(u"\u00C9").CompareChars(u"\u00E9", RWCase::ignore), 0);
  EXPECT_TRUE(RWWString(u"abc") == u"abc");

  RWWString s(u"Stra\u00DFe STRA\u00DFE");
  EXPECT_EQ(s.Find(RWWString(u"stra\u00DFe"), 1, RWCase::ignore), 7u);
  EXPECT_EQ(s.Find(RWWString(u"E"), 13), RW_NPOS);
  EXPECT_EQ(s.Find(RWWString(), 13), 13u);
  EXPECT_EQ(s.First(u'\u00DF'), 4u);
  EXPECT_EQ(s.Last(u'\u00DF'), 11u);
  EXPECT_EQ(s.FirstOf(u"\u00DF "), 4u);
  EXPECT_EQ(Str(RWWString(u"\u3000ab\u3000").Strip(RWStrip::both, u'\u3000')), u"ab");

  RWWString lower(u"\u0130\u0100\u00C0Z");
  lower.ToLower();
  EXPECT_EQ(Str(lower), u"i\u0101\u00E0z");
  EXPECT_EQ(Str(ToUpper(lower)), u"I\u0100\u00C0Z");
}

TEST(WStringErrors, RangeAndIndexTexts) {
  ErrorCapture errors;
  RWWString s(u"hello");
  RWWStringRange range = s(1, 2);
  EXPECT_EQ(range[4], u'\0');
  EXPECT_EQ(errors.Last(), "[INDEX] Index (4) out of range [0->2]");
  range[1] = u'L';
  EXPECT_EQ(Str(s), u"heLlo");
  (void)s(3, 3);
  EXPECT_EQ(errors.Last(), "[SUBSTRING] Illegal substring (3, 3) from 5 element RWCString");
  s.CharAt(RW_NPOS) = u'x';
  EXPECT_EQ(errors.Last(), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_EQ(Str(s), u"heLlo");
  EXPECT_EQ(errors.Count(), 3u);
  s(0, 2) = u"HE";
  EXPECT_EQ(Str(s), u"HELlo");
}

TEST(WStringConvert, CodePage) {
  EXPECT_EQ(Str(RWWString::FromMultiByte("h\xC3\xA9llo")), u"h\u00E9llo");
  RWWString pair = RWWString::FromMultiByte(RWCString("\xF0\x9F\x98\x80"));
  EXPECT_EQ(Str(pair), u"\xD83D\xDE00");
  EXPECT_EQ(pair.Capacity(), 2u);
  EXPECT_EQ(Str(RWWString::FromMultiByte("ab\0cd", 5)), u"ab");
  // Ill-formed text is unconvertible: empty.
  EXPECT_EQ(RWWString::FromMultiByte("ok\xC3(").Length(), 0u);
  EXPECT_EQ(RWWString::FromMultiByte("\xED\xA0\x80").Length(), 0u);
  EXPECT_EQ(RWWString::FromMultiByte("a\xE2\x82", 3).Length(), 0u);

  EXPECT_EQ(Bytes(RWWString(u"h\u00E9\u20AC\xD83D\xDE00").ToMultiByte()),
            "h\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Bytes(RWWString(u"a\0b", 3).ToMultiByte()), "a");
  EXPECT_EQ(RWWString(u"ok\xD800").ToMultiByte().Length(), 0u);
  EXPECT_EQ(RWWString(u"\xDC00ok").ToMultiByte().Length(), 0u);

  EXPECT_EQ(Bytes(RWWString(u"A\u0141\u00FF\0", 4).ToAscii()), std::string("A\x41\xFF\0", 4));
  EXPECT_EQ(Str(RWWString::FromAscii(RWCString("\xE9z"))), u"\u00E9z");
  EXPECT_TRUE(RWWString(u"abc").IsAscii());
  EXPECT_FALSE(RWWString(u"\u0080").IsAscii());
}

TEST(WStringFile, StoredBytesAndCorruption) {
  TempPath path;
  {
    RWFile file(path.c_str(), "wb+");
    ASSERT_TRUE(RWWString(u"h\u00E9\u20AC").SaveToFile(file));
    ASSERT_TRUE(RWWString().SaveToFile(file));
  }
  const std::string stored = ReadAll(path.str());
  EXPECT_EQ(Hex(stored), "03 00 00 00 68 00 E9 00 AC 20 00 00 00 00");
  {
    RWFile file(path.c_str(), "rb");
    RWWString a(u"x"), b(u"y");
    ASSERT_TRUE(a.RestoreFromFile(file));
    ASSERT_TRUE(b.RestoreFromFile(file));
    EXPECT_EQ(Str(a), u"h\u00E9\u20AC");
    EXPECT_EQ(b.Length(), 0u);
  }
  for (std::size_t cut = 0; cut < 10; ++cut) {
    WriteAll(path.str(), stored.substr(0, cut));
    RWFile file(path.c_str(), "rb");
    RWWString s(u"keep");
    EXPECT_FALSE(s.RestoreFromFile(file)) << cut;
    EXPECT_EQ(Str(s), u"keep") << cut;
  }
  // A count of units is bounded by twice its value in bytes.
  for (const char* hex : {"02 00 00 00 61 00 62", "FF FF FF FF 61 00", "00 00 00 80"}) {
    WriteAll(path.str(), Unhex(hex));
    RWFile file(path.c_str(), "rb");
    RWWString s(u"keep");
    EXPECT_FALSE(s.RestoreFromFile(file)) << hex;
    EXPECT_EQ(Str(s), u"keep") << hex;
    EXPECT_TRUE(file.Error()) << hex;
  }
}

TEST(WStringStream, DelimiterReaders) {
  std::istringstream in(Units(u"ab;cd;;  \u3000ef"));
  RWWString s(u"old");
  RWWString held(s);
  s.ReadToDelim(in, u';');
  EXPECT_EQ(Str(s), u"ab");
  EXPECT_EQ(Str(held), u"old");
  s.ReadToDelim(in, u';');
  EXPECT_EQ(Str(s), u"cd");
  s.ReadToDelim(in, u';');
  EXPECT_EQ(s.Length(), 0u);
  EXPECT_TRUE(in.good());
  s.ReadToDelim(in, u';', true);  // skips blanks, ends at the end
  EXPECT_EQ(Str(s), u"ef");
  EXPECT_TRUE(in.eof());
  EXPECT_FALSE(in.fail());
  s.ReadToDelim(in, u';');
  EXPECT_TRUE(in.fail());  // nothing left to read
  EXPECT_EQ(s.Length(), 0u);

  std::istringstream lines(Units(u"one\n\n  two\nthree"));
  std::vector<std::u16string> read;
  for (RWWString line; line.ReadLine(lines, true);)
    read.push_back(Str(line));
  EXPECT_EQ(read, (std::vector<std::u16string>{u"one", u"two", u"three"}));

  std::istringstream strings(Units(std::u16string(u"a b\0c", 5)));
  s.ReadString(strings);
  EXPECT_EQ(Str(s), u"a b");
  s.ReadFile(strings);
  EXPECT_EQ(Str(s), u"c");
  EXPECT_TRUE(strings.eof());

  // A unit cut in half fails the stream.
  std::istringstream odd(Units(u"ab") + "c");
  s.ReadFile(odd);
  EXPECT_EQ(Str(s), u"ab");
  EXPECT_TRUE(odd.fail());
}

TEST(WStringStream, ReaderCapacities) {
  auto read_line = [](const std::u16string& text, RWWString&& s = RWWString()) {
    std::istringstream in(Units(text + u"\n"));
    s.ReadLine(in);
    EXPECT_EQ(Str(s), text);
    return s.Capacity();
  };
  EXPECT_EQ(read_line(std::u16string(16, u'x')), 16u);
  EXPECT_EQ(read_line(std::u16string(17, u'x')), 32u);  // 16, 32; 15 spare
  EXPECT_EQ(read_line(std::u16string(49, u'x')), 64u);  // 16, 32, 64; 15 spare
  EXPECT_EQ(read_line(std::u16string(48, u'x')), 48u);  // 16 spare: shrunk
  RWWString big{RWReserve{100}};
  EXPECT_EQ(read_line(u"abc", std::move(big)), 3u);

  auto read_token = [](const std::u16string& text, RWWString& s) {
    std::istringstream in(Units(u"  " + text + u" tail"));
    s.ReadToken(in);
    EXPECT_EQ(Str(s), text);
    return s.Capacity();
  };
  RWWString t;
  EXPECT_EQ(read_token(std::u16string(16, u'y'), t), 16u);
  EXPECT_EQ(read_token(std::u16string(20, u'y'), t), 32u);
  EXPECT_EQ(read_token(std::u16string(33, u'y'), t), 48u);
}

TEST(WStringStream, TokensAndWriter) {
  std::istringstream in(Units(u" \tabc  defgh"));
  RWWString s;
  s.ReadToken(in);
  EXPECT_EQ(Str(s), u"abc");
  in.width(2);
  s.ReadToken(in);
  EXPECT_EQ(Str(s), u"de");
  EXPECT_EQ(in.width(), 0);
  s.ReadToken(in);
  EXPECT_EQ(Str(s), u"fgh");
  EXPECT_FALSE(in.fail());
  s.ReadToken(in);
  EXPECT_TRUE(in.fail());

  std::ostringstream out;
  out.fill('*');
  out.width(4);
  out << RWWString(u"\u00E9");
  EXPECT_EQ(out.width(), 0);
  out.width(3);
  out.setf(std::ios::left, std::ios::adjustfield);
  out << RWWString(u"ab");
  out.width(1);
  out << RWWString(u"cd");
  EXPECT_EQ(Hex(out.str()), "2A 00 2A 00 2A 00 E9 00 61 00 62 00 2A 00 63 00 64 00");
}

TEST(WStringStatics, SettersAndCompareHelpers) {
  EXPECT_EQ(RWWString::InitialCapacity(7), 15u);
  EXPECT_EQ(RWWString(u'x').Capacity(), 7u);
  EXPECT_EQ(RWCString('x').Capacity(), 15u);  // each class has its own
  EXPECT_EQ(RWWString::InitialCapacity(15), 7u);
  EXPECT_EQ(RWWString::ResizeIncrement(8), 16u);
  EXPECT_EQ(RWWString::ResizeIncrement(16), 8u);
  EXPECT_EQ(RWWString::MaxWaste(3), 15u);
  EXPECT_EQ(RWWString::MaxWaste(15), 3u);

  EXPECT_EQ(RWWideCompareIgnoreCase(u"abc", u"ABC"), 0);
  EXPECT_EQ(RWWideCompareIgnoreCase(u"abc", u"ab"), 0);  // a prefix compares equal
  EXPECT_EQ(RWWideCompareIgnoreCase(u"\u00E0b", u"\u00C0C"), -1);
  EXPECT_EQ(RWWideCompareIgnoreCase(u"abd", u"ABC"), 1);
  EXPECT_EQ(RWWideCompareIgnoreCase(u"abd", u"ABC", 2), 0);
}

}  // namespace
