#include "output/core/byte_buffer.h"

#include <cstring>
#include <memory>

#include "foundation/rw/support.h"

GByteBuffer::GByteBuffer(std::uint8_t* data, std::uint32_t size, bool owned)
    : data_(data), size_(size), owned_(owned) {}

GByteBuffer::~GByteBuffer() {
  if (owned_) delete[] data_;
}

GByteBuffer* GByteBuffer::NewCopy(const std::uint8_t* data, std::uint32_t size) {
  std::unique_ptr<std::uint8_t[]> copy;
  if (size > 0) {
    copy = RWNewArray<std::uint8_t>(size);
    if (!copy) return nullptr;
    std::memcpy(copy.get(), data, size);
  }
  GByteBuffer* buffer = RWNew<GByteBuffer>(copy.get(), size, true);
  if (buffer) copy.release();
  return buffer;
}

std::uint8_t* GByteBuffer::Detach() {
  if (size_ == 0) return nullptr;
  if (owned_) {
    owned_ = false;
    return data_;
  }
  std::unique_ptr<std::uint8_t[]> copy = RWNewArray<std::uint8_t>(size_);
  if (!copy) return nullptr;
  std::memcpy(copy.get(), data_, size_);
  return copy.release();
}

GByteBuffer* GByteBuffer::DetachToNew() {
  std::unique_ptr<GByteBuffer> shell(RWNew<GByteBuffer>(nullptr, 0, true));
  if (!shell) return nullptr;
  if (size_ == 0) return shell.release();
  std::uint8_t* data = Detach();
  if (!data) return nullptr;
  shell->data_ = data;
  shell->size_ = size_;
  return shell.release();
}
