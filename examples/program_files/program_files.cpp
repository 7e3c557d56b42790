#include "examples/program_files/program_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <system_error>
#include <vector>

#include "examples/program_files/interrupt_cleanup.h"

namespace program_files {
namespace {

// A report's room: far more than any program's.
char g_output_buffer[1 << 16];
int g_output_error = 0;  // the first failed write's errno; -1 when unknown
bool g_output_held = false;

// Flushes standard output, keeping the first failure's reason.
void Flush() {
  errno = 0;
  if (std::fflush(stdout) != 0 && g_output_error == 0) g_output_error = errno ? errno : -1;
  if (std::ferror(stdout) && g_output_error == 0) g_output_error = -1;
}

// An exception that nothing caught, on any thread: said in one line, and
// the run's folders removed (EndFatally), without unwinding through a
// library that may be halfway through a change.
[[noreturn]] void OnTerminate() {
  const char* what = "an unexpected error";
  const std::exception_ptr thrown = std::current_exception();
  try {
    if (thrown) std::rethrow_exception(thrown);
  } catch (const std::bad_alloc&) {
    what = "out of memory";
  } catch (const std::system_error& failure) {
    // What std::thread throws when the system will not start one.
    what = failure.code() == std::errc::resource_unavailable_try_again
               ? "the system refused a thread"
               : failure.what();
  } catch (const std::exception& failure) {
    what = failure.what();  // `thrown` keeps it
  } catch (...) {
  }
  EndFatally(what);
}

}  // namespace

int RunCatching(const char* program, int (*run)(int, char**), int argc, char** argv) {
  CatchInterrupts(program);
  HoldOutput();
  // No handler: an exception that finds none ends in std::terminate where
  // it was thrown, before any unwinding (a noexcept frame would unwind to
  // itself first).
  std::set_terminate(OnTerminate);
  const int status = run(argc, argv);
  std::string error;
  if (!FlushOutput(error) && status == 0) return SayError(program, error), 1;
  return status;
}

void HoldOutput() {
  if (!g_output_held) std::setvbuf(stdout, g_output_buffer, _IOFBF, sizeof g_output_buffer);
  g_output_held = true;
}

bool FlushOutput(std::string& error) {
  Flush();
  if (g_output_error == 0) return true;
  error = "standard output: cannot write: " +
          (g_output_error > 0 ? Reason(g_output_error) : std::string("a write failed"));
  return false;
}

void SayError(const char* program, const std::string& line) {
  Flush();
  std::fprintf(stderr, "%s: %s\n", program, line.c_str());
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

bool MakeFolders(const std::string& folder, std::string& made, std::string& error) {
  made.clear();
  if (folder.empty()) return error = "the output folder has no name", false;
  // Each path from the top down, made before any folder is: from the first
  // folder made until the caller names it to the interrupt, nothing here
  // allocates (a failed allocation ends the run at once).
  std::vector<std::string> prefixes;
  for (std::size_t end = folder.find_first_not_of('/'); end != std::string::npos;) {
    end = folder.find('/', end);
    prefixes.push_back(folder.substr(0, end));
    if (end != std::string::npos) end = folder.find_first_not_of('/', end);
  }
  made.reserve(folder.size());
  std::size_t first_made = prefixes.size(), at = 0;
  int failed = 0;
  for (; at < prefixes.size() && !failed; ++at) {
    if (::mkdir(prefixes[at].c_str(), 0777) == 0) {
      first_made = std::min(first_made, at);
      continue;
    }
    struct stat status {};
    failed = errno;
    if (failed == EEXIST && ::stat(prefixes[at].c_str(), &status) == 0)
      failed = S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
  }
  if (!failed) {
    if (first_made < prefixes.size()) made.assign(prefixes[first_made]);
    return true;
  }
  // The deepest first; `at` is past the one that failed.
  for (std::size_t back = at - 1; back-- > first_made;)
    ::rmdir(prefixes[back].c_str());
  struct stat status {};
  if (failed == ENOTDIR && ::stat(folder.c_str(), &status) == 0)
    return error = folder + ": " + Reason(ENOTDIR), false;
  error = folder + ": cannot make the folder: " + Reason(failed);
  return false;
}

Leftovers::~Leftovers() {
  for (auto at = paths_.rbegin(); at != paths_.rend(); ++at)
    RemoveFolder(*at);
}

}  // namespace program_files
