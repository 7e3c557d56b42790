// Persistence streams: a runtime byte stream over a memory block or a file,
// bundled with one of the three virtual-stream encodings, so that a caller
// saves or restores an object graph by choosing only a place and an
// encoding. The driver services hand them out (GOSFactory's stream
// operations); callers may also make them directly.
//
// Encoding selector (signed 32-bit, kRW*Encoding of vstream.h):
//   0 portable text   RWPortableInputStream / RWPortableOutputStream
//   1 binary          RWBinaryInputStream / RWBinaryOutputStream
//   2 headered binary RWHeaderedBinaryInputStream (checks the format header)
//                     / RWHeaderedBinaryOutputStream (writes it, in the
//                     host's byte order)
//   other             no encoding: VirtualStream() answers null
// The runtime stream is made whatever the selector.
//
// A place that cannot be used (a file that does not open, a bad format
// header) leaves the encoding in the fail state; nothing is reported to the
// process-wide error handler. A failed allocation of the encoding leaves
// VirtualStream() null.
//
// Ownership: a stream owns its runtime stream and its encoding (deleted in
// that reverse order); a memory block stays the caller's and must outlive
// the stream. One stream belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>

#include "foundation/rw/vstream.h"
#include "foundation/rw/wstring.h"

// The common ground of the persistence input streams.
class GPersistenceInputStream {
 public:
  GPersistenceInputStream() = default;
  GPersistenceInputStream(const GPersistenceInputStream&) = delete;
  GPersistenceInputStream& operator=(const GPersistenceInputStream&) = delete;
  virtual ~GPersistenceInputStream() = default;

  // The encoding through which objects are restored; null when there is
  // none. Owned by the stream.
  virtual RWVirtualInputStream* VirtualStream() const = 0;
  // The runtime stream's read position; -1 (and the fail state) on failure.
  virtual std::int64_t Tell() = 0;
  // Does nothing: input streams are read from where they stand.
  virtual void Seek(std::int64_t position) = 0;
};

// The common ground of the persistence output streams.
class GPersistenceOutputStream {
 public:
  GPersistenceOutputStream() = default;
  GPersistenceOutputStream(const GPersistenceOutputStream&) = delete;
  GPersistenceOutputStream& operator=(const GPersistenceOutputStream&) = delete;
  virtual ~GPersistenceOutputStream() = default;

  // The encoding through which objects are saved; null when there is none.
  virtual RWVirtualOutputStream* VirtualStream() const = 0;
  // The runtime stream's write position; -1 (and the fail state) on failure.
  virtual std::int64_t Tell() = 0;
  // Moves the write position to the absolute `position`.
  virtual void Seek(std::int64_t position) = 0;
};

class GPersistentInputStream : public GPersistenceInputStream {
 public:
  // Reads the first `size` bytes of `block`.
  // REQUIRES: `block` holds `size` bytes and outlives the stream.
  GPersistentInputStream(const void* block, std::size_t size, std::int32_t encoding);
  // Reads the file `path`: a host path, or a Windows path served by the
  // platform's path mapping (platform/host/files.h); a path without a host
  // file leaves the stream failing.
  GPersistentInputStream(const RWWString& path, std::int32_t encoding);
  ~GPersistentInputStream() override;

  RWVirtualInputStream* VirtualStream() const override { return virtual_.get(); }
  std::int64_t Tell() override;
  void Seek(std::int64_t position) override;

 private:
  void MakeEncoding(std::int32_t encoding);

  std::unique_ptr<std::istream> runtime_;          // memory or file; null when out of memory
  std::unique_ptr<RWVirtualInputStream> virtual_;  // the encoding over runtime_
};

class GPersistentOutputStream : public GPersistenceOutputStream {
 public:
  // Writes into `block`, which holds `capacity` bytes: a write that does not
  // fit stores what fits and puts the stream in the fail state.
  // REQUIRES: `block` outlives the stream.
  GPersistentOutputStream(void* block, std::size_t capacity, std::int32_t encoding);
  // Creates or truncates the file `path` (mapped as for input); a new file
  // gets the permissions 0644 (less the process's umask).
  GPersistentOutputStream(const RWWString& path, std::int32_t encoding);
  ~GPersistentOutputStream() override;

  RWVirtualOutputStream* VirtualStream() const override { return virtual_.get(); }
  std::int64_t Tell() override;
  void Seek(std::int64_t position) override;
  // The system's reason (errno) the file's open or a write to it failed
  // for; 0 for a block, and while the file took everything.
  int SystemError() const;

 private:
  void MakeEncoding(std::int32_t encoding);

  std::unique_ptr<std::ostream> runtime_;
  std::unique_ptr<RWVirtualOutputStream> virtual_;
};
