// RWReadScope: the error scope (error.h) that a reader of outside data opens
// for the duration of its read, tied to what the reader reports failure
// through. Errors raised while it is open are recorded, never handed to the
// process-wide handler; when it closes after at least one, the file is
// marked in error (RWFile::MarkError) or the fail bit of the stream is set,
// so that no reader reports success after a raise, whatever path it took.
// The raising code still fails on the spot as its own class documents; this
// is the backstop.
//
//   void Thing::RestoreFromFile(RWFile& file) {
//     RWReadScope scope(file);
//     ...
//   }
//
// Lives on the stack of one thread, like the scope it opens; costs one
// thread-local pointer swap while nothing is raised.
#pragma once

#include <ios>

#include "foundation/rw/error.h"

class RWFile;
class RWStreamState;

class RWReadScope {
 public:
  explicit RWReadScope(RWFile& file) : file_(&file) {}
  explicit RWReadScope(RWStreamState& stream) : stream_(&stream) {}
  // A runtime stream (the wide strings' byte-stream readers): its failbit.
  explicit RWReadScope(std::ios& runtime) : runtime_(&runtime) {}
  ~RWReadScope();
  RWReadScope(const RWReadScope&) = delete;
  RWReadScope& operator=(const RWReadScope&) = delete;

  // True when an error was raised since the scope opened.
  bool Failed() const { return scope_.Failed(); }

 private:
  RWFile* file_ = nullptr;
  RWStreamState* stream_ = nullptr;
  std::ios* runtime_ = nullptr;
  RWErrorScope scope_;  // still open while the destructor looks at it
};
