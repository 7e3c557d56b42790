#include "examples/program_files/program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>

namespace program_files {

int RunCatching(const char* program, int (*run)(int, char**), int argc, char** argv) {
  try {
    return run(argc, argv);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "%s: %s\n", program, failure.what());
    return 1;
  }
}

std::string Reason(int error) {
  switch (error) {
    case EISDIR:
      return "it is a folder";
    case ENOTDIR:
      return "not a folder";
    case ENOSPC:
      return "the disk is full";
    case EFBIG:
      return "the file-size limit was reached";
    default:
      return std::strerror(error);
  }
}

bool ReadRegularFile(const std::string& path, std::uint64_t bound, std::string& bytes,
                     std::string& error) {
  // Not blocking, so that a pipe with no writer is refused, not waited on.
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file < 0) return error = path + ": cannot open: " + Reason(errno), false;
  struct stat status {};
  std::string trouble;
  if (::fstat(file, &status) != 0) {
    trouble = Reason(errno);
  } else if (S_ISDIR(status.st_mode)) {
    trouble = Reason(EISDIR);
  } else if (!S_ISREG(status.st_mode)) {
    trouble = "not a regular file";
  } else if (std::uint64_t(status.st_size) > bound) {
    trouble = "larger than " + std::to_string(bound >> 20) + " MiB";
  }
  // A file that grows meanwhile is read as far as it was.
  bytes.resize(trouble.empty() ? std::size_t(status.st_size) : 0);
  std::size_t have = 0;
  while (trouble.empty() && have < bytes.size()) {
    const ssize_t got = ::read(file, bytes.data() + have, bytes.size() - have);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) trouble = Reason(errno);
    if (got <= 0) break;
    have += std::size_t(got);
  }
  ::close(file);
  bytes.resize(have);
  if (!trouble.empty()) error = path + ": cannot read: " + trouble;
  return trouble.empty();
}

int CreateNewFile(const std::string& path, std::string& error) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT)
    return error = path + ": cannot write: " + Reason(errno), -1;
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (file < 0) error = path + ": cannot write: " + Reason(errno);
  return file;
}

bool WriteNewFile(const std::string& path, const std::string& bytes, std::string& error) {
  const int file = CreateNewFile(path, error);
  if (file < 0) return false;
  int failed = 0;
  for (std::size_t at = 0; at < bytes.size() && !failed;) {
    const ssize_t went = ::write(file, bytes.data() + at, bytes.size() - at);
    if (went < 0 && errno != EINTR) failed = errno;
    at += went > 0 ? std::size_t(went) : 0;
  }
  if (::close(file) != 0 && !failed) failed = errno;
  if (!failed) return true;
  ::unlink(path.c_str());
  error = path + ": cannot write: " + Reason(failed);
  return false;
}

bool MakeTemporaryFolder(const std::string& prefix, std::string& folder, std::string& error) {
  const char* set = std::getenv("TMPDIR");
  const std::string temporary = set && *set ? set : "/tmp";
  folder = temporary + "/" + prefix + "-XXXXXX";
  if (::mkdtemp(folder.data())) return true;
  error = "the temporary folder " + temporary + ": cannot make a folder there: " + Reason(errno);
  folder.clear();
  return false;
}

Leftovers::~Leftovers() {
  std::error_code failed;
  for (auto at = paths_.rbegin(); at != paths_.rend(); ++at)
    std::filesystem::remove_all(*at, failed);
}

void Leftovers::AddNewFolders(const std::string& folder) {
  std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
  if (!path.has_filename()) path = path.parent_path();  // "out/" is "out"
  std::filesystem::path top;
  std::error_code failed;
  // Only a folder known to be missing is counted as new: one that cannot
  // be looked at may be someone's.
  while (!path.empty() && std::filesystem::symlink_status(path, failed).type() ==
                              std::filesystem::file_type::not_found) {
    top = path;
    path = path.parent_path();
  }
  if (!top.empty()) Add(top.string());
}

}  // namespace program_files
