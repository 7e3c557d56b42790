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
  std::shared_ptr<GSpoolDirectory> made(new (std::nothrow) GSpoolDirectory(directory));
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
