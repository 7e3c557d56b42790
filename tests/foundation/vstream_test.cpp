#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <locale>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/rw/binarystream.h"
#include "foundation/rw/error.h"
#include "foundation/rw/headeredbinarystream.h"
#include "foundation/rw/portablestream.h"
#include "tests/support/test_support.h"

using testing_support::Hex;
using testing_support::Unhex;

namespace {

using Out = RWVirtualOutputStream;
using In = RWVirtualInputStream;

enum class Encoding { kPortable, kBinary, kHeaderedLittle, kHeaderedBig };
constexpr Encoding kEncodings[] = {Encoding::kPortable, Encoding::kBinary,
                                   Encoding::kHeaderedLittle, Encoding::kHeaderedBig};

const char* Name(Encoding e) {
  switch (e) {
    case Encoding::kPortable:
      return "portable";
    case Encoding::kBinary:
      return "binary";
    case Encoding::kHeaderedLittle:
      return "headered little-endian";
    case Encoding::kHeaderedBig:
      return "headered big-endian";
  }
  return "";
}

const std::string kLittleHeader = "65 73 01 00 02 04 04 02 04";
const std::string kBigHeader = "65 73 01 01 02 04 04 02 04";

std::unique_ptr<Out> MakeOutput(Encoding e, std::ostream& os) {
  switch (e) {
    case Encoding::kPortable:
      return std::make_unique<RWPortableOutputStream>(os);
    case Encoding::kBinary:
      return std::make_unique<RWBinaryOutputStream>(os);
    case Encoding::kHeaderedLittle:
      return std::make_unique<RWHeaderedBinaryOutputStream>(os, kRWLittleEndian);
    case Encoding::kHeaderedBig:
      return std::make_unique<RWHeaderedBinaryOutputStream>(os, kRWBigEndian);
  }
  return nullptr;
}

std::unique_ptr<In> MakeInput(Encoding e, std::istream& is) {
  switch (e) {
    case Encoding::kPortable:
      return std::make_unique<RWPortableInputStream>(is);
    case Encoding::kBinary:
      return std::make_unique<RWBinaryInputStream>(is);
    case Encoding::kHeaderedLittle:
    case Encoding::kHeaderedBig:
      return std::make_unique<RWHeaderedBinaryInputStream>(is);
  }
  return nullptr;
}

// One item type: how to write it, how to read it back and check it, and its
// stored bytes in each encoding (portable as text, the others as hex; `big`
// is the big-endian body, empty when it equals the little-endian one).
struct Row {
  std::string name;
  std::function<void(Out&)> put;
  std::function<bool(In&)> check;
  std::string portable;
  std::string little;
  std::string big;
};

template <class T>
Row Scalar(const char* name, Out& (Out::*put)(T), In& (In::*get)(T&), T value, const char* portable,
           const char* little, const char* big = "") {
  return Row{name,
             [=](Out& out) { (out.*put)(value); },
             [=](In& in) {
               T v{};
               (in.*get)(v);
               return !in.Fail() && v == value;
             },
             portable,
             little,
             big};
}

template <class T>
Row Array(const char* name, Out& (Out::*put)(const T*, RWSize), In& (In::*get)(T*, RWSize),
          std::vector<T> values, const char* portable, const char* little, const char* big = "") {
  return Row{name,
             [=](Out& out) { (out.*put)(values.data(), static_cast<RWSize>(values.size())); },
             [=](In& in) {
               std::vector<T> v(values.size());
               (in.*get)(v.data(), static_cast<RWSize>(v.size()));
               return !in.Fail() && v == values;
             },
             portable,
             little,
             big};
}

Row CountedString(const char* name, std::string text, const char* portable, const char* little) {
  return Row{name,
             [=](Out& out) { out.PutString(text.data(), static_cast<RWSize>(text.size())); },
             [=](In& in) {
               std::vector<char> buffer(text.size() + 1, 'Z');
               in.GetString(buffer.data(), static_cast<RWSize>(buffer.size()));
               return !in.Fail() && std::memcmp(buffer.data(), text.c_str(), text.size() + 1) == 0;
             },
             portable,
             little,
             ""};
}

const std::vector<Row>& Rows() {
  static const std::vector<Row> rows = {
      CountedString("string with escapes", "a{ \"\\\n\xe9", "\"a\\[\\x20\\\"\\\\\\n\\xe9\"",
                    "07 00 00 00 61 7B 20 22 5C 0A E9"),
      CountedString("string with a NUL", std::string("x\0y", 3), "\"x\\x00y\"",
                    "03 00 00 00 78 00 79"),
      CountedString("empty string", "", "\"\"", "00 00 00 00"),
      Row{"NUL-terminated string", [](Out& out) { out.PutCString("hi}"); },
          [](In& in) {
            char buffer[8];
            in.GetString(buffer, sizeof buffer);
            return !in.Fail() && std::strcmp(buffer, "hi}") == 0;
          },
          "\"hi\\]\"", "03 00 00 00 68 69 7D", ""},
      Scalar<std::uint16_t>("ushort", &Out::PutUShort, &In::GetUShort, 65535, "65535\n", "FF FF"),
      Scalar<std::int16_t>("short", &Out::PutShort, &In::GetShort, -2, "-2\n", "FE FF", "FF FE"),
      Scalar<std::uint32_t>("ulong", &Out::PutULong, &In::GetULong, 0x01020304u, "16909060\n",
                            "04 03 02 01", "01 02 03 04"),
      Scalar<std::int32_t>("long", &Out::PutLong, &In::GetLong, -2147483647 - 1, "-2147483648\n",
                           "00 00 00 80", "80 00 00 00"),
      Scalar<std::uint32_t>("uint", &Out::PutUInt, &In::GetUInt, 4000000000u, "4000000000\n",
                            "00 28 6B EE", "EE 6B 28 00"),
      Scalar<std::int32_t>("int", &Out::PutInt, &In::GetInt, -123456, "-123456\n", "C0 1D FE FF",
                           "FF FE 1D C0"),
      Scalar<float>("float", &Out::PutFloat, &In::GetFloat, 1.5f, "1.5000000000000000e+00\n",
                    "00 00 C0 3F", "3F C0 00 00"),
      Scalar<double>("double", &Out::PutDouble, &In::GetDouble, -0.1, "-1.0000000000000001e-01\n",
                     "9A 99 99 99 99 99 B9 BF", "BF B9 99 99 99 99 99 9A"),
      Scalar<std::uint8_t>("uchar", &Out::PutUChar, &In::GetUChar, 0xE9, "\\xe9", "E9"),
      Scalar<char>("char brace", &Out::PutChar, &In::GetChar, '{', "\\[", "7B"),
      Scalar<char>("char space", &Out::PutChar, &In::GetChar, ' ', "\\x20", "20"),
      Scalar<char>("char letter", &Out::PutChar, &In::GetChar, 'Q', "Q", "51"),
      Array<double>("doubles", &Out::PutDoubles, &In::GetDoubles, {1.0, 2.5},
                    "1.0000000000000000e+00\n2.5000000000000000e+00\n",
                    "00 00 00 00 00 00 F0 3F 00 00 00 00 00 00 04 40",
                    "3F F0 00 00 00 00 00 00 40 04 00 00 00 00 00 00"),
      Array<float>("floats", &Out::PutFloats, &In::GetFloats, {0.25f, -2.0f},
                   "2.5000000000000000e-01\n-2.0000000000000000e+00\n", "00 00 80 3E 00 00 00 C0",
                   "3E 80 00 00 C0 00 00 00"),
      Array<std::uint32_t>("ulongs", &Out::PutULongs, &In::GetULongs, {1, 0xFFFFFFFF},
                           "1\n4294967295\n", "01 00 00 00 FF FF FF FF", "00 00 00 01 FF FF FF FF"),
      Array<std::int32_t>("longs", &Out::PutLongs, &In::GetLongs, {-1, 2}, "-1\n2\n",
                          "FF FF FF FF 02 00 00 00", "FF FF FF FF 00 00 00 02"),
      Array<std::uint32_t>("uints", &Out::PutUInts, &In::GetUInts, {7}, "7\n", "07 00 00 00",
                           "00 00 00 07"),
      Array<std::int32_t>("ints", &Out::PutInts, &In::GetInts, {-7, 0}, "-7\n0\n",
                          "F9 FF FF FF 00 00 00 00", "FF FF FF F9 00 00 00 00"),
      Array<std::uint16_t>("ushorts", &Out::PutUShorts, &In::GetUShorts, {0x1234, 1}, "4660\n1\n",
                           "34 12 01 00", "12 34 00 01"),
      Array<std::int16_t>("shorts", &Out::PutShorts, &In::GetShorts, {-32768, 32767},
                          "-32768\n32767\n", "00 80 FF 7F", "80 00 7F FF"),
      Array<std::uint8_t>("uchars", &Out::PutUChars, &In::GetUChars, {0, 255}, "0\n255\n", "00 FF"),
      Scalar<std::uint8_t>("uchar as number", &Out::PutUCharAsNumber, &In::GetUCharAsNumber, 200,
                           "200\n", "C8"),
      Array<char>("chars as numbers", &Out::PutChars, &In::GetChars, {'A', '\xff'}, "65\n-1\n",
                  "41 FF"),
      Row{"schar as number", [](Out& out) { out.PutSCharAsNumber(-5); },
          [](In& in) {
            char c = 0;
            in.GetCharAsNumber(c);
            return !in.Fail() && c == static_cast<char>(-5);
          },
          "-5\n", "FB", ""},
  };
  return rows;
}

// The whole expected stream of `rows` in an encoding.
std::string Expected(Encoding e, const std::vector<const Row*>& rows) {
  std::string out;
  if (e == Encoding::kHeaderedLittle) out = Unhex(kLittleHeader);
  if (e == Encoding::kHeaderedBig) out = Unhex(kBigHeader);
  for (const Row* row : rows) {
    switch (e) {
      case Encoding::kPortable:
        out += row->portable;
        break;
      case Encoding::kBinary:
      case Encoding::kHeaderedLittle:
        out += Unhex(row->little);
        break;
      case Encoding::kHeaderedBig:
        out += Unhex(row->big.empty() ? row->little : row->big);
        break;
    }
  }
  return out;
}

std::vector<const Row*> AllRows() {
  std::vector<const Row*> rows;
  for (const Row& row : Rows())
    rows.push_back(&row);
  return rows;
}

std::string Write(Encoding e, const std::vector<const Row*>& rows) {
  std::ostringstream os;
  auto out = MakeOutput(e, os);
  for (const Row* row : rows)
    row->put(*out);
  EXPECT_TRUE(out->Good());
  return os.str();
}

// Reads every row; answers how many read back equal.
std::size_t ReadBack(Encoding e, const std::string& bytes, const std::vector<const Row*>& rows,
                     bool* failed) {
  std::istringstream is(bytes);
  auto in = MakeInput(e, is);
  std::size_t equal = 0;
  for (const Row* row : rows)
    equal += row->check(*in) ? 1 : 0;
  *failed = in->Fail();
  return equal;
}

}  // namespace

