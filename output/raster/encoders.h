// The row encoders at the near end of a raster chain (row_source.h). Their
// outputs are wire formats of the printer languages, bound to the byte:
//
//   run-length   packets of a control byte n and data: n = 0..127 is
//                followed by n + 1 literal bytes; n = 129..255 (-127..-1 as a
//                signed byte) by one byte that stands for 1 - n copies of it
//                (2 to 128). Packets are formed greedily: two equal bytes at
//                the start of a packet start a repeat; inside a literal only
//                its last two bytes equal to the next one turn into a repeat
//                of three (the literal keeps its earlier bytes); a literal
//                holds at most 128 bytes. The input is the row (complemented
//                when inverting) followed by the padding as 0 bytes.
//   delta row    the changes against a seed row (the previous row, at first
//                all 0), in runs of 1 to 8 changed bytes. A run of c bytes at
//                offset o (unchanged bytes since the end of the previous run,
//                or since the row's start) is a command byte (c - 1) x 32 +
//                min(o, 31); when o >= 31, (o - 31) / 255 bytes of 255 and a
//                byte (o - 31) mod 255 follow; then the c new bytes
//                (complemented when inverting). A run ends at an unchanged
//                byte, at 8 bytes and at the row's end. With the length prefix
//                the commands come after two bytes holding their count, low
//                byte first. No padding.
//   adaptive     per row a block: mode byte (0 raw: the row, complemented
//                when inverting, and the padding; 2 run-length; 3 delta row),
//                data length u16 high byte first, data. A row that stands for
//                r >= 2 rows and is delivered alone is followed by the block
//                05 00 (r - 1): repeat the previous row r - 1 more times.
//   row padding  the row (complemented when inverting), 0 bytes up to a
//                multiple of the alignment.
//   JPEG         a baseline JFIF stream from the system's libjpeg.
//
// Ownership: each encoder owns what its Begin allocates (row buffer, seed
// row; the adaptive encoder its two inner encoders) and frees it when it
// goes or begins again; none owns its upstream.
//
// Threads: an encoder is used by one thread at a time; separate encoders,
// the JPEG encoder included, may run on separate threads at once.
#pragma once

#include <cstdint>
#include <memory>

#include "output/raster/row_source.h"

// Largest counts of a run-length packet and of a delta-row run.
inline constexpr std::uint32_t kRunLengthPacketMax = 128;
inline constexpr std::uint32_t kDeltaRunMax = 8;
// Adaptive block modes.
inline constexpr std::uint8_t kAdaptiveRaw = 0;
inline constexpr std::uint8_t kAdaptiveRunLength = 2;
inline constexpr std::uint8_t kAdaptiveDeltaRow = 3;
inline constexpr std::uint8_t kAdaptiveRepeatRow = 5;

class GRunLengthEncoder : public GRasterEncoder {
 public:
  GRunLengthEncoder(std::uint16_t alignment, std::uint32_t invert)
      : GRasterEncoder(alignment, invert) {}

  // Fails without an upstream or with an alignment of 0. The maximal row
  // size is row size + (row size + 126) / 127, and with padding
  // 2 x (padding + 127) / 128 + 1 more: padding above 128 bytes takes
  // several repeat packets, and the row's last literal packet may fill up
  // with the first padding byte and leave the next one alone in a literal.
  std::uint32_t Begin() override;
  // Pulls a row and encodes it; hands the upstream's result on (at once,
  // when it delivers no row).
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;

  // Encodes one row of GetRowSize() bytes into `out`; answers the bytes
  // written. REQUIRES: ready; `out` holds GetMaxRowBytes() bytes.
  std::uint32_t EncodeRow(const std::uint8_t* row, std::uint8_t* out);
};

class GDeltaRowEncoder : public GRasterEncoder {
 public:
  GDeltaRowEncoder(std::uint16_t alignment, std::uint32_t invert, std::uint32_t length_prefix)
      : GRasterEncoder(alignment, invert), length_prefix_(length_prefix) {}

  // Fails without an upstream, and with the length prefix when a row's
  // commands could pass the prefix's 16 bits. The alignment takes no part.
  // The seed row starts as the printer's, blank: all 0, or all 0xFF when
  // inverting (the printer sees complemented bytes, and a seed of 0 would
  // leave every 0 byte of the first row at 0 there instead of 0xFF). The
  // maximal row size is row size + (row size + 7) / 8, + 2 with the prefix.
  std::uint32_t Begin() override;
  // Pulls a row and encodes it against the seed. A row equal to the seed
  // gives length 0 (2 with the prefix).
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;

  // Encodes one row of GetRowSize() bytes against the seed, which takes the
  // changed bytes; answers the bytes written.
  // REQUIRES: ready; `out` holds GetMaxRowBytes() bytes.
  std::uint32_t EncodeRow(const std::uint8_t* row, std::uint8_t* out);
  // The seed row (GetRowSize() bytes), which the adaptive encoder shares.
  // REQUIRES: ready.
  std::uint8_t* Seed() const { return seed_.get(); }

 private:
  std::uint32_t length_prefix_;           // whether rows start with their u16 length
  std::unique_ptr<std::uint8_t[]> seed_;  // the previous row
};

class GAdaptiveRowEncoder : public GRasterEncoder {
 public:
  GAdaptiveRowEncoder(std::uint16_t alignment, std::uint32_t invert);
  ~GAdaptiveRowEncoder() override;

