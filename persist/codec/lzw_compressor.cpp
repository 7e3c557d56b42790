#include "persist/codec/lzw_compressor.h"

#include <new>

#include "foundation/rw/error.h"
#include "persist/codec/bit_stream.h"

namespace {

constexpr std::uint32_t kFirstLimit = (1u << GLZWCompressor::kFirstWidth) - 1;

using Traits = std::streambuf::traits_type;

}  // namespace

GLZWCompressor::GLZWCompressor() : string_buffer_(new (std::nothrow) std::uint8_t[kSlots]()) {}

GLZWCompressor::~GLZWCompressor() {
  FreePages();
}

void GLZWCompressor::FreePages() {
  for (Entry*& page : pages_) {
    delete[] page;
    page = nullptr;
  }
}

int GLZWCompressor::AllocateDictionary() {
  FreePages();
  for (Entry*& page : pages_) {
    page = new (std::nothrow) Entry[kPageEntries]();
    if (!page) {
      FreePages();
      return 0;
    }
  }
  return 1;
}

void GLZWCompressor::ResetCounters() {
  next_code_ = kFirstStringCode;
  width_ = kFirstWidth;
  limit_ = kFirstLimit;
}

int GLZWCompressor::ResetDictionary() {
  if (!pages_[0]) return 0;
  for (std::uint32_t n = 0; n < kSlots; ++n)
    At(n).code = kFreeSlot;
  ResetCounters();
  return 1;
}

std::uint32_t GLZWCompressor::FindSlot(std::uint32_t prefix, std::uint8_t c) const {
  std::uint32_t h = (static_cast<std::uint32_t>(c) << 7) ^ prefix;
  std::uint32_t step = h == 0 ? 1 : kSlots - h;
  for (;;) {
    const Entry& entry = At(h);
    if (entry.code == kFreeSlot || (entry.prefix == prefix && entry.character == c)) return h;
    h = step > h ? h + kSlots - step : h - step;
  }
}

int GLZWCompressor::Compress(std::istream& input, std::ostream& output) {
  if (!AllocateDictionary() || !ResetDictionary()) return 0;
  std::streambuf* source = input.rdbuf();
  if (!source || input.fail()) return 0;
  GBitStream bits(&output);

  int c = source->sbumpc();
  std::uint32_t prefix = c == Traits::eof() ? kEndCode : static_cast<std::uint32_t>(c);
  if (c != Traits::eof()) {
    while ((c = source->sbumpc()) != Traits::eof()) {
      auto byte = static_cast<std::uint8_t>(c);
      Entry& slot = At(FindSlot(prefix, byte));
      if (slot.code != kFreeSlot) {
        prefix = slot.code;
        continue;
      }
      slot = Entry{next_code_++, prefix, byte};
      bits.WriteCode(prefix, width_);
      prefix = byte;
      if (next_code_ < kCodeLimit) {
        if (next_code_ > limit_) {
          bits.WriteCode(kWidenCode, width_);
          ++width_;
          limit_ = limit_ * 2 + 1;
        }
      } else {
        bits.WriteCode(kResetCode, width_);
        ResetDictionary();
      }
      if (!bits.Good()) return 0;
    }
  }
  input.setstate(std::ios_base::eofbit);
  bits.WriteCode(prefix, width_);
  bits.WriteCode(kEndCode, width_);
  return bits.Close();
}

int GLZWCompressor::Expand(std::istream& input, std::ostream& output) {
  // Outside data: nothing read here may reach the process-wide handler.
  RWErrorScope scope;
  std::streambuf* sink = output.rdbuf();
  if (!string_buffer_ || !sink || !AllocateDictionary()) return 0;
  std::uint8_t* const buffer = string_buffer_.get();
  GBitStream bits(&input);
  std::uint32_t code = 0;

  // Writes buffer[pos, kSlots): a string unwound backwards from the end.
  auto write = [&](std::uint32_t pos) {
    auto n = static_cast<std::streamsize>(kSlots - pos);
    if (sink->sputn(reinterpret_cast<const char*>(buffer + pos), n) == n) return true;
    output.setstate(std::ios_base::badbit);
    return false;
  };

  for (;;) {
    // A run's start. The expander looks entries up only below the next
    // free code, so the slots need not be marked free again.
    ResetCounters();
    if (!bits.ReadCode(code, width_)) return 0;
    if (code == kEndCode) return 1;
    if (code >= kEndCode) return 0;  // a run starts with a literal
    buffer[kSlots - 1] = static_cast<std::uint8_t>(code);
    if (!write(kSlots - 1)) return 0;
    std::uint32_t previous = code;
    std::uint8_t first = static_cast<std::uint8_t>(code);  // first byte of previous's string

    for (;;) {
      if (!bits.ReadCode(code, width_)) return 0;
      if (code == kEndCode) return 1;
      if (code == kResetCode) break;
      if (code == kWidenCode) {
        if (width_ == kLastWidth) return 0;
        ++width_;
        limit_ = limit_ * 2 + 1;
        continue;
      }
      if (code > next_code_ || next_code_ >= kCodeLimit) return 0;
      std::uint32_t pos = kSlots;
      std::uint32_t k = code;
      if (code == next_code_) {
        // The code being defined: the previous string and its first byte.
        buffer[--pos] = first;
        k = previous;
      }
      // Every entry's prefix is a smaller code, so this walk ends within the
      // buffer: at most one byte per defined code plus the literal.
      while (k >= kFirstStringCode) {
        const Entry& entry = At(k);
        buffer[--pos] = entry.character;
        k = entry.prefix;
      }
      buffer[--pos] = static_cast<std::uint8_t>(k);
      if (!write(pos)) return 0;
      At(next_code_) = Entry{next_code_, previous, static_cast<std::uint8_t>(k)};
      ++next_code_;
      previous = code;
      first = static_cast<std::uint8_t>(k);
    }
  }
}
