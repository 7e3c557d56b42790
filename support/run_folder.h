// A folder of one run's own, for the benchmarks and fuzz targets that write
// files: made with mkdtemp in the temporary folder (TemporaryFolder),
// so that two runs at once never meet and nothing of an earlier run is
// reused, and removed with all it holds when the object goes. A program
// that cannot make it says so and exits with 1: without its folder it
// would test or measure nothing.
//
// Ownership: the object owns the folder. Threads: make and destroy it on
// one thread; its path may be read from any.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace support {

// The temporary folder: $TMPDIR, or /tmp when it is unset or empty.
inline std::string TemporaryFolder() {
  const char* tmp = std::getenv("TMPDIR");
  return tmp && *tmp ? tmp : "/tmp";
}

class RunFolder {
 public:
  // `stem` starts the folder's name; mkdtemp picks the rest.
  explicit RunFolder(const std::string& stem) {
    path_ = TemporaryFolder() + "/" + stem + "-XXXXXX";
    if (!::mkdtemp(path_.data())) {
      std::fprintf(stderr, "%s: no folder of its own in %s\n", stem.c_str(),
                   TemporaryFolder().c_str());
      std::exit(1);
    }
  }
  ~RunFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;

  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace support
