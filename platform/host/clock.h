// The local date and time as the rest of the system reads it: the host's
// clock, a fixed moment that tests set, or no time at all. Any thread.
#pragma once

#include "platform/host/types.h"

namespace platform {

// Eight 16-bit fields in this order (the driver's time record).
struct TimeRecord {
  WORD year = 0;         // four digits
  WORD month = 0;        // 1-12
  WORD day = 0;          // 1-31
  WORD hour = 0;         // 0-23
  WORD minute = 0;       // 0-59
  WORD second = 0;       // 0-59
  WORD unused = 0;       // always 0
  WORD day_of_week = 0;  // 0-6, Sunday 0
};

// Fills `record` with the local time and answers 1; when the time is
// unavailable answers 0 and leaves `record` zeroed.
BOOL GetLocalTimeRecord(TimeRecord* record);

// ---- Test controls ----

// The host's local time (the state after a reset).
void UseHostClock();
// Always the given moment; the day of the week is worked out from the date
// and `unused` is 0. Fails, changing nothing, for a date or time that does
// not exist (years 1601 to 30827).
bool SetFixedClock(const TimeRecord& moment);
// No time can be read.
void SetClockUnavailable();

}  // namespace platform
