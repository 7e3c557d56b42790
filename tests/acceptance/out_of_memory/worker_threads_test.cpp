// Threads the system refuses and allocations that fail on the library's
// threads, each case in a child process (whose alarm ends a hang).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <tuple>

#include "driver/module_keep_alive.h"
#include "driver/out_of_memory_handler.h"
#include "platform/host/reset.h"
#include "platform/host/threads.h"
#include "support/acceptance_install.h"
#include "support/child_process.h"
#include "support/failing_allocator.h"
#include "support/test_render_services.h"
#include "tests/support/test_support.h"

namespace testing_support {
namespace {

// The host folder, in the child's own temporary folder (RunInChild removes
// it): asked for in the child.
std::string Host() {
  return (std::filesystem::temp_directory_path() / "host").string();
}

// P1 installed, its threads idle, the memory reserve spent: `work` fails an allocation of
// another thread; true when all went as owed and [NOMEM] reached a returning handler.
bool OutOfMemory(bool returning, const std::function<bool()>& work) {
  support::AcceptanceInstall install;
  if (!install.Install(Host()).empty() || !platform::AwaitThreadsIdle()) return false;
  for (int i = 0; i < 8 && OutOfMemoryHandler(0) != 0; ++i) {
  }
  std::optional<ErrorCapture> capture;
  if (returning) capture.emplace();
  support::UncountedAllocations uncounted;
  const bool done = work();
  return done && capture && support::AllocationFailed() &&
         capture->Last().find("NOMEM") != std::string::npos;
}

// The keep-alive's watcher fails in its next wait, and still lets go.
bool WatcherFails(bool returning) {
  return OutOfMemory(returning, [] {
    support::ResetAllocations();
    support::FailAllocation(1);
    ModuleKeepAlive().MarkActivity();
    platform::AdvanceWaitClock(GModuleKeepAlive::kDefaultPeriod);
    return platform::AwaitThreadsIdle() && platform::LiveThreadCount() == 0 &&
           !ModuleKeepAlive().IsPinned();
  });
}

// A library thread fails inside a reader's error scope.
bool ReaderFails(bool returning) {
  return OutOfMemory(returning, [] {
    auto read = [](void*) {
      return RunLibraryThread([] {
        support::ResetAllocations();
        support::FailAllocation(1);
        RWErrorScope scope;
        ::operator delete(::operator new(64));  // a new-expression may be elided
        return platform::DWORD{0};
      });
    };
    platform::HANDLE thread = platform::CreateThread(nullptr, 0, read, nullptr, 0, nullptr);
    platform::DWORD code = 0;
    return platform::WaitForSingleObject(thread, platform::kInfinite) == platform::kWaitObject0 &&
           platform::GetExitCodeThread(thread, &code) && code == platform::kErrorNotEnoughMemory;
  });
}

// The wait clock wakes a timed waiter while its one allocation fails, under
// a handler that takes the threads' lock as the library's does.
bool ClockMovesShortOfMemory() {
  platform::UseManualWaitClock();
  platform::HANDLE never = platform::CreateSemaphoreW(nullptr, 0, 1, nullptr);
  const auto wait = [](void* semaphore) {
    return platform::WaitForSingleObject(*static_cast<platform::HANDLE*>(semaphore), 100);
  };
  platform::HANDLE waiter = platform::CreateThread(nullptr, 0, wait, &never, 0, nullptr);
  if (!waiter || !platform::AwaitThreadsIdle()) return false;
  std::set_new_handler([] { std::set_new_handler(nullptr), platform::LiveThreadCount(); });
  support::ResetAllocations();
  support::FailAllocation(1);
  platform::AdvanceWaitClock(100);
  return support::AllocationFailed() &&
         platform::WaitForSingleObject(waiter, platform::kInfinite) == platform::kWaitObject0;
}

// The host services' reset, each of its allocations failing in turn under
// that handler, with a handle for the threads' reset to collect.
bool ResetShortOfMemory() {
  if (!platform::CreateSemaphoreW(nullptr, 0, 1, nullptr)) return false;
  for (std::uint64_t i = 1;; ++i) {
    std::set_new_handler([] { std::set_new_handler(nullptr), platform::LiveThreadCount(); });
    support::ResetAllocations();
    support::FailAllocation(i);
    platform::ResetHostServices();
    if (!support::AllocationFailed()) return i > 1;
  }
}

TEST(WorkerThreads, RefusedOrShortOfMemoryNeitherHangNorAbort) {
  // What the child does (true when all went as owed), and how it ends.
  const std::tuple<const char*, std::function<bool()>, const char*> cases[] = {
      // The keep-alive's watcher and the spooler's thread refused: none waited for.
      {"an install",
       [] {
         support::AcceptanceInstall install;
         return support::RefuseNewThreads() && install.Install(Host()) == "the spooler's thread" &&
                platform::GetLastError() == platform::kErrorNotEnoughMemory &&
                install.Uninstall().empty() && !ModuleKeepAlive().IsPinned() &&
                platform::RefusedThreadCount() != 0;
       },
       "exit 0"},
      {"a font load",
       [] { return support::RefuseNewThreads() && TestFontDatabase().LoadFromPath(u"F") == 0; },
       "exit 0"},
      {"the watcher, returning", [] { return WatcherFails(true); }, "exit 0"},
      {"a reader", [] { return ReaderFails(false); }, "exit 1 Fatal Error"},
      {"a reader, returning", [] { return ReaderFails(true); }, "exit 0"},
      {"the wait clock", ClockMovesShortOfMemory, "exit 0"},
      {"the host services' reset", ResetShortOfMemory, "exit 0"}};
  for (const auto& [what, work, end] : cases) {
    const std::function<bool()>& run = work;  // clang 14 captures no structured binding
    const support::ChildResult result = support::RunInChild([&] { return run() ? 0 : 2; }, 30);
    const bool fatal = result.error_output.find("Fatal Error") != std::string::npos;
    EXPECT_EQ(result.Describe() + (fatal ? " Fatal Error" : ""), end)
        << what << result.error_output;
  }
}

}  // namespace
}  // namespace testing_support
