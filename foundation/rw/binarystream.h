// The plain binary encoding of the virtual streams: every value as its bytes,
// little-endian, with fixed widths. The headered encoding
// (headeredbinarystream.h) builds on it with a byte order and stored sizes
// of its own.
//
// Stored layout:
//   char, unsigned char          1 byte
//   short, unsigned short        2 bytes
//   int, long and unsigned forms 4 bytes
//   float 4 bytes, double 8 bytes (IEEE 754)
//   arrays                       the values one after another
//   counted string               u32 count (little-endian), then the bytes
//   token character              one raw byte
//
// Reading: a short read sets end of input and fail; a string longer than
// the caller's buffer is read to its end and sets fail. Writing: a short
// write sets fail. Ownership and threads as in runtimestream.h.
#pragma once

#include <bit>
#include <cstdint>

#include "foundation/rw/runtimestream.h"

// Byte orders of stored data, as the headered encoding stores them.
inline constexpr std::uint32_t kRWLittleEndian = 0;
inline constexpr std::uint32_t kRWBigEndian = 1;
// The host's order, fixed at build time.
inline constexpr std::uint32_t kRWHostByteOrder =
    std::endian::native == std::endian::little ? kRWLittleEndian : kRWBigEndian;

class RWBinaryOutputStream : public RWRuntimeOutputStream {
 public:
  explicit RWBinaryOutputStream(std::ostream& os);
  explicit RWBinaryOutputStream(std::streambuf* buffer);

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

 protected:
  // Values wider than a byte are written in `byte_order`.
  RWBinaryOutputStream(std::ostream& os, std::uint32_t byte_order);
  RWBinaryOutputStream(std::streambuf* buffer, std::uint32_t byte_order);

  // Writes raw bytes; fail when the stream was not good or took fewer.
  void WriteBytes(const void* p, std::size_t n);

  std::uint32_t byte_order_;

 private:
  template <class T>
  void PutValues(const T* p, RWSize n);
};

class RWBinaryInputStream : public RWRuntimeInputStream {
 public:
  explicit RWBinaryInputStream(std::istream& is);
  explicit RWBinaryInputStream(std::streambuf* buffer);

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

 protected:
  RWBinaryInputStream(std::istream& is, std::uint32_t byte_order);
  RWBinaryInputStream(std::streambuf* buffer, std::uint32_t byte_order);

  // Reads exactly n raw bytes; a short read sets end of input and fail.
  bool ReadBytes(void* p, std::size_t n);

  // How the data was written: byte order, and the stored sizes of 16-bit,
  // int and long values (each 1 to 8). Plain binary data has 2, 4, 4.
  std::uint32_t byte_order_;
  std::uint32_t short_size_ = 2;
  std::uint32_t int_size_ = 4;
  std::uint32_t long_size_ = 4;

 private:
  template <class T>
  bool ReadInteger(T& v, std::uint32_t stored_size);
  template <class T>
  void GetIntegers(T* p, RWSize n, std::uint32_t stored_size);
  template <class T>
  void GetFloating(T* p, RWSize n);
};
