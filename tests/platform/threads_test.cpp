// Threads, semaphores and waits on the manual clock; the system facts; the
// spooler's printer and driver records.
#include "platform/host/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/host/clock.h"
#include "platform/host/files.h"
#include "platform/host/modules.h"
#include "platform/host/spooler.h"
#include "platform/host/system.h"
#include "tests/support/host_fixture.h"

namespace {

using namespace platform;

class Threads : public testing_support::HostFixture {};

TEST_F(Threads, SemaphoreCounts) {
  EXPECT_EQ(CreateSemaphoreW(nullptr, 2, 1, nullptr), nullptr);
  EXPECT_EQ(CreateSemaphoreW(nullptr, 0, 1, u"named"), nullptr);
  HANDLE semaphore = CreateSemaphoreW(nullptr, 1, 2, nullptr);
  ASSERT_NE(semaphore, nullptr);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), kWaitObject0);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), kWaitTimeout);
  LONG previous = -1;
  EXPECT_EQ(ReleaseSemaphore(semaphore, 2, &previous), 1);
  EXPECT_EQ(previous, 0);
  EXPECT_EQ(ReleaseSemaphore(semaphore, 1, nullptr), 0);  // past the maximum
  EXPECT_EQ(GetLastError(), kErrorTooManyPosts);
  EXPECT_EQ(CloseHandle(semaphore), 1);
  EXPECT_EQ(WaitForSingleObject(semaphore, 0), kWaitFailed);
  EXPECT_EQ(CloseHandle(semaphore), 0);
}

DWORD Waiter(void* argument) {
  auto* semaphore = static_cast<HANDLE*>(argument);
  // Times out after 100 ms of the manual clock, then waits for the release.
  if (WaitForSingleObject(*semaphore, 100) != kWaitTimeout) return 1;
  Sleep(50);
  return WaitForSingleObject(*semaphore, kInfinite) == kWaitObject0 ? 0 : 2;
}

TEST_F(Threads, TimedWaitsFollowTheManualClock) {
  UseManualWaitClock();
  HANDLE semaphore = CreateSemaphoreW(nullptr, 0, 1, nullptr);
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 4096, Waiter, &semaphore, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  ASSERT_TRUE(AwaitThreadsIdle());  // in the 100 ms wait
  AdvanceWaitClock(99);
  ASSERT_TRUE(AwaitThreadsIdle());
  EXPECT_EQ(WaitForSingleObject(thread, 0), kWaitTimeout);
  AdvanceWaitClock(1);
  ASSERT_TRUE(AwaitThreadsIdle());  // in the Sleep
  AdvanceWaitClock(50);
  // Now in the untimed wait, which only the release ends.
  ASSERT_EQ(ReleaseSemaphore(semaphore, 1, nullptr), 1);
  EXPECT_EQ(WaitForSingleObject(thread, kInfinite), kWaitObject0);
  EXPECT_EQ(LiveThreadCount(), 0u);
  CloseHandle(thread);
  CloseHandle(semaphore);
}

// Each thread waits on an object of its own: the clock ends exactly the
// waits whose deadline it passed, a release exactly the wait on its object.
DWORD TimedWaiter(void* argument) {
  const auto [semaphore, milliseconds] = *static_cast<std::pair<HANDLE, DWORD>*>(argument);
  if (semaphore) return WaitForSingleObject(semaphore, milliseconds);
  Sleep(milliseconds);
  return 0;
}

TEST_F(Threads, TheClockAndAReleaseEndOnlyTheirOwnWaits) {
  UseManualWaitClock();
  HANDLE first = CreateSemaphoreW(nullptr, 0, 1, nullptr);
  HANDLE second = CreateSemaphoreW(nullptr, 0, 1, nullptr);
  std::pair<HANDLE, DWORD> waits[] = {{nullptr, 100}, {first, 200}, {second, 300}, {nullptr, 300}};
  HANDLE threads[4];
  for (int i = 0; i < 4; ++i)
    threads[i] = CreateThread(nullptr, 0, TimedWaiter, &waits[i], 0, nullptr);
  // The clock's advance, a release, and which threads have ended after them.
  const std::tuple<DWORD, HANDLE, const char*> steps[] = {
      {99, nullptr, "...."},  {1, nullptr, "x..."},  {0, second, "x.x."},
      {100, nullptr, "xxx."}, {99, nullptr, "xxx."}, {1, nullptr, "xxxx"}};
  for (const auto& [advance, release, ended] : steps) {
    ASSERT_TRUE(AwaitThreadsIdle());
    AdvanceWaitClock(advance);
    if (release) ReleaseSemaphore(release, 1, nullptr);
    ASSERT_TRUE(AwaitThreadsIdle());  // a wake-up that never comes fails here
    for (int i = 0; i < 4; ++i) {
      EXPECT_EQ(WaitForSingleObject(threads[i], ended[i] == 'x' ? kInfinite : 0),
                ended[i] == 'x' ? kWaitObject0 : kWaitTimeout)
          << "thread " << i << " after advancing " << advance;
    }
  }
  for (HANDLE handle : {threads[0], threads[1], threads[2], threads[3], first, second})
    CloseHandle(handle);
}

