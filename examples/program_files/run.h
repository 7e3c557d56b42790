// A program's run: its main, wrapped so that however the run ends (it
// fails, SIGINT, SIGTERM or SIGHUP comes, its reader goes away, memory or
// a thread is refused) it ends in one line and leaves only what it kept.
//
// What the run made is a list of paths, removed newest first when the run
// ends, unless it kept them: a folder it made for the user by rmdir, so
// only while empty (another run's files or a user's stay, and so does the
// folder); a folder of its own (mkdtemp: staging, temporary) with all
// below it. Nothing else is ever removed by the run's end.
//
// Threads: the three signals are blocked in every thread and one thread
// waits for them; before it removes anything it takes the run's lock
// (RunHeld), so that whatever a RunHeld covers (a folder made and listed,
// files put in place) is done whole before the run ends by the signal.
#pragma once

#include <string>

namespace program_files {

// `run(argc, argv)`'s status, with the run set up before it: the signals
// waited for, SIGPIPE and SIGXFSZ ignored (a write then fails with EPIPE
// or EFBIG), standard output held (FlushOutput), and the library's errors,
// a failed allocation and an uncaught exception on any thread made fatal
// (EndFatally). After it, standard output is flushed (a report not
// written turns a status 0 into 1) and what the run made is removed. A
// signal that comes before then ends the run by that same signal, after
// the removal; so does a reader gone, when SIGPIPE's default action was in
// force. A signal the caller had ignored stays ignored.
int RunCatching(const char* program, int (*run)(int, char**), int argc, char** argv);

// "<program>: <line>" on standard error, after what standard output
// holds; answers 1, the status of a failed run.
int Fail(const std::string& line);
// "<program>: <complaint>" and `usage` on standard error; answers 2.
int UsageError(const std::string& complaint, const char* usage);

// What the run is doing (a literal), for the fatal line.
void SetActivity(const char* activity);
const char* Activity();
// "<program>: <what> while <activity>" on standard error, what the run made
// removed, status 1. Any thread, inside a failed allocation, under any
// lock; it waits for another thread's RunHeld to end. `what` stays valid.
[[noreturn]] void EndFatally(const char* what);

// Flushes standard output; false, with `error` "standard output: cannot
// write: <reason>", when any of it could not be written. A reader gone
// ends the run by SIGPIPE here, when that was SIGPIPE's action.
bool FlushOutput(std::string& error);

// Holds off the run's end (a signal, a fatal error on another thread)
// while it lives; a signal that came before the outermost hold ends the run
// there. Nested holds of one thread are fine.
class RunHeld {
 public:
  RunHeld();
  ~RunHeld();
  RunHeld(const RunHeld&) = delete;
  RunHeld& operator=(const RunHeld&) = delete;
};

// mkdir(`folder`), listed to be removed while empty: errno's value, 0
// when made.
int MakeRunFolder(const std::string& folder);
// mkdtemp(`folder`, a name ending "XXXXXX", which takes the name made),
// listed to be removed with all below it: errno's value, 0 when made.
int MakeOwnFolder(std::string& folder);
// Takes `path` off the list: the run keeps it.
void KeepMade(const std::string& path);
// Removes `path`, listed, now (as the run's end would) and takes it off
// the list; false when something of it stays.
bool RemoveMade(const std::string& path);

}  // namespace program_files
