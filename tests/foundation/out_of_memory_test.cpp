// Sizes given by a caller never reach the allocator unchecked: a request
// beyond what the library ever allocates raises [NOMEM] (the out-of-memory
// error, not std::bad_alloc) and fails the operation, leaving the object
// valid and, where it existed before, as it was.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "foundation/rw/blockcache.h"
#include "foundation/rw/cstring.h"
#include "foundation/rw/disknodecache.h"
#include "foundation/rw/error.h"
#include "foundation/rw/hashtable.h"
#include "foundation/rw/pointer_vector.h"
#include "foundation/rw/support.h"
#include "foundation/rw/value_vector.h"
#include "tests/support/test_collectable.h"
#include "tests/support/test_support.h"

namespace {

constexpr RWSize kHuge = 0xFFFFFFF0u;

bool Is(const RWCString& s, const char* text) {
  return s == text && s.Capacity() >= s.Length();
}

// Each case makes or edits an object with a size the library must refuse,
// and answers whether the object is then what it should be.
struct Case {
  const char* name;
  bool (*run)();
};

const Case kCases[] = {
    {"RWHashTable(0xFFFFFFFF): an empty table of 2 buckets",
     [] {
       RWHashTable table(0xFFFFFFFFu);
       TestItem item(1);
       return table.Buckets() == 2 && table.Insert(&item) == &item && table.Contains(&item);
     }},
    {"RWHashTable::Resize: the table as it was",
     [] {
       RWSet set(8);
       TestItem item(1);
       set.Insert(&item);
       set.Resize(0xFFFFFFFFu);
       return set.Buckets() == 8 && set.Count() == 1 && set.Find(&item) == &item;
     }},
    {"RWCString(reserve): the empty string",
     [] {
       return Is(RWCString(RWReserve{kHuge}), "") && RWCString(RWReserve{kHuge}).Capacity() == 0;
     }},
    {"RWCString(c, n): the empty string", [] { return Is(RWCString('x', kHuge), ""); }},
    {"Append(c, n): as it was",
     [] {
       RWCString s("abc");
       s.Append('x', kHuge);
       return Is(s, "abc");
     }},
    {"Prepend(c, n) of a shared string: as it was",
     [] {
       RWCString s("abc"), other(s);
       s.Prepend('x', kHuge);
       return Is(s, "abc") && s.Data() == other.Data();
     }},
    {"Capacity(n): the old capacity",
     [] {
       RWCString s("abc");
       RWSize before = s.Capacity();
       return s.Capacity(kHuge) == before && Is(s, "abc");
     }},
    {"RWPointerVector(n): no entries",
     [] {
       RWPointerVector v(0xFFFFFFFFu, &v);
       return v.Length() == 0 && v.Data() == nullptr;
     }},
    {"RWPointerVector::Resize and Reshape: as it was",
     [] {
       int x = 0;
       RWPointerVector v(2, &x);
       v.Resize(0xFFFFFFFFu);
       bool resized_kept = v.Length() == 2 && v[1] == &x;
       return resized_kept && v.Reshape(0xFFFFFFFFu) == 2 && v.Length() == 2 && v[0] == &x;
     }},
    {"RWValueVector(capacity): no room, and it still grows",
     [] {
       RWValueVector<std::uint32_t> v(0xFFFFFFFFu);
       bool empty = v.Capacity() == 0;
       v.Append(7);
       return empty && v.Count() == 1 && v[0] == 7 &&
              v.Capacity() == RWValueVector<std::uint32_t>::kGrowth;
     }},
    {"RWDiskNodeCache(capacity): one node",
     [] {
       testing_support::TempPath path("nomem");
       RWFile file(path.c_str(), "wb+");
       RWDiskNodeCache cache(&file, 4096, 0xFFFFFFFFu);
       std::uint8_t node[4096] = {1, 2, 3};
       std::uint8_t back[4096] = {};
       return cache.Capacity() == 1 && cache.Write(0, node) && cache.Read(0, back) && back[2] == 3;
     }},
    {"the small-block cache: null",
     [] { return RWSmallBlockCache::Get(~std::size_t{0} / 2) == nullptr; }},
    {"RWNewArrayForOverwrite: null",
     [] { return RWNewArrayForOverwrite<std::uint64_t>(kHuge) == nullptr; }},
};

TEST(OutOfMemory, OversizedRequestsRaiseNoMemAndLeaveTheObjectValid) {
  for (const Case& c : kCases) {
    RWErrorScope scope;
    EXPECT_TRUE(c.run()) << c.name;
    EXPECT_EQ(scope.Entry(), rwcore::NoMem()) << c.name;
    EXPECT_STREQ(scope.Text(), "[NOMEM] No memory") << c.name;
  }
}

}  // namespace
