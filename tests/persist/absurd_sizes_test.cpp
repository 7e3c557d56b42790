// Stored counts and sizes are not trusted: a record whose byte count, bit
// count, line count or text length is 0xFFFFFFFF fails its restore, with
// the default error handler in force, and nothing on the way asks the
// allocator for a block anywhere near that size. This program replaces the
// global allocation functions to see the largest request.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "tests/persist/media.h"
#include "tests/support/test_support.h"

// The replaced operators below allocate with malloc and free with free,
// which the compiler cannot see through when it inlines them.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

std::atomic<std::size_t> g_largest{0};

void Note(std::size_t n) {
  std::size_t seen = g_largest.load(std::memory_order_relaxed);
  while (n > seen && !g_largest.compare_exchange_weak(seen, n, std::memory_order_relaxed)) {
  }
}

void* Allocate(std::size_t n) {
  Note(n);
  return std::malloc(n ? n : 1);
}

}  // namespace

void* operator new(std::size_t n) {
  if (void* p = Allocate(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  return operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
  return Allocate(n);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace {

using model_testing::Medium;

// Each record: the class id (u16, little-endian), then after the base part
// (version 1, key 0, serial 1) and the class's version 1, its fields up to
// and including the absurd count, and a couple of bytes more. Items are
// written alike on a file and on a binary stream, except that the stream
// brackets the object in ':' id '{' ... and reads an 8-bit text's length
// twice (so its text cases carry the second count as well).
TEST(AbsurdSizes, FailWithoutALargeAllocation) {
  struct Case {
    const char* name;
    const char* class_id;
    const char* fields;
  };
  const Case cases[] = {
      {"binary data of 0xFFFFFFFF bytes", "04 00", "FF FF FF FF 01 00 00 00 41 42"},
      {"capabilities of 0xFFFFFFFF bits", "EB 03", "FF FF FF FF 01 02"},
      {"capabilities of 0xFFFFFFF8 bits", "EB 03", "F8 FF FF FF 01 02"},
      {"version info of 0xFFFFFFFF lines", "1B 04",
       "00 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 FF FF FF FF 41 00"},
      {"descriptor named by 0xFFFFFFFF units", "BC 03", "FF FF FF FF 41 00"},
      {"library named by 0xFFFFFFFF units", "0C 03", "FF FF FF FF 41 00"},
      {"selection text of 0xFFFFFFFF bytes", "F0 03", "FF FF FF FF FF FF FF FF 41"},
      {"locale text of 0xFFFFFFFF bytes", "03 00",
       "01 00 00 00 02 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00 01 00 00 00 "
       "01 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00 99 01 00 00 "
       "FF FF FF FF FF FF FF FF 41"},
      {"mapping list of 0xFFFFFFFF mappings", "ED 03", "FF FF FF FF 40 00 00 00 00"},
  };
  const std::string kBase = " 01 00 00 00 00 00 00 00 01 00 00 00 01 00 00 00 ";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = "88 88 00 00 " + std::string(c.class_id) + kBase + c.fields;
    const std::string stream = "3A " + std::string(c.class_id) + " 7B" + kBase + c.fields;
    for (auto [medium, hex] : {std::pair{Medium::kFile, file}, {Medium::kBinary, stream}}) {
      SCOPED_TRACE(model_testing::MediumName(medium));
      const std::string bytes = testing_support::Unhex(hex);
      g_largest = 0;
      model_testing::Restored back = model_testing::Restore(bytes, medium);
      std::size_t largest = g_largest;
      EXPECT_FALSE(back.ok);
      EXPECT_GT(largest, 0u);  // the restore made its objects
      EXPECT_LT(largest, std::size_t{1} << 20);
      FreeRestored(back.object);
    }
  }
}

}  // namespace
