// Locks (the semaphore, the scope that reports failures, lazy creation) and
// the out-of-memory handler with its reserve.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <new>

#include "driver/out_of_memory_handler.h"
#include "foundation/rw/error.h"
#include "platform/host/threads.h"
#include "services/driver_server.h"
#include "services/lock.h"
#include "tests/driver/context_testing.h"

namespace {

using testing::KilledBySignal;

class Locks : public testing_support::HostFixture {};

TEST_F(Locks, SemaphoreResults) {
  GSemaphore lock;
  ASSERT_NE(lock.Handle(), nullptr);
  struct Case {
    const char* what;
    platform::DWORD next_wait;  // 0: none scripted
    bool release_fails;
    std::int32_t locked;
    std::int32_t unlocked;
  } cases[] = {
      {"taken and released", 0, false, 0, 0},
      {"an abandoned wait counts as taken", platform::kWaitAbandoned, false, 0, 0},
      {"a failed wait", platform::kWaitFailed, false, -1, kUnlockFailed},  // nothing to release
      {"a failed release", 0, true, 0, kUnlockFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.next_wait) platform::SetNextWaitResult(lock.Handle(), c.next_wait);
    platform::SetReleaseFailure(lock.Handle(), c.release_fails);
    EXPECT_EQ(lock.Lock(), c.locked);
    EXPECT_EQ(lock.Unlock(), c.unlocked);
    if (c.release_fails) {
      platform::SetReleaseFailure(lock.Handle(), false);
      EXPECT_EQ(lock.Unlock(), 0);
    }
  }
  // Without its platform semaphore a lock can never be taken.
  platform::SetSemaphoreCreationFailure(true);
  GSemaphore none;
  platform::SetSemaphoreCreationFailure(false);
  EXPECT_EQ(none.Handle(), nullptr);
  EXPECT_NE(none.Lock(), 0);
}

TEST_F(Locks, AFailedLockOrUnlockEndsTheProcess) {
  GSemaphore lock;
  { GLockScope scope(nullptr, "none", 1, 2); }  // no lock: nothing to take
  { GLockScope scope(&lock, "here", 1, 2); }
  platform::SetNextWaitResult(lock.Handle(), platform::kWaitFailed);
  EXPECT_EXIT({ GLockScope scope(&lock, "here", 1, 2); }, KilledBySignal(SIGABRT), "");
  platform::SetNextWaitResult(lock.Handle(), 0);
  EXPECT_EXIT(
      {
        GLockScope scope(&lock, "here", 1, 2);
        platform::SetReleaseFailure(lock.Handle(), true);
      },
      KilledBySignal(SIGABRT), "");
}

// A lock that counts what it is asked.
class CountingLock : public GLock {
 public:
  std::int32_t Lock() override {
    ++locks;
    return 0;
  }
  std::int32_t Unlock() override { return 0; }
  int locks = 0;
};

class CountingServices : public TestOSFactory {
 public:
  GLock* CreateLock() override {
    ++made;
    return new CountingLock;
  }
  int made = 0;
};

TEST_F(Locks, EnsureLockMakesOneLockOnce) {
  CountingServices services;  // its own lock is a semaphore, made before
  GLock* slot = nullptr;
  services.EnsureLock(&slot);
  ASSERT_NE(slot, nullptr);
  EXPECT_EQ(services.made, 1);
  GLock* kept = slot;
  services.EnsureLock(&slot);  // set already: nothing made, nothing taken
  EXPECT_EQ(slot, kept);
  EXPECT_EQ(services.made, 1);
  EXPECT_EQ(static_cast<CountingLock*>(slot)->locks, 0);
  delete slot;
}

class OutOfMemory : public driver_testing::ServerFixture {
 protected:
  void TearDown() override {
    RemoveOutOfMemoryHandler();
    ServerFixture::TearDown();
  }
};

TEST_F(OutOfMemory, InstallKeepsOrChangesTheReserveSize) {
  std::new_handler before = std::get_new_handler();
  InstallOutOfMemoryHandler(kOutOfMemoryReserveBytes);
  EXPECT_NE(std::get_new_handler(), before);
  EXPECT_TRUE(OutOfMemoryReserveHeld());
  EXPECT_EQ(OutOfMemoryReserveSize(), 1024u);
  InstallOutOfMemoryHandler(0);  // the size stays; a new block replaces the old
  EXPECT_EQ(OutOfMemoryReserveSize(), 1024u);
  EXPECT_TRUE(OutOfMemoryReserveHeld());
  InstallOutOfMemoryHandler(4096);
  EXPECT_EQ(OutOfMemoryReserveSize(), 4096u);
  // Removal puts back what was there, even when that was no handler.
  RemoveOutOfMemoryHandler();
  EXPECT_EQ(std::get_new_handler(), before);
  EXPECT_FALSE(OutOfMemoryReserveHeld());
}

TEST_F(OutOfMemory, AFailureCostsTheReserveThenFailsTheAllocation) {
  InstallOutOfMemoryHandler(kOutOfMemoryReserveBytes);
  std::uint32_t cookie = 0;
  ASSERT_NE(server_->GetContext(Key(u"P1"), cookie), nullptr);
  server_->ReleaseContext(cookie);
  EXPECT_EQ(OutOfMemoryHandler(100), 1);  // try again
  EXPECT_FALSE(OutOfMemoryReserveHeld());
  EXPECT_EQ(driver_testing::live_contexts.load(), 1);  // deleted at a safe point
  // Nothing more to free: the allocation fails, the process goes on.
  EXPECT_EQ(OutOfMemoryHandler(100), 0);
  // The next give-back is a safe point: the parked context goes, the
  // reserve comes back.
  ASSERT_NE(server_->GetContext(Key(u"P2"), cookie), nullptr);
  server_->ReleaseContext(cookie);
  EXPECT_EQ(driver_testing::live_contexts.load(), 1);
  EXPECT_TRUE(OutOfMemoryReserveHeld());
  // The runtime's handler fails an allocation it cannot help with [NOMEM]
  // (recorded by a reader's scope here) and std::bad_alloc.
  server_->DeleteParked();
  EXPECT_EQ(OutOfMemoryHandler(100), 1);  // the reserve, once more
  RWErrorScope scope;
  const std::uint32_t raised = RWOutOfMemoryRaised();
  EXPECT_THROW(std::get_new_handler()(), std::bad_alloc);
  EXPECT_EQ(scope.Entry(), rwcore::NoMem());
  EXPECT_EQ(RWOutOfMemoryRaised(), raised + 1);
}

// The handler runs inside whatever allocation failed, under whatever lock
// its caller holds: here the context lock, held while a parked context is
// taken back and re-targeted. It must not wait for that lock.
TEST_F(OutOfMemory, TheHandlerUnderTheServersLockDoesNotWait) {
  InstallOutOfMemoryHandler(kOutOfMemoryReserveBytes);
  std::uint32_t cookie = 0;
  auto* context = AsRecording(server_->GetContext(Key(u"P1"), cookie));
  ASSERT_NE(context, nullptr);
  int answered = -1;
  context->on_retarget = [&] { answered = OutOfMemoryHandler(100); };
  server_->ReleaseContext(cookie);
  std::uint32_t again = 0;
  EXPECT_EXIT(
      {
        ::alarm(10);
        server_->GetContext(Key(u"P2"), again);
        std::exit(answered == 1 ? 0 : 2);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
