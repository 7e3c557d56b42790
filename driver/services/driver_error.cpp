#include "driver/services/driver_error.h"

#include <cstdio>
#include <cstdlib>

void ReportDriverError(std::int32_t level, std::uint16_t id, const char* source, std::uint32_t line,
                       const char* message) {
  std::fprintf(stderr, "Driver error %u (%s, line %u)%s%s\n", static_cast<unsigned>(id),
               source ? source : "", static_cast<unsigned>(line), message && *message ? ": " : "",
               message ? message : "");
  std::fflush(stderr);
  if (level == 1 || level == 2) std::exit(1);
}
