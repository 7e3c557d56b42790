#include "platform/host/clock.h"

#include <gtest/gtest.h>

#include "platform/host/reset.h"
#include "tests/support/host_fixture.h"

namespace {

using namespace platform;

class Clock : public testing_support::HostFixture {};

TEST_F(Clock, FixedMomentsCarryTheirDayOfWeek) {
  struct Case {
    WORD year, month, day, hour, minute, second;
    int day_of_week;  // -1: no such moment
  };
  // Days of the week from the calendar (1 January 1601 was a Monday).
  const Case cases[] = {
      {2004, 3, 1, 0, 30, 0, 1},  {2004, 2, 29, 23, 0, 0, 0},  {2000, 1, 1, 12, 0, 59, 6},
      {1601, 1, 1, 0, 0, 0, 1},   {1900, 3, 1, 0, 0, 0, 4},    {2100, 3, 1, 0, 0, 0, 1},
      {1900, 2, 29, 0, 0, 0, -1}, {2100, 2, 29, 0, 0, 0, -1},  {2001, 2, 29, 0, 0, 0, -1},
      {2004, 4, 31, 0, 0, 0, -1}, {2004, 13, 1, 0, 0, 0, -1},  {2004, 0, 1, 0, 0, 0, -1},
      {2004, 1, 0, 0, 0, 0, -1},  {2004, 1, 1, 24, 0, 0, -1},  {2004, 1, 1, 0, 60, 0, -1},
      {2004, 1, 1, 0, 0, 60, -1}, {1600, 12, 31, 0, 0, 0, -1},
  };
  ASSERT_TRUE(SetFixedClock({1999, 12, 31, 23, 59, 59, 0, 0}));
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    TimeRecord moment{c.year, c.month, c.day, c.hour, c.minute, c.second, 77, 3};
    bool valid = c.day_of_week >= 0;
    EXPECT_EQ(SetFixedClock(moment), valid);
    TimeRecord read;
    ASSERT_EQ(GetLocalTimeRecord(&read), 1);
    if (valid) {
      EXPECT_EQ(read.year, c.year);
      EXPECT_EQ(read.month, c.month);
      EXPECT_EQ(read.day, c.day);
      EXPECT_EQ(read.hour, c.hour);
      EXPECT_EQ(read.minute, c.minute);
      EXPECT_EQ(read.second, c.second);
      EXPECT_EQ(read.unused, 0);
      EXPECT_EQ(read.day_of_week, c.day_of_week);
      ASSERT_TRUE(SetFixedClock({1999, 12, 31, 23, 59, 59, 0, 0}));
    } else {
      EXPECT_EQ(read.year, 1999);  // unchanged
      EXPECT_EQ(read.day_of_week, 5);
    }
  }
}

TEST_F(Clock, UnavailableLeavesTheRecordZeroed) {
  SetClockUnavailable();
  TimeRecord read{2004, 3, 1, 0, 30, 0, 0, 1};
  EXPECT_EQ(GetLocalTimeRecord(&read), 0);
  EXPECT_EQ(read.year, 0);
  EXPECT_EQ(read.month, 0);
  EXPECT_EQ(read.day, 0);
  EXPECT_EQ(read.day_of_week, 0);
  EXPECT_EQ(GetLocalTimeRecord(nullptr), 0);
}

TEST_F(Clock, HostTimeIsAConsistentRecord) {
  TimeRecord host;
  ASSERT_EQ(GetLocalTimeRecord(&host), 1);  // the host clock after a reset
  EXPECT_GE(host.year, 2024);
  EXPECT_EQ(host.unused, 0);
  // The host's weekday agrees with the calendar's for the same date.
  TimeRecord same = host;
  ASSERT_TRUE(SetFixedClock(same));
  TimeRecord fixed;
  ASSERT_EQ(GetLocalTimeRecord(&fixed), 1);
  EXPECT_EQ(fixed.day_of_week, host.day_of_week);
  UseHostClock();
  TimeRecord again;
  ASSERT_EQ(GetLocalTimeRecord(&again), 1);
  EXPECT_GE(again.year, host.year);
}

}  // namespace
