#include "output/generator/call_log.h"

#include <cstdio>

void GCallLog::Record(const char* operation, std::initializer_list<std::uint32_t> numbers) {
  text_ += operation;
  for (std::uint32_t n : numbers) {
    char digits[16];
    std::snprintf(digits, sizeof digits, " %u", static_cast<unsigned>(n));
    text_ += digits;
  }
  text_ += '\n';
}

void GCallLog::Record(const char* operation, const RWCString& argument) {
  text_ += operation;
  text_ += ' ';
  text_ += argument;
  text_ += '\n';
}
