// Runtime byte streams over memory that the caller owns: the places where
// virtual streams write and read object data.
//
// RWMemoryInputStream reads the first `size` bytes of a block; its end is
// the end of those bytes. RWMemoryOutputStream writes into a block of fixed
// capacity: a write that does not fit stores what fits and fails (never
// grows, never writes past the block); its end is the capacity. Both seek
// within their block. RWOutputStringStream writes text into a small buffer
// and keeps it NUL-terminated after every write, with room kept for the
// terminator.
//
// The block stays the caller's and must outlive the stream. Every stream is
// imbued with the classic locale. One stream belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <streambuf>

// The stream buffer of RWMemoryInputStream.
class RWMemoryInputBuffer : public std::streambuf {
 public:
  RWMemoryInputBuffer(const char* block, std::size_t size);

 protected:
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;
};

// The stream buffer of RWMemoryOutputStream.
class RWMemoryOutputBuffer : public std::streambuf {
 public:
  RWMemoryOutputBuffer(char* block, std::size_t capacity);

  // The furthest position written so far.
  std::size_t BytesWritten() const;

 protected:
  int_type overflow(int_type c) override;  // the block is full
  pos_type seekoff(off_type off, std::ios_base::seekdir dir,
                   std::ios_base::openmode which) override;
  pos_type seekpos(pos_type pos, std::ios_base::openmode which) override;

 private:
  void MoveTo(std::size_t pos);

  std::size_t high_water_ = 0;
};

class RWMemoryInputStream : public std::istream {
 public:
  // REQUIRES: block points to at least `size` bytes (or size is 0).
  RWMemoryInputStream(const void* block, std::size_t size);

 private:
  RWMemoryInputBuffer buffer_;
};

class RWMemoryOutputStream : public std::ostream {
 public:
  // REQUIRES: block points to at least `capacity` writable bytes (or
  // capacity is 0).
  RWMemoryOutputStream(void* block, std::size_t capacity);

  std::size_t BytesWritten() const { return buffer_.BytesWritten(); }

 private:
  RWMemoryOutputBuffer buffer_;
};

// Text output into a caller's buffer of `size` bytes: at most size - 1
// characters are kept, always followed by a terminating zero; a write that
// does not fit keeps what fits and sets the stream's bad bit.
class RWOutputStringStream : public std::ostream {
 public:
  // REQUIRES: size >= 1.
  RWOutputStringStream(char* buffer, std::size_t size);

  const char* Str() const { return buffer_.Data(); }
  std::size_t Length() const { return buffer_.Length(); }

 private:
  class Buffer : public std::streambuf {
   public:
    Buffer(char* data, std::size_t size);
    const char* Data() const { return data_; }
    std::size_t Length() const { return length_; }

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;

   private:
    char* data_;
    std::size_t size_;
    std::size_t length_ = 0;
  };

  Buffer buffer_;
};
