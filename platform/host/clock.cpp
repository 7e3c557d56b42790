#include "platform/host/clock.h"

#include <ctime>

#include "platform/host/host_state.h"
#include "platform/host/system.h"

namespace platform {
namespace {

enum class ClockMode { kHost, kFixed, kUnavailable };

struct ClockState {
  ClockMode mode = ClockMode::kHost;
  TimeRecord fixed;
};

ClockState& State() {
  static ClockState state;
  return state;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Day of the week of a Gregorian date, Sunday 0.
int DayOfWeek(int year, int month, int day) {
  static constexpr int kMonthOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) --year;
  return (year + year / 4 - year / 100 + year / 400 + kMonthOffsets[month - 1] + day) % 7;
}

bool HostLocalTime(TimeRecord& record) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) return false;
  record.year = static_cast<WORD>(local.tm_year + 1900);
  record.month = static_cast<WORD>(local.tm_mon + 1);
  record.day = static_cast<WORD>(local.tm_mday);
  record.hour = static_cast<WORD>(local.tm_hour);
  record.minute = static_cast<WORD>(local.tm_min);
  record.second = static_cast<WORD>(local.tm_sec > 59 ? 59 : local.tm_sec);  // no leap second
  record.day_of_week = static_cast<WORD>(local.tm_wday);
  return true;
}

}  // namespace

BOOL GetLocalTimeRecord(TimeRecord* record) {
  if (record == nullptr) return 0;
  *record = TimeRecord{};
  host_internal::Lock lock(host_internal::Mutex());
  switch (State().mode) {
    case ClockMode::kHost:
      if (HostLocalTime(*record)) return 1;
      *record = TimeRecord{};
      return 0;
    case ClockMode::kFixed:
      *record = State().fixed;
      return 1;
    case ClockMode::kUnavailable:
      return 0;
  }
  return 0;
}

std::int64_t RuntimeTime() {
  host_internal::Lock lock(host_internal::Mutex());
  switch (State().mode) {
    case ClockMode::kHost:
      return static_cast<std::int64_t>(std::time(nullptr));
    case ClockMode::kFixed: {
      // Days from 1970-01-01 of the civil date (proleptic Gregorian).
      const TimeRecord& t = State().fixed;
      int year = t.year - (t.month <= 2 ? 1 : 0);
      int era = year / 400;
      int year_of_era = year - era * 400;
      int month = t.month > 2 ? t.month - 3 : t.month + 9;
      int day_of_year = (153 * month + 2) / 5 + t.day - 1;
      int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
      std::int64_t days = std::int64_t{era} * 146097 + day_of_era - 719468;
      return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    }
    case ClockMode::kUnavailable:
      return -1;
  }
  return -1;
}

void UseHostClock() {
  host_internal::Lock lock(host_internal::Mutex());
  State().mode = ClockMode::kHost;
}

bool SetFixedClock(const TimeRecord& moment) {
  if (moment.year < 1601 || moment.year > 30827 || moment.month < 1 || moment.month > 12 ||
      moment.day < 1 || moment.day > DaysInMonth(moment.year, moment.month) || moment.hour > 23 ||
      moment.minute > 59 || moment.second > 59) {
    return false;
  }
  TimeRecord fixed = moment;
  fixed.unused = 0;
  fixed.day_of_week = static_cast<WORD>(DayOfWeek(moment.year, moment.month, moment.day));
  host_internal::Lock lock(host_internal::Mutex());
  State().mode = ClockMode::kFixed;
  State().fixed = fixed;
  return true;
}

void SetClockUnavailable() {
  host_internal::Lock lock(host_internal::Mutex());
  State().mode = ClockMode::kUnavailable;
}

namespace host_internal {

void ResetClockLocked() {
  State() = ClockState{};
}

}  // namespace host_internal
}  // namespace platform
