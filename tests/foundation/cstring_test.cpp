#include "foundation/rw/cstring.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "foundation/rw/file.h"
#include "foundation/rw/wstring.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ErrorCapture;
using testing_support::Hex;
using testing_support::ReadAll;
using testing_support::TempPath;
using testing_support::Unhex;
using testing_support::WriteAll;

std::string Str(const RWCString& s) {
  return std::string(s.Data(), s.Length());
}

const char* EmptyBodyData() {
  static const RWCString empty;
  return empty.Data();
}

TEST(CStringBody, EmptyRequestsShareOneBody) {
  RWCString a;
  RWCString b("");
  RWCString c(static_cast<const char*>(nullptr));
  RWCString d('x', 0);
  RWCString e{RWReserve{0}};
  for (const RWCString* s : {&a, &b, &c, &d, &e}) {
    EXPECT_EQ(s->Data(), EmptyBodyData());
    EXPECT_EQ(s->Capacity(), 0u);
    EXPECT_EQ(s->Length(), 0u);
  }
  // Zero-length edits leave the shared body alone.
  a.Append('x', 0);
  a.Prepend('x', 0);
  EXPECT_EQ(a.Data(), EmptyBodyData());
  EXPECT_EQ(EmptyBodyData()[0], '\0');
}

TEST(CStringBody, AssigningAnEmptyText) {
  RWCString unshared("hello");
  const char* body = unshared.Data();
  unshared = "";
  EXPECT_EQ(unshared.Data(), body);  // truncated in place
  EXPECT_EQ(unshared.Length(), 0u);
  EXPECT_EQ(unshared.Capacity(), 5u);
  EXPECT_EQ(unshared.Data()[0], '\0');

  RWCString shared("hello");
  RWCString other(shared);
  shared = "";
  EXPECT_EQ(shared.Data(), EmptyBodyData());
  EXPECT_EQ(Str(other), "hello");
}

TEST(CStringCapacity, Constructors) {
  RWCString text("abc");
  EXPECT_EQ(text.Capacity(), 3u);
  RWCString buffer("a\0b", 3);
  EXPECT_EQ(Str(buffer), std::string("a\0b", 3));
  EXPECT_EQ(buffer.Capacity(), 3u);
  RWCString one('x');
  EXPECT_EQ(one.Capacity(), 15u);
  EXPECT_EQ(Str(one), "x");
  RWCString fill('x', 20);
  EXPECT_EQ(fill.Capacity(), 20u);
  EXPECT_EQ(Str(fill), std::string(20, 'x'));
  RWCString reserve{RWReserve{40}};
  EXPECT_EQ(reserve.Capacity(), 40u);
  EXPECT_EQ(reserve.Length(), 0u);

  RWCString copy(text);
  EXPECT_EQ(copy.Data(), text.Data());

  // Concatenation and sub-strings round up.
  EXPECT_EQ((text + "defgh").Capacity(), 15u);
  EXPECT_EQ(("0123456789" + RWCString("0123456789")).Capacity(), 31u);
  RWCString digits("0123456789012345678901");
  RWCString sub(digits(2, 17));
  EXPECT_EQ(Str(sub), "23456789012345678");
  EXPECT_EQ(sub.Capacity(), 31u);
  EXPECT_EQ(RWCString(digits(3, 0)).Capacity(), 15u);
  EXPECT_EQ(RWCString(digits.SubString("zz")).Data(), EmptyBodyData());
}

TEST(CStringCapacity, AppendOneCharacterAtATime) {
  RWCString s;
  std::vector<RWSize> capacities;
  for (int i = 0; i < 47; ++i) {
    s += static_cast<char>('a' + i % 26);
    if (capacities.empty() || capacities.back() != s.Capacity()) capacities.push_back(s.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<RWSize>{15, 31, 47}));
  s += 'x';
  EXPECT_EQ(s.Capacity(), 63u);
  EXPECT_EQ(s.Length(), 48u);
  EXPECT_EQ(s[46], 'u');
  EXPECT_EQ(s[47], 'x');
}

