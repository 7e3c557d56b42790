#include "support/child_process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/run_folder.h"

// LeakSanitizer's entry, when the program has it.
extern "C" void __lsan_do_leak_check() __attribute__((weak));

namespace support {
namespace {

// The child's whole standard error, read from the start of `fd`.
std::string ReadAll(int fd) {
  std::string text;
  char buffer[4096];
  ::lseek(fd, 0, SEEK_SET);
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  return text;
}

// The most the C library keeps of stacks for reuse.
constexpr rlim_t kStackCacheBytes = 40 << 20;

// What the process maps now, in bytes.
rlim_t MappedBytes() {
  std::ifstream statm("/proc/self/statm");
  rlim_t pages = 0;
  statm >> pages;
  return statm ? pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

// The stack a new thread gets, in bytes.
rlim_t DefaultStackBytes() {
  pthread_attr_t attributes;
  std::size_t bytes = 0;
  if (::pthread_getattr_default_np(&attributes) != 0) return 0;
  ::pthread_attr_getstacksize(&attributes, &bytes);
  ::pthread_attr_destroy(&attributes);
  return bytes;
}

void* BlockForEver(void*) {
  for (;;)
    ::pause();
}

[[noreturn]] void BeChild(int error_fd, const char* folder, const std::function<int()>& work,
                          unsigned seconds) {
  if (folder) ::setenv("TMPDIR", folder, 1);
  const int nothing = ::open("/dev/null", O_WRONLY);
  if (nothing >= 0) ::dup2(nothing, STDOUT_FILENO);
  ::dup2(error_fd, STDERR_FILENO);
  if (__lsan_do_leak_check) __lsan_do_leak_check();
  ::signal(SIGALRM, SIG_DFL);
  ::alarm(seconds);
  const int code = work();
  std::fflush(stderr);
  ::_exit(code);
}

}  // namespace

std::string ChildResult::Describe() const {
  switch (end) {
    case End::kExited:
      return "exit " + std::to_string(code);
    case End::kTimedOut:
      return "hung";
    case End::kSignalled:
      break;
  }
  return "signal " + std::to_string(code);
}

bool RefuseNewThreads() {
  rlimit limit{};
  const rlim_t mapped = MappedBytes();
  const rlim_t stack = DefaultStackBytes();
  if (mapped == 0 || stack == 0 || ::getrlimit(RLIMIT_AS, &limit) != 0) return false;
  limit.rlim_cur = mapped + stack / 2;
  if (limit.rlim_cur > limit.rlim_max || ::setrlimit(RLIMIT_AS, &limit) != 0) return false;
  // Each reused stack ends up held; the first thread that needs a stack of
  // its own is refused.
  for (rlim_t i = 0; i <= kStackCacheBytes / stack; ++i) {
    pthread_t thread;
    if (::pthread_create(&thread, nullptr, &BlockForEver, nullptr) != 0) return true;
    ::pthread_detach(thread);
  }
  return false;
}

ChildResult RunInChild(const std::function<int()>& work, unsigned seconds) {
  ChildResult result;
  std::string name = TemporaryFolder() + "/child_error-XXXXXX";
  const int error_fd = ::mkstemp(name.data());
  if (error_fd < 0) {
    result.code = -1;
    result.error_output = "no file for the child's errors";
    return result;
  }
  ::unlink(name.c_str());
  std::string folder = TemporaryFolder() + "/child-XXXXXX";
  const char* temporary = ::mkdtemp(folder.data());
  std::fflush(nullptr);
  const pid_t child = ::fork();
  if (child == 0) BeChild(error_fd, temporary, work, seconds);
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) {
    result.code = -1;
    result.error_output = "the child could not be run";
  } else if (WIFEXITED(status)) {
    result.code = WEXITSTATUS(status);
  } else {
    result.code = WTERMSIG(status);
    result.end =
        result.code == SIGALRM ? ChildResult::End::kTimedOut : ChildResult::End::kSignalled;
  }
  result.error_output += ReadAll(error_fd);
  ::close(error_fd);
  std::error_code ignored;
  if (temporary) std::filesystem::remove_all(temporary, ignored);
  return result;
}

}  // namespace support
