#include "foundation/rw/memorystream.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <locale>

namespace {

// The position `off` from `dir`, checked against [0, end]; -1 when outside.
std::ptrdiff_t Target(std::streamoff off, std::ios_base::seekdir dir, std::size_t current,
                      std::size_t end) {
  std::streamoff base = dir == std::ios_base::beg   ? 0
                        : dir == std::ios_base::cur ? static_cast<std::streamoff>(current)
                                                    : static_cast<std::streamoff>(end);
  if (off > 0 && base > std::numeric_limits<std::streamoff>::max() - off) return -1;
  std::streamoff target = base + off;
  if (target < 0 || target > static_cast<std::streamoff>(end)) return -1;
  return static_cast<std::ptrdiff_t>(target);
}

}  // namespace

// ---------------------------------------------------------------------------
// Input

RWMemoryInputBuffer::RWMemoryInputBuffer(const char* block, std::size_t size) {
  // The get area is read-only in practice: nothing here writes through it.
  char* begin = const_cast<char*>(block);
  if (!begin) size = 0;
  setg(begin, begin, begin + size);
}

RWMemoryInputBuffer::pos_type RWMemoryInputBuffer::seekoff(off_type off, std::ios_base::seekdir dir,
                                                           std::ios_base::openmode which) {
  if (!(which & std::ios_base::in)) return pos_type(off_type(-1));
  std::size_t end = static_cast<std::size_t>(egptr() - eback());
  std::ptrdiff_t target = Target(off, dir, static_cast<std::size_t>(gptr() - eback()), end);
  if (target < 0) return pos_type(off_type(-1));
  setg(eback(), eback() + target, egptr());
  return pos_type(off_type(target));
}

RWMemoryInputBuffer::pos_type RWMemoryInputBuffer::seekpos(pos_type pos,
                                                           std::ios_base::openmode which) {
  return seekoff(off_type(pos), std::ios_base::beg, which);
}

RWMemoryInputStream::RWMemoryInputStream(const void* block, std::size_t size)
    : std::istream(nullptr), buffer_(static_cast<const char*>(block), size) {
  rdbuf(&buffer_);
  imbue(std::locale::classic());
}

// ---------------------------------------------------------------------------
// Output

RWMemoryOutputBuffer::RWMemoryOutputBuffer(char* block, std::size_t capacity) {
  if (!block) capacity = 0;
  setp(block, block + capacity);
}

std::size_t RWMemoryOutputBuffer::BytesWritten() const {
  return std::max(high_water_, static_cast<std::size_t>(pptr() - pbase()));
}

RWMemoryOutputBuffer::int_type RWMemoryOutputBuffer::overflow(int_type c) {
  // Called only when the block is full: there is no room for c.
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  return traits_type::eof();
}

void RWMemoryOutputBuffer::MoveTo(std::size_t pos) {
  high_water_ = BytesWritten();
  setp(pbase(), epptr());
  while (pos > 0) {
    int step = static_cast<int>(std::min<std::size_t>(pos, INT_MAX));
    pbump(step);
    pos -= static_cast<std::size_t>(step);
  }
}

RWMemoryOutputBuffer::pos_type RWMemoryOutputBuffer::seekoff(off_type off,
                                                             std::ios_base::seekdir dir,
                                                             std::ios_base::openmode which) {
  if (!(which & std::ios_base::out)) return pos_type(off_type(-1));
  std::size_t end = static_cast<std::size_t>(epptr() - pbase());
  std::ptrdiff_t target = Target(off, dir, static_cast<std::size_t>(pptr() - pbase()), end);
  if (target < 0) return pos_type(off_type(-1));
  if (off != 0 || dir != std::ios_base::cur) MoveTo(static_cast<std::size_t>(target));
  return pos_type(off_type(target));
}

RWMemoryOutputBuffer::pos_type RWMemoryOutputBuffer::seekpos(pos_type pos,
                                                             std::ios_base::openmode which) {
  return seekoff(off_type(pos), std::ios_base::beg, which);
}

RWMemoryOutputStream::RWMemoryOutputStream(void* block, std::size_t capacity)
    : std::ostream(nullptr), buffer_(static_cast<char*>(block), capacity) {
  rdbuf(&buffer_);
  imbue(std::locale::classic());
}

// ---------------------------------------------------------------------------
// String output

RWOutputStringStream::Buffer::Buffer(char* data, std::size_t size) : data_(data), size_(size) {
  if (size_ > 0) data_[0] = '\0';
}

RWOutputStringStream::Buffer::int_type RWOutputStringStream::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  char ch = traits_type::to_char_type(c);
  return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
}

std::streamsize RWOutputStringStream::Buffer::xsputn(const char* s, std::streamsize n) {
  if (size_ == 0 || n <= 0) return 0;
  std::size_t room = size_ - 1 - length_;
  std::size_t take = std::min(static_cast<std::size_t>(n), room);
  std::memcpy(data_ + length_, s, take);
  length_ += take;
  data_[length_] = '\0';
  return static_cast<std::streamsize>(take);
}

RWOutputStringStream::RWOutputStringStream(char* buffer, std::size_t size)
    : std::ostream(nullptr), buffer_(buffer, size) {
  rdbuf(&buffer_);
  imbue(std::locale::classic());
}