// The sole owner's body grows where it lies; a shared one never does. What
// shows is the same either way: the +16 capacity steps, the text, and the
// other holders' text. Run for both classes.
template <class S>
void CheckGrowth() {
  using Unit = std::remove_cv_t<std::remove_pointer_t<decltype(S().Data())>>;
  auto unit = [](int i) { return static_cast<Unit>(i % 2 ? 'a' + i % 26 : 0x00E9 & 0xFF); };
  S s;
  std::basic_string<Unit> model;
  for (int i = 0; i < 1000; ++i) {
    s += unit(i);
    model += unit(i);
    ASSERT_EQ(s.Capacity(), 15 + (i < 15 ? 0 : (i - 15 + 16) / 16 * 16)) << i;
  }
  EXPECT_EQ(std::basic_string<Unit>(s.Data(), s.Length()), model);
  EXPECT_EQ(s.Data()[s.Length()], Unit(0));

  // A held copy keeps its text while the other grows past it.
  S held(s);
  const Unit* shared = held.Data();
  for (int i = 0; i < 40; ++i)
    s += unit(i);
  EXPECT_EQ(held.Data(), shared);
  EXPECT_EQ(std::basic_string<Unit>(held.Data(), held.Length()), model);
  EXPECT_EQ(s.Length(), 1040u);
  EXPECT_EQ(s.Capacity(), 1055u);

  // Text taken from the string itself, and growth at the front.
  S t;
  for (int i = 0; i < 20; ++i)
    t += unit(i);
  auto before = std::basic_string<Unit>(t.Data(), t.Length());
  t.Append(t.Data(), t.Length());
  EXPECT_EQ(std::basic_string<Unit>(t.Data(), t.Length()), before + before);
  EXPECT_EQ(t.Capacity(), 47u);
  t.Prepend(Unit('z'), 30);
  EXPECT_EQ(std::basic_string<Unit>(t.Data(), t.Length()),
            std::basic_string<Unit>(30, Unit('z')) + before + before);
  EXPECT_EQ(t.Capacity(), 79u);

  // Copies of the empty string stay on the shared empty body until written.
  S empty, copy(empty);
  EXPECT_EQ(copy.Data(), empty.Data());
  copy += Unit('q');
  EXPECT_EQ(copy.Capacity(), 15u);
  EXPECT_EQ(empty.Length(), 0u);
  EXPECT_EQ(empty.Data()[0], Unit(0));
}

TEST(StringCapacity, GrowthInPlaceKeepsStepsTextAndSharing) {
  CheckGrowth<RWCString>();
  CheckGrowth<RWWString>();
}

TEST(CStringCapacity, ShrinkingReplace) {
  RWCString s{RWReserve{100}};
  s.Append(std::string(40, 'a').c_str(), 40);
  EXPECT_EQ(s.Capacity(), 100u);  // grown in place
  s.Remove(30);                   // 70 spare: reallocated, rounded
  EXPECT_EQ(s.Capacity(), 31u);
  EXPECT_EQ(s.Length(), 30u);
  const char* body = s.Data();
  s.Remove(16);  // 15 spare: kept
  EXPECT_EQ(s.Data(), body);
  EXPECT_EQ(s.Capacity(), 31u);
  s.Remove(15);  // 16 spare: reallocated
  EXPECT_EQ(s.Capacity(), 15u);
  EXPECT_EQ(Str(s), std::string(15, 'a'));
  // Assigning a short text goes through the same rule.
  RWCString t('y', 60);
  t = "abc";
  EXPECT_EQ(t.Capacity(), 15u);
  EXPECT_EQ(Str(t), "abc");
}