// Threads hand one count round a ring of semaphores, in timed and untimed
// waits: a wake-up lost on the way would stop the ring.
TEST_F(Threads, ARingOfSemaphoresLosesNoWakeUp) {
  HANDLE ring[6];
  for (HANDLE& semaphore : ring)
    semaphore = CreateSemaphoreW(nullptr, 0, 1, nullptr);
  std::vector<std::thread> threads;
  for (int i = 0; i < 6; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 300; ++round) {
        while (WaitForSingleObject(ring[i], round % 2 ? kInfinite : 1) == kWaitTimeout) {
        }
        ReleaseSemaphore(ring[(i + 1) % 6], 1, nullptr);
      }
    });
  }
  ASSERT_EQ(ReleaseSemaphore(ring[0], 1, nullptr), 1);
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(WaitForSingleObject(ring[0], 0), kWaitObject0);  // the count came back
  for (HANDLE semaphore : ring)
    CloseHandle(semaphore);
}

TEST_F(Threads, AThreadHandleIsSignalledWhenItsThreadEnds) {
  HANDLE other = nullptr;
  std::atomic<bool> duplicated{false};
  std::atomic<bool> go{false};
  std::thread worker([&] {
    EXPECT_EQ(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &other,
                              0, 0, kDuplicateSameAccess),
              1);
    duplicated = true;
    while (!go)
      std::this_thread::yield();
  });
  while (!duplicated)
    std::this_thread::yield();
  EXPECT_EQ(WaitForSingleObject(other, 0), kWaitTimeout);
  go = true;
  worker.join();
  EXPECT_EQ(WaitForSingleObject(other, 0), kWaitObject0);
  EXPECT_EQ(CloseHandle(other), 1);
  HANDLE none = nullptr;
  EXPECT_EQ(DuplicateHandle(nullptr, GetCurrentThread(), GetCurrentProcess(), &none, 0, 0, 0), 0);
  SetThreadCreationFailure(true);
  EXPECT_EQ(CreateThread(nullptr, 0, Waiter, nullptr, 0, nullptr), nullptr);
}

// An exception ends only its thread, as a return would for waits and counts.
TEST_F(Threads, AnExceptionEndsOnlyItsThread) {
  const std::pair<ThreadStartRoutine, DWORD> cases[] = {
      {[](void*) -> DWORD { throw std::bad_alloc(); }, kErrorNotEnoughMemory},
      {[](void*) -> DWORD { throw std::runtime_error("x"); }, kErrorUnhandledException}};
  for (const auto& [procedure, code] : cases) {
    HANDLE thread = CreateThread(nullptr, 0, procedure, nullptr, 0, nullptr);
    DWORD exit_code = 0;
    EXPECT_EQ(WaitForSingleObject(thread, kInfinite), kWaitObject0);
    EXPECT_TRUE(GetExitCodeThread(thread, &exit_code) && exit_code == code) << code;
    EXPECT_TRUE(AwaitThreadsIdle() && LiveThreadCount() == 0);
    CloseHandle(thread);
  }
}

