#include "platform/host/files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "platform/host/boundary.h"
#include "platform/host/host_state.h"
#include "platform/text.h"

namespace platform {
namespace {

using host_internal::Fail;
using host_internal::Fold;
using host_internal::Lock;
using host_internal::Mutex;

// A path that is not a host path, resolved: its root ("C:" upper-cased,
// "\\" for a share, "\" for the current drive's root, empty when relative)
// and its names, without empty, "." and ".." names.
struct WindowsPath {
  std::u16string root;
  std::vector<std::u16string> names;
};

struct Mapping {
  WindowsPath prefix;  // names folded
  std::string host_directory;
};

// An open file's descriptor, held by the table and by each flush that
// runs unlocked: a close meanwhile leaves it to the last holder, so that
// the number is never closed, nor reused, under a flush.
struct FileEntry {
  FileEntry() = default;
  FileEntry(const FileEntry&) = delete;
  FileEntry& operator=(const FileEntry&) = delete;
  ~FileEntry() {
    if (fd >= 0) ::close(fd);
  }
  int fd = -1;
};

using FileMap = std::map<std::uintptr_t, std::shared_ptr<FileEntry>>;  // by handle id

struct FileState {
  std::vector<Mapping> mappings;
  FileMap files;
  int flush_failure = 0;  // SetFileFlushFailure's countdown
  int close_failure = 0;  // SetFileCloseFailure's countdown
};

FileState& State() {
  // Never destroyed: threads still running at exit (the module keep-alive's
  // watcher) close their handles through it. Made in place, not allocated:
  // its first use may be a CloseHandle in a destructor.
  alignas(FileState) static unsigned char storage[sizeof(FileState)];
  static FileState* state = ::new (static_cast<void*>(storage)) FileState;
  return *state;
}

bool IsAsciiLetter(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

std::optional<WindowsPath> Resolve(std::u16string_view text) {
  std::u16string path(text);
  std::replace(path.begin(), path.end(), u'/', u'\\');
  if (path.empty() || path.find(u'\0') != path.npos) return std::nullopt;
  WindowsPath out;
  std::size_t start = 0;
  if (path.size() >= 2 && path[1] == u':' && IsAsciiLetter(path[0])) {
    if (path.size() > 2 && path[2] != u'\\') return std::nullopt;  // drive-relative
    out.root = {WideToUpper(path[0]), u':'};
    start = 2;
  } else if (path.starts_with(u"\\\\")) {
    out.root = u"\\\\";
    start = 2;
  } else if (path[0] == u'\\') {
    out.root = u"\\";
    start = 1;
  }
  while (start <= path.size()) {
    std::size_t cut = std::min(path.find(u'\\', start), path.size());
    std::u16string name = path.substr(start, cut - start);
    start = cut + 1;
    if (name.empty() || name == u".") continue;
    if (name == u"..") {
      if (out.names.empty()) return std::nullopt;  // above the root or the start
      out.names.pop_back();
      continue;
    }
    if (name.find(u':') != name.npos) return std::nullopt;
    out.names.push_back(std::move(name));
  }
  return out;
}

// The mapping whose prefix holds `path` with the most names, or null.
const Mapping* Longest(const WindowsPath& path) {
  const Mapping* best = nullptr;
  for (const Mapping& mapping : State().mappings) {
    const auto& prefix = mapping.prefix.names;
    if (mapping.prefix.root != path.root || prefix.size() > path.names.size()) continue;
    if (best != nullptr && best->prefix.names.size() >= prefix.size()) continue;
    bool under = true;
    for (std::size_t i = 0; under && i < prefix.size(); ++i) {
      under = Fold(path.names[i]) == prefix[i];
    }
    if (under) best = &mapping;
  }
  return best;
}

// `base` followed by the names from `first` on, joined with "/".
std::optional<std::string> Join(std::string base, const std::vector<std::u16string>& names,
                                std::size_t first) {
  for (std::size_t i = first; i < names.size(); ++i) {
    std::string name;
    if (!WideToMultiByte(names[i].data(), names[i].size(), name)) return std::nullopt;
    if (!base.empty() && base.back() != '/') base += '/';
    base += name;
  }
  return base.empty() ? std::string(".") : base;
}

// A host path with its empty and "." names dropped and ".." resolved
// lexically, as a Windows path is; none when ".." climbs above the root or
// a NUL would cut the path short.
std::optional<std::string> NormalHostPath(std::string_view path) {
  if (path.find('\0') != path.npos) return std::nullopt;
  std::vector<std::string_view> names;
  for (std::size_t start = 1; start <= path.size();) {
    const std::size_t cut = std::min(path.find('/', start), path.size());
    const std::string_view name = path.substr(start, cut - start);
    start = cut + 1;
    if (name.empty() || name == ".") continue;
    if (name == "..") {
      if (names.empty()) return std::nullopt;
      names.pop_back();
      continue;
    }
    names.push_back(name);
  }
  std::string out;
  for (std::string_view name : names) {
    out += '/';
    out += name;
  }
  return out.empty() ? std::string("/") : out;
}

// realpath(3) of `path`, or none.
std::optional<std::string> RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  if (!real) return std::nullopt;
  return std::string(real.get());
}

// Whether the resolved `file` lies below the resolved `folder`.
bool Below(const std::optional<std::string>& file, std::optional<std::string> folder) {
  if (!file || !folder) return false;
  if (folder->back() != '/') *folder += '/';
  return file->size() > folder->size() && file->starts_with(*folder);
}

// Whether a name of `path` (split at "\" and "/") is "..".
bool HoldsParentName(std::u16string_view path) {
  for (std::size_t start = 0; start <= path.size();) {
    const std::size_t cut = std::min(path.find_first_of(u"\\/", start), path.size());
    if (path.substr(start, cut - start) == u"..") return true;
    start = cut + 1;
  }
  return false;
}

DWORD ErrorOfErrno(int error) {
  switch (error) {
    case ENOENT:
      return kErrorFileNotFound;
    case ENOTDIR:
      return kErrorPathNotFound;
    case EEXIST:
      return kErrorFileExists;
    case EMFILE:
    case ENFILE:
      return kErrorTooManyOpenFiles;
    case ENAMETOOLONG:
      return kErrorFilenameExcedRange;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case ENOMEM:
      return kErrorNotEnoughMemory;
    default:
      return kErrorAccessDenied;
  }
}

// The error of a write the system refused at a flush or a close.
DWORD WriteErrorOfErrno(int error) {
  return error == ENOSPC || error == EDQUOT || error == EFBIG ? kErrorDiskFull : kErrorWriteFault;
}

// Whether a test's countdown (SetFileFlushFailure, SetFileCloseFailure)
// ends at this call. REQUIRES: the lock.
bool CountdownEnds(int& countdown) {
  return countdown > 0 && --countdown == 0;
}

// fsync(2) of the folder that holds the host file `path`.
bool FlushFolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return FlushHostPath(slash == std::string::npos ? "."
                       : slash == 0               ? "/"
                                                  : path.substr(0, slash)) == 0;
}

// open(2) flags of a disposition; false for an unknown one.
bool OpenFlags(DWORD access, DWORD disposition, int& flags) {
  bool write = (access & kGenericWrite) != 0;
  flags = write ? ((access & kGenericRead) != 0 ? O_RDWR : O_WRONLY) : O_RDONLY;
  switch (disposition) {
    case kCreateNew:
      flags |= O_CREAT | O_EXCL;
      return true;
    case kCreateAlways:
      // Truncating needs a writable descriptor even when no access was asked.
      if (!write) flags = O_WRONLY;
      flags |= O_CREAT | O_TRUNC;
      return true;
    case kOpenExisting:
      return true;
    case kOpenAlways:
      flags |= O_CREAT;
      return true;
    case kTruncateExisting:
      flags |= O_TRUNC;
      return write;
    default:
      return false;
  }
}

}  // namespace

