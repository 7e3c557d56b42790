// Runtime byte streams over files, opened in binary mode, for the virtual
// streams to write and read: RWFileInputStream reads an existing file;
// RWFileOutputStream creates or truncates one. A file that cannot be opened
// leaves the stream failing (IsOpen() false), so every virtual-stream
// operation on it fails too. Each stream owns its file and closes it when
// destroyed. One stream belongs to one thread at a time.
#pragma once

#include <fstream>
#include <istream>
#include <ostream>

class RWFileInputStream : public std::istream {
 public:
  explicit RWFileInputStream(const char* path);
  bool IsOpen() const { return file_.is_open(); }

 private:
  std::filebuf file_;
};

class RWFileOutputStream : public std::ostream {
 public:
  explicit RWFileOutputStream(const char* path);
  bool IsOpen() const { return file_.is_open(); }

 private:
  std::filebuf file_;
};
