#include "foundation/rw/value_vector.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/rw/cstring.h"
#include "tests/support/test_support.h"

namespace {

template <class T>
std::vector<T> Contents(const RWValueVector<T>& v) {
  return std::vector<T>(v.Data(), v.Data() + v.Count());
}

TEST(ValueVectorTest, GrowsBy64) {
  RWShortVector v;
  EXPECT_EQ(v.Capacity(), 64u);
  for (std::uint16_t i = 0; i < 64; ++i)
    v.Append(i);
  EXPECT_EQ(v.Capacity(), 64u);
  v.Append(64);
  EXPECT_EQ(v.Capacity(), 128u);
  EXPECT_EQ(v.Count(), 65u);
  for (std::uint16_t i = 0; i < 65; ++i)
    ASSERT_EQ(v[i], i);
  for (int i = 0; i < 64; ++i)
    v.Append(1);
  EXPECT_EQ(v.Capacity(), 192u);

  RWValueVector<std::uint32_t> small(10);
  for (std::uint32_t i = 0; i < 11; ++i)
    small.Append(i);
  EXPECT_EQ(small.Capacity(), 74u);
  RWValueVector<std::uint32_t> none(0);
  EXPECT_EQ(none.Data(), nullptr);
  none.Append(5);
  EXPECT_EQ(none.Capacity(), 64u);
  EXPECT_EQ(none[0], 5u);
}

TEST(ValueVectorTest, FindAndCount) {
  RWShortVector v;
  for (std::uint16_t x : {4, 7, 4, 9, 4})
    v.Append(x);
  EXPECT_EQ(v.IndexOf(4), 0);
  EXPECT_EQ(v.IndexOf(9), 3);
  EXPECT_EQ(v.IndexOf(5), -1);
  EXPECT_EQ(v.CountOf(4), 3u);
  EXPECT_EQ(v.CountOf(5), 0u);
  EXPECT_EQ(RWShortVector().IndexOf(0), -1);  // empty slots are not searched
}

TEST(ValueVectorTest, Removal) {
  RWValueVector<std::uint32_t> v;
  for (std::uint32_t x : {55, 3, 16, 3, 8})
    v.Append(x);
  EXPECT_TRUE(v.RemoveFirst(3));
  EXPECT_EQ(Contents(v), (std::vector<std::uint32_t>{55, 16, 3, 8}));
  EXPECT_EQ(v.Data()[4], 0u);  // the freed slot
  EXPECT_FALSE(v.RemoveFirst(99));
  EXPECT_EQ(v.Count(), 4u);

  v.Append(3);
  v.Append(3);
  EXPECT_EQ(v.RemoveAll(3), 3u);
  EXPECT_EQ(Contents(v), (std::vector<std::uint32_t>{55, 16, 8}));
  for (RWSize i = 3; i < 6; ++i)
    EXPECT_EQ(v.Data()[i], 0u) << i;
  EXPECT_EQ(v.RemoveAll(3), 0u);
  EXPECT_EQ(v.RemoveAll(55), 1u);
  EXPECT_EQ(Contents(v), (std::vector<std::uint32_t>{16, 8}));
  v.Clear();
  EXPECT_EQ(v.Count(), 0u);
  EXPECT_EQ(v.Data()[0], 0u);
  EXPECT_EQ(v.Capacity(), 64u);
}

TEST(ValueVectorTest, StringLines) {
  RWValueVector<RWCString> lines;
  lines.Append("alpha");
  lines.Append("beta");
  lines.Append("alpha");
  EXPECT_EQ(lines.IndexOf("beta"), 1);
  EXPECT_EQ(lines.CountOf("alpha"), 2u);
  RWValueVector<RWCString> copy(lines);
  RWValueVector<RWCString> assigned(1);
  assigned = lines;
  EXPECT_EQ(assigned.Capacity(), 64u);
  EXPECT_EQ(lines.RemoveAll("alpha"), 2u);
  EXPECT_EQ(lines.Count(), 1u);
  EXPECT_TRUE(lines.Data()[1].IsNull());
  EXPECT_EQ(copy.Count(), 3u);
  EXPECT_EQ(copy[2], "alpha");
  EXPECT_EQ(assigned[0], "alpha");
  for (int i = 0; i < 100; ++i)
    copy.Append("x");
  EXPECT_EQ(copy.Capacity(), 128u);
  EXPECT_EQ(copy[1], "beta");
}

TEST(ValueVectorTest, IndexErrors) {
  testing_support::ErrorCapture capture;
  RWShortVector v;
  v.Append(1);
  v[1] = 9;  // lands in scratch
  EXPECT_EQ(capture.Last(),
            "[INDEXERR] Illegal Index (1) for collection or string with 1 elements");
  const RWShortVector& cv = v;
  EXPECT_EQ(cv[64], 0);
  EXPECT_EQ(capture.Last(),
            "[INDEXERR] Illegal Index (64) for collection or string with 1 elements");
  EXPECT_EQ(cv[RW_NPOS], 0);
  EXPECT_EQ(capture.Last(), "[NPOSINDEX] The value RW_NPOS cannot be used as an index.");
  EXPECT_EQ(capture.Count(), 3u);
  EXPECT_EQ(v.Count(), 1u);
  EXPECT_EQ(v.Data()[1], 0);
}

}  // namespace
