// GByteBuffer: a run of bytes handed between the font reader, its caches and
// the generators: table data, a glyph's raw data or its converted form. It
// either owns its bytes (an array from new[], freed with the buffer) or
// only points at bytes that stay their owner's (a cache's copy, which a
// lookup lends out). A buffer that the caller receives belongs to the
// caller, who deletes it.
//
// Threads: one buffer is used by one thread at a time.
#pragma once

#include <cstdint>

class GByteBuffer {
 public:
  // Takes the three values over. REQUIRES: `data` holds `size` bytes (null
  // only when size is 0); owned bytes come from new[].
  GByteBuffer(std::uint8_t* data, std::uint32_t size, bool owned);
  GByteBuffer(const GByteBuffer&) = delete;
  GByteBuffer& operator=(const GByteBuffer&) = delete;
  // Frees owned bytes.
  ~GByteBuffer();

  // A new buffer owning a copy of `size` bytes at `data` (an empty owning
  // buffer for size 0); null when no memory is left.
  static GByteBuffer* NewCopy(const std::uint8_t* data, std::uint32_t size);

  std::uint8_t* GetData() const { return data_; }
  std::uint32_t GetSize() const { return size_; }
  bool IsOwned() const { return owned_; }

  // Hands the bytes to the caller, who frees them with delete[]: the
  // buffer's own when it owns them (it keeps pointing at them, no longer
  // owning), else a new copy. Null for size 0 and when no memory is left
  // for the copy.
  std::uint8_t* Detach();
  // A new owning buffer on the detached bytes (see Detach); null when the
  // buffer or the copy cannot be had, and then nothing was detached.
  GByteBuffer* DetachToNew();

 private:
  std::uint8_t* data_;
  std::uint32_t size_;
  bool owned_;
};