TEST(CStringCapacity, ReservedEditsAndResize) {
  RWCString s("abc");
  EXPECT_EQ(s.Capacity(2), 3u);
  EXPECT_EQ(s.Capacity(50), 50u);
  const char* body = s.Data();
  EXPECT_EQ(s.Capacity(50), 50u);
  EXPECT_EQ(s.Data(), body);
  EXPECT_EQ(s.Capacity(10), 10u);  // exact, also downwards
  EXPECT_EQ(Str(s), "abc");

  RWCString a("abc");
  a.Append('x', 2);  // exact growth
  EXPECT_EQ(a.Capacity(), 5u);
  a.Capacity(20);
  body = a.Data();
  a.Append('y', 3);
  EXPECT_EQ(a.Data(), body);
  RWCString shared(a);
  a.Append('z', 1);
  EXPECT_EQ(a.Capacity(), 9u);
  EXPECT_EQ(Str(a), "abcxxyyyz");
  EXPECT_EQ(Str(shared), "abcxxyyy");

  RWCString p("abc");
  p.Prepend('-', 2);  // rounded growth
  EXPECT_EQ(p.Capacity(), 15u);
  body = p.Data();
  p.Prepend('+', 3);  // in place
  EXPECT_EQ(p.Data(), body);
  EXPECT_EQ(Str(p), "+++--abc");
  RWCString held(p);
  p.Prepend('x', 1);
  EXPECT_NE(p.Data(), held.Data());
  EXPECT_EQ(Str(p), "x+++--abc");
  EXPECT_EQ(Str(held), "+++--abc");

  RWCString r("abc");
  r.Resize(6);
  EXPECT_EQ(Str(r), "abc   ");
  EXPECT_EQ(r.Capacity(), 6u);
  r.Resize(2);
  EXPECT_EQ(Str(r), "ab");
  EXPECT_EQ(r.Capacity(), 6u);
}

TEST(CStringEdit, ReplaceFromItsOwnCharacters) {
  RWCString s("hello world");
  s.Capacity(64);
  const char* body = s.Data();
  s.Replace(0, 5, s.Data() + 6, 5);
  EXPECT_NE(s.Data(), body);  // always reallocates
  EXPECT_EQ(s.Capacity(), 15u);
  EXPECT_EQ(Str(s), "world world");
  s.Insert(5, s.Data(), 5);
  EXPECT_EQ(Str(s), "worldworld world");
  s.Append(s.Data(), 5);
  EXPECT_EQ(Str(s), "worldworld worldworld");
  s.Prepend(s.Data() + 16, 5);
  EXPECT_EQ(Str(s), "worldworldworld worldworld");
  s = s.Data() + 10;  // a NUL-terminated tail of itself
  EXPECT_EQ(Str(s), "world worldworld");
}

TEST(CStringEdit, CopyOnWriteThroughCharAtAndEdits) {
  RWCString a("abc");
  RWCString b(a);
  b.CharAt(1) = 'X';
  EXPECT_EQ(Str(a), "abc");
  EXPECT_EQ(Str(b), "aXc");
  EXPECT_EQ(b.Capacity(), 3u);  // unshared copies are exact

  RWCString c(a);
  c.ToUpper();
  EXPECT_EQ(Str(c), "ABC");
  EXPECT_EQ(Str(ToLower(c)), "abc");
  EXPECT_EQ(Str(a), "abc");
  RWCString d(a);
  d(1, 1) = "ZZ";
  EXPECT_EQ(Str(d), "aZZc");
  EXPECT_EQ(Str(a), "abc");
}

TEST(CStringEdit, CopiesOnManyThreads) {
  const RWCString original("shared between threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&original, t] {
      for (int i = 0; i < 2000; ++i) {
        RWCString copy(original);
        RWCString assigned;
        assigned = copy;
        assigned.CharAt(0) = static_cast<char>('0' + t);
        ASSERT_EQ(assigned[0], '0' + t);
      }
    });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(Str(original), "shared between threads");
}

