#include "examples/program_files/run.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <iterator>
#include <new>
#include <system_error>
#include <vector>

#include "examples/program_files/program_files.h"
#include "foundation/rw/error.h"

namespace program_files {
namespace {

constexpr int kWaitedSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Recursive, so that a fatal error on a thread that holds it still ends
// the run; never destroyed, as the signals' thread may wait on it at exit.
pthread_mutex_t g_lock = PTHREAD_RECURSIVE_MUTEX_INITIALIZER_NP;

struct MadePath {
  std::string path;
  bool own;  // a folder of the run's own: removed with all below it
  int base;  // the folder `path` is named from
};

// REQUIRES: g_lock. Never destroyed, for the same reason, and made
// without allocating: a failed allocation ends the run through it.
std::vector<MadePath>& Made() {
  alignas(std::vector<MadePath>) static unsigned char storage[sizeof(std::vector<MadePath>)];
  static auto* made = new (storage) std::vector<MadePath>;
  return *made;
}

std::atomic<const char*> g_program{"program"};
std::atomic<const char*> g_activity{"starting"};
sigset_t g_waited;                // the signals the signals' thread waits for
std::atomic<bool> g_said{false};  // Fail said the run's failure
int g_holds = 0;                  // RunHeld's nesting; its holder's
bool g_pipe_ends = false;         // SIGPIPE's default action was in force
char g_output[1 << 16];           // standard output's buffer: a report is a few KB
int g_output_error = 0;           // the first failed write's errno; -1 unknown

// Removes `root` (named from `base`) with all below it, links not
// followed: errno's value for what stays, 0 when all went. It holds one
// descriptor at a time and allocates nothing, as it also runs when the
// process is out of both: a folder is read until a folder turns up in it,
// which is emptied first, and the reading starts again. A folder whose
// owner's rights a umask took (made 0300, 0000) is given them back: it is
// the run's, and going.
int RemoveTree(int base, const char* root) {
  if (::unlinkat(base, root, 0) == 0 || errno == ENOENT) return 0;
  char path[PATH_MAX];
  const std::size_t top = std::strlen(root);
  if (top == 0 || top >= sizeof path) return ENAMETOOLONG;
  std::memcpy(path, root, top + 1);
  std::size_t length = top;
  bool opened_up = false;  // this folder was given its owner's rights
  for (int rereads = 0;;) {
    const int folder = ::openat(base, path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    bool denied = folder < 0 && errno == EACCES;
    if (folder < 0 && !denied) return errno;
    std::size_t below = 0;
    int stays = 0;  // why an entry of this folder could not go
    alignas(dirent64) char entries[2048];
    for (ssize_t n; !below && !denied && (n = ::getdents64(folder, entries, sizeof entries)) > 0;) {
      for (ssize_t at = 0; at < n && !below && !denied;) {
        const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
        at += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (::unlinkat(folder, name, 0) == 0 || errno == ENOENT) continue;
        const std::size_t size = std::strlen(name);
        if (errno == EACCES && !opened_up) {
          denied = true;
        } else if (errno != EISDIR) {
          stays = errno;
        } else if (length + 1 + size >= sizeof path) {
          stays = ENAMETOOLONG;
        } else {
          path[length] = '/';
          std::memcpy(path + length + 1, name, size + 1);
          below = length + 1 + size;
        }
      }
    }
    if (folder >= 0) ::close(folder);
    if (denied) {
      if (opened_up || ::fchmodat(base, path, S_IRWXU, 0) != 0) return EACCES;
      opened_up = true;
      continue;
    }
    if (below) {
      length = below;
      opened_up = false;
      continue;
    }
    if (::unlinkat(base, path, AT_REMOVEDIR) != 0) {
      // Another thread of the run may still be writing there.
      if (errno == ENOTEMPTY && !stays && ++rereads < 1000) continue;
      return stays ? stays : errno;
    }
    if (length == top) return 0;
    while (path[--length] != '/') {
    }
    path[length] = '\0';
    opened_up = false;
  }
}

// RemoveTree in a child process that shares the run's memory but not its
// descriptors: its own table, emptied but for `base`, has room where the
// run's threads hold every descriptor the limit allows, and go on opening
// meanwhile.
int RemoveTreeApart(int base, const char* root) {
  const pid_t child = ::vfork();
  if (child == 0) {
    if (base > 0) ::close_range(0, unsigned(base) - 1, 0);
    ::close_range(base < 0 ? 0 : unsigned(base) + 1, ~0U, 0);
    ::_exit(RemoveTree(base, root));
  }
  if (child < 0) return EMFILE;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno == EINTR) continue;
    // Reaped already (the caller had SIGCHLD ignored): what is left tells.
    struct stat left {};
    return ::fstatat(base, root, &left, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT ? 0 : EMFILE;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : EMFILE;
}

// A folder of the run's own removed with all below it: errno's value for
// what stays, 0 when it went.
int RemoveOwn(int base, const char* root) {
  const int failed = RemoveTree(base, root);
  return failed == EMFILE ? RemoveTreeApart(base, root) : failed;
}

// A folder made for the user removed, only while empty: errno's value when
// it stays for another reason, 0 otherwise.
int RemoveEmpty(int base, const char* folder) {
  if (::unlinkat(base, folder, AT_REMOVEDIR) == 0 || errno == ENOENT || errno == ENOTEMPTY ||
      errno == EEXIST)
    return 0;
  return errno;
}

int Remove(const MadePath& made) {
  return made.own ? RemoveOwn(made.base, made.path.c_str())
                  : RemoveEmpty(made.base, made.path.c_str());
}

// mkdtemp(3) from `base`: the last six characters of `folder` made at
// random until mkdirat makes a folder of that name. errno's value, 0 when
// made.
int MakeRandomFolder(int base, std::string& folder) {
  constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  constexpr std::size_t kRandom = 6;
  if (folder.size() < kRandom) return EINVAL;
  for (std::uint64_t tries = 0; tries < 1000; ++tries) {
    std::uint64_t bits = 0;
    if (::getrandom(&bits, sizeof bits, GRND_NONBLOCK) != sizeof bits) {
      timespec now{};
      ::clock_gettime(CLOCK_REALTIME, &now);
      bits = (std::uint64_t(now.tv_nsec) + tries) * 0x9E3779B97F4A7C15u ^ std::uint64_t(::getpid());
    }
    for (std::size_t i = folder.size() - kRandom; i < folder.size(); ++i, bits /= 62)
      folder[i] = kLetters[bits % 62];
    if (::mkdirat(base, folder.c_str(), 0700) == 0) return 0;
    if (errno != EEXIST) return errno;
  }
  return EEXIST;
}

// REQUIRES: g_lock. Newest first; allocates nothing.
void RemoveAllMade() {
  std::vector<MadePath>& made = Made();
  for (auto at = made.rbegin(); at != made.rend(); ++at)
    Remove(*at);
  made.clear();
}

// REQUIRES: g_lock, held to the end. The signal's default action, raised
// again, so that the caller sees how the run ended.
[[noreturn]] void EndBySignal(int signal) {
  RemoveAllMade();
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  ::sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

// REQUIRES: g_lock. A waited signal that came, taken; 0 when none did.
// Only g_lock's holder takes one: a signal is pending until then, so that
// whoever next takes the lock (a hold's start included) finds it.
int TakeSignal() {
  const timespec now{};
  const int signal = ::sigtimedwait(&g_waited, nullptr, &now);
  return signal > 0 ? signal : 0;
}

// Looks for a pending signal without taking it, then takes it under the
// run's lock. Taken at once, as a sigwait would, it could be taken an
// instant before a hold began and acted on only after the hold's work:
// a run signalled before its commit would commit.
void* WaitForSignals(void*) {
  const timespec pause{0, 5'000'000};
  for (;;) {
    sigset_t pending;
    bool came = false;
    if (::sigpending(&pending) == 0)
      for (int signal : kWaitedSignals)
        came = came || (sigismember(&g_waited, signal) && sigismember(&pending, signal));
    if (came) {
      ::pthread_mutex_lock(&g_lock);
      if (const int signal = TakeSignal()) EndBySignal(signal);
      ::pthread_mutex_unlock(&g_lock);
    }
    ::nanosleep(&pause, nullptr);
  }
}

// REQUIRES: g_lock, outside every RunHeld. A signal that came meanwhile
// ends the run now, as it would have: nothing is half done.
void EndIfSignalled() {
  if (const int signal = TakeSignal()) EndBySignal(signal);
}

// Blocks the waited signals in this thread, and so in every thread it
// starts, and starts the one that waits for them. Signals the caller had
// ignored stay so.
void WaitForSignalsOnAThread() {
  sigemptyset(&g_waited);
  for (int signal : kWaitedSignals) {
    struct sigaction before {};
    if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
      sigaddset(&g_waited, signal);
  }
  ::pthread_sigmask(SIG_BLOCK, &g_waited, nullptr);
  struct sigaction before {};
  g_pipe_ends = ::sigaction(SIGPIPE, nullptr, &before) == 0 && before.sa_handler == SIG_DFL;
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  // A small stack: it only removes, and a limit may leave little room.
  pthread_attr_t attributes;
  pthread_t thread;
  const bool started = ::pthread_attr_init(&attributes) == 0 &&
                       ::pthread_attr_setstacksize(&attributes, PTHREAD_STACK_MIN + 65536) == 0 &&
                       ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED) == 0 &&
                       ::pthread_create(&thread, &attributes, WaitForSignals, nullptr) == 0;
  ::pthread_attr_destroy(&attributes);
  if (!started) EndFatally("the system refused a thread");
}

// Flushes standard output, keeping the first failure's reason.
void Flush() {
  errno = 0;
  if (std::fflush(stdout) != 0 && g_output_error == 0) g_output_error = errno ? errno : -1;
  if (std::ferror(stdout) && g_output_error == 0) g_output_error = -1;
}

void OnOutOfMemory() {
  EndFatally("out of memory");
}

void OnLibraryError(const RWError& error) {
  EndFatally(error.Entry() == rwcore::NoMem() ? "out of memory" : error.Why());
}

// An exception nothing caught, on any thread, ends the run where it was
// thrown: unwinding through a library halfway through a change could wait
// for ever.
[[noreturn]] void OnTerminate() {
  const char* what = "an unexpected error";
  try {
    if (std::current_exception()) throw;
  } catch (const std::bad_alloc&) {
    what = "out of memory";
  } catch (const std::system_error& failure) {
    what = failure.code() == std::errc::resource_unavailable_try_again
               ? "the system refused a thread"  // what std::thread throws
               : failure.what();
  } catch (const std::exception& failure) {
    what = failure.what();
  } catch (...) {
  }
  EndFatally(what);
}

}  // namespace

int RunCatching(const char* program, int (*run)(int, char**), int argc, char** argv) {
  g_program.store(program);
  std::set_new_handler(OnOutOfMemory);
  std::set_terminate(OnTerminate);
  SetErrorHandler(OnLibraryError);
  WaitForSignalsOnAThread();
  std::setvbuf(stdout, g_output, _IOFBF, sizeof g_output);
  int status = run(argc, argv);
  std::string error;
  if (!FlushOutput(error) && status == 0) status = Fail(error);
  // Held to the exit: a signal from now on finds the run over.
  ::pthread_mutex_lock(&g_lock);
  EndIfSignalled();
  RemoveAllMade();
  return status;
}

int Fail(const std::string& line) {
  Flush();
  // A signal taken meanwhile ends the run here, unsaid: its thread may have
  // removed what this line is about.
  { RunHeld held; }
  std::fprintf(stderr, "%s: %s\n", g_program.load(), line.c_str());
  g_said.store(true);
  return 1;
}

int UsageError(const std::string& complaint, const char* usage) {
  Fail(complaint);
  std::fputs(usage, stderr);
  return 2;
}

void SetActivity(const char* activity) {
  g_activity.store(activity);
}

const char* Activity() {
  return g_activity.load();
}

void EndFatally(const char* what) {
  ::pthread_mutex_lock(&g_lock);
  // A signal taken meanwhile ends the run as it would have, unsaid.
  if (const int signal = TakeSignal()) EndBySignal(signal);
  char line[1024];
  std::size_t at = 0;
  for (const char* part : {g_program.load(), ": ", what, " while ", g_activity.load()})
    for (; *part && at + 1 < sizeof line; ++part)
      line[at++] = *part;
  line[at++] = '\n';
  // A failure said already stays the run's one line: what fails as the
  // run winds up (P1's take-down short of memory) is not said.
  for (std::size_t done = g_said.load() ? at : 0; done < at;) {
    const ssize_t went = ::write(STDERR_FILENO, line + done, at - done);
    if (went < 0 && errno == EINTR) continue;
    if (went <= 0) break;
    done += std::size_t(went);
  }
  RemoveAllMade();
  ::_exit(1);
}

bool FlushOutput(std::string& error) {
  Flush();
  if (g_output_error == 0) return true;
  if (g_output_error == EPIPE && g_pipe_ends) {
    ::pthread_mutex_lock(&g_lock);
    EndBySignal(SIGPIPE);
  }
  error = "standard output: cannot write: " +
          (g_output_error > 0 ? Reason(g_output_error) : std::string("a write failed"));
  return false;
}

RunHeld::RunHeld() {
  ::pthread_mutex_lock(&g_lock);
  if (g_holds++ == 0) EndIfSignalled();
}

RunHeld::~RunHeld() {
  --g_holds;
  ::pthread_mutex_unlock(&g_lock);
}

int MakeRunFolder(const std::string& folder) {
  RunHeld held;
  // Listed first: a signal waits, and a failed allocation ends the run
  // before anything is made.
  Made().push_back({folder, false, AT_FDCWD});
  if (::mkdir(folder.c_str(), 0777) == 0) return 0;
  const int error = errno;
  Made().pop_back();
  return error;
}

int MakeOwnFolder(std::string& folder, int base) {
  RunHeld held;
  std::vector<MadePath>& made = Made();
  made.push_back({folder, true, base});
  const int error = MakeRandomFolder(base, made.back().path);
  if (error == 0) {
    folder = made.back().path;  // as long: nothing allocated
    return 0;
  }
  made.pop_back();
  return error;
}

void KeepMade(const std::string& path) {
  RunHeld held;
  std::vector<MadePath>& made = Made();
  for (auto at = made.rbegin(); at != made.rend(); ++at) {
    if (at->path != path) continue;
    made.erase(std::next(at).base());
    return;
  }
}

int RemoveMade(const std::string& path, int base) {
  RunHeld held;
  std::vector<MadePath>& made = Made();
  for (auto at = made.rbegin(); at != made.rend(); ++at) {
    if (at->path != path || at->base != base) continue;
    const int failed = Remove(*at);
    made.erase(std::next(at).base());
    return failed;
  }
  return 0;
}

}  // namespace program_files
