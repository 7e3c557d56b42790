// The binary encoding with a format header: the plain binary encoding
// (binarystream.h) preceded by a nine-byte header that names the byte order
// of the data and the sizes of its integers, so that data written on a host
// of the other byte order, or with wider integers, can be read back.
//
// Header layout, written once at construction, one byte each:
//   'e' (0x65) | 's' (0x73) | version 1 | byte order (0 little, 1 big)
//   | size of 16-bit values (2) | size of int (4) | size of long (4)
//   | two further sizes (2, 4), stored and not used
// Values follow with the widths of the binary encoding in the header's byte
// order; characters and counted strings (count little-endian) are written
// as in the binary encoding.
//
// The reader checks the header: a wrong 'e', 's' or version byte, or a
// header that cannot be read, raises [STREAM] "Bad input stream" inside the
// reader's error scope (readscope.h; it never reaches the handler) and sets
// the fail bit. 16-bit, int and long values are read with their stored size
// (1 to 8 bytes; any other size fails) and adapted to 2, 4, 4 bytes: a
// narrower value is extended with its sign (signed items) or zeros, a wider
// one fails unless its extra high bytes are that fill.
// Ownership and threads as in runtimestream.h.
#pragma once

#include <cstdint>

#include "foundation/rw/binarystream.h"

inline constexpr unsigned char kRWHeaderMagic0 = 0x65;  // 'e'
inline constexpr unsigned char kRWHeaderMagic1 = 0x73;  // 's'
inline constexpr unsigned char kRWHeaderVersion = 1;
inline constexpr std::size_t kRWHeaderSize = 9;
// The byte-order argument that asks for the host's order.
inline constexpr std::uint32_t kRWHostOrderRequest = 2;

class RWHeaderedBinaryOutputStream : public RWBinaryOutputStream {
 public:
  // `byte_order`: kRWLittleEndian, kRWBigEndian, or kRWHostOrderRequest
  // (any other value is taken as the host's order). Writes the header; a
  // stream already failing raises [STREAM] first.
  explicit RWHeaderedBinaryOutputStream(std::ostream& os,
                                        std::uint32_t byte_order = kRWHostOrderRequest);
  explicit RWHeaderedBinaryOutputStream(std::streambuf* buffer,
                                        std::uint32_t byte_order = kRWHostOrderRequest);

  // The order the values are written in: 0 little, 1 big.
  std::uint32_t ByteOrder() const { return byte_order_; }

 private:
  void WriteHeader();
};

class RWHeaderedBinaryInputStream : public RWBinaryInputStream {
 public:
  // Reads and checks the header.
  explicit RWHeaderedBinaryInputStream(std::istream& is);
  explicit RWHeaderedBinaryInputStream(std::streambuf* buffer);

  // What the header said: the data's byte order (0 little, 1 big) and the
  // stored sizes.
  std::uint32_t ByteOrder() const { return byte_order_; }
  std::uint32_t ShortSize() const { return short_size_; }
  std::uint32_t IntSize() const { return int_size_; }
  std::uint32_t LongSize() const { return long_size_; }
  std::uint32_t ExtraSize(int i) const { return extra_sizes_[i & 1]; }

 private:
  void ReadHeader();

  std::uint32_t extra_sizes_[2] = {2, 4};
};
