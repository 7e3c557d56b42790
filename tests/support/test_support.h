// Helpers shared by the tests: temporary files that clean up after
// themselves, and a scoped error handler that records raised errors.
#pragma once

#include <signal.h>
#include <sys/resource.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "foundation/rw/error.h"

namespace testing_support {

// A path in the temporary directory that nothing held when it was made;
// what is there (a file, or a folder with its content) is removed when the
// object goes.
class TempPath {
 public:
  explicit TempPath(const std::string& stem = "drv");
  ~TempPath();
  TempPath(const TempPath&) = delete;
  TempPath& operator=(const TempPath&) = delete;

  const char* c_str() const { return path_.c_str(); }
  const std::string& str() const { return path_; }

 private:
  std::string path_;
};

// The whole content of a file, and a file made from bytes.
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& bytes);

// Bytes as spaced upper-case hex ("05 00 68"), and back.
std::string Hex(const std::string& bytes);
std::string Unhex(const std::string& hex);

// Installs a handler that records every raised error's text and returns;
// the previous handler comes back at scope end. Not for concurrent use.
class ErrorCapture {
 public:
  ErrorCapture();
  ~ErrorCapture();
  ErrorCapture(const ErrorCapture&) = delete;
  ErrorCapture& operator=(const ErrorCapture&) = delete;

  const std::vector<std::string>& Texts() const;
  std::size_t Count() const { return Texts().size(); }
  // The last text, or "" when nothing was raised.
  std::string Last() const;
  void Clear();

 private:
  RWErrorHandler previous_;
};

// Files of this process may not grow past `bytes` while the object lives,
// and a write past it fails instead of ending the process.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) : old_signal_(::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    struct rlimit limit = old_;
    limit.rlim_cur = bytes;
    ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    ::signal(SIGXFSZ, old_signal_);
  }
  bool Ok() const { return ok_; }

 private:
  struct rlimit old_;
  void (*old_signal_)(int);
  bool ok_;
};

// Runs `work` in a forked child under the limit `value` of `resource`, so
// that the limit never cuts this test's own report; answers `work`'s low
// byte, or -1 when the child did not end so within 30 seconds.
int WithLimit(int resource, rlim_t value, const std::function<int()>& work);

// Runs a fuzz target's entry point on every file of a corpus folder;
// answers how many files ran.
int ReplayCorpus(const char* folder, int (*one_input)(const std::uint8_t*, std::size_t));

}  // namespace testing_support
