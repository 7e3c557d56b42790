#include "platform/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::MultiByteCharLength;
using platform::MultiByteToWide;
using platform::WideIsSpace;
using platform::WideToLower;
using platform::WideToMultiByte;
using platform::WideToUpper;

std::u16string Wide(const std::string& bytes) {
  std::u16string out;
  EXPECT_TRUE(MultiByteToWide(bytes.data(), bytes.size(), out)) << bytes;
  return out;
}

std::string Narrow(const std::u16string& units) {
  std::string out;
  EXPECT_TRUE(WideToMultiByte(units.data(), units.size(), out));
  return out;
}

TEST(CodePage, BoundariesOfEachSequenceLength) {
  EXPECT_EQ(Wide("\x7F"), u"\u007F");
  EXPECT_EQ(Wide("\xC2\x80"), u"\u0080");
  EXPECT_EQ(Wide("\xDF\xBF"), u"\u07FF");
  EXPECT_EQ(Wide("\xE0\xA0\x80"), u"\u0800");
  EXPECT_EQ(Wide("\xED\x9F\xBF"), u"\uD7FF");
  EXPECT_EQ(Wide("\xEE\x80\x80"), u"\uE000");
  EXPECT_EQ(Wide("\xEF\xBF\xBF"), u"\uFFFF");
  EXPECT_EQ(Wide("\xF0\x90\x80\x80"), u"\xD800\xDC00");  // U+10000
  EXPECT_EQ(Wide("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");  // U+1F600
  EXPECT_EQ(Wide("\xF4\x8F\xBF\xBF"), u"\xDBFF\xDFFF");  // U+10FFFF
  EXPECT_EQ(Wide(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  EXPECT_EQ(Wide(""), u"");

  EXPECT_EQ(Narrow(u"\xD800\xDC00"), "\xF0\x90\x80\x80");
  EXPECT_EQ(Narrow(u"\xDBFF\xDFFF"), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(Narrow(u"\u07FF\u0800"), "\xDF\xBF\xE0\xA0\x80");
}

TEST(CodePage, EveryBasicUnitRoundTrips) {
  for (std::uint32_t cp = 1; cp <= 0xFFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    std::u16string unit(1, static_cast<char16_t>(cp));
    std::string bytes;
    ASSERT_TRUE(WideToMultiByte(unit.data(), 1, bytes)) << cp;
    ASSERT_LE(bytes.size(), platform::kMaxBytesPerWideUnit);
    ASSERT_EQ(MultiByteCharLength(bytes.data(), bytes.size()), static_cast<int>(bytes.size()));
    std::u16string back;
    ASSERT_TRUE(MultiByteToWide(bytes.data(), bytes.size(), back)) << cp;
    ASSERT_EQ(back, unit) << cp;
  }
}

TEST(CodePage, IllFormedInputIsUnconvertible) {
  const char* bad[] = {
      "\x80",              // lone continuation
      "\xC3\x28",          // lead without continuation
      "\xC0\x80",          // overlong NUL
      "\xC1\xBF",          // overlong
      "\xE0\x80\x80",      // overlong
      "\xE0\x9F\xBF",      // overlong
      "\xF0\x8F\xBF\xBF",  // overlong
      "\xED\xA0\x80",      // encoded surrogate
      "\xED\xBF\xBF",      // encoded surrogate
      "\xF4\x90\x80\x80",  // past U+10FFFF
      "\xF5\x80\x80\x80",  // past U+10FFFF
      "\xF8\x88\x80\x80\x80",
      "\xFE",
      "\xFF",
      "ok\xE2\x82",    // cut at the end
      "\xF0\x9F\x98",  // cut at the end
  };
  for (const char* text : bad) {
    std::u16string out;
    std::string bytes(text);
    EXPECT_FALSE(MultiByteToWide(bytes.data(), bytes.size(), out)) << bytes;
  }
  const std::u16string bad_wide[] = {u"\xD800", u"a\xD83D", u"\xDE00", u"\xD83Dx",
                                     u"\xD83D\xD83D\xDE00"};
  for (const auto& units : bad_wide) {
    std::string out;
    EXPECT_FALSE(WideToMultiByte(units.data(), units.size(), out));
  }
}

TEST(CodePage, CharacterLengths) {
  EXPECT_EQ(MultiByteCharLength("", 1), 0);  // the NUL
  EXPECT_EQ(MultiByteCharLength("a", 1), 1);
  EXPECT_EQ(MultiByteCharLength("\xC3\xA9", 2), 2);
  EXPECT_EQ(MultiByteCharLength("\xE2\x82\xAC", 3), 3);
  EXPECT_EQ(MultiByteCharLength("\xF0\x9F\x98\x80", 4), 4);
  EXPECT_EQ(MultiByteCharLength("\xF0\x9F\x98\x80", 3), -1);  // cut by the bound
  EXPECT_EQ(MultiByteCharLength("a", 0), -1);
  EXPECT_EQ(MultiByteCharLength("\xBF", 1), -1);
}

TEST(CaseTable, PairsOfEachBlock) {
  struct Pair {
    char16_t upper, lower;
  };
  const Pair pairs[] = {
      {u'A', u'a'},           {u'Z', u'z'},           {u'\u00C0', u'\u00E0'},
      {u'\u00D6', u'\u00F6'}, {u'\u00D8', u'\u00F8'}, {u'\u00DE', u'\u00FE'},
      {u'\u0178', u'\u00FF'}, {u'\u0100', u'\u0101'}, {u'\u012E', u'\u012F'},
      {u'\u0132', u'\u0133'}, {u'\u0139', u'\u013A'}, {u'\u0147', u'\u0148'},
      {u'\u014A', u'\u014B'}, {u'\u0176', u'\u0177'}, {u'\u0179', u'\u017A'},
      {u'\u017D', u'\u017E'}, {u'\u0391', u'\u03B1'}, {u'\u03A9', u'\u03C9'},
      {u'\u0410', u'\u0430'}, {u'\u042F', u'\u044F'}, {u'\u0400', u'\u0450'},
      {u'\u040F', u'\u045F'},
  };
  for (const auto& p : pairs) {
    EXPECT_EQ(WideToLower(p.upper), p.lower) << int(p.upper);
    EXPECT_EQ(WideToUpper(p.lower), p.upper) << int(p.lower);
    EXPECT_EQ(WideToLower(p.lower), p.lower) << int(p.lower);
    EXPECT_EQ(WideToUpper(p.upper), p.upper) << int(p.upper);
  }
  // Caseless characters keep themselves.
  for (char16_t c : {u'1', u'\u00D7', u'\u00F7', u'\u00DF', u'\u00B5', u'\u0138', u'\u0149',
                     u'\u03A2', u'\u4E00', u'\xD83D'}) {
    EXPECT_EQ(WideToLower(c), c) << int(c);
    EXPECT_EQ(WideToUpper(c), c) << int(c);
  }
  EXPECT_EQ(WideToLower(u'\u0130'), u'i');
  EXPECT_EQ(WideToUpper(u'\u0131'), u'I');

  // Every mapped character maps back, across the whole table.
  for (char32_t c = 0; c < 0x500; ++c) {
    char16_t u = static_cast<char16_t>(c);
    if (u == u'\u0130' || u == u'\u0131') continue;
    char16_t lower = WideToLower(u);
    if (lower != u) {
      EXPECT_EQ(WideToUpper(lower), u) << int(c);
    }
    char16_t upper = WideToUpper(u);
    if (upper != u) {
      EXPECT_EQ(WideToLower(upper), u) << int(c);
    }
  }
}

TEST(CaseTable, AsciiAndSpaceClasses) {
  EXPECT_EQ(platform::AsciiToLower('Q'), 'q');
  EXPECT_EQ(platform::AsciiToUpper('q'), 'Q');
  EXPECT_EQ(platform::AsciiToLower('\xC9'), '\xC9');  // the "C" locale maps ASCII only
  EXPECT_TRUE(platform::AsciiIsSpace('\v'));
  EXPECT_FALSE(platform::AsciiIsSpace('\xA0'));
  for (char16_t c : {u' ', u'\t', u'\n', u'\r', u'\f', u'\v', u'\u2000', u'\u2028', u'\u3000'}) {
    EXPECT_TRUE(WideIsSpace(c)) << int(c);
  }
  for (char16_t c : {u'a', u'\0', u'\u00A0', u'\u2007', u'\u200B', u'\uFEFF'}) {
    EXPECT_FALSE(WideIsSpace(c)) << int(c);
  }
}

}  // namespace
