#include "persist/codec/lzw_compressor.h"

#include <memory>
#include <new>

#include "foundation/rw/error.h"
#include "foundation/rw/support.h"
#include "persist/codec/bit_stream.h"
#include "platform/thread_part.h"

namespace {

constexpr std::uint32_t kFirstLimit = (1u << GLZWCompressor::kFirstWidth) - 1;

using Traits = std::streambuf::traits_type;

// The expander's tables: for each code, the last byte of its string and
// the code of the rest (every code is below 32,768: 16 bits hold it), and
// the buffer strings are unwound into. Entries are written before they are
// read (only codes below the next free one are looked up), so nothing here
// needs clearing.
struct ExpandTables {
  struct Entry {
    std::uint16_t prefix;
    std::uint8_t character;
  };
  Entry entries[GLZWCompressor::kCodeLimit];
  std::uint8_t buffer[GLZWCompressor::kSlots];
};

// The calling thread's tables, made at its first expansion and kept until
// it ends, as the zlib compressor keeps its states.
class ThreadTables {
 public:
  // The thread's tables, marked in use; null when they are in use already
  // or cannot be made.
  ExpandTables* Take() {
    if (in_use_) return nullptr;
    if (!tables_) tables_.reset(new (kRWNoThrow) ExpandTables);
    in_use_ = tables_ != nullptr;
    return tables_.get();
  }
  void Give() { in_use_ = false; }

 private:
  std::unique_ptr<ExpandTables> tables_;
  bool in_use_ = false;
};

// Mended (docs/mended-behaviour.md): kept per thread, not allocated per call.
thread_local platform::ThreadPart<ThreadTables> t_tables;

// One expansion over `tables`: the loop of GLZWCompressor::Expand.
class Expander {
 public:
  Expander(ExpandTables& tables, std::istream& input, std::ostream& output)
      : tables_(tables), bits_(&input), output_(output), sink_(output.rdbuf()) {}

  // Runs until the end code (1), damage, the input's end or a failed write
  // (0).
  int Run() {
    for (;;) {
      const int result = ExpandRun();
      if (result >= 0) return result;
    }
  }

 private:
  // One run, from its first code: 1 or 0 as Run, -1 at a reset.
  int ExpandRun();
  // Writes buffer[pos, kSlots): a string unwound backwards from the end.
  bool Write(std::uint32_t pos) {
    auto n = static_cast<std::streamsize>(GLZWCompressor::kSlots - pos);
    if (sink_->sputn(reinterpret_cast<const char*>(tables_.buffer + pos), n) == n) return true;
    output_.setstate(std::ios_base::badbit);
    return false;
  }

  ExpandTables& tables_;
  GBitStream bits_;
  std::ostream& output_;
  std::streambuf* sink_;
};

int Expander::ExpandRun() {
  using C = GLZWCompressor;
  std::uint32_t width = C::kFirstWidth;
  std::uint32_t next_code = C::kFirstStringCode;
  std::uint32_t code = 0;
  std::uint8_t* const buffer = tables_.buffer;
  if (!bits_.ReadCode(code, width)) return 0;
  if (code == C::kEndCode) return 1;
  if (code >= C::kEndCode) return 0;  // a run starts with a literal
  buffer[C::kSlots - 1] = static_cast<std::uint8_t>(code);
  if (!Write(C::kSlots - 1)) return 0;
  std::uint32_t previous = code;
  std::uint8_t first = static_cast<std::uint8_t>(code);  // first byte of previous's string
  for (;;) {
    if (!bits_.ReadCode(code, width)) return 0;
    if (code == C::kEndCode) return 1;
    if (code == C::kResetCode) return -1;
    if (code == C::kWidenCode) {
      if (width == C::kLastWidth) return 0;
      ++width;
      continue;
    }
    if (code > next_code || next_code >= C::kCodeLimit) return 0;
    std::uint32_t pos = C::kSlots;
    std::uint32_t k = code;
    if (code == next_code) {
      // The code being defined: the previous string and its first byte.
      buffer[--pos] = first;
      k = previous;
    }
    // Every entry's prefix is a smaller code, so this walk ends within the
    // buffer: at most one byte per defined code plus the literal.
    while (k >= C::kFirstStringCode) {
      const ExpandTables::Entry& entry = tables_.entries[k];
      buffer[--pos] = entry.character;
      k = entry.prefix;
    }
    buffer[--pos] = static_cast<std::uint8_t>(k);
    if (!Write(pos)) return 0;
    tables_.entries[next_code] = {static_cast<std::uint16_t>(previous),
                                  static_cast<std::uint8_t>(k)};
    ++next_code;
    previous = code;
    first = static_cast<std::uint8_t>(k);
  }
}

}  // namespace

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
    page = new (kRWNoThrow) Entry[kPageEntries]();
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
  if (!output.rdbuf()) return 0;
  ExpandTables* tables = t_tables.Get().Take();
  const bool thread_tables = tables != nullptr;
  std::unique_ptr<ExpandTables> own;
  if (!tables) {
    own.reset(new (kRWNoThrow) ExpandTables);
    tables = own.get();
  }
  if (!tables) return 0;
  const int result = Expander(*tables, input, output).Run();
  if (thread_tables) t_tables.Get().Give();
  return result;
}
