#include "persist/persistent_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/rw/binarystream.h"
#include "foundation/rw/error.h"
#include "foundation/rw/filestream.h"
#include "foundation/rw/headeredbinarystream.h"
#include "foundation/rw/memorystream.h"
#include "foundation/rw/portablestream.h"
#include "foundation/rw/support.h"
#include "platform/host/files.h"

namespace {

// Permissions of a file that an output stream creates.
constexpr mode_t kNewFileMode = 0644;

// The host file of a path, which may be a Windows path from stored data;
// empty when it has none (the stream then fails to open).
std::string HostPath(const RWWString& path) {
  std::optional<std::string> host =
      platform::ToHostPath(std::u16string_view(path.Data(), path.Length()));
  return host ? *host : std::string();
}

const char* OrNull(const std::string& path) {
  return path.empty() ? nullptr : path.c_str();
}

// The position a seek or tell answered, or -1 (and the fail state) when it
// failed.
template <class Stream>
std::int64_t Position(Stream& stream, std::streampos pos) {
  if (pos == std::streampos(-1)) {
    stream.setstate(std::ios_base::failbit);
    return -1;
  }
  return static_cast<std::int64_t>(pos);
}

}  // namespace

// ---------------------------------------------------------------------------
// Input

GPersistentInputStream::GPersistentInputStream(const void* block, std::size_t size,
                                               std::int32_t encoding)
    : runtime_(new (kRWNoThrow) RWMemoryInputStream(block, size)) {
  MakeEncoding(encoding);
}

GPersistentInputStream::GPersistentInputStream(const RWWString& path, std::int32_t encoding)
    : runtime_(new (kRWNoThrow) RWFileInputStream(OrNull(HostPath(path)))) {
  MakeEncoding(encoding);
}

GPersistentInputStream::~GPersistentInputStream() {
  virtual_.reset();
  runtime_.reset();
}

void GPersistentInputStream::MakeEncoding(std::int32_t encoding) {
  if (!runtime_) return;
  // The headered encoding reads its header from outside data here: a bad
  // one is recorded and shows as the fail state.
  RWErrorScope scope;
  std::istream& is = *runtime_;
  switch (encoding) {
    case kRWPortableTextEncoding:
      virtual_.reset(new (kRWNoThrow) RWPortableInputStream(is));
      break;
    case kRWBinaryEncoding:
      virtual_.reset(new (kRWNoThrow) RWBinaryInputStream(is));
      break;
    case kRWHeaderedBinaryEncoding:
      virtual_.reset(new (kRWNoThrow) RWHeaderedBinaryInputStream(is));
      break;
    default:
      break;
  }
}

std::int64_t GPersistentInputStream::Tell() {
  if (!runtime_) return -1;
  return Position(*runtime_, runtime_->tellg());
}

void GPersistentInputStream::Seek(std::int64_t) {}

// ---------------------------------------------------------------------------
// Output

GPersistentOutputStream::GPersistentOutputStream(void* block, std::size_t capacity,
                                                 std::int32_t encoding)
    : runtime_(new (kRWNoThrow) RWMemoryOutputStream(block, capacity)) {
  MakeEncoding(encoding);
}

GPersistentOutputStream::GPersistentOutputStream(const RWWString& path, std::int32_t encoding) {
  std::string host = HostPath(path);
  // The runtime's file stream cannot choose the permissions of a file it
  // creates; create it here first (opening it again truncates it anyway).
  if (!host.empty()) {
    int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, kNewFileMode);
    if (fd >= 0) ::close(fd);
  }
  runtime_.reset(new (kRWNoThrow) RWFileOutputStream(OrNull(host)));
  MakeEncoding(encoding);
}

GPersistentOutputStream::~GPersistentOutputStream() {
  virtual_.reset();
  runtime_.reset();
}

int GPersistentOutputStream::SystemError() const {
  const auto* file = dynamic_cast<const RWFileOutputStream*>(runtime_.get());
  return file ? file->Error() : 0;
}

void GPersistentOutputStream::MakeEncoding(std::int32_t encoding) {
  if (!runtime_) return;
  // The headered encoding writes its header at once; on a file that did not
  // open that is recorded here and shows as the fail state.
  RWErrorScope scope;
  std::ostream& os = *runtime_;
  switch (encoding) {
    case kRWPortableTextEncoding:
      virtual_.reset(new (kRWNoThrow) RWPortableOutputStream(os));
      break;
    case kRWBinaryEncoding:
      virtual_.reset(new (kRWNoThrow) RWBinaryOutputStream(os));
      break;
    case kRWHeaderedBinaryEncoding:
      virtual_.reset(new (kRWNoThrow) RWHeaderedBinaryOutputStream(os, kRWHostOrderRequest));
      break;
    default:
      break;
  }
}

std::int64_t GPersistentOutputStream::Tell() {
  if (!runtime_) return -1;
  return Position(*runtime_, runtime_->tellp());
}

void GPersistentOutputStream::Seek(std::int64_t position) {
  if (runtime_) runtime_->seekp(static_cast<std::streamoff>(position), std::ios_base::beg);
}
