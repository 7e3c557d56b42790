// The module keep-alive on the manual wait clock: when the extra reference
// on the library goes, what keeps it, and the end of the thread that armed
// it.
#include <gtest/gtest.h>

#include <thread>

#include "driver/module_keep_alive.h"
#include "platform/host/modules.h"
#include "platform/host/threads.h"
#include "tests/support/host_fixture.h"

namespace {

class KeepAlive : public testing_support::HostFixture {
 protected:
  void SetUp() override {
    HostFixture::SetUp();
    platform::UseManualWaitClock();
  }
  void TearDown() override {
    // No watcher may outlive its object.
    keep_.MarkActivity();
    for (int i = 0; i < 4 && platform::LiveThreadCount() != 0; ++i) {
      keep_.SetKeepLoaded(0);
      Periods(1);
    }
    EXPECT_EQ(platform::LiveThreadCount(), 0u);
    HostFixture::TearDown();
  }

  // References on our own module: 1 is the host's, 2 while kept.
  static std::uint32_t References() {
    return platform::GetModuleCounters(platform::kDefaultOwnModulePath).references;
  }
  // Lets `count` periods pass, each once the watcher waits.
  void Periods(int count) {
    for (int i = 0; i < count; ++i) {
      ASSERT_TRUE(platform::AwaitThreadsIdle());
      platform::AdvanceWaitClock(keep_.Period());
    }
    ASSERT_TRUE(platform::AwaitThreadsIdle());
  }

  GModuleKeepAlive keep_{0};
};

TEST_F(KeepAlive, APeriodOfZeroIsFiveHundredMilliseconds) {
  EXPECT_EQ(keep_.Period(), 500u);
  EXPECT_EQ(GModuleKeepAlive(20).Period(), 20u);
}

// Activity before each period: the periods that pass until the reference
// goes.
TEST_F(KeepAlive, TheReferenceGoesAfterTheLastActivity) {
  struct Case {
    const char* what;
    int marked_periods;  // periods that begin with an activity
    int periods_kept;
  } cases[] = {
      {"armed only: released after one period", 0, 1},
      {"a call in the first period: after the second", 1, 2},
      {"calls in three periods: after the fourth", 3, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GModuleKeepAlive keep(0);
    ASSERT_EQ(keep.Arm(platform::OwnModule()), 1);
    EXPECT_EQ(References(), 2u);
    EXPECT_EQ(keep.Arm(platform::OwnModule()), 0);  // armed already
    EXPECT_EQ(platform::LiveThreadCount(), 1u);
    for (int period = 1; period <= c.periods_kept; ++period) {
      if (period <= c.marked_periods) keep.MarkActivity();
      EXPECT_TRUE(keep.IsPinned());
      Periods(1);
    }
    EXPECT_FALSE(keep.IsPinned());
    EXPECT_EQ(References(), 1u);
    EXPECT_EQ(platform::LiveThreadCount(), 0u);
  }
}

TEST_F(KeepAlive, KeepLoadedHoldsTheReferenceUntilClearedAndAnActivityComes) {
  ASSERT_EQ(keep_.Arm(platform::OwnModule()), 1);
  EXPECT_EQ(keep_.SetKeepLoaded(1), 1);  // a watcher runs: no second one
  EXPECT_EQ(platform::LiveThreadCount(), 1u);
  EXPECT_EQ(References(), 2u);
  Periods(5);
  EXPECT_TRUE(keep_.IsPinned());
  // Clearing the flag stops nothing by itself: the count is far below 0.
  keep_.SetKeepLoaded(0);
  Periods(3);
  EXPECT_TRUE(keep_.IsPinned());
  // The next activity brings it back to 1: gone two periods later.
  keep_.MarkActivity();
  Periods(1);
  EXPECT_TRUE(keep_.IsPinned());
  Periods(1);
  EXPECT_FALSE(keep_.IsPinned());
  EXPECT_EQ(References(), 1u);
  // After the watcher ended, keep-loaded starts a new one.
  EXPECT_EQ(keep_.SetKeepLoaded(1), 1);
  EXPECT_TRUE(keep_.IsPinned());
  EXPECT_EQ(platform::LiveThreadCount(), 1u);
}

TEST_F(KeepAlive, TheEndOfTheArmingThreadFreesAtOnce) {
  // Armed from a thread that ends at once, kept loaded and busy: the
  // reference goes without any period passing.
  std::thread armer([this] {
    ASSERT_EQ(keep_.Arm(platform::OwnModule()), 1);
    keep_.SetKeepLoaded(1);
    keep_.MarkActivity();
  });
  armer.join();
  ASSERT_TRUE(platform::AwaitThreadsIdle());
  EXPECT_EQ(platform::LiveThreadCount(), 0u);
  EXPECT_FALSE(keep_.IsPinned());
  EXPECT_EQ(References(), 1u);
  // The next start's armer is the caller: this thread, which stays.
  EXPECT_EQ(keep_.SetKeepLoaded(1), 1);
  EXPECT_EQ(References(), 2u);
}

TEST_F(KeepAlive, AFailedStartLeavesNothingPinned) {
  platform::SetThreadCreationFailure(true);
  EXPECT_EQ(keep_.Arm(platform::OwnModule()), 0);
  EXPECT_EQ(References(), 1u);
  platform::SetThreadCreationFailure(false);
  // A module that does not load leaves the object idle too.
  platform::SetModuleLoadFailure(u"UI.DLL", true);
  EXPECT_EQ(keep_.SetKeepLoaded(1), 0);
  platform::SetModuleLoadFailure(u"UI.DLL", false);
  EXPECT_FALSE(keep_.IsPinned());
  EXPECT_EQ(platform::LiveThreadCount(), 0u);
}

}  // namespace
