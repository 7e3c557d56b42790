#include "foundation/rw/filestream.h"

#include <locale>

RWFileInputStream::RWFileInputStream(const char* path) : std::istream(nullptr) {
  rdbuf(&file_);
  imbue(std::locale::classic());
  if (!path || !file_.open(path, std::ios_base::in | std::ios_base::binary)) {
    setstate(std::ios_base::failbit);
  }
}

RWFileOutputStream::RWFileOutputStream(const char* path) : std::ostream(nullptr) {
  rdbuf(&file_);
  imbue(std::locale::classic());
  if (!path ||
      !file_.open(path, std::ios_base::out | std::ios_base::trunc | std::ios_base::binary)) {
    setstate(std::ios_base::failbit);
  }
}
