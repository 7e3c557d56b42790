#include "foundation/rw/file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include "foundation/rw/support.h"

// The stored forms are little-endian; on such a host items move as they are.
static_assert(std::endian::native == std::endian::little, "RWFile assumes a little-endian host");
static_assert(sizeof(float) == 4 && sizeof(double) == 8);

namespace {

// Rounds of "rb+" then "wb+x" a file opened without a mode may take.
constexpr int kCreateAttempts = 8;

}  // namespace

RWFile::RWFile(const char* name, const char* mode) : name_(name ? name : "") {
  if (mode) {
    Open(mode);
    return;
  }
  // Only a file that is not there is made, and only where none is made
  // meanwhile ("x": another process may make one between the two opens):
  // an emptying "wb+" would take another's file, or one that could not be
  // opened for another reason (memory for the stream ran short). A name
  // that keeps coming and going (a dangling link) is given up.
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    if (Open("rb+") || errno != ENOENT) return;
    if (Open("wb+x") || errno != EEXIST) return;
  }
}

RWFile::RWFile(InMemory, void* data, std::size_t size, const char* mode) : memory_size_(size) {
  std::strncpy(mode_, mode, 8);
  mode_[8] = '\0';
  errno = 0;
  file_ = data && size > 0 ? ::fmemopen(data, size, mode) : nullptr;
  if (!file_ && errno == ENOMEM) RWRaiseNoMemory(0);
}

std::unique_ptr<RWFile> RWFile::OverMemory(void* data, std::size_t size, const char* mode) {
  std::unique_ptr<RWFile> file(new (kRWNoThrow) RWFile(InMemory{}, data, size, mode));
  if (!file || !file->IsValid()) return nullptr;
  return file;
}

RWFile::~RWFile() {
  if (file_) std::fclose(file_);
}

bool RWFile::Open(const char* mode) {
  std::strncpy(mode_, mode, 8);
  mode_[8] = '\0';
  errno = 0;
  file_ = std::fopen(name_.c_str(), mode);
  const int error = errno;  // the constructor asks it; the report may change it
  // The stream's own memory: an allocation that failed, not a file that
  // cannot be opened.
  if (!file_ && error == ENOMEM) RWRaiseNoMemory(0);
  errno = error;
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

void RWFile::Overwritten(std::uint64_t, std::uint64_t) {}

bool RWFile::ReleaseStream() {
  // What a seek does to the indicators, whether or not the stream moves.
  last_ = Direction::kNone;
  if (!file_) return false;
  if (on_descriptor_) {
    eof_ = false;
    return true;
  }
  // The runtime's hand-over to the descriptor: flush, which writes what is
  // buffered and gives back what was read ahead.
  std::int64_t at = ::ftello(file_);
  if (at < 0 || std::fflush(file_) != 0) return false;
  on_descriptor_ = true;
  position_ = static_cast<std::uint64_t>(at);
  eof_ = false;
  return true;
}

void RWFile::Resume(bool seek) {
  on_descriptor_ = false;
  if (seek) eof_ = false;
  ::fseeko(file_, static_cast<off_t>(position_), SEEK_SET);
}

bool RWFile::ReadAt(std::uint64_t offset, std::uint8_t* p, std::size_t n) {
  if (!ReleaseStream()) return false;
  if (n > 0) last_ = Direction::kRead;
  const int fd = ::fileno(file_);
  std::size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd, p + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      io_error_ = true;
      break;
    }
    if (got == 0) {
      eof_ = true;
      break;
    }
    done += static_cast<std::size_t>(got);
  }
  position_ = offset + done;
  return done == n;
}

bool RWFile::WriteAt(std::uint64_t offset, const std::uint8_t* p, std::size_t n) {
  if (!ReleaseStream()) return false;
  if (n > 0) last_ = Direction::kWrite;
  const int fd = ::fileno(file_);
  std::size_t done = 0;
  while (done < n) {
    ssize_t put = ::pwrite(fd, p + done, n - done, static_cast<off_t>(offset + done));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      io_error_ = true;
      break;
    }
    done += static_cast<std::size_t>(put);
  }
  position_ = offset + done;
  Overwritten(offset, n);
  return done == n;
}

std::int64_t RWFile::CurrentOffset() {
  if (!file_) return -1;
  return on_descriptor_ ? static_cast<std::int64_t>(position_) : ::ftello(file_);
}

bool RWFile::SeekTo(std::int64_t offset) {
  last_ = Direction::kNone;
  if (!file_ || offset < 0) return false;
  on_descriptor_ = false;
  eof_ = false;
  return ::fseeko(file_, offset, SEEK_SET) == 0;
}

bool RWFile::SeekToEnd() {
  last_ = Direction::kNone;
  if (!file_) return false;
  on_descriptor_ = false;
  eof_ = false;
  return ::fseeko(file_, 0, SEEK_END) == 0;
}

bool RWFile::Flush() {
  last_ = Direction::kNone;
  // Positioned transfers leave nothing in the runtime's buffer.
  return file_ && (on_descriptor_ || std::fflush(file_) == 0);
}

std::uint64_t RWFile::BytesRemaining() {
  if (!file_) return 0;
  // Buffered writes are not yet in the size that fstat sees.
  if (!on_descriptor_) std::fflush(file_);
  last_ = Direction::kNone;
  struct stat st;
  std::int64_t at = CurrentOffset();
  if (at >= 0 && memory_size_ != kAnywhere) {
    return memory_size_ > static_cast<std::uint64_t>(at) ? memory_size_ - at : 0;
  }
  if (at < 0 || ::fstat(::fileno(file_), &st) != 0 || st.st_size < at) return 0;
  return static_cast<std::uint64_t>(st.st_size - at);
}

bool RWFile::Eof() const {
  return file_ && (eof_ || (!on_descriptor_ && std::feof(file_)));
}

bool RWFile::Error() const {
  return !file_ || marked_error_ || io_error_ || std::ferror(file_);
}

void RWFile::ClearError() {
  marked_error_ = false;
  io_error_ = false;
  eof_ = false;
  if (file_) std::clearerr(file_);
}

bool RWFile::IsEmpty() const {
  if (!file_) return true;
  if (memory_size_ != kAnywhere) return memory_size_ == 0;
  struct stat st;
  std::fflush(file_);
  return ::fstat(::fileno(file_), &st) == 0 && st.st_size == 0;
}

bool RWFile::Erase() {
  Overwritten(kAnywhere, kAnywhere);
  if (file_) {
    int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) return false;
  }
  if (std::remove(name_.c_str()) != 0) return false;
  marked_error_ = false;
  io_error_ = false;
  eof_ = false;
  on_descriptor_ = false;
  last_ = Direction::kNone;
  // Create-new: a file another process made at the name meanwhile is theirs.
  return Open("wb+x");
}
