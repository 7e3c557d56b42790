#include "services/update_stamp.h"

#include <cstdio>

#include "services/os_factory.h"

namespace {

constexpr char kStampFormat[] = "%2.2d%s%2.2d%s%4.4d";
constexpr char kStampSeparator[] = "/ ";

}  // namespace

RWWString LocalDateStamp() {
  GTimeRecord local;
  GTimeRecord shifted;
  std::int16_t offset = 0;
  GOSFactory* services = GOSFactory::Instance();
  if (!services || services->GetCurrentDate(local, shifted, offset) == 0) return RWWString();
  char text[32];
  std::snprintf(text, sizeof text, kStampFormat, local.month, kStampSeparator, local.day,
                kStampSeparator, local.year);
  return RWWString::FromMultiByte(text);
}