TEST(CStringQuery, Hash) {
  EXPECT_EQ(RWCString().Hash(), 0u);
  EXPECT_EQ(RWCString("abcd").Hash(), 0x646362E1u);
  EXPECT_EQ(RWCString("a").Hash(), 0x41u);
  // The tail 0x80 is widened as a signed byte to 0xFFFFFF80.
  EXPECT_EQ(RWCString("\x01\x02\x03\x04\x80", 5).Hash(), 0x7F9FABA0u);
  EXPECT_EQ(RWCString("abcd\x81\x02", 6).Hash(), 0x7393D52Eu);
  EXPECT_EQ(RWCString("RWCollectable").Hash(), 0xB284A8C4u);
  EXPECT_EQ(RWCString("HeLLo").Hash(RWCase::ignore), 0x0EA3B9CFu);
  EXPECT_EQ(RWCString("hello").Hash(RWCase::ignore), RWCString("HELLO").Hash(RWCase::ignore));
  EXPECT_EQ(RWCString("\xE9"
                      "a")
                .Hash(RWCase::ignore),
            0x1561u);
}

TEST(CStringQuery, Compare) {
  EXPECT_EQ(RWCString("abc").Compare("ABD", RWCase::ignore), -1);
  EXPECT_EQ(RWCString("ABD").Compare("abc", RWCase::ignore), 1);
  EXPECT_EQ(RWCString("abc").Compare("ABC", RWCase::ignore), 0);
  EXPECT_EQ(RWCString("ab").Compare("abc"), -1);
  EXPECT_EQ(RWCString("abc").Compare("ab"), 1);
  EXPECT_EQ(RWCString("abc").Compare("abc"), 0);
  EXPECT_EQ(RWCString("a\0b", 3).Compare(RWCString("a\0c", 3)), -1);
  // Exact compares bytes unsigned; ignoring case they are signed.
  EXPECT_EQ(RWCString("\xE9").Compare("a"), 1);
  EXPECT_EQ(RWCString("\xE9").Compare("A", RWCase::ignore), -1);

  EXPECT_EQ(RWCString("abc").CompareChars("ab"), 1);
  EXPECT_EQ(RWCString("ab").CompareChars("abc"), -1);
  EXPECT_EQ(RWCString("abc").CompareChars("abc"), 0);
  EXPECT_EQ(RWCString("abd").CompareChars("abc"), 1);
  EXPECT_EQ(RWCString("\xE9").CompareChars("a"), -1);
  EXPECT_EQ(RWCString("ABC").CompareChars("abd", RWCase::ignore), -1);
  EXPECT_EQ(RWCString("ABC").CompareChars("abc", RWCase::ignore), 0);

  EXPECT_TRUE(RWCString("abc") == "abc");
  EXPECT_FALSE(RWCString("a\0b", 3) == "a");
  EXPECT_FALSE(RWCString("ab") == "abc");
  EXPECT_TRUE(RWCString("a\0b", 3) == RWCString("a\0b", 3));
  EXPECT_TRUE(RWCString("ab") < RWCString("abc"));
  EXPECT_LT(RWCString("abc").CollateCompare("abd"), 0);
}

