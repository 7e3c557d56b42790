// GOutputSink: the road of a generator's printer language to its output
// port, written once for the three generators. The generator puts bytes
// into the sink's buffer; a full buffer, or the generator's own flush,
// hands the buffered bytes to FlushToOutput, which applies one rule:
//   1. Nothing to hand on (length 0): nothing at all, unless the sink was
//      made with EmptyFlush::kPoll (the PostScript writer's), which skips
//      the write and goes on to the poll (4).
//   2. While the output is OK, the bytes go to the generator's output
//      object (WriteRaw). A non-zero answer clears the output-OK flag and
//      is kept as the write error: nothing more reaches the port in this
//      document, while the generator goes on producing output. The
//      generators answer the kept error as their commands' result.
//   3. The buffer is emptied.
//   4. With the generator's periodic-poll flag set, the output object's
//      count n is read: below kPollInterval the object is polled
//      (IsNotReady; the answer is not used) at every flush and n is kept
//      as the count at the last poll; from there on it is polled, and n
//      kept, only when n has grown by more than kPollInterval since the
//      last poll (by exactly kPollInterval it is not).
// Without an output object nothing is written and nothing polled. Begin
// (the generator's document start) sets the output OK again, forgets the
// error and the count at the last poll and empties the buffer.
//
// Not persistable. Ownership: the generator owns its sink; the sink
// refers back to it. Threads: the generator's.
#pragma once

#include <cstdint>

#include "foundation/rw/cstring.h"

class GPrinterLanguage;

class GOutputSink {
 public:
  static constexpr std::uint32_t kPollInterval = 100000;
  static constexpr std::uint32_t kBufferSize = 4096;

  enum class EmptyFlush : std::uint8_t { kNothing, kPoll };

  explicit GOutputSink(GPrinterLanguage& generator, EmptyFlush empty = EmptyFlush::kNothing)
      : generator_(generator), empty_(empty) {}
  GOutputSink(const GOutputSink&) = delete;
  GOutputSink& operator=(const GOutputSink&) = delete;

  void Begin();
  // Buffers `length` bytes, flushing each time the buffer fills.
  void Put(const void* data, std::uint32_t length);
  void Put(const RWCString& text) { Put(text.Data(), static_cast<std::uint32_t>(text.Length())); }
  // Buffers `count` copies of `byte`.
  void PutRepeated(std::uint8_t byte, std::uint32_t count);
  // Hands the buffered bytes on (FlushToOutput), even none.
  void Flush();
  // The rule above, for `length` bytes at `data`.
  void FlushToOutput(const std::uint8_t* data, std::uint32_t length);

  void SetEmptyFlush(EmptyFlush empty) { empty_ = empty; }

  bool IsOutputOk() const { return output_ok_; }
  // The first write error of the document, 0 when none.
  std::uint16_t GetWriteError() const { return write_error_; }
  std::uint32_t GetLastPollCount() const { return last_poll_count_; }
  std::uint32_t GetBuffered() const { return used_; }

 private:
  GPrinterLanguage& generator_;
  EmptyFlush empty_;
  bool output_ok_ = true;
  std::uint16_t write_error_ = 0;
  std::uint32_t last_poll_count_ = 0;
  std::uint32_t used_ = 0;  // bytes in buffer_
  std::uint8_t buffer_[kBufferSize];
};
