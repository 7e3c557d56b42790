#include "examples/program_files/interrupt_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>

namespace program_files {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr int kFolders = 4;
constexpr std::size_t kLongestName = 4096;
// Folders below the named ones removed to this depth; the programs' own
// folders are two or three deep.
constexpr int kDeepest = 16;

// Who may act: nobody holds; a thread holds (names change, files go in
// place); the process is ending (a handler or EndFatally cleans up).
enum State : int { kFree, kHeld, kEnding };

std::atomic<int> g_state{kFree};
std::atomic<pid_t> g_holder{0};
int g_depth = 0;                // the holder's nesting
std::atomic<int> g_pending{0};  // a signal that came during a hold
char g_folders[kFolders][kLongestName];
std::atomic<const char*> g_program{"program"};
std::atomic<const char*> g_activity{"starting"};

// Empties the folder whose path is the `length` bytes of `path` (a buffer
// of kLongestName), holding one descriptor at a time, so that a process out
// of descriptors still can: entries are read until a folder turns up,
// which is emptied (its name put after `path`) and removed, and the reading
// starts again. A pass that removes nothing ends it. False when something
// stays.
bool EmptyFolder(char* path, std::size_t length, int depth) {
  alignas(8) char entries[1024];
  for (;;) {
    const int folder = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder < 0) return false;
    bool removed = false;
    std::size_t below = 0;  // the length of a folder's path found in it
    for (ssize_t n; !below && (n = ::getdents64(folder, entries, sizeof entries)) > 0;) {
      for (ssize_t at = 0; at < n && !below;) {
        const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
        at += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (::unlinkat(folder, name, 0) == 0) {
          removed = true;
          continue;
        }
        const std::size_t size = std::strlen(name);
        if (errno != EISDIR || depth == 0 || length + size + 2 > kLongestName) continue;
        path[length] = '/';
        std::memcpy(path + length + 1, name, size + 1);
        below = length + 1 + size;
      }
    }
    ::close(folder);
    if (below) {
      EmptyFolder(path, below, depth - 1);
      const bool gone = ::rmdir(path) == 0;
      path[length] = '\0';
      if (!gone) return false;
    } else if (!removed) {
      return true;
    }
  }
}

// Removes `folder` with all below it (see EmptyFolder), or the file of
// that name; no allocation.
bool RemoveFolderNow(const char* folder) {
  if (::unlink(folder) == 0 || errno == ENOENT) return true;
  char path[kLongestName];
  const std::size_t length = std::strlen(folder);
  if (length == 0 || length >= kLongestName) return false;
  std::memcpy(path, folder, length + 1);
  EmptyFolder(path, length, kDeepest);
  return ::rmdir(folder) == 0 || errno == ENOENT;
}

void RemoveFolders() {
  for (const char* folder : g_folders)
    if (folder[0]) RemoveFolderNow(folder);
}

// Appends `text` to `line` at `at`, as far as it fits.
void Append(char* line, std::size_t size, std::size_t& at, const char* text) {
  for (; text && *text && at + 1 < size; ++text)
    line[at++] = *text;
}

// Takes the right to end the process for a fatal error on this thread: it
// waits for another thread's hold to end, and takes over a hold of its own
// (the names are whole: changing them allocates nothing). When the process
// is already ending by a signal, it waits for that end.
void TakeEndingForError() {
  const pid_t self = ::gettid();
  for (;;) {
    int state = kFree;
    if (g_state.compare_exchange_strong(state, kEnding)) return;
    if (state == kHeld && g_holder.load() == self) return g_state.store(kEnding);
    if (state == kEnding) {
      for (;;)
        ::pause();
    }
    ::sched_yield();
  }
}

// The folders removed, the default action back, the signal raised again
// (unblocked, so that it ends the process on this thread).
[[noreturn]] void EndBySignal(int signal) {
  RemoveFolders();
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(signal, &action, nullptr);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);  // only if the default action did not end it
}

void OnSignal(int signal) {
  const pid_t self = ::gettid();
  for (;;) {
    int state = kFree;
    if (g_state.compare_exchange_strong(state, kEnding)) EndBySignal(signal);
    if (state == kEnding) return;
    // Held (by this thread or another): the hold's end acts on it. Seen
    // free again after that, the hold ended meanwhile: act on it here.
    int none = 0;
    g_pending.compare_exchange_strong(none, signal);
    if (g_state.load() != kFree || g_holder.load() == self) return;
  }
}

void OnOutOfMemory() {
  EndFatally("out of memory");
}

}  // namespace

void CatchInterrupts(const char* program) {
  g_program.store(program);
  struct sigaction action {};
  action.sa_handler = OnSignal;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int signal : kSignals)
    sigaddset(&action.sa_mask, signal);  // one clean-up at a time
  for (int signal : kSignals) {
    struct sigaction before {};
    if (::sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &action, nullptr);
  }
  std::set_new_handler(OnOutOfMemory);
}

void SetActivity(const char* activity) {
  g_activity.store(activity);
}

const char* Activity() {
  return g_activity.load();
}

void EndFatally(const char* what) {
  // Signals to this thread wait: it is ending the process itself.
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kSignals)
    sigaddset(&set, signal);
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
  TakeEndingForError();
  char line[1024];
  std::size_t at = 0;
  Append(line, sizeof line - 1, at, g_program.load());
  Append(line, sizeof line - 1, at, ": ");
  Append(line, sizeof line - 1, at, what);
  Append(line, sizeof line - 1, at, " while ");
  Append(line, sizeof line - 1, at, g_activity.load());
  line[at++] = '\n';
  for (std::size_t done = 0; done < at;) {
    const ssize_t went = ::write(STDERR_FILENO, line + done, at - done);
    if (went < 0 && errno == EINTR) continue;
    if (went <= 0) break;
    done += std::size_t(went);
  }
  RemoveFolders();
  ::_exit(1);
}

InterruptsHeld::InterruptsHeld() {
  const pid_t self = ::gettid();
  if (g_holder.load() == self) {
    ++g_depth;
    return;
  }
  for (;;) {
    int state = kFree;
    if (g_state.compare_exchange_strong(state, kHeld)) break;
    ::sched_yield();  // ending: the process is about to end
  }
  g_holder.store(self);
  g_depth = 1;
}

InterruptsHeld::~InterruptsHeld() {
  if (--g_depth > 0) return;
  g_holder.store(0);
  g_state.store(kFree);
  if (const int signal = g_pending.exchange(0)) OnSignal(signal);
}

bool RemoveFolder(const std::string& folder) {
  return RemoveFolderNow(folder.c_str());
}

bool RemoveOnInterrupt(const std::string& folder) {
  if (folder.empty() || folder.size() >= kLongestName) return false;
  for (char* slot : g_folders) {
    if (slot[0]) continue;
    std::memcpy(slot, folder.c_str(), folder.size() + 1);
    return true;
  }
  return false;
}

void KeepOnInterrupt(const std::string& folder) {
  for (char* slot : g_folders)
    if (folder == slot) slot[0] = '\0';
}

}  // namespace program_files
