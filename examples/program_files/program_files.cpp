#include "examples/program_files/program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "examples/program_files/run.h"
#include "platform/text.h"
#include "support/run_folder.h"

namespace program_files {

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
    case EILSEQ:
      return "the name is not UTF-8";
    default:
      return std::strerror(error);
  }
}

std::string SystemError(const std::string& path, const char* what, int error) {
  return path + ": " + what + ": " + Reason(error);
}

bool ReadRegularFile(const std::string& path, std::uint64_t bound, std::string& bytes,
                     std::string& error) {
  // Not blocking, so that a pipe with no writer is refused, not waited on.
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file < 0) return error = SystemError(path, "cannot open", errno), false;
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
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (file < 0) error = SystemError(path, "cannot write", errno);
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
  error = SystemError(path, "cannot write", failed);
  return false;
}

bool MakeFolders(const std::string& folder, std::vector<std::string>& made, std::string& error) {
  made.clear();
  if (folder.empty()) return error = "the output folder has no name", false;
  int failed = 0;
  for (std::size_t end = folder.find_first_not_of('/'); end != std::string::npos && !failed;) {
    end = folder.find('/', end);
    const std::string prefix = folder.substr(0, end);
    failed = MakeRunFolder(prefix);
    struct stat status {};
    if (failed == 0) {
      made.push_back(prefix);
    } else if (failed == EEXIST) {
      failed = ::stat(prefix.c_str(), &status) == 0 && S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
    }
    if (end != std::string::npos) end = folder.find_first_not_of('/', end);
  }
  if (!failed) return true;
  for (auto at = made.rbegin(); at != made.rend(); ++at)
    RemoveMade(*at);
  made.clear();
  struct stat status {};
  if (failed == ENOTDIR && ::stat(folder.c_str(), &status) == 0)
    return error = folder + ": " + Reason(ENOTDIR), false;
  error = SystemError(folder, "cannot make the folder", failed);
  return false;
}

bool MakeTemporaryFolder(const std::string& prefix, std::string& folder, std::string& error) {
  const std::string temporary = support::TemporaryFolder();
  // The library reaches what the programs keep there by wide names.
  if (std::u16string wide; !platform::MultiByteToWide(temporary.data(), temporary.size(), wide)) {
    error = "the temporary folder " + temporary + ": " + Reason(EILSEQ);
    folder.clear();
    return false;
  }
  folder = temporary + "/" + prefix + "-XXXXXX";
  if (const int failed = MakeOwnFolder(folder)) {
    error = SystemError("the temporary folder " + temporary, "cannot make a folder there", failed);
    folder.clear();
    return false;
  }
  return true;
}

}  // namespace program_files
