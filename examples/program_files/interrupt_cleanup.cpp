#include "examples/program_files/interrupt_cleanup.h"

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace program_files {
namespace {

constexpr int kFolders = 2;
constexpr std::size_t kLongestName = 4096;
// Folders below the named ones removed to this depth; the programs' own
// folders are two or three deep.
constexpr int kDeepest = 16;

char g_folders[kFolders][kLongestName];
bool g_installed = false;

// Removes what the folder `folder` holds. Entries are read again from the
// start after a pass that removed any, since removing while reading may
// skip some; a pass that removes nothing ends it.
void RemoveBelow(int folder, int depth) {
  alignas(8) char entries[2048];
  for (bool removed = true; removed;) {
    removed = false;
    if (::lseek(folder, 0, SEEK_SET) != 0) return;
    for (ssize_t n; (n = ::getdents64(folder, entries, sizeof entries)) > 0;) {
      for (ssize_t at = 0; at < n;) {
        const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
        at += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (::unlinkat(folder, name, 0) == 0) {
          removed = true;
          continue;
        }
        if (errno != EISDIR || depth == 0) continue;
        const int below = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (below < 0) continue;
        RemoveBelow(below, depth - 1);
        ::close(below);
        removed = ::unlinkat(folder, name, AT_REMOVEDIR) == 0 || removed;
      }
    }
  }
}

void OnInterrupt(int signal) {
  for (const char* folder : g_folders) {
    if (!folder[0]) continue;
    const int opened = ::open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (opened < 0) continue;
    RemoveBelow(opened, kDeepest);
    ::close(opened);
    ::rmdir(folder);
  }
  ::_exit(128 + signal);
}

void Interrupts(int how) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  pthread_sigmask(how, &set, nullptr);
}

}  // namespace

void BlockInterrupts(bool blocked) {
  Interrupts(blocked ? SIG_BLOCK : SIG_UNBLOCK);
}

bool RemoveOnInterrupt(const std::string& first, const std::string& second) {
  bool kept = true;
  const std::string* names[kFolders] = {&first, &second};
  for (int i = 0; i < kFolders; ++i) {
    const bool fits = names[i]->size() < kLongestName;
    std::memcpy(g_folders[i], fits ? names[i]->c_str() : "", fits ? names[i]->size() + 1 : 1);
    kept = kept && fits;
  }
  if (!g_installed) {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);  // one removal at a time
    sigaddset(&action.sa_mask, SIGTERM);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    g_installed = true;
  }
  return kept;
}

}  // namespace program_files
