// GJpegEncoder (encoders.h) over the system's libjpeg.
//
// The library reports errors through an exit routine that must not return.
// Ours jumps back to the recovery point that Run arms before each call into
// the library; the frames in between are the library's, our destination
// callbacks and Run itself, none of which holds an object with a
// destructor, so nothing is skipped that needed to run. Each encoder has
// its own compressor, error record and destination: encoders on separate
// threads never share state.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "foundation/rw/support.h"
#include "output/raster/encoders.h"

namespace {

constexpr int kJpegQuality = 95;
// The compressor hands its bytes over in blocks of this size.
constexpr std::uint32_t kJpegBlockSize = 4096;
// The most lines one call writes when the upstream has run out.
constexpr std::uint32_t kFillLinesPerCall = 255;

}  // namespace

struct GJpegEncoder::Compression {
  struct Error {
    jpeg_error_mgr manager;  // first: the library hands its address back
    std::jmp_buf recovery;
  };
  struct Destination {
    jpeg_destination_mgr manager;  // first: the library hands its address back
    GJpegEncoder* owner;
  };

  jpeg_compress_struct info;
  Error error;
  Destination destination;
  std::uint8_t block[kJpegBlockSize];
};

// The library's callbacks: the error exit and the destination manager.
struct GJpegOutput {
  using Compression = GJpegEncoder::Compression;

  [[noreturn]] static void ErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<Compression::Error*>(info->err)->recovery, 1);
  }
  // Warnings and traces are not shown.
  static void OutputMessage(j_common_ptr) {}

  static GJpegEncoder* Owner(j_compress_ptr info) {
    return reinterpret_cast<Compression::Destination*>(info->dest)->owner;
  }
  static void InitDestination(j_compress_ptr info) {
    Compression* compression = Owner(info)->compression_.get();
    info->dest->next_output_byte = compression->block;
    info->dest->free_in_buffer = kJpegBlockSize;
  }
  static boolean EmptyOutputBuffer(j_compress_ptr info) {
    GJpegEncoder* owner = Owner(info);
    if (!owner->Append(owner->compression_->block, kJpegBlockSize)) ERREXIT(info, JERR_FILE_WRITE);
    InitDestination(info);
    return TRUE;
  }
  static void TermDestination(j_compress_ptr info) {
    GJpegEncoder* owner = Owner(info);
    const auto count = static_cast<std::uint32_t>(kJpegBlockSize - info->dest->free_in_buffer);
    if (!owner->Append(owner->compression_->block, count)) ERREXIT(info, JERR_FILE_WRITE);
  }
};

GJpegEncoder::GJpegEncoder(std::uint16_t alignment, std::uint32_t invert)
    : GRasterEncoder(alignment, invert) {}

GJpegEncoder::~GJpegEncoder() {
  End();
}

void GJpegEncoder::SetOutput(std::uint8_t* block, std::uint32_t capacity) {
  caller_block_ = block != nullptr;
  output_ = caller_block_ ? block : own_output_.get();
  output_capacity_ = caller_block_ ? capacity : own_capacity_;
  output_size_ = 0;
  call_start_ = 0;
  output_count_ = 0;
}

std::uint32_t GJpegEncoder::Begin() {
  End();
  done_ = false;
  upstream_ended_ = false;
  lines_written_ = 0;
  if (!caller_block_) output_size_ = 0;
  call_start_ = output_size_;
  if (!BeginRows(false)) return 0;
  GShortRect bounds;
  upstream_->GetBounds(bounds);
  width_ = static_cast<std::uint16_t>(std::max(0, bounds.right - bounds.left));
  height_ = static_cast<std::uint16_t>(std::max(0, bounds.bottom - bounds.top));
  max_row_bytes_ = row_buffer_size_;
  ready_ = 1;
  return 1;
}

void GJpegEncoder::End() {
  if (compression_) jpeg_destroy_compress(&compression_->info);
  compression_.reset();
  if (started_) done_ = true;
  started_ = false;
}

