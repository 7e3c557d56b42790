// The virtual output and input streams: the typed operations through which
// every persistable object saves and restores its data, whatever the
// encoding (portable text, binary, binary with a format header).
//
// The operations are declared in their fixed order: output 0-24, input 0-23.
// Every operation answers the stream, so calls chain. A failed operation
// shows in the state word (RWStreamState: end of input 1, fail 2, bad 4);
// a failed read of one value leaves its target unchanged.
//
// Stored widths are fixed whatever the host: 16-bit items take 2 bytes,
// int and long (and their unsigned forms) 4, float 4, double 8 in the binary
// encodings. That is why the long operations take std::int32_t.
//
// A stream does not own what it writes or reads; the concrete streams say
// who owns the runtime stream beneath. One stream belongs to one thread at
// a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "foundation/rw/defs.h"
#include "foundation/rw/streamstate.h"

// The selectors of the three encodings, as the persistence streams and the
// driver services' stream operations take them.
inline constexpr std::int32_t kRWPortableTextEncoding = 0;
inline constexpr std::int32_t kRWBinaryEncoding = 1;
inline constexpr std::int32_t kRWHeaderedBinaryEncoding = 2;

// Receives the characters of a counted string piece by piece as they are
// read, so that a reader never has to trust a stored length up front.
class RWStringSink {
 public:
  virtual void Append(const char* chars, std::size_t n) = 0;

 protected:
  ~RWStringSink() = default;
};

class RWVirtualOutputStream : public RWStreamState {
 public:
  RWVirtualOutputStream() = default;
  RWVirtualOutputStream(const RWVirtualOutputStream&) = delete;
  RWVirtualOutputStream& operator=(const RWVirtualOutputStream&) = delete;
  ~RWVirtualOutputStream() override = default;

  // Fail is also true when the stream is bad.
  bool Fail() const override { return (State() & (kFail | kBad)) != 0; }

  // Non-zero (the default): strings go through PutString; zero: through
  // PutChars.
  std::uint32_t StringMode() const { return string_mode_; }
  void SetStringMode(std::uint32_t mode) { string_mode_ = mode; }

  // The virtual operations below are in slot order.
  // A counted string of n characters (embedded NULs kept).
  virtual RWVirtualOutputStream& PutString(const char* s, RWSize n) = 0;
  virtual RWVirtualOutputStream& PutUShort(std::uint16_t v) = 0;
  virtual RWVirtualOutputStream& PutShort(std::int16_t v) = 0;
  virtual RWVirtualOutputStream& PutULong(std::uint32_t v) = 0;
  virtual RWVirtualOutputStream& PutLong(std::int32_t v) = 0;
  virtual RWVirtualOutputStream& PutUInt(std::uint32_t v) = 0;
  virtual RWVirtualOutputStream& PutInt(std::int32_t v) = 0;
  virtual RWVirtualOutputStream& PutFloat(float v) = 0;
  virtual RWVirtualOutputStream& PutDouble(double v) = 0;
  // In character form, written as PutChar writes.
  virtual RWVirtualOutputStream& PutUChar(std::uint8_t c) = 0;
  // One character in character form (the graph tokens use it).
  virtual RWVirtualOutputStream& PutChar(char c) = 0;
  // PutString with the text's length; null writes an empty string.
  // REQUIRES: s is NUL-terminated or null.
  virtual RWVirtualOutputStream& PutCString(const char* s);
  // Asks the runtime stream to synchronise; bad when it cannot.
  virtual RWVirtualOutputStream& Flush() = 0;
  // Arrays, the values one after another.
  virtual RWVirtualOutputStream& PutDoubles(const double* p, RWSize n) = 0;
  virtual RWVirtualOutputStream& PutFloats(const float* p, RWSize n) = 0;
  virtual RWVirtualOutputStream& PutULongs(const std::uint32_t* p, RWSize n) = 0;
  virtual RWVirtualOutputStream& PutLongs(const std::int32_t* p, RWSize n) = 0;
  virtual RWVirtualOutputStream& PutUInts(const std::uint32_t* p, RWSize n) = 0;
  virtual RWVirtualOutputStream& PutInts(const std::int32_t* p, RWSize n) = 0;
  virtual RWVirtualOutputStream& PutUShorts(const std::uint16_t* p, RWSize n) = 0;
  virtual RWVirtualOutputStream& PutShorts(const std::int16_t* p, RWSize n) = 0;
  // Unsigned characters as numbers.
  virtual RWVirtualOutputStream& PutUChars(const std::uint8_t* p, RWSize n) = 0;
  // One unsigned character as a number.
  virtual RWVirtualOutputStream& PutUCharAsNumber(std::uint8_t c) = 0;
  // Characters as numbers (the string operations when StringMode() is 0).
  virtual RWVirtualOutputStream& PutChars(const char* p, RWSize n) = 0;
  // One signed character as a number.
  virtual RWVirtualOutputStream& PutSCharAsNumber(std::int8_t c) = 0;

