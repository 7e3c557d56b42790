#include "filters/spool_directory.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

#include "persist/string_conversion.h"
#include "platform/host/files.h"

namespace {

std::atomic<GSpoolDirectory::FaultHook> g_fault_hook{nullptr};

}  // namespace

std::shared_ptr<GSpoolDirectory> GSpoolDirectory::Make(const RWWString& parent, const char* prefix,
                                                       const std::string& pages) {
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
  if (!::mkdtemp(pattern.data())) return nullptr;
  std::shared_ptr<GSpoolDirectory> made(new (std::nothrow) GSpoolDirectory(pattern));
  if (!made) {
    ::rmdir(pattern.c_str());
    return nullptr;
  }
  made->pages_ = GSpoolFile::Make(pattern, pages);
  if (!made->pages_) return nullptr;  // the directory goes with `made`
  return made;
}

GSpoolDirectory::~GSpoolDirectory() {
  // No store opens in the spool file any more; one still open closes into
  // it after its name is gone.
  if (pages_) pages_->Retire();
  pages_.reset();
  // Names first, then the removals: the walk is not disturbed.
  std::vector<std::string> names;
  if (DIR* directory = ::opendir(path_.c_str())) {
    while (const dirent* entry = ::readdir(directory)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(directory);
  }
  for (const std::string& name : names)
    ::unlink(FilePath(name).c_str());
  ::rmdir(path_.c_str());
}

bool GSpoolDirectory::Holds(const std::string& name) const {
  return pages_ && pages_->Holds(FilePath(name));
}

bool GSpoolDirectory::CreateFile(const std::string& name) const {
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
