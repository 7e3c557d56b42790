// The example programs' files: what a user hands them is read, and what
// they write is made, so that bad input ends in one line naming the file
// and the reason, and a failed run leaves nothing behind.
//
// Errors are whole lines' worth: "<path>: <what failed>: <reason>", the
// reason in words (Reason). No state but a Leftovers' list; any thread,
// one Leftovers at a time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace program_files {

// `run(argc, argv)`'s status; an exception that escapes it (out of memory,
// for one) is one line "<program>: <what>" on standard error and status 1.
int RunCatching(const char* program, int (*run)(int, char**), int argc, char** argv);

// errno in words: a folder, the disk, the file-size limit as a user says
// them, else the C library's text.
std::string Reason(int error);

// The bytes of the regular file `path` into `bytes`, refusing a folder, a
// device, a pipe and a file larger than `bound` bytes before reading any.
// False with `error` set when it cannot be had.
bool ReadRegularFile(const std::string& path, std::uint64_t bound, std::string& bytes,
                     std::string& error);

// A new file `path`, open for writing (its descriptor, the caller's), or
// -1 with `error` set. A file that was there gives way before: nothing is
// written through a name that was there, so a link leads nowhere outside.
int CreateNewFile(const std::string& path, std::string& error);
// `bytes` as the new file `path` (CreateNewFile); on a failure the file is
// removed.
bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error);

// A new folder "<prefix>-XXXXXX" (mkdtemp) in the temporary folder (TMPDIR,
// else /tmp), its path in `folder`; false with `error` naming the
// temporary folder and the reason.
bool MakeTemporaryFolder(const std::string& prefix, std::string& folder, std::string& error);

// What a run made, removed (each with all below it) when the Leftovers
// ends, unless the run kept it: a failed run leaves nothing behind.
class Leftovers {
 public:
  Leftovers() = default;
  Leftovers(const Leftovers&) = delete;
  Leftovers& operator=(const Leftovers&) = delete;
  ~Leftovers();

  void Add(const std::string& path) { paths_.push_back(path); }
  // Adds the topmost of the folders that making `folder` with its parents
  // would create; nothing when it is there. Call before making it.
  void AddNewFolders(const std::string& folder);
  // The paths added: the run went well.
  void Keep() { paths_.clear(); }
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  std::vector<std::string> paths_;
};

}  // namespace program_files