 private:
  std::uint32_t string_mode_ = 1;
};

class RWVirtualInputStream : public RWStreamState {
 public:
  RWVirtualInputStream() = default;
  RWVirtualInputStream(const RWVirtualInputStream&) = delete;
  RWVirtualInputStream& operator=(const RWVirtualInputStream&) = delete;
  ~RWVirtualInputStream() override = default;

  // Fail is also true when the stream is bad.
  bool Fail() const override { return (State() & (kFail | kBad)) != 0; }

  // Non-zero (the default): strings come through GetString; zero: through
  // GetChars.
  std::uint32_t StringMode() const { return string_mode_; }
  void SetStringMode(std::uint32_t mode) { string_mode_ = mode; }

  // The virtual operations below are in slot order.
  // Arrays of n values.
  virtual RWVirtualInputStream& GetULongs(std::uint32_t* p, RWSize n) = 0;
  virtual RWVirtualInputStream& GetUInts(std::uint32_t* p, RWSize n) = 0;
  virtual RWVirtualInputStream& GetUShorts(std::uint16_t* p, RWSize n) = 0;
  virtual RWVirtualInputStream& GetUChars(std::uint8_t* p, RWSize n) = 0;  // as numbers
  virtual RWVirtualInputStream& GetShorts(std::int16_t* p, RWSize n) = 0;
  virtual RWVirtualInputStream& GetLongs(std::int32_t* p, RWSize n) = 0;
  virtual RWVirtualInputStream& GetInts(std::int32_t* p, RWSize n) = 0;
  virtual RWVirtualInputStream& GetFloats(float* p, RWSize n) = 0;
  virtual RWVirtualInputStream& GetDoubles(double* p, RWSize n) = 0;
  // Characters as numbers (pairs with PutChars).
  virtual RWVirtualInputStream& GetChars(char* p, RWSize n) = 0;
  // One character as a number (pair with PutUCharAsNumber and
  // PutSCharAsNumber).
  virtual RWVirtualInputStream& GetUCharAsNumber(std::uint8_t& c) = 0;
  virtual RWVirtualInputStream& GetCharAsNumber(char& c) = 0;
  // One character in character form, or -1 at the end of input.
  virtual int Get() = 0;
  // A counted string into `buffer`: at most size - 1 characters are
  // kept, always NUL-terminated; a longer string is read to its end, the
  // rest dropped, and the fail bit set. Size 0 stores nothing and fails.
  virtual RWVirtualInputStream& GetString(char* buffer, RWSize size);
  virtual RWVirtualInputStream& GetULong(std::uint32_t& v) = 0;
  virtual RWVirtualInputStream& GetUInt(std::uint32_t& v) = 0;
  virtual RWVirtualInputStream& GetUShort(std::uint16_t& v) = 0;
  // In character form, as GetChar reads.
  virtual RWVirtualInputStream& GetUChar(std::uint8_t& c) = 0;
  virtual RWVirtualInputStream& GetShort(std::int16_t& v) = 0;
  virtual RWVirtualInputStream& GetLong(std::int32_t& v) = 0;
  virtual RWVirtualInputStream& GetInt(std::int32_t& v) = 0;
  virtual RWVirtualInputStream& GetFloat(float& v) = 0;
  virtual RWVirtualInputStream& GetDouble(double& v) = 0;
  // A token character (pairs with PutChar; the graph tokens use it).
  virtual RWVirtualInputStream& GetChar(char& c) = 0;

  // The counted-string reader beneath GetString: hands the first
  // `max_chars` characters to `sink` as they arrive, reads and drops the
  // rest, and sets the fail bit when there was a rest. Answers the number
  // of characters handed out. Nothing is allocated from the stored count.
  virtual RWSize ReadCountedString(RWStringSink& sink, RWSize max_chars) = 0;

 private:
  std::uint32_t string_mode_ = 1;
};

// Typed extraction: one value of a basic type read into a new item of its
// size, or null when the read fails (or after [NOMEM]). Characters are read
// in character form (GetChar, GetUChar), numbers with their own operation.
std::unique_ptr<char> RWExtractChar(RWVirtualInputStream& stream);
std::unique_ptr<std::uint8_t> RWExtractUChar(RWVirtualInputStream& stream);
std::unique_ptr<std::int16_t> RWExtractShort(RWVirtualInputStream& stream);
std::unique_ptr<std::uint16_t> RWExtractUShort(RWVirtualInputStream& stream);
std::unique_ptr<std::int32_t> RWExtractInt(RWVirtualInputStream& stream);
std::unique_ptr<std::uint32_t> RWExtractUInt(RWVirtualInputStream& stream);
std::unique_ptr<std::int32_t> RWExtractLong(RWVirtualInputStream& stream);
std::unique_ptr<std::uint32_t> RWExtractULong(RWVirtualInputStream& stream);
std::unique_ptr<float> RWExtractFloat(RWVirtualInputStream& stream);
std::unique_ptr<double> RWExtractDouble(RWVirtualInputStream& stream);
