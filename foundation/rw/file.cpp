#include "foundation/rw/file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstring>

// The stored forms are little-endian; on such a host items move as they are.
static_assert(std::endian::native == std::endian::little, "RWFile assumes a little-endian host");
static_assert(sizeof(float) == 4 && sizeof(double) == 8);

RWFile::RWFile(const char* name, const char* mode) : name_(name ? name : "") {
  if (mode) {
    Open(mode);
  } else if (!Open("rb+")) {
    Open("wb+");
  }
}

RWFile::~RWFile() {
  if (file_) std::fclose(file_);
}

bool RWFile::Open(const char* mode) {
  std::strncpy(mode_, mode, 8);
  mode_[8] = '\0';
  file_ = std::fopen(name_.c_str(), mode);
  return file_ != nullptr;
}

bool RWFile::Exists() const {
  return Exists(name_.c_str());
}

bool RWFile::Exists(const char* name) {
  return Exists(name, F_OK);
}

bool RWFile::Exists(const char* name, int access_mode) {
  return name && ::access(name, access_mode) >= 0;
}

bool RWFile::ReadString(char* buffer, std::size_t size) {
  if (size == 0) return false;
  buffer[0] = '\0';
  if (!file_) return false;
  std::size_t stored = 0;
  bool fitted = true;
  Turn(Direction::kRead);
  for (int c; (c = std::fgetc(file_)) != EOF && c != '\0';) {
    if (stored + 1 < size) {
      buffer[stored++] = static_cast<char>(c);
    } else {
      fitted = false;
    }
  }
  buffer[stored] = '\0';
  return fitted;
}

bool RWFile::WriteString(const char* text) {
  if (!text) text = "";  // null is the empty text: its terminator alone
  return WriteItems(text, std::strlen(text) + 1);
}

std::int64_t RWFile::CurrentOffset() {
  return file_ ? ::ftello(file_) : -1;
}

bool RWFile::SeekTo(std::int64_t offset) {
  last_ = Direction::kNone;
  return file_ && offset >= 0 && ::fseeko(file_, offset, SEEK_SET) == 0;
}

bool RWFile::SeekToEnd() {
  last_ = Direction::kNone;
  return file_ && ::fseeko(file_, 0, SEEK_END) == 0;
}

bool RWFile::Flush() {
  last_ = Direction::kNone;
  return file_ && std::fflush(file_) == 0;
}

std::uint64_t RWFile::BytesRemaining() {
  if (!file_) return 0;
  // Buffered writes are not yet in the size that fstat sees.
  std::fflush(file_);
  last_ = Direction::kNone;
  struct stat st;
  std::int64_t at = ::ftello(file_);
  if (at < 0 || ::fstat(::fileno(file_), &st) != 0 || st.st_size < at) return 0;
  return static_cast<std::uint64_t>(st.st_size - at);
}

bool RWFile::Eof() const {
  return file_ && std::feof(file_);
}

bool RWFile::Error() const {
  return !file_ || marked_error_ || std::ferror(file_);
}

void RWFile::ClearError() {
  marked_error_ = false;
  if (file_) std::clearerr(file_);
}

bool RWFile::IsEmpty() const {
  if (!file_) return true;
  struct stat st;
  std::fflush(file_);
  return ::fstat(::fileno(file_), &st) == 0 && st.st_size == 0;
}

bool RWFile::Erase() {
  if (file_) {
    int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) return false;
  }
  if (std::remove(name_.c_str()) != 0) return false;
  marked_error_ = false;
  last_ = Direction::kNone;
  return Open("wb+");
}
