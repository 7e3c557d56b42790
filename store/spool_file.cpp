#include "store/spool_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <new>
#include <vector>

#include "foundation/rw/support.h"
#include "store/persistent_composite_on_disk_imp.h"

namespace {

struct Entry {
  std::string directory;
  std::weak_ptr<GSpoolFile> file;
};

// The spool files of live directories, under StoreLock(); a handful at a
// time (one per page spool holding a document).
std::vector<Entry>& Entries() {
  static std::vector<Entry> entries;
  return entries;
}

}  // namespace

std::shared_ptr<GSpoolFile> GSpoolFile::Make(int fd, const std::string& path,
                                             const std::string& directory) {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  std::shared_ptr<GSpoolFile> made(new (kRWNoThrow) GSpoolFile(fd, directory, path));
  if (!made) {
    ::close(fd);
    RWRaiseNoMemory(sizeof(GSpoolFile));
    return nullptr;
  }
  try {
    std::vector<Entry>& entries = Entries();
    std::erase_if(entries, [&](const Entry& e) { return e.directory == directory; });
    entries.push_back(Entry{directory, made});
  } catch (const std::bad_alloc&) {
    RWRaiseNoMemory(sizeof(Entry));
    return nullptr;
  }
  return made;
}

std::shared_ptr<GSpoolFile> GSpoolFile::Of(const std::string& directory) {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  for (const Entry& entry : Entries())
    if (entry.directory == directory) return entry.file.lock();
  return nullptr;
}

GSpoolFile::~GSpoolFile() {
  Retire();
  ::close(fd_);
}

void GSpoolFile::Retire() {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  std::erase_if(Entries(), [&](const Entry& e) {
    std::shared_ptr<GSpoolFile> file = e.file.lock();
    return e.directory == directory_ && (!file || file.get() == this);
  });
}

bool GSpoolFile::Holds(const std::string& store) const {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  return stores_.count(store) != 0;
}

std::unique_ptr<std::uint8_t[]> GSpoolFile::Read(const std::string& store, std::size_t& size) {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  size = 0;
  auto found = stores_.find(store);
  struct stat status;
  if (found == stores_.end() || ::fstat(fd_, &status) != 0 || status.st_nlink == 0 ||
      static_cast<std::uint64_t>(status.st_size) < found->second.at + found->second.size) {
    return nullptr;
  }
  const Stretch stretch = found->second;
  std::unique_ptr<std::uint8_t[]> image = RWNewArrayForOverwrite<std::uint8_t>(stretch.size);
  if (!image || ::pread(fd_, image.get(), stretch.size, static_cast<off_t>(stretch.at)) !=
                    static_cast<ssize_t>(stretch.size)) {
    return nullptr;
  }
  size = stretch.size;
  return image;
}

bool GSpoolFile::Write(const std::string& store, std::span<const std::uint8_t> image) {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  if (image.empty()) return false;
  const ssize_t written = ::pwrite(fd_, image.data(), image.size(), static_cast<off_t>(end_));
  if (written != static_cast<ssize_t>(image.size())) return false;
  try {
    stores_.insert_or_assign(store, Stretch{end_, image.size()});
  } catch (const std::bad_alloc&) {
    RWRaiseNoMemory(sizeof(Stretch) + store.size());
    return false;
  }
  end_ += image.size();
  return true;
}

void GSpoolFile::Forget(const std::string& store) {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  stores_.erase(store);
}

void GSpoolFile::Spoil(const std::string& store) {
  std::lock_guard<std::recursive_mutex> lock(StoreLock());
  try {
    stores_.insert_or_assign(store, Stretch{0, 0});  // no image is empty
  } catch (const std::bad_alloc&) {
    stores_.erase(store);
  }
}