TEST(VirtualStreamGolden, EveryItemTypeInEveryEncoding) {
  for (const Row& row : Rows()) {
    for (Encoding e : kEncodings) {
      SCOPED_TRACE(row.name + " / " + Name(e));
      std::string expected = Expected(e, {&row});
      std::string written = Write(e, {&row});
      EXPECT_EQ(Hex(written), Hex(expected));
      bool failed = true;
      EXPECT_EQ(ReadBack(e, expected, {&row}, &failed), 1u);
      EXPECT_FALSE(failed);
    }
  }
}

TEST(VirtualStreamGolden, AllItemsInOneStream) {
  auto rows = AllRows();
  for (Encoding e : kEncodings) {
    SCOPED_TRACE(Name(e));
    std::string expected = Expected(e, rows);
    EXPECT_EQ(Hex(Write(e, rows)), Hex(expected));
    bool failed = true;
    EXPECT_EQ(ReadBack(e, expected, rows, &failed), rows.size());
    EXPECT_FALSE(failed);
  }
}

TEST(VirtualStreamGolden, HeaderIsWrittenAtConstruction) {
  std::ostringstream os;
  RWHeaderedBinaryOutputStream out(os);  // host order
  EXPECT_EQ(Hex(os.str()), kLittleHeader);
}

