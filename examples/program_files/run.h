// A program's run, which ends in one line and leaves only what it kept,
// whether it fails, is signalled (SIGINT, SIGTERM, SIGHUP), loses its
// reader, or is refused memory or a thread.
//
// What the run made is a list of paths, removed newest first when it ends
// and never kept: a folder made for the user by rmdir, so only while empty;
// a folder of the run's own (as mkdtemp makes one) with all below it,
// whatever rights a umask left it and however few descriptors the run has
// free. A folder of the run's own made in a folder the run holds open is
// found through that folder, whatever it is named by then. The signals
// are taken only under the run's lock, by a thread of their own or at a
// hold's start, so that a signal that came before a hold ends the run
// there: what a RunHeld covers is done whole first, and a run ended by a
// signal says nothing more.
//
// The run's lock (what RunHeld holds) is the last lock any thread takes:
// nothing done under it takes another lock, so a thread that ends the run
// under a lock of the platform's or the library's may wait for it.
#pragma once

#include <fcntl.h>

#include <string>

namespace program_files {

// `run(argc, argv)`'s status. Before it: the signals caught, SIGPIPE and
// SIGXFSZ ignored (writes answer EPIPE, EFBIG), standard output held until
// FlushOutput, and the library's errors, a failed allocation and an
// uncaught exception on any thread made fatal (EndFatally). After it:
// standard output flushed (a report not written fails the run) and what
// the run made removed. A signal caught before then ends the run by that
// signal; so does a reader gone, if SIGPIPE was not ignored.
int RunCatching(const char* program, int (*run)(int, char**), int argc, char** argv);

// "<program>: <line>" on standard error, after what standard output holds;
// answers 1. A signal taken meanwhile ends the run instead, unsaid. Once
// said, the run says nothing more: a fatal end after it (EndFatally) is
// silent.
int Fail(const std::string& line);
// "<program>: <complaint>" and `usage` on standard error; answers 2.
int UsageError(const std::string& complaint, const char* usage);

// What the run is doing (a literal), for EndFatally's line.
void SetActivity(const char* activity);
const char* Activity();
// "<program>: <what> while <activity>", what the run made removed, status
// 1; a signal taken meanwhile ends the run by that signal instead. Any
// thread, in a failed allocation, under any lock. `what` stays valid.
[[noreturn]] void EndFatally(const char* what);

// Flushes standard output; false with `error` when any of it was lost.
bool FlushOutput(std::string& error);

// Holds off the run's end while it lives; a signal that came before the
// outermost hold ends the run there. Holds nest. Under a hold, take no
// other lock (see above).
class RunHeld {
 public:
  RunHeld();
  ~RunHeld();
  RunHeld(const RunHeld&) = delete;
  RunHeld& operator=(const RunHeld&) = delete;
};

// mkdir(`folder`), listed: errno's value, 0 when made.
int MakeRunFolder(const std::string& folder);
// mkdtemp(`folder`), listed as the run's own: errno's value, 0 when made.
// `folder` (ending "XXXXXX") is named from the folder open as `base`.
// REQUIRES: `base` stays open while the folder is listed (RemoveMade).
int MakeOwnFolder(std::string& folder, int base = AT_FDCWD);
// Takes `path` off the list: the run keeps it.
void KeepMade(const std::string& path);
// Removes the listed `path` (named from `base`) now: errno's value when
// something of it stays (a folder made for the user that another put
// something in is no failure), 0 otherwise.
int RemoveMade(const std::string& path, int base = AT_FDCWD);

}  // namespace program_files
