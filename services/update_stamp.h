// The local date as printer data's update stamps hold it ("LastUpdated",
// "QCFLastUpdate", ...): "%2.2d%s%2.2d%s%4.4d" of the month, the
// separator "/ " (a slash and a blank), the day and the four-digit year,
// so 6 December 2026 is "12/ 06/ 2026". Any thread.
#pragma once

#include "foundation/rw/wstring.h"

// The installed services' local date as a stamp; empty when there are no
// services or they cannot give the date.
RWWString LocalDateStamp();