TEST(VirtualStreamCorruption, TruncatedBinaryInputAlwaysFails) {
  auto rows = AllRows();
  // Cuts inside the header raise [STREAM] in the reader's own scope; the
  // default handler, still in force, never sees them.
  for (Encoding e : {Encoding::kBinary, Encoding::kHeaderedLittle, Encoding::kHeaderedBig}) {
    std::string full = Expected(e, rows);
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
      SCOPED_TRACE(std::string(Name(e)) + " cut at " + std::to_string(cut));
      bool failed = false;
      ReadBack(e, full.substr(0, cut), rows, &failed);
      EXPECT_TRUE(failed);
    }
  }
}

TEST(VirtualStreamCorruption, TruncatedPortableTextFailsUnlessOnlyTheLastLineFeedIsCut) {
  auto rows = AllRows();
  RWErrorScope errors;
  std::string full = Expected(Encoding::kPortable, rows);
  ASSERT_EQ(full.back(), '\n');
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    SCOPED_TRACE("cut at " + std::to_string(cut));
    bool failed = false;
    std::size_t equal = ReadBack(Encoding::kPortable, full.substr(0, cut), rows, &failed);
    if (cut == full.size() - 1) {
      EXPECT_FALSE(failed);
      EXPECT_EQ(equal, rows.size());
    } else {
      EXPECT_TRUE(failed);
    }
  }
  EXPECT_FALSE(errors.Failed());
}