std::optional<std::string> ToHostPath(std::u16string_view path) {
  if (!path.empty() && path[0] == u'/') {
    std::string host;
    if (!WideToMultiByte(path.data(), path.size(), host)) return std::nullopt;
    return NormalHostPath(host);
  }
  std::optional<WindowsPath> resolved = Resolve(path);
  if (!resolved) return std::nullopt;
  if (resolved->root.empty()) return Join({}, resolved->names, 0);
  Lock lock(Mutex());
  const Mapping* mapping = Longest(*resolved);
  if (mapping == nullptr) return std::nullopt;
  return Join(mapping->host_directory, resolved->names, mapping->prefix.names.size());
}

std::optional<std::string> ToHostPath(std::string_view path) {
  if (!path.empty() && path[0] == '/') return NormalHostPath(path);
  std::u16string wide;
  if (!MultiByteToWide(path.data(), path.size(), wide)) return std::nullopt;
  return ToHostPath(std::u16string_view(wide));
}

std::optional<std::string> ResolveFilePath(std::u16string_view path) {
  if (HoldsParentName(path)) return Fail(kErrorBadPathname, std::nullopt);
  std::optional<std::string> host = ToHostPath(path);
  if (!host) return Fail(kErrorPathNotFound, std::nullopt);
  const auto real = [](const std::string& name) {
    std::optional<std::string> resolved = RealPath(name);
    if (!resolved) SetLastError(ErrorOfErrno(errno));
    return resolved;
  };
  struct stat info {};
  // Something by the name (a dangling link too): followed to its end.
  if (::lstat(host->c_str(), &info) == 0) return real(*host);
  if (errno != ENOENT) return Fail(ErrorOfErrno(errno), std::nullopt);
  // Nothing by the name: its folder resolved, the name put back.
  const std::size_t slash = host->rfind('/');
  const bool bare = slash == std::string::npos;
  std::optional<std::string> folder = real(bare ? "." : slash == 0 ? "/" : host->substr(0, slash));
  if (!folder) return std::nullopt;
  if (folder->back() != '/') *folder += '/';
  return *folder + host->substr(bare ? 0 : slash + 1);
}

