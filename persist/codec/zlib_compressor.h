// GZlibCompressor: whole-stream compression and expansion through the system
// zlib's one-call operations (compress, uncompress). It packs the settings
// record kept in the private part of the device mode.
//
// Both operations read their whole input from position 0 to its end (the
// input must be able to seek) and write the result in one piece: they either
// write everything and answer 1, or write nothing and answer 0.
//
// Output room: a stream whose end lies beyond the write position (a memory
// block) has room up to that end, and a result that does not fit is not
// written; a stream whose end is at the write position (a growing stream, or
// a full block) takes the write, and its outcome decides.
//
// Each thread keeps one deflate and one inflate state, made on its first
// call and freed when it ends; every call resets the state it uses first,
// so nothing of an earlier (or a failed) call reaches the next one. The
// states are the library's allocations: one that memory cannot be had for
// raises the out-of-memory error, and the call answers 0. The packed bytes
// are those of zlib's one-call compress at the same settings.
// No state of its own: one compressor may be used from several threads at
// once.
#pragma once

#include <cstddef>
#include <istream>
#include <ostream>

class GZlibCompressor {
 public:
  // The largest result Expand produces: longer data cannot be expanded.
  static constexpr std::size_t kExpansionLimit = 16000;

  GZlibCompressor() = default;
  GZlibCompressor(const GZlibCompressor&) = delete;
  GZlibCompressor& operator=(const GZlibCompressor&) = delete;

  // Deflates the whole input (zlib's default level) and writes it from the
  // output's position 0; the written length is then the output's position.
  // Answers 0, writing nothing and leaving the output at position 0, when
  // the input cannot be read, the compressed form is not shorter than the
  // input (an empty input included), or it does not fit the output.
  int Compress(std::istream& input, std::ostream& output) const;

  // Inflates the whole input and writes it at the output's position.
  // Answers 0, writing nothing, when the input cannot be read, is not a
  // complete zlib stream, expands to more than kExpansionLimit bytes, or
  // the result does not fit the output.
  int Expand(std::istream& input, std::ostream& output) const;

  // The same two operations from one block of memory into another, for
  // callers that hold both (a record's data area and its work block): no
  // stream, no copy of the input and no buffer of their own.
  // Compress answers the packed length, the same bytes as the stream form;
  // 0 when `length` is 0, the packed form is not shorter than the input or
  // does not fit the `room` bytes at `packed`. Expand answers the expanded
  // length; 0 when the input is no complete zlib stream, expands to
  // nothing, or to more than `room` or kExpansionLimit bytes. On 0 the
  // output's bytes are unspecified.
  std::size_t Compress(const void* source, std::size_t length, void* packed,
                       std::size_t room) const;
  std::size_t Expand(const void* source, std::size_t length, void* expanded,
                     std::size_t room) const;
};
