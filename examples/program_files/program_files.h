// The example programs' files: what a user hands them is read, and what
// they write is made, so that bad input ends in one line naming the file
// and the reason, and a failed run leaves nothing behind. What they put in
// a user's folder goes through a StagedOutput (staged_output.h).
//
// Errors are whole lines' worth: "<path>: <what failed>: <reason>", the
// reason in words (Reason). No state but a Leftovers' list and standard
// output's first failure; the files any thread, one Leftovers at a time;
// standard output the main thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace program_files {

// A program's main: `run(argc, argv)`'s status, with the interrupts
// caught (CatchInterrupts, interrupt_cleanup.h) and standard output held
// (HoldOutput), then flushed: a report that could not be written turns a
// status 0 into 1, with its line. An exception that escapes `run`, or any
// thread of the process, ends the run as EndFatally does:
// one line "<program>: <what> while <activity>" (a failed allocation is
// "out of memory", a thread the system refused "the system refused a
// thread"), the run's folders removed, status 1. Nothing is unwound.
// Every thread of the run allocates from the one heap, so that an
// address-space limit meets a failed allocation the run can report, not
// the C library's abort.
int RunCatching(const char* program, int (*run)(int, char**), int argc, char** argv);

// Standard output kept in a buffer of the program's own until FlushOutput
// (a program's report is a few kilobytes): the C library keeps no reason
// for a line that failed earlier, and a report must be known written
// before the run's files are put in place.
void HoldOutput();
// Flushes standard output; false, with `error` "standard output: cannot
// write: <reason>", when any of it could not be written.
bool FlushOutput(std::string& error);
// "<program>: <line>" on standard error, after what standard output holds,
// so that the two reach a terminal in order.
void SayError(const char* program, const std::string& line);

// errno in words: a folder, the disk, the file-size limit as a user says
// them, else the C library's text.
std::string Reason(int error);

// The bytes of the regular file `path` into `bytes`, refusing a folder, a
// device, a pipe and a file larger than `bound` bytes before reading any.
// False with `error` set when it cannot be had.
bool ReadRegularFile(const std::string& path, std::uint64_t bound, std::string& bytes,
                     std::string& error);

// A new file `path`, open for writing (its descriptor, the caller's), or
// -1 with `error` set. A name that is taken (a file, a link) is refused,
// never written through nor removed: the programs make their files in
// folders of their own.
int CreateNewFile(const std::string& path, std::string& error);
// `bytes` as the new file `path` (CreateNewFile); on a failure the file is
// removed.
bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error);

// Makes the folder `folder` and its missing parents; the topmost one it
// made in `made` (empty when all were there). False with `error` "<folder>:
// not a folder" or "<folder>: cannot make the folder: <reason>", and then
// nothing made is left.
bool MakeFolders(const std::string& folder, std::string& made, std::string& error);

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
  // The paths added: the run went well.
  void Keep() { paths_.clear(); }
  const std::vector<std::string>& Paths() const { return paths_; }

 private:
  std::vector<std::string> paths_;
};

}  // namespace program_files
