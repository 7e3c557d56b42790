// GLZWCompressor: the variable-width LZW coder of the system. Its expansion
// reads LZW-packed data for the device-mode reader (the oldest private-part
// form) and the page-description generators.
//
// Packed layout: codes bit by bit, most significant bit first, with no
// alignment between codes (bit_stream.h); 9 bits wide at the start and after
// every reset, one bit wider after every widen code, never wider than 15.
//   0-255   a literal byte
//   256     end of data
//   257     widen: the codes that follow are one bit wider
//   258     reset: the dictionary starts afresh, codes are 9 bits again
//   259 up  strings: after the first code of a run (at the start or after a
//           reset), each code defines the next free code as (previous code,
//           first byte of this code's string); a code may name the string it
//           is defining itself (previous string + its own first byte)
// The coder writes 257 after the code that took its next free code past the
// width's limit (to 512, 1024, ... 16384), and 258 after the code that
// defined 32767. An empty input packs as 256, 256.
//
// The coder's dictionary: 35,023 slots (a prime, for its hash) of 12 bytes
// in 137 pages of 256 entries, allocated per call and kept until the
// compressor goes or allocates again. The expander indexes its entries by
// code (a prefix and a byte for each code below 32,768) and unwinds strings
// into a buffer of 35,023 bytes; both belong to the calling thread, made at
// its first expansion and kept until it ends (some 165 KB a thread), as the
// zlib compressor keeps its states: a dictionary allocated and freed per
// call made the heap give its top back and fault it in again each time. An
// expansion that starts while its thread's tables are in use (from inside
// the output stream's own writes) gets tables of its own for the call.
//
// Expansion checks every code against what the dictionary holds: a stream
// that names an undefined code, widens past 15 bits, runs past 32,767 codes
// without a reset, or starts a run with anything but a literal or the end
// code fails with 0, having written the bytes of the codes before it.
//
// One compressor belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>

class GLZWCompressor {
 public:
  static constexpr std::uint32_t kEndCode = 256;
  static constexpr std::uint32_t kWidenCode = 257;
  static constexpr std::uint32_t kResetCode = 258;
  static constexpr std::uint32_t kFirstStringCode = 259;
  static constexpr std::uint32_t kCodeLimit = 32768;  // every code is below
  static constexpr std::uint32_t kFirstWidth = 9;
  static constexpr std::uint32_t kLastWidth = 15;
  static constexpr std::uint32_t kSlots = 35023;
  static constexpr std::uint32_t kPageEntries = 256;
  static constexpr std::uint32_t kPages = 137;
  static constexpr std::uint32_t kFreeSlot = 0xFFFFFFFF;  // code of an unused slot

  GLZWCompressor() = default;
  ~GLZWCompressor();  // frees the pages
  GLZWCompressor(const GLZWCompressor&) = delete;
  GLZWCompressor& operator=(const GLZWCompressor&) = delete;

  // Packs the input from its read position to its end. Answers 1, or 0 when
  // the dictionary cannot be allocated, the input fails, or a write fails.
  int Compress(std::istream& input, std::ostream& output);
  // Unpacks from the input's read position. Answers 1 when the end code was
  // read; 0 when memory is short, the input ends before the end code, a
  // write fails, or the input is malformed (see above). Works inside its own
  // error scope.
  int Expand(std::istream& input, std::ostream& output);

  // Frees any pages, then allocates all 137, zeroed; on a failure frees
  // what it got and answers 0.
  int AllocateDictionary();
  // Marks every slot free; next code 259, width 9, limit 511. Answers 0 when
  // no dictionary is allocated.
  int ResetDictionary();
  // The slot that holds (prefix, c), or the free slot where it belongs.
  // REQUIRES: the dictionary is allocated; prefix < kCodeLimit.
  std::uint32_t FindSlot(std::uint32_t prefix, std::uint8_t c) const;

 private:
  struct Entry {
    std::uint32_t code;    // kFreeSlot when unused
    std::uint32_t prefix;  // code of the string without its last byte
    std::uint8_t character;
  };

  Entry& At(std::uint32_t n) const { return pages_[n / kPageEntries][n % kPageEntries]; }
  void FreePages();
  // Next code, width and limit back to a run's start.
  void ResetCounters();

  Entry* pages_[kPages] = {};    // null until allocated
  std::uint32_t next_code_ = 0;  // next free code
  std::uint32_t width_ = 0;      // code width in bits
  std::uint32_t limit_ = 0;      // largest code the width holds
};
