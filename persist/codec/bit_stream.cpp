#include "persist/codec/bit_stream.h"

#include <bit>

GBitStream::GBitStream(std::istream* input) : input_(input), output_(nullptr) {}

GBitStream::GBitStream(std::ostream* output) : input_(nullptr), output_(output) {}

GBitStream::~GBitStream() {
  Close();
}

int GBitStream::BitsLeft() const {
  return std::countr_zero(static_cast<unsigned>(mask_)) + 1;
}

bool GBitStream::PutByte() {
  std::streambuf* sink = output_->rdbuf();
  if (output_->fail() || !sink ||
      std::streambuf::traits_type::eq_int_type(sink->sputc(static_cast<char>(current_)),
                                               std::streambuf::traits_type::eof())) {
    output_->setstate(std::ios_base::badbit);
    good_ = 0;
    return false;
  }
  mask_ = kFirstBit;
  current_ = 0;
  return true;
}

bool GBitStream::GetByte() {
  std::streambuf* source = input_->rdbuf();
  int c = source ? source->sbumpc() : std::streambuf::traits_type::eof();
  if (c == std::streambuf::traits_type::eof()) {
    input_->setstate(std::ios_base::eofbit | std::ios_base::failbit);
    good_ = 0;
    return false;
  }
  current_ = static_cast<std::uint8_t>(c);
  return true;
}

int GBitStream::WriteBit(std::uint32_t bit) {
  return WriteCode(bit, 1);
}

int GBitStream::WriteCode(std::uint32_t code, std::uint32_t width) {
  if (!output_ || !good_) return 0;
  int remaining = static_cast<int>(width);
  while (remaining > 0) {
    // Put as many of the code's next bits as the current byte still takes.
    int left = BitsLeft();
    int take = remaining < left ? remaining : left;
    std::uint32_t bits = (code >> (remaining - take)) & ((1u << take) - 1);
    current_ |= static_cast<std::uint8_t>(bits << (left - take));
    remaining -= take;
    if (take == left) {
      if (!PutByte()) return 0;
    } else {
      mask_ = static_cast<std::uint8_t>(mask_ >> take);
    }
  }
  return good_;
}

int GBitStream::ReadCode(std::uint32_t& code, std::uint32_t width) {
  if (!input_ || !good_) return 0;
  std::uint32_t value = 0;
  int remaining = static_cast<int>(width);
  while (remaining > 0) {
    if (mask_ == kFirstBit && !GetByte()) return 0;
    int left = BitsLeft();
    int take = remaining < left ? remaining : left;
    std::uint32_t bits = (current_ >> (left - take)) & ((1u << take) - 1);
    value = (value << take) | bits;
    remaining -= take;
    mask_ = take == left ? kFirstBit : static_cast<std::uint8_t>(mask_ >> take);
  }
  code = value;
  return good_;
}

int GBitStream::Close() {
  int result = 1;
  if (output_) {
    if (good_ && mask_ != kFirstBit) PutByte();
    std::streambuf* sink = output_->rdbuf();
    if (good_ && (!sink || sink->pubsync() == -1)) {
      output_->setstate(std::ios_base::badbit);
      good_ = 0;
    }
    result = good_;
    output_ = nullptr;
  }
  input_ = nullptr;
  return result;
}