bool GJpegEncoder::Append(const std::uint8_t* bytes, std::uint32_t count) {
  if (count > output_capacity_ - output_size_) {
    if (caller_block_) return false;
    const std::uint64_t needed = std::uint64_t{output_size_} + count;
    const std::uint64_t capacity =
        std::max<std::uint64_t>(needed, 2 * std::uint64_t{own_capacity_});
    std::unique_ptr<std::uint8_t[]> grown = RWNewArrayForOverwrite<std::uint8_t>(capacity);
    if (!grown) return false;
    if (output_size_ != 0) std::memcpy(grown.get(), output_, output_size_);
    own_output_ = std::move(grown);
    output_ = own_output_.get();
    own_capacity_ = output_capacity_ = static_cast<std::uint32_t>(capacity);
  }
  std::memcpy(output_ + output_size_, bytes, count);
  output_size_ += count;
  output_count_ += count;
  return true;
}

bool GJpegEncoder::Run(Step step, std::uint32_t lines) {
  Compression* const compression = compression_.get();
  jpeg_compress_struct* const info = &compression->info;
  if (setjmp(compression->error.recovery) != 0) return false;
  switch (step) {
    case Step::kStart: {
      info->err = jpeg_std_error(&compression->error.manager);
      compression->error.manager.error_exit = GJpegOutput::ErrorExit;
      compression->error.manager.output_message = GJpegOutput::OutputMessage;
      jpeg_create_compress(info);
      compression->destination.owner = this;
      compression->destination.manager.init_destination = GJpegOutput::InitDestination;
      compression->destination.manager.empty_output_buffer = GJpegOutput::EmptyOutputBuffer;
      compression->destination.manager.term_destination = GJpegOutput::TermDestination;
      info->dest = &compression->destination.manager;
      info->image_width = width_;
      info->image_height = height_;
      switch (upstream_->GetBitsPerPixel()) {
        case 8:
          info->input_components = 1;
          info->in_color_space = JCS_GRAYSCALE;
          break;
        case 24:
          info->input_components = 3;
          info->in_color_space = JCS_RGB;
          break;
        case 32:
          info->input_components = 4;
          info->in_color_space = JCS_EXT_RGBX;
          break;
        default:
          ERREXIT(info, JERR_BAD_IN_COLORSPACE);
      }
      jpeg_set_defaults(info);
      info->data_precision = 8;
      jpeg_set_quality(info, kJpegQuality, TRUE);
      jpeg_start_compress(info, TRUE);
      break;
    }
    case Step::kWrite: {
      JSAMPROW rows[kFillLinesPerCall];
      for (std::uint32_t i = 0; i < lines; ++i)
        rows[i] = row_buffer_.get();
      for (std::uint32_t written = 0; written < lines;) {
        written += jpeg_write_scanlines(info, rows + written, lines - written);
      }
      break;
    }
    case Step::kFinish:
      jpeg_finish_compress(info);
      break;
  }
  return true;
}

std::uint32_t GJpegEncoder::GetRow(std::uint8_t*, std::uint16_t& row_index, std::uint32_t& length,
                                   std::uint8_t& repeat_count, std::uint8_t& rows_delivered) {
  if (!caller_block_) output_size_ = 0;
  call_start_ = output_size_;
  if (!ready_ || done_) {
    rows_delivered = 0;
    repeat_count = 1;
    return NoRow(length);
  }
  bool ok = true;
  if (!started_) {
    compression_.reset(RWNew<Compression>());
    started_ = true;
    ok = compression_ && Run(Step::kStart, 0);
  }
  std::uint32_t lines = 0;
  if (ok) {
    row_index = static_cast<std::uint16_t>(lines_written_);
    lines = kFillLinesPerCall;
    if (!upstream_ended_) {
      std::uint16_t index = 0;
      std::uint32_t got = 0;
      PullRow(index, got, repeat_count, rows_delivered);
      if (got == 0) {
        upstream_ended_ = true;
      } else {
        lines = repeat_count == 0 ? 1 : repeat_count;
      }
    }
    lines = std::min(lines, std::uint32_t{height_} - lines_written_);
    ok = Run(Step::kWrite, lines);
  }
  if (ok) {
    lines_written_ += lines;
    if (lines_written_ >= height_) {
      ok = Run(Step::kFinish, 0);
      End();
    }
  }
  repeat_count = 1;
  if (!ok) {
    End();
    rows_delivered = 1;
    return NoRow(length);
  }
  rows_delivered = static_cast<std::uint8_t>(lines);
  length = output_size_ - call_start_;
  return 0;
}
