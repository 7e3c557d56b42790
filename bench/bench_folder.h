// A folder of one benchmark run's own: made with mkdtemp under $TMPDIR
// (/tmp when it is unset or empty), so that two runs at once never meet and
// nothing of an earlier run is reused, and removed with all it holds when
// the object goes. A program that cannot make it says so and exits with 1:
// a benchmark without its folder would measure nothing.
//
// Ownership: the object owns the folder. Threads: make and destroy it on
// one thread; its path may be read from any.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {

class BenchFolder {
 public:
  // `stem` starts the folder's name; mkdtemp picks the rest.
  explicit BenchFolder(const std::string& stem) {
    const char* tmp = std::getenv("TMPDIR");
    path_ = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + stem + "-XXXXXX";
    if (!::mkdtemp(path_.data())) {
      std::fprintf(stderr, "%s: no folder of its own in %s\n", stem.c_str(),
                   tmp && *tmp ? tmp : "/tmp");
      std::exit(1);
    }
  }
  ~BenchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  BenchFolder(const BenchFolder&) = delete;
  BenchFolder& operator=(const BenchFolder&) = delete;

  const std::string& Path() const { return path_; }
  // The path of `name` inside the folder.
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

}  // namespace bench
