// RWFile: a binary file over the runtime's buffered files. Items are read and
// written with fixed widths in little-endian order (char 1, short 2, int and
// long 4, float 4, double 8); nothing else is converted. No operation raises
// a library error: each answers success, and failures show in Eof/Error.
// One RWFile must not be used from two threads at once.
//
// Readers of stored data that find it corrupt call MarkError(), so that
// Error() tells every later reader to stop (the runtime has no portable way
// to set its own error flag).
//
// ReadAt and WriteAt move bytes at a given offset with one system call on
// the descriptor, without the runtime's seek and read-ahead: the file space
// manager and the disk tree work that way. Mixed with the item operations,
// which go through the runtime's buffer, they hand the file over as the
// runtime requires: the buffer is flushed before a positioned transfer (so
// writes reach the file in the order they were made) and the stream seeks
// back to its place before its next transfer (so it reads what was written).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

#include "foundation/rw/support.h"

class RWFile {
 public:
  // The offset Overwritten is told for a write whose place is not known.
  static constexpr std::uint64_t kAnywhere = ~std::uint64_t{0};

  // Opens `name` with `mode`; without a mode, opens an existing file with
  // "rb+", else, when there is none, creates it with "wb+x" (only where
  // none is: one made meanwhile is opened with "rb+"; a name that neither
  // opens nor can be made after a few rounds, such as a dangling link,
  // fails). Mode() keeps the last mode tried. An open that fails for want
  // of memory raises the out-of-memory error.
  explicit RWFile(const char* name, const char* mode = nullptr);
  // A file over `size` bytes at `data` in memory, opened with `mode`: "rb"
  // reads them; "wb" writes them from the start, and fails a write past
  // their end. The runtime ends what was written with a NUL, over the last
  // byte when the writes filled them: a caller keeps one byte spare. The
  // file has no name and no descriptor: the positioned transfers fail on
  // it, and BytesRemaining counts to `size`. Null when the runtime cannot
  // open it (or `size` is 0). REQUIRES: the bytes outlive the file.
  static std::unique_ptr<RWFile> OverMemory(void* data, std::size_t size, const char* mode);
  virtual ~RWFile();
  RWFile(const RWFile&) = delete;
  RWFile& operator=(const RWFile&) = delete;

  // True when the file opened and is usable.
  bool IsValid() const { return file_ != nullptr; }
  const char* Mode() const { return mode_; }
  const char* Name() const { return name_.c_str(); }

  bool Exists() const;
  static bool Exists(const char* name);
  static bool Exists(const char* name, int access_mode);

  // Single items: true when exactly one item was transferred.
  bool ReadChar(char& v) { return ReadItems(&v, 1); }
  bool ReadShort(std::int16_t& v) { return ReadItems(&v, 1); }
  bool ReadInt(std::int32_t& v) { return ReadItems(&v, 1); }
  bool ReadLong(std::int32_t& v) { return ReadItems(&v, 1); }
  bool ReadUChar(std::uint8_t& v) { return ReadItems(&v, 1); }
  bool ReadUShort(std::uint16_t& v) { return ReadItems(&v, 1); }
  bool ReadUInt(std::uint32_t& v) { return ReadItems(&v, 1); }
  bool ReadULong(std::uint32_t& v) { return ReadItems(&v, 1); }
  bool ReadFloat(float& v) { return ReadItems(&v, 1); }
  bool ReadDouble(double& v) { return ReadItems(&v, 1); }

  bool WriteChar(char v) { return WriteItems(&v, 1); }
  bool WriteShort(std::int16_t v) { return WriteItems(&v, 1); }
  bool WriteInt(std::int32_t v) { return WriteItems(&v, 1); }
  bool WriteLong(std::int32_t v) { return WriteItems(&v, 1); }
  bool WriteUChar(std::uint8_t v) { return WriteItems(&v, 1); }
  bool WriteUShort(std::uint16_t v) { return WriteItems(&v, 1); }
  bool WriteUInt(std::uint32_t v) { return WriteItems(&v, 1); }
  bool WriteULong(std::uint32_t v) { return WriteItems(&v, 1); }
  bool WriteFloat(float v) { return WriteItems(&v, 1); }
  bool WriteDouble(double v) { return WriteItems(&v, 1); }