TEST_F(Threads, SystemFacts) {
  // The runtime's generator from seed 1, as the original runtime's.
  RuntimeSeedRandom(1);
  for (int expected : {41, 18467, 6334, 26500, 19169})
    EXPECT_EQ(RuntimeRandom(), expected);
  TimeRecord moment{2004, 3, 1, 0, 30, 0, 0, 0};
  ASSERT_TRUE(SetFixedClock(moment));
  EXPECT_EQ(RuntimeTime(), 1078101000);  // 2004-03-01 00:30 UTC
  SetClockUnavailable();
  EXPECT_EQ(RuntimeTime(), -1);

  SetSystemVersion({4, 10, 2222, kVerPlatformWin32Windows});
  EXPECT_EQ(GetVersion(), 0x88AE0A04u);  // 9x bit, build 2222, minor 10, major 4
  OsVersionInfoW info{};
  info.size = 100;
  EXPECT_EQ(GetVersionExW(&info), 0);
  info.size = kOsVersionInfoSize;
  ASSERT_EQ(GetVersionExW(&info), 1);
  EXPECT_EQ(info.build_number, 2222u);

  char16_t buffer[8];
  EXPECT_EQ(GetEnvironmentVariableW(u"TMP", buffer, 8), 0u);
  EXPECT_EQ(GetLastError(), kErrorEnvVarNotFound);
  ASSERT_EQ(SetEnvironmentVariableW(u"TMP", u"C:\\Temp1"), 1);
  EXPECT_EQ(GetEnvironmentVariableW(u"tmp", buffer, 8), 9u);  // needs 9 units
  char16_t room[9];
  EXPECT_EQ(GetEnvironmentVariableW(u"TMP", room, 9), 8u);
  EXPECT_EQ(std::u16string(room), u"C:\\Temp1");
  EXPECT_STREQ(RuntimeSetLocale(kLcCtype, ".ACP"), ".ACP");
  EXPECT_STREQ(RuntimeSetLocale(kLcAll, nullptr), ".ACP");
  // The record of the calls keeps the newest: a library that sets the
  // locale at each attach does not grow a host without end.
  for (std::size_t i = 0; i <= kHostLogCapacity; ++i)
    RuntimeSetLocale(kLcAll, "C");
  EXPECT_EQ(RuntimeLocaleLog().size(), kHostLogCapacity);
}

TEST_F(Threads, PrinterAndDriverRecords) {
  ASSERT_TRUE(AddPrinter(u"P1"));
  ASSERT_TRUE(SetPrinterDriver(u"p1", u"KV Drv", u"LPT1:", u"C:\\Drv\\KV.DAT"));
  EXPECT_FALSE(SetPrinterDriver(u"P2", u"", u"", u""));
  HANDLE printer = nullptr;
  ASSERT_EQ(OpenPrinterW(u"P1", &printer, nullptr), 1);
  DWORD needed = 0;
  EXPECT_EQ(GetPrinterW(printer, 2, nullptr, 0, &needed), 0);
  EXPECT_EQ(GetLastError(), kErrorInsufficientBuffer);
  // The record, then "P1", "LPT1:" and "KV Drv" with their terminators.
  EXPECT_EQ(needed, sizeof(PrinterInfo2W) + 2 * (3 + 6 + 7));
  std::vector<BYTE> bytes(needed);
  EXPECT_EQ(GetPrinterW(printer, 2, bytes.data(), needed - 1, &needed), 0);
  ASSERT_EQ(GetPrinterW(printer, 2, bytes.data(), needed, &needed), 1);
  const auto* info = reinterpret_cast<const PrinterInfo2W*>(bytes.data());
  EXPECT_EQ(std::u16string(info->printer_name), u"P1");
  EXPECT_EQ(std::u16string(info->port_name), u"LPT1:");
  EXPECT_EQ(std::u16string(info->driver_name), u"KV Drv");
  EXPECT_EQ(info->dev_mode, nullptr);
  EXPECT_EQ(GetPrinterW(printer, 1, bytes.data(), needed, &needed), 0);
  EXPECT_EQ(GetLastError(), kErrorInvalidLevel);

  ASSERT_EQ(GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed), 0);
  std::vector<BYTE> driver(needed);
  ASSERT_EQ(GetPrinterDriverW(printer, nullptr, 2, driver.data(), needed, &needed), 1);
  EXPECT_EQ(std::u16string(reinterpret_cast<const DriverInfo2W*>(driver.data())->data_file),
            u"C:\\Drv\\KV.DAT");
  ClosePrinter(printer);
  EXPECT_EQ(GetPrinterW(printer, 2, bytes.data(), needed, &needed), 0);
  EXPECT_EQ(GetLastError(), kErrorInvalidHandle);
}

}  // namespace