bool IsFileInFolder(std::u16string_view path, std::u16string_view folder) {
  return Below(ResolveFilePath(path), ResolveFilePath(folder));
}

bool IsSameFile(std::u16string_view a, std::u16string_view b) {
  const std::optional<std::string> first = ToHostPath(a);
  const std::optional<std::string> second = ToHostPath(b);
  struct stat one {};
  struct stat two {};
  return first && second && ::stat(first->c_str(), &one) == 0 &&
         ::stat(second->c_str(), &two) == 0 && one.st_dev == two.st_dev && one.st_ino == two.st_ino;
}

bool IsInItsMapping(std::u16string_view path) {
  std::optional<WindowsPath> resolved = Resolve(path);
  if (!resolved || resolved->root.empty()) return false;
  std::string directory;
  {
    Lock lock(Mutex());
    const Mapping* mapping = Longest(*resolved);
    if (mapping == nullptr) return false;
    directory = mapping->host_directory;
  }
  return Below(ResolveFilePath(path), RealPath(directory));
}

HANDLE CreateFileW(const char16_t* path, DWORD access, DWORD, const void*, DWORD disposition, DWORD,
                   HANDLE) try {
  int flags;
  if (path == nullptr || !OpenFlags(access, disposition, flags)) {
    return Fail(kErrorInvalidParameter, kInvalidHandleValue);
  }
  std::optional<std::string> host = ToHostPath(std::u16string_view(path));
  if (!host) return Fail(kErrorPathNotFound, kInvalidHandleValue);
  // The table's entry first (outside the lock): memory that runs short
  // then leaves no descriptor open and no file made.
  FileMap one;
  one.emplace(host_internal::NewHandleId(), std::make_shared<FileEntry>());
  FileMap::node_type entry = one.extract(one.begin());
  DWORD success = kErrorSuccess;
  int fd = -1;
  if (disposition == kCreateAlways || disposition == kOpenAlways) {
    // Tells an existing file apart, as the caller may ask.
    fd = ::open(host->c_str(), flags | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) success = kErrorAlreadyExists;
  }
  if (fd < 0) fd = ::open(host->c_str(), flags | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(ErrorOfErrno(errno), kInvalidHandleValue);
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return Fail(kErrorAccessDenied, kInvalidHandleValue);
  }
  entry.mapped()->fd = fd;
  const std::uintptr_t id = entry.key();
  Lock lock(Mutex());
  State().files.insert(std::move(entry));
  SetLastError(success);
  return host_internal::HandleFromId<HANDLE>(id);
} catch (const std::bad_alloc&) {
  NoteShortage();
  return Fail(kErrorNotEnoughMemory, kInvalidHandleValue);
}