TEST(VirtualStreamCorruption, TruncatedNumberReadsWhatTheFormattedReadingGives) {
  std::istringstream is("6553");
  RWPortableInputStream in(is);
  std::uint16_t v = 0;
  in.GetUShort(v);
  EXPECT_EQ(v, 6553);
  EXPECT_TRUE(in.Eof());
  EXPECT_FALSE(in.Fail());
  in.GetUShort(v);
  EXPECT_TRUE(in.Fail());
  EXPECT_EQ(v, 6553);  // a failed read leaves its target
}

TEST(VirtualStreamCorruption, RandomByteFlipsNeverCrash) {
  auto rows = AllRows();
  std::mt19937 random(20240611);
  for (Encoding e : kEncodings) {
    std::string full = Expected(e, rows);
    for (int round = 0; round < 300; ++round) {
      std::string bytes = full;
      int flips = 1 + static_cast<int>(random() % 4);
      for (int i = 0; i < flips; ++i) {
        bytes[random() % bytes.size()] ^= static_cast<char>(1 + random() % 255);
      }
      bool failed;
      ReadBack(e, bytes, rows, &failed);
    }
  }
}

TEST(PortableStream, NumbersIgnoreTheGlobalLocale) {
  struct Grouping : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
  };
  std::locale saved = std::locale::global(std::locale(std::locale::classic(), new Grouping));
  std::ostringstream os;  // takes the global locale
  {
    RWPortableOutputStream out(os);
    out.PutUInt(1234567).PutDouble(1.5);
  }
  std::istringstream is(os.str());
  RWPortableInputStream in(is);
  std::uint32_t u = 0;
  double d = 0;
  in.GetUInt(u).GetDouble(d);
  std::locale::global(saved);
  EXPECT_EQ(os.str(), "1234567\n1.5000000000000000e+00\n");
  EXPECT_EQ(u, 1234567u);
  EXPECT_EQ(d, 1.5);
}

TEST(PortableStream, HundredCharacterStringBreaksBeforeColumn81) {
  std::ostringstream os;
  RWPortableOutputStream out(os);
  std::string text(100, 'a');
  out.PutString(text.data(), 100);
  EXPECT_EQ(os.str(), "\"" + std::string(79, 'a') + "\n" + std::string(21, 'a') + "\"");
  EXPECT_EQ(out.Column(), 22u);

  std::istringstream is(os.str());
  RWPortableInputStream in(is);
  char buffer[101];
  in.GetString(buffer, sizeof buffer);
  EXPECT_FALSE(in.Fail());
  EXPECT_EQ(std::string(buffer), text);
}

TEST(PortableStream, EscapeThatWouldPassTheLineStartsANewOne) {
  std::ostringstream os;
  RWPortableOutputStream out(os);
  std::string text = std::string(78, 'b') + " ";
  out.PutString(text.data(), static_cast<RWSize>(text.size()));
  // The quote and 78 letters fill 79 columns; the 4-character escape moves.
  EXPECT_EQ(os.str(), "\"" + std::string(78, 'b') + "\n\\x20\"");
  EXPECT_EQ(out.Column(), 5u);
  // Numbers neither advance nor reset the column.
  out.PutInt(12345);
  EXPECT_EQ(out.Column(), 5u);
  out.PutChar('z');
  EXPECT_EQ(out.Column(), 6u);
}

