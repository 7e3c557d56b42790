#include "foundation/rw/regex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
// g++ 12 sees false "maybe uninitialized" paths inside std::regex's own code.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <regex>
#include <string>
#include <vector>

#include "tests/support/regex_reference.h"
#include "tests/support/test_support.h"

namespace {

using RE = RWRegularExpression;

struct Found {
  RWSize at;
  RWSize length;
  bool operator==(const Found&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Found& f) {
  return os << "(" << static_cast<std::int64_t>(f.at == RW_NPOS ? -1 : f.at) << ", " << f.length
            << ")";
}

Found Search(const char* pattern, const RWCString& text, RWSize start = 0) {
  RE re(pattern);
  EXPECT_EQ(re.Status(), RE::kOk) << pattern;
  RWSize length = 99;
  RWSize at = re.Index(text, &length, start);
  return {at, length};
}

constexpr Found kNone{RW_NPOS, 0};

// The codes up to and including the end code.
std::vector<std::uint16_t> Codes(const char* pattern) {
  RE re(pattern);
  std::vector<std::uint16_t> codes;
  for (int i = 0; i < RE::kProgramSize; ++i) {
    codes.push_back(re.Program()[i]);
    if (codes.back() == RE::kEnd) break;
  }
  return codes;
}

TEST(RegexTest, DocumentNamePrefix) {
  RWCPattern pattern("Microsoft [A-Z,a-z]+ - ");
  RWSize length = 0;
  EXPECT_EQ(pattern.Index(RWCString("Microsoft Word - Letter"), &length, 0), 0u);
  EXPECT_EQ(length, 17u);
  // The comma belongs to the class.
  EXPECT_EQ(Search("Microsoft [A-Z,a-z]+ - ", "Microsoft Wo,rd - x"), (Found{0, 18}));
  EXPECT_EQ(Search("Microsoft [A-Z,a-z]+ - ", "Microsoft 365 - x"), kNone);

  // Cutting the prefix through the string's range.
  RWCString name("Microsoft Excel - Budget");
  name(pattern) = "";
  EXPECT_EQ(name, "Budget");
}

TEST(RegexTest, Anchors) {
  EXPECT_EQ(Search("ab$", "xxab"), (Found{2, 2}));
  EXPECT_EQ(Search("ab$", "abx"), kNone);
  EXPECT_EQ(Search("$x", "a$x"), (Found{1, 2}));    // "$" not last is itself
  EXPECT_EQ(Search("a^b", "xa^b"), (Found{1, 3}));  // "^" not first is itself
  EXPECT_EQ(Search("^ab", "ab"), (Found{0, 2}));
  EXPECT_EQ(Search("^ab", "xab"), kNone);
  EXPECT_EQ(Search("^ab", "abab", 2), kNone);  // only the start is tried, and it is not 0
  EXPECT_EQ(Search("$", "abc"), (Found{3, 0}));
  EXPECT_EQ(Search("$", "abc", 3), (Found{3, 0}));
  EXPECT_EQ(Search("^$", ""), (Found{0, 0}));
  EXPECT_EQ(Search("^", "abc"), (Found{0, 0}));
}

TEST(RegexTest, Repeats) {
  EXPECT_EQ(Search("a*a", "aaa"), (Found{0, 3}));
  EXPECT_EQ(Search("a*", "bbb"), (Found{0, 0}));
  EXPECT_EQ(Search("a*$", "baa"), (Found{1, 2}));
  EXPECT_EQ(Search("a+", "baaa"), (Found{1, 3}));
  EXPECT_EQ(Search("a+a", "aa"), (Found{0, 2}));
  EXPECT_EQ(Search("a+a", "ab"), kNone);  // "+" keeps the one it needs
  EXPECT_EQ(Search("a*ab", "aaab"), (Found{0, 4}));
  EXPECT_EQ(Search(".*b", "abcabc"), (Found{0, 5}));
  EXPECT_EQ(Search("a.*b.*c", "xaxxbxxcx"), (Found{1, 7}));
  EXPECT_EQ(Search("[ab]*[ab]", "cabab"), (Found{1, 4}));
  EXPECT_EQ(Search("x?y", "y"), (Found{0, 1}));
  EXPECT_EQ(Search("x?y", "xy"), (Found{0, 2}));
  EXPECT_EQ(Search("a?a", "a"), (Found{0, 1}));
  EXPECT_EQ(Search("[ab]?[ab]", "b"), (Found{0, 1}));
  // "?" never gives back: the class takes the "b" that the next element wanted.
  EXPECT_EQ(Search("[ab]?b", "b"), kNone);
  EXPECT_EQ(Search("colou?r", "my color"), (Found{3, 5}));
}

TEST(RegexTest, Classes) {
  EXPECT_EQ(Search("[z-a]+", "--mz--"), (Found{2, 2}));  // range in either order
  EXPECT_EQ(Search("[^a-c]", "abcd"), (Found{3, 1}));
  EXPECT_EQ(Search("[^a]", "a\n"), (Found{1, 1}));  // a negated class takes newline
  EXPECT_EQ(Search("[a-]+", "x-a-y"), (Found{1, 3}));
  EXPECT_EQ(Search("[-a]+", "x-a-y"), (Found{1, 3}));
  EXPECT_EQ(Search("[\\]]", "a]"), (Found{1, 1}));
  EXPECT_EQ(Search("[\\x80-\\xff]", RWCString("ab\xe9")), (Found{2, 1}));
  EXPECT_EQ(Search("[\\n\\t]", "ab\tc"), (Found{2, 1}));
  EXPECT_EQ(Search("[^^]", "^^x"), (Found{2, 1}));
  EXPECT_EQ(Search(".", "\n\nz"), (Found{2, 1}));  // "." skips newline
  EXPECT_EQ(Search("\\0", RWCString("a\0b", 3)), (Found{1, 1}));
  EXPECT_EQ(Search("[^a]", RWCString("a\xff", 2)), (Found{1, 1}));
}

TEST(RegexTest, Escapes) {
  struct Case {
    const char* pattern;
    std::vector<std::uint16_t> codes;  // before the end code
  } cases[] = {
      {"\\x41", {'A'}},
      {"\\101", {'A'}},
      {"\\^A", {1}},
      {"\\^a", {1}},
      {"\\^1", {'^', '1'}},
      {"\\b\\e\\f\\n\\r\\s\\t", {8, 27, 12, 10, 13, 32, 9}},
      {"\\B\\E\\F\\N\\R\\S\\T", {8, 27, 12, 10, 13, 32, 9}},
      {"\\X4a", {0x4A}},
      {"\\x414", {'A', '4'}},
      {"\\x4", {4}},
      {"\\xg", {'x', 'g'}},
      {"\\Xg", {'X', 'g'}},
      {"\\0", {0}},
      {"\\777", {0xFF}},
      {"\\1234", {0123, '4'}},
      {"\\8", {'8'}},
      {"\\q\\.\\*\\[", {'q', '.', '*', '['}},
      {"a\\", {'a', '\\'}},
      {"\\$", {'$'}},
  };
  for (const Case& c : cases) {
    auto expected = c.codes;
    expected.push_back(RE::kEnd);
    EXPECT_EQ(Codes(c.pattern), expected) << c.pattern;
  }
  EXPECT_EQ(Search("\\^A", RWCString("x\x01")), (Found{1, 1}));
  EXPECT_EQ(Search("\\x41", "zA"), (Found{1, 1}));
  EXPECT_EQ(Search("\\101", "zA"), (Found{1, 1}));
}

TEST(RegexTest, CompiledPrograms) {
  using V = std::vector<std::uint16_t>;
  EXPECT_EQ(Codes("a*b"), (V{RE::kZeroOrMore, 'a', 'b', RE::kEnd}));
  EXPECT_EQ(Codes("ab+"), (V{'a', RE::kOneOrMore, 'b', RE::kEnd}));
  // The repeat goes on the second copy of an element that is repeated.
  EXPECT_EQ(Codes("x*x"), (V{'x', RE::kZeroOrMore, 'x', RE::kEnd}));
  EXPECT_EQ(Codes("x?x"), (V{'x', RE::kZeroOrOne, 'x', RE::kEnd}));
  EXPECT_EQ(Codes("x+x"), (V{RE::kOneOrMore, 'x', 'x', RE::kEnd}));
  EXPECT_EQ(Codes("x*y"), (V{RE::kZeroOrMore, 'x', 'y', RE::kEnd}));
  EXPECT_EQ(Codes("\\x41*A"), (V{'A', RE::kZeroOrMore, 'A', RE::kEnd}));
  EXPECT_EQ(Codes("$*$"), (V{RE::kZeroOrMore, '$', RE::kEndOfText, RE::kEnd}));
  EXPECT_EQ(Codes("^.$"), (V{RE::kStartOfText, RE::kAnyChar, RE::kEndOfText, RE::kEnd}));

  V cls(17, 0);
  cls[0] = RE::kClass;
  cls[1 + 'a' / 16] = 0x000E;  // a, b, c: bits 1 to 3 of code 6
  V expected = cls;
  expected.push_back(RE::kEnd);
  EXPECT_EQ(Codes("[a-c]"), expected);
  EXPECT_EQ(Codes("[c-a]"), expected);

  V twice = {RE::kClass};
  twice.insert(twice.end(), cls.begin() + 1, cls.end());
  twice.push_back(RE::kZeroOrMore);
  twice.insert(twice.end(), cls.begin(), cls.end());
  twice.push_back(RE::kEnd);
  EXPECT_EQ(Codes("[a-c]*[a-c]"), twice);

  V negated(17, 0xFFFF);
  negated[0] = RE::kClass;
  negated[1 + 'a' / 16] = 0xFFF1;
  negated.push_back(RE::kEnd);
  EXPECT_EQ(Codes("[^a-c]"), negated);
}

TEST(RegexTest, Statuses) {
  struct Case {
    const char* pattern;
    int status;
  } cases[] = {
      {"", RE::kSyntaxError},    {"*a", RE::kSyntaxError},   {"+a", RE::kSyntaxError},
      {"?a", RE::kSyntaxError},  {"[abc", RE::kSyntaxError}, {"[]", RE::kSyntaxError},
      {"[^]", RE::kSyntaxError}, {"a[b-", RE::kSyntaxError}, {"a**", RE::kTooLong},
      {"a+?", RE::kTooLong},     {"^*", RE::kTooLong},       {"x*x*", RE::kTooLong},
      {"a*b*", RE::kOk},         {"[\\]", RE::kSyntaxError}, {"\\*a", RE::kOk},
  };
  for (const Case& c : cases) {
    RE re(c.pattern);
    EXPECT_EQ(re.Status(), c.status) << c.pattern;
  }
  RE null_pattern(static_cast<const char*>(nullptr));
  EXPECT_EQ(null_pattern.Status(), RE::kSyntaxError);
}

TEST(RegexTest, ProgramRoom) {
  // 255 codes and the end code fill the program; one more is too long.
  EXPECT_EQ(RE(std::string(255, 'a').c_str()).Status(), RE::kOk);
  EXPECT_EQ(RE(std::string(256, 'a').c_str()).Status(), RE::kTooLong);
  // A class needs its 17 codes and the end code.
  EXPECT_EQ(RE((std::string(238, 'a') + "[a]").c_str()).Status(), RE::kOk);
  EXPECT_EQ(RE((std::string(239, 'a') + "[a]").c_str()).Status(), RE::kTooLong);
  // A repeat is a pattern character too: it needs a code of room beyond the end.
  EXPECT_EQ(RE((std::string(254, 'a') + "b*").c_str()).Status(), RE::kTooLong);
  RE full((std::string(253, 'a') + "b*").c_str());
  EXPECT_EQ(full.Status(), RE::kOk);
  EXPECT_EQ(full.Program()[253], RE::kZeroOrMore);
  EXPECT_EQ(full.Program()[254], 'b');
  EXPECT_EQ(full.Program()[255], RE::kEnd);
  RWCString text((std::string(253, 'a') + "bbb").c_str());
  RWSize length = 0;
  EXPECT_EQ(full.Index(text, &length), 0u);
  EXPECT_EQ(length, 256u);
}

TEST(RegexTest, StatusResetsAndBadExpressionRaises) {
  testing_support::ErrorCapture capture;
  RE re("a**");
  EXPECT_EQ(re.Status(), RE::kTooLong);
  EXPECT_EQ(re.Status(), RE::kOk);
  // The program stays unusable after the status was read.
  RWSize length = 7;
  EXPECT_EQ(re.Index(RWCString("aaa"), &length, 0), RW_NPOS);
  EXPECT_EQ(length, 0u);
  ASSERT_EQ(capture.Count(), 1u);
  EXPECT_EQ(capture.Last(), "[BADRE] Attempt to use invalid regular expression");

  RWCString s("abc");
  EXPECT_EQ(s.Index(RE("[x")), RW_NPOS);
  EXPECT_TRUE(s(RE("")).IsNull());
  EXPECT_EQ(capture.Count(), 3u);

  // A copy of a bad expression is bad too; recompiling mends it.
  RE copy(re);
  EXPECT_EQ(copy.Index(s), RW_NPOS);
  EXPECT_EQ(capture.Count(), 4u);
  copy = "b";
  EXPECT_EQ(copy.Status(), RE::kOk);
  EXPECT_EQ(copy.Index(s), 1u);
  EXPECT_EQ(capture.Count(), 4u);
}

TEST(RegexTest, CopyAndAssign) {
  RE a("b+");
  RE b(a);
  RE c("x");
  c = a;
  RWCString s("abbc");
  EXPECT_EQ(b.Index(s), 1u);
  EXPECT_EQ(c.Index(s), 1u);
  c = RWCString("[c]$");
  EXPECT_EQ(c.Index(s), 3u);
  c = c;
  EXPECT_EQ(c.Index(s), 3u);
  RE bad("");
  c = bad;
  EXPECT_EQ(c.Status(), RE::kSyntaxError);
}

TEST(RegexTest, StringOperations) {
  RWCString s("one two three");
  RE word("[a-z]+");
  EXPECT_EQ(s.Index(word), 0u);
  EXPECT_EQ(s.Index(word, 3), 4u);
  RWSize length = 0;
  EXPECT_EQ(s.Index(word, &length, 5), 5u);
  EXPECT_EQ(length, 2u);
  EXPECT_EQ(s.Index(word, nullptr, 13), RW_NPOS);
  EXPECT_EQ(s.Index(word, &length, 14), RW_NPOS);  // beyond the end
  EXPECT_EQ(length, 0u);

  auto r = s(word, 8);
  EXPECT_EQ(r.Start(), 8u);
  EXPECT_EQ(r.Length(), 5u);
  EXPECT_TRUE(r == "three");
  auto none = s(RE("[0-9]"));
  EXPECT_EQ(none.Start(), RW_NPOS);
  EXPECT_TRUE(none.IsNull());
  none = "ignored";
  EXPECT_EQ(s, "one two three");
  s(word, 4) = "2";
  EXPECT_EQ(s, "one 2 three");
}

// Literals, ".", classes, "*" and "+" mean the same here as in ECMAScript
// expressions searched with backtracking, so std::regex serves as a referee.
TEST(RegexTest, AgreesWithStdRegexOnRandomPatterns) {
  std::mt19937 rng(20240607);
  const char* elements[] = {"a", "b", "c", ".", "[ab]", "[^a]", "[b-c]"};
  const char* repeats[] = {"", "", "*", "+"};
  int compared = 0;
  for (int round = 0; round < 600; ++round) {
    std::string pattern;
    if (rng() % 4 == 0) pattern += "^";
    int n = 1 + rng() % 4;
    for (int k = 0; k < n; ++k) {
      pattern += elements[rng() % 7];
      pattern += repeats[rng() % 4];
    }
    if (rng() % 4 == 0) pattern += "$";
    RE ours(pattern.c_str());
    if (ours.Status() != RE::kOk) continue;  // "x*x*" and the like
    std::regex theirs(pattern);
    for (int t = 0; t < 5; ++t) {
      std::string text;
      for (int k = rng() % 9; k > 0; --k)
        text += "abc"[rng() % 3];
      std::smatch m;
      bool found = std::regex_search(text, m, theirs);
      RWSize length = 0;
      RWSize at = ours.Index(RWCString(text.c_str()), &length, 0);
      ASSERT_EQ(at, found ? RWSize(m.position(0)) : RW_NPOS) << pattern << " on " << text;
      if (found) {
        ASSERT_EQ(length, RWSize(m.length(0))) << pattern << " on " << text;
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, 1500);
}

// Patterns on which plain backtracking takes exponential time: repeats
// after repeats that can share the same characters, on texts where the end
// of the pattern fails (or only succeeds at the very end). ".*" 18 times and
// "b", 37 characters, on 28 "a"s would keep it busy for days; the other
// texts are longer still, the last ones long enough for the table of
// failures to leave the stack.
TEST(RegexTest, CatastrophicPatternsTakeBoundedSteps) {
  auto times = [](const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
      out += s;
    return out;
  };
  const std::string a200(200, 'a');
  struct Case {
    std::string pattern;
    std::string text;
    Found found;
  } cases[] = {
      {times(".*", 18) + "b", std::string(28, 'a'), kNone},
      {times(".*", 30) + "b", a200, kNone},
      {times(".*", 30) + "b", a200 + "b", {0, 201}},
      {times(".*", 30) + "b", std::string("b") + a200, {0, 1}},
      {times("a*[a]*", 12) + "b", a200, kNone},
      {times("a+.+", 15) + "b", a200, kNone},
      {times(".*a", 20) + "b", a200, kNone},
      {times("a*b*", 20) + "c", times("ab", 100), kNone},
      {times("[^b]+[^c]*", 7) + "b", a200, kNone},
      // "." stops at the newline: only the empty match at the very end.
      {times(".*", 30) + "$", a200 + "\n", {201, 0}},
      {std::string("^") + times("a?b?", 10) + times(".*", 30) + "b", a200, kNone},
      {times("[ab]*[a-b]*", 7) + "c", times("ab", 100), kNone},
      {times(".*", 3) + "c", std::string(100000, 'a'), kNone},
      {times(".*", 3) + "c", std::string(100000, 'a') + "c", {0, 100001}},
  };
  for (const Case& c : cases) {
    RE re(c.pattern.c_str());
    ASSERT_EQ(re.Status(), RE::kOk) << c.pattern;
    // A short text first, so that a search that lost its bound fails here
    // rather than running for hours.
    for (std::size_t size : {std::size_t{6}, c.text.size()}) {
      RWCString text(c.text.data(), std::min(size, c.text.size()));
      RWSize length = 0;
      RWSize at = re.Index(text, &length, 0);
      ASSERT_LE(RE::LastSearchSteps(), testing_support::StepBound(re.Program(), text.Length(), 0))
          << c.pattern;
      if (size == c.text.size()) {
        EXPECT_EQ((Found{at, length}), c.found) << c.pattern;
      }
    }
  }
}

// Remembering failures must not change a single result: the bounded search
// agrees with plain backtracking on the same program, with every element,
// repeat, anchor and start position, and stays within its step bound.
TEST(RegexTest, AgreesWithPlainBacktracking) {
  std::mt19937 rng(1127);
  const char* tokens[] = {"a",     "b",     "c",     ".", "[ab]", "[^a]", "[b-c]", "[a\\n]",
                          "\\n",   "\\x61", "^",     "$", "a*",   "b+",   "a?",    ".*",
                          "[ab]+", "[ab]*", "[^b]?", "*", "+",    "?"};
  constexpr int kTokens = sizeof(tokens) / sizeof(tokens[0]);
  int compared = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string pattern;
    for (int k = 1 + rng() % 7; k > 0; --k)
      pattern += tokens[rng() % kTokens];
    RE re(pattern.c_str());
    if (re.Status() != RE::kOk) continue;
    for (int t = 0; t < 4; ++t) {
      std::string chars;
      for (int k = rng() % 11; k > 0; --k)
        chars += "aabc\n^$"[rng() % 7];
      RWCString text(chars.c_str());
      RWSize start = rng() % (text.Length() + 2);
      RWSize length = 99;
      RWSize at = re.Index(text, &length, start);
      auto expected = testing_support::ReferenceIndex(re.Program(), text, start, 1u << 24);
      ASSERT_TRUE(expected.finished) << pattern;
      ASSERT_EQ((Found{at, length}), (Found{expected.at, expected.length}))
          << pattern << " on \"" << chars << "\" from " << start;
      if (start <= text.Length()) {
        ASSERT_LE(RE::LastSearchSteps(),
                  testing_support::StepBound(re.Program(), text.Length(), start))
            << pattern << " on \"" << chars << "\" from " << start;
      }
      ++compared;
    }
  }
  EXPECT_GT(compared, 6000);
}

}  // namespace
