// A run that a signal ends while its main thread holds the run, or is
// about to fail: the signals' thread has taken the signal and waits for the
// hold, and the run ends by that signal the moment the main thread lets go
// or asks again, saying nothing.
#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "examples/program_files/run.h"

namespace {

namespace fs = std::filesystem;

// Returns once the signals' thread has seen SIGTERM and waits for the
// run's lock, which the caller holds, to take it.
void AwaitSignalTaken() {
  const std::string self = std::to_string(::gettid());
  for (;;) {
    for (const fs::directory_entry& task : fs::directory_iterator("/proc/self/task")) {
      std::ifstream call(task.path() / "syscall");
      long number = -1;
      if (task.path().filename() != self && call >> number && number == SYS_futex) return;
    }
    ::usleep(1000);
  }
}

// Signalled under a hold, then (argv[1]) 'e' ends fatally still under it,
// 'f' fails after it, 'h' holds the run again and writes; or, unsignalled,
// 'w' fails and then runs out of memory winding up.
int SignalledUnderAHold(int, char** argv) {
  const char then = argv[1][0];
  if (then == 'w') program_files::Fail("out/page-1.png: cannot write: gone");
  if (then == 'w') program_files::EndFatally("out of memory");
  {
    program_files::RunHeld held;
    ::kill(::getpid(), SIGTERM);
    AwaitSignalTaken();
    if (then == 'e') program_files::EndFatally("out of memory");
  }
  if (then == 'f') return program_files::Fail("out/page-1.png: cannot write: gone");
  program_files::RunHeld again;
  std::fputs("held again\n", stderr);
  return 0;
}

TEST(SignalledRun, EndsByTheSignalUnsaidWhereverItsMainThreadIs) {
  for (const char* then : {"e", "f", "h", "w"}) {
    int error_pipe[2];
    ASSERT_EQ(::pipe(error_pipe), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      ::dup2(error_pipe[1], STDERR_FILENO);
      ::close(error_pipe[0]);
      char program[] = "test";
      char* argv[] = {program, const_cast<char*>(then), nullptr};
      ::_exit(program_files::RunCatching("test", SignalledUnderAHold, 2, argv));
    }
    ::close(error_pipe[1]);
    std::string said;
    char buffer[256];
    for (ssize_t n; (n = ::read(error_pipe[0], buffer, sizeof buffer)) > 0;)
      said.append(buffer, std::size_t(n));
    ::close(error_pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    const bool signalled = *then != 'w';
    EXPECT_TRUE(signalled ? WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM
                          : WIFEXITED(status) && WEXITSTATUS(status) == 1)
        << then << " " << status;
    EXPECT_EQ(said, signalled ? "" : "test: out/page-1.png: cannot write: gone\n") << then;
  }
}

}  // namespace