TEST(PortableStream, EscapeReading) {
  std::istringstream is("\\x4\n\\x7a \\q\n\\\"\\b");
  RWPortableInputStream in(is);
  char c = 0;
  in.GetChar(c);
  EXPECT_EQ(c, '\x04');  // \x stops at a line feed
  in.GetChar(c);
  EXPECT_EQ(c, 'z');
  in.GetChar(c);
  EXPECT_EQ(c, 'q');  // any other character after a backslash is itself
  in.GetChar(c);
  EXPECT_EQ(c, '"');
  EXPECT_EQ(in.Get(), '\b');
  EXPECT_FALSE(in.Fail());
  EXPECT_EQ(in.Get(), -1);
  EXPECT_TRUE(in.Fail());
}

TEST(PortableStream, BadHexEscapeFails) {
  std::istringstream is("\\xzz");
  RWPortableInputStream in(is);
  char c = 'k';
  in.GetChar(c);
  EXPECT_TRUE(in.Fail());
  EXPECT_EQ(c, 'k');
}

TEST(PortableStream, StringWithoutOpeningQuoteRaisesAndFails) {
  RWErrorScope errors;
  std::istringstream is("  abc\"");
  RWPortableInputStream in(is);
  char buffer[8] = "xxxxxxx";
  in.GetString(buffer, sizeof buffer);
  ASSERT_EQ(errors.Count(), 1u);
  EXPECT_EQ(errors.Entry(), rwcore::SynStream());
  EXPECT_STREQ(errors.Text(), "[SYNSTREAM] Syntax error in input stream: expected \", got a");
  EXPECT_TRUE(in.Fail());
  EXPECT_STREQ(buffer, "");
}

TEST(PortableStream, OverlongStringKeepsSizeMinusOneAndFails) {
  std::istringstream is("\"abc\\\"def\" 7\n");
  RWPortableInputStream in(is);
  char buffer[4];
  in.GetString(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_TRUE(in.Fail());
  // The rest of the string, escaped quote included, was read to its end.
  in.SetState(0);
  std::int32_t v = 0;
  in.GetInt(v);
  EXPECT_EQ(v, 7);
}

TEST(BinaryStream, OverlongStringKeepsSizeMinusOneAndFails) {
  std::istringstream is(Unhex("05 00 00 00 61 62 63 64 65 2A 00 00 00"));
  RWBinaryInputStream in(is);
  char buffer[3];
  in.GetString(buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "ab");
  EXPECT_TRUE(in.Fail());
  in.SetState(0);
  std::int32_t v = 0;
  in.GetInt(v);
  EXPECT_EQ(v, 42);
}

TEST(BinaryStream, CorruptStringCountNeverOverrunsOrAllocates) {
  // A count of 4 GB with three characters behind it.
  std::istringstream is(Unhex("FF FF FF FF 61 62 63"));
  RWBinaryInputStream in(is);
  char buffer[8] = "zzzzzzz";
  in.GetString(buffer, sizeof buffer);
  EXPECT_TRUE(in.Fail());
  EXPECT_TRUE(in.Eof());
  EXPECT_EQ(buffer[7], '\0');
}

TEST(BinaryStream, ZeroSizedBufferFailsWithoutReading) {
  std::istringstream is(Unhex("00 00 00 00"));
  RWBinaryInputStream in(is);
  in.GetString(nullptr, 0);
  EXPECT_TRUE(in.Fail());
}

TEST(BinaryStream, StateWordUsesTheLibraryBits) {
  std::istringstream is("");
  RWBinaryInputStream in(is);
  EXPECT_TRUE(in.Good());
  EXPECT_EQ(in.Get(), -1);
  EXPECT_EQ(in.State(), RWStreamState::kEof | RWStreamState::kFail);
  EXPECT_TRUE(in.Eof() && in.Fail() && !in.Bad());
  in.SetState(RWStreamState::kBad);
  EXPECT_TRUE(is.bad());
  EXPECT_TRUE(in.Fail());  // fail covers bad
  EXPECT_EQ(in.State(), RWStreamState::kBad);
  in.SetState(0);
  EXPECT_TRUE(is.good());
}

TEST(BinaryStream, ShortWriteSetsFailAndFlushFailureSetsBad) {
  struct Refusing : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
    int sync() override { return -1; }
  } refusing;
  RWBinaryOutputStream out(&refusing);
  out.PutInt(1);
  EXPECT_EQ(out.State(), RWStreamState::kFail);
  out.SetState(0);
  out.Flush();
  EXPECT_TRUE(out.Bad());
}