BOOL WriteFile(HANDLE file, const void* data, DWORD size, DWORD* written) {
  if (written) *written = 0;
  if (data == nullptr && size != 0) return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  auto it = State().files.find(host_internal::IdFromHandle(file));
  if (it == State().files.end()) return Fail<BOOL>(kErrorInvalidHandle, 0);
  const int fd = it->second->fd;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  DWORD done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written) *written = done;
      bool full = n == 0 || errno == ENOSPC || errno == EFBIG || errno == EDQUOT;
      return Fail<BOOL>(full ? kErrorDiskFull : kErrorWriteFault, 0);
    }
    done += static_cast<DWORD>(n);
  }
  if (written) *written = done;
  return 1;
}

int FlushHostPath(const std::string& path) {
  bool injected;
  {
    Lock lock(Mutex());
    injected = CountdownEnds(State().flush_failure);
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  const int failed = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  return failed ? failed : injected ? EIO : 0;
}

BOOL FlushFileBuffers(HANDLE file) {
  std::shared_ptr<FileEntry> held;
  bool injected;
  {
    Lock lock(Mutex());
    auto it = State().files.find(host_internal::IdFromHandle(file));
    if (it == State().files.end()) return Fail<BOOL>(kErrorInvalidHandle, 0);
    // Held, not duplicated: the flush may take long and runs unlocked, and
    // a spare descriptor may not be had (the process's limit).
    held = it->second;
    injected = CountdownEnds(State().flush_failure);
  }
  if (::fsync(held->fd) != 0) return Fail<BOOL>(WriteErrorOfErrno(errno), 0);
  return injected ? Fail<BOOL>(kErrorWriteFault, 0) : 1;
}

BOOL CloseHandle(HANDLE handle) {
  FileMap::node_type closed;  // freed outside the lock
  int fd;
  bool injected;
  {
    Lock lock(Mutex());
    auto it = State().files.find(host_internal::IdFromHandle(handle));
    if (it == State().files.end()) {
      // Threads and semaphores close here too.
      return host_internal::CloseSyncHandle(handle) ? 1 : Fail<BOOL>(kErrorInvalidHandle, 0);
    }
    closed = State().files.extract(it);
    injected = CountdownEnds(State().close_failure);
    // A flush still runs: the descriptor closes when its hold ends. Holds
    // are taken from the table under the lock, so an entry held by this
    // close alone stays so.
    if (closed.mapped().use_count() > 1) return injected ? Fail<BOOL>(kErrorWriteFault, 0) : 1;
    fd = std::exchange(closed.mapped()->fd, -1);
  }
  // Never retried: Linux frees the descriptor even when close is
  // interrupted, and a retry could close a descriptor another thread just
  // opened.
  if (::close(fd) != 0) return Fail<BOOL>(WriteErrorOfErrno(errno), 0);
  return injected ? Fail<BOOL>(kErrorWriteFault, 0) : 1;
}

BOOL DeleteFileW(const char16_t* path) {
  if (path == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  std::optional<std::string> host = ToHostPath(std::u16string_view(path));
  if (!host) return Fail<BOOL>(kErrorPathNotFound, 0);
  if (::unlink(host->c_str()) != 0) return Fail<BOOL>(ErrorOfErrno(errno), 0);
  return 1;
}

BOOL MoveFileExW(const char16_t* existing, const char16_t* new_file, DWORD flags) {
  if (existing == nullptr || new_file == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  std::optional<std::string> from = ToHostPath(std::u16string_view(existing));
  std::optional<std::string> to = ToHostPath(std::u16string_view(new_file));
  if (!from || !to) return Fail<BOOL>(kErrorPathNotFound, 0);
  const unsigned int how = (flags & kMoveFileReplaceExisting) != 0 ? 0 : RENAME_NOREPLACE;
  if (::renameat2(AT_FDCWD, from->c_str(), AT_FDCWD, to->c_str(), how) != 0)
    return Fail<BOOL>(errno == EEXIST ? kErrorAlreadyExists : ErrorOfErrno(errno), 0);
  if ((flags & kMoveFileWriteThrough) != 0 && !FlushFolderOf(*to))
    return Fail<BOOL>(kErrorWriteFault, 0);
  return 1;
}

BOOL CopyFileW(const char16_t* existing, const char16_t* new_file, BOOL fail_if_exists) {
  if (existing == nullptr || new_file == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  std::optional<std::string> from = ToHostPath(std::u16string_view(existing));
  std::optional<std::string> to = ToHostPath(std::u16string_view(new_file));
  if (!from || !to) return Fail<BOOL>(kErrorPathNotFound, 0);
  int source = ::open(from->c_str(), O_RDONLY | O_CLOEXEC);
  if (source < 0) return Fail<BOOL>(ErrorOfErrno(errno), 0);
  struct stat info {};
  if (::fstat(source, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(source);
    return Fail<BOOL>(kErrorAccessDenied, 0);
  }
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (fail_if_exists ? O_EXCL : O_TRUNC);
  int target = ::open(to->c_str(), flags, 0666);
  if (target < 0) {
    const DWORD error = ErrorOfErrno(errno);
    ::close(source);
    return Fail<BOOL>(error, 0);
  }
  char block[65536];
  bool copied = true;
  for (;;) {
    const ssize_t got = ::read(source, block, sizeof block);
    if (got == 0) break;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      copied = false;
      break;
    }
    for (ssize_t done = 0; copied && done < got;) {
      const ssize_t put = ::write(target, block + done, static_cast<std::size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0)
        copied = false;
      else
        done += put;
    }
    if (!copied) break;
  }
  ::close(source);
  if (::close(target) != 0) copied = false;
  return copied ? 1 : Fail<BOOL>(kErrorWriteFault, 0);
}

DWORD GetFileAttributesW(const char16_t* path) {
  if (path == nullptr) return Fail(kErrorInvalidParameter, kInvalidFileAttributes);
  std::optional<std::string> host = ToHostPath(std::u16string_view(path));
  if (!host) return Fail(kErrorPathNotFound, kInvalidFileAttributes);
  struct stat info {};
  if (::stat(host->c_str(), &info) != 0) return Fail(ErrorOfErrno(errno), kInvalidFileAttributes);
  return S_ISDIR(info.st_mode) ? kFileAttributeDirectory : kFileAttributeNormal;
}

bool MapPathPrefix(std::u16string_view windows_prefix, std::string_view host_directory) {
  std::optional<WindowsPath> prefix = Resolve(windows_prefix);
  if (!prefix || prefix->root.empty() || host_directory.empty()) return false;
  for (auto& name : prefix->names)
    name = Fold(name);
  std::string directory(host_directory);
  while (directory.size() > 1 && directory.back() == '/')
    directory.pop_back();
  Lock lock(Mutex());
  for (Mapping& mapping : State().mappings) {
    if (mapping.prefix.root == prefix->root && mapping.prefix.names == prefix->names) {
      mapping.host_directory = std::move(directory);
      return true;
    }
  }
  State().mappings.push_back(Mapping{std::move(*prefix), std::move(directory)});
  return true;
}

std::size_t OpenFileCount() {
  Lock lock(Mutex());
  return State().files.size();
}

void SetFileFlushFailure(int nth) {
  Lock lock(Mutex());
  State().flush_failure = nth;
}

void SetFileCloseFailure(int nth) {
  Lock lock(Mutex());
  State().close_failure = nth;
}

namespace host_internal {

void ResetFilesLocked() {
  // Each descriptor closes with its entry's last holder.
  State() = FileState{};
}

}  // namespace host_internal
}  // namespace platform
