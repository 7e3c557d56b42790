// GUnicodeConverter: the process-wide code-page converter that the
// generators may use. The services make it (GOSFactory::
// CreateUnicodeConverter); these services make none, so GetUnicodeConverter
// answers null and its callers work without one.
//
// Threads: GetUnicodeConverter may be called from any thread; the converter
// is made once, under a lock of its own.
#pragma once

class GUnicodeConverter {
 public:
  GUnicodeConverter() = default;
  GUnicodeConverter(const GUnicodeConverter&) = delete;
  GUnicodeConverter& operator=(const GUnicodeConverter&) = delete;
  virtual ~GUnicodeConverter();
};

// The converter, made by the installed services on the first call that
// finds none (a converter made earlier is kept until the process ends), or
// null.
GUnicodeConverter* GetUnicodeConverter();
