// Runtime byte streams over files, opened in binary mode, for the virtual
// streams to write and read: RWFileInputStream reads an existing file;
// RWFileOutputStream creates or truncates one. A file that cannot be opened
// leaves the stream failing (IsOpen() false), so every virtual-stream
// operation on it fails too; an output stream keeps the system's reason.
// Each stream owns its file and closes it when destroyed. One stream
// belongs to one thread at a time.
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
  // The system's reason (errno) for the first open, write or flush of the
  // file that failed; 0 while none has.
  int Error() const { return file_.Error(); }

 private:
  // The runtime's file buffer, keeping the reason it forgets.
  class Buffer : public std::filebuf {
   public:
    int Error() const { return error_; }
    void Note(int error);

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char_type* bytes, std::streamsize count) override;
    int sync() override;

   private:
    int error_ = 0;
  };

  Buffer file_;
};
