#include "foundation/rw/portablestream.h"

#include <cstdio>
#include <locale>

#include "foundation/rw/error.h"
#include "foundation/rw/readscope.h"

namespace {

// Writes the escaped form of c into `out` (at most 4 characters plus a
// NUL) and answers its length.
std::uint32_t Escape(char c, char* out) {
  const unsigned char u = static_cast<unsigned char>(c);
  char second = 0;
  switch (u) {
    case '\b':
      second = 'b';
      break;
    case '\t':
      second = 't';
      break;
    case '\n':
      second = 'n';
      break;
    case '\f':
      second = 'f';
      break;
    case '\r':
      second = 'r';
      break;
    case '"':
      second = '"';
      break;
    case '\\':
      second = '\\';
      break;
    case '{':
      second = '[';
      break;
    case '}':
      second = ']';
      break;
    default:
      break;
  }
  if (second != 0) {
    out[0] = '\\';
    out[1] = second;
    out[2] = '\0';
    return 2;
  }
  // Printable in the "C" locale and not a space.
  if (u > 0x20 && u < 0x7F) {
    out[0] = c;
    out[1] = '\0';
    return 1;
  }
  std::snprintf(out, 5, "\\x%02x", u);
  return 4;
}

int HexDigit(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Output

RWPortableOutputStream::RWPortableOutputStream(std::ostream& os) : RWRuntimeOutputStream(os) {
  Prepare();
}

RWPortableOutputStream::RWPortableOutputStream(std::streambuf* buffer)
    : RWRuntimeOutputStream(buffer) {
  Prepare();
}

void RWPortableOutputStream::Prepare() {
  std::ostream& os = Runtime();
  os.imbue(std::locale::classic());
  os.setf(std::ios_base::scientific, std::ios_base::floatfield);
  os.precision(16);
}

template <class T>
void RWPortableOutputStream::PutNumber(T v) {
  Runtime() << v << '\n';
}

template <class T>
void RWPortableOutputStream::PutNumbers(const T* p, RWSize n) {
  for (RWSize i = 0; i < n && Good(); ++i)
    PutNumber(p[i]);
}

void RWPortableOutputStream::PutPiece(const char* text, std::uint32_t k) {
  std::ostream& os = Runtime();
  if (column_ + k > kLineLength) {
    os.put('\n');
    column_ = k;
  } else {
    column_ += k;
  }
  os.write(text, k);
}

void RWPortableOutputStream::PutEscaped(char c) {
  char text[5];
  std::uint32_t k = Escape(c, text);
  PutPiece(text, k);
}

RWVirtualOutputStream& RWPortableOutputStream::PutString(const char* s, RWSize n) {
  PutPiece("\"", 1);
  for (RWSize i = 0; i < n && Good(); ++i)
    PutEscaped(s[i]);
  PutPiece("\"", 1);
  return *this;
}

RWVirtualOutputStream& RWPortableOutputStream::PutUShort(std::uint16_t v) {
  PutNumber(v);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutShort(std::int16_t v) {
  PutNumber(v);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutULong(std::uint32_t v) {
  PutNumber(v);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutLong(std::int32_t v) {
  PutNumber(v);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutUInt(std::uint32_t v) {
  PutNumber(v);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutInt(std::int32_t v) {
  PutNumber(v);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutFloat(float v) {
  PutNumber(static_cast<double>(v));
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutDouble(double v) {
  PutNumber(v);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutUChar(std::uint8_t c) {
  PutEscaped(static_cast<char>(c));
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutChar(char c) {
  PutEscaped(c);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutDoubles(const double* p, RWSize n) {
  PutNumbers(p, n);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutFloats(const float* p, RWSize n) {
  for (RWSize i = 0; i < n && Good(); ++i)
    PutNumber(static_cast<double>(p[i]));
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutULongs(const std::uint32_t* p, RWSize n) {
  PutNumbers(p, n);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutLongs(const std::int32_t* p, RWSize n) {
  PutNumbers(p, n);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutUInts(const std::uint32_t* p, RWSize n) {
  PutNumbers(p, n);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutInts(const std::int32_t* p, RWSize n) {
  PutNumbers(p, n);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutUShorts(const std::uint16_t* p, RWSize n) {
  PutNumbers(p, n);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutShorts(const std::int16_t* p, RWSize n) {
  PutNumbers(p, n);
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutUChars(const std::uint8_t* p, RWSize n) {
  for (RWSize i = 0; i < n && Good(); ++i)
    PutNumber(static_cast<int>(p[i]));
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutUCharAsNumber(std::uint8_t c) {
  PutNumber(static_cast<int>(c));
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutChars(const char* p, RWSize n) {
  // Plain characters are written as signed numbers; readers keep the low
  // byte, so either signedness reads back the same.
  for (RWSize i = 0; i < n && Good(); ++i) {
    PutNumber(static_cast<int>(static_cast<signed char>(p[i])));
  }
  return *this;
}
RWVirtualOutputStream& RWPortableOutputStream::PutSCharAsNumber(std::int8_t c) {
  PutNumber(static_cast<int>(c));
  return *this;
}

// ---------------------------------------------------------------------------
// Input

RWPortableInputStream::RWPortableInputStream(std::istream& is) : RWRuntimeInputStream(is) {
  Prepare();
}

RWPortableInputStream::RWPortableInputStream(std::streambuf* buffer)
    : RWRuntimeInputStream(buffer) {
  Prepare();
}

void RWPortableInputStream::Prepare() {
  Runtime().imbue(std::locale::classic());
}

template <class T>
bool RWPortableInputStream::ReadNumber(T& v) {
  T t{};
  if (!(Runtime() >> t)) return false;
  v = t;
  return true;
}

template <class T>
void RWPortableInputStream::GetNumbers(T* p, RWSize n) {
  for (RWSize i = 0; i < n; ++i) {
    if (!ReadNumber(p[i])) return;
  }
}

bool RWPortableInputStream::ReadCharNumber(char& c) {
  int v;
  if (!ReadNumber(v)) return false;
  c = static_cast<char>(v & 0xFF);
  return true;
}

bool RWPortableInputStream::ReadEscaped(char& c) {
  std::istream& is = Runtime();
  int ch;
  do {
    ch = is.get();
  } while (ch == '\n');
  if (ch == std::char_traits<char>::eof()) return false;  // get() set eof and fail
  if (ch != '\\') {
    c = static_cast<char>(ch);
    return true;
  }
  ch = is.get();
  if (ch == std::char_traits<char>::eof()) return false;
  switch (ch) {
    case '[':
      c = '{';
      return true;
    case ']':
      c = '}';
      return true;
    case 'b':
      c = '\b';
      return true;
    case 'f':
      c = '\f';
      return true;
    case 'n':
      c = '\n';
      return true;
    case 'r':
      c = '\r';
      return true;
    case 't':
      c = '\t';
      return true;
    case 'x':
      break;
    default:
      c = static_cast<char>(ch);
      return true;  // '"', '\\' and any other
  }
  // \x: up to two more characters, not past a line feed; their leading hex
  // digits give the character.
  int digits[2];
  int taken = 0;
  while (taken < 2) {
    int h = is.peek();
    if (h == std::char_traits<char>::eof() || h == '\n') break;
    digits[taken++] = is.get();
  }
  int value = 0;
  int used = 0;
  while (used < taken && HexDigit(digits[used]) >= 0)
    value = value * 16 + HexDigit(digits[used++]);
  if (used == 0) {
    SetFail();
    return false;
  }
  c = static_cast<char>(value);
  return true;
}

RWVirtualInputStream& RWPortableInputStream::GetULongs(std::uint32_t* p, RWSize n) {
  GetNumbers(p, n);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetUInts(std::uint32_t* p, RWSize n) {
  GetNumbers(p, n);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetUShorts(std::uint16_t* p, RWSize n) {
  GetNumbers(p, n);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetUChars(std::uint8_t* p, RWSize n) {
  for (RWSize i = 0; i < n; ++i) {
    char c;
    if (!ReadCharNumber(c)) break;
    p[i] = static_cast<std::uint8_t>(c);
  }
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetShorts(std::int16_t* p, RWSize n) {
  GetNumbers(p, n);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetLongs(std::int32_t* p, RWSize n) {
  GetNumbers(p, n);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetInts(std::int32_t* p, RWSize n) {
  GetNumbers(p, n);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetFloats(float* p, RWSize n) {
  GetNumbers(p, n);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetDoubles(double* p, RWSize n) {
  GetNumbers(p, n);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetChars(char* p, RWSize n) {
  for (RWSize i = 0; i < n; ++i) {
    if (!ReadCharNumber(p[i])) break;
  }
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetUCharAsNumber(std::uint8_t& c) {
  char v;
  if (ReadCharNumber(v)) c = static_cast<std::uint8_t>(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetCharAsNumber(char& c) {
  ReadCharNumber(c);
  return *this;
}

int RWPortableInputStream::Get() {
  char c;
  return ReadEscaped(c) ? static_cast<unsigned char>(c) : -1;
}

RWVirtualInputStream& RWPortableInputStream::GetULong(std::uint32_t& v) {
  ReadNumber(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetUInt(std::uint32_t& v) {
  ReadNumber(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetUShort(std::uint16_t& v) {
  ReadNumber(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetUChar(std::uint8_t& c) {
  char v;
  GetChar(v);
  if (!Fail()) c = static_cast<std::uint8_t>(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetShort(std::int16_t& v) {
  ReadNumber(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetLong(std::int32_t& v) {
  ReadNumber(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetInt(std::int32_t& v) {
  ReadNumber(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetFloat(float& v) {
  ReadNumber(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetDouble(double& v) {
  ReadNumber(v);
  return *this;
}
RWVirtualInputStream& RWPortableInputStream::GetChar(char& c) {
  Runtime() >> std::ws;
  char v;
  if (ReadEscaped(v)) c = v;
  return *this;
}

RWSize RWPortableInputStream::ReadCountedString(RWStringSink& sink, RWSize max_chars) {
  RWReadScope scope(*this);
  using Traits = std::char_traits<char>;
  std::istream& is = Runtime();
  is >> std::ws;
  int ch = is.get();
  if (ch == Traits::eof()) return 0;
  if (ch != '"') {
    if (is.good()) {
      const char got[2] = {static_cast<char>(ch), '\0'};
      RaiseEnvironmentError(RWEnvironmentError(RWMessageText(rwcore::SynStream(), "\"", got)));
    }
    // Whatever follows is not the string the caller expects.
    SetFail();
    return 0;
  }
  char chunk[256];
  std::size_t used = 0;
  RWSize handed = 0;
  bool dropped = false;
  for (;;) {
    ch = is.peek();
    if (ch == Traits::eof()) {
      is.setstate(std::ios_base::eofbit | std::ios_base::failbit);
      break;
    }
    if (ch == '\n') {
      is.get();
      continue;
    }
    if (ch == '"') {
      is.get();
      break;
    }
    char c;
    if (!ReadEscaped(c)) break;
    if (handed + used < max_chars) {
      chunk[used++] = c;
      if (used == sizeof chunk) {
        sink.Append(chunk, used);
        handed += static_cast<RWSize>(used);
        used = 0;
      }
    } else {
      dropped = true;
    }
  }
  if (used > 0) {
    sink.Append(chunk, used);
    handed += static_cast<RWSize>(used);
  }
  if (dropped) SetFail();
  return handed;
}
