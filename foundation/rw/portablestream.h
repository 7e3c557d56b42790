// The portable text encoding of the virtual streams: numbers in decimal,
// characters and strings escaped, so that the data survives any byte order
// and any text transport.
//
// Stored layout:
//   number     formatted in the "C" locale (doubles and floats in scientific
//              notation with 16 digits of precision), then a line feed
//   character  the escaped character (below)
//   string     '"', the escaped characters, '"'
// Escapes: backspace \b, tab \t, line feed \n, form feed \f, carriage
// return \r, '"' \", '\' \\, '{' \[, '}' \]; other printable characters
// except the space as themselves; anything else, space included, \xhh
// (lower-case hex). Characters and escapes are broken into lines of at most
// kLineLength columns: a line feed goes before the character or escape that
// would pass the limit. Readers drop those line feeds.
//
// The runtime stream is imbued with the classic locale (and, for output,
// set to scientific notation with precision 16) at construction, so that the
// text never depends on the global locale. A string that does not open with
// '"' raises [SYNSTREAM] inside the reader's error scope (readscope.h; it
// never reaches the handler) and sets the fail bit. Ownership and threads as
// in runtimestream.h.
#pragma once

#include <cstdint>

#include "foundation/rw/runtimestream.h"

class RWPortableOutputStream : public RWRuntimeOutputStream {
 public:
  static constexpr std::uint32_t kLineLength = 80;

  explicit RWPortableOutputStream(std::ostream& os);
  explicit RWPortableOutputStream(std::streambuf* buffer);

  RWVirtualOutputStream& PutString(const char* s, RWSize n) override;
  RWVirtualOutputStream& PutUShort(std::uint16_t v) override;
  RWVirtualOutputStream& PutShort(std::int16_t v) override;
  RWVirtualOutputStream& PutULong(std::uint32_t v) override;
  RWVirtualOutputStream& PutLong(std::int32_t v) override;
  RWVirtualOutputStream& PutUInt(std::uint32_t v) override;
  RWVirtualOutputStream& PutInt(std::int32_t v) override;
  RWVirtualOutputStream& PutFloat(float v) override;
  RWVirtualOutputStream& PutDouble(double v) override;
  RWVirtualOutputStream& PutUChar(std::uint8_t c) override;
  RWVirtualOutputStream& PutChar(char c) override;
  RWVirtualOutputStream& PutDoubles(const double* p, RWSize n) override;
  RWVirtualOutputStream& PutFloats(const float* p, RWSize n) override;
  RWVirtualOutputStream& PutULongs(const std::uint32_t* p, RWSize n) override;
  RWVirtualOutputStream& PutLongs(const std::int32_t* p, RWSize n) override;
  RWVirtualOutputStream& PutUInts(const std::uint32_t* p, RWSize n) override;
  RWVirtualOutputStream& PutInts(const std::int32_t* p, RWSize n) override;
  RWVirtualOutputStream& PutUShorts(const std::uint16_t* p, RWSize n) override;
  RWVirtualOutputStream& PutShorts(const std::int16_t* p, RWSize n) override;
  RWVirtualOutputStream& PutUChars(const std::uint8_t* p, RWSize n) override;
  RWVirtualOutputStream& PutUCharAsNumber(std::uint8_t c) override;
  RWVirtualOutputStream& PutChars(const char* p, RWSize n) override;
  RWVirtualOutputStream& PutSCharAsNumber(std::int8_t c) override;

  // Characters written on the current line.
  std::uint32_t Column() const { return column_; }

 private:
  void Prepare();
  // Writes `text` (one character or one escape) on the current line, or on
  // a new one when it would pass the line length.
  void PutPiece(const char* text, std::uint32_t k);
  void PutEscaped(char c);
  template <class T>
  void PutNumber(T v);
  template <class T>
  void PutNumbers(const T* p, RWSize n);

  std::uint32_t column_ = 0;
};

class RWPortableInputStream : public RWRuntimeInputStream {
 public:
  explicit RWPortableInputStream(std::istream& is);
  explicit RWPortableInputStream(std::streambuf* buffer);

  RWVirtualInputStream& GetULongs(std::uint32_t* p, RWSize n) override;
  RWVirtualInputStream& GetUInts(std::uint32_t* p, RWSize n) override;
  RWVirtualInputStream& GetUShorts(std::uint16_t* p, RWSize n) override;
  RWVirtualInputStream& GetUChars(std::uint8_t* p, RWSize n) override;
  RWVirtualInputStream& GetShorts(std::int16_t* p, RWSize n) override;
  RWVirtualInputStream& GetLongs(std::int32_t* p, RWSize n) override;
  RWVirtualInputStream& GetInts(std::int32_t* p, RWSize n) override;
  RWVirtualInputStream& GetFloats(float* p, RWSize n) override;
  RWVirtualInputStream& GetDoubles(double* p, RWSize n) override;
  RWVirtualInputStream& GetChars(char* p, RWSize n) override;
  RWVirtualInputStream& GetUCharAsNumber(std::uint8_t& c) override;
  RWVirtualInputStream& GetCharAsNumber(char& c) override;
  // One escaped character, line feeds dropped; -1 at the end of input.
  int Get() override;
  RWVirtualInputStream& GetULong(std::uint32_t& v) override;
  RWVirtualInputStream& GetUInt(std::uint32_t& v) override;
  RWVirtualInputStream& GetUShort(std::uint16_t& v) override;
  RWVirtualInputStream& GetUChar(std::uint8_t& c) override;
  RWVirtualInputStream& GetShort(std::int16_t& v) override;
  RWVirtualInputStream& GetLong(std::int32_t& v) override;
  RWVirtualInputStream& GetInt(std::int32_t& v) override;
  RWVirtualInputStream& GetFloat(float& v) override;
  RWVirtualInputStream& GetDouble(double& v) override;
  RWVirtualInputStream& GetChar(char& c) override;
  RWSize ReadCountedString(RWStringSink& sink, RWSize max_chars) override;

 private:
  void Prepare();
  // Reads one escaped character, dropping line feeds. False at the end of
  // input or on a bad escape (the fail bit is then set).
  bool ReadEscaped(char& c);
  template <class T>
  bool ReadNumber(T& v);
  template <class T>
  void GetNumbers(T* p, RWSize n);
  // A character read as a number: its low byte.
  bool ReadCharNumber(char& c);
};
