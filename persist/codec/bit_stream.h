// GBitStream: reads or writes the codes of LZW-packed data bit by bit over a
// runtime byte stream.
//
// Bit order: codes are written and read most significant bit first; each
// byte is filled from its bit 7 down to bit 0, with no alignment between
// codes. A byte is written when its last bit is set; Close writes a partly
// filled byte with its remaining low bits 0.
//
// The good flag is 1 until a read passes the end of the input or a write
// leaves the output failing; every operation answers it (0 as well when the
// stream for its direction is missing). The bit stream does not own its
// byte stream. One bit stream belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

class GBitStream {
 public:
  explicit GBitStream(std::istream* input);
  explicit GBitStream(std::ostream* output);
  ~GBitStream();  // closes
  GBitStream(const GBitStream&) = delete;
  GBitStream& operator=(const GBitStream&) = delete;

  // Writes the low bit of `bit`.
  int WriteBit(std::uint32_t bit);
  // Writes the low `width` bits of `code`.
  // REQUIRES: width <= 32.
  int WriteCode(std::uint32_t code, std::uint32_t width);
  // Reads `width` bits into `code`; on failure `code` is unspecified.
  // REQUIRES: width <= 32.
  int ReadCode(std::uint32_t& code, std::uint32_t width);
  // Output: writes a partly filled byte, flushes and detaches the stream;
  // answers the good flag (0 when any write failed). Input: detaches, 1.
  int Close();

  int Good() const { return good_; }

 private:
  static constexpr std::uint8_t kFirstBit = 0x80;

  // Bits of the current byte not yet used (8 when a fresh byte is due).
  int BitsLeft() const;
  bool PutByte();
  bool GetByte();

  std::istream* input_;
  std::ostream* output_;
  std::uint8_t mask_ = kFirstBit;  // the bit of the current byte that comes next
  std::uint8_t current_ = 0;       // the byte being assembled or read
  int good_ = 1;
};
