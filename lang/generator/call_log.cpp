#include "lang/generator/call_log.h"

#include <cstdio>
#include <cstring>

void GCallLog::Record(const char* operation, std::initializer_list<std::uint32_t> numbers) {
  RWCString line(operation);
  for (std::uint32_t n : numbers) {
    char digits[16];
    std::snprintf(digits, sizeof digits, " %u", static_cast<unsigned>(n));
    line += digits;
  }
  Append(line);
}

void GCallLog::Record(const char* operation, const RWCString& argument) {
  RWCString line(operation);
  line += ' ';
  line += argument;
  Append(line);
}

void GCallLog::Append(RWCString line) {
  if (line.Length() >= kCallLogLimit) line = line(0, kCallLogLimit - 1);
  line += '\n';
  if (text_.Length() + line.Length() > kCallLogLimit) {
    // Drop the oldest lines until the log and the line take at most half
    // the bound, so that trimming is rare and a line is copied a bounded
    // number of times.
    const RWSize excess = text_.Length() + line.Length() - kCallLogLimit / 2;
    const char* data = text_.Data();
    const void* end = excess <= text_.Length()
                          ? std::memchr(data + excess - 1, '\n', text_.Length() - excess + 1)
                          : nullptr;
    const RWSize from = end ? static_cast<const char*>(end) - data + 1 : text_.Length();
    text_ = from < text_.Length() ? text_(from, text_.Length() - from) : RWCString();
  }
  text_ += line;
}