TEST(HeaderedStream, StoredLongOfEightBytesIsAdaptedWithItsSign) {
  std::istringstream is(
      Unhex("65 73 01 00 02 04 08 02 04"
            "FE FF FF FF FF FF FF FF"     // -2
            "FE FF FF FF 00 00 00 00"));  // 0xFFFFFFFE unsigned
  RWHeaderedBinaryInputStream in(is);
  EXPECT_EQ(in.LongSize(), 8u);
  std::int32_t v = 0;
  std::uint32_t u = 0;
  in.GetLong(v).GetULong(u);
  EXPECT_FALSE(in.Fail());
  EXPECT_EQ(v, -2);
  EXPECT_EQ(u, 0xFFFFFFFEu);
}

TEST(HeaderedStream, HighBytesThatAreNotTheSignFillFail) {
  const char* cases[] = {
      "00 00 00 80 00 00 00 00",  // negative low part, zero high bytes
      "FE FF FF FF 00 00 00 01",  // stray high byte
      "01 00 00 00 FF FF FF FF",  // positive low part, sign-extended high bytes
  };
  for (const char* body : cases) {
    SCOPED_TRACE(body);
    std::istringstream is(Unhex(std::string("65 73 01 00 02 04 08 02 04") + body));
    RWHeaderedBinaryInputStream in(is);
    std::int32_t v = 99;
    in.GetLong(v);
    EXPECT_TRUE(in.Fail());
    EXPECT_EQ(v, 99);
  }
  // For an unsigned long the fill is always zero.
  std::istringstream is(Unhex("65 73 01 00 02 04 08 02 04 FF FF FF FF FF FF FF FF"));
  RWHeaderedBinaryInputStream in(is);
  std::uint32_t u = 0;
  in.GetULongs(&u, 1);
  EXPECT_TRUE(in.Fail());
}

TEST(HeaderedStream, NarrowStoredValuesAreSignFilled) {
  std::istringstream is(
      Unhex("65 73 01 00 01 02 04 02 04"
            "80 80"           // two 1-byte shorts
            "FF FF FF 7F"));  // two 2-byte ints
  RWHeaderedBinaryInputStream in(is);
  std::int16_t s = 0;
  std::uint16_t us = 0;
  std::int32_t ints[2] = {};
  in.GetShort(s).GetUShort(us).GetInts(ints, 2);
  EXPECT_FALSE(in.Fail());
  EXPECT_EQ(s, -128);
  EXPECT_EQ(us, 0x80);
  EXPECT_EQ(ints[0], -1);
  EXPECT_EQ(ints[1], 0x7FFF);
}

TEST(HeaderedStream, BigEndianInputIsReversedPerValue) {
  std::istringstream is(
      Unhex("65 73 01 01 02 04 04 02 04"
            "12 34 56 78 9A BC DE F0"  // two ushorts, one uint
            "BF F0 00 00 00 00 00 00"  // -1.0
            "08 00 00 00"));           // a long
  RWHeaderedBinaryInputStream in(is);
  EXPECT_EQ(in.ByteOrder(), kRWBigEndian);
  std::uint16_t us[2] = {};
  std::uint32_t u = 0;
  double d = 0;
  std::int32_t l = 0;
  in.GetUShorts(us, 2).GetUInt(u).GetDouble(d).GetLong(l);
  EXPECT_FALSE(in.Fail());
  EXPECT_EQ(us[0], 0x1234);
  EXPECT_EQ(us[1], 0x5678);
  EXPECT_EQ(u, 0x9ABCDEF0u);
  EXPECT_EQ(d, -1.0);
  EXPECT_EQ(l, 0x08000000);
  // A counted string keeps its little-endian count.
  std::istringstream is2(Unhex("65 73 01 01 02 04 04 02 04 02 00 00 00 6F 6B"));
  RWHeaderedBinaryInputStream in2(is2);
  char buffer[4];
  in2.GetString(buffer, sizeof buffer);
  EXPECT_FALSE(in2.Fail());
  EXPECT_STREQ(buffer, "ok");
}

