#include "persist/value_source.h"

std::int32_t GValueSource::IsEqual(const GValueSource*) const {
  return 0;
}