TEST(CStringQuery, Find) {
  RWCString s("Hello, hello");
  EXPECT_EQ(s.Find("hello"), 7u);
  EXPECT_EQ(s.Find("HELLO", 0, RWCase::ignore), 0u);
  EXPECT_EQ(s.Find("HELLO", 1, RWCase::ignore), 7u);
  EXPECT_EQ(s.Find("lo", 4), 10u);
  EXPECT_EQ(s.Find("lo", 11), RW_NPOS);  // longer than what follows
  EXPECT_EQ(s.Find("hello", 8), RW_NPOS);
  EXPECT_EQ(s.Find("x"), RW_NPOS);
  EXPECT_EQ(s.Find("", 5), 5u);  // empty pattern: the start
  EXPECT_EQ(s.Find("", 12), 12u);
  EXPECT_EQ(s.Find("", 13), RW_NPOS);
  EXPECT_EQ(s.Find("lo", RW_NPOS), RW_NPOS);
  EXPECT_EQ(RWCString("a\0b\0c", 5).Find(RWCString("\0c", 2)), 3u);

  EXPECT_EQ(s.First('l'), 2u);
  EXPECT_EQ(s.Last('l'), 10u);
  EXPECT_EQ(s.FirstOf(",o"), 4u);
  EXPECT_EQ(s.First('z'), RW_NPOS);
  RWCString nul("ab\0cb", 5);
  EXPECT_EQ(nul.Last('b'), 4u);
  EXPECT_EQ(nul.LastUntilNul('b'), 1u);
  EXPECT_EQ(nul.First('c'), 3u);
  EXPECT_EQ(nul.FirstUntilNul('c'), RW_NPOS);
  EXPECT_EQ(nul.FirstOfUntilNul("c"), RW_NPOS);
}

TEST(CStringQuery, StripAndRanges) {
  RWCString s("  ab  ");
  EXPECT_EQ(Str(RWCString(s.Strip(RWStrip::both))), "ab");
  EXPECT_EQ(Str(RWCString(s.Strip(RWStrip::leading))), "ab  ");
  EXPECT_EQ(Str(RWCString(s.Strip())), "  ab");
  EXPECT_EQ(Str(RWCString("xxabxx").Strip(RWStrip::both, 'x')), "ab");
  RWCString blank("    ");
  RWCStringRange none = blank.Strip(RWStrip::both);
  EXPECT_EQ(none.Start(), RW_NPOS);
  EXPECT_EQ(none.Length(), 0u);
  none = "ignored";  // an empty match ignores assignment
  EXPECT_EQ(Str(blank), "    ");

  RWCString t("hello world");
  t(0, 5) = "HELLO";
  EXPECT_EQ(Str(t), "HELLO world");
  t(6, 5) = RWCString("there!");
  EXPECT_EQ(Str(t), "HELLO there!");
  t(0, 5) = t(6, 5);
  EXPECT_EQ(Str(t), "there there!");
  t.SubString("THERE", 1, RWCase::ignore).ToUpper();
  EXPECT_EQ(Str(t), "there THERE!");
  t.SubString("nowhere") = "x";
  EXPECT_EQ(Str(t), "there THERE!");
  EXPECT_TRUE(t(6, 5) == "THERE");
  EXPECT_TRUE(t(6, 5) == RWCString("THERE"));
  EXPECT_TRUE(t(0, 5) == t(0, 5));
  EXPECT_FALSE(t(0, 5) == t(6, 5));
  const RWCString& ct = t;
  EXPECT_EQ(Str(ct(6, 5)), "THERE");
}

