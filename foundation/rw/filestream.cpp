#include "foundation/rw/filestream.h"

#include <cerrno>
#include <locale>

#include "foundation/rw/support.h"

namespace {

// Opens `file` at `path` with `mode`: 0, else the system's reason (ENOENT
// for no path). An open that failed for want of memory for the stream
// raises the out-of-memory error: what failed is an allocation, not the
// file.
int Open(std::filebuf& file, const char* path, std::ios_base::openmode mode) {
  if (!path) return ENOENT;
  errno = 0;
  if (file.open(path, mode)) return 0;
  const int error = errno ? errno : EIO;
  if (error == ENOMEM) RWRaiseNoMemory(0);
  return error;
}

}  // namespace

RWFileInputStream::RWFileInputStream(const char* path) : std::istream(nullptr) {
  rdbuf(&file_);
  imbue(std::locale::classic());
  if (Open(file_, path, std::ios_base::in | std::ios_base::binary) != 0) {
    setstate(std::ios_base::failbit);
  }
}

RWFileOutputStream::RWFileOutputStream(const char* path) : std::ostream(nullptr) {
  rdbuf(&file_);
  imbue(std::locale::classic());
  if (const int error =
          Open(file_, path, std::ios_base::out | std::ios_base::trunc | std::ios_base::binary)) {
    file_.Note(error);
    setstate(std::ios_base::failbit);
  }
}

void RWFileOutputStream::Buffer::Note(int error) {
  if (error_ == 0) error_ = error ? error : EIO;
}

// Each write clears errno first: what a failed one leaves there is the
// system call's reason.
RWFileOutputStream::Buffer::int_type RWFileOutputStream::Buffer::overflow(int_type c) {
  errno = 0;
  const int_type result = std::filebuf::overflow(c);
  if (traits_type::eq_int_type(result, traits_type::eof())) Note(errno);
  return result;
}

std::streamsize RWFileOutputStream::Buffer::xsputn(const char_type* bytes, std::streamsize count) {
  errno = 0;
  const std::streamsize put = std::filebuf::xsputn(bytes, count);
  if (put < count) Note(errno);
  return put;
}

int RWFileOutputStream::Buffer::sync() {
  errno = 0;
  const int result = std::filebuf::sync();
  if (result != 0) Note(errno);
  return result;
}
