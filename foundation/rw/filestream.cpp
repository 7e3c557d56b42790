#include "foundation/rw/filestream.h"

#include <cerrno>
#include <locale>

#include "foundation/rw/support.h"

namespace {

// Opens `file` at `path` with `mode`. An open that failed for want of
// memory for the stream raises the out-of-memory error: what failed is an
// allocation, not the file.
bool Open(std::filebuf& file, const char* path, std::ios_base::openmode mode) {
  if (!path) return false;
  errno = 0;
  if (file.open(path, mode)) return true;
  if (errno == ENOMEM) RWRaiseNoMemory(0);
  return false;
}

}  // namespace

RWFileInputStream::RWFileInputStream(const char* path) : std::istream(nullptr) {
  rdbuf(&file_);
  imbue(std::locale::classic());
  if (!Open(file_, path, std::ios_base::in | std::ios_base::binary)) {
    setstate(std::ios_base::failbit);
  }
}

RWFileOutputStream::RWFileOutputStream(const char* path) : std::ostream(nullptr) {
  rdbuf(&file_);
  imbue(std::locale::classic());
  if (!Open(file_, path, std::ios_base::out | std::ios_base::trunc | std::ios_base::binary)) {
    setstate(std::ios_base::failbit);
  }
}