TEST(CStringErrors, IndexAndSubstringTexts) {
  ErrorCapture errors;
  RWCString s("abc");
  s.CharAt(5) = 'x';  // the handler returned: the write goes nowhere
  EXPECT_EQ(errors.Last(), "[INDEXERR] Illegal Index (5) for collection or string with 3 elements");
  EXPECT_EQ(s[RW_NPOS], '\0');
  EXPECT_EQ(errors.Last(), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_EQ(s[3], '\0');
  EXPECT_EQ(errors.Last(), "[INDEXERR] Illegal Index (3) for collection or string with 3 elements");
  s.Replace(4, 0, "x", 1);
  EXPECT_EQ(errors.Last(), "[INDEXERR] Illegal Index (4) for collection or string with 3 elements");
  EXPECT_EQ(Str(s), "abc");

  errors.Clear();
  RWCStringRange bad = s(2, 5);
  EXPECT_EQ(errors.Last(), "[SUBSTRING] Illegal substring (2, 5) from 3 element RWCString");
  EXPECT_TRUE(bad.IsNull());
  bad = "zzz";
  EXPECT_EQ(Str(s), "abc");
  const RWCString& cs = s;
  EXPECT_EQ(cs(4, 0).Length(), 0u);
  EXPECT_EQ(errors.Count(), 2u);

  RWCStringRange range = s(1, 2);
  range[5] = 'q';
  EXPECT_EQ(errors.Last(), "[INDEXERR] Illegal Index (5) for collection or string with 2 elements");
  range[1] = 'Q';
  EXPECT_EQ(Str(s), "abQ");
  EXPECT_EQ(errors.Count(), 3u);
}

TEST(CStringQuery, MultiByteLengthAndCollateKey) {
  EXPECT_EQ(RWCString("abc").MultiByteLength(), 3u);
  EXPECT_EQ(RWCString("a\xC3\xA9"
                      "b")
                .MultiByteLength(),
            3u);
  EXPECT_EQ(RWCString("\xF0\x9F\x98\x80").MultiByteLength(), 1u);
  EXPECT_EQ(RWCString("ab\0cd", 5).MultiByteLength(), 2u);
  EXPECT_EQ(RWCString("a\xC3").MultiByteLength(), RW_NPOS);  // runs past the length
  EXPECT_EQ(RWCString("a\xFF"
                      "b")
                .MultiByteLength(),
            RW_NPOS);
  EXPECT_EQ(RWCString().MultiByteLength(), 0u);
  EXPECT_TRUE(RWCString("abc").IsAscii());
  EXPECT_FALSE(RWCString("a\xC3\xA9").IsAscii());

  EXPECT_EQ(Str(RWCString("abc").CollateKey()), std::string("abc\0", 4));
  EXPECT_EQ(Str(RWCString("ab\0cd", 5).CollateKey()), std::string("ab\0", 3));
  EXPECT_EQ(Str(RWCString().CollateKey()), std::string(1, '\0'));
}

TEST(CStringFile, StoredBytesAndRoundTrip) {
  TempPath path;
  {
    RWFile file(path.c_str(), "wb+");
    ASSERT_TRUE(RWCString("hello").SaveToFile(file));
  }
  EXPECT_EQ(Hex(ReadAll(path.str())), "05 00 00 00 68 65 6C 6C 6F");

  const std::vector<RWCString> strings = {RWCString(), RWCString("a\0\xFF", 3),
                                          RWCString('x', 300)};
  {
    RWFile file(path.c_str(), "wb+");
    for (const auto& s : strings)
      ASSERT_TRUE(s.SaveToFile(file));
  }
  EXPECT_EQ(Hex(ReadAll(path.str()).substr(0, 11)), "00 00 00 00 03 00 00 00 61 00 FF");
  RWFile file(path.c_str(), "rb");
  for (const auto& expected : strings) {
    RWCString s("previous");
    RWCString held(s);
    ASSERT_TRUE(s.RestoreFromFile(file));
    EXPECT_TRUE(s == expected);
    EXPECT_EQ(Str(held), "previous");
  }
  RWCString s("left");
  EXPECT_FALSE(s.RestoreFromFile(file));
  EXPECT_EQ(Str(s), "left");
}

TEST(CStringFile, TruncatedAndCorruptCounts) {
  const std::string stored = Unhex("05 00 00 00 68 65 6C 6C 6F");
  TempPath path;
  for (std::size_t cut = 0; cut < stored.size(); ++cut) {
    WriteAll(path.str(), stored.substr(0, cut));
    RWFile file(path.c_str(), "rb");
    RWCString s("keep");
    EXPECT_FALSE(s.RestoreFromFile(file)) << cut;
    EXPECT_EQ(Str(s), "keep") << cut;
    if (cut >= 4) {
      EXPECT_TRUE(file.Error()) << cut;  // a count the file cannot hold
    }
  }
  for (const char* hex : {"FF FF FF FF 61 62", "06 00 00 00 68 65 6C 6C 6F", "00 00 00 80 00"}) {
    WriteAll(path.str(), Unhex(hex));
    RWFile file(path.c_str(), "rb");
    RWCString s("keep");
    EXPECT_FALSE(s.RestoreFromFile(file)) << hex;
    EXPECT_EQ(Str(s), "keep") << hex;
    EXPECT_TRUE(file.Error()) << hex;
  }
  // Seeded byte flips: a restore either fails cleanly or reads no more than
  // the file held.
  std::mt19937 random(1234);
  for (int round = 0; round < 200; ++round) {
    std::string bytes = stored;
    bytes[random() % bytes.size()] ^= static_cast<char>(1 + random() % 255);
    WriteAll(path.str(), bytes);
    RWFile file(path.c_str(), "rb");
    RWCString s("keep");
    if (s.RestoreFromFile(file)) {
      EXPECT_LE(s.Length() + 4, bytes.size());
    } else {
      EXPECT_EQ(Str(s), "keep");
    }
  }
}

TEST(NullTexts, AreTakenAsTheEmptyText) {
  const char* const kNull = nullptr;
  const char16_t* const kWideNull = nullptr;
  RWCString abc("abc"), empty;
  RWWString wide_abc(u"abc");
  TempPath path("nulltext");
  auto write_string = [&]() -> std::int64_t {
    {
      RWFile file(path.c_str(), "wb");
      file.WriteString(kNull);
    }
    return static_cast<std::int64_t>(ReadAll(path.str()).size());
  };
  struct Case {
    const char* name;
    std::int64_t answer;
    std::int64_t expected;
  } cases[] = {
      {"abc == null", abc == kNull, false},
      {"\"\" == null", empty == kNull, true},
      {"wide abc == null", wide_abc == kWideNull, false},
      {"CompareChars(null)", abc.CompareChars(kNull), 1},
      {"CompareChars(null) ignoring case", abc.CompareChars(kNull, RWCase::ignore), 1},
      {"\"\".CompareChars(null)", empty.CompareChars(kNull), 0},
      {"FirstOfUntilNul(null)", abc.FirstOfUntilNul(kNull), RW_NPOS},
      {"range (1, 2) == null", abc(1, 2) == kNull, false},
      {"range (1, 0) == null", abc(1, 0) == kNull, true},
      {"no-match range == null", abc.SubString("zz") == kNull, true},
      {"string of (null, 5)", RWCString(kNull, 5).Length(), 0},
      {"Find(null, 3) from 1", abc.Find(kNull, 3, 1, RWCase::exact), 1},
      {"wide from multibyte (null, 4)", RWWString::FromMultiByte(kNull, 4).Length(), 0},
      {"wide compare ignoring case", RWWideCompareIgnoreCase(kWideNull, u"a"), 0},
      {"RWFile::WriteString(null) bytes", write_string(), 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.answer, c.expected) << c.name;
  }
  EXPECT_EQ(ReadAll(path.str()), std::string(1, '\0'));
}

TEST(CStringStatics, SettersAnswerTheOldValue) {
  EXPECT_EQ(RWCString::InitialCapacity(31), 15u);
  EXPECT_EQ(RWCString('x').Capacity(), 31u);
  EXPECT_EQ(RWCString::InitialCapacity(15), 31u);
  EXPECT_EQ(RWCString::ResizeIncrement(32), 16u);
  EXPECT_EQ(RWCString::RoundCapacity(16), 47u);
  EXPECT_EQ(RWCString::ResizeIncrement(16), 32u);
  EXPECT_EQ(RWCString::RoundCapacity(16), 31u);
  EXPECT_EQ(RWCString::MaxWaste(0), 15u);
  RWCString s("abcdef");
  s.Capacity(7);
  s.Remove(5);  // 2 spare > 0
  EXPECT_EQ(s.Capacity(), 15u);
  EXPECT_EQ(RWCString::MaxWaste(15), 0u);
  EXPECT_EQ(RWCString::MaxWaste(), 15u);
}

}  // namespace