TEST(HeaderedStream, BadHeadersRaiseStreamAndFail) {
  const char* headers[] = {
      "66 73 01 00 02 04 04 02 04",  // first byte not 'e'
      "65 74 01 00 02 04 04 02 04",  // second byte not 's'
      "65 73 02 00 02 04 04 02 04",  // version not 1
      "65 73 01 00",                 // cut short
  };
  for (const char* header : headers) {
    SCOPED_TRACE(header);
    RWErrorScope errors;
    std::istringstream is(Unhex(std::string(header) + "01 00"));
    RWHeaderedBinaryInputStream in(is);
    ASSERT_EQ(errors.Count(), 1u);
    // The rwtools entry, not the core one of the same text.
    EXPECT_EQ(errors.Entry(), rwtools::Stream());
    EXPECT_STREQ(errors.Text(), "[STREAM] Bad input stream");
    EXPECT_TRUE(in.Fail());
    std::uint16_t v = 7;
    in.GetUShort(v);
    EXPECT_EQ(v, 7);
  }
}

TEST(HeaderedStream, SizesOutOfRangeFail) {
  for (const char* header : {"65 73 01 00 00 04 04 02 04", "65 73 01 00 02 09 04 02 04"}) {
    SCOPED_TRACE(header);
    RWErrorScope errors;
    std::istringstream is(Unhex(std::string(header) + "01 00 00 00"));
    RWHeaderedBinaryInputStream in(is);
    EXPECT_TRUE(in.Fail());
    EXPECT_FALSE(errors.Failed());
  }
}

TEST(HeaderedStream, AnyNonZeroOrderByteMeansBigEndian) {
  std::istringstream is(Unhex("65 73 01 07 02 04 04 02 04 00 01"));
  RWHeaderedBinaryInputStream in(is);
  std::uint16_t v = 0;
  in.GetUShort(v);
  EXPECT_EQ(in.ByteOrder(), kRWBigEndian);
  EXPECT_EQ(v, 1);
}

TEST(HeaderedStream, OutputOnAFailingStreamRaisesFirst) {
  RWErrorScope errors;
  std::ostringstream os;
  os.setstate(std::ios_base::failbit);
  RWHeaderedBinaryOutputStream out(os);
  ASSERT_EQ(errors.Count(), 1u);
  EXPECT_EQ(errors.Entry(), rwtools::Stream());
  EXPECT_TRUE(out.Fail());
  EXPECT_EQ(os.str(), "");
}

TEST(TypedExtraction, ReadsOneValueOrAnswersNull) {
  for (Encoding e : kEncodings) {
    SCOPED_TRACE(Name(e));
    std::ostringstream os;
    {
      auto out = MakeOutput(e, os);
      out->PutChar('x').PutUChar(0xFE).PutShort(-3).PutUShort(3).PutInt(-4).PutUInt(4);
      out->PutLong(-5).PutULong(5).PutFloat(0.5f).PutDouble(0.25);
    }
    std::istringstream is(os.str());
    auto in = MakeInput(e, is);
    EXPECT_EQ(*RWExtractChar(*in), 'x');
    EXPECT_EQ(*RWExtractUChar(*in), 0xFE);
    EXPECT_EQ(*RWExtractShort(*in), -3);
    EXPECT_EQ(*RWExtractUShort(*in), 3);
    EXPECT_EQ(*RWExtractInt(*in), -4);
    EXPECT_EQ(*RWExtractUInt(*in), 4u);
    EXPECT_EQ(*RWExtractLong(*in), -5);
    EXPECT_EQ(*RWExtractULong(*in), 5u);
    EXPECT_EQ(*RWExtractFloat(*in), 0.5f);
    EXPECT_EQ(*RWExtractDouble(*in), 0.25);
    EXPECT_EQ(RWExtractDouble(*in), nullptr);
    EXPECT_EQ(RWExtractChar(*in), nullptr);
  }
}
