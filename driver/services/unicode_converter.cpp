#include "driver/services/unicode_converter.h"

#include "driver/services/os_factory.h"

GUnicodeConverter::~GUnicodeConverter() = default;

GUnicodeConverter* GetUnicodeConverter() {
  GOSFactory* services = GOSFactory::Instance();
  return services ? services->UnicodeConverter() : nullptr;
}
