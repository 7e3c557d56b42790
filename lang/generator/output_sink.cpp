#include "lang/generator/output_sink.h"

#include <algorithm>
#include <cstring>

#include "lang/generator/printer_language.h"
#include "output/core/output_target.h"

void GOutputSink::Begin() {
  output_ok_ = true;
  write_error_ = 0;
  last_poll_count_ = 0;
  used_ = 0;
}

void GOutputSink::Put(const void* data, std::uint32_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (length > 0) {
    std::uint32_t n = std::min(length, kBufferSize - used_);
    std::memcpy(buffer_ + used_, bytes, n);
    used_ += n;
    bytes += n;
    length -= n;
    if (used_ == kBufferSize) Flush();
  }
}

void GOutputSink::PutRepeated(std::uint8_t byte, std::uint32_t count) {
  while (count > 0) {
    std::uint32_t n = std::min(count, kBufferSize - used_);
    std::memset(buffer_ + used_, byte, n);
    used_ += n;
    count -= n;
    if (used_ == kBufferSize) Flush();
  }
}

void GOutputSink::Flush() {
  FlushToOutput(buffer_, used_);
}

void GOutputSink::FlushToOutput(const std::uint8_t* data, std::uint32_t length) {
  if (length == 0 && empty_ == EmptyFlush::kNothing) return;
  GOutputTarget* output = generator_.GetOutput();
  if (length != 0 && output_ok_ && output) {
    std::uint32_t written = 0;
    std::uint16_t result = output->WriteRaw(data, length, written);
    if (result != 0) {
      output_ok_ = false;
      write_error_ = result;
    }
  }
  used_ = 0;
  if (!output || !generator_.IsPeriodicPollOn()) return;
  std::uint32_t count = output->GetCount();
  if (count < kPollInterval || count - last_poll_count_ > kPollInterval) {
    output->IsNotReady();
    last_poll_count_ = count;
  }
}
