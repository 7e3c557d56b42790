#include "filters/spool_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "foundation/rw/support.h"
#include "persist/string_conversion.h"
#include "platform/host/files.h"

namespace {

std::atomic<GSpoolDirectory::FaultHook> g_fault_hook{nullptr};

}  // namespace

std::shared_ptr<GSpoolDirectory> GSpoolDirectory::Make(const RWWString& parent, const char* prefix,
                                                       const std::string& extension) {
  if (Faults(Step::kMakeDirectory)) return nullptr;
  RWCString narrow;
  WideToNarrow(parent, narrow);
  std::optional<std::string> host =
      platform::ToHostPath(std::string_view(narrow.Data(), narrow.Length()));
  if (!host || host->empty()) return nullptr;
  std::string pattern = *host;
  if (pattern.back() != '/') pattern += '/';
  pattern += prefix;
  pattern += "-XXXXXX";
  pattern += extension;
  // O_EXCL and mode 0600, as mkstemp makes every file.
  const int fd = ::mkostemps(pattern.data(), static_cast<int>(extension.size()), O_CLOEXEC);
  if (fd < 0) return nullptr;
  const std::string directory = pattern.substr(0, pattern.size() - extension.size());
  std::shared_ptr<GSpoolDirectory> made(new (kRWNoThrow) GSpoolDirectory(directory));
  if (made) made->pages_ = GSpoolFile::Make(fd, pattern, directory);
  if (!made || !made->pages_) {
    if (!made) ::close(fd);
    ::unlink(pattern.c_str());
    return nullptr;
  }
  return made;
}

GSpoolDirectory::~GSpoolDirectory() {
  if (pages_) {
    // No store opens in the spool file any more; one still open closes
    // into it after its name is gone.
    pages_->Retire();
    ::unlink(pages_->Path().c_str());
    pages_.reset();
  }
  if (!made_directory_) return;
  RemoveFiles();
  ::rmdir(path_.c_str());
}

// The directory's entries are read with getdents64 into a buffer on the
// stack and removed by name relative to the directory: no allocation (a
// removal that needed one, as opendir's, would leave the files when memory
// is short). Each pass reads from the start again, so that removals never
// disturb the walk; it ends at a pass that removes nothing.
void GSpoolDirectory::RemoveFiles() const {
  const int directory = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (directory < 0) return;
  alignas(8) char entries[4096];
  for (bool removed = true; removed;) {
    removed = false;
    if (::lseek(directory, 0, SEEK_SET) != 0) break;
    for (;;) {
      const long got = ::syscall(SYS_getdents64, directory, entries, sizeof entries);
      if (got <= 0) break;
      for (long at = 0; at < got;) {
        const auto* entry = reinterpret_cast<const dirent64*>(entries + at);
        at += entry->d_reclen;
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
        if (::unlinkat(directory, name, 0) == 0) removed = true;
      }
    }
  }
  ::close(directory);
}

bool GSpoolDirectory::Holds(const std::string& name) const {
  return pages_ && pages_->Holds(FilePath(name));
}

bool GSpoolDirectory::CreateFile(const std::string& name) {
  if (!made_directory_) {
    if (::mkdir(path_.c_str(), 0700) != 0) return false;
    made_directory_ = true;
  }
  const int made =
      ::open(FilePath(name).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (made < 0) return false;
  return ::close(made) == 0;
}

GSpoolDirectory::FaultHook GSpoolDirectory::SetFaultHook(FaultHook hook) {
  return g_fault_hook.exchange(hook);
}

bool GSpoolDirectory::Faults(Step step) {
  FaultHook hook = g_fault_hook.load();
  return hook && hook(step);
}
