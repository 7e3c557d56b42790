#include "platform/host/system.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include "platform/host/host_state.h"

namespace platform {
namespace {

using host_internal::Fail;
using host_internal::Lock;
using host_internal::Mutex;

constexpr DWORD kOsVersionInfoExSize = 284;

struct SystemState {
  SystemVersion version;
  std::vector<DWORD> accepted_sizes{kOsVersionInfoSize, kOsVersionInfoExSize};
  WORD language = 0x0409;
  UINT oem_code_page = kCodePageUtf8;
  UINT ansi_code_page = kCodePageUtf8;
  std::map<std::u16string, std::u16string> environment;  // folded name -> value
  std::string locale = "C";
  host_internal::BoundedLog<LocaleCall> locale_log;  // every attach adds one
  std::u16string user = u"User";
  bool user_available = true;
  TimeZoneSpec zone;
};

SystemState& State() {
  static SystemState state;
  return state;
}

std::u16string_view View(const char16_t* text) {
  return text != nullptr ? std::u16string_view(text) : std::u16string_view();
}

// The runtime generator's state of the calling thread.
thread_local std::uint32_t random_state = 1;

}  // namespace

BOOL GetVersionExW(OsVersionInfoW* info) {
  if (info == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  const SystemState& state = State();
  if (std::find(state.accepted_sizes.begin(), state.accepted_sizes.end(), info->size) ==
      state.accepted_sizes.end()) {
    return Fail<BOOL>(kErrorInsufficientBuffer, 0);
  }
  info->major_version = state.version.major_version;
  info->minor_version = state.version.minor_version;
  info->build_number = state.version.build_number;
  info->platform_id = state.version.platform_id;
  info->service_pack[0] = u'\0';
  return 1;
}

DWORD GetVersion() {
  Lock lock(Mutex());
  const SystemVersion& v = State().version;
  DWORD word =
      (v.major_version & 0xFF) | (v.minor_version & 0xFF) << 8 | (v.build_number & 0x7FFF) << 16;
  if (v.platform_id != kVerPlatformWin32Nt) word |= 0x80000000u;
  return word;
}

WORD GetSystemDefaultLangID() {
  Lock lock(Mutex());
  return State().language;
}

UINT GetACP() {
  Lock lock(Mutex());
  return State().ansi_code_page;
}

UINT GetOEMCP() {
  Lock lock(Mutex());
  return State().oem_code_page;
}

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const std::int64_t product = std::int64_t{number} * numerator;
  std::int64_t quotient = product / denominator;
  const std::int64_t remainder = product % denominator;
  // |remainder| < |denominator| <= 2^31, so twice it still fits.
  const std::int64_t twice = 2 * (remainder < 0 ? -remainder : remainder);
  const std::int64_t divisor = denominator < 0 ? -std::int64_t{denominator} : denominator;
  if (twice >= divisor) quotient += (product < 0) == (denominator < 0) ? 1 : -1;
  if (quotient > INT32_MAX || quotient < INT32_MIN) return -1;
  return static_cast<int>(quotient);
}

DWORD GetEnvironmentVariableW(const char16_t* name, char16_t* buffer, DWORD size) {
  Lock lock(Mutex());
  auto it = State().environment.find(host_internal::Fold(View(name)));
  if (it == State().environment.end()) return Fail<DWORD>(kErrorEnvVarNotFound, 0);
  const std::u16string& value = it->second;
  if (buffer == nullptr || value.size() >= size) return static_cast<DWORD>(value.size() + 1);
  std::copy(value.begin(), value.end(), buffer);
  buffer[value.size()] = u'\0';
  return static_cast<DWORD>(value.size());
}

BOOL SetEnvironmentVariableW(const char16_t* name, const char16_t* value) {
  if (name == nullptr || *name == u'\0') return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  std::u16string key = host_internal::Fold(View(name));
  if (value == nullptr) {
    State().environment.erase(key);
  } else {
    State().environment[key] = value;
  }
  return 1;
}

const char* RuntimeSetLocale(int category, const char* locale) {
  Lock lock(Mutex());
  SystemState& state = State();
  if (locale == nullptr) return state.locale.c_str();
  state.locale_log.AddMade([&] { return LocaleCall{category, locale}; });
  state.locale = locale;
  return state.locale.c_str();
}

void RuntimeSeedRandom(std::uint32_t seed) {
  random_state = seed;
}

int RuntimeRandom() {
  // The original runtime's linear congruential generator.
  random_state = random_state * 214013u + 2531011u;
  return static_cast<int>((random_state >> 16) & 0x7FFF);
}

void SetSystemVersion(const SystemVersion& version) {
  Lock lock(Mutex());
  State().version = version;
}

void SetVersionExAcceptedSizes(std::vector<DWORD> sizes) {
  Lock lock(Mutex());
  State().accepted_sizes = std::move(sizes);
}

void SetSystemDefaultLangID(WORD language) {
  Lock lock(Mutex());
  State().language = language;
}

void SetCodePages(UINT oem, UINT ansi) {
  Lock lock(Mutex());
  State().oem_code_page = oem;
  State().ansi_code_page = ansi;
}

std::vector<LocaleCall> RuntimeLocaleLog() {
  Lock lock(Mutex());
  return State().locale_log.Entries();
}

BOOL GetUserNameW(char16_t* buffer, DWORD* size) {
  if (size == nullptr) return Fail<BOOL>(kErrorInvalidParameter, 0);
  Lock lock(Mutex());
  const std::u16string& user = State().user;
  if (!State().user_available) return Fail<BOOL>(kErrorInvalidParameter, 0);
  const DWORD needed = DWORD(user.size() + 1);
  if (buffer == nullptr || *size < needed) {
    *size = needed;
    return Fail<BOOL>(kErrorInsufficientBuffer, 0);
  }
  std::copy(user.begin(), user.end(), buffer);
  buffer[user.size()] = u'\0';
  *size = needed;
  return 1;
}

DWORD GetTimeZoneInformation(TimeZoneInformation* zone) {
  if (zone == nullptr) return Fail<DWORD>(kErrorInvalidParameter, kTimeZoneIdInvalid);
  Lock lock(Mutex());
  const TimeZoneSpec& set = State().zone;
  if (!set.available) return kTimeZoneIdInvalid;
  zone->bias = set.bias - (set.daylight ? 60 : 0);
  zone->standard_bias = 0;
  zone->daylight_bias = -60;
  return set.daylight ? kTimeZoneIdDaylight : kTimeZoneIdStandard;
}

bool RuntimeFtime(RuntimeTimeB* now) {
  const std::int64_t seconds = RuntimeTime();
  if (now == nullptr || seconds < 0) return false;
  Lock lock(Mutex());
  now->time = seconds;
  now->timezone = std::int16_t(State().zone.bias);
  now->dstflag = State().zone.daylight ? 1 : 0;
  return true;
}

void SetUserName(std::u16string_view name, bool available) {
  Lock lock(Mutex());
  State().user = std::u16string(name);
  State().user_available = available;
}

void SetTimeZone(const TimeZoneSpec& zone) {
  Lock lock(Mutex());
  State().zone = zone;
}

namespace host_internal {

void ResetSystemLocked() {
  State() = SystemState{};
}

}  // namespace host_internal
}  // namespace platform