  // Arrays: true when all `n` items were transferred.
  bool ReadChar(char* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadShort(std::int16_t* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadInt(std::int32_t* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadLong(std::int32_t* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadUChar(std::uint8_t* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadUShort(std::uint16_t* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadUInt(std::uint32_t* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadULong(std::uint32_t* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadFloat(float* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadDouble(double* p, std::size_t n) { return ReadItems(p, n); }
  bool ReadWChar(char16_t* p, std::size_t n) { return ReadItems(p, n); }  // 2-byte units

  bool WriteChar(const char* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteShort(const std::int16_t* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteInt(const std::int32_t* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteLong(const std::int32_t* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteUChar(const std::uint8_t* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteUShort(const std::uint16_t* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteUInt(const std::uint32_t* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteULong(const std::uint32_t* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteFloat(const float* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteDouble(const double* p, std::size_t n) { return WriteItems(p, n); }
  bool WriteWChar(const char16_t* p, std::size_t n) { return WriteItems(p, n); }

  // Reads bytes up to and including a NUL, or to the end of the file, and
  // stores at most `size` - 1 of them, NUL-terminated. Bytes that do not fit
  // are consumed and dropped. True when the whole string fitted.
  // REQUIRES: size >= 1.
  bool ReadString(char* buffer, std::size_t size);
  // Writes the text and its terminator (null: the terminator alone).
  bool WriteString(const char* text);

  // Reads one item into a new allocation; null when the read fails or no
  // memory is left for the item.
  template <class T>
  std::unique_ptr<T> ReadNewItem() {
    static_assert(std::is_arithmetic_v<T>);
    std::unique_ptr<T> item(new (kRWNoThrow) T());
    return item && ReadItems(item.get(), 1) ? std::move(item) : nullptr;
  }

  // `n` bytes at `offset`, as SeekTo(offset) and then ReadUChar(p, n) or
  // WriteUChar(p, n) would move them, with the same offset, end-of-file and
  // error indicators afterwards.
  bool ReadAt(std::uint64_t offset, std::uint8_t* p, std::size_t n);
  bool WriteAt(std::uint64_t offset, const std::uint8_t* p, std::size_t n);
  // Flushes the runtime's buffer ahead of positioned transfers; false when
  // that fails, where a seek would have failed.
  bool ReleaseStream();

  std::int64_t CurrentOffset();
  bool SeekTo(std::int64_t offset);
  bool SeekToEnd();
  bool Flush();

  // Bytes between the current offset and the end of the file (0 when it
  // cannot be told). Readers use it to bound lengths read from the file.
  std::uint64_t BytesRemaining();

  bool Eof() const;
  // The runtime's error flag, or a mark left by MarkError; true when closed.
  bool Error() const;
  void ClearError();
  void MarkError() { marked_error_ = true; }

  bool IsEmpty() const;
  // Closes, deletes and re-creates the file empty, create-new ("wb+x"):
  // false when another made a file of that name meanwhile.
  bool Erase();

 protected:
  // Told after each write of `length` bytes at `offset`, failed ones too;
  // offset kAnywhere for writes whose place is not known here (the item
  // operations, Erase). Lets a derived file keep copies of its own bytes.
  virtual void Overwritten(std::uint64_t offset, std::uint64_t length);

 private:
  bool Open(const char* mode);
  struct InMemory {};
  RWFile(InMemory, void* data, std::size_t size, const char* mode);

  template <class T>
  bool ReadItems(T* p, std::size_t n);
  template <class T>
  bool WriteItems(const T* p, std::size_t n);

  // The runtime needs a seek between a write and a read on one file; that
  // seek also clears the end-of-file indicator.
  enum class Direction { kNone, kRead, kWrite };
  void Turn(Direction to) {
    const bool seek = last_ != to && last_ != Direction::kNone;
    if (on_descriptor_) {
      Resume(seek);
    } else if (seek) {
      ::fseeko(file_, 0, SEEK_CUR);
      eof_ = false;
    }
    last_ = to;
  }
  // Seeks the stream to where the positioned transfers left the file. Their
  // end-of-file indicator stays unless `seek` (the turn would have cleared it).
  void Resume(bool seek);

  char mode_[9] = {};  // the last mode tried, at most 8 characters
  std::string name_;
  std::FILE* file_ = nullptr;
  // The size of a file over memory (BytesRemaining and IsEmpty need no
  // descriptor); kAnywhere for a file on disk.
  std::uint64_t memory_size_ = kAnywhere;
  bool marked_error_ = false;
  Direction last_ = Direction::kNone;  // the last transfer, positioned ones included
  // Set by positioned transfers, whose place this holds until the stream
  // resumes: the runtime's buffer is empty meanwhile.
  bool on_descriptor_ = false;
  std::uint64_t position_ = 0;
  // End of file met by a positioned read: the runtime's own indicator, which
  // a seek would have cleared, does not count meanwhile, and this one lasts
  // into the stream until a seek.
  bool eof_ = false;
  bool io_error_ = false;  // a positioned transfer failed; cleared as the runtime's flag
};

template <class T>
inline bool RWFile::ReadItems(T* p, std::size_t n) {
  if (!file_) return false;
  if (n == 0) return true;
  Turn(Direction::kRead);
  return std::fread(p, sizeof(T), n, file_) == n;
}

template <class T>
inline bool RWFile::WriteItems(const T* p, std::size_t n) {
  if (!file_) return false;
  if (n == 0) return true;
  Turn(Direction::kWrite);
  bool written = std::fwrite(p, sizeof(T), n, file_) == n;
  Overwritten(kAnywhere, sizeof(T) * n);
  return written;
}