  // Fails without an upstream, with an alignment of 0, when an inner
  // encoder cannot begin, and when a block could hold more than 65,535 data
  // bytes. The maximal row size is row size + padding + 6 + the larger of
  // (row size + 7) / 8 and (row size + 126) / 127 (+ 2 with padding): a raw
  // block carries the padding as well.
  std::uint32_t Begin() override;
  // Pulls a row and writes its block: raw when fewer than row size / 3
  // bytes repeat their predecessor and fewer match the seed; else run-length
  // when more bytes repeat than match; else delta row. The first row after
  // Begin matches nothing. A repetition block may follow (see above): rows
  // delivered then becomes the repeat count and the repeat count 1.
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;

 private:
  std::unique_ptr<GRunLengthEncoder> run_length_;
  std::unique_ptr<GDeltaRowEncoder> delta_row_;  // its seed is this encoder's seed
  bool seed_valid_ = false;                      // false until the first row
  std::uint32_t threshold_ = 0;                  // row size / 3
};

class GRowPadder : public GRasterEncoder {
 public:
  GRowPadder(std::uint16_t alignment, std::uint32_t invert) : GRasterEncoder(alignment, invert) {}

  // Fails without an upstream or with an alignment of 0. The maximal row
  // size is the upstream's + the alignment.
  std::uint32_t Begin() override;
  // Pulls a row into `row` as it comes (no row size of its own), then
  // complements it when inverting and pads it.
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;
};

// JPEG through the system's libjpeg: quality 95, baseline, the library's
// default tables, written in full, a JFIF header. 8-bit rows are
// compressed as grey, 24-bit rows as R, G, B and 32-bit rows as R, G, B and
// an unused byte; other depths fail at the first GetRow. The image is the
// upstream's bounds. The alignment and the invert flag take no part.
//
// Where the bytes go: by default into a buffer the encoder owns, which
// holds the bytes of the last GetRow (GetOutput, valid until the next
// GetRow, Begin or the encoder's end). SetOutput gives a caller's block
// instead: the stream is appended there, within its capacity, across
// calls. Either way GetRow reports the bytes it produced as its length and
// GetOutputCount the bytes produced since the last SetOutput.
//
// Each GetRow pulls one upstream row and writes it as many scan lines as
// its repeat count says (the image's last lines at most): the library
// compresses a band of lines at a time, so a call gives no bytes or
// several lines' worth. Rows delivered counts the lines written, the row
// index is the first one's line, the repeat count becomes 1 and the result
// is 0. When the upstream runs out early, the last row (a blank one when
// none came) fills the remaining lines, up to 255 a call. The call that
// writes the last line finishes the stream; the encoder is then done and
// every further GetRow answers length 0 with no rows delivered. An error
// of the library (a failed allocation, a full caller's block, a depth or
// an image size it refuses) ends the compression: that call answers length
// 0, one row delivered, and the encoder is done.
class GJpegEncoder : public GRasterEncoder {
 public:
  GJpegEncoder(std::uint16_t alignment, std::uint32_t invert);
  ~GJpegEncoder() override;

  // Gives `capacity` bytes at `block` for the stream (null for the
  // encoder's own buffer) and sets the byte count to 0.
  // REQUIRES: the block outlives the compression.
  void SetOutput(std::uint8_t* block, std::uint32_t capacity);
  // Bytes produced since the last SetOutput (or since construction).
  std::uint32_t GetOutputCount() const { return output_count_; }
  // The bytes the last GetRow produced (its length).
  const std::uint8_t* GetOutput() const { return output_ + call_start_; }
  bool IsDone() const { return done_; }

  // Fails without an upstream or memory; abandons a compression under way.
  std::uint32_t Begin() override;
  std::uint32_t GetRow(std::uint8_t* row, std::uint16_t& row_index, std::uint32_t& length,
                       std::uint8_t& repeat_count, std::uint8_t& rows_delivered) override;
  // None: the rows handed out are a JPEG stream.
  const GPaletteTable* GetPalette() const override { return nullptr; }

 private:
  struct Compression;  // the library's records, the recovery point
  enum class Step { kStart, kWrite, kFinish };

  // Runs one step of the library with the recovery point armed; false
  // after the library's error exit.
  bool Run(Step step, std::uint32_t lines);
  // Destroys the compressor; the encoder is done.
  void End();
  // Appends `count` bytes of the compressor's block to the output; false
  // when they do not fit (the caller's block) or memory runs out.
  bool Append(const std::uint8_t* bytes, std::uint32_t count);
  friend struct GJpegOutput;

  std::unique_ptr<Compression> compression_;  // while started
  bool started_ = false;
  bool done_ = false;
  bool upstream_ended_ = false;  // no more rows: the last one fills the image
  std::uint16_t width_ = 0;      // the image, from the upstream's bounds
  std::uint16_t height_ = 0;
  std::uint32_t lines_written_ = 0;
  // The output: the caller's block, or the encoder's own buffer.
  std::uint8_t* output_ = nullptr;
  std::uint32_t output_capacity_ = 0;
  std::uint32_t output_size_ = 0;  // bytes in the block or buffer
  std::uint32_t call_start_ = 0;   // where the last GetRow's bytes begin
  std::uint32_t output_count_ = 0;
  bool caller_block_ = false;
  std::unique_ptr<std::uint8_t[]> own_output_;
  std::uint32_t own_capacity_ = 0;
};
